// The Plug-ins page: the plug-in libraries found in the plugin folder, ticked
// when enabled, with their version information and configuration dialogs.
// A library is loaded only for a look or a call and freed right after: the
// setup program never runs a plug-in, it only asks it to configure itself.

#include "common/library_search.h"
#include "common/unique_resource.h"
#include "winui/dialog_helpers.h"
#include "winui/ui_language.h"
#include "plugin_sdk/zuvoplug.h"
#include "setup/list_logic.h"
#include "setup/pages.h"
#include "setup/resource.h"

#include <commctrl.h>
#include <strsafe.h>

#include <cwchar>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

constexpr size_t path_capacity = 261;
constexpr char entry_export[] = "ZUVOPLUG_entry_4_0_0";
constexpr char config_export[] = "ZUVOPLUG_config";

constexpr hotkey_editor check_hotkey{IDC_PLUG_HOTKEY, IDC_PLUG_CTRL, IDC_PLUG_SHIFT, IDC_PLUG_ALT,
                                     IDC_PLUG_WIN};

// A plug-in's own DllMain runs here; a damaged file must not stop the page
// with the system's error box, and its refusal is all we need to know.
unique_hmodule load_plugin(const wchar_t* path) noexcept {
    DWORD previous = 0;
    const bool quiet =
        SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previous) != FALSE;
    unique_hmodule library(load_own_library(path));
    if (quiet) SetThreadErrorMode(previous, nullptr);
    return library;
}

bool library_exports(const wchar_t* path, const char* name) noexcept {
    unique_hmodule library = load_plugin(path);
    return library && GetProcAddress(library.get(), name) != nullptr;
}

bool same_file_name(const wchar_t* a, const wchar_t* b) noexcept {
    return CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL;
}

// What the version resource of a library says, as the page shows it.
struct version_info {
    wchar_t version[32] = {};
    wchar_t description[256] = {};
    wchar_t copyright[256] = {};
};

void query_version_string(const void* data, uint16_t language, uint16_t code_page,
                          const wchar_t* name, wchar_t* text, size_t capacity) noexcept {
    text[0] = L'\0';
    wchar_t key[96];
    format_version_string_key(language, code_page, name, key, 96);
    void* value = nullptr;
    UINT length = 0;
    if (!version_library().query(data, key, &value, &length) || !value || length == 0) return;
    StringCchCopyNW(text, capacity, static_cast<const wchar_t*>(value), length);
}

// False when the library has no version resource with a fixed version.
bool read_version_info(const wchar_t* path, version_info& info) noexcept {
    info = version_info{};
    const version_functions& versions = version_library();
    if (!versions.usable()) return false;
    DWORD ignored = 0;
    const DWORD size = versions.info_size(path, &ignored);
    if (size == 0) return false;
    std::unique_ptr<uint8_t[]> data(new (std::nothrow) uint8_t[size]);
    if (!data || !versions.info(path, 0, size, data.get())) return false;

    void* value = nullptr;
    UINT length = 0;
    if (!versions.query(data.get(), L"\\", &value, &length) || !value ||
        length < sizeof(VS_FIXEDFILEINFO))
        return false;
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    format_file_version(fixed->dwFileVersionMS, fixed->dwFileVersionLS, info.version, 32);

    // The texts come from the first translation the resource lists.
    if (!versions.query(data.get(), L"\\VarFileInfo\\Translation", &value, &length) || !value ||
        length < 2 * sizeof(WORD))
        return true;
    const auto* translation = static_cast<const WORD*>(value);
    query_version_string(data.get(), translation[0], translation[1], L"FileDescription",
                         info.description, 256);
    query_version_string(data.get(), translation[0], translation[1], L"LegalCopyright",
                         info.copyright, 256);
    return true;
}

class Cpage_plugins final : public Csetup_page {
public:
    explicit Cpage_plugins(setup_state& state) : Csetup_page(state, IDD_PAGE_PLUGINS) {}

protected:
    INT_PTR handle(UINT message, WPARAM wparam, LPARAM lparam) override {
        if (message != 0 && message == saved_message_) {
            plugin_saved(wparam != 0);
            return TRUE;
        }
        switch (message) {
        case WM_NOTIFY:
            return notify(reinterpret_cast<const NMHDR*>(lparam));
        case WM_COMMAND:
            return command(LOWORD(wparam));
        default:
            return FALSE;
        }
    }

