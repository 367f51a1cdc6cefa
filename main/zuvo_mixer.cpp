#include "main/zuvo_mixer.h"

#include "main/commands.h"
#include "main/resource.h"
#include "main/volume_step.h"
#include "common/unique_resource.h"
#include "mxrctl/audio_sessions.h"
#include "mxrctl/mxrctl_ca.h"
#include "winui/inert_text.h"

#include <strsafe.h>

#include <cwchar>
#include <iterator>

namespace {
bool same_mixer_name(const wchar_t* a, const wchar_t* b) noexcept {
    const bool a_empty = !a || !*a, b_empty = !b || !*b;
    if (a_empty || b_empty) return a_empty && b_empty;
    return wcscmp(a, b) == 0;
}

const wchar_t* state_word(const m_mxrctl::m_devs& c, bool muted, const wchar_t* normal) noexcept {
    return !c.is_open() ? L"[ERROR]" : c.idle() ? L"[Idle]" : muted ? L"[Mute]" : normal;
}
} // namespace

Czuvo_mixer::~Czuvo_mixer() {
    release_devices();
}

const control_entry* Czuvo_mixer::entry(size_t slot) const noexcept {
    if (!config_ || slot >= control_slots) return nullptr;
    return config_->controls[slot].get();
}

m_mxrctl::m_devs* Czuvo_mixer::control(size_t slot) const noexcept {
    return slot < control_slots ? controls_[slot].get() : nullptr;
}

void Czuvo_mixer::post(uint32_t wparam, LPARAM lparam) const noexcept {
    PostMessageW(window_, WM_COMMAND, wparam, lparam);
}

void Czuvo_mixer::create_controls(HWND window, const Cconfig* config) {
    window_ = window;
    config_ = config;
    for (size_t slot = 0; slot < control_slots; ++slot) {
        const control_entry* e = entry(slot);
        if (!e) continue;
        m_mxrctl_ca* mixer = nullptr;
        for (auto& cached : mixers_)
            if (same_mixer_name(cached.name, e->mixer)) mixer = cached.mixer.get();
        if (!mixer) {
            mixers_.push_back({e->mixer[0] ? e->mixer : nullptr, std::make_unique<m_mxrctl_ca>()});
            mixer = mixers_.back().mixer.get();
        }
        controls_[slot].reset(e->application[0] ? create_application_control(*mixer, e->application)
                                                : mixer->create_control());
    }
    // Without it a control on the default device would stay on the device of
    // start-up, and an unplugged device would show as it was until touched.
    if (window_ && !mixers_.empty()) device_watch_.start(window_, MSG_DEVICES_CHANGED);
}

void Czuvo_mixer::load_menu_captions(HINSTANCE instance) noexcept {
    LoadStringW(instance, IDS_MENU_MUTE, volume_captions_[0], 64);
    LoadStringW(instance, IDS_MENU_VOLUME_UP, volume_captions_[1], 64);
    LoadStringW(instance, IDS_MENU_VOLUME_DOWN, volume_captions_[2], 64);
    LoadStringW(instance, IDS_MENU_OUTPUT, output_caption_, 64);
}

void Czuvo_mixer::load_tips_format(const wchar_t* name) noexcept {
    ::load_tips_format(format_, name);
}

bool Czuvo_mixer::bind(size_t slot) noexcept {
    const control_entry* e = entry(slot);
    m_mxrctl::m_devs* c = control(slot);
    if (!e || !c) return false;
    m_mxrctl* mixer = c->mixer();
    const wchar_t* name = e->mixer[0] ? e->mixer : nullptr;
    const bool was_open = mixer->is_open();
    if (!was_open && !mixer->open(name, window_)) return false;
    if (!c->open(e->source != -1, e->destination, e->source)) {
        // A device opened long ago may have gone and come back, and its old
        // handle stays dead: try once more with the device opened afresh.
        if (!was_open) return false;
        mixer->close();
        if (!mixer->open(name, window_) || !c->open(e->source != -1, e->destination, e->source))
            return false;
    }
    if (!c->is_open()) return false;
    c->set_balance(e->balance);
    return true;
}

