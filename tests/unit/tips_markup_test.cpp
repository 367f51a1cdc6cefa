// The tips markup laid out on a canvas with fixed metrics: the base line
// height is 48, every character 12 wide (a quarter of the line height, so
// "S50" halves both). EdgeSize 1 puts lines at x 5 and the first at y 3.

#include "main/tips_markup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int32_t base_line = 48;

// Test names and traces are narrow; the names here are plain ASCII.
std::string ascii(std::wstring_view text) {
    std::string out;
    for (wchar_t c : text) out.push_back(static_cast<char>(c));
    return out;
}

struct drawn_text {
    tips_rect cell;
    std::wstring text;
    tips_align align;
    uint32_t color;
};

struct filled_rect {
    tips_rect rect;
    tips_paint paint;
    uint32_t color;
};

class fixed_canvas final : public tips_canvas {
public:
    void select_font(int32_t percent) override {
        line_ = percent >= 1 && percent <= 99 ? base_line * percent / 100 : base_line;
    }
    int32_t line_height() override { return line_; }
    void measure(std::wstring_view text, int32_t& width, int32_t& height) override {
        width = static_cast<int32_t>(text.size()) * line_ / 4;
        height = text.empty() ? 0 : line_;
    }
    void set_text_color(uint32_t colorref) override { color_ = colorref; }
    void draw_text(const tips_rect& cell, std::wstring_view text, tips_align align) override {
        texts.push_back({cell, std::wstring(text), align, color_});
    }
    void fill(const tips_rect& rect, tips_paint paint) override {
        fills.push_back({rect, paint, color_});
    }

    std::vector<drawn_text> texts;
    std::vector<filled_rect> fills;

private:
    int32_t line_ = base_line;
    uint32_t color_ = 0;
};

tips_style test_style(int32_t edge = 1) {
    tips_style s;
    s.edge_size = edge;
    s.text_color = 0x0000FF00;
    s.text_color2 = 0x000000FF;
    s.background_color = 0x00010203;
    s.screen_width = 1000;
    s.screen_height = 800;
    return s;
}

struct laid_out {
    tips_layout layout;
    fixed_canvas canvas;
};

// Both passes, as the program runs them.
void lay_out(const std::wstring& text, laid_out& out, const tips_style& style = test_style()) {
    out.layout = measure_tips(text, style, out.canvas);
    out.canvas.texts.clear();
    out.canvas.fills.clear();
    draw_tips(text, style, out.canvas, out.layout);
}

struct line_case {
    const wchar_t* name;
    std::wstring text;
    std::vector<std::pair<int32_t, int32_t>> lines; // width (right edge), bottom
    int32_t box_width;
    int32_t box_height;
};

class markup_lines : public ::testing::TestWithParam<line_case> {};

TEST_P(markup_lines, give_line_widths_bottoms_and_box) {
    const line_case& c = GetParam();
    laid_out r;
    lay_out(c.text, r);
    ASSERT_EQ(r.layout.line_count, c.lines.size());
    int32_t widest = 5;
    for (size_t i = 0; i < c.lines.size(); ++i) {
        EXPECT_EQ(r.layout.line_width[i], c.lines[i].first) << "line " << i;
        EXPECT_EQ(r.layout.line_bottom[i], c.lines[i].second) << "line " << i;
        widest = std::max(widest, c.lines[i].first);
    }
    EXPECT_EQ(r.layout.widest, widest);
    EXPECT_EQ(r.layout.box_width, c.box_width);
    EXPECT_EQ(r.layout.box_height, c.box_height);
}

