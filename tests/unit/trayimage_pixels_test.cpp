// The tray icon's pixel arithmetic, checked pixel by pixel with expected
// values worked out by hand from the rules (not from the code).

#include "trayimage/trayimage_pixels.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstdint>
#include <vector>

using namespace tray_pixels;

namespace {

using bgra = std::array<int, 4>; // B, G, R, A

// A picture owning its pixels.
struct canvas {
    int32_t width;
    int32_t height;
    std::vector<uint8_t> bits;

    canvas(int32_t w, int32_t h, bgra fill = {0, 0, 0, 0})
        : width(w), height(h), bits(size_t(w) * size_t(h) * 4) {
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) set(x, y, fill);
    }
    image view() { return {bits.data(), width, height}; }
    const_image cview() const { return {bits.data(), width, height}; }
    void set(int32_t x, int32_t y, bgra p) {
        uint8_t* d = &bits[(size_t(y) * size_t(width) + size_t(x)) * 4];
        for (int i = 0; i < 4; ++i) d[i] = uint8_t(p[size_t(i)]);
    }
    bgra at(int32_t x, int32_t y) const {
        const uint8_t* d = &bits[(size_t(y) * size_t(width) + size_t(x)) * 4];
        return {d[0], d[1], d[2], d[3]};
    }
};

copy_rect whole(int32_t w, int32_t h) {
    return copy_rect{0, 0, 0, 0, w, h};
}

constexpr bgra transparent{0, 0, 0, 0};

// --- Glyph rule ------------------------------------------------------------

struct colour_case {
    uint32_t colorref;
    bgra expected; // of a white opaque glyph pixel
};

class white_glyph : public ::testing::TestWithParam<colour_case> {};

