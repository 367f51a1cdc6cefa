// The hook library on the real named section: its exports bound by name, the
// table as other processes see it, and the hook procedure called directly on
// tables that a damaged or foreign section may hold.
//
// The target window is null here: the procedure runs on the test's thread,
// so its posts land in that thread's own queue, and no window (nor the
// desktop that Wine starts for the first one) is needed.

#include "tests/unit/hook_library.h"

#include <gtest/gtest.h>

#include <cstring>

namespace ht = hook_table;
using hook_test::library;
using hook_test::raw_section;
using hook_test::take_thread_messages;

namespace {

constexpr UINT hot_message = WM_APP + 1;

// One key-down as the hook sees it: repeat count 1, and the extended flag.
LPARAM key_down_flags(bool extended = false) {
    return 1 | (extended ? 1 << 24 : 0);
}
LPARAM key_up_flags() {
    return static_cast<LPARAM>(0xC0000001u);
}

class hook_section : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(library().connect, nullptr) << "zuvohook.dll did not load or bind";
        take_thread_messages();
    }
    void TearDown() override { library().disconnect(); }

    bool connect(uint32_t capacity, HWND target = nullptr) {
        return library().connect(target, capacity);
    }
    bool regist(uint32_t code, WPARAM wparam, LPARAM lparam = 0) {
        return library().key_regist(code, hot_message, wparam, lparam);
    }
    // One call of the hook procedure; what it returned and what it posted.
    struct outcome {
        LRESULT result;
        std::vector<MSG> posted;
    };
    outcome press(WPARAM key, LPARAM flags = key_down_flags()) {
        LRESULT result = library().keyboard_proc(HC_ACTION, key, flags);
        return {result, take_thread_messages()};
    }
};

TEST_F(hook_section, exports_are_bound_by_their_plain_names) {
    for (const char* name : {"ZUVOHOOK_connect", "ZUVOHOOK_key_regist", "ZUVOHOOK_disconnect"}) {
        HMODULE module = GetModuleHandleW(L"zuvohook.dll");
        EXPECT_NE(GetProcAddress(module, name), nullptr) << name;
    }
}

TEST_F(hook_section, register_and_disconnect_without_connect_change_nothing) {
    // A table someone else keeps in the section stays as it is.
    raw_section foreign = raw_section::create(4096);
    ASSERT_TRUE(foreign);
    ASSERT_TRUE(ht::initialise(foreign.bytes(), foreign.size, 4, 0));
    EXPECT_FALSE(regist(0x41, 1));
    library().disconnect();
    EXPECT_FALSE(regist(0x41, 1));
    EXPECT_EQ(foreign[ht::at_count], 0);
    EXPECT_EQ(foreign[ht::at_buckets + 1], 0xFF);
}

TEST_F(hook_section, failed_connect_leaves_nothing_to_register_into) {
    // The name taken by an object of another kind: no section can be had.
    unique_handle squatter(CreateMutexW(nullptr, FALSE, zuvohook_section_name));
    ASSERT_TRUE(squatter);
    EXPECT_FALSE(connect(8));
    EXPECT_FALSE(regist(0x41, 1));
    squatter.reset();
    // Once the name is free again, connecting works.
    ASSERT_TRUE(connect(8));
    ASSERT_TRUE(regist(0x41, 1));
    raw_section held = raw_section::open();
    ASSERT_TRUE(held);
    EXPECT_EQ(held[ht::at_count], 1);
}

TEST_F(hook_section, connect_lays_out_an_empty_table) {
    const auto target = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x7654321));
    ASSERT_TRUE(connect(0x105, target)); // the low eight bits: 5 entries
    raw_section s = raw_section::open();
    ASSERT_TRUE(s);
    ASSERT_GE(s.size, ht::bytes_for(5));
    uint64_t hook = 0, window = 0;
    std::memcpy(&hook, s.bytes() + 0, 8);
    std::memcpy(&window, s.bytes() + 8, 8);
    EXPECT_NE(hook, 0u);
    EXPECT_NE(hook, ~uint64_t{0});
    EXPECT_EQ(window, 0x7654321u);
    EXPECT_EQ(s[16], 5);
    EXPECT_EQ(s[17], 0);
    for (std::size_t i = 18; i < ht::bytes_for(5); ++i) ASSERT_EQ(s[i], 0xFF) << "byte " << i;
}

