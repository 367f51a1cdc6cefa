#include "tests/support/fakeaudio/fake_core.h"
#include "tests/support/fakeaudio/fake_audio.h"

#include <strsafe.h>

#include <algorithm>

namespace fakeaudio {

const GUID subtype_sum = {
    0xda441a60, 0xc556, 0x11d0, {0x8a, 0x2b, 0x00, 0xa0, 0xc9, 0x25, 0x5a, 0xc1}};
const wchar_t* const installed_state_name = L"Local\\quellbar_fakeaudio";

namespace {
const wchar_t* const kind_names[] = {L"enumerator",     L"collection",      L"device",
                                     L"property store", L"endpoint volume", L"topology",
                                     L"part",           L"parts list",      L"volume level",
                                     L"mute",           L"input selector",  L"session manager",
                                     L"session list",   L"session",         L"policy config"};
// One change can be reported more than once; a burst is capped so that a
// slow window thread is not flooded.
constexpr LONG max_reports_per_wake = 16;

// Set on the notifier thread while a client's callback runs.
thread_local bool inside_callback = false;

class callback_scope {
public:
    callback_scope() noexcept { inside_callback = true; }
    ~callback_scope() { inside_callback = false; }
    callback_scope(const callback_scope&) = delete;
    callback_scope& operator=(const callback_scope&) = delete;
};
} // namespace

void listener_event_name(const shared_state& state, DWORD process_id, wchar_t* out, size_t size) {
    StringCchPrintfW(out, size, L"%s_wake_%lu", state.mapping_name,
                     static_cast<unsigned long>(process_id));
}

void signal_listeners(shared_state& state) {
    for (auto& slot : state.listeners) {
        const LONG pid = slot;
        if (pid == 0) continue;
        wchar_t name[128];
        listener_event_name(state, static_cast<DWORD>(pid), name, 128);
        HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, name);
        if (!event) {
            InterlockedCompareExchange(&slot, 0, pid); // that process is gone
            continue;
        }
        SetEvent(event);
        CloseHandle(event);
    }
}

void carry_to_tied_part(shared_state& state, int part) {
    if (part < 0 || static_cast<uint32_t>(part) >= state.part_count) return;
    const part_state& from = state.parts[part];
    const int32_t tied = from.tied_to;
    if (tied < 0 || static_cast<uint32_t>(tied) >= state.part_count || tied == part) return;
    part_state& to = state.parts[tied];
    bool different = false;
    for (uint32_t c = 0; c < to.channels && c < max_channels; ++c) {
        const float level = std::clamp(from.level_db[std::min(c, std::max(from.channels, 1u) - 1)],
                                       to.min_db, to.max_db);
        different = different || to.level_db[c] != level;
        to.level_db[c] = level;
    }
    if (!different) return;
    InterlockedIncrement(&to.volume_seq);
    signal_listeners(state);
}

core::core(HANDLE mapping, shared_state* view) : mapping_(mapping), state_(view) {}

core::~core() {
    if (notifier_.joinable()) {
        SetEvent(stop_);
        if (notifier_.get_id() == std::this_thread::get_id())
            notifier_.detach();
        else
            notifier_.join();
    }
    const LONG pid = static_cast<LONG>(GetCurrentProcessId());
    for (auto& slot : state_->listeners) InterlockedCompareExchange(&slot, 0, pid);
    if (wake_) CloseHandle(wake_);
    if (stop_) CloseHandle(stop_);
    UnmapViewOfFile(state_);
    if (mapping_) CloseHandle(mapping_);
}

void core::add_ref() noexcept {
    InterlockedIncrement(&refs_);
}

void core::release() noexcept {
    if (InterlockedDecrement(&refs_) == 0) delete this;
}

static_assert(static_cast<size_t>(object_kind::count) <=
                  sizeof(shared_state::live_objects) / sizeof(LONG),
              "every kind needs its counter in the shared state");

void core::object_created(object_kind kind) noexcept {
    InterlockedIncrement(&live_[static_cast<int>(kind)]);
    InterlockedIncrement(&state_->live_objects[static_cast<int>(kind)]);
}

void core::object_destroyed(object_kind kind) noexcept {
    InterlockedDecrement(&live_[static_cast<int>(kind)]);
    InterlockedDecrement(&state_->live_objects[static_cast<int>(kind)]);
}

long core::live_objects() const noexcept {
    long total = 0;
    for (LONG n : live_) total += n;
    return total;
}

