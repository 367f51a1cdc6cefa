#include "plugins/zuvogrid/window_geometry.h"

#include <algorithm>
#include <climits>

namespace {

// Offsets from a damaged position file may be anything; the sum must not
// wrap around to the other side of the screen.
int screen_coordinate(LONG origin, int32_t offset) noexcept {
    return static_cast<int>(std::clamp<int64_t>(int64_t{origin} + offset, INT_MIN, INT_MAX));
}

} // namespace

window_geometry take_geometry(HWND window) noexcept {
    window_geometry g;
    g.window = window;
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (GetWindowPlacement(window, &placement)) g.show_state = placement.showCmd;
    const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    g.can_move = g.show_state == SW_SHOWNORMAL;
    g.can_size = g.can_move && (style & WS_THICKFRAME) != 0;
    g.has_minimize_box = (style & WS_MINIMIZEBOX) != 0;
    g.has_maximize_box = (style & WS_MAXIMIZEBOX) != 0;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &g.work, 0);
    WINDOWINFO info{};
    info.cbSize = sizeof info;
    if (GetWindowInfo(window, &info)) {
        g.rect.x = info.rcWindow.left - g.work.left;
        g.rect.y = info.rcWindow.top - g.work.top;
        g.rect.width = info.rcWindow.right - info.rcWindow.left;
        g.rect.height = info.rcWindow.bottom - info.rcWindow.top;
    }
    return g;
}

void apply_geometry(const window_geometry& g) noexcept {
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER;
    if (!g.can_move) flags |= SWP_NOMOVE;
    if (!g.can_size) flags |= SWP_NOSIZE;
    SetWindowPos(g.window, nullptr, screen_coordinate(g.work.left, g.rect.x),
                 screen_coordinate(g.work.top, g.rect.y), g.rect.width, g.rect.height, flags);
}

HWND target_window() noexcept {
    HWND window = GetForegroundWindow();
    if (!window) return nullptr;
    const HWND desktop = GetDesktopWindow();
    for (HWND parent = GetAncestor(window, GA_PARENT); parent && parent != desktop;
         parent = GetAncestor(window, GA_PARENT))
        window = parent;
    return window;
}
