#pragma once
// What any part of the tray program may do on the desktop without knowing
// the application object: tell the user of a failure, and come to the front.

#include <windows.h>

// The caption of the main window and of every message box of the program.
constexpr const wchar_t* program_caption = L"Quellbar";

// The program's one kind of error message: no owner, caption "Quellbar", a
// format from the program's own string table with one argument.
void show_warning(UINT string_id, const wchar_t* argument) noexcept;

// Brings the main window to the foreground even though another program's
// window is in front: our input is attached to that program's thread.
void bring_to_foreground(HWND window) noexcept;
