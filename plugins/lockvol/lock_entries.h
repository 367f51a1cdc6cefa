#pragma once
// The registered controls of the mixer lock and the list operations its
// dialog offers. No Windows header: tested and fuzzed natively.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lockvol {

struct lock_entry {
    std::wstring mixer; // empty: the default device
    int32_t destination = 0;
    int32_t source = -1; // -1: the destination's own control
    int32_t balance = 0;
    int32_t volume = 100;
    bool mute = false;
    // As loaded from the file: what a reset once writes again.
    int32_t configured_volume = 100;
    bool configured_mute = false;
    bool zuvo_control = false;       // adopt the main program's own changes
    bool keep_startup_state = false; // locking takes the current state
};

// Mixer (exact, case-sensitive), destination and source; nothing else.
bool same_control(const lock_entry& a, const lock_entry& b) noexcept;
// Index of the entry for the same control as `probe`, or -1.
int find_control(const std::vector<lock_entry>& entries, const lock_entry& probe) noexcept;

// Sections of a file that says it has this many: more cannot come from the
// dialog, and a damaged count must not make loading read for minutes.
constexpr uint32_t max_entries = 100;

// The count as the old file spells it: decimal digits from the first
// character, up to the first other one; none gives 0.
uint32_t leading_count(const wchar_t* text) noexcept;

// The dialog's edits; `current` is the current index, -1 for none.
// Overwrites the entry for the same control or appends; `current` becomes
// its index.
void add_or_update(std::vector<lock_entry>& entries, const lock_entry& edited, int& current);
// Removes the current entry; past the end `current` becomes -1.
void remove_current(std::vector<lock_entry>& entries, int& current);
// Swap with a neighbour (-1 up, +1 down); nothing at the ends.
void move_current(std::vector<lock_entry>& entries, int& current, int direction) noexcept;

// What the selection of a control does to the edit record: the chosen
// control with its balance; the rest from the listed entry for it, or fresh
// values when it is new, or kept when it is the current one. Returns the new
// current index.
int apply_selection(const std::vector<lock_entry>& entries, int current, lock_entry& edited,
                    const std::wstring& mixer, int32_t destination, int32_t source,
                    int32_t balance);

// A typed volume as the field shows it after leaving it.
constexpr int32_t clamp_volume(int32_t percent) noexcept {
    return percent < 0 ? 0 : percent > 100 ? 100 : percent;
}

} // namespace lockvol
