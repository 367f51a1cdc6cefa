// The tray program when devices are plugged in and out and the default
// device changes, with the fake audio system inside it: controls on the
// default device move to the new one at once, named ones stay on theirs.

#include "tests/support/fakeaudio/fake_audio.h"
#include "tests/support/files.h"
#include "tests/support/harness.h"
#include "tests/support/probe.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>

using namespace test_support;
using namespace std::chrono_literals;

namespace {

constexpr UINT devices_changed = 0x0830;
constexpr UINT balloon_request = 0x0820;
constexpr UINT tips_request = 0x0800;
constexpr WPARAM output_next = 0x0587;
constexpr WPARAM output_select = 0x0588; // + index << 16

using fakeaudio::percent;

fakeaudio::description two_outputs_two_inputs() {
    fakeaudio::description d;
    d.render(L"Speakers", true, 0.3f);
    d.render(L"Headphones", false, 0.6f);
    d.capture(L"Microphone", true, 0.2f);
    d.capture(L"Line In", false, 0.5f);
    return d;
}

class default_device : public ::testing::Test {
protected:
    default_device()
        : fake_(two_outputs_two_inputs()), speakers_(fake_.device(L"Speakers")),
          headphones_(fake_.device(L"Headphones")), line_in_(fake_.device(L"Line In")) {}

    // Control 0 on the default device, 1 and 2 on named outputs, 3 on a
    // named input. The balloon carries the tray tip text, so the probe's
    // record of it shows what the tray says.
    void start(const std::wstring& controls = L"[Control00]\r\nCaption=#\r\n"
                                              L"[Control01]\r\nCaption=#\r\nMixer=Speakers\r\n"
                                              L"[Control02]\r\nCaption=#\r\nMixer=Headphones\r\n"
                                              L"[Control03]\r\nCaption=#\r\nMixer=Line In\r\n") {
        ASSERT_TRUE(install_probe(folder_, L"probe.dll",
                                  {L"Log=0x111,0x800,0x820,0x830", L"MenuAction=end"}));
        folder_.write_ini(L"zuvo.ini", L"[Basic]\r\nTrayiconBaloon=1\r\n" + controls +
                                           plugin_section({L"probe.dll"}));
        zuvo_ = std::make_unique<zuvo_process>(folder_);
        ASSERT_TRUE(zuvo_->window());
        ASSERT_TRUE(probe_sync(*zuvo_, folder_, 0));
    }

    // The controls' lines of the popup menu, by slot.
    std::map<int, std::wstring> menu_lines() {
        const size_t before = probe_records(folder_, L"action").size();
        zuvo_->post_command(0x0584);
        std::map<int, std::wstring> lines;
        if (!wait_for_probe_records(folder_, L"action", before + 1)) return lines;
        probe_sync(*zuvo_, folder_, 0);
        for (const auto& item : last_probe_popup(folder_))
            if (item.text.size() > 3 && item.text[0] == L'&' && item.text[2] == L':')
                lines[item.text[1] - L'0'] = item.text.substr(4);
        return lines;
    }
    size_t device_messages() const {
        size_t n = 0;
        for (const auto& r : probe_records(folder_, L"msg")) n += r.number(0) == devices_changed;
        return n;
    }
    // Makes a change in the fake and waits until the program took the device
    // message it caused, and everything that one posted in turn, with no
    // command from us.
    template <typename Change> bool handled(Change change) {
        const size_t before = device_messages();
        change();
        return wait_until([&] { return device_messages() > before; }, 5s) &&
               probe_sync(*zuvo_, folder_, 0);
    }
    std::wstring tray_tip() { return last_posted_text(*zuvo_, folder_, balloon_request); }

