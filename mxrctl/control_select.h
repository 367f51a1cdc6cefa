#pragma once
// The control selection dialog (a device and one of its controls, with a
// balance) and the short description of a configured control. Both show
// resources of the program that calls them (mxrctl/control_select.rc plus
// its own IDS_NOT_REGISTERED), taken in the user's language.
//
// Everything here runs on the calling thread, which has COM initialised; the
// mixer objects used for listing live only while the dialog or the
// description is being made.

#include "confctl/config.h"
#include "mxrctl/audio_sessions.h"
#include "mxrctl/mxrctl.h"

#include <windows.h>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

struct control_choice {
    wchar_t mixer[256]; // empty: the default device
    int32_t destination;
    int32_t source; // -1: the master volume; application_source with `application`
    int32_t balance;
    wchar_t caption[64];
    // A program's file name: its audio on the device instead of a line.
    wchar_t application[261];
};

// Runs the selection dialog (dialog IDD_CONTROL_SELECT of `module`) modally
// over `owner`, starting from `choice`. OK rewrites every field, the caption
// with the one the dialog proposes, and returns true; otherwise `choice` is
// left as it was and the result is false. With `offer_programs` the control
// list also holds the programs with audio sessions on the device (the
// default device's too, after its master volume); without it the dialog is
// the one callers that know no programs have always had.
bool run_control_select(HMODULE module, HWND owner, control_choice& choice,
                        bool offer_programs = false) noexcept;

// The description of `entry` for the setup program's list of controls: the
// not-registered text for an entry without caption, "<DefaultMixer>" for the
// default device's master volume, else three lines (device, control,
// channels and balance), with "## ERROR ##" where the control cannot be
// opened; a program's control reads "[A] <its name> (<file name>)". Cut to
// `capacity`.
void describe_control(HMODULE module, const control_entry& entry, wchar_t* text,
                      size_t capacity) noexcept;

// The dialog itself. Its device and control objects serve only to list
// what there is; they are opened and closed again around each look.
class m_control_select {
public:
    // Loads the default-device texts from `module`.
    m_control_select(HMODULE module, const control_choice& start, bool offer_programs);
    m_control_select(const m_control_select&) = delete;
    m_control_select& operator=(const m_control_select&) = delete;
    ~m_control_select();

    // Shows the dialog; true when the user pressed OK.
    bool run(HWND owner) noexcept;
    // The values as the dialog left them, the caption being its proposal.
    const control_choice& choice() const noexcept { return choice_; }

private:
    static INT_PTR CALLBACK procedure_thunk(HWND dialog, UINT message, WPARAM wparam,
                                            LPARAM lparam) noexcept;
    INT_PTR procedure(UINT message, WPARAM wparam, LPARAM lparam);

    void on_init();
    void on_device_changed();
    void on_control_changed();
    void on_balance_moved();
    void fill_devices();
    void fill_controls();
    bool named_device_selected() const;
    bool lists_controls() const { return offer_programs_ || named_device_selected(); }
    // The program the control list's selection names, or null for a line.
    const program_audio* selected_program() const;
    void update_caption();
    void update_channels();
    void show_balance();

    HMODULE module_;
    bool offer_programs_;
    HWND dialog_ = nullptr;
    control_choice choice_{};
    // The stored device is not in the list and the user has not touched the
    // list yet: the stored values, caption included, stand as they came.
    bool keeping_stored_device_ = false;
    bool accepted_ = false;
    int32_t shown_position_ = 0;
    wchar_t default_entry_[80] = {};
    wchar_t default_caption_[64] = {};
    // The programs in the control list, in its order after the lines.
    std::vector<program_audio> programs_;
    std::unique_ptr<m_mxrctl_ca> device_;
    // Declared after the device it refers to, so it goes first.
    std::unique_ptr<m_mxrctl::m_devs> control_;
};
