// The tips drawn with GDI into a DIB: the layout on a real DC, and the alpha
// a layered window gets, pixel by pixel. Bars make exact pictures, so most
// pixel checks draw a bar and compute its geometry from the line height.

#include "main/tips_format.h"
#include "main/tips_render.h"
#include "tests/support/files.h"

#include <gtest/gtest.h>
#include <strsafe.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr COLORREF green = RGB(0, 255, 0);

constexpr COLORREF navy = RGB(0, 0, 64);

tips_render_settings settings(int32_t edge, bool layered = true, bool through = true) {
    tips_render_settings s;
    s.style.edge_size = edge;
    s.style.text_color = green;
    s.style.text_color2 = RGB(255, 0, 0);
    s.style.background_color = navy;
    s.style.screen_width = 1280;
    s.style.screen_height = 1024;
    StringCchCopyW(s.font_face, 32, L"Tahoma");
    s.font_height = -40;
    s.font_resolution_base = 0;
    s.layered = layered;
    s.background_through = through;
    return s;
}

struct pixel {
    uint8_t b, g, r, a;
};

pixel at(const tips_picture& p, int32_t x, int32_t y) {
    const uint8_t* q = p.surface.row(y) + static_cast<size_t>(x) * 4;
    return pixel{q[0], q[1], q[2], q[3]};
}

// The picture handed to the window has its colours premultiplied: under
// the compositor a colour channel above its alpha shows as a solid box.
::testing::AssertionResult premultiplied(const tips_picture& p) {
    for (int32_t y = 0; y < p.surface.height(); ++y)
        for (int32_t x = 0; x < p.surface.width(); ++x) {
            const pixel q = at(p, x, y);
            if (std::max({q.b, q.g, q.r}) > q.a)
                return ::testing::AssertionFailure()
                       << "colour above alpha " << int{q.a} << " at " << x << "," << y;
        }
    return ::testing::AssertionSuccess();
}

// Every drawing test runs twice: on a fresh picture, and on one kept from
// an earlier draw of another text (a larger box, other colours, fonts and
// halo), as the program keeps it between requests.
class tips_render : public ::testing::TestWithParam<bool> {
protected:
    static bool draw(std::wstring_view text, const tips_render_settings& s, tips_picture& p) {
        if (GetParam()) {
            tips_render_settings other = settings(5);
            other.style.background_color = RGB(200, 0, 0);
            other.style.text_color = RGB(255, 255, 0);
            other.font_italic = 1;
            EXPECT_TRUE(
                render_tips(L"&{S60}Something long and wide\n&{C2P12,70}\n&{S150}W", other, p));
        }
        return render_tips(text, s, p);
    }
};

// The geometry of "&{P<n>,<p>}" as the first thing of the first line.
struct bar_place {
    int32_t l, left, top;
    tips_bar bar;
};

bar_place bar_of(const tips_picture& p, int32_t edge, uint32_t n) {
    bar_place b;
    b.left = edge + 4;
    b.top = edge + 2;
    b.l = p.layout.line_bottom[0] - b.top;
    b.bar = continuous_bar(b.left, b.top, b.l, n);
    return b;
}

TEST_P(tips_render, see_through_alpha_comes_from_the_mask) {
    tips_picture p;
    ASSERT_TRUE(draw(L"&{P3,50}", settings(0), p));
    ASSERT_TRUE(p.see_through);
    const bar_place b = bar_of(p, 0, 3);
    ASSERT_GT(b.l, 24);
    const int32_t mid = (b.bar.slider.top + b.bar.slider.bottom) / 2;
    const tips_rect unfilled = bar_unfilled(b.bar, 50);
    // The frame and the filled part: opaque, in the text colour.
    for (int32_t x :
         {b.bar.frame.left, b.bar.slider.left + 1, unfilled.left - 1, b.bar.frame.right - 1}) {
        const pixel q = at(p, x, mid);
        EXPECT_EQ(q.a, 255) << x;
        EXPECT_EQ(q.g, 255) << x;
        EXPECT_EQ(q.r, 0) << x;
    }
    // The unfilled part inside the frame: opaque, in the background colour.
    for (int32_t x : {unfilled.left + 1, unfilled.right - 1}) {
        const pixel q = at(p, x, mid);
        EXPECT_EQ(q.a, 255) << x;
        EXPECT_EQ(q.b, 64) << x;
        EXPECT_EQ(q.g, 0) << x;
    }
    // The cell's margin: alpha 1, so it stays clickable, and its colour
    // multiplied by that alpha, so the navy background adds nothing there.
    const pixel margin = at(p, b.left + 5, b.top);
    EXPECT_EQ(margin.a, 1);
    EXPECT_EQ(margin.b, 0);
    // Outside the bar: fully transparent, no colour at all.
    EXPECT_EQ(at(p, b.left - 1, mid).a, 0);
    EXPECT_EQ(at(p, 0, 0).a, 0);
    EXPECT_EQ(at(p, p.surface.width() - 1, mid).a, 0);
    EXPECT_EQ(at(p, b.left - 1, mid).b, 0);
    EXPECT_TRUE(premultiplied(p));
}

