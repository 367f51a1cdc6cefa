#pragma once
// The main program's side of the global hot keys: loading and connecting the
// hook library, and registering keys in its shared table.

#include "common/unique_resource.h"
#include "confctl/config.h"
#include "hook/zuvohook.h"

#include <cstdint>

class hook_connection {
public:
    hook_connection() = default;
    hook_connection(const hook_connection&) = delete;
    hook_connection& operator=(const hook_connection&) = delete;
    ~hook_connection() {
        unload();
        finish_release(0);
    }

    // Loads "zuvohook.dll" from the current directory and connects it with
    // a table of `capacity` keys. False when any step fails; a library that
    // loaded stays loaded until unload().
    bool load(HWND window, uint32_t capacity) noexcept;
    // Disconnects and frees the library; harmless when nothing is loaded.
    // The programs the hook was loaded into are then woken on a thread of
    // its own, so that they let go of the library soon.
    void unload() noexcept;
    // Waits at most `timeout_ms` for that waking to end (the program is
    // about to end and would cut it short).
    void finish_release(DWORD timeout_ms) noexcept;

    bool can_register() const noexcept { return key_regist_ != nullptr; }
    // False without a connected library, for a key without virtual key, or
    // when the table is full.
    bool regist(uint32_t hotkey, uint32_t message, WPARAM wparam, LPARAM lparam) noexcept;

private:
    unique_hmodule library_;
    ZUVOHOOK_key_regist_fn key_regist_ = nullptr;
    bool connected_ = false;
    unique_handle waking_;
};

// The program's own five keys, in the order that decides which entry wins.
void register_program_hotkeys(hook_connection& hooks, const Cconfig& config) noexcept;
// Each configured launcher's key, launcher index 0..15.
void register_launcher_hotkeys(hook_connection& hooks, const Cconfig& config) noexcept;
