#include "main/tips_markup.h"

#include "confctl/ini_values.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// Numbers in the markup saturate here; no placement, size or count needs more.
constexpr uint32_t number_limit = 1000000;
// A bar longer than this is far wider than any screen.
constexpr uint32_t bar_length_limit = 1000;
// Positions stay well inside 32 bits whatever the text asks for.
constexpr int64_t coordinate_limit = 1 << 20;
constexpr int32_t edge_limit = 64;

bool is_break(wchar_t c) noexcept {
    return c == L'\r' || c == L'\n';
}

int32_t clamp_coordinate(int64_t value) noexcept {
    return static_cast<int32_t>(std::clamp<int64_t>(value, -coordinate_limit, coordinate_limit));
}

// One pass over the text: the measure pass finds line widths and bottoms,
// the draw pass paints and records regions. Both walk the text the same way
// so that the lines they see are the same.
class markup_pass {
public:
    markup_pass(std::wstring_view text, const tips_style& style, tips_canvas& canvas,
                tips_layout& layout, bool drawing)
        : text_(text), style_(style), canvas_(canvas), layout_(layout), drawing_(drawing),
          left_(tips_edge(style) + 4), top_(tips_edge(style) + 2) {}

    void run() {
        canvas_.select_font(0);
        canvas_.set_text_color(style_.text_color);
        align_ = tips_align::left;
        y_ = top_;
        if (!drawing_) {
            layout_.widest = left_;
            layout_.bottom = top_;
            layout_.line_count = 0;
        }
        start_line();
        while (pos_ < text_.size()) {
            const wchar_t c = text_[pos_];
            if (is_break(c)) {
                ++pos_;
                if (c == L'\r' && peek() == L'\n') ++pos_;
                end_line();
                // "&{M0,text\n}": the field ended its line, and the "}" right
                // behind the break closes its block rather than starting a line.
                if (field_ended_line_ && peek() == L'}') ++pos_;
                field_ended_line_ = false;
                if (line_ == tips_max_lines) return;
                start_line();
                continue;
            }
            if (c == L'&' && pos_ + 1 < text_.size() && text_[pos_ + 1] == L'{') {
                pos_ += 2;
                block();
                continue;
            }
            size_t end = pos_;
            while (end < text_.size() && !is_break(text_[end]) &&
                   !(text_[end] == L'&' && end + 1 < text_.size() && text_[end + 1] == L'{'))
                ++end;
            text_run(text_.substr(pos_, end - pos_));
            pos_ = end;
        }
        // A text ending in a line break has no further line.
        if (line_start_ < text_.size()) end_line();
    }

    tips_align alignment() const noexcept { return align_; }
    int32_t h_percent() const noexcept { return h_; }
    int32_t v_percent() const noexcept { return v_; }

private:
    wchar_t peek() const noexcept { return pos_ < text_.size() ? text_[pos_] : L'\0'; }

    uint32_t read_decimal(bool* any = nullptr) noexcept {
        uint32_t value = 0;
        bool found = false;
        while (pos_ < text_.size() && text_[pos_] >= L'0' && text_[pos_] <= L'9') {
            value = std::min(number_limit, value * 10 + static_cast<uint32_t>(text_[pos_] - L'0'));
            found = true;
            ++pos_;
        }
        if (any) *any = found;
        return value;
    }

    int32_t read_signed() noexcept {
        bool negative = false;
        if (peek() == L'-' || peek() == L'+') negative = text_[pos_++] == L'-';
        const auto magnitude = static_cast<int32_t>(read_decimal());
        return negative ? -magnitude : magnitude;
    }

    uint32_t read_hex(int max_digits) noexcept {
        uint32_t value = 0;
        for (int i = 0; i < max_digits && pos_ < text_.size(); ++i) {
            const int digit = ini_values::hex_digit_value(text_[pos_]);
            if (digit < 0) break;
            value = (value << 4) | static_cast<uint32_t>(digit);
            ++pos_;
        }
        return value;
    }

