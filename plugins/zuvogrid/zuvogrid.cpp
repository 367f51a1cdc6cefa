// ZuvoGrid: the window in front moves and resizes on a grid with hot keys,
// is maximized, minimized and restored, and is put back at positions saved
// per window class.

#include "plugins/zuvogrid/grid.h"
#include "plugins/zuvogrid/position_dialog.h"
#include "plugins/zuvogrid/positions.h"
#include "plugins/zuvogrid/resource.h"
#include "plugins/zuvogrid/window_geometry.h"
#include "plugins/zuvogrid/zuvogrid_settings.h"

#include "confctl/confctl.h"
#include "plugin_sdk/export_guard.h"
#include "plugin_sdk/feedback.h"
#include "plugin_sdk/host_link.h"
#include "winui/inert_text.h"
#include "winui/menu_items.h"
#include "plugin_sdk/plugin_module.h"
#include "winui/ui_language.h"
#include "plugin_sdk/zuvoplug.h"

#include <strsafe.h>

#include <iterator>
#include <string>
#include <utility>

namespace {

constexpr uint32_t event_capture_mode = 1;
constexpr uint32_t event_cycle_end = 2;
constexpr uint32_t event_first_key = 256;
constexpr uint32_t event_maximize = event_first_key + key_maximize;
constexpr uint32_t event_minimize = event_first_key + key_minimize;
constexpr uint32_t event_fix_position = event_first_key + key_fix_position;

constexpr const wchar_t* display_name = L"ZuvoGrid";
constexpr const wchar_t* positions_file = L"zuvogrid_capt";
constexpr const wchar_t* positions_section = L"PositionData";
constexpr int name_capacity = 64;
// How long a key waits for the window to show the change before the tips
// say where it is: a window that answers at once is there well before.
constexpr uint32_t settle_wait_ms = 100;
// The title is cut to this many characters in tips and balloon.
constexpr size_t title_limit = 64;

// The positions file lies beside the program, wherever the current
// directory has wandered since.
void enter_program_folder() noexcept {
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH) return;
    wchar_t* cut = nullptr;
    for (wchar_t* p = path; *p; ++p)
        if (*p == L'\\' || *p == L'/') cut = p;
    if (!cut) return;
    cut[1] = L'\0';
    SetCurrentDirectoryW(path);
}

zuvogrid::position_list read_positions_file() {
    enter_program_folder();
    m_confctl_ini ini;
    ini.open(positions_file, false);
    ini.select_section(positions_section);
    return zuvogrid::load_positions([&ini](const std::wstring& key, std::wstring& value) {
        wchar_t text[zuvogrid::max_value_chars + 1] = {};
        if (!ini.read_string(key.c_str(), text, std::size(text))) return false;
        value = text;
        return true;
    });
}

void write_positions_file(const zuvogrid::position_list& list) {
    enter_program_folder();
    m_confctl_ini ini;
    if (!ini.open(positions_file, true)) return;
    ini.delete_section(positions_section);
    ini.select_section(positions_section);
    for (const auto& [key, value] : zuvogrid::save_positions(list))
        ini.write_string(key.c_str(), value.c_str());
}

class zuvogrid_plugin {
public:
    zuvogrid_plugin() = default;
    zuvogrid_plugin(const zuvogrid_plugin&) = delete;
    zuvogrid_plugin& operator=(const zuvogrid_plugin&) = delete;

    void enter(uint32_t index);
    // Every export counts its call: one may arrive while another waits in a
    // call of its own (the position dialog's message loop, a message sent to
    // the main window meanwhile), and the host's release may be that call.
    // The state then outlives the release until the outermost call returns.
    void begin_call() noexcept { ++calls_; }
    // True when the last call has returned after a release: time to free.
    bool end_call() noexcept { return --calls_ == 0 && released_; }
    bool in_call() const noexcept { return calls_ > 0; }
    void mark_released() noexcept { released_ = true; }
    bool event(HWND main_window, uint32_t code);
    void menu(HMENU host_menu) const noexcept {
        add_menu_string(host_menu, menu_text_.c_str(), command(event_capture_mode), capture_mode_);
        add_menu_separator(host_menu);
    }

private:
    uint32_t command(uint32_t code) const noexcept { return zuvo_command_value(index_, code); }
    void grid_key(HWND main_window, const window_geometry& g, uint32_t code);
    void restore(HWND main_window, window_geometry g, const wchar_t* class_name);
    void capture(HWND main_window, const window_geometry& g, const wchar_t* class_name);
    void show_feedback(HWND main_window, const window_geometry& g) noexcept;
    void reset_cycle() noexcept {
        cycle_window_ = nullptr;
        cycle_index_ = 0;
    }