std::wstring object_list(const volatile LONG* counts) {
    std::wstring text;
    for (int i = 0; i < static_cast<int>(object_kind::count); ++i) {
        if (counts[i] == 0) continue;
        if (!text.empty()) text += L", ";
        text += std::to_wstring(counts[i]) + L" " + kind_names[i];
    }
    return text.empty() ? L"none" : text;
}

std::wstring core::live_object_list() const {
    return object_list(live_);
}

LONG core::sequence(target what, int index) const {
    switch (what) {
    case target::endpoint:
        return state_->devices[index].volume_seq;
    case target::part_volume:
        return state_->parts[index].volume_seq;
    case target::part_mute:
        return state_->parts[index].mute_seq;
    case target::devices:
        return state_->event_count;
    case target::session_volume:
        return state_->sessions[index].volume_seq;
    case target::session_state:
        return state_->sessions[index].state_seq;
    case target::new_sessions:
        return state_->sessions_created[index];
    }
    return 0;
}

HRESULT core::watch_endpoint(void* owner, int device, IAudioEndpointVolumeCallback* callback) {
    if (!callback) return E_POINTER;
    std::lock_guard<std::mutex> hold(lock_);
    watch w{owner,
            target::endpoint,
            device,
            callback,
            nullptr,
            nullptr,
            sequence(target::endpoint, device)};
    watches_.push_back(w);
    start_notifier();
    return S_OK;
}

HRESULT core::unwatch_endpoint(int device, IAudioEndpointVolumeCallback* callback) {
    if (!callback) return E_POINTER;
    std::lock_guard<std::mutex> hold(lock_);
    const auto before = watches_.size();
    std::erase_if(watches_, [&](const watch& w) {
        return w.what == target::endpoint && w.index == device &&
               w.endpoint_callback.Get() == callback;
    });
    return watches_.size() != before ? S_OK : E_INVALIDARG;
}

HRESULT core::watch_part(void* owner, int part, bool mute, IControlChangeNotify* callback) {
    if (!callback) return E_POINTER;
    std::lock_guard<std::mutex> hold(lock_);
    const target what = mute ? target::part_mute : target::part_volume;
    watch w{owner, what, part, nullptr, callback, nullptr, sequence(what, part)};
    watches_.push_back(w);
    start_notifier();
    return S_OK;
}

HRESULT core::unwatch_part(int part, IControlChangeNotify* callback) {
    if (!callback) return E_POINTER;
    std::lock_guard<std::mutex> hold(lock_);
    const auto before = watches_.size();
    std::erase_if(watches_, [&](const watch& w) {
        return w.what != target::endpoint && w.index == part && w.part_callback.Get() == callback;
    });
    return watches_.size() != before ? S_OK : E_INVALIDARG;
}

HRESULT core::watch_devices(void* owner, IMMNotificationClient* client) {
    if (!client) return E_POINTER;
    std::lock_guard<std::mutex> hold(lock_);
    for (const auto& w : watches_)
        if (w.what == target::devices && w.device_client.Get() == client) return E_INVALIDARG;
    watch w{owner, target::devices, -1, nullptr, nullptr, client, state_->event_count};
    watches_.push_back(w);
    start_notifier();
    return S_OK;
}

HRESULT core::unwatch_devices(IMMNotificationClient* client) {
    if (!client) return E_POINTER;
    std::vector<watch> gone;
    {
        std::lock_guard<std::mutex> hold(lock_);
        for (auto it = watches_.begin(); it != watches_.end();) {
            if (it->what == target::devices && it->device_client.Get() == client) {
                gone.push_back(std::move(*it));
                it = watches_.erase(it);
            } else {
                ++it;
            }
        }
    }
    return gone.empty() ? E_INVALIDARG : S_OK;
}

HRESULT core::watch_session(void* owner, int session, IAudioSessionEvents* events) {
    if (!events) return E_POINTER;
    std::lock_guard<std::mutex> hold(lock_);
    for (const target what : {target::session_volume, target::session_state}) {
        watch w{owner, what, session, nullptr, nullptr, nullptr, sequence(what, session)};
        w.session_events = events;
        watches_.push_back(std::move(w));
    }
    start_notifier();
    return S_OK;
}

HRESULT core::unwatch_session(IAudioSessionEvents* events) {
    if (!events) return E_POINTER;
    std::vector<watch> gone;
    {
        std::lock_guard<std::mutex> hold(lock_);
        for (auto it = watches_.begin(); it != watches_.end();) {
            if (it->session_events.Get() == events) {
                gone.push_back(std::move(*it));
                it = watches_.erase(it);
            } else {
                ++it;
            }
        }
    }
    return gone.empty() ? E_INVALIDARG : S_OK;
}