uint32_t Czuvo_mixer::step_size() const noexcept {
    // A step beyond the whole scale acts like the whole scale, for the step
    // and its grid alike; a hand-edited huge value cannot overflow then.
    return config_->vol_step_size > 100 ? 100 : config_->vol_step_size;
}

void Czuvo_mixer::release_devices() noexcept {
    stop_watching_devices();
    // Controls before the devices they were created from.
    for (auto& control : controls_) control.reset();
    mixers_.clear();
    policy_.release();
}

bool Czuvo_mixer::change_volume(size_t slot, int32_t amount, bool relative) noexcept {
    if (!bind(slot)) return false;
    m_mxrctl::m_devs* c = control(slot);
    int32_t cur = c->volume();
    int32_t target = relative ? cur + amount : amount;
    const uint32_t step = step_size();
    if (config_->vol_step_fit && off_step_grid(target, step)) {
        if (cur < 0) cur = c->volume();
        target = fit_to_step(target, cur, step);
    }
    // A step moves the hardware at least one of its own steps that way.
    const int32_t direction = relative ? (amount > 0) - (amount < 0) : 0;
    if (!c->move_volume(target, direction)) {
        bind(slot);
        return false;
    }
    // What the hardware holds now tells whether anything changed: it keeps
    // the volume within 0..100, and stepped hardware rounds what it is given.
    return c->volume() != cur;
}

bool Czuvo_mixer::toggle_mute(size_t slot) noexcept {
    if (!bind(slot)) return false;
    m_mxrctl::m_devs* c = control(slot);
    if (!c->set_mute(!c->mute())) {
        bind(slot);
        return false;
    }
    return true;
}

void Czuvo_mixer::load_tray_images(size_t slot) noexcept {
    const control_entry* e = entry(slot);
    const wchar_t* set = (e && e->has_icon) ? e->icon_image : config_->trayicon_image;
    tray_image_.load_images(set, nullptr);
}

bool Czuvo_mixer::next_control(bool show) noexcept {
    for (size_t tries = 1; tries <= control_slots; ++tries) {
        size_t slot = (current_ + tries) % control_slots;
        if (!control(slot) || !bind(slot)) continue;
        load_tray_images(slot);
        if (show) post(make_command(CMD_REFRESH) | REFRESH_SHOW);
        current_ = slot;
        return true;
    }
    for (size_t slot = 0; slot < control_slots; ++slot) {
        if (!control(slot)) continue;
        bind(slot);
        load_tray_images(slot);
        if (show) post(make_command(CMD_REFRESH) | REFRESH_SHOW);
        current_ = slot;
        return false;
    }
    return false;
}

void Czuvo_mixer::select_control(uint32_t index) noexcept {
    if (index >= control_slots || !entry(index)) return;
    bind(index);
    load_tray_images(index);
    post(make_command(CMD_REFRESH) | REFRESH_SHOW);
    current_ = index;
}

void Czuvo_mixer::select_initial_control() noexcept {
    current_ = 0;
    if (control(0) && bind(0))
        load_tray_images(0);
    else
        next_control(false);
}

const wchar_t* Czuvo_mixer::display_name(size_t slot, bool bound) const noexcept {
    const control_entry* e = entry(slot);
    if (!e) return L"";
    if (bound && e->caption[0] == L'#') return control(slot)->name();
    return e->caption;
}

bool Czuvo_mixer::read_current(current_state& state) noexcept {
    const control_entry* e = entry(current_);
    m_mxrctl::m_devs* c = control(current_);
    if (!e || !c) return false;
    state.volume = c->volume();
    state.usable = c->is_open();
    state.muted = c->mute();
    state.idle = c->idle();
    state.has_color = e->has_color;
    state.color = e->color;
    return true;
}

void Czuvo_mixer::build_tips_text() noexcept {
    tips_line_source source = [this](size_t slot, tips_line_info& info) noexcept {
        const control_entry* e = entry(slot);
        m_mxrctl::m_devs* c = control(slot);
        if (!e || !c) return false;
        const bool bound = bind(slot);
        info.name = display_name(slot, bound);
        info.volume = c->volume();
        info.usable = c->is_open();
        info.muted = c->mute();
        info.idle = c->idle();
        info.has_color = e->has_color;
        info.color = e->color;
        return true;
    };
    build_tips_text_from(format_, current_, source, config_->text_color, config_->tips_vol0_on_mute,
                         tips_text_, tips_text_capacity);
}