    void start_line() {
        line_start_ = pos_;
        line_top_ = y_;
        running_bottom_ = y_;
        x_ = left_;
        if (drawing_) {
            // The first line takes the alignment in effect at the end of the
            // text, every other line the one in effect where it starts.
            const tips_align align = line_ == 0 ? layout_.first_alignment : align_;
            const int32_t spare = layout_.widest - layout_.line_width[line_];
            if (align == tips_align::right) x_ += spare;
            if (align == tips_align::centre) x_ += spare / 2;
        }
    }

    void end_line() {
        // A line is as tall as what it drew: one that draws nothing takes no
        // room, so "&{M0,a\n}\n&{M0,b\n}" stays two lines without a gap.
        const int32_t bottom = running_bottom_;
        if (!drawing_) {
            layout_.line_width[line_] = x_;
            layout_.line_bottom[line_] = bottom;
            layout_.widest = std::max(layout_.widest, x_);
            layout_.bottom = bottom;
            layout_.line_count = line_ + 1;
        }
        y_ = bottom;
        ++line_;
    }

    // Moves the running position right past something drawn down to `bottom`.
    void advance(int64_t width, int64_t bottom) noexcept {
        x_ = clamp_coordinate(x_ + std::max<int64_t>(0, width));
        running_bottom_ = std::max(running_bottom_, clamp_coordinate(bottom));
    }

    void add_region(uint32_t command, tips_region_kind kind, const tips_rect& rect) noexcept {
        if (!drawing_ || command == 0 || rect.right <= rect.left || rect.bottom <= rect.top) return;
        if (layout_.region_count >= tips_max_regions) return;
        layout_.regions[layout_.region_count++] = tips_region{command, kind, rect};
    }

    void text_run(std::wstring_view run) {
        int32_t width = 0;
        int32_t height = 0;
        canvas_.measure(run, width, height);
        if (drawing_) {
            canvas_.draw_text(tips_rect{x_, y_, clamp_coordinate(int64_t{x_} + width),
                                        clamp_coordinate(int64_t{y_} + height)},
                              run, tips_align::left);
        }
        advance(width, int64_t{y_} + height);
    }

    void block() {
        const int32_t block_x = x_;
        uint32_t button = 0;
        bool open = true;
        while (open && pos_ < text_.size()) {
            const wchar_t c = text_[pos_++];
            switch (c) {
            case L'}':
                open = false;
                break;
            case L'A':
                alignment_command();
                break;
            case L'B':
            case L'P':
                bar(c == L'B');
                break;
            case L'C':
                color();
                break;
            case L'E':
                button = read_hex(8);
                break;
            case L'H':
                h_ = read_signed();
                break;
            case L'V':
                v_ = read_signed();
                break;
            case L'S':
                canvas_.select_font(read_signed());
                break;
            case L'L':
            case L'M':
            case L'R':
                // The field's text runs to the end of the line; so does the
                // block, or the next line would be read as commands.
                field(c == L'L'   ? tips_align::left
                      : c == L'R' ? tips_align::right
                                  : tips_align::centre);
                field_ended_line_ = pos_ < text_.size();
                open = false;
                break;
            default:
                break;
            }
        }
        if (drawing_ && button != 0)
            add_region(button, tips_region_kind::button,
                       tips_rect{block_x, line_top_, x_, layout_.line_bottom[line_]});
    }

    // "A" takes the next letter only when it names an alignment.
    void alignment_command() noexcept {
        switch (peek()) {
        case L'L':
            align_ = tips_align::left;
            break;
        case L'R':
            align_ = tips_align::right;
            break;
        case L'M':
            align_ = tips_align::centre;
            break;
        default:
            return;
        }
        ++pos_;
    }

