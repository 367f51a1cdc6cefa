#include "plugins/zuvogrid/window_geometry.h"

#include <algorithm>
#include <climits>

namespace {

// Offsets from a damaged position file may be anything; the sum must not
// wrap around to the other side of the screen.
int screen_coordinate(LONG origin, int32_t offset) noexcept {
    return static_cast<int>(std::clamp<int64_t>(int64_t{origin} + offset, INT_MIN, INT_MAX));
}

// The desktop and the taskbars are the shell's own windows, in front when
// the user clicked them: they are not to be moved.
bool is_shell_window(HWND window) noexcept {
    if (window == GetDesktopWindow() || window == GetShellWindow()) return true;
    wchar_t class_name[32] = {};
    if (!RealGetWindowClassW(window, class_name, 32)) return false;
    for (const wchar_t* shell :
         {L"Progman", L"WorkerW", L"Shell_TrayWnd", L"Shell_SecondaryTrayWnd"})
        if (lstrcmpW(class_name, shell) == 0) return true;
    return false;
}

} // namespace

window_geometry take_geometry(HWND window) noexcept {
    window_geometry g;
    g.window = window;
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    // A window whose state cannot be read is not known to be a normal one.
    const bool placed = GetWindowPlacement(window, &placement) != FALSE;
    if (placed) g.show_state = placement.showCmd;
    const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    g.can_move = placed && g.show_state == SW_SHOWNORMAL;
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
    // Asynchronous: the window's thread takes the change when it gets to it.
    // A program that is busy or has stopped reading messages would otherwise
    // hold the main program's one thread for as long as it likes.
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER | SWP_ASYNCWINDOWPOS;
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
    return is_shell_window(window) ? nullptr : window;
}
