#include "mxrctl/output_devices.h"

#include "mxrctl/mxrctl_ca.h"

using Microsoft::WRL::ComPtr;

std::vector<output_device> list_output_devices() {
    std::vector<output_device> found;
    m_mxrctl_ca mixer;
    // Opening by index takes the device list once; each device is looked at
    // through the same list.
    if (!mixer.open(nullptr, nullptr)) mixer.close();
    std::wstring default_id;
    if (mixer.is_open()) default_id = mixer.id();
    const uint32_t count = mixer.device_count();
    for (uint32_t i = 0; i < count; ++i) {
        if (!mixer.open_index(i, nullptr)) continue;
        ComPtr<IMMEndpoint> endpoint;
        EDataFlow flow = eCapture;
        if (FAILED(mixer.device()->QueryInterface(IID_PPV_ARGS(&endpoint))) ||
            FAILED(endpoint->GetDataFlow(&flow)) || flow != eRender)
            continue;
        found.push_back({mixer.id(), mixer.name(), mixer.id() == default_id});
    }
    return found;
}

size_t next_output_index(const std::vector<output_device>& devices) noexcept {
    for (size_t i = 0; i < devices.size(); ++i)
        if (devices[i].is_default) return (i + 1) % devices.size();
    return 0;
}