TEST_P(tips_render, edge_size_zero_gives_no_halo) {
    tips_picture p;
    ASSERT_TRUE(draw(L"&{P2,100}", settings(0), p));
    const bar_place b = bar_of(p, 0, 2);
    const int32_t mid = (b.bar.frame.top + b.bar.frame.bottom) / 2;
    EXPECT_EQ(at(p, b.left, mid).a, 255);
    for (int32_t x = 0; x < b.left; ++x) EXPECT_EQ(at(p, x, mid).a, 0) << x;
    for (int32_t x = b.bar.frame.right; x < p.surface.width(); ++x)
        EXPECT_EQ(at(p, x, mid).a, 0) << x;
    for (int32_t y = b.bar.frame.bottom; y < b.top + b.l; ++y)
        EXPECT_EQ(at(p, b.left + 3, y).a, 1) << y;
    for (int32_t y = b.top + b.l; y < p.surface.height(); ++y)
        EXPECT_EQ(at(p, b.left + 3, y).a, 0) << y;
}

TEST_P(tips_render, edge_size_three_gives_a_three_pixel_halo) {
    tips_picture p;
    ASSERT_TRUE(draw(L"&{P2,0}", settings(3), p));
    const bar_place b = bar_of(p, 3, 2);
    const int32_t mid = (b.bar.frame.top + b.bar.frame.bottom) / 2;
    // Left of the bar: three pixels of halo, then nothing.
    EXPECT_EQ(at(p, b.left, mid).a, 255);
    for (int32_t x = b.left - 3; x < b.left; ++x) EXPECT_EQ(at(p, x, mid).a, 255) << x;
    for (int32_t x = 0; x < b.left - 3; ++x) EXPECT_EQ(at(p, x, mid).a, 0) << x;
    // Right of it likewise.
    for (int32_t x = b.bar.frame.right; x < b.bar.frame.right + 3; ++x)
        EXPECT_EQ(at(p, x, mid).a, 255) << x;
    EXPECT_EQ(at(p, b.bar.frame.right + 3, mid).a, 0);
    // The empty bar is solid inside its frame, in the background colour.
    const tips_rect inner = b.bar.slider;
    for (int32_t x = inner.left; x < inner.right; ++x) EXPECT_EQ(at(p, x, mid).a, 255) << x;
    EXPECT_EQ(at(p, inner.left + 3, mid).b, 64);
    // Below the cell: the halo of the frame's bottom reaches 3 below it.
    const int32_t x = b.left + b.l / 2;
    EXPECT_EQ(at(p, x, b.bar.frame.bottom + 2).a, 255);
    // Further down only the cell's own faint halo.
    EXPECT_EQ(at(p, x, b.bar.frame.bottom + 3).a, 1);
    EXPECT_EQ(at(p, x, b.top + b.l + 2).a, 1);
    EXPECT_EQ(at(p, x, b.top + b.l + 3).a, 0);
    // Halo pixels keep the background colour.
    EXPECT_EQ(at(p, b.left - 2, mid).b, 64);
    EXPECT_EQ(at(p, b.left - 2, mid).g, 0);
}

TEST_P(tips_render, outer_border_is_never_dilated) {
    // A screen narrower than the bar cuts the box: the bar runs into the
    // right border, whose pixels keep the alpha the mask gave them.
    tips_render_settings s = settings(3);
    s.style.screen_width = 60;
    tips_picture p;
    ASSERT_TRUE(draw(L"&{P4,100}", s, p));
    ASSERT_EQ(p.surface.width(), 60);
    const bar_place b = bar_of(p, 3, 4);
    ASSERT_GE(b.bar.frame.top - b.top, 2);
    const int32_t right = p.surface.width() - 1;
    // The cell's top margin: alpha 1 on the border, halo of the frame inside.
    EXPECT_EQ(at(p, right, b.top).a, 1);
    EXPECT_EQ(at(p, right - 1, b.top).a, 255);
    // Above the cell: nothing on the border, halo inside.
    EXPECT_EQ(at(p, right, b.top - 1).a, 0);
    EXPECT_EQ(at(p, right - 1, b.top - 1).a, 255);
    EXPECT_EQ(at(p, right, b.bar.frame.top).a, 255);
    // The top border row is never reached by the halo here, and stays 0.
    for (int32_t x = 0; x < p.surface.width(); ++x) EXPECT_EQ(at(p, x, 0).a, 0) << x;
}

