#include "main/trayicon.h"

#include "common/safe_read.h"
#include "main/commands.h"
#include "main/popmenu.h"
#include "main/zuvo_mixer.h"

#include <shellscalingapi.h>
#include <strsafe.h>

namespace {

// The small-icon size at the DPI of the monitor that shows the notification
// area: what the shell draws our icon at.
int32_t shell_icon_size() noexcept {
    HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
    HMONITOR monitor = taskbar ? MonitorFromWindow(taskbar, MONITOR_DEFAULTTOPRIMARY)
                               : MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    UINT dpi_x = 0, dpi_y = 0;
    if (FAILED(GetDpiForMonitor(monitor, MDT_EFFECTIVE_DPI, &dpi_x, &dpi_y)) || dpi_y == 0)
        dpi_y = GetDpiForSystem();
    return GetSystemMetricsForDpi(SM_CXSMICON, dpi_y);
}

} // namespace

Ctrayicon::~Ctrayicon() {
    if (added_) Shell_NotifyIconW(NIM_DELETE, &data_);
}

void Ctrayicon::prepare(HWND window, const Cconfig* config) noexcept {
    config_ = config;
    data_ = NOTIFYICONDATAW{};
    data_.cbSize = sizeof data_;
    data_.hWnd = window;
    data_.uID = TRAY_ICON_ID;
    data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data_.uCallbackMessage = ZUVOMSG_TRAY_NOTIFY;
    icon_size_ = shell_icon_size();
}

void Ctrayicon::add() noexcept {
    failed_ = false;
    data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    if (Shell_NotifyIconW(NIM_ADD, &data_)) {
        data_.uVersion = NOTIFYICON_VERSION;
        Shell_NotifyIconW(NIM_SETVERSION, &data_);
    } else {
        failed_ = true;
    }
    added_ = true;
}

void Ctrayicon::set_icon(HICON icon, const wchar_t* tip) noexcept {
    // Our own copy: the sender may destroy its icon (the image set does when
    // another set is loaded) while the shell still needs ours for balloons
    // and re-adds. The old copy goes only after the shell has the new one.
    unique_hicon copy(icon ? CopyIcon(icon) : nullptr);
    data_.hIcon = copy.get();
    // The tip may come from another process's message: copy it with care.
    if (!copy_text_safely(tip, data_.szTip, 128)) data_.szTip[0] = L'\0';
    if (added_) {
        data_.uFlags = NIF_ICON | NIF_TIP;
        failed_ = !Shell_NotifyIconW(NIM_MODIFY, &data_);
    }
    if (failed_ || !added_) add();
    icon_ = std::move(copy);
    // The shell may not be up yet; try again until it takes the icon.
    if (failed_) SetTimer(data_.hWnd, CMD_TRAY_UPDATE, TRAY_RETRY_MS, nullptr);
}

void Ctrayicon::show_balloon(const void* record) noexcept {
    zuvo_balloon balloon{};
    if (!copy_record_safely(record, balloon)) return;
    if (!copy_text_safely(balloon.caption, data_.szInfoTitle, 64)) data_.szInfoTitle[0] = L'\0';
    if (!copy_text_safely(balloon.text, data_.szInfo, 256)) data_.szInfo[0] = L'\0';
    if (added_) {
        data_.uFlags |= NIF_INFO;
        data_.uTimeout = balloon.display_time;
        data_.dwInfoFlags = balloon.icon_type;
        Shell_NotifyIconW(NIM_MODIFY, &data_);
    }
    // Warnings are left to the shell's own time-out.
    if (balloon.icon_type != NIIF_WARNING && balloon.icon_type != NIIF_ERROR)
        SetTimer(data_.hWnd, CMD_BALLOON_CLEAR, balloon.display_time, nullptr);
}

void Ctrayicon::clear_balloon() noexcept {
    data_.szInfo[0] = L'\0';
    if (!added_) return;
    data_.uFlags |= NIF_INFO;
    data_.dwInfoFlags = 0;
    data_.uTimeout = 0;
    Shell_NotifyIconW(NIM_MODIFY, &data_);
}

