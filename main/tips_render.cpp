#include "main/tips_render.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// In the see-through mask, text and bars are white on this faint grey: the
// background around them gets alpha 1, invisible but still hit by the mouse
// (a layered window lets clicks through where alpha is 0).
constexpr COLORREF mask_ink = RGB(255, 255, 255);
constexpr COLORREF mask_paper = RGB(1, 1, 1);
// A font taller than any screen is a damaged setting.
constexpr int64_t font_height_limit = 4096;

UINT align_flag(tips_align align) noexcept {
    switch (align) {
    case tips_align::right:
        return DT_RIGHT;
    case tips_align::centre:
        return DT_CENTER;
    default:
        return DT_LEFT;
    }
}

RECT to_rect(const tips_rect& r) noexcept {
    return RECT{r.left, r.top, r.right, r.bottom};
}

// Draws on the box's DC and, for see-through, on the mask's DC alike.
class gdi_canvas final : public tips_canvas {
public:
    gdi_canvas(const tips_render_settings& settings, HDC dc, HDC mask) noexcept
        : settings_(settings), dc_(dc), mask_(mask) {
        params_.cbSize = sizeof params_;
        SetBkMode(dc_, OPAQUE);
        SetBkColor(dc_, settings.style.background_color);
        SetTextColor(dc_, settings.style.text_color);
        if (mask_) {
            SetBkMode(mask_, OPAQUE);
            SetBkColor(mask_, mask_paper);
            SetTextColor(mask_, mask_ink);
        }
    }
    ~gdi_canvas() override {
        if (old_font_) SelectObject(dc_, old_font_);
        if (old_mask_font_) SelectObject(mask_, old_mask_font_);
    }

    void select_font(int32_t percent) override {
        const int32_t height =
            tips_font_height(settings_.font_height, settings_.font_resolution_base,
                             settings_.style.screen_width, percent, settings_.dpi);
        if (font_ && height == font_height_) return;
        LOGFONTW lf{};
        lf.lfHeight = height;
        lf.lfWeight = settings_.font_weight;
        lf.lfItalic = settings_.font_italic;
        lf.lfCharSet = DEFAULT_CHARSET;
        lf.lfQuality = settings_.font_quality;
        std::memcpy(lf.lfFaceName, settings_.font_face, sizeof lf.lfFaceName);
        lf.lfFaceName[LF_FACESIZE - 1] = L'\0';
        unique_hfont font(CreateFontIndirectW(&lf));
        if (!font) return; // the text goes on in the font it has
        // Selected before the previous font is deleted.
        HGDIOBJ old = SelectObject(dc_, font.get());
        if (!old_font_) old_font_ = old;
        if (mask_) {
            HGDIOBJ old_mask = SelectObject(mask_, font.get());
            if (!old_mask_font_) old_mask_font_ = old_mask;
        }
        font_ = std::move(font);
        font_height_ = height;
        params_.iRightMargin = settings_.font_italic ? std::abs(height / 4) : 0;
        RECT r{0, 0, 0, 0};
        wchar_t underscore[] = L"_";
        DrawTextExW(dc_, underscore, 1, &r, DT_NOPREFIX | DT_CALCRECT, &params_);
        line_height_ = std::max<int32_t>(0, r.bottom - r.top);
    }

    int32_t line_height() override { return line_height_; }

    void measure(std::wstring_view text, int32_t& width, int32_t& height) override {
        width = 0;
        height = 0;
        if (text.empty()) return;
        RECT r{0, 0, 0, 0};
        DrawTextExW(dc_, const_cast<wchar_t*>(text.data()), static_cast<int>(text.size()), &r,
                    DT_NOPREFIX | DT_CALCRECT, &params_);
        width = std::max<int32_t>(0, r.right - r.left);
        height = std::max<int32_t>(0, r.bottom - r.top);
    }

    void set_text_color(uint32_t colorref) override {
        color_ = colorref;
        SetTextColor(dc_, colorref);
    }

    void draw_text(const tips_rect& cell, std::wstring_view text, tips_align align) override {
        if (text.empty()) return;
        const UINT flags = DT_NOPREFIX | align_flag(align);
        auto* chars = const_cast<wchar_t*>(text.data());
        const auto length = static_cast<int>(text.size());
        RECT r = to_rect(cell);
        DrawTextExW(dc_, chars, length, &r, flags, &params_);
        if (mask_) {
            r = to_rect(cell);
            DrawTextExW(mask_, chars, length, &r, flags, &params_);
        }
    }

