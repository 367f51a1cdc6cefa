#include "mxrctl/audio_sessions.h"

#include "mxrctl/session_names.h"
#include "mxrctl/volume_math.h"
#include "winui/inert_text.h"

#include <algorithm>
#include <new>

using Microsoft::WRL::ComPtr;

namespace {
constexpr size_t file_name_capacity = 261;

std::wstring take_text(LPWSTR text) {
    std::wstring s = text ? std::wstring(text, wcsnlen(text, 256)) : std::wstring();
    CoTaskMemFree(text);
    return s;
}

// Any program names its own sessions: a line break or a markup opener in
// the name must not reach the lists, descriptions and tips that show it.
std::wstring display_name_of(IAudioSessionControl* control) {
    LPWSTR display = nullptr;
    if (FAILED(control->GetDisplayName(&display))) return {};
    const std::wstring raw = take_text(display);
    std::wstring name(raw.size() * 2 + 1, L'\0');
    name.resize(copy_inert_text(name.data(), name.size(), raw.c_str()));
    return name;
}

// Calls `visit(control, file_name)` for each session on the manager's device
// that has not expired and whose identifier names a program.
template <typename Visit>
void for_each_program_session(IAudioSessionManager2* manager, Visit visit) {
    // Windows starts telling of new sessions only once the list was asked for.
    ComPtr<IAudioSessionEnumerator> list;
    int count = 0;
    if (FAILED(manager->GetSessionEnumerator(&list)) || !list || FAILED(list->GetCount(&count)))
        return;
    for (int i = 0; i < count; ++i) {
        ComPtr<IAudioSessionControl> control;
        ComPtr<IAudioSessionControl2> control2;
        if (FAILED(list->GetSession(i, &control)) || !control || FAILED(control.As(&control2)))
            continue;
        AudioSessionState state = AudioSessionStateExpired;
        if (FAILED(control->GetState(&state)) || state == AudioSessionStateExpired) continue;
        LPWSTR identifier = nullptr;
        if (FAILED(control2->GetSessionIdentifier(&identifier))) continue;
        wchar_t file[file_name_capacity];
        const bool named = session_file_name(identifier, file, file_name_capacity);
        CoTaskMemFree(identifier);
        if (named) visit(control, file);
    }
}

ComPtr<IAudioSessionManager2> session_manager(IMMDevice* device) {
    ComPtr<IAudioSessionManager2> manager;
    if (device && FAILED(device->Activate(__uuidof(IAudioSessionManager2), CLSCTX_ALL, nullptr,
                                          reinterpret_cast<void**>(manager.GetAddressOf()))))
        manager.Reset();
    return manager;
}
} // namespace

HRESULT m_app_control::Ccallback_sessions::QueryInterface(REFIID iid, void** out) noexcept {
    if (!out) return E_POINTER;
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IAudioSessionNotification))
        *out = static_cast<IAudioSessionNotification*>(this);
    else if (iid == __uuidof(IAudioSessionEvents))
        *out = static_cast<IAudioSessionEvents*>(this);
    else
        *out = nullptr;
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG m_app_control::Ccallback_sessions::AddRef() noexcept {
    return static_cast<ULONG>(InterlockedIncrement(&refs_));
}

