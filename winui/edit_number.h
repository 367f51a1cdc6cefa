#pragma once
// The number in a numeric edit field, as the dialogs read it: one optional
// sign, then the leading decimal digits; no overflow check.

#include <cstddef>
#include <cstdint>

// Only this many characters of the field are read (a 32-character buffer).
constexpr size_t edit_number_characters = 31;

// "-15" -> -15, "+7" -> 7, "12ab" -> 12, "" and "--3" -> 0. Characters past
// the first 31 do not count; digits wrap in 32-bit arithmetic.
int32_t edit_number_from_text(const wchar_t* text) noexcept;
