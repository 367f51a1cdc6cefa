#pragma once
// A plug-in's configuration dialog, as ZUVOPLUG_config shows it: settings
// loaded into a private context, shown, read back on OK and saved, and the
// outcome of the save told to the window that asked for the dialog.

#include "plugin_sdk/export_guard.h"
#include "winui/dialog_helpers.h"

#include <windows.h>

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
        return guarded(INT_PTR{FALSE}, [&]() -> INT_PTR {
            if (message == WM_INITDIALOG) {
                Show(dialog, context->settings);
                return TRUE;
            }
            if (message == WM_COMMAND)
                return end_plugin_config(dialog, wparam, *context, Read) ? TRUE : FALSE;
            return FALSE;
        });
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
