// SeeThru: the window in front becomes translucent in steps on a hot key.
// The windows it changed are listed in the host's popup menu, from which
// they can be made opaque again, and all of them are made opaque when the
// plug-in is released.

#include "plugins/seethru/alpha_steps.h"
#include "plugins/seethru/resource.h"
#include "plugins/seethru/seethru_settings.h"
#include "plugins/seethru/window_restyler.h"

#include "common/unique_resource.h"
#include "plugin_sdk/export_guard.h"
#include "plugin_sdk/feedback.h"
#include "plugin_sdk/host_link.h"
#include "winui/inert_text.h"
#include "winui/menu_items.h"
#include "plugin_sdk/plugin_menu.h"
#include "plugin_sdk/plugin_module.h"
#include "winui/ui_language.h"
#include "plugin_sdk/zuvoplug.h"

#include <strsafe.h>

#include <cstdint>
#include <iterator>
#include <list>
#include <utility>
#include <vector>

namespace {

constexpr uint32_t event_step = 257;
constexpr uint32_t event_check = 258;
constexpr uint32_t event_all_windows = 259;
constexpr uint32_t event_window_base = 512;

constexpr const wchar_t* display_name = L"SeeThru";
constexpr int class_capacity = 62;
constexpr int title_capacity = 64;
// A window's label is cut to this many characters in tips, balloon and menu.
constexpr size_t label_limit = 32;
constexpr size_t text_capacity = plugin_feedback::capacity;

// How long the main thread waits for a window to take a change: a program
// that answers at once is changed before the feedback and the next key, one
// that does not holds nothing up. At exit, the windows get somewhat longer.
constexpr uint32_t restyle_wait_ms = 100;
constexpr uint32_t exit_wait_ms = 500;
// A tracked window whose program has ended is let go within this time,
// whatever the check interval says, for its process is held open till then.
constexpr uint32_t longest_check_delay_ms = 60000;

bool has_layered_style(HWND window) noexcept {
    return (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_LAYERED) != 0;
}

// What the user knows a window by: its title, or "<class>" without one, at
// most `limit` characters, as text that is only shown. False when the
// window no longer exists.
bool window_label(HWND window, wchar_t* label, size_t capacity, size_t limit) noexcept {
    wchar_t class_name[class_capacity] = {};
    if (!RealGetWindowClassW(window, class_name, class_capacity)) return false;
    wchar_t title[title_capacity + 2] = {};
    GetWindowTextW(window, title, title_capacity);
    if (!title[0]) StringCchPrintfW(title, std::size(title), L"<%ls>", class_name);
    copy_inert_text(label, capacity, title, limit);
    return true;
}

// A window made translucent. Its handle alone does not name it for long: the
// window may close and its handle value come back for another window, which
// must never be touched. So the record also keeps the window's thread, class
// and process (open, so that its id cannot be reused meanwhile), and expects
// the window to still carry the alpha it was given.
class tracked_window {
public:
    explicit tracked_window(HWND window) noexcept : handle_(window) {
        DWORD process_id = 0;
        thread_id_ = GetWindowThreadProcessId(window, &process_id);
        process_id_ = process_id;
        process_.reset(
            OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id));
        RealGetWindowClassW(window, class_name_, class_capacity);
    }
    tracked_window(const tracked_window&) = delete;
    tracked_window& operator=(const tracked_window&) = delete;

    HWND handle() const noexcept { return handle_; }
    uint32_t percent = seethru::opaque_percent;

    // `restyling`: a change of the window is still on its way, so its alpha
    // says nothing yet.
    bool still_there(bool restyling) const noexcept {
        wchar_t class_name[class_capacity] = {};
        if (!RealGetWindowClassW(handle_, class_name, class_capacity)) return false;
        DWORD process_id = 0;
        if (GetWindowThreadProcessId(handle_, &process_id) != thread_id_ ||
            process_id != process_id_)
            return false;
        if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_OBJECT_0) return false;
        if (lstrcmpW(class_name, class_name_) != 0) return false;
        if (percent >= seethru::opaque_percent || restyling) return true;
        // Translucent by us, it still has our alpha. Without it this is a new
        // window of the same program under the old handle, or the program
        // took the window's transparency into its own hands.
        BYTE alpha = 0;
        DWORD flags = 0;
        return has_layered_style(handle_) &&
               GetLayeredWindowAttributes(handle_, nullptr, &alpha, &flags) &&
               (flags & LWA_ALPHA) && alpha == seethru::alpha_of_percent(percent);
    }

private:
    HWND handle_;
    DWORD thread_id_ = 0;
    DWORD process_id_ = 0;
    unique_handle process_;
    wchar_t class_name_[class_capacity] = {};
};