TEST_P(white_glyph, takes_the_colour_exactly) {
    canvas glyph(1, 1, {255, 255, 255, 255});
    canvas work(1, 1, {9, 9, 9, 0});
    draw_glyph(work.view(), glyph.cview(), whole(1, 1), tint_of(GetParam().colorref));
    EXPECT_EQ(work.at(0, 0), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(colours, white_glyph,
                         ::testing::Values(colour_case{0x0000FF00, {0, 255, 0, 255}},
                                           colour_case{0x000000FF, {0, 0, 255, 255}},
                                           colour_case{0x00FF0000, {255, 0, 0, 255}},
                                           colour_case{0x00123456, {0x12, 0x34, 0x56, 255}},
                                           colour_case{0x00000000, {0, 0, 0, 255}},
                                           colour_case{0x00FFFFFF, {255, 255, 255, 255}},
                                           // The unused high byte of a COLORREF plays no part.
                                           colour_case{0xAB00FF00, {0, 255, 0, 255}}));

TEST(glyph_rule, darker_glyph_pixels_lose_the_tint_and_stop_at_zero) {
    // Colour green: the tint removes 255 from red and blue, nothing from green.
    canvas glyph(3, 1);
    glyph.set(0, 0, {128, 128, 128, 255});
    glyph.set(1, 0, {0, 0, 0, 255}); // a black edge stays black whatever the colour
    glyph.set(2, 0, {200, 100, 50, 255});
    canvas work(3, 1, {7, 7, 7, 7});
    draw_glyph(work.view(), glyph.cview(), whole(3, 1), tint_of(0x0000FF00));
    EXPECT_EQ(work.at(0, 0), (bgra{0, 128, 0, 255}));
    EXPECT_EQ(work.at(1, 0), (bgra{0, 0, 0, 255}));
    EXPECT_EQ(work.at(2, 0), (bgra{0, 100, 0, 255}));
    // Colour (R 200, G 100, B 0): tint R 55, G 155, B 255.
    canvas work2(3, 1);
    draw_glyph(work2.view(), glyph.cview(), whole(3, 1), tint_of(0x000064C8));
    EXPECT_EQ(work2.at(0, 0), (bgra{0, 0, 73, 255}));
    EXPECT_EQ(work2.at(2, 0), (bgra{0, 0, 0, 255}));
}

TEST(glyph_rule, partial_alpha_blends_by_the_formula) {
    // White glyph, alpha 128, colour (R 200, G 100, B 0) over (B 10, G 200, R 50, A 100):
    // B 10 + (128 * (0 - 10) >> 8) = 10 - 5 = 5
    // G 200 + (128 * (100 - 200) >> 8) = 200 - 50 = 150
    // R 50 + (128 * (200 - 50) >> 8) = 50 + 75 = 125
    // A 128 + (127 * 100 >> 8) = 128 + 49 = 177
    canvas glyph(1, 1, {255, 255, 255, 128});
    canvas work(1, 1, {10, 200, 50, 100});
    draw_glyph(work.view(), glyph.cview(), whole(1, 1), tint_of(0x000064C8));
    EXPECT_EQ(work.at(0, 0), (bgra{5, 150, 125, 177}));
}

TEST(glyph_rule, the_shift_of_a_negative_difference_rounds_down) {
    // Alpha 1 over 10 towards 0: 10 + (1 * -10 >> 8) = 10 + (-1) = 9, never out of range.
    canvas glyph(2, 1);
    glyph.set(0, 0, {0, 0, 0, 1});
    glyph.set(1, 0, {255, 255, 255, 254});
    canvas work(2, 1);
    work.set(0, 0, {10, 0, 255, 0});
    work.set(1, 0, {0, 255, 0, 255});
    draw_glyph(work.view(), glyph.cview(), whole(2, 1), tint_of(0x00FFFFFF));
    // (B 10 -> 9; G 0 + (1 * 0 >> 8) = 0; R 255 + (1 * -255 >> 8) = 254; A 1 + (254 * 0 >> 8) = 1)
    EXPECT_EQ(work.at(0, 0), (bgra{9, 0, 254, 1}));
    // Alpha 254 of white over (0, 255, 0, 255): B 0 + (254 * 255 >> 8) = 253,
    // G stays 255, R 253, A 254 + (1 * 255 >> 8) = 254.
    EXPECT_EQ(work.at(1, 0), (bgra{253, 255, 253, 254}));
}

TEST(glyph_rule, transparent_glyph_pixels_leave_the_destination) {
    canvas glyph(2, 2, {255, 255, 255, 0});
    canvas work(2, 2, {1, 2, 3, 4});
    draw_glyph(work.view(), glyph.cview(), whole(2, 2), tint_of(0x0000FF00));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) EXPECT_EQ(work.at(x, y), (bgra{1, 2, 3, 4}));
}

// --- Overlay rule -----------------------------------------------------------

TEST(overlay_rule, alpha_zero_leaves_full_alpha_copies_partial_blends) {
    canvas overlay(3, 1);
    overlay.set(0, 0, {200, 100, 50, 0});
    overlay.set(1, 0, {200, 100, 50, 255});
    overlay.set(2, 0, {200, 100, 50, 64});
    canvas work(3, 1, {40, 40, 40, 200});
    draw_overlay(work.view(), overlay.cview(), whole(3, 1));
    EXPECT_EQ(work.at(0, 0), (bgra{40, 40, 40, 200}));
    EXPECT_EQ(work.at(1, 0), (bgra{200, 100, 50, 255}));
    // 40 + (160 * 64 >> 8) = 80; 40 + (60 * 64 >> 8) = 55; 40 + (10 * 64 >> 8) = 42;
    // alpha 64 + (191 * 200 >> 8) = 64 + 149 = 213.
    EXPECT_EQ(work.at(2, 0), (bgra{80, 55, 42, 213}));
}

TEST(overlay_rule, is_not_tinted_and_shows_on_a_transparent_pixel) {
    canvas overlay(1, 1, {0, 0, 255, 128});
    canvas work(1, 1);
    draw_overlay(work.view(), overlay.cview(), whole(1, 1));
    // R 0 + (255 * 128 >> 8) = 127; alpha 128 + 0 = 128.
    EXPECT_EQ(work.at(0, 0), (bgra{0, 0, 127, 128}));
}

// --- Mask colour ------------------------------------------------------------

TEST(mask_colour, matching_pixels_vanish_and_all_others_become_opaque) {
    canvas picture(4, 1);
    picture.set(0, 0, {255, 0, 255, 0});   // magenta
    picture.set(1, 0, {255, 0, 254, 0});   // nearly magenta
    picture.set(2, 0, {10, 20, 30, 77});   // any other colour
    picture.set(3, 0, {255, 0, 255, 255}); // magenta, whatever its alpha
    apply_mask_color(picture.view(), 0x00FF00FF);
    EXPECT_EQ(picture.at(0, 0), transparent);
    EXPECT_EQ(picture.at(1, 0), (bgra{255, 0, 254, 255}));
    EXPECT_EQ(picture.at(2, 0), (bgra{10, 20, 30, 255}));
    EXPECT_EQ(picture.at(3, 0), transparent);
}

TEST(mask_colour, compares_in_colorref_order) {
    // COLORREF 0x00332211 is R 0x11, G 0x22, B 0x33.
    canvas picture(2, 1);
    picture.set(0, 0, {0x33, 0x22, 0x11, 255});
    picture.set(1, 0, {0x11, 0x22, 0x33, 255});
    apply_mask_color(picture.view(), 0x00332211);
    EXPECT_EQ(picture.at(0, 0), transparent);
    EXPECT_EQ(picture.at(1, 0), (bgra{0x11, 0x22, 0x33, 255}));
}

// --- Clipping ---------------------------------------------------------------

struct clip_case {
    const char* what;
    placement wanted;
    int32_t dst_w, dst_h, src_w, src_h;
    bool drawn;
    copy_rect expected;
};

class clipping : public ::testing::TestWithParam<clip_case> {};

TEST_P(clipping, keeps_what_lies_in_both_pictures) {
    const clip_case& c = GetParam();
    copy_rect out;
    ASSERT_EQ(clip(c.wanted, c.dst_w, c.dst_h, c.src_w, c.src_h, out), c.drawn) << c.what;
    if (!c.drawn) return;
    EXPECT_EQ(out.dst_x, c.expected.dst_x) << c.what;
    EXPECT_EQ(out.dst_y, c.expected.dst_y) << c.what;
    EXPECT_EQ(out.src_x, c.expected.src_x) << c.what;
    EXPECT_EQ(out.src_y, c.expected.src_y) << c.what;
    EXPECT_EQ(out.width, c.expected.width) << c.what;
    EXPECT_EQ(out.height, c.expected.height) << c.what;
}

constexpr int64_t huge = int64_t{1} << 50;

INSTANTIATE_TEST_SUITE_P(
    table, clipping,
    ::testing::Values(
        clip_case{"inside", {3, 8, 0, 16, 8, 8}, 16, 16, 8, 88, true, {3, 8, 0, 16, 8, 8}},
        clip_case{"negative x skips the left columns",
                  {-3, 8, 0, 16, 8, 8},
                  16,
                  16,
                  8,
                  88,
                  true,
                  {0, 8, 3, 16, 5, 8}},
        clip_case{"negative y skips the top rows",
                  {0, -2, 0, 0, 16, 16},
                  16,
                  16,
                  16,
                  16,
                  true,
                  {0, 0, 0, 2, 16, 14}},
        clip_case{
            "past the right edge", {12, 0, 0, 0, 8, 8}, 16, 16, 8, 8, true, {12, 0, 0, 0, 4, 8}},
        clip_case{
            "past the bottom edge", {0, 12, 0, 8, 8, 8}, 16, 16, 8, 16, true, {0, 12, 0, 8, 8, 4}},
        clip_case{"picture larger than the icon",
                  {0, 0, 0, 0, 32, 32},
                  16,
                  16,
                  32,
                  32,
                  true,
                  {0, 0, 0, 0, 16, 16}},
        clip_case{"source smaller than asked",
                  {0, 0, 0, 0, 16, 16},
                  16,
                  16,
                  4,
                  6,
                  true,
                  {0, 0, 0, 0, 4, 6}},
        clip_case{
            "source rows run out", {0, 0, 0, 20, 8, 8}, 16, 16, 8, 24, true, {0, 0, 0, 20, 8, 4}},
        clip_case{"entirely left", {-8, 0, 0, 0, 8, 8}, 16, 16, 8, 8, false, {}},
        clip_case{"entirely right", {16, 0, 0, 0, 8, 8}, 16, 16, 8, 8, false, {}},
        clip_case{"entirely below the source", {0, 0, 0, 24, 8, 8}, 16, 16, 8, 24, false, {}},
        clip_case{"zero width", {0, 0, 0, 0, 0, 8}, 16, 16, 8, 8, false, {}},
        clip_case{"negative height", {0, 0, 0, 0, 8, -1}, 16, 16, 8, 8, false, {}},
        clip_case{"empty destination", {0, 0, 0, 0, 8, 8}, 0, 16, 8, 8, false, {}},
        clip_case{"empty source", {0, 0, 0, 0, 8, 8}, 16, 16, 8, 0, false, {}},
        clip_case{"far left", {-huge, 0, 0, 0, 8, 8}, 16, 16, 8, 8, false, {}},
        clip_case{"far right", {huge, 0, 0, 0, 8, 8}, 16, 16, 8, 8, false, {}},
        clip_case{
            "huge size from far left", {-huge, 0, 0, 0, huge + 4, 8}, 16, 16, 8, 8, false, {}},
        clip_case{"huge size", {0, 0, 0, 0, huge, 8}, 16, 16, 8, 8, false, {}},
        clip_case{"large but bounded size",
                  {0, 0, 0, 0, INT32_MAX, INT32_MAX},
                  16,
                  16,
                  8,
                  8,
                  true,
                  {0, 0, 0, 0, 8, 8}}));

// --- Digits -----------------------------------------------------------------

TEST(glyph_rows, each_glyph_is_an_equal_share_of_the_strip) {
    EXPECT_EQ(glyph_row(88, 11, 0), 0);
    EXPECT_EQ(glyph_row(88, 11, 10), 80);
    EXPECT_EQ(glyph_row(80, 10, 7), 56);
    // 25 rows for 11 glyphs: 2 rows each, the last three rows unused.
    EXPECT_EQ(glyph_row(25, 11, 10), 20);
    EXPECT_EQ(glyph_row(5, 11, 3), 0);
    EXPECT_EQ(glyph_row(80, 10, 10), 0); // no such glyph
    EXPECT_EQ(glyph_row(80, 10, -1), 0);
    EXPECT_EQ(glyph_row(80, 0, 1), 0);
}

struct digit_case {
    int32_t volume;
    bool drawn;
    int64_t tens_row, ones_row;
};

class digits_of_volume : public ::testing::TestWithParam<digit_case> {};

TEST_P(digits_of_volume, choose_the_glyphs) {
    const digit_case& c = GetParam();
    // 16 x 16 icon, tens strip 8 x 88 (8 rows a glyph), ones strip 5 x 80.
    const digit_placements p = place_digits(c.volume, 16, 16, 8, 88, 5, 80, 5);
    EXPECT_EQ(p.has_tens, c.drawn);
    EXPECT_EQ(p.has_ones, c.drawn);
    if (!c.drawn) return;
    EXPECT_EQ(p.tens.src_y, c.tens_row);
    EXPECT_EQ(p.ones.src_y, c.ones_row);
    // Tens: x = 16 - 5 - 8, y = 16 - 8; ones: x = 16 - 5, y = 16 - 8.
    EXPECT_EQ(p.tens.dst_x, 3);
    EXPECT_EQ(p.tens.dst_y, 8);
    EXPECT_EQ(p.ones.dst_x, 11);
    EXPECT_EQ(p.ones.dst_y, 8);
    EXPECT_EQ(p.tens.width, 8);
    EXPECT_EQ(p.tens.height, 8);
    EXPECT_EQ(p.ones.width, 5);
    EXPECT_EQ(p.ones.height, 8);
}

INSTANTIATE_TEST_SUITE_P(table, digits_of_volume,
                         ::testing::Values(digit_case{100, true, 80, 0}, digit_case{7, true, 0, 56},
                                           digit_case{0, true, 0, 0}, digit_case{99, true, 72, 72},
                                           digit_case{10, true, 8, 0}, digit_case{-1, false, 0, 0},
                                           digit_case{101, false, 0, 0},
                                           digit_case{INT32_MIN, false, 0, 0},
                                           digit_case{INT32_MAX, false, 0, 0}));

TEST(digit_offset, moves_the_tens_glyph_and_never_overflows) {
    struct {
        int32_t offset;
        int64_t x;
    } cases[] = {{0, 8},
                 {5, 3},
                 {-3, 11},
                 {20, -12},
                 {INT32_MAX, 16 - int64_t{INT32_MAX} - 8},
                 {INT32_MIN, 16 - int64_t{INT32_MIN} - 8}};
    for (const auto& c : cases) {
        const digit_placements p = place_digits(42, 16, 16, 8, 88, 5, 80, c.offset);
        EXPECT_EQ(p.tens.dst_x, c.x) << c.offset;
        EXPECT_EQ(p.ones.dst_x, 11) << c.offset; // the ones glyph never moves
    }
}

TEST(digit_strips, too_short_or_missing_strips_place_nothing) {
    // 10 rows cannot hold 11 glyphs; a missing ones strip leaves the tens alone.
    digit_placements p = place_digits(50, 16, 16, 8, 10, 0, 0, 5);
    EXPECT_FALSE(p.has_tens);
    EXPECT_FALSE(p.has_ones);
    p = place_digits(50, 16, 16, 8, 88, 5, 9, 5);
    EXPECT_TRUE(p.has_tens);
    EXPECT_FALSE(p.has_ones);
}

// --- Whole composition ------------------------------------------------------

// Strips whose every glyph is a solid white block with a marker pixel at its
// top left whose blue channel is the glyph index (tinting with white keeps it).
canvas marked_strip(int32_t width, int32_t glyph_height, int32_t count) {
    canvas strip(width, glyph_height * count, {255, 255, 255, 255});
    for (int32_t i = 0; i < count; ++i) strip.set(0, i * glyph_height, {i, 255, 255, 255});
    return strip;
}

struct composition : ::testing::Test {
    canvas base{16, 16, {50, 60, 70, 255}};
    canvas tens = marked_strip(8, 8, 11);
    canvas ones = marked_strip(5, 8, 10);
    canvas mute{16, 16};
    canvas error{16, 16};
    canvas work{16, 16, {1, 1, 1, 1}};

    layers pictures(int32_t offset = 5) const {
        layers l;
        l.base = base.cview();
        l.tens = tens.cview();
        l.ones = ones.cview();
        l.mute = mute.cview();
        l.error = error.cview();
        l.tens_offset = offset;
        return l;
    }
};

TEST_F(composition, volume_100_draws_tens_glyph_10_and_ones_glyph_0) {
    compose(work.view(), pictures(), 100, 0x00FFFFFF, false, false);
    EXPECT_EQ(work.at(3, 8)[0], 10);                   // tens glyph 10 at x 3, y 8
    EXPECT_EQ(work.at(11, 8)[0], 0);                   // ones glyph 0 at x 11
    EXPECT_EQ(work.at(2, 8), (bgra{50, 60, 70, 255})); // left of the digits: the base
    EXPECT_EQ(work.at(3, 7), (bgra{50, 60, 70, 255})); // above them
    EXPECT_EQ(work.at(15, 15), (bgra{255, 255, 255, 255}));
}

TEST_F(composition, volume_7_draws_tens_glyph_0_and_ones_glyph_7) {
    compose(work.view(), pictures(), 7, 0x00FFFFFF, false, false);
    EXPECT_EQ(work.at(3, 8)[0], 0);
    EXPECT_EQ(work.at(11, 8)[0], 7);
}

TEST_F(composition, out_of_range_volumes_draw_no_digits) {
    for (int32_t volume : {-1, 101, INT32_MIN}) {
        compose(work.view(), pictures(), volume, 0x00FFFFFF, false, false);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                ASSERT_EQ(work.at(x, y), (bgra{50, 60, 70, 255})) << volume;
    }
}

TEST_F(composition, digits_take_the_colour) {
    compose(work.view(), pictures(), 55, 0x000080FF, false, false); // R 255, G 128, B 0
    EXPECT_EQ(work.at(12, 10), (bgra{0, 128, 255, 255}));
    EXPECT_EQ(work.at(5, 10), (bgra{0, 128, 255, 255}));
}

TEST_F(composition, overlays_come_after_the_digits_error_last) {
    mute.set(12, 12, {0, 0, 200, 255});
    mute.set(0, 0, {0, 0, 200, 255});
    error.set(0, 0, {0, 200, 0, 255});
    compose(work.view(), pictures(), 55, 0x00FFFFFF, true, true);
    EXPECT_EQ(work.at(12, 12), (bgra{0, 0, 200, 255})); // mute over a digit
    EXPECT_EQ(work.at(0, 0), (bgra{0, 200, 0, 255}));   // error over mute
    compose(work.view(), pictures(), 55, 0x00FFFFFF, false, false);
    EXPECT_EQ(work.at(0, 0), (bgra{50, 60, 70, 255})); // nothing left over from before
    compose(work.view(), pictures(), 55, 0x00FFFFFF, true, false);
    EXPECT_EQ(work.at(0, 0), (bgra{0, 0, 200, 255}));
}

TEST_F(composition, a_larger_base_is_cut_a_smaller_one_leaves_the_rest_transparent) {
    canvas big(20, 20, {9, 9, 9, 255});
    big.set(15, 15, {1, 2, 3, 255});
    layers l = pictures();
    l.base = big.cview();
    compose(work.view(), l, -1, 0, false, false);
    EXPECT_EQ(work.at(15, 15), (bgra{1, 2, 3, 255}));

    canvas small(4, 4, {9, 9, 9, 255});
    l.base = small.cview();
    compose(work.view(), l, -1, 0, false, false);
    EXPECT_EQ(work.at(3, 3), (bgra{9, 9, 9, 255}));
    EXPECT_EQ(work.at(4, 3), transparent);
    EXPECT_EQ(work.at(3, 4), transparent);
}

TEST_F(composition, glyphs_larger_than_the_icon_are_clipped) {
    // A 32-pixel digit set on a 16-pixel icon: only the glyphs' lower right
    // parts fit, and nothing is written outside the work picture.
    canvas big_tens = marked_strip(16, 16, 11);
    canvas big_ones = marked_strip(10, 16, 10);
    std::vector<uint8_t> guarded(16 * 16 * 4 + 64, 0xCC);
    image guarded_work{guarded.data() + 32, 16, 16};
    layers l = pictures(10);
    l.tens = big_tens.cview();
    l.ones = big_ones.cview();
    compose(guarded_work, l, 42, 0x00FFFFFF, false, false);
    for (size_t i = 0; i < 32; ++i) {
        EXPECT_EQ(guarded[i], 0xCC);
        EXPECT_EQ(guarded[guarded.size() - 1 - i], 0xCC);
    }
    // Tens at x = 16 - 10 - 16 = -10: its columns 10..15 land on x 0..5.
    EXPECT_EQ(guarded_work.bits[(0 * 16 + 0) * 4 + 3], 255);
}

TEST_F(composition, negative_offset_moves_the_tens_glyph_right_and_clips_it) {
    // Offset -1: tens at x = 16 + 1 - 8 = 9, cut at the right edge; the ones
    // glyph, drawn second, covers it from x 11 on.
    compose(work.view(), pictures(-1), 42, 0x00FFFFFF, false, false);
    EXPECT_EQ(work.at(9, 8)[0], 4);
    EXPECT_EQ(work.at(8, 8), (bgra{50, 60, 70, 255}));
    EXPECT_EQ(work.at(11, 8)[0], 2);
    // Offset -8: the tens glyph lies wholly beyond the edge, only the ones show.
    compose(work.view(), pictures(-8), 42, 0x00FFFFFF, false, false);
    EXPECT_EQ(work.at(10, 15), (bgra{50, 60, 70, 255}));
    EXPECT_EQ(work.at(11, 8)[0], 2);
}

TEST_F(composition, missing_pictures_are_skipped) {
    layers none;
    compose(work.view(), none, 55, 0x00FFFFFF, true, true);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) ASSERT_EQ(work.at(x, y), transparent);
    layers digits_only;
    digits_only.ones = ones.cview();
    compose(work.view(), digits_only, 55, 0x00FFFFFF, false, false);
    EXPECT_EQ(work.at(11, 8)[0], 5);
    EXPECT_EQ(work.at(3, 8), transparent);
}

