#pragma once
// The texts of a plug-in's feedback: each line as one centred block of tips
// markup ("&{M0," line "\n}", one block after the other, as each field ends
// its line) and as a line of plain balloon text. Plain functions, no Windows.

#include <cstddef>
#include <cstdint>
#include <initializer_list>

struct feedback_line {
    const wchar_t* text = nullptr; // null counts as empty
    // At most this many characters of the text, like a printf precision.
    size_t precision = SIZE_MAX;
};

// Formats into `out` (capacity in characters), cutting at capacity - 1 and
// always terminating, as StringCchPrintfW does. Returns the characters written.
// The lines are texts from outside: each goes in as copy_inert_text makes it
// (control characters as spaces, no "&{", no half surrogate pair at the cut).
//   tips:    "&{M0,%.Ns\n}&{M0,%.Ns\n}" for two lines
//   balloon: "%.Ns\n%.Ns\n"
size_t make_tips_markup(wchar_t* out, size_t capacity,
                        std::initializer_list<feedback_line> lines) noexcept;
size_t make_balloon_text(wchar_t* out, size_t capacity,
                         std::initializer_list<feedback_line> lines) noexcept;
