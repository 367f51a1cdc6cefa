#pragma once
// Drawing the tips: the markup laid out with GDI on a memory DC and painted
// into a 32-bit DIB, with the alpha a layered window needs. No window is
// involved, so the drawing can be checked pixel by pixel.

#include "common/unique_resource.h"
#include "confctl/config.h"
#include "main/tips_markup.h"

#include <windows.h>
#include <cstdint>
#include <string_view>

// What the [Tips] settings say about drawing, and the screen it is for.
struct tips_render_settings {
    tips_style style; // colours, EdgeSize, screen size
    wchar_t font_face[32] = {};
    int32_t font_height = -32; // LOGFONT height at font_resolution_base
    int32_t font_weight = 400;
    uint8_t font_italic = 0;
    uint8_t font_quality = 1;
    int32_t font_resolution_base = 1024; // 0: scaled by the dpi instead
    int32_t dpi = 96;                    // of the monitor the tips are shown on
    bool layered = true;                 // the alpha bytes are used
    bool background_through = true;      // alpha from the mask, with a halo
};

tips_render_settings tips_settings_from(const Cconfig& config, int32_t screen_width,
                                        int32_t screen_height) noexcept;
// The rectangle of the desktop window, which the tips are placed on.
void tips_screen_size(int32_t& width, int32_t& height) noexcept;

// The LOGFONT height for a base height, scaled to the screen width (or,
// with a resolution base of 0, from 96 to `dpi`, so that the text keeps its
// physical size on a sharper monitor) and then to an "S" percentage (0 or
// out of 1..99: unscaled). Never 0 for a non-zero base, which LOGFONT would
// read as "any size".
int32_t tips_font_height(int32_t base_height, int32_t resolution_base, int32_t screen_width,
                         int32_t percent, int32_t dpi = 96) noexcept;

// A 32-bit top-down DIB section selected into a memory DC of its own.
class tips_surface {
public:
    tips_surface() = default;
    tips_surface(const tips_surface&) = delete;
    tips_surface& operator=(const tips_surface&) = delete;
    ~tips_surface() { reset(); }

    bool create(int32_t width, int32_t height) noexcept;
    void reset() noexcept;

    explicit operator bool() const noexcept { return bits_ != nullptr; }
    HDC dc() const noexcept { return dc_.get(); }
    uint8_t* bits() const noexcept { return bits_; } // B, G, R, A per pixel, rows top down
    int32_t width() const noexcept { return width_; }
    int32_t height() const noexcept { return height_; }
    size_t pixels() const noexcept {
        return static_cast<size_t>(width_) * static_cast<size_t>(height_);
    }

private:
    unique_hbitmap bitmap_;
    unique_hdc dc_; // destroyed before the bitmap it holds
    HGDIOBJ old_bitmap_ = nullptr;
    uint8_t* bits_ = nullptr;
    int32_t width_ = 0;
    int32_t height_ = 0;
};

struct tips_picture {
    tips_layout layout;
    tips_surface surface; // the box as drawn
    // Whether a mask was drawn (layered see-through); without one the box
    // is opaque.
    bool see_through = false;
};

// Lays the text out and draws it. Layered: see-through gives alpha from the
// mask dilated EdgeSize times; otherwise every alpha is 255. False when the
// box could not be made (nothing to show, or GDI failed).
bool render_tips(std::wstring_view text, const tips_render_settings& settings,
                 tips_picture& picture) noexcept;
