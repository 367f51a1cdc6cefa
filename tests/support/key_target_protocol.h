#pragma once
// Messages between the hot-key test and its program in front.

#include <windows.h>

inline constexpr UINT key_target_ready = WM_APP + 0x100;
inline constexpr UINT key_target_key = WM_APP + 0x101;
// To the program's window: stop reading messages for wParam milliseconds.
// It answers key_target_stalling (lParam: its window) first.
inline constexpr UINT key_target_stall = WM_APP + 0x102;
inline constexpr UINT key_target_stalling = WM_APP + 0x103;
inline constexpr UINT key_target_wheel = WM_APP + 0x104;
inline constexpr UINT key_target_null = WM_APP + 0x105;