    void bar(bool segmented) {
        uint32_t n = read_decimal();
        if (peek() == L',') ++pos_;
        uint32_t p = read_decimal();
        uint32_t id = 0;
        if (peek() == L',') {
            ++pos_;
            id = read_hex(8);
        }
        n = std::min(n, bar_length_limit);
        p = std::min(p, 100u);
        const int32_t l = canvas_.line_height();
        const tips_bar b = segmented ? segmented_bar(x_, y_, l, n) : continuous_bar(x_, y_, l, n);
        if (drawing_) {
            canvas_.fill(b.cell, tips_paint::background);
            if (segmented) {
                const uint32_t filled = n * p / 100;
                for (uint32_t k = 0; k < n; ++k)
                    canvas_.fill(bar_segment(x_, y_, l, k, k < filled), tips_paint::text);
            } else {
                canvas_.fill(b.frame, tips_paint::text);
                canvas_.fill(bar_unfilled(b, p), tips_paint::backdrop);
            }
            add_region(id, tips_region_kind::slider, b.slider);
        }
        advance(b.width, int64_t{y_} + l);
    }

    void color() {
        uint32_t colorref = style_.text_color;
        if (peek() == L'#') {
            ++pos_;
            const uint32_t rgb = read_hex(6);
            colorref = ini_values::swap_red_blue(rgb);
        } else {
            bool any = false;
            const uint32_t which = read_decimal(&any);
            if (any && which == 0) colorref = style_.background_color;
            if (any && which == 2) colorref = style_.text_color2;
        }
        canvas_.set_text_color(colorref);
    }

    void field(tips_align align) {
        const uint32_t w = read_decimal();
        if (peek() == L',') ++pos_;
        const size_t start = pos_;
        while (pos_ < text_.size() && !is_break(text_[pos_])) ++pos_;
        const std::wstring_view content = text_.substr(start, pos_ - start);
        int32_t width = 0;
        int32_t height = 0;
        canvas_.measure(content, width, height);
        const int64_t field_width = w == 0 ? width : int64_t{w} * canvas_.line_height() / 2;
        if (drawing_) {
            canvas_.draw_text(tips_rect{x_, y_, clamp_coordinate(x_ + field_width),
                                        clamp_coordinate(int64_t{y_} + height)},
                              content, align);
        }
        advance(field_width, int64_t{y_} + height);
    }

    std::wstring_view text_;
    const tips_style& style_;
    tips_canvas& canvas_;
    tips_layout& layout_;
    const bool drawing_;
    const int32_t left_;
    const int32_t top_;

    size_t pos_ = 0;
    size_t line_ = 0;
    size_t line_start_ = 0;
    int32_t x_ = 0;
    int32_t y_ = 0;
    int32_t line_top_ = 0;
    int32_t running_bottom_ = 0;
    bool field_ended_line_ = false;
    tips_align align_ = tips_align::left;
    int32_t h_ = 0;
    int32_t v_ = 0;
};

// target[i] = max(target[i], other[i]) for i < n. `other` may lie ahead of
// `target` in the same buffer: each chunk is read whole before it is written,
// and later chunks only write further on. The chunks go through local arrays,
// which nothing aliases, so compilers turn them into vector instructions.
void max_into(uint8_t* target, const uint8_t* other, size_t n) noexcept {
    constexpr size_t chunk = 16;
    size_t i = 0;
    for (; i + chunk <= n; i += chunk) {
        uint8_t a[chunk];
        uint8_t b[chunk];
        std::memcpy(a, target + i, chunk);
        std::memcpy(b, other + i, chunk);
        for (size_t j = 0; j < chunk; ++j) a[j] = std::max(a[j], b[j]);
        std::memcpy(target + i, a, chunk);
    }
    for (; i < n; ++i) target[i] = std::max(target[i], other[i]);
}

// Maxima over windows of k values, in place, by doubling: after the steps
// with len = 1, 2, 4, ... each value is the maximum of the len values starting
// at it, and for len <= k < 2 len a window of k is the larger of two such
// runs, the second starting k - len further on. Each step reads ahead of what
// it writes, so one buffer serves.
//
// A row of `count` values: the first count - k + 1 become window maxima.
void row_window_max(uint8_t* row, size_t count, size_t k) noexcept {
    if (k < 2 || count < k) return;
    size_t len = 1;
    for (; 2 * len <= k; len *= 2) max_into(row, row + len, count - len);
    if (k > len) max_into(row, row + (k - len), count - k + 1);
}