HRESULT core::watch_new_sessions(void* owner, int device, IAudioSessionNotification* client) {
    if (!client) return E_POINTER;
    std::lock_guard<std::mutex> hold(lock_);
    watch w{owner,
            target::new_sessions,
            device,
            nullptr,
            nullptr,
            nullptr,
            sequence(target::new_sessions, device)};
    w.session_client = client;
    watches_.push_back(std::move(w));
    start_notifier();
    return S_OK;
}

HRESULT core::unwatch_new_sessions(IAudioSessionNotification* client) {
    if (!client) return E_POINTER;
    std::vector<watch> gone;
    {
        std::lock_guard<std::mutex> hold(lock_);
        for (auto it = watches_.begin(); it != watches_.end();) {
            if (it->session_client.Get() == client) {
                gone.push_back(std::move(*it));
                it = watches_.erase(it);
            } else {
                ++it;
            }
        }
    }
    return gone.empty() ? E_INVALIDARG : S_OK;
}

void core::note_call() noexcept {
    if (inside_callback) InterlockedIncrement(&state_->calls_from_callbacks);
}

void core::forget_owner(void* owner) {
    std::vector<watch> gone;
    {
        std::lock_guard<std::mutex> hold(lock_);
        for (auto it = watches_.begin(); it != watches_.end();) {
            if (it->owner == owner) {
                gone.push_back(std::move(*it));
                it = watches_.erase(it);
            } else {
                ++it;
            }
        }
    }
    // `gone` releases the callbacks outside the lock.
}

size_t core::watch_count() const {
    std::lock_guard<std::mutex> hold(lock_);
    return watches_.size();
}

void core::start_notifier() {
    if (notifier_.joinable()) return;
    wchar_t name[128];
    listener_event_name(*state_, GetCurrentProcessId(), name, 128);
    wake_ = CreateEventW(nullptr, FALSE, FALSE, name);
    stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const LONG pid = static_cast<LONG>(GetCurrentProcessId());
    bool listed = false;
    for (auto& slot : state_->listeners) listed = listed || slot == pid;
    for (auto& slot : state_->listeners) {
        if (listed) break;
        listed = InterlockedCompareExchange(&slot, pid, 0) == 0;
    }
    notifier_ = std::thread([this] { notifier_loop(); });
}

