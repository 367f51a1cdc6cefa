#include "trayimage/trayimage_pixels.h"

#include <algorithm>
#include <cstring>

namespace tray_pixels {

namespace {

size_t row_bytes(int32_t width) noexcept {
    return static_cast<size_t>(width) * 4;
}

const uint8_t* pixel_at(const const_image& picture, int32_t x, int32_t y) noexcept {
    return picture.bits + static_cast<size_t>(y) * row_bytes(picture.width) +
           static_cast<size_t>(x) * 4;
}

uint8_t* pixel_at(const image& picture, int32_t x, int32_t y) noexcept {
    return picture.bits + static_cast<size_t>(y) * row_bytes(picture.width) +
           static_cast<size_t>(x) * 4;
}

// d + (a * (s - d) >> 8); the shift of a negative product rounds towards
// minus infinity, so the result never leaves 0..255.
uint8_t blend_channel(int d, int s, int a) noexcept {
    return static_cast<uint8_t>(d + ((a * (s - d)) >> 8));
}

uint8_t blend_alpha(int destination_alpha, int a) noexcept {
    return static_cast<uint8_t>(a + (((255 - a) * destination_alpha) >> 8));
}

// Lays a B, G, R colour with alpha `a` (1..255) over a destination pixel.
void lay_over(uint8_t* d, int b, int g, int r, int a) noexcept {
    if (a == 255) {
        d[0] = static_cast<uint8_t>(b);
        d[1] = static_cast<uint8_t>(g);
        d[2] = static_cast<uint8_t>(r);
        d[3] = 255;
        return;
    }
    d[0] = blend_channel(d[0], b, a);
    d[1] = blend_channel(d[1], g, a);
    d[2] = blend_channel(d[2], r, a);
    d[3] = blend_alpha(d[3], a);
}

bool valid_rect(const image& destination, const const_image& source,
                const copy_rect& rect) noexcept {
    if (!destination.bits || is_empty(source)) return false;
    if (rect.width <= 0 || rect.height <= 0) return false;
    if (rect.dst_x < 0 || rect.dst_y < 0 || rect.src_x < 0 || rect.src_y < 0) return false;
    return int64_t{rect.dst_x} + rect.width <= destination.width &&
           int64_t{rect.dst_y} + rect.height <= destination.height &&
           int64_t{rect.src_x} + rect.width <= source.width &&
           int64_t{rect.src_y} + rect.height <= source.height;
}

template <typename Paint>
void for_each_pixel(const image& destination, const const_image& source, const copy_rect& rect,
                    Paint paint) noexcept {
    if (!valid_rect(destination, source, rect)) return;
    for (int32_t y = 0; y < rect.height; ++y) {
        const uint8_t* s = pixel_at(source, rect.src_x, rect.src_y + y);
        uint8_t* d = pixel_at(destination, rect.dst_x, rect.dst_y + y);
        for (int32_t x = 0; x < rect.width; ++x, s += 4, d += 4) {
            if (s[3] != 0) paint(d, s);
        }
    }
}

// Draws a whole source picture at the top left corner with the overlay rule.
void overlay_whole(const image& work, const const_image& source) noexcept {
    copy_rect rect;
    if (clip(placement{0, 0, 0, 0, source.width, source.height}, work.width, work.height,
             source.width, source.height, rect))
        draw_overlay(work, source, rect);
}

} // namespace

bool is_empty(const const_image& picture) noexcept {
    return !picture.bits || picture.width <= 0 || picture.height <= 0;
}

bool size_acceptable(int64_t width, int64_t height) noexcept {
    return width > 0 && height > 0 && width <= max_side && height <= max_side;
}

bool clip(const placement& wanted, int32_t dst_width, int32_t dst_height, int32_t src_width,
          int32_t src_height, copy_rect& out) noexcept {
    out = copy_rect{};
    if (wanted.width <= 0 || wanted.height <= 0) return false;
    if (dst_width <= 0 || dst_height <= 0 || src_width <= 0 || src_height <= 0) return false;
    // Picture sizes are 32-bit numbers; a placement this far out is the
    // product of a wild offset and shows nothing. It also keeps the sums
    // below from overflowing.
    const int64_t limit = int64_t{1} << 40;
    for (int64_t v :
         {wanted.dst_x, wanted.dst_y, wanted.src_x, wanted.src_y, wanted.width, wanted.height})
        if (v > limit || v < -limit) return false;
    int64_t dx = wanted.dst_x, dy = wanted.dst_y, sx = wanted.src_x, sy = wanted.src_y;
    int64_t w = wanted.width, h = wanted.height;

    // Cut whatever lies left of or above either picture, moving both corners.
    int64_t cut_x = std::max<int64_t>({0, -dx, -sx});
    int64_t cut_y = std::max<int64_t>({0, -dy, -sy});
    dx += cut_x;
    sx += cut_x;
    w -= cut_x;
    dy += cut_y;
    sy += cut_y;
    h -= cut_y;
    // And whatever lies right of or below either picture.
    w = std::min({w, int64_t{dst_width} - dx, int64_t{src_width} - sx});
    h = std::min({h, int64_t{dst_height} - dy, int64_t{src_height} - sy});
    if (w <= 0 || h <= 0) return false;
    out.dst_x = static_cast<int32_t>(dx);
    out.dst_y = static_cast<int32_t>(dy);
    out.src_x = static_cast<int32_t>(sx);
    out.src_y = static_cast<int32_t>(sy);
    out.width = static_cast<int32_t>(w);
    out.height = static_cast<int32_t>(h);
    return true;
}

int32_t glyph_row(int32_t strip_height, int32_t count, int32_t index) noexcept {
    if (strip_height <= 0 || count <= 0 || index < 0 || index >= count) return 0;
    return (strip_height / count) * index;
}

digit_placements place_digits(int32_t volume, int32_t icon_width, int32_t icon_height,
                              int32_t tens_width, int32_t tens_height, int32_t ones_width,
                              int32_t ones_height, int32_t tens_offset) noexcept {
    digit_placements out;
    if (volume < 0 || volume > 100) return out;
    const int32_t h10 = tens_height > 0 ? tens_height / tens_glyph_count : 0;
    if (tens_width > 0 && h10 > 0) {
        out.has_tens = true;
        out.tens.dst_x = int64_t{icon_width} - tens_offset - tens_width;
        out.tens.dst_y = int64_t{icon_height} - h10;
        out.tens.src_y = glyph_row(tens_height, tens_glyph_count, volume / 10);
        out.tens.width = tens_width;
        out.tens.height = h10;
    }
    const int32_t h1 = ones_height > 0 ? ones_height / ones_glyph_count : 0;
    if (ones_width > 0 && h1 > 0) {
        out.has_ones = true;
        out.ones.dst_x = int64_t{icon_width} - ones_width;
        out.ones.dst_y = int64_t{icon_height} - h1;
        out.ones.src_y = glyph_row(ones_height, ones_glyph_count, volume % 10);
        out.ones.width = ones_width;
        out.ones.height = h1;
    }
    return out;
}

tint tint_of(uint32_t colorref) noexcept {
    tint t;
    t.r = static_cast<uint8_t>(255 - (colorref & 0xFFu));
    t.g = static_cast<uint8_t>(255 - ((colorref >> 8) & 0xFFu));
    t.b = static_cast<uint8_t>(255 - ((colorref >> 16) & 0xFFu));
    return t;
}

void draw_glyph(image destination, const const_image& source, const copy_rect& rect,
                const tint& tinting) noexcept {
    for_each_pixel(destination, source, rect, [&tinting](uint8_t* d, const uint8_t* s) {
        lay_over(d, std::max(0, s[0] - tinting.b), std::max(0, s[1] - tinting.g),
                 std::max(0, s[2] - tinting.r), s[3]);
    });
}

void draw_overlay(image destination, const const_image& source, const copy_rect& rect) noexcept {
    for_each_pixel(destination, source, rect,
                   [](uint8_t* d, const uint8_t* s) { lay_over(d, s[0], s[1], s[2], s[3]); });
}

void apply_mask_color(image picture, uint32_t mask_colorref) noexcept {
    if (is_empty(picture)) return;
    const uint8_t r = static_cast<uint8_t>(mask_colorref & 0xFFu);
    const uint8_t g = static_cast<uint8_t>((mask_colorref >> 8) & 0xFFu);
    const uint8_t b = static_cast<uint8_t>((mask_colorref >> 16) & 0xFFu);
    const size_t count = static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height);
    uint8_t* p = picture.bits;
    for (size_t i = 0; i < count; ++i, p += 4) {
        if (p[0] == b && p[1] == g && p[2] == r)
            std::memset(p, 0, 4);
        else
            p[3] = 255;
    }
}

