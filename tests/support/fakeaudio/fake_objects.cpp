// The COM objects of the fake audio system. Each one counts its references and
// is counted by its core, so that tests can prove nobody leaks one.

#include "tests/support/fakeaudio/fake_object_base.h"

#include <audioclient.h>
#include <propidl.h>
#include <propsys.h>

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <tuple>
#include <vector>

using Microsoft::WRL::ComPtr;

namespace fakeaudio {

namespace {

constexpr PROPERTYKEY key_friendly_name = {
    {0xa45c254e, 0xdf1c, 0x4efd, {0x80, 0x20, 0x67, 0xd1, 0x46, 0xa8, 0x50, 0xe0}}, 14};
const HRESULT e_not_found = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);

// Hardware holds only the levels of its steps, counted from the bottom of the
// range: the nearest one, or the one below (a level within a hair of a step
// is that step).
float held_level(const shared_state& s, float db, float min_db, float max_db, float step_db) {
    const float level = std::clamp(db, min_db, max_db);
    if (!s.hardware_writes || !(step_db > 0.0f)) return level;
    const double steps = (static_cast<double>(level) - min_db) / step_db;
    const double k = s.hardware_writes == 2 ? std::floor(steps + 1e-3) : std::round(steps);
    return std::clamp(static_cast<float>(min_db + k * step_db), min_db, max_db);
}

// ---------------------------------------------------------------------------

class endpoint_volume final : public object<object_kind::endpoint_volume, IAudioEndpointVolume>,
                              device_bound {
public:
    endpoint_volume(core& c, int device) : object(c), device_bound(c.state(), device) {}
    ~endpoint_volume() override { core_.forget_owner(this); }

    HRESULT STDMETHODCALLTYPE
    RegisterControlChangeNotify(IAudioEndpointVolumeCallback* n) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        return core_.watch_endpoint(this, device_, n);
    }
    HRESULT STDMETHODCALLTYPE
    UnregisterControlChangeNotify(IAudioEndpointVolumeCallback* n) noexcept override {
        return core_.unwatch_endpoint(device_, n);
    }
    HRESULT STDMETHODCALLTYPE GetChannelCount(UINT* count) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        if (!count) return E_POINTER;
        *count = dev().channels;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetMasterVolumeLevel(float db, LPCGUID context) noexcept override {
        return SetMasterVolumeLevelScalar(scalar(db), context);
    }
    HRESULT STDMETHODCALLTYPE SetMasterVolumeLevelScalar(float level, LPCGUID) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        if (!(level >= 0.0f && level <= 1.0f)) return E_INVALIDARG;
        InterlockedIncrement(&dev().volume_writes);
        level = stepped(level);
        bool different = dev().master != level;
        for (uint32_t c = 0; c < dev().channels && c < max_channels; ++c)
            different = different || dev().channel[c] != level;
        dev().master = level;
        for (auto& c : dev().channel) c = level;
        written(state_, dev().volume_seq, different);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMasterVolumeLevel(float* db) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        if (!db) return E_POINTER;
        *db = decibel(dev().master);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMasterVolumeLevelScalar(float* level) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        if (!level) return E_POINTER;
        *level = dev().master;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetChannelVolumeLevel(UINT channel, float db,
                                                    LPCGUID context) noexcept override {
        return SetChannelVolumeLevelScalar(channel, scalar(db), context);
    }
    HRESULT STDMETHODCALLTYPE SetChannelVolumeLevelScalar(UINT channel, float level,
                                                          LPCGUID) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        if (channel >= dev().channels || !(level >= 0.0f && level <= 1.0f)) return E_INVALIDARG;
        InterlockedIncrement(&dev().volume_writes);
        level = stepped(level);
        const bool different = dev().channel[channel] != level;
        dev().channel[channel] = level;
        dev().master = *std::max_element(dev().channel, dev().channel + dev().channels);
        written(state_, dev().volume_seq, different);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetChannelVolumeLevel(UINT channel, float* db) noexcept override {
        float level = 0;
        const HRESULT hr = GetChannelVolumeLevelScalar(channel, &level);
        if (SUCCEEDED(hr)) *db = decibel(level);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetChannelVolumeLevelScalar(UINT channel,
                                                          float* level) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        if (!level) return E_POINTER;
        if (channel >= dev().channels) return E_INVALIDARG;
        *level = dev().channel[channel];
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetMute(BOOL mute, LPCGUID) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        const uint32_t value = mute ? 1 : 0;
        InterlockedIncrement(&dev().mute_writes);
        if (dev().muted == value) return S_FALSE;
        dev().muted = value;
        changed(state_, dev().volume_seq);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMute(BOOL* mute) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        if (!mute) return E_POINTER;
        *mute = dev().muted ? TRUE : FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetVolumeStepInfo(UINT* step, UINT* count) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        if (!step || !count) return E_POINTER;
        *count = 101;
        *step = static_cast<UINT>(std::lround(dev().master * 100.0f));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE VolumeStepUp(LPCGUID context) noexcept override {
        return SetMasterVolumeLevelScalar(std::min(1.0f, dev().master + 0.01f), context);
    }
    HRESULT STDMETHODCALLTYPE VolumeStepDown(LPCGUID context) noexcept override {
        return SetMasterVolumeLevelScalar(std::max(0.0f, dev().master - 0.01f), context);
    }
    HRESULT STDMETHODCALLTYPE QueryHardwareSupport(DWORD* mask) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        if (!mask) return E_POINTER;
        *mask = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetVolumeRange(float* min_db, float* max_db,
                                             float* step) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        if (!min_db || !max_db || !step) return E_POINTER;
        *min_db = bottom();
        *max_db = 0.0f;
        *step = dev().step_db > 0.0f ? dev().step_db : 0.03125f;
        return S_OK;
    }

private:
    static constexpr float bottom_db = -65.25f;
    device_state& dev() const { return state_.devices[device_]; }
    // Silence stays silence; anything else is one of the hardware's steps.
    float stepped(float level) const {
        if (level <= 0.0f || !state_.hardware_writes || !(dev().step_db > 0.0f)) return level;
        return scalar(held_level(state_, decibel(level), bottom(), 0.0f, dev().step_db));
    }
    // Hardware's range is a whole number of its steps.
    float bottom() const {
        const float step = dev().step_db;
        return step > 0.0f ? -step * std::floor(-bottom_db / step) : bottom_db;
    }
    static float decibel(float scalar) {
        return scalar <= 0.0f ? bottom_db : std::max(bottom_db, 20.0f * std::log10(scalar));
    }
    static float scalar(float db) { return std::clamp(std::pow(10.0f, db / 20.0f), 0.0f, 1.0f); }
};

