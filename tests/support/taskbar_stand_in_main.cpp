// A stand-in for the shell's taskbar, for the taskbar-wheel tests: a window
// of the taskbar's class at a rectangle the test chooses, and a neighbour
// window right of it, both topmost. Every mouse message either receives is
// posted on to the test's window (see taskbar_stand_in_protocol.h).
//
//   taskbar_stand_in <test window> <left> <top> <right> <bottom>
//
// The neighbour is 200 pixels wide. The taskbar takes the keyboard focus,
// because Wine hands wheel messages to the focus window. Asked to, a third
// window covers the taskbar and takes the focus.

#include "tests/support/taskbar_stand_in_protocol.h"

#include <cstdlib>

namespace {

HWND g_report_to = nullptr;
RECT g_bar{};

HWND create(const wchar_t* class_name, WNDPROC procedure, const RECT& r);

bool is_mouse_message(UINT message) {
    return (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) || message == WM_MOUSEHWHEEL;
}

LRESULT CALLBACK report_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT report) {
    if (is_mouse_message(message)) {
        PostMessageW(g_report_to, report, message, lparam);
        // Handled here, so that nothing reaches the parent chain twice.
        return 0;
    }
    if (message == WM_MOUSEACTIVATE) return MA_NOACTIVATE;
    if (message == WM_DESTROY && report == stand_in_taskbar_mouse) PostQuitMessage(0);
    return DefWindowProcW(window, message, wparam, lparam);
}

LRESULT CALLBACK cover_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return report_proc(window, message, wparam, lparam, stand_in_cover_mouse);
}

LRESULT CALLBACK taskbar_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == stand_in_cover) {
        HWND cover = create(L"taskbar_cover", cover_proc, g_bar);
        SetForegroundWindow(cover);
        SetFocus(cover);
        PostMessageW(g_report_to, stand_in_covered, 0, reinterpret_cast<LPARAM>(cover));
        return 0;
    }
    return report_proc(window, message, wparam, lparam, stand_in_taskbar_mouse);
}

LRESULT CALLBACK neighbour_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    return report_proc(window, message, wparam, lparam, stand_in_neighbour_mouse);
}

HWND create(const wchar_t* class_name, WNDPROC procedure, const RECT& r) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = procedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = class_name;
    if (!RegisterClassW(&wc)) return nullptr;
    HWND window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, class_name, class_name,
                                  WS_POPUP | WS_VISIBLE, r.left, r.top, r.right - r.left,
                                  r.bottom - r.top, nullptr, nullptr, wc.hInstance, nullptr);
    if (window) SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    return window;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 6) return 2;
    g_report_to =
        reinterpret_cast<HWND>(static_cast<uintptr_t>(std::strtoull(argv[1], nullptr, 10)));
    const RECT bar{std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5])};
    g_bar = bar;
    RECT beside{bar.right, bar.top, bar.right + 200, bar.bottom};

    HWND neighbour = create(L"taskbar_neighbour", neighbour_proc, beside);
    HWND taskbar = create(L"Shell_TrayWnd", taskbar_proc, bar);
    if (!taskbar || !neighbour) return 3;
    SetForegroundWindow(taskbar);
    SetFocus(taskbar);
    PostMessageW(g_report_to, stand_in_ready, reinterpret_cast<WPARAM>(neighbour),
                 reinterpret_cast<LPARAM>(taskbar));

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
