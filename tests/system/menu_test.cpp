// The popup menu, the launchers and the about box of a running zuvo.exe,
// read and driven from inside through the probe plug-in.

#include "tests/support/fakeaudio/fake_audio.h"
#include "tests/support/files.h"
#include "tests/support/harness.h"
#include "tests/support/keyboard.h"
#include "tests/support/probe.h"
#include "tests/support/setup_driver.h"

#include <gtest/gtest.h>

using namespace test_support;
using namespace std::chrono_literals;

namespace {

constexpr WPARAM popup_command = 0x0584;

struct expected_item {
    const wchar_t* text; // null for a separator
    uint32_t id;
    uint32_t state;
};

class menu : public ::testing::Test {
protected:
    menu() : fake_(fakeaudio::description::standard()) {
        fake_.set_master(fake_.device(L"Speakers"), 0.5f);
        fake_.set_master(fake_.device(L"Microphone"), 0.25f);
    }

    // Starts zuvo.exe with `settings` and the probe as plug-in 0, which ends
    // every menu it sees (or acts as `probe_settings` say).
    void start(const std::wstring& settings,
               std::initializer_list<std::wstring> probe_settings = {L"MenuAction=end"}) {
        ASSERT_TRUE(install_probe(folder_, L"probe.dll", probe_settings));
        folder_.write_ini(L"zuvo.ini", settings + plugin_section({L"probe.dll"}));
        zuvo_ = std::make_unique<zuvo_process>(folder_);
        ASSERT_TRUE(zuvo_->window());
    }
    std::vector<probe_menu_item> open_menu() {
        const size_t before = probe_records(folder_, L"popup").size();
        zuvo_->post_command(popup_command);
        EXPECT_TRUE(wait_for_probe_records(folder_, L"popup", before + 1));
        EXPECT_TRUE(wait_for_probe_records(folder_, L"action", before + 1));
        probe_sync(*zuvo_, folder_, 0);
        return last_probe_popup(folder_);
    }
    void expect_menu(const std::vector<expected_item>& expected) {
        const auto items = open_menu();
        ASSERT_EQ(items.size(), expected.size());
        for (size_t i = 0; i < items.size(); ++i) {
            SCOPED_TRACE(i);
            if (!expected[i].text) {
                EXPECT_TRUE(items[i].type & MFT_SEPARATOR);
                continue;
            }
            EXPECT_EQ(items[i].text, expected[i].text);
            EXPECT_EQ(items[i].id, expected[i].id);
            EXPECT_EQ(items[i].state & (MFS_CHECKED | MFS_DEFAULT), expected[i].state);
        }
    }