const control_entry* Czuvo_mixer::refresh(uint32_t flags) noexcept {
    // Commands can arrive while a start-up warning box pumps messages,
    // before the controls exist.
    if (!config_) return nullptr;
    if (flags & REFRESH_HOLD) {
        SetTimer(window_, make_command(CMD_REFRESH) | REFRESH_END_HOLD, config_->tips_timer,
                 nullptr);
        hold_ = true;
    }
    bool held = hold_;
    if (flags & REFRESH_END_HOLD) {
        hold_ = false;
        held = false;
    }
    const bool show = (held || (flags & REFRESH_SHOW)) && format_.valid;

    const control_entry* e = entry(current_);
    m_mxrctl::m_devs* c = control(current_);
    const bool present = e && c;
    if (present) {
        const bool bound = bind(current_);
        // The tip is also the balloon's text: the name stays on its line.
        wchar_t name[128];
        copy_inert_text(name, std::size(name), display_name(current_, bound));
        StringCchPrintfW(tray_tip_, std::size(tray_tip_), L"%s %3d%% %s", name, c->volume(),
                         state_word(*c, c->mute(), L"[Active]"));
        if (show) build_tips_text();
    }
    SetTimer(window_, CMD_TRAY_UPDATE, config_->tray_update_delay, nullptr);
    if (show)
        PostMessageW(window_, ZUVOMSG_TIPS, reinterpret_cast<WPARAM>(tips_text_),
                     config_->tips_timer);
    if (present && config_->trayicon_balloon) {
        balloon_.caption = L"Quellbar";
        balloon_.text = tray_tip_;
        balloon_.icon_type = c->is_open() ? NIIF_INFO : NIIF_WARNING;
        balloon_.display_time = config_->trayicon_balloon_timer;
        PostMessageW(window_, ZUVOMSG_BALLOON, reinterpret_cast<WPARAM>(&balloon_), 0);
    }
    SetTimer(window_, CMD_RELEASE_IDLE, config_->release_idle_delay, nullptr);
    return present ? e : nullptr;
}

void Czuvo_mixer::release_idle() noexcept {
    for (size_t slot = 0; slot < control_slots; ++slot)
        if (slot != current_ && controls_[slot]) controls_[slot]->close();
    m_mxrctl* keep = control(current_) ? control(current_)->mixer() : nullptr;
    for (auto& cached : mixers_)
        if (cached.mixer.get() != keep) cached.mixer->close();
}

bool Czuvo_mixer::handle_command(uint16_t command, uint16_t argument, LPARAM lparam) noexcept {
    const bool ours = (command >= CMD_VOLUME_UP && command <= CMD_CONTROL_NEXT) ||
                      command == CMD_CONTROL_SELECT || command == CMD_OUTPUT_NEXT ||
                      command == CMD_OUTPUT_SELECT ||
                      (command >= CMD_CONTROL && command < CMD_CONTROL + control_slots);
    if (!ours) return false;
    if (!config_) return true;
    bool changed = false;
    if (command == CMD_VOLUME_UP || command == CMD_VOLUME_DOWN) {
        const auto step = static_cast<int32_t>(step_size());
        changed = change_volume(current_, command == CMD_VOLUME_UP ? step : -step, true);
    } else if (command == CMD_MUTE) {
        changed = toggle_mute(current_);
    } else if (command >= CMD_CONTROL && command < CMD_CONTROL + control_slots) {
        const size_t slot = command - CMD_CONTROL;
        if (!entry(slot)) return true;
        if (argument == CONTROL_SET_VOLUME)
            changed = change_volume(slot, static_cast<int32_t>(lparam), false);
        else if (argument == CONTROL_TOGGLE_MUTE)
            changed = toggle_mute(slot);
        else
            return true;
    } else if (command == CMD_CONTROL_NEXT) {
        next_control(true); // posts its own refresh
        return true;
    } else if (command == CMD_CONTROL_SELECT) {
        select_control(argument);
        return true;
    } else if (command == CMD_OUTPUT_NEXT || command == CMD_OUTPUT_SELECT) {
        switch_output(command == CMD_OUTPUT_NEXT, argument);
        return true;
    } else {
        return false;
    }
    post(make_command(CMD_REFRESH) | REFRESH_SHOW | (changed ? REFRESH_CHANGED : 0));
    return true;
}

