// Test DLL, hooked onto zuvo.exe's thread with WH_GETMESSAGE. Inside the
// program it looks up the MXRCTL_ exports the way a plug-in does, works a
// device with them and writes what happened into shared memory.

#include "mxrctl/mxrctl_exports.h"
#include "tests/system/mxrctl_inject.h"

#include <strsafe.h>

namespace {

struct exports {
    MXRCTL_GetApiType_fn api_type;
    MXRCTL_MixerCreate_fn mixer_create;
    MXRCTL_MixerRelease_fn mixer_release;
    MXRCTL_ControlCreate_fn control_create;
    MXRCTL_ControlRelease_fn control_release;
    MXRCTL_VolumeGet_fn volume_get;
    MXRCTL_VolumeSet_fn volume_set;
    MXRCTL_MuteGet_fn mute_get;
    MXRCTL_MuteSet_fn mute_set;
    MXRCTL_CallbackCheck_fn callback_check;
};

template <typename F> F find(const char* name) {
    return reinterpret_cast<F>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(nullptr), name)));
}

exports api;
HANDLE mapping;
mxrctl_inject_report* report;
m_mxrctl* mixer;
m_mxrctl::m_devs* master;
HWND window;

void add(const wchar_t* format, ...) {
    wchar_t line[256];
    va_list args;
    va_start(args, format);
    StringCchVPrintfW(line, 256, format, args);
    va_end(args);
    StringCchCatW(report->text, 2048, line);
    StringCchCatW(report->text, 2048, L"\n");
}

LRESULT CALLBACK window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    if (report && master && api.callback_check(master, message, wparam) && report->stage == 1) {
        add(L"notified %d", api.volume_get(master));
        InterlockedExchange(&report->stage, 2);
        api.control_release(master);
        master = nullptr;
        api.mixer_release(mixer);
        mixer = nullptr;
        add(L"released");
        InterlockedExchange(&report->stage, 3);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wparam, lparam);
}

void run() {
    mapping = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, mxrctl_inject_report_name);
    if (!mapping) return;
    report = static_cast<mxrctl_inject_report*>(
        MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(mxrctl_inject_report)));
    if (!report) return;
    api = {find<MXRCTL_GetApiType_fn>("MXRCTL_GetApiType"),
           find<MXRCTL_MixerCreate_fn>("MXRCTL_MixerCreate"),
           find<MXRCTL_MixerRelease_fn>("MXRCTL_MixerRelease"),
           find<MXRCTL_ControlCreate_fn>("MXRCTL_ControlCreate"),
           find<MXRCTL_ControlRelease_fn>("MXRCTL_ControlRelease"),
           find<MXRCTL_VolumeGet_fn>("MXRCTL_VolumeGet"),
           find<MXRCTL_VolumeSet_fn>("MXRCTL_VolumeSet"),
           find<MXRCTL_MuteGet_fn>("MXRCTL_MuteGet"),
           find<MXRCTL_MuteSet_fn>("MXRCTL_MuteSet"),
           find<MXRCTL_CallbackCheck_fn>("MXRCTL_CallbackCheck")};
    if (!api.api_type || !api.mixer_create || !api.mixer_release || !api.control_create ||
        !api.control_release || !api.volume_get || !api.volume_set || !api.mute_get ||
        !api.mute_set || !api.callback_check) {
        add(L"exports missing");
        InterlockedExchange(&report->stage, 1);
        return;
    }
    add(L"api %d", api.api_type());
    add(L"select %ls", find<void*>("MXRCTL_ControlSelect") ? L"present" : L"missing");

    WNDCLASSW wc{};
    wc.lpfnWndProc = window_proc;
    wc.hInstance = GetModuleHandleW(L"mxrctl_inject.dll");
    wc.lpszClassName = L"quellbar_mxrctl_inject";
    RegisterClassW(&wc);
    window = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             wc.hInstance, nullptr);

    wchar_t name[mxrctl_name_length] = L"?";
    mixer = api.mixer_create(nullptr, window, name);
    add(L"mixer %ls", mixer ? name : L"<none>");
    mxrctl_control_info info{};
    master = mixer ? api.control_create(mixer, 0, -1, &info) : nullptr;
    add(L"master %ls %u", master ? info.control : L"<none>", info.channels);
    if (master) {
        add(L"set %d", api.volume_set(master, 37, 0) ? 1 : 0);
        add(L"get %d", api.volume_get(master));
        const bool muted = api.mute_set(master, true);
        add(L"mute %d %d", muted ? 1 : 0, api.mute_get(master) ? 1 : 0);
        m_mxrctl::m_devs* cd = api.control_create(mixer, 0, 2, &info);
        add(L"line %ls %u", cd ? info.control : L"<none>", info.channels);
        api.control_release(cd);
    }
    // Let the notifications of our own changes pass before the test changes
    // the volume from outside: only that one is waited for.
    MSG pending;
    for (int i = 0; i < 50; ++i) {
        while (PeekMessageW(&pending, window, 0, 0, PM_REMOVE)) {
        }
        Sleep(5);
    }
    InterlockedExchange(&report->stage, 1);
}

} // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK
    mxrctl_inject_hook(int code, WPARAM wparam, LPARAM lparam) noexcept {
    static LONG started = 0;
    // Only inside the program that exports the mixer functions, once.
    if (code >= 0 && GetProcAddress(GetModuleHandleW(nullptr), "MXRCTL_GetApiType") &&
        InterlockedExchange(&started, 1) == 0)
        run();
    return CallNextHookEx(nullptr, code, wparam, lparam);
}
