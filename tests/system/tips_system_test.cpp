// The tips window of a running zuvo.exe on the fake audio system: shown by a
// volume command where the layout puts it, hidden after TipsTimer, a click on
// a bar setting the volume, garbage posted by another process, and a
// screenshot of every shipped tips format (in <build>/test-output).
//
// The expected box is laid out in this process with the program's own
// drawing code, the same fonts and the same screen.

#include "confctl/config.h"
#include "main/tips_format.h"
#include "main/tips_render.h"
#include "tests/support/fakeaudio/fake_audio.h"
#include "tests/support/files.h"
#include "tests/support/harness.h"
#include "tests/support/probe.h"

#include <gtest/gtest.h>
#include <strsafe.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

using namespace test_support;
using namespace std::chrono_literals;

namespace {

constexpr UINT tips_request = 0x0800;

constexpr WPARAM show_tips = 0x00020501;

using fakeaudio::percent;

RECT window_rect(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

struct shown_control {
    const wchar_t* name;
    int32_t volume;
    bool muted;
};

class tips_system : public ::testing::Test {
protected:
    tips_system()
        : fake_(fakeaudio::description::standard()), speakers_(fake_.device(L"Speakers")) {}

    void start(const std::wstring& settings) {
        ASSERT_TRUE(folder_.write_ini(L"zuvo.ini", settings));
        zuvo_ = std::make_unique<zuvo_process>(folder_);
        ASSERT_TRUE(zuvo_->window());
    }
    HWND window() const { return zuvo_->window(); }
    bool visible_within(std::chrono::milliseconds timeout) const {
        return wait_until([&] { return IsWindowVisible(window()) != FALSE; }, timeout);
    }

    // The layout the program should make of `format` for these controls
    // (slot i = controls[i], current slot 0), with the default [Tips].
    tips_layout expected_layout(const wchar_t* format_name,
                                const std::vector<shown_control>& controls) const {
        wchar_t previous[MAX_PATH];
        GetCurrentDirectoryW(MAX_PATH, previous);
        SetCurrentDirectoryW(folder_.path().c_str());
        tips_format format;
        const bool loaded = load_tips_format(format, format_name);
        SetCurrentDirectoryW(previous);
        EXPECT_TRUE(loaded) << "format";
        const tips_line_source source = [&](size_t slot, tips_line_info& info) {
            if (slot >= controls.size()) return false;
            info.name = controls[slot].name;
            info.volume = controls[slot].volume;
            info.usable = true;
            info.muted = controls[slot].muted;
            return true;
        };
        const Cconfig defaults;
        wchar_t text[tips_text_capacity];
        build_tips_text_from(format, 0, source, defaults.text_color, defaults.tips_vol0_on_mute,
                             text, tips_text_capacity);
        int32_t width = 0;
        int32_t height = 0;
        tips_screen_size(width, height);
        tips_picture picture;
        EXPECT_TRUE(render_tips(text, tips_settings_from(defaults, width, height), picture));
        return picture.layout;
    }

    // Starts the program with one control, "Test" on the speakers (or on the
    // program whose sessions `settings` name), shows its tips and returns the
    // layout they should have at `volume`.
    tips_layout show_one_control(int32_t volume, const std::wstring& settings);

    fakeaudio::installed_fake fake_;
    int speakers_;
    program_folder folder_;
    std::unique_ptr<zuvo_process> zuvo_;
};

const std::wstring one_control = L"[Basic]\r\nTipsTimer=1500\r\nVolStepFit=0\r\n"
                                 L"[Control00]\r\nCaption=Test\r\nMixer=Speakers\r\n";
const std::wstring one_program = one_control + L"Application=player.exe\r\nSource=-2\r\n";

tips_layout tips_system::show_one_control(int32_t volume, const std::wstring& settings) {
    start(settings);
    zuvo_->post_command(show_tips);
    EXPECT_TRUE(visible_within(5s));
    return expected_layout(L"flatbar_ml", {{L"Test", volume, false}});
}

TEST_F(tips_system, a_volume_command_shows_the_tips_in_place_and_they_hide_after_tips_timer) {
    fake_.set_master(speakers_, 0.43f);
    start(one_control);
    ASSERT_FALSE(IsWindowVisible(window()));
    zuvo_->post_command(0x0580);
    ASSERT_TRUE(visible_within(5s));
    const auto shown_at = std::chrono::steady_clock::now();
    ASSERT_TRUE(wait_until([&] { return percent(fake_.master(speakers_)) == 53; }, 5s));

    EXPECT_NE(GetWindowLongW(window(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    // Neither the tips nor any other window of the program took the front
    // (a window of an earlier test may still be leaving it to someone else).
    EXPECT_NE(window_process(GetForegroundWindow()), zuvo_->proc().id());
    // Where and how large: the layout of "flatbar_ml" for "Test" at 53 %.
    const tips_layout expected = expected_layout(L"flatbar_ml", {{L"Test", 53, false}});
    const RECT r = window_rect(window());
    EXPECT_EQ(r.left, expected.x);
    EXPECT_EQ(r.top, expected.y);
    EXPECT_EQ(r.right - r.left, expected.box_width);
    EXPECT_EQ(r.bottom - r.top, expected.box_height);

    // Still there halfway, gone after TipsTimer.
    std::this_thread::sleep_for(700ms);
    EXPECT_TRUE(IsWindowVisible(window()));
    ASSERT_TRUE(wait_until([&] { return !IsWindowVisible(window()); }, 5s));
    EXPECT_GE(std::chrono::steady_clock::now() - shown_at, 1400ms);
}

TEST_F(tips_system, a_new_request_restarts_the_display_time) {
    start(one_control);
    zuvo_->post_command(show_tips);
    ASSERT_TRUE(visible_within(5s));
    std::this_thread::sleep_for(1000ms);
    zuvo_->post_command(show_tips);
    std::this_thread::sleep_for(1000ms);
    EXPECT_TRUE(IsWindowVisible(window()));
    EXPECT_TRUE(wait_until([&] { return !IsWindowVisible(window()); }, 5s));
}

// The hold a tray click asks for: while it lasts every refresh shows the
// tips, an outside change included; its end, by command or after TipsTimer,
// makes refreshes plain again. A second start of the program asks the
// running one for the same.
TEST_F(tips_system, a_hold_shows_the_tips_on_every_refresh_until_it_ends) {
    ASSERT_TRUE(install_probe(folder_, L"probe.dll"));
    start(one_control + plugin_section({L"probe.dll"}));
    const auto hide_then_refresh = [&](WPARAM refresh) {
        zuvo_->post_command(0x0503);
        zuvo_->post_command(refresh);
        EXPECT_TRUE(probe_sync(*zuvo_, folder_, 0));
        return IsWindowVisible(window()) != FALSE;
    };
    ASSERT_FALSE(hide_then_refresh(0x0501)) << "a plain refresh shows nothing";
    zuvo_->post_command(0x01020501);
    ASSERT_TRUE(visible_within(5s));
    const struct {
        const char* what;
        WPARAM refresh;
        bool shown;
    } steps[] = {{"held", 0x0501, true},
                 {"still held", 0x0501, true},
                 {"hold ended", 0x02000501, false},
                 {"after the end", 0x0501, false}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        EXPECT_EQ(hide_then_refresh(step.refresh), step.shown);
    }

    // An outside change while held shows the tips too, and TipsTimer (1.5 s)
    // after the hold began it is over.
    zuvo_->post_command(0x01020501);
    ASSERT_TRUE(visible_within(5s));
    const auto held_at = std::chrono::steady_clock::now();
    zuvo_->post_command(0x0503);
    ASSERT_TRUE(probe_sync(*zuvo_, folder_, 0));
    ASSERT_FALSE(IsWindowVisible(window()));
    fake_.set_master(speakers_, 0.61f);
    EXPECT_TRUE(visible_within(5s)) << "the outside change while held";
    std::this_thread::sleep_until(held_at + 2200ms);
    EXPECT_FALSE(hide_then_refresh(0x0501)) << "the hold outlived TipsTimer";

    // The second start: it exits 100, and the running one shows its tips.
    ASSERT_FALSE(IsWindowVisible(window()));
    process second = process::start(L"\"" + folder_.exe() + L"\"", folder_.path());
    ASSERT_TRUE(second);
    EXPECT_EQ(second.wait(10s), 100u);
    EXPECT_TRUE(visible_within(5s));
    zuvo_->post_command(0x0503);
    EXPECT_TRUE(hide_then_refresh(0x0501)) << "held after the second start";
}

// On a device's control and on a program's, whose sessions the click moves
// while the device's own level stays.
TEST_F(tips_system, clicking_a_bar_sets_the_volume) {
    const int player = fake_.add_session(speakers_, 90, L"C:\\Apps\\player.exe", L"", 0.20f);
    for (const bool program : {false, true}) {
        SCOPED_TRACE(program ? "a program's control" : "a device's control");
        auto level = [&] {
            return percent(program ? fake_.session_volume(player) : fake_.master(speakers_));
        };
        fake_.set_master(speakers_, 0.20f);
        const tips_layout expected = show_one_control(20, program ? one_program : one_control);
        ASSERT_GE(expected.region_count, 1u);
        const tips_region& slider = expected.regions[0];
        ASSERT_EQ(slider.command, 0x00010520u);
        const RECT r = window_rect(window());
        const int32_t width = slider.rect.right - slider.rect.left;
        const int32_t dx = width * 3 / 4;
        const int32_t value = dx * 100 / width + 1;
        const int32_t y = r.top + (slider.rect.top + slider.rect.bottom) / 2;
        ASSERT_TRUE(click_at(r.left + slider.rect.left + dx, y));
        EXPECT_TRUE(wait_until([&] { return level() == value; }, 5s))
            << "volume " << level() << ", expected " << value;
        // Just left of the bar, in its margin: 0.
        ASSERT_TRUE(click_at(r.left + slider.rect.left - 2, y));
        EXPECT_TRUE(wait_until([&] { return level() == 0; }, 5s));
        EXPECT_EQ(percent(fake_.master(speakers_)), program ? 20 : 0);
        EXPECT_EQ(zuvo_->exit(), 0u);
    }
}

TEST_F(tips_system, clicking_the_state_word_toggles_mute) {
    const int player = fake_.add_session(speakers_, 90, L"C:\\Apps\\player.exe", L"", 0.50f);
    for (const bool program : {false, true}) {
        SCOPED_TRACE(program ? "a program's control" : "a device's control");
        const tips_layout expected = show_one_control(50, program ? one_program : one_control);
        ASSERT_EQ(expected.region_count, 2u);
        const tips_region& button = expected.regions[1];
        ASSERT_EQ(button.command, 0x00020520u);
        const RECT r = window_rect(window());
        ASSERT_TRUE(click_at(r.left + button.rect.right - 10,
                             r.top + (button.rect.top + button.rect.bottom) / 2));
        EXPECT_TRUE(wait_until(
            [&] { return program ? fake_.session_mute(player) : fake_.mute(speakers_); }, 5s));
        if (program) {
            EXPECT_FALSE(fake_.mute(speakers_)) << "the device's own mute stays";
        }
        fake_.set_mute(speakers_, false);
        EXPECT_EQ(zuvo_->exit(), 0u);
    }
}

TEST_F(tips_system, garbage_pointers_posted_from_another_process_do_not_crash_it) {
    start(one_control);
    static const wchar_t ours[] = L"a text of this process";
    for (WPARAM garbage : {WPARAM{0}, WPARAM{1}, WPARAM{0x10}, WPARAM{0xDEADBEEF},
                           static_cast<WPARAM>(0x00007FFFFFFF0000ull), ~WPARAM{0} - 7,
                           reinterpret_cast<WPARAM>(ours)}) {
        ASSERT_TRUE(PostMessageW(window(), tips_request, garbage, 1000));
    }
    // Sending waits until everything posted before has been handled.
    ASSERT_TRUE(zuvo_->sync());
    DWORD_PTR result = 0;
    EXPECT_TRUE(SendMessageTimeoutW(window(), WM_NULL, 0, 0, SMTO_BLOCK, 5000, &result));
    EXPECT_TRUE(zuvo_->proc().running());
    // And it still shows its own tips.
    zuvo_->post_command(show_tips);
    EXPECT_TRUE(visible_within(5s));
    EXPECT_EQ(zuvo_->exit(), 0u);
}

// Counts the pixels of a screen area that are mostly green.
int green_pixels(const RECT& area) {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    tips_surface copy;
    if (!copy.create(width, height)) return 0;
    window_dc screen(nullptr);
    BitBlt(copy.dc(), 0, 0, width, height, screen.get(), area.left, area.top, SRCCOPY);
    GdiFlush();
    int green = 0;
    for (size_t i = 0; i < copy.pixels(); ++i) {
        const uint8_t* p = copy.bits() + i * 4;
        green += p[1] > 160 && p[0] < 100 && p[2] < 100;
    }
    return green;
}

TEST_F(tips_system, screenshot_of_every_shipped_format) {
    const int microphone = fake_.device(L"Microphone");
    fake_.set_master(speakers_, 0.70f);
    fake_.set_master(microphone, 0.35f);
    fake_.set_mute(microphone, true);
    m_confctl_ini resources;
    resources.open(folder_.file(L"resource\\resource").c_str(), false);
    int formats = 0;
    for (int i = 0; i < 20; ++i) {
        wchar_t key[8];
        StringCchPrintfW(key, 8, L"fmt%02d", i);
        wchar_t name[64];
        resources.select_section(L"sections");
        if (!resources.read_string(key, name, 64)) continue;
        ++formats;
        SCOPED_TRACE(::testing::PrintToString(std::wstring(name)));
        start(L"[Basic]\r\nTipsTimer=20000\r\nTipsFormat=" + std::wstring(name) +
              L"\r\n[Control00]\r\nCaption=Speakers\r\nMixer=Speakers\r\n"
              L"[Control01]\r\nCaption=Microphone\r\nMixer=Microphone\r\n"
              L"[Control02]\r\nCaption=Wave\r\nMixer=Speakers\r\nSource=0\r\n"
              L"[Control03]\r\nCaption=CD Audio\r\nMixer=Speakers\r\nSource=1\r\n");
        zuvo_->post_command(show_tips);
        ASSERT_TRUE(visible_within(5s));
        ASSERT_TRUE(zuvo_->sync());
        std::this_thread::sleep_for(300ms);
        const RECT r = window_rect(window());
        EXPECT_GT(r.right - r.left, 40);
        EXPECT_GT(r.bottom - r.top, 20);
        const std::wstring png = test_output_folder() + L"\\tips_" + name + L".png";
        EXPECT_TRUE(save_screenshot(png, &r));
        EXPECT_TRUE(file_exists(png));
        // Not blank: the text colour is on the screen.
        EXPECT_GT(green_pixels(r), 100);
        EXPECT_EQ(zuvo_->exit(), 0u);
        zuvo_.reset();
    }
    EXPECT_GE(formats, 4);
}

} // namespace
