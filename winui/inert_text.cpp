#include "winui/inert_text.h"

namespace {

bool is_control(wchar_t c) noexcept {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}
bool is_high_surrogate(wchar_t c) noexcept {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool is_low_surrogate(wchar_t c) noexcept {
    return c >= 0xDC00 && c <= 0xDFFF;
}

} // namespace

size_t copy_inert_text(wchar_t* out, size_t capacity, const wchar_t* text, size_t limit) noexcept {
    if (!out || capacity == 0) return 0;
    const size_t room = limit < capacity - 1 ? limit : capacity - 1;
    size_t n = 0;
    for (size_t i = 0; text && text[i] != L'\0' && n < room; ++i) {
        const wchar_t c = text[i];
        if (is_high_surrogate(c) && is_low_surrogate(text[i + 1])) {
            if (n + 2 > room) break;
            out[n++] = c;
            out[n++] = text[++i];
            continue;
        }
        out[n++] = is_control(c) ? L' ' : c;
        if (c == L'&' && text[i + 1] == L'{' && n < room) out[n++] = L' ';
    }
    // Whatever the format puts behind the copy must not meet an '&'.
    while (n > 0 && out[n - 1] == L'&') {
        if (n < room) {
            out[n++] = L' ';
            break;
        }
        --n; // no room for the space: the '&' goes, and the one before may need it
    }
    out[n] = L'\0';
    return n;
}