TEST(copy_rows, reads_top_down_and_bottom_up_sources) {
    const uint8_t rows[3][8] = {
        {1, 1, 1, 1, 2, 2, 2, 2}, {3, 3, 3, 3, 4, 4, 4, 4}, {5, 5, 5, 5, 6, 6, 6, 6}};
    canvas down(2, 3), up(2, 3);
    copy_rows(down.view(), &rows[0][0], 8);
    copy_rows(up.view(), &rows[2][0], -8); // bottom-up: the top row is the last in memory
    EXPECT_EQ(down.at(1, 0), (bgra{2, 2, 2, 2}));
    EXPECT_EQ(down.at(0, 2), (bgra{5, 5, 5, 5}));
    EXPECT_EQ(up.at(1, 0), (bgra{6, 6, 6, 6}));
    EXPECT_EQ(up.at(0, 2), (bgra{1, 1, 1, 1}));
}

TEST(picture_size, refuses_empty_and_oversized_pictures) {
    EXPECT_TRUE(size_acceptable(1, 1));
    EXPECT_TRUE(size_acceptable(16, 176));
    EXPECT_TRUE(size_acceptable(max_side, max_side));
    EXPECT_FALSE(size_acceptable(0, 16));
    EXPECT_FALSE(size_acceptable(16, 0));
    EXPECT_FALSE(size_acceptable(max_side + 1, 1));
    EXPECT_FALSE(size_acceptable(1, int64_t{1} << 32));
    EXPECT_FALSE(size_acceptable(-1, 5));
}

} // namespace

