#pragma once
// The model of the configured volume controls: which control is current,
// how a volume step is computed, how a control is bound to its device, and
// the refresh of everything the user sees after a change.

#include "confctl/config.h"
#include "main/popmenu.h"
#include "main/tips_format.h"
#include "trayimage/trayimage.h"
#include "mxrctl/mxrctl.h"
#include "mxrctl/mxrctl_ca.h"
#include "mxrctl/output_devices.h"
#include "plugin_sdk/zuvoplug.h"

#include <array>
#include <memory>
#include <vector>

class Czuvo_mixer : public Cpopmenu_regproc {
public:
    Czuvo_mixer() = default;
    Czuvo_mixer(const Czuvo_mixer&) = delete;
    Czuvo_mixer& operator=(const Czuvo_mixer&) = delete;
    ~Czuvo_mixer() override;

    // Start-up: one control object per configured slot, one mixer object
    // per distinct mixer name. Nothing is opened yet.
    void create_controls(HWND window, const Cconfig* config);
    void load_menu_captions(HINSTANCE instance) noexcept;
    void load_tips_format(const wchar_t* name) noexcept;
    // Slot 0 when it binds, else the next control that does.
    void select_initial_control() noexcept;

    // Releases every control and device object; the model then has no
    // controls. COM must still be initialised.
    void release_devices() noexcept;

    // Devices coming and going and a new default device are noticed from
    // create_controls on, until this is called (before the window goes).
    void stop_watching_devices() noexcept;
    // The device watch's message: controls on the default device move to
    // the new one, and the current control is shown anew.
    bool handle_device_change(UINT message) noexcept;

    bool bind(size_t slot) noexcept;
    bool change_volume(size_t slot, int32_t amount, bool relative) noexcept;
    bool toggle_mute(size_t slot) noexcept;
    bool next_control(bool show) noexcept;
    void select_control(uint32_t index) noexcept;
    // Command 0x0501 with its flags; the current control's record or null.
    const control_entry* refresh(uint32_t flags) noexcept;
    void release_idle() noexcept;

    // The commands carried out here (volume, mute, control selection);
    // false for every other command.
    bool handle_command(uint16_t command, uint16_t argument, LPARAM lparam) noexcept;
    // Whether a message is the current control's change notification.
    bool is_change_notification(UINT message, WPARAM wparam) noexcept;

    void add_items(HMENU* menu) override;
    // Makes output `index` of the menu's list (or, for `next`, the one after
    // the default) the default device, and shows the tips on it. Nothing
    // happens where the system offers no way to do so.
    void switch_output(bool next, size_t index) noexcept;

    struct current_state {
        int32_t volume = 0;
        bool usable = false;
        bool muted = false;
        bool idle = false;
        bool has_color = false;
        COLORREF color = 0;
    };
    // The current control as the tray shows it; false without one.
    bool read_current(current_state& state) noexcept;
    const wchar_t* tray_tip() const noexcept { return tray_tip_; }
    Ctrayimage& tray_image() noexcept { return tray_image_; }
    size_t current_index() const noexcept { return current_; }
    const tips_format& format() const noexcept { return format_; }
    // The control object of a slot, or null.
    m_mxrctl::m_devs* control(size_t slot) const noexcept;
    // Mixer objects created, one per distinct mixer name.
    size_t mixer_count() const noexcept { return mixers_.size(); }

private:
    struct cached_mixer {
        const wchar_t* name; // the first control's mixer name, null when empty
        std::unique_ptr<m_mxrctl_ca> mixer;
    };

    const control_entry* entry(size_t slot) const noexcept;
    uint32_t step_size() const noexcept;
    // The name to show: the caption, or the line name for a "#" caption.
    const wchar_t* display_name(size_t slot, bool bound) const noexcept;
    void load_tray_images(size_t slot) noexcept;
    void post(uint32_t wparam, LPARAM lparam = 0) const noexcept;
    void build_tips_text() noexcept;
    void follow_devices() noexcept;
    // The submenu of output devices, the default ticked.
    void add_output_menu(HMENU menu) noexcept;

    HWND window_ = nullptr;
    const Cconfig* config_ = nullptr;
    std::vector<cached_mixer> mixers_;
    std::array<std::unique_ptr<m_mxrctl::m_devs>, control_slots> controls_;
    size_t current_ = 0;
    Ctrayimage tray_image_;
    wchar_t tray_tip_[128] = {};
    tips_format format_;
    wchar_t volume_captions_[3][64] = {};
    wchar_t tips_text_[tips_text_capacity] = {};
    bool hold_ = false;
    zuvo_balloon balloon_{};
    m_mxrctl_ca::m_device_watch device_watch_;
    Cpolicy_config policy_;
    wchar_t output_caption_[64] = {};
    std::vector<output_device> menu_outputs_; // as the last popup menu listed them
};
