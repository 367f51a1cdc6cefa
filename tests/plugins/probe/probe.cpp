// The probe plug-in: writes down what the host shows it and does what a test
// asks. Its control protocol and log format: tests/support/probe_protocol.h.

#include "plugin_sdk/export_guard.h"
#include "plugin_sdk/feedback.h"
#include "plugin_sdk/host_link.h"
#include "winui/menu_items.h"
#include "plugin_sdk/plugin_module.h"
#include "plugin_sdk/settings_exchange.h"
#include "plugin_sdk/zuvoplug.h"
#include "tests/plugins/probe/probe_lists.h"
#include "tests/support/probe_protocol.h"

#include "common/unique_resource.h"
#include "mxrctl/mxrctl_exports.h"

#include <objbase.h>
#include <strsafe.h>

#include <new>
#include <vector>

namespace {

namespace pp = probe_protocol;

constexpr size_t list_capacity = 512;
constexpr size_t text_capacity = plugin_feedback::capacity;

struct probe_settings {
    wchar_t log[list_capacity] = {};
    wchar_t swallow[list_capacity] = {};
    bool event_result = true;
    wchar_t keys[list_capacity] = {};
    uint32_t menu_items = 0;
    int32_t menu_checked = -1;
    bool menu_popup = false;
    bool menu_separator = false;
    wchar_t menu_action[32] = {};
    wchar_t menu_choose[32] = {};
    uint32_t menu_action_delay = 100;
    wchar_t tips_text[text_capacity] = {};
    uint32_t tips_time = 3000;
    wchar_t garbage_pointer[32] = {};
    wchar_t balloon_text[text_capacity] = {};
    uint32_t delay_ms = 500;
    wchar_t post_command[32] = {};
    int32_t post_lparam = 0;
    bool show_tips = true;
    bool show_balloon = false;
    wchar_t feedback_line1[text_capacity] = {};
    wchar_t feedback_line2[text_capacity] = {};
    wchar_t entry_end[32] = {};
};

// The probe's name: its own file name without ".dll".
void module_name(wchar_t* name, size_t capacity) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(g_plugin_module, path, MAX_PATH);
    const wchar_t* file = path;
    for (const wchar_t* p = path; *p; ++p)
        if (*p == L'\\' || *p == L'/') file = p + 1;
    StringCchCopyW(name, capacity, file);
    wchar_t* dot = nullptr;
    for (wchar_t* p = name; *p; ++p)
        if (*p == L'.') dot = p;
    if (dot) *dot = L'\0';
}

void exchange(probe_settings& s, const wchar_t* name, bool write) {
    plugin_ini_exchange ini(name, write);
    ini.section(pp::section);
    wchar_t default_tips[text_capacity];
    StringCchPrintfW(default_tips, text_capacity, L"&{M0,%ls\\n}", name);
    ini.text(L"Log", s.log, list_capacity, L"0x111");
    ini.text(L"Swallow", s.swallow, list_capacity, L"");
    ini.flag(L"EventResult", s.event_result, true);
    ini.text(L"Keys", s.keys, list_capacity, L"");
    ini.number(L"MenuItems", s.menu_items, 0u);
    ini.number(L"MenuChecked", s.menu_checked, -1);
    ini.flag(L"MenuPopup", s.menu_popup, false);
    ini.flag(L"MenuSeparator", s.menu_separator, false);
    ini.text(L"MenuAction", s.menu_action, 32, L"none");
    ini.text(L"MenuChoose", s.menu_choose, 32, L"0");
    ini.number(L"MenuActionDelay", s.menu_action_delay, 100u);
    ini.text(L"TipsText", s.tips_text, text_capacity, default_tips);
    ini.number(L"TipsTime", s.tips_time, 3000u);
    ini.text(L"GarbagePointer", s.garbage_pointer, 32, L"0x10");
    ini.text(L"BalloonText", s.balloon_text, text_capacity, name);
    ini.number(L"DelayMs", s.delay_ms, 500u);
    ini.text(L"PostCommand", s.post_command, 32, L"0x500");
    ini.number(L"PostLParam", s.post_lparam, 0);
    ini.flag(L"ShowTips", s.show_tips, true);
    ini.flag(L"ShowBalloon", s.show_balloon, false);
    ini.text(L"FeedbackLine1", s.feedback_line1, text_capacity, name);
    ini.text(L"FeedbackLine2", s.feedback_line2, text_capacity, L"");
    ini.text(L"EntryEnd", s.entry_end, 32, L"none");
    if (!write) unescape_line_breaks(s.tips_text);
}