INSTANTIATE_TEST_SUITE_P(
    table, markup_lines,
    ::testing::Values(
        line_case{L"one_run", L"abc", {{41, 51}}, 46, 54},
        // "&&{": a literal "&", then a block.
        line_case{L"ampersand_before_block", L"&&{C2}x", {{29, 51}}, 34, 54},
        line_case{L"lone_ampersand", L"a&b", {{41, 51}}, 46, 54},
        line_case{L"every_line_break",
                  L"a\r\nbb\rccc\nd",
                  {{17, 51}, {29, 99}, {41, 147}, {17, 195}},
                  46,
                  198},
        // A line is as tall as its runs: one without any takes no room. A
        // final break opens no line.
        line_case{L"blank_line", L"a\n\nb", {{17, 51}, {5, 51}, {17, 99}}, 22, 102},
        line_case{L"line_of_commands_only", L"&{H-1}\nabc", {{5, 3}, {41, 51}}, 46, 54},
        line_case{L"final_break", L"abc\n", {{41, 51}}, 46, 54},
        line_case{L"empty_text", L"", {}, 10, 6},
        // The block is skipped up to "}", line breaks inside it included.
        line_case{L"break_inside_block", L"a&{C2\n\rS}b", {{29, 51}}, 34, 54},
        line_case{L"unterminated_block", L"a&{C2P1,50", {{65, 51}}, 70, 54},
        line_case{L"block_at_end", L"a&{", {{17, 51}}, 22, 54},
        line_case{L"only_a_block", L"&{}", {{5, 3}}, 10, 6},
        // Scaled runs: the line is as tall as its tallest run.
        line_case{L"scaled_then_base", L"&{S50}ab&{S}c", {{29, 51}}, 34, 54},
        line_case{L"scaled_only", L"&{S50}ab", {{17, 27}}, 22, 30},
        line_case{L"scale_out_of_range_is_base",
                  L"&{S150}a\n&{S-50}a\n&{S0}a",
                  {{17, 51}, {17, 99}, {17, 147}},
                  22,
                  150},
        line_case{L"scale_stays_across_lines", L"&{S50}a\nb", {{11, 27}, {11, 51}}, 16, 54},
        // Fields: w half line-heights, or the text's width for 0.
        line_case{L"field_fixed_width", L"&{L10,ab", {{245, 51}}, 250, 54},
        line_case{L"field_as_wide_as_text", L"x&{R0,abc", {{53, 51}}, 58, 54},
        line_case{L"field_without_comma", L"&{M2ab", {{53, 51}}, 58, 54},
        // The field ends its block at the line end: the next line is text.
        line_case{L"field_ends_block", L"&{M4,ab\ncd}", {{101, 51}, {41, 99}}, 106, 102},
        // Plug-ins send one block a line: the "}" behind the field's line
        // break closes the block and draws nothing.
        line_case{L"plugin_blocks", L"&{M0,a\n}&{M0,b\n}", {{17, 51}, {17, 99}}, 22, 102},
        line_case{L"plugin_blocks_crlf", L"&{M0,a\r\n}b", {{17, 51}, {17, 99}}, 22, 102},
        // A break between such blocks adds no blank line.
        line_case{L"plugin_blocks_break_between",
                  L"&{M0,a\n}\n&{M0,b\n}",
                  {{17, 51}, {5, 51}, {17, 99}},
                  22,
                  102},
        line_case{L"plugin_blocks_crlf_between",
                  L"&{M0,a\r\n}\r\n&{M0,bb\r\n}\r\n",
                  {{17, 51}, {5, 51}, {29, 99}, {5, 99}},
                  34,
                  102},
        line_case{L"plugin_blocks_text_between",
                  L"&{M0,a\n}\nc\n&{M0,b\n}",
                  {{17, 51}, {5, 51}, {17, 99}, {17, 147}},
                  22,
                  150},
        line_case{L"segmented_bar_width", L"&{B10,45}", {{165, 51}}, 170, 54},
        line_case{L"continuous_bar_width", L"&{P3,50}x", {{161, 51}}, 166, 54},
        line_case{L"huge_bar_is_limited", L"&{P99999999,50}", {{5 + 1000 * 48, 51}}, 1000, 54}),
    [](const auto& test) { return ascii(test.param.name); });

TEST(markup, box_is_limited_by_the_screen) {
    tips_style style = test_style();
    style.screen_width = 30;
    style.screen_height = 40;
    laid_out r;
    lay_out(L"abcdef\nx", r, style);
    EXPECT_EQ(r.layout.box_width, 30);
    EXPECT_EQ(r.layout.box_height, 40);
    EXPECT_EQ(r.layout.x, 0);
    EXPECT_EQ(r.layout.y, 0);
}

