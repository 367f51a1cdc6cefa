#include "plugins/lockvol/lock_entries.h"

#include "mxrctl/session_names.h"

#include <utility>

namespace lockvol {

namespace {

// The same line or the same program, whatever the device.
bool same_target(const lock_entry& a, const lock_entry& b) noexcept {
    if (a.application.empty() != b.application.empty()) return false;
    if (!a.application.empty()) return same_file_name(a.application.c_str(), b.application.c_str());
    return a.destination == b.destination && a.source == b.source;
}

} // namespace

bool same_control(const lock_entry& a, const lock_entry& b) noexcept {
    return same_target(a, b) && a.mixer == b.mixer;
}

int find_control(const std::vector<lock_entry>& entries, const lock_entry& probe) noexcept {
    for (size_t i = 0; i < entries.size(); ++i)
        if (same_control(entries[i], probe)) return static_cast<int>(i);
    return -1;
}

uint32_t leading_count(const wchar_t* text) noexcept {
    uint32_t count = 0;
    if (!text) return 0;
    for (; *text >= L'0' && *text <= L'9'; ++text) {
        count = count * 10 + static_cast<uint32_t>(*text - L'0');
        if (count > 100000000u) break; // far past any section we would delete
    }
    return count;
}

std::vector<int> earlier_same_control(const std::vector<lock_entry>& entries,
                                      const std::vector<std::wstring>& devices) {
    std::vector<int> earlier(entries.size(), -1);
    for (size_t i = 0; i < entries.size() && i < devices.size(); ++i) {
        if (devices[i].empty()) continue;
        for (size_t first = 0; first < i; ++first) {
            if (earlier[first] >= 0 || devices[first] != devices[i] ||
                !same_target(entries[first], entries[i]))
                continue;
            earlier[i] = static_cast<int>(first);
            break;
        }
    }
    return earlier;
}

bool add_or_update(std::vector<lock_entry>& entries, const lock_entry& edited, int& current) {
    const int found = find_control(entries, edited);
    if (found >= 0) {
        entries[static_cast<size_t>(found)] = edited;
        current = found;
        return true;
    }
    if (entries.size() >= max_entries) return false;
    entries.push_back(edited);
    current = static_cast<int>(entries.size()) - 1;
    return true;
}

void remove_current(std::vector<lock_entry>& entries, int& current) {
    if (current < 0 || static_cast<size_t>(current) >= entries.size()) return;
    entries.erase(entries.begin() + current);
    if (static_cast<size_t>(current) >= entries.size()) current = -1;
}

void move_current(std::vector<lock_entry>& entries, int& current, int direction) noexcept {
    if (current < 0 || static_cast<size_t>(current) >= entries.size()) return;
    const int other = current + (direction < 0 ? -1 : 1);
    if (other < 0 || static_cast<size_t>(other) >= entries.size()) return;
    std::swap(entries[static_cast<size_t>(current)], entries[static_cast<size_t>(other)]);
    current = other;
}

int apply_selection(const std::vector<lock_entry>& entries, int current, lock_entry& edited,
                    const std::wstring& mixer, int32_t destination, int32_t source, int32_t balance,
                    const std::wstring& application) {
    edited.mixer = mixer;
    edited.destination = destination;
    edited.source = application.empty() ? source : application_source;
    edited.application = application;
    edited.balance = balance;
    const int found = find_control(entries, edited);
    if (found < 0) {
        edited.volume = 100;
        edited.mute = false;
        edited.zuvo_control = false;
        edited.keep_startup_state = false;
        return -1;
    }
    if (found != current) {
        edited = entries[static_cast<size_t>(found)];
        edited.balance = balance;
    }
    return found;
}

fight_guard::verdict fight_guard::ask(uint64_t now) noexcept {
    if (paused(now)) return verdict::left_alone;
    // Forget what lies outside the window; the list stays oldest first.
    int kept = 0;
    for (int i = 0; i < count_; ++i)
        if (now - writes_[i] < window_ms) writes_[kept++] = writes_[i];
    count_ = kept;
    if (count_ == max_writes) {
        count_ = 0;
        paused_until_ = now + pause_ms;
        return verdict::given_up_now;
    }
    writes_[count_++] = now;
    return verdict::write;
}

} // namespace lockvol
