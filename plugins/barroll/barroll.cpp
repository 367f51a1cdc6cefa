// BarRoll: the mouse wheel and the middle button anywhere over the taskbar
// change the volume and the mute, as they do over the tray icon. A low-level
// mouse hook takes those events where the taskbar is under the pointer and
// posts them to the main window instead, so the taskbar itself never sees
// them; a full-screen window covering the taskbar keeps its own.

#include "plugins/barroll/taskbar_hook.h"

#include "common/hook_thread.h"
#include "common/unique_resource.h"
#include "plugin_sdk/export_guard.h"
#include "plugin_sdk/plugin_module.h"
#include "plugin_sdk/zuvoplug.h"

#include <new>
#include <utility>

namespace {

using namespace barroll;

template <typename F> F user32_function(const char* name) noexcept {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    return user32 ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(user32, name)))
                  : nullptr;
}

// The main window takes WM_MOUSEWHEEL from programs of lower integrity too,
// as long as the plug-in is loaded. Older systems lack one or both functions
// and have no such filter to open.
void let_wheel_through(HWND main_window, bool allow) noexcept {
    using filter_ex_fn = BOOL(WINAPI*)(HWND, UINT, DWORD, CHANGEFILTERSTRUCT*);
    using filter_fn = BOOL(WINAPI*)(UINT, DWORD);
    if (auto filter_ex = user32_function<filter_ex_fn>("ChangeWindowMessageFilterEx")) {
        CHANGEFILTERSTRUCT status{};
        status.cbSize = sizeof status;
        filter_ex(main_window, WM_MOUSEWHEEL, allow ? MSGFLT_ALLOW : MSGFLT_DISALLOW, &status);
    } else if (auto filter = user32_function<filter_fn>("ChangeWindowMessageFilter")) {
        filter(WM_MOUSEWHEEL, allow ? MSGFLT_ADD : MSGFLT_REMOVE);
    }
}

class barroll_plugin {
public:
    barroll_plugin() = default;
    barroll_plugin(const barroll_plugin&) = delete;
    barroll_plugin& operator=(const barroll_plugin&) = delete;
    ~barroll_plugin() { release(); }

    HHOOK enter(uint32_t index, HWND main_window) noexcept {
        index_ = index;
        main_window_ = main_window;
        // A second entry replaces the hook of the first rather than leaving
        // it installed with nobody to remove it.
        remove_hook();
        let_wheel_through(main_window_, true);
        filtered_ = true;

        unique_handle mapping(OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, mapping_name));
        if (!mapping)
            mapping.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                             sizeof(uint32_t), mapping_name));
        if (!mapping) return nullptr;
        unique_view view(MapViewOfFile(mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
        if (!view) return nullptr;
        FlushViewOfFile(view.get(), 0);
        mapping_ = std::move(mapping);
        view_ = std::move(view);

        // The hook runs on a thread of its own: the host's thread talks to the
        // audio service and opens devices, and a hook call that waits past
        // LowLevelHooksTimeout is removed by the system without notice.
        if (!hook_thread_.start(WH_MOUSE_LL, taskbar_mouse_proc, g_plugin_module)) return nullptr;
        hook_ = hook_thread_.hook();
        write_shared(view_.get(), shared_value(hook_));
        return hook_;
    }

    void release() noexcept {
        if (filtered_) let_wheel_through(main_window_, false);
        filtered_ = false;
        remove_hook();
        view_.reset();
        mapping_.reset();
    }

private:
    // Only our own hook is removed, and the shared handle cleared only while
    // it is still ours: another process may have entered the plug-in since.
    void remove_hook() noexcept {
        if (!hook_) return;
        if (view_ && read_shared(view_.get()) == shared_value(hook_)) write_shared(view_.get(), 0);
        hook_ = nullptr;
        hook_thread_.stop();
    }

    uint32_t index_ = 0; // no command of the host is ever addressed to this plug-in
    HWND main_window_ = nullptr;
    bool filtered_ = false;
    HHOOK hook_ = nullptr;
    low_level_hook_thread hook_thread_;
    unique_handle mapping_;
    unique_view view_;
};

barroll_plugin* g_barroll = nullptr;

} // namespace

ZUVOPLUG_EXPORT HHOOK ZUVOPLUG_CALL ZUVOPLUG_entry_4_0_0(uint32_t index,
                                                         HWND main_window) noexcept {
    return guarded(HHOOK{nullptr}, [&] {
        if (!g_barroll) g_barroll = new barroll_plugin;
        return g_barroll->enter(index, main_window);
    });
}

ZUVOPLUG_EXPORT void ZUVOPLUG_CALL ZUVOPLUG_release() noexcept {
    if (!g_barroll) return;
    delete g_barroll;
    g_barroll = nullptr;
}
