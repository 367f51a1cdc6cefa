// Audio sessions and the policy-configuration object of the fake audio
// system: a device's session manager and its list of sessions, each with its
// simple volume, and the class that moves the default device.

#include "tests/support/fakeaudio/fake_object_base.h"

#include "mxrctl/policy_config.h"

#include <strsafe.h>

#include <vector>

using Microsoft::WRL::ComPtr;

namespace fakeaudio {

namespace {

// A device of the state, or null for an index out of range.
device_state* device_at(shared_state& s, int index) {
    return index >= 0 && static_cast<uint32_t>(index) < s.device_count ? &s.devices[index]
                                                                       : nullptr;
}

// A new object handed out as interface `iid`, or gone when it has none.
template <typename T> HRESULT handed_as(T* made, REFIID iid, void** out) {
    const HRESULT hr = made->QueryInterface(iid, out);
    made->Release();
    return hr;
}

class session final
    : public object<object_kind::session, IAudioSessionControl2, ISimpleAudioVolume>,
      device_bound {
public:
    session(core& c, int index)
        : object(c), device_bound(c.state(), c.state().sessions[index].device), index_(index) {}
    ~session() override { core_.forget_owner(this); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override {
        if (out && iid == __uuidof(IAudioSessionControl)) {
            *out = static_cast<IAudioSessionControl*>(static_cast<IAudioSessionControl2*>(this));
            AddRef();
            return S_OK;
        }
        return object::QueryInterface(iid, out);
    }

    // IAudioSessionControl
    HRESULT STDMETHODCALLTYPE GetState(AudioSessionState* out) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        if (!out) return E_POINTER;
        *out = static_cast<AudioSessionState>(s().state);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDisplayName(LPWSTR* out) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        return co_string(s().display_name, out);
    }
    HRESULT STDMETHODCALLTYPE SetDisplayName(LPCWSTR, LPCGUID) noexcept override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIconPath(LPWSTR* out) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        return co_string(L"", out);
    }
    HRESULT STDMETHODCALLTYPE SetIconPath(LPCWSTR, LPCGUID) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetGroupingParam(GUID* out) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        if (!out) return E_POINTER;
        *out = GUID_NULL;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetGroupingParam(LPCGUID, LPCGUID) noexcept override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE
    RegisterAudioSessionNotification(IAudioSessionEvents* events) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        return core_.watch_session(this, index_, events);
    }
    HRESULT STDMETHODCALLTYPE
    UnregisterAudioSessionNotification(IAudioSessionEvents* events) noexcept override {
        core_.note_call();
        return core_.unwatch_session(events);
    }
    // IAudioSessionControl2: identifiers in the form Windows gives them,
    // "<device id>|<program's file>%b{<grouping>}" and that plus "|1%b<pid>".
    HRESULT STDMETHODCALLTYPE GetSessionIdentifier(LPWSTR* out) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        wchar_t text[path_chars + name_chars + 64];
        StringCchPrintfW(text, std::size(text), L"%s|%s%%b{00000000-0000-0000-0000-000000000000}",
                         state_.devices[device_].id, s().path);
        return co_string(text, out);
    }
    HRESULT STDMETHODCALLTYPE GetSessionInstanceIdentifier(LPWSTR* out) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        wchar_t text[path_chars + name_chars + 80];
        StringCchPrintfW(
            text, std::size(text), L"%s|%s%%b{00000000-0000-0000-0000-000000000000}|1%%b%lu",
            state_.devices[device_].id, s().path, static_cast<unsigned long>(s().process_id));
        return co_string(text, out);
    }
    HRESULT STDMETHODCALLTYPE GetProcessId(DWORD* out) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        if (!out) return E_POINTER;
        *out = s().process_id;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE IsSystemSoundsSession() noexcept override {
        FAKE_ALIVE_OR_FAIL();
        return s().process_id == 0 ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE SetDuckingPreference(BOOL) noexcept override { return S_OK; }

    // ISimpleAudioVolume
    HRESULT STDMETHODCALLTYPE SetMasterVolume(float level, LPCGUID context) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        if (!(level >= 0.0f && level <= 1.0f)) return E_INVALIDARG;
        InterlockedIncrement(&s().volume_writes);
        const bool different = s().volume != level;
        s().volume = level;
        s().context = context ? *context : GUID_NULL;
        written(state_, s().volume_seq, different);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMasterVolume(float* level) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        if (!level) return E_POINTER;
        *level = s().volume;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetMute(BOOL mute, LPCGUID context) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        const uint32_t value = mute ? 1 : 0;
        if (s().muted == value) return S_OK;
        s().muted = value;
        s().context = context ? *context : GUID_NULL;
        changed(state_, s().volume_seq);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMute(BOOL* mute) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        if (!mute) return E_POINTER;
        *mute = s().muted ? TRUE : FALSE;
        return S_OK;
    }

private:
    session_state& s() const { return state_.sessions[index_]; }
    int index_;
};

