// Figure of the mixer lock: from another program's change of a locked
// control to the locked value being back (notification, the plug-in's
// message hook, read and write back), against the notification path alone
// (the change until a control of our own claims its message 977), in the
// same run over the fake audio system. This program is the plug-in's host: it
// exports the MXRCTL_ functions and offers every message to the plug-in
// first, as the main program does.
//
// The lock leaves a control alone that is written back more often than its
// fight guard allows, as a program that answers every write would have it:
// its batches stay within the guard's writes per window, and the wait for
// the next window is not timed.

#include "common/unique_resource.h"
#include "bench/bench_timing.h"
#include "mxrctl/mxrctl_ca.h"
#include "plugin_sdk/zuvoplug.h"
#include "plugins/lockvol/lock_entries.h"
#include "tests/support/fakeaudio/fake_audio.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

namespace {

using namespace bench;

template <typename F> F plugin_export(HMODULE module, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Another program turns the master down, then we wait on the window thread
// until a control of ours claims the notification.
double notification_alone(fakeaudio::world& world, int device, m_mxrctl::m_devs& control,
                          int count) {
    const auto start = clock_type::now();
    for (int i = 0; i < count; ++i) {
        world.set_master(device, i % 2 ? 0.3f : 0.7f);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (control.is_notification(msg.message, msg.wParam)) break;
            DispatchMessageW(&msg);
        }
    }
    return micros_per(clock_type::now() - start, count);
}

// The same change, until the locked plug-in has put the master back: as
// many as the fight guard lets through in one window.
double change_undone(fakeaudio::world& world, int device, ZUVOPLUG_msgproc_fn msgproc) {
    constexpr int count = lockvol::fight_guard::max_writes;
    clock_type::duration timed{};
    for (int i = 0; i < count; ++i) {
        const auto start = clock_type::now();
        world.set_master(device, i % 2 ? 0.3f : 0.7f);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            const bool claimed = msgproc(msg.hwnd, msg.message, msg.wParam, msg.lParam) & 0xFF;
            if (claimed && std::lround(world.master(device) * 100.0f) == 50) break;
            if (!claimed) DispatchMessageW(&msg);
        }
        timed += clock_type::now() - start;
    }
    Sleep(static_cast<DWORD>(lockvol::fight_guard::window_ms) + 50);
    return micros_per(timed, count);
}

bool write_settings(const std::wstring& path) {
    const wchar_t text[] = L"\xFEFF[Control]\r\nBootEnable=1\r\nControlNum=1\r\n"
                           L"[Control00]\r\nMixer=Speakers\r\nSource=-1\r\nVolume=50\r\n";
    unique_file file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!file) return false;
    DWORD written = 0;
    const DWORD size = static_cast<DWORD>(sizeof text - sizeof(wchar_t));
    return WriteFile(file.get(), text, size, &written, nullptr) && written == size;
}

} // namespace

int main() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"quellbar_lockvol_bench";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  wc.hInstance, nullptr);
    fakeaudio::world world(fakeaudio::description::standard().hardware_writes());
    m_mxrctl_ca::set_enumerator_factory(fakeaudio::world::factory);
    const int speakers = world.device(L"Speakers");

    // The plug-in reads lockvol.ini from the current directory: a folder of our own.
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"lockvol_bench";
    CreateDirectoryW(folder.c_str(), nullptr);
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring plugin_path = exe;
    plugin_path = plugin_path.substr(0, plugin_path.find_last_of(L'\\'));
    plugin_path =
        plugin_path.substr(0, plugin_path.find_last_of(L'\\')) + L"\\bin\\plugin\\lockvol.dll";
    if (!window || speakers < 0 || !write_settings(folder + L"\\lockvol.ini") ||
        !SetCurrentDirectoryW(folder.c_str())) {
        std::printf("no window, fake devices or settings file\n");
        return 1;
    }
    unique_hmodule plugin(LoadLibraryW(plugin_path.c_str()));
    auto entry = plugin_export<ZUVOPLUG_entry_fn>(plugin.get(), "ZUVOPLUG_entry_4_0_0");
    auto event = plugin_export<ZUVOPLUG_event_fn>(plugin.get(), "ZUVOPLUG_event");
    auto msgproc = plugin_export<ZUVOPLUG_msgproc_fn>(plugin.get(), "ZUVOPLUG_msgproc");
    auto release = plugin_export<ZUVOPLUG_release_fn>(plugin.get(), "ZUVOPLUG_release");
    if (!entry || !event || !msgproc || !release) {
        std::printf("lockvol.dll not found beside the programs (%ls)\n", plugin_path.c_str());
        return 1;
    }

    double alone = 0;
    {
        m_mxrctl_ca watched;
        std::unique_ptr<m_mxrctl::m_devs> control;
        if (watched.open(L"Speakers", window)) control.reset(watched.create_control());
        if (!control || !control->open(false, 0, -1)) {
            std::printf("watched control did not open\n");
            return 1;
        }
        notification_alone(world, speakers, *control, 200);
        alone = best_of([&] { return notification_alone(world, speakers, *control, 1000); });
    }
    entry(0, window);
    event(window, 0); // BootEnable: locked at 50 %
    if (std::lround(world.master(speakers) * 100.0f) != 50) {
        std::printf("the plug-in did not lock\n");
        return 1;
    }
    change_undone(world, speakers, msgproc);
    const double undone = best_of([&] { return change_undone(world, speakers, msgproc); });
    release();
    m_mxrctl_ca::set_enumerator_factory(nullptr);

    std::printf("outside change -> 977 claimed (notification alone) %9.3f us\n", alone);
    std::printf("outside change -> locked value back (lockvol)      %9.3f us = %6.3f x\n", undone,
                undone / alone);
    return 0;
}