TEST_F(hook_section, entries_at_their_byte_offsets) {
    ASSERT_TRUE(connect(4));
    const auto lparam = static_cast<LPARAM>(sizeof(LPARAM) == 8 ? 0x1122334455667788ll : -2);
    ASSERT_TRUE(library().key_regist(0x8526, 0xC0DE0111, 0x0580, lparam));
    ASSERT_TRUE(regist(0x0566, 7)); // same bucket, 0x66 & 0x3F == 0x26
    raw_section s = raw_section::open();
    ASSERT_TRUE(s);
    EXPECT_EQ(s[17], 2);
    EXPECT_EQ(s[18 + 0x26], 0);
    const uint8_t first[24] = {0x26, 0x85, 0x01, 0xFF, 0x11, 0x01, 0xDE, 0xC0,
                               0x80, 0x05, 0,    0,    0,    0,    0,    0,
                               0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11};
    const uint8_t first_32bit_lparam[8] = {0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(std::memcmp(s.bytes() + 88, first, 16), 0);
    EXPECT_EQ(
        std::memcmp(s.bytes() + 88 + 16, sizeof(LPARAM) == 8 ? first + 16 : first_32bit_lparam, 8),
        0);
    const uint8_t second[12] = {0x66, 0x05, 0xFF, 0xFF, 0x01, 0x80, 0x00, 0x00, 7, 0, 0, 0};
    EXPECT_EQ(std::memcmp(s.bytes() + 88 + 24, second, 12), 0);
}

TEST_F(hook_section, chains_over_all_buckets_find_every_key) {
    ASSERT_TRUE(connect(255));
    for (uint32_t key = 1; key <= 255; ++key) ASSERT_TRUE(regist(key, key)) << key;
    EXPECT_FALSE(regist(0x20, 0)); // the table is full
    raw_section s = raw_section::open();
    ASSERT_TRUE(s);
    // Key k went to index k - 1; bucket b chains b, b + 64, b + 128, b + 192.
    for (unsigned bucket = 0; bucket < 64; ++bucket) {
        std::vector<unsigned> chain;
        for (uint8_t i = s[ht::at_buckets + bucket]; i != 0xFF && chain.size() < 8;
             i = s.entry(i)[ht::entry_next])
            chain.push_back(s.entry(i)[ht::entry_key]);
        std::vector<unsigned> expected;
        for (unsigned key = bucket; key < 256; key += 64)
            if (key != 0) expected.push_back(key);
        EXPECT_EQ(chain, expected) << "bucket " << bucket;
    }
    // The hook procedure finds each of them, posts it once and swallows it.
    for (WPARAM key = 1; key <= 255; ++key) {
        auto o = press(key);
        ASSERT_EQ(o.result, 1) << key;
        ASSERT_EQ(o.posted.size(), 1u) << key;
        EXPECT_EQ(o.posted[0].message, hot_message);
        EXPECT_EQ(o.posted[0].wParam, key);
    }
}

TEST_F(hook_section, first_of_two_registrations_wins) {
    ASSERT_TRUE(connect(8));
    ASSERT_TRUE(regist(0x004D, 1, 10));
    ASSERT_TRUE(regist(0x004D, 2, 20));
    auto o = press(0x4D);
    EXPECT_EQ(o.result, 1);
    ASSERT_EQ(o.posted.size(), 1u);
    EXPECT_EQ(o.posted[0].wParam, 1u);
    EXPECT_EQ(o.posted[0].lParam, 10);
}

TEST_F(hook_section, capacity_plus_one_is_refused_and_reconnect_empties) {
    ASSERT_TRUE(connect(3));
    EXPECT_TRUE(regist(0x41, 1));
    EXPECT_TRUE(regist(0x42, 2));
    EXPECT_TRUE(regist(0x43, 3));
    EXPECT_FALSE(regist(0x44, 4));
    EXPECT_EQ(press(0x44).posted.size(), 0u);
    ASSERT_TRUE(connect(3));
    EXPECT_EQ(press(0x41).posted.size(), 0u);
    EXPECT_TRUE(regist(0x44, 4));
    EXPECT_EQ(press(0x44).posted.size(), 1u);
}

TEST_F(hook_section, no_virtual_key_is_refused) {
    ASSERT_TRUE(connect(3));
    EXPECT_FALSE(regist(0x0500, 1));
    EXPECT_FALSE(regist(0xFF00, 1));
    raw_section s = raw_section::open();
    EXPECT_EQ(s[ht::at_count], 0);
}

TEST_F(hook_section, extended_flag_and_key_ups) {
    ASSERT_TRUE(connect(4));
    ASSERT_TRUE(regist(0x8026, 1)); // Up arrow, not keypad 8
    auto extended = press(VK_UP, key_down_flags(true));
    EXPECT_EQ(extended.result, 1);
    EXPECT_EQ(extended.posted.size(), 1u);
    auto keypad = press(VK_UP, key_down_flags(false));
    EXPECT_EQ(keypad.result, 0);
    EXPECT_EQ(keypad.posted.size(), 0u);
    // Key-ups, and calls the hook must only pass on, never match.
    auto up = press(VK_UP, key_up_flags() | (1 << 24));
    EXPECT_EQ(up.result, 0);
    EXPECT_EQ(up.posted.size(), 0u);
    EXPECT_EQ(library().keyboard_proc(-1, VK_UP, key_down_flags(true)), 0);
    EXPECT_EQ(take_thread_messages().size(), 0u);
}

TEST_F(hook_section, existing_smaller_section_limits_the_capacity) {
    // A one-page section left by someone else; 255 entries would need 6208 bytes.
    raw_section small = raw_section::create(4096);
    ASSERT_TRUE(small);
    ASSERT_TRUE(connect(255));
    const uint8_t fitting = ht::capacity_within(255, small.size);
    EXPECT_EQ(small[ht::at_capacity], fitting);
    EXPECT_LT(fitting, 255);
    for (uint32_t i = 0; i < fitting; ++i) ASSERT_TRUE(regist(1 + i % 255, i)) << i;
    EXPECT_FALSE(regist(0x41, 0));
    EXPECT_EQ(small[ht::at_count], fitting);
    EXPECT_EQ(press(fitting).posted.size(), 1u);
}

TEST_F(hook_section, missing_section_lets_keys_through) {
    EXPECT_FALSE(raw_section::open());
    EXPECT_EQ(press(0x41).result, 0);
}

// Damaged tables, written by the test into a section of its own.

// Header claiming `capacity` and `count`, all buckets empty.
void write_header(const raw_section& s, uint8_t capacity, uint8_t count, HWND target) {
    std::memset(s.bytes(), 0xFF, ht::header_size);
    const auto window = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(target));
    std::memcpy(s.bytes() + ht::at_window, &window, 8);
    s[ht::at_capacity] = capacity;
    s[ht::at_count] = count;
}

