#pragma once
// A control over one program's audio: every session of that program on one
// device, moved together through each session's simple volume and mute.
//
// A program that plays nothing has no session; the control is then open but
// idle, and comes alive when a session of the program appears (the device's
// session notification posts the change message). Sessions are looked up
// afresh at every open, and at the first use after a session appeared,
// expired or lost its device, so one that went away is let go then.
// Volume changes carry an event context of the control's own: the change
// message comes for every other writer, this process's other controls too,
// and not for the control's own writes.

#include "mxrctl/mxrctl_ca.h"

#include <audiopolicy.h>

#include <atomic>
#include <string>
#include <vector>

class m_app_control final : public m_mxrctl::m_devs {
public:
    class Ccallback_sessions;

    // `file_name`: the program's file name ("player.exe"), compared without case.
    m_app_control(m_mxrctl_ca& owner, const wchar_t* file_name);
    m_app_control(const m_app_control&) = delete;
    m_app_control& operator=(const m_app_control&) = delete;
    ~m_app_control() override;

    // Opens on the owner's device; the line arguments are not used.
    bool open(bool use_source, int32_t destination, int32_t source) override;
    void close() override;
    bool is_open() const override { return manager_ != nullptr; }
    bool idle() const override { return is_open() && sessions_.empty(); }
    // The first session's display name, else the file name.
    const wchar_t* name() const override { return name_.c_str(); }
    // The loudest session's volume: the one the user hears most.
    int32_t volume() override;
    bool set_volume(int32_t percent) override { return move_volume(percent, 0); }
    // Sessions' volume is software: any percent holds, so no step is lost.
    bool move_volume(int32_t percent, int32_t direction) override;
    int32_t balance() const override { return 0; }
    // The session's simple volume has no balance; only 0 is taken.
    bool set_balance(int32_t balance) override { return balance == 0; }
    // Muted when every session is.
    bool mute() override;
    bool set_mute(bool mute) override;
    uint32_t channels() const override { return is_open() ? 1 : 0; }
    bool is_notification(UINT message, WPARAM wparam) const override;
    m_mxrctl* mixer() const override { return &owner_; }

    const wchar_t* file_name() const { return file_name_.c_str(); }
    size_t session_count() const { return sessions_.size(); }

private:
    struct session {
        Microsoft::WRL::ComPtr<IAudioSessionControl> control;
        Microsoft::WRL::ComPtr<ISimpleAudioVolume> volume;
    };

    void take_sessions();
    // Takes the sessions again when the audio system said they changed.
    void follow_sessions();

    m_mxrctl_ca& owner_;
    std::wstring file_name_;
    std::wstring name_;
    GUID context_{};
    Microsoft::WRL::ComPtr<IAudioSessionManager2> manager_;
    Microsoft::WRL::ComPtr<Ccallback_sessions> callback_;
    bool new_sessions_watched_ = false;
    std::vector<session> sessions_;
};

// Hears new sessions on the device and volume, mute and state changes of
// the control's sessions, on the audio system's threads; only posts the
// change message with the control as its identity.
class m_app_control::Ccallback_sessions final : public IAudioSessionNotification,
                                                public IAudioSessionEvents {
public:
    Ccallback_sessions(HWND window, const void* identity, const GUID& own_context) noexcept
        : window_(window), identity_(identity), own_context_(own_context) {}
    Ccallback_sessions(const Ccallback_sessions&) = delete;
    Ccallback_sessions& operator=(const Ccallback_sessions&) = delete;
    virtual ~Ccallback_sessions() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override;
    ULONG STDMETHODCALLTYPE AddRef() noexcept override;
    ULONG STDMETHODCALLTYPE Release() noexcept override;

    HRESULT STDMETHODCALLTYPE OnSessionCreated(IAudioSessionControl*) noexcept override {
        sessions_changed_ = true;
        return post();
    }
    HRESULT STDMETHODCALLTYPE OnDisplayNameChanged(LPCWSTR, LPCGUID) noexcept override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnIconPathChanged(LPCWSTR, LPCGUID) noexcept override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnSimpleVolumeChanged(float, BOOL,
                                                    LPCGUID context) noexcept override {
        // The control's own writes were shown when it made them.
        if (context && *context == own_context_) return S_OK;
        return post();
    }
    HRESULT STDMETHODCALLTYPE OnChannelVolumeChanged(DWORD, float*, DWORD,
                                                     LPCGUID) noexcept override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnGroupingParamChanged(LPCGUID, LPCGUID) noexcept override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnStateChanged(AudioSessionState state) noexcept override {
        if (state == AudioSessionStateExpired) sessions_changed_ = true;
        return post();
    }
    HRESULT STDMETHODCALLTYPE
    OnSessionDisconnected(AudioSessionDisconnectReason) noexcept override {
        sessions_changed_ = true;
        return post();
    }

    // Whether sessions came or went since the last call.
    bool take_sessions_changed() noexcept { return sessions_changed_.exchange(false); }

private:
    HRESULT post() noexcept {
        PostMessageW(window_, mxrctl_change_message,
                     reinterpret_cast<WPARAM>(const_cast<void*>(identity_)), 0);
        return S_OK;
    }

    LONG refs_ = 0;
    std::atomic<bool> sessions_changed_{false};
    HWND window_;
    const void* identity_;
    GUID own_context_;
};

// A control for the program `file_name` on the mixer's device, not yet
// opened; null when out of memory or the name is empty.
m_mxrctl::m_devs* create_application_control(m_mxrctl_ca& mixer, const wchar_t* file_name) noexcept;

// A program with audio on a device, as the control selection lists it.
struct program_audio {
    std::wstring file_name;
    std::wstring display_name; // empty when none of its sessions names itself
};

// The programs with a session on `device`, playing or not (expired ones are
// gone), each once, in the order of their first session. Empty for a null
// device or one without a session manager.
std::vector<program_audio> programs_on(IMMDevice* device);
