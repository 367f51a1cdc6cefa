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

const mixer_lock::open_mixer* mixer_lock::mixer_for(const std::wstring& name) {
    for (const open_mixer& cached : mixers_)
        if (cached.name == name) return &cached;
    if (!mixer_.mixer_create) return nullptr;
    // A null name opens the default output; an empty one would pick the
    // first device that opens. The name the device answers with tells two
    // spellings of one device apart from two devices.
    wchar_t device[mxrctl_name_length] = {};
    m_mxrctl* mixer =
        mixer_.mixer_create(name.empty() ? nullptr : name.c_str(), notify_window_, device);
    if (!mixer) return nullptr;
    device[mxrctl_name_length - 1] = L'\0';
    mixers_.push_back({name, device[0] ? std::wstring(device) : name, mixer});
    return &mixers_.back();
}

m_mxrctl::m_devs* mixer_lock::create(const open_mixer& mixer, const lock_entry& entry) {
    if (entry.application.empty())
        return mixer_.control_create
                   ? mixer_.control_create(mixer.mixer, entry.destination, entry.source, nullptr)
                   : nullptr;
    // A host older than program controls leaves such an entry alone.
    return mixer_.application_create
               ? mixer_.application_create(mixer.mixer, entry.application.c_str(), nullptr)
               : nullptr;
}

bool mixer_lock::idle(const lock_entry& entry, m_mxrctl::m_devs* control) {
    if (entry.application.empty() || !control) return false;
    if (!mixer_.volume_get || !mixer_.mute_get || !mixer_.volume_set) return false;
    // A program that plays nothing reads 0, not muted, and refuses every
    // write. One playing at 0 takes a write of 0, which changes none of its
    // sessions: the loudest of them is at 0 already.
    if (mixer_.volume_get(control) != 0 || mixer_.mute_get(control)) return false;
    return !mixer_.volume_set(control, 0, 0);
}

void mixer_lock::take_state(lock_entry& entry, m_mxrctl::m_devs* control) {
    if (mixer_.volume_get) entry.volume = mixer_.volume_get(control);
    if (mixer_.mute_get) entry.mute = mixer_.mute_get(control);
}

void mixer_lock::lock(std::vector<lock_entry>& entries, HWND notify_window,
                      bool take_current_state) {
    unlock();
    if (entries.empty()) return;
    notify_window_ = notify_window;
    guards_.assign(entries.size(), fight_guard{});
    take_state_later_.assign(entries.size(), false);
    open(entries, take_current_state);
    locked_ = true;
}

