#pragma once
// Messages between the taskbar-wheel test and its stand-in taskbar program
// (taskbar_stand_in_main.cpp).

#include <windows.h>

// To the test window, once: wParam the neighbour window, lParam the taskbar.
inline constexpr UINT stand_in_ready = WM_APP + 0x110;
// To the test window, for every mouse message one of the two windows got:
// wParam the mouse message, lParam its own lParam.
inline constexpr UINT stand_in_taskbar_mouse = WM_APP + 0x111;
inline constexpr UINT stand_in_neighbour_mouse = WM_APP + 0x112;
