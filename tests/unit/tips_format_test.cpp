// Tips formats: unescaping, loading from resource\resource.ini, and the tips
// text the refresh builds from a format and the controls.

#include "main/tips_format.h"
#include "main/tips_markup.h"
#include "tests/support/files.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <strsafe.h>

#include <array>
#include <string>
#include <vector>

using test_support::temp_folder;
using test_support::write_utf16;

namespace {

constexpr uint32_t green = 0x0000FF00;

struct control {
    bool present = false;
    tips_line_info info;
};

// Slots as the controls model would report them, with the slots asked for.
struct fake_controls {
    std::array<control, 16> slots{};
    std::vector<size_t> asked;

    void put(size_t slot, const wchar_t* name, int32_t volume, bool usable = true,
             bool muted = false) {
        slots[slot].present = true;
        slots[slot].info.name = name;
        slots[slot].info.volume = volume;
        slots[slot].info.usable = usable;
        slots[slot].info.muted = muted;
    }
    tips_line_source source() {
        return [this](size_t slot, tips_line_info& info) {
            asked.push_back(slot);
            if (slot >= slots.size() || !slots[slot].present) return false;
            info = slots[slot].info;
            return true;
        };
    }
};

tips_format make_format(const wchar_t* head, const wchar_t* line, const wchar_t* line2,
                        int32_t multiline) {
    tips_format f;
    StringCchCopyW(f.head, tips_format::format_capacity, head);
    StringCchCopyW(f.line, tips_format::format_capacity, line);
    StringCchCopyW(f.line2, tips_format::format_capacity, line2);
    f.multiline = multiline;
    finish_tips_format(f);
    return f;
}

std::wstring build(const tips_format& format, size_t current, fake_controls& controls,
                   bool vol0_on_mute = false) {
    std::vector<wchar_t> out(tips_text_capacity, L'?');
    const size_t n = build_tips_text_from(format, current, controls.source(), green, vol0_on_mute,
                                          out.data(), out.size());
    EXPECT_EQ(n, wcslen(out.data()));
    return out.data();
}

std::wstring expand(const wchar_t* line, size_t slot, const tips_line_info& info,
                    bool vol0_on_mute = false, uint32_t text_color = green) {
    tips_format format;
    wchar_t out[256];
    expand_tips_line(line, slot, info, format, text_color, vol0_on_mute, out, 256, 0);
    return out;
}

TEST(tips_text, multiline_lists_the_current_control_first_when_beyond_the_list) {
    fake_controls c;
    c.put(0, L"Speakers", 40);
    c.put(1, L"Mic", 70);
    c.put(5, L"Line", 5);
    const tips_format f = make_format(L"&{H0}100%%%v", L"*%l %v", L"%l %v", 2);
    EXPECT_EQ(build(f, 5, c), L"&{H0}100%%v*Line 5\nSpeakers 40\nMic 70");
    EXPECT_EQ(c.asked, (std::vector<size_t>{5, 0, 1}));
}

TEST(tips_text, multiline_uses_the_current_format_in_its_own_slot) {
    fake_controls c;
    c.put(0, L"A", 1);
    c.put(1, L"B", 2);
    c.put(2, L"C", 3);
    const tips_format f = make_format(L"", L"[%l]", L"%l", 3);
    EXPECT_EQ(build(f, 1, c), L"A\n[B]\nC");
}

TEST(tips_text, empty_slots_are_skipped_without_blank_lines) {
    fake_controls c;
    c.put(1, L"B", 2);
    c.put(3, L"D", 4);
    const tips_format f = make_format(L"h", L"[%l]", L"%l", 4);
    EXPECT_EQ(build(f, 3, c), L"hB\n[D]");
    // The current slot empty and beyond the list: only the others.
    EXPECT_EQ(build(make_format(L"h", L"[%l]", L"%l", 2), 9, c), L"hB");
}

TEST(tips_text, multiline_zero_is_head_and_current_line) {
    fake_controls c;
    c.put(0, L"A", 1);
    c.put(3, L"D", 4);
    EXPECT_EQ(build(make_format(L"head ", L"%l %v%%", L"unused", 0), 3, c), L"head D 4%");
    EXPECT_EQ(c.asked, (std::vector<size_t>{3}));
}

TEST(tips_text, invalid_format_writes_nothing) {
    fake_controls c;
    c.put(0, L"A", 1);
    EXPECT_EQ(build(make_format(L"head", L"", L"%l", 2), 0, c), L"");
    EXPECT_TRUE(c.asked.empty());
}

TEST(tips_text, overflow_stops_at_1599_characters) {
    fake_controls c;
    std::wstring name(200, L'n');
    c.put(0, name.c_str(), 50);
    c.put(1, name.c_str(), 50);
    c.put(2, name.c_str(), 50);
    c.put(3, name.c_str(), 50);
    const tips_format f = make_format(L"&{C2}", L"%l%l%l", L"%l%l%l", 4);
    std::vector<wchar_t> out(tips_text_capacity + 8, L'#');
    const size_t n =
        build_tips_text_from(f, 0, c.source(), green, false, out.data(), tips_text_capacity);
    EXPECT_EQ(n, tips_text_capacity - 1);
    EXPECT_EQ(out[tips_text_capacity - 1], L'\0');
    for (size_t i = tips_text_capacity; i < out.size(); ++i)
        EXPECT_EQ(out[i], L'#') << "written past the end";
    EXPECT_EQ(std::wstring(out.data(), 5), L"&{C2}");
}

TEST(tips_text, tiny_buffers_stay_terminated) {
    fake_controls c;
    c.put(0, L"Speakers", 40);
    const tips_format f = make_format(L"head", L"%l", L"%l", 0);
    wchar_t out[3] = {L'x', L'x', L'x'};
    EXPECT_EQ(build_tips_text_from(f, 0, c.source(), green, false, out, 3), 2u);
    EXPECT_STREQ(out, L"he");
    wchar_t one[1] = {L'x'};
    EXPECT_EQ(build_tips_text_from(f, 0, c.source(), green, false, one, 1), 0u);
    EXPECT_EQ(one[0], L'\0');
}

struct escape_case {
    const wchar_t* line;
    size_t slot;
    const wchar_t* expected;
};

class line_escapes : public ::testing::TestWithParam<escape_case> {};

TEST_P(line_escapes, expand) {
    tips_line_info info;
    info.name = L"Speakers";
    info.volume = 42;
    info.usable = true;
    EXPECT_EQ(expand(GetParam().line, GetParam().slot, info), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    table, line_escapes,
    ::testing::Values(escape_case{L"%l %v%% %s", 0, L"Speakers 42% [Active]"},
                      escape_case{L"&{P8,%v,%ev}", 0, L"&{P8,42,00010520}"},
                      escape_case{L"&{E%emL0,%s", 3, L"&{E00020523L0,[Active]"},
                      escape_case{L"%ev%em", 15, L"0001052f0002052f"},
                      escape_case{L"%ex%q|", 0, L"|"}, // unknown escapes write nothing
                      escape_case{L"a%", 0, L"a"},     // cut off by the end
                      escape_case{L"a%e", 0, L"a"}, escape_case{L"a%c", 0, L"a"},
                      escape_case{L"%cx", 0, L"C#00ff00"},
                      escape_case{L"%c%%", 0, L"C#00ff00"})); // the character after %c is consumed

TEST(tips_text, state_words_and_volumes) {
    tips_format f;
    StringCchCopyW(f.norm_text, tips_format::word_capacity, L"on");
    StringCchCopyW(f.mute_text, tips_format::word_capacity, L"off");
    StringCchCopyW(f.err_text, tips_format::word_capacity, L"gone");
    const auto state = [&](bool usable, bool muted) {
        tips_line_info info;
        info.usable = usable;
        info.muted = muted;
        wchar_t out[32];
        expand_tips_line(L"%s", 0, info, f, green, false, out, 32, 0);
        return std::wstring(out);
    };
    EXPECT_EQ(state(true, false), L"on");
    EXPECT_EQ(state(true, true), L"off");
    EXPECT_EQ(state(false, true), L"gone");
    tips_line_info info;
    info.volume = -1;
    EXPECT_EQ(expand(L"%v", 0, info), L"-1");
    info.volume = INT32_MIN;
    EXPECT_EQ(expand(L"%v", 0, info), L"-2147483648");
    info.name = nullptr;
    EXPECT_EQ(expand(L"<%l>", 0, info), L"<>");
    // A name is shown, never read: no line break, no block of its own.
    info.name = L"Mic\r\n&{E504}";
    EXPECT_EQ(expand(L"<%l>", 0, info), L"<Mic  & {E504}>");
}

struct colour_case {
    bool usable;
    bool muted;
    int32_t volume;
    bool vol0_on_mute;
    bool has_color;
    const wchar_t* cs; // "%cs"
    const wchar_t* cx; // "%cx"
};

class colour_escapes : public ::testing::TestWithParam<colour_case> {};

TEST_P(colour_escapes, expand) {
    const colour_case& c = GetParam();
    tips_line_info info;
    info.usable = c.usable;
    info.muted = c.muted;
    info.volume = c.volume;
    info.has_color = c.has_color;
    info.color = 0x00563412; // #123456
    EXPECT_EQ(expand(L"%cs", 0, info, c.vol0_on_mute, 0x0000FF00), c.cs);
    EXPECT_EQ(expand(L"%cx", 0, info, c.vol0_on_mute, 0x0000FF00), c.cx);
}

INSTANTIATE_TEST_SUITE_P(
    table, colour_escapes,
    ::testing::Values(colour_case{true, false, 50, false, false, L"C#00ff00", L"C#00ff00"},
                      colour_case{true, true, 50, false, false, L"C2", L"C#00ff00"},
                      colour_case{false, false, 50, false, true, L"C2", L"C#123456"},
                      colour_case{true, false, 0, true, false, L"C2", L"C#00ff00"},
                      colour_case{true, false, 0, false, false, L"C#00ff00", L"C#00ff00"},
                      colour_case{true, false, 1, true, true, L"C#123456", L"C#123456"}));

TEST(tips_text, a_muted_line_draws_in_the_mute_colour) {
    // From the format through the markup: "%cs" of a muted control.
    fake_controls c;
    c.put(0, L"A", 50, true, true);
    const std::wstring text = build(make_format(L"", L"&{%cs}%l", L"", 0), 0, c);
    struct colour_canvas final : tips_canvas {
        void select_font(int32_t) override {}
        int32_t line_height() override { return 10; }
        void measure(std::wstring_view t, int32_t& w, int32_t& h) override {
            w = static_cast<int32_t>(t.size());
            h = 10;
        }
        void set_text_color(uint32_t colorref) override { color = colorref; }
        void draw_text(const tips_rect&, std::wstring_view, tips_align) override {
            drawn_in = color;
        }
        void fill(const tips_rect&, tips_paint) override {}
        uint32_t color = 0;
        uint32_t drawn_in = 0;
    } canvas;
    tips_style style;
    style.text_color = green;
    style.text_color2 = 0x000000FF;
    tips_layout layout = measure_tips(text, style, canvas);
    draw_tips(text, style, canvas, layout);
    EXPECT_EQ(canvas.drawn_in, 0x000000FFu);
}

struct unescape_case {
    const wchar_t* stored;
    const wchar_t* text;
};

class format_unescaping : public ::testing::TestWithParam<unescape_case> {};

TEST_P(format_unescaping, rule) {
    wchar_t buffer[64];
    StringCchCopyW(buffer, 64, GetParam().stored);
    unescape_format_text(buffer);
    EXPECT_STREQ(buffer, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    table, format_unescaping,
    ::testing::Values(unescape_case{L"a\\nb", L"a\nb"}, unescape_case{L"\\r\\t", L"\r\t"},
                      unescape_case{L"ab\\0cd", L"ab"}, unescape_case{L"\\\\n", L"\\n"},
                      unescape_case{L"\\x\\{", L"x{"}, unescape_case{L"end\\", L"end"},
                      unescape_case{L"", L""}, unescape_case{L"%l\\n%v", L"%l\n%v"}));

TEST(tips_format_values, multiline_is_limited_and_validity_follows_the_line) {
    EXPECT_EQ(make_format(L"", L"x", L"", 7).multiline, 4);
    EXPECT_EQ(make_format(L"", L"x", L"", -3).multiline, 0);
    EXPECT_EQ(make_format(L"", L"x", L"", 4).multiline, 4);
    EXPECT_TRUE(make_format(L"", L"x", L"", 0).valid);
    EXPECT_FALSE(make_format(L"h", L"", L"y", 0).valid);
    // A line that unescapes to nothing is empty.
    EXPECT_FALSE(make_format(L"h", L"\\0abc", L"y", 0).valid);
}

// Loading runs against the current directory, as in the program.
class format_file : public ::testing::Test {
protected:
    void SetUp() override {
        GetCurrentDirectoryW(MAX_PATH, previous_);
        CreateDirectoryW(folder_.file(L"resource").c_str(), nullptr);
        ASSERT_TRUE(SetCurrentDirectoryW(folder_.path().c_str()));
    }
    void TearDown() override { SetCurrentDirectoryW(previous_); }
    void write(const std::wstring& text) {
        ASSERT_TRUE(write_utf16(folder_.file(L"resource\\resource.ini"), text));
    }

    temp_folder folder_;
    wchar_t previous_[MAX_PATH] = {};
};

TEST_F(format_file, loads_and_unescapes_a_section) {
    write(
        L"[plain]\r\nfmt_head=&{H-1}\\n\r\nfmt_line=%l\\t%v\r\nfmt_line2=\\\\%l\r\nnorm_text=ok\r\n"
        L"mute_text=quiet\r\nerr_text=lost\r\nmultiline=9\r\n");
    tips_format f;
    EXPECT_TRUE(load_tips_format(f, L"plain"));
    EXPECT_STREQ(f.head, L"&{H-1}\n");
    EXPECT_STREQ(f.line, L"%l\t%v");
    EXPECT_STREQ(f.line2, L"\\%l");
    EXPECT_STREQ(f.norm_text, L"ok");
    EXPECT_STREQ(f.mute_text, L"quiet");
    EXPECT_STREQ(f.err_text, L"lost");
    EXPECT_EQ(f.multiline, 4);
}

TEST_F(format_file, missing_keys_keep_defaults_and_an_empty_line_is_invalid) {
    write(L"[some]\r\nfmt_line=x\r\n[noline]\r\nfmt_head=h\r\nmultiline=2\r\n[root]\r\nfmt_line="
          L"r\r\n");
    tips_format f;
    EXPECT_TRUE(load_tips_format(f, L"some"));
    EXPECT_STREQ(f.norm_text, L"[Active]");
    EXPECT_STREQ(f.mute_text, L"[Mute]");
    EXPECT_STREQ(f.err_text, L"[ERROR]");
    EXPECT_EQ(f.multiline, 0);
    EXPECT_FALSE(load_tips_format(f, L"noline"));
    EXPECT_FALSE(f.valid);
    EXPECT_FALSE(load_tips_format(f, L"absent"));
    // No name: the section "root".
    EXPECT_TRUE(load_tips_format(f, L""));
    EXPECT_STREQ(f.line, L"r");
    EXPECT_TRUE(load_tips_format(f, nullptr));
}

TEST_F(format_file, loading_replaces_a_previous_format) {
    write(L"[a]\r\nfmt_line=x\r\nnorm_text=A\r\nmultiline=3\r\n[b]\r\nfmt_line=y\r\n");
    tips_format f;
    EXPECT_TRUE(load_tips_format(f, L"a"));
    EXPECT_TRUE(load_tips_format(f, L"b"));
    EXPECT_STREQ(f.norm_text, L"[Active]");
    EXPECT_EQ(f.multiline, 0);
}

TEST_F(format_file, long_values_are_cut_to_319_characters) {
    write(L"[long]\r\nfmt_line=" + std::wstring(400, L'x') + L"\r\nnorm_text=" +
          std::wstring(100, L'y') + L"\r\n");
    tips_format f;
    EXPECT_TRUE(load_tips_format(f, L"long"));
    EXPECT_EQ(wcslen(f.line), 319u);
    EXPECT_EQ(wcslen(f.norm_text), 63u);
}

TEST(tips_format_file_missing, leaves_the_format_invalid) {
    temp_folder folder;
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(folder.path().c_str()));
    tips_format f;
    EXPECT_FALSE(load_tips_format(f, L"flatbar_ml"));
    SetCurrentDirectoryW(previous);
}

} // namespace
