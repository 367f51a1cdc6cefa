// The settings editor's rules and resources: step, opacity and font
// arithmetic, resource-set lists from real files, and every dialog and
// string of zuvoset.exe in both languages.

#include "winui/ui_language.h"
#include "setup/resource.h"
#include "setup/setup_logic.h"
#include "setup/setup_state.h"
#include "tests/support/dialog_walk.h"
#include "tests/support/files.h"
#include "tests/support/harness.h"

#include "common/unique_resource.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>
#include <string>
#include <vector>

using namespace test_support;

namespace {

// Arithmetic -------------------------------------------------------------------

// The typed values a user tries (37, 99, 0, -7) are checked on the running
// page; these are the edges between the notches and beyond 32 bits.
TEST(setup_logic, step_edges_between_trackbar_notches) {
    const struct {
        int64_t typed;
        int32_t step;
        int32_t position;
    } cases[] = {{4, 4, 0}, {5, 5, 1}, {49, 49, 9}, {4294967297LL, 50, 10}};
    for (const auto& c : cases) {
        EXPECT_EQ(clamp_step(c.typed), c.step) << c.typed;
        EXPECT_EQ(step_track_position(c.step), c.position) << c.typed;
    }
    EXPECT_EQ(step_from_track(11), 50);
    EXPECT_EQ(step_from_track(-1), 1);
}

TEST(setup_logic, opacity_trackbar_position) {
    const struct {
        int32_t rate;
        int32_t position;
    } cases[] = {{100, 20}, {0, 0}, {55, 11}, {54, 10}, {-10, 0}, {250, 20}};
    for (const auto& c : cases) EXPECT_EQ(opacity_track_position(c.rate), c.position) << c.rate;
}

// Faces, sizes, weights and italics are checked on the running page; here
// the text that does not fit its buffer.
TEST(setup_logic, font_description_is_cut_to_its_buffer) {
    wchar_t small[6];
    describe_font(L"Arial", -32, 96, 400, false, small, 6);
    EXPECT_STREQ(small, L"Arial");
    wchar_t text[32];
    describe_font(nullptr, 0, 96, 400, false, text, 32);
    EXPECT_STREQ(text, L",0pt ");
}

// Heights are pixels at some DPI: the points they stand for, the height the
// font dialog is offered (the desktop's pixels with a base, 96-DPI pixels
// scaled to the screen's without), and what a height the dialog gave at
// that DPI is stored as, so that the tips show the size chosen.
TEST(setup_logic, font_heights_at_the_dpi_they_were_measured_at) {
    struct font_case {
        int32_t height, desktop, base;
        uint32_t dpi;
        int32_t points, offered, stored;
    };
    // clang-format off
    const font_case cases[] = {
        {-32, 1920, 1024, 96, 24, -60, -32},
        {-32, 1024, 1024, 96, 24, -32, -32},
        {-40, 1920, 1024, 144, 20, -75, -40},
        {-32, 1920, 0, 96, 24, -32, -32},
        {-40, 1920, 0, 144, 20, -60, -27},
        {-27, 1920, 0, 144, 14, -41, -18},      // halves round away from zero
        {30, 1920, 0, 144, 30, 45, 20},         // positive: points already
        {-32, 1920, 0, 0, 24, -32, -32},        // no DPI counts as 96
        {-32, 1920, 0, 99999, 24, -32, -32},    // nor does a damaged one
        {INT32_MIN, 2000000000, 1, 1, INT32_MAX, INT32_MIN, INT32_MIN},
        {-2000000000, 1920, 0, 4800, 30000000, INT32_MIN, -40000000},
    };
    // clang-format on
    for (const font_case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.height << " base " << c.base << " at " << c.dpi);
        EXPECT_EQ(font_points(c.height, c.dpi), c.points);
        EXPECT_EQ(font_height_for_desktop(c.height, c.desktop, c.base, c.dpi), c.offered);
        EXPECT_EQ(stored_font_height(c.height, c.dpi, c.base), c.stored);
    }
    EXPECT_EQ(stored_font_dpi(0, 144), 96u);
    EXPECT_EQ(stored_font_dpi(1920, 144), 144u);
}

