#include "mxrctl/policy_config.h"

#include <initializer_list>

namespace {
Cpolicy_config::factory g_factory = nullptr;
} // namespace

void Cpolicy_config::set_factory(factory make) noexcept {
    g_factory = make;
}

bool Cpolicy_config::available() noexcept {
    if (!tried_) {
        tried_ = true;
        // The class lives in a system library; asked for anywhere else, a
        // system without it would look for a server to start while the menu
        // waits (under Wine for longer than a user would wait for a menu).
        const HRESULT hr = g_factory
                               ? g_factory(config_.GetAddressOf())
                               : CoCreateInstance(clsid_policy_config, nullptr,
                                                  CLSCTX_INPROC_SERVER, __uuidof(IPolicyConfig),
                                                  reinterpret_cast<void**>(config_.GetAddressOf()));
        if (FAILED(hr)) config_.Reset();
    }
    return config_ != nullptr;
}

bool Cpolicy_config::set_default(const wchar_t* device_id) noexcept {
    if (!device_id || !*device_id || !available()) return false;
    // Windows keeps a default per role; a switch from the tray means all of them.
    bool all = true;
    for (const ERole role : {eConsole, eMultimedia, eCommunications})
        all = SUCCEEDED(config_->SetDefaultEndpoint(device_id, role)) && all;
    return all;
}
