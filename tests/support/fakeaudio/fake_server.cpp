// In-process COM server for CLSID_MMDeviceEnumerator, registered in the test
// Wine prefix only. While a test has put fake devices in shared memory, every
// process gets the fake enumerator (DirectSound's needs are passed on to Wine's
// own devices); otherwise everything is Wine's own.

#include "tests/support/fakeaudio/fake_core.h"
#include "tests/support/fakeaudio/fake_audio.h"

#include "mxrctl/policy_config.h"

#include <mutex>

using Microsoft::WRL::ComPtr;

namespace {

constexpr CLSID clsid_device_enumerator = {
    0xbcde0395, 0xe52f, 0x467c, {0x8e, 0x3d, 0xc4, 0x57, 0x92, 0x91, 0x69, 0x2e}};

using get_class_object_fn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

HRESULT system_class_object(REFIID iid, void** out) {
    static HMODULE system = LoadLibraryW(L"C:\\windows\\system32\\mmdevapi.dll");
    auto get = system ? reinterpret_cast<get_class_object_fn>(
                            reinterpret_cast<void*>(GetProcAddress(system, "DllGetClassObject")))
                      : nullptr;
    return get ? get(clsid_device_enumerator, iid, out) : CLASS_E_CLASSNOTAVAILABLE;
}

// The fake state set up by a test, or null.
fakeaudio::core* fake_core() {
    // Recursive: Wine's own enumerator, made below, may ask for ours again.
    static std::recursive_mutex lock;
    static fakeaudio::core* made = nullptr; // kept for the process's life
    std::lock_guard<std::recursive_mutex> hold(lock);
    if (made) return made->state().active ? made : nullptr;
    HANDLE mapping = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, fakeaudio::installed_state_name);
    if (!mapping) return nullptr;
    auto* view = static_cast<fakeaudio::shared_state*>(
        MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(fakeaudio::shared_state)));
    if (!view || view->magic != fakeaudio::state_magic ||
        view->size != sizeof(fakeaudio::shared_state) || !view->active) {
        if (view) UnmapViewOfFile(view);
        CloseHandle(mapping);
        return nullptr;
    }
    made = new fakeaudio::core(mapping, view);
    ComPtr<IClassFactory> factory;
    ComPtr<IMMDeviceEnumerator> system;
    if (SUCCEEDED(system_class_object(IID_PPV_ARGS(&factory))))
        factory->CreateInstance(nullptr, IID_PPV_ARGS(&system));
    made->delegate = system;
    return made;
}

// A class object that lives as long as the library: no count to keep.
class static_class_object : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override {
        if (!out) return E_POINTER;
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IClassFactory)) {
            *out = this;
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return 2; }
    ULONG STDMETHODCALLTYPE Release() noexcept override { return 1; }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) noexcept override { return S_OK; }
};

fakeaudio::core* fake_core_or_null() noexcept {
    try {
        return fake_core();
    } catch (...) {
        return nullptr;
    }
}

class enumerator_factory final : public static_class_object {
public:
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid,
                                             void** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        fakeaudio::core* core = fake_core_or_null();
        if (!core) {
            ComPtr<IClassFactory> system;
            const HRESULT hr = system_class_object(IID_PPV_ARGS(&system));
            return FAILED(hr) ? hr : system->CreateInstance(nullptr, iid, out);
        }
        ComPtr<IMMDeviceEnumerator> enumerator;
        const HRESULT hr = core->create_enumerator(&enumerator);
        return FAILED(hr) ? hr : enumerator->QueryInterface(iid, out);
    }
};

enumerator_factory the_factory;

// The policy-configuration class exists only in the fake: Wine has none.
class policy_factory final : public static_class_object {
public:
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid,
                                             void** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        fakeaudio::core* core = fake_core_or_null();
        return core ? core->create_policy_config(iid, out) : CLASS_E_CLASSNOTAVAILABLE;
    }
};

policy_factory the_policy_factory;

} // namespace

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (clsid == clsid_policy_config) return the_policy_factory.QueryInterface(iid, out);
    if (clsid != clsid_device_enumerator) return CLASS_E_CLASSNOTAVAILABLE;
    bool fake = false;
    try {
        fake = fake_core() != nullptr;
    } catch (...) {
        fake = false;
    }
    if (!fake) return system_class_object(iid, out);
    return the_factory.QueryInterface(iid, out);
}

// The notifier thread and the kept state never go away while the process runs.
extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return S_FALSE;
}
