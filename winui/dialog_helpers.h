#pragma once
// Pieces every plug-in dialog is made of: the dialog shown from its
// re-fonted template, numbers read from edits, check boxes, and the hot-key
// editor (a hot-key control for the bare key, four boxes for the modifiers).

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

// The shape of every ZUVOPLUG_config. It runs without the plug-in's entry
// (the setup program loads the library only for this), so it works on a
// private context: the settings are loaded into it, it is published in
// `published` for the dialog procedure, the dialog is shown, and the
// settings are saved only when the procedure set `saved` (OK). Returns that.
//
//     config_context<settings>* g_dialog;  // read by dialog_procedure
//     ZUVOPLUG_EXPORT void ZUVOPLUG_CALL ZUVOPLUG_config(HWND owner) noexcept {
//         run_plugin_config(g_plugin_module, 126, owner, dialog_procedure, g_dialog, exchange);
//     }
template <typename Settings> struct config_context {
    Settings settings{};
    bool saved = false;
};

template <typename Settings, typename Exchange>
bool run_plugin_config(HMODULE module, UINT dialog_id, HWND owner, DLGPROC procedure,
                       config_context<Settings>*& published, Exchange exchange) noexcept {
    config_context<Settings> context{};
    exchange(context.settings, false);
    published = &context;
    show_plugin_dialog(module, dialog_id, owner, procedure);
    published = nullptr;
    if (context.saved) exchange(context.settings, true);
    return context.saved;
}

// OK and Cancel of a configuration dialog: OK copies the controls into the
// context's settings with `read` (dialog, settings&), marks them to be saved
// and ends the dialog; Cancel only ends it. True when `command` (a
// WM_COMMAND wParam) was one of the two.
template <typename Settings, typename Read>
bool end_plugin_config(HWND dialog, WPARAM command, config_context<Settings>& context, Read read) {
    if (LOWORD(command) == IDOK) {
        read(dialog, context.settings);
        context.saved = true;
        EndDialog(dialog, IDOK);
        return true;
    }
    if (LOWORD(command) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return true;
    }
    return false;
}

// A configuration dialog that shows its settings and reads them back on OK,
// nothing more: `Show(dialog, const Settings&)` at WM_INITDIALOG,
// `Read(dialog, Settings&)` on OK. One context per kind of dialog.
template <typename Settings, auto Show, auto Read> struct plain_config_dialog {
    static inline config_context<Settings>* context = nullptr;

    static INT_PTR CALLBACK procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM) noexcept {
        if (!context) return FALSE;
        try {
            if (message == WM_INITDIALOG) {
                Show(dialog, context->settings);
                return TRUE;
            }
            if (message == WM_COMMAND)
                return end_plugin_config(dialog, wparam, *context, Read) ? TRUE : FALSE;
        } catch (...) {
        }
        return FALSE;
    }
};

// run_plugin_config with such a dialog.
template <typename Settings, auto Show, auto Read, typename Exchange>
bool run_plain_config(HMODULE module, UINT dialog_id, HWND owner, Exchange exchange) noexcept {
    using dialog = plain_config_dialog<Settings, Show, Read>;
    return run_plugin_config(module, dialog_id, owner, dialog::procedure, dialog::context,
                             exchange);
}

// After OK tried to save a configuration dialog's settings to its file
// `file_name` (without ".ini", in the current directory): a failure is
// told over `dialog`, under its caption, as the settings editor tells its
// own (string `failed_text` of `module`, %1 the file's full path), and
// either outcome is reported to `owner`, the window ZUVOPLUG_config was
// given (see ZUVOPLUG_CONFIG_SAVED).
void report_config_save(HWND owner, HWND dialog, HMODULE module, UINT failed_text,
                        const wchar_t* file_name, bool saved) noexcept;

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