// ---------------------------------------------------------------------------
// Topology

class volume_level final : public object<object_kind::volume_level, IAudioVolumeLevel>,
                           device_bound {
public:
    volume_level(core& c, int part)
        : object(c), device_bound(c.state(), c.state().parts[part].device), part_(part) {}

    HRESULT STDMETHODCALLTYPE GetChannelCount(UINT* count) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        if (!count) return E_POINTER;
        *count = p().channels;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetLevelRange(UINT channel, float* min_db, float* max_db,
                                            float* step) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        if (!min_db || !max_db || !step) return E_POINTER;
        if (channel >= p().channels) return E_INVALIDARG;
        *min_db = p().min_db;
        *max_db = p().max_db;
        *step = p().step_db;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetLevel(UINT channel, float* db) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        if (!db) return E_POINTER;
        if (channel >= p().channels) return E_INVALIDARG;
        *db = p().level_db[channel];
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetLevel(UINT channel, float db, LPCGUID) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        if (channel >= p().channels) return E_INVALIDARG;
        count_write();
        const bool different = store(channel, db);
        written(state_, p().volume_seq, different);
        carry_to_tied_part(state_, part_);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetLevelUniform(float db, LPCGUID) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        count_write();
        bool different = false;
        for (uint32_t c = 0; c < p().channels; ++c) different = store(c, db) || different;
        written(state_, p().volume_seq, different);
        carry_to_tied_part(state_, part_);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetLevelAllChannels(float* levels, ULONG count,
                                                  LPCGUID) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        if (!levels) return E_POINTER;
        if (count != p().channels) return E_INVALIDARG;
        count_write();
        bool different = false;
        for (uint32_t c = 0; c < count; ++c) different = store(c, levels[c]) || different;
        written(state_, p().volume_seq, different);
        carry_to_tied_part(state_, part_);
        return S_OK;
    }