void Czuvo_mixer::stop_watching_devices() noexcept {
    device_watch_.stop();
}

bool Czuvo_mixer::handle_device_change(UINT message) noexcept {
    if (message != MSG_DEVICES_CHANGED) return false;
    follow_devices();
    return true;
}

void Czuvo_mixer::follow_devices() noexcept {
    // Taken before looking: whatever changes during the look posts again.
    device_watch_.take();
    for (auto& cached : mixers_) {
        m_mxrctl_ca* mixer = cached.mixer.get();
        // A named device needs nothing here: the refresh below binds the
        // current control, which finds its device gone or back, and the
        // others bind whenever they are shown or used.
        if (cached.name || !mixer->is_open() || mixer->is_default_device()) continue;
        // Closed, they open on the new default at their next bind.
        for (auto& c : controls_)
            if (c && c->mixer() == mixer) c->close();
        mixer->close();
    }
    if (config_) post(make_command(CMD_REFRESH));
}

bool Czuvo_mixer::is_change_notification(UINT message, WPARAM wparam) noexcept {
    m_mxrctl::m_devs* c = control(current_);
    return c && c->is_notification(message, wparam);
}

void Czuvo_mixer::add_items(HMENU* menu) {
    if (!menu || !config_) return;
    if (config_->vol_menu) {
        add_menu_item(*menu, volume_captions_[0], CMD_MUTE);
        add_menu_item(*menu, volume_captions_[1], CMD_VOLUME_UP);
        add_menu_item(*menu, volume_captions_[2], CMD_VOLUME_DOWN);
        add_menu_separator(*menu);
    }
    add_output_menu(*menu);
    for (size_t slot = 0; slot < control_slots; ++slot) {
        m_mxrctl::m_devs* c = control(slot);
        if (!c) continue;
        const bool bound = bind(slot);
        wchar_t text[136];
        StringCchPrintfW(text, 136, L"&%1X: %s %3d%% %s", static_cast<unsigned>(slot),
                         display_name(slot, bound), c->volume(), state_word(*c, c->mute(), L""));
        add_menu_item(*menu, text, make_command(CMD_CONTROL_SELECT, static_cast<uint16_t>(slot)),
                      slot == current_ ? MFS_CHECKED : 0);
    }
    add_menu_separator(*menu);
}

void Czuvo_mixer::add_output_menu(HMENU menu) noexcept {
    try {
        menu_outputs_ = list_output_devices();
    } catch (...) {
        menu_outputs_.clear();
    }
    unique_hmenu outputs(CreatePopupMenu());
    if (!outputs) return;
    // Without the system's way to switch, the devices are shown but greyed.
    const UINT usable = policy_.available() ? 0 : MFS_GRAYED;
    for (size_t i = 0; i < menu_outputs_.size() && i <= 0xFFFF; ++i) {
        wchar_t text[128];
        copy_inert_text(text, std::size(text), menu_outputs_[i].name.c_str());
        add_menu_item(outputs.get(), text,
                      make_command(CMD_OUTPUT_SELECT, static_cast<uint16_t>(i)),
                      usable | (menu_outputs_[i].is_default ? MFS_CHECKED : 0));
    }
    add_menu_popup(menu, output_caption_, 0, outputs.release());
    add_menu_separator(menu);
}

void Czuvo_mixer::switch_output(bool next, size_t index) noexcept {
    if (!config_ || !policy_.available()) return;
    std::vector<output_device> listed;
    try {
        listed = next ? list_output_devices() : menu_outputs_;
    } catch (...) {
        return;
    }
    if (next) index = next_output_index(listed);
    if (index >= listed.size() || !policy_.set_default(listed[index].id.c_str())) return;
    // The controls on the default device move before the tips show it.
    follow_devices();
    post(make_command(CMD_REFRESH) | REFRESH_SHOW);
}