class session_list final : public object<object_kind::session_list, IAudioSessionEnumerator> {
public:
    session_list(core& c, std::vector<int> sessions) : object(c), sessions_(std::move(sessions)) {}
    HRESULT STDMETHODCALLTYPE GetCount(int* count) noexcept override {
        core_.note_call();
        if (!count) return E_POINTER;
        *count = static_cast<int>(sessions_.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSession(int index, IAudioSessionControl** out) noexcept override {
        core_.note_call();
        if (!out) return E_POINTER;
        *out = nullptr;
        if (index < 0 || static_cast<size_t>(index) >= sessions_.size()) return E_INVALIDARG;
        return make_session(core_, sessions_[static_cast<size_t>(index)], out);
    }

private:
    std::vector<int> sessions_;
};

class session_manager final : public object<object_kind::session_manager, IAudioSessionManager2>,
                              device_bound {
public:
    session_manager(core& c, int device) : object(c), device_bound(c.state(), device) {}
    ~session_manager() override { core_.forget_owner(this); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override {
        if (out && iid == __uuidof(IAudioSessionManager)) {
            *out = static_cast<IAudioSessionManager*>(this);
            AddRef();
            return S_OK;
        }
        return object::QueryInterface(iid, out);
    }

    // The calling process's own session is not modelled.
    HRESULT STDMETHODCALLTYPE GetAudioSessionControl(LPCGUID, DWORD,
                                                     IAudioSessionControl**) noexcept override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetSimpleAudioVolume(LPCGUID, DWORD,
                                                   ISimpleAudioVolume**) noexcept override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE
    GetSessionEnumerator(IAudioSessionEnumerator** out) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        if (!out) return E_POINTER;
        *out = nullptr;
        std::vector<int> found;
        for (uint32_t i = 0; i < state_.session_count; ++i) {
            const session_state& s = state_.sessions[i];
            if (s.device == device_ && s.state != AudioSessionStateExpired)
                found.push_back(static_cast<int>(i));
        }
        return hand_out<IAudioSessionEnumerator>(new session_list(core_, std::move(found)), out);
    }
    HRESULT STDMETHODCALLTYPE
    RegisterSessionNotification(IAudioSessionNotification* client) noexcept override {
        FAKE_ALIVE_OR_FAIL();
        return core_.watch_new_sessions(this, device_, client);
    }
    HRESULT STDMETHODCALLTYPE
    UnregisterSessionNotification(IAudioSessionNotification* client) noexcept override {
        core_.note_call();
        return core_.unwatch_new_sessions(client);
    }
    HRESULT STDMETHODCALLTYPE
    RegisterDuckNotification(LPCWSTR, IAudioVolumeDuckNotification*) noexcept override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE
    UnregisterDuckNotification(IAudioVolumeDuckNotification*) noexcept override {
        return E_NOTIMPL;
    }
};

class policy_config final : public object<object_kind::policy_config, IPolicyConfig> {
public:
    explicit policy_config(core& c) : object(c) {}

    HRESULT STDMETHODCALLTYPE GetMixFormat(PCWSTR, WAVEFORMATEX**) noexcept override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetDeviceFormat(PCWSTR, INT, WAVEFORMATEX**) noexcept override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ResetDeviceFormat(PCWSTR) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetDeviceFormat(PCWSTR, WAVEFORMATEX*,
                                              WAVEFORMATEX*) noexcept override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetProcessingPeriod(PCWSTR, INT, PINT64, PINT64) noexcept override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetProcessingPeriod(PCWSTR, PINT64) noexcept override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetShareMode(PCWSTR, void*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetShareMode(PCWSTR, void*) noexcept override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPropertyValue(PCWSTR, const PROPERTYKEY&,
                                               PROPVARIANT*) noexcept override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetPropertyValue(PCWSTR, const PROPERTYKEY&,
                                               PROPVARIANT*) noexcept override {
        return E_NOTIMPL;
    }
    // One role's default, as Windows keeps them; the fake has one default
    // per flow, so the device is the default of every role from the first
    // call on, and each call tells the clients of its own role.
    HRESULT STDMETHODCALLTYPE SetDefaultEndpoint(PCWSTR id, ERole role) noexcept override {
        core_.note_call();
        if (!id) return E_POINTER;
        if (role < eConsole || role > eCommunications) return E_INVALIDARG;
        for (uint32_t i = 0; i < state().device_count; ++i) {
            device_state& d = state().devices[i];
            if (wcscmp(d.id, id) != 0) continue;
            if (!d.present) return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
            InterlockedIncrement(&state().default_writes);
            make_default(state(), static_cast<int>(i));
            post_device_event(state(), device_event_kind::default_changed, static_cast<int>(i),
                              d.flow, role);
            signal_listeners(state());
            return S_OK;
        }
        return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    }
    HRESULT STDMETHODCALLTYPE SetEndpointVisibility(PCWSTR, INT) noexcept override {
        return E_NOTIMPL;
    }
};

} // namespace

HRESULT make_session(core& c, int index, IAudioSessionControl** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (index < 0 || static_cast<uint32_t>(index) >= c.state().session_count) return E_INVALIDARG;
    auto* made = new session(c, index);
    *out = static_cast<IAudioSessionControl*>(static_cast<IAudioSessionControl2*>(made));
    return S_OK;
}

HRESULT make_session_manager(core& c, int device, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!device_at(c.state(), device)) return E_INVALIDARG;
    return handed_as(new session_manager(c, device), iid, out);
}

HRESULT core::create_policy_config(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!state_->has_policy_config) return CLASS_E_CLASSNOTAVAILABLE;
    return handed_as(new policy_config(*this), iid, out);
}

} // namespace fakeaudio
