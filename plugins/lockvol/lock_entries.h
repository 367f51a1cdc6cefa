#pragma once
// The registered controls of the mixer lock and the list operations its
// dialog offers. No Windows header: tested and fuzzed natively.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lockvol {

// The source number of a program's entry in the file: no line has it, so a
// mixer lock that knows no programs finds no control and changes nothing.
// The host's selection uses the same number.
constexpr int32_t application_source = -2;

struct lock_entry {
    std::wstring mixer; // empty: the default device
    int32_t destination = 0;
    int32_t source = -1; // -1: the destination's own control
    // A program's file name ("player.exe"): every audio session of it on
    // the device, instead of a line. Empty: a line.
    std::wstring application;
    int32_t balance = 0;
    int32_t volume = 100;
    bool mute = false;
    // As loaded from the file: what a reset once writes again.
    int32_t configured_volume = 100;
    bool configured_mute = false;
    bool zuvo_control = false;       // adopt the main program's own changes
    bool keep_startup_state = false; // locking takes the current state
};

// Mixer (exact, case-sensitive), then for a line destination and source,
// for a program its file name (ASCII letters without case, as the audio
// system's file names compare); nothing else. A program is never a line.
bool same_control(const lock_entry& a, const lock_entry& b) noexcept;
// Index of the entry for the same control as `probe`, or -1.
int find_control(const std::vector<lock_entry>& entries, const lock_entry& probe) noexcept;

// Sections of a file that says it has this many: more cannot come from the
// dialog, and a damaged count must not make loading read for minutes.
constexpr uint32_t max_entries = 100;

// The count as the old file spells it: decimal digits from the first
// character, up to the first other one; none gives 0.
uint32_t leading_count(const wchar_t* text) noexcept;

// Entries that reach one control through different names (the default
// device and the same device by name, a name the device's own only starts
// with, a hand-edited duplicate) would each write their own value back on
// the other's change, for ever. `devices[i]` is the device entry i reached,
// as the audio system names it, empty when its control did not open. For
// each entry: the index of the first entry on the same device, destination
// and source (or program), whose value wins; -1 for that first one itself.
std::vector<int> earlier_same_control(const std::vector<lock_entry>& entries,
                                      const std::vector<std::wstring>& devices);

// The dialog's edits; `current` is the current index, -1 for none.
// Overwrites the entry for the same control or appends; `current` becomes
// its index. False, changing nothing, when appending would pass
// max_entries: the file keeps no more.
bool add_or_update(std::vector<lock_entry>& entries, const lock_entry& edited, int& current);
// Removes the current entry; past the end `current` becomes -1.
void remove_current(std::vector<lock_entry>& entries, int& current);
// Swap with a neighbour (-1 up, +1 down); nothing at the ends.
void move_current(std::vector<lock_entry>& entries, int& current, int direction) noexcept;

// What the selection of a control does to the edit record: the chosen
// control with its balance; the rest from the listed entry for it, or fresh
// values when it is new, or kept when it is the current one. A non-empty
// `application` chooses that program on the device (its source becomes
// application_source). Returns the new current index.
int apply_selection(const std::vector<lock_entry>& entries, int current, lock_entry& edited,
                    const std::wstring& mixer, int32_t destination, int32_t source, int32_t balance,
                    const std::wstring& application = {});

// Guards one control against a fight the lock cannot win: a driver that
// ties two lines, or a program that answers each of our writes with its
// own. Every write-back is asked for first; one more than max_writes within
// window_ms leaves the control alone for pause_ms. Times are milliseconds
// of a monotonic clock.
class fight_guard {
public:
    static constexpr int max_writes = 5;
    static constexpr uint64_t window_ms = 1000;
    static constexpr uint64_t pause_ms = 10000;

    enum class verdict { write, left_alone, given_up_now };
    verdict ask(uint64_t now) noexcept;
    bool paused(uint64_t now) const noexcept { return now < paused_until_; }
    // When the current pause ends; 0 when there was none.
    uint64_t paused_until() const noexcept { return paused_until_; }
    void reset() noexcept { *this = fight_guard{}; }

private:
    uint64_t writes_[max_writes] = {}; // the latest, oldest first
    int count_ = 0;
    uint64_t paused_until_ = 0;
};

// A typed volume as the field shows it after leaving it.
constexpr int32_t clamp_volume(int32_t percent) noexcept {
    return percent < 0 ? 0 : percent > 100 ? 100 : percent;
}

} // namespace lockvol