    fakeaudio::installed_fake fake_;
    program_folder folder_;
    std::unique_ptr<zuvo_process> zuvo_;
};

const std::wstring speakers_only = L"[Control00]\r\nCaption=#\r\nMixer=Speakers\r\n";
const expected_item separator{nullptr, 0, 0};
// The submenu of output devices comes before the controls.
const expected_item output_devices{L"&Output device", 0, 0};
const expected_item setup{L"&Setup...", 0x0506, 0}, info{L"&Info...", 0x0505, 0},
    exit_item{L"E&xit", 0x0504, 0};

TEST_F(menu, one_control_then_launchers_then_fixed_items) {
    start(speakers_only + L"[Launcher00]\r\nCaption=&Mixer\r\nCmdLine=x.exe\r\n"
                          L"[Launcher03]\r\nCaption=&Other\r\nCmdLine=y.exe\r\n");
    expect_menu({output_devices,
                 separator,
                 {L"&0: Speakers  50% ", 0x0585, MFS_CHECKED},
                 separator,
                 {L"&Mixer", 0x0586, MFS_DEFAULT},
                 {L"&Other", 0x00030586, 0},
                 separator,
                 setup,
                 info,
                 exit_item});
}

TEST_F(menu, volume_items_and_slot_ten_with_state_words) {
    start(L"[Basic]\r\nVolMenu=1\r\n" + speakers_only +
          L"[Control10]\r\nCaption=Mic\r\nMixer=Microphone\r\n[Control12]\r\nCaption=Gone\r\n"
          L"Mixer=Headphones\r\n[Launcher00]\r\nCaption=Only\r\nCmdLine=x.exe\r\n");
    fake_.set_mute(fake_.device(L"Microphone"), true);
    expect_menu({{L"&Mute", 0x0582, 0},
                 {L"Vol&Up", 0x0580, 0},
                 {L"Vol&Down", 0x0581, 0},
                 separator,
                 output_devices,
                 separator,
                 {L"&0: Speakers  50% ", 0x0585, MFS_CHECKED},
                 {L"&A: Mic  25% [Mute]", 0x000A0585, 0},
                 {L"&C: Gone   0% [ERROR]", 0x000C0585, 0},
                 separator,
                 {L"Only", 0x0586, MFS_DEFAULT},
                 separator,
                 setup,
                 info,
                 exit_item});
}

TEST_F(menu, no_launchers_no_launcher_separator_and_the_current_control_checked) {
    // A settings file without launcher sections has none: the defaults come
    // only when there is no file at all.
    start(speakers_only + L"[Control01]\r\nCaption=Mic\r\nMixer=Microphone\r\n");
    zuvo_->post_command(0x00010585);
    expect_menu({output_devices,
                 separator,
                 {L"&0: Speakers  50% ", 0x0585, 0},
                 {L"&1: Mic  25% ", 0x00010585, MFS_CHECKED},
                 separator,
                 setup,
                 info,
                 exit_item});
}

TEST_F(menu, choosing_items_runs_their_commands) {
    const std::wstring log = folder_.file(L"launched.txt");
    start(speakers_only +
              L"[Control01]\r\nCaption=Mic\r\nMixer=Microphone\r\n"
              L"[Launcher00]\r\nCaption=log\r\nCmdLine=cmd.exe /c echo x>>\"" +
              log + L"\"\r\n",
          {L"MenuAction=choose", L"MenuChoose=0x10585"});
    open_menu();
    // Control 1 is current now: a volume step goes to the microphone.
    zuvo_->post_command(0x0580);
    const int microphone = fake_.device(L"Microphone");
    EXPECT_TRUE(wait_until([&] { return fakeaudio::percent(fake_.master(microphone)) == 30; }, 5s));

    // The loaded probe cannot be replaced; it reads its settings again.
    folder_.write_ini(L"probe.ini", L"[Probe]\r\nMenuAction=choose\r\nMenuChoose=0x0586\r\n");
    zuvo_->post_command(probe_command(0, probe_protocol::reload));
    open_menu();
    EXPECT_TRUE(wait_until([&] { return file_exists(log); }, 10s));

    folder_.write_ini(L"probe.ini", L"[Probe]\r\nMenuAction=choose\r\nMenuChoose=0x0504\r\n");
    zuvo_->post_command(probe_command(0, probe_protocol::reload));
    probe_sync(*zuvo_, folder_, 0);
    zuvo_->post_command(popup_command);
    EXPECT_EQ(zuvo_->proc().wait(10s), 0u);
}

TEST_F(menu, launcher_that_cannot_start_is_named_in_a_warning) {
    start(speakers_only +
          L"[Launcher02]\r\nCaption=Broken &tool\r\nCmdLine=no_such_program_1234.exe\r\n");
    zuvo_->post_command(0x00020586);
    auto box = wait_for_message_box(L"Quellbar", zuvo_->proc().id());
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, L"failed to start Broken &tool");
    EXPECT_TRUE(close_message_box(box->window));
    // Indexes beyond the slots and free slots do nothing.
    zuvo_->post_command(0x00100586);
    zuvo_->post_command(0x00050586);
    probe_sync(*zuvo_, folder_, 0);
    EXPECT_FALSE(has_message_box(zuvo_->proc().id()));
}

