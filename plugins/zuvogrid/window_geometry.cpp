#include "plugins/zuvogrid/window_geometry.h"

#include "common/library_search.h"

#include <dwmapi.h>

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

zuvogrid::grid_rect grid_rect_of(const RECT& r) noexcept {
    return {r.left, r.top, static_cast<int32_t>(int64_t{r.right} - r.left),
            static_cast<int32_t>(int64_t{r.bottom} - r.top)};
}

// Where the window is drawn. GetWindowRect includes the resizing borders
// that Windows 10 and 11 leave undrawn, and a window placed by it would
// stand off its neighbours and the screen's edges by them. dwmapi.dll is
// no known DLL: taken from System32, and missing before Vista.
bool visible_frame(HWND window, RECT& frame) noexcept {
    using get_attribute = decltype(&DwmGetWindowAttribute);
    static const get_attribute get =
        system_function<get_attribute>(L"dwmapi.dll", "DwmGetWindowAttribute");
    return get && SUCCEEDED(get(window, DWMWA_EXTENDED_FRAME_BOUNDS, &frame, sizeof frame));
}

// The work area of the monitor that holds the largest part of the window
// (or is nearest to it): a window on a second monitor stays there.
RECT work_area_of(HWND window) noexcept {
    RECT work{};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor))
        work = monitor.rcWork;
    else
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return work;
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
    g.work = work_area_of(window);
    RECT outer{};
    if (!GetWindowRect(window, &outer)) return g;
    const zuvogrid::grid_rect window_rect = grid_rect_of(outer);
    RECT frame{};
    if (visible_frame(window, frame))
        g.borders = zuvogrid::borders_between(window_rect, grid_rect_of(frame));
    g.set_window_rect({window_rect.x - g.work.left, window_rect.y - g.work.top, window_rect.width,
                       window_rect.height});
    return g;
}

bool apply_geometry(const window_geometry& g) noexcept {
    // Asynchronous: the window's thread takes the change when it gets to it.
    // A program that is busy or has stopped reading messages would otherwise
    // hold the main program's one thread for as long as it likes.
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER | SWP_ASYNCWINDOWPOS;
    if (!g.can_move) flags |= SWP_NOMOVE;
    if (!g.can_size) flags |= SWP_NOSIZE;
    // The visible frame goes where asked; the undrawn borders lie beyond it.
    const zuvogrid::grid_rect r = g.window_rect();
    return SetWindowPos(g.window, nullptr, screen_coordinate(g.work.left, r.x),
                        screen_coordinate(g.work.top, r.y), r.width, r.height, flags) != FALSE;
}

window_geometry settled_geometry(const window_geometry& asked, uint32_t timeout_ms) noexcept {
    const ULONGLONG deadline = GetTickCount64() + timeout_ms;
    for (;;) {
        const window_geometry now = take_geometry(asked.window);
        const bool placed =
            !asked.can_move || (now.rect.x == asked.rect.x && now.rect.y == asked.rect.y);
        const bool sized = !asked.can_size || (now.rect.width == asked.rect.width &&
                                               now.rect.height == asked.rect.height);
        if ((placed && sized) || GetTickCount64() >= deadline) return now;
        Sleep(10);
    }
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
