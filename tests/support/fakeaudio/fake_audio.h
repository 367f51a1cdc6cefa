#pragma once
// A fake Core Audio system for tests.
//
// Wine implements neither endpoint volume writes, change callbacks nor device
// topologies, so the mixer library is tested against these COM objects: a
// device enumerator, collections, devices with property stores and
// IMMEndpoint, endpoint volumes, device topologies with connectors, subunits,
// parts lists, volume levels, mutes and input selectors. They follow Windows'
// rules: every change - made through the COM objects or from outside through
// `controls` - is reported to registered callbacks on another thread (with
// hardware_writes a write that leaves everything as it was is no change, and
// a part's level holds only the steps of its range); a removed
// device makes the interfaces obtained from it fail with
// AUDCLNT_E_DEVICE_INVALIDATED, and new ones work again once it is back.
//
// Device-list clients (IMMNotificationClient) hear, on the notifier thread of
// every process that registered one: for set_default OnDefaultDeviceChanged
// for eConsole, eMultimedia and eCommunications; for remove
// OnDeviceStateChanged(DEVICE_STATE_NOTPRESENT) and OnDeviceRemoved, then the
// default changes it causes; for restore OnDeviceAdded and
// OnDeviceStateChanged(DEVICE_STATE_ACTIVE), then the default change if any.
// Where it differs from Windows:
//   - One default per flow: every role changes together (Windows keeps a
//     separate communications default, and the Sound panel can set it alone).
//   - Windows sends only the state change for a device unplugged and plugged
//     in again (Added/Removed come with installing or removing the endpoint);
//     the fake sends both, so a client meets every kind.
//   - A device that comes back does not take the default back unless its
//     flow has none; Windows may return a preferred device to default.
//   - No DEVICE_STATE_UNPLUGGED or DISABLED; OnPropertyValueChanged never comes.
//   - A client that falls more than max_device_events events behind hears
//     only the latest ones; registrations are per process, not per
//     enumerator, and outlive the enumerator that made them.
// And for volumes:
//   - Stepped hardware (hardware_writes) rounds every level between two steps
//     the same way, to the nearest or always to the one below; a Windows
//     driver may keep either neighbour, whichever matters more to its signal.
//     A level within a thousandth of a step of one counts as that step
//     (Windows hands drivers levels in 1/65536 dB).
//   - The endpoint's master volume maps scalar and dB as 20 log10(scalar)
//     over -65.25..0 dB; Windows uses an audio-taper curve of its own, and
//     GetVolumeStepInfo counts 101 steps whatever the hardware's steps are.
//   - Stepping (endpoint_steps, a part's steps) applies to writes through
//     the COM objects only; set_master and set_level, standing for another
//     program, store their value as given, so it may lie between steps.
//   - Without endpoint_steps the master holds any scalar, as software volume
//     does; Windows keeps it to 1/32 dB.
//   - A tie carries levels at once, inside the write; a driver may do it
//     later, in a notification of its own.
//
// Two ways to use it:
//   - In the test process: `world` builds the devices from a `description` and
//     hands out its enumerator (m_mxrctl_ca::set_enumerator_factory(world::factory)).
//   - In other processes (system tests of the programs): `installed_fake`
//     registers the fake COM server DLL as the prefix's CLSID_MMDeviceEnumerator
//     and puts the state in named shared memory; every process that creates the
//     enumerator then sees the fake devices, and the test reads and changes them
//     through the same `controls` calls. DirectSound keeps playing through Wine's
//     own devices. Tests that install it take the CTest locks "zuvo" and
//     "fakeaudio" (set RESOURCE_LOCK to both: every process in the prefix sees it).

#include "tests/support/fakeaudio/fake_state.h"

#include "mxrctl/policy_config.h"

#include <devicetopology.h>
#include <mmdeviceapi.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <utility>

namespace fakeaudio {

// A scalar volume as the program shows it: whole percent, rounded down, with
// a hair of tolerance for float noise (0.5 is 50, not 49).
inline int percent(float scalar) {
    return static_cast<int>((scalar + 0.000001f) * 100);
}

// KSNODETYPE_SUM, the subtype of a mixing node.
extern const GUID subtype_sum;

// Devices and their topologies, built up call by call. Every call returns the
// index of what it made; parts are numbered across all devices.
class description {
public:
    description();
    description(const description& other);
    description& operator=(const description& other);
    ~description();

