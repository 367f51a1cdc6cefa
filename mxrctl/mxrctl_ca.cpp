#include "mxrctl/mxrctl_ca.h"

#include "mxrctl/mxrctl_ca_shared.h"

#include <propidl.h>
#include <propsys.h>

#include <cwchar>

using Microsoft::WRL::ComPtr;
using mxrctl_ca_detail::current_factory;
using mxrctl_ca_detail::max_name;
using mxrctl_ca_detail::take_co_string;

namespace {

constexpr CLSID clsid_device_enumerator = {
    0xbcde0395, 0xe52f, 0x467c, {0x8e, 0x3d, 0xc4, 0x57, 0x92, 0x91, 0x69, 0x2e}};
// PKEY_Device_FriendlyName
constexpr PROPERTYKEY key_friendly_name = {
    {0xa45c254e, 0xdf1c, 0x4efd, {0x80, 0x20, 0x67, 0xd1, 0x46, 0xa8, 0x50, 0xe0}}, 14};

HRESULT system_enumerator(IMMDeviceEnumerator** enumerator) {
    return CoCreateInstance(clsid_device_enumerator, nullptr, CLSCTX_ALL,
                            __uuidof(IMMDeviceEnumerator), reinterpret_cast<void**>(enumerator));
}

std::wstring friendly_name(IMMDevice* device) {
    ComPtr<IPropertyStore> store;
    if (FAILED(device->OpenPropertyStore(STGM_READ, &store))) return {};
    PROPVARIANT value;
    PropVariantInit(&value);
    std::wstring name;
    if (SUCCEEDED(store->GetValue(key_friendly_name, &value)) && value.vt == VT_LPWSTR &&
        value.pwszVal)
        name.assign(value.pwszVal, wcsnlen(value.pwszVal, max_name));
    PropVariantClear(&value);
    return name;
}

} // namespace

namespace mxrctl_ca_detail {

m_mxrctl_ca::enumerator_factory current_factory = system_enumerator;

std::wstring take_co_string(LPWSTR text) {
    std::wstring s = text ? std::wstring(text, wcsnlen(text, max_name)) : std::wstring();
    CoTaskMemFree(text);
    return s;
}

} // namespace mxrctl_ca_detail

void m_mxrctl_ca::set_enumerator_factory(enumerator_factory factory) noexcept {
    current_factory = factory ? factory : system_enumerator;
}

m_mxrctl_ca::~m_mxrctl_ca() {
    close();
}

bool m_mxrctl_ca::ensure_device_list(bool refresh) {
    if (!enumerator_) {
        ComPtr<IMMDeviceEnumerator> enumerator;
        if (FAILED(current_factory(&enumerator)) || !enumerator) return false;
        enumerator_ = enumerator;
    }
    if (devices_ && !refresh) return true;
    ComPtr<IMMDeviceCollection> devices;
    if (FAILED(enumerator_->EnumAudioEndpoints(eAll, DEVICE_STATE_ACTIVE, &devices))) {
        devices_.Reset();
        return false;
    }
    devices_ = devices;
    return devices_ != nullptr;
}

bool m_mxrctl_ca::open(const wchar_t* name, HWND notify_window) {
    close();
    // Looking up by name takes the list anew: a device plugged in after the
    // program started must be found without a restart.
    if (!ensure_device_list(name != nullptr)) return false;
    if (!name) {
        ComPtr<IMMDevice> device;
        if (FAILED(enumerator_->GetDefaultAudioEndpoint(default_flow, default_role, &device)))
            return false;
        return take_device(device, notify_window);
    }
    const uint32_t count = device_count();
    for (uint32_t i = 0; i < count; ++i)
        if (open_index(i, notify_window) && name_matches(name)) return true;
    close();
    return false;
}

bool m_mxrctl_ca::open_index(uint32_t index, HWND notify_window) {
    close();
    if (!ensure_device_list(false)) return false;
    ComPtr<IMMDevice> device;
    if (FAILED(devices_->Item(index, &device))) return false;
    return take_device(device, notify_window);
}

bool m_mxrctl_ca::take_device(ComPtr<IMMDevice> device, HWND notify_window) {
    if (!device) return false;
    LPWSTR id = nullptr;
    if (FAILED(device->GetId(&id))) id = nullptr;
    id_ = take_co_string(id);
    if (id_.empty()) return false;
    notify_window_ = notify_window;
    name_ = friendly_name(device.Get());
    if (name_.empty()) {
        close();
        return false;
    }
    device_ = device;
    return true;
}

void m_mxrctl_ca::close() {
    lines_.clear();
    walked_ = false;
    adapter_topology_.Reset();
    notify_window_ = nullptr;
    id_.clear();
    name_.clear();
    device_.Reset();
}

bool m_mxrctl_ca::is_default_device() {
    if (!device_ || !enumerator_) return false;
    ComPtr<IMMDevice> device;
    LPWSTR id = nullptr;
    if (FAILED(enumerator_->GetDefaultAudioEndpoint(default_flow, default_role, &device)) ||
        !device || FAILED(device->GetId(&id)))
        return false;
    return take_co_string(id) == id_;
}

uint32_t m_mxrctl_ca::device_count() {
    UINT count = 0;
    if (!devices_ || FAILED(devices_->GetCount(&count))) return 0;
    return count;
}

bool m_mxrctl_ca::name_matches(const wchar_t* text) const {
    if (!text || !device_) return false;
    const size_t length = wcsnlen(text, max_name + 1);
    return name_.compare(0, length, text, length) == 0 && length <= name_.size();
}

uint32_t m_mxrctl_ca::source_count(uint32_t) {
    walk_lines();
    return static_cast<uint32_t>(lines_.size());
}

m_mxrctl::m_devs* m_mxrctl_ca::create_control() {
    return new m_devs(*this);
}