void copy_rows(image destination, const uint8_t* source, int64_t stride) noexcept {
    if (is_empty(destination) || !source) return;
    const size_t bytes = row_bytes(destination.width);
    for (int32_t y = 0; y < destination.height; ++y)
        std::memcpy(pixel_at(destination, 0, y), source + stride * y, bytes);
}

int32_t whole_scale(int32_t base_width, int32_t base_height, int32_t asked_width,
                    int32_t asked_height) noexcept {
    if (base_width <= 0 || base_height <= 0 || asked_width <= 0 || asked_height <= 0) return 0;
    return std::min(asked_width / base_width, asked_height / base_height);
}

size_t best_fit(const picture_size* sizes, size_t count, int32_t asked_width,
                int32_t asked_height) noexcept {
    size_t best = count;
    int64_t best_cover = -1, best_area = 0;
    size_t smallest = count;
    int64_t smallest_area = 0;
    for (size_t i = 0; sizes && i < count; ++i) {
        const int64_t area = int64_t{sizes[i].width} * sizes[i].height;
        if (sizes[i].width <= 0 || sizes[i].height <= 0) continue;
        if (smallest == count || area < smallest_area) smallest = i, smallest_area = area;
        const int64_t k = whole_scale(sizes[i].width, sizes[i].height, asked_width, asked_height);
        if (k == 0) continue;
        const int64_t cover = k * k * area;
        if (cover > best_cover || (cover == best_cover && area > best_area))
            best = i, best_cover = cover, best_area = area;
    }
    return best != count ? best : smallest;
}

