#pragma once
// The probe's settings values: lists of numbers and escaped texts.

#include <cstdint>
#include <vector>

struct number_list {
    bool all = false; // "*"
    std::vector<uint32_t> values;
    bool contains(uint32_t value) const;
};

// "0x111, 273,0x800" -> {0x111, 273, 0x800}; "*" -> all. Items that are not
// numbers are skipped.
number_list parse_number_list(const wchar_t* text);
// One number, decimal or 0x-hex; `fallback` for anything else.
uint64_t parse_number(const wchar_t* text, uint64_t fallback);
// "\n" (backslash, n) becomes a line feed, in place.
void unescape_line_breaks(wchar_t* text);