    void apply() override {
        HWND list = item(IDC_PLUG_LIST);
        std::vector<plugin_entry> enabled;
        const LRESULT count = SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
        for (LRESULT index = 0; index < count; ++index) {
            if (!is_ticked(index)) continue;
            const wchar_t* name = listed_name(index);
            if (!name) continue;
            plugin_entry entry;
            StringCchCopyW(entry.file_name, path_capacity, name);
            enabled.push_back(entry);
        }
        config().plugins = std::move(enabled);
    }

private:
    struct listed_plugin {
        wchar_t file_name[path_capacity] = {};
    };

    void initialize() override {
        saved_message_ = RegisterWindowMessageW(ZUVOPLUG_CONFIG_SAVED);
        HWND list = item(IDC_PLUG_LIST);
        const DWORD extended = LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT;
        SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, extended, extended);
        add_columns(list);
        check_hotkey.bind(window());
        fill_list();
        SetDlgItemTextW(window(), IDC_PLUG_HOTKEY_NUMBER, L"");
    }

    void add_columns(HWND list) {
        const int width = list_column_room(list);
        const list_column columns[] = {{IDS_PLUGIN_COLUMN, width * 2 / 3},
                                       {IDS_VERSION_COLUMN, width / 3}};
        add_list_columns(list, state_.module, columns, std::size(columns));
    }

    // Every library of the folder that is a plug-in, in the order the file
    // system gives them.
    void fill_list() {
        HWND list = item(IDC_PLUG_LIST);
        SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
        listed_.clear();
        wchar_t pattern[path_capacity];
        wchar_t* file_part = nullptr;
        const DWORD length = GetFullPathNameW(L"plugin\\*.dll", path_capacity, pattern, &file_part);
        if (length == 0 || length >= path_capacity || !file_part) return;
        StringCchCopyNW(folder_, path_capacity, pattern, static_cast<size_t>(file_part - pattern));

        WIN32_FIND_DATAW found{};
        HANDLE search = FindFirstFileW(pattern, &found);
        if (search == INVALID_HANDLE_VALUE) return;
        unique_resource<handle_traits::null_is_invalid<HANDLE, FindClose>> closing(search);
        // Items being added change state too; nothing is current yet.
        filling_ = true;
        struct filling_done {
            bool& flag;
            ~filling_done() { flag = false; }
        } done{filling_};
        do {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            wchar_t path[path_capacity];
            // A name that does not fit is left out rather than cut into
            // the name of another file.
            if (!join_plugin_path(folder_, found.cFileName, path, path_capacity)) continue;
            if (!library_exports(path, entry_export)) continue;
            add_item(found.cFileName, path);
        } while (FindNextFileW(search, &found));
    }

    void add_item(const wchar_t* file_name, const wchar_t* path) {
        listed_plugin listed;
        if (FAILED(StringCchCopyW(listed.file_name, path_capacity, file_name))) return;
        listed_.push_back(listed);

        HWND list = item(IDC_PLUG_LIST);
        LVITEMW row{};
        row.mask = LVIF_TEXT | LVIF_PARAM;
        row.iItem = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
        row.pszText = listed_.back().file_name;
        row.lParam = static_cast<LPARAM>(listed_.size() - 1);
        const LRESULT index =
            SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&row));
        if (index < 0) {
            listed_.pop_back();
            return;
        }
        version_info info;
        if (read_version_info(path, info)) {
            LVITEMW version{};
            version.iSubItem = 1;
            version.pszText = info.version;
            SendMessageW(list, LVM_SETITEMTEXTW, index, reinterpret_cast<LPARAM>(&version));
        }
        bool enabled = false;
        for (const plugin_entry& entry : config().plugins)
            enabled = enabled || same_file_name(entry.file_name, file_name);
        set_ticked(index, enabled);
    }

    INT_PTR notify(const NMHDR* header) {
        if (!header || header->idFrom != IDC_PLUG_LIST || filling_) return FALSE;
        if (header->code == LVN_ITEMACTIVATE) {
            show_current();
            return TRUE;
        }
        if (header->code != LVN_ITEMCHANGED) return FALSE;
        // Selection and tick changes matter; focus moves and the like would
        // only load every library again.
        const auto* change = reinterpret_cast<const NMLISTVIEW*>(header);
        const UINT relevant = LVIS_SELECTED | LVIS_STATEIMAGEMASK;
        if (!(change->uChanged & LVIF_STATE) ||
            !((change->uOldState ^ change->uNewState) & relevant))
            return FALSE;
        show_current();
        return TRUE;
    }

    INT_PTR command(int id) {
        switch (id) {
        case IDC_PLUG_SETTINGS:
            configure_current();
            return TRUE;
        case IDC_PLUG_HOTKEY:
        case IDC_PLUG_CTRL:
        case IDC_PLUG_SHIFT:
        case IDC_PLUG_ALT:
        case IDC_PLUG_WIN: {
            wchar_t number[16];
            StringCchPrintfW(number, 16, L"%u", check_hotkey.read(window()));
            SetDlgItemTextW(window(), IDC_PLUG_HOTKEY_NUMBER, number);
            return TRUE;
        }
        default:
            return FALSE;
        }
    }

    // The selected item (else the first) becomes current: its version
    // information is shown and its settings offered when it is enabled.
    void show_current() {
        HWND list = item(IDC_PLUG_LIST);
        LRESULT selected =
            SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
        if (selected < 0) selected = 0;
        current_path_[0] = L'\0';
        const wchar_t* name = listed_name(selected);
        if (!name || !join_plugin_path(folder_, name, current_path_, path_capacity)) {
            SetDlgItemTextW(window(), IDC_PLUG_INFO, L"");
            EnableWindow(item(IDC_PLUG_SETTINGS), FALSE);
            return;
        }

        version_info info;
        wchar_t text[600];
        if (read_version_info(current_path_, info))
            format_plugin_info(info.description, info.version, info.copyright, text, 600);
        else
            load_ui_string(state_.module, IDS_NO_VERSION_INFO, text, 600);
        SetDlgItemTextW(window(), IDC_PLUG_INFO, text);

        const bool offered = is_ticked(selected) && library_exports(current_path_, config_export);
        EnableWindow(item(IDC_PLUG_SETTINGS), offered);
    }

    void configure_current() {
        if (current_path_[0] == L'\0') return;
        unique_hmodule library = load_plugin(current_path_);
        if (!library) return;
        const auto configure = reinterpret_cast<ZUVOPLUG_config_fn>(
            reinterpret_cast<void*>(GetProcAddress(library.get(), config_export)));
        if (!configure) return;
        configuring_ = current_file_name();
        configure(window());
        configuring_.clear();
    }

    // The plug-in being configured reports a save; its last one counts.
    void plugin_saved(bool saved) {
        if (configuring_.empty()) return;
        auto& unsaved = state_.unsaved_plugins;
        std::erase_if(unsaved, [&](const std::wstring& name) {
            return same_file_name(name.c_str(), configuring_.c_str());
        });
        if (!saved) unsaved.push_back(configuring_);
    }

    std::wstring current_file_name() const {
        const wchar_t* name = wcsrchr(current_path_, L'\\');
        return name ? name + 1 : current_path_;
    }

    const wchar_t* listed_name(LRESULT index) const {
        if (index < 0) return nullptr;
        LVITEMW row{};
        row.mask = LVIF_PARAM;
        row.iItem = static_cast<int>(index);
        if (!SendMessageW(GetDlgItem(window(), IDC_PLUG_LIST), LVM_GETITEMW, 0,
                          reinterpret_cast<LPARAM>(&row)))
            return nullptr;
        if (row.lParam < 0 || static_cast<size_t>(row.lParam) >= listed_.size()) return nullptr;
        return listed_[static_cast<size_t>(row.lParam)].file_name;
    }

    // The check box is state image 2 when ticked, 1 when not.
    bool is_ticked(LRESULT index) const {
        const auto state = static_cast<UINT>(SendMessageW(
            GetDlgItem(window(), IDC_PLUG_LIST), LVM_GETITEMSTATE, index, LVIS_STATEIMAGEMASK));
        return (state & LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2);
    }

    void set_ticked(LRESULT index, bool ticked) {
        LVITEMW state{};
        state.stateMask = LVIS_STATEIMAGEMASK;
        state.state = INDEXTOSTATEIMAGEMASK(ticked ? 2 : 1);
        SendMessageW(item(IDC_PLUG_LIST), LVM_SETITEMSTATE, index,
                     reinterpret_cast<LPARAM>(&state));
    }

    std::vector<listed_plugin> listed_;
    wchar_t folder_[path_capacity] = {};
    wchar_t current_path_[path_capacity] = {};
    bool filling_ = false;
    UINT saved_message_ = 0;
    std::wstring configuring_; // file name of the plug-in whose dialog is open
};

} // namespace

std::unique_ptr<Csetup_page> make_plugins_page(setup_state& state) {
    return std::make_unique<Cpage_plugins>(state);
}
