#pragma once
// What a plug-in asks of the program it runs in: hot keys through the
// host's ZUVO_keyreg export, and delayed commands posted to its main window.

#include "plugin_sdk/zuvoplug.h"

// ZUVO_keyreg of the program that loaded the plug-in, or null when that
// program does not offer it (the setup program, a test host).
ZUVO_keyreg_fn find_host_keyreg() noexcept;

// Registers `hotkey` so that its press posts WM_COMMAND with
// `command_value` to the main window. Skipped when the host lacks
// ZUVO_keyreg; returns the host's answer, which plug-ins may ignore.
bool register_plugin_hotkey(uint32_t hotkey, uint32_t command_value) noexcept;

// Arms the host's one-shot timer for `command_value`; posting the same value
// again before it fires starts the delay anew.
void post_delayed_command(HWND main_window, uint32_t command_value, uint32_t delay_ms) noexcept;
