// The mixer lock: exports of lockvol.dll and its state inside the main
// program.

#include "plugin_sdk/host_link.h"
#include "plugin_sdk/host_requests.h"
#include "winui/menu_items.h"
#include "plugin_sdk/mixer_functions.h"
#include "plugin_sdk/export_guard.h"
#include "plugin_sdk/plugin_module.h"
#include "winui/ui_language.h"
#include "plugin_sdk/zuvoplug.h"
#include "plugins/lockvol/lock_settings.h"
#include "plugins/lockvol/mixer_lock.h"
#include "plugins/lockvol/resource.h"

#include <memory>
#include <new>

namespace {

using namespace lockvol;

// Event codes: the start the entry posts, the two hot keys and menu items,
// and the delayed command that ends a pause of the fight guard.
constexpr uint32_t event_start = 0;
constexpr uint32_t event_toggle = 1;
constexpr uint32_t event_reset_once = 2;
constexpr uint32_t event_resume = 3;

constexpr size_t text_capacity = ZUVOPLUG_TEXT_CAPACITY;
constexpr UINT text_ids[] = {IDS_MENU_LOCK,     IDS_MENU_RESET_ONCE, IDS_TIPS_LOCKED,
                             IDS_TIPS_UNLOCKED, IDS_TIPS_RESET,      IDS_TIPS_LEFT_ALONE};
enum text_index {
    menu_lock,
    menu_reset_once,
    tips_locked,
    tips_unlocked,
    tips_reset,
    tips_left_alone,
    text_count
};

struct plugin_state {
    mixer_functions mixer = mixer_functions::of_host();
    lock_settings settings;
    uint32_t index = 0;
    // Tips requests point here: the texts live as long as the state.
    wchar_t texts[text_count][text_capacity] = {};
    mixer_lock lock{mixer};
    HWND main_window = nullptr;
    // A lock that had to leave a control alone says so once, not at every
    // round of a fight that goes on.
    bool left_alone_told = false;
};

std::unique_ptr<plugin_state> g_state;

void start_lock(plugin_state& state, HWND main_window) {
    state.left_alone_told = false;
    state.lock.lock(state.settings.entries, main_window);
    state.lock.apply(state.settings.entries);
}

void schedule_resume(const plugin_state& state, uint64_t until) {
    if (until == 0) return;
    const uint64_t now = GetTickCount64();
    const uint64_t wait = until > now ? until - now : 0;
    post_delayed_command(state.main_window, zuvo_command_value(state.index, event_resume),
                         static_cast<uint32_t>(wait + 1));
}

void toggle(plugin_state& state, HWND main_window) {
    if (state.lock.locked())
        state.lock.unlock();
    else
        start_lock(state, main_window);
    post_tips_text(main_window, state.texts[state.lock.locked() ? tips_locked : tips_unlocked],
                   tips_display_ms);
}

void reset_once(plugin_state& state, HWND main_window) {
    for (lock_entry& entry : state.settings.entries) {
        entry.volume = entry.configured_volume;
        entry.mute = entry.configured_mute;
    }
    if (state.lock.locked()) {
        state.lock.forget_written();
        state.lock.apply(state.settings.entries);
    } else {
        // Nobody watches afterwards: no notification window. The configured
        // values are written, not the state KeepStartUpState would take.
        state.lock.lock(state.settings.entries, nullptr, false);
        state.lock.apply(state.settings.entries);
        state.lock.unlock();
    }
    post_tips_text(main_window, state.texts[tips_reset], tips_display_ms);
}

} // namespace

ZUVOPLUG_EXPORT int32_t ZUVOPLUG_CALL ZUVOPLUG_entry_4_0_0(uint32_t index,
                                                           HWND main_window) noexcept {
    return guarded(int32_t{0}, [&]() -> int32_t {
        if (!g_state) g_state = std::make_unique<plugin_state>();
        plugin_state& state = *g_state;
        // A second entry reloads the list: nothing may stay open on the old one.
        state.lock.unlock();
        state.index = index;
        state.main_window = main_window;
        state.settings = load_settings();
        for (size_t i = 0; i < text_count; ++i)
            load_ui_string(g_plugin_module, text_ids[i], state.texts[i], text_capacity);
        register_plugin_hotkey(state.settings.hotkey_toggle,
                               zuvo_command_value(index, event_toggle));
        register_plugin_hotkey(state.settings.hotkey_reset_once,
                               zuvo_command_value(index, event_reset_once));
        return post_plugin_command(main_window, zuvo_command_value(index, event_start), 0) ? 1 : 0;
    });
}

ZUVOPLUG_EXPORT bool ZUVOPLUG_CALL ZUVOPLUG_event(HWND main_window, uint32_t code) noexcept {
    if (!g_state) return false;
    plugin_state& state = *g_state;
    // A failure past the first step still leaves the event handled.
    return guarded(true, [&] {
        switch (code & 0xFFFF) {
        case event_start:
            if (state.settings.boot_enable) start_lock(state, main_window);
            return true;
        case event_toggle:
            toggle(state, main_window);
            return true;
        case event_reset_once:
            reset_once(state, main_window);
            return true;
        case event_resume:
            schedule_resume(state, state.lock.resume(state.settings.entries, GetTickCount64()));
            return true;
        default:
            return false;
        }
    });
}

ZUVOPLUG_EXPORT bool ZUVOPLUG_CALL ZUVOPLUG_menu(HMENU menu) noexcept {
    if (!g_state) return false;
    const plugin_state& state = *g_state;
    add_menu_string(menu, state.texts[menu_lock], zuvo_command_value(state.index, event_toggle),
                    state.lock.locked());
    add_menu_string(menu, state.texts[menu_reset_once],
                    zuvo_command_value(state.index, event_reset_once));
    add_menu_separator(menu);
    return true;
}

ZUVOPLUG_EXPORT bool ZUVOPLUG_CALL ZUVOPLUG_msgproc(HWND, UINT message, WPARAM wparam,
                                                    LPARAM) noexcept {
    if (!g_state) return false;
    plugin_state& state = *g_state;
    return guarded(false, [&] {
        const uint64_t now = GetTickCount64();
        switch (state.lock.on_message(state.settings.entries, message, wparam, now)) {
        case mixer_lock::outcome::not_ours:
            return false;
        case mixer_lock::outcome::handled:
            return true;
        case mixer_lock::outcome::given_up_now:
            schedule_resume(state, now + fight_guard::pause_ms);
            if (!state.left_alone_told)
                post_tips_text(state.main_window, state.texts[tips_left_alone], tips_display_ms);
            state.left_alone_told = true;
            return true;
        }
        return true;
    });
}

ZUVOPLUG_EXPORT void ZUVOPLUG_CALL ZUVOPLUG_release() noexcept {
    g_state.reset(); // the lock's destructor releases every control and mixer
}
