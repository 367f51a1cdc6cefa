#pragma once
// The opacity steps of the transparency key, as plain functions: the
// "AlphaSteps" text read into a step list, a window's next step, the alpha
// value of a percentage, and the text the configuration dialog writes back.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace seethru {

constexpr uint32_t opaque_percent = 100;

// Element 0 is always 100, then the numbers of `text` in their order. Blanks
// and tabs around numbers and commas are skipped; a missing number counts as
// 0, and 0 is left out. Reading stops at the first character that fits
// nowhere. Numbers above 100 and repeated numbers (100 included) are left
// out as well: the next step is found by the window's percentage, so a
// window would otherwise stop at "opaque" in the middle of the list, or
// circle between two repeats and never become opaque again. Null reads as
// empty.
std::vector<uint32_t> parse_alpha_steps(const wchar_t* text);

// The step after `current`: the element behind the first one equal to it,
// or 100 when that was the last or none matches.
uint32_t next_percent(const std::vector<uint32_t>& steps, uint32_t current);

// The 8-bit alpha of a percentage below 100 (80 gives 204, 50 gives 127).
uint8_t alpha_of_percent(uint32_t percent);

// `values` as "%d" numbers joined by "," without blanks into `out`
// (`capacity` characters, always terminated; a value that no longer fits is
// left out whole). Returns the characters written.
size_t join_alpha_steps(const std::vector<uint32_t>& values, wchar_t* out, size_t capacity);

} // namespace seethru