TEST_P(tips_render, layered_without_see_through_is_opaque) {
    tips_picture p;
    ASSERT_TRUE(draw(L"abc\n&{P2,50}", settings(1, true, false), p));
    EXPECT_FALSE(p.see_through);
    for (int32_t y = 0; y < p.surface.height(); ++y)
        for (int32_t x = 0; x < p.surface.width(); ++x)
            ASSERT_EQ(at(p, x, y).a, 255) << x << "," << y;
    // The background is drawn in its colour.
    EXPECT_EQ(at(p, 0, 0).b, 64);
}

TEST_P(tips_render, text_is_opaque_in_its_colour_with_the_background_clear) {
    tips_picture p;
    ASSERT_TRUE(draw(L"&{C#ff0000}WM", settings(0), p));
    int opaque_red = 0;
    int visible = 0;
    for (int32_t y = 0; y < p.surface.height(); ++y) {
        for (int32_t x = 0; x < p.surface.width(); ++x) {
            const pixel q = at(p, x, y);
            if (q.a > 1) ++visible;
            if (q.a == 255 && q.r == 255 && q.g == 0 && q.b == 0) ++opaque_red;
            // Where the mask says nothing, the box is clear.
            if (x < 4 || y < 2) {
                ASSERT_EQ(q.a, 0) << x << "," << y;
            }
        }
    }
    EXPECT_GT(opaque_red, 20);
    EXPECT_GE(visible, opaque_red);
    EXPECT_TRUE(premultiplied(p)) << "the text's anti-aliased edge";
}

TEST_P(tips_render, background_coloured_text_stays_visible) {
    tips_picture p;
    ASSERT_TRUE(draw(L"&{C0}WM", settings(0), p));
    int opaque = 0;
    for (int32_t y = 0; y < p.surface.height(); ++y)
        for (int32_t x = 0; x < p.surface.width(); ++x) opaque += at(p, x, y).a == 255;
    EXPECT_GT(opaque, 20);
}

TEST_P(tips_render, regions_follow_the_drawn_layout) {
    tips_picture p;
    ASSERT_TRUE(draw(L"Speakers &{P4,50,00010520} 50% &{E00020520L0,[Active]", settings(1), p));
    ASSERT_EQ(p.layout.region_count, 2u);
    const tips_region& slider = p.layout.regions[0];
    const tips_region& button = p.layout.regions[1];
    EXPECT_EQ(slider.kind, tips_region_kind::slider);
    EXPECT_EQ(button.kind, tips_region_kind::button);
    EXPECT_LT(slider.rect.right, button.rect.left);
    EXPECT_EQ(button.rect.right, p.layout.line_width[0]);
    EXPECT_EQ(button.rect.bottom, p.layout.line_bottom[0]);
    EXPECT_EQ(p.layout.box_width, p.layout.widest + 1 + 4);
    EXPECT_EQ(p.surface.width(), p.layout.box_width);
    EXPECT_EQ(p.surface.height(), p.layout.box_height);
    // The slider's inner rectangle is a quarter line height from the line.
    const int32_t l = p.layout.line_bottom[0] - 3;
    EXPECT_EQ(slider.rect.right - slider.rect.left, 4 * l - 2 * std::max(1, l / 12));
}

TEST_P(tips_render, real_font_layout_relations) {
    tips_picture plain, field, small, wide_screen, italic;
    ASSERT_TRUE(draw(L"Volume", settings(1), plain));
    ASSERT_TRUE(draw(L"&{L0,Volume", settings(1), field));
    ASSERT_TRUE(draw(L"&{S50}Volume", settings(1), small));
    EXPECT_EQ(field.layout.widest, plain.layout.widest);
    EXPECT_LT(small.layout.widest - 5, (plain.layout.widest - 5) * 2 / 3);
    EXPECT_LT(small.layout.bottom - 3, (plain.layout.bottom - 3) * 2 / 3);

    // The height scales with the screen width at FontResolutionBase.
    tips_render_settings scaled = settings(1);
    scaled.font_resolution_base = 640;
    ASSERT_TRUE(draw(L"Volume", scaled, wide_screen));
    EXPECT_GT(wide_screen.layout.bottom - 3, (plain.layout.bottom - 3) * 3 / 2);

    // Italic runs get a right margin of a quarter of the height.
    tips_render_settings slanted = settings(1);
    slanted.font_italic = 1;
    ASSERT_TRUE(draw(L"Volume", slanted, italic));
    EXPECT_GE(italic.layout.widest, plain.layout.widest + 40 / 4 - 2);
}

