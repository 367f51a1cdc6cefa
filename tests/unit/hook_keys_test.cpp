// Hot keys end to end: this test connects the hook library like the main
// program (a hidden window and its message loop), a second process holds
// the keyboard, and keys come from SendInput. The system loads the library
// into that process and the hook there posts to our window.
//
// The hook reads the modifiers when the program in front retrieves the key,
// so modifiers are pressed first and the test waits until that program has
// seen them before it sends the key itself.

#include "tests/support/keyboard.h"
#include "tests/unit/hook_library.h"

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>

using hook_test::library;
using hook_test::raw_section;

namespace {

constexpr UINT hot_message = WM_APP + 1;
constexpr WPARAM volume_up = 0x0580, mute = 0x0582, arrow_up = 0x9001, win_g = 0x9002;

struct registration {
    uint32_t code;
    WPARAM command;
} const registrations[] = {
    {0x05BE, volume_up}, // Ctrl+Shift+period
    {0x054D, mute},      // Ctrl+Shift+M
    {0x8026, arrow_up},  // Up arrow; keypad 8 without NumLock is the same key, not extended
    {0x0847, win_g},     // Win+G
};

class hook_keys : public ::testing::Test {
protected:
    static inline std::unique_ptr<test_support::key_target> keys;

    static void SetUpTestSuite() {
        keys = std::make_unique<test_support::key_target>();
        if (*keys && library().connect) connect();
    }
    static void TearDownTestSuite() {
        if (library().disconnect) library().disconnect();
        keys.reset();
    }

    void SetUp() override {
        ASSERT_TRUE(*keys) << "no program in front";
        ASSERT_EQ(GetForegroundWindow(), keys->window());
        keys->clear();
    }
    // Whatever a failure left pressed must not leak into the next case.
    void TearDown() override { keys->release_all(); }

    static bool connect() {
        if (!library().connect(keys->sink(), 16)) return false;
        for (const auto& r : registrations) library().key_regist(r.code, hot_message, r.command, 0);
        return true;
    }
    static std::size_t hot_keys(WPARAM command) {
        std::size_t n = 0;
        for (const auto& m : keys->seen())
            if (m.message == hot_message && m.wParam == command) ++n;
        return n;
    }
    static std::vector<LPARAM> target_got(WPARAM key, bool down) { return keys->got(key, down); }
    static bool wait_for(const std::function<bool()>& done) { return keys->wait_for(done); }
    static void send(WORD key, bool up, bool extended = false) { keys->send(key, up, extended); }
    static void hold(std::initializer_list<WORD> pressed) {
        ASSERT_TRUE(keys->hold(pressed)) << "a modifier did not arrive";
    }
    static void release(std::initializer_list<WORD> pressed) { keys->release(pressed); }
    static void tap(WORD key, bool extended = false) {
        EXPECT_TRUE(keys->tap(key, extended)) << "key " << key << " did not arrive";
    }
    static void sync() { keys->sync(); }
};

TEST_F(hook_keys, held_chord_posts_once_per_key_down_and_is_swallowed) {
    hold({VK_CONTROL, VK_SHIFT});
    // Auto-repeat: key-downs without key-ups in between.
    for (int i = 0; i < 3; ++i) send(VK_OEM_PERIOD, false);
    EXPECT_TRUE(wait_for([] { return hot_keys(volume_up) >= 3; }));
    send(VK_OEM_PERIOD, true);
    release({VK_SHIFT, VK_CONTROL});
    sync();
    EXPECT_EQ(hot_keys(volume_up), 3u);
    EXPECT_TRUE(target_got(VK_OEM_PERIOD, true).empty());
    // Only the key-down is the hot key; its key-up goes on.
    EXPECT_EQ(target_got(VK_OEM_PERIOD, false).size(), 1u);
}

TEST_F(hook_keys, chord_without_modifiers_reaches_the_window) {
    tap(VK_OEM_PERIOD);
    hold({VK_SHIFT});
    tap(VK_OEM_PERIOD);
    release({VK_SHIFT});
    sync();
    EXPECT_EQ(hot_keys(volume_up), 0u);
    EXPECT_EQ(target_got(VK_OEM_PERIOD, true).size(), 2u);
}

TEST_F(hook_keys, extra_modifier_is_another_key) {
    hold({VK_CONTROL, VK_SHIFT});
    tap('M');
    hold({VK_MENU});
    tap('M');
    release({VK_MENU, VK_SHIFT, VK_CONTROL});
    sync();
    EXPECT_EQ(hot_keys(mute), 1u);
    // Ctrl+Shift+Alt+M arrives; Ctrl+Shift+M did not.
    EXPECT_EQ(target_got('M', true).size(), 1u);
}

TEST_F(hook_keys, right_control_counts_as_control) {
    hold({VK_RCONTROL, VK_SHIFT});
    tap('M');
    release({VK_SHIFT, VK_RCONTROL});
    sync();
    EXPECT_EQ(hot_keys(mute), 1u);
    EXPECT_TRUE(target_got('M', true).empty());
}

TEST_F(hook_keys, extended_bit_tells_arrow_from_keypad) {
    tap(VK_UP, true);
    tap(VK_UP, false);
    sync();
    EXPECT_EQ(hot_keys(arrow_up), 1u);
    const auto downs = target_got(VK_UP, true);
    ASSERT_EQ(downs.size(), 1u);
    EXPECT_EQ(downs[0] & (1 << 24), 0) << "the window got the extended one";
}

TEST_F(hook_keys, windows_key_modifier) {
    hold({VK_LWIN});
    tap('G');
    release({VK_LWIN});
    tap('G');
    sync();
    EXPECT_EQ(hot_keys(win_g), 1u);
    EXPECT_EQ(target_got('G', true).size(), 1u);
}

// Connecting twice and disconnecting leaves no hook of ours behind, even
// while another process still holds the section with the keys in it.
TEST_F(hook_keys, reconnect_and_disconnect_leave_no_hook_behind) {
    ASSERT_TRUE(connect());
    raw_section held = raw_section::open();
    ASSERT_TRUE(held);
    ASSERT_GT(held[hook_table::at_count], 0);
    library().disconnect();
    hold({VK_CONTROL, VK_SHIFT});
    tap('M');
    release({VK_SHIFT, VK_CONTROL});
    sync();
    EXPECT_EQ(hot_keys(mute), 0u);
    EXPECT_EQ(target_got('M', true).size(), 1u);
    // The other cases may run after this one.
    EXPECT_TRUE(connect());
}

} // namespace
