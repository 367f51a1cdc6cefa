// Hot keys end to end: this test connects the hook library like the main
// program (a hidden window and its message loop), a second process holds
// the keyboard, and keys come from SendInput. The system loads the library
// into that process and the hook there posts to our window.
//
// The hook reads the modifiers when the program in front retrieves the key,
// so modifiers are pressed first and the test waits until that program has
// seen them before it sends the key itself.

#include "tests/unit/hook_key_target.h"
#include "tests/unit/hook_library.h"

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>

using hook_test::library;
using hook_test::raw_section;
using hook_test::sink_window;

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

struct target_process {
    PROCESS_INFORMATION info{};
    HWND window = nullptr;

    ~target_process() {
        if (window) PostMessageW(window, WM_CLOSE, 0, 0);
        if (info.hProcess) {
            if (WaitForSingleObject(info.hProcess, 5000) != WAIT_OBJECT_0)
                TerminateProcess(info.hProcess, 1);
            CloseHandle(info.hProcess);
            CloseHandle(info.hThread);
        }
    }
};

class hook_keys : public ::testing::Test {
protected:
    struct session {
        sink_window owner;
        target_process target;
        std::vector<MSG> seen;
    };
    static inline std::unique_ptr<session> s;

    static void SetUpTestSuite() {
        s = std::make_unique<session>();
        if (!library().connect || !connect()) return;

        std::wstring command = L"\"" + test_support::exe_folder() + L"\\hook_key_target.exe\" " +
                               std::to_wstring(reinterpret_cast<uintptr_t>(s->owner.get()));
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &s->target.info))
            return;
        if (!wait_for([] { return ready() != nullptr; })) return;
        s->target.window = reinterpret_cast<HWND>(ready()->lParam);
        // When its window gets the focus, Wine brings the modifier keys in
        // line with the X keyboard, where nothing is pressed; a modifier
        // pressed before the program has handled that would count as released.
        pause(200);
        sync();
    }

    static void TearDownTestSuite() {
        if (library().disconnect) library().disconnect();
        s.reset();
    }

    void SetUp() override {
        ASSERT_NE(s->target.window, nullptr) << "no program in front";
        ASSERT_EQ(GetForegroundWindow(), s->target.window);
        s->seen.clear();
    }

    void TearDown() override {
        // Whatever a failure left pressed must not leak into the next case.
        for (WORD key : {VK_CONTROL, VK_RCONTROL, VK_SHIFT, VK_MENU, VK_LWIN}) send(key, true);
        sync();
    }

    static bool connect() {
        if (!library().connect(s->owner.get(), 16)) return false;
        for (const auto& r : registrations) library().key_regist(r.code, hot_message, r.command, 0);
        return true;
    }

    static const MSG* ready() {
        for (const auto& m : s->seen)
            if (m.message == key_target_ready) return &m;
        return nullptr;
    }

    // Pumps our window until `done` holds, for up to five seconds.
    static bool wait_for(const std::function<bool()>& done) {
        const ULONGLONG deadline = GetTickCount64() + 5000;
        for (;;) {
            for (const auto& m : s->owner.take()) s->seen.push_back(m);
            if (done()) return true;
            if (GetTickCount64() > deadline) return false;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }

    static void send(WORD key, bool up, bool extended = false) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
        input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
        input.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (extended ? KEYEVENTF_EXTENDEDKEY : 0);
        SendInput(1, &input, sizeof input);
    }

    // Key messages the program in front got for `key`.
    static std::vector<LPARAM> target_got(WPARAM key, bool down) {
        std::vector<LPARAM> flags;
        for (const auto& m : s->seen) {
            const bool is_up = (static_cast<uint32_t>(m.lParam) & 0x80000000u) != 0;
            if (m.message == key_target_key && m.wParam == key && is_up != down)
                flags.push_back(m.lParam);
        }
        return flags;
    }
    static std::size_t hot_keys(WPARAM command) {
        std::size_t n = 0;
        for (const auto& m : s->seen)
            if (m.message == hot_message && m.wParam == command) ++n;
        return n;
    }

    // Presses modifiers and waits until the program in front has them.
    static void hold(std::initializer_list<WORD> keys) {
        for (WORD key : keys) {
            const WORD reported = key == VK_RCONTROL ? VK_CONTROL : key;
            const std::size_t before = target_got(reported, true).size();
            send(key, false, key == VK_RCONTROL);
            ASSERT_TRUE(wait_for([&] { return target_got(reported, true).size() > before; }))
                << "modifier " << key << " did not arrive";
        }
        // Wine keeps a thread's GetAsyncKeyState answers for 50 ms after it
        // last asked the server, so a key sooner than that would be judged
        // by the modifiers of the key before.
        pause(60);
    }
    static void pause(DWORD milliseconds) {
        const ULONGLONG end = GetTickCount64() + milliseconds;
        wait_for([&] { return GetTickCount64() >= end; });
    }
    static void release(std::initializer_list<WORD> keys) {
        for (WORD key : keys) send(key, true, key == VK_RCONTROL);
    }
    // Presses and releases a key and waits until the program in front got
    // the key-up, which always passes the hook: only then may the modifiers
    // go, as the hook reads them when that program takes the key-down.
    static void tap(WORD key, bool extended = false) {
        const std::size_t before = target_got(key, false).size();
        send(key, false, extended);
        send(key, true, extended);
        EXPECT_TRUE(wait_for([&] { return target_got(key, false).size() > before; }))
            << "key " << key << " did not arrive";
    }

    // A key nobody registered goes round: once the program in front has it,
    // everything sent before has been through the hook.
    static void sync() { tap('Z'); }
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
