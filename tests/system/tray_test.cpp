// The tray program with the fake audio system inside it: volume commands,
// outside changes, device loss, clicks, the wheel and the icon itself.

#include "tests/support/fakeaudio/fake_audio.h"
#include "tests/support/files.h"
#include "tests/support/harness.h"
#include "tests/support/probe.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace test_support;
using namespace std::chrono_literals;

namespace {

constexpr UINT tray_notify = 0x0802;
constexpr WPARAM tray_id = 1384;

int percent(float scalar) {
    return static_cast<int>(std::floor((scalar + 0.000001f) * 100));
}

// Wine shows notification-area icons as child windows of its own tray.
HWND tray_icon_window() {
    HWND tray = FindWindowW(L"__winex11_standalone_tray", nullptr);
    return tray ? FindWindowExW(tray, nullptr, L"__winex11_tray_icon", nullptr) : nullptr;
}

class tray : public ::testing::Test {
protected:
    tray() : fake_(fakeaudio::description::standard()), speakers_(fake_.device(L"Speakers")) {}

    // Starts zuvo.exe with these settings on the fake "Speakers", with the
    // probe plug-in writing down every command the window receives.
    void start(const std::wstring& settings = L"") {
        ASSERT_TRUE(install_probe(folder_, L"probe.dll"));
        folder_.write_ini(L"zuvo.ini", L"[Control00]\r\nCaption=#\r\n" + settings +
                                           plugin_section({L"probe.dll"}));
        zuvo_ = std::make_unique<zuvo_process>(folder_);
        ASSERT_TRUE(zuvo_->window());
    }
    bool volume_becomes(int expected) {
        return wait_until([&] { return percent(fake_.master(speakers_)) == expected; }, 5s);
    }

    fakeaudio::installed_fake fake_;
    int speakers_;
    program_folder folder_;
    std::unique_ptr<zuvo_process> zuvo_;
};

TEST_F(tray, volume_commands_change_the_hardware) {
    start();
    fake_.set_master(speakers_, 0.43f);
    zuvo_->post_command(0x0580);
    EXPECT_TRUE(volume_becomes(50));
    zuvo_->post_command(0x0581);
    zuvo_->post_command(0x0581);
    EXPECT_TRUE(volume_becomes(30));
    zuvo_->post_command(0x0582);
    EXPECT_TRUE(wait_until([&] { return fake_.mute(speakers_); }, 5s));
    zuvo_->post_command(0x0582);
    EXPECT_TRUE(wait_until([&] { return !fake_.mute(speakers_); }, 5s));
    // Absolute volume of slot 0, as a click on a tips bar sends it.
    zuvo_->post_command(0x00010520, 77);
    EXPECT_TRUE(volume_becomes(70));
}

// The refreshes the window received since the last call.
std::vector<uint64_t> refreshes(const program_folder& folder, size_t& seen) {
    std::vector<uint64_t> found;
    const auto records = probe_records(folder, L"msg");
    for (size_t i = seen; i < records.size(); ++i)
        if (records[i].number(0) == WM_COMMAND && (records[i].number(1) & 0xFFFF) == 0x0501)
            found.push_back(records[i].number(1));
    seen = records.size();
    return found;
}

TEST_F(tray, refresh_flags_tell_whether_something_changed) {
    start();
    size_t seen = 0;
    probe_sync(*zuvo_, folder_, 0);
    refreshes(folder_, seen);
    fake_.set_master(speakers_, 0.43f);
    // The outside change: a plain refresh, no tips.
    ASSERT_TRUE(wait_until([&] { return !refreshes(folder_, seen).empty(); }, 5s));
    probe_sync(*zuvo_, folder_, 0);
    refreshes(folder_, seen);
    EXPECT_FALSE(IsWindowVisible(zuvo_->window()));

    const struct {
        float start;
        WPARAM command;
        LPARAM value;
        uint64_t refresh;
    } steps[] = {{0.43f, 0x0580, 0, 0x00030501},     {1.0f, 0x0580, 0, 0x00020501},
                 {0.0f, 0x0581, 0, 0x00020501},      {0.5f, 0x0582, 0, 0x00030501},
                 {0.5f, 0x00010520, 77, 0x00030501}, {0.5f, 0x00010520, 50, 0x00020501}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.command);
        fake_.set_master(speakers_, step.start);
        probe_sync(*zuvo_, folder_, 0);
        refreshes(folder_, seen); // the refresh of the outside change
        zuvo_->post_command(step.command, step.value);
        probe_sync(*zuvo_, folder_, 0);
        const auto found = refreshes(folder_, seen);
        ASSERT_FALSE(found.empty());
        EXPECT_EQ(found.front(), step.refresh);
    }
}