private:
    part_state& p() const { return state_.parts[part_]; }
    float level_for(float db) const {
        return held_level(state_, db, p().min_db, p().max_db, p().step_db);
    }
    // One call is one write, whatever number of channels it sets.
    void count_write() { InterlockedIncrement(&p().level_writes); }
    bool store(uint32_t channel, float db) {
        const float level = level_for(db);
        const bool different = p().level_db[channel] != level;
        p().level_db[channel] = level;
        return different;
    }
    int part_;
};

class part_mute final : public object<object_kind::mute, IAudioMute>, device_bound {
public:
    part_mute(core& c, int part)
        : object(c), device_bound(c.state(), c.state().parts[part].device), part_(part) {}
    HRESULT STDMETHODCALLTYPE SetMute(BOOL mute, LPCGUID) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        const uint32_t value = mute ? 1 : 0;
        InterlockedIncrement(&state_.parts[part_].mute_writes);
        const bool different = state_.parts[part_].muted != value;
        state_.parts[part_].muted = value;
        written(state_, state_.parts[part_].mute_seq, different);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMute(BOOL* mute) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        if (!mute) return E_POINTER;
        *mute = state_.parts[part_].muted ? TRUE : FALSE;
        return S_OK;
    }

private:
    int part_;
};

class input_selector final : public object<object_kind::input_selector, IAudioInputSelector>,
                             device_bound {
public:
    input_selector(core& c, int part)
        : object(c), device_bound(c.state(), c.state().parts[part].device), part_(part) {}
    HRESULT STDMETHODCALLTYPE GetSelection(UINT* selected) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        if (!selected) return E_POINTER;
        *selected = state_.parts[part_].selected;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSelection(UINT selected, LPCGUID) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        state_.parts[part_].selected = selected;
        return S_OK;
    }

private:
    int part_;
};

class topology;
HRESULT make_part(core& c, int part, IPart** out);
HRESULT make_topology(core& c, int device, bool endpoint_side, IDeviceTopology** out);

class parts_list final : public object<object_kind::parts_list, IPartsList>, device_bound {
public:
    parts_list(core& c, int device, const int32_t* parts, uint32_t count)
        : object(c), device_bound(c.state(), device), parts_(parts, parts + count) {}
    HRESULT STDMETHODCALLTYPE GetCount(UINT* count) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        if (!count) return E_POINTER;
        *count = static_cast<UINT>(parts_.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPart(UINT index, IPart** part) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        if (!part) return E_POINTER;
        if (index >= parts_.size()) return E_INVALIDARG;
        return make_part(core_, parts_[index], part);
    }

private:
    std::vector<int32_t> parts_;
};

class part final : public object<object_kind::part, IPart, IConnector, ISubUnit>, device_bound {
public:
    part(core& c, int index)
        : object(c), device_bound(c.state(), c.state().parts[index].device), index_(index) {}
    ~part() override { core_.forget_owner(this); }

