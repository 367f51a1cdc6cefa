#pragma once
// The flat mixer-control functions the programs export to plug-ins. A plug-in
// finds them with GetProcAddress(GetModuleHandleW(nullptr), "MXRCTL_...") so
// that it always uses the copy inside its host; the pointer types below match.

#include "mxrctl/mxrctl.h"

#include <cstdint>

constexpr int32_t mxrctl_api_core_audio = 2;
constexpr size_t mxrctl_name_length = 256;

// Filled by MXRCTL_ControlCreate when the caller passes one.
struct mxrctl_control_info {
    wchar_t destination[mxrctl_name_length]; // always empty for the Core Audio backend
    wchar_t control[mxrctl_name_length];
    uint32_t channels;
};

// In and out of MXRCTL_ControlSelect (the setup program only).
struct mxrctl_selection {
    wchar_t mixer[mxrctl_name_length]; // empty: the default device
    int32_t destination;
    int32_t source; // -1: the master volume
    int32_t balance;
};

// In and out of MXRCTL_ControlSelectEx (the setup program only): the block
// above followed by a program's file name. That dialog also lists the
// programs with audio sessions on each device; choosing one sets
// `application` (and `base.source` to mxrctl_application_source, the line
// number an older reader finds no control for), choosing a line empties it.
constexpr int32_t mxrctl_application_source = -2;
constexpr size_t mxrctl_application_length = 261;
struct mxrctl_selection_ex {
    mxrctl_selection base;
    wchar_t application[mxrctl_application_length]; // empty: a line of the device
};

#if defined(MXRCTL_BUILDING_EXPORTS)
#define MXRCTL_EXPORT __declspec(dllexport)
#else
#define MXRCTL_EXPORT
#endif

extern "C" {
MXRCTL_EXPORT int32_t MXRCTL_GetApiType() noexcept;
MXRCTL_EXPORT m_mxrctl* MXRCTL_MixerCreate(const wchar_t* name, HWND notify_window,
                                           wchar_t* name_out) noexcept;
MXRCTL_EXPORT void MXRCTL_MixerRelease(m_mxrctl_object* mixer) noexcept;
MXRCTL_EXPORT m_mxrctl::m_devs* MXRCTL_ControlCreate(m_mxrctl* mixer, int32_t destination,
                                                     int32_t source,
                                                     mxrctl_control_info* info_out) noexcept;
// A control over every audio session of the program `file_name` (for
// example "player.exe", compared without case) on the mixer's device. It is
// created while the program plays nothing too: its volume then reads 0 and
// setting it fails until a session appears, which posts the change message
// like any change. Its own writes post none; every other writer's do. The
// other MXRCTL_ functions take it like any control; release it with
// MXRCTL_ControlRelease. Null for a null mixer or an empty name.
MXRCTL_EXPORT m_mxrctl::m_devs* MXRCTL_ApplicationCreate(m_mxrctl* mixer, const wchar_t* file_name,
                                                         mxrctl_control_info* info_out) noexcept;
MXRCTL_EXPORT void MXRCTL_ControlRelease(m_mxrctl_object* control) noexcept;
MXRCTL_EXPORT int32_t MXRCTL_VolumeGet(m_mxrctl::m_devs* control) noexcept;
MXRCTL_EXPORT bool MXRCTL_VolumeSet(m_mxrctl::m_devs* control, int32_t percent,
                                    int32_t balance) noexcept;
MXRCTL_EXPORT bool MXRCTL_MuteGet(m_mxrctl::m_devs* control) noexcept;
MXRCTL_EXPORT bool MXRCTL_MuteSet(m_mxrctl::m_devs* control, bool mute) noexcept;
MXRCTL_EXPORT bool MXRCTL_CallbackCheck(m_mxrctl::m_devs* control, uint32_t message,
                                        uintptr_t wparam) noexcept;
}

// Types of the exports as a plug-in looks them up.
using MXRCTL_GetApiType_fn = decltype(&MXRCTL_GetApiType);
using MXRCTL_MixerCreate_fn = decltype(&MXRCTL_MixerCreate);
using MXRCTL_MixerRelease_fn = decltype(&MXRCTL_MixerRelease);
using MXRCTL_ControlCreate_fn = decltype(&MXRCTL_ControlCreate);
using MXRCTL_ApplicationCreate_fn = decltype(&MXRCTL_ApplicationCreate);
using MXRCTL_ControlRelease_fn = decltype(&MXRCTL_ControlRelease);
using MXRCTL_VolumeGet_fn = decltype(&MXRCTL_VolumeGet);
using MXRCTL_VolumeSet_fn = decltype(&MXRCTL_VolumeSet);
using MXRCTL_MuteGet_fn = decltype(&MXRCTL_MuteGet);
using MXRCTL_MuteSet_fn = decltype(&MXRCTL_MuteSet);
using MXRCTL_CallbackCheck_fn = decltype(&MXRCTL_CallbackCheck);
using MXRCTL_ControlSelect_fn = bool (*)(HINSTANCE module, HWND owner,
                                         mxrctl_selection* selection) noexcept;
using MXRCTL_ControlSelectEx_fn = bool (*)(HINSTANCE module, HWND owner,
                                           mxrctl_selection_ex* selection) noexcept;
