#include "tests/support/fakeaudio/fake_audio.h"
#include "tests/support/fakeaudio/fake_core.h"

#include <audiopolicy.h>
#include <strsafe.h>

#include <algorithm>
#include <stdexcept>

namespace fakeaudio {

namespace {

void copy_name(wchar_t (&to)[name_chars], const std::wstring& from) {
    StringCchCopyNW(to, name_chars, from.c_str(), from.size());
}

void link(int32_t* list, uint32_t& count, int value) {
    if (count >= max_links) throw std::length_error("fake audio: too many links on one part");
    list[count++] = value;
}

// A named mapping sized for the state, filled with `initial`.
shared_state* create_state(const wchar_t* name, const shared_state& initial, HANDLE& mapping) {
    mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                 sizeof(shared_state), name);
    if (!mapping) return nullptr;
    auto* view = static_cast<shared_state*>(
        MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(shared_state)));
    if (!view) {
        CloseHandle(mapping);
        mapping = nullptr;
        return nullptr;
    }
    *view = initial;
    StringCchCopyW(view->mapping_name, name_chars, name);
    for (auto& l : view->listeners) l = 0;
    return view;
}

world* current_world = nullptr;

int find_part(const shared_state& s, int device, const std::wstring& name) {
    for (uint32_t i = 0; i < s.part_count; ++i)
        if (s.parts[i].device == device && !s.parts[i].endpoint_side && name == s.parts[i].name)
            return static_cast<int>(i);
    return -1;
}

part_state& part_at(shared_state& s, int index) {
    if (index < 0 || static_cast<uint32_t>(index) >= s.part_count)
        throw std::out_of_range("fake audio: no such part");
    return s.parts[index];
}

} // namespace

// ---------------------------------------------------------------------------
// description

description::description() : state_(std::make_unique<shared_state>()) {
    state_->magic = state_magic;
    state_->size = sizeof(shared_state);
    state_->has_policy_config = 1;
}
description::description(const description& other)
    : state_(std::make_unique<shared_state>(*other.state_)) {}
description& description::operator=(const description& other) {
    *state_ = *other.state_;
    return *this;
}
description::~description() = default;

int description::add_device(uint32_t flow, const std::wstring& name, bool is_default, float master,
                            uint32_t channels) {
    if (state_->device_count >= max_devices)
        throw std::length_error("fake audio: too many devices");
    const int index = static_cast<int>(state_->device_count++);
    device_state& d = state_->devices[index];
    d = device_state{};
    StringCchPrintfW(d.id, name_chars, L"{0.0.%u.00000000}.{fa4e0000-0000-0000-0000-%012d}", flow,
                     index);
    copy_name(d.name, name);
    d.flow = flow;
    d.is_default = is_default ? 1 : 0;
    d.present = 1;
    d.channels = std::clamp<uint32_t>(channels, 1, max_channels);
    d.master = master;
    std::fill(std::begin(d.channel), std::end(d.channel), master);
    d.endpoint_connector = -1;
    return index;
}

int description::render(const std::wstring& name, bool is_default, float master,
                        uint32_t channels) {
    return add_device(eRender, name, is_default, master, channels);
}

int description::capture(const std::wstring& name, bool is_default, float master,
                         uint32_t channels) {
    return add_device(eCapture, name, is_default, master, channels);
}

int description::add_part(int device, uint32_t endpoint_side, uint32_t kind,
                          const std::wstring& name) {
    if (state_->part_count >= max_parts) throw std::length_error("fake audio: too many parts");
    if (device < 0 || static_cast<uint32_t>(device) >= state_->device_count)
        throw std::out_of_range("fake audio: no such device");
    const int index = static_cast<int>(state_->part_count++);
    part_state& p = state_->parts[index];
    p = part_state{};
    p.device = device;
    p.endpoint_side = endpoint_side;
    p.local_id = 0x10000u * (kind + 1) + static_cast<uint32_t>(index) + 1; // never 0
    p.kind = kind;
    copy_name(p.name, name);
    p.connected_to = -1;
    p.tied_to = -1;
    return index;
}

int description::connector(int device, const std::wstring& name, ConnectorType type,
                           DataFlow flow) {
    const int index = add_part(device, 0, Connector, name);
    state_->parts[index].connector_type = type;
    state_->parts[index].data_flow = flow;
    return index;
}

int description::subunit(int device, const std::wstring& name, const GUID& subtype) {
    const int index = add_part(device, 0, Subunit, name);
    state_->parts[index].subtype = subtype;
    return index;
}

description& description::volume(int part, uint32_t channels, float min_db, float max_db,
                                 float level_db, float step_db) {
    part_state& p = part_at(*state_, part);
    p.has_volume = 1;
    p.channels = std::min(channels, max_channels);
    p.min_db = min_db;
    p.max_db = max_db;
    p.step_db = step_db;
    std::fill(std::begin(p.level_db), std::end(p.level_db), level_db);
    return *this;
}

