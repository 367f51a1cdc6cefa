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
// To the taskbar: cover it with a topmost window of another class that
// takes the keyboard (a full-screen program in front). The test window gets
// stand_in_covered (lParam: the cover) once it is there, and
// stand_in_cover_mouse for every mouse message the cover gets.
inline constexpr UINT stand_in_cover = WM_APP + 0x113;
inline constexpr UINT stand_in_covered = WM_APP + 0x114;
inline constexpr UINT stand_in_cover_mouse = WM_APP + 0x115;
