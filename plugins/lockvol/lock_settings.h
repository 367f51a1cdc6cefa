#pragma once
// lockvol.ini beside the programs: section "Control" and one section
// "Control%02d" per registered control.

#include "plugins/lockvol/lock_entries.h"

#include <cstdint>
#include <vector>

namespace lockvol {

struct lock_settings {
    bool boot_enable = false;
    uint32_t hotkey_toggle = 0x500;     // Ctrl+Shift without a key: nothing registered
    uint32_t hotkey_reset_once = 0x546; // Ctrl+Shift+F
    std::vector<lock_entry> entries;
};

constexpr uint32_t tips_display_ms = 1000;
// lockvol.ini, without the extension, in the current directory.
constexpr const wchar_t* settings_file_name = L"lockvol";

// A missing file or key leaves the defaults. The configured values are
// copies of the loaded ones.
lock_settings load_settings();
// Writes everything and removes the sections of controls the file had
// beyond the current count. False when the file could not be written.
bool save_settings(const lock_settings& settings);

} // namespace lockvol
