#pragma once
// The backend-neutral mixer-control interface: an audio device (m_mxrctl) and
// one volume control on it (m_mxrctl::m_devs). Volumes are integer percent
// 0..100, balance -100..100, mute a bool.

#include <windows.h>
#include <cstdint>

// Posted to a mixer's notify window when one of its controls changed; the
// value of MM_MIXM_CONTROL_CHANGE, so hosts can recognise it by that name too.
constexpr UINT mxrctl_change_message = 977;

// Common root of both handle kinds, so that one release entry point serves
// devices and controls alike.
class m_mxrctl_object {
public:
    virtual ~m_mxrctl_object() = default;
};

class m_mxrctl : public m_mxrctl_object {
public:
    class m_devs : public m_mxrctl_object {
    public:
        // true: line `source` of the device's hardware topology; false: master volume.
        virtual bool open(bool use_source, int32_t destination, int32_t source) = 0;
        virtual void close() = 0;
        virtual bool is_open() const = 0;
        // Open, with nothing to act on right now: a program that plays nothing.
        virtual bool idle() const { return false; }
        virtual const wchar_t* name() const = 0;
        virtual int32_t volume() = 0;
        virtual bool set_volume(int32_t percent) = 0;
        // Sets the volume toward `percent`, moving at least one step of the
        // hardware in `direction` (its sign; 0: as set_volume) while the
        // range allows: a volume step that the hardware would round away.
        virtual bool move_volume(int32_t percent, int32_t direction) = 0;
        virtual int32_t balance() const = 0;
        virtual bool set_balance(int32_t balance) = 0;
        virtual bool mute() = 0;
        virtual bool set_mute(bool mute) = 0;
        virtual uint32_t channels() const = 0;
        virtual bool is_notification(UINT message, WPARAM wparam) const = 0;
        virtual m_mxrctl* mixer() const = 0;
    };

    virtual int32_t api_type() const = 0;
    // name null: the default output device.
    virtual bool open(const wchar_t* name, HWND notify_window) = 0;
    virtual bool open_index(uint32_t index, HWND notify_window) = 0;
    virtual void close() = 0;
    virtual bool is_open() const = 0;
    virtual uint32_t device_count() = 0;
    virtual const wchar_t* name() const = 0;
    virtual bool name_matches(const wchar_t* text) const = 0;
    virtual uint32_t destination_count() = 0;
    virtual uint32_t source_count(uint32_t destination) = 0;
    virtual m_devs* create_control() = 0;
};