TEST_P(tips_render, nothing_to_show) {
    tips_picture p;
    EXPECT_FALSE(draw(L"", settings(1), p));
    EXPECT_FALSE(p.surface);
    EXPECT_EQ(p.layout.line_count, 0u);
    // A text of line breaks only still shows its blank lines.
    EXPECT_TRUE(draw(L"\n\n", settings(1), p));
    EXPECT_EQ(p.layout.line_count, 2u);
}

INSTANTIATE_TEST_SUITE_P(pictures, tips_render, ::testing::Values(false, true),
                         [](const auto& test) { return test.param ? "kept" : "fresh"; });

TEST(tips_font, height_scaling) {
    EXPECT_EQ(tips_font_height(-32, 1024, 1280, 0), -40);
    EXPECT_EQ(tips_font_height(-32, 0, 1280, 0), -32);
    EXPECT_EQ(tips_font_height(-32, 1024, 1024, 50), -16);
    EXPECT_EQ(tips_font_height(-32, 1024, 1024, 99), -31);
    EXPECT_EQ(tips_font_height(-32, 1024, 1024, 100), -32);
    EXPECT_EQ(tips_font_height(-32, 1024, 1024, -5), -32);
    EXPECT_EQ(tips_font_height(-32, 1024, 1024, 1), -1); // never 0, which means "any size"
    EXPECT_EQ(tips_font_height(20, 1024, 2048, 0), 40);
    EXPECT_EQ(tips_font_height(0, 1024, 2048, 0), 0);
    EXPECT_EQ(tips_font_height(-2000000000, 1, 1280, 0), -4096);
    // Without a resolution base the monitor's dpi scales it; with one, not.
    EXPECT_EQ(tips_font_height(-32, 0, 1280, 0, 144), -48);
    EXPECT_EQ(tips_font_height(-32, 0, 1280, 50, 144), -24);
    EXPECT_EQ(tips_font_height(-32, 1024, 1024, 0, 144), -32);
    EXPECT_EQ(tips_font_height(-32, 0, 1280, 0, 0), -32) << "no dpi known";
    EXPECT_EQ(tips_font_height(-32, 0, 1280, 0, 100000), -32) << "no sane dpi";
}

} // namespace

// --- The formats shipped in bin\resource\resource.ini ---

class shipped_formats : public ::testing::Test {
protected:
    void SetUp() override {
        GetCurrentDirectoryW(MAX_PATH, previous_);
        const std::wstring program_folder = test_support::exe_folder() + L"\\..\\bin";
        ASSERT_TRUE(SetCurrentDirectoryW(program_folder.c_str()));
        ASSERT_TRUE(test_support::file_exists(L"resource\\resource.ini"));
    }
    void TearDown() override { SetCurrentDirectoryW(previous_); }

    // The sections listed as fmt00..fmt19, with their descriptions.
    std::vector<std::pair<std::wstring, std::wstring>> listed() {
        std::vector<std::pair<std::wstring, std::wstring>> formats;
        m_confctl_ini store;
        store.open(L"resource\\resource", false);
        for (int i = 0; i < 20; ++i) {
            wchar_t key[8];
            StringCchPrintfW(key, 8, L"fmt%02d", i);
            wchar_t section[64];
            store.select_section(L"sections");
            if (!store.read_string(key, section, 64)) continue;
            wchar_t desc[64] = L"";
            store.select_section(section);
            store.read_string(L"desc", desc, 64);
            formats.emplace_back(section, desc);
        }
        return formats;
    }

    wchar_t previous_[MAX_PATH] = {};
};

