#include "main/app.h"

#include "main/about.h"
#include "main/commands.h"
#include "common/gdiplus_include.h"
#include "common/library_search.h"
#include "main/resource.h"
#include "winui/ui_language.h"

#include <objbase.h>
#include <strsafe.h>

#include <algorithm>

// Built in this order, destroyed backwards: the settings outlive everything.
Cconfig g_config;
Czuvo_launch g_launch;
Czuvo_plugproc g_plugproc;
Capp g_app;

Capp::~Capp() {
    if (main_window && IsWindow(main_window)) DestroyWindow(main_window);
    main_window = nullptr;
    if (class_registered_) UnregisterClassW(window_class, instance);
    g_plugproc.release();
}

LRESULT CALLBACK Capp::window_thunk(HWND window, UINT message, WPARAM wparam,
                                    LPARAM lparam) noexcept {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<Capp*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCDESTROY) SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    if (!self) return DefWindowProcW(window, message, wparam, lparam);
    return self->window_procedure(window, message, wparam, lparam);
}

void Capp::restart_trim_timer() noexcept {
    if (g_config.swap_mode && main_window)
        SetTimer(main_window, CMD_TRIM, g_config.trim_delay, nullptr);
}

LRESULT Capp::window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    if (g_plugproc.offer(window, message, wparam, lparam) ||
        tips_window.handle_message(window, message, wparam, lparam)) {
        restart_trim_timer();
        return 0;
    }
    if (mixer.is_change_notification(message, wparam)) {
        PostMessageW(window, WM_COMMAND, CMD_REFRESH, 0);
        restart_trim_timer();
        return 0;
    }
    if (mixer.handle_device_change(message)) {
        restart_trim_timer();
        return 0;
    }
    if (tray_icon.handle_message(window, message, wparam, lparam)) {
        restart_trim_timer();
        return 0;
    }
    switch (message) {
    case WM_TIMER:
        // Every timer is a one-shot command.
        KillTimer(window, wparam);
        [[fallthrough]];
    case WM_COMMAND:
        if (dispatch(wparam, lparam)) restart_trim_timer();
        return 0;
    case WM_CLOSE:
    case WM_DESTROY:
        shut_down();
        break;
    default:
        break;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

bool Capp::dispatch(WPARAM wparam, LPARAM lparam) noexcept {
    const auto command = static_cast<uint16_t>(LOWORD(wparam));
    const auto argument = static_cast<uint16_t>(HIWORD(wparam));
    switch (command) {
    case CMD_NONE:
        return false;
    case CMD_REFRESH:
        mixer.refresh(static_cast<uint32_t>(wparam));
        return true;
    case CMD_RELEASE_IDLE:
        mixer.release_idle();
        tips_window.release_idle();
        return false;
    case CMD_TIPS_HIDE:
        tips_window.hide();
        return true;
    case CMD_EXIT:
        DestroyWindow(main_window);
        return false;
    case CMD_ABOUT:
        show_about_box(instance, main_window, mixer, g_config);
        return true;
    case CMD_SETUP:
        start_process(L"zuvoset.exe", L"zuvoset.exe");
        return true;
    case CMD_TRAY_UPDATE:
        tray_icon.update(mixer);
        return true;
    case CMD_TRAY_CLICK:
        tray_icon.single_click();
        return true;
    case CMD_BALLOON_CLEAR:
        tray_icon.clear_balloon();
        return true;
    case CMD_TRIM:
        if (process) SetProcessWorkingSetSize(process, working_set_min, working_set_max);
        return false;
    case CMD_POPUP:
        popup_menu.show();
        return true;
    case CMD_LAUNCH:
        g_launch.run(argument);
        return true;
    default:
        break;
    }
    if (mixer.handle_command(command, argument, lparam)) return true;
    if (command >= CMD_PLUGIN && static_cast<size_t>(command - CMD_PLUGIN) < g_plugproc.count())
        return g_plugproc.event(main_window, command - CMD_PLUGIN, argument);
    return false;
}

void Capp::shut_down() noexcept {
    if (main_window) {
        CHANGEFILTERSTRUCT filter{};
        filter.cbSize = 8;
        ChangeWindowMessageFilterEx(main_window, WM_COMMAND, MSGFLT_DISALLOW, &filter);
    }
    // The audio system's threads and the wheel hook must not post to a
    // window that is going.
    mixer.stop_watching_devices();
    tray_icon.stop_wheel_hook();
    g_plugproc.release();
    hooks.unload();
    tips_window.hide();
    PostQuitMessage(0);
}

bool Capp::start_up() noexcept {
    if (HWND running = FindWindowW(window_class, nullptr)) {
        SetForegroundWindow(running);
        PostMessageW(running, WM_COMMAND, make_command(CMD_REFRESH) | REFRESH_SHOW | REFRESH_HOLD,
                     0);
        exit_code = 100;
        return false;
    }

    load(g_config);

    WNDCLASSEXW window_class_info{};
    window_class_info.cbSize = sizeof window_class_info;
    window_class_info.style = CS_NOCLOSE;
    window_class_info.lpfnWndProc = window_thunk;
    window_class_info.hInstance = instance;
    window_class_info.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class_info.lpszClassName = window_class;
    class_registered_ = RegisterClassExW(&window_class_info) != 0;
    const DWORD ex_style = WS_EX_TOOLWINDOW | (g_config.layer_window ? WS_EX_LAYERED : 0);
    RECT empty{};
    AdjustWindowRectEx(&empty, WS_POPUP, FALSE, ex_style);
    main_window = CreateWindowExW(ex_style, window_class, caption, WS_POPUP, CW_USEDEFAULT,
                                  CW_USEDEFAULT, empty.right - empty.left, empty.bottom - empty.top,
                                  nullptr, nullptr, instance, this);
    if (!main_window) {
        exit_code = 1;
        return false;
    }
    tips_window.set_layered(g_config.layer_window);

    popup_menu.add_contributor(&mixer);
    popup_menu.add_contributor(&g_launch);
    popup_menu.add_contributor(&g_plugproc);
    g_launch.bind(&g_config);
    g_plugproc.bind(&g_config);

    if (!hooks.load(main_window, g_config.regist_max))
        show_warning(IDS_FAILED_TO_LOAD, L"zuvohook.dll");

    CHANGEFILTERSTRUCT filter{};
    filter.cbSize = 8;
    ChangeWindowMessageFilterEx(main_window, WM_COMMAND, MSGFLT_ALLOW, &filter);

    if (hooks.can_register()) register_program_hotkeys(hooks, g_config);
    // A hand-edited rate outside 0..100 must not wrap around to another opacity.
    const int32_t rate = std::clamp(g_config.layer_transparent_rate, 0, 100);
    tips_window.init(main_window, g_config, static_cast<uint8_t>(rate * 255 / 100),
                     g_config.background_color);
    tray_icon.set_taskbar_created(RegisterWindowMessageW(L"TaskbarCreated"));
    tray_icon.prepare(main_window, &g_config);
    popup_menu.set_window(main_window, instance);
    mixer.create_controls(main_window, &g_config);
    mixer.load_menu_captions(instance);
    mixer.load_tips_format(g_config.tips_format);
    mixer.tray_image().load_images(nullptr, g_config.trayicon_digit);
    popup_menu.load_captions(instance);
    if (hooks.can_register()) register_launcher_hotkeys(hooks, g_config);
    // A plug-in that ended the program from its entry leaves nothing to start.
    if (!g_plugproc.load(main_window)) return false;
    mixer.select_initial_control();
    PostMessageW(main_window, WM_COMMAND, CMD_REFRESH, 0);

    if (g_config.swap_mode) {
        process = GetCurrentProcess();
        GetProcessWorkingSetSize(process, &working_set_min, &working_set_max);
        working_set_max = working_set_min + g_config.working_set_increment;
    }
    return true;
}

int Capp::run(HINSTANCE program) noexcept {
    instance = program;
    if (start_up()) {
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    // A quit that left the window standing (a plug-in's PostQuitMessage)
    // closes it here, so that the plug-ins are released while COM is up.
    if (main_window && IsWindow(main_window)) DestroyWindow(main_window);
    // The audio objects are COM objects: they go while COM is still up.
    mixer.release_devices();
    // The window is gone, so nobody waits for this end any more: the other
    // programs may finish letting go of the hook library.
    hooks.finish_release(3000);
    return exit_code;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    search_system_libraries_only();
    CoInitialize(nullptr);
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    int code = g_app.run(instance);
    Gdiplus::GdiplusShutdown(token);
    CoUninitialize();
    return code;
}

// Plug-ins reach the hot-key table through the program they run in.
extern "C" __declspec(dllexport) bool __cdecl ZUVO_keyreg(uint32_t hotkey, uint32_t message,
                                                          WPARAM wparam, LPARAM lparam) noexcept {
    return g_app.hooks.regist(hotkey, message, wparam, lparam);
}
