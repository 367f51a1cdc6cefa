#include "mxrctl/mxrctl_ca.h"
#include "mxrctl/volume_math.h"

#include <propidl.h>
#include <propsys.h>

#include <algorithm>
#include <new>
#include <cwchar>

using Microsoft::WRL::ComPtr;

namespace {

constexpr CLSID clsid_device_enumerator = {
    0xbcde0395, 0xe52f, 0x467c, {0x8e, 0x3d, 0xc4, 0x57, 0x92, 0x91, 0x69, 0x2e}};
// PKEY_Device_FriendlyName
constexpr PROPERTYKEY key_friendly_name = {
    {0xa45c254e, 0xdf1c, 0x4efd, {0x80, 0x20, 0x67, 0xd1, 0x46, 0xa8, 0x50, 0xe0}}, 14};
// KSNODETYPE_SUM: a mixing node ends the line that feeds it.
constexpr GUID node_type_sum = {
    0xda441a60, 0xc556, 0x11d0, {0x8a, 0x2b, 0x00, 0xa0, 0xc9, 0x25, 0x5a, 0xc1}};
// Each part is walked once, so loops and branches that meet again cost
// nothing; the depth limit only guards against a topology that keeps handing
// out parts never seen before.
constexpr int max_walk_depth = 64;
// Global ids name a driver's device interface and can be long.
constexpr size_t max_part_key = 1024;
constexpr size_t max_name = 255;

HRESULT system_enumerator(IMMDeviceEnumerator** enumerator) {
    return CoCreateInstance(clsid_device_enumerator, nullptr, CLSCTX_ALL,
                            __uuidof(IMMDeviceEnumerator), reinterpret_cast<void**>(enumerator));
}

m_mxrctl_ca::enumerator_factory current_factory = system_enumerator;

std::wstring take_co_string(LPWSTR text) {
    std::wstring s = text ? std::wstring(text, wcsnlen(text, max_name)) : std::wstring();
    CoTaskMemFree(text);
    return s;
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

UINT local_id(IPart* part) {
    UINT id = 0;
    return SUCCEEDED(part->GetLocalId(&id)) ? id : 0;
}

// What tells parts apart across topologies: the global id, else the local id.
// Empty when the part gives neither.
std::wstring part_key(IPart* part) {
    LPWSTR global = nullptr;
    const HRESULT hr = part->GetGlobalId(&global);
    std::wstring key;
    if (SUCCEEDED(hr) && global) key.assign(global, wcsnlen(global, max_part_key));
    CoTaskMemFree(global);
    if (!key.empty()) return key;
    const UINT id = local_id(part);
    return id != 0 ? L"#" + std::to_wstring(id) : std::wstring();
}

template <typename I> bool part_has(IPart* part) {
    ComPtr<I> control;
    return SUCCEEDED(part->Activate(CLSCTX_ALL, __uuidof(I), &control)) && control;
}

} // namespace

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

void m_mxrctl_ca::walk_lines() {
    if (!device_ || walked_) return;
    walked_ = true;
    ComPtr<IDeviceTopology> topology;
    ComPtr<IConnector> connector;
    if (FAILED(device_->Activate(__uuidof(IDeviceTopology), CLSCTX_ALL, nullptr, &topology)) ||
        !topology || FAILED(topology->GetConnector(0, &connector)) || !connector)
        return;
    m_devs_list_handler handler(adapter_topology_, lines_);
    if (!handler.begin(device_.Get())) return;
    walked_parts_.clear();
    walk_connector(handler, connector.Get(), 0);
    walked_parts_.clear();
}

bool m_mxrctl_ca::first_reached(IPart* part) {
    std::wstring key = part_key(part);
    // A part without any id cannot be recognised again; the depth limit
    // still ends the walk.
    return key.empty() || walked_parts_.insert(std::move(key)).second;
}

void m_mxrctl_ca::rewalk_lines() {
    lines_.clear();
    adapter_topology_.Reset();
    walked_ = false;
    walk_lines();
}

void m_mxrctl_ca::walk_connector(m_devs_handler& handler, IConnector* connector, int depth) {
    BOOL connected = FALSE;
    ComPtr<IConnector> other;
    ComPtr<IPart> part;
    if (depth > max_walk_depth || FAILED(connector->IsConnected(&connected)) || !connected ||
        FAILED(connector->GetConnectedTo(&other)) || !other || FAILED(other.As(&part))) {
        handler.dead_end();
        return;
    }
    // Where the walk has been already, it finds nothing new.
    if (!first_reached(part.Get())) {
        handler.dead_end();
        return;
    }
    if (!handler.visit(part.Get(), depth, 0)) return;
    DataFlow flow = In;
    if (FAILED(other->GetDataFlow(&flow))) {
        handler.dead_end();
        return;
    }
    walk_neighbours(handler, part.Get(), flow == Out, depth + 1);
}

void m_mxrctl_ca::walk_neighbours(m_devs_handler& handler, IPart* part, bool upstream, int depth) {
    ComPtr<IPartsList> parts;
    const HRESULT hr = upstream ? part->EnumPartsIncoming(&parts) : part->EnumPartsOutgoing(&parts);
    UINT count = 0;
    if (depth > max_walk_depth || FAILED(hr) || !parts || FAILED(parts->GetCount(&count)) ||
        count == 0) {
        handler.dead_end();
        return;
    }
    for (UINT i = 0; i < count; ++i) {
        ComPtr<IPart> next;
        if (FAILED(parts->GetPart(i, &next)) || !next) continue;
        if (!first_reached(next.Get())) {
            handler.dead_end();
            continue;
        }
        if (!handler.visit(next.Get(), depth, i)) continue;
        PartType type = Subunit;
        if (FAILED(next->GetPartType(&type))) {
            handler.dead_end();
            continue;
        }
        if (type == Subunit) {
            walk_neighbours(handler, next.Get(), upstream, depth + 1);
        } else {
            ComPtr<IConnector> connector;
            if (SUCCEEDED(next.As(&connector)))
                walk_connector(handler, connector.Get(), depth + 1);
            else
                handler.dead_end();
        }
    }
}

bool m_mxrctl_ca::m_devs_list_handler::begin(IMMDevice* device) {
    ComPtr<IMMEndpoint> endpoint;
    if (FAILED(device->QueryInterface(IID_PPV_ARGS(&endpoint)))) return false;
    EDataFlow flow = eCapture;
    if (FAILED(endpoint->GetDataFlow(&flow))) return false;
    flow_ = flow;
    current_ = {};
    return true;
}

bool m_mxrctl_ca::m_devs_list_handler::visit(IPart* part, int depth, UINT index) {
    const UINT id = local_id(part);
    if (depth == 0 && index == 0) {
        // The first part reached belongs to the adapter whose lines we list.
        ComPtr<IDeviceTopology> topology;
        if (FAILED(part->GetTopologyObjects(&topology)) || !topology || id == 0) return false;
        adapter_topology_ = topology;
        current_.name_part = id;
        return true;
    }
    if (current_.volume_part == 0 && part_has<IAudioVolumeLevel>(part)) current_.volume_part = id;
    if (current_.mute_part == 0 && part_has<IAudioMute>(part)) current_.mute_part = id;
    if (part_has<IAudioInputSelector>(part)) current_.selector_part = id;
    if (flow_ == eCapture && current_.selector_part != 0) {
        close_record(); // what lies behind an input selector is not this line's
        return false;
    }
    PartType type = Subunit;
    if (SUCCEEDED(part->GetPartType(&type)) && type == Connector) {
        ComPtr<IConnector> connector;
        ConnectorType connector_type = Unknown_Connector;
        if (FAILED(part->QueryInterface(IID_PPV_ARGS(&connector))) ||
            FAILED(connector->GetType(&connector_type)) || connector_type != Physical_External) {
            close_record();
            return false;
        }
        current_.name_part = id;
    }
    GUID subtype = GUID_NULL;
    if (SUCCEEDED(part->GetSubType(&subtype)) && subtype == node_type_sum) close_record();
    return true;
}

void m_mxrctl_ca::m_devs_list_handler::close_record() {
    if (current_.volume_part != 0) lines_.push_back(current_);
    current_ = {};
}

// ---------------------------------------------------------------------------
// Controls

m_mxrctl_ca::m_devs::~m_devs() {
    close();
}

bool m_mxrctl_ca::m_devs::open(bool use_source, int32_t, int32_t source) {
    close();
    if (!owner_.device_) return false;
    if (!use_source) return open_master();
    if (source < 0) return false;
    const bool fresh_walk = !owner_.walked_;
    owner_.walk_lines();
    const auto line = static_cast<uint32_t>(source);
    if (bind_line(line) || fresh_walk) return is_open();
    // The topology kept from an earlier walk dies with its device; when the
    // device came back, only a fresh walk reaches its parts again.
    owner_.rewalk_lines();
    return bind_line(line);
}

bool m_mxrctl_ca::m_devs::open_master() {
    ComPtr<IAudioEndpointVolume> volume;
    if (FAILED(owner_.device_->Activate(__uuidof(IAudioEndpointVolume), CLSCTX_ALL, nullptr,
                                        &volume)) ||
        !volume)
        return false;
    endpoint_volume_ = volume;
    if (owner_.notify_window_) {
        // Called from the window procedure: no exception may come out of here.
        ComPtr<Ccallback_audep> callback(
            new (std::nothrow) Ccallback_audep(owner_.notify_window_, endpoint_volume_.Get()));
        if (callback && SUCCEEDED(endpoint_volume_->RegisterControlChangeNotify(callback.Get())))
            endpoint_callback_ = callback;
    }
    name_ = owner_.name_;
    channels_ = 1;
    return true;
}

bool m_mxrctl_ca::m_devs::bind_line(uint32_t source) {
    close();
    if (source >= owner_.lines_.size() || !owner_.adapter_topology_) return false;
    const source_line line = owner_.lines_[source];
    IDeviceTopology* topology = owner_.adapter_topology_.Get();
    ComPtr<IPart> name_part;
    if (line.name_part && SUCCEEDED(topology->GetPartById(line.name_part, &name_part)) &&
        name_part) {
        LPWSTR text = nullptr;
        if (SUCCEEDED(name_part->GetName(&text))) name_ = take_co_string(text);
    }
    if (line.volume_part && SUCCEEDED(topology->GetPartById(line.volume_part, &volume_part_)) &&
        volume_part_ &&
        SUCCEEDED(volume_part_->Activate(CLSCTX_ALL, __uuidof(IAudioVolumeLevel), &volume_)) &&
        volume_) {
        UINT count = 0;
        channels_ = SUCCEEDED(volume_->GetChannelCount(&count)) ? count : 0;
        watch_part(volume_part_.Get(), __uuidof(IAudioVolumeLevel), volume_.Get(),
                   volume_callback_);
    }
    if (line.mute_part && SUCCEEDED(topology->GetPartById(line.mute_part, &mute_part_)) &&
        mute_part_ && SUCCEEDED(mute_part_->Activate(CLSCTX_ALL, __uuidof(IAudioMute), &mute_)) &&
        mute_) {
        watch_part(mute_part_.Get(), __uuidof(IAudioMute), mute_.Get(), mute_callback_);
    }
    if (is_open()) return true;
    close();
    return false;
}

bool m_mxrctl_ca::m_devs::watch_part(IPart* part, REFIID iid, void* identity,
                                     ComPtr<Ccallback_ctlchg>& callback) {
    if (!owner_.notify_window_) return false;
    ComPtr<Ccallback_ctlchg> created(new (std::nothrow)
                                         Ccallback_ctlchg(owner_.notify_window_, identity));
    if (!created || FAILED(part->RegisterControlChangeCallback(iid, created.Get()))) return false;
    callback = created;
    return true;
}

void m_mxrctl_ca::m_devs::unwatch_part(IPart* part, ComPtr<Ccallback_ctlchg>& callback) {
    if (callback && part) part->UnregisterControlChangeCallback(callback.Get());
    callback.Reset();
}

void m_mxrctl_ca::m_devs::close() {
    if (endpoint_callback_ && endpoint_volume_)
        endpoint_volume_->UnregisterControlChangeNotify(endpoint_callback_.Get());
    endpoint_callback_.Reset();
    endpoint_volume_.Reset();
    unwatch_part(volume_part_.Get(), volume_callback_);
    unwatch_part(mute_part_.Get(), mute_callback_);
    mute_.Reset();
    mute_part_.Reset();
    volume_.Reset();
    volume_part_.Reset();
    name_.clear();
    channels_ = 0;
}

int32_t m_mxrctl_ca::m_devs::volume() {
    if (endpoint_volume_) {
        float scalar = 0.0f;
        if (FAILED(endpoint_volume_->GetMasterVolumeLevelScalar(&scalar))) return 0;
        return mxrctl_math::percent_from_scalar(scalar);
    }
    if (!volume_) return 0;
    UINT count = 0;
    if (FAILED(volume_->GetChannelCount(&count)) || count == 0) return 0;
    float min_db = 0, max_db = 0, step_db = 0;
    if (FAILED(volume_->GetLevelRange(0, &min_db, &max_db, &step_db))) return 0;
    // No allocation on this path, and a driver's wild channel count cannot
    // ask for one: the loudest of the first channels decides.
    constexpr UINT max_read_channels = 32;
    count = std::min(count, max_read_channels);
    float levels[max_read_channels];
    for (UINT i = 0; i < count; ++i)
        if (FAILED(volume_->GetLevel(i, &levels[i]))) return 0;
    return mxrctl_math::percent_from_levels(levels, count, min_db, max_db);
}

bool m_mxrctl_ca::m_devs::move_volume(int32_t percent, int32_t direction) {
    if (endpoint_volume_) return move_master(percent, direction);
    return volume_ && move_line(percent, direction);
}

bool m_mxrctl_ca::m_devs::move_master(int32_t percent, int32_t direction) {
    float before = 0.0f, before_db = 0.0f;
    const bool known = direction != 0 &&
                       SUCCEEDED(endpoint_volume_->GetMasterVolumeLevelScalar(&before)) &&
                       SUCCEEDED(endpoint_volume_->GetMasterVolumeLevel(&before_db));
    if (FAILED(endpoint_volume_->SetMasterVolumeLevelScalar(
            mxrctl_math::scalar_from_percent(percent), nullptr)))
        return false;
    float after = before;
    if (!known || FAILED(endpoint_volume_->GetMasterVolumeLevelScalar(&after))) return true;
    if (direction > 0 ? after > before : after < before) return true;
    // Hardware behind the endpoint holds its own steps, and one of them can
    // be wider than the volume step: go one step of its own from where it was.
    float min_db = 0.0f, max_db = 0.0f, step_db = 0.0f;
    if (FAILED(endpoint_volume_->GetVolumeRange(&min_db, &max_db, &step_db))) return true;
    const float level =
        mxrctl_math::stepped_level(before_db, before_db, min_db, max_db, step_db, direction);
    if (level != before_db) endpoint_volume_->SetMasterVolumeLevel(level, nullptr);
    return true;
}

bool m_mxrctl_ca::m_devs::move_line(int32_t percent, int32_t direction) {
    UINT count = 0;
    float min_db = 0, max_db = 0, step_db = 0;
    if (FAILED(volume_->GetChannelCount(&count)) ||
        FAILED(volume_->GetLevelRange(0, &min_db, &max_db, &step_db)))
        return false;
    float scalar = mxrctl_math::scalar_from_percent(percent);
    // A move goes by whole steps of the louder channel, which is the line's
    // volume; the balance then takes the other channel down from there. A
    // volume set outright is written as asked and left to the hardware.
    float louder = min_db;
    if (direction != 0) {
        constexpr UINT max_read_channels = 32;
        const UINT read = std::min(count, max_read_channels);
        for (UINT i = 0; i < read; ++i) {
            float level = min_db;
            if (SUCCEEDED(volume_->GetLevel(i, &level))) louder = std::max(louder, level);
        }
    } else {
        step_db = 0.0f;
    }
    const auto fit = [&](double wanted, int32_t way) {
        return mxrctl_math::stepped_level(wanted, louder, min_db, max_db, step_db, way);
    };
    const float level = fit(mxrctl_math::db_from_scalar(scalar, min_db, max_db), direction);
    if (count != 2) return SUCCEEDED(volume_->SetLevelUniform(level, nullptr));
    if (direction != 0)
        scalar = static_cast<float>(mxrctl_math::scalar_from_db(level, min_db, max_db));
    const auto [left, right] = mxrctl_math::stereo_levels(scalar, balance_, min_db, max_db);
    float levels[2] = {fit(left, 0), fit(right, 0)};
    return SUCCEEDED(volume_->SetLevelAllChannels(levels, 2, nullptr));
}

int32_t m_mxrctl_ca::m_devs::balance() const {
    return mxrctl_math::setting_from_balance(balance_);
}

bool m_mxrctl_ca::m_devs::set_balance(int32_t balance) {
    balance_ = mxrctl_math::balance_from_setting(balance);
    return true;
}

bool m_mxrctl_ca::m_devs::mute() {
    BOOL muted = FALSE;
    if (endpoint_volume_) return SUCCEEDED(endpoint_volume_->GetMute(&muted)) && muted;
    if (mute_) return SUCCEEDED(mute_->GetMute(&muted)) && muted;
    return false;
}

bool m_mxrctl_ca::m_devs::set_mute(bool mute) {
    if (endpoint_volume_) return SUCCEEDED(endpoint_volume_->SetMute(mute, nullptr));
    if (mute_) return SUCCEEDED(mute_->SetMute(mute, nullptr));
    return false;
}

bool m_mxrctl_ca::m_devs::is_notification(UINT message, WPARAM wparam) const {
    if (message != mxrctl_change_message) return false;
    const void* sender = reinterpret_cast<const void*>(wparam);
    return (endpoint_callback_ && sender == endpoint_volume_.Get()) ||
           (volume_callback_ && sender == volume_.Get()) ||
           (mute_callback_ && sender == mute_.Get());
}