// The same box in both: size, place, click regions and every pixel (the
// alpha only where a layered window uses it).
::testing::AssertionResult same_box(const tips_picture& a, const tips_picture& b, bool layered) {
    const tips_layout& x = a.layout;
    const tips_layout& y = b.layout;
    if (x.box_width != y.box_width || x.box_height != y.box_height || x.x != y.x || x.y != y.y)
        return ::testing::AssertionFailure() << "box or place differs";
    if (x.region_count != y.region_count) return ::testing::AssertionFailure() << "regions";
    for (size_t i = 0; i < x.region_count; ++i)
        if (x.regions[i].command != y.regions[i].command ||
            x.regions[i].kind != y.regions[i].kind || !(x.regions[i].rect == y.regions[i].rect))
            return ::testing::AssertionFailure() << "region " << i;
    if (a.see_through != b.see_through) return ::testing::AssertionFailure() << "see-through";
    for (int32_t row = 0; row < x.box_height; ++row)
        for (int32_t column = 0; column < x.box_width * 4; ++column)
            if ((layered || column % 4 != 3) &&
                a.surface.row(row)[column] != b.surface.row(row)[column])
                return ::testing::AssertionFailure() << "pixel byte " << column << ", " << row;
    return ::testing::AssertionSuccess();
}

TEST_F(shipped_formats, each_loads_lays_out_on_screen_and_has_a_slider_per_control) {
    // Drawn again on one picture kept throughout, in every way the window
    // draws, each box is the box a fresh picture gets.
    tips_picture kept;
    std::vector<tips_render_settings> ways(4, tips_settings_from(Cconfig{}, 1280, 1024));
    ways[1].style.edge_size = 8;
    ways[2].background_through = false;
    ways[3].layered = false;
    const auto formats = listed();
    ASSERT_GE(formats.size(), 4u);
    EXPECT_EQ(formats[0].first, L"flatbar_ml");
    const wchar_t* names[] = {L"Speakers", L"Headphones", L"Microphone", L"Line In",
                              L"",         L"",           L"USB Audio"};
    for (const auto& [section, desc] : formats) {
        SCOPED_TRACE(::testing::PrintToString(section));
        EXPECT_FALSE(desc.empty());
        tips_format format;
        ASSERT_TRUE(load_tips_format(format, section.c_str()));
        for (size_t current : {size_t{1}, size_t{6}}) {
            const tips_line_source source = [&](size_t slot, tips_line_info& info) {
                if (slot >= 7 || !names[slot][0]) return false;
                info.name = names[slot];
                info.volume = static_cast<int32_t>(slot * 30 % 101);
                info.usable = slot != 3;
                info.muted = slot == 2;
                return true;
            };
            wchar_t text[tips_text_capacity];
            const size_t length = build_tips_text_from(format, current, source, green, false, text,
                                                       tips_text_capacity);
            EXPECT_LT(length, tips_text_capacity / 2);
            Cconfig config;
            tips_picture p;
            ASSERT_TRUE(render_tips(text, tips_settings_from(config, 1280, 1024), p));
            for (const tips_render_settings& way : ways) {
                tips_picture fresh;
                ASSERT_TRUE(render_tips(text, way, fresh));
                ASSERT_TRUE(render_tips(text, way, kept));
                EXPECT_TRUE(same_box(fresh, kept, way.layered))
                    << "E " << way.style.edge_size << (way.layered ? " layered" : "")
                    << (way.background_through ? " see-through" : "") << ", slot " << current;
            }
            const tips_layout& l = p.layout;
            EXPECT_GE(l.x, 0);
            EXPECT_GE(l.y, 0);
            EXPECT_LT(l.box_width, 1280);
            EXPECT_LE(l.x + l.box_width, 1280);
            EXPECT_LE(l.y + l.box_height, 1024);
            // Every control shown has its volume slider, which sets 1 at its left edge.
            std::vector<size_t> shown;
            if (current >= static_cast<size_t>(format.multiline)) shown.push_back(current);
            for (size_t slot = 0; slot < static_cast<size_t>(format.multiline); ++slot)
                shown.push_back(slot);
            for (size_t slot : shown) {
                const uint32_t command = 0x00010520 + static_cast<uint32_t>(slot);
                const tips_region* slider = nullptr;
                for (size_t i = 0; i < l.region_count; ++i)
                    if (l.regions[i].command == command) slider = &l.regions[i];
                ASSERT_NE(slider, nullptr) << "slot " << slot;
                EXPECT_EQ(slider->kind, tips_region_kind::slider);
                const tips_hit hit = tips_hit_test(l.regions.data(), l.region_count,
                                                   static_cast<uint32_t>(slider->rect.left),
                                                   static_cast<uint32_t>(slider->rect.top), true);
                EXPECT_EQ(hit.command, command);
                EXPECT_EQ(hit.value, 1);
            }
        }
    }
}