// The same down a plane of `rows` rows (width w, `stride` apart), whole rows
// at a time so that memory is read in order.
void column_window_max(uint8_t* plane, size_t stride, size_t w, size_t rows, size_t k) noexcept {
    if (k < 2 || rows < k) return;
    size_t len = 1;
    for (; 2 * len <= k; len *= 2)
        for (size_t i = 0; i + len < rows; ++i)
            max_into(plane + i * stride, plane + (i + len) * stride, w);
    if (k > len)
        for (size_t i = 0; i + k <= rows; ++i)
            max_into(plane + i * stride, plane + (i + k - len) * stride, w);
}

uint8_t mask_alpha(const uint8_t* mask_pixel) noexcept {
    return static_cast<uint8_t>((unsigned{mask_pixel[0]} + mask_pixel[1] + mask_pixel[2]) / 3);
}

// The two passes below run over every pixel of every draw. Like max_into
// they go through local arrays a chunk at a time, which compilers turn into
// vector instructions (half the time of a pixel at a time, measured).
constexpr size_t pixel_chunk = 16;

// alpha[x] = (B + G + R) / 3 of mask pixel x, for `count` pixels.
void alpha_of_mask_row(uint8_t* alpha, const uint8_t* mask, size_t count) noexcept {
    size_t x = 0;
    for (; x + pixel_chunk <= count; x += pixel_chunk) {
        uint8_t pixels[pixel_chunk * 4];
        std::memcpy(pixels, mask + x * 4, sizeof pixels);
        uint16_t sums[pixel_chunk];
        for (size_t j = 0; j < pixel_chunk; ++j)
            sums[j] = static_cast<uint16_t>(pixels[4 * j] + pixels[4 * j + 1] + pixels[4 * j + 2]);
        uint8_t out[pixel_chunk];
        for (size_t j = 0; j < pixel_chunk; ++j) out[j] = static_cast<uint8_t>(sums[j] / 3);
        std::memcpy(alpha + x, out, sizeof out);
    }
    for (; x < count; ++x) alpha[x] = mask_alpha(mask + x * 4);
}

// c * a / 255 rounded to the nearest, exactly, without a division.
constexpr uint32_t premultiplied(uint32_t c, uint32_t a) noexcept {
    const uint32_t t = c * a + 128;
    return (t + (t >> 8)) >> 8;
}

// The alpha byte of pixel x of a row of 32-bit pixels = alpha[x], and its
// colour multiplied by that alpha: a window with per-pixel alpha adds its
// colour to what lies behind as it is, so a colour above its alpha would
// show where the box is meant to be clear.
void put_alpha_row(uint8_t* bgra, const uint8_t* alpha, size_t count) noexcept {
    size_t x = 0;
    for (; x + pixel_chunk <= count; x += pixel_chunk) {
        uint8_t pixels[pixel_chunk * 4];
        uint8_t values[pixel_chunk];
        std::memcpy(pixels, bgra + x * 4, sizeof pixels);
        std::memcpy(values, alpha + x, sizeof values);
        for (size_t j = 0; j < pixel_chunk; ++j) {
            for (size_t c = 0; c < 3; ++c)
                pixels[4 * j + c] =
                    static_cast<uint8_t>(premultiplied(pixels[4 * j + c], values[j]));
            pixels[4 * j + 3] = values[j];
        }
        std::memcpy(bgra + x * 4, pixels, sizeof pixels);
    }
    for (; x < count; ++x) {
        uint8_t* pixel = bgra + x * 4;
        for (size_t c = 0; c < 3; ++c)
            pixel[c] = static_cast<uint8_t>(premultiplied(pixel[c], alpha[x]));
        pixel[3] = alpha[x];
    }
}

} // namespace

int32_t tips_edge(const tips_style& style) noexcept {
    return std::clamp(style.edge_size, 0, edge_limit);
}

