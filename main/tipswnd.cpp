#include "main/tipswnd.h"

#include "common/safe_read.h"
#include "main/commands.h"

Ctipswnd::~Ctipswnd() = default;

void Ctipswnd::init(HWND window, const Cconfig& config, uint8_t opacity,
                    COLORREF color_key) noexcept {
    window_ = window;
    config_ = &config;
    opacity_ = opacity;
    color_key_ = color_key;
}

bool Ctipswnd::handle_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
    switch (message) {
    case ZUVOMSG_TIPS:
        // Any process may post this with any pointer: the text is copied with
        // a read that fails instead of faulting, and a request whose text
        // cannot be read shows nothing.
        if (copy_text_safely(reinterpret_cast<const wchar_t*>(wparam), text_, tips_text_capacity))
            show(text_, static_cast<uint32_t>(lparam));
        return true;
    case ZUVOMSG_DELAYED:
        SetTimer(window, wparam, static_cast<UINT>(lparam), nullptr);
        return true;
    case WM_PAINT:
        if (layered_) return false;
        paint(window);
        return true;
    case WM_LBUTTONDOWN:
        return click(window, lparam, true);
    case WM_MOUSEMOVE:
        // Dragging along a bar follows the pointer.
        return (wparam & MK_LBUTTON) != 0 && click(window, lparam, false);
    default:
        return false;
    }
}

void Ctipswnd::show(const wchar_t* text, uint32_t milliseconds) noexcept {
    picture_.layout.region_count = 0;
    if (!window_ || !config_ || !text) return;
    release_when_hidden_ = false;
    // Whoever asked (the refresh or a plug-in), what drawing keeps between
    // requests goes once the program is idle again.
    SetTimer(window_, CMD_RELEASE_IDLE, config_->release_idle_delay, nullptr);
    int32_t screen_width = 0;
    int32_t screen_height = 0;
    tips_screen_size(screen_width, screen_height);
    tips_render_settings settings = tips_settings_from(*config_, screen_width, screen_height);
    // The window's own style decides, whatever the settings say now.
    settings.layered = layered_;
    settings.dpi = static_cast<int32_t>(GetDpiForWindow(window_));
    if (!render_tips(text, settings, picture_)) {
        // Nothing to show (an empty text) or nothing could be drawn.
        hide();
        return;
    }
    const tips_layout& layout = picture_.layout;
    const tips_surface& surface = picture_.surface;
    if (layered_) {
        window_dc screen(nullptr);
        POINT at{layout.x, layout.y};
        SIZE size{surface.width(), surface.height()};
        POINT origin{0, 0};
        BLENDFUNCTION blend{AC_SRC_OVER, 0, opacity_, AC_SRC_ALPHA};
        UpdateLayeredWindow(window_, screen.get(), &at, &size, surface.dc(), &origin, color_key_,
                            &blend, ULW_ALPHA);
        SetWindowPos(window_, HWND_TOPMOST, layout.x, layout.y, surface.width(), surface.height(),
                     SWP_NOACTIVATE);
    } else {
        SetWindowPos(window_, HWND_TOPMOST, layout.x, layout.y, surface.width(), surface.height(),
                     SWP_NOACTIVATE);
        window_dc dc(window_);
        if (dc)
            BitBlt(dc.get(), 0, 0, surface.width(), surface.height(), surface.dc(), 0, 0, SRCCOPY);
    }
    ShowWindow(window_, SW_SHOWNOACTIVATE);
    SetTimer(window_, CMD_TIPS_HIDE, milliseconds, nullptr);
}

void Ctipswnd::hide() noexcept {
    if (window_) ShowWindow(window_, SW_HIDE);
    picture_.layout.region_count = 0;
    if (release_when_hidden_) picture_.release();
    release_when_hidden_ = false;
}

void Ctipswnd::release_idle() noexcept {
    // A layered window keeps its own copy of what it shows.
    release_when_hidden_ = !layered_ && window_ && IsWindowVisible(window_);
    picture_.release(release_when_hidden_);
}

void Ctipswnd::paint(HWND window) noexcept {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    const tips_surface& surface = picture_.surface;
    if (dc && surface)
        BitBlt(dc, 0, 0, surface.width(), surface.height(), surface.dc(), 0, 0, SRCCOPY);
    EndPaint(window, &ps);
}

bool Ctipswnd::click(HWND window, LPARAM lparam, bool button_down) noexcept {
    // Window coordinates as unsigned words.
    const auto x = static_cast<uint32_t>(LOWORD(lparam));
    const auto y = static_cast<uint32_t>(HIWORD(lparam));
    const tips_hit hit = tips_hit_test(picture_.layout.regions.data(), picture_.layout.region_count,
                                       x, y, button_down);
    if (!hit.hit) return false;
    PostMessageW(window, WM_COMMAND, hit.command, hit.value);
    return true;
}
