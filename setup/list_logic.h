#pragma once
// Slot arithmetic and the texts of the Controls, Launcher and Plug-ins pages.
// No Windows here, so that they can be tested and fuzzed natively.

#include <cstddef>
#include <cstdint>
#include <optional>

enum class slot_move { up, down };

// The slot that `current` trades places with when moved among `count`
// slots; nothing for the first slot moved up, the last moved down, or a
// slot outside the list.
std::optional<size_t> slot_swap_partner(size_t current, slot_move direction, size_t count) noexcept;

// A slot's line in the list: the number with at least two digits, ": ", the
// caption (null counts as empty). Cut to `capacity` - 1 characters.
void format_slot_text(size_t slot, const wchar_t* caption, wchar_t* text, size_t capacity) noexcept;

// The caption a control slot gets from the selection dialog: the one the
// dialog proposes; for a control without a name (none proposed) the caption
// the slot had, else "#" and the device's name, since an empty caption
// would free the slot. Cut to `capacity` - 1 characters.
void caption_after_selection(const wchar_t* proposed, const wchar_t* previous,
                             const wchar_t* device, wchar_t* caption, size_t capacity) noexcept;

// "major.minor.build" of a fixed file version (the high and low double
// words of VS_FIXEDFILEINFO); the revision is not shown.
void format_file_version(uint32_t version_ms, uint32_t version_ls, wchar_t* text,
                         size_t capacity) noexcept;

// What the Plug-ins page shows for a library with version information:
// description " ver." version, a line break, the copyright.
void format_plugin_info(const wchar_t* description, const wchar_t* version,
                        const wchar_t* copyright, wchar_t* text, size_t capacity) noexcept;

// The version-resource query for one string of a translation:
// "\StringFileInfo\<language><code page>\<name>", both in four hex digits.
void format_version_string_key(uint16_t language, uint16_t code_page, const wchar_t* name,
                               wchar_t* key, size_t capacity) noexcept;

// `folder` "\" `file_name` (no second separator after a folder that ends in
// one). False, with `path` empty, when either part is empty or the whole
// does not fit into `capacity` - 1 characters: a cut path names another file.
bool join_plugin_path(const wchar_t* folder, const wchar_t* file_name, wchar_t* path,
                      size_t capacity) noexcept;
