// The configuration dialog of the mixer lock. It runs in the setup program,
// on a private copy of the settings, never on the state a running main
// program holds; only OK writes the file.

#include "plugin_sdk/dialog_helpers.h"
#include "plugin_sdk/mixer_functions.h"
#include "plugin_sdk/plugin_module.h"
#include "plugin_sdk/ui_language.h"
#include "plugin_sdk/zuvoplug.h"
#include "plugins/lockvol/lock_settings.h"
#include "plugins/lockvol/resource.h"

#include <commctrl.h>
#include <strsafe.h>

#include <string>

namespace {

using namespace lockvol;

constexpr const wchar_t* error_text = L"## ERROR ##";
constexpr hotkey_editor toggle_editor{IDC_TOGGLE_KEY, IDC_TOGGLE_CTRL, IDC_TOGGLE_SHIFT,
                                      IDC_TOGGLE_ALT, IDC_TOGGLE_WIN};
constexpr hotkey_editor reset_editor{IDC_RESET_KEY, IDC_RESET_CTRL, IDC_RESET_SHIFT, IDC_RESET_ALT,
                                     IDC_RESET_WIN};

struct dialog_context {
    lock_settings settings;
    bool saved = false;
    mixer_functions mixer;
    lock_entry edited; // not in the list until added
    int current = -1;
    std::wstring description_format;
    std::wstring balance_format;
    std::wstring default_mixer;
    bool filling = false; // the list's own notifications while it is rebuilt
};

dialog_context* g_dialog = nullptr;

std::wstring ui_string(UINT id) {
    wchar_t text[128] = {};
    load_ui_string(g_plugin_module, id, text, 128);
    return text;
}

std::wstring format_message(const std::wstring& format, const DWORD_PTR* arguments) {
    wchar_t text[1024] = {};
    if (!FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY, format.c_str(),
                        0, 0, text, 1024,
                        reinterpret_cast<va_list*>(const_cast<DWORD_PTR*>(arguments))))
        return L"";
    return text;
}

std::wstring source_text(int32_t source) {
    return source == -1 ? std::wstring(L"M") : std::to_wstring(source);
}

std::wstring describe(const dialog_context& context, const lock_entry& entry) {
    if (entry.mixer.empty()) return L"<" + context.default_mixer + L">";
    mxrctl_control_info info{};
    mixer_peek peek(context.mixer, entry.mixer.c_str(), entry.destination, entry.source, &info);
    const bool opened = peek.control() != nullptr;
    const std::wstring control = opened ? std::wstring(info.control) : error_text;
    const uint32_t channels = opened ? info.channels : 0;
    std::wstring balance;
    if (channels == 2) {
        const DWORD_PTR argument[] = {static_cast<DWORD_PTR>(static_cast<intptr_t>(entry.balance))};
        balance = format_message(context.balance_format, argument);
    }
    const std::wstring source = source_text(entry.source);
    const DWORD_PTR arguments[] = {reinterpret_cast<DWORD_PTR>(entry.mixer.c_str()),
                                   static_cast<DWORD_PTR>(static_cast<intptr_t>(entry.destination)),
                                   reinterpret_cast<DWORD_PTR>(control.c_str()),
                                   reinterpret_cast<DWORD_PTR>(source.c_str()),
                                   reinterpret_cast<DWORD_PTR>(control.c_str()),
                                   static_cast<DWORD_PTR>(channels),
                                   reinterpret_cast<DWORD_PTR>(balance.c_str())};
    return format_message(context.description_format, arguments);
}

std::wstring control_column(const dialog_context& context, const lock_entry& entry) {
    mxrctl_control_info info{};
    mixer_peek peek(context.mixer, entry.mixer.c_str(), entry.destination, entry.source, &info);
    const std::wstring name = peek.control() ? std::wstring(info.control) : error_text;
    return L"[" + source_text(entry.source) + L"]" + name;
}

void set_item_text(HWND list, int item, int column, const std::wstring& text) {
    LVITEMW cell{};
    cell.iSubItem = column;
    cell.pszText = const_cast<wchar_t*>(text.c_str());
    SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(item),
                 reinterpret_cast<LPARAM>(&cell));
}

