// A program in front that receives keys, for the hot-key tests: it shows a
// window, takes the keyboard and posts every key message it gets to the
// test's window given on the command line.
//
//   key_target <test window as a decimal number>
//              [sizable | owned | slow | taskbar | desktop | aside]
//
// "sizable" gives the window a sizing border and the maximize and minimize
// boxes; "owned" adds a sizable window it owns, which takes the keyboard.
// "slow" is a sizable window that, once ready, takes 3 s to accept a move
// or a new size (in WM_WINDOWPOSCHANGING) and a new extended style (in
// WM_STYLECHANGING). "taskbar" and "desktop" give the window the class of
// the shell's taskbar or desktop. "aside" places it away from the top-left
// corner, where the shell's icons are.
//
// To the test window: key_target_ready (lParam: this window) once, then
// key_target_key for every key message (wParam the virtual key, lParam the
// keystroke flags; bit 31 tells a key-up), key_target_wheel for every wheel
// message (wParam and lParam as received) and key_target_null for every
// WM_NULL. Posted key_target_stall, it stops reading messages for a while
// (see key_target_protocol.h).

#include "tests/support/key_target_protocol.h"

#include <cstdlib>
#include <cstring>

namespace {

HWND g_report_to = nullptr;
bool g_slow = false;
constexpr DWORD slow_ms = 3000;

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
    case WM_WINDOWPOSCHANGING:
        if (g_slow) {
            const auto* pos = reinterpret_cast<const WINDOWPOS*>(lparam);
            if ((pos->flags & (SWP_NOMOVE | SWP_NOSIZE)) != (SWP_NOMOVE | SWP_NOSIZE))
                Sleep(slow_ms);
        }
        return DefWindowProcW(window, message, wparam, lparam);
    case WM_STYLECHANGING:
        if (g_slow && wparam == static_cast<WPARAM>(GWL_EXSTYLE)) Sleep(slow_ms);
        return 0;
    case WM_MOUSEWHEEL:
        PostMessageW(g_report_to, key_target_wheel, wparam, lparam);
        return 0;
    case WM_NULL:
        PostMessageW(g_report_to, key_target_null, 0, 0);
        return 0;
    case key_target_stall:
        PostMessageW(g_report_to, key_target_stalling, 0, reinterpret_cast<LPARAM>(window));
        Sleep(static_cast<DWORD>(wparam));
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

    const char* kind = argc > 2 ? argv[2] : "";
    const auto is = [&](const char* name) { return std::strcmp(kind, name) == 0; };
    const bool owned = is("owned");
    const bool slow = is("slow");
    WNDCLASSW wc{};
    wc.lpfnWndProc = target_proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = is("taskbar")   ? L"Shell_TrayWnd"
                       : is("desktop") ? L"Progman"
                                       : L"key_target";
    if (!RegisterClassW(&wc)) return 3;
    const DWORD style = owned || slow || is("sizable") ? WS_OVERLAPPEDWINDOW : WS_OVERLAPPED;
    const int at = is("aside") ? 300 : 0;
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"hook key target", style | WS_VISIBLE, at,
                                  at, 200, 120, nullptr, nullptr, wc.hInstance, nullptr);
    if (window && owned)
        window = CreateWindowExW(0, wc.lpszClassName, L"owned key target",
                                 WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_VISIBLE,
                                 300, 200, 240, 160, window, nullptr, wc.hInstance, nullptr);
    if (!window) return 4;
    SetForegroundWindow(window);
    SetFocus(window);
    g_slow = slow;
    PostMessageW(g_report_to, key_target_ready, 0, reinterpret_cast<LPARAM>(window));

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