class seethru_plugin {
public:
    seethru_plugin() {
        exchange_seethru_settings(settings_, false);
        steps_ = seethru::parse_alpha_steps(settings_.alpha_steps);
        feedback_.create(settings_.show_tips, settings_.show_balloon, display_name);
    }
    seethru_plugin(const seethru_plugin&) = delete;
    seethru_plugin& operator=(const seethru_plugin&) = delete;

    bool enter(uint32_t index, HWND main_window) noexcept {
        index_ = index;
        main_window_ = main_window;
        return register_plugin_hotkey(settings_.hotkey_alpha, command(event_step));
    }

    bool event(uint32_t code) {
        switch (code) {
        case event_step:
            step();
            return true;
        case event_check:
            check(nullptr);
            return true;
        case event_all_windows:
            release_all();
            restyler_.wait_all(restyle_wait_ms);
            return true;
        default:
            if (code >= event_window_base) release_listed(code - event_window_base);
            return false;
        }
    }

    void menu(HMENU host_menu);

    // In list order, so that the windows become opaque as they were tracked.
    void release_all(bool skip_hung = false) noexcept {
        listed_.clear();
        while (!tracked_.empty()) {
            const HWND window = tracked_.front().handle();
            // A window of this thread is changed at once, however long this
            // thread went without reading messages.
            const bool ask = !skip_hung || is_own_thread_window(window) || !IsHungAppWindow(window);
            untrack(tracked_.begin(), ask);
        }
    }
    // At exit the windows that answer in time are opaque again before the
    // program goes. One that does not holds nothing up: the change goes
    // with the program and the window keeps its translucency (under Wine,
    // which hands such a change to the window as a message, it takes it
    // once it reads messages again). One that has not answered for seconds
    // (the system calls it hung) is not even asked.
    void release_at_exit() noexcept {
        release_all(true);
        restyler_.wait_all(exit_wait_ms);
    }

private:
    uint32_t command(uint32_t code) const noexcept { return zuvo_command_value(index_, code); }

    void step();
    void check(HMENU submenu);
    void show_feedback(HWND window, uint32_t percent) noexcept;
    void release_listed(uint32_t k) noexcept;
    bool still_there(const tracked_window& record) const noexcept {
        return record.still_there(restyler_.busy(record.handle()));
    }
    // Stops tracking, and with `make_opaque` gives the window back its
    // opacity if it is still the window that was tracked. Returns the
    // change to wait for, 0 for none.
    uint64_t untrack(std::list<tracked_window>::iterator record, bool make_opaque) noexcept {
        uint64_t ticket = 0;
        if (make_opaque && record->percent < seethru::opaque_percent && still_there(*record))
            ticket = restyler_.request(record->handle(), seethru::opaque_percent);
        tracked_.erase(record);
        return ticket;
    }
    // Drops the records of windows that have gone and of programs that have
    // ended, which also lets go of those programs' processes.
    void drop_gone() noexcept {
        for (auto it = tracked_.begin(); it != tracked_.end();) {
            if (still_there(*it))
                ++it;
            else
                it = tracked_.erase(it);
        }
    }
    // The record of `window`: those of windows that have gone are dropped first.
    std::list<tracked_window>::iterator find(HWND window) noexcept;

    seethru_settings settings_;
    std::vector<uint32_t> steps_;
    plugin_feedback feedback_;
    uint32_t index_ = 0;
    HWND main_window_ = nullptr;
    std::list<tracked_window> tracked_;
    // The windows of the last submenu, by item; its item k names listed_[k]
    // even when a check has dropped an earlier window since.
    std::vector<HWND> listed_;
    window_restyler restyler_;
};

std::list<tracked_window>::iterator seethru_plugin::find(HWND window) noexcept {
    drop_gone();
    for (auto it = tracked_.begin(); it != tracked_.end(); ++it)
        if (it->handle() == window) return it;
    return tracked_.end();
}

void seethru_plugin::step() {
    HWND window = GetForegroundWindow();
    // Looking lets go of what has gone, whether or not there is a window to step.
    auto record = find(window);
    if (!window) return;
    const bool added = record == tracked_.end();
    if (added) {
        // A window that manages its own transparency is none of ours; one
        // still on its way back to opaque from us is.
        if (has_layered_style(window) && !restyler_.busy(window)) return;
        tracked_.emplace_back(window);
        record = std::prev(tracked_.end());
    }
    const uint32_t percent = seethru::next_percent(steps_, record->percent);
    const uint64_t ticket = restyler_.request(window, percent);
    if (restyler_.wait(window, ticket, restyle_wait_ms) == window_restyler::outcome::refused &&
        added) {
        // Not ours to change (another desktop, a higher integrity level).
        tracked_.erase(record);
        return;
    }
    // A window still busy with the change is shown as it will be.
    record->percent = percent;
    show_feedback(window, percent);
    if (percent >= seethru::opaque_percent) tracked_.erase(record);
    check(nullptr);
}

