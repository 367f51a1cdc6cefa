#pragma once
// The contract between the main program and its plug-ins: the exports a
// plug-in offers, the exports of the host it may look up, and the messages
// both sides post to the main window. Plug-ins include only this header.

#include <windows.h>
#include <cstdint>

#define ZUVOPLUG_CALL __cdecl

// Private messages of the main window (all in the WM_USER range).
constexpr UINT ZUVOMSG_TIPS = 0x0800;         // wParam: markup text, lParam: display time in ms
constexpr UINT ZUVOMSG_DELAYED = 0x0801;      // wParam: command value, lParam: delay in ms
constexpr UINT ZUVOMSG_TRAY_NOTIFY = 0x0802;  // wParam: 1384, lParam: mouse or key message
constexpr UINT ZUVOMSG_TRAY_UPDATE = 0x0810;  // wParam: icon or null, lParam: tip text or null
constexpr UINT ZUVOMSG_BALLOON = 0x0820;      // wParam: zuvo_balloon*, lParam: 0
constexpr UINT ZUVOMSG_MIXER_CHANGE = 977;    // wParam: identifying pointer of a changed control

// First command identifier of the plug-ins: plug-in j owns 0x0600 + j.
constexpr uint16_t ZUVO_CMD_PLUGIN = 0x0600;

// The refresh a plug-in sees through its message hook; the changed flag says
// that volume or mute really changed.
constexpr uint16_t ZUVO_CMD_REFRESH = 0x0501;
constexpr uint32_t ZUVO_REFRESH_CHANGED = 0x00010000;

// A command value: the plug-in's identifier in the low word, its own event
// code in the high word.
constexpr uint32_t zuvo_command_value(uint32_t plugin_index, uint32_t event_code) noexcept {
    return ((event_code & 0xFFFFu) << 16) | ((ZUVO_CMD_PLUGIN + plugin_index) & 0xFFFFu);
}

// The record a balloon request points to; it belongs to the sender and must
// stay valid until the host has handled the request.
struct zuvo_balloon {
    const wchar_t* caption;  // the host copies up to 63 characters
    const wchar_t* text;     // the host copies up to 255 characters
    uint32_t icon_type;      // NIIF_INFO (1) or NIIF_WARNING (2)
    uint32_t display_time;   // milliseconds
};

// Exports of a plug-in (undecorated names; only the entry is required).
// The host reads the results of event and msgproc as pointer-sized values
// and tests only their low byte, which is all a one-byte bool defines.
using ZUVOPLUG_entry_fn = void(ZUVOPLUG_CALL*)(uint32_t index, HWND main_window);
using ZUVOPLUG_event_fn = uintptr_t(ZUVOPLUG_CALL*)(HWND main_window, uint32_t code);
using ZUVOPLUG_menu_fn = uintptr_t(ZUVOPLUG_CALL*)(HMENU menu);
using ZUVOPLUG_msgproc_fn = uintptr_t(ZUVOPLUG_CALL*)(HWND window, UINT message, WPARAM wparam,
                                                      LPARAM lparam);
using ZUVOPLUG_release_fn = void(ZUVOPLUG_CALL*)();
using ZUVOPLUG_config_fn = void(ZUVOPLUG_CALL*)(HWND owner);

// Export of the host program: registers a global hot key whose press posts
// (message, wparam, lparam) to the main window. False without a hook library.
using ZUVO_keyreg_fn = bool(ZUVOPLUG_CALL*)(uint32_t hotkey, uint32_t message, WPARAM wparam,
                                            LPARAM lparam);