tips_layout measure_tips(std::wstring_view text, const tips_style& style, tips_canvas& canvas) {
    tips_layout layout;
    markup_pass pass(text, style, canvas, layout, false);
    pass.run();
    layout.first_alignment = pass.alignment();
    layout.h_percent = pass.h_percent();
    layout.v_percent = pass.v_percent();
    const int32_t edge = tips_edge(style);
    layout.box_width = std::max(0, std::min(style.screen_width, layout.widest + edge + 4));
    layout.box_height = std::max(0, std::min(style.screen_height, layout.bottom + edge + 2));
    layout.x = tips_place(layout.h_percent, style.screen_width, layout.box_width);
    layout.y = tips_place(layout.v_percent, style.screen_height, layout.box_height);
    return layout;
}

void draw_tips(std::wstring_view text, const tips_style& style, tips_canvas& canvas,
               tips_layout& layout) {
    layout.region_count = 0;
    markup_pass pass(text, style, canvas, layout, true);
    pass.run();
}

tips_bar segmented_bar(int32_t x, int32_t y, int32_t l, uint32_t n) noexcept {
    const int32_t pitch = l / 3;
    tips_bar bar;
    bar.width = clamp_coordinate(int64_t{n} * pitch);
    bar.cell = tips_rect{x, y, clamp_coordinate(int64_t{x} + bar.width), y + l};
    bar.frame = tips_rect{x, y + l / 20, bar.cell.right, y + l - l / 20};
    bar.slider = bar.frame;
    return bar;
}

tips_rect bar_segment(int32_t x, int32_t y, int32_t l, uint32_t k, bool filled) noexcept {
    const int64_t pitch = l / 3;
    tips_rect r;
    r.left = clamp_coordinate(x + int64_t{k} * pitch);
    r.right = clamp_coordinate(x + (int64_t{k} + 1) * pitch - l / 8);
    // An empty segment is a dot as wide as a filled one, centred in the line.
    const int32_t inset = filled ? l / 20 : (l + l / 8 - l / 3) / 2;
    r.top = y + inset;
    r.bottom = y + l - inset;
    return r;
}

tips_bar continuous_bar(int32_t x, int32_t y, int32_t l, uint32_t n) noexcept {
    tips_bar bar;
    bar.width = clamp_coordinate(int64_t{n} * l);
    bar.cell = tips_rect{x, y, clamp_coordinate(int64_t{x} + bar.width), y + l};
    bar.frame = tips_rect{x, y + l / 20, bar.cell.right, y + l - l / 20};
    const int32_t m = std::max(1, l / 12);
    bar.slider =
        tips_rect{bar.frame.left + m, bar.frame.top + m, bar.frame.right - m, bar.frame.bottom - m};
    return bar;
}

tips_rect bar_unfilled(const tips_bar& bar, uint32_t p) noexcept {
    tips_rect r = bar.slider;
    r.left = clamp_coordinate(r.left + int64_t{r.right - r.left} * std::min(p, 100u) / 100);
    return r;
}

int32_t tips_place(int32_t percent, int32_t screen, int32_t size) noexcept {
    const int64_t s = screen;
    const int64_t b = size;
    int64_t at = 0;
    if (percent > 0)
        at = s * percent / 100;
    else if (percent < 0)
        at = s * percent / 100 + (s - b);
    else
        at = (s - b) / 2;
    // Whatever the percentage, the box stays on the screen.
    return static_cast<int32_t>(std::clamp<int64_t>(at, 0, std::max<int64_t>(0, s - b)));
}

tips_hit tips_hit_test(const tips_region* regions, size_t count, uint32_t x, uint32_t y,
                       bool button_down) noexcept {
    if (!regions) return {};
    const int64_t px = x;
    const int64_t py = y;
    for (size_t i = 0; i < count; ++i) {
        const tips_rect& r = regions[i].rect;
        if (r.right <= r.left || r.bottom <= r.top) continue;
        if (regions[i].kind == tips_region_kind::slider) {
            const int64_t height = int64_t{r.bottom} - r.top;
            const int64_t margin = height < 16 ? 4 : height / 4;
            if (py < r.top || py >= r.bottom || px < r.left - margin || px >= r.right) continue;
            const int64_t value =
                px >= r.left ? (px - r.left) * 100 / (int64_t{r.right} - r.left) + 1 : 0;
            return tips_hit{true, regions[i].command, static_cast<int32_t>(value)};
        }
        if (!button_down) continue;
        if (px >= r.left && px < r.right && py >= r.top && py < r.bottom)
            return tips_hit{true, regions[i].command, 0};
    }
    return {};
}

