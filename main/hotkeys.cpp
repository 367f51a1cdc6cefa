#include "main/hotkeys.h"

#include "main/app.h"
#include "main/commands.h"
#include "common/library_search.h"

namespace {
template <typename F> F find_export(HMODULE module, const char* name) noexcept {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
} // namespace

bool hook_connection::load(HWND window, uint32_t capacity) noexcept {
    wchar_t path[MAX_PATH];
    DWORD length = GetFullPathNameW(L"zuvohook.dll", MAX_PATH, path, nullptr);
    if (length == 0 || length >= MAX_PATH) return false;
    library_.reset(load_own_library(path));
    if (!library_) return false;
    auto connect = find_export<ZUVOHOOK_connect_fn>(library_.get(), "ZUVOHOOK_connect");
    if (!connect || !connect(window, capacity)) return false;
    key_regist_ = find_export<ZUVOHOOK_key_regist_fn>(library_.get(), "ZUVOHOOK_key_regist");
    return key_regist_ != nullptr;
}

void hook_connection::unload() noexcept {
    key_regist_ = nullptr;
    if (!library_) return;
    auto disconnect = find_export<ZUVOHOOK_disconnect_fn>(library_.get(), "ZUVOHOOK_disconnect");
    if (disconnect) disconnect();
    library_.reset();
}

bool hook_connection::regist(uint32_t hotkey, uint32_t message, WPARAM wparam,
                             LPARAM lparam) noexcept {
    return key_regist_ && key_regist_(hotkey, message, wparam, lparam);
}

void register_program_hotkeys(hook_connection& hooks, const Cconfig& config) noexcept {
    const struct {
        uint32_t hotkey;
        uint16_t command;
    } keys[] = {{config.hotkey_volume_up, CMD_VOLUME_UP},
                {config.hotkey_volume_down, CMD_VOLUME_DOWN},
                {config.hotkey_mute, CMD_MUTE},
                {config.hotkey_control_change, CMD_CONTROL_NEXT},
                {config.hotkey_popup_menu, CMD_POPUP}};
    for (const auto& key : keys) hooks.regist(key.hotkey, WM_COMMAND, key.command, 0);
}

void register_launcher_hotkeys(hook_connection& hooks, const Cconfig& config) noexcept {
    for (size_t i = 0; i < launcher_slots; ++i) {
        if (!config.launchers[i]) continue;
        hooks.regist(config.launchers[i]->hotkey, WM_COMMAND,
                     make_command(CMD_LAUNCH, static_cast<uint16_t>(i)), 0);
    }
}

// Plug-ins reach the hot-key table through the program they run in.
extern "C" __declspec(dllexport) bool __cdecl ZUVO_keyreg(uint32_t hotkey, uint32_t message,
                                                          WPARAM wparam, LPARAM lparam) noexcept {
    return g_app.hooks.regist(hotkey, message, wparam, lparam);
}
