// Figures of the sound plug-in: the time from a refresh that reports a real
// change to the click starting to play (Play returned), once with the click
// buffer already held and once for a first click that opens the device and
// reads the file, each against a refresh without the flag handled by the
// same small host in the same run. tickson.dll is loaded from the build's
// program folder and driven the way zuvo.exe drives it: message hook first,
// delayed commands as window timers, commands to ZUVOPLUG_event.
//   bench/tickson.exe   (under the Wine session: it plays on the null sink)

#include "plugin_sdk/zuvoplug.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using clock_type = std::chrono::steady_clock;

struct host {
    ZUVOPLUG_event_fn event = nullptr;
    ZUVOPLUG_msgproc_fn msgproc = nullptr;
    bool refreshed = false;
    bool clicked = false;
    clock_type::duration play_call{};
};
host g_host;

void command(HWND window, WPARAM wparam) {
    if (LOWORD(wparam) == ZUVO_CMD_REFRESH) g_host.refreshed = true;
    if (LOWORD(wparam) != ZUVO_CMD_PLUGIN) return;
    const auto start = clock_type::now();
    g_host.event(window, HIWORD(wparam));
    if (HIWORD(wparam) == 10) {
        g_host.play_call = clock_type::now() - start;
        g_host.clicked = true;
    }
}

LRESULT CALLBACK host_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (g_host.msgproc && (g_host.msgproc(window, message, wparam, lparam) & 0xFF)) return 0;
    switch (message) {
    case ZUVOMSG_DELAYED:
        SetTimer(window, wparam, static_cast<UINT>(lparam), nullptr);
        return 0;
    case WM_TIMER:
        KillTimer(window, wparam);
        command(window, wparam);
        return 0;
    case WM_COMMAND:
        command(window, wparam);
        return 0;
    default:
        return DefWindowProcW(window, message, wparam, lparam);
    }
}

template <typename Done> void pump_until(Done done) {
    MSG msg;
    while (!done() && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
}

double median_micros(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double micros(clock_type::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

} // namespace

int main() {
    // The program folder: tickson.dll in plugin\, the sounds in resource\tickson.
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring folder(exe);
    folder = folder.substr(0, folder.find_last_of(L"\\/"));
    folder = folder.substr(0, folder.find_last_of(L"\\/")) + L"\\bin";
    SetCurrentDirectoryW(folder.c_str());
    HMODULE plugin = LoadLibraryW((folder + L"\\plugin\\tickson.dll").c_str());
    if (!plugin) {
        std::printf("tickson.dll not found in %ls\\plugin\n", folder.c_str());
        return 1;
    }
    auto entry = reinterpret_cast<ZUVOPLUG_entry_fn>(
        reinterpret_cast<void*>(GetProcAddress(plugin, "ZUVOPLUG_entry_4_0_0")));
    auto release = reinterpret_cast<ZUVOPLUG_release_fn>(
        reinterpret_cast<void*>(GetProcAddress(plugin, "ZUVOPLUG_release")));
    g_host.event = reinterpret_cast<ZUVOPLUG_event_fn>(
        reinterpret_cast<void*>(GetProcAddress(plugin, "ZUVOPLUG_event")));
    g_host.msgproc = reinterpret_cast<ZUVOPLUG_msgproc_fn>(
        reinterpret_cast<void*>(GetProcAddress(plugin, "ZUVOPLUG_msgproc")));

    WNDCLASSW wc{};
    wc.lpfnWndProc = host_proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"tickson_bench_host";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  wc.hInstance, nullptr);
    // The settings file of the program folder, if any, decides; by default
    // the click is on and the background off.
    entry(0, window);

    auto refresh = [&](WPARAM wparam, bool wait_for_click) {
        g_host.refreshed = g_host.clicked = false;
        const auto start = clock_type::now();
        PostMessageW(window, WM_COMMAND, wparam, 0);
        pump_until([&] { return wait_for_click ? g_host.clicked : g_host.refreshed; });
        return micros(clock_type::now() - start);
    };

    constexpr int rounds = 21;
    std::vector<double> plain, held, held_play, first, first_play;
    refresh(0x10000 | ZUVO_CMD_REFRESH, true); // warm up: device, buffer, code paths
    for (int i = 0; i < rounds; ++i) {
        plain.push_back(refresh(ZUVO_CMD_REFRESH, false));
        held.push_back(refresh(0x10000 | ZUVO_CMD_REFRESH, true));
        held_play.push_back(micros(g_host.play_call));
        // Code 11 gives the buffer back and, with nothing else playing, the device.
        g_host.event(window, 11);
        first.push_back(refresh(0x10000 | ZUVO_CMD_REFRESH, true));
        first_play.push_back(micros(g_host.play_call));
    }
    release();
    DestroyWindow(window);
    FreeLibrary(plugin);

    const double base = median_micros(plain);
    std::printf("tickson: medians of %d rounds\n", rounds);
    std::printf("  refresh without change (baseline)      %10.1f us\n", base);
    std::printf(
        "  changed refresh -> click, buffer held  %10.1f us  ratio %8.1f  (Play call %8.1f us)\n",
        median_micros(held), median_micros(held) / base, median_micros(held_play));
    std::printf(
        "  changed refresh -> first click (file)  %10.1f us  ratio %8.1f  (Play call %8.1f us)\n",
        median_micros(first), median_micros(first) / base, median_micros(first_play));
    return 0;
}