    fakeaudio::installed_fake fake_;
    int speakers_, headphones_, line_in_;
    program_folder folder_;
    std::unique_ptr<zuvo_process> zuvo_;
};

TEST_F(default_device, control_on_the_default_follows_it_and_named_controls_stay) {
    start();
    using lines = std::map<int, std::wstring>;
    EXPECT_EQ(tray_tip(), L"Speakers  30% [Active]");
    EXPECT_EQ(menu_lines(), (lines{{0, L"Speakers  30% "},
                                   {1, L"Speakers  30% "},
                                   {2, L"Headphones  60% "},
                                   {3, L"Line In  50% "}}));

    // Headphones plugged in and made the default: the tray follows on its own.
    ASSERT_TRUE(handled([&] { fake_.set_default(headphones_); }));
    EXPECT_EQ(tray_tip(), L"Headphones  60% [Active]");
    EXPECT_EQ(fake_.calls_from_callbacks(), 0) << "the callbacks did the work themselves";
    const auto [lookup_process, lookup_thread] = fake_.last_default_lookup();
    EXPECT_EQ(lookup_process, zuvo_->proc().id());
    EXPECT_EQ(lookup_thread, GetWindowThreadProcessId(zuvo_->window(), nullptr))
        << "the new default was looked up off the window thread";

    // The hot keys' commands now change the headphones, nothing else.
    zuvo_->post_command(0x0580);
    EXPECT_TRUE(wait_until([&] { return percent(fake_.master(headphones_)) == 70; }, 5s));
    zuvo_->post_command(0x0582);
    EXPECT_TRUE(wait_until([&] { return fake_.mute(headphones_); }, 5s));
    probe_sync(*zuvo_, folder_, 0);
    EXPECT_EQ(percent(fake_.master(speakers_)), 30);
    EXPECT_FALSE(fake_.mute(speakers_));
    EXPECT_EQ(menu_lines(), (lines{{0, L"Headphones  70% [Mute]"},
                                   {1, L"Speakers  30% "},
                                   {2, L"Headphones  70% [Mute]"},
                                   {3, L"Line In  50% "}}));
    // A change from outside reaches the control through the new device.
    fake_.set_mute(headphones_, false);
    EXPECT_TRUE(wait_until([&] { return tray_tip() == L"Headphones  70% [Active]"; }, 5s))
        << tray_tip();

    // And back to the speakers.
    ASSERT_TRUE(handled([&] { fake_.set_default(speakers_); }));
    EXPECT_EQ(tray_tip(), L"Speakers  30% [Active]");
    zuvo_->post_command(0x0581);
    EXPECT_TRUE(wait_until([&] { return percent(fake_.master(speakers_)) == 20; }, 5s));
    EXPECT_EQ(percent(fake_.master(headphones_)), 70);
    EXPECT_EQ(fake_.calls_from_callbacks(), 0);
}

TEST_F(default_device, unplugged_device_shows_the_error_at_once_and_comes_back) {
    start();
    using lines = std::map<int, std::wstring>;
    // The named headphones control is the current one.
    zuvo_->post_command(0x00020585);
    probe_sync(*zuvo_, folder_, 0);
    EXPECT_EQ(tray_tip(), L"Headphones  60% [Active]");

    ASSERT_TRUE(handled([&] { fake_.remove(headphones_); }));
    EXPECT_EQ(tray_tip(), L"#   0% [ERROR]");
    EXPECT_EQ(menu_lines(), (lines{{0, L"Speakers  30% "},
                                   {1, L"Speakers  30% "},
                                   {2, L"#   0% [ERROR]"},
                                   {3, L"Line In  50% "}}));
    // Commands meanwhile reach no device.
    for (WPARAM command : {0x0580, 0x0582, 0x00020501}) zuvo_->post_command(command);
    probe_sync(*zuvo_, folder_, 0);
    EXPECT_EQ(percent(fake_.master(headphones_)), 60);
    EXPECT_FALSE(fake_.mute(headphones_));
    EXPECT_EQ(tray_tip(), L"#   0% [ERROR]");
    fake_.set_master(headphones_, 0.4f);
    ASSERT_TRUE(handled([&] { fake_.restore(headphones_); }));
    EXPECT_EQ(tray_tip(), L"Headphones  40% [Active]");
    zuvo_->post_command(0x0580);
    EXPECT_TRUE(wait_until([&] { return percent(fake_.master(headphones_)) == 50; }, 5s));

    // The default speakers unplugged: the default control goes to the
    // headphones, the one naming the speakers shows the error, and both
    // come back when the speakers do and are made the default again.
    zuvo_->post_command(0x00000585);
    probe_sync(*zuvo_, folder_, 0);
    ASSERT_TRUE(handled([&] { fake_.remove(speakers_); }));
    EXPECT_EQ(tray_tip(), L"Headphones  50% [Active]");
    EXPECT_EQ(menu_lines(), (lines{{0, L"Headphones  50% "},
                                   {1, L"#   0% [ERROR]"},
                                   {2, L"Headphones  50% "},
                                   {3, L"Line In  50% "}}));
    ASSERT_TRUE(handled([&] {
        fake_.restore(speakers_);
        fake_.set_default(speakers_);
    }));
    EXPECT_TRUE(wait_until([&] { return tray_tip() == L"Speakers  30% [Active]"; }, 5s))
        << tray_tip();
    EXPECT_EQ(menu_lines(), (lines{{0, L"Speakers  30% "},
                                   {1, L"Speakers  30% "},
                                   {2, L"Headphones  50% "},
                                   {3, L"Line In  50% "}}));

    // A named input goes and comes back the same way.
    fake_.remove(line_in_);
    EXPECT_EQ(menu_lines()[3], L"#   0% [ERROR]");
    fake_.restore(line_in_);
    EXPECT_EQ(menu_lines()[3], L"Line In  50% ");
    EXPECT_EQ(fake_.calls_from_callbacks(), 0);
    // The program ends leaving no audio object behind.
    EXPECT_EQ(zuvo_->exit(), 0u);
    EXPECT_EQ(fake_.live_objects_everywhere(), 0);
}

// A program's control moves that program's sessions on its device and
// nothing else, follows outside changes, and shows a program that plays
// nothing as idle until it plays.
TEST_F(default_device, application_controls_act_on_their_programs_sessions_only) {
    const int player_a =
        fake_.add_session(speakers_, 100, L"C:\\Apps\\Player.exe", L"Player", 0.5f);
    const int player_b =
        fake_.add_session(speakers_, 100, L"C:\\Apps\\Player.exe", L"Player", 0.4f);
    const int other = fake_.add_session(speakers_, 200, L"C:\\Apps\\other.exe", L"", 0.8f);
    const int on_headphones =
        fake_.add_session(headphones_, 100, L"C:\\Apps\\Player.exe", L"", 0.7f);
    // Source=-2 keeps a version without applications off the device's lines.
    start(L"[Control00]\r\nCaption=#\r\nApplication=player.exe\r\nSource=-2\r\n"
          L"[Control01]\r\nCaption=#\r\nApplication=late.exe\r\nSource=-2\r\n"
          L"[Control02]\r\nCaption=#\r\n"
          L"[Control03]\r\nCaption=Phones\r\nMixer=Headphones\r\nApplication=PLAYER.EXE\r\n");
    using lines = std::map<int, std::wstring>;
    // The loudest session is the one shown.
    EXPECT_EQ(tray_tip(), L"Player  50% [Active]");

    zuvo_->post_command(0x0580);
    EXPECT_TRUE(wait_until([&] { return percent(fake_.session_volume(player_a)) == 60; }, 5s));
    probe_sync(*zuvo_, folder_, 0);
    EXPECT_EQ(percent(fake_.session_volume(player_b)), 60) << "the sessions move together";
    EXPECT_EQ(percent(fake_.session_volume(other)), 80);
    EXPECT_EQ(percent(fake_.session_volume(on_headphones)), 70);
    EXPECT_EQ(percent(fake_.master(speakers_)), 30);
    zuvo_->post_command(0x0582);
    EXPECT_TRUE(wait_until([&] { return fake_.session_mute(player_b); }, 5s));
    EXPECT_TRUE(fake_.session_mute(player_a));
    EXPECT_FALSE(fake_.session_mute(other));
    EXPECT_EQ(menu_lines(), (lines{{0, L"Player  60% [Mute]"},
                                   {1, L"late.exe   0% [Idle]"},
                                   {2, L"Speakers  30% "},
                                   {3, L"Phones  70% "}}));

    // Another program's change of a session reaches the tray at once.
    fake_.set_session_mute(player_a, false);
    fake_.set_session_mute(player_b, false);
    fake_.set_session_volume(player_b, 0.9f);
    EXPECT_TRUE(wait_until([&] { return tray_tip() == L"Player  90% [Active]"; }, 5s))
        << tray_tip();

    // A program that starts playing later comes alive without a restart,
    // and goes back to idle, with no error, when its session expires.
    zuvo_->post_command(0x00010585);
    probe_sync(*zuvo_, folder_, 0);
    EXPECT_EQ(tray_tip(), L"late.exe   0% [Idle]");
    zuvo_->post_command(0x0580); // nothing to act on: no error, nothing changes
    probe_sync(*zuvo_, folder_, 0);
    EXPECT_EQ(tray_tip(), L"late.exe   0% [Idle]");
    const int late = fake_.add_session(speakers_, 300, L"D:\\Games\\late.exe", L"", 0.25f);
    EXPECT_TRUE(wait_until([&] { return tray_tip() == L"late.exe  25% [Active]"; }, 5s))
        << tray_tip();
    zuvo_->post_command(0x0581);
    EXPECT_TRUE(wait_until([&] { return percent(fake_.session_volume(late)) == 20; }, 5s))
        << "a step down to the step grid";
    fake_.set_session_state(late, 2);
    EXPECT_TRUE(wait_until([&] { return tray_tip() == L"late.exe   0% [Idle]"; }, 5s))
        << tray_tip();
    // The expired session is let go; the others once their controls idle.
    EXPECT_TRUE(wait_until([&] { return fake_.live_sessions_everywhere() == 0; }, 10s))
        << fake_.live_sessions_everywhere();
    EXPECT_EQ(fake_.calls_from_callbacks(), 0);
    EXPECT_EQ(zuvo_->exit(), 0u);
    EXPECT_EQ(fake_.live_objects_everywhere(), 0) << fake_.live_object_list_everywhere();
}

// The popup menu lists the active outputs with the default ticked; choosing
// one, or the next-output command of the DeviceNext hot key, makes it the
// default of every role, and the control on the default follows with the
// tips. Where the system lacks the way to switch, the devices are greyed and
// the command does nothing.
TEST_F(default_device, output_menu_and_next_output_move_the_default) {
    start(L"[Control00]\r\nCaption=#\r\n");
    auto outputs = [&] {
        std::map<std::wstring, uint32_t> found;
        menu_lines();
        for (const auto& item : last_probe_submenu(folder_))
            found[item.text] = item.state & (MFS_CHECKED | MFS_GRAYED);
        return found;
    };
    using states = std::map<std::wstring, uint32_t>;
    EXPECT_EQ(outputs(), (states{{L"Speakers", MFS_CHECKED}, {L"Headphones", 0}}));

    ASSERT_TRUE(handled([&] { zuvo_->post_command(output_select | (1 << 16)); }));
    EXPECT_EQ(fake_.default_device(eRender), headphones_);
    EXPECT_EQ(fake_.default_writes(), 3) << "one call per role";
    EXPECT_EQ(fake_.default_device(eCapture), fake_.device(L"Microphone"));
    EXPECT_TRUE(wait_until([&] { return tray_tip() == L"Headphones  60% [Active]"; }, 5s))
        << tray_tip();
    EXPECT_NE(last_posted_text(*zuvo_, folder_, tips_request).find(L"Headphones"),
              std::wstring::npos)
        << last_posted_text(*zuvo_, folder_, tips_request);
    EXPECT_EQ(outputs(), (states{{L"Speakers", 0}, {L"Headphones", MFS_CHECKED}}));

    // The next output after the last is the first again.
    ASSERT_TRUE(handled([&] { zuvo_->post_command(output_next); }));
    EXPECT_EQ(fake_.default_device(eRender), speakers_);
    EXPECT_TRUE(wait_until([&] { return tray_tip() == L"Speakers  30% [Active]"; }, 5s))
        << tray_tip();
    EXPECT_NE(last_posted_text(*zuvo_, folder_, tips_request).find(L"Speakers"),
              std::wstring::npos);
    EXPECT_EQ(zuvo_->exit(), 0u);

    // Without the policy class: shown greyed, and the command changes nothing.
    fake_.set_policy_config(false);
    zuvo_ = std::make_unique<zuvo_process>(folder_);
    ASSERT_TRUE(zuvo_->window());
    ASSERT_TRUE(probe_sync(*zuvo_, folder_, 0));
    EXPECT_EQ(outputs(),
              (states{{L"Speakers", MFS_CHECKED | MFS_GRAYED}, {L"Headphones", MFS_GRAYED}}));
    const long writes = fake_.default_writes();
    zuvo_->post_command(output_next);
    zuvo_->post_command(output_select | (1 << 16));
    ASSERT_TRUE(probe_sync(*zuvo_, folder_, 0));
    EXPECT_EQ(fake_.default_device(eRender), speakers_);
    EXPECT_EQ(fake_.default_writes(), writes);
    EXPECT_EQ(zuvo_->exit(), 0u);
    EXPECT_EQ(fake_.live_objects_everywhere(), 0) << fake_.live_object_list_everywhere();
}

} // namespace