void alpha_opaque(uint8_t* bgra, size_t pixels) noexcept {
    if (!bgra) return;
    for (size_t i = 0; i < pixels; ++i) bgra[i * 4 + 3] = 255;
}

bool tips_alpha::take(const uint8_t* mask, size_t stride, int32_t width, int32_t height,
                      int32_t rounds) noexcept {
    width_ = 0;
    height_ = 0;
    if (!mask || width <= 0 || height <= 0 || stride < static_cast<size_t>(width) * 4) return false;
    const auto w = static_cast<size_t>(width);
    const auto h = static_cast<size_t>(height);
    // Rounds of the 3x3 maximum in which border pixels stay put add up to
    // one maximum over the square of radius `rounds` for every inner pixel:
    // any pixel within that square is reached by a path whose intermediate
    // steps stay off the border. No radius beyond the picture changes more.
    const bool halo = rounds > 0 && width >= 3 && height >= 3;
    const size_t r = halo ? static_cast<size_t>(std::min(rounds, std::max(width, height))) : 0;
    // The alpha in a plane with r zeros on every side (zero is the identity
    // of max), so that every window is a whole one.
    const size_t plane_stride = w + 2 * r;
    const size_t rows = h + 2 * r;
    try {
        plane_.resize(plane_stride * rows);
        border_.resize(2 * (w + h));
    } catch (const std::bad_alloc&) {
        return false;
    }
    // Every inner value is written below, so only the margin is cleared.
    uint8_t* plane = plane_.data();
    std::memset(plane, 0, r * plane_stride);
    std::memset(plane + (r + h) * plane_stride, 0, r * plane_stride);
    for (size_t y = 0; y < h; ++y) {
        uint8_t* to = plane + (y + r) * plane_stride;
        std::memset(to, 0, r);
        std::memset(to + r + w, 0, r);
        alpha_of_mask_row(to + r, mask + y * stride, w);
    }
    // The outer border keeps the mask's alpha: top, bottom, left, right.
    uint8_t* border = border_.data();
    std::memcpy(border, plane + r * plane_stride + r, w);
    std::memcpy(border + w, plane + (r + h - 1) * plane_stride + r, w);
    for (size_t y = 0; y < h; ++y) {
        border[2 * w + y] = plane[(y + r) * plane_stride + r];
        border[2 * w + h + y] = plane[(y + r) * plane_stride + r + w - 1];
    }
    // The square maximum is separable: window maxima along the rows, then
    // down the columns. Pixel (x, y) ends up at (x, y) of the plane.
    if (halo) {
        const size_t k = 2 * r + 1;
        for (size_t y = r; y < r + h; ++y)
            row_window_max(plane + y * plane_stride, plane_stride, k);
        column_window_max(plane, plane_stride, w, rows, k);
    }
    width_ = w;
    height_ = h;
    plane_stride_ = plane_stride;
    return true;
}

void tips_alpha::put(uint8_t* bgra, size_t stride) const noexcept {
    if (!bgra || stride < width_ * 4) return;
    const uint8_t* border = border_.data();
    for (size_t y = 0; y < height_; ++y) {
        uint8_t* box = bgra + y * stride;
        if (y == 0 || y + 1 == height_) {
            put_alpha_row(box, border + (y == 0 ? 0 : width_), width_);
            continue;
        }
        // Each pixel is multiplied once: the outer columns by the border's
        // alpha, the rest by the dilated plane's.
        put_alpha_row(box, border + 2 * width_ + y, 1);
        if (width_ < 2) continue;
        put_alpha_row(box + 4, plane_.data() + y * plane_stride_ + 1, width_ - 2);
        put_alpha_row(box + (width_ - 1) * 4, border + 2 * width_ + height_ + y, 1);
    }
}