// Appends one record to the shared log; opened and closed each time so that
// a test can read it at any moment and several copies keep their order.
void write_record(const wchar_t* log_path, const wchar_t* name, const wchar_t* kind,
                  const wchar_t* fields) {
    if (!log_path || !log_path[0]) return;
    wchar_t line[1024];
    StringCchPrintfW(line, 1024, L"%llu\t%ls\t%ls%ls%ls",
                     static_cast<unsigned long long>(GetTickCount64()), name, kind,
                     fields && fields[0] ? L"\t" : L"", fields ? fields : L"");
    for (wchar_t* p = line; *p; ++p)
        if (*p == L'\r' || *p == L'\n') *p = L' ';
    StringCchCatW(line, 1024, L"\r\n");
    unique_file file(CreateFileW(log_path, FILE_APPEND_DATA,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    DWORD written = 0;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file.get(), &size) && size.QuadPart == 0) {
        const wchar_t mark = 0xFEFF;
        WriteFile(file.get(), &mark, sizeof mark, &written, nullptr);
    }
    size_t length = 0;
    StringCchLengthW(line, 1024, &length);
    WriteFile(file.get(), line, static_cast<DWORD>(length * sizeof(wchar_t)), &written, nullptr);
}

// Whether COM is still up on this thread: the host must release its plug-ins
// before it shuts COM down, for their COM objects to go with them.
bool com_is_up() {
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (SUCCEEDED(hr)) CoUninitialize();
    return hr == S_FALSE || hr == RPC_E_CHANGED_MODE;
}

void record_release(const wchar_t* log_path, const wchar_t* name) {
    write_record(log_path, name, L"release", com_is_up() ? L"1" : L"0");
}

// How the entry ends the program (EntryEnd), after its own work.
enum class entry_end { none, destroy, quit, exit };

entry_end entry_end_of(const wchar_t* text) {
    if (lstrcmpiW(text, L"destroy") == 0) return entry_end::destroy;
    if (lstrcmpiW(text, L"quit") == 0) return entry_end::quit;
    if (lstrcmpiW(text, L"exit") == 0) return entry_end::exit;
    return entry_end::none;
}

struct popup_item {
    uint32_t id;
    uint32_t type;
};

class probe {
public:
    probe() { module_name(name_, 64); }

    void enter(uint32_t index, HWND main_window) {
        index_ = index;
        main_window_ = main_window;
        if (!log_path_[0]) GetFullPathNameW(pp::log_file, MAX_PATH, log_path_, nullptr);
        load_settings();
        feedback_.create(settings_.show_tips, settings_.show_balloon, name_);
        const bool keyreg_found = find_host_keyreg() != nullptr;
        record(L"entry", L"%u\t0x%llx\t%d", index, handle_value(main_window), keyreg_found ? 1 : 0);
        const number_list keys = parse_number_list(settings_.keys);
        for (size_t i = 0; i < keys.values.size(); ++i) {
            const uint32_t command =
                zuvo_command_value(index_, pp::hotkey_base + static_cast<uint32_t>(i));
            if (!keyreg_found) {
                record(L"keyreg", L"0x%x\t0x%x\tabsent", keys.values[i], command);
                continue;
            }
            const bool accepted = register_plugin_hotkey(keys.values[i], command);
            record(L"keyreg", L"0x%x\t0x%x\t%d", keys.values[i], command, accepted ? 1 : 0);
        }
    }

