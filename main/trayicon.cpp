#include "main/trayicon.h"

#include "common/safe_read.h"
#include "main/commands.h"
#include "main/desktop.h"
#include "main/zuvo_mixer.h"

#include <shellscalingapi.h>
#include <strsafe.h>

namespace {

// Where the wheel counts as over our icon. The window thread writes it when
// the shell reports the pointer over the icon; the wheel hook's thread reads
// it for every wheel event.
struct wheel_area {
    SRWLOCK lock = SRWLOCK_INIT;
    HWND main_window = nullptr;
    RECT icon{};
    // The top-level window that showed the icon then: a rectangle that
    // another window covers now, or that the shell has since closed (the
    // overflow flyout), is not the icon any more.
    HWND root = nullptr;
};
wheel_area g_wheel_area;

HWND root_window_at(POINT point) noexcept {
    HWND window = WindowFromPoint(point);
    return window ? GetAncestor(window, GA_ROOT) : nullptr;
}

DWORD window_process(HWND window) noexcept {
    DWORD process = 0;
    if (window) GetWindowThreadProcessId(window, &process);
    return process;
}

// Takes the wheel over the icon's rectangle and hands it to the main window as
// a wheel message of its own; the window under the pointer (the shell's) and
// the program in front never see it.
LRESULT CALLBACK tray_wheel_proc(int code, WPARAM wparam, LPARAM lparam) noexcept {
    if (code == HC_ACTION && wparam == WM_MOUSEWHEEL && lparam) {
        const auto* event = reinterpret_cast<const MSLLHOOKSTRUCT*>(lparam);
        AcquireSRWLockShared(&g_wheel_area.lock);
        const HWND window = g_wheel_area.main_window;
        const HWND root = g_wheel_area.root;
        const bool inside = root && PtInRect(&g_wheel_area.icon, event->pt);
        ReleaseSRWLockShared(&g_wheel_area.lock);
        if (inside && window && root_window_at(event->pt) == root) {
            PostMessageW(window, WM_MOUSEWHEEL, event->mouseData & 0xFFFF0000u,
                         MAKELPARAM(event->pt.x, event->pt.y));
            return 1;
        }
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

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
    stop_wheel_hook();
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
    // The wheel goes to the window under the pointer, which over the icon is
    // the shell's: only a hook sees it first. Without an icon there is
    // nothing to turn the wheel over.
    if (config && config->trayicon_wheel && config->trayicon_show) start_wheel_hook();
}

void Ctrayicon::start_wheel_hook() noexcept {
    AcquireSRWLockExclusive(&g_wheel_area.lock);
    g_wheel_area.main_window = data_.hWnd;
    g_wheel_area.root = nullptr;
    ReleaseSRWLockExclusive(&g_wheel_area.lock);
    wheel_hook_.start(WH_MOUSE_LL, tray_wheel_proc, GetModuleHandleW(nullptr));
}

void Ctrayicon::stop_wheel_hook() noexcept {
    wheel_hook_.stop();
    AcquireSRWLockExclusive(&g_wheel_area.lock);
    g_wheel_area.main_window = nullptr;
    g_wheel_area.root = nullptr;
    ReleaseSRWLockExclusive(&g_wheel_area.lock);
}

void Ctrayicon::note_pointer_over_icon() noexcept {
    if (!wheel_hook_.running()) return;
    // Only the shell's windows can show the icon: a window of another
    // program under the pointer by now must never take the wheel.
    const DWORD shell = window_process(FindWindowW(L"Shell_TrayWnd", nullptr));
    RECT icon{};
    HWND root = nullptr;
    NOTIFYICONIDENTIFIER id{};
    id.cbSize = sizeof id;
    id.hWnd = data_.hWnd;
    id.uID = data_.uID;
    if (SUCCEEDED(Shell_NotifyIconGetRect(&id, &icon))) {
        root = root_window_at(POINT{icon.left + (icon.right - icon.left) / 2,
                                    icon.top + (icon.bottom - icon.top) / 2});
    } else {
        // A shell that cannot tell (Wine's is one): the window under the
        // pointer, which the shell has just reported over the icon.
        POINT pointer{};
        HWND under = GetCursorPos(&pointer) ? WindowFromPoint(pointer) : nullptr;
        if (under && GetWindowRect(under, &icon)) root = GetAncestor(under, GA_ROOT);
    }
    if (shell == 0 || window_process(root) != shell) root = nullptr;
    AcquireSRWLockExclusive(&g_wheel_area.lock);
    g_wheel_area.icon = icon;
    g_wheel_area.root = root;
    ReleaseSRWLockExclusive(&g_wheel_area.lock);
}

void Ctrayicon::add() noexcept {
    failed_ = false;
    data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    version_taken_ = false;
    if (Shell_NotifyIconW(NIM_ADD, &data_)) {
        data_.uVersion = NOTIFYICON_VERSION;
        version_taken_ = Shell_NotifyIconW(NIM_SETVERSION, &data_) != FALSE;
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
        PostMessageW(window, WM_COMMAND, CMD_POPUP, 0);
        break;
    case WM_RBUTTONUP:
        // A shell that took our version follows the button-up with
        // WM_CONTEXTMENU, as it does for the menu key: one menu per click.
        if (!version_taken_) PostMessageW(window, WM_COMMAND, CMD_POPUP, 0);
        break;
    case WM_MOUSEMOVE:
        note_pointer_over_icon();
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
        if (!state.usable || state.idle || state.muted ||
            (state.volume == 0 && config_->tips_vol0_on_mute))
            color = config_->text_color2;
        else
            color = state.has_color ? state.color : config_->text_color;
    }
    mixer.tray_image().set_icon_size(icon_size_, icon_size_);
    HICON icon =
        mixer.tray_image().compose(state.volume, color, state.muted || state.idle, !state.usable);
    PostMessageW(data_.hWnd, ZUVOMSG_TRAY_UPDATE, reinterpret_cast<WPARAM>(icon),
                 reinterpret_cast<LPARAM>(mixer.tray_tip()));
}
