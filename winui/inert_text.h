#pragma once
// Text that comes from outside (window titles and class names, device and
// line names, control captions) on its way into tips markup or a balloon.
// Such text is only ever shown: a line break in a title would end the tips'
// text field, and the rest of the title would place and colour the tips or
// add click areas that post any command of the main program. Plain
// functions, no Windows, so that they are tested and fuzzed natively.

#include <cstddef>
#include <cstdint>

// Copies `text` (null counts as empty) into `out` (`capacity` characters,
// terminator included; always terminated) so that the markup can only show
// it, and returns the characters written, at most `limit`:
//   - every control character (C0, DEL, C1, and the line and paragraph
//     separators U+2028, U+2029) becomes a space, so the text stays on its
//     line and in its field;
//   - an '&' followed by '{', or one that would end the copy, gets a space
//     after it (or is left out when no room is left for that): the markup
//     has no escape for "&{", which opens a command block, and the format
//     goes on right behind the copy;
//   - the cut never falls between the two halves of a surrogate pair.
size_t copy_inert_text(wchar_t* out, size_t capacity, const wchar_t* text,
                       size_t limit = SIZE_MAX) noexcept;
