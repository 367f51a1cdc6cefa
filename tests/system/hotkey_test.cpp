// Global hot keys of a running zuvo.exe: keys typed into another program in
// front reach the program through the hook library.

#include "tests/support/fakeaudio/fake_audio.h"
#include "tests/support/files.h"
#include "tests/support/harness.h"
#include "tests/support/keyboard.h"
#include "tests/support/probe.h"

#include "common/unique_resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <thread>

using namespace test_support;
using namespace std::chrono_literals;

namespace {

class hotkeys : public ::testing::Test {
protected:
    hotkeys() : speakers_(fake_.device(L"Speakers")), folder_(std::make_unique<program_folder>()) {
        fake_.set_master(speakers_, 0.4f);
    }

    void start(const std::wstring& settings, bool hook_library = true,
               std::initializer_list<std::wstring> probe_settings = {L"Keys=0x34C"}) {
        if (!hook_library)
            folder_ =
                std::make_unique<program_folder>(program_folder::options{.hook_library = false});
        ASSERT_TRUE(install_probe(*folder_, L"probe.dll", probe_settings));
        folder_->write_ini(L"zuvo.ini", L"[Control00]\r\nCaption=#\r\n" + settings +
                                            plugin_section({L"probe.dll"}));
        zuvo_ = std::make_unique<zuvo_process>(*folder_);
        ASSERT_TRUE(zuvo_->window());
        keys_ = std::make_unique<key_target>();
        ASSERT_TRUE(*keys_) << "no program in front";
    }
    int volume() const { return fakeaudio::percent(fake_.master(speakers_)); }
    // Everything typed has been through the hooks and zuvo has handled
    // whatever they posted.
    void settle() {
        keys_->sync();
        probe_sync(*zuvo_, *folder_, 0);
    }
    // Types a chord into the program in front: modifiers first, the key once
    // they are there, then the modifiers up again.
    bool chord(std::initializer_list<WORD> modifiers, WORD key) {
        if (!keys_->hold(modifiers)) return false;
        const bool tapped = keys_->tap(key);
        keys_->release(modifiers);
        return tapped;
    }
    std::wstring launched() const { return folder_->file(L"launched.txt"); }
    std::wstring launcher(const wchar_t* hotkey) const {
        return L"[Launcher00]\r\nCaption=log\r\nCmdLine=cmd.exe /c echo x>>\"" + launched() +
               L"\"\r\nHotKey=" + hotkey + L"\r\n";
    }

