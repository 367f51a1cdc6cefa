// The plug-in support code's plain pieces: hot-key values and the editor's
// control word, numbers from edit fields, feedback texts (checked against
// StringCchPrintfW with the plug-ins' own formats), and the byte work of
// re-fonting a dialog template on malformed input.

#include "winui/dialog_font.h"
#include "winui/edit_number.h"
#include "plugin_sdk/feedback_text.h"
#include "winui/hotkey_value.h"
#include "winui/inert_text.h"
#include "winui/ui_language.h"

#include <windows.h>
#include <strsafe.h>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

// hot-key values ----------------------------------------------------------------

struct hotkey_case {
    uint32_t value;
    uint16_t control_word;
    bool ctrl, shift, alt, win;
};

class hotkey_values : public ::testing::TestWithParam<hotkey_case> {};

TEST_P(hotkey_values, show_as_bare_key_and_boxes_and_read_back) {
    const hotkey_case& c = GetParam();
    EXPECT_EQ(hotkey_control_word(c.value), c.control_word);
    const hotkey_boxes boxes = hotkey_modifier_boxes(c.value);
    EXPECT_EQ(boxes.ctrl, c.ctrl);
    EXPECT_EQ(boxes.shift, c.shift);
    EXPECT_EQ(boxes.alt, c.alt);
    EXPECT_EQ(boxes.win, c.win);
    EXPECT_EQ(hotkey_from_editor(c.control_word, boxes), c.value);
}

INSTANTIATE_TEST_SUITE_P(
    table, hotkey_values,
    ::testing::Values(hotkey_case{0x8326, 0x0826, true, false, true, false}, // Ctrl+Alt+Up
                      hotkey_case{0x034B, 0x004B, true, false, true, false}, // Ctrl+Alt+K
                      hotkey_case{0x0C41, 0x0041, false, true, false, true}, // Shift+Win+A
                      hotkey_case{0x8F2E, 0x082E, true, true, true, true},   // all, Delete
                      hotkey_case{0x0070, 0x0070, false, false, false, false},
                      hotkey_case{0x0000, 0x0000, false, false, false, false}));

TEST(hotkey_values, control_modifiers_other_than_extended_are_ignored) {
    // HOTKEYF_SHIFT | CONTROL | ALT on the control count for nothing: the boxes decide.
    EXPECT_EQ(hotkey_from_editor(0x074B, hotkey_boxes{}), 0x004Bu);
    EXPECT_EQ(hotkey_from_editor(0x0F26, hotkey_boxes{}), 0x8026u);
    EXPECT_EQ(hotkey_from_editor(0x074B, hotkey_boxes{false, true, false, false}), 0x044Bu);
    // Bits outside the value's meaning never leak into the control.
    EXPECT_EQ(hotkey_control_word(0xFFFF7F41), 0x0041u);
}

// read_edit_number's parsing ------------------------------------------------------

struct number_case {
    const wchar_t* text;
    int32_t value;
};

class edit_numbers : public ::testing::TestWithParam<number_case> {};

