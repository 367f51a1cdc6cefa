#pragma once
// The notification-area icon: adding and updating it, balloons, and turning
// clicks, the wheel and the keyboard on it into commands.

#include "common/hook_thread.h"
#include "common/unique_resource.h"
#include "confctl/config.h"

#include <windows.h>
#include <shellapi.h>

class Czuvo_mixer;

class Ctrayicon {
public:
    Ctrayicon() = default;
    Ctrayicon(const Ctrayicon&) = delete;
    Ctrayicon& operator=(const Ctrayicon&) = delete;
    ~Ctrayicon();

    void set_taskbar_created(UINT message) noexcept { taskbar_created_ = message; }
    void prepare(HWND window, const Cconfig* config) noexcept;
    // Tray update, balloon request, tray notification, wheel, "TaskbarCreated".
    bool handle_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
    // Command 0x0507: composes the current control's icon and sends it.
    void update(Czuvo_mixer& mixer) noexcept;
    // Command 0x0508: a click that was not followed by a second one.
    void single_click() noexcept;
    // Command 0x0509: removes the balloon text.
    void clear_balloon() noexcept;
    // The wheel over the icon is no longer taken (the program is ending).
    void stop_wheel_hook() noexcept;

    bool is_added() const noexcept { return added_; }

private:
    void set_icon(HICON icon, const wchar_t* tip) noexcept;
    void add() noexcept;
    void show_balloon(const void* record) noexcept;
    void notify(LPARAM event) noexcept;
    void wheel(WPARAM wparam) noexcept;
    // After a change of DPI or displays: the icon is built again at the new size.
    void follow_icon_size() noexcept;
    void start_wheel_hook() noexcept;
    // The shell reported the pointer over the icon: where the wheel is ours.
    void note_pointer_over_icon() noexcept;

    NOTIFYICONDATAW data_{};
    unique_hicon icon_; // the icon the shell shows
    const Cconfig* config_ = nullptr;
    UINT taskbar_created_ = 0;
    int32_t icon_size_ = 0; // what the shell draws the icon at
    bool added_ = false;
    bool failed_ = false;
    bool click_pending_ = false;
    // The shell took NOTIFYICON_VERSION: it sends WM_CONTEXTMENU for the menu.
    bool version_taken_ = false;
    low_level_hook_thread wheel_hook_;
};
