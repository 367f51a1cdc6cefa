// One zuvo.exe under a long stream of mixed commands: volume steps, mute,
// next control, clicks on the tips, the popup menu opened and closed, the
// device unplugged and back every 500 commands. Wine answers 0 for GDI and
// handle counts, so what is measured is the memory Linux sees for the process
// (RssAnon) and Wine's working set; what is asserted is that the program still
// works and still draws its tips and icon at the end (one GDI object leaked
// per command exhausts Wine's handle table long before 100,000).
//
// QUELLBAR_SOAK_COMMANDS sets the length (default 3,000); scripts/soak runs
// 100,000 and prints the figures.

#include "tests/support/fakeaudio/fake_audio.h"
#include "tests/support/harness.h"
#include "tests/support/probe.h"

#include <gtest/gtest.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

using namespace test_support;
using namespace std::chrono_literals;

namespace {

constexpr WPARAM volume_up = 0x0580, volume_down = 0x0581, mute = 0x0582, next_control = 0x0583,
                 popup = 0x0584, refresh = 0x0501,
                 first_control = 0x0585; // select, control 0 in the high word

// A file of the Linux side through Wine's drive Z:.
std::string read_unix_file(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        text.append(buffer, got);
    CloseHandle(file);
    return text;
}

// The Linux process whose command line names `exe` (Wine puts the Windows
// path of the program there).
std::optional<std::wstring> unix_process_folder(const std::wstring& exe) {
    std::string wanted(exe.begin(), exe.end()); // the program folder's path is plain ASCII
    std::transform(wanted.begin(), wanted.end(), wanted.begin(), ::tolower);
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW(L"Z:\\proc\\*", &found);
    if (search == INVALID_HANDLE_VALUE) return std::nullopt;
    std::optional<std::wstring> result;
    do {
        if (!iswdigit(found.cFileName[0])) continue;
        const std::wstring folder = std::wstring(L"Z:\\proc\\") + found.cFileName;
        std::string command = read_unix_file(folder + L"\\cmdline");
        std::transform(command.begin(), command.end(), command.begin(), ::tolower);
        if (command.find(wanted) != std::string::npos) result = folder;
    } while (!result && FindNextFileW(search, &found));
    FindClose(search);
    return result;
}

struct memory {
    long rss_anon_kb = -1;
    long working_set_kb = -1;
};

memory measure(process& zuvo, const std::optional<std::wstring>& unix_folder) {
    memory m;
    if (unix_folder) {
        const std::string status = read_unix_file(*unix_folder + L"\\status");
        const size_t at = status.find("RssAnon:");
        if (at != std::string::npos) m.rss_anon_kb = std::atol(status.c_str() + at + 8);
    }
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (K32GetProcessMemoryInfo(zuvo.handle(), &counters, sizeof counters))
        m.working_set_kb = static_cast<long>(counters.WorkingSetSize / 1024);
    return m;
}

// How many different colours the screen shows in `window`: a window that
// drew nothing is one colour.
size_t colours_in(HWND window) {
    RECT area{};
    if (!window || !GetWindowRect(window, &area)) return 0;
    std::vector<COLORREF> pixels = screen_pixels(area);
    std::sort(pixels.begin(), pixels.end());
    return static_cast<size_t>(std::unique(pixels.begin(), pixels.end()) - pixels.begin());
}

TEST(soak, a_long_stream_of_commands_leaves_the_program_working_and_drawing) {
    const char* length = std::getenv("QUELLBAR_SOAK_COMMANDS");
    const long commands = std::max(1000L, length ? std::atol(length) : 3000L);

    fakeaudio::installed_fake fake;
    const int speakers = fake.device(L"Speakers");
    program_folder folder;
    ASSERT_TRUE(install_probe(folder, L"probe.dll", {L"MenuAction=end"}));
    // Tips up long enough to be seen at the end on a busy machine.
    folder.write_ini(L"zuvo.ini", L"[Basic]\r\nTipsTimer=3000\r\n[Tips]\r\nLayerWindow=1\r\n"
                                  L"LayerBackgroundThrough=1\r\nEdgeSize=8\r\n"
                                  L"[Control00]\r\nCaption=#\r\n[Control01]\r\nCaption=Mic\r\n"
                                  L"Mixer=Microphone\r\n" +
                                      plugin_section({L"probe.dll"}));
    zuvo_process zuvo(folder);
    ASSERT_TRUE(zuvo.window());
    const auto unix_folder = unix_process_folder(folder.exe());
    EXPECT_TRUE(unix_folder) << "no Linux process for zuvo.exe";

    memory after_first_thousand;
    const auto started = std::chrono::steady_clock::now();
    for (long i = 0; i < commands; ++i) {
        if (i % 500 == 0) fake.remove(speakers);
        if (i % 500 == 250) fake.restore(speakers);
        switch (i % 10) {
        case 0:
        case 2:
            zuvo.post_command(volume_up);
            break;
        case 1:
        case 3:
            zuvo.post_command(volume_down);
            break;
        case 4:
        case 5:
            zuvo.post_command(mute);
            break;
        case 6:
            zuvo.post_command(next_control);
            break;
        case 7: // a click on the tips, wherever they are
            PostMessageW(zuvo.window(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(12, 8));
            PostMessageW(zuvo.window(), WM_LBUTTONUP, 0, MAKELPARAM(12, 8));
            break;
        case 8:
            zuvo.post_command(i % 50 == 8 ? popup : refresh);
            break;
        default:
            zuvo.post_command(next_control);
            break;
        }
        // Everything handled before the next batch: the queue never floods.
        if (i % 50 == 49) {
            ASSERT_TRUE(probe_sync(zuvo, folder, 0)) << "stuck after " << i;
        }
        if (i + 1 == 1000) after_first_thousand = measure(zuvo.proc(), unix_folder);
        if ((i + 1) % 10000 == 0) {
            std::printf("soak: %ld commands, RssAnon %ld kB\n", i + 1,
                        measure(zuvo.proc(), unix_folder).rss_anon_kb);
            std::fflush(stdout);
        }
    }
    ASSERT_TRUE(probe_sync(zuvo, folder, 0));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const memory at_end = measure(zuvo.proc(), unix_folder);
    std::printf("soak: %ld commands in %.1f s (%.0f per second)\n", commands, seconds,
                commands / seconds);
    std::printf("soak: RssAnon %ld kB after 1000, %ld kB after %ld (%+ld kB)\n",
                after_first_thousand.rss_anon_kb, at_end.rss_anon_kb, commands,
                at_end.rss_anon_kb - after_first_thousand.rss_anon_kb);
    std::printf("soak: working set %ld kB after 1000, %ld kB after %ld (%+ld kB)\n",
                after_first_thousand.working_set_kb, at_end.working_set_kb, commands,
                at_end.working_set_kb - after_first_thousand.working_set_kb);
    EXPECT_GT(at_end.rss_anon_kb, 0);

    // Still working: the volume follows a command and the tips show it.
    ASSERT_FALSE(has_message_box(zuvo.proc().id()));
    fake.restore(speakers);
    zuvo.post_command(first_control);
    fake.set_master(speakers, 0.43f);
    zuvo.post_command(volume_up);
    ASSERT_TRUE(probe_sync(zuvo, folder, 0));
    EXPECT_TRUE(
        wait_until([&] { return std::floor(fake.master(speakers) * 100 + 0.0001f) == 50; }, 5s));
    EXPECT_TRUE(wait_until([&] { return IsWindowVisible(zuvo.window()) != FALSE; }, 5s));
    EXPECT_TRUE(wait_until([&] { return colours_in(zuvo.window()) > 1; }, 2s))
        << "the tips draw nothing";
    // The icon is rebuilt only once commands pause for the tray update's
    // delay, so under this stream it first appears now.
    EXPECT_TRUE(wait_until([] { return colours_in(tray_icon_window()) > 1; }, 5s))
        << "the icon draws nothing";
    EXPECT_EQ(zuvo.exit(), 0u);
}

} // namespace
