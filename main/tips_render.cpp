#include "main/tips_render.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

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

// How many fonts a picture keeps: the base font and the sizes "S" asks
// for; a text of more sizes starts the collection over.
constexpr size_t kept_font_limit = 8;

} // namespace

struct tips_tools {
    struct kept_font {
        LOGFONTW logfont{};
        unique_hfont font;
        int32_t line_height = 0; // of "_", measured once
    };
    // Declared before the DCs, so destroyed after them: a DC puts its own
    // font back before the font it held is deleted.
    std::array<kept_font, kept_font_limit> fonts;
    size_t font_count = 0;
    tips_dc measure;
    tips_alpha alpha; // of a see-through box, while its colours are drawn
    // The runs the measure pass measured, in order: the draw passes meet
    // the same runs in the same fonts and take their sizes from here.
    struct run_size {
        const wchar_t* text = nullptr;
        size_t length = 0;
        int32_t font_height = 0;
        int32_t width = 0;
        int32_t height = 0;
    };
    std::array<run_size, 64> runs;
    size_t run_count = 0;
};

namespace {

// The kept font for `logfont`, made (and its line height measured on `dc`)
// when there is none yet; null when GDI cannot make it.
const tips_tools::kept_font* font_for(tips_picture& picture, const LOGFONTW& logfont, HDC dc,
                                      DRAWTEXTPARAMS& params) noexcept {
    tips_tools& tools = *picture.tools;
    for (size_t i = 0; i < tools.font_count; ++i)
        if (std::memcmp(&tools.fonts[i].logfont, &logfont, sizeof logfont) == 0)
            return &tools.fonts[i];
    unique_hfont font(CreateFontIndirectW(&logfont));
    if (!font) return nullptr;
    if (tools.font_count == kept_font_limit) {
        picture.surface.kept_dc().unselect_font();
        tools.measure.unselect_font();
        for (auto& kept : tools.fonts) kept.font.reset();
        tools.font_count = 0;
    }
    tips_tools::kept_font& kept = tools.fonts[tools.font_count++];
    kept.logfont = logfont;
    kept.font = std::move(font);
    const HGDIOBJ previous = SelectObject(dc, kept.font.get());
    RECT r{0, 0, 0, 0};
    wchar_t underscore[] = L"_";
    DrawTextExW(dc, underscore, 1, &r, DT_NOPREFIX | DT_CALCRECT, &params);
    SelectObject(dc, previous);
    kept.line_height = std::max<int32_t>(0, r.bottom - r.top);
    return &kept;
}

enum class pass : uint8_t { measure, mask, colours };

// Measures the box, or draws it in its colours or, for see-through, its
// mask: text and bars white, the cells they take the faint paper, the rest
// left black.
class gdi_canvas final : public tips_canvas {
public:
    gdi_canvas(const tips_render_settings& settings, tips_picture& picture, tips_dc& dc,
               pass what) noexcept
        : settings_(settings), picture_(picture), kept_dc_(dc), dc_(dc.get()),
          measuring_(what == pass::measure), mask_(what == pass::mask) {
        if (measuring_) picture.tools->run_count = 0;
        params_.cbSize = sizeof params_;
        // The mask's text cells take the paper. The colours go onto a box
        // already filled with the background, and nothing a line draws lies
        // under another run's cell: behind the text there is the background
        // colour either way.
        SetBkMode(dc_, mask_ ? OPAQUE : TRANSPARENT);
        SetBkColor(dc_, mask_ ? mask_paper : settings.style.background_color);
        SetTextColor(dc_, mask_ ? mask_ink : settings.style.text_color);
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
        params_.iRightMargin = settings_.font_italic ? std::abs(height / 4) : 0;
        const tips_tools::kept_font* kept = font_for(picture_, lf, dc_, params_);
        if (!kept) return; // the text goes on in the font it has
        kept_dc_.select_font(kept->font.get());
        font_ = kept->font.get();
        font_height_ = height;
        line_height_ = kept->line_height;
    }

