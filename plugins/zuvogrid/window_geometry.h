#pragma once
// A snapshot of the window a hot key acts on, measured by its visible frame
// against the work area of the monitor it is on, and the one way the
// plug-in moves and sizes windows.

#include "plugins/zuvogrid/grid.h"

#include <windows.h>

struct window_geometry {
    HWND window = nullptr;
    UINT show_state = SW_SHOWNORMAL;
    bool can_move = false; // only a normal window: not maximized, not minimized
    bool can_size = false; // a normal window with a sizing border
    bool has_minimize_box = false;
    bool has_maximize_box = false;
    RECT work{};              // of the window's own monitor
    zuvogrid::grid_rect rect; // the visible frame, relative to the work area's top-left corner
    zuvogrid::frame_borders borders; // the window's rectangle around that frame

    // The window's rectangle, its undrawn borders included, relative to the
    // work area: what saved positions hold, as they always have.
    zuvogrid::grid_rect window_rect() const noexcept {
        return zuvogrid::with_borders(rect, borders);
    }
    void set_window_rect(const zuvogrid::grid_rect& r) noexcept {
        rect = zuvogrid::without_borders(r, borders);
    }

    int32_t work_width() const noexcept { return work.right - work.left; }
    int32_t work_height() const noexcept { return work.bottom - work.top; }
};

window_geometry take_geometry(HWND window) noexcept;

// Moves and sizes as far as the window allows: a maximized or minimized one
// (or one whose state cannot be read) keeps its place, one without a sizing
// border keeps its size. The window takes the change when its thread gets
// to it; nothing waits for that. False when the system refused the change
// (a window of a program at a higher integrity level, a window gone).
bool apply_geometry(const window_geometry& geometry) noexcept;

// The window's geometry once it shows what `asked` asked for, or as it is
// after `timeout_ms` (a window that keeps its own limits, one that is slow).
// Reading it never waits on the window's thread.
window_geometry settled_geometry(const window_geometry& asked, uint32_t timeout_ms) noexcept;

// The foreground window's top-level window: an owned dialog is its own
// top-level window, a child window is not. Null when nothing is in front, or
// only the desktop or a taskbar.
HWND target_window() noexcept;