void write_entry(const raw_section& s, std::size_t index, uint8_t key, uint8_t next,
                 uint64_t wparam) {
    uint8_t* e = s.entry(index);
    e[0] = key;
    e[1] = 0;
    e[2] = next;
    e[3] = 0xFF;
    const uint32_t message = hot_message;
    std::memcpy(e + 4, &message, 4);
    std::memcpy(e + 8, &wparam, 8);
    std::memset(e + 16, 0, 8);
}

TEST_F(hook_section, header_claiming_more_than_the_section_holds) {
    raw_section s = raw_section::create(4096);
    ASSERT_TRUE(s);
    const std::size_t fitting = (s.size - ht::header_size) / ht::entry_size;
    write_header(s, 255, 255, nullptr);
    write_entry(s, 0, 0x41, 250, 1);            // matches; its next is far outside
    write_entry(s, fitting - 1, 0x42, 0xFE, 2); // the last entry that fits
    s[ht::at_buckets + 0x01] = 0;
    s[ht::at_buckets + 0x02] = static_cast<uint8_t>(fitting - 1);
    s[ht::at_buckets + 0x03] = 240; // head outside
    EXPECT_EQ(press(0x41).posted.size(), 1u);
    EXPECT_EQ(press(0x42).posted.size(), 1u);
    // Chains leading outside the view end there.
    EXPECT_EQ(press(0x81).result, 0);
    EXPECT_EQ(press(0x43).result, 0);
    EXPECT_EQ(press(0x82).result, 0);
    EXPECT_EQ(take_thread_messages().size(), 0u);
}