    int32_t line_height() override { return line_height_; }

    void measure(std::wstring_view text, int32_t& width, int32_t& height) override {
        width = 0;
        height = 0;
        if (text.empty()) return;
        tips_tools& tools = *picture_.tools;
        if (!measuring_ && next_run_ < tools.run_count) {
            const tips_tools::run_size& run = tools.runs[next_run_++];
            if (run.text == text.data() && run.length == text.size() &&
                run.font_height == font_height_) {
                width = run.width;
                height = run.height;
                return;
            }
        }
        RECT r{0, 0, 0, 0};
        DrawTextExW(dc_, const_cast<wchar_t*>(text.data()), static_cast<int>(text.size()), &r,
                    DT_NOPREFIX | DT_CALCRECT, &params_);
        width = std::max<int32_t>(0, r.right - r.left);
        height = std::max<int32_t>(0, r.bottom - r.top);
        if (measuring_ && tools.run_count < tools.runs.size())
            tools.runs[tools.run_count++] =
                tips_tools::run_size{text.data(), text.size(), font_height_, width, height};
    }

    void set_text_color(uint32_t colorref) override {
        color_ = colorref;
        if (!mask_) SetTextColor(dc_, colorref);
    }

    void draw_text(const tips_rect& cell, std::wstring_view text, tips_align align) override {
        if (text.empty()) return;
        RECT r = to_rect(cell);
        DrawTextExW(dc_, const_cast<wchar_t*>(text.data()), static_cast<int>(text.size()), &r,
                    DT_NOPREFIX | align_flag(align), &params_);
    }

