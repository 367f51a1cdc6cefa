#pragma once
// The mixer functions of the program a plug-in runs in. A plug-in has no
// mixer code of its own: it uses the MXRCTL_ exports of its host, so that it
// talks to the same audio objects the host uses. Each one is looked up by
// name; a host that lacks one leaves that pointer null, and whoever needs it
// skips the operation.

#include "mxrctl/mxrctl_exports.h"

struct mixer_functions {
    MXRCTL_GetApiType_fn get_api_type = nullptr;
    MXRCTL_MixerCreate_fn mixer_create = nullptr;
    MXRCTL_MixerRelease_fn mixer_release = nullptr;
    MXRCTL_ControlCreate_fn control_create = nullptr;
    MXRCTL_ApplicationCreate_fn application_create = nullptr;
    MXRCTL_ControlRelease_fn control_release = nullptr;
    MXRCTL_VolumeGet_fn volume_get = nullptr;
    MXRCTL_VolumeSet_fn volume_set = nullptr;
    MXRCTL_MuteGet_fn mute_get = nullptr;
    MXRCTL_MuteSet_fn mute_set = nullptr;
    MXRCTL_CallbackCheck_fn callback_check = nullptr;
    // Only the setup program offers the control selection.
    MXRCTL_ControlSelect_fn control_select = nullptr;
    // The same with the programs' audio offered too; hosts older than
    // application controls lack it.
    MXRCTL_ControlSelectEx_fn control_select_ex = nullptr;

    // Looked up in `program` (the calling process's own executable when null).
    static mixer_functions of_host(HMODULE program = nullptr) noexcept;

    // Whether a mixer and a control on it can be opened and released again.
    bool can_open() const noexcept {
        return mixer_create && mixer_release && control_create && control_release;
    }
};

// A control opened for a moment on a mixer of its own, to describe it; both
// released at the end of the scope. control() is null when either failed.
class mixer_peek {
public:
    // `mixer_name` empty or null: the default device. `device_out`
    // (mxrctl_name_length characters, or null) receives the name of the
    // device opened, as the audio system names it. A non-empty `application`
    // opens that program's audio on the device instead of a line (no control
    // from a host without application controls).
    mixer_peek(const mixer_functions& mixer, const wchar_t* mixer_name, int32_t destination,
               int32_t source, mxrctl_control_info* info, wchar_t* device_out = nullptr,
               const wchar_t* application = nullptr) noexcept;
    mixer_peek(const mixer_peek&) = delete;
    mixer_peek& operator=(const mixer_peek&) = delete;
    ~mixer_peek();

    m_mxrctl::m_devs* control() const noexcept { return control_; }

private:
    const mixer_functions& functions_;
    m_mxrctl* mixer_ = nullptr;
    m_mxrctl::m_devs* control_ = nullptr;
};