TEST_F(hook_section, header_claiming_pages_that_are_not_committed) {
    // 64 KiB reserved, only the first page usable.
    raw_section s = raw_section::create(65536, SEC_RESERVE);
    ASSERT_TRUE(s);
    write_header(s, 255, 255, nullptr);
    write_entry(s, 0, 0x41, 200, 1);
    s[ht::at_buckets + 0x01] = 0;
    s[ht::at_buckets + 0x03] = 230;
    EXPECT_EQ(press(0x41).posted.size(), 1u);
    EXPECT_EQ(press(0x81).result, 0);
    EXPECT_EQ(press(0x43).result, 0);
}

TEST_F(hook_section, chains_in_a_circle_end) {
    raw_section s = raw_section::create(4096);
    ASSERT_TRUE(s);
    write_header(s, 8, 3, nullptr);
    write_entry(s, 0, 0x01, 1, 1);
    write_entry(s, 1, 0x41, 2, 2);
    write_entry(s, 2, 0x81, 1, 3); // back to 1
    s[ht::at_buckets + 1] = 0;
    // Run on a thread of its own, so that an endless walk fails the test
    // instead of hanging it.
    struct call {
        static DWORD WINAPI run(void*) {
            return static_cast<DWORD>(library().keyboard_proc(HC_ACTION, 0xC1, key_down_flags()));
        }
    };
    unique_handle thread(CreateThread(nullptr, 0, call::run, nullptr, 0, nullptr));
    ASSERT_TRUE(thread);
    const DWORD waited = WaitForSingleObject(thread.get(), 5000);
    if (waited != WAIT_OBJECT_0) TerminateThread(thread.get(), 1);
    ASSERT_EQ(waited, WAIT_OBJECT_0) << "the walk did not end";
    DWORD result = 99;
    GetExitCodeThread(thread.get(), &result);
    EXPECT_EQ(result, 0u);
    EXPECT_EQ(press(0x81).posted.size(), 1u);
}

TEST_F(hook_section, register_into_a_damaged_table) {
    ASSERT_TRUE(connect(4));
    ASSERT_TRUE(regist(0x01, 1));
    ASSERT_TRUE(regist(0x41, 2));
    raw_section s = raw_section::open();
    ASSERT_TRUE(s);
    // Another program turns the chain of bucket 1 into a circle.
    s.entry(1)[ht::entry_next] = 0;
    EXPECT_FALSE(regist(0x81, 3));
    EXPECT_EQ(s[ht::at_count], 2);
    EXPECT_TRUE(regist(0x02, 4));
    // And claims a capacity the section cannot hold: adding stops at the
    // end of the view.
    s[ht::at_capacity] = 255;
    const std::size_t fitting = (s.size - ht::header_size) / ht::entry_size;
    std::size_t added = 3;
    while (added < 300 && regist(0x03, added)) ++added;
    EXPECT_EQ(added, std::min<std::size_t>(fitting, 255));
}

} // namespace
