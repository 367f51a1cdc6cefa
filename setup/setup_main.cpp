// zuvoset.exe: edits zuvo.ini in one dialog and restarts the tray program so
// that the saved settings take effect.

#include "common/gdiplus_include.h"
#include "common/library_search.h"
#include "common/unique_resource.h"
#include "confctl/config.h"
#include "setup/resource.h"
#include "setup/restart.h"
#include "setup/settings_dialog.h"
#include "setup/start_with_windows.h"

#include <commctrl.h>
#include <objbase.h>

#include <memory>
#include <new>

namespace {

constexpr wchar_t setup_class[] = L"Quellbar_Setup_Class";
constexpr int exit_already_running = 100;
constexpr int exit_no_com = 255;

// The hidden window that marks the running instance and owns the dialog.
unique_hwnd create_setup_window(HINSTANCE instance) noexcept {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = DefWindowProcW;
    window_class.hInstance = instance;
    window_class.lpszClassName = setup_class;
    if (!RegisterClassExW(&window_class)) return {};
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT outer{0, 0, 400, 300};
    AdjustWindowRectEx(&outer, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_NOACTIVATE);
    return unique_hwnd(CreateWindowExW(
        WS_EX_NOACTIVATE, setup_class, L"Quellbar Setup", WS_OVERLAPPEDWINDOW,
        (work.right - work.left - 400) / 2, (work.bottom - work.top - 300) / 2,
        outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr, instance, nullptr));
}

struct front_search {
    DWORD thread;
    HWND found;
};

BOOL CALLBACK find_front(HWND window, LPARAM context) noexcept {
    auto* search = reinterpret_cast<front_search*>(context);
    if (GetWindowThreadProcessId(window, nullptr) != search->thread || !IsWindowVisible(window) ||
        !IsWindowEnabled(window))
        return TRUE;
    search->found = window;
    return FALSE;
}

// What the user of the running editor works with: its topmost visible window
// that takes input (the settings dialog, or a dialog open over it), not the
// hidden window that marks the instance.
HWND front_window(HWND running) noexcept {
    front_search search{GetWindowThreadProcessId(running, nullptr), nullptr};
    // Top-level windows come in Z order, the topmost first.
    EnumWindows(find_front, reinterpret_cast<LPARAM>(&search));
    return search.found ? search.found : running;
}

int run(HINSTANCE instance) noexcept {
    make_program_folder_current();
    if (HWND running = FindWindowW(setup_class, nullptr)) {
        SetForegroundWindow(front_window(running));
        return exit_already_running;
    }
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TREEVIEW_CLASSES | ICC_LISTVIEW_CLASSES |
                                                       ICC_BAR_CLASSES | ICC_HOTKEY_CLASS |
                                                       ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    // Large (the settings hold every control and launcher): not on the stack.
    std::unique_ptr<setup_state> state(new (std::nothrow) setup_state);
    if (!state) return 1;
    state->module = instance;
    load_resource_sets(L"fmt", state->formats);
    load_resource_sets(L"icon", state->icons);
    load_resource_sets(L"dig", state->digits);
    exchange(state->config, false);

    unique_hwnd owner = create_setup_window(instance);
    if (!owner) return 1;
    SetForegroundWindow(owner.get());
    if (!run_settings_dialog(*state, owner.get())) return 0;

    // Independent of zuvo.ini, so written even when saving the file fails.
    if (state->start_with_windows != start_with_windows_change::none &&
        !set_start_with_windows(state->start_with_windows == start_with_windows_change::add))
        show_setup_message(instance, IDS_START_WITH_WINDOWS_FAILED, run_key_display_path,
                           MB_ICONERROR);

    // A failed save must not restart the tray program: it would come back
    // with settings the user never saw.
    if (!exchange(state->config, true)) {
        wchar_t path[MAX_PATH] = L"zuvo.ini";
        GetFullPathNameW(L"zuvo.ini", MAX_PATH, path, nullptr);
        show_setup_message(instance, IDS_SAVE_FAILED, path, MB_ICONERROR);
        return 0;
    }
    // A plug-in whose settings could not be saved keeps its old ones and
    // has said that Quellbar keeps running as it was: a restart would mix
    // new settings with old ones.
    if (!state->unsaved_plugins.empty()) return 0;
    const restart_outcome outcome = restart_main_program();
    if (outcome == restart_outcome::did_not_quit || outcome == restart_outcome::start_failed)
        warn_restart_failed(instance);
    return 0;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    search_system_libraries_only();
    if (FAILED(CoInitialize(nullptr))) return exit_no_com;
    ULONG_PTR gdiplus = 0;
    Gdiplus::GdiplusStartupInput input;
    const bool gdiplus_up = Gdiplus::GdiplusStartup(&gdiplus, &input, nullptr) == Gdiplus::Ok;
    const int code = run(instance);
    if (gdiplus_up) Gdiplus::GdiplusShutdown(gdiplus);
    CoUninitialize();
    return code;
}