void seethru_plugin::show_feedback(HWND window, uint32_t percent) noexcept {
    if (!settings_.show_tips && !settings_.show_balloon) return;
    wchar_t label[label_limit + 1] = {};
    if (!window_label(window, label, std::size(label), label_limit)) return;
    wchar_t line[text_capacity] = {};
    StringCchPrintfW(line, std::size(line), L"%ls - %3u%%", label, percent);
    feedback_.show(main_window_, settings_.tips_timer, {{line}});
}

// A menu shows '&' as the underline of the next character; doubled, it is
// itself.
void double_ampersands(const wchar_t* text, wchar_t* out, size_t capacity) noexcept {
    size_t length = 0;
    for (; *text && length + 2 < capacity; ++text) {
        if (*text == L'&') out[length++] = L'&';
        out[length++] = *text;
    }
    out[length] = L'\0';
}

void seethru_plugin::check(HMENU submenu) {
    drop_gone();
    if (submenu) listed_.clear();
    uint32_t k = 0;
    for (auto it = tracked_.begin(); submenu && it != tracked_.end(); ++it, ++k) {
        wchar_t label[label_limit + 1] = {};
        window_label(it->handle(), label, std::size(label), label_limit);
        wchar_t shown[2 * std::size(label)] = {};
        double_ampersands(label, shown, std::size(shown));
        wchar_t text[text_capacity];
        StringCchPrintfW(text, text_capacity, L"%ls - %3u%%", shown, it->percent);
        add_menu_string(submenu, text, command(event_window_base + k));
        listed_.push_back(it->handle());
    }
    // Every check arms the next; a value of 0 would check without pause.
    uint64_t delay = uint64_t{settings_.window_check_interval} * 1000u;
    if (delay < 1000u) delay = 1000u;
    if (delay > 0x7FFFFFFFu) delay = 0x7FFFFFFFu;
    if (!tracked_.empty() && delay > longest_check_delay_ms) delay = longest_check_delay_ms;
    post_delayed_command(main_window_, command(event_check), static_cast<uint32_t>(delay));
}

void seethru_plugin::release_listed(uint32_t k) noexcept {
    if (k >= listed_.size()) return;
    const HWND window = std::exchange(listed_[k], nullptr);
    if (!window) return;
    auto record = find(window);
    if (record == tracked_.end()) return;
    if (const uint64_t ticket = untrack(record, true))
        restyler_.wait(window, ticket, restyle_wait_ms);
}

void seethru_plugin::menu(HMENU host_menu) {
    resource_submenu loaded(g_plugin_module, IDM_SEETHRU);
    HMENU submenu = loaded.popup();
    if (!submenu) return;
    MENUITEMINFOW all{};
    all.cbSize = sizeof all;
    all.fMask = MIIM_ID;
    all.wID = command(event_all_windows);
    SetMenuItemInfoW(submenu, IDM_ALL_WINDOWS, FALSE, &all);
    check(submenu);
    loaded.add_to(host_menu, IDM_SEETHRU, tracked_.empty());
}

seethru_plugin* g_seethru = nullptr;

} // namespace

ZUVOPLUG_EXPORT bool ZUVOPLUG_CALL ZUVOPLUG_entry_4_0_0(uint32_t index, HWND main_window) noexcept {
    return guarded(false, [&] {
        if (!g_seethru) g_seethru = new seethru_plugin;
        return g_seethru->enter(index, main_window);
    });
}

ZUVOPLUG_EXPORT bool ZUVOPLUG_CALL ZUVOPLUG_event(HWND, uint32_t code) noexcept {
    if (!g_seethru) return false;
    return guarded(false, [&] { return g_seethru->event(code); });
}

ZUVOPLUG_EXPORT bool ZUVOPLUG_CALL ZUVOPLUG_menu(HMENU menu) noexcept {
    if (!g_seethru) return false;
    guarded([&] { g_seethru->menu(menu); });
    return true;
}

ZUVOPLUG_EXPORT void ZUVOPLUG_CALL ZUVOPLUG_release() noexcept {
    if (!g_seethru) return;
    g_seethru->release_at_exit();
    delete g_seethru;
    g_seethru = nullptr;
}