void scale_centered(image destination, const const_image& source, int32_t factor) noexcept {
    if (is_empty(destination)) return;
    std::memset(destination.bits, 0,
                row_bytes(destination.width) * static_cast<size_t>(destination.height));
    if (is_empty(source) || factor <= 0) return;
    const int64_t left = (int64_t{destination.width} - int64_t{source.width} * factor) / 2;
    const int64_t top = (int64_t{destination.height} - int64_t{source.height} * factor) / 2;
    for (int32_t y = 0; y < destination.height; ++y) {
        const int64_t sy = (y - top) >= 0 ? (y - top) / factor : -1;
        if (sy < 0 || sy >= source.height) continue;
        for (int32_t x = 0; x < destination.width; ++x) {
            const int64_t sx = (x - left) >= 0 ? (x - left) / factor : -1;
            if (sx < 0 || sx >= source.width) continue;
            std::memcpy(pixel_at(destination, x, y),
                        pixel_at(source, static_cast<int32_t>(sx), static_cast<int32_t>(sy)), 4);
        }
    }
}

void compose(image work, const layers& pictures, int32_t volume, uint32_t colorref, bool muted,
             bool error) noexcept {
    if (is_empty(work)) return;
    std::memset(work.bits, 0, row_bytes(work.width) * static_cast<size_t>(work.height));
    copy_rect rect;
    const const_image& base = pictures.base;
    if (!is_empty(base) && clip(placement{0, 0, 0, 0, base.width, base.height}, work.width,
                                work.height, base.width, base.height, rect)) {
        for (int32_t y = 0; y < rect.height; ++y)
            std::memcpy(pixel_at(work, 0, y), pixel_at(base, 0, y),
                        static_cast<size_t>(rect.width) * 4);
    }

    const const_image& tens = pictures.tens;
    const const_image& ones = pictures.ones;
    const digit_placements digits =
        place_digits(volume, work.width, work.height, is_empty(tens) ? 0 : tens.width,
                     is_empty(tens) ? 0 : tens.height, is_empty(ones) ? 0 : ones.width,
                     is_empty(ones) ? 0 : ones.height, pictures.tens_offset);
    const tint tinting = tint_of(colorref);
    if (digits.has_tens &&
        clip(digits.tens, work.width, work.height, tens.width, tens.height, rect))
        draw_glyph(work, tens, rect, tinting);
    if (digits.has_ones &&
        clip(digits.ones, work.width, work.height, ones.width, ones.height, rect))
        draw_glyph(work, ones, rect, tinting);

    if (muted && !is_empty(pictures.mute)) overlay_whole(work, pictures.mute);
    if (error && !is_empty(pictures.error)) overlay_whole(work, pictures.error);
}

} // namespace tray_pixels
