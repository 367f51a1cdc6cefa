#pragma once
// A snapshot of the window a hot key acts on, measured against the primary
// monitor's work area, and the one way the plug-in moves and sizes windows.

#include "plugins/zuvogrid/grid.h"

#include <windows.h>

struct window_geometry {
    HWND window = nullptr;
    UINT show_state = SW_SHOWNORMAL;
    bool can_move = false; // only a normal window: not maximized, not minimized
    bool can_size = false; // a normal window with a sizing border
    bool has_minimize_box = false;
    bool has_maximize_box = false;
    RECT work{};
    zuvogrid::grid_rect rect; // relative to the work area's top-left corner

    int32_t work_width() const noexcept { return work.right - work.left; }
    int32_t work_height() const noexcept { return work.bottom - work.top; }
};

window_geometry take_geometry(HWND window) noexcept;

// Moves and sizes as far as the window allows: a maximized or minimized one
// (or one whose state cannot be read) keeps its place, one without a sizing
// border keeps its size. The window takes the change when its thread gets
// to it; nothing waits for that.
void apply_geometry(const window_geometry& geometry) noexcept;

// The foreground window's top-level window: an owned dialog is its own
// top-level window, a child window is not. Null when nothing is in front, or
// only the desktop or a taskbar.
HWND target_window() noexcept;
