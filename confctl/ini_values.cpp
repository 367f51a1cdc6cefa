#include "confctl/ini_values.h"

namespace ini_values {

namespace {
bool is_digit(wchar_t c) noexcept {
    return c >= L'0' && c <= L'9';
}
} // namespace

int hex_digit_value(wchar_t c) noexcept {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

uint32_t swap_red_blue(uint32_t color) noexcept {
    return ((color >> 16) & 0xFFu) | (color & 0xFF00u) | ((color & 0xFFu) << 16);
}

uint32_t parse_ulong(const wchar_t* text) noexcept {
    uint32_t value = 0;
    if (!text) return 0;
    for (; is_digit(*text); ++text) value = value * 10u + static_cast<uint32_t>(*text - L'0');
    return value;
}

int32_t parse_long(const wchar_t* text) noexcept {
    if (!text) return 0;
    bool negative = false;
    if (*text == L'-' || *text == L'+') negative = *text++ == L'-';
    uint32_t value = parse_ulong(text);
    return static_cast<int32_t>(negative ? 0u - value : value);
}

uint32_t parse_color(const wchar_t* text, uint32_t fallback) noexcept {
    if (!text || *text != L'#') return fallback;
    uint32_t rgb = 0;
    ++text;
    for (int i = 0; i < 6; ++i, ++text) {
        int digit = hex_digit_value(*text);
        if (digit < 0) break;
        rgb = (rgb << 4) | static_cast<uint32_t>(digit);
    }
    // rgb is 0xRRGGBB as written; COLORREF keeps red in the low byte.
    return swap_red_blue(rgb);
}

void format_color(uint32_t colorref, wchar_t* out, size_t capacity) noexcept {
    static const wchar_t digits[] = L"0123456789abcdef";
    if (!out || capacity == 0) return;
    if (capacity < 8) {
        out[0] = L'\0';
        return;
    }
    const uint32_t channels[3] = {colorref & 0xFFu, (colorref >> 8) & 0xFFu,
                                  (colorref >> 16) & 0xFFu};
    out[0] = L'#';
    for (int i = 0; i < 3; ++i) {
        out[1 + 2 * i] = digits[channels[i] >> 4];
        out[2 + 2 * i] = digits[channels[i] & 0xFu];
    }
    out[7] = L'\0';
}

text_mark leading_mark(const uint8_t* bytes, size_t size) noexcept {
    if (!bytes) return text_mark::none;
    if (size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) return text_mark::utf16le;
    if (size >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) return text_mark::utf16be;
    if (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF)
        return text_mark::utf8;
    return text_mark::none;
}

} // namespace ini_values
