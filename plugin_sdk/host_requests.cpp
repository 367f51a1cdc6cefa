#include "plugin_sdk/host_requests.h"

bool post_plugin_command(HWND main_window, uint32_t command_value, LPARAM argument) noexcept {
    return PostMessageW(main_window, WM_COMMAND, command_value, argument) != FALSE;
}

bool post_tips_text(HWND main_window, const wchar_t* text, uint32_t display_ms) noexcept {
    if (!text) return false;
    return PostMessageW(main_window, ZUVOMSG_TIPS, reinterpret_cast<WPARAM>(text),
                        static_cast<LPARAM>(display_ms)) != FALSE;
}
