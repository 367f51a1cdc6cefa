#pragma once
// Putting saved settings into effect: the running tray program is asked to
// quit and started again, since it reads its settings only at start-up.

#include <windows.h>

enum class restart_outcome {
    not_running, // nothing to do: a program that was not running stays so
    restarted,
    did_not_quit, // still there after two seconds
    start_failed,
};

restart_outcome restart_main_program() noexcept;

// The one warning for the two failures, "Starting zuvo.exe failed".
void warn_restart_failed(HMODULE module) noexcept;

// Message box of the settings editor (no owner, caption "Quellbar Setup")
// with string `id` of `module` formatted with `argument` as %1.
void show_setup_message(HMODULE module, UINT id, const wchar_t* argument, UINT icon) noexcept;
