// The configuration dialog of the mixer lock. It runs in the setup program,
// on a private copy of the settings, never on the state a running main
// program holds; only OK writes the file, and tells the setup program
// whether that worked.

#include "mxrctl/control_description.h"
#include "mxrctl/control_select_text.h"
#include "winui/dialog_helpers.h"
#include "plugin_sdk/mixer_functions.h"
#include "plugin_sdk/plugin_config.h"
#include "plugin_sdk/export_guard.h"
#include "plugin_sdk/plugin_module.h"
#include "winui/ui_language.h"
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
    HWND owner = nullptr; // the program's window that asked for the dialog
    mixer_functions mixer;
    lock_entry edited; // not in the list until added
    int current = -1;
    std::wstring default_mixer;
    bool filling = false; // the list's own notifications while it is rebuilt
};

dialog_context* g_dialog = nullptr;

std::wstring ui_string(UINT id) {
    wchar_t text[128] = {};
    load_ui_string(g_plugin_module, id, text, 128);
    return text;
}

const wchar_t* application_of(const lock_entry& entry) {
    return entry.application.empty() ? nullptr : entry.application.c_str();
}

std::wstring describe(const dialog_context& context, const lock_entry& entry) {
    const bool application = !entry.application.empty();
    // The default device's line is its master volume, said by the device
    // alone; a program on it needs its own description.
    if (entry.mixer.empty() && !application) return default_mixer_entry(context.default_mixer);
    mxrctl_control_info info{};
    mixer_peek peek(context.mixer, entry.mixer.c_str(), entry.destination, entry.source, &info,
                    nullptr, application_of(entry));
    const std::wstring mixer =
        entry.mixer.empty() ? default_mixer_entry(context.default_mixer) : entry.mixer;
    // A program reads as the settings editor describes it: its own name
    // and its file name.
    const std::wstring control =
        application ? program_label(info.control, entry.application) : info.control;
    control_facts facts;
    facts.mixer = mixer.c_str();
    facts.destination = entry.destination;
    facts.source = entry.source;
    facts.control = peek.control() ? control.c_str() : nullptr;
    facts.channels = info.channels;
    facts.balance = entry.balance;
    return describe_control_facts(g_plugin_module, facts, balance_unit::none);
}

// The list's control column: "[M]name", "[2]name", "[A]name" for a
// program, "## ERROR ##" for the name when the control does not open,
// nothing for the default device's master volume.
struct listed_control {
    std::wstring text;
    std::wstring device; // as the audio system names it; empty when it did not open
};

