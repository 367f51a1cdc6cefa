#pragma once
// One process's view of a fake audio state: the COM objects made over it, the
// change callbacks registered with them and the thread that calls those back.

#include "tests/support/fakeaudio/fake_state.h"

#include <audiopolicy.h>
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
    session_manager,
    session_list,
    session,
    policy_config,
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
    // A session's volume and state (IAudioSessionEvents), and new sessions
    // on a device (IAudioSessionNotification): the sessions that appear
    // after registering.
    HRESULT watch_session(void* owner, int session, IAudioSessionEvents* events);
    HRESULT unwatch_session(IAudioSessionEvents* events);
    HRESULT watch_new_sessions(void* owner, int device, IAudioSessionNotification* client);
    HRESULT unwatch_new_sessions(IAudioSessionNotification* client);
    void forget_owner(void* owner);
    size_t watch_count() const;

    // Every call into the fake objects passes here: one made from inside a
    // notification callback is counted in the shared state.
    void note_call() noexcept;

    // The system's own enumerator, for what the fake does not model (sound
    // output through DirectSound); null in tests.
    Microsoft::WRL::ComPtr<IMMDeviceEnumerator> delegate;

    HRESULT create_enumerator(IMMDeviceEnumerator** out);
    // IPolicyConfig over this state; CLASS_E_CLASSNOTAVAILABLE while the
    // state has none.
    HRESULT create_policy_config(REFIID iid, void** out);

private:
    enum class target {
        endpoint,
        part_volume,
        part_mute,
        devices,
        session_volume,
        session_state,
        new_sessions
    };
    struct watch {
        void* owner;
        target what;
        int index;
        Microsoft::WRL::ComPtr<IAudioEndpointVolumeCallback> endpoint_callback;
        Microsoft::WRL::ComPtr<IControlChangeNotify> part_callback;
        Microsoft::WRL::ComPtr<IMMNotificationClient> device_client;
        LONG seen;
        Microsoft::WRL::ComPtr<IAudioSessionEvents> session_events;
        Microsoft::WRL::ComPtr<IAudioSessionNotification> session_client;
    };

    ~core();
    LONG sequence(target what, int index) const;
    void start_notifier(); // with lock_ held
    void notifier_loop();
    void deliver();
    void tell(IMMNotificationClient* client, const device_event& event);
    void tell(IAudioSessionEvents* events, target what, int index, LONG from, LONG to);

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

// "2 device, 1 session": counts of objects by kind, for failure messages.
std::wstring object_list(const volatile LONG* counts);

// A new object over session `index` (the fake's sessions file).
HRESULT make_session(core& c, int index, IAudioSessionControl** out);
// A device's session manager (IAudioSessionManager or IAudioSessionManager2).
HRESULT make_session_manager(core& c, int device, REFIID iid, void** out);

} // namespace fakeaudio
