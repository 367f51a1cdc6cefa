#pragma once
// Messages between the hot-key test and its program in front.

#include <windows.h>

inline constexpr UINT key_target_ready = WM_APP + 0x100;
inline constexpr UINT key_target_key = WM_APP + 0x101;
inline constexpr UINT key_target_wheel = WM_APP + 0x102;
inline constexpr UINT key_target_null = WM_APP + 0x103;
