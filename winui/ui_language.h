#pragma once
// The language of dialogs, menus and texts: Japanese for a user whose
// Windows speaks Japanese, English for everybody else. Resources exist in
// both; these pick the one explicitly instead of leaving it to the loader,
// whose choice differs between Windows versions and Wine.

#include <windows.h>
#include <cstddef>

// Japanese (0x0411) when the primary language of `user_language` is
// Japanese, else US English (0x0409).
LANGID ui_language_for(LANGID user_language) noexcept;
// ui_language_for(GetUserDefaultUILanguage()).
LANGID ui_language() noexcept;

// The resource `id` of `type` in the user's language, else in any language.
HRSRC find_ui_resource(HMODULE module, LPCWSTR type, UINT id) noexcept;

// String `id` of `module` in the user's language (any language when that
// table lacks it), cut to `capacity` - 1 characters. Returns its length; 0
// with an empty buffer when the string does not exist.
size_t load_ui_string(HMODULE module, UINT id, wchar_t* buffer, size_t capacity) noexcept;

// String `id` formatted by FormatMessageW with `argument` as %1 (its
// %1!s!, %0 and the like), cut to fit. False with an empty buffer when the
// string does not exist or does not format.
bool format_ui_string(HMODULE module, UINT id, const wchar_t* argument, wchar_t* buffer,
                      size_t capacity) noexcept;
