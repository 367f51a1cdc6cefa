// The tray program with the fake audio system inside it: volume commands,
// outside changes, device loss, clicks, the wheel and the icon itself.

#include "tests/support/fakeaudio/fake_audio.h"
#include "tests/support/files.h"
#include "tests/support/harness.h"
#include "tests/support/keyboard.h"
#include "tests/support/probe.h"
#include "tests/unit/picture_files.h"

#include "common/unique_resource.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <ostream>

using namespace test_support;
using namespace std::chrono_literals;

namespace {

constexpr UINT tray_notify = 0x0802;
constexpr WPARAM tray_id = 1384;

using fakeaudio::percent;

class tray : public ::testing::Test {
protected:
    tray() : fake_(fakeaudio::description::standard()), speakers_(fake_.device(L"Speakers")) {}

    // Starts zuvo.exe with these settings on the fake "Speakers", with the
    // probe plug-in writing down every command the window receives.
    void start(const std::wstring& settings = L"",
               std::initializer_list<std::wstring> probe_settings = {}) {
        ASSERT_TRUE(install_probe(folder_, L"probe.dll", probe_settings));
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
    zuvo_->exit();
    zuvo_.reset();

    // On a program's control the wheel moves that program's sessions.
    const int player = fake_.add_session(speakers_, 90, L"C:\\Apps\\player.exe", L"", 0.5f);
    start(L"Application=player.exe\r\nSource=-2\r\n[Basic]\r\nVolStepSize=5\r\n");
    PostMessageW(zuvo_->window(), WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
    EXPECT_TRUE(wait_until([&] { return percent(fake_.session_volume(player)) == 55; }, 5s));
    EXPECT_TRUE(volume_becomes(45)) << "the device's own level stays";
}

// Wheel events that reach a low-level hook of this test. Hooks are called
// newest first, so one installed before zuvo.exe starts sees what zuvo.exe's
// hook passes on, and nothing that it takes.
std::vector<WPARAM> g_passed_on;
LRESULT CALLBACK passed_on_proc(int code, WPARAM wparam, LPARAM lparam) {
    if (code == HC_ACTION && (wparam == WM_MOUSEWHEEL || wparam == WM_MOUSEHWHEEL))
        g_passed_on.push_back(wparam);
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

void send_mouse(DWORD flags, int data = 0) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    input.mi.mouseData = static_cast<DWORD>(data);
    SendInput(1, &input, sizeof input);
}

// The shell sends the wheel to the window under the pointer, its own over the
// icon; zuvo.exe's low-level hook takes it there, and only there, with no
// window brought to the front when the pointer passes.
TEST_F(tray, real_wheel_over_the_icon_steps_the_volume_and_is_taken_from_the_shell) {
    g_passed_on.clear();
    unique_hook chain_end(
        SetWindowsHookExW(WH_MOUSE_LL, passed_on_proc, GetModuleHandleW(nullptr), 0));
    ASSERT_TRUE(chain_end);
    key_target front(L"aside");
    ASSERT_TRUE(front);
    const auto passed_on = [&](UINT message) {
        return front.wait_for([&] {
            return std::find(g_passed_on.begin(), g_passed_on.end(), message) != g_passed_on.end();
        });
    };
    fake_.set_master(speakers_, 0.5f);
    start(L"[Basic]\r\nTrayiconWheel=1\r\n", {L"Log=0x111,0x802"});
    HWND icon = nullptr;
    ASSERT_TRUE(wait_until([&] { return (icon = tray_icon_window()) != nullptr; }, 5s));
    RECT r{};
    ASSERT_TRUE(GetWindowRect(icon, &r));
    // The shell tells the program that the pointer is over its icon.
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    ASSERT_TRUE(front.wait_for([&] {
        const auto records = probe_records(folder_, L"msg");
        return std::any_of(records.begin(), records.end(), [](const probe_record& m) {
            return m.number(0) == 0x0802 && m.number(2) == WM_MOUSEMOVE;
        });
    }));
    ASSERT_TRUE(probe_sync(*zuvo_, folder_, 0));
    EXPECT_EQ(GetForegroundWindow(), front.window()) << "the pointer over the icon took the front";

    for (const auto& [delta, volume] : {std::pair{WHEEL_DELTA, 60}, {-2 * WHEEL_DELTA, 50}}) {
        SCOPED_TRACE(delta);
        g_passed_on.clear();
        send_mouse(MOUSEEVENTF_WHEEL, delta);
        // Input is handled in order: a sideways wheel sent after it comes
        // through only once the wheel has, or has been taken.
        send_mouse(MOUSEEVENTF_HWHEEL, WHEEL_DELTA);
        ASSERT_TRUE(passed_on(WM_MOUSEHWHEEL));
        EXPECT_EQ(std::count(g_passed_on.begin(), g_passed_on.end(), WM_MOUSEWHEEL), 0)
            << "the wheel went on to the shell";
        ASSERT_TRUE(probe_sync(*zuvo_, folder_, 0));
        EXPECT_EQ(percent(fake_.master(speakers_)), volume) << "one notch, one step";
    }

    // Away from the icon the wheel is everybody else's.
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2);
    send_mouse(MOUSEEVENTF_WHEEL, WHEEL_DELTA);
    EXPECT_TRUE(passed_on(WM_MOUSEWHEEL));
    ASSERT_TRUE(probe_sync(*zuvo_, folder_, 0));
    EXPECT_EQ(percent(fake_.master(speakers_)), 50);
    EXPECT_EQ(GetForegroundWindow(), front.window());
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

// A device unplugged and back: default_device_test.

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

    const auto clicked_at = std::chrono::steady_clock::now();
    PostMessageW(zuvo_->window(), tray_notify, tray_id, WM_LBUTTONUP);
    Sleep(GetDoubleClickTime() / 2);
    const bool shown_early = IsWindowVisible(zuvo_->window()) != FALSE;
    // Only a look taken within the double-click time says anything; a busy
    // machine may have kept this thread away longer.
    if (std::chrono::steady_clock::now() - clicked_at <
        std::chrono::milliseconds(GetDoubleClickTime())) {
        EXPECT_FALSE(shown_early) << "the tips came before the double-click time was over";
    }
    EXPECT_TRUE(wait_until([&] { return IsWindowVisible(zuvo_->window()) != FALSE; }, 5s));
}

// With the shipped pictures (the digits are read back through pictures of
// our own in the tests below).
TEST_F(tray, icon_shows_the_volume_in_green_digits_again_after_the_taskbar_is_created) {
    start();
    fake_.set_master(speakers_, 0.5f);
    zuvo_->post_command(0x0501);
    HWND icon = nullptr;
    ASSERT_TRUE(wait_until([&] { return (icon = tray_icon_window()) != nullptr; }, 5s));
    const auto green = [&] {
        RECT r{};
        GetWindowRect(tray_icon_window(), &r);
        const auto pixels = screen_pixels(r);
        return std::count(pixels.begin(), pixels.end(), RGB(0, 255, 0));
    };
    EXPECT_TRUE(wait_until([&] { return green() > 8; }, 5s)) << "the digits 5 and 0 in pure green";
    RECT r{};
    GetWindowRect(icon, &r);
    EXPECT_TRUE(save_screenshot(test_output_folder() + L"\\tray_icon_50.png", &r));

    // A restarted shell has forgotten the icon: it is added anew, digits and all.
    PostMessageW(zuvo_->window(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(wait_until(
        [&] {
            HWND now = tray_icon_window();
            return now && now != icon;
        },
        5s));
    EXPECT_TRUE(wait_until([&] { return green() > 8; }, 5s)) << "the new icon shows the digits";
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

// Pictures of our own for the icon, so that what the shell shows can be read
// back: 24-bit files where magenta is transparent (resource.ini's mask
// colour). Each digit glyph is one white row, at row 4 + digit of its cell,
// the tens in the icon's left half and the ones in its right half; the mute
// overlay fills the top-left corner, the error overlay the top-right one.
constexpr int icon_size = 16;
constexpr COLORREF magenta = RGB(255, 0, 255);
constexpr COLORREF white = RGB(255, 255, 255);
constexpr COLORREF base_a = RGB(0, 0, 128), base_b = RGB(128, 0, 0);
constexpr COLORREF mute_mark = RGB(255, 255, 0), error_mark = RGB(0, 255, 255);

bool write_bmp(const std::wstring& path, int width, int height,
               const std::function<COLORREF(int, int)>& pixel) {
    test_pictures::picture picture(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const COLORREF c = pixel(x, y);
            picture.at(x, y) = {GetRValue(c), GetGValue(c), GetBValue(c), 255};
        }
    return write_bytes(path, test_pictures::bmp_file(picture));
}

// Adds the icon sets "qt_a" and "qt_b" and the digit set "qt_dig" to the
// folder's resource.ini.
bool add_readable_pictures(const program_folder& folder) {
    const std::wstring dir = folder.file(L"resource\\qt");
    CreateDirectoryW(dir.c_str(), nullptr);
    const auto solid = [](COLORREF c) { return [c](int, int) { return c; }; };
    const auto corner = [](int from, COLORREF c) {
        return [from, c](int x, int y) { return y < 3 && x >= from && x < from + 4 ? c : magenta; };
    };
    const auto strip = [](int, int y) {
        return y % icon_size == 4 + y / icon_size ? white : magenta;
    };
    bool ok = write_bmp(dir + L"\\a.bmp", icon_size, icon_size, solid(base_a)) &&
              write_bmp(dir + L"\\b.bmp", icon_size, icon_size, solid(base_b)) &&
              write_bmp(dir + L"\\mute.bmp", icon_size, icon_size, corner(0, mute_mark)) &&
              write_bmp(dir + L"\\err.bmp", icon_size, icon_size, corner(12, error_mark)) &&
              write_bmp(dir + L"\\tens.bmp", 8, 11 * icon_size, strip) &&
              write_bmp(dir + L"\\ones.bmp", 8, 10 * icon_size, strip);
    const std::wstring ini = folder.file(L"resource\\resource.ini");
    const struct {
        const wchar_t *section, *key, *value;
    } keys[] = {{L"qt_a", L"icon", L"qt\\a.bmp"},       {L"qt_a", L"mute", L"qt\\mute.bmp"},
                {L"qt_a", L"err", L"qt\\err.bmp"},      {L"qt_b", L"icon", L"qt\\b.bmp"},
                {L"qt_b", L"mute", L"qt\\mute.bmp"},    {L"qt_b", L"err", L"qt\\err.bmp"},
                {L"qt_dig", L"dig10", L"qt\\tens.bmp"}, {L"qt_dig", L"dig01", L"qt\\ones.bmp"},
                {L"qt_dig", L"dig01_w", L"8"}};
    for (const auto& k : keys)
        ok = ok && WritePrivateProfileStringW(k.section, k.key, k.value, ini.c_str());
    return ok;
}

// The icon as the shell shows it, read back through those pictures.
struct icon_reading {
    COLORREF base = CLR_INVALID;
    int tens = -1, ones = -1;
    COLORREF digits = CLR_INVALID; // of the tens glyph
    bool mute = false, error = false;
    bool operator==(const icon_reading&) const = default;
};
void PrintTo(const icon_reading& r, std::ostream* out) {
    *out << std::hex << "{base " << r.base << ", " << std::dec << r.tens << "|" << r.ones
         << std::hex << " in " << r.digits << (r.mute ? ", mute" : "") << (r.error ? ", error" : "")
         << "}";
}

icon_reading read_live_icon() {
    icon_reading reading;
    HWND window = tray_icon_window();
    RECT r{};
    if (!window || !GetWindowRect(window, &r)) return reading;
    const std::vector<COLORREF> pixels = screen_pixels(r);
    const int width = r.right - r.left;
    if (pixels.empty()) return reading;
    const int height = static_cast<int>(pixels.size()) / width;
    // The icon's place in the shell's window: where the base colour is.
    int left = width, top = height, right = -1, bottom = -1;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const COLORREF c = pixels[static_cast<size_t>(y) * width + x];
            if (c != base_a && c != base_b) continue;
            left = std::min(left, x), top = std::min(top, y);
            right = std::max(right, x), bottom = std::max(bottom, y);
        }
    if (right < 0) return reading;
    const int w = right - left + 1, h = bottom - top + 1;
    // Icon pixel (x, y), wherever and however large the shell draws it.
    const auto at = [&](int x, int y) {
        return pixels[static_cast<size_t>(top + (2 * y + 1) * h / (2 * icon_size)) * width + left +
                      (2 * x + 1) * w / (2 * icon_size)];
    };
    reading.base = at(8, icon_size - 1);
    reading.mute = at(1, 1) == mute_mark;
    reading.error = at(14, 1) == error_mark;
    for (int row = 4; row < icon_size - 1; ++row) {
        if (at(3, row) != reading.base && reading.tens < 0) {
            reading.tens = row - 4;
            reading.digits = at(3, row);
        }
        if (at(11, row) != reading.base && reading.ones < 0) reading.ones = row - 4;
    }
    return reading;
}

TEST_F(tray, outside_change_is_followed_without_tips) {
    ASSERT_TRUE(add_readable_pictures(folder_));
    fake_.set_master(speakers_, 0.5f);
    start(L"[Basic]\r\nTrayiconImage=qt_a\r\nTrayiconDigit=qt_dig\r\n");
    const icon_reading at_50{base_a, 5, 0, RGB(0, 255, 0), false, false};
    icon_reading seen;
    ASSERT_TRUE(wait_until([&] { return (seen = read_live_icon()) == at_50; }, 5s))
        << ::testing::PrintToString(seen);
    ASSERT_FALSE(IsWindowVisible(zuvo_->window()));
    fake_.set_master(speakers_, 0.2f);
    const icon_reading at_20{base_a, 2, 0, RGB(0, 255, 0), false, false};
    EXPECT_TRUE(wait_until([&] { return (seen = read_live_icon()) == at_20; }, 5s))
        << ::testing::PrintToString(seen);
    fake_.set_mute(speakers_, true);
    const icon_reading muted{base_a, 2, 0, RGB(0, 255, 0), true, false};
    EXPECT_TRUE(wait_until([&] { return (seen = read_live_icon()) == muted; }, 5s))
        << ::testing::PrintToString(seen);
    probe_sync(*zuvo_, folder_, 0);
    EXPECT_FALSE(IsWindowVisible(zuvo_->window()));
}

// The icon follows the current control: its own icon set when it names one
// (on select and on next), the overlays of mute and error, and with
// TrayiconDigitColorLinkTips the digits in the control's colour, or in
// TextColor2 when muted, in error, or at 0 with TipsVol0OnMute.
TEST_F(tray, icon_shows_the_current_controls_state_in_its_pictures_and_colours) {
    ASSERT_TRUE(add_readable_pictures(folder_));
    const int microphone = fake_.device(L"Microphone");
    fake_.set_master(speakers_, 0.5f);
    fake_.set_master(microphone, 0.25f);
    ASSERT_TRUE(install_probe(folder_, L"probe.dll"));
    folder_.write_ini(
        L"zuvo.ini",
        L"[Basic]\r\nTrayiconImage=qt_a\r\nTrayiconDigit=qt_dig\r\nTrayiconDigitColorLinkTips=1\r\n"
        L"TipsVol0OnMute=1\r\n[Tips]\r\nTextColor=#20a040\r\nTextColor2=#e03010\r\n"
        L"[Control00]\r\nCaption=Spk\r\nMixer=Speakers\r\nColor=#3060f0\r\n"
        L"[Control01]\r\nCaption=Mic\r\nMixer=Microphone\r\nIconImage=qt_b\r\n"
        L"[Control02]\r\nCaption=Gone\r\nMixer=No such device\r\n" +
            plugin_section({L"probe.dll"}));
    zuvo_ = std::make_unique<zuvo_process>(folder_);
    ASSERT_TRUE(zuvo_->window());

    constexpr COLORREF own = RGB(0x30, 0x60, 0xf0), text = RGB(0x20, 0xa0, 0x40),
                       text2 = RGB(0xe0, 0x30, 0x10);
    const struct {
        const char* what;
        std::function<void()> act;
        icon_reading expected;
    } steps[] = {
        {"the control's own colour", [] {}, {base_a, 5, 0, own, false, false}},
        {"muted", [&] { fake_.set_mute(speakers_, true); }, {base_a, 5, 0, text2, true, false}},
        {"zero with TipsVol0OnMute",
         [&] {
             fake_.set_mute(speakers_, false);
             fake_.set_master(speakers_, 0.0f);
         },
         {base_a, 0, 0, text2, false, false}},
        {"next: its own icon set, TextColor",
         [&] { zuvo_->post_command(0x0583); },
         {base_b, 2, 5, text, false, false}},
        {"100", [&] { fake_.set_master(microphone, 1.0f); }, {base_b, 10, 0, text, false, false}},
        {"selected in error: the set of the settings",
         [&] { zuvo_->post_command(0x00020585); },
         {base_a, 0, 0, text2, false, true}},
        {"selected back",
         [&] { zuvo_->post_command(0x00010585); },
         {base_b, 10, 0, text, false, false}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        ASSERT_TRUE(probe_sync(*zuvo_, folder_, 0));
        icon_reading seen;
        EXPECT_TRUE(wait_until([&] { return (seen = read_live_icon()) == step.expected; }, 5s))
            << ::testing::PrintToString(seen);
    }
}

// The balloon the shell shows for the icon (Wine's shows a balloon about two
// seconds after it was asked for, for at least ten): its text, or "" while
// there is none.
std::wstring shown_balloon() {
    for (HWND w : find_windows(L"tooltips_class32")) {
        if (!IsWindowVisible(w)) continue;
        wchar_t text[256] = L"";
        DWORD_PTR copied = 0;
        if (SendMessageTimeoutW(w, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text), SMTO_NORMAL,
                                2000, &copied) &&
            text[0])
            return text;
    }
    return L"";
}

// With TrayiconBaloon every refresh announces the control in a balloon; the
// program takes an information balloon back after TrayiconBaloonTimer (long
// before the shell would), and leaves a warning to the shell.
TEST_F(tray, balloons_announce_refreshes_and_only_information_is_taken_back) {
    fake_.set_master(speakers_, 0.5f);
    start(L"[Basic]\r\nTrayiconBaloon=1\r\nTrayiconBaloonTimer=3000\r\n");
    ASSERT_TRUE(wait_until([] { return tray_icon_window() != nullptr; }, 5s));
    ASSERT_TRUE(probe_sync(*zuvo_, folder_, 0));
    zuvo_->post_command(0x00020501);
    std::wstring text;
    ASSERT_TRUE(wait_until([&] { return !(text = shown_balloon()).empty(); }, 6s));
    EXPECT_EQ(text, L"Speakers  50% [Active]");
    const auto shown_at = std::chrono::steady_clock::now();
    EXPECT_TRUE(wait_until([&] { return shown_balloon().empty(); }, 5s));
    EXPECT_LT(std::chrono::steady_clock::now() - shown_at, 6s) << "the shell took it back";

    fake_.remove(speakers_);
    zuvo_->post_command(0x00020501);
    ASSERT_TRUE(wait_until([&] { return !(text = shown_balloon()).empty(); }, 6s));
    EXPECT_EQ(text, L"#   0% [ERROR]");
    Sleep(3500);
    EXPECT_EQ(shown_balloon(), L"#   0% [ERROR]") << "a warning stays past TrayiconBaloonTimer";
}

} // namespace