    bool message(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
        if (log_.contains(message))
            record(L"msg", L"0x%x\t0x%llx\t0x%llx", message,
                   static_cast<unsigned long long>(wparam),
                   static_cast<unsigned long long>(lparam));
        if (message == ZUVOMSG_TRAY_UPDATE && wparam && log_.contains(message))
            record_icon(reinterpret_cast<HICON>(wparam));
        if (message == WM_ENTERMENULOOP) menu_armed_ = false;
        if (message == WM_INITMENUPOPUP && !HIWORD(lparam)) {
            dump_popup(reinterpret_cast<HMENU>(wparam));
            if (!menu_armed_) arm_menu_action(window);
        }
        return swallow_.contains(message);
    }

    bool event(HWND main_window, uint32_t code) {
        const bool result = settings_.event_result;
        record(L"event", L"0x%x\t%d", code, result ? 1 : 0);
        switch (code) {
        case pp::post_tips:
            StringCchCopyW(tips_, text_capacity, settings_.tips_text);
            PostMessageW(main_window, ZUVOMSG_TIPS, reinterpret_cast<WPARAM>(tips_),
                         settings_.tips_time);
            break;
        case pp::post_tips_garbage:
            PostMessageW(main_window, ZUVOMSG_TIPS,
                         static_cast<WPARAM>(parse_number(settings_.garbage_pointer, 0x10)),
                         settings_.tips_time);
            break;
        case pp::post_balloon:
            StringCchCopyW(balloon_text_, text_capacity, settings_.balloon_text);
            balloon_ = {name_, balloon_text_, 1, settings_.tips_time};
            PostMessageW(main_window, ZUVOMSG_BALLOON, reinterpret_cast<WPARAM>(&balloon_), 0);
            break;
        case pp::post_delayed:
            post_delayed_command(main_window, zuvo_command_value(index_, pp::delayed_fired),
                                 settings_.delay_ms);
            break;
        case pp::reload:
            load_settings();
            break;
        case pp::post_command:
            PostMessageW(main_window, WM_COMMAND,
                         static_cast<WPARAM>(parse_number(settings_.post_command, 0x500)),
                         settings_.post_lparam);
            break;
        case pp::sync:
            PostMessageW(main_window, WM_COMMAND, zuvo_command_value(index_, pp::sync_done), 0);
            break;
        case pp::feedback:
            feedback_.show(main_window, settings_.tips_time,
                           {{settings_.feedback_line1, 64}, {settings_.feedback_line2, 64}});
            break;
        default:
            break;
        }
        return result;
    }

    void menu(HMENU menu) {
        record(L"menu", L"%d", GetMenuItemCount(menu));
        for (uint32_t i = 0; i < settings_.menu_items; ++i) {
            wchar_t text[64];
            StringCchPrintfW(text, 64, L"%ls item %u", name_, i);
            add_menu_string(menu, text, zuvo_command_value(index_, pp::menu_item_base + i),
                            static_cast<int32_t>(i) == settings_.menu_checked);
        }
        if (settings_.menu_popup) {
            wchar_t text[64];
            StringCchPrintfW(text, 64, L"%ls popup", name_);
            add_menu_popup(menu, text, zuvo_command_value(index_, pp::menu_popup),
                           CreatePopupMenu());
        }
        if (settings_.menu_separator) add_menu_separator(menu);
    }

    void released() { record_release(log_path_, name_); }
    entry_end end_of_entry() const { return entry_end_of(settings_.entry_end); }

    HWND main_window() const { return main_window_; }

