#pragma once
// Value forms of the settings files, as plain functions so that they can be
// tested and fuzzed without Windows.

#include <cstddef>
#include <cstdint>

namespace ini_values {

// Decimal digits from the first character on, in wrapping 32-bit arithmetic;
// the first non-digit ends the number. "12abc" -> 12, "abc" -> 0.
uint32_t parse_ulong(const wchar_t* text) noexcept;
// The same after one optional "-" or "+"; the result is negated after "-".
int32_t parse_long(const wchar_t* text) noexcept;

// 0..15 for a hexadecimal digit (either case), -1 for anything else.
int hex_digit_value(wchar_t c) noexcept;
// Exchanges the red and blue bytes: a COLORREF (0x00bbggrr) becomes the
// number that "rrggbb" is written as, and back.
uint32_t swap_red_blue(uint32_t color) noexcept;

// "#rrggbb" -> COLORREF (0x00bbggrr). Up to 6 hex digits after "#" are
// accumulated and stop at the first other character; a text not starting
// with "#" yields `fallback`.
uint32_t parse_color(const wchar_t* text, uint32_t fallback) noexcept;
// COLORREF -> "#rrggbb" (lower case); `capacity` of at least 8 characters.
void format_color(uint32_t colorref, wchar_t* out, size_t capacity) noexcept;

// The byte-order mark a file starts with. The profile functions keep a file
// with the UTF-16LE mark in UTF-16 and take any other as text in the ANSI
// code page (Wine also honours the UTF-8 and UTF-16BE marks).
enum class text_mark { none, utf8, utf16le, utf16be };
text_mark leading_mark(const uint8_t* bytes, size_t size) noexcept;

} // namespace ini_values