TEST(whole_scale, is_the_largest_factor_that_still_fits_both_sides) {
    const struct {
        int32_t base_w, base_h, asked_w, asked_h, factor;
    } cases[] = {
        {16, 16, 16, 16, 1}, {16, 16, 24, 24, 1}, {16, 16, 32, 32, 2},  {16, 16, 47, 47, 2},
        {16, 16, 48, 48, 3}, {8, 16, 32, 32, 2},  {24, 24, 16, 16, 0},  {16, 17, 64, 16, 0},
        {0, 16, 16, 16, 0},  {16, 16, 0, 0, 0},   {-16, 16, 32, 32, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(whole_scale(c.base_w, c.base_h, c.asked_w, c.asked_h), c.factor)
            << c.base_w << "x" << c.base_h << " in " << c.asked_w << "x" << c.asked_h;
}

TEST(best_fit, covers_most_of_the_asked_size_the_larger_picture_on_a_tie) {
    const picture_size sizes[] = {{16, 16}, {24, 24}, {32, 32}, {0, 0}};
    const struct {
        int32_t asked;
        size_t chosen;
    } cases[] = {
        {16, 0}, {20, 0}, {24, 1}, {32, 2}, // 16 x 2 covers 32 too: the larger wins
        {40, 2}, {48, 1},                   // 16 x 3 and 24 x 2 both cover 48
        {8, 0},                             // none fits: the smallest
    };
    for (const auto& c : cases)
        EXPECT_EQ(best_fit(sizes, 4, c.asked, c.asked), c.chosen) << c.asked;
    const picture_size none[] = {{0, 0}, {-1, 5}};
    EXPECT_EQ(best_fit(none, 2, 16, 16), 2u) << "nothing loaded";
    EXPECT_EQ(best_fit(nullptr, 0, 16, 16), 0u);
}

TEST(scale_centered, enlarges_every_pixel_to_a_square_in_the_middle) {
    canvas source(2, 1);
    source.set(0, 0, {1, 2, 3, 255});
    source.set(1, 0, {4, 5, 6, 128});
    canvas target(6, 4, {9, 9, 9, 9});
    scale_centered(target.view(), source.cview(), 2);
    // 4 x 2 pixels drawn at (1, 1); everything else cleared.
    const char* expected[] = {"......", ".aabb.", ".aabb.", "......"};
    for (int32_t y = 0; y < 4; ++y)
        for (int32_t x = 0; x < 6; ++x) {
            const char c = expected[y][x];
            const bgra want = c == 'a'   ? bgra{1, 2, 3, 255}
                              : c == 'b' ? bgra{4, 5, 6, 128}
                                         : bgra{0, 0, 0, 0};
            EXPECT_EQ(target.at(x, y), want) << x << "," << y;
        }
    // A source larger than the target is cut around its middle, not read past.
    canvas wide(4, 4, {7, 7, 7, 255});
    canvas small(2, 2);
    scale_centered(small.view(), wide.cview(), 1);
    EXPECT_EQ(small.at(0, 0), (bgra{7, 7, 7, 255}));
    EXPECT_EQ(small.at(1, 1), (bgra{7, 7, 7, 255}));
    scale_centered(small.view(), wide.cview(), 0);
    EXPECT_EQ(small.at(0, 0), (bgra{0, 0, 0, 0})) << "no factor: cleared";
}
