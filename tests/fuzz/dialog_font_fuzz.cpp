// libFuzzer target for the copy of a dialog resource with the user's message
// font in place of its own. Built natively by scripts/fuzz. A plug-in's
// resource is whatever its file holds, so the template bytes are the input;
// they end right before a guard page, as does the copy's room, so a read or
// write of one byte too many faults. The first input byte chooses the new
// face name's length and the kind of copy.
// Checks: both copies accept the same templates; an accepted copy keeps the
// header and title, carries the new font and face, and moves the item
// templates unchanged to the next 4-byte boundary; copying the copy with the
// same font gives the same bytes.

#include "winui/dialog_font.h"
#include "tests/fuzz/guarded_block.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

uint16_t word_at(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// Offset past the terminator of the UTF-16 text at `offset`, 0 if none.
size_t text_end(const uint8_t* bytes, size_t size, size_t offset) {
    for (; offset + 2 <= size; offset += 2)
        if (word_at(bytes + offset) == 0) return offset + 2;
    return 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    std::wstring face(data[0] % 40, L'\0');
    for (size_t i = 0; i < face.size(); ++i) face[i] = static_cast<wchar_t>(L'A' + (i * 7) % 26);
    const guarded_block resource(data + 1, size - 1);

    dialog_font font;
    font.point_size = static_cast<uint16_t>(data[0] * 3);
    font.weight = 700;
    font.italic = 1;
    font.charset = 128;
    font.face = face.c_str();

    const size_t room = resource.size() + dialog_font_headroom;
    const guarded_block copy(room);
    const size_t written =
        refont_dialog_template(resource.data(), resource.size(), font, copy.data(), room);
    const guarded_block kept(resource.size());
    const size_t kept_size =
        keep_dialog_template(resource.data(), resource.size(), kept.data(), kept.size());
    if ((written == 0) != (kept_size == 0)) std::abort();
    if (kept_size == 0) return 0;
    if (kept_size != resource.size() ||
        std::memcmp(kept.data(), resource.data(), resource.size()) != 0)
        std::abort();
    if (written > room) std::abort();

    // Header, the empty menu and class, and the title as they were.
    const uint8_t* in = resource.data();
    const uint8_t* out = copy.data();
    const size_t title_end = text_end(in, resource.size(), 30);
    if (title_end == 0 || std::memcmp(out, in, title_end) != 0) std::abort();
    const size_t old_face_end = text_end(in, resource.size(), title_end + 6);
    if (old_face_end == 0) std::abort();
    const size_t old_items = (old_face_end + 3) & ~size_t{3};

    // The new font and face.
    const uint8_t* f = out + title_end;
    if (word_at(f) != font.point_size || word_at(f + 2) != font.weight || f[4] != 1 || f[5] != 128)
        std::abort();
    const size_t kept_face = face.size() < 31 ? face.size() : 31;
    for (size_t i = 0; i < kept_face; ++i)
        if (word_at(f + 6 + 2 * i) != face[i]) std::abort();
    if (word_at(f + 6 + 2 * kept_face) != 0) std::abort();

    // The items, unchanged, on the next boundary.
    const size_t new_items = (title_end + 6 + 2 * (kept_face + 1) + 3) & ~size_t{3};
    const size_t rest = old_items < resource.size() ? resource.size() - old_items : 0;
    if (written != new_items + rest) std::abort();
    if (rest && std::memcmp(out + new_items, in + old_items, rest) != 0) std::abort();

    // The copy is itself such a template; the same font changes nothing more.
    const guarded_block again_in(out, written);
    const guarded_block again(written + dialog_font_headroom);
    const size_t again_size = refont_dialog_template(again_in.data(), written, font, again.data(),
                                                     written + dialog_font_headroom);
    if (again_size != written || std::memcmp(again.data(), out, written) != 0) std::abort();
    return 0;
}