int description::part(int device, const std::wstring& name) const {
    return find_part(*state_, device, name);
}

description& description::tie(int a, int b) {
    part_at(*state_, a).tied_to = b;
    part_at(*state_, b).tied_to = a;
    return *this;
}

description& description::hardware_writes(bool on, rounding how) {
    state_->hardware_writes = !on ? 0 : how == rounding::down ? 2 : 1;
    return *this;
}

description& description::endpoint_steps(int device, float step_db) {
    if (device < 0 || static_cast<uint32_t>(device) >= state_->device_count)
        throw std::out_of_range("fake audio: no such device");
    state_->devices[device].step_db = step_db;
    return *this;
}

description& description::mute(int part, bool muted) {
    part_at(*state_, part).has_mute = 1;
    part_at(*state_, part).muted = muted ? 1 : 0;
    return *this;
}

description& description::selector(int part, uint32_t selected) {
    part_at(*state_, part).has_selector = 1;
    part_at(*state_, part).selected = selected;
    return *this;
}

description& description::chain(std::initializer_list<int> parts) {
    const int* p = parts.begin();
    for (size_t i = 1; i < parts.size(); ++i) {
        part_state& from = part_at(*state_, p[i - 1]);
        part_state& to = part_at(*state_, p[i]);
        link(from.outgoing, from.outgoing_count, p[i]);
        link(to.incoming, to.incoming_count, p[i - 1]);
    }
    return *this;
}

description& description::attach(int device, int adapter_connector) {
    const device_state& d = state_->devices[device];
    const int endpoint = add_part(device, 1, Connector, d.name);
    part_state& e = state_->parts[endpoint];
    e.connector_type = Software_IO;
    e.data_flow = d.flow == eRender ? Out : In;
    state_->devices[device].endpoint_connector = endpoint;
    return connect(endpoint, adapter_connector);
}

description& description::connect(int a, int b) {
    part_at(*state_, a).connected_to = b;
    part_at(*state_, b).connected_to = a;
    return *this;
}

description description::standard() {
    description d;
    // Speakers: Speaker jack <- Master Mute <- Master Volume <- SUM <- {Wave, CD}
    const int speakers = d.render(L"Speakers", true, 0.5f, 2);
    const int jack = d.connector(speakers, L"Speakers", Physical_External, Out);
    const int master_mute = d.subunit(speakers, L"Master Mute");
    const int master = d.subunit(speakers, L"Master Volume");
    const int sum = d.sum(speakers, L"Sum");
    const int wave_volume = d.subunit(speakers, L"Wave Volume");
    const int wave = d.connector(speakers, L"Wave", Software_IO, In);
    const int cd_volume = d.subunit(speakers, L"CD Volume");
    const int cd_mute = d.subunit(speakers, L"CD Mute");
    const int cd = d.connector(speakers, L"CD Audio", Physical_External, In);
    d.volume(master, 2, -64.0f, 0.0f, -12.0f).mute(master_mute);
    d.volume(wave_volume, 2, -64.0f, 0.0f, -6.0f);
    d.volume(cd_volume, 2, -34.5f, 12.0f, 0.0f).mute(cd_mute);
    d.chain({sum, master, master_mute, jack});
    d.chain({wave, wave_volume, sum});
    d.chain({cd, cd_volume, cd_mute, sum});
    d.attach(speakers, jack);
    // Microphone: Mic jack -> Mic Volume -> Mic Mute -> Input Select
    const int microphone = d.capture(L"Microphone", true, 0.75f, 1);
    const int mic = d.connector(microphone, L"Microphone", Physical_External, In);
    const int mic_volume = d.subunit(microphone, L"Microphone Volume");
    const int mic_mute = d.subunit(microphone, L"Microphone Mute");
    const int select = d.subunit(microphone, L"Input Select");
    d.volume(mic_volume, 1, -12.0f, 30.0f, 0.0f).mute(mic_mute).selector(select);
    d.chain({mic, mic_volume, mic_mute, select});
    d.attach(microphone, mic);
    return d;
}

// ---------------------------------------------------------------------------
// controls

device_state* controls::dev(int index) const {
    if (!state_ || index < 0 || static_cast<uint32_t>(index) >= state_->device_count)
        throw std::out_of_range("fake audio: no such device");
    return &state_->devices[index];
}

part_state* controls::prt(int index) const {
    if (!state_ || index < 0 || static_cast<uint32_t>(index) >= state_->part_count)
        throw std::out_of_range("fake audio: no such part");
    return &state_->parts[index];
}

int controls::device(const std::wstring& name) const {
    for (uint32_t i = 0; state_ && i < state_->device_count; ++i)
        if (name == state_->devices[i].name) return static_cast<int>(i);
    return -1;
}