    // An endpoint device. Its master volume starts at `master` with `channels` channels.
    int render(const std::wstring& name, bool is_default = false, float master = 0.5f,
               uint32_t channels = 2);
    int capture(const std::wstring& name, bool is_default = false, float master = 0.5f,
                uint32_t channels = 2);

    // Parts of the hardware behind device `device` (its adapter topology).
    int connector(int device, const std::wstring& name, ConnectorType type, DataFlow flow);
    int subunit(int device, const std::wstring& name, const GUID& subtype = GUID_NULL);
    int sum(int device, const std::wstring& name) { return subunit(device, name, subtype_sum); }
    // Index of the first part of `device` named `name`, or -1.
    int part(int device, const std::wstring& name) const;
    // Controls a part offers. The volume holds levels `step_db` apart, from
    // `min_db` on (with hardware_writes).
    description& volume(int part, uint32_t channels, float min_db, float max_db, float level_db,
                        float step_db = 0.5f);
    description& mute(int part, bool muted = false);
    description& selector(int part, uint32_t selected = 0);

    // How writes through the COM objects behave. By default every write
    // notifies and a part keeps the level as written. With hardware_writes,
    // as real hardware does: a part's level snaps to its steps, so a written
    // percent can read back lower, and only a write that changed something
    // notifies. Windows lets a driver keep either step next to a level
    // between two; the fake keeps the nearest one or the one below.
    enum class rounding { nearest, down };
    description& hardware_writes(bool on = true, rounding how = rounding::nearest);
    // The master volume of `device` behind hardware of `step_db` steps down
    // from 0 dB, as many as fit above -65.25 dB: with hardware_writes a
    // written volume snaps to them, and GetVolumeRange tells that range.
    description& endpoint_steps(int device, float step_db);
    // A driver that ties two parts' levels: whatever sets one (through the
    // COM objects or set_level) sets the other to the same dB, within its
    // range, and that part reports the change as its own.
    description& tie(int part_a, int part_b);

    // Signal flows from each part to the next (outgoing of one, incoming of the next).
    description& chain(std::initializer_list<int> parts);
    // The endpoint's connector 0 is connected to this adapter connector; without
    // it the device has no topology (Activate(IDeviceTopology) fails).
    description& attach(int device, int adapter_connector);
    // Connects two connectors.
    description& connect(int a, int b);

    // "Speakers" (default render, with a topology of two external lines) and
    // "Microphone" (default capture), what most system tests want.
    static description standard();

    const shared_state& state() const { return *state_; }

private:
    int add_device(uint32_t flow, const std::wstring& name, bool is_default, float master,
                   uint32_t channels);
    int add_part(int device, uint32_t endpoint_side, uint32_t kind, const std::wstring& name);
    std::unique_ptr<shared_state> state_;
};

// Reads and changes the "hardware" from outside the COM objects. Every write
// notifies the watching processes, as a change by another program would.
class controls {
public:
    controls(const controls&) = delete;
    controls& operator=(const controls&) = delete;
    virtual ~controls() = default;

    // Index of the first device whose friendly name is `name`, or -1.
    int device(const std::wstring& name) const;
    // Index of the first part of `device` named `name`, or -1.
    int part(int device, const std::wstring& name) const;
    uint32_t device_count() const;

    // Master volume of an endpoint (scalar 0..1, every channel alike when set).
    float master(int device) const;
    float channel(int device, uint32_t channel) const;
    void set_master(int device, float scalar);
    bool mute(int device) const;
    void set_mute(int device, bool muted);

    // Controls of topology parts.
    float level(int part, uint32_t channel) const;
    void set_level(int part, uint32_t channel, float level_db);
    bool part_mute(int part) const;
    void set_part_mute(int part, bool muted);

    // Calls that set a volume or a mute through the COM objects, from any
    // process, whether or not they changed anything.
    long volume_writes(int device) const;
    long mute_writes(int device) const;
    long level_writes(int part) const;
    long part_mute_writes(int part) const;
    // COM objects alive in all processes together: everything, or the
    // devices (IMMDevice) alone.
    long live_objects_everywhere() const;
    long live_devices_everywhere() const;
    long live_sessions_everywhere() const; // IAudioSessionControl objects
    std::wstring live_object_list_everywhere() const;

