#pragma once
// Drawing the tips: the markup laid out with GDI on a memory DC and painted
// into a 32-bit DIB, with the alpha a layered window needs. No window is
// involved, so the drawing can be checked pixel by pixel.

#include "common/unique_resource.h"
#include "confctl/config.h"
#include "main/tips_markup.h"

#include <windows.h>
#include <cstdint>
#include <memory>
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

// A memory DC that remembers the font and bitmap selected into it and puts
// its own back before it goes, so that what it held may be deleted. A font
// stays selected from one draw to the next: selecting costs more than
// drawing a short run.
class tips_dc {
public:
    tips_dc() = default;
    tips_dc(const tips_dc&) = delete;
    tips_dc& operator=(const tips_dc&) = delete;
    ~tips_dc() { reset(); }

    bool create() noexcept;
    void reset() noexcept;
    explicit operator bool() const noexcept { return static_cast<bool>(dc_); }
    HDC get() const noexcept { return dc_.get(); }

    void select_font(HFONT font) noexcept;
    // The DC's own font back, so that the one it had may be deleted.
    void unselect_font() noexcept;
    void select_bitmap(HBITMAP bitmap) noexcept;

private:
    unique_hdc dc_;
    HFONT font_ = nullptr;
    HGDIOBJ own_font_ = nullptr;
    HGDIOBJ own_bitmap_ = nullptr;
};

// A 32-bit top-down DIB section selected into a memory DC of its own.
class tips_surface {
public:
    tips_surface() = default;
    tips_surface(const tips_surface&) = delete;
    tips_surface& operator=(const tips_surface&) = delete;
    ~tips_surface() { reset(); }

    // Exactly this size, every byte 0.
    bool create(int32_t width, int32_t height) noexcept;
    // A box of this size in the DIB already made when it is large enough,
    // else in a new one with some room to grow; the pixels are left as they
    // are. Fresh pages cost far more to write the first time than drawing
    // the tips, so a burst of draws keeps one DIB.
    bool fit(int32_t width, int32_t height) noexcept;
    void reset() noexcept;

    explicit operator bool() const noexcept { return bits_ != nullptr; }
    HDC dc() const noexcept { return dc_.get(); }
    tips_dc& kept_dc() noexcept { return dc_; }
    // The box: B, G, R, A per pixel, rows top down and stride() bytes apart.
    uint8_t* bits() const noexcept { return bits_; }
    uint8_t* row(int32_t y) const noexcept { return bits_ + static_cast<size_t>(y) * stride(); }
    size_t stride() const noexcept { return static_cast<size_t>(capacity_width_) * 4; }
    int32_t width() const noexcept { return width_; }
    int32_t height() const noexcept { return height_; }
    size_t pixels() const noexcept {
        return static_cast<size_t>(width_) * static_cast<size_t>(height_);
    }
    // The memory of the DIB, which may be larger than the box.
    size_t bytes() const noexcept { return stride() * static_cast<size_t>(capacity_height_); }

private:
    bool make(int32_t width, int32_t height) noexcept;

    unique_hbitmap bitmap_;
    tips_dc dc_; // destroyed before the bitmap it holds
    uint8_t* bits_ = nullptr;
    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t capacity_width_ = 0;
    int32_t capacity_height_ = 0;
};

struct tips_tools;

// The box drawn for the last request, and what drawing it needs (a DC to
// measure on, the fonts, the see-through alpha with its halo), kept for the
// next draw until release().
struct tips_picture {
    tips_picture() noexcept;
    tips_picture(const tips_picture&) = delete;
    tips_picture& operator=(const tips_picture&) = delete;
    ~tips_picture();

    // Frees everything, or everything but the box when it is still shown
    // and repainted from.
    void release(bool keep_box = false) noexcept;
    // The memory of the DIB and of the see-through alpha held now.
    size_t held_bytes() const noexcept;

    tips_layout layout;
    tips_surface surface; // the box as drawn
    // Whether a mask was drawn (layered see-through); without one the box
    // is opaque.
    bool see_through = false;
    std::unique_ptr<tips_tools> tools;
};

// Lays the text out and draws it, reusing what `picture` kept from an
// earlier draw. Layered: see-through gives alpha from a mask (the text and
// bars drawn white on black) dilated EdgeSize times; otherwise every alpha
// is 255. False when the box could not be made (nothing to show, or GDI
// failed).
bool render_tips(std::wstring_view text, const tips_render_settings& settings,
                 tips_picture& picture) noexcept;