TEST(markup, edge_size_moves_the_start_and_widens_the_box) {
    for (int32_t edge : {0, 3, 64, 1000, -5}) {
        const int32_t e = std::clamp(edge, 0, 64);
        laid_out r;
        lay_out(L"a", r, test_style(edge));
        ASSERT_EQ(r.canvas.texts.size(), 1u);
        EXPECT_EQ(r.canvas.texts[0].cell.left, e + 4) << edge;
        EXPECT_EQ(r.canvas.texts[0].cell.top, e + 2) << edge;
        EXPECT_EQ(r.layout.box_width, e + 4 + 12 + e + 4) << edge;
        EXPECT_EQ(r.layout.box_height, e + 2 + 48 + e + 2) << edge;
    }
}

TEST(markup, lines_past_sixteen_are_not_laid_out) {
    std::wstring text;
    for (int i = 0; i < 20; ++i) text += L"a\n";
    text += L"&{H10V10E1P1,0}";
    laid_out r;
    lay_out(text, r);
    EXPECT_EQ(r.layout.line_count, tips_max_lines);
    EXPECT_EQ(r.layout.bottom, 3 + 16 * 48);
    EXPECT_EQ(r.canvas.texts.size(), 16u);
    EXPECT_EQ(r.layout.h_percent, 0);
    EXPECT_EQ(r.layout.region_count, 0u);
}

TEST(markup, first_line_takes_the_last_alignment_later_lines_the_one_before_them) {
    laid_out r;
    lay_out(L"a&{AR}\nbbb\n&{AM}c\ndd", r);
    ASSERT_EQ(r.layout.line_count, 4u);
    EXPECT_EQ(r.layout.first_alignment, tips_align::centre);
    ASSERT_EQ(r.canvas.texts.size(), 4u);
    // W = 41: line widths 17, 41, 17, 29.
    EXPECT_EQ(r.canvas.texts[0].cell.left, 5 + (41 - 17) / 2);
    EXPECT_EQ(r.canvas.texts[1].cell.left, 5);
    EXPECT_EQ(r.canvas.texts[2].cell.left, 5 + 41 - 17);
    EXPECT_EQ(r.canvas.texts[3].cell.left, 5 + (41 - 29) / 2);
    // Only the first line takes the alignment of the end; the next ones
    // start from the left until an "A" says otherwise.
    laid_out late;
    lay_out(L"b\naaa\nc&{AR}", late);
    ASSERT_EQ(late.canvas.texts.size(), 3u);
    EXPECT_EQ(late.canvas.texts[0].cell.left, 5 + 24);
    EXPECT_EQ(late.canvas.texts[1].cell.left, 5);
    EXPECT_EQ(late.canvas.texts[2].cell.left, 5);
    // An "A" without L, R or M leaves the letter to the block.
    laid_out s;
    lay_out(L"&{AC2}a\nbbb", s);
    EXPECT_EQ(s.layout.first_alignment, tips_align::left);
    EXPECT_EQ(s.canvas.texts[0].color, 0x000000FFu);
}

TEST(markup, colour_commands) {
    laid_out r;
    lay_out(L"&{C#123456}a&{C0}b&{C2}c&{C}d&{C7}e&{C#12}f&{C#ABCDEFx}g&{C02}h", r);
    std::vector<uint32_t> colors;
    for (const auto& t : r.canvas.texts) colors.push_back(t.color);
    EXPECT_EQ(colors, (std::vector<uint32_t>{0x00563412, 0x00010203, 0x000000FF, 0x0000FF00,
                                             0x0000FF00, 0x00120000, 0x00EFCDAB, 0x000000FF}));
    EXPECT_EQ(r.canvas.texts[6].text, L"g");
    // Every pass starts in the text colour.
    laid_out again;
    lay_out(L"&{C2}a\nb", again);
    EXPECT_EQ(again.canvas.texts[1].color, 0x000000FFu);
}