    fakeaudio::installed_fake fake_;
    int speakers_;
    std::unique_ptr<program_folder> folder_;
    std::unique_ptr<zuvo_process> zuvo_;
    std::unique_ptr<key_target> keys_;
};

TEST_F(hotkeys, volume_up_steps_once_per_key_down_and_is_swallowed) {
    start(L"");
    ASSERT_TRUE(keys_->hold({VK_CONTROL, VK_SHIFT}));
    // Auto-repeat: key-downs without key-ups in between.
    for (int i = 0; i < 3; ++i) key_target::send(VK_OEM_PERIOD, false);
    EXPECT_TRUE(wait_until([&] { return volume() == 70; }, 5s)) << volume();
    key_target::send(VK_OEM_PERIOD, true);
    keys_->release({VK_SHIFT, VK_CONTROL});
    settle();
    EXPECT_EQ(volume(), 70);
    EXPECT_TRUE(keys_->got(VK_OEM_PERIOD, true).empty()) << "the program in front saw the key";
}

// A removed hook's library leaves a program only once that program handles a
// message: after Exit zuvo.exe wakes the programs it may have been loaded
// into, and one that never answers holds up neither that nor the end.
TEST_F(hotkeys, exit_wakes_the_programs_the_hook_was_in_without_waiting_for_a_hung_one) {
    start(L"");
    ASSERT_TRUE(chord({VK_CONTROL, VK_SHIFT}, VK_OEM_PERIOD)); // through the hook
    unique_handle go_on(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    HWND hung = nullptr;
    std::thread stuck([&] {
        HWND window = CreateWindowExW(0, L"STATIC", L"hung", WS_POPUP, 0, 0, 10, 10, nullptr,
                                      nullptr, nullptr, nullptr);
        hung = window;
        // Never retrieves a message while the test runs.
        WaitForSingleObject(go_on.get(), INFINITE);
        DestroyWindow(window);
    });
    ASSERT_TRUE(wait_until([&] { return hung != nullptr; }, 5s));
    keys_->clear();
    ASSERT_TRUE(zuvo_->post_command(0x0504));
    EXPECT_TRUE(keys_->wait_for([&] { return !zuvo_->proc().running(); }, 10000))
        << "the end waited for the hung program";
    EXPECT_TRUE(keys_->wait_for([&] {
        const auto& seen = keys_->seen();
        return std::any_of(seen.begin(), seen.end(),
                           [](const MSG& m) { return m.message == key_target_null; });
    })) << "the program in front was not woken";
    SetEvent(go_on.get());
    stuck.join();
}

TEST_F(hotkeys, an_extra_modifier_reaches_the_program_in_front) {
    start(L"");
    ASSERT_TRUE(keys_->hold({VK_CONTROL, VK_SHIFT, VK_MENU}));
    EXPECT_TRUE(keys_->tap('M'));
    keys_->release({VK_MENU, VK_SHIFT, VK_CONTROL});
    settle();
    EXPECT_EQ(keys_->got('M', true).size(), 1u);
    EXPECT_FALSE(fake_.mute(speakers_)) << "without Alt the chord is the mute key";
}

TEST_F(hotkeys, launcher_key_starts_it_and_plugins_register_theirs) {
    start(launcher(L"843")); // Ctrl+Alt+K
    ASSERT_TRUE(keys_->hold({VK_CONTROL, VK_MENU}));
    EXPECT_TRUE(keys_->tap('K'));
    keys_->release({VK_MENU, VK_CONTROL});
    EXPECT_TRUE(wait_until([&] { return file_exists(launched()); }, 10s));
    settle();
    EXPECT_TRUE(keys_->got('K', true).empty());
    const auto registered = probe_records(*folder_, L"keyreg");
    ASSERT_EQ(registered.size(), 1u);
    EXPECT_EQ(registered[0].text(2), L"1");
}

TEST_F(hotkeys, a_table_of_five_refuses_launcher_and_plugin_keys) {
    start(L"[Hotkey]\r\nRegistMax=5\r\n" + launcher(L"843"));
    const auto registered = probe_records(*folder_, L"keyreg");
    ASSERT_EQ(registered.size(), 1u);
    EXPECT_EQ(registered[0].text(2), L"0");
    ASSERT_TRUE(keys_->hold({VK_CONTROL, VK_MENU}));
    EXPECT_TRUE(keys_->tap('K'));
    keys_->release({VK_MENU, VK_CONTROL});
    settle();
    EXPECT_EQ(keys_->got('K', true).size(), 1u) << "a refused key goes on to the program";
    Sleep(500);
    EXPECT_FALSE(file_exists(launched()));
    // The program's own keys still work.
    ASSERT_TRUE(keys_->hold({VK_CONTROL, VK_SHIFT}));
    EXPECT_TRUE(keys_->tap(VK_OEM_PERIOD));
    keys_->release({VK_SHIFT, VK_CONTROL});
    EXPECT_TRUE(wait_until([&] { return volume() == 50; }, 5s));
}

TEST_F(hotkeys, the_volume_key_wins_over_a_launcher_with_the_same_key) {
    start(launcher(L"1470"));
    ASSERT_TRUE(keys_->hold({VK_CONTROL, VK_SHIFT}));
    EXPECT_TRUE(keys_->tap(VK_OEM_PERIOD));
    keys_->release({VK_SHIFT, VK_CONTROL});
    EXPECT_TRUE(wait_until([&] { return volume() == 50; }, 5s));
    settle();
    Sleep(500);
    EXPECT_FALSE(file_exists(launched()));
}

TEST_F(hotkeys, without_the_hook_library_keys_pass_through) {
    start(L"", false);
    const auto registered = probe_records(*folder_, L"keyreg");
    ASSERT_EQ(registered.size(), 1u);
    EXPECT_EQ(registered[0].text(2), L"0");
    ASSERT_TRUE(keys_->hold({VK_CONTROL, VK_SHIFT}));
    EXPECT_TRUE(keys_->tap(VK_OEM_PERIOD));
    keys_->release({VK_SHIFT, VK_CONTROL});
    settle();
    EXPECT_EQ(keys_->got(VK_OEM_PERIOD, true).size(), 1u);
    EXPECT_EQ(volume(), 40);
}

// Every key of the program with its default chord, and two keys a plug-in
// registered, typed into another program: each reaches its command, and the
// program in front never sees them.
TEST_F(hotkeys, default_keys_and_plugin_keys_reach_their_commands) {
    start(L"[Control01]\r\nCaption=Mic\r\nMixer=Microphone\r\n", true,
          {L"Keys=0x34C,0x34E", L"MenuAction=end"});
    const int microphone = fake_.device(L"Microphone");
    fake_.set_master(microphone, 0.2f);
    const auto mic_volume = [&] { return fakeaudio::percent(fake_.master(microphone)); };
    const auto events = [&] {
        std::vector<uint64_t> codes;
        for (const auto& record : probe_records(*folder_, L"event"))
            if (record.number(0) >= probe_protocol::hotkey_base &&
                record.number(0) < probe_protocol::menu_item_base)
                codes.push_back(record.number(0));
        return codes;
    };
    // What the hook posted, as the probe's own hook saw it arrive.
    const auto commanded = [&](uint64_t command) {
        for (const auto& record : probe_records(*folder_, L"msg"))
            if (record.number(0) == WM_COMMAND && record.number(1) == command) return true;
        return false;
    };
    const struct {
        const char* what;
        std::initializer_list<WORD> modifiers;
        WORD key;
        std::function<bool()> done;
    } typed[] = {
        {"volume up", {VK_CONTROL, VK_SHIFT}, VK_OEM_PERIOD, [&] { return volume() == 50; }},
        {"volume down", {VK_CONTROL, VK_SHIFT}, VK_OEM_COMMA, [&] { return volume() == 40; }},
        {"mute", {VK_CONTROL, VK_SHIFT}, 'M', [&] { return fake_.mute(speakers_); }},
        // The next control is the microphone: the same up key moves it now.
        {"next control", {VK_CONTROL, VK_SHIFT}, 'C', [&] { return commanded(0x0583); }},
        {"up on the next control",
         {VK_CONTROL, VK_SHIFT},
         VK_OEM_PERIOD,
         [&] { return mic_volume() == 30 && volume() == 40; }},
        {"plug-in key 0",
         {VK_CONTROL, VK_MENU},
         'L',
         [&] { return events() == std::vector<uint64_t>{0x100}; }},
        {"plug-in key 1",
         {VK_CONTROL, VK_MENU},
         'N',
         [&] {
             return events() == std::vector<uint64_t>{0x100, 0x101};
         }},
        // Last: the menu takes the foreground from the program in front.
        {"popup menu",
         {VK_CONTROL, VK_SHIFT},
         'V',
         [&] { return probe_records(*folder_, L"popup").size() == 1; }},
    };
    for (const auto& t : typed) {
        SCOPED_TRACE(t.what);
        EXPECT_TRUE(chord(t.modifiers, t.key));
        settle();
        EXPECT_TRUE(wait_until(t.done, 5s));
        EXPECT_TRUE(keys_->got(t.key, true).empty()) << "the program in front saw the key";
        keys_->clear();
    }
    EXPECT_EQ(mic_volume(), 30);
    EXPECT_EQ(volume(), 40);
    // The menu took the foreground; the program in front ends sooner with it.
    SetForegroundWindow(keys_->window());
}

} // namespace
