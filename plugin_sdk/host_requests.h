#pragma once
// Requests a plug-in posts to the main window besides the delayed command of
// host_link.h. They are posted, so whatever they point to is read later.

#include "plugin_sdk/zuvoplug.h"

// WM_COMMAND with one of the plug-in's own command values and an argument;
// the host hands the event code to ZUVOPLUG_event (the argument stays with
// the message, for the plug-in's message hook). The post's result.
bool post_plugin_command(HWND main_window, uint32_t command_value, LPARAM argument = 0) noexcept;

// Shows `text` in the tips window for `display_ms`. The text is the
// plug-in's own (a loaded string, a member of its state) and must stay put
// until the plug-in is released: the host reads it when the request arrives.
// Plain text needs no tips mark-up. The post's result.
bool post_tips_text(HWND main_window, const wchar_t* text, uint32_t display_ms) noexcept;