void enable_add_update(HWND dialog, const dialog_context& context) {
    EnableWindow(GetDlgItem(dialog, IDC_ADD), context.current < 0);
    EnableWindow(GetDlgItem(dialog, IDC_UPDATE), context.current >= 0);
}

void fill_list(HWND dialog, dialog_context& context) {
    HWND list = GetDlgItem(dialog, IDC_ENTRY_LIST);
    context.filling = true;
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    const auto& entries = context.settings.entries;
    for (size_t i = 0; i < entries.size(); ++i) {
        const lock_entry& entry = entries[i];
        const bool default_mixer = entry.mixer.empty();
        std::wstring mixer = default_mixer ? context.default_mixer : entry.mixer;
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(i);
        item.pszText = mixer.data();
        const int added = static_cast<int>(
            SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        if (added < 0) continue;
        set_item_text(list, added, 1,
                      default_mixer ? std::wstring() : control_column(context, entry));
    }
    if (context.current >= 0) {
        LVITEMW state{};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(context.current),
                     reinterpret_cast<LPARAM>(&state));
    }
    context.filling = false;
    enable_add_update(dialog, context);
}

void clamp_volume_field(HWND dialog) {
    const int32_t volume = clamp_volume(read_edit_number(dialog, IDC_VOLUME));
    SetDlgItemTextW(dialog, IDC_VOLUME, std::to_wstring(volume).c_str());
}

void show_edited(HWND dialog, const dialog_context& context) {
    SetDlgItemTextW(dialog, IDC_DESCRIPTION, describe(context, context.edited).c_str());
    SetDlgItemTextW(dialog, IDC_VOLUME, std::to_wstring(context.edited.volume).c_str());
    clamp_volume_field(dialog);
    tick_box(dialog, IDC_MUTE, context.edited.mute);
    tick_box(dialog, IDC_ZUVO_CONTROL, context.edited.zuvo_control);
    tick_box(dialog, IDC_KEEP_STARTUP, context.edited.keep_startup_state);
}

void add_columns(HWND list) {
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT,
                 LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    const int width = list_column_room(list);
    const list_column columns[] = {{IDS_COLUMN_MIXER, width / 3},
                                   {IDS_COLUMN_CONTROL, width - width / 3}};
    add_list_columns(list, g_plugin_module, columns, std::size(columns));
}

void initialise(HWND dialog, dialog_context& context) {
    context.description_format = ui_string(IDS_LABEL_MIXER) + L" : %1!s!%n" +
                                 ui_string(IDS_LABEL_CONTROL) + L" : [%4!s!] %5!s!%n" +
                                 ui_string(IDS_LABEL_CHANNELS) + L" : %6!d! %7!s!%0";
    context.balance_format = L"(" + ui_string(IDS_LABEL_BALANCE) + L": %1!d!)";
    context.default_mixer = ui_string(IDS_DEFAULT_MIXER);
    SendDlgItemMessageW(dialog, IDC_VOLUME, EM_LIMITTEXT, 3, 0);
    tick_box(dialog, IDC_BOOT_ENABLE, context.settings.boot_enable);
    toggle_editor.bind(dialog);
    reset_editor.bind(dialog);
    toggle_editor.show(dialog, context.settings.hotkey_toggle);
    reset_editor.show(dialog, context.settings.hotkey_reset_once);
    add_columns(GetDlgItem(dialog, IDC_ENTRY_LIST));
    fill_list(dialog, context);
    show_edited(dialog, context);
}

