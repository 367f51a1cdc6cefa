#pragma once
// The "hardware" of the fake audio system: one fixed-size block that lives in a
// named file mapping, so that every process using the fake (a test, a program
// under test with the fake COM server loaded) sees and changes the same state.
// All indices are plain numbers; no pointers cross processes.

#include <windows.h>

#include <cstdint>

namespace fakeaudio {

constexpr uint32_t max_devices = 8;
constexpr uint32_t max_parts = 128;
constexpr uint32_t max_links = 6;
constexpr uint32_t max_channels = 8;
constexpr uint32_t max_listeners = 16;
constexpr uint32_t max_device_events = 32;
constexpr uint32_t name_chars = 80;
constexpr uint32_t max_sessions = 16;
constexpr uint32_t path_chars = 160;
constexpr uint32_t state_magic = 0x46414b45; // "FAKE"

struct part_state {
    int32_t device;         // whose topology the part belongs to
    uint32_t endpoint_side; // 1: the endpoint's own connector; 0: the adapter's parts
    uint32_t local_id;
    uint32_t kind; // PartType: 0 connector, 1 subunit
    GUID subtype;
    wchar_t name[name_chars];
    uint32_t connector_type; // ConnectorType
    uint32_t data_flow;      // DataFlow: 0 In, 1 Out
    int32_t connected_to;    // part index, -1 for none
    uint32_t incoming_count;
    uint32_t outgoing_count;
    int32_t incoming[max_links];
    int32_t outgoing[max_links];
    uint32_t has_volume;
    int32_t tied_to; // part index whose level follows this one's (a driver's tie), -1 for none
    uint32_t channels;
    float min_db, max_db, step_db;
    float level_db[max_channels];
    uint32_t has_mute;
    uint32_t muted;
    uint32_t has_selector;
    uint32_t selected;
    volatile LONG volume_seq;   // bumped after every write of the levels
    volatile LONG mute_seq;     // bumped after every write of the mute
    volatile LONG level_writes; // calls that set levels, changing or not
    volatile LONG mute_writes;
};

struct device_state {
    wchar_t id[name_chars];
    wchar_t name[name_chars];
    uint32_t flow; // EDataFlow: 0 render, 1 capture
    uint32_t is_default;
    uint32_t present;
    volatile LONG generation; // bumped on removal: interfaces of an older one are dead
    uint32_t channels;
    float master;
    float channel[max_channels];
    uint32_t muted;
    float step_db;               // the hardware's steps of the master volume; 0: none
    volatile LONG volume_seq;    // bumped after every write of volume or mute
    int32_t endpoint_connector;  // part index; -1: the device has no topology
    volatile LONG volume_writes; // calls that set the volume, changing or not
    volatile LONG mute_writes;
};

// One audio session: a program's stream on a device, with its own simple
// volume. AudioSessionState: 0 inactive, 1 active, 2 expired (gone from the
// device's list; objects handed out before still answer).
struct session_state {
    int32_t device;
    uint32_t process_id;
    wchar_t path[path_chars]; // the program's full file name
    wchar_t display_name[name_chars];
    uint32_t state;
    float volume;
    uint32_t muted;
    GUID context;             // event context of the last volume or mute write
    volatile LONG volume_seq; // bumped after every write of volume or mute
    volatile LONG state_seq;  // bumped after every change of state
    volatile LONG volume_writes;
    LONG created; // the device's session count when it appeared (1 for its first)
};

// What IMMNotificationClient hears: a new default, a device plugged in or out.
enum class device_event_kind : uint32_t { default_changed, added, removed, state_changed };

struct device_event {
    device_event_kind kind;
    int32_t device;     // -1: no device (no default left for that flow)
    uint32_t flow;      // EDataFlow, for default_changed
    uint32_t role;      // ERole, for default_changed
    uint32_t new_state; // DEVICE_STATE_*, for state_changed
};

struct shared_state {
    uint32_t magic;
    uint32_t size;
    volatile LONG active; // 0: the COM server hands everything to the system's enumerator
    wchar_t mapping_name[name_chars];
    uint32_t device_count;
    uint32_t part_count;
    device_state devices[max_devices];
    part_state parts[max_parts];
    volatile LONG listeners[max_listeners]; // ids of processes that watch for changes
    // 0: writes through the COM objects store levels as given and every write
    // notifies; as hardware does, levels snap to the part's step (1: the
    // nearest one, 2: the one below) and only real changes notify.
    uint32_t hardware_writes;
    // COM objects alive in all processes together, by kind (object_kind).
    volatile LONG live_objects[16];
    // Device events, a ring: event number n is events[n % max_device_events];
    // event_count is bumped after the event is in place.
    volatile LONG event_count;
    device_event events[max_device_events];
    // Calls into the fake made from inside a notification callback, on the
    // thread that delivers it: the audio system's thread, not the caller's.
    volatile LONG calls_from_callbacks;
    // Who last asked for a default device.
    volatile LONG default_lookup_process;
    volatile LONG default_lookup_thread;
    // Audio sessions, in order of appearance; per device, how many appeared.
    uint32_t session_count;
    session_state sessions[max_sessions];
    volatile LONG sessions_created[max_devices];
    // 0: the policy-configuration class is not there (CoCreateInstance fails).
    uint32_t has_policy_config;
    volatile LONG default_writes; // SetDefaultEndpoint calls that named a present device
};

// Name of the event a listening process waits on.
void listener_event_name(const shared_state& state, DWORD process_id, wchar_t* out, size_t size);
// Wakes every listening process after a write (and forgets processes that are gone).
void signal_listeners(shared_state& state);
// After the levels of part `part` changed, however: the part tied to it
// takes them (within its own range), is reported changed when that changed
// it, and the listeners are woken.
void carry_to_tied_part(shared_state& state, int part);
// Appends a device event for the device-list clients.
void post_device_event(shared_state& state, device_event_kind kind, int device, uint32_t flow = 0,
                       uint32_t role = 0, uint32_t new_state = 0);
// Makes a present device the only default of its flow (no event).
void make_default(shared_state& state, int device);

} // namespace fakeaudio