int controls::part(int device, const std::wstring& name) const {
    return state_ ? find_part(*state_, device, name) : -1;
}

uint32_t controls::device_count() const {
    return state_ ? state_->device_count : 0;
}

float controls::master(int device) const {
    return dev(device)->master;
}
float controls::channel(int device, uint32_t channel) const {
    return dev(device)->channel[std::min(channel, max_channels - 1)];
}

void controls::set_master(int device, float scalar) {
    device_state* d = dev(device);
    d->master = scalar;
    std::fill(std::begin(d->channel), std::end(d->channel), scalar);
    InterlockedIncrement(&d->volume_seq);
    signal_listeners(*state_);
}

bool controls::mute(int device) const {
    return dev(device)->muted != 0;
}

void controls::set_mute(int device, bool muted) {
    device_state* d = dev(device);
    d->muted = muted ? 1 : 0;
    InterlockedIncrement(&d->volume_seq);
    signal_listeners(*state_);
}

float controls::level(int part, uint32_t channel) const {
    return prt(part)->level_db[std::min(channel, max_channels - 1)];
}

void controls::set_level(int part, uint32_t channel, float level_db) {
    part_state* p = prt(part);
    p->level_db[std::min(channel, max_channels - 1)] = level_db;
    InterlockedIncrement(&p->volume_seq);
    signal_listeners(*state_);
    carry_to_tied_part(*state_, part);
}

bool controls::part_mute(int part) const {
    return prt(part)->muted != 0;
}

void controls::set_part_mute(int part, bool muted) {
    part_state* p = prt(part);
    p->muted = muted ? 1 : 0;
    InterlockedIncrement(&p->mute_seq);
    signal_listeners(*state_);
}

long controls::volume_writes(int device) const {
    return dev(device)->volume_writes;
}

long controls::mute_writes(int device) const {
    return dev(device)->mute_writes;
}

long controls::level_writes(int part) const {
    return prt(part)->level_writes;
}

long controls::part_mute_writes(int part) const {
    return prt(part)->mute_writes;
}

long controls::live_objects_everywhere() const {
    long total = 0;
    for (LONG n : state_->live_objects) total += n;
    return total;
}

long controls::live_sessions_everywhere() const {
    return state_->live_objects[static_cast<int>(object_kind::session)];
}

std::wstring controls::live_object_list_everywhere() const {
    return state_ ? object_list(state_->live_objects) : L"none";
}

long controls::live_devices_everywhere() const {
    return state_->live_objects[static_cast<int>(object_kind::device)];
}

void controls::post_event(device_event_kind kind, int device, uint32_t flow, uint32_t role,
                          uint32_t new_state) {
    post_device_event(*state_, kind, device, flow, role, new_state);
}

void controls::post_default(uint32_t flow, int device) {
    for (ERole role : {eConsole, eMultimedia, eCommunications})
        post_event(device_event_kind::default_changed, device, flow, role);
}

int controls::default_device(uint32_t flow) const {
    for (uint32_t i = 0; state_ && i < state_->device_count; ++i) {
        const device_state& d = state_->devices[i];
        if (d.flow == flow && d.present && d.is_default) return static_cast<int>(i);
    }
    return -1;
}

void controls::remove(int device) {
    device_state* d = dev(device);
    if (!d->present) return;
    d->present = 0;
    InterlockedIncrement(&d->generation);
    post_event(device_event_kind::state_changed, device, 0, 0, DEVICE_STATE_NOTPRESENT);
    post_event(device_event_kind::removed, device);
    if (d->is_default) {
        d->is_default = 0;
        int next = -1;
        for (uint32_t i = 0; i < state_->device_count && next < 0; ++i)
            if (state_->devices[i].flow == d->flow && state_->devices[i].present)
                next = static_cast<int>(i);
        if (next >= 0) state_->devices[next].is_default = 1;
        post_default(d->flow, next);
    }
    signal_listeners(*state_);
}

void controls::restore(int device) {
    device_state* d = dev(device);
    if (d->present) return;
    const bool flow_has_default = default_device(d->flow) >= 0;
    d->present = 1;
    post_event(device_event_kind::added, device);
    post_event(device_event_kind::state_changed, device, 0, 0, DEVICE_STATE_ACTIVE);
    if (!flow_has_default) {
        for (uint32_t i = 0; i < state_->device_count; ++i)
            if (state_->devices[i].flow == d->flow) state_->devices[i].is_default = 0;
        d->is_default = 1;
        post_default(d->flow, device);
    }
    signal_listeners(*state_);
}

void controls::set_default(int device) {
    device_state* d = dev(device);
    if (!d->present) throw std::logic_error("fake audio: an absent device cannot be the default");
    make_default(*state_, device);
    post_default(d->flow, device);
    signal_listeners(*state_);
}

