// Figures of the mixer library over the fake audio system: one volume step
// (set and read back) and the notification path (set, then message 977
// claimed on the window thread), each against a bare PostMessageW round trip
// on the same machine in the same run; and a step on a program's control
// against one on the device's master, which it should stay within 1.5x of.

#include "mxrctl/audio_sessions.h"
#include "mxrctl/mxrctl_ca.h"
#include "bench/bench_timing.h"
#include "tests/support/fakeaudio/fake_audio.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>

namespace {

using namespace bench;

LRESULT CALLBACK count_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_APP) return 1;
    return DefWindowProcW(window, message, wparam, lparam);
}

// Post to our own window and take it out of the queue again.
double post_round_trip(HWND window, int count) {
    const auto start = clock_type::now();
    for (int i = 0; i < count; ++i) {
        PostMessageW(window, WM_APP, static_cast<WPARAM>(i), 0);
        MSG msg;
        GetMessageW(&msg, nullptr, 0, 0);
        DispatchMessageW(&msg);
    }
    return micros_per(clock_type::now() - start, count);
}

double volume_steps(m_mxrctl::m_devs& control, int count) {
    int sink = 0;
    const auto start = clock_type::now();
    for (int i = 0; i < count; ++i) {
        control.set_volume(i % 101);
        sink += control.volume();
    }
    const double result = micros_per(clock_type::now() - start, count);
    if (sink < 0) std::printf("?");
    return result;
}

// Set, then wait on the window thread until the control claims its message.
double notification_path(m_mxrctl::m_devs& control, int count) {
    const auto start = clock_type::now();
    for (int i = 0; i < count; ++i) {
        control.set_volume(i % 2 ? 30 : 70);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (control.is_notification(msg.message, msg.wParam)) break;
            DispatchMessageW(&msg);
        }
    }
    return micros_per(clock_type::now() - start, count);
}

} // namespace

int main() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    WNDCLASSW wc{};
    wc.lpfnWndProc = count_proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"quellbar_mixer_bench";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  wc.hInstance, nullptr);

    fakeaudio::world world;
    m_mxrctl_ca::set_enumerator_factory(fakeaudio::world::factory);
    // A player with one stream, and one that opened two (a browser's tabs):
    // a program's step writes every session of it.
    const int speakers = world.device(L"Speakers");
    world.add_session(speakers, 100, L"C:\\Apps\\player.exe", L"Player", 0.5f);
    world.add_session(speakers, 200, L"C:\\Apps\\browser.exe", L"", 0.5f);
    world.add_session(speakers, 200, L"C:\\Apps\\browser.exe", L"", 0.5f);
    // The steps are measured before anything watches the device, so that they
    // carry no notification traffic.
    m_mxrctl_ca quiet;
    if (!window || !quiet.open(L"Speakers", nullptr)) {
        std::printf("no fake devices\n");
        return 1;
    }
    std::unique_ptr<m_mxrctl::m_devs> master(quiet.create_control());
    std::unique_ptr<m_mxrctl::m_devs> line(quiet.create_control());
    std::unique_ptr<m_mxrctl::m_devs> player(create_application_control(quiet, L"player.exe"));
    std::unique_ptr<m_mxrctl::m_devs> browser(create_application_control(quiet, L"browser.exe"));
    if (!master->open(false, 0, -1) || !line->open(true, 0, 2) || !player ||
        !player->open(false, 0, -1) || !browser || !browser->open(false, 0, -1)) {
        std::printf("controls did not open\n");
        return 1;
    }
    // An idle program's control would step nothing and look fast.
    if (player->idle() || browser->idle()) {
        std::printf("the programs' sessions were not found\n");
        return 1;
    }
    post_round_trip(window, 2000); // warm up
    const double post = best_of([&] { return post_round_trip(window, 10000); });
    volume_steps(*master, 1000);
    const double step_master = best_of([&] { return volume_steps(*master, 10000); });
    const double step_line = best_of([&] { return volume_steps(*line, 10000); });
    volume_steps(*player, 1000);
    const double step_player = best_of([&] { return volume_steps(*player, 10000); });
    const double step_browser = best_of([&] { return volume_steps(*browser, 10000); });

    m_mxrctl_ca watched;
    std::unique_ptr<m_mxrctl::m_devs> notified;
    if (watched.open(L"Speakers", window)) notified.reset(watched.create_control());
    if (!notified || !notified->open(false, 0, -1)) {
        std::printf("watched control did not open\n");
        return 1;
    }
    notification_path(*notified, 200);
    const double notify = best_of([&] { return notification_path(*notified, 1000); });
    const double post_again = best_of([&] { return post_round_trip(window, 10000); });

    std::printf("bare PostMessageW round trip       %8.3f us (again at the end: %.3f us)\n", post,
                post_again);
    std::printf("volume step, master (set + read)   %8.3f us = %8.4f x round trip\n", step_master,
                step_master / post);
    std::printf("volume step, stereo line (dB)      %8.3f us = %8.4f x round trip\n", step_line,
                step_line / post);
    std::printf("volume step, program, 1 session    %8.3f us = %8.4f x master step (goal <= 1.5)\n",
                step_player, step_player / step_master);
    std::printf("volume step, program, 2 sessions   %8.3f us = %8.4f x master step\n", step_browser,
                step_browser / step_master);
    std::printf("notification, set -> 977 claimed   %8.3f us = %8.4f x round trip\n", notify,
                notify / post);
    m_mxrctl_ca::set_enumerator_factory(nullptr);
    return 0;
}