ULONG m_app_control::Ccallback_sessions::Release() noexcept {
    const LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

m_app_control::m_app_control(m_mxrctl_ca& owner, const wchar_t* file_name)
    : owner_(owner), file_name_(file_name ? file_name : L"") {
    // Tells this control's writes from everyone else's in the change events.
    if (FAILED(CoCreateGuid(&context_))) context_ = GUID{};
    context_.Data1 ^= static_cast<unsigned long>(reinterpret_cast<uintptr_t>(this));
}

m_app_control::~m_app_control() {
    close();
}

bool m_app_control::open(bool, int32_t, int32_t) {
    close();
    if (file_name_.empty()) return false;
    manager_ = session_manager(owner_.device());
    if (!manager_) return false;
    if (HWND window = owner_.notify_window()) {
        callback_ = new (std::nothrow) Ccallback_sessions(window, this, context_);
        new_sessions_watched_ =
            callback_ && SUCCEEDED(manager_->RegisterSessionNotification(callback_.Get()));
    }
    take_sessions();
    return true;
}

void m_app_control::take_sessions() {
    for_each_program_session(manager_.Get(),
                             [&](ComPtr<IAudioSessionControl>& control, const wchar_t* file) {
                                 if (!same_file_name(file, file_name_.c_str())) return;
                                 session s{control, nullptr};
                                 if (FAILED(control.As(&s.volume))) return;
                                 if (callback_)
                                     control->RegisterAudioSessionNotification(callback_.Get());
                                 if (name_.empty()) name_ = display_name_of(control.Get());
                                 sessions_.push_back(std::move(s));
                             });
    if (name_.empty()) name_ = file_name_;
}

void m_app_control::follow_sessions() {
    // Without a window to tell, nothing hears the sessions change: every
    // use looks again.
    if (!manager_ || (callback_ && !callback_->take_sessions_changed())) return;
    for (auto& s : sessions_) s.control->UnregisterAudioSessionNotification(callback_.Get());
    sessions_.clear();
    name_.clear();
    take_sessions();
}

void m_app_control::close() {
    for (auto& s : sessions_)
        if (callback_) s.control->UnregisterAudioSessionNotification(callback_.Get());
    sessions_.clear();
    if (manager_ && new_sessions_watched_) manager_->UnregisterSessionNotification(callback_.Get());
    new_sessions_watched_ = false;
    callback_.Reset();
    manager_.Reset();
    name_.clear();
}

int32_t m_app_control::volume() {
    follow_sessions();
    float loudest = -1.0f;
    for (auto& s : sessions_) {
        float level = 0.0f;
        if (SUCCEEDED(s.volume->GetMasterVolume(&level)) && level > loudest) loudest = level;
    }
    return loudest < 0.0f ? 0 : mxrctl_math::percent_from_scalar(loudest);
}

bool m_app_control::move_volume(int32_t percent, int32_t) {
    follow_sessions();
    if (sessions_.empty()) return false;
    const float level = mxrctl_math::scalar_from_percent(std::clamp<int32_t>(percent, 0, 100));
    bool all = true;
    for (auto& s : sessions_) all = SUCCEEDED(s.volume->SetMasterVolume(level, &context_)) && all;
    return all;
}

bool m_app_control::mute() {
    follow_sessions();
    if (sessions_.empty()) return false;
    for (auto& s : sessions_) {
        BOOL muted = FALSE;
        if (FAILED(s.volume->GetMute(&muted)) || !muted) return false;
    }
    return true;
}

bool m_app_control::set_mute(bool mute) {
    follow_sessions();
    if (sessions_.empty()) return false;
    bool all = true;
    for (auto& s : sessions_)
        all = SUCCEEDED(s.volume->SetMute(mute ? TRUE : FALSE, &context_)) && all;
    return all;
}

bool m_app_control::is_notification(UINT message, WPARAM wparam) const {
    return message == mxrctl_change_message && callback_ &&
           reinterpret_cast<const void*>(wparam) == this;
}

m_mxrctl::m_devs* create_application_control(m_mxrctl_ca& mixer,
                                             const wchar_t* file_name) noexcept {
    if (!file_name || !*file_name) return nullptr;
    try {
        return new (std::nothrow) m_app_control(mixer, file_name);
    } catch (...) {
        return nullptr;
    }
}

std::vector<program_audio> programs_on(IMMDevice* device) {
    std::vector<program_audio> programs;
    const ComPtr<IAudioSessionManager2> manager = session_manager(device);
    if (!manager) return programs;
    for_each_program_session(
        manager.Get(), [&](ComPtr<IAudioSessionControl>& control, const wchar_t* file) {
            const auto known = std::find_if(programs.begin(), programs.end(), [&](const auto& p) {
                return same_file_name(p.file_name.c_str(), file);
            });
            std::wstring display = display_name_of(control.Get());
            if (known == programs.end())
                programs.push_back({file, std::move(display)});
            else if (known->display_name.empty())
                known->display_name = std::move(display);
        });
    return programs;
}
