#include "plugins/lockvol/mixer_lock.h"

#include "plugin_sdk/zuvoplug.h"

namespace lockvol {

namespace {
// The system's line and control change messages; the mixer layer posts the
// second one.
constexpr UINT line_change = 0x3D0;
constexpr UINT control_change = 0x3D1;
// Enough for one change by another program landing between a write and its
// read-back and the two agreeing answers after it. Should the control still
// not agree, nothing is believed: the next notification writes again rather
// than being taken for an echo.
constexpr int volume_write_tries = 3;
} // namespace

m_mxrctl* mixer_lock::mixer_for(const std::wstring& name, HWND notify_window) {
    for (const open_mixer& cached : mixers_)
        if (cached.name == name) return cached.mixer;
    if (!mixer_.mixer_create) return nullptr;
    // A null name opens the default output; an empty one would pick the
    // first device that opens.
    m_mxrctl* mixer =
        mixer_.mixer_create(name.empty() ? nullptr : name.c_str(), notify_window, nullptr);
    if (mixer) mixers_.push_back({name, mixer});
    return mixer;
}

void mixer_lock::lock(std::vector<lock_entry>& entries, HWND notify_window) {
    unlock();
    if (entries.empty()) return;
    controls_.assign(entries.size(), opened{});
    for (size_t i = 0; i < entries.size(); ++i) {
        lock_entry& entry = entries[i];
        m_mxrctl* mixer = mixer_for(entry.mixer, notify_window);
        if (!mixer) continue;
        if (mixer_.control_create)
            controls_[i].control =
                mixer_.control_create(mixer, entry.destination, entry.source, nullptr);
        if (entry.zuvo_control) follow_host_ = true;
        m_mxrctl::m_devs* control = controls_[i].control;
        if (entry.keep_startup_state && control) {
            if (mixer_.volume_get) entry.volume = mixer_.volume_get(control);
            if (mixer_.mute_get) entry.mute = mixer_.mute_get(control);
        }
    }
    locked_ = true;
}

int32_t mixer_lock::write_volume(const lock_entry& entry, const opened& control) {
    // What the control held before counts as its first answer: a stepped
    // line known to hold 59 for 60 is confirmed by a single write.
    int32_t previous = control.held_volume;
    for (int tries = 0; tries < volume_write_tries; ++tries) {
        // A write that failed leaves nothing whose answer could be believed.
        if (!mixer_.volume_set(control.control, entry.volume, entry.balance)) return -1;
        const int32_t back = mixer_.volume_get(control.control);
        if (back == entry.volume) return -1;
        if (back == previous) return back;
        previous = back;
    }
    return -1;
}

void mixer_lock::restore(const lock_entry& entry, opened& control) {
    if (!control.control) return;
    if (mixer_.volume_get && mixer_.volume_set) {
        const int32_t now = mixer_.volume_get(control.control);
        if (now != entry.volume && now != control.held_volume)
            control.held_volume = write_volume(entry, control);
    }
    if (mixer_.mute_get && mixer_.mute_set) {
        if (mixer_.mute_get(control.control) != entry.mute)
            mixer_.mute_set(control.control, entry.mute);
    }
}

void mixer_lock::apply(const std::vector<lock_entry>& entries) {
    for (size_t i = 0; i < entries.size() && i < controls_.size(); ++i)
        restore(entries[i], controls_[i]);
}

void mixer_lock::forget_written() noexcept {
    for (opened& control : controls_) control.held_volume = -1;
}

void mixer_lock::unlock() noexcept {
    follow_host_ = false;
    host_change_pending_ = false;
    for (opened& control : controls_)
        if (control.control && mixer_.control_release) mixer_.control_release(control.control);
    controls_.clear();
    for (open_mixer& cached : mixers_)
        if (mixer_.mixer_release) mixer_.mixer_release(cached.mixer);
    mixers_.clear();
    locked_ = false;
}

bool mixer_lock::on_message(std::vector<lock_entry>& entries, UINT message, WPARAM wparam) {
    if (!locked_) return false;
    if (message == WM_COMMAND) {
        if (!follow_host_) return false;
        const uint16_t command = static_cast<uint16_t>(wparam & 0xFFFF);
        if (command == ZUVO_CMD_VOLUME_UP || command == ZUVO_CMD_VOLUME_DOWN ||
            command == ZUVO_CMD_MUTE) {
            host_change_pending_ = true;
        } else if (command == ZUVO_CMD_REFRESH) {
            if (host_change_pending_) {
                for (size_t i = 0; i < entries.size() && i < controls_.size(); ++i) {
                    opened& control = controls_[i];
                    if (!entries[i].zuvo_control || !control.control) continue;
                    if (mixer_.volume_get) entries[i].volume = mixer_.volume_get(control.control);
                    if (mixer_.mute_get) entries[i].mute = mixer_.mute_get(control.control);
                    control.held_volume = -1;
                }
            }
            host_change_pending_ = false;
        }
        return false;
    }
    if (message != line_change && message != control_change) return false;
    if (!mixer_.callback_check) return false;
    for (size_t i = 0; i < entries.size() && i < controls_.size(); ++i) {
        opened& control = controls_[i];
        if (!control.control || !mixer_.callback_check(control.control, message, wparam)) continue;
        if (host_change_pending_ && entries[i].zuvo_control) return true;
        restore(entries[i], control);
        return true;
    }
    return false;
}

} // namespace lockvol
