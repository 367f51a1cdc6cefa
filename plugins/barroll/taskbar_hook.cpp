#include "plugins/barroll/taskbar_hook.h"

#include "plugins/barroll/taskbar_events.h"

#include "common/unique_resource.h"

#include <cstring>

namespace barroll {

namespace {

constexpr const wchar_t* taskbar_class = L"Shell_TrayWnd";
constexpr const wchar_t* main_window_class = L"Quellbar_Class";

} // namespace

// The hook handle is kept in 4 bytes that both widths of the plug-in read.
// Window-manager handles carry 32 significant bits and are sign-extended
// between widths, as the system converts them itself.
uint32_t shared_value(HHOOK hook) noexcept {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(hook));
}
HHOOK shared_hook(uint32_t value) noexcept {
    return reinterpret_cast<HHOOK>(static_cast<intptr_t>(static_cast<int32_t>(value)));
}
uint32_t read_shared(const void* view) noexcept {
    uint32_t value = 0;
    std::memcpy(&value, view, sizeof value);
    return value;
}
void write_shared(void* view, uint32_t value) noexcept {
    std::memcpy(view, &value, sizeof value);
}

// Whether the window under `point` is the taskbar or one of its parts: a
// full-screen window (a video, a game) may cover the taskbar's rectangle,
// and the wheel over it is its own. Neither call waits on another thread.
bool taskbar_under(HWND taskbar, POINT point) noexcept {
    HWND under = WindowFromPoint(point);
    return under && GetAncestor(under, GA_ROOT) == taskbar;
}

// Called for every mouse event of the desktop, on the plug-in's own hook thread. Moves
// and every other event that is not ours go on at once: they are most of
// what comes through here. For ours the hook handle comes from the shared
// mapping, so an event arriving while the plug-in is being released finds
// either the hook or nothing.
LRESULT CALLBACK taskbar_mouse_proc(int code, WPARAM wparam, LPARAM lparam) noexcept {
    const auto message = static_cast<uint32_t>(wparam);
    if (code != HC_ACTION || !is_taken_message(message) || !lparam)
        return CallNextHookEx(nullptr, code, wparam, lparam);
    unique_handle mapping(OpenFileMappingW(FILE_MAP_READ, FALSE, mapping_name));
    if (!mapping) return CallNextHookEx(nullptr, code, wparam, lparam);
    unique_view view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
    if (!view) return CallNextHookEx(nullptr, code, wparam, lparam);
    const HHOOK hook = shared_hook(read_shared(view.get()));
    view.reset();
    mapping.reset();
    if (!hook) return CallNextHookEx(nullptr, code, wparam, lparam);

    const auto* event = reinterpret_cast<const MSLLHOOKSTRUCT*>(lparam);
    RECT bar{};
    // Both looked up afresh: the taskbar may have moved, the main program
    // may have started again.
    const HWND taskbar = FindWindowW(taskbar_class, nullptr);
    if (GetWindowRect(taskbar, &bar)) {
        if (HWND main_window = FindWindowW(main_window_class, nullptr)) {
            const screen_rect area{bar.left, bar.top, bar.right, bar.bottom};
            const auto post =
                forward_over_taskbar(message, event->mouseData, event->pt.x, event->pt.y, area);
            if (post && taskbar_under(taskbar, event->pt)) {
                PostMessageW(main_window, post->message, post->wparam, post->lparam);
                return 1;
            }
        }
    }
    return CallNextHookEx(hook, code, wparam, lparam);
}

} // namespace barroll