TEST_P(edit_numbers, parse) {
    EXPECT_EQ(edit_number_from_text(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    table, edit_numbers,
    ::testing::Values(number_case{L"-15", -15}, number_case{L"+7", 7}, number_case{L"12ab", 12},
                      number_case{L"", 0}, number_case{L"--3", 0}, number_case{L"+-3", 0},
                      number_case{L"-", 0}, number_case{L" 5", 0}, number_case{L"abc", 0},
                      number_case{L"007", 7}, number_case{L"2147483647", 2147483647},
                      // No overflow check: the digits wrap in 32 bits.
                      number_case{L"2147483648", INT32_MIN}, number_case{L"4294967301", 5},
                      number_case{L"-4294967295", 1}));

// The value of a decimal text in wrapping 32-bit arithmetic.
int32_t wrapped(const std::wstring& digits, bool negative) {
    uint32_t value = 0;
    for (wchar_t c : digits) value = value * 10u + static_cast<uint32_t>(c - L'0');
    return static_cast<int32_t>(negative ? 0u - value : value);
}

TEST(edit_numbers, only_the_first_31_characters_count) {
    const std::wstring digits31 = L"1234567890123456789012345678901";
    ASSERT_EQ(digits31.size(), 31u);
    EXPECT_EQ(edit_number_from_text(digits31.c_str()), wrapped(digits31, false));
    // Characters beyond the field's 31 do not count, the sign included in the 31.
    EXPECT_EQ(edit_number_from_text((digits31 + L"999").c_str()), wrapped(digits31, false));
    const std::wstring signed31 = L"-" + digits31.substr(0, 30);
    EXPECT_EQ(edit_number_from_text((signed31 + L"7").c_str()),
              wrapped(digits31.substr(0, 30), true));
    EXPECT_EQ(edit_number_from_text(nullptr), 0);
}

// feedback texts -------------------------------------------------------------------

std::wstring tips_of(std::initializer_list<feedback_line> lines, size_t capacity = 128) {
    std::vector<wchar_t> out(capacity, L'#');
    make_tips_markup(out.data(), capacity, lines);
    return out.data();
}

std::wstring balloon_of(std::initializer_list<feedback_line> lines, size_t capacity = 128) {
    std::vector<wchar_t> out(capacity, L'#');
    make_balloon_text(out.data(), capacity, lines);
    return out.data();
}

template <typename... Args> std::wstring printf_of(const wchar_t* format, Args... args) {
    wchar_t out[128];
    StringCchPrintfW(out, 128, format, args...);
    return out;
}

struct text_pair {
    std::wstring first, second;
};

class feedback_texts : public ::testing::TestWithParam<text_pair> {};

// The window mover's formats, as StringCchPrintfW applies them, and the
// same texts built block by block: the two must agree to the character,
// truncation at 127 included.
TEST_P(feedback_texts, blocks_match_the_printf_formats) {
    const auto& [first, second] = GetParam();
    const wchar_t* a = first.c_str();
    const wchar_t* b = second.c_str();
    EXPECT_EQ(tips_of({{a, 64}, {b, 64}}), printf_of(L"&{M0,%.64s\n}&{M0,%.64s\n}", a, b));
    EXPECT_EQ(balloon_of({{a, 64}, {b, 64}}), printf_of(L"%.64s\n%.64s\n", a, b));
    EXPECT_LE(tips_of({{a, 64}, {b, 64}}).size(), 127u);
}

INSTANTIATE_TEST_SUITE_P(
    table, feedback_texts,
    ::testing::Values(text_pair{L"", L""}, text_pair{L"Notepad", L"x=0 y=0 w=640 h=480"},
                      text_pair{L"無題 - メモ帳", L"位置 (10, 20)"},
                      text_pair{std::wstring(63, L't'), std::wstring(63, L'g')},
                      text_pair{std::wstring(64, L't'), L"g"},
                      text_pair{std::wstring(100, L't'), L"g"},
                      text_pair{L"t", std::wstring(100, L'g')}));

TEST(feedback_texts, exact_texts) {
    EXPECT_EQ(tips_of({{L"Notepad - 80%"}}), L"&{M0,Notepad - 80%\n}");
    EXPECT_EQ(tips_of({{L"a"}, {L"b"}}), L"&{M0,a\n}&{M0,b\n}");
    EXPECT_EQ(balloon_of({{L"a"}, {L"b"}}), L"a\nb\n");
    EXPECT_EQ(tips_of({{L"abcdef", 3}}), L"&{M0,abc\n}");
    // A line is text only: "a\r\n&{E504M0,b" would add a button posting 0x504.
    EXPECT_EQ(tips_of({{L"a\r\n&{E504M0,b"}}), L"&{M0,a  & {E504M0,b\n}");
    EXPECT_EQ(balloon_of({{L"a\nb"}, {L"c"}}), L"a b\nc\n");
    EXPECT_EQ(tips_of({{nullptr}}), L"&{M0,\n}");
    EXPECT_EQ(tips_of({}), L"");
    // Cut at capacity - 1, always terminated, never past the buffer.
    EXPECT_EQ(tips_of({{L"abcdef"}}, 8), L"&{M0,ab");
    EXPECT_EQ(balloon_of({{L"abc"}}, 4), L"abc");
    EXPECT_EQ(balloon_of({{L"abc"}}, 1), L"");
    wchar_t untouched = L'#';
    EXPECT_EQ(make_tips_markup(&untouched, 0, {{L"x"}}), 0u);
    EXPECT_EQ(untouched, L'#');
}

// The transparency plug-in formats its line itself; the semantics of %s
// (wide) and of the precision must be the same with every compiler.
TEST(feedback_texts, string_printf_formats_wide_strings) {
    EXPECT_EQ(printf_of(L"%.32s - %3d%%", L"Notepad", 80), L"Notepad -  80%");
    EXPECT_EQ(printf_of(L"%.32s - %3d%%", std::wstring(40, L'w').c_str(), 5),
              std::wstring(32, L'w') + L" -   5%");
    EXPECT_EQ(printf_of(L"<%s>", L"Shell_TrayWnd"), L"<Shell_TrayWnd>");
    EXPECT_EQ(printf_of(L"%s", std::wstring(200, L'z').c_str()), std::wstring(127, L'z'));
}

// outside texts in markup --------------------------------------------------------

struct inert_case {
    const wchar_t* text;
    size_t limit;
    size_t capacity;
    const wchar_t* expected;
};

class inert_texts : public ::testing::TestWithParam<inert_case> {};

TEST_P(inert_texts, stay_text) {
    const inert_case& c = GetParam();
    std::vector<wchar_t> out(c.capacity + 1, L'#');
    const size_t n = copy_inert_text(out.data(), c.capacity, c.text, c.limit);
    EXPECT_EQ(std::wstring(out.data()), c.expected);
    EXPECT_EQ(n, std::wstring(c.expected).size());
    EXPECT_EQ(out[c.capacity], L'#') << "written past the buffer";
}

// U+1F600 as a surrogate pair.
#define FACE L"\xD83D\xDE00"

INSTANTIATE_TEST_SUITE_P(
    table, inert_texts,
    ::testing::Values(inert_case{L"Notepad - Tom & Jerry", SIZE_MAX, 64, L"Notepad - Tom & Jerry"},
                      inert_case{L"a\r\nE504\r\n", SIZE_MAX, 64, L"a  E504  "},
                      inert_case{L"tab\there\x7F\x85\x2028\x2029|", SIZE_MAX, 64, L"tab here    |"},
                      inert_case{L"a&{E504M0,x", SIZE_MAX, 64, L"a& {E504M0,x"},
                      inert_case{L"x&", SIZE_MAX, 64, L"x& "}, // the format's "{" may follow
                      inert_case{L"x&&{", SIZE_MAX, 64, L"x&& {"},
                      inert_case{L"ab&{", 3, 64, L"ab"}, // no room for the space: the '&' goes
                      inert_case{L"ab&{", 4, 64, L"ab& "},
                      inert_case{L"ab&", 5, 4, L"ab"}, // the capacity cuts as the limit does
                      inert_case{L"a&&&", 3, 64, L"a& "},
                      inert_case{L"ab" FACE L"c", 3, 64, L"ab"}, // never half a pair
                      inert_case{L"ab" FACE L"c", 4, 64, L"ab" FACE},
                      inert_case{L"\xDE00"
                                 L"a\xD83D",
                                 SIZE_MAX, 64,
                                 L"\xDE00"
                                 L"a\xD83D"}, // lone halves stay
                      inert_case{L"abcdef", 3, 64, L"abc"}, inert_case{L"abc", SIZE_MAX, 1, L""},
                      inert_case{nullptr, SIZE_MAX, 8, L""}));

#undef FACE

// re-fonting on malformed templates ------------------------------------------------

// A minimal extended template: header, empty menu and class, title, font
// block with `face`, then one item of `item_bytes` bytes.
std::vector<uint8_t> make_template(const std::wstring& title, const std::wstring& face,
                                   size_t item_bytes, uint32_t style = 0x40 /* DS_SETFONT */) {
    std::vector<uint8_t> t;
    auto word = [&](uint16_t w) {
        t.push_back(static_cast<uint8_t>(w));
        t.push_back(static_cast<uint8_t>(w >> 8));
    };
    auto dword = [&](uint32_t d) {
        word(static_cast<uint16_t>(d));
        word(static_cast<uint16_t>(d >> 16));
    };
    word(1);
    word(0xFFFF);
    dword(0);
    dword(0);
    dword(style);
    word(1);
    for (int i = 0; i < 4; ++i) word(0);
    word(0);
    word(0);
    for (wchar_t c : title) word(static_cast<uint16_t>(c));
    word(0);
    word(9);
    word(400);
    t.push_back(0);
    t.push_back(128);
    for (wchar_t c : face) word(static_cast<uint16_t>(c));
    word(0);
    while (t.size() % 4) t.push_back(0);
    for (size_t i = 0; i < item_bytes; ++i) t.push_back(static_cast<uint8_t>(0xA0 + i));
    return t;
}

size_t refont(const std::vector<uint8_t>& resource, std::vector<uint8_t>& out,
              const wchar_t* face) {
    dialog_font font;
    font.point_size = 12;
    font.face = face;
    out.assign(resource.size() + dialog_font_headroom, 0xEE);
    return refont_dialog_template(resource.data(), resource.size(), font, out.data(), out.size());
}

TEST(dialog_font, items_move_to_the_next_boundary_byte_for_byte) {
    for (size_t title = 0; title < 4; ++title) {
        for (size_t face = 0; face <= 32; ++face) {
            const auto resource = make_template(std::wstring(title, L'T'), L"MS Shell Dlg", 24);
            std::vector<uint8_t> out;
            const std::wstring new_face(face, L'F');
            const size_t written = refont(resource, out, new_face.c_str());
            ASSERT_GT(written, 0u) << title << " " << face;
            // title end + 6 bytes of font numbers + face (at most 31) + terminator
            const size_t face_end = 30 + (title + 1) * 2 + 6 + (std::min<size_t>(face, 31) + 1) * 2;
            const size_t items = (face_end + 3) & ~size_t{3};
            ASSERT_EQ(written, items + 24);
            for (size_t i = 0; i < 24; ++i) EXPECT_EQ(out[items + i], 0xA0 + i);
            EXPECT_EQ(out[30 + (title + 1) * 2], 12); // the point size
        }
    }
}

TEST(dialog_font, refuses_what_is_not_an_extended_template_with_a_font) {
    std::vector<uint8_t> out;
    const auto good = make_template(L"t", L"face", 8);
    ASSERT_GT(refont(good, out, L"x"), 0u);

    auto bad_version = good;
    bad_version[0] = 2;
    auto old_style = good;
    old_style[2] = 0; // no 0xFFFF signature
    auto menu = good;
    menu[26] = 0xFF;
    menu[27] = 0xFF;
    auto window_class = good;
    window_class[28] = 'C';
    auto no_font = make_template(L"t", L"face", 8, 0);
    for (const std::vector<uint8_t>* resource :
         {&bad_version, &old_style, &menu, &window_class, &no_font})
        EXPECT_EQ(refont(*resource, out, L"x"), 0u);

    // Every cut short of the face name's terminator is refused; none is read past.
    const size_t face_end = 30 + 4 + 6 + 10;
    for (size_t size = 0; size < face_end; ++size) {
        std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size));
        std::vector<uint8_t> room(size + dialog_font_headroom);
        dialog_font font;
        EXPECT_EQ(refont_dialog_template(cut.data(), cut.size(), font, room.data(), room.size()),
                  0u)
            << size;
    }
    // Too little room for the copy.
    std::vector<uint8_t> small(good.size());
    dialog_font font;
    font.face = L"a face much longer than the old";
    EXPECT_EQ(refont_dialog_template(good.data(), good.size(), font, small.data(), small.size()),
              0u);
}

