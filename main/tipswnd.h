#pragma once
// The tips window: the on-screen display shown after a volume change. It is
// the main window itself; this object holds its drawing state: the box drawn
// for the last tips request and its click regions.

#include "confctl/config.h"
#include "main/tips_format.h"
#include "main/tips_render.h"

#include <windows.h>
#include <cstdint>

class Ctipswnd {
public:
    Ctipswnd() = default;
    Ctipswnd(const Ctipswnd&) = delete;
    Ctipswnd& operator=(const Ctipswnd&) = delete;
    ~Ctipswnd();

    void set_layered(bool layered) noexcept { layered_ = layered; }
    // The window to show in, the [Tips] settings (kept by reference), the
    // layered window's opacity 0..255 and its colour key.
    void init(HWND window, const Cconfig& config, uint8_t opacity, COLORREF color_key) noexcept;
    // Tips request, delayed command, painting and clicks; true when handled.
    bool handle_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept;
    // Lays out and shows a markup text for `milliseconds`; an empty text hides.
    void show(const wchar_t* text, uint32_t milliseconds) noexcept;
    // Command 0x0503, and at shutdown.
    void hide() noexcept;
    // With the program's other idle resources: frees what drawing keeps
    // between requests (a box still shown without layering stays until hidden).
    void release_idle() noexcept;
    // The memory the drawing holds now.
    size_t held_bytes() const noexcept { return picture_.held_bytes(); }

    // The box last shown and its click regions.
    const tips_layout& layout() const noexcept { return picture_.layout; }

private:
    void paint(HWND window) noexcept;
    bool click(HWND window, LPARAM lparam, bool button_down) noexcept;

    HWND window_ = nullptr;
    const Cconfig* config_ = nullptr;
    uint8_t opacity_ = 255;
    COLORREF color_key_ = 0;
    bool layered_ = false;
    // The layout with the click regions, the box (WM_PAINT repaints from it
    // when not layered) and what drawing it needs, kept until idle.
    tips_picture picture_;
    // Idle came while the box was shown and needed: it goes when hidden.
    bool release_when_hidden_ = false;
    // A request's text, copied out of whatever memory its pointer names.
    wchar_t text_[tips_text_capacity] = {};
};