    void fill(const tips_rect& rect, tips_paint paint) override {
        if (rect.right <= rect.left || rect.bottom <= rect.top) return;
        const RECT r = to_rect(rect);
        auto* brush = static_cast<HBRUSH>(GetStockObject(DC_BRUSH));
        SetDCBrushColor(dc_, paint == tips_paint::text ? color_ : settings_.style.background_color);
        FillRect(dc_, &r, brush);
        if (mask_) {
            SetDCBrushColor(mask_, paint == tips_paint::background ? mask_paper : mask_ink);
            FillRect(mask_, &r, brush);
        }
    }

private:
    const tips_render_settings& settings_;
    HDC dc_;
    HDC mask_;
    unique_hfont font_;
    int32_t font_height_ = 0;
    HGDIOBJ old_font_ = nullptr;
    HGDIOBJ old_mask_font_ = nullptr;
    DRAWTEXTPARAMS params_{};
    int32_t line_height_ = 0;
    uint32_t color_ = 0;
};

void fill_surface(const tips_surface& surface, COLORREF color) noexcept {
    const RECT all{0, 0, surface.width(), surface.height()};
    SetDCBrushColor(surface.dc(), color);
    FillRect(surface.dc(), &all, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

} // namespace

tips_render_settings tips_settings_from(const Cconfig& config, int32_t screen_width,
                                        int32_t screen_height) noexcept {
    tips_render_settings s;
    s.style.edge_size = config.edge_size;
    s.style.text_color = config.text_color;
    s.style.text_color2 = config.text_color2;
    s.style.background_color = config.background_color;
    s.style.screen_width = screen_width;
    s.style.screen_height = screen_height;
    std::memcpy(s.font_face, config.font_face, sizeof s.font_face);
    s.font_face[31] = L'\0';
    s.font_height = config.font_point_size;
    s.font_weight = config.font_weight;
    s.font_italic = config.font_italic;
    s.font_quality = config.font_antialias;
    s.font_resolution_base = config.font_resolution_base;
    s.layered = config.layer_window;
    s.background_through = config.layer_background_through;
    return s;
}

void tips_screen_size(int32_t& width, int32_t& height) noexcept {
    RECT screen{0, 0, 0, 0};
    GetWindowRect(GetDesktopWindow(), &screen);
    width = screen.right - screen.left;
    height = screen.bottom - screen.top;
}

int32_t tips_font_height(int32_t base_height, int32_t resolution_base, int32_t screen_width,
                         int32_t percent, int32_t dpi) noexcept {
    int64_t height = base_height;
    if (resolution_base != 0)
        height = height * screen_width / resolution_base;
    else if (dpi > 0 && dpi <= 4 * 96)
        height = height * dpi / 96;
    if (percent >= 1 && percent <= 99) height = height * percent / 100;
    if (height == 0 && base_height != 0) height = base_height < 0 ? -1 : 1;
    return static_cast<int32_t>(std::clamp(height, -font_height_limit, font_height_limit));
}

bool tips_surface::create(int32_t width, int32_t height) noexcept {
    reset();
    if (width <= 0 || height <= 0) return false;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    unique_hbitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    unique_hdc dc(CreateCompatibleDC(nullptr));
    if (!bitmap || !dc || !bits) return false;
    old_bitmap_ = SelectObject(dc.get(), bitmap.get());
    bitmap_ = std::move(bitmap);
    dc_ = std::move(dc);
    bits_ = static_cast<uint8_t*>(bits);
    width_ = width;
    height_ = height;
    std::memset(bits_, 0, pixels() * 4);
    return true;
}

void tips_surface::reset() noexcept {
    if (dc_ && old_bitmap_) SelectObject(dc_.get(), old_bitmap_);
    old_bitmap_ = nullptr;
    bits_ = nullptr;
    width_ = 0;
    height_ = 0;
    dc_.reset();
    bitmap_.reset();
}

bool render_tips(std::wstring_view text, const tips_render_settings& settings,
                 tips_picture& picture) noexcept {
    picture.surface.reset();
    picture.layout = tips_layout{};
    picture.see_through = false;

    unique_hdc measure_dc(CreateCompatibleDC(nullptr));
    if (!measure_dc) return false;
    {
        gdi_canvas canvas(settings, measure_dc.get(), nullptr);
        picture.layout = measure_tips(text, settings.style, canvas);
    }
    tips_layout& layout = picture.layout;
    if (layout.line_count == 0) return false;
    if (!picture.surface.create(layout.box_width, layout.box_height)) return false;

    // Without its mask the box is drawn opaque: alpha as GDI leaves it
    // would make it invisible.
    tips_surface mask;
    if (settings.layered && settings.background_through)
        mask.create(layout.box_width, layout.box_height);

    fill_surface(picture.surface, settings.style.background_color);
    {
        gdi_canvas canvas(settings, picture.surface.dc(), mask ? mask.dc() : nullptr);
        draw_tips(text, settings.style, canvas, layout);
    }
    GdiFlush();

    if (!settings.layered) return true;
    if (mask) {
        alpha_from_mask(picture.surface.bits(), mask.bits(), picture.surface.pixels());
        // Out of memory for the halo leaves the text without one.
        dilate_alpha(picture.surface.bits(), picture.surface.width(), picture.surface.height(),
                     tips_edge(settings.style));
        picture.see_through = true;
    } else {
        alpha_opaque(picture.surface.bits(), picture.surface.pixels());
    }
    return true;
}
