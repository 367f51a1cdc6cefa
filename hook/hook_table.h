#pragma once
// The shared hot-key table as raw bytes: the layout every process agrees on,
// and the operations on it as plain functions over a view and its real size.
//
// Every process that receives keyboard input reads this table, and any
// program may create a section of the same name, so nothing here trusts the
// bytes: indexes are bounded by the size that is really mapped and by the
// table's own capacity, and chains are walked at most once around.

#include <cstddef>
#include <cstdint>

namespace hook_table {

inline constexpr std::size_t header_size = 88;
inline constexpr std::size_t entry_size = 24;
inline constexpr std::size_t bucket_count = 64;
// Index 0xFF ends a chain, so it can never be an entry.
inline constexpr uint8_t no_entry = 0xFF;
inline constexpr uint32_t max_capacity = 255;

// Header fields, from the start of the view.
inline constexpr std::size_t at_hook = 0;      // 8 bytes, HHOOK
inline constexpr std::size_t at_window = 8;    // 8 bytes, HWND
inline constexpr std::size_t at_capacity = 16; // 1 byte
inline constexpr std::size_t at_count = 17;    // 1 byte
inline constexpr std::size_t at_buckets = 18;  // 64 bytes, head index per bucket
inline constexpr std::size_t at_padding = 82;  // 6 bytes of 0xFF
inline constexpr std::size_t at_entries = header_size;

// Entry fields, from the start of an entry.
inline constexpr std::size_t entry_key = 0;       // virtual key
inline constexpr std::size_t entry_modifiers = 1; // modifier bits below
inline constexpr std::size_t entry_next = 2;      // next index in the bucket
inline constexpr std::size_t entry_padding = 3;   // 0xFF
inline constexpr std::size_t entry_message = 4;   // 4 bytes
inline constexpr std::size_t entry_wparam = 8;    // 8 bytes
inline constexpr std::size_t entry_lparam = 16;   // 8 bytes

static_assert(at_padding + 6 == header_size);
static_assert(at_buckets + bucket_count == at_padding);
static_assert(entry_lparam + 8 == entry_size);

// Modifier bits, also bits 8..15 of a hot-key code.
inline constexpr uint8_t modifier_ctrl = 0x01;
inline constexpr uint8_t modifier_alt = 0x02;
inline constexpr uint8_t modifier_shift = 0x04;
inline constexpr uint8_t modifier_win = 0x08;
inline constexpr uint8_t modifier_extended = 0x80;

// What a matching entry asks to be posted.
struct action {
    uint32_t message = 0;
    uint64_t wparam = 0;
    uint64_t lparam = 0;
};

// Bytes a table of `capacity` entries occupies; only the low eight bits of
// the request count, as only they are stored.
std::size_t bytes_for(uint32_t capacity) noexcept;

// How many of the `wanted` entries (low eight bits) fit into `size` bytes.
uint8_t capacity_within(uint32_t wanted, std::size_t size) noexcept;

// Writes an empty table of `capacity` entries for `window`: every byte of
// it 0xFF, then the header fields. The hook handle stays 0xFF.. until
// set_hook_handle. The count is made 0 before anything else, so that a
// reader in another process never sees old entries behind new buckets.
// False, writing nothing, when the table does not fit into `size`.
bool initialise(uint8_t* view, std::size_t size, uint8_t capacity, uint64_t window) noexcept;
void set_hook_handle(uint8_t* view, std::size_t size, uint64_t hook) noexcept;

// Appends an entry for hot-key `code` (bits 0..7 virtual key, 8..15
// modifiers) at the end of its bucket's chain, so the earliest registration
// of a key keeps winning. False for virtual key 0, a full table, or a table
// too damaged to extend (a chain that never ends).
bool add(uint8_t* view, std::size_t size, uint32_t code, uint32_t message, uint64_t wparam,
         uint64_t lparam) noexcept;

// The first entry for `key` with exactly `modifiers`, walking its bucket
// from the head.
bool find(const uint8_t* view, std::size_t size, uint64_t key, uint8_t modifiers,
          action& found) noexcept;

// Header fields; 0 when the view does not even hold a header.
uint64_t hook_handle(const uint8_t* view, std::size_t size) noexcept;
uint64_t target_window(const uint8_t* view, std::size_t size) noexcept;
// Entries a reader may look at: the count, bounded by the capacity and by
// what fits into `size`.
uint8_t usable_count(const uint8_t* view, std::size_t size) noexcept;

// The modifiers byte of a key-down: the keystroke's extended flag and the
// modifier keys held at the time.
uint8_t keystroke_modifiers(bool extended, bool ctrl, bool alt, bool shift, bool win) noexcept;

} // namespace hook_table