// OK keeps the size the tips text has unless the user chose a font or
// ticked the box just now.
TEST(setup_logic, resolution_base_changes_only_with_a_font_or_tick_of_this_session) {
    const struct {
        bool ticked;
        int32_t stored;
        bool font_chosen;
        int32_t saved;
    } cases[] = {
        {true, 1024, false, 1024}, {true, 1920, false, 1920}, {true, 1024, true, 1600},
        {true, 0, false, 1600},    {false, 1024, false, 0},   {false, 1024, true, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(resolution_base_at_ok(c.ticked, c.stored, c.font_chosen, 1600), c.saved)
            << c.ticked << " " << c.stored << " " << c.font_chosen;
}

TEST(setup_logic, display_time_keeps_every_unsigned_value) {
    const struct {
        const wchar_t* typed;
        uint32_t time;
    } cases[] = {{L"3000", 3000u},
                 {L"3000000000", 3000000000u},
                 {L"4294967295", 4294967295u},
                 {L"+7", 7u},
                 {L"12 ms", 12u},
                 {L"-5", 0u},
                 {L"", 0u},
                 {L"4294967296", 0u}};
    for (const auto& c : cases) EXPECT_EQ(display_time_from_text(c.typed), c.time) << c.typed;
    EXPECT_EQ(display_time_from_text(nullptr), 0u);
}

// Resource sets ----------------------------------------------------------------

class in_folder : public ::testing::Test {
protected:
    void SetUp() override {
        GetCurrentDirectoryW(MAX_PATH, previous_);
        ASSERT_TRUE(CreateDirectoryW(folder_.file(L"resource").c_str(), nullptr));
        ASSERT_TRUE(SetCurrentDirectoryW(folder_.path().c_str()));
    }
    void TearDown() override { SetCurrentDirectoryW(previous_); }

    temp_folder folder_{L"qbset"};
    wchar_t previous_[MAX_PATH] = {};
};

TEST_F(in_folder, resource_sets_take_descriptions_or_section_names) {
    ASSERT_TRUE(write_ascii(folder_.file(L"resource\\resource.ini"),
                            "[sections]\r\nicon00=default\r\nicon03=plain\r\nfmt00=x\r\n"
                            "icon20=beyond\r\n[default]\r\ndesc=Speaker\r\n[plain]\r\n"));
    resource_set_list icons;
    load_resource_sets(L"icon", icons);
    EXPECT_STREQ(icons[0].section, L"default");
    EXPECT_STREQ(icons[0].description, L"Speaker");
    EXPECT_STREQ(icons[1].section, L"");
    EXPECT_STREQ(icons[3].section, L"plain");
    EXPECT_STREQ(icons[3].description, L"plain");
    size_t named = 0;
    for (const auto& entry : icons) named += entry.section[0] != L'\0';
    EXPECT_EQ(named, 2u);
}

TEST_F(in_folder, damaged_or_missing_resource_file_leaves_the_lists_empty) {
    resource_set_list formats;
    formats[5].section[0] = L'x';
    load_resource_sets(L"fmt", formats);
    for (const auto& entry : formats) EXPECT_STREQ(entry.section, L"");

    const uint8_t garbage[] = {0xFF, 0x00, 0x5B, 0x0A, 0xC3, 0x28, 0x00, 0x00, 0x3D, 0x3D};
    ASSERT_TRUE(write_bytes(folder_.file(L"resource\\resource.ini"), garbage, sizeof garbage));
    load_resource_sets(L"fmt", formats);
    for (const auto& entry : formats) EXPECT_STREQ(entry.section, L"");
}

// Resources of zuvoset.exe -----------------------------------------------------

constexpr LANGID english = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
constexpr LANGID japanese = MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN);

struct program_resources {
    unique_hmodule module{LoadLibraryExW((build_bin_folder() + L"\\zuvoset.exe").c_str(), nullptr,
                                         LOAD_LIBRARY_AS_DATAFILE)};

    const uint8_t* dialog(UINT id, LANGID language) const {
        HRSRC found = FindResourceExW(module.get(), RT_DIALOG, MAKEINTRESOURCEW(id), language);
        if (!found) return nullptr;
        return static_cast<const uint8_t*>(LockResource(LoadResource(module.get(), found)));
    }
};

constexpr UINT dialogs[] = {IDD_FRAME,        IDD_PAGE_BASIC,    IDD_PAGE_HOTKEYS,
                            IDD_PAGE_TIPS,    IDD_PAGE_CONTROLS, IDD_PAGE_LAUNCHER,
                            IDD_PAGE_PLUGINS, IDD_CONTROL_SELECT};

INT_PTR CALLBACK silent_dialog(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

TEST(setup_resources, every_dialog_has_the_same_controls_in_both_languages) {
    program_resources program;
    ASSERT_TRUE(program.module) << "zuvoset.exe is built beside the tests";
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    // Pages are child dialogs and need a parent.
    unique_hwnd parent(CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 800, 600, nullptr,
                                       nullptr, nullptr, nullptr));
    ASSERT_TRUE(parent);
    for (UINT id : dialogs) {
        const uint8_t* en = program.dialog(id, english);
        const uint8_t* ja = program.dialog(id, japanese);
        ASSERT_TRUE(en && ja) << id;
        const parsed_dialog english_dialog = parse_dialog(en);
        const parsed_dialog japanese_dialog = parse_dialog(ja);
        ASSERT_FALSE(english_dialog.items.empty()) << id;
        ASSERT_EQ(english_dialog.items.size(), japanese_dialog.items.size()) << id;
        for (size_t i = 0; i < english_dialog.items.size(); ++i) {
            EXPECT_EQ(english_dialog.items[i].id, japanese_dialog.items[i].id) << id;
            EXPECT_EQ(english_dialog.items[i].class_name, japanese_dialog.items[i].class_name);
        }
        // Shown, every control is there (a class that fails to register
        // would leave a hole).
        for (const uint8_t* layout : {en, ja}) {
            unique_hwnd shown(CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                                                         reinterpret_cast<LPCDLGTEMPLATEW>(layout),
                                                         parent.get(), silent_dialog, 0));
            ASSERT_TRUE(shown) << id;
            size_t children = 0;
            for (HWND child = GetWindow(shown.get(), GW_CHILD); child;
                 child = GetWindow(child, GW_HWNDNEXT))
                ++children;
            EXPECT_EQ(children, english_dialog.items.size()) << id;
            for (const auto& item : english_dialog.items) {
                if (static_cast<uint16_t>(item.id) == 0xFFFF) continue;
                EXPECT_TRUE(GetDlgItem(shown.get(), static_cast<int>(item.id)))
                    << id << " item " << item.id;
            }
        }
    }
}