TEST(dialog_font, random_bytes_never_overrun) {
    std::mt19937 generator(5);
    for (int round = 0; round < 2000; ++round) {
        auto bytes = make_template(L"title", L"face", 16);
        // Damage a few bytes, sometimes the header, and sometimes cut the end.
        for (int i = 0; i < 4; ++i)
            bytes[generator() % bytes.size()] = static_cast<uint8_t>(generator());
        bytes.resize(generator() % (bytes.size() + 1));
        std::vector<uint8_t> out(bytes.size() + dialog_font_headroom);
        dialog_font font;
        font.face = L"Yu Gothic UI";
        const size_t written =
            refont_dialog_template(bytes.data(), bytes.size(), font, out.data(), out.size());
        EXPECT_LE(written, out.size());
    }
}

TEST(dialog_font, point_sizes) {
    EXPECT_EQ(dialog_point_size(-12, 96), 9);
    EXPECT_EQ(dialog_point_size(-15, 96), 11);
    EXPECT_EQ(dialog_point_size(-16, 96), 12);
    EXPECT_EQ(dialog_point_size(10, 96), 10);
    EXPECT_EQ(dialog_point_size(-1, 96), 1) << "0.75 points rounds to 1";
    // The message font at 125, 150 and 200 percent is still 9 points.
    EXPECT_EQ(dialog_point_size(-15, 120), 9);
    EXPECT_EQ(dialog_point_size(-18, 144), 9);
    EXPECT_EQ(dialog_point_size(-24, 192), 9);
    EXPECT_EQ(dialog_point_size(-12, 0), 9) << "no DPI counts as 96";
    EXPECT_EQ(dialog_point_size(INT32_MIN, 1), 0xFFFF) << "saturates";
}

} // namespace

TEST(ui_language, japanese_only_for_japanese_users) {
    const struct {
        LANGID user;
        LANGID shown;
    } cases[] = {
        {MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN), 0x0411},
        {MAKELANGID(LANG_JAPANESE, SUBLANG_NEUTRAL), 0x0411},
        {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), 0x0409},
        {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_UK), 0x0409},
        {MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), 0x0409},
        {MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED), 0x0409},
        {MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), 0x0409},
    };
    for (const auto& c : cases) EXPECT_EQ(ui_language_for(c.user), c.shown) << c.user;
}