TEST_F(tray, wheel_steps_and_reverses_with_the_setting) {
    start(L"[Basic]\r\nVolStepSize=5\r\n");
    fake_.set_master(speakers_, 0.5f);
    PostMessageW(zuvo_->window(), WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
    EXPECT_TRUE(volume_becomes(55));
    // Every message is one step, whatever its delta.
    PostMessageW(zuvo_->window(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-360)), 0);
    EXPECT_TRUE(volume_becomes(50));
    zuvo_->exit();
    zuvo_.reset();

    start(L"[Basic]\r\nVolStepSize=5\r\nTrayiconWheelReverse=1\r\n");
    PostMessageW(zuvo_->window(), WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
    EXPECT_TRUE(volume_becomes(45));
}

TEST_F(tray, middle_click_toggles_mute) {
    start();
    PostMessageW(zuvo_->window(), tray_notify, tray_id, WM_MBUTTONUP);
    EXPECT_TRUE(wait_until([&] { return fake_.mute(speakers_); }, 5s));
    // Another icon's notification is not ours.
    PostMessageW(zuvo_->window(), tray_notify, 7, WM_MBUTTONUP);
    zuvo_->sync();
    Sleep(300);
    EXPECT_TRUE(fake_.mute(speakers_));
}

TEST_F(tray, outside_change_is_followed_without_tips) {
    start();
    zuvo_->sync();
    Sleep(300);
    ASSERT_FALSE(IsWindowVisible(zuvo_->window()));
    fake_.set_master(speakers_, 0.2f);
    Sleep(500);
    EXPECT_FALSE(IsWindowVisible(zuvo_->window()));
    EXPECT_TRUE(zuvo_->proc().running());
}

// The control's line of the popup menu, as the probe saw it open.
std::wstring control_item(const program_folder& folder, zuvo_process& zuvo) {
    const size_t before = probe_records(folder, L"popup").size();
    zuvo.post_command(0x0584);
    if (!wait_for_probe_records(folder, L"action", before + 1)) return L"";
    probe_sync(zuvo, folder, 0);
    const auto items = last_probe_popup(folder);
    return items.empty() ? L"" : items.front().text;
}

TEST_F(tray, removed_device_shows_the_error_state_and_works_when_back) {
    start();
    // The probe closes every menu it sees from now on.
    folder_.write_ini(L"probe.ini", L"[Probe]\r\nMenuAction=end\r\n");
    zuvo_->post_command(probe_command(0, probe_protocol::reload));
    fake_.set_master(speakers_, 0.4f);
    EXPECT_EQ(control_item(folder_, *zuvo_), L"&0: Speakers  40% ");
    fake_.remove(speakers_);
    for (WPARAM command : {0x0580, 0x0582, 0x0583, 0x00020501}) zuvo_->post_command(command);
    probe_sync(*zuvo_, folder_, 0);
    EXPECT_EQ(percent(fake_.master(speakers_)), 40);
    EXPECT_EQ(control_item(folder_, *zuvo_), L"&0: #   0% [ERROR]");
    fake_.restore(speakers_);
    zuvo_->post_command(0x0580);
    EXPECT_TRUE(volume_becomes(50));
    EXPECT_EQ(control_item(folder_, *zuvo_), L"&0: Speakers  50% ");
}

TEST_F(tray, double_click_runs_the_first_launcher_and_single_click_shows_tips) {
    const std::wstring log = folder_.file(L"launched.txt");
    start(L"[Launcher00]\r\nCaption=log\r\nCmdLine=cmd.exe /c echo x>>\"" + log + L"\"\r\n");
    // The second click comes after the first has been handled, as a
    // person's would.
    PostMessageW(zuvo_->window(), tray_notify, tray_id, WM_LBUTTONUP);
    probe_sync(*zuvo_, folder_, 0);
    PostMessageW(zuvo_->window(), tray_notify, tray_id, WM_LBUTTONUP);
    EXPECT_TRUE(wait_until([&] { return file_exists(log); }, 10s));
    Sleep(GetDoubleClickTime() + 300);
    EXPECT_FALSE(IsWindowVisible(zuvo_->window())) << "a double click shows no tips";

    PostMessageW(zuvo_->window(), tray_notify, tray_id, WM_LBUTTONUP);
    Sleep(GetDoubleClickTime() / 2);
    EXPECT_FALSE(IsWindowVisible(zuvo_->window()));
    EXPECT_TRUE(wait_until([&] { return IsWindowVisible(zuvo_->window()) != FALSE; }, 5s));
}

TEST_F(tray, taskbar_created_adds_the_icon_again) {
    start();
    HWND icon = nullptr;
    ASSERT_TRUE(wait_until([&] { return (icon = tray_icon_window()) != nullptr; }, 5s));
    PostMessageW(zuvo_->window(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(wait_until(
        [&] {
            HWND now = tray_icon_window();
            return now && now != icon;
        },
        5s));
}

TEST_F(tray, icon_shows_the_volume_in_green_digits) {
    start();
    fake_.set_master(speakers_, 0.5f);
    zuvo_->post_command(0x0501);
    HWND icon = nullptr;
    ASSERT_TRUE(wait_until([&] { return (icon = tray_icon_window()) != nullptr; }, 5s));
    Sleep(500);
    RECT r;
    GetWindowRect(icon, &r);
    EXPECT_TRUE(save_screenshot(test_output_folder() + L"\\tray_icon_50.png", &r));
    HDC screen = GetDC(nullptr);
    int green = 0;
    for (LONG y = r.top; y < r.bottom; ++y)
        for (LONG x = r.left; x < r.right; ++x) green += GetPixel(screen, x, y) == RGB(0, 255, 0);
    ReleaseDC(nullptr, screen);
    EXPECT_GT(green, 8) << "the digits 5 and 0 are drawn in pure green";
}

TEST_F(tray, without_the_icon_setting_nothing_is_added_and_wheel_works) {
    start(L"[Basic]\r\nTrayiconShow=0\r\n");
    zuvo_->post_command(0x0501);
    Sleep(500);
    EXPECT_EQ(tray_icon_window(), nullptr);
    PostMessageW(zuvo_->window(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    Sleep(300);
    EXPECT_EQ(tray_icon_window(), nullptr);
    fake_.set_master(speakers_, 0.5f);
    PostMessageW(zuvo_->window(), WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
    EXPECT_TRUE(volume_becomes(60));
}

} // namespace