TEST(setup_resources, page_names_and_texts_are_translated) {
    program_resources program;
    ASSERT_TRUE(program.module);
    const struct {
        UINT id;
        const wchar_t* english;
        const wchar_t* japanese;
    } pages[] = {{IDD_PAGE_BASIC, L"Basic", L"基本"},
                 {IDD_PAGE_HOTKEYS, L"Hot keys", L"ホットキー"},
                 {IDD_PAGE_TIPS, L"Window tips", L"ウインドウTips"},
                 {IDD_PAGE_CONTROLS, nullptr, L"コントロール"},
                 {IDD_PAGE_LAUNCHER, nullptr, L"ランチャー"},
                 {IDD_PAGE_PLUGINS, nullptr, L"プラグイン"}};
    for (const auto& page : pages) {
        const parsed_dialog en = parse_dialog(program.dialog(page.id, english));
        const parsed_dialog ja = parse_dialog(program.dialog(page.id, japanese));
        EXPECT_EQ(ja.title, page.japanese);
        if (page.english) {
            EXPECT_EQ(en.title, page.english);
        }
        EXPECT_NE(en.title, ja.title);
        // Labels with an accelerator must be English in the English page.
        for (const auto& item : en.items)
            for (wchar_t c : item.title) EXPECT_LT(c, 0x3000) << page.id << " " << item.id;
    }
}