void mixer_lock::open(std::vector<lock_entry>& entries, bool take_current_state) {
    follow_host_ = false;
    controls_.assign(entries.size(), opened{});
    std::vector<std::wstring> devices(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        const lock_entry& entry = entries[i];
        const open_mixer* mixer = mixer_for(entry.mixer);
        if (!mixer) continue;
        controls_[i].control = create(*mixer, entry);
        if (entry.zuvo_control) follow_host_ = true;
        if (controls_[i].control) devices[i] = mixer->device;
    }
    // The first entry of a control holds it; the others would fight it.
    const std::vector<int> earlier = earlier_same_control(entries, devices);
    for (size_t i = 0; i < entries.size(); ++i) {
        m_mxrctl::m_devs*& control = controls_[i].control;
        if (control && earlier[i] >= 0) {
            if (mixer_.control_release) mixer_.control_release(control);
            control = nullptr;
        }
        if (take_current_state && entries[i].keep_startup_state && control) {
            // A program that plays nothing has no state to keep yet; its
            // own comes with its first session.
            if (idle(entries[i], control))
                take_state_later_[i] = true;
            else
                take_state(entries[i], control);
        }
    }
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

mixer_lock::drift mixer_lock::drift_of(const lock_entry& entry, const opened& control) {
    drift off;
    if (!control.control) return off;
    if (mixer_.volume_get && mixer_.volume_set) {
        const int32_t now = mixer_.volume_get(control.control);
        off.volume = now != entry.volume && now != control.held_volume;
    }
    if (mixer_.mute_get && mixer_.mute_set)
        off.mute = mixer_.mute_get(control.control) != entry.mute;
    return off;
}

void mixer_lock::correct(const lock_entry& entry, opened& control, drift off) {
    if (off.volume) control.held_volume = write_volume(entry, control);
    if (off.mute) mixer_.mute_set(control.control, entry.mute);
}

void mixer_lock::apply(const std::vector<lock_entry>& entries) {
    for (size_t i = 0; i < entries.size() && i < controls_.size(); ++i)
        if (!waits_for_state(i))
            correct(entries[i], controls_[i], drift_of(entries[i], controls_[i]));
}

void mixer_lock::forget_written() noexcept {
    for (opened& control : controls_) control.held_volume = -1;
    // The configured values now stand for every entry.
    take_state_later_.assign(take_state_later_.size(), false);
}

void mixer_lock::close() noexcept {
    for (opened& control : controls_)
        if (control.control && mixer_.control_release) mixer_.control_release(control.control);
    controls_.clear();
    for (open_mixer& cached : mixers_)
        if (mixer_.mixer_release) mixer_.mixer_release(cached.mixer);
    mixers_.clear();
}

void mixer_lock::unlock() noexcept {
    follow_host_ = false;
    host_change_pending_ = false;
    close();
    guards_.clear();
    take_state_later_.clear();
    notify_window_ = nullptr;
    locked_ = false;
}

void mixer_lock::follow_devices(std::vector<lock_entry>& entries) {
    // Controls of a device that went stay dead even once it is back, and a
    // default-device entry must move with the default: everything is opened
    // afresh. The locked values stay; a device that comes back is set to
    // them at once.
    close();
    open(entries, false);
    apply(entries);
}

uint64_t mixer_lock::resume(const std::vector<lock_entry>& entries, uint64_t now_ms) {
    if (!locked_) return 0;
    uint64_t next = 0;
    for (size_t i = 0; i < entries.size() && i < controls_.size() && i < guards_.size(); ++i) {
        const fight_guard& guard = guards_[i];
        if (guard.paused_until() == 0) continue;
        if (guard.paused(now_ms)) {
            if (next == 0 || guard.paused_until() < next) next = guard.paused_until();
            continue;
        }
        if (waits_for_state(i)) continue;
        correct(entries[i], controls_[i], drift_of(entries[i], controls_[i]));
    }
    return next;
}

mixer_lock::outcome mixer_lock::on_message(std::vector<lock_entry>& entries, UINT message,
                                           WPARAM wparam, uint64_t now_ms) {
    if (!locked_) return outcome::not_ours;
    if (message == ZUVOMSG_DEVICES_CHANGED) {
        follow_devices(entries); // the host follows them too
        return outcome::not_ours;
    }
    if (message == WM_COMMAND) {
        if (!follow_host_) return outcome::not_ours;
        const uint16_t command = static_cast<uint16_t>(wparam & 0xFFFF);
        if (command == ZUVO_CMD_VOLUME_UP || command == ZUVO_CMD_VOLUME_DOWN ||
            command == ZUVO_CMD_MUTE) {
            host_change_pending_ = true;
        } else if (command == ZUVO_CMD_REFRESH) {
            if (host_change_pending_) {
                for (size_t i = 0; i < entries.size() && i < controls_.size(); ++i) {
                    opened& control = controls_[i];
                    // A program that plays nothing was not changed: it
                    // only reads 0.
                    if (!entries[i].zuvo_control || !control.control ||
                        idle(entries[i], control.control))
                        continue;
                    take_state(entries[i], control.control);
                    control.held_volume = -1;
                }
            }
            host_change_pending_ = false;
        }
        return outcome::not_ours;
    }
    if (message != line_change && message != control_change) return outcome::not_ours;
    if (!mixer_.callback_check) return outcome::not_ours;
    for (size_t i = 0; i < entries.size() && i < controls_.size() && i < guards_.size(); ++i) {
        opened& control = controls_[i];
        if (!control.control || !mixer_.callback_check(control.control, message, wparam)) continue;
        if (host_change_pending_ && entries[i].zuvo_control) return outcome::handled;
        // A program that stopped playing has nothing to hold until it plays.
        if (idle(entries[i], control.control)) return outcome::handled;
        if (waits_for_state(i)) {
            take_state(entries[i], control.control);
            take_state_later_[i] = false;
            return outcome::handled;
        }
        const drift off = drift_of(entries[i], control);
        if (!off.volume && !off.mute) return outcome::handled;
        switch (guards_[i].ask(now_ms)) {
        case fight_guard::verdict::write:
            correct(entries[i], control, off);
            return outcome::handled;
        case fight_guard::verdict::given_up_now:
            return outcome::given_up_now;
        case fight_guard::verdict::left_alone:
            return outcome::handled;
        }
        return outcome::handled;
    }
    return outcome::not_ours;
}

} // namespace lockvol