TEST(markup, segmented_bar_geometry_and_slider) {
    laid_out r;
    lay_out(L"&{B10,45,00010520}", r);
    // Pitch 16, gap 6: four filled segments, full height less l/20 = 2;
    // six dots 10 high, centred (inset (48 + 6 - 16) / 2 = 19).
    ASSERT_EQ(r.canvas.fills.size(), 11u);
    EXPECT_EQ(r.canvas.fills[0].rect, (tips_rect{5, 3, 165, 51}));
    EXPECT_EQ(r.canvas.fills[0].paint, tips_paint::background);
    EXPECT_EQ(r.canvas.fills[1].rect, (tips_rect{5, 5, 15, 49}));
    EXPECT_EQ(r.canvas.fills[4].rect, (tips_rect{53, 5, 63, 49}));
    EXPECT_EQ(r.canvas.fills[5].rect, (tips_rect{69, 22, 79, 32}));
    EXPECT_EQ(r.canvas.fills[10].rect, (tips_rect{149, 22, 159, 32}));
    for (size_t i = 1; i < 11; ++i) EXPECT_EQ(r.canvas.fills[i].paint, tips_paint::text);
    ASSERT_EQ(r.layout.region_count, 1u);
    EXPECT_EQ(r.layout.regions[0].command, 0x00010520u);
    EXPECT_EQ(r.layout.regions[0].kind, tips_region_kind::slider);
    EXPECT_EQ(r.layout.regions[0].rect, (tips_rect{5, 5, 165, 49}));
}

TEST(markup, segmented_bar_fill_counts) {
    struct fill_case {
        const wchar_t* text;
        size_t filled;
    };
    for (const auto& c :
         {fill_case{L"&{B10,0}", 0}, fill_case{L"&{B10,100}", 10}, fill_case{L"&{B10,250}", 10},
          fill_case{L"&{B3,66}", 1}, fill_case{L"&{B3,67}", 2}, fill_case{L"&{B0,50,1}", 0}}) {
        laid_out r;
        lay_out(c.text, r);
        size_t filled = 0;
        for (const auto& f : r.canvas.fills)
            filled += f.paint == tips_paint::text && f.rect.top == 5;
        EXPECT_EQ(filled, c.filled) << std::wstring(c.text).size();
    }
    // A bar of no segments has nothing to click.
    laid_out empty;
    lay_out(L"&{B0,50,1}", empty);
    EXPECT_EQ(empty.layout.region_count, 0u);
}

TEST(markup, continuous_bar_geometry_and_slider) {
    laid_out r;
    lay_out(L"x&{P3,50,00010521}", r);
    // x = 17: frame inset l/20 = 2 vertically, inner inset m = l/12 = 4.
    ASSERT_EQ(r.canvas.fills.size(), 3u);
    EXPECT_EQ(r.canvas.fills[0].rect, (tips_rect{17, 3, 161, 51}));
    EXPECT_EQ(r.canvas.fills[1].rect, (tips_rect{17, 5, 161, 49}));
    EXPECT_EQ(r.canvas.fills[1].paint, tips_paint::text);
    EXPECT_EQ(r.canvas.fills[2].rect, (tips_rect{21 + 136 / 2, 9, 157, 45}));
    EXPECT_EQ(r.canvas.fills[2].paint, tips_paint::backdrop);
    ASSERT_EQ(r.layout.region_count, 1u);
    EXPECT_EQ(r.layout.regions[0].command, 0x00010521u);
    EXPECT_EQ(r.layout.regions[0].rect, (tips_rect{21, 9, 157, 45}));
    // Full and empty bars.
    EXPECT_EQ(bar_unfilled(continuous_bar(0, 0, 48, 3), 100).left, 140);
    EXPECT_EQ(bar_unfilled(continuous_bar(0, 0, 48, 3), 0).left, 4);
    // A thin line still gets a one-pixel inner margin.
    EXPECT_EQ(continuous_bar(0, 0, 11, 2).slider, (tips_rect{1, 1, 21, 10}));
}