session_state* controls::ses(int index) const {
    if (!state_ || index < 0 || static_cast<uint32_t>(index) >= state_->session_count)
        throw std::out_of_range("fake audio: no such session");
    return &state_->sessions[index];
}

int controls::add_session(int device, DWORD process_id, const std::wstring& path,
                          const std::wstring& display_name, float volume, bool active) {
    dev(device);
    if (state_->session_count >= max_sessions)
        throw std::length_error("fake audio: too many sessions");
    const auto index = static_cast<int>(state_->session_count);
    session_state& s = state_->sessions[index];
    s = session_state{};
    s.device = device;
    s.process_id = process_id;
    StringCchCopyW(s.path, path_chars, path.c_str());
    StringCchCopyW(s.display_name, name_chars, display_name.c_str());
    s.state = active ? AudioSessionStateActive : AudioSessionStateInactive;
    s.volume = volume;
    s.context = GUID_NULL;
    s.created = state_->sessions_created[device] + 1;
    // Complete before it is counted: a process may look at the list any time.
    MemoryBarrier();
    state_->session_count = static_cast<uint32_t>(index + 1);
    InterlockedExchange(&state_->sessions_created[device], s.created);
    signal_listeners(*state_);
    return index;
}

float controls::session_volume(int session) const {
    return ses(session)->volume;
}
bool controls::session_mute(int session) const {
    return ses(session)->muted != 0;
}
void controls::set_session_volume(int session, float scalar) {
    session_state* s = ses(session);
    s->volume = std::clamp(scalar, 0.0f, 1.0f);
    s->context = GUID_NULL;
    InterlockedIncrement(&s->volume_seq);
    signal_listeners(*state_);
}
void controls::set_session_mute(int session, bool muted) {
    session_state* s = ses(session);
    s->muted = muted ? 1 : 0;
    s->context = GUID_NULL;
    InterlockedIncrement(&s->volume_seq);
    signal_listeners(*state_);
}
uint32_t controls::session_state_of(int session) const {
    return ses(session)->state;
}
void controls::set_session_state(int session, uint32_t new_state) {
    session_state* s = ses(session);
    if (s->state == AudioSessionStateExpired || s->state == new_state) return;
    s->state = std::min<uint32_t>(new_state, AudioSessionStateExpired);
    InterlockedIncrement(&s->state_seq);
    signal_listeners(*state_);
}
long controls::session_volume_writes(int session) const {
    return ses(session)->volume_writes;
}
void controls::set_policy_config(bool present) {
    if (state_) state_->has_policy_config = present ? 1 : 0;
}
long controls::default_writes() const {
    return state_ ? state_->default_writes : 0;
}

long controls::calls_from_callbacks() const {
    return state_ ? state_->calls_from_callbacks : 0;
}

std::pair<DWORD, DWORD> controls::last_default_lookup() const {
    if (!state_) return {0, 0};
    return {static_cast<DWORD>(state_->default_lookup_process),
            static_cast<DWORD>(state_->default_lookup_thread)};
}

// ---------------------------------------------------------------------------
// world

world::world(const description& devices) : core_(nullptr), previous_(current_world) {
    static LONG counter = 0;
    wchar_t name[name_chars];
    StringCchPrintfW(name, name_chars, L"Local\\quellbar_fakeaudio_%lu_%ld", GetCurrentProcessId(),
                     InterlockedIncrement(&counter));
    HANDLE mapping = nullptr;
    shared_state* view = create_state(name, devices.state(), mapping);
    if (!view) throw std::runtime_error("fake audio: no shared memory");
    view->active = 1;
    core_ = new core(mapping, view);
    state_ = view;
    current_world = this;
}

world::~world() {
    if (current_world == this) current_world = previous_;
    core_->release();
}

HRESULT world::create_enumerator(IMMDeviceEnumerator** enumerator) {
    return core_->create_enumerator(enumerator);
}

HRESULT world::factory(IMMDeviceEnumerator** enumerator) {
    if (!enumerator) return E_POINTER;
    *enumerator = nullptr;
    return current_world ? current_world->create_enumerator(enumerator) : REGDB_E_CLASSNOTREG;
}

HRESULT world::policy_factory(IPolicyConfig** config) {
    if (!config) return E_POINTER;
    *config = nullptr;
    return current_world ? current_world->core_->create_policy_config(
                               __uuidof(IPolicyConfig), reinterpret_cast<void**>(config))
                         : REGDB_E_CLASSNOTREG;
}

long world::live_objects() const {
    return core_->live_objects();
}
std::wstring world::live_object_list() const {
    return core_->live_object_list();
}
size_t world::registered_callbacks() const {
    return core_->watch_count();
}

} // namespace fakeaudio
