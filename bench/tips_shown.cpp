// The time users feel: from a posted volume command to the tips on the
// screen, in a running zuvo.exe (four controls, the default format and
// [Tips]) over the fake audio system. The tips are hidden before each
// command, so that their showing marks the end.
// Twice: commands a second apart, as in a burst, and commands after the
// program went idle and released what it draws with. Then
// UpdateLayeredWindow of a box of the same size in this program: its share
// is the display's, not the program's.
//
//   bench_tips_shown [commands per case, default 30]

#include "bench/bench_timing.h"
#include "common/unique_resource.h"
#include "confctl/config.h"
#include "main/tips_format.h"
#include "main/tips_render.h"
#include "tests/support/fakeaudio/fake_audio.h"
#include "tests/support/harness.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace test_support;

namespace {

constexpr WPARAM volume_up = 0x0580, volume_down = 0x0581, hide_tips = 0x0503;
// Longer than the program's idle delay (4 s after the last show).
constexpr DWORD idle_wait_ms = 4600;

// Waits for the window to show, asking as often as the machine lets this
// thread run: Wine's cross-process event hooks never call back, and a
// sleep would round the figure up to the timer's tick.
bool wait_for_show(HWND window, double& shown_ns) {
    const double give_up = bench::now_ns() + 5e9;
    while (!IsWindowVisible(window)) {
        if (bench::now_ns() > give_up) return false;
        SwitchToThread();
    }
    shown_ns = bench::now_ns();
    return true;
}

struct figures {
    double best = 0;
    double median = 0;
    size_t count = 0;
};

figures summary(std::vector<double> samples) {
    figures f;
    f.count = samples.size();
    if (samples.empty()) return f;
    std::sort(samples.begin(), samples.end());
    f.best = samples.front();
    f.median = samples[samples.size() / 2];
    return f;
}

// Hides the tips, waits `gap_ms`, posts a volume step and times it until
// the tips show, `commands` times.
figures command_to_tips(zuvo_process& zuvo, int commands, DWORD gap_ms) {
    std::vector<double> samples;
    for (int i = 0; i < commands; ++i) {
        zuvo.post_command(hide_tips);
        if (!wait_until([&] { return !IsWindowVisible(zuvo.window()); }, std::chrono::seconds(5),
                        std::chrono::milliseconds(5)))
            break;
        Sleep(gap_ms);
        const double posted = bench::now_ns();
        zuvo.post_command(i % 2 ? volume_down : volume_up);
        double shown = 0;
        if (!wait_for_show(zuvo.window(), shown)) break;
        samples.push_back((shown - posted) / 1e6);
    }
    return summary(samples);
}

// UpdateLayeredWindow of the tips of these controls, drawn as the program
// draws them, on a layered window of this program: hidden (as for the first
// show) or shown (as while a burst redraws). Wine cuts the window's shape
// from the alpha, so what is drawn matters.
double update_layered_ms(const program_folder& folder, bool shown, int32_t& width,
                         int32_t& height) {
    SetCurrentDirectoryW(folder.path().c_str());
    tips_format format;
    if (!load_tips_format(format, L"flatbar_ml")) return -1;
    const wchar_t* names[] = {L"Speakers", L"Microphone", L"Wave", L"CD Audio"};
    const tips_line_source source = [&](size_t slot, tips_line_info& info) {
        if (slot >= 4) return false;
        info.name = names[slot];
        info.volume = 50;
        info.usable = true;
        return true;
    };
    const Cconfig config;
    wchar_t text[tips_text_capacity];
    build_tips_text_from(format, 0, source, config.text_color, config.tips_vol0_on_mute, text,
                         tips_text_capacity);
    int32_t screen_width = 0;
    int32_t screen_height = 0;
    tips_screen_size(screen_width, screen_height);
    tips_picture picture;
    if (!render_tips(text, tips_settings_from(config, screen_width, screen_height), picture))
        return -1;
    width = picture.surface.width();
    height = picture.surface.height();

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"Quellbar_BenchLayered";
    RegisterClassExW(&wc);
    unique_hwnd window(CreateWindowExW(WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_TOPMOST,
                                       wc.lpszClassName, L"", WS_POPUP, picture.layout.x,
                                       picture.layout.y, width, height, nullptr, nullptr,
                                       wc.hInstance, nullptr));
    if (!window) return -1;
    window_dc screen(nullptr);
    POINT at{picture.layout.x, picture.layout.y};
    SIZE size{width, height};
    POINT origin{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    const auto update = [&] {
        UpdateLayeredWindow(window.get(), screen.get(), &at, &size, picture.surface.dc(), &origin,
                            config.background_color, &blend, ULW_ALPHA);
    };
    update();
    if (shown) ShowWindow(window.get(), SW_SHOWNOACTIVATE);
    const int repetitions = 10;
    return bench::best_of([&] {
        const double start = bench::now_ns();
        for (int i = 0; i < repetitions; ++i) update();
        return (bench::now_ns() - start) / 1e6 / repetitions;
    });
}

} // namespace

int main(int argc, char** argv) {
    const int commands = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;

    fakeaudio::installed_fake fake(fakeaudio::description::standard(),
                                   build_bin_folder() + L"\\..\\tests\\fakeaudio_server.dll");
    if (!fake.installed()) {
        std::printf("the fake audio system could not be installed\n");
        return 1;
    }
    program_folder folder;
    folder.write_ini(L"zuvo.ini", L"[Basic]\r\nTipsTimer=20000\r\n"
                                  L"[Control00]\r\nCaption=Speakers\r\nMixer=Speakers\r\n"
                                  L"[Control01]\r\nCaption=Microphone\r\nMixer=Microphone\r\n"
                                  L"[Control02]\r\nCaption=Wave\r\nMixer=Speakers\r\nSource=0\r\n"
                                  L"[Control03]\r\nCaption=CD Audio\r\nMixer=Speakers\r\n"
                                  L"Source=1\r\n");
    zuvo_process zuvo(folder);
    if (!zuvo.window()) {
        std::printf("zuvo.exe did not start\n");
        return 1;
    }
    // The first show loads fonts and the format's pictures: not measured.
    command_to_tips(zuvo, 2, 0);
    RECT box{};
    GetWindowRect(zuvo.window(), &box);

    const figures burst = command_to_tips(zuvo, commands, 1000);
    const figures idle = command_to_tips(zuvo, std::max(1, commands / 5), idle_wait_ms);
    zuvo.exit();
    if (burst.count == 0 || idle.count == 0) {
        std::printf("the tips did not show after a command\n");
        return 1;
    }
    int32_t width = 0;
    int32_t height = 0;
    const double hidden_ms = update_layered_ms(folder, false, width, height);
    const double shown_ms = update_layered_ms(folder, true, width, height);

    std::printf("tips shown: 4 controls, default format and [Tips], box %d x %d (here %d x %d)\n",
                static_cast<int>(box.right - box.left), static_cast<int>(box.bottom - box.top),
                static_cast<int>(width), static_cast<int>(height));
    const auto row = [](const char* what, const figures& f) {
        std::printf("%-58s best %6.2f ms, median %6.2f ms (%u commands)\n", what, f.best, f.median,
                    static_cast<unsigned>(f.count));
    };
    row("posted volume command -> tips on screen, a second apart", burst);
    row("posted volume command -> tips on screen, after idle", idle);
    std::printf("%-58s %6.2f ms = %4.0f %% of the median a second apart\n",
                "UpdateLayeredWindow of the box, window hidden", hidden_ms,
                100.0 * hidden_ms / burst.median);
    std::printf("%-58s %6.2f ms\n", "UpdateLayeredWindow of the box, window shown", shown_ms);
    return 0;
}
