#pragma once
// Pieces every plug-in dialog is made of: the dialog shown from its
// re-fonted template, numbers read from edits, check boxes, and the hot-key
// editor (a hot-key control for the bare key, four boxes for the modifiers).

#include "plugin_sdk/hotkey_value.h"

#include <windows.h>
#include <cstdint>

// build_dialog_template, DialogBoxIndirectParamW, GlobalFree. -1 without
// showing anything when the template cannot be built.
INT_PTR show_plugin_dialog(HMODULE module, UINT dialog_id, HWND owner, DLGPROC procedure,
                           LPARAM parameter = 0) noexcept;

// Up to 31 characters of the edit's text as a number: optional sign, then
// the leading digits; an empty or non-numeric text gives 0.
int32_t read_edit_number(HWND edit) noexcept;
int32_t read_edit_number(HWND dialog, int edit_id) noexcept;

// A box counts as ticked only when BM_GETCHECK answers exactly BST_CHECKED.
bool is_box_ticked(HWND dialog, int box_id) noexcept;
void tick_box(HWND dialog, int box_id, bool ticked) noexcept;

// One hot-key control and its row of "Ctrl", "Shift", "Alt", "Win" boxes.
// Several editors may name the same boxes: showing them one after another
// leaves the last key's modifiers ticked, and reading gives every key of the
// row the same modifiers.
struct hotkey_editor {
    int hotkey_id;
    int ctrl_id;
    int shift_id;
    int alt_id;
    int win_id;

    // At WM_INITDIALOG: the control refuses every combination with a
    // modifier and keeps the bare key instead.
    void bind(HWND dialog) const noexcept;
    void show(HWND dialog, uint32_t hotkey) const noexcept;
    uint32_t read(HWND dialog) const noexcept;
};