std::wstring item_text(HWND dialog, int id) {
    wchar_t text[1024] = L"";
    SendMessageTimeoutW(GetDlgItem(dialog, id), WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text),
                        SMTO_NORMAL, 5000, nullptr);
    return text;
}

HWND open_about(zuvo_process& zuvo) {
    zuvo.post_command(0x0505);
    HWND dialog = nullptr;
    wait_until(
        [&] {
            dialog = wait_for_window(L"#32770", zuvo.proc().id(), 100ms);
            return dialog && GetDlgItem(dialog, 1019) && !item_text(dialog, 1020).empty();
        },
        10s);
    return dialog;
}

TEST_F(menu, about_box_shows_version_and_the_current_control) {
    start(speakers_only);
    HWND dialog = open_about(*zuvo_);
    ASSERT_TRUE(dialog);
    wchar_t caption[64] = L"";
    GetWindowTextW(dialog, caption, 64);
    EXPECT_STREQ(caption, L"Quellbar");
    const std::wstring version = item_text(dialog, 1020);
    EXPECT_NE(version.find(L"\r\nver.4.1.0 (64bit)\r\n"), std::wstring::npos) << version;
    EXPECT_EQ(version.find(L"Quellbar"), 0u) << version;
    EXPECT_EQ(item_text(dialog, 1019),
              L"Mixer : Speakers\r\nControl : [M] Speakers\r\nChannels : 1");
    // Escape closes it.
    PostMessageW(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(wait_for_window_gone(dialog, 5s));
    EXPECT_TRUE(probe_sync(*zuvo_, folder_, 0));
}

TEST_F(menu, about_box_shows_the_error_form_when_the_device_is_gone) {
    start(L"[Control00]\r\nCaption=Line\r\nMixer=Speakers\r\nSource=1\r\n");
    fake_.remove(fake_.device(L"Speakers"));
    HWND dialog = open_about(*zuvo_);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(item_text(dialog, 1019),
              L"Mixer : Speakers\r\nControl : [1] ## ERROR ##\r\nChannels : 0");
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(wait_for_window_gone(dialog, 5s));
}

TEST_F(menu, about_box_names_a_topology_line) {
    start(L"[Control00]\r\nCaption=Line\r\nMixer=Speakers\r\nSource=1\r\n");
    HWND dialog = open_about(*zuvo_);
    ASSERT_TRUE(dialog);
    const std::wstring text = item_text(dialog, 1019);
    EXPECT_EQ(text.rfind(L"Mixer : Speakers\r\nControl : [1] ", 0), 0u) << text;
    EXPECT_NE(text.find(L"\r\nChannels : 2"), std::wstring::npos) << text;
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(wait_for_window_gone(dialog, 5s));
}

// Whether the thread of `window` is in front and tracks a menu with the mouse
// captured: only then does a click anywhere reach the menu. The menu shows
// before its loop takes the mouse, and a click in between goes to the window
// under the pointer and leaves the menu open, for a user too.
bool tracking_menu(HWND window) {
    const DWORD owner = GetWindowThreadProcessId(window, nullptr);
    GUITHREADINFO thread{};
    thread.cbSize = sizeof thread;
    return GetWindowThreadProcessId(GetForegroundWindow(), nullptr) == owner &&
           GetGUIThreadInfo(owner, &thread) && (thread.flags & GUI_INMENUMODE) &&
           thread.hwndCapture;
}

TEST_F(menu, right_click_opens_it_and_a_click_outside_closes_it_running_nothing) {
    start(speakers_only + L"[Launcher00]\r\nCaption=log\r\nCmdLine=x.exe\r\n",
          {L"MenuAction=none"});
    // Another program is in front, as the taskbar is when the icon is clicked.
    key_target front;
    ASSERT_TRUE(front);
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    SetCursorPos(width / 2, height / 2);
    // What the shell sends for a right click on the icon.
    PostMessageW(zuvo_->window(), 0x0802, 1384, WM_RBUTTONUP);
    PostMessageW(zuvo_->window(), 0x0802, 1384, WM_CONTEXTMENU);
    ASSERT_TRUE(wait_for_probe_records(folder_, L"popup", 1));
    ASSERT_TRUE(wait_until([&] { return !open_menus(zuvo_->proc().id()).empty(); }, 5s));
    ASSERT_TRUE(wait_until([&] { return tracking_menu(zuvo_->window()); }, 5s));
    const size_t seen_before = probe_records(folder_, L"msg").size();

    // Away from the menu and from the shell's icons in the top-left corner.
    ASSERT_TRUE(click_at(width / 4, height / 4));
    EXPECT_TRUE(wait_until([&] { return open_menus(zuvo_->proc().id()).empty(); }, 5s));
    ASSERT_TRUE(probe_sync(*zuvo_, folder_, 0));
    // No item's command came of it.
    const auto records = probe_records(folder_, L"msg");
    for (size_t i = seen_before; i < records.size(); ++i) {
        if (records[i].number(0) == WM_COMMAND) {
            EXPECT_EQ(records[i].number(1) & 0xFFFF, 0x0600u) << std::hex << records[i].number(1);
        }
    }
    EXPECT_FALSE(has_message_box(zuvo_->proc().id())) << "the launcher ran";

    // The menu loop is over: it opens again.
    folder_.write_ini(L"probe.ini", L"[Probe]\r\nMenuAction=end\r\n");
    zuvo_->post_command(probe_command(0, probe_protocol::reload));
    zuvo_->post_command(popup_command);
    EXPECT_TRUE(wait_for_probe_records(folder_, L"popup", 2));
    EXPECT_TRUE(wait_for_probe_records(folder_, L"action", 1));
    EXPECT_TRUE(probe_sync(*zuvo_, folder_, 0));
    // The menu took the foreground; the program in front ends sooner with it.
    SetForegroundWindow(front.window());
}

// The shell follows a right click's button-up with WM_CONTEXTMENU (the menu
// key sends that alone): one menu each time, for its own click as for its
// messages posted by hand.
TEST_F(menu, a_right_click_on_the_icon_opens_one_menu) {
    start(speakers_only);
    ASSERT_TRUE(wait_until([] { return tray_icon_window() != nullptr; }, 5s));
    RECT icon{};
    ASSERT_TRUE(GetWindowRect(tray_icon_window(), &icon));
    for (bool real : {true, false, true}) {
        SCOPED_TRACE(real ? "a real right click" : "button-up and context menu posted");
        const size_t before = probe_records(folder_, L"popup").size();
        if (real) {
            ASSERT_TRUE(click_at((icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2,
                                 mouse_button::right));
        } else {
            for (LPARAM event : {WM_RBUTTONDOWN, WM_RBUTTONUP, WM_CONTEXTMENU})
                PostMessageW(zuvo_->window(), 0x0802, 1384, event);
        }
        ASSERT_TRUE(wait_for_probe_records(folder_, L"popup", before + 1));
        ASSERT_TRUE(wait_until([&] { return open_menus(zuvo_->proc().id()).empty(); }, 5s));
        ASSERT_TRUE(probe_sync(*zuvo_, folder_, 0));
        EXPECT_EQ(probe_records(folder_, L"popup").size(), before + 1);
    }
}

// That it starts the editor beside the program is setup_test's
// setup_command_of_zuvo_started_elsewhere_starts_the_editor_beside_it.
TEST_F(menu, setup_without_the_editor_says_it_cannot_start_it) {
    start(speakers_only);
    ASSERT_TRUE(folder_.remove(L"zuvoset.exe"));
    zuvo_->post_command(0x0506);
    auto box = wait_for_message_box(L"Quellbar", zuvo_->proc().id());
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, L"failed to start zuvoset.exe");
    EXPECT_TRUE(close_message_box(box->window));
    EXPECT_TRUE(process_ids(L"zuvoset.exe").empty());
}

} // namespace
