#pragma once
// Commands of the main window: the low word of a WM_COMMAND wParam, with its
// argument in the high word. Every timer of the main window uses the command
// it stands for as its identifier.

#include "plugin_sdk/zuvoplug.h"

#include <cstdint>

constexpr uint16_t CMD_NONE = 0x0500;
constexpr uint16_t CMD_REFRESH = ZUVO_CMD_REFRESH;
constexpr uint16_t CMD_RELEASE_IDLE = 0x0502;
constexpr uint16_t CMD_TIPS_HIDE = 0x0503;
constexpr uint16_t CMD_EXIT = ZUVO_CMD_EXIT;
constexpr uint16_t CMD_ABOUT = 0x0505;
constexpr uint16_t CMD_SETUP = 0x0506;
constexpr uint16_t CMD_TRAY_UPDATE = 0x0507;
constexpr uint16_t CMD_TRAY_CLICK = 0x0508;
constexpr uint16_t CMD_BALLOON_CLEAR = 0x0509;
constexpr uint16_t CMD_TRIM = 0x050A;
constexpr uint16_t CMD_CONTROL = ZUVO_CMD_CONTROL; // + control index 0..15
constexpr uint16_t CMD_VOLUME_UP = ZUVO_CMD_VOLUME_UP;
constexpr uint16_t CMD_VOLUME_DOWN = ZUVO_CMD_VOLUME_DOWN;
constexpr uint16_t CMD_MUTE = ZUVO_CMD_MUTE;
constexpr uint16_t CMD_CONTROL_NEXT = 0x0583;
constexpr uint16_t CMD_POPUP = 0x0584;
constexpr uint16_t CMD_CONTROL_SELECT = 0x0585;
constexpr uint16_t CMD_LAUNCH = 0x0586;
// The next active output device becomes the default.
constexpr uint16_t CMD_OUTPUT_NEXT = 0x0587;
// The output device of that index in the popup menu's list becomes the default.
constexpr uint16_t CMD_OUTPUT_SELECT = 0x0588;
constexpr uint16_t CMD_PLUGIN = ZUVO_CMD_PLUGIN; // + plug-in index

// High word of CMD_CONTROL + n.
constexpr uint16_t CONTROL_SET_VOLUME = 1;
constexpr uint16_t CONTROL_TOGGLE_MUTE = 2;

// Flags of CMD_REFRESH, as bits of the whole wParam.
constexpr uint32_t REFRESH_CHANGED = ZUVO_REFRESH_CHANGED;
constexpr uint32_t REFRESH_SHOW = 0x00020000;
constexpr uint32_t REFRESH_HOLD = 0x01000000;
constexpr uint32_t REFRESH_END_HOLD = 0x02000000;

constexpr uint32_t make_command(uint16_t command, uint16_t argument = 0) noexcept {
    return (static_cast<uint32_t>(argument) << 16) | command;
}

// Posted to the main window by the device watch (from the audio system's
// threads) when devices came or went or the default device changed.
constexpr UINT MSG_DEVICES_CHANGED = ZUVOMSG_DEVICES_CHANGED;

// The tray icon's identifier and the timers' fixed elapses.
constexpr UINT TRAY_ICON_ID = 1384;
constexpr UINT TRAY_RETRY_MS = 2000;
