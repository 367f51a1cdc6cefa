#include "confctl/config.h"
#include "confctl/confctl.h"
#include "confctl/ini_encoding.h"
#include "confctl/ini_values.h"
#include "tests/support/files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

using test_support::read_bytes;
using test_support::read_text;
using test_support::temp_folder;
using test_support::write_ascii;

namespace {

std::wstring stem(const temp_folder& folder, const wchar_t* name) {
    return folder.file(name);
}

struct number_case {
    const char* text;
    bool found;
    uint32_t as_ulong;
    int32_t as_long;
};

class store_numbers : public ::testing::TestWithParam<number_case> {};

TEST_P(store_numbers, read_by_the_digit_rule) {
    const auto& c = GetParam();
    temp_folder folder;
    write_ascii(folder.file(L"n.ini"), std::string("[s]\r\nk=") + c.text + "\r\n");
    m_confctl_ini store;
    ASSERT_TRUE(store.open(stem(folder, L"n").c_str(), false));
    store.select_section(L"s");
    uint32_t u = 777;
    int32_t l = 777;
    EXPECT_EQ(store.read_ulong(L"k", u), c.found);
    EXPECT_EQ(store.read_long(L"k", l), c.found);
    EXPECT_EQ(u, c.found ? c.as_ulong : 777u);
    EXPECT_EQ(l, c.found ? c.as_long : 777);
}

INSTANTIATE_TEST_SUITE_P(
    table, store_numbers,
    ::testing::Values(number_case{"42", true, 42, 42}, number_case{"-5", true, 0, -5},
                      number_case{"+7", true, 0, 7}, number_case{"12abc", true, 12, 12},
                      number_case{"abc", true, 0, 0}, number_case{"", false, 0, 0},
                      number_case{"4294967295", true, 4294967295u, -1},
                      // Wraps in 32 bits: 4294967296 is 2^32.
                      number_case{"4294967296", true, 0, 0},
                      number_case{"-2147483648", true, 0, INT32_MIN},
                      // Only the first 15 characters are read.
                      number_case{"1000000000000000000000000000000000000000", true, 276447232u,
                                  276447232}));

TEST(store, bool_reads_any_nonzero_and_writes_one) {
    temp_folder folder;
    write_ascii(folder.file(L"b.ini"), "[s]\r\nflag=2\r\nword=yes\r\n");
    m_confctl_ini store;
    ASSERT_TRUE(store.open(stem(folder, L"b").c_str(), false));
    store.select_section(L"s");
    bool flag = false, word = true, missing = true;
    EXPECT_TRUE(store.get_bool(L"flag", flag));
    EXPECT_TRUE(flag);
    EXPECT_TRUE(store.get_bool(L"word", word));
    EXPECT_FALSE(word);
    EXPECT_FALSE(store.get_bool(L"missing", missing));
    EXPECT_TRUE(missing);

    m_confctl_ini out;
    ASSERT_TRUE(out.open(stem(folder, L"b").c_str(), true));
    out.select_section(L"s");
    EXPECT_TRUE(out.put_bool(L"flag", flag));
    wchar_t text[8];
    EXPECT_TRUE(out.read_string(L"flag", text, 8));
    EXPECT_STREQ(text, L"1");
}

TEST(store, bytes_and_chars_keep_the_low_eight_bits) {
    temp_folder folder;
    write_ascii(folder.file(L"c.ini"), "[s]\r\nb=300\r\nc=-1\r\n");
    m_confctl_ini store;
    ASSERT_TRUE(store.open(stem(folder, L"c").c_str(), false));
    store.select_section(L"s");
    uint8_t b = 0;
    int8_t c = 0;
    EXPECT_TRUE(store.get_byte(L"b", b));
    EXPECT_EQ(b, 44);
    EXPECT_TRUE(store.get_char(L"c", c));
    EXPECT_EQ(c, -1);
    m_confctl_ini out;
    ASSERT_TRUE(out.open(stem(folder, L"c").c_str(), true));
    out.select_section(L"s");
    out.put_char(L"c", int8_t{-100});
    out.put_byte(L"b", uint8_t{200});
    wchar_t text[8];
    out.read_string(L"c", text, 8);
    EXPECT_STREQ(text, L"-100");
    out.read_string(L"b", text, 8);
    EXPECT_STREQ(text, L"200");
}

struct color_case {
    const wchar_t* text;
    COLORREF expected;
};

class store_colors : public ::testing::TestWithParam<color_case> {};

TEST_P(store_colors, parse_by_the_hex_rule) {
    EXPECT_EQ(ini_values::parse_color(GetParam().text, RGB(1, 2, 3)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    table, store_colors,
    ::testing::Values(color_case{L"#00ff00", RGB(0, 255, 0)},
                      color_case{L"#ff0000", RGB(255, 0, 0)},
                      color_case{L"#0000FF", RGB(0, 0, 255)}, color_case{L"#12", RGB(0, 0, 0x12)},
                      color_case{L"#0f0", RGB(0, 0, 0xf0)},
                      color_case{L"#12345678", RGB(0x12, 0x34, 0x56)},
                      color_case{L"#", RGB(0, 0, 0)}, color_case{L"#zz", RGB(0, 0, 0)},
                      color_case{L"00ff00", RGB(1, 2, 3)}, color_case{L"", RGB(1, 2, 3)}));

TEST(store, color_round_trip_and_default) {
    temp_folder folder;
    m_confctl_ini out;
    ASSERT_TRUE(out.open(stem(folder, L"col").c_str(), true));
    out.select_section(L"s");
    COLORREF color = RGB(0x12, 0xab, 0xef);
    EXPECT_TRUE(out.exchange_color(L"c", color, 0));
    wchar_t text[16];
    out.read_string(L"c", text, 16);
    EXPECT_STREQ(text, L"#12abef");

    m_confctl_ini in;
    ASSERT_TRUE(in.open(stem(folder, L"col").c_str(), false));
    in.select_section(L"s");
    COLORREF back = 0;
    EXPECT_TRUE(in.exchange_color(L"c", back, RGB(9, 9, 9)));
    EXPECT_EQ(back, color);
    EXPECT_FALSE(in.exchange_color(L"absent", back, RGB(9, 9, 9)));
    EXPECT_EQ(back, RGB(9, 9, 9));
}

TEST(store, delete_section_selects_root) {
    temp_folder folder;
    m_confctl_ini out;
    ASSERT_TRUE(out.open(stem(folder, L"d").c_str(), true));
    out.select_section(L"gone");
    out.write_string(L"k", L"v");
    out.select_section(L"kept");
    out.write_string(L"k", L"v");
    EXPECT_TRUE(out.delete_section(L"gone"));
    EXPECT_STREQ(out.section(), L"root");
    std::wstring text = read_text(folder.file(L"d.ini"));
    EXPECT_EQ(text.find(L"[gone]"), std::wstring::npos);
    EXPECT_NE(text.find(L"[kept]"), std::wstring::npos);
    out.select_section(L"kept");
    EXPECT_TRUE(out.delete_key(L"k"));
    wchar_t value[8];
    EXPECT_FALSE(out.read_string(L"k", value, 8));
}

TEST(store, missing_file_reads_nothing) {
    temp_folder folder;
    m_confctl_ini store;
    EXPECT_FALSE(store.open(stem(folder, L"nothing").c_str(), false));
    EXPECT_STRNE(store.path(), L"");
    wchar_t value[8] = L"x";
    EXPECT_FALSE(store.read_string(L"k", value, 8));
    int32_t number = 5;
    EXPECT_FALSE(store.read_long(L"k", number));
    EXPECT_EQ(number, 5);
    EXPECT_FALSE(test_support::file_exists(folder.file(L"nothing.ini")));
}

TEST(store, open_appends_ini_and_resolves_relative_names) {
    temp_folder folder;
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(folder.path().c_str());
    m_confctl_ini store;
    EXPECT_TRUE(store.open(L"rel", true));
    SetCurrentDirectoryW(previous);
    EXPECT_EQ(std::wstring(store.path()), folder.file(L"rel.ini"));
    EXPECT_STREQ(store.section(), L"root");
    EXPECT_TRUE(store.write_mode());
    store.close();
    EXPECT_STREQ(store.path(), L"");
    EXPECT_TRUE(store.write_mode());
}

TEST(store, new_file_keeps_characters_outside_the_code_page) {
    temp_folder folder;
    {
        m_confctl_ini out;
        ASSERT_TRUE(out.open(stem(folder, L"u").c_str(), true));
        out.select_section(L"s");
        EXPECT_TRUE(out.write_string(L"name", L"スピーカー"));
    }
    auto bytes = test_support::read_bytes(folder.file(L"u.ini"));
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xFE);
    m_confctl_ini in;
    ASSERT_TRUE(in.open(stem(folder, L"u").c_str(), false));
    in.select_section(L"s");
    wchar_t name[32];
    ASSERT_TRUE(in.read_string(L"name", name, 32));
    EXPECT_STREQ(name, L"スピーカー");
}

TEST(store, existing_ansi_file_is_read_as_it_is) {
    temp_folder folder;
    write_ascii(folder.file(L"a.ini"), "[s]\r\nk=plain\r\n");
    m_confctl_ini out;
    ASSERT_TRUE(out.open(stem(folder, L"a").c_str(), true));
    out.select_section(L"s");
    wchar_t value[16];
    ASSERT_TRUE(out.read_string(L"k", value, 16));
    EXPECT_STREQ(value, L"plain");
    auto bytes = test_support::read_bytes(folder.file(L"a.ini"));
    EXPECT_EQ(bytes[0], '[');
}

// Text forms ----------------------------------------------------------------

// The lines that are not blank, in order: Wine's profile writer drops blank
// lines and spaces around "=" whenever it writes, Windows keeps them.
::testing::AssertionResult keeps_in_order(const std::wstring& text,
                                          const std::vector<std::wstring>& expected) {
    std::vector<std::wstring> lines;
    for (size_t start = 0, end; start <= text.size(); start = end + 1) {
        end = std::min(text.find_first_of(L"\r\n", start), text.size());
        if (end > start) lines.push_back(text.substr(start, end - start));
    }
    size_t at = 0;
    for (const auto& line : expected) {
        while (at < lines.size() && lines[at] != line) ++at;
        if (at++ >= lines.size()) return ::testing::AssertionFailure() << "lost: " << line;
    }
    return ::testing::AssertionSuccess();
}

bool starts_with_utf16_mark(const std::wstring& path) {
    auto bytes = read_bytes(path);
    return bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
}

bool temp_file_left(const temp_folder& folder) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(folder.file(L"*.tmp").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
    return find != INVALID_HANDLE_VALUE;
}

struct value_case {
    const wchar_t* section;
    const wchar_t* key;
    const wchar_t* value;
    const char* ansi; // the bytes stored when the file stays ANSI; null: UTF-16
};

class store_values : public ::testing::TestWithParam<value_case> {};

TEST_P(store_values, ansi_file_stays_ansi_or_becomes_utf16_keeping_every_line) {
    if (GetACP() != 1252) GTEST_SKIP() << "the bytes are those of code page 1252";
    const auto& c = GetParam();
    temp_folder folder;
    const auto path = folder.file(L"h.ini");
    const std::string before =
        "; by hand\r\n# too\r\n[Mystery]\r\nkeep=me\r\n[s]\r\nk=old\r\nz=caf\xE9\r\n";
    write_ascii(path, before);
    {
        m_confctl_ini out;
        ASSERT_TRUE(out.open(stem(folder, L"h").c_str(), true));
        out.select_section(c.section);
        EXPECT_TRUE(out.write_string(c.key, c.value));
        EXPECT_FALSE(out.failed());
    }
    if (c.ansi) {
        std::string after = before;
        after.replace(after.find("old"), 3, c.ansi);
        EXPECT_EQ(read_bytes(path), std::vector<uint8_t>(after.begin(), after.end()));
        return;
    }
    EXPECT_TRUE(starts_with_utf16_mark(path));
    EXPECT_TRUE(keeps_in_order(read_text(path), {L"; by hand", L"# too", L"[Mystery]", L"keep=me",
                                                 L"[s]", L"z=caf\u00e9"}));
    m_confctl_ini in;
    ASSERT_TRUE(in.open(stem(folder, L"h").c_str(), false));
    in.select_section(c.section);
    wchar_t value[64];
    ASSERT_TRUE(in.read_string(c.key, value, 64));
    EXPECT_STREQ(value, c.value);
    EXPECT_FALSE(temp_file_left(folder));
}

INSTANTIATE_TEST_SUITE_P(
    table, store_values,
    ::testing::Values(value_case{L"s", L"k", L"plain", "plain"},
                      value_case{L"s", L"k", L"Kopfh\u00f6rer", "Kopfh\xF6rer"},
                      value_case{L"s", L"k", L"", ""}, value_case{L"s", L"k", L"スピーカー"},
                      value_case{L"s", L"k", L"\U0001F3A7 Kopfh\u00f6rer"},
                      // Best fit would store "Audio".
                      value_case{L"s", L"k", L"\u0100udio"}, value_case{L"音量", L"k", L"1"},
                      value_case{L"s", L"名前", L"x"}));

struct conversion_case {
    std::string bytes;
    const wchar_t* text; // null: refused
};

class conversion : public ::testing::TestWithParam<conversion_case> {};

TEST_P(conversion, keeps_the_text_exactly_or_leaves_the_file) {
    const auto& c = GetParam();
    temp_folder folder;
    const auto path = folder.file(L"c.ini");
    write_ascii(path, c.bytes);
    EXPECT_EQ(ini_encoding::prepare_change(path.c_str(), L"s", L"k", L"\U0001F3A7"),
              c.text != nullptr);
    if (c.text) {
        EXPECT_TRUE(starts_with_utf16_mark(path));
        EXPECT_EQ(read_text(path), c.text);
    } else {
        EXPECT_EQ(read_bytes(path), std::vector<uint8_t>(c.bytes.begin(), c.bytes.end()));
    }
    EXPECT_FALSE(temp_file_left(folder));
}

INSTANTIATE_TEST_SUITE_P(
    table, conversion,
    ::testing::Values(conversion_case{"; c\r\n\r\n[a]\r\n  key = spaced  \r\n\n\rlast",
                                      L"; c\r\n\r\n[a]\r\n  key = spaced  \r\n\n\rlast"},
                      conversion_case{"", L""},
                      conversion_case{"\xEF\xBB\xBF[a]\r\n\r\nk=K\xC3\xB6pf \xF0\x9F\x8E\xA7\r\n",
                                      L"[a]\r\n\r\nk=K\u00f6pf \U0001F3A7\r\n"},
                      // Broken UTF-8 behind the mark would not survive.
                      conversion_case{"\xEF\xBB\xBF[a]\r\nk=\xC3(\r\n", nullptr}));

// An antivirus, indexer or sync client holds the file for a moment without
// delete sharing, just when the converted text is to replace it.
TEST(conversion, waits_out_a_brief_hold_of_the_file) {
    temp_folder folder;
    const auto path = folder.file(L"c.ini");
    write_ascii(path, "[s]\r\nk=old\r\n");
    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::thread scanner([&] {
        // Let go a while after the replacement is ready, as a scan ends.
        const ULONGLONG give_up = GetTickCount64() + 10000;
        while (!temp_file_left(folder) && GetTickCount64() < give_up) Sleep(1);
        Sleep(100);
        CloseHandle(held);
    });
    const bool prepared = ini_encoding::prepare_change(path.c_str(), L"s", L"k", L"\U0001F3A7");
    scanner.join();
    EXPECT_TRUE(prepared);
    EXPECT_TRUE(starts_with_utf16_mark(path));
    EXPECT_EQ(read_text(path), L"[s]\r\nk=old\r\n");
    EXPECT_FALSE(temp_file_left(folder));
}

// Settings model ------------------------------------------------------------

class settings : public ::testing::Test {
protected:
    void SetUp() override {
        GetCurrentDirectoryW(MAX_PATH, previous_);
        SetCurrentDirectoryW(folder_.path().c_str());
    }
    void TearDown() override { SetCurrentDirectoryW(previous_); }
    std::wstring ini() const { return folder_.file(L"zuvo.ini"); }

    temp_folder folder_;
    wchar_t previous_[MAX_PATH] = {};
};

TEST_F(settings, every_default_without_a_file) {
    Cconfig c;
    exchange(c, false);
    // The main program's own rule for an empty control list.
    Cconfig::m_confctl_zuvo store;
    Cconfig m;
    m.file_found = store.open(L"zuvo", false);
    exchange_settings(store, m, true);

    EXPECT_FALSE(m.file_found);
    EXPECT_EQ(m.regist_max, 64u);
    EXPECT_EQ(m.hotkey_volume_up, 1470u);
    EXPECT_EQ(m.hotkey_volume_down, 1468u);
    EXPECT_EQ(m.hotkey_mute, 1357u);
    EXPECT_EQ(m.hotkey_control_change, 1347u);
    EXPECT_EQ(m.hotkey_popup_menu, 1366u);
    EXPECT_TRUE(m.trayicon_show);
    EXPECT_FALSE(m.trayicon_wheel);
    EXPECT_FALSE(m.trayicon_wheel_reverse);
    EXPECT_EQ(m.text_color, RGB(0, 255, 0));
    EXPECT_EQ(m.text_color2, RGB(255, 0, 0));
    EXPECT_EQ(m.background_color, RGB(0, 0, 0));
    EXPECT_EQ(m.edge_size, 1);
    EXPECT_STREQ(m.font_face, L"");
    EXPECT_EQ(m.font_point_size, -32);
    EXPECT_EQ(m.font_weight, 400);
    EXPECT_EQ(m.font_italic, 0);
    EXPECT_EQ(m.font_antialias, 1);
    EXPECT_EQ(m.font_resolution_base, 1024);
    EXPECT_TRUE(m.layer_window);
    EXPECT_TRUE(m.layer_background_through);
    EXPECT_EQ(m.layer_transparent_rate, 100);
    EXPECT_EQ(m.vol_step_size, 10u);
    EXPECT_TRUE(m.vol_step_fit);
    EXPECT_STREQ(m.tips_format, L"flatbar_ml");
    EXPECT_EQ(m.tips_timer, 3000u);
    EXPECT_FALSE(m.tips_vol0_on_mute);
    EXPECT_EQ(m.tray_update_delay, 100u);
    EXPECT_STREQ(m.trayicon_image, L"default");
    EXPECT_STREQ(m.trayicon_digit, L"default");
    EXPECT_FALSE(m.trayicon_digit_color_link_tips);
    EXPECT_FALSE(m.trayicon_balloon);
    EXPECT_EQ(m.trayicon_balloon_timer, 1000u);
    EXPECT_FALSE(m.vol_menu);
    EXPECT_EQ(m.release_idle_delay, 4000u);
    EXPECT_FALSE(m.swap_mode);
    EXPECT_EQ(m.trim_delay, 6000u);
    EXPECT_EQ(m.working_set_increment, 204800u);

    ASSERT_TRUE(m.controls[0]);
    EXPECT_STREQ(m.controls[0]->caption, L"#");
    EXPECT_STREQ(m.controls[0]->mixer, L"");
    EXPECT_EQ(m.controls[0]->source, -1);
    EXPECT_FALSE(m.controls[0]->has_color);
    EXPECT_EQ(m.controls[0]->color, RGB(0, 255, 0));
    for (size_t i = 1; i < control_slots; ++i) EXPECT_FALSE(m.controls[i]) << i;

    ASSERT_TRUE(m.launchers[0] && m.launchers[1]);
    EXPECT_STREQ(m.launchers[0]->caption, L"&Volume Control");
    EXPECT_STREQ(m.launchers[0]->command_line, L"SndVol.exe");
    EXPECT_STREQ(m.launchers[1]->caption, L"&Audio Property");
    EXPECT_STREQ(m.launchers[1]->command_line,
                 L"rundll32.exe shell32.dll,Control_RunDLL mmsys.cpl");
    EXPECT_EQ(m.launchers[0]->hotkey, 0x0500u);
    for (size_t i = 2; i < launcher_slots; ++i) EXPECT_FALSE(m.launchers[i]) << i;
    EXPECT_TRUE(m.plugins.empty());

    // The setup program gets blank entries instead of the "#" control.
    for (size_t i = 0; i < control_slots; ++i) {
        ASSERT_TRUE(c.controls[i]);
        EXPECT_STREQ(c.controls[i]->caption, L"");
        EXPECT_STREQ(c.controls[i]->icon_image, L"default");
        EXPECT_EQ(c.controls[i]->source, -1);
    }
    EXPECT_TRUE(c.launchers[0] && c.launchers[1]);
}

TEST_F(settings, control_with_empty_caption_is_ignored_and_deleted_on_save) {
    write_ascii(ini(), "[Control03]\r\nCaption=\r\nMixer=Speakers\r\nSource=2\r\n"
                       "[Control04]\r\nCaption=Line\r\nMixer=Speakers\r\nSource=2\r\n"
                       "Color=#0000ff\r\nIconImage=blue\r\n[Control05]\r\nCaption=x\r\n"
                       "Color=00ff00\r\n");
    Cconfig::m_confctl_zuvo store;
    Cconfig m;
    m.file_found = store.open(L"zuvo", false);
    exchange_settings(store, m, true);
    EXPECT_FALSE(m.controls[3]);
    EXPECT_FALSE(m.controls[0]) << "no '#' control when a slot is in use";
    ASSERT_TRUE(m.controls[4]);
    EXPECT_STREQ(m.controls[4]->mixer, L"Speakers");
    EXPECT_EQ(m.controls[4]->source, 2);
    EXPECT_TRUE(m.controls[4]->has_color);
    EXPECT_EQ(m.controls[4]->color, RGB(0, 0, 255));
    EXPECT_TRUE(m.controls[4]->has_icon);
    EXPECT_STREQ(m.controls[4]->icon_image, L"blue");
    ASSERT_TRUE(m.controls[5]);
    EXPECT_FALSE(m.controls[5]->has_color);
    EXPECT_EQ(m.controls[5]->color, RGB(0, 255, 0));
    // A file exists: launchers come only from it.
    EXPECT_FALSE(m.launchers[0]);

    Cconfig s;
    exchange(s, false);
    ASSERT_TRUE(exchange(s, true));
    std::wstring text = read_text(ini());
    EXPECT_EQ(text.find(L"[Control03]"), std::wstring::npos);
    EXPECT_NE(text.find(L"[Control04]"), std::wstring::npos);
    EXPECT_NE(text.find(L"Color=\r\n"), std::wstring::npos) << "slot 5 writes an empty colour";
}

void fill(Cconfig& c) {
    c.regist_max = 7;
    c.hotkey_volume_up = 0x8326;
    c.hotkey_volume_down = 1;
    c.hotkey_mute = 2;
    c.hotkey_control_change = 3;
    c.hotkey_popup_menu = 4;
    c.trayicon_show = false;
    c.trayicon_wheel = true;
    c.trayicon_wheel_reverse = true;
    c.text_color = RGB(1, 2, 3);
    c.text_color2 = RGB(4, 5, 6);
    c.background_color = RGB(7, 8, 9);
    c.edge_size = -3;
    wcscpy_s(c.font_face, L"Tahoma");
    c.font_point_size = 40;
    c.font_weight = 700;
    c.font_italic = 1;
    c.font_antialias = 5;
    c.font_resolution_base = 0;
    c.layer_window = false;
    c.layer_background_through = false;
    c.layer_transparent_rate = 55;
    c.vol_step_size = 5;
    c.vol_step_fit = false;
    wcscpy_s(c.tips_format, L"oneline");
    c.tips_timer = 1234;
    c.tips_vol0_on_mute = true;
    wcscpy_s(c.trayicon_image, L"");
    wcscpy_s(c.trayicon_digit, L"big");
    c.trayicon_digit_color_link_tips = true;
    c.trayicon_balloon = true;
    c.trayicon_balloon_timer = 99;
    c.vol_menu = true;
    c.swap_mode = true;
    for (size_t i = 0; i < control_slots; ++i) c.controls[i] = std::make_unique<control_entry>();
    auto& k = *c.controls[2];
    wcscpy_s(k.caption, L"スピーカー");
    wcscpy_s(k.mixer, L"スピーカー (High Definition)");
    k.destination = 1;
    k.source = 3;
    k.balance = -40;
    k.has_color = true;
    k.color = RGB(0x10, 0x20, 0x30);
    k.has_icon = true;
    wcscpy_s(k.icon_image, L"big");
    auto& l = *c.controls[15];
    wcscpy_s(l.caption, L"#");
    c.launchers[0].reset();
    c.launchers[1].reset();
    c.launchers[9] = std::make_unique<launcher_entry>();
    wcscpy_s(c.launchers[9]->caption, L"&Notepad");
    wcscpy_s(c.launchers[9]->command_line, L"notepad.exe C:\\a b\\c.txt");
    c.launchers[9]->hotkey = 0x0341;
    c.plugins.resize(3);
    wcscpy_s(c.plugins[0].file_name, L"lockvol.dll");
    wcscpy_s(c.plugins[2].file_name, L"tickson.dll");
}

TEST_F(settings, write_then_load_round_trip) {
    Cconfig written;
    exchange(written, false);
    fill(written);
    ASSERT_TRUE(exchange(written, true));

    Cconfig m;
    load_from_current_folder(m);
    EXPECT_EQ(m.regist_max, 7u);
    EXPECT_EQ(m.hotkey_volume_up, 0x8326u);
    EXPECT_EQ(m.hotkey_volume_down, 1u);
    EXPECT_EQ(m.hotkey_mute, 2u);
    EXPECT_EQ(m.hotkey_control_change, 3u);
    EXPECT_EQ(m.hotkey_popup_menu, 4u);
    EXPECT_FALSE(m.trayicon_show);
    EXPECT_TRUE(m.trayicon_wheel);
    EXPECT_TRUE(m.trayicon_wheel_reverse);
    EXPECT_EQ(m.text_color, RGB(1, 2, 3));
    EXPECT_EQ(m.text_color2, RGB(4, 5, 6));
    EXPECT_EQ(m.background_color, RGB(7, 8, 9));
    EXPECT_EQ(m.edge_size, -3);
    EXPECT_STREQ(m.font_face, L"Tahoma");
    EXPECT_EQ(m.font_point_size, 40);
    EXPECT_EQ(m.font_weight, 700);
    EXPECT_EQ(m.font_italic, 1);
    EXPECT_EQ(m.font_antialias, 5);
    EXPECT_EQ(m.font_resolution_base, 0);
    EXPECT_FALSE(m.layer_window);
    EXPECT_FALSE(m.layer_background_through);
    EXPECT_EQ(m.layer_transparent_rate, 55);
    EXPECT_EQ(m.vol_step_size, 5u);
    EXPECT_FALSE(m.vol_step_fit);
    EXPECT_STREQ(m.tips_format, L"oneline");
    EXPECT_EQ(m.tips_timer, 1234u);
    EXPECT_TRUE(m.tips_vol0_on_mute);
    // Written empty, an empty string reads as absent: the default comes back.
    EXPECT_STREQ(m.trayicon_image, L"default");
    EXPECT_STREQ(m.trayicon_digit, L"big");
    EXPECT_TRUE(m.trayicon_digit_color_link_tips);
    EXPECT_TRUE(m.trayicon_balloon);
    EXPECT_EQ(m.trayicon_balloon_timer, 99u);
    EXPECT_TRUE(m.vol_menu);
    EXPECT_TRUE(m.swap_mode);

    for (size_t i = 0; i < control_slots; ++i)
        EXPECT_EQ(bool(m.controls[i]), i == 2 || i == 15) << i;
    const auto& k = *m.controls[2];
    EXPECT_STREQ(k.caption, L"スピーカー");
    EXPECT_STREQ(k.mixer, L"スピーカー (High Definition)");
    EXPECT_EQ(k.destination, 1);
    EXPECT_EQ(k.source, 3);
    EXPECT_EQ(k.balance, -40);
    EXPECT_TRUE(k.has_color);
    EXPECT_EQ(k.color, RGB(0x10, 0x20, 0x30));
    EXPECT_TRUE(k.has_icon);
    EXPECT_STREQ(k.icon_image, L"big");
    EXPECT_FALSE(m.controls[15]->has_color);
    EXPECT_FALSE(m.controls[15]->has_icon);

    for (size_t i = 0; i < launcher_slots; ++i) EXPECT_EQ(bool(m.launchers[i]), i == 9) << i;
    EXPECT_STREQ(m.launchers[9]->caption, L"&Notepad");
    EXPECT_STREQ(m.launchers[9]->command_line, L"notepad.exe C:\\a b\\c.txt");
    EXPECT_EQ(m.launchers[9]->hotkey, 0x0341u);

    ASSERT_EQ(m.plugins.size(), 3u);
    EXPECT_STREQ(m.plugins[0].file_name, L"lockvol.dll");
    EXPECT_STREQ(m.plugins[1].file_name, L"");
    EXPECT_STREQ(m.plugins[2].file_name, L"tickson.dll");

    // Saving again what the setup program reads changes nothing but the empty
    // image set name, which reads back as its default.
    std::wstring before = read_text(ini());
    const std::wstring empty_image = L"TrayiconImage=\r\n";
    before.replace(before.find(empty_image), empty_image.size(), L"TrayiconImage=default\r\n");
    Cconfig again;
    exchange(again, false);
    exchange(again, true);
    EXPECT_EQ(read_text(ini()), before);
}

struct blocked_case {
    const char* name;
    bool read_only;
    DWORD holder_access; // 0: no other handle
    DWORD holder_share;
    bool file_unchanged;
};

class blocked_save : public settings, public ::testing::WithParamInterface<blocked_case> {};

TEST_P(blocked_save, is_reported_and_loses_nothing) {
    const auto& c = GetParam();
    const std::string before = "; my settings\r\n# kept\r\n\r\n[Basic]\r\nVolStepSize=5\r\n\r\n"
                               "[Mine]\r\nnote=hi\r\n";
    write_ascii(ini(), before);
    Cconfig config;
    ASSERT_TRUE(exchange(config, false));
    config.vol_step_size = 7;
    wcscpy_s(config.controls[0]->caption, L"スピーカー");
    config.launchers[3] = std::make_unique<launcher_entry>();
    wcscpy_s(config.launchers[3]->caption, L"\U0001F3A7 Kopfh\u00f6rer");
    if (c.read_only) SetFileAttributesW(ini().c_str(), FILE_ATTRIBUTE_READONLY);
    HANDLE holder = INVALID_HANDLE_VALUE;
    if (c.holder_access) {
        holder = CreateFileW(ini().c_str(), c.holder_access, c.holder_share, nullptr, OPEN_EXISTING,
                             0, nullptr);
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    }
    EXPECT_FALSE(exchange(config, true));
    if (c.file_unchanged) {
        // Found before the save pass.
        m_confctl_ini store;
        EXPECT_FALSE(store.open(L"zuvo", true));
        EXPECT_TRUE(store.failed());
    }
    if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);
    SetFileAttributesW(ini().c_str(), FILE_ATTRIBUTE_NORMAL);

    auto after = read_bytes(ini());
    ASSERT_FALSE(after.empty());
    if (c.file_unchanged) {
        EXPECT_EQ(after, std::vector<uint8_t>(before.begin(), before.end()));
    }
    EXPECT_EQ(std::find(after.begin(), after.end(), '?'), after.end()) << "nothing stored as ?";
    EXPECT_FALSE(temp_file_left(folder_));

    // Once the file can be written the same save succeeds, in UTF-16.
    EXPECT_TRUE(exchange(config, true));
    EXPECT_TRUE(starts_with_utf16_mark(ini()));
    EXPECT_TRUE(keeps_in_order(read_text(ini()), {L"; my settings", L"# kept", L"[Basic]",
                                                  L"VolStepSize=7", L"[Mine]", L"note=hi"}));
    Cconfig m;
    load_from_current_folder(m);
    EXPECT_EQ(m.vol_step_size, 7u);
    ASSERT_TRUE(m.controls[0] && m.launchers[3]);
    EXPECT_STREQ(m.controls[0]->caption, L"スピーカー");
    EXPECT_STREQ(m.launchers[3]->caption, L"\U0001F3A7 Kopfh\u00f6rer");
}

INSTANTIATE_TEST_SUITE_P(
    table, blocked_save,
    ::testing::Values(blocked_case{"read_only", true, 0, 0, true},
                      blocked_case{"locked", false, GENERIC_READ | GENERIC_WRITE, 0, true},
                      blocked_case{"held_for_reading", false, GENERIC_READ, FILE_SHARE_READ, true},
                      // Plain values are written, but the UTF-16 rewrite cannot
                      // replace a file held without delete sharing.
                      blocked_case{"held_without_delete_sharing", false, GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, false}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(settings, plugin_count_beyond_keys_leaves_empty_names_and_is_bounded) {
    write_ascii(ini(), "[Plugin]\r\nNum=4000000000\r\n00=a.dll\r\n");
    Cconfig m;
    load_from_current_folder(m);
    ASSERT_EQ(m.plugins.size(), max_plugins);
    EXPECT_STREQ(m.plugins[0].file_name, L"a.dll");
    EXPECT_STREQ(m.plugins[1].file_name, L"");
}

} // namespace

namespace {

// A used slot that names only some of its line keys: the missing ones are
// the whole-device defaults, not what the slot before it held, in the main
// program as in the setup program.
TEST_F(settings, used_control_without_line_keys_reads_the_defaults) {
    write_ascii(ini(), "[Control01]\r\nCaption=full\r\nMixer=Speakers\r\nDestination=2\r\n"
                       "Source=3\r\nBalance=40\r\n[Control02]\r\nCaption=bare\r\nMixer=Speakers\r\n"
                       "[Control03]\r\nCaption=only source\r\nSource=1\r\n");
    const struct {
        size_t slot;
        int32_t destination, source, balance;
    } expected[] = {{1, 2, 3, 40}, {2, 0, -1, 0}, {3, 0, 1, 0}};
    for (bool main_program : {true, false}) {
        SCOPED_TRACE(main_program);
        Cconfig::m_confctl_zuvo store;
        Cconfig m;
        m.file_found = store.open(L"zuvo", false);
        exchange_settings(store, m, main_program);
        for (const auto& e : expected) {
            SCOPED_TRACE(e.slot);
            ASSERT_TRUE(m.controls[e.slot]);
            EXPECT_EQ(m.controls[e.slot]->destination, e.destination);
            EXPECT_EQ(m.controls[e.slot]->source, e.source);
            EXPECT_EQ(m.controls[e.slot]->balance, e.balance);
        }
    }
}

// Saving over a file written before: plug-ins removed from the list and
// launchers whose slot was freed leave nothing behind that a later load
// would take for theirs.
TEST_F(settings, saving_over_a_file_drops_stale_plugins_and_freed_launchers) {
    write_ascii(ini(), "[Plugin]\r\nNum=3\r\n00=a.dll\r\n01=b.dll\r\n02=c.dll\r\n07=stray.dll\r\n"
                       "[Launcher02]\r\nCaption=kept\r\nCmdLine=k.exe\r\n"
                       "[Launcher05]\r\nCaption=freed\r\nCmdLine=f.exe\r\nHotKey=843\r\n"
                       "[Other]\r\nKey=stays\r\n");
    Cconfig c;
    exchange(c, false);
    ASSERT_TRUE(c.launchers[5]);
    ASSERT_EQ(c.plugins.size(), 3u);
    c.launchers[5].reset();
    c.plugins.resize(1);
    ASSERT_TRUE(exchange(c, true));

    const auto entries = test_support::parse_ini(read_text(ini()));
    EXPECT_EQ(test_support::ini_section(entries, L"Plugin"),
              (std::vector<test_support::ini_entry>{{L"Plugin", L"Num", L"1"},
                                                    {L"Plugin", L"00", L"a.dll"}}));
    const auto sections = test_support::ini_sections(entries);
    EXPECT_EQ(std::count(sections.begin(), sections.end(), L"Launcher05"), 0);
    EXPECT_EQ(test_support::ini_value(entries, L"Launcher02", L"Caption"), L"kept");
    EXPECT_EQ(test_support::ini_value(entries, L"Other", L"Key"), L"stays");

    Cconfig m;
    load_from_current_folder(m);
    ASSERT_EQ(m.plugins.size(), 1u);
    EXPECT_STREQ(m.plugins[0].file_name, L"a.dll");
    for (size_t i = 0; i < launcher_slots; ++i) EXPECT_EQ(bool(m.launchers[i]), i == 2) << i;
}

} // namespace