    // IPart
    HRESULT STDMETHODCALLTYPE GetName(LPWSTR* name) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        return co_string(p().name, name);
    }
    HRESULT STDMETHODCALLTYPE GetLocalId(UINT* id) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        if (!id) return E_POINTER;
        *id = p().local_id;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetGlobalId(LPWSTR* id) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        wchar_t text[160];
        swprintf(text, 160, L"%ls/%u", state_.devices[device_].id, p().local_id);
        return co_string(text, id);
    }
    HRESULT STDMETHODCALLTYPE GetPartType(PartType* type) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        if (!type) return E_POINTER;
        *type = static_cast<PartType>(p().kind);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSubType(GUID* subtype) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        if (!subtype) return E_POINTER;
        *subtype = p().subtype;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetControlInterfaceCount(UINT* count) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        if (!count) return E_POINTER;
        *count = p().has_volume + p().has_mute + p().has_selector;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetControlInterface(UINT, IControlInterface**) noexcept override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE EnumPartsIncoming(IPartsList** parts) noexcept override {
        return list(p().incoming, p().incoming_count, parts);
    }
    HRESULT STDMETHODCALLTYPE EnumPartsOutgoing(IPartsList** parts) noexcept override {
        return list(p().outgoing, p().outgoing_count, parts);
    }
    HRESULT STDMETHODCALLTYPE GetTopologyObjects(IDeviceTopology** topology) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        return make_topology(core_, device_, p().endpoint_side != 0, topology);
    }
    HRESULT STDMETHODCALLTYPE Activate(DWORD, REFIID iid, void** out) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid == __uuidof(IAudioVolumeLevel) && p().has_volume)
            return hand_out<IAudioVolumeLevel>(new volume_level(core_, index_),
                                               reinterpret_cast<IAudioVolumeLevel**>(out));
        if (iid == __uuidof(IAudioMute) && p().has_mute)
            return hand_out<IAudioMute>(new part_mute(core_, index_),
                                        reinterpret_cast<IAudioMute**>(out));
        if (iid == __uuidof(IAudioInputSelector) && p().has_selector)
            return hand_out<IAudioInputSelector>(new input_selector(core_, index_),
                                                 reinterpret_cast<IAudioInputSelector**>(out));
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE
    RegisterControlChangeCallback(REFGUID iid, IControlChangeNotify* n) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        if (iid == __uuidof(IAudioVolumeLevel) && p().has_volume)
            return core_.watch_part(this, index_, false, n);
        if (iid == __uuidof(IAudioMute) && p().has_mute)
            return core_.watch_part(this, index_, true, n);
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE
    UnregisterControlChangeCallback(IControlChangeNotify* n) noexcept override {
        return core_.unwatch_part(index_, n);
    }

    // IConnector
    HRESULT STDMETHODCALLTYPE GetType(ConnectorType* type) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        if (!type) return E_POINTER;
        *type = static_cast<ConnectorType>(p().connector_type);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataFlow(DataFlow* flow) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        if (!flow) return E_POINTER;
        *flow = static_cast<DataFlow>(p().data_flow);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ConnectTo(IConnector*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Disconnect() noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsConnected(BOOL* connected) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        if (!connected) return E_POINTER;
        *connected = p().connected_to >= 0 ? TRUE : FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectedTo(IConnector** other) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        if (!other) return E_POINTER;
        *other = nullptr;
        if (p().connected_to < 0) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
        ComPtr<IPart> far_end;
        const HRESULT hr = make_part(core_, p().connected_to, &far_end);
        if (FAILED(hr)) return hr;
        return far_end->QueryInterface(IID_PPV_ARGS(other));
    }
    HRESULT STDMETHODCALLTYPE GetConnectorIdConnectedTo(LPWSTR* id) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        if (p().connected_to < 0) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
        return co_string(state_.parts[p().connected_to].name, id);
    }
    HRESULT STDMETHODCALLTYPE GetDeviceIdConnectedTo(LPWSTR* id) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        if (p().connected_to < 0) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
        return co_string(state_.devices[state_.parts[p().connected_to].device].id, id);
    }

