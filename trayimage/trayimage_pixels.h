#pragma once
// Pixel arithmetic of the tray icon: glyph tinting, overlays, the mask colour,
// where the volume digits go and how drawing is clipped. Plain functions over
// 32-bit pictures so that they can be checked pixel by pixel and fuzzed
// without Windows.

#include <cstddef>
#include <cstdint>

namespace tray_pixels {

// A 32-bit picture: rows top-down, each width * 4 bytes, pixels B, G, R, A in
// memory order (the layout of a top-down 32-bit DIB section).
struct image {
    uint8_t* bits = nullptr;
    int32_t width = 0;
    int32_t height = 0;
};

struct const_image {
    const uint8_t* bits = nullptr;
    int32_t width = 0;
    int32_t height = 0;

    const_image() noexcept = default;
    const_image(const uint8_t* b, int32_t w, int32_t h) noexcept : bits(b), width(w), height(h) {}
    const_image(const image& i) noexcept : bits(i.bits), width(i.width), height(i.height) {}
};

// A picture with no pixels is skipped by every drawing step.
bool is_empty(const const_image& picture) noexcept;

// Pictures are refused beyond this many pixels a side: a tray icon is at most
// 256 pixels, and a strip of eleven such glyphs still fits.
constexpr int64_t max_side = 4096;
bool size_acceptable(int64_t width, int64_t height) noexcept;

// One copy of a rectangle from a source picture to a destination picture.
template <typename Number> struct rect_copy {
    Number dst_x = 0;
    Number dst_y = 0;
    Number src_x = 0;
    Number src_y = 0;
    Number width = 0;
    Number height = 0;
};
// A copy that fits both pictures.
using copy_rect = rect_copy<int32_t>;
// A copy as asked for, before clipping; 64-bit so that a wild offset from the
// resource file cannot overflow.
using placement = rect_copy<int64_t>;

// Clips a placement to both pictures: pixels that would land outside the
// destination (negative coordinates included) or come from outside the
// source are left out. False when nothing remains to draw, and for
// placements beyond 2^40 pixels, which no picture reaches.
bool clip(const placement& wanted, int32_t dst_width, int32_t dst_height, int32_t src_width,
          int32_t src_height, copy_rect& out) noexcept;

// First row of glyph `index` in a strip of `count` glyphs stacked vertically;
// each glyph is strip_height / count rows high (the remainder rows are unused).
int32_t glyph_row(int32_t strip_height, int32_t count, int32_t index) noexcept;

constexpr int32_t tens_glyph_count = 11; // tens 0..9 and 10 for the value 100
constexpr int32_t ones_glyph_count = 10;

// Where the two volume digits of `volume` go on an icon. Nothing is placed
// for volumes outside 0..100 or for empty strips.
struct digit_placements {
    bool has_tens = false;
    bool has_ones = false;
    placement tens;
    placement ones;
};
digit_placements place_digits(int32_t volume, int32_t icon_width, int32_t icon_height,
                              int32_t tens_width, int32_t tens_height, int32_t ones_width,
                              int32_t ones_height, int32_t tens_offset) noexcept;

// The tint of a colour (COLORREF, 0x00bbggrr): every channel inverted, as a
// B, G, R triple. Subtracting it from a white glyph leaves the colour itself.
struct tint {
    uint8_t b = 0;
    uint8_t g = 0;
    uint8_t r = 0;
};
tint tint_of(uint32_t colorref) noexcept;

// Glyph rule: each glyph pixel with alpha a != 0 loses the tint (not below 0)
// and is laid over the destination; a == 255 replaces it with alpha 255, a
// smaller alpha blends d + (a * (s - d) >> 8) and the alpha becomes
// a + ((255 - a) * alpha >> 8).
void draw_glyph(image destination, const const_image& source, const copy_rect& rect,
                const tint& tinting) noexcept;

// Overlay rule: the glyph rule without tinting.
void draw_overlay(image destination, const const_image& source, const copy_rect& rect) noexcept;

// Pictures without an alpha channel: every pixel of the mask colour (COLORREF)
// becomes transparent black, every other pixel opaque.
void apply_mask_color(image picture, uint32_t mask_colorref) noexcept;

// Copies `height` rows of `width` 32-bit pixels whose first (top) row is at
// `source` and whose rows are `stride` bytes apart (negative for pictures
// stored bottom-up) into a top-down picture of the same size.
void copy_rows(image destination, const uint8_t* source, int64_t stride) noexcept;

// The largest whole factor by which a picture of base_width x base_height
// can be enlarged and still fit asked_width x asked_height: 0 when it does not
// fit even as it is, or when a size is not positive. Whole factors keep every
// pixel a sharp square.
int32_t whole_scale(int32_t base_width, int32_t base_height, int32_t asked_width,
                    int32_t asked_height) noexcept;

// Of `count` pictures of the given sizes (0 x 0 for one that did not load),
// the one that covers most of the asked size when enlarged by whole_scale;
// on a tie the larger picture, which has the finer detail. When none fits,
// the smallest one (the shell shrinks it least). `count` when every size is
// empty.
struct picture_size {
    int32_t width = 0;
    int32_t height = 0;
};
size_t best_fit(const picture_size* sizes, size_t count, int32_t asked_width,
                int32_t asked_height) noexcept;

// Clears `destination` and draws `source` into its middle, every pixel
// `factor` x `factor` pixels; what does not fit is left out.
void scale_centered(image destination, const const_image& source, int32_t factor) noexcept;

// The pictures of one composition; any of them may be empty.
struct layers {
    const_image base;
    const_image mute;
    const_image error;
    const_image tens;
    const_image ones;
    int32_t tens_offset = 0;
};

// The whole icon picture: the base picture (the rest transparent), the volume
// digits in `colorref` for 0..100, then the mute and the error overlay at the
// top left corner.
void compose(image work, const layers& pictures, int32_t volume, uint32_t colorref, bool muted,
             bool error) noexcept;

} // namespace tray_pixels
