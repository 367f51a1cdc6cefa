#pragma once
// seethru.ini, section "SeeThru": read at entry and by the configuration
// dialog, written by the dialog only.

#include <cstddef>
#include <cstdint>

struct seethru_settings {
    static constexpr size_t steps_capacity = 1024;

    uint32_t hotkey_alpha = 0;
    wchar_t alpha_steps[steps_capacity] = {};
    uint32_t window_check_interval = 0; // seconds; never written back
    bool show_tips = false;
    bool show_balloon = false;
    uint32_t tips_timer = 0; // milliseconds
};

// Reading stores every default first, so a missing file or key leaves it;
// a missing or empty AlphaSteps reads as the default steps. Writing returns
// false when the file could not take everything.
bool exchange_seethru_settings(seethru_settings& settings, bool write) noexcept;
