#pragma once
// zuvogrid.ini: read at entry and by the configuration dialog, written by
// the dialog only.

#include <cstddef>
#include <cstdint>

// The hot keys in registration order; key i fires event code 256 + i.
enum zuvogrid_key : size_t {
    key_move_up,
    key_move_down,
    key_move_left,
    key_move_right,
    key_resize_up,
    key_resize_down,
    key_resize_left,
    key_resize_right,
    key_maximize,
    key_minimize,
    key_fix_position,
    key_count
};

struct zuvogrid_settings {
    uint32_t hotkeys[key_count] = {};
    uint32_t grid_x = 0;
    uint32_t grid_y = 0;
    bool fit_to_grid = false;
    bool show_tips = false;
    bool show_balloon = false;
    uint32_t tips_timer = 0; // milliseconds; also how long a restore cycle lasts
};

// Reading stores every default first, so a missing file or key leaves it.
// Writing returns false when the file could not take everything.
bool exchange_zuvogrid_settings(zuvogrid_settings& settings, bool write) noexcept;
