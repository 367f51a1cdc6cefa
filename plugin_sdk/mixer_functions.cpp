#include "plugin_sdk/mixer_functions.h"

namespace {

template <typename Function> void bind(HMODULE program, const char* name, Function& out) noexcept {
    out = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(program, name)));
}

} // namespace

mixer_functions mixer_functions::of_host(HMODULE program) noexcept {
    mixer_functions f;
    if (!program) program = GetModuleHandleW(nullptr);
    if (!program) return f;
    bind(program, "MXRCTL_GetApiType", f.get_api_type);
    bind(program, "MXRCTL_MixerCreate", f.mixer_create);
    bind(program, "MXRCTL_MixerRelease", f.mixer_release);
    bind(program, "MXRCTL_ControlCreate", f.control_create);
    bind(program, "MXRCTL_ApplicationCreate", f.application_create);
    bind(program, "MXRCTL_ControlRelease", f.control_release);
    bind(program, "MXRCTL_VolumeGet", f.volume_get);
    bind(program, "MXRCTL_VolumeSet", f.volume_set);
    bind(program, "MXRCTL_MuteGet", f.mute_get);
    bind(program, "MXRCTL_MuteSet", f.mute_set);
    bind(program, "MXRCTL_CallbackCheck", f.callback_check);
    bind(program, "MXRCTL_ControlSelect", f.control_select);
    bind(program, "MXRCTL_ControlSelectEx", f.control_select_ex);
    return f;
}

mixer_peek::mixer_peek(const mixer_functions& mixer, const wchar_t* mixer_name, int32_t destination,
                       int32_t source, mxrctl_control_info* info, wchar_t* device_out,
                       const wchar_t* application) noexcept
    : functions_(mixer) {
    if (device_out) device_out[0] = L'\0';
    if (!functions_.can_open()) return;
    // A null name opens the default device; an empty one would pick the
    // first device that opens, which need not be the default.
    const wchar_t* name = mixer_name && *mixer_name ? mixer_name : nullptr;
    mixer_ = functions_.mixer_create(name, nullptr, device_out);
    if (!mixer_) return;
    if (!application || !*application)
        control_ = functions_.control_create(mixer_, destination, source, info);
    else if (functions_.application_create)
        control_ = functions_.application_create(mixer_, application, info);
}

mixer_peek::~mixer_peek() {
    if (control_) functions_.control_release(control_);
    if (mixer_) functions_.mixer_release(mixer_);
}
