#pragma once
// Which program an audio session belongs to, from the identifier Windows
// gives it: "<device>|<program's full file name>%b{<grouping>}", with
// "|1%b<process id>" after it for one instance. Plain text work, no Windows
// header, so that it is tested and fuzzed natively.

#include <cstddef>

// Copies the file name part (after the last '\' or '/') of the program named
// in `identifier` into `out`; false, with `out` empty, when the identifier
// names none or the name does not fit. `identifier` may be null.
bool session_file_name(const wchar_t* identifier, wchar_t* out, size_t capacity) noexcept;

// Whether two file names are the same, ignoring the case of ASCII letters
// (how Windows file names compare for the names programs have).
bool same_file_name(const wchar_t* a, const wchar_t* b) noexcept;