protected:
    bool answers(REFIID iid) const override {
        if (iid == __uuidof(IConnector)) return p().kind == Connector;
        if (iid == __uuidof(ISubUnit)) return p().kind == Subunit;
        return true;
    }

private:
    part_state& p() const { return state_.parts[index_]; }
    HRESULT list(const int32_t* parts, uint32_t count, IPartsList** out) noexcept {
        FAKE_ALIVE_OR_FAIL();
        if (!out) return E_POINTER;
        *out = nullptr;
        if (count == 0) return e_not_found;
        return hand_out<IPartsList>(new parts_list(core_, device_, parts, count), out);
    }
    int index_;
};

HRESULT make_part(core& c, int index, IPart** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (index < 0 || static_cast<uint32_t>(index) >= c.state().part_count) return E_INVALIDARG;
    return hand_out<IPart>(new part(c, index), out);
}

class topology final : public object<object_kind::topology, IDeviceTopology>, device_bound {
public:
    topology(core& c, int device, bool endpoint_side)
        : object(c), device_bound(c.state(), device), endpoint_side_(endpoint_side) {}

    HRESULT STDMETHODCALLTYPE GetConnectorCount(UINT* count) noexcept override {
        return count_of(Connector, count);
    }
    HRESULT STDMETHODCALLTYPE GetConnector(UINT index, IConnector** out) noexcept override {
        return member(Connector, index, out);
    }
    HRESULT STDMETHODCALLTYPE GetSubunitCount(UINT* count) noexcept override {
        return count_of(Subunit, count);
    }
    HRESULT STDMETHODCALLTYPE GetSubunit(UINT index, ISubUnit** out) noexcept override {
        return member(Subunit, index, out);
    }
    HRESULT STDMETHODCALLTYPE GetPartById(UINT id, IPart** out) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        if (!out) return E_POINTER;
        *out = nullptr;
        for (uint32_t i = 0; i < state_.part_count; ++i)
            if (mine(i) && state_.parts[i].local_id == id)
                return make_part(core_, static_cast<int>(i), out);
        return E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE GetDeviceId(LPWSTR* id) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        if (endpoint_side_) return co_string(state_.devices[device_].id, id);
        wchar_t text[160];
        swprintf(text, 160, L"adapter:%ls", state_.devices[device_].id);
        return co_string(text, id);
    }
    HRESULT STDMETHODCALLTYPE GetSignalPath(IPart*, IPart*, BOOL, IPartsList**) noexcept override {
        return E_NOTIMPL;
    }

private:
    bool mine(uint32_t i) const {
        const part_state& p = state_.parts[i];
        return p.device == device_ && (p.endpoint_side != 0) == endpoint_side_;
    }
    HRESULT count_of(uint32_t kind, UINT* count) const noexcept {
        FAKE_ALIVE_OR_FAIL();
        if (!count) return E_POINTER;
        *count = static_cast<UINT>(members(kind).size());
        return S_OK;
    }
    template <typename I> HRESULT member(uint32_t kind, UINT index, I** out) noexcept {
        FAKE_ALIVE_OR_FAIL();
        if (!out) return E_POINTER;
        *out = nullptr;
        const auto found = members(kind);
        if (index >= found.size()) return E_INVALIDARG;
        ComPtr<IPart> p;
        const HRESULT hr = make_part(core_, found[index], &p);
        return FAILED(hr) ? hr : p->QueryInterface(IID_PPV_ARGS(out));
    }
    std::vector<int> members(uint32_t kind) const {
        std::vector<int> found;
        for (uint32_t i = 0; i < state_.part_count; ++i)
            if (mine(i) && state_.parts[i].kind == kind) found.push_back(static_cast<int>(i));
        return found;
    }
    bool endpoint_side_;
};

HRESULT make_topology(core& c, int device, bool endpoint_side, IDeviceTopology** out) {
    if (!out) return E_POINTER;
    return hand_out<IDeviceTopology>(new topology(c, device, endpoint_side), out);
}

