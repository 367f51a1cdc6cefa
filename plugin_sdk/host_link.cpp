#include "plugin_sdk/host_link.h"

ZUVO_keyreg_fn find_host_keyreg() noexcept {
    HMODULE program = GetModuleHandleW(nullptr);
    if (!program) return nullptr;
    return reinterpret_cast<ZUVO_keyreg_fn>(
        reinterpret_cast<void*>(GetProcAddress(program, ZUVO_KEYREG_NAME)));
}

bool register_plugin_hotkey(uint32_t hotkey, uint32_t command_value) noexcept {
    ZUVO_keyreg_fn keyreg = find_host_keyreg();
    if (!keyreg) return false;
    return keyreg(hotkey, WM_COMMAND, command_value, 0);
}

void post_delayed_command(HWND main_window, uint32_t command_value, uint32_t delay_ms) noexcept {
    PostMessageW(main_window, ZUVOMSG_DELAYED, command_value, static_cast<LPARAM>(delay_ms));
}