    template <typename... Args>
    void record(const wchar_t* kind, const wchar_t* format, Args... args) {
        wchar_t fields[768];
        StringCchPrintfW(fields, 768, format, args...);
        write_record(log_path_, name_, kind, fields);
    }

private:
    static unsigned long long handle_value(const void* handle) {
        return static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(handle));
    }

    // The size of an icon the host hands to the shell: "icon", width, height.
    void record_icon(HICON icon) {
        ICONINFO info{};
        if (!GetIconInfo(icon, &info)) return;
        unique_hbitmap color(info.hbmColor), mask(info.hbmMask);
        BITMAP bitmap{};
        if (GetObjectW(color ? color.get() : mask.get(), sizeof bitmap, &bitmap))
            record(L"icon", L"%ld\t%ld", bitmap.bmWidth, bitmap.bmHeight);
    }

    void load_settings() {
        exchange(settings_, name_, false);
        log_ = parse_number_list(settings_.log);
        swallow_ = parse_number_list(settings_.swallow);
    }

    void dump_popup(HMENU menu) {
        const int count = GetMenuItemCount(menu);
        record(L"popup", L"0x%llx\t%d", handle_value(menu), count);
        popup_.clear();
        for (int i = 0; i < count; ++i) {
            wchar_t text[256] = {};
            MENUITEMINFOW item{};
            item.cbSize = sizeof item;
            item.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_ID | MIIM_STATE | MIIM_SUBMENU;
            item.dwTypeData = text;
            item.cch = 256;
            if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &item)) continue;
            for (wchar_t* p = text; *p; ++p)
                if (*p == L'\t') *p = L' ';
            record(L"item", L"%d\t0x%x\t0x%x\t0x%x\t%d\t%ls", i, item.wID, item.fType, item.fState,
                   item.hSubMenu ? 1 : 0, text);
            popup_.push_back({item.wID, item.fType});
            if (item.hSubMenu) dump_submenu(i, item.hSubMenu);
        }
    }

    // The items of a plug-in's submenu (other plug-ins' menus are checked
    // through these): parent position, then as for "item".
    void dump_submenu(int parent, HMENU submenu) {
        const int count = GetMenuItemCount(submenu);
        for (int i = 0; i < count; ++i) {
            wchar_t text[256] = {};
            MENUITEMINFOW item{};
            item.cbSize = sizeof item;
            item.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_ID | MIIM_STATE;
            item.dwTypeData = text;
            item.cch = 256;
            if (!GetMenuItemInfoW(submenu, static_cast<UINT>(i), TRUE, &item)) continue;
            for (wchar_t* p = text; *p; ++p)
                if (*p == L'\t') *p = L' ';
            record(L"subitem", L"%d\t%d\t0x%x\t0x%x\t0x%x\t%ls", parent, i, item.wID, item.fType,
                   item.fState, text);
        }
    }

    void arm_menu_action(HWND window) {
        if (lstrcmpiW(settings_.menu_action, L"none") == 0 || !settings_.menu_action[0]) return;
        menu_armed_ = true;
        menu_owner_ = window;
        menu_timer_ = SetTimer(nullptr, 0, settings_.menu_action_delay, menu_timer);
    }

    static BOOL CALLBACK find_menu_window(HWND window, LPARAM found) {
        wchar_t name[16] = {};
        GetClassNameW(window, name, 16);
        if (lstrcmpW(name, L"#32768") != 0 || !IsWindowVisible(window)) return TRUE;
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }

    static void CALLBACK menu_timer(HWND, UINT, UINT_PTR id, DWORD);
    void run_menu_action();

    wchar_t name_[64] = {};
    wchar_t log_path_[MAX_PATH] = {};
    uint32_t index_ = 0;
    HWND main_window_ = nullptr;
    probe_settings settings_;
    number_list log_;
    number_list swallow_;
    std::vector<popup_item> popup_;
    bool menu_armed_ = false;
    HWND menu_owner_ = nullptr;
    UINT_PTR menu_timer_ = 0;
    // Texts posted to the host live as long as the probe.
    wchar_t tips_[text_capacity] = {};
    wchar_t balloon_text_[text_capacity] = {};
    zuvo_balloon balloon_{};
    plugin_feedback feedback_;
};

