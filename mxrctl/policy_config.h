#pragma once
// Making an output device the default. Windows has no documented call for
// it; its own Sound panel uses a policy-configuration COM class whose
// interface has stayed the same since Windows 7, declared here from its
// published layout. Only SetDefaultEndpoint is called; the other methods
// hold their places in the table.

#include <windows.h>

#include <mmdeviceapi.h>
#include <mmreg.h>
#include <propidl.h>
#include <wrl/client.h>

struct DECLSPEC_UUID("f8679f50-850a-41cf-9c72-430f290290c8") DECLSPEC_NOVTABLE IPolicyConfig
    : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetMixFormat(PCWSTR, WAVEFORMATEX**) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDeviceFormat(PCWSTR, INT, WAVEFORMATEX**) = 0;
    virtual HRESULT STDMETHODCALLTYPE ResetDeviceFormat(PCWSTR) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDeviceFormat(PCWSTR, WAVEFORMATEX*, WAVEFORMATEX*) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetProcessingPeriod(PCWSTR, INT, PINT64, PINT64) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetProcessingPeriod(PCWSTR, PINT64) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetShareMode(PCWSTR, void*) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetShareMode(PCWSTR, void*) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPropertyValue(PCWSTR, const PROPERTYKEY&,
                                                       PROPVARIANT*) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPropertyValue(PCWSTR, const PROPERTYKEY&,
                                                       PROPVARIANT*) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDefaultEndpoint(PCWSTR device_id, ERole role) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetEndpointVisibility(PCWSTR, INT) = 0;
};
#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(IPolicyConfig, 0xf8679f50, 0x850a, 0x41cf, 0x9c, 0x72, 0x43, 0x0f, 0x29, 0x02, 0x90,
                0xc8)
#endif

// The class that offers IPolicyConfig.
constexpr CLSID clsid_policy_config = {
    0x870af99c, 0x171d, 0x4f9e, {0xaf, 0x0d, 0xe6, 0x3d, 0xf4, 0x0c, 0x2b, 0xc9}};

// The policy-configuration object, made on first use. Where the system has
// no such class every call fails quietly: callers grey what depends on it.
class Cpolicy_config {
public:
    // Where the object comes from; the default is CoCreateInstance of
    // clsid_policy_config. Tests hand in their own audio system's.
    using factory = HRESULT (*)(IPolicyConfig** out);
    static void set_factory(factory make) noexcept; // null: default

    // Whether the class is there (made once, kept).
    bool available() noexcept;
    // Makes the device the default output or input for every role.
    bool set_default(const wchar_t* device_id) noexcept;
    // Lets the object go (before COM ends); the next use makes it again.
    void release() noexcept {
        config_.Reset();
        tried_ = false;
    }

private:
    Microsoft::WRL::ComPtr<IPolicyConfig> config_;
    bool tried_ = false;
};
