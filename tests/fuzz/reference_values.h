#pragma once
// Reference rules for the value forms of the settings and resource files,
// written out character by character for the fuzz targets to compare with.

#include <cstddef>
#include <cstdint>

namespace reference {

inline int hex(wchar_t c) {
    static const wchar_t lower[] = L"0123456789abcdef";
    static const wchar_t upper[] = L"0123456789ABCDEF";
    for (int i = 0; i < 16; ++i)
        if (c == lower[i] || c == upper[i]) return i;
    return -1;
}

// Decimal value of the leading digits, modulo 2^32, one digit at a time in
// 64 bits.
inline uint32_t number(const wchar_t* text) {
    uint64_t value = 0;
    for (; *text >= L'0' && *text <= L'9'; ++text)
        value = (value * 10 + static_cast<uint64_t>(*text - L'0')) & 0xFFFFFFFFu;
    return static_cast<uint32_t>(value);
}

// The same after one optional sign, negated after "-".
inline int32_t signed_number(const wchar_t* text) {
    const bool sign = text[0] == L'-' || text[0] == L'+';
    const uint32_t value = number(sign ? text + 1 : text);
    return static_cast<int32_t>(text[0] == L'-' ? 0u - value : value);
}

// "#rrggbb" (up to six digits, the value of those present) as a COLORREF,
// red in the low byte; `fallback` without the "#".
inline uint32_t color(const wchar_t* text, uint32_t fallback) {
    if (text[0] != L'#') return fallback;
    uint32_t rgb = 0;
    for (size_t i = 1; i <= 6 && hex(text[i]) >= 0; ++i)
        rgb = rgb * 16 + static_cast<uint32_t>(hex(text[i]));
    return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | (rgb >> 16);
}

} // namespace reference