probe* g_probe = nullptr;

void CALLBACK probe::menu_timer(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (g_probe && g_probe->menu_timer_ == id) {
        g_probe->menu_timer_ = 0;
        g_probe->run_menu_action();
    }
}

void probe::run_menu_action() {
    HWND menu_window = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), find_menu_window,
                      reinterpret_cast<LPARAM>(&menu_window));
    const wchar_t* action = settings_.menu_action;
    if (lstrcmpiW(action, L"end") == 0) {
        EndMenu();
        record(L"action", L"end\t0");
        return;
    }
    if (!menu_window) {
        EndMenu();
        record(L"action", L"missing\t0");
        return;
    }
    if (lstrcmpiW(action, L"escape") == 0) {
        PostMessageW(menu_window, WM_KEYDOWN, VK_ESCAPE, 0);
        PostMessageW(menu_window, WM_KEYUP, VK_ESCAPE, 0xC0000001);
        record(L"action", L"escape\t1");
        return;
    }
    // choose: the arrow keys skip separators only, starting before the first item.
    const uint32_t wanted = static_cast<uint32_t>(parse_number(settings_.menu_choose, 0));
    int downs = 0;
    bool found = false;
    for (const popup_item& item : popup_) {
        if (!(item.type & MFT_SEPARATOR)) ++downs;
        if (item.id == wanted && !(item.type & MFT_SEPARATOR)) {
            found = true;
            break;
        }
    }
    if (!found) {
        EndMenu();
        record(L"action", L"missing\t0");
        return;
    }
    for (int i = 0; i < downs; ++i) {
        PostMessageW(menu_window, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageW(menu_window, WM_KEYUP, VK_DOWN, 0xC0000001);
    }
    PostMessageW(menu_window, WM_KEYDOWN, VK_RETURN, 0);
    PostMessageW(menu_window, WM_KEYUP, VK_RETURN, 0xC0000001);
    record(L"action", L"choose\t%d", downs + 1);
}

} // namespace