// A text of a dialog: a control's own (its id) or a label's (-1).
using control_text = std::pair<int, std::wstring>;

// The "Ctrl", "Shift", "Alt" and "Win" boxes of hot-key editors, added to `texts`.
std::vector<control_text> with_modifier_boxes(std::vector<control_text> texts,
                                              std::initializer_list<std::array<int, 4>> editors) {
    static const wchar_t* const names[4] = {L"Ctrl", L"Shift", L"Alt", L"Win"};
    for (const auto& boxes : editors)
        for (size_t i = 0; i < 4; ++i) texts.emplace_back(boxes[i], names[i]);
    return texts;
}

// The texts of the dialog resource, labels as -1.
std::vector<control_text> texts_of(const uint8_t* dialog) {
    std::vector<control_text> texts;
    for (const auto& item : parse_dialog(dialog).items)
        if (!item.title.empty())
            texts.emplace_back(static_cast<uint16_t>(item.id) == 0xFFFF ? -1
                                                                        : static_cast<int>(item.id),
                               item.title);
    std::sort(texts.begin(), texts.end());
    return texts;
}

// The Japanese texts are the ones the system has always shown, every one
// and no other; the English dialog has its own at the same places.
TEST(setup_resources, every_control_text_is_the_one_of_its_dialog) {
    program_resources program;
    ASSERT_TRUE(program.module);
    const struct {
        UINT dialog;
        std::vector<control_text> japanese;
    } wanted[] = {
        // clang-format off
        {IDD_FRAME, {{IDOK, L"OK"}, {IDCANCEL, L"キャンセル"}}},
        {IDD_PAGE_BASIC,
         {{-1, L"ステップ量(&P)"}, {-1, L"%"}, {1006, L"音量をステップ値にあわせる(&F)"},
          {1115, L"メニューに音量操作を追加(&M)"}, {1112, L"タスクトレイアイコンを表示(&T)"},
          {1117, L"バルーンTipsを表示(&B)"}, {1113, L"アイコン上でホイール使用(&W)"},
          {1114, L"ホイールの上下を逆にする(&R)"}, {1116, L"物理メモリを節約する(&S)"},
          {40016, L"Windows起動時に開始する(&N)"}, {-1, L"アイコンイメージ(&I)"},
          {-1, L"ボリュームイメージ(&V)"}, {40015, L"数字の色をTipsと同期(&L)"}}},
        {IDD_PAGE_HOTKEYS,
         with_modifier_boxes({{-1, L"音量アップ(&U)"}, {-1, L"音量ダウン(&D)"}, {-1, L"ミュート(&M)"},
                              {-1, L"コントロール変更(&C)"}, {-1, L"ポップアップメニュー(&P)"},
                              {-1, L"次の出力デバイス(&O)"}},
                             {{1107, 1108, 1109, 1094}, {1112, 1110, 1111, 1095},
                              {1115, 1113, 1114, 1096}, {1118, 1116, 1117, 1097},
                              {1121, 1119, 1120, 1098}, {1181, 1182, 1183, 1184}})},
        {IDD_PAGE_TIPS,
         {{-1, L"Tips表示(&D)"}, {-1, L"表示時間(&W)"}, {-1, L"ms"}, {1077, L"フォント(&F)"},
          {-1, L"アンチエイリアス(&A)"}, {1078, L"文字色(&C)"}, {1080, L"ミュート色(&M)"},
          {1079, L"背景色(&B)"}, {1075, L"解像度変更時フォントサイズを調整(&R)"},
          {1006, L"音量0の時ミュート色にする(&0)"}, {1070, L"レイヤーウインドウを使用(&L)"},
          {-1, L"透明度(&P)"}, {1073, L"000%"}, {1074, L"背景を透過(&T)"}, {-1, L"縁取り(&B)"},
          {-1, L"px"}}},
        {IDD_PAGE_CONTROLS,
         {{-1, L"登録リスト(&R)"}, {1046, L"↑"}, {1047, L"↓"}, {1059, L"削除"}, {-1, L"ラベル(&L)"},
          {-1, L"コントロール"}, {1108, L"選択(&S)"}, {1005, L"テキスト色を変更(&C)"},
          {1003, L"色選択"}, {1000, L"タスクトレイアイコンを変更(&I)"}}},
        // In the note "&&" shows as one "&", in quotation marks.
        {IDD_PAGE_LAUNCHER,
         with_modifier_boxes({{-1, L"登録リスト(&R)"}, {1117, L"↑"}, {1118, L"↓"}, {1119, L"削除"},
                              {-1, L"ラベル(&L)"}, {-1, L"コマンド(&C)"}, {-1, L"ホットキー(&H)"},
                              {-1, L"ラベルに\"&&\"を使用すると、ショートカットキーが設定されます。"}},
                             {{1127, 1128, 1129, 1131}})},
        {IDD_PAGE_PLUGINS,
         with_modifier_boxes({{-1, L"登録リスト(&R)"}, {1141, L"↑"}, {1142, L"↓"},
                              {-1, L"プラグイン情報"}, {-1, L"ホットキーID チェック"}, {1161, L"設定"}},
                             {{1133, 1134, 1135, 1136}})},
        {IDD_CONTROL_SELECT,
         {{-1, L"ミキサ(&M)"}, {-1, L"コントロール(&C)"}, {-1, L"チャンネル数"}, {-1, L"バランス(&B)"},
          {21106, L"0%"}, {IDOK, L"OK"}, {IDCANCEL, L"キャンセル"}}},
        // clang-format on
    };
    for (const auto& d : wanted) {
        SCOPED_TRACE(d.dialog);
        const uint8_t* ja = program.dialog(d.dialog, japanese);
        const uint8_t* en = program.dialog(d.dialog, english);
        ASSERT_TRUE(ja && en);
        auto expected = d.japanese;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(texts_of(ja), expected);
        auto places = [](std::vector<control_text> texts) {
            std::vector<int> ids;
            for (const auto& text : texts) ids.push_back(text.first);
            return ids;
        };
        EXPECT_EQ(places(texts_of(en)), places(expected));
    }
    // The note's marks in English too.
    const auto launcher = texts_of(program.dialog(IDD_PAGE_LAUNCHER, english));
    EXPECT_NE(std::find(launcher.begin(), launcher.end(),
                        control_text{-1, L"An \"&&\" in the label makes the next letter the "
                                         L"menu's shortcut key."}),
              launcher.end());
}

