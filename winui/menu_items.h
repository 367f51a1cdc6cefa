#pragma once
// Items a plug-in appends to the host's popup menu, always at its end.

#include <windows.h>
#include <cstdint>

// A string item (MIIM_FTYPE | MIIM_STRING | MIIM_ID | MIIM_STATE) with the
// menu-item state `state` (MFS_CHECKED, MFS_DEFAULT, ...).
void add_menu_item(HMENU menu, const wchar_t* text, uint32_t id, UINT state = 0) noexcept;
// A string item whose identifier is a command value; ticked when `checked`.
void add_menu_string(HMENU menu, const wchar_t* text, uint32_t command_value,
                     bool checked = false) noexcept;
void add_menu_separator(HMENU menu) noexcept;
// A string item that opens `popup`, which the host's menu then owns; greyed
// (MFS_DISABLED | MFS_GRAYED) when `popup` has no items.
void add_menu_popup(HMENU menu, const wchar_t* text, uint32_t id, HMENU popup) noexcept;
// The same, greyed also when `greyed` although `popup` has items: a submenu
// with fixed entries may have nothing to act on at the moment.
void add_menu_popup(HMENU menu, const wchar_t* text, uint32_t id, HMENU popup,
                    bool greyed) noexcept;
