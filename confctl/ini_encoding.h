#pragma once
// The text form of a settings file. The profile functions keep an existing
// file in the form they find it: UTF-16 when it starts with the UTF-16LE mark,
// the ANSI code page otherwise, where every character outside that code page
// is written as "?". Before each change the store makes sure that the file
// can take the change without loss, and that it can be written at all.

#include <windows.h>

#include <cstddef>

namespace ini_encoding {

enum class file_state { missing, unwritable, ansi, utf8_marked, unicode };

// The file's form, or `unwritable` when it is read-only, a folder, or cannot
// be opened for writing now (held by another program without sharing).
file_state inspect(const wchar_t* path) noexcept;

// A new file holding only the UTF-16LE mark. True also when another program
// created the file first.
bool create_unicode_file(const wchar_t* path) noexcept;

// Whether the ANSI code page holds `text` exactly: no default character and
// no best-fit look-alike. Null and empty texts are held.
bool ansi_holds(const wchar_t* text) noexcept;

// Rewrites the file as UTF-16LE with its mark, decoding the bytes after
// `skip` with `code_page`. Refused when those bytes do not decode and encode
// back to themselves. The text goes to a temporary file in the same folder
// that then replaces the file, so a failure leaves the old file as it was.
bool convert_to_utf16(const wchar_t* path, UINT code_page, size_t skip) noexcept;

// Readies the file for a change that adds `section`, `key` and `value` (each
// may be null): creates a missing file in UTF-16, converts an ANSI file that
// cannot hold the texts and a file with the UTF-8 mark. False when the file
// cannot be written or not without loss; nothing is changed then.
bool prepare_change(const wchar_t* path, const wchar_t* section, const wchar_t* key,
                    const wchar_t* value) noexcept;

} // namespace ini_encoding