void core::notifier_loop() {
    HANDLE handles[2] = {stop_, wake_};
    while (WaitForMultipleObjects(2, handles, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) deliver();
}

void core::deliver() {
    struct report {
        Microsoft::WRL::ComPtr<IAudioEndpointVolumeCallback> endpoint_callback;
        Microsoft::WRL::ComPtr<IControlChangeNotify> part_callback;
        int index;
        LONG times;
    };
    struct device_report {
        Microsoft::WRL::ComPtr<IMMNotificationClient> client;
        std::vector<device_event> events;
    };
    struct session_report {
        Microsoft::WRL::ComPtr<IAudioSessionEvents> events;
        Microsoft::WRL::ComPtr<IAudioSessionNotification> client;
        target what;
        int index;
        LONG from, to; // new sessions: the device's counts seen before and now
        std::vector<Microsoft::WRL::ComPtr<IAudioSessionControl>> created;
    };
    std::vector<report> reports;
    std::vector<device_report> device_reports;
    std::vector<session_report> session_reports;
    {
        std::lock_guard<std::mutex> hold(lock_);
        for (auto& w : watches_) {
            const LONG now = sequence(w.what, w.index);
            if (now == w.seen) continue;
            if (w.what == target::devices) {
                // A client that fell a whole ring behind hears the latest events only.
                LONG from = std::max<LONG>(w.seen, now - static_cast<LONG>(max_device_events));
                device_report r{w.device_client, {}};
                for (; from != now; ++from)
                    r.events.push_back(
                        state_->events[static_cast<uint32_t>(from) % max_device_events]);
                w.seen = now;
                device_reports.push_back(std::move(r));
                continue;
            }
            if (w.what == target::session_volume || w.what == target::session_state ||
                w.what == target::new_sessions) {
                session_reports.push_back(
                    {w.session_events, w.session_client, w.what, w.index, w.seen, now, {}});
                w.seen = now;
                continue;
            }
            const LONG times = std::clamp<LONG>(now - w.seen, 1, max_reports_per_wake);
            w.seen = now;
            reports.push_back({w.endpoint_callback, w.part_callback, w.index, times});
        }
    }
    // The sessions a client is told of are made before the callbacks run:
    // only the clients' own calls count as made from inside them.
    for (auto& r : session_reports) {
        if (r.what != target::new_sessions) continue;
        for (uint32_t i = 0; i < state_->session_count; ++i) {
            const session_state& s = state_->sessions[i];
            if (s.device != r.index || s.created <= r.from || s.created > r.to) continue;
            Microsoft::WRL::ComPtr<IAudioSessionControl> made;
            if (SUCCEEDED(make_session(*this, static_cast<int>(i), &made)))
                r.created.push_back(made);
        }
    }
    const callback_scope in_callbacks;
    for (auto& r : device_reports)
        for (const auto& e : r.events) tell(r.client.Get(), e);
    for (auto& r : session_reports) {
        if (r.what == target::new_sessions)
            for (auto& made : r.created) r.client->OnSessionCreated(made.Get());
        else
            tell(r.events.Get(), r.what, r.index, r.from, r.to);
    }
    for (auto& r : reports) {
        for (LONG i = 0; i < r.times; ++i) {
            if (r.part_callback) {
                r.part_callback->OnNotify(GetCurrentProcessId(), &GUID_NULL);
                continue;
            }
            const device_state& d = state_->devices[r.index];
            const UINT channels = std::min<UINT>(std::max<UINT>(d.channels, 1), max_channels);
            alignas(AUDIO_VOLUME_NOTIFICATION_DATA) unsigned char
                buffer[sizeof(AUDIO_VOLUME_NOTIFICATION_DATA) + max_channels * sizeof(float)];
            auto* data = reinterpret_cast<AUDIO_VOLUME_NOTIFICATION_DATA*>(buffer);
            data->guidEventContext = GUID_NULL;
            data->bMuted = d.muted ? TRUE : FALSE;
            data->fMasterVolume = d.master;
            data->nChannels = channels;
            float* levels = data->afChannelVolumes;
            for (UINT c = 0; c < channels; ++c) levels[c] = d.channel[c];
            r.endpoint_callback->OnNotify(data);
        }
    }
}

void core::tell(IAudioSessionEvents* events, target what, int index, LONG from, LONG to) {
    const session_state& s = state_->sessions[index];
    if (what == target::session_state) {
        events->OnStateChanged(static_cast<AudioSessionState>(s.state));
        return;
    }
    const GUID context = s.context;
    const LONG times = std::clamp<LONG>(to - from, 1, max_reports_per_wake);
    for (LONG i = 0; i < times; ++i)
        events->OnSimpleVolumeChanged(s.volume, s.muted ? TRUE : FALSE, &context);
}

void post_device_event(shared_state& state, device_event_kind kind, int device, uint32_t flow,
                       uint32_t role, uint32_t new_state) {
    const LONG n = state.event_count;
    device_event& e = state.events[static_cast<uint32_t>(n) % max_device_events];
    e.kind = kind;
    e.device = device;
    e.flow = flow;
    e.role = role;
    e.new_state = new_state;
    // The count goes up only once the event is complete.
    InterlockedExchange(&state.event_count, n + 1);
}

void make_default(shared_state& state, int device) {
    const uint32_t flow = state.devices[device].flow;
    for (uint32_t i = 0; i < state.device_count; ++i)
        if (state.devices[i].flow == flow) state.devices[i].is_default = 0;
    state.devices[device].is_default = 1;
}

void core::tell(IMMNotificationClient* client, const device_event& e) {
    const bool known = e.device >= 0 && static_cast<uint32_t>(e.device) < state_->device_count;
    wchar_t id[name_chars] = {};
    if (known) StringCchCopyW(id, name_chars, state_->devices[e.device].id);
    switch (e.kind) {
    case device_event_kind::default_changed:
        client->OnDefaultDeviceChanged(static_cast<EDataFlow>(e.flow), static_cast<ERole>(e.role),
                                       known ? id : nullptr);
        break;
    case device_event_kind::added:
        if (known) client->OnDeviceAdded(id);
        break;
    case device_event_kind::removed:
        if (known) client->OnDeviceRemoved(id);
        break;
    case device_event_kind::state_changed:
        if (known) client->OnDeviceStateChanged(id, e.new_state);
        break;
    }
}

} // namespace fakeaudio
