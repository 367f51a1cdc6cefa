#pragma once
// Pieces the settings editor's pages and the plug-ins' dialogs are made of:
// the dialog shown from its re-fonted template, list-view columns, numbers
// read from edits, check boxes, and the hot-key editor (a hot-key control
// for the bare key, four boxes for the modifiers).

#include "winui/hotkey_value.h"

#include <windows.h>
#include <cstdint>

// build_dialog_template, DialogBoxIndirectParamW, GlobalFree. -1 without
// showing anything when the template cannot be built.
INT_PTR show_plugin_dialog(HMODULE module, UINT dialog_id, HWND owner, DLGPROC procedure,
                           LPARAM parameter = 0) noexcept;

// A column of a report list view: the string id of its heading (loaded in
// the user's language from `module`) and its width in pixels.
struct list_column {
    UINT heading;
    int width;
};
// Adds the columns in order to a report list view.
void add_list_columns(HWND list, HMODULE module, const list_column* columns, size_t count) noexcept;
// The width a list view's columns can share and still show whole once a
// vertical scroll bar appears: the client width less the scroll bar's.
int list_column_room(HWND list) noexcept;

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
