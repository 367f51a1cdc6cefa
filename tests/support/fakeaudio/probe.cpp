// A separate process for the tests of the fake COM server. It creates the
// device enumerator the ordinary way and reports what it sees on stdout.
//   fakeaudio_probe list            one line per active device: flow|name|percent|mute
//   fakeaudio_probe watch EVENT     opens the default device's master volume with
//                                   the mixer library, sets EVENT, waits (10 s at
//                                   most) for a change message and prints
//                                   "notified <percent> <mute>"
//   fakeaudio_probe play            plays a short silent DirectSound buffer

#include "mxrctl/mxrctl_ca.h"

#include <dsound.h>
#include <propidl.h>
#include <propsys.h>

#include <cstdio>
#include <cwchar>
#include <memory>

using Microsoft::WRL::ComPtr;

namespace {

constexpr CLSID clsid_device_enumerator = {
    0xbcde0395, 0xe52f, 0x467c, {0x8e, 0x3d, 0xc4, 0x57, 0x92, 0x91, 0x69, 0x2e}};
constexpr PROPERTYKEY key_friendly_name = {
    {0xa45c254e, 0xdf1c, 0x4efd, {0x80, 0x20, 0x67, 0xd1, 0x46, 0xa8, 0x50, 0xe0}}, 14};

int list_devices() {
    ComPtr<IMMDeviceEnumerator> enumerator;
    ComPtr<IMMDeviceCollection> devices;
    if (FAILED(CoCreateInstance(clsid_device_enumerator, nullptr, CLSCTX_ALL,
                                IID_PPV_ARGS(&enumerator))) ||
        FAILED(enumerator->EnumAudioEndpoints(eAll, DEVICE_STATE_ACTIVE, &devices)))
        return 2;
    UINT count = 0;
    devices->GetCount(&count);
    for (UINT i = 0; i < count; ++i) {
        ComPtr<IMMDevice> device;
        ComPtr<IMMEndpoint> endpoint;
        ComPtr<IPropertyStore> store;
        EDataFlow flow = eRender;
        if (FAILED(devices->Item(i, &device)) || FAILED(device.As(&endpoint)) ||
            FAILED(endpoint->GetDataFlow(&flow)) ||
            FAILED(device->OpenPropertyStore(STGM_READ, &store)))
            continue;
        PROPVARIANT name;
        PropVariantInit(&name);
        store->GetValue(key_friendly_name, &name);
        m_mxrctl_ca mixer;
        int percent = -1, muted = -1;
        if (mixer.open_index(i, nullptr)) {
            std::unique_ptr<m_mxrctl::m_devs> control(mixer.create_control());
            if (control->open(false, 0, -1)) {
                percent = control->volume();
                muted = control->mute() ? 1 : 0;
            }
        }
        wprintf(L"%ls|%ls|%d|%d\n", flow == eRender ? L"render" : L"capture",
                name.vt == VT_LPWSTR ? name.pwszVal : L"?", percent, muted);
        PropVariantClear(&name);
    }
    return 0;
}

int watch(const wchar_t* ready_name) {
    HWND window =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    m_mxrctl_ca mixer;
    if (!window || !mixer.open(nullptr, window)) return 2;
    std::unique_ptr<m_mxrctl::m_devs> control(mixer.create_control());
    if (!control->open(false, 0, -1)) return 2;
    wprintf(L"opened %ls %d\n", mixer.name(), control->volume());
    fflush(stdout);
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, ready_name);
    if (ready) {
        SetEvent(ready);
        CloseHandle(ready);
    }
    SetTimer(window, 1, 10000, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER) return 3;
        if (control->is_notification(msg.message, msg.wParam)) {
            wprintf(L"notified %d %d\n", control->volume(), control->mute() ? 1 : 0);
            return 0;
        }
        DispatchMessageW(&msg);
    }
    return 4;
}

int play() {
    ComPtr<IDirectSound8> sound;
    if (FAILED(DirectSoundCreate8(nullptr, &sound, nullptr))) return 2;
    HWND window = GetDesktopWindow();
    if (FAILED(sound->SetCooperativeLevel(window, DSSCL_PRIORITY))) return 2;
    WAVEFORMATEX format{WAVE_FORMAT_PCM, 2, 44100, 44100 * 4, 4, 16, 0};
    DSBUFFERDESC desc{sizeof(desc), DSBCAPS_GLOBALFOCUS, 44100 * 4 / 10, 0, &format, GUID_NULL};
    ComPtr<IDirectSoundBuffer> buffer;
    if (FAILED(sound->CreateSoundBuffer(&desc, &buffer, nullptr))) return 2;
    if (FAILED(buffer->Play(0, 0, 0))) return 2;
    Sleep(150);
    wprintf(L"played\n");
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
    int result = 1;
    if (argc >= 2 && wcscmp(argv[1], L"list") == 0) result = list_devices();
    if (argc >= 3 && wcscmp(argv[1], L"watch") == 0) result = watch(argv[2]);
    if (argc >= 2 && wcscmp(argv[1], L"play") == 0) result = play();
    fflush(stdout);
    CoUninitialize();
    return result;
}