void list_selection_changed(HWND dialog, dialog_context& context) {
    if (context.filling) return;
    const int selected = static_cast<int>(SendDlgItemMessageW(
        dialog, IDC_ENTRY_LIST, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    // Nothing selected (a click beside the items) keeps the current entry.
    if (selected >= 0 && selected != context.current &&
        static_cast<size_t>(selected) < context.settings.entries.size()) {
        context.current = selected;
        context.edited = context.settings.entries[static_cast<size_t>(selected)];
        show_edited(dialog, context);
    }
    enable_add_update(dialog, context);
}

void select_control(HWND dialog, dialog_context& context) {
    if (!context.mixer.control_select) return;
    mxrctl_selection selection{};
    StringCchCopyNW(selection.mixer, mxrctl_name_length, context.edited.mixer.c_str(),
                    mxrctl_name_length - 1);
    selection.destination = context.edited.destination;
    selection.source = context.edited.source;
    selection.balance = context.edited.balance;
    if (!context.mixer.control_select(GetModuleHandleW(nullptr), dialog, &selection)) return;
    selection.mixer[mxrctl_name_length - 1] = L'\0';
    context.current =
        apply_selection(context.settings.entries, context.current, context.edited, selection.mixer,
                        selection.destination, selection.source, selection.balance);
    show_edited(dialog, context);
    fill_list(dialog, context);
}

void add_or_update_edited(HWND dialog, dialog_context& context) {
    // The field is clamped on leaving it; a value that got past that (Enter
    // on a button) must not put an impossible volume into the file either.
    context.edited.volume = clamp_volume(read_edit_number(dialog, IDC_VOLUME));
    context.edited.mute = is_box_ticked(dialog, IDC_MUTE);
    context.edited.zuvo_control = is_box_ticked(dialog, IDC_ZUVO_CONTROL);
    context.edited.keep_startup_state = is_box_ticked(dialog, IDC_KEEP_STARTUP);
    add_or_update(context.settings.entries, context.edited, context.current);
    fill_list(dialog, context);
}

bool on_command(HWND dialog, dialog_context& context, int id, int code) {
    switch (id) {
    case IDC_SELECT:
        select_control(dialog, context);
        return true;
    case IDC_ADD:
    case IDC_UPDATE:
        add_or_update_edited(dialog, context);
        return true;
    case IDC_DELETE:
        remove_current(context.settings.entries, context.current);
        fill_list(dialog, context);
        return true;
    case IDC_ENTRY_UP:
    case IDC_ENTRY_DOWN:
        move_current(context.settings.entries, context.current, id == IDC_ENTRY_UP ? -1 : 1);
        fill_list(dialog, context);
        return true;
    case IDC_VOLUME:
        if (code == EN_KILLFOCUS) clamp_volume_field(dialog);
        return code == EN_KILLFOCUS;
    case IDOK:
        context.settings.boot_enable = is_box_ticked(dialog, IDC_BOOT_ENABLE);
        context.settings.hotkey_toggle = toggle_editor.read(dialog);
        context.settings.hotkey_reset_once = reset_editor.read(dialog);
        context.saved = true;
        EndDialog(dialog, IDOK);
        return true;
    case IDCANCEL:
        EndDialog(dialog, IDCANCEL);
        return true;
    default:
        return false;
    }
}

INT_PTR CALLBACK dialog_procedure(HWND dialog, UINT message, WPARAM wparam,
                                  LPARAM lparam) noexcept {
    dialog_context* context = g_dialog;
    if (!context) return FALSE;
    try {
        switch (message) {
        case WM_INITDIALOG:
            initialise(dialog, *context);
            return TRUE;
        case WM_COMMAND:
            return on_command(dialog, *context, LOWORD(wparam), HIWORD(wparam)) ? TRUE : FALSE;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lparam);
            if (header && header->idFrom == IDC_ENTRY_LIST &&
                (header->code == LVN_ITEMCHANGED || header->code == LVN_ITEMACTIVATE)) {
                list_selection_changed(dialog, *context);
                return TRUE;
            }
            return FALSE;
        }
        default:
            return FALSE;
        }
    } catch (...) {
        return FALSE;
    }
}

} // namespace

ZUVOPLUG_EXPORT void ZUVOPLUG_CALL ZUVOPLUG_config(HWND owner) noexcept {
    try {
        dialog_context context;
        context.mixer = mixer_functions::of_host();
        context.settings = load_settings();
        g_dialog = &context;
        show_plugin_dialog(g_plugin_module, IDD_LOCKVOL_CONFIG, owner, dialog_procedure);
        g_dialog = nullptr;
        if (context.saved) save_settings(context.settings);
    } catch (...) {
        g_dialog = nullptr;
    }
}
