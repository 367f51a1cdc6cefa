// zuvo.exe at the screen's DPI: the tray icon built at the size the shell
// shows small icons at, from the picture set that fills it best, the tips
// font following the DPI when FontResolutionBase is 0, a font chosen in the
// editor showing at the size chosen, and dialogs in the system's message
// font at its size. The same tests run in
// the usual session (96 DPI) and in one of their own at 144 DPI
// (run-at-dpi); the expectations follow from the DPI the test finds.
// Screenshots of icon and tips go to test-output/, named with the DPI.

#include "common/unique_resource.h"
#include "tests/support/fakeaudio/fake_audio.h"
#include "tests/support/files.h"
#include "tests/support/harness.h"
#include "tests/support/keyboard.h"
#include "tests/support/probe.h"
#include "tests/support/setup_driver.h"
#include "tests/unit/picture_files.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using namespace test_support;
using namespace std::chrono_literals;

namespace {

namespace pp = probe_protocol;

// This process sees the screen in pixels, as zuvo.exe does (per-monitor aware).
UINT screen_dpi() {
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    return GetDpiForSystem();
}

std::wstring dpi_name(const wchar_t* what) {
    return test_output_folder() + L"\\" + what + L"_" + std::to_wstring(screen_dpi()) + L"dpi.png";
}

// A set of one solid picture of `size` pixels; `variants` as resource.ini says.
struct solid_set {
    const wchar_t* name;
    int size;
    COLORREF color;
    const wchar_t* variants;
};
constexpr solid_set sets[] = {
    {L"s16", 16, RGB(0, 0, 160), L"s24, s32"},
    {L"s24", 24, RGB(160, 0, 0), L""},
    {L"s32", 32, RGB(0, 160, 0), L""},
    {L"plain16", 16, RGB(160, 160, 0), L""},
};

bool add_solid_sets(const program_folder& folder) {
    const std::wstring ini = folder.file(L"resource\\resource.ini");
    bool ok = CreateDirectoryW(folder.file(L"resource\\dpi").c_str(), nullptr) != FALSE;
    for (const solid_set& set : sets) {
        const test_pictures::rgba fill{GetRValue(set.color), GetGValue(set.color),
                                       GetBValue(set.color), 255};
        const std::wstring file = L"dpi\\" + std::wstring(set.name) + L".png";
        ok = ok &&
             write_bytes(
                 folder.file(L"resource\\" + file),
                 test_pictures::png_file(test_pictures::picture(set.size, set.size, fill))) &&
             WritePrivateProfileStringW(set.name, L"icon", file.c_str(), ini.c_str()) &&
             WritePrivateProfileStringW(set.name, L"variants", set.variants, ini.c_str());
    }
    return ok;
}

// How many pixels of each set's colour the shell's icon shows, and how wide
// the widest of them is.
struct icon_colors {
    int count[std::size(sets)] = {};
    int width[std::size(sets)] = {};
};
icon_colors read_icon_colors() {
    icon_colors seen;
    RECT r{};
    if (!GetWindowRect(tray_icon_window(), &r)) return seen;
    const std::vector<COLORREF> pixels = screen_pixels(r);
    const int width = r.right - r.left;
    for (size_t i = 0; i < std::size(sets); ++i) {
        int left = width, right = -1;
        for (size_t p = 0; p < pixels.size(); ++p) {
            if (pixels[p] != sets[i].color) continue;
            ++seen.count[i];
            left = std::min(left, static_cast<int>(p % width));
            right = std::max(right, static_cast<int>(p % width));
        }
        seen.width[i] = right < 0 ? 0 : right - left + 1;
    }
    return seen;
}

// The size of the icon last handed to the shell, as the probe measured it.
std::pair<uint64_t, uint64_t> last_icon_size(const program_folder& folder) {
    const auto icons = probe_records(folder, L"icon");
    if (icons.empty()) return {0, 0};
    return {std::stoull(icons.back().text(0)), std::stoull(icons.back().text(1))};
}

TEST(dpi, the_tray_icon_is_built_at_the_shells_size_from_the_set_that_fills_it) {
    const UINT dpi = screen_dpi();
    const uint64_t asked = MulDiv(16, static_cast<int>(dpi), 96);
    // The set that fills `asked` best by a whole factor, the larger on a tie.
    if (asked != 16 && asked != 24 && asked != 32) GTEST_SKIP() << "no case for " << dpi << " DPI";
    const size_t fitting = asked == 16 ? 0 : asked == 24 ? 1 : 2;
    fakeaudio::installed_fake fake(fakeaudio::description::standard());
    program_folder folder;
    ASSERT_TRUE(add_solid_sets(folder));
    ASSERT_TRUE(install_probe(folder, L"probe.dll", {L"Log=0x810"}));
    folder.write_ini(
        L"zuvo.ini",
        L"[Basic]\r\nTrayiconImage=s16\r\nTrayiconDigit=none\r\n"
        L"[Control00]\r\nCaption=A\r\n[Control01]\r\nCaption=B\r\nIconImage=plain16\r\n" +
            plugin_section({L"probe.dll"}));
    zuvo_process zuvo(folder);
    ASSERT_TRUE(zuvo.window());

    icon_colors seen;
    ASSERT_TRUE(wait_until([&] { return (seen = read_icon_colors()).count[fitting] > 0; }, 5s))
        << "the shell shows the set drawn for " << asked << " pixels";
    for (size_t i = 0; i < std::size(sets); ++i) {
        if (i != fitting) {
            EXPECT_EQ(seen.count[i], 0) << "colour of " << i;
        }
    }
    const int full_width = seen.width[fitting];
    EXPECT_EQ(last_icon_size(folder), std::make_pair(asked, asked));
    RECT r{};
    GetWindowRect(tray_icon_window(), &r);
    EXPECT_TRUE(save_screenshot(dpi_name(L"tray_icon"), &r));

    // A set with no picture for this size keeps its pixels square: it is
    // enlarged by a whole factor only, and centred in an icon of the asked size.
    zuvo.post_command(0x0583);
    constexpr size_t plain = 3;
    ASSERT_TRUE(wait_until([&] { return (seen = read_icon_colors()).count[plain] > 0; }, 5s));
    ASSERT_TRUE(probe_sync(zuvo, folder, 0));
    EXPECT_EQ(last_icon_size(folder), std::make_pair(asked, asked));
    const int64_t drawn = 16 * (asked / 16);
    EXPECT_NEAR(seen.width[plain], full_width * drawn / static_cast<int64_t>(asked), 1)
        << "shown " << full_width << " pixels wide when filled";
    EXPECT_TRUE(save_screenshot(dpi_name(L"tray_icon_plain16"), &r));
    EXPECT_EQ(zuvo.exit(), 0u);
}

// The height of the text rows of a plug-in's tips text with these [Tips]
// settings (the font's height among them).
int tips_text_height(const std::wstring& tips_settings, const wchar_t* screenshot) {
    fakeaudio::installed_fake fake(fakeaudio::description::standard());
    program_folder folder;
    if (!install_probe(folder, L"probe.dll", {L"TipsText=&{M0,HHHH\\n}", L"TipsTime=10000"}))
        return -1;
    folder.write_ini(L"zuvo.ini", L"[Tips]\r\nFontAntialias=3\r\n" + tips_settings +
                                      plugin_section({L"probe.dll"}));
    zuvo_process zuvo(folder);
    if (!zuvo.window()) return -1;
    zuvo.post_command(probe_command(0, pp::post_tips));
    if (!wait_until([&] { return IsWindowVisible(zuvo.window()) != FALSE; }, 5s) ||
        !probe_sync(zuvo, folder, 0))
        return -1;
    RECT box{};
    GetWindowRect(zuvo.window(), &box);
    // The display shows what the window drew a moment later.
    std::vector<std::pair<int, int>> runs;
    wait_until([&] { return (runs = text_row_runs(box)).size() == 1; }, 3s);
    save_screenshot(dpi_name(screenshot), &box);
    if (runs.size() != 1) return -1;
    zuvo.exit();
    return runs[0].second - runs[0].first;
}

TEST(dpi, the_tips_font_follows_the_dpi_only_when_the_resolution_base_is_0) {
    const UINT dpi = screen_dpi();
    // FontResolutionBase at the screen's width keeps the height as given.
    const std::wstring screen_width = std::to_wstring(GetSystemMetrics(SM_CXSCREEN));
    const int as_given = tips_text_height(
        L"FontPointSz=-20\r\nFontResolutionBase=" + screen_width + L"\r\n", L"tips_base_width");
    const int following =
        tips_text_height(L"FontPointSz=-20\r\nFontResolutionBase=0\r\n", L"tips_base_0");
    ASSERT_GT(as_given, 5);
    ASSERT_GT(following, 5);
    EXPECT_NEAR(static_cast<double>(following) / as_given, dpi / 96.0, 0.12)
        << as_given << " and " << following << " pixels at " << dpi << " DPI";
}

// A size chosen in the editor's font dialog at this DPI shows in the tips
// at that size, whether the size follows the desktop width or not. The
// dialog measures its heights in this screen's pixels; the tips scale a
// height without a resolution base from 96 DPI.
TEST(dpi, a_font_chosen_in_the_editor_shows_in_the_tips_at_the_size_chosen) {
    const UINT dpi = screen_dpi();
    constexpr int font_button = 1077, font_sizes = 1138;
    // 20 points on this screen, in pixels, shown as they are.
    const std::wstring face = L"FontFace=IPAGothic\r\n";
    const std::wstring screen_width = std::to_wstring(GetSystemMetrics(SM_CXSCREEN));
    const int reference =
        tips_text_height(face + L"FontPointSz=" + std::to_wstring(-MulDiv(20, dpi, 72)) +
                             L"\r\nFontResolutionBase=" + screen_width + L"\r\n",
                         L"tips_20pt");
    ASSERT_GT(reference, 5);
    for (const wchar_t* base : {L"0", L"1024"}) {
        SCOPED_TRACE(::testing::Message() << "FontResolutionBase " << base);
        program_folder folder;
        folder.write_ini(L"zuvo.ini", L"[Tips]\r\n" + face + L"FontPointSz=-32\r\n" +
                                          L"FontResolutionBase=" + base + L"\r\n");
        {
            setup_process editor(folder);
            HWND page = editor.show(setup_page::tips);
            ASSERT_TRUE(page);
            click_later(page, font_button);
            HWND dialog = editor.wait_for_dialog();
            ASSERT_TRUE(dialog);
            ASSERT_TRUE(choose_combo_text(dialog, font_sizes, L"20"));
            click_later(dialog, IDOK);
            ASSERT_TRUE(wait_for_window_gone(dialog));
            ASSERT_TRUE(editor.sync());
            EXPECT_EQ(text_of(page, 1005), L"IPAGothic,20pt ");
            EXPECT_EQ(editor.ok(), 0u);
        }
        const auto saved = parse_ini(read_text(folder.file(L"zuvo.ini")));
        const std::wstring height = ini_value(saved, L"Tips", L"FontPointSz").value_or(L"");
        const std::wstring saved_base =
            ini_value(saved, L"Tips", L"FontResolutionBase").value_or(L"");
        const int shown = tips_text_height(face + L"FontPointSz=" + height +
                                               L"\r\nFontResolutionBase=" + saved_base + L"\r\n",
                                           L"tips_chosen_20pt");
        EXPECT_NEAR(static_cast<double>(shown) / reference, 1.0, 0.08)
            << shown << " pixels for " << reference << ", saved " << height << " at base "
            << saved_base;
    }
}

// The dialog base units the dialog manager takes from a font: the average
// width of the 52 letters, and the height.
SIZE dialog_base_units(const LOGFONTW& font) {
    SIZE units{};
    window_dc screen(nullptr);
    unique_hfont made(CreateFontIndirectW(&font));
    if (!screen || !made) return units;
    select_guard chosen(screen.get(), made.get());
    TEXTMETRICW metrics{};
    SIZE letters{};
    const wchar_t alphabet[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    if (!GetTextMetricsW(screen.get(), &metrics) ||
        !GetTextExtentPoint32W(screen.get(), alphabet, 52, &letters))
        return units;
    units.cx = (letters.cx / 26 + 1) / 2;
    units.cy = metrics.tmHeight;
    return units;
}

// The window mover's position list grows with its dialog: at every DPI the
// corner and the position of a record show whole, and the columns stay
// within the list. What "whole" takes, the list measures itself: a column
// sized to its content (LVSCW_AUTOSIZE) is as wide as that needs.
TEST(dpi, the_position_dialog_has_the_message_fonts_size_and_shows_a_record_whole) {
    fakeaudio::installed_fake fake(fakeaudio::description::standard());
    program_folder folder({.plugins = true});
    ASSERT_TRUE(install_probe(folder, L"probe.dll"));
    folder.write_ini(L"zuvo.ini", L"[Control00]\r\nCaption=#\r\n" +
                                      plugin_section({L"probe.dll", L"zuvogrid.dll"}));
    zuvo_process zuvo(folder);
    ASSERT_TRUE(zuvo.window());
    auto front = std::make_unique<key_target>(L"sizable");
    if (!*front) front = std::make_unique<key_target>(L"sizable"); // zuvo.exe took the front
    ASSERT_TRUE(*front);
    // Capture mode, then the key: the dialog for the window in front.
    zuvo.post_command(probe_command(1, 1));
    zuvo.post_command(probe_command(1, 266));
    HWND dialog = nullptr;
    ASSERT_TRUE(wait_until([&] {
        const auto found = find_windows(L"#32770", zuvo.proc().id());
        dialog = found.empty() ? nullptr : found[0];
        return dialog && IsWindowVisible(dialog);
    }));
    // Measured from the bottom right corner: negative offsets, the widest.
    click(dialog, 1014);
    click(dialog, 1021);
    ASSERT_EQ(list_view_count(dialog, 1009), 1);
    const HWND list = control(dialog, 1009);
    int given[3] = {};
    for (int i = 0; i < 3; ++i) given[i] = static_cast<int>(send_to(list, LVM_GETCOLUMNWIDTH, i));
    RECT client{};
    GetClientRect(list, &client);
    // The dialog shows the system's message font at its size on this
    // screen (measured here in pixels, as zuvo.exe measures it), to the
    // whole point a dialog template holds: its 235 x 164 dialog units
    // follow from that font's base units.
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
    LOGFONTW font = metrics.lfMessageFont;
    const int dpi = static_cast<int>(screen_dpi());
    if (font.lfHeight < 0) font.lfHeight = -MulDiv(MulDiv(-font.lfHeight, 72, dpi), dpi, 72);
    const SIZE units = dialog_base_units(font);
    ASSERT_GT(units.cy, 0);
    RECT dialog_client{};
    GetClientRect(dialog, &dialog_client);
    EXPECT_NEAR(dialog_client.right, MulDiv(235, units.cx, 4), 4)
        << "base units " << units.cx << " x " << units.cy << " at " << dpi << " DPI, message font "
        << metrics.lfMessageFont.lfHeight;
    EXPECT_NEAR(dialog_client.bottom, MulDiv(164, units.cy, 8), 4);
    RECT area{};
    GetWindowRect(dialog, &area);
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
    Sleep(300); // painted by zuvo.exe's thread; only the picture waits for it
    send_to(dialog, WM_NULL);
    EXPECT_TRUE(save_screenshot(dpi_name(L"position_dialog"), &area));
    EXPECT_LE(given[0] + given[1] + given[2], client.right) << "the list scrolls sideways";
    for (int i : {1, 2}) {
        send_to(list, LVM_SETCOLUMNWIDTH, i, LVSCW_AUTOSIZE);
        const int needed = static_cast<int>(send_to(list, LVM_GETCOLUMNWIDTH, i));
        EXPECT_GE(given[i], needed) << "column " << i << " cuts its text";
    }
    click(dialog, IDCANCEL);
    EXPECT_EQ(zuvo.exit(), 0u);
}

} // namespace
