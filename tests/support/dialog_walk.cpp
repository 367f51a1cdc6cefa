#include "tests/support/dialog_walk.h"

namespace test_support {

namespace {

uint16_t word_at(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t dword_at(const uint8_t* p) {
    return word_at(p) | (static_cast<uint32_t>(word_at(p + 2)) << 16);
}

// A sz_Or_Ord field at `offset`: its text (ordinals as "#n"), and the
// offset just past it.
size_t read_name(const uint8_t* t, size_t offset, std::wstring& name) {
    name.clear();
    if (word_at(t + offset) == 0xFFFF) {
        name = L"#" + std::to_wstring(word_at(t + offset + 2));
        return offset + 4;
    }
    for (; word_at(t + offset) != 0; offset += 2)
        name.push_back(static_cast<wchar_t>(word_at(t + offset)));
    return offset + 2;
}

} // namespace

parsed_dialog parse_dialog(const uint8_t* t) {
    parsed_dialog p;
    p.style = dword_at(t + 12);
    size_t offset = read_name(t, 30, p.title);
    p.point_size = word_at(t + offset);
    offset += 6;
    offset = read_name(t, offset, p.face);
    const uint16_t count = word_at(t + 16);
    for (uint16_t i = 0; i < count; ++i) {
        offset = (offset + 3) & ~size_t{3};
        dialog_item item;
        item.offset = offset;
        item.style = dword_at(t + offset + 8);
        item.id = dword_at(t + offset + 20);
        offset += 24; // help id, styles, position, id
        offset = read_name(t, offset, item.class_name);
        offset = read_name(t, offset, item.title);
        offset += 2 + word_at(t + offset); // creation data
        p.items.push_back(std::move(item));
    }
    p.end = offset;
    return p;
}

} // namespace test_support