    void fill(const tips_rect& rect, tips_paint paint) override {
        if (rect.right <= rect.left || rect.bottom <= rect.top) return;
        const RECT r = to_rect(rect);
        COLORREF color = paint == tips_paint::text ? color_ : settings_.style.background_color;
        if (mask_) color = paint == tips_paint::background ? mask_paper : mask_ink;
        SetDCBrushColor(dc_, color);
        FillRect(dc_, &r, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    }

private:
    const tips_render_settings& settings_;
    tips_picture& picture_;
    tips_dc& kept_dc_;
    HDC dc_;
    const bool measuring_;
    const bool mask_;
    size_t next_run_ = 0;
    HFONT font_ = nullptr;
    int32_t font_height_ = 0;
    DRAWTEXTPARAMS params_{};
    int32_t line_height_ = 0;
    uint32_t color_ = 0;
};

// Fills the box (not the rest of a larger DIB).
void fill_box(const tips_surface& surface, COLORREF color) noexcept {
    const RECT box{0, 0, surface.width(), surface.height()};
    SetDCBrushColor(surface.dc(), color);
    FillRect(surface.dc(), &box, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

int32_t round_up(int32_t value, int32_t step) noexcept {
    return static_cast<int32_t>((int64_t{value} + step - 1) / step * step);
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

bool tips_dc::create() noexcept {
    reset();
    dc_.reset(CreateCompatibleDC(nullptr));
    return static_cast<bool>(dc_);
}

void tips_dc::reset() noexcept {
    unselect_font();
    if (dc_ && own_bitmap_) SelectObject(dc_.get(), own_bitmap_);
    own_bitmap_ = nullptr;
    dc_.reset();
}

void tips_dc::select_font(HFONT font) noexcept {
    if (!dc_ || !font || font == font_) return;
    const HGDIOBJ previous = SelectObject(dc_.get(), font);
    if (!previous) return;
    if (!own_font_) own_font_ = previous;
    font_ = font;
}

void tips_dc::unselect_font() noexcept {
    if (dc_ && own_font_) SelectObject(dc_.get(), own_font_);
    own_font_ = nullptr;
    font_ = nullptr;
}

void tips_dc::select_bitmap(HBITMAP bitmap) noexcept {
    const HGDIOBJ previous = SelectObject(dc_.get(), bitmap);
    if (!own_bitmap_) own_bitmap_ = previous;
}

bool tips_surface::make(int32_t width, int32_t height) noexcept {
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
    if (!bitmap || !bits || !dc_.create()) return false;
    dc_.select_bitmap(bitmap.get());
    bitmap_ = std::move(bitmap);
    bits_ = static_cast<uint8_t*>(bits);
    capacity_width_ = width_ = width;
    capacity_height_ = height_ = height;
    return true;
}

bool tips_surface::create(int32_t width, int32_t height) noexcept {
    if (!make(width, height)) return false;
    std::memset(bits_, 0, bytes());
    return true;
}

bool tips_surface::fit(int32_t width, int32_t height) noexcept {
    if (width <= 0 || height <= 0) {
        reset();
        return false;
    }
    if (!bits_ || width > capacity_width_ || height > capacity_height_) {
        // Room for a box that grows by a digit or so within a burst.
        if (!make(std::max(round_up(width, 32), capacity_width_),
                  std::max(round_up(height, 8), capacity_height_)))
            return false;
    }
    width_ = width;
    height_ = height;
    return true;
}

void tips_surface::reset() noexcept {
    dc_.reset();
    bitmap_.reset();
    bits_ = nullptr;
    width_ = height_ = 0;
    capacity_width_ = capacity_height_ = 0;
}

tips_picture::tips_picture() noexcept = default;

tips_picture::~tips_picture() {
    release();
}

void tips_picture::release(bool keep_box) noexcept {
    // The fonts go with the tools: the box's DC gives back the one it holds.
    if (keep_box)
        surface.kept_dc().unselect_font();
    else
        surface.reset();
    tools.reset();
}

size_t tips_picture::held_bytes() const noexcept {
    size_t bytes = surface.bytes();
    if (tools) bytes += tools->alpha.bytes();
    return bytes;
}

bool render_tips(std::wstring_view text, const tips_render_settings& settings,
                 tips_picture& picture) noexcept {
    picture.layout = tips_layout{};
    picture.see_through = false;
    if (!picture.tools) picture.tools.reset(new (std::nothrow) tips_tools);
    if (!picture.tools) return false;
    tips_tools& tools = *picture.tools;
    if (!tools.measure && !tools.measure.create()) return false;
    {
        gdi_canvas canvas(settings, picture, tools.measure, pass::measure);
        picture.layout = measure_tips(text, settings.style, canvas);
    }
    tips_layout& layout = picture.layout;
    tips_surface& surface = picture.surface;
    if (layout.line_count == 0 || !surface.fit(layout.box_width, layout.box_height)) {
        // No box stays behind that was drawn for another text.
        surface.reset();
        return false;
    }
    const int32_t width = surface.width();
    const int32_t height = surface.height();
    const auto draw = [&](pass what) {
        gdi_canvas canvas(settings, picture, surface.kept_dc(), what);
        draw_tips(text, settings.style, canvas, layout);
        GdiFlush();
    };

    // See-through: the mask first, on black, and its alpha kept aside while
    // the colours are drawn over it. Without memory for that alpha the box
    // is drawn opaque: alpha as GDI leaves it would make it invisible.
    if (settings.layered && settings.background_through) {
        for (int32_t y = 0; y < height; ++y)
            std::memset(surface.row(y), 0, static_cast<size_t>(width) * 4);
        draw(pass::mask);
        picture.see_through = tools.alpha.take(surface.bits(), surface.stride(), width, height,
                                               tips_edge(settings.style));
    }
    fill_box(surface, settings.style.background_color);
    draw(pass::colours);

    if (picture.see_through)
        tools.alpha.put(surface.bits(), surface.stride());
    else if (settings.layered)
        for (int32_t y = 0; y < height; ++y)
            alpha_opaque(surface.row(y), static_cast<size_t>(width));
    return true;
}