    zuvogrid_settings settings_;
    plugin_feedback feedback_;
    std::wstring geometry_format_;
    std::wstring menu_text_;
    uint32_t index_ = 0;
    HWND target_ = nullptr;
    bool capture_mode_ = false;
    int calls_ = 0;
    bool released_ = false;
    zuvogrid::position_list positions_;
    HWND cycle_window_ = nullptr;
    size_t cycle_index_ = 0;
};

std::wstring load_text(UINT id) {
    wchar_t text[1024] = {};
    load_ui_string(g_plugin_module, id, text, std::size(text));
    return text;
}

void zuvogrid_plugin::enter(uint32_t index) {
    index_ = index;
    geometry_format_ = load_text(IDS_GEOMETRY);
    menu_text_ = load_text(IDS_CAPTURE_MENU);
    exchange_zuvogrid_settings(settings_, false);
    positions_ = read_positions_file();
    reset_cycle();
    for (uint32_t i = 0; i < key_count; ++i)
        register_plugin_hotkey(settings_.hotkeys[i], command(event_first_key + i));
    feedback_.create(settings_.show_tips, settings_.show_balloon, display_name);
}

bool zuvogrid_plugin::event(HWND main_window, uint32_t code) {
    // An event inside another call comes from the position dialog's message
    // loop: the list it edits is left alone (a capture mode turned off now
    // would save edits the dialog may yet cancel), and no second dialog opens.
    if (calls_ > 1 || released_) return false;
    switch (code) {
    case event_capture_mode:
        capture_mode_ = !capture_mode_;
        if (!capture_mode_) write_positions_file(positions_);
        return true;
    case event_cycle_end:
        reset_cycle();
        return true;
    default:
        break;
    }
    if (code < event_first_key || code > event_fix_position) return false;
    target_ = target_window();
    if (!target_) return false;
    wchar_t class_name[name_capacity] = {};
    RealGetWindowClassW(target_, class_name, name_capacity);
    const window_geometry g = take_geometry(target_);
    switch (code) {
    case event_maximize:
        if (g.has_maximize_box)
            PostMessageW(target_, WM_SYSCOMMAND,
                         g.show_state == SW_SHOWNORMAL ? SC_MAXIMIZE : SC_RESTORE, 0);
        return true;
    case event_minimize:
        if (g.has_minimize_box)
            PostMessageW(target_, WM_SYSCOMMAND,
                         g.show_state == SW_SHOWMAXIMIZED ? SC_RESTORE : SC_MINIMIZE, 0);
        return true;
    case event_fix_position:
        if (capture_mode_)
            capture(main_window, g, class_name);
        else
            restore(main_window, g, class_name);
        return true;
    default:
        grid_key(main_window, g, code);
        return true;
    }
}

void zuvogrid_plugin::grid_key(HWND main_window, const window_geometry& g, uint32_t code) {
    window_geometry moved = g;
    moved.rect = zuvogrid::apply_grid(static_cast<zuvogrid::grid_action>(code), g.rect,
                                      g.work_width(), g.work_height(),
                                      {settings_.grid_x, settings_.grid_y, settings_.fit_to_grid});
    // What the tips show is where the window went: a move the system
    // refused shows the window where it stayed.
    show_feedback(main_window, apply_geometry(moved) ? settled_geometry(moved, settle_wait_ms) : g);
}

