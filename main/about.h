#pragma once
// The about box: program description, version and legal notice from the
// program's own version resource, and the current control's description.

#include <windows.h>
#include <cstdint>

class Cconfig;
class Czuvo_mixer;

// Shows the box from `instance`'s resources over `owner`; the control shown
// is the mixer's current one, described by its entry in `config`.
void show_about_box(HINSTANCE instance, HWND owner, Czuvo_mixer& mixer,
                    const Cconfig& config) noexcept;

// "%d.%d.%d" of a fixed file version (major, minor, build).
void format_file_version(uint32_t version_ms, uint32_t version_ls, wchar_t* out,
                         size_t capacity) noexcept;