// ---------------------------------------------------------------------------
// Devices

// The system's device standing in for a fake one where the fake models nothing
// (sound output): the default device of the same direction.
ComPtr<IMMDevice> system_device(core& c, int device) {
    ComPtr<IMMDevice> real;
    if (c.delegate)
        c.delegate->GetDefaultAudioEndpoint(static_cast<EDataFlow>(c.state().devices[device].flow),
                                            eConsole, &real);
    return real;
}

class property_store final : public object<object_kind::property_store, IPropertyStore> {
public:
    property_store(core& c, int device) : object(c), device_(device) {}
    HRESULT STDMETHODCALLTYPE GetCount(DWORD* count) noexcept override {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetAt(DWORD index, PROPERTYKEY* key) noexcept override {
        if (!key) return E_POINTER;
        if (index != 0) return E_INVALIDARG;
        *key = key_friendly_name;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetValue(REFPROPERTYKEY key, PROPVARIANT* value) noexcept override {
        if (!value) return E_POINTER;
        PropVariantInit(value);
        if (key.fmtid == key_friendly_name.fmtid && key.pid == key_friendly_name.pid) {
            value->vt = VT_LPWSTR;
            return co_string(state().devices[device_].name, &value->pwszVal);
        }
        // Everything else (format, GUID for DirectSound) from the system's device.
        if (auto real = system_device(core_, device_)) {
            ComPtr<IPropertyStore> store;
            if (SUCCEEDED(real->OpenPropertyStore(STGM_READ, &store)))
                return store->GetValue(key, value);
        }
        return S_OK; // VT_EMPTY: not set
    }
    HRESULT STDMETHODCALLTYPE SetValue(REFPROPERTYKEY, REFPROPVARIANT) noexcept override {
        return STG_E_ACCESSDENIED;
    }
    HRESULT STDMETHODCALLTYPE Commit() noexcept override { return STG_E_ACCESSDENIED; }

private:
    int device_;
};

class device final : public object<object_kind::device, IMMDevice, IMMEndpoint> {
public:
    device(core& c, int index) : object(c), index_(index) {}

    HRESULT STDMETHODCALLTYPE Activate(REFIID iid, DWORD context, PROPVARIANT* params,
                                       void** out) noexcept override {
        core_.note_call();
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!d().present) return AUDCLNT_E_DEVICE_INVALIDATED;
        if (iid == __uuidof(IAudioEndpointVolume))
            return hand_out<IAudioEndpointVolume>(new endpoint_volume(core_, index_),
                                                  reinterpret_cast<IAudioEndpointVolume**>(out));
        if (iid == __uuidof(IDeviceTopology)) {
            if (d().endpoint_connector < 0) return E_NOINTERFACE;
            return make_topology(core_, index_, true, reinterpret_cast<IDeviceTopology**>(out));
        }
        if (iid == __uuidof(IAudioSessionManager2) || iid == __uuidof(IAudioSessionManager))
            return make_session_manager(core_, index_, iid, out);
        if (auto real = system_device(core_, index_))
            return real->Activate(iid, context, params, out);
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE OpenPropertyStore(DWORD, IPropertyStore** store) noexcept override {
        core_.note_call();
        if (!store) return E_POINTER;
        return hand_out<IPropertyStore>(new property_store(core_, index_), store);
    }
    HRESULT STDMETHODCALLTYPE GetId(LPWSTR* id) noexcept override {
        core_.note_call();
        return co_string(d().id, id);
    }
    HRESULT STDMETHODCALLTYPE GetState(DWORD* s) noexcept override {
        core_.note_call();
        if (!s) return E_POINTER;
        *s = d().present ? DEVICE_STATE_ACTIVE : DEVICE_STATE_NOTPRESENT;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataFlow(EDataFlow* flow) noexcept override {
        if (!flow) return E_POINTER;
        *flow = static_cast<EDataFlow>(d().flow);
        return S_OK;
    }

private:
    device_state& d() const { return state().devices[index_]; }
    int index_;
};

HRESULT make_device(core& c, int index, IMMDevice** out) {
    return hand_out<IMMDevice>(new device(c, index), out);
}

class collection final : public object<object_kind::collection, IMMDeviceCollection> {
public:
    collection(core& c, std::vector<int> devices) : object(c), devices_(std::move(devices)) {}
    HRESULT STDMETHODCALLTYPE GetCount(UINT* count) noexcept override {
        if (!count) return E_POINTER;
        *count = static_cast<UINT>(devices_.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Item(UINT index, IMMDevice** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (index >= devices_.size()) return E_INVALIDARG;
        return make_device(core_, devices_[index], out);
    }

private:
    std::vector<int> devices_;
};

class enumerator final : public object<object_kind::enumerator, IMMDeviceEnumerator> {
public:
    explicit enumerator(core& c) : object(c) {}

    HRESULT STDMETHODCALLTYPE EnumAudioEndpoints(EDataFlow flow, DWORD mask,
                                                 IMMDeviceCollection** out) noexcept override {
        core_.note_call();
        if (!out) return E_POINTER;
        *out = nullptr;
        if (flow < eRender || flow > eAll || (mask & ~DEVICE_STATEMASK_ALL) != 0)
            return E_INVALIDARG;
        std::vector<int> found;
        for (uint32_t i = 0; i < state().device_count; ++i) {
            const device_state& d = state().devices[i];
            const DWORD s = d.present ? DEVICE_STATE_ACTIVE : DEVICE_STATE_NOTPRESENT;
            if ((flow == eAll || d.flow == static_cast<uint32_t>(flow)) && (mask & s))
                found.push_back(static_cast<int>(i));
        }
        return hand_out<IMMDeviceCollection>(new collection(core_, std::move(found)), out);
    }
    HRESULT STDMETHODCALLTYPE GetDefaultAudioEndpoint(EDataFlow flow, ERole,
                                                      IMMDevice** out) noexcept override {
        core_.note_call();
        InterlockedExchange(&state().default_lookup_process,
                            static_cast<LONG>(GetCurrentProcessId()));
        InterlockedExchange(&state().default_lookup_thread,
                            static_cast<LONG>(GetCurrentThreadId()));
        if (!out) return E_POINTER;
        *out = nullptr;
        if (flow != eRender && flow != eCapture) return E_INVALIDARG;
        for (uint32_t i = 0; i < state().device_count; ++i) {
            const device_state& d = state().devices[i];
            if (d.is_default && d.present && d.flow == static_cast<uint32_t>(flow))
                return make_device(core_, static_cast<int>(i), out);
        }
        return e_not_found;
    }
    HRESULT STDMETHODCALLTYPE GetDevice(LPCWSTR id, IMMDevice** out) noexcept override {
        core_.note_call();
        if (!out || !id) return E_POINTER;
        *out = nullptr;
        for (uint32_t i = 0; i < state().device_count; ++i)
            if (wcscmp(state().devices[i].id, id) == 0)
                return make_device(core_, static_cast<int>(i), out);
        if (core_.delegate) return core_.delegate->GetDevice(id, out);
        return e_not_found;
    }
    HRESULT STDMETHODCALLTYPE
    RegisterEndpointNotificationCallback(IMMNotificationClient* client) noexcept override {
        core_.note_call();
        return core_.watch_devices(this, client);
    }
    HRESULT STDMETHODCALLTYPE
    UnregisterEndpointNotificationCallback(IMMNotificationClient* client) noexcept override {
        core_.note_call();
        return core_.unwatch_devices(client);
    }
};

} // namespace

HRESULT core::create_enumerator(IMMDeviceEnumerator** out) {
    if (!out) return E_POINTER;
    return hand_out<IMMDeviceEnumerator>(new enumerator(*this), out);
}

} // namespace fakeaudio
