// The hot-key table as bytes: layout, chains, the earliest registration
// winning, and damaged tables. Every buffer here ends right where a
// no-access page begins, so a single byte read or written past the size a
// function was given ends the test with an access violation.

#include "hook/hook_table.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

namespace ht = hook_table;

namespace {

class guarded_bytes {
public:
    explicit guarded_bytes(std::size_t size, uint8_t fill = 0xAA) : size_(size) {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        const std::size_t page = info.dwPageSize;
        const std::size_t usable = (size + page - 1) / page * page;
        base_ = static_cast<uint8_t*>(
            VirtualAlloc(nullptr, usable + page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old = 0;
        VirtualProtect(base_ + usable, page, PAGE_NOACCESS, &old);
        data_ = base_ + usable - size;
        std::memset(data_, fill, size);
    }
    guarded_bytes(const guarded_bytes&) = delete;
    guarded_bytes& operator=(const guarded_bytes&) = delete;
    ~guarded_bytes() { VirtualFree(base_, 0, MEM_RELEASE); }

    uint8_t* data() { return data_; }
    std::size_t size() const { return size_; }
    uint8_t& operator[](std::size_t i) { return data_[i]; }
    uint8_t* entry(std::size_t index) { return data_ + ht::at_entries + index * ht::entry_size; }

private:
    std::size_t size_;
    uint8_t* base_ = nullptr;
    uint8_t* data_ = nullptr;
};

// A table of `capacity` entries in a buffer of exactly its size.
struct table {
    explicit table(uint32_t capacity, uint64_t window = 0x1234) : bytes(ht::bytes_for(capacity)) {
        ht::initialise(bytes.data(), bytes.size(), static_cast<uint8_t>(capacity), window);
    }
    bool add(uint32_t code, uint32_t message = 0x111, uint64_t wparam = 0, uint64_t lparam = 0) {
        return ht::add(bytes.data(), bytes.size(), code, message, wparam, lparam);
    }
    bool find(uint64_t key, uint8_t modifiers, ht::action& found) {
        return ht::find(bytes.data(), bytes.size(), key, modifiers, found);
    }
    guarded_bytes bytes;
};

// Crafted table headers: (capacity, count, bucket heads) written raw.
void write_header(guarded_bytes& b, uint8_t capacity, uint8_t count) {
    std::memset(b.data(), 0xFF, std::min(b.size(), ht::header_size));
    b[ht::at_capacity] = capacity;
    b[ht::at_count] = count;
}

void write_entry(guarded_bytes& b, std::size_t index, uint8_t key, uint8_t modifiers, uint8_t next,
                 uint32_t message) {
    uint8_t* e = b.entry(index);
    std::memset(e, 0, ht::entry_size);
    e[ht::entry_key] = key;
    e[ht::entry_modifiers] = modifiers;
    e[ht::entry_next] = next;
    std::memcpy(e + ht::entry_message, &message, 4);
}

TEST(hook_table_size, request_keeps_its_low_eight_bits) {
    EXPECT_EQ(ht::bytes_for(64), 88u + 64 * 24);
    EXPECT_EQ(ht::bytes_for(255), 88u + 255 * 24);
    EXPECT_EQ(ht::bytes_for(256), 88u);
    EXPECT_EQ(ht::bytes_for(0x13F), 88u + 0x3F * 24);
    EXPECT_EQ(ht::bytes_for(0xFFFFFFFF), 88u + 255 * 24);
}

TEST(hook_table_size, capacity_is_what_fits) {
    EXPECT_EQ(ht::capacity_within(255, 4096), (4096 - 88) / 24);
    EXPECT_EQ(ht::capacity_within(5, 4096), 5);
    EXPECT_EQ(ht::capacity_within(10, 88 + 3 * 24), 3);
    EXPECT_EQ(ht::capacity_within(10, 88 + 3 * 24 + 23), 3);
    EXPECT_EQ(ht::capacity_within(10, 87), 0);
    EXPECT_EQ(ht::capacity_within(0x10A, 1 << 20), 10);
    EXPECT_EQ(ht::capacity_within(255, 1 << 20), 255);
}

TEST(hook_table_layout, empty_table_is_all_0xff_but_its_header_fields) {
    guarded_bytes b(ht::bytes_for(3), 0x00);
    ASSERT_TRUE(ht::initialise(b.data(), b.size(), 3, 0x0102030405060708ull));
    ht::set_hook_handle(b.data(), b.size(), 0x1122334455667788ull);
    const uint8_t window[8] = {8, 7, 6, 5, 4, 3, 2, 1};
    const uint8_t hook[8] = {0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11};
    EXPECT_EQ(std::memcmp(b.data() + ht::at_hook, hook, 8), 0);
    EXPECT_EQ(std::memcmp(b.data() + ht::at_window, window, 8), 0);
    EXPECT_EQ(b[16], 3);
    EXPECT_EQ(b[17], 0);
    for (std::size_t i = 18; i < b.size(); ++i) ASSERT_EQ(b[i], 0xFF) << "byte " << i;
    EXPECT_EQ(ht::hook_handle(b.data(), b.size()), 0x1122334455667788ull);
    EXPECT_EQ(ht::target_window(b.data(), b.size()), 0x0102030405060708ull);
}

TEST(hook_table_layout, table_larger_than_the_buffer_is_not_written) {
    guarded_bytes b(ht::bytes_for(3) - 1, 0x00);
    EXPECT_FALSE(ht::initialise(b.data(), b.size(), 3, 1));
    for (std::size_t i = 0; i < b.size(); ++i) ASSERT_EQ(b[i], 0) << "byte " << i;
}

TEST(hook_table_layout, entry_fields_little_endian) {
    table t(4);
    ASSERT_TRUE(t.add(0x85A6, 0xC0DE0111, 0x0102030405060708ull, 0xF1F2F3F4F5F6F7F8ull));
    const uint8_t expected[24] = {0xA6, 0x85, 0xFF, 0xFF, 0x11, 0x01, 0xDE, 0xC0,
                                  8,    7,    6,    5,    4,    3,    2,    1,
                                  0xF8, 0xF7, 0xF6, 0xF5, 0xF4, 0xF3, 0xF2, 0xF1};
    EXPECT_EQ(std::memcmp(t.bytes.entry(0), expected, 24), 0);
    EXPECT_EQ(t.bytes[ht::at_count], 1);
    EXPECT_EQ(t.bytes[ht::at_buckets + (0xA6 & 0x3F)], 0);
    // Bits above the modifiers byte are not part of the key.
    ASSERT_TRUE(t.add(0xFFFF0541));
    EXPECT_EQ(t.bytes.entry(1)[0], 0x41);
    EXPECT_EQ(t.bytes.entry(1)[1], 0x05);
}

TEST(hook_table_add, appends_to_the_end_of_the_chain) {
    table t(8);
    // 0x01, 0x41, 0x81, 0xC1 share bucket 1; 0x02 has its own.
    for (uint32_t code : {0x01u, 0x02u, 0x41u, 0x81u, 0xC1u}) ASSERT_TRUE(t.add(code));
    EXPECT_EQ(t.bytes[ht::at_buckets + 1], 0);
    EXPECT_EQ(t.bytes[ht::at_buckets + 2], 1);
    EXPECT_EQ(t.bytes.entry(0)[ht::entry_next], 2);
    EXPECT_EQ(t.bytes.entry(2)[ht::entry_next], 3);
    EXPECT_EQ(t.bytes.entry(3)[ht::entry_next], 4);
    EXPECT_EQ(t.bytes.entry(4)[ht::entry_next], 0xFF);
    EXPECT_EQ(t.bytes.entry(1)[ht::entry_next], 0xFF);
}

TEST(hook_table_add, refuses_no_key_and_a_full_table) {
    table t(2);
    EXPECT_FALSE(t.add(0x0500));
    EXPECT_FALSE(t.add(0));
    EXPECT_EQ(t.bytes[ht::at_count], 0);
    EXPECT_TRUE(t.add(0x0541));
    EXPECT_TRUE(t.add(0x0541));
    EXPECT_FALSE(t.add(0x0542));
    EXPECT_EQ(t.bytes[ht::at_count], 2);
}

TEST(hook_table_add, zero_capacity_holds_nothing) {
    table t(256);
    EXPECT_EQ(t.bytes.size(), ht::header_size);
    EXPECT_FALSE(t.add(0x41));
}

TEST(hook_table_find, earliest_registration_wins) {
    table t(4);
    ASSERT_TRUE(t.add(0x054D, 0x111, 1));
    ASSERT_TRUE(t.add(0x054D, 0x111, 2));
    ht::action found;
    ASSERT_TRUE(t.find(0x4D, 0x05, found));
    EXPECT_EQ(found.wparam, 1u);
}

struct lookup_case {
    uint64_t key;
    uint8_t modifiers;
    bool found;
    uint64_t wparam;
};

class hook_table_lookup : public ::testing::TestWithParam<lookup_case> {};

TEST_P(hook_table_lookup, exact_key_and_modifiers) {
    table t(8);
    ASSERT_TRUE(t.add(0x054D, 0x111, 1)); // Ctrl+Shift+M
    ASSERT_TRUE(t.add(0x8026, 0x111, 2)); // Up arrow, extended
    ASSERT_TRUE(t.add(0x0026, 0x111, 3)); // keypad 8 without NumLock
    ASSERT_TRUE(t.add(0x0866, 0x111, 4)); // Win+numpad 6, same bucket as Up
    const auto& c = GetParam();
    ht::action found;
    EXPECT_EQ(t.find(c.key, c.modifiers, found), c.found);
    if (c.found) {
        EXPECT_EQ(found.wparam, c.wparam);
    }
}

INSTANTIATE_TEST_SUITE_P(
    table, hook_table_lookup,
    ::testing::Values(lookup_case{0x4D, 0x05, true, 1},
                      // An extra modifier is another key.
                      lookup_case{0x4D, 0x07, false, 0}, lookup_case{0x4D, 0x04, false, 0},
                      lookup_case{0x4D, 0x85, false, 0}, lookup_case{0x26, 0x80, true, 2},
                      lookup_case{0x26, 0x00, true, 3}, lookup_case{0x66, 0x08, true, 4},
                      lookup_case{0x66, 0x00, false, 0},
                      // A virtual key never has more than eight bits.
                      lookup_case{0x14D, 0x05, false, 0}, lookup_case{0x10000004D, 0x05, false, 0},
                      lookup_case{0, 0, false, 0}));

TEST(hook_table_modifiers, bits_of_each_modifier) {
    EXPECT_EQ(ht::keystroke_modifiers(false, false, false, false, false), 0x00);
    EXPECT_EQ(ht::keystroke_modifiers(false, true, false, false, false), 0x01);
    EXPECT_EQ(ht::keystroke_modifiers(false, false, true, false, false), 0x02);
    EXPECT_EQ(ht::keystroke_modifiers(false, false, false, true, false), 0x04);
    EXPECT_EQ(ht::keystroke_modifiers(false, false, false, false, true), 0x08);
    EXPECT_EQ(ht::keystroke_modifiers(true, false, false, false, false), 0x80);
    EXPECT_EQ(ht::keystroke_modifiers(true, true, true, true, true), 0x8F);
}

// Random registrations against a plain list where the first match wins:
// capacity, refusals, collisions in buckets and duplicates all at once.
TEST(hook_table_model, random_registrations_agree_with_a_list) {
    std::mt19937 random(20240611);
    const uint8_t modifier_choices[] = {0x00, 0x01, 0x05, 0x80, 0x8F};
    for (int round = 0; round < 60; ++round) {
        const uint32_t capacity = 1 + random() % 255;
        table t(capacity);
        struct registered {
            uint8_t key, modifiers;
            uint64_t wparam;
        };
        std::vector<registered> model;
        // Few distinct keys, so that buckets hold chains and keys repeat.
        for (int i = 0; i < 300; ++i) {
            const uint8_t key = static_cast<uint8_t>((random() % 5) * 64 + random() % 6);
            const uint8_t modifiers = modifier_choices[random() % 5];
            const bool expected = key != 0 && model.size() < capacity;
            const uint64_t wparam = (uint64_t{random()} << 32) | static_cast<uint32_t>(i);
            ASSERT_EQ(t.add(key | (modifiers << 8), 0x111, wparam, ~wparam), expected);
            if (expected) model.push_back({key, modifiers, wparam});
        }
        for (unsigned key = 0; key < 256; ++key) {
            for (uint8_t modifiers : modifier_choices) {
                const registered* first = nullptr;
                for (const auto& r : model) {
                    if (r.key == key && r.modifiers == modifiers) {
                        first = &r;
                        break;
                    }
                }
                ht::action found;
                ASSERT_EQ(t.find(key, modifiers, found), first != nullptr) << key;
                if (first) {
                    EXPECT_EQ(found.wparam, first->wparam);
                    EXPECT_EQ(found.lparam, ~first->wparam);
                }
            }
        }
    }
}

// Damaged tables: a reader must stay inside the size it was given and stop
// on chains that never end.

TEST(hook_table_damage, buffers_smaller_than_a_header) {
    for (std::size_t size : {0u, 1u, 17u, 18u, 87u}) {
        guarded_bytes b(size, 0x01);
        ht::action found;
        EXPECT_FALSE(ht::find(b.data(), size, 0x01, 0x01, found));
        EXPECT_FALSE(ht::add(b.data(), size, 0x0101, 1, 1, 1));
        EXPECT_FALSE(ht::initialise(b.data(), size, 0, 1));
        EXPECT_EQ(ht::usable_count(b.data(), size), 0);
        EXPECT_EQ(ht::hook_handle(b.data(), size), 0u);
        ht::set_hook_handle(b.data(), size, 0);
        for (std::size_t i = 0; i < size; ++i) ASSERT_EQ(b[i], 0x01);
    }
}

TEST(hook_table_damage, count_beyond_the_buffer_is_bounded_by_its_size) {
    // The header claims 255 entries; only three fit.
    guarded_bytes b(ht::bytes_for(3));
    write_header(b, 255, 255);
    write_entry(b, 0, 0x41, 0, 200, 0x1000);
    write_entry(b, 1, 0x43, 0, 0xFF, 0x1001);
    write_entry(b, 2, 0x44, 0, 3, 0x1002);
    b[ht::at_buckets + 0x01] = 0;   // 0x41, then a next far outside
    b[ht::at_buckets + 0x02] = 254; // head far outside
    b[ht::at_buckets + 0x03] = 1;
    b[ht::at_buckets + 0x04] = 2; // next is the first index past the end
    EXPECT_EQ(ht::usable_count(b.data(), b.size()), 3);
    ht::action found;
    EXPECT_TRUE(ht::find(b.data(), b.size(), 0x41, 0, found));
    EXPECT_EQ(found.message, 0x1000u);
    EXPECT_FALSE(ht::find(b.data(), b.size(), 0x81, 0, found));
    EXPECT_FALSE(ht::find(b.data(), b.size(), 0x42, 0, found));
    EXPECT_TRUE(ht::find(b.data(), b.size(), 0x43, 0, found));
    EXPECT_FALSE(ht::find(b.data(), b.size(), 0x84, 0, found));
    // Nothing more can be added: the three entries that fit are taken.
    EXPECT_FALSE(ht::add(b.data(), b.size(), 0x45, 1, 1, 1));
}

TEST(hook_table_damage, count_above_capacity_hides_the_rest) {
    guarded_bytes b(ht::bytes_for(8));
    write_header(b, 2, 8);
    write_entry(b, 0, 0x10, 0, 5, 0x1000);
    write_entry(b, 5, 0x50, 0, 0xFF, 0x1005);
    b[ht::at_buckets + 0x10] = 0;
    ht::action found;
    EXPECT_EQ(ht::usable_count(b.data(), b.size()), 2);
    EXPECT_FALSE(ht::find(b.data(), b.size(), 0x50, 0, found));
    EXPECT_FALSE(ht::add(b.data(), b.size(), 0x45, 1, 1, 1));
}

TEST(hook_table_damage, capacity_larger_than_the_buffer_stops_adding_at_its_end) {
    guarded_bytes b(ht::bytes_for(3));
    write_header(b, 255, 0);
    for (uint32_t key = 1; key <= 3; ++key) EXPECT_TRUE(ht::add(b.data(), b.size(), key, 1, 1, 1));
    EXPECT_FALSE(ht::add(b.data(), b.size(), 4, 1, 1, 1));
    EXPECT_EQ(b[ht::at_count], 3);
}

struct cycle_case {
    const char* name;
    std::vector<uint8_t> next; // next index of entries 0..n-1, all in bucket 1
};

class hook_table_cycle : public ::testing::TestWithParam<cycle_case> {};

TEST_P(hook_table_cycle, lookup_and_add_end) {
    const auto& c = GetParam();
    const std::size_t n = c.next.size();
    guarded_bytes b(ht::bytes_for(8));
    write_header(b, 8, static_cast<uint8_t>(n));
    for (std::size_t i = 0; i < n; ++i)
        write_entry(b, i, static_cast<uint8_t>(0x01 + 0x40 * (i % 4)), 0x01, c.next[i], 0x1000);
    b[ht::at_buckets + 1] = 0;
    // Every entry is in the chain, but none has these modifiers.
    ht::action found;
    EXPECT_FALSE(ht::find(b.data(), b.size(), 0x01, 0x00, found));
    EXPECT_TRUE(ht::find(b.data(), b.size(), 0x01, 0x01, found));
    // Appending to a circle is refused; another bucket still works.
    EXPECT_FALSE(ht::add(b.data(), b.size(), 0xC1, 1, 1, 1));
    EXPECT_EQ(b[ht::at_count], n);
    EXPECT_TRUE(ht::add(b.data(), b.size(), 0x02, 1, 1, 1));
}

INSTANTIATE_TEST_SUITE_P(table, hook_table_cycle,
                         ::testing::Values(cycle_case{"self", {0}}, cycle_case{"pair", {1, 0}},
                                           cycle_case{"tail_to_middle", {1, 2, 3, 1}},
                                           cycle_case{"tail_to_itself", {1, 2, 2}}),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(hook_table_damage, stale_heads_and_links_count_as_empty) {
    // Heads and links not below the count end the chain: a reader may see
    // the link to an entry whose count is not yet written.
    table t(4);
    t.bytes[ht::at_buckets + 1] = 2;
    ASSERT_TRUE(t.add(0x01, 0x111, 7));
    EXPECT_EQ(t.bytes[ht::at_buckets + 1], 0);
    t.bytes.entry(0)[ht::entry_next] = 3;
    ASSERT_TRUE(t.add(0x41, 0x111, 8));
    EXPECT_EQ(t.bytes.entry(0)[ht::entry_next], 1);
    ht::action found;
    ASSERT_TRUE(t.find(0x41, 0, found));
    EXPECT_EQ(found.wparam, 8u);
}

// Random bytes of random sizes: whatever the content, both operations
// return, and the guard page proves that nothing past the size was touched.
TEST(hook_table_damage, random_bytes) {
    std::mt19937 random(7);
    for (int round = 0; round < 3000; ++round) {
        const std::size_t size = random() % 700;
        guarded_bytes b(size);
        for (std::size_t i = 0; i < size; ++i) {
            // Mostly small indexes, so that chains really form.
            b[i] = static_cast<uint8_t>(random() % 4 == 0 ? random() : random() % 12);
        }
        const std::size_t fitting = size < ht::header_size ? 0 : (size - ht::header_size) / 24;
        ht::action found;
        for (uint64_t key = 0; key < 0x100; key += 1 + random() % 16)
            ht::find(b.data(), size, key, static_cast<uint8_t>(random() % 3), found);
        for (int i = 0; i < 4; ++i) {
            const bool added = ht::add(b.data(), size, static_cast<uint32_t>(random()), 1, 2, 3);
            // An entry is only ever added inside the buffer.
            if (added) {
                ASSERT_LE(b[ht::at_count], fitting);
            }
        }
        ASSERT_LE(ht::usable_count(b.data(), size), fitting);
    }
}

} // namespace
