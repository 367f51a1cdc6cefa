#pragma once
// Holding registered controls at their locked volume and mute through the
// host's mixer functions: opening them (one mixer per device, shared; one
// control held once however many entries reach it), writing the locked
// values, undoing changes as their notifications come in, adopting the
// changes the main program makes itself where allowed, and following the
// devices as they come, go and change roles. A program's entry is held like
// a line while the program plays; while it plays nothing there is nothing
// to hold, and its sessions get the locked values when they appear.

#include "plugin_sdk/mixer_functions.h"
#include "plugins/lockvol/lock_entries.h"

#include <string>
#include <vector>

namespace lockvol {

class mixer_lock {
public:
    explicit mixer_lock(const mixer_functions& mixer) noexcept : mixer_(mixer) {}
    mixer_lock(const mixer_lock&) = delete;
    mixer_lock& operator=(const mixer_lock&) = delete;
    ~mixer_lock() { unlock(); }

    // Opens every entry's control (with `notify_window` receiving their
    // change messages; null: nobody watches). With `take_current_state`
    // KeepStartUpState entries take the control's state as their value; a
    // reset once passes false, it writes the configured values. An empty
    // list stays unlocked.
    void lock(std::vector<lock_entry>& entries, HWND notify_window, bool take_current_state = true);
    // Writes the locked values wherever the control shows something else.
    void apply(const std::vector<lock_entry>& entries);
    // Releases every control and mixer.
    void unlock() noexcept;
    bool locked() const noexcept { return locked_; }

    // The locked values of `entries` were changed (reset once): what the
    // controls held for the old ones is no longer an answer to them.
    void forget_written() noexcept;

    enum class outcome {
        not_ours,     // the host goes on with the message
        handled,      // a notification of one of our controls, dealt with
        given_up_now, // the same, and that control is left alone for a while
    };
    // A message of the main window, seen before the host handles it, at
    // `now_ms` (monotonic milliseconds).
    outcome on_message(std::vector<lock_entry>& entries, UINT message, WPARAM wparam,
                       uint64_t now_ms);
    // Controls whose pause is over are held again. Returns when the next
    // pause ends, 0 when none is left.
    uint64_t resume(const std::vector<lock_entry>& entries, uint64_t now_ms);

    // Mixers opened now (shared by the entries on one device).
    size_t open_mixers() const noexcept { return mixers_.size(); }

private:
    struct opened {
        m_mxrctl::m_devs* control = nullptr;
        // What the control holds when asked for the locked volume, when that
        // differs from it (a stepped line cannot hold every percent); -1
        // otherwise. Showing it is showing the locked state, so neither our
        // own write's echo nor anything else is answered with another write.
        // One read-back is not proof: another program can change the control
        // between our write and our read, and believing its value would leave
        // that change standing for good. The control must give the same
        // answer to two writes in a row.
        int32_t held_volume = -1;
    };
    struct open_mixer {
        std::wstring name;   // as the entries spell it; empty: the default device
        std::wstring device; // as the audio system names the device it opened
        m_mxrctl* mixer = nullptr;
    };
    // What of a control differs from its entry's locked values, read once.
    struct drift {
        bool volume = false;
        bool mute = false;
    };
    const open_mixer* mixer_for(const std::wstring& name);
    m_mxrctl::m_devs* create(const open_mixer& mixer, const lock_entry& entry);
    bool idle(const lock_entry& entry, m_mxrctl::m_devs* control);
    void take_state(lock_entry& entry, m_mxrctl::m_devs* control);
    bool waits_for_state(size_t index) const noexcept {
        return index < take_state_later_.size() && take_state_later_[index];
    }
    void open(std::vector<lock_entry>& entries, bool take_current_state);
    void close() noexcept;
    void follow_devices(std::vector<lock_entry>& entries);
    drift drift_of(const lock_entry& entry, const opened& control);
    void correct(const lock_entry& entry, opened& control, drift off);
    int32_t write_volume(const lock_entry& entry, const opened& control);

    const mixer_functions& mixer_;
    HWND notify_window_ = nullptr;
    std::vector<opened> controls_; // one per entry, in list order
    // One per entry too, kept while the devices come and go.
    std::vector<fight_guard> guards_;
    // KeepStartUpState entries of programs that played nothing at locking:
    // they take the program's state once it plays. Kept like the guards.
    std::vector<bool> take_state_later_;
    std::vector<open_mixer> mixers_;
    bool locked_ = false;
    bool follow_host_ = false;
    bool host_change_pending_ = false;
};

} // namespace lockvol