void zuvogrid_plugin::restore(HWND main_window, window_geometry g, const wchar_t* class_name) {
    if (g.window != cycle_window_) {
        cycle_window_ = g.window;
        cycle_index_ = 0;
    }
    if (const zuvogrid::position_entry* e = zuvogrid::find_positions(positions_, class_name)) {
        // The dialog may have shortened the list since the last press.
        if (cycle_index_ >= e->records.size()) cycle_index_ = 0;
        const zuvogrid::position_record placed =
            zuvogrid::measured_from(e->records[cycle_index_], 0, g.work_width(), g.work_height());
        window_geometry asked = g;
        asked.set_window_rect({placed.x, placed.y, placed.width, placed.height});
        if (apply_geometry(asked)) g = settled_geometry(asked, settle_wait_ms);
        cycle_index_ = (cycle_index_ + 1) % e->records.size();
    }
    show_feedback(main_window, g);
    post_delayed_command(main_window, command(event_cycle_end), settings_.tips_timer);
}

void zuvogrid_plugin::capture(HWND main_window, const window_geometry& g,
                              const wchar_t* class_name) {
    const bool accepted = run_position_dialog(main_window, positions_, class_name, g);
    if (released_) return;
    if (accepted) {
        capture_mode_ = false;
        write_positions_file(positions_);
    } else {
        positions_ = read_positions_file();
    }
    reset_cycle();
    SetForegroundWindow(g.window);
}

void zuvogrid_plugin::show_feedback(HWND main_window, const window_geometry& g) noexcept {
    if (!settings_.show_tips && !settings_.show_balloon) return;
    wchar_t raw_title[name_capacity] = {};
    GetWindowTextW(g.window, raw_title, name_capacity);
    wchar_t title[title_limit + 1] = {};
    copy_inert_text(title, std::size(title), raw_title, title_limit);
    wchar_t geometry[64] = {};
    StringCchPrintfW(geometry, std::size(geometry), geometry_format_.c_str(), g.rect.x, g.rect.y,
                     g.rect.width, g.rect.height);
    if (wchar_t* tips = feedback_.tips_buffer()) {
        StringCchPrintfW(tips, plugin_feedback::capacity, L"&{M0,%ls\n}\n&{M0,%.64ls\n}", title,
                         geometry);
        feedback_.post_tips(main_window, settings_.tips_timer);
    }
    if (wchar_t* balloon = feedback_.balloon_buffer()) {
        StringCchPrintfW(balloon, plugin_feedback::capacity, L"%ls\n%.64ls\n", title, geometry);
        feedback_.post_balloon(main_window, settings_.tips_timer);
    }
}

zuvogrid_plugin* g_zuvogrid = nullptr;

// Counts an export's call for as long as it runs (see begin_call).
class export_call {
public:
    export_call() noexcept : plugin_(g_zuvogrid) {
        if (plugin_) plugin_->begin_call();
    }
    ~export_call() {
        if (plugin_ && plugin_->end_call()) delete plugin_;
    }
    export_call(const export_call&) = delete;
    export_call& operator=(const export_call&) = delete;
    zuvogrid_plugin* plugin() const noexcept { return plugin_; }

private:
    zuvogrid_plugin* plugin_;
};

} // namespace

ZUVOPLUG_EXPORT bool ZUVOPLUG_CALL ZUVOPLUG_entry_4_0_0(uint32_t index, HWND) noexcept {
    return guarded(false, [&] {
        if (!g_zuvogrid) g_zuvogrid = new zuvogrid_plugin;
        export_call call;
        call.plugin()->enter(index);
        return true;
    });
}

ZUVOPLUG_EXPORT bool ZUVOPLUG_CALL ZUVOPLUG_event(HWND main_window, uint32_t code) noexcept {
    export_call call;
    if (!call.plugin()) return false;
    return guarded(false, [&] { return call.plugin()->event(main_window, code); });
}

ZUVOPLUG_EXPORT bool ZUVOPLUG_CALL ZUVOPLUG_menu(HMENU menu) noexcept {
    export_call call;
    if (call.plugin()) call.plugin()->menu(menu);
    return true;
}

// The positions are saved only when the user leaves capture mode or
// accepts the dialog, never here; windows keep where they were put.
ZUVOPLUG_EXPORT void ZUVOPLUG_CALL ZUVOPLUG_release() noexcept {
    zuvogrid_plugin* plugin = std::exchange(g_zuvogrid, nullptr);
    if (!plugin) return;
    if (plugin->in_call())
        plugin->mark_released(); // freed when the outermost call returns
    else
        delete plugin;
}