void Ctrayicon::notify(LPARAM event) noexcept {
    HWND window = data_.hWnd;
    switch (static_cast<UINT>(event)) {
    case WM_CONTEXTMENU:
    case WM_RBUTTONUP:
        PostMessageW(window, WM_COMMAND, CMD_POPUP, 0);
        break;
    case WM_MOUSEMOVE:
        // Wheel messages go to the foreground window only.
        if (config_ && config_->trayicon_wheel) bring_to_foreground(window);
        break;
    case WM_LBUTTONUP:
        if (click_pending_) {
            click_pending_ = false;
            KillTimer(window, CMD_TRAY_CLICK);
            PostMessageW(window, WM_COMMAND, CMD_LAUNCH, 0);
        } else {
            click_pending_ = true;
            PostMessageW(window, ZUVOMSG_DELAYED, CMD_TRAY_CLICK, GetDoubleClickTime());
        }
        break;
    case WM_MBUTTONUP:
        PostMessageW(window, WM_COMMAND, CMD_MUTE, 0);
        break;
    case NIN_KEYSELECT:
        single_click();
        break;
    default:
        break;
    }
}

void Ctrayicon::follow_icon_size() noexcept {
    const int32_t size = shell_icon_size();
    if (size == icon_size_) return;
    icon_size_ = size;
    if (data_.hWnd) PostMessageW(data_.hWnd, WM_COMMAND, CMD_TRAY_UPDATE, 0);
}

void Ctrayicon::single_click() noexcept {
    click_pending_ = false;
    bring_to_foreground(data_.hWnd);
    PostMessageW(data_.hWnd, WM_COMMAND, make_command(CMD_REFRESH) | REFRESH_SHOW | REFRESH_HOLD,
                 0);
}

void Ctrayicon::wheel(WPARAM wparam) noexcept {
    const short delta = GET_WHEEL_DELTA_WPARAM(wparam);
    const bool reverse = config_ && config_->trayicon_wheel_reverse;
    const bool up = reverse ? delta < 0 : delta > 0;
    PostMessageW(data_.hWnd, WM_COMMAND, up ? CMD_VOLUME_UP : CMD_VOLUME_DOWN, 0);
}

bool Ctrayicon::handle_message(HWND, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    switch (message) {
    case ZUVOMSG_TRAY_UPDATE:
        if (config_ && config_->trayicon_show)
            set_icon(reinterpret_cast<HICON>(wparam), reinterpret_cast<const wchar_t*>(lparam));
        return true;
    case ZUVOMSG_BALLOON:
        show_balloon(reinterpret_cast<const void*>(wparam));
        return true;
    case ZUVOMSG_TRAY_NOTIFY:
        if (wparam != TRAY_ICON_ID) return false;
        notify(lparam);
        return true;
    case WM_MOUSEWHEEL:
        wheel(wparam);
        return true;
    case WM_DPICHANGED:
    case WM_DISPLAYCHANGE:
    case WM_SETTINGCHANGE:
        follow_icon_size();
        return false;
    default:
        break;
    }
    if (taskbar_created_ != 0 && message == taskbar_created_) {
        // The shell restarted and forgot our icon. Only an icon the user
        // wants shown comes back.
        if (config_ && config_->trayicon_show && (added_ || failed_)) {
            Shell_NotifyIconW(NIM_DELETE, &data_);
            add();
        }
        // The new shell may sit on a monitor of another DPI.
        follow_icon_size();
        return false;
    }
    return false;
}

void Ctrayicon::update(Czuvo_mixer& mixer) noexcept {
    Czuvo_mixer::current_state state;
    if (!mixer.read_current(state)) return;
    COLORREF color = RGB(0, 255, 0);
    if (config_ && config_->trayicon_digit_color_link_tips) {
        if (!state.usable || state.muted || (state.volume == 0 && config_->tips_vol0_on_mute))
            color = config_->text_color2;
        else
            color = state.has_color ? state.color : config_->text_color;
    }
    mixer.tray_image().set_icon_size(icon_size_, icon_size_);
    HICON icon = mixer.tray_image().compose(state.volume, color, state.muted, !state.usable);
    PostMessageW(data_.hWnd, ZUVOMSG_TRAY_UPDATE, reinterpret_cast<WPARAM>(icon),
                 reinterpret_cast<LPARAM>(mixer.tray_tip()));
}
