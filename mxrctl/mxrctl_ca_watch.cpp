#include "mxrctl/mxrctl_ca.h"

#include "mxrctl/mxrctl_ca_shared.h"

#include <new>

using Microsoft::WRL::ComPtr;
using mxrctl_ca_detail::current_factory;

bool m_mxrctl_ca::m_device_watch::start(HWND window, UINT message) noexcept {
    stop();
    ComPtr<IMMDeviceEnumerator> enumerator;
    if (FAILED(current_factory(&enumerator)) || !enumerator) return false;
    ComPtr<Ccallback_devices> client(new (std::nothrow) Ccallback_devices(window, message));
    if (!client || FAILED(enumerator->RegisterEndpointNotificationCallback(client.Get())))
        return false;
    enumerator_ = enumerator;
    client_ = client;
    return true;
}

void m_mxrctl_ca::m_device_watch::stop() noexcept {
    if (!client_) return;
    // A callback already under way may still run after unregistering.
    client_->silence();
    if (enumerator_) enumerator_->UnregisterEndpointNotificationCallback(client_.Get());
    client_.Reset();
    enumerator_.Reset();
}