listed_control list_control(const dialog_context& context, const lock_entry& entry) {
    mxrctl_control_info info{};
    wchar_t device[mxrctl_name_length] = {};
    mixer_peek peek(context.mixer, entry.mixer.c_str(), entry.destination, entry.source, &info,
                    device, application_of(entry));
    device[mxrctl_name_length - 1] = L'\0';
    listed_control listed;
    if (peek.control()) listed.device = device[0] ? device : entry.mixer;
    const bool application = !entry.application.empty();
    if (!entry.mixer.empty() || application)
        listed.text = L"[" + source_text(entry.source) + L"]" +
                      (peek.control() ? std::wstring(info.control) : error_text);
    return listed;
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
    std::vector<listed_control> controls;
    std::vector<std::wstring> devices;
    for (const lock_entry& entry : entries) {
        controls.push_back(list_control(context, entry));
        devices.push_back(controls.back().device);
    }
    // Of the entries that reach one control only the first is held: the
    // later ones say so, and which row wins.
    const std::vector<int> earlier = earlier_same_control(entries, devices);
    for (size_t i = 0; i < entries.size(); ++i) {
        const lock_entry& entry = entries[i];
        std::wstring mixer = entry.mixer.empty() ? context.default_mixer : entry.mixer;
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(i);
        item.pszText = mixer.data();
        const int added = static_cast<int>(
            SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        if (added < 0) continue;
        std::wstring text = controls[i].text;
        if (earlier[i] >= 0) {
            wchar_t mark[128] = {};
            format_ui_string(g_plugin_module, IDS_SAME_CONTROL_AS,
                             std::to_wstring(earlier[i] + 1).c_str(), mark, 128);
            text += text.empty() ? std::wstring(mark) : L" " + std::wstring(mark);
        }
        set_item_text(list, added, 1, text);
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

// The host's selection with the programs offered when it has one, else the
// lines alone. False when there is none or the user cancelled.
bool ask_selection(HWND dialog, const dialog_context& context, mxrctl_selection_ex& chosen) {
    const lock_entry& edited = context.edited;
    chosen = mxrctl_selection_ex{};
    mxrctl_selection& selection = chosen.base;
    StringCchCopyNW(selection.mixer, mxrctl_name_length, edited.mixer.c_str(),
                    mxrctl_name_length - 1);
    selection.destination = edited.destination;
    selection.source = edited.source;
    selection.balance = edited.balance;
    bool taken = false;
    if (context.mixer.control_select_ex) {
        StringCchCopyNW(chosen.application, mxrctl_application_length, edited.application.c_str(),
                        mxrctl_application_length - 1);
        taken = context.mixer.control_select_ex(GetModuleHandleW(nullptr), dialog, &chosen);
    } else if (context.mixer.control_select) {
        // An older host lists lines only: a program's entry is offered as
        // the master volume of its device.
        if (!edited.application.empty()) selection.source = -1;
        taken = context.mixer.control_select(GetModuleHandleW(nullptr), dialog, &selection);
        chosen.application[0] = L'\0';
    }
    selection.mixer[mxrctl_name_length - 1] = L'\0';
    chosen.application[mxrctl_application_length - 1] = L'\0';
    return taken;
}

void select_control(HWND dialog, dialog_context& context) {
    mxrctl_selection_ex chosen{};
    if (!ask_selection(dialog, context, chosen)) return;
    const mxrctl_selection& selection = chosen.base;
    context.current = apply_selection(context.settings.entries, context.current, context.edited,
                                      selection.mixer, selection.destination, selection.source,
                                      selection.balance, chosen.application);
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
    if (!add_or_update(context.settings.entries, context.edited, context.current)) {
        // Loading stops where the file's sections may end: more would be
        // lost at the next save.
        wchar_t text[256] = {};
        load_ui_string(g_plugin_module, IDS_LIST_FULL, text, 256);
        MessageBoxW(dialog, text, L"LockVol", MB_OK | MB_ICONWARNING);
        return;
    }
    fill_list(dialog, context);
}

void delete_current(HWND dialog, dialog_context& context) {
    if (context.current < 0) return;
    remove_current(context.settings.entries, context.current);
    // The fields show the entry now selected, which Update would overwrite,
    // or a new entry when none is left below.
    context.edited = context.current >= 0
                         ? context.settings.entries[static_cast<size_t>(context.current)]
                         : lock_entry{};
    show_edited(dialog, context);
    fill_list(dialog, context);
}

// OK saves at once and ends the dialog only when that worked: after a
// failure everything stays as edited, for another try or Cancel.
void save_and_close(HWND dialog, dialog_context& context) {
    context.settings.boot_enable = is_box_ticked(dialog, IDC_BOOT_ENABLE);
    context.settings.hotkey_toggle = toggle_editor.read(dialog);
    context.settings.hotkey_reset_once = reset_editor.read(dialog);
    const bool saved = save_settings(context.settings);
    report_config_save(context.owner, dialog, g_plugin_module, IDS_SAVE_FAILED, settings_file_name,
                       saved);
    if (saved) EndDialog(dialog, IDOK);
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
        delete_current(dialog, context);
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
        save_and_close(dialog, context);
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
    return guarded(INT_PTR{FALSE}, [&]() -> INT_PTR {
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
    });
}

} // namespace

ZUVOPLUG_EXPORT void ZUVOPLUG_CALL ZUVOPLUG_config(HWND owner) noexcept {
    guarded([&] {
        dialog_context context;
        context.owner = owner;
        context.mixer = mixer_functions::of_host();
        context.settings = load_settings();
        g_dialog = &context;
        show_plugin_dialog(g_plugin_module, IDD_LOCKVOL_CONFIG, owner, dialog_procedure);
    });
    g_dialog = nullptr;
}
