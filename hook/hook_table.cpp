#include "hook/hook_table.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace hook_table {

namespace {

uint64_t load_le(const uint8_t* p, int bytes) noexcept {
    uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | p[i];
    return value;
}

void store_le(uint8_t* p, uint64_t value, int bytes) noexcept {
    for (int i = 0; i < bytes; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

// Entries that fit behind the header of a view of `size` bytes.
std::size_t entries_fitting(std::size_t size) noexcept {
    if (size < header_size) return 0;
    return std::min<std::size_t>((size - header_size) / entry_size, max_capacity);
}

// The count is the one field another process may change while we read: it
// is read once, and the entries below it only after it (the writer stores
// it after the entry).
uint8_t read_count(const uint8_t* view) noexcept {
    uint8_t count = *static_cast<const volatile uint8_t*>(view + at_count);
    std::atomic_thread_fence(std::memory_order_acquire);
    return count;
}

void publish_count(uint8_t* view, uint8_t count) noexcept {
    std::atomic_thread_fence(std::memory_order_release);
    *static_cast<volatile uint8_t*>(view + at_count) = count;
}

uint8_t* entry_at(uint8_t* view, std::size_t index) noexcept {
    return view + at_entries + index * entry_size;
}
const uint8_t* entry_at(const uint8_t* view, std::size_t index) noexcept {
    return view + at_entries + index * entry_size;
}

} // namespace

std::size_t bytes_for(uint32_t capacity) noexcept {
    return header_size + (capacity & 0xFF) * entry_size;
}

uint8_t capacity_within(uint32_t wanted, std::size_t size) noexcept {
    return static_cast<uint8_t>(std::min<std::size_t>(wanted & 0xFF, entries_fitting(size)));
}

bool initialise(uint8_t* view, std::size_t size, uint8_t capacity, uint64_t window) noexcept {
    const std::size_t bytes = bytes_for(capacity);
    if (bytes > size) return false;
    publish_count(view, 0);
    std::memset(view, 0xFF, at_count);
    std::memset(view + at_count + 1, 0xFF, bytes - at_count - 1);
    store_le(view + at_window, window, 8);
    view[at_capacity] = capacity;
    return true;
}

void set_hook_handle(uint8_t* view, std::size_t size, uint64_t hook) noexcept {
    if (size >= header_size) store_le(view + at_hook, hook, 8);
}

bool add(uint8_t* view, std::size_t size, uint32_t code, uint32_t message, uint64_t wparam,
         uint64_t lparam) noexcept {
    const uint8_t key = static_cast<uint8_t>(code & 0xFF);
    if (key == 0 || size < header_size) return false;
    const std::size_t capacity = std::min<std::size_t>(view[at_capacity], entries_fitting(size));
    const uint8_t n = view[at_count];
    if (n >= capacity) return false;

    // Find where the new index goes: the bucket itself when its chain is
    // empty, else the end of the chain. A chain longer than the table has
    // a loop in it; extending it would only hide the damage.
    uint8_t* link = view + at_buckets + (key & 0x3F);
    if (*link < n) {
        uint8_t index = *link;
        for (std::size_t visited = 1;; ++visited) {
            uint8_t* next = entry_at(view, index) + entry_next;
            if (*next >= n) {
                link = next;
                break;
            }
            if (visited >= n) return false;
            index = *next;
        }
    }

    uint8_t* entry = entry_at(view, n);
    entry[entry_key] = key;
    entry[entry_modifiers] = static_cast<uint8_t>(code >> 8);
    entry[entry_next] = no_entry;
    entry[entry_padding] = 0xFF;
    store_le(entry + entry_message, message, 4);
    store_le(entry + entry_wparam, wparam, 8);
    store_le(entry + entry_lparam, lparam, 8);
    *link = n;
    publish_count(view, static_cast<uint8_t>(n + 1));
    return true;
}

bool find(const uint8_t* view, std::size_t size, uint64_t key, uint8_t modifiers,
          action& found) noexcept {
    if (key == 0 || key > 0xFF) return false;
    const uint8_t limit = usable_count(view, size);
    if (limit == 0) return false;
    uint8_t index = view[at_buckets + (key & 0x3F)];
    // At most `limit` steps: a damaged table may link its entries in a circle.
    for (uint8_t steps = 0; index < limit && steps < limit; ++steps) {
        const uint8_t* entry = entry_at(view, index);
        if (entry[entry_key] == key && entry[entry_modifiers] == modifiers) {
            found.message = static_cast<uint32_t>(load_le(entry + entry_message, 4));
            found.wparam = load_le(entry + entry_wparam, 8);
            found.lparam = load_le(entry + entry_lparam, 8);
            return true;
        }
        index = entry[entry_next];
    }
    return false;
}

uint64_t hook_handle(const uint8_t* view, std::size_t size) noexcept {
    return size >= header_size ? load_le(view + at_hook, 8) : 0;
}

uint64_t target_window(const uint8_t* view, std::size_t size) noexcept {
    return size >= header_size ? load_le(view + at_window, 8) : 0;
}

uint8_t usable_count(const uint8_t* view, std::size_t size) noexcept {
    if (size < header_size) return 0;
    const std::size_t limit =
        std::min<std::size_t>({read_count(view), view[at_capacity], entries_fitting(size)});
    return static_cast<uint8_t>(limit);
}

uint8_t keystroke_modifiers(bool extended, bool ctrl, bool alt, bool shift, bool win) noexcept {
    return static_cast<uint8_t>((extended ? modifier_extended : 0) | (ctrl ? modifier_ctrl : 0) |
                                (alt ? modifier_alt : 0) | (shift ? modifier_shift : 0) |
                                (win ? modifier_win : 0));
}

} // namespace hook_table
