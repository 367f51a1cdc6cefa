#include "winui/dialog_font.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t header_size = 26;  // dlgVer .. cy
constexpr size_t title_offset = 30; // after the empty menu and class words
constexpr uint32_t ds_setfont = 0x40;

uint16_t word_at(const uint8_t* p) noexcept {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// Offset just past the zero word that ends the UTF-16 string at `offset`, or
// 0 when the string runs past `size`.
size_t end_of_string(const uint8_t* data, size_t size, size_t offset) noexcept {
    for (; offset + 2 <= size; offset += 2)
        if (word_at(data + offset) == 0) return offset + 2;
    return 0;
}

size_t align4(size_t offset) noexcept {
    return (offset + 3) & ~size_t{3};
}

void put_word(uint8_t* p, uint16_t value) noexcept {
    p[0] = static_cast<uint8_t>(value & 0xFF);
    p[1] = static_cast<uint8_t>(value >> 8);
}

// Where the pieces of an extended template with a font block lie.
struct template_layout {
    size_t title_end = 0; // just past the title's terminator
    size_t items = 0;     // the first item template (4-byte aligned)
};

bool read_layout(const uint8_t* resource, size_t size, template_layout& layout) noexcept {
    if (!resource || size < title_offset + 2) return false;
    if (word_at(resource) != 1 || word_at(resource + 2) != 0xFFFF) return false;
    if (word_at(resource + header_size) != 0 || word_at(resource + header_size + 2) != 0)
        return false;
    const uint32_t style = static_cast<uint32_t>(resource[12]) | (resource[13] << 8) |
                           (resource[14] << 16) | (static_cast<uint32_t>(resource[15]) << 24);
    if (!(style & ds_setfont)) return false;
    layout.title_end = end_of_string(resource, size, title_offset);
    if (layout.title_end == 0 || layout.title_end + 6 > size) return false;
    const size_t face_end = end_of_string(resource, size, layout.title_end + 6);
    if (face_end == 0) return false;
    layout.items = align4(face_end);
    return true;
}

} // namespace

uint16_t dialog_point_size(int32_t logfont_height, uint32_t dpi) noexcept {
    if (logfont_height >= 0) return static_cast<uint16_t>(logfont_height);
    const int64_t per_inch = dpi == 0 ? 96 : dpi;
    const int64_t points = (-static_cast<int64_t>(logfont_height) * 72 + per_inch / 2) / per_inch;
    return static_cast<uint16_t>(std::min<int64_t>(points, 0xFFFF));
}

size_t refont_dialog_template(const uint8_t* resource, size_t size, const dialog_font& font,
                              uint8_t* out, size_t out_capacity) noexcept {
    template_layout layout;
    if (!out || !read_layout(resource, size, layout)) return 0;

    size_t face_length = 0;
    if (font.face)
        while (face_length < 31 && font.face[face_length]) ++face_length;
    const size_t new_face_end = layout.title_end + 6 + (face_length + 1) * 2;
    const size_t new_items = align4(new_face_end);
    const size_t rest = layout.items < size ? size - layout.items : 0;
    if (new_items + rest > out_capacity) return 0;

    std::memset(out, 0, new_items);
    std::memcpy(out, resource, layout.title_end);
    uint8_t* p = out + layout.title_end;
    put_word(p, font.point_size);
    put_word(p + 2, font.weight);
    p[4] = font.italic;
    p[5] = font.charset;
    p += 6;
    for (size_t i = 0; i < face_length; ++i, p += 2)
        put_word(p, static_cast<uint16_t>(font.face[i]));
    put_word(p, 0);
    if (rest) std::memcpy(out + new_items, resource + layout.items, rest);
    return new_items + rest;
}

size_t keep_dialog_template(const uint8_t* resource, size_t size, uint8_t* out,
                            size_t out_capacity) noexcept {
    template_layout layout;
    if (!out || !read_layout(resource, size, layout) || size > out_capacity) return 0;
    std::memcpy(out, resource, size);
    return size;
}