TEST(markup, button_regions) {
    laid_out r;
    lay_out(L"x&{E20582P2,50}y&{E0P1,0}&{E1}&{E00020520L0,[Mute]", r);
    ASSERT_EQ(r.layout.region_count, 2u);
    // Over what the block drew, from the line top to the line bottom.
    EXPECT_EQ(r.layout.regions[0].kind, tips_region_kind::button);
    EXPECT_EQ(r.layout.regions[0].command, 0x00020582u);
    EXPECT_EQ(r.layout.regions[0].rect, (tips_rect{17, 3, 113, 51}));
    // id 0 gives none; neither does a block that draws nothing.
    EXPECT_EQ(r.layout.regions[1].command, 0x00020520u);
    EXPECT_EQ(r.layout.regions[1].rect, (tips_rect{173, 3, 245, 51}));
}

TEST(markup, button_reaches_the_bottom_of_the_whole_line) {
    laid_out r;
    lay_out(L"&{S50}&{E7P1,0}&{S}X\nnext", r);
    ASSERT_EQ(r.layout.region_count, 1u);
    EXPECT_EQ(r.layout.regions[0].rect, (tips_rect{5, 3, 29, 51}));
}

TEST(markup, slider_and_button_in_one_block) {
    laid_out r;
    lay_out(L"&{E2P1,10,1}", r);
    ASSERT_EQ(r.layout.region_count, 2u);
    EXPECT_EQ(r.layout.regions[0].kind, tips_region_kind::slider);
    EXPECT_EQ(r.layout.regions[1].kind, tips_region_kind::button);
}

TEST(markup, more_than_32_regions_keep_the_first_32) {
    std::wstring text;
    for (int i = 1; i <= 40; ++i) text += L"&{P1,0," + std::to_wstring(i) + L"}";
    laid_out r;
    lay_out(text, r);
    ASSERT_EQ(r.layout.region_count, tips_max_regions);
    EXPECT_EQ(r.layout.regions[31].command, 0x32u); // "32" read as hex
    EXPECT_EQ(r.layout.regions[31].rect.left, 5 + 31 * 48 + 4);
    // The bars past the 32nd are still drawn.
    EXPECT_EQ(r.canvas.fills.size(), 40u * 3);
}

TEST(markup, hex_ids_take_up_to_eight_digits) {
    laid_out r;
    lay_out(L"&{P1,0,123456789}", r);
    ASSERT_EQ(r.layout.region_count, 1u);
    EXPECT_EQ(r.layout.regions[0].command, 0x12345678u);
}

TEST(markup, fields_align_and_clip_to_their_cell) {
    laid_out r;
    lay_out(L"&{L10,ab\n&{R0,abc\n&{M1,abcdef", r);
    ASSERT_EQ(r.canvas.texts.size(), 3u);
    EXPECT_EQ(r.canvas.texts[0].cell, (tips_rect{5, 3, 245, 51}));
    EXPECT_EQ(r.canvas.texts[0].align, tips_align::left);
    EXPECT_EQ(r.canvas.texts[0].text, L"ab");
    EXPECT_EQ(r.canvas.texts[1].cell, (tips_rect{5, 51, 41, 99}));
    EXPECT_EQ(r.canvas.texts[1].align, tips_align::right);
    // A narrower field than its text: the cell is the field.
    EXPECT_EQ(r.canvas.texts[2].cell, (tips_rect{5, 99, 29, 147}));
    EXPECT_EQ(r.canvas.texts[2].align, tips_align::centre);
    EXPECT_EQ(r.canvas.texts[2].text, L"abcdef");
}

struct place_case {
    std::wstring text;
    int32_t x;
    int32_t y;
};

class markup_placement : public ::testing::TestWithParam<place_case> {};

// "a" makes a 22 x 54 box on a 1000 x 800 screen.
TEST_P(markup_placement, puts_the_box) {
    laid_out r;
    lay_out(GetParam().text, r);
    EXPECT_EQ(r.layout.x, GetParam().x);
    EXPECT_EQ(r.layout.y, GetParam().y);
}

INSTANTIATE_TEST_SUITE_P(
    table, markup_placement,
    ::testing::Values(place_case{L"a", 489, 373},         // centred
                      place_case{L"&{H10V+5}a", 100, 40}, // from the left and top
                      place_case{L"&{H-10V-20}a", 1000 - 100 - 22, 800 - 160 - 54},
                      place_case{L"&{H-0V0}a", 489, 373},
                      place_case{L"&{H10}a&{H20}", 200, 373}, // the last one counts
                      place_case{L"&{H-1V-1}a", 1000 - 10 - 22, 800 - 8 - 54},
                      place_case{L"&{H100V100}a", 1000 - 22, 800 - 54}, // kept on the screen
                      place_case{L"&{H-100V-250}a", 0, 0},
                      place_case{L"&{H99999999999}a", 1000 - 22, 373}));