TEST(setup_resources, every_string_exists_in_both_languages) {
    program_resources program;
    ASSERT_TRUE(program.module);
    const UINT strings[] = {IDS_AA_DEFAULT,
                            IDS_AA_OFF,
                            IDS_AA_STANDARD,
                            IDS_AA_CLEARTYPE,
                            IDS_PLUGIN_COLUMN,
                            IDS_VERSION_COLUMN,
                            IDS_NOT_REGISTERED,
                            IDS_NO_VERSION_INFO,
                            IDS_FAILED_TO_START,
                            IDS_SAVE_FAILED,
                            IDS_START_WITH_WINDOWS_FAILED,
                            20000,
                            20001,
                            20002,
                            20003,
                            20004,
                            20005};
    for (LANGID language : {english, japanese}) {
        for (UINT id : strings) {
            HRSRC block = FindResourceExW(program.module.get(), RT_STRING,
                                          MAKEINTRESOURCEW((id >> 4) + 1), language);
            ASSERT_TRUE(block) << id << " " << language;
            const auto* words = static_cast<const wchar_t*>(
                LockResource(LoadResource(program.module.get(), block)));
            size_t at = 0;
            for (UINT n = 0; n < (id & 15u); ++n) at += 1 + words[at];
            EXPECT_GT(words[at], 0) << id << " " << language;
        }
    }
    // The texts the user reads in messages carry the program's name.
    wchar_t text[256];
    ASSERT_TRUE(
        format_ui_string(program.module.get(), IDS_FAILED_TO_START, L"zuvo.exe", text, 256));
    EXPECT_NE(std::wstring(text).find(L"zuvo.exe"), std::wstring::npos);
}

} // namespace
