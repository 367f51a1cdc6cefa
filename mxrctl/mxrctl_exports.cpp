// Compiled into each program (not into a library), so that the linker keeps
// the exports even though nothing in the program calls them.
#define MXRCTL_BUILDING_EXPORTS
#include "mxrctl/mxrctl_exports.h"
#include "mxrctl/audio_sessions.h"
#include "mxrctl/mxrctl_ca.h"

#include <strsafe.h>

#include <new>

extern "C" {

int32_t MXRCTL_GetApiType() noexcept {
    return mxrctl_api_core_audio;
}

m_mxrctl* MXRCTL_MixerCreate(const wchar_t* name, HWND notify_window, wchar_t* name_out) noexcept {
    auto* mixer = new (std::nothrow) m_mxrctl_ca;
    if (!mixer) return nullptr;
    bool opened = false;
    try {
        opened = mixer->open(name, notify_window);
    } catch (...) {
        opened = false;
    }
    if (!opened) {
        delete mixer;
        return nullptr;
    }
    if (name_out)
        StringCchCopyNW(name_out, mxrctl_name_length, mixer->name(), mxrctl_name_length - 1);
    return mixer;
}

void MXRCTL_MixerRelease(m_mxrctl_object* mixer) noexcept {
    delete mixer;
}

m_mxrctl::m_devs* MXRCTL_ControlCreate(m_mxrctl* mixer, int32_t destination, int32_t source,
                                       mxrctl_control_info* info_out) noexcept {
    if (!mixer) return nullptr;
    m_mxrctl::m_devs* control = nullptr;
    try {
        control = mixer->create_control();
        if (!control) return nullptr;
        if (info_out && mixer->api_type() == mxrctl_api_core_audio)
            info_out->destination[0] = L'\0';
        if (!control->open(source != -1, destination, source)) {
            delete control;
            return nullptr;
        }
    } catch (...) {
        delete control;
        return nullptr;
    }
    if (info_out) {
        StringCchCopyNW(info_out->control, mxrctl_name_length, control->name(),
                        mxrctl_name_length - 1);
        info_out->channels = control->channels();
    }
    return control;
}

m_mxrctl::m_devs* MXRCTL_ApplicationCreate(m_mxrctl* mixer, const wchar_t* file_name,
                                           mxrctl_control_info* info_out) noexcept {
    // Only the Core Audio backend has sessions.
    if (!mixer || mixer->api_type() != mxrctl_api_core_audio) return nullptr;
    m_mxrctl::m_devs* control =
        create_application_control(*static_cast<m_mxrctl_ca*>(mixer), file_name);
    if (!control) return nullptr;
    bool opened = false;
    try {
        opened = control->open(false, 0, -1);
    } catch (...) {
        opened = false;
    }
    if (!opened) {
        delete control;
        return nullptr;
    }
    if (info_out) {
        info_out->destination[0] = L'\0';
        StringCchCopyNW(info_out->control, mxrctl_name_length, control->name(),
                        mxrctl_name_length - 1);
        info_out->channels = control->channels();
    }
    return control;
}

void MXRCTL_ControlRelease(m_mxrctl_object* control) noexcept {
    MXRCTL_MixerRelease(control);
}

int32_t MXRCTL_VolumeGet(m_mxrctl::m_devs* control) noexcept {
    try {
        return control ? control->volume() : 0;
    } catch (...) {
        return 0;
    }
}

bool MXRCTL_VolumeSet(m_mxrctl::m_devs* control, int32_t percent, int32_t balance) noexcept {
    if (!control) return false;
    try {
        control->set_balance(balance);
        return control->set_volume(percent);
    } catch (...) {
        return false;
    }
}

bool MXRCTL_MuteGet(m_mxrctl::m_devs* control) noexcept {
    try {
        return control && control->mute();
    } catch (...) {
        return false;
    }
}

bool MXRCTL_MuteSet(m_mxrctl::m_devs* control, bool mute) noexcept {
    try {
        return control && control->set_mute(mute);
    } catch (...) {
        return false;
    }
}

bool MXRCTL_CallbackCheck(m_mxrctl::m_devs* control, uint32_t message, uintptr_t wparam) noexcept {
    return control && control->is_notification(message, static_cast<WPARAM>(wparam));
}

} // extern "C"