TEST(placement, axis_arithmetic) {
    EXPECT_EQ(tips_place(50, 1000, 100), 500);
    EXPECT_EQ(tips_place(-50, 1000, 100), 400);
    EXPECT_EQ(tips_place(0, 1000, 101), 449);
    EXPECT_EQ(tips_place(0, 100, 200), 0); // a box larger than the screen
    EXPECT_EQ(tips_place(2000000, 1 << 20, 10), (1 << 20) - 10);
}

// --- Clicks ---

TEST(clicks, slider_values_and_margin) {
    const tips_region regions[] = {{0x00010520, tips_region_kind::slider, {100, 10, 200, 30}}};
    struct click_case {
        uint32_t x, y;
        bool hit;
        int32_t value;
    };
    // 20 high: margin 20 / 4 = 5.
    for (const auto& c : {click_case{100, 20, true, 1}, click_case{99, 20, true, 0},
                          click_case{95, 20, true, 0}, click_case{94, 20, false, 0},
                          click_case{199, 20, true, 100}, click_case{200, 20, false, 0},
                          click_case{150, 20, true, 51}, click_case{150, 10, true, 51},
                          click_case{150, 30, false, 0}, click_case{150, 9, false, 0}}) {
        for (bool down : {true, false}) {
            const tips_hit hit = tips_hit_test(regions, 1, c.x, c.y, down);
            EXPECT_EQ(hit.hit, c.hit) << c.x << "," << c.y;
            if (!c.hit) continue;
            EXPECT_EQ(hit.command, 0x00010520u);
            EXPECT_EQ(hit.value, c.value) << c.x;
        }
    }
}

TEST(clicks, thin_slider_margin_is_four) {
    const tips_region regions[] = {{7, tips_region_kind::slider, {100, 0, 300, 15}}};
    EXPECT_TRUE(tips_hit_test(regions, 1, 96, 5, true).hit);
    EXPECT_FALSE(tips_hit_test(regions, 1, 95, 5, true).hit);
    const tips_region tall[] = {{7, tips_region_kind::slider, {100, 0, 300, 16}}};
    EXPECT_TRUE(tips_hit_test(tall, 1, 96, 5, true).hit);
    EXPECT_FALSE(tips_hit_test(tall, 1, 95, 5, true).hit);
    const tips_region taller[] = {{7, tips_region_kind::slider, {100, 0, 300, 40}}};
    EXPECT_TRUE(tips_hit_test(taller, 1, 90, 5, true).hit);
    EXPECT_FALSE(tips_hit_test(taller, 1, 89, 5, true).hit);
}

TEST(clicks, buttons_only_on_button_down_and_first_region_wins) {
    const tips_region regions[] = {
        {0x00020520, tips_region_kind::button, {0, 0, 50, 50}},
        {0x00010521, tips_region_kind::slider, {10, 0, 60, 50}},
        {0x00020522, tips_region_kind::button, {0, 0, 100, 50}},
    };
    tips_hit hit = tips_hit_test(regions, 3, 20, 20, true);
    EXPECT_EQ(hit.command, 0x00020520u);
    EXPECT_EQ(hit.value, 0);
    // A move with the button held passes the button and reaches the slider.
    hit = tips_hit_test(regions, 3, 20, 20, false);
    EXPECT_EQ(hit.command, 0x00010521u);
    EXPECT_EQ(hit.value, 21);
    hit = tips_hit_test(regions, 3, 80, 20, false);
    EXPECT_FALSE(hit.hit);
    hit = tips_hit_test(regions, 3, 80, 20, true);
    EXPECT_EQ(hit.command, 0x00020522u);
    // Right and bottom edges are outside.
    EXPECT_FALSE(tips_hit_test(regions, 3, 100, 20, true).hit);
    EXPECT_FALSE(tips_hit_test(regions, 3, 20, 50, true).hit);
    EXPECT_FALSE(tips_hit_test(regions, 0, 20, 20, true).hit);
    EXPECT_FALSE(tips_hit_test(nullptr, 3, 20, 20, true).hit);
}

