#pragma once
// The about box: program description, version and legal notice from the
// program's own version resource, and the current control's description.

#include <cstdint>

void show_about_box() noexcept;

// "%d.%d.%d" of a fixed file version (major, minor, build).
void format_file_version(uint32_t version_ms, uint32_t version_ls, wchar_t* out,
                         size_t capacity) noexcept;