// Built once more without its entry, as a library the host must refuse.
#if !defined(PROBE_WITHOUT_ENTRY)
namespace {
// Touches nothing of the probe: ending the program releases it.
void end_program(entry_end how, HWND main_window) {
    switch (how) {
    case entry_end::destroy:
        DestroyWindow(main_window);
        break;
    case entry_end::quit:
        PostQuitMessage(0);
        break;
    case entry_end::exit: {
        // The exit command, carried out by pumping the host's messages here
        // as a plug-in with a dialog of its own would.
        PostMessageW(main_window, WM_COMMAND, 0x0504, 0);
        MSG message;
        while (IsWindow(main_window) && GetMessageW(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        break;
    }
    case entry_end::none:
        break;
    }
}
} // namespace

ZUVOPLUG_EXPORT bool ZUVOPLUG_CALL ZUVOPLUG_entry_4_0_0(uint32_t index, HWND main_window) noexcept {
    return guarded(false, [&] {
        if (!g_probe) g_probe = new probe;
        g_probe->enter(index, main_window);
        end_program(g_probe->end_of_entry(), main_window);
        return true;
    });
}
#endif

ZUVOPLUG_EXPORT bool ZUVOPLUG_CALL ZUVOPLUG_event(HWND main_window, uint32_t code) noexcept {
    if (!g_probe) return false;
    return guarded(false, [&] {
        if (code == probe_protocol::destroy_inside) {
            const bool result = g_probe->event(main_window, code);
            // Ends the program from inside: every plug-in, this one included,
            // is released before DestroyWindow returns, so nothing of the
            // probe's state may be touched afterwards.
            DestroyWindow(main_window);
            return result;
        }
        return g_probe->event(main_window, code);
    });
}

ZUVOPLUG_EXPORT bool ZUVOPLUG_CALL ZUVOPLUG_menu(HMENU menu) noexcept {
    if (!g_probe) return false;
    guarded([&] { g_probe->menu(menu); });
    return true;
}

ZUVOPLUG_EXPORT bool ZUVOPLUG_CALL ZUVOPLUG_msgproc(HWND window, UINT message, WPARAM wparam,
                                                    LPARAM lparam) noexcept {
    if (!g_probe) return false;
    return guarded(false, [&] { return g_probe->message(window, message, wparam, lparam); });
}

ZUVOPLUG_EXPORT void ZUVOPLUG_CALL ZUVOPLUG_release() noexcept {
    if (!g_probe) {
        // Never entered: the host still releases a library it loaded.
        wchar_t name[64];
        module_name(name, 64);
        wchar_t log_path[MAX_PATH] = {};
        GetFullPathNameW(probe_protocol::log_file, MAX_PATH, log_path, nullptr);
        record_release(log_path, name);
        return;
    }
    g_probe->released();
    delete g_probe;
    g_probe = nullptr;
}

namespace {

// What ZUVOPLUG_config does besides counting its calls.
struct probe_config_settings {
    bool select = false;
    wchar_t mixer[mxrctl_name_length] = {};
    int32_t destination = 0;
    int32_t source = -1;
    int32_t balance = 0;
};

// Runs the host's control selection the way a plug-in's configuration
// dialog does, and writes down what came back.
void run_control_select(HWND owner, const wchar_t* log_path, const wchar_t* name,
                        const probe_config_settings& settings) {
    HMODULE host = GetModuleHandleW(nullptr);
    const auto select = reinterpret_cast<MXRCTL_ControlSelect_fn>(
        reinterpret_cast<void*>(GetProcAddress(host, "MXRCTL_ControlSelect")));
    if (!select) {
        write_record(log_path, name, L"select", L"absent");
        return;
    }
    mxrctl_selection block{};
    StringCchCopyW(block.mixer, mxrctl_name_length, settings.mixer);
    block.destination = settings.destination;
    block.source = settings.source;
    block.balance = settings.balance;
    const bool chosen = select(host, owner, &block);
    block.mixer[mxrctl_name_length - 1] = L'\0';
    wchar_t fields[512];
    StringCchPrintfW(fields, 512, L"%d\t%d\t%d\t%d\t%ls", chosen ? 1 : 0, block.destination,
                     block.source, block.balance, block.mixer);
    write_record(log_path, name, L"select", fields);
}

} // namespace

// Works without the entry, in the setup program: notes the call and counts
// it in the probe's settings file, which is all a configuration needs.
ZUVOPLUG_EXPORT void ZUVOPLUG_CALL ZUVOPLUG_config(HWND owner) noexcept {
    wchar_t name[64];
    module_name(name, 64);
    wchar_t log_path[MAX_PATH] = {};
    GetFullPathNameW(probe_protocol::log_file, MAX_PATH, log_path, nullptr);
    wchar_t fields[64];
    StringCchPrintfW(fields, 64, L"0x%llx\t%d",
                     static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(owner)),
                     g_probe ? 1 : 0);
    write_record(log_path, name, L"config", fields);
    uint32_t calls = 0;
    probe_config_settings settings;
    {
        plugin_ini_exchange reading(name, false);
        reading.section(probe_protocol::section);
        reading.number(L"ConfigCalls", calls, 0u);
        reading.flag(L"ConfigSelect", settings.select, false);
        reading.text(L"ConfigMixer", settings.mixer, mxrctl_name_length, L"");
        reading.number(L"ConfigDestination", settings.destination, 0);
        reading.number(L"ConfigSource", settings.source, -1);
        reading.number(L"ConfigBalance", settings.balance, 0);
    }
    if (settings.select) run_control_select(owner, log_path, name, settings);
    ++calls;
    plugin_ini_exchange writing(name, true);
    writing.section(probe_protocol::section);
    writing.number(L"ConfigCalls", calls, 0u);
}