    // Unplugging: the device leaves the device lists and its interfaces fail
    // with AUDCLNT_E_DEVICE_INVALIDATED; `restore` plugs it in again. When
    // the default device goes, the first other present device of its flow
    // becomes the default (none: no default); a device that comes back while
    // its flow has no default becomes it.
    void remove(int device);
    void restore(int device);
    // Makes a present device the default of its flow, for every role.
    void set_default(int device);
    // The default device of a flow (eRender or eCapture), or -1.
    int default_device(uint32_t flow) const;

    // Audio sessions: a program playing (active) or holding a stream it does
    // not play (inactive) on `device`. Its notification clients hear the new
    // session; its state and volume changes reach the session's own clients
    // with the event context of the write (GUID_NULL for these calls, which
    // stand for another program). State 2 expires it: it leaves the device's
    // list for good, as Windows lets a session go a while after its program
    // closed its stream.
    int add_session(int device, DWORD process_id, const std::wstring& path,
                    const std::wstring& display_name = L"", float volume = 1.0f,
                    bool active = true);
    float session_volume(int session) const;
    bool session_mute(int session) const;
    void set_session_volume(int session, float scalar);
    void set_session_mute(int session, bool muted);
    uint32_t session_state_of(int session) const;
    void set_session_state(int session, uint32_t new_state);
    // Volume writes through ISimpleAudioVolume, changing or not.
    long session_volume_writes(int session) const;

    // Whether the policy-configuration class is there (it is by default);
    // without it creating it fails as on a system that lacks it.
    void set_policy_config(bool present);
    // SetDefaultEndpoint calls that named a present device.
    long default_writes() const;

    // Calls into the fake made from inside any notification callback, in
    // any process: a client that does its work there, not on its own thread.
    long calls_from_callbacks() const;
    // Process and thread that last asked for a default device (0, 0: nobody).
    std::pair<DWORD, DWORD> last_default_lookup() const;

protected:
    controls() = default;
    shared_state* state_ = nullptr;

private:
    device_state* dev(int index) const;
    part_state* prt(int index) const;
    session_state* ses(int index) const;
    void post_event(device_event_kind kind, int device, uint32_t flow = 0, uint32_t role = 0,
                    uint32_t new_state = 0);
    // The three roles' default-device events, as Windows sends them.
    void post_default(uint32_t flow, int device);
};

class core;

// The fake in the test process.
class world : public controls {
public:
    explicit world(const description& devices = description::standard());
    ~world() override;

    // A new enumerator over this world's devices.
    HRESULT create_enumerator(IMMDeviceEnumerator** enumerator);
    // For m_mxrctl_ca::set_enumerator_factory: the enumerator of the world
    // created last and still alive.
    static HRESULT factory(IMMDeviceEnumerator** enumerator);
    // For Cpolicy_config::set_factory, the same world's policy object.
    static HRESULT policy_factory(IPolicyConfig** config);

    // COM objects of this world still alive (0 when nobody leaks a reference),
    // and a list by kind for failure messages.
    long live_objects() const;
    std::wstring live_object_list() const;
    // Change callbacks registered right now.
    size_t registered_callbacks() const;

private:
    core* core_;
    world* previous_;
};

// The fake COM server installed in the Wine prefix, for other processes.
class installed_fake : public controls {
public:
    // `server_dll`: full path of fakeaudio_server.dll; default beside the running test.
    explicit installed_fake(const description& devices = description::standard(),
                            const std::wstring& server_dll = L"");
    ~installed_fake() override;

    // Registry entry written and shared state in place.
    bool installed() const { return installed_; }
    // While inactive, processes that create the enumerator get Wine's own.
    void set_active(bool active);

private:
    HANDLE mapping_ = nullptr;
    bool installed_ = false;
    bool had_server_ = false;
    std::wstring old_server_;
    std::wstring old_threading_;
};

// Name of the shared state the COM server looks for.
extern const wchar_t* const installed_state_name;

} // namespace fakeaudio
