#pragma once
// The window mover's grid steps as plain arithmetic on a window rectangle
// relative to the work area's top-left corner. No Windows header: tested
// and fuzzed natively.

#include <cstdint>

namespace zuvogrid {

struct grid_rect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

// The eight hot keys that act on the grid, numbered as their event codes.
enum class grid_action : uint32_t {
    move_up = 256,
    move_down = 257,
    move_left = 258,
    move_right = 259,
    resize_up = 260,    // shrinks the height
    resize_down = 261,  // grows the height
    resize_left = 262,  // shrinks the width
    resize_right = 263, // grows the width
};

struct grid_settings {
    // An empty edit field saves 0; a step of 0 acts as 1 so that the key
    // still does something and no remainder ever divides by zero.
    uint32_t step_x = 64;
    uint32_t step_y = 48;
    bool fit_to_grid = true;
};

// The rectangle after one action. Moves stop at the work area's top and
// left, and at its bottom and right by moving back; growing never exceeds
// the work area and pushes the window up or left to stay inside. Shrinking
// stops at one step, so a window is never asked to be zero or less in size
// (one that is already smaller keeps its size). Results saturate at the
// 32-bit range rather than wrap.
grid_rect apply_grid(grid_action action, const grid_rect& window, int32_t work_width,
                     int32_t work_height, const grid_settings& settings) noexcept;

// How far a window's rectangle reaches beyond its visible frame on each
// side: the resizing borders that the system does not draw (about 7 pixels
// left, right and below on Windows 10 and 11, none on older systems).
struct frame_borders {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

// The borders between a window's rectangle and its visible frame, both in
// the same coordinates. None when the frame does not lie within the
// rectangle or leaves nothing of it: such a frame is not to be trusted, and
// the rectangle itself stands for the window.
frame_borders borders_between(const grid_rect& window, const grid_rect& frame) noexcept;

// The visible frame of a window rectangle, and the window rectangle that
// puts the visible frame at `frame`. Both saturate at the 32-bit range.
grid_rect without_borders(const grid_rect& window, const frame_borders& borders) noexcept;
grid_rect with_borders(const grid_rect& frame, const frame_borders& borders) noexcept;

} // namespace zuvogrid