TEST(clicks, empty_regions_are_never_hit) {
    const tips_region regions[] = {{1, tips_region_kind::slider, {50, 0, 50, 20}},
                                   {2, tips_region_kind::button, {0, 0, 100, 0}}};
    EXPECT_FALSE(tips_hit_test(regions, 2, 48, 10, true).hit);
    EXPECT_FALSE(tips_hit_test(regions, 2, 10, 0, true).hit);
}

TEST(clicks, on_a_laid_out_bar) {
    laid_out r;
    lay_out(L"&{P4,30,00010523}", r);
    ASSERT_EQ(r.layout.region_count, 1u);
    const tips_rect s = r.layout.regions[0].rect;
    const auto at = [&](int32_t x) {
        return tips_hit_test(r.layout.regions.data(), r.layout.region_count,
                             static_cast<uint32_t>(x), static_cast<uint32_t>(s.top + 1), true);
    };
    EXPECT_EQ(at(s.left).value, 1);
    EXPECT_EQ(at(s.left - 1).value, 0);
    EXPECT_TRUE(at(s.left - 1).hit);
    EXPECT_EQ(at(s.right - 1).value, 100);
    EXPECT_EQ(at(s.left).command, 0x00010523u);
}

// --- Alpha ---

// The rule as stated: rounds of the 3 x 3 maximum, border pixels left alone.
std::vector<uint8_t> dilate_by_rounds(std::vector<uint8_t> alpha, int32_t w, int32_t h,
                                      int32_t rounds) {
    for (int32_t round = 0; round < rounds; ++round) {
        const std::vector<uint8_t> before = alpha;
        for (int32_t y = 1; y + 1 < h; ++y)
            for (int32_t x = 1; x + 1 < w; ++x) {
                uint8_t m = before[y * w + x];
                if (m == 255) continue;
                for (int32_t dy = -1; dy <= 1; ++dy)
                    for (int32_t dx = -1; dx <= 1; ++dx)
                        m = std::max(m, before[(y + dy) * w + x + dx]);
                alpha[y * w + x] = m;
            }
    }
    return alpha;
}

// A mask whose pixels give these alphas ((B + G + R) / 3), its rows
// `stride` bytes apart and the bytes between them marked.
std::vector<uint8_t> mask_of(const std::vector<uint8_t>& alpha, int32_t w, size_t stride) {
    const size_t h = alpha.size() / static_cast<size_t>(w);
    std::vector<uint8_t> mask(stride * h, 0xEE);
    for (size_t i = 0; i < alpha.size(); ++i) {
        uint8_t* p = &mask[i / w * stride + i % w * 4];
        const int a = alpha[i];
        const int spread = std::min(a, 255 - a) / 2; // unequal channels, as ClearType gives
        p[0] = static_cast<uint8_t>(a - spread);
        p[1] = static_cast<uint8_t>(a);
        p[2] = static_cast<uint8_t>(a + spread);
        p[3] = 0x5A; // never read as alpha
    }
    return mask;
}

// The alphas of a picture whose rows lie `stride` bytes apart.
std::vector<uint8_t> alpha_of(const std::vector<uint8_t>& bgra, int32_t w, size_t stride) {
    std::vector<uint8_t> a;
    for (size_t row = 0; row < bgra.size() / stride; ++row)
        for (int32_t x = 0; x < w; ++x) a.push_back(bgra[row * stride + x * 4 + 3]);
    return a;
}

