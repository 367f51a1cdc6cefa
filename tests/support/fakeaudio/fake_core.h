#pragma once
// One process's view of a fake audio state: the COM objects made over it, the
// change callbacks registered with them and the thread that calls those back.

#include "tests/support/fakeaudio/fake_state.h"

#include <endpointvolume.h>
#include <devicetopology.h>
#include <mmdeviceapi.h>
#include <wrl/client.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace fakeaudio {

enum class object_kind {
    enumerator,
    collection,
    device,
    property_store,
    endpoint_volume,
    topology,
    part,
    parts_list,
    volume_level,
    mute,
    input_selector,
    count
};

class core {
public:
    // Takes over `mapping` and `view` (unmapped and closed at the end).
    core(HANDLE mapping, shared_state* view);
    core(const core&) = delete;
    core& operator=(const core&) = delete;

    void add_ref() noexcept;
    void release() noexcept;
    shared_state& state() noexcept { return *state_; }

    void object_created(object_kind kind) noexcept;
    void object_destroyed(object_kind kind) noexcept;
    long live_objects() const noexcept;
    std::wstring live_object_list() const;

    // Change callbacks, kept per registering object (`owner`) until
    // unregistered or the owner goes.
    HRESULT watch_endpoint(void* owner, int device, IAudioEndpointVolumeCallback* callback);
    HRESULT unwatch_endpoint(int device, IAudioEndpointVolumeCallback* callback);
    HRESULT watch_part(void* owner, int part, bool mute, IControlChangeNotify* callback);
    HRESULT unwatch_part(int part, IControlChangeNotify* callback);
    // Device-list clients (IMMNotificationClient): they hear the device
    // events written after they registered, until they unregister.
    HRESULT watch_devices(void* owner, IMMNotificationClient* client);
    HRESULT unwatch_devices(IMMNotificationClient* client);
    void forget_owner(void* owner);
    size_t watch_count() const;

    // Every call into the fake objects passes here: one made from inside a
    // notification callback is counted in the shared state.
    void note_call() noexcept;

    // The system's own enumerator, for what the fake does not model (sound
    // output through DirectSound); null in tests.
    Microsoft::WRL::ComPtr<IMMDeviceEnumerator> delegate;

    HRESULT create_enumerator(IMMDeviceEnumerator** out);

private:
    enum class target { endpoint, part_volume, part_mute, devices };
    struct watch {
        void* owner;
        target what;
        int index;
        Microsoft::WRL::ComPtr<IAudioEndpointVolumeCallback> endpoint_callback;
        Microsoft::WRL::ComPtr<IControlChangeNotify> part_callback;
        Microsoft::WRL::ComPtr<IMMNotificationClient> device_client;
        LONG seen;
    };

    ~core();
    LONG sequence(target what, int index) const;
    void start_notifier(); // with lock_ held
    void notifier_loop();
    void deliver();
    void tell(IMMNotificationClient* client, const device_event& event);

    LONG refs_ = 1;
    HANDLE mapping_;
    shared_state* state_;
    volatile LONG live_[static_cast<int>(object_kind::count)] = {};
    mutable std::mutex lock_;
    std::vector<watch> watches_;
    HANDLE wake_ = nullptr;
    HANDLE stop_ = nullptr;
    std::thread notifier_;
};

} // namespace fakeaudio
