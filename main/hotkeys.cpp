#include "main/hotkeys.h"

#include "main/commands.h"
#include "common/library_search.h"

#include <utility>
#include <vector>

namespace {
template <typename F> F find_export(HMODULE module, const char* name) noexcept {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// How long one program may take to answer, and all of them together.
constexpr UINT wake_timeout_ms = 100;
constexpr ULONGLONG wake_budget_ms = 2000;

BOOL CALLBACK collect_window(HWND window, LPARAM list) noexcept {
    try {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    } catch (...) {
        return FALSE;
    }
    return TRUE;
}

// Windows takes a removed hook's library out of another program only when
// that program's thread next handles a message; until then the file stays in
// use, and an upgrade or uninstall meets it. One message that does nothing,
// to one window of each thread, wakes them all; a program that does not
// answer is given up on, so that none holds up the rest.
DWORD WINAPI wake_hooked_threads(void*) noexcept {
    const ULONGLONG deadline = GetTickCount64() + wake_budget_ms;
    std::vector<HWND> windows;
    std::vector<DWORD> woken;
    try {
        windows.reserve(256);
        woken.reserve(256);
    } catch (...) {
        return 0;
    }
    EnumWindows(collect_window, reinterpret_cast<LPARAM>(&windows));
    const DWORD own_process = GetCurrentProcessId();
    for (HWND window : windows) {
        if (GetTickCount64() >= deadline) break;
        DWORD process = 0;
        const DWORD thread = GetWindowThreadProcessId(window, &process);
        if (thread == 0 || process == own_process) continue;
        bool seen = false;
        for (DWORD t : woken) seen = seen || t == thread;
        if (seen) continue;
        try {
            woken.push_back(thread);
        } catch (...) {
            return 0;
        }
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, wake_timeout_ms,
                            &ignored);
    }
    return 0;
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
    connected_ = true;
    key_regist_ = find_export<ZUVOHOOK_key_regist_fn>(library_.get(), "ZUVOHOOK_key_regist");
    return key_regist_ != nullptr;
}

void hook_connection::unload() noexcept {
    key_regist_ = nullptr;
    if (!library_) return;
    auto disconnect = find_export<ZUVOHOOK_disconnect_fn>(library_.get(), "ZUVOHOOK_disconnect");
    if (disconnect) disconnect();
    library_.reset();
    if (!std::exchange(connected_, false) || waking_) return;
    waking_.reset(CreateThread(nullptr, 0, wake_hooked_threads, nullptr, 0, nullptr));
}

void hook_connection::finish_release(DWORD timeout_ms) noexcept {
    if (waking_) WaitForSingleObject(waking_.get(), timeout_ms);
    waking_.reset();
}

bool hook_connection::regist(uint32_t hotkey, uint32_t message, WPARAM wparam,
                             LPARAM lparam) noexcept {
    return key_regist_ && key_regist_(hotkey, message, wparam, lparam);
}

void register_program_hotkeys(hook_connection& hooks, const Cconfig& config) noexcept {
    const struct {
        uint32_t hotkey;
        uint16_t command;
    } keys[] = {
        {config.hotkey_volume_up, CMD_VOLUME_UP}, {config.hotkey_volume_down, CMD_VOLUME_DOWN},
        {config.hotkey_mute, CMD_MUTE},           {config.hotkey_control_change, CMD_CONTROL_NEXT},
        {config.hotkey_popup_menu, CMD_POPUP},    {config.hotkey_device_next, CMD_OUTPUT_NEXT}};
    for (const auto& key : keys) hooks.regist(key.hotkey, WM_COMMAND, key.command, 0);
}

void register_launcher_hotkeys(hook_connection& hooks, const Cconfig& config) noexcept {
    for (size_t i = 0; i < launcher_slots; ++i) {
        if (!config.launchers[i]) continue;
        hooks.regist(config.launchers[i]->hotkey, WM_COMMAND,
                     make_command(CMD_LAUNCH, static_cast<uint16_t>(i)), 0);
    }
}
