#pragma once
// The dialog in which saved positions are added, deleted and reordered. It
// edits the list it is given directly; the caller keeps or discards the
// result by saving or reloading.

#include "plugins/zuvogrid/positions.h"
#include "plugins/zuvogrid/window_geometry.h"

#include <windows.h>

// True when the dialog ended with OK.
bool run_position_dialog(HWND owner, zuvogrid::position_list& list, const wchar_t* class_name,
                         const window_geometry& target) noexcept;