TEST(alpha, dilation_equals_rounds_of_the_neighbour_maximum) {
    std::mt19937 random(7);
    // One object for every case, as the program keeps it from draw to draw.
    tips_alpha kept;
    for (int32_t w : {1, 2, 3, 4, 9, 31}) {
        for (int32_t h : {17, 1, 2, 3, 5}) {
            for (int32_t rounds : {40, 0, 1, 2, 3, 8}) {
                SCOPED_TRACE(::testing::Message() << w << "x" << h << " rounds " << rounds);
                // Sparse dots with varied alpha, as text leaves them.
                std::vector<uint8_t> alpha(static_cast<size_t>(w * h));
                for (auto& a : alpha) a = random() % 7 == 0 ? static_cast<uint8_t>(random()) : 0;
                const size_t stride = static_cast<size_t>(w) * 4 + 8;
                const std::vector<uint8_t> mask = mask_of(alpha, w, stride + 4);
                std::vector<uint8_t> bgra(stride * h);
                for (auto& b : bgra) b = static_cast<uint8_t>(random());
                const std::vector<uint8_t> before = bgra;
                ASSERT_TRUE(kept.take(mask.data(), stride + 4, w, h, rounds));
                kept.put(bgra.data(), stride);
                EXPECT_EQ(alpha_of(bgra, w, stride), dilate_by_rounds(alpha, w, h, rounds));
                // Colours are premultiplied by their pixel's alpha, once;
                // the padding stays.
                for (size_t i = 0; i < bgra.size(); ++i) {
                    const size_t pixel_start = i - i % 4;
                    if (i % stride >= static_cast<size_t>(w) * 4) {
                        ASSERT_EQ(bgra[i], before[i]) << "padding changed at " << i;
                    } else if (i % 4 != 3) {
                        const double a = bgra[pixel_start + 3];
                        ASSERT_EQ(bgra[i], std::lround(before[i] * a / 255.0))
                            << "colour at " << i << " with alpha " << a;
                    }
                }
            }
        }
    }
}

TEST(alpha, border_is_never_dilated) {
    const int32_t w = 6;
    const int32_t h = 5;
    std::vector<uint8_t> alpha(w * h, 0);
    alpha[2 * w + 1] = 255; // next to the left border
    std::vector<uint8_t> bgra(w * h * 4, 0);
    tips_alpha halo;
    ASSERT_TRUE(halo.take(mask_of(alpha, w, w * 4).data(), w * 4, w, h, 3));
    halo.put(bgra.data(), w * 4);
    const auto a = alpha_of(bgra, w, w * 4);
    for (int32_t y = 0; y < h; ++y) {
        EXPECT_EQ(a[y * w + 0], 0) << y;
        EXPECT_EQ(a[y * w + w - 1], 0) << y;
    }
    for (int32_t x = 0; x < w; ++x) {
        EXPECT_EQ(a[x], 0);
        EXPECT_EQ(a[(h - 1) * w + x], 0);
    }
    for (int32_t y = 1; y < h - 1; ++y)
        for (int32_t x = 1; x < w - 1; ++x) EXPECT_EQ(a[y * w + x], 255) << x << "," << y;
}

TEST(alpha, from_mask_and_opaque) {
    const uint8_t mask[] = {255, 255, 255, 0, 1, 1, 1, 0, 0, 0, 0, 0, 30, 60, 90, 0};
    uint8_t bgra[16];
    for (int i = 0; i < 16; ++i) bgra[i] = static_cast<uint8_t>(i * 9);
    tips_alpha plain;
    ASSERT_TRUE(plain.take(mask, 16, 4, 1, 0));
    plain.put(bgra, 16);
    EXPECT_EQ(bgra[3], 255);
    EXPECT_EQ(bgra[7], 1);
    EXPECT_EQ(bgra[11], 0);
    EXPECT_EQ(bgra[15], 60);
    EXPECT_EQ(bgra[0], 0);
    EXPECT_EQ(bgra[5], 0) << "45 at alpha 1";
    EXPECT_EQ(bgra[14], 30) << "126 at alpha 60";
    alpha_opaque(bgra, 4);
    for (int i = 3; i < 16; i += 4) EXPECT_EQ(bgra[i], 255);
    EXPECT_EQ(bgra[13], 28) << "117 at alpha 60, kept";
    // Nothing to take from: nothing is put.
    EXPECT_FALSE(plain.take(nullptr, 16, 4, 1, 0));
    EXPECT_FALSE(plain.take(mask, 8, 4, 1, 0)) << "rows overlapping";
    plain.put(bgra, 16);
    EXPECT_EQ(bgra[7], 255);
}

} // namespace
