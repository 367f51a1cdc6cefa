// A program in front that receives keys, for the hot-key tests: it shows a
// window, takes the keyboard and posts every key message it gets to the
// test's window given on the command line.
//
//   key_target <test window as a decimal number> [sizable | owned]
//
// "sizable" gives the window a sizing border and the maximize and minimize
// boxes; "owned" adds a sizable window it owns, which takes the keyboard;
// "aside" places it away from the top-left corner, where the shell's icons are.
//
// To the test window: key_target_ready (lParam: this window) once, then
// key_target_key for every key message (wParam the virtual key, lParam the
// keystroke flags; bit 31 tells a key-up), key_target_wheel for every
// wheel message (wParam and lParam as received) and key_target_null for every
// WM_NULL.

#include "tests/support/key_target_protocol.h"

#include <cstdlib>
#include <cstring>

namespace {

HWND g_report_to = nullptr;

LRESULT CALLBACK target_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
        PostMessageW(g_report_to, key_target_key, wparam, lparam);
        // No menu mode for Alt: the window must keep the keyboard.
        return 0;
    case WM_SYSCHAR:
        return 0;
    case WM_MOUSEWHEEL:
        PostMessageW(g_report_to, key_target_wheel, wparam, lparam);
        return 0;
    case WM_NULL:
        PostMessageW(g_report_to, key_target_null, 0, 0);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wparam, lparam);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    g_report_to =
        reinterpret_cast<HWND>(static_cast<uintptr_t>(std::strtoull(argv[1], nullptr, 10)));

    WNDCLASSW wc{};
    wc.lpfnWndProc = target_proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"key_target";
    if (!RegisterClassW(&wc)) return 3;
    const char* kind = argc > 2 ? argv[2] : "";
    const bool owned = std::strcmp(kind, "owned") == 0;
    const DWORD style =
        owned || std::strcmp(kind, "sizable") == 0 ? WS_OVERLAPPEDWINDOW : WS_OVERLAPPED;
    const int at = std::strcmp(kind, "aside") == 0 ? 300 : 0;
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"hook key target", style | WS_VISIBLE, at,
                                  at, 200, 120, nullptr, nullptr, wc.hInstance, nullptr);
    if (window && owned)
        window = CreateWindowExW(0, wc.lpszClassName, L"owned key target",
                                 WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_VISIBLE,
                                 300, 200, 240, 160, window, nullptr, wc.hInstance, nullptr);
    if (!window) return 4;
    SetForegroundWindow(window);
    SetFocus(window);
    PostMessageW(g_report_to, key_target_ready, 0, reinterpret_cast<LPARAM>(window));

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
