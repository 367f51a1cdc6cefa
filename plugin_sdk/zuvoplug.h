#pragma once
// The contract between the main program and its plug-ins: the exports a
// plug-in offers, the exports of the host it may look up, and the messages
// both sides post to the main window. Every plug-in includes this header.

#include "winui/hotkey_value.h" // hot-key values, as ZUVO_keyreg takes them

#include <windows.h>
#include <cstddef>
#include <cstdint>

#define ZUVOPLUG_CALL __cdecl

// Private messages of the main window (977, the mixer change, is the value of
// the system's MM_MIXM_CONTROL_CHANGE; the others are in the WM_USER range).
constexpr UINT ZUVOMSG_TIPS = 0x0800;        // wParam: markup text, lParam: display time in ms
constexpr UINT ZUVOMSG_DELAYED = 0x0801;     // wParam: command value, lParam: delay in ms
constexpr UINT ZUVOMSG_TRAY_NOTIFY = 0x0802; // wParam: 1384, lParam: mouse or key message
constexpr UINT ZUVOMSG_TRAY_UPDATE = 0x0810; // wParam: icon or null, lParam: tip text or null
constexpr UINT ZUVOMSG_BALLOON = 0x0820;     // wParam: zuvo_balloon*, lParam: 0
constexpr UINT ZUVOMSG_MIXER_CHANGE = 977;   // wParam: identifying pointer of a changed control
// Posted by the host's own watch when audio devices came or went or the
// default output changed; a plug-in holding controls sees it through its
// message hook and must let the host have it too.
constexpr UINT ZUVOMSG_DEVICES_CHANGED = 0x0830;

// First command identifier of the plug-ins: plug-in j owns 0x0600 + j.
constexpr uint16_t ZUVO_CMD_PLUGIN = 0x0600;

// Host commands a plug-in may post (WM_COMMAND, argument in the high word).
constexpr uint16_t ZUVO_CMD_REFRESH = 0x0501;
constexpr uint16_t ZUVO_CMD_EXIT = 0x0504;
constexpr uint16_t ZUVO_CMD_CONTROL = 0x0520; // + control n; high word 1 sets lParam as volume
constexpr uint16_t ZUVO_CMD_VOLUME_UP = 0x0580;
constexpr uint16_t ZUVO_CMD_VOLUME_DOWN = 0x0581;
constexpr uint16_t ZUVO_CMD_MUTE = 0x0582;

// The refresh a plug-in sees through its message hook; the changed flag says
// that volume or mute really changed.
constexpr uint32_t ZUVO_REFRESH_CHANGED = 0x00010000;

// A command value: the plug-in's identifier in the low word, its own event
// code in the high word. Hot keys, menu items and delayed commands of a
// plug-in all carry one; the host hands the code to ZUVOPLUG_event.
constexpr uint32_t zuvo_command_value(uint32_t plugin_index, uint32_t event_code) noexcept {
    return ((event_code & 0xFFFFu) << 16) | ((ZUVO_CMD_PLUGIN + plugin_index) & 0xFFFFu);
}
constexpr uint16_t zuvo_event_code(uintptr_t command_value) noexcept {
    return static_cast<uint16_t>((command_value >> 16) & 0xFFFFu);
}

// Longest text a plug-in posts, terminator included.
constexpr size_t ZUVOPLUG_TEXT_CAPACITY = 128;

// The record a balloon request points to; it belongs to the sender and must
// stay valid until the host has handled the request.
struct zuvo_balloon {
    const wchar_t* caption; // the host copies up to 63 characters
    const wchar_t* text;    // the host copies up to 255 characters
    uint32_t icon_type;     // NIIF_INFO (1) or NIIF_WARNING (2)
    uint32_t display_time;  // milliseconds
};

// Exports of a plug-in: C linkage, undecorated names, called on the host's
// one thread. Only the entry is required; its result is ignored. The other
// results are one-byte bools, of which the host tests only the low byte.
// A plug-in defines these with ZUVOPLUG_EXPORT and noexcept (nothing may
// escape into the host); the host and the setup program look them up by name.
#if defined(ZUVOPLUG_BUILDING_PLUGIN)
#define ZUVOPLUG_EXPORT extern "C" __declspec(dllexport)
#else
#define ZUVOPLUG_EXPORT extern "C"
#endif
// The host ignores the entry's result, so each plug-in returns what suits it
// (one answers with the result of the post that starts it, one with its
// hook): its build defines ZUVOPLUG_ENTRY_RESULT for all of its sources, so
// that each of them declares the entry alike; bool otherwise. The host's
// ZUVOPLUG_entry_fn reads no result, whatever the type.
#if !defined(ZUVOPLUG_ENTRY_RESULT)
#define ZUVOPLUG_ENTRY_RESULT bool
#endif
ZUVOPLUG_EXPORT ZUVOPLUG_ENTRY_RESULT ZUVOPLUG_CALL ZUVOPLUG_entry_4_0_0(uint32_t index,
                                                                         HWND main_window) noexcept;
ZUVOPLUG_EXPORT bool ZUVOPLUG_CALL ZUVOPLUG_event(HWND main_window, uint32_t code) noexcept;
ZUVOPLUG_EXPORT bool ZUVOPLUG_CALL ZUVOPLUG_menu(HMENU menu) noexcept;
ZUVOPLUG_EXPORT bool ZUVOPLUG_CALL ZUVOPLUG_msgproc(HWND window, UINT message, WPARAM wparam,
                                                    LPARAM lparam) noexcept;
ZUVOPLUG_EXPORT void ZUVOPLUG_CALL ZUVOPLUG_release() noexcept;
ZUVOPLUG_EXPORT void ZUVOPLUG_CALL ZUVOPLUG_config(HWND owner) noexcept;

// The same exports as the host calls them. Event and msgproc are read as
// pointer-sized values whose low byte alone is defined by a bool result.
using ZUVOPLUG_entry_fn = void(ZUVOPLUG_CALL*)(uint32_t index, HWND main_window);
using ZUVOPLUG_event_fn = uintptr_t(ZUVOPLUG_CALL*)(HWND main_window, uint32_t code);
using ZUVOPLUG_menu_fn = uintptr_t(ZUVOPLUG_CALL*)(HMENU menu);
using ZUVOPLUG_msgproc_fn = uintptr_t(ZUVOPLUG_CALL*)(HWND window, UINT message, WPARAM wparam,
                                                      LPARAM lparam);
using ZUVOPLUG_release_fn = void(ZUVOPLUG_CALL*)();
using ZUVOPLUG_config_fn = void(ZUVOPLUG_CALL*)(HWND owner);

// Sent by ZUVOPLUG_config to its owner window each time it tried to save
// the plug-in's settings: wParam 1 when they were saved, 0 when its file
// could not be written (the user was told). The program that asked for the
// dialog learns that the plug-in may be left on its old settings. The
// message number is RegisterWindowMessageW(ZUVOPLUG_CONFIG_SAVED); a
// plug-in that sends nothing is taken to have saved what it meant to.
constexpr const wchar_t* ZUVOPLUG_CONFIG_SAVED = L"ZUVOPLUG_config_saved";

// Export of the host program: registers a global hot key whose press posts
// (message, wparam, lparam) to the main window. False without a hook library
// or for a value without a key.
using ZUVO_keyreg_fn = bool(ZUVOPLUG_CALL*)(uint32_t hotkey, uint32_t message, WPARAM wparam,
                                            LPARAM lparam);
constexpr const char* ZUVO_KEYREG_NAME = "ZUVO_keyreg";
