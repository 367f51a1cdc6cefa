#pragma once
// Holding registered controls at their locked volume and mute through the
// host's mixer functions: opening them (one mixer per device, shared),
// writing the locked values, undoing changes as their notifications come in,
// and adopting the changes the main program makes itself where allowed.

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
    // change messages; null: nobody watches). KeepStartUpState entries take
    // the current state. An empty list stays unlocked.
    void lock(std::vector<lock_entry>& entries, HWND notify_window);
    // Writes the locked values wherever the control shows something else.
    void apply(const std::vector<lock_entry>& entries);
    // Releases every control and mixer.
    void unlock() noexcept;
    bool locked() const noexcept { return locked_; }

    // The locked values of `entries` were changed (reset once): what the
    // controls held for the old ones is no longer an answer to them.
    void forget_written() noexcept;

    // A message of the main window, seen before the host handles it. True:
    // it was a notification of one of our controls, dealt with here.
    bool on_message(std::vector<lock_entry>& entries, UINT message, WPARAM wparam);

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
        std::wstring name;
        m_mxrctl* mixer = nullptr;
    };
    m_mxrctl* mixer_for(const std::wstring& name, HWND notify_window);
    void restore(const lock_entry& entry, opened& control);
    int32_t write_volume(const lock_entry& entry, const opened& control);

    const mixer_functions& mixer_;
    std::vector<opened> controls_; // one per entry, in list order
    std::vector<open_mixer> mixers_;
    bool locked_ = false;
    bool follow_host_ = false;
    bool host_change_pending_ = false;
};

} // namespace lockvol
