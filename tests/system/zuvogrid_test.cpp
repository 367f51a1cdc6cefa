// The window mover inside a running zuvo.exe, acting on the windows of
// another program (key_target.exe) in front: positions read back with
// GetWindowRect against the work area once the window has taken them (it
// takes them in its own time), the feedback text read where the request
// points, the position dialog driven like a user would.

#include "tests/support/fakeaudio/fake_audio.h"
#include "tests/support/harness.h"
#include "tests/support/keyboard.h"
#include "tests/support/probe.h"
#include "tests/support/setup_driver.h"

#include <gtest/gtest.h>

#include <memory>

using namespace test_support;
using namespace std::chrono_literals;

namespace {

constexpr uint32_t grid_index = 1; // the probe is plug-in 0

// Relative to the work area's top-left corner, as the plug-in measures.
struct place {
    int x, y, width, height;
    friend bool operator==(const place&, const place&) = default;
    friend std::ostream& operator<<(std::ostream& out, const place& p) {
        return out << p.x << "," << p.y << " " << p.width << "x" << p.height;
    }
};

RECT work_area() {
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

place place_of(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    const RECT work = work_area();
    return {r.left - work.left, r.top - work.top, r.right - r.left, r.bottom - r.top};
}

// Returns once the window's thread has taken every change of place asked
// for before: it answers sent messages in the order they came.
bool settled(HWND window) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result) != 0;
}

// Whether the window is at `expected` once it has taken what was asked of it.
::testing::AssertionResult comes_to(HWND window, const place& expected) {
    settled(window);
    wait_until([&] { return place_of(window) == expected; }, 5s);
    const place p = place_of(window);
    if (p == expected) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "at " << p << ", not at " << expected;
}

void put(HWND window, const place& p) {
    const RECT work = work_area();
    SetWindowPos(window, nullptr, work.left + p.x, work.top + p.y, p.width, p.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

std::wstring read_position(const program_folder& folder, int key) {
    wchar_t value[256] = {};
    GetPrivateProfileStringW(L"PositionData", std::to_wstring(key).c_str(), L"", value, 256,
                             folder.file(L"zuvogrid_capt.ini").c_str());
    return value;
}

class zuvogrid : public ::testing::Test {
protected:
    zuvogrid() : folder_({.plugins = true}) {}

    void start(const wchar_t* kind, const std::wstring& grid_ini = L"",
               const std::wstring& positions = L"") {
        ASSERT_TRUE(install_probe(folder_, L"probe.dll", {L"Log=0x800,0x820", L"MenuAction=end"}));
        ASSERT_TRUE(folder_.write_ini(L"zuvogrid.ini", grid_ini));
        if (!positions.empty()) {
            ASSERT_TRUE(folder_.write_ini(L"zuvogrid_capt.ini", L"[PositionData]\r\n" + positions));
        }
        folder_.write_ini(L"zuvo.ini", L"[Control00]\r\nCaption=#\r\n" +
                                           plugin_section({L"probe.dll", L"zuvogrid.dll"}));
        park_pointer();
        zuvo_ = std::make_unique<zuvo_process>(folder_);
        ASSERT_TRUE(zuvo_->window());
        front_ = std::make_unique<key_target>(kind);
        // Once more when zuvo.exe, just started, took the foreground back.
        if (!*front_) front_ = std::make_unique<key_target>(kind);
        ASSERT_TRUE(*front_) << "no program in front";
    }

    // Ctrl+Alt+key typed into the program in front, and handled.
    void type(WORD key, bool extended = false) {
        ASSERT_TRUE(front_->hold({VK_CONTROL, VK_MENU}));
        EXPECT_TRUE(front_->tap(key, extended));
        front_->release({VK_MENU, VK_CONTROL});
        front_->sync();
        ASSERT_TRUE(probe_sync(*zuvo_, folder_, 0));
        EXPECT_TRUE(front_->got(key, true).empty()) << "the key reached the program in front";
    }
    // What the hot key `code` does, without typing it.
    void send_event(uint16_t code) {
        zuvo_->post_command(probe_command(grid_index, code));
        ASSERT_TRUE(probe_sync(*zuvo_, folder_, 0));
    }
    std::wstring tips() { return last_posted_text(*zuvo_, folder_, 0x800); }

    fakeaudio::installed_fake fake_;
    program_folder folder_;
    std::unique_ptr<zuvo_process> zuvo_;
    std::unique_ptr<key_target> front_;
};

constexpr uint16_t move_up = 256, move_down = 257, move_right = 259, resize_down = 261,
                   resize_left = 262, maximize = 264, minimize = 265, fix_position = 266;

TEST_F(zuvogrid, hot_keys_move_and_resize_on_the_grid_and_show_where_to) {
    start(L"sizable", L"[Basic]\r\nShowBalloon=1\r\n");
    const HWND w = front_->window();
    put(w, {100, 100, 400, 300});
    ASSERT_EQ(place_of(w), (place{100, 100, 400, 300}));

    type(VK_DOWN, true);
    EXPECT_TRUE(comes_to(w, {100, 144, 400, 300}));
    type(VK_UP, true);
    EXPECT_TRUE(comes_to(w, {100, 96, 400, 300}));
    type(VK_RIGHT, true);
    EXPECT_TRUE(comes_to(w, {128, 96, 400, 300}));
    type('J'); // taller: 300 is past the line at 288, so two lines on
    EXPECT_TRUE(comes_to(w, {128, 96, 400, 384}));
    type('H'); // narrower: 400 is past the line at 384, so back to 320
    EXPECT_TRUE(comes_to(w, {128, 96, 320, 384}));
    EXPECT_EQ(tips(), L"&{M0,hook key target\n}\n&{M0,[ 128 , 96 / 320 x 384 ]\n}");
    EXPECT_EQ(last_posted_text(*zuvo_, folder_, 0x820),
              L"hook key target\n[ 128 , 96 / 320 x 384 ]\n");

    // Pressed against the bottom from a grid line: the bottom edge stays on
    // the work area's.
    const RECT work = work_area();
    const int h = work.bottom - work.top;
    put(w, {0, (h - 300) / 48 * 48, 400, 300});
    send_event(move_down);
    EXPECT_TRUE(comes_to(w, {0, h - 300, 400, 300}));
    // Grown beyond the work area from near its top: exactly its height, at 0.
    put(w, {0, 20, 400, h - 30});
    send_event(resize_down);
    EXPECT_TRUE(comes_to(w, {0, 0, 400, h}));
}

TEST_F(zuvogrid, a_maximized_window_stays_and_the_keys_restore_it) {
    start(L"sizable");
    const HWND w = front_->window();
    put(w, {100, 100, 400, 300});
    send_event(maximize);
    ASSERT_TRUE(wait_until([&] { return IsZoomed(w) != FALSE; }));
    const place zoomed = place_of(w);
    send_event(move_right);
    ASSERT_TRUE(settled(w));
    EXPECT_EQ(place_of(w), zoomed) << "a maximized window was moved";
    // The feedback tells where the window is, read back from it: not where
    // the key would have put a normal window.
    const std::wstring shown = tips();
    const size_t at = shown.find(L"[ ");
    ASSERT_NE(at, std::wstring::npos) << shown;
    EXPECT_EQ(std::stoi(shown.substr(at + 2)), zoomed.x) << shown;
    EXPECT_NE(shown.find(L"/ " + std::to_wstring(zoomed.width) + L" x " +
                         std::to_wstring(zoomed.height) + L" ]"),
              std::wstring::npos)
        << shown;

    send_event(maximize);
    ASSERT_TRUE(wait_until([&] { return !IsZoomed(w); }));
    EXPECT_TRUE(comes_to(w, {100, 100, 400, 300}));
    send_event(maximize);
    ASSERT_TRUE(wait_until([&] { return IsZoomed(w) != FALSE; }));
    send_event(minimize); // from maximized: back to normal, not to the taskbar
    ASSERT_TRUE(wait_until([&] { return !IsZoomed(w); }));
    EXPECT_FALSE(IsIconic(w));
    send_event(minimize);
    EXPECT_TRUE(wait_until([&] { return IsIconic(w) != FALSE; }));
}

TEST_F(zuvogrid, a_window_without_sizing_border_is_only_moved) {
    start(nullptr);
    const HWND w = front_->window();
    put(w, {100, 100, 200, 120});
    send_event(resize_down);
    send_event(resize_left);
    EXPECT_TRUE(comes_to(w, {100, 100, 200, 120}));
    send_event(move_down);
    EXPECT_TRUE(comes_to(w, {100, 144, 200, 120}));
    send_event(maximize); // it has no maximize box
    Sleep(200);
    EXPECT_FALSE(IsZoomed(w));
}

TEST_F(zuvogrid, an_owned_window_in_front_is_moved_itself_not_its_owner) {
    start(L"owned");
    const HWND owned = front_->window();
    const HWND owner = GetWindow(owned, GW_OWNER);
    ASSERT_TRUE(owner);
    const place owner_before = place_of(owner);
    put(owned, {300, 200, 240, 160});
    send_event(move_down);
    EXPECT_TRUE(comes_to(owned, {300, 240, 240, 160}));
    EXPECT_EQ(place_of(owner), owner_before);
}

// The window's program takes 3 s over every move: the main program handles
// what comes meanwhile, and the window is moved in the end.
TEST_F(zuvogrid, a_window_slow_to_move_holds_nothing_up) {
    start(L"slow");
    const HWND w = front_->window();
    const place before = place_of(w);
    ASSERT_GE(before.y, 0);
    zuvo_->post_command(probe_command(grid_index, move_down)); // the key, as the hook posts it
    EXPECT_TRUE(handles_posted_in_time(*zuvo_, folder_, 0, 300ms, 700ms));
    const place moved{before.x, (before.y / 48 + 1) * 48, before.width, before.height};
    EXPECT_TRUE(comes_to(w, moved));
}

// Clicked, the desktop or a taskbar is in front: the keys leave the shell's
// windows where they are and say nothing.
TEST_F(zuvogrid, the_desktop_or_a_taskbar_in_front_stays) {
    start(L"taskbar");
    for (const wchar_t* kind : {L"taskbar", L"desktop"}) {
        SCOPED_TRACE(kind);
        if (!front_ || !*front_) front_ = std::make_unique<key_target>(kind);
        ASSERT_TRUE(*front_);
        const HWND w = front_->window();
        const place before = place_of(w);
        for (uint16_t code : {move_down, resize_down, fix_position}) send_event(code);
        ASSERT_TRUE(settled(w));
        EXPECT_EQ(place_of(w), before);
        EXPECT_EQ(tips(), L"(none)") << "feedback for a window not moved";
        front_.reset();
    }
}

TEST_F(zuvogrid, saved_positions_cycle_while_pressed_and_start_over_after_a_pause) {
    start(L"sizable", L"[Basic]\r\nTipsTimer=1500\r\n",
          L"0=\"key_target\", 0, 10, 20, 300, 200\r\n"
          L"1=\"key_target\", 3, -400, -300, 400, 300\r\n"
          L"2=\"other\", 0, 0, 0, 100, 100\r\n");
    const HWND w = front_->window();
    key_target other(L"sizable"); // a second window of the same class
    ASSERT_TRUE(other);
    const RECT work = work_area();
    const place first{10, 20, 300, 200};
    const place second{work.right - work.left - 400, work.bottom - work.top - 300, 400, 300};
    auto to_front = [](HWND window) {
        SetForegroundWindow(window);
        return wait_until([&] { return GetForegroundWindow() == window; });
    };

    ASSERT_TRUE(to_front(w));
    send_event(fix_position);
    EXPECT_TRUE(comes_to(w, first));
    send_event(fix_position);
    EXPECT_TRUE(comes_to(w, second));
    send_event(fix_position);
    EXPECT_TRUE(comes_to(w, first));
    // Another window within the display time starts at the first record.
    ASSERT_TRUE(to_front(other.window()));
    send_event(fix_position);
    EXPECT_TRUE(comes_to(other.window(), first));
    Sleep(2000); // longer than TipsTimer: the cycle ends
    ASSERT_TRUE(probe_sync(*zuvo_, folder_, 0));
    send_event(fix_position);
    EXPECT_TRUE(comes_to(other.window(), first));
}

class position_dialog : public zuvogrid {
protected:
    // Capture mode on (the menu item's command) unless it is, then the key
    // opens the dialog inside zuvo.exe.
    HWND open_dialog(bool capture_mode_on = false) {
        if (!capture_mode_on) zuvo_->post_command(probe_command(grid_index, 1));
        zuvo_->post_command(probe_command(grid_index, fix_position));
        // Shown once it is filled.
        HWND dialog = nullptr;
        wait_until([&] {
            const auto found = find_windows(L"#32770", zuvo_->proc().id());
            dialog = found.empty() ? nullptr : found[0];
            return dialog && IsWindowVisible(dialog);
        });
        return dialog;
    }
    void type_place(HWND dialog, const place& p) {
        set_text(dialog, 1017, std::to_wstring(p.x));
        set_text(dialog, 1018, std::to_wstring(p.y));
        set_text(dialog, 1019, std::to_wstring(p.width));
        set_text(dialog, 1020, std::to_wstring(p.height));
    }
};

TEST_F(position_dialog, adds_deletes_and_orders_records_and_converts_corners) {
    start(L"sizable", L"", L"0=\"zzz\", 0, 1, 2, 3, 4\r\n");
    const HWND w = front_->window();
    put(w, {100, 50, 400, 300});
    const HWND dialog = open_dialog();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(text_of(dialog, 1017), L"100");
    EXPECT_EQ(text_of(dialog, 1018), L"50");
    EXPECT_EQ(combo_items(dialog, 1027), (std::vector<std::wstring>{L"key_target", L"zzz"}));

    const RECT work = work_area();
    const int width = work.right - work.left, height = work.bottom - work.top;
    click(dialog, 1014); // bottom right: the same place, measured from there
    EXPECT_EQ(text_of(dialog, 1017), std::to_wstring(100 - width));
    EXPECT_EQ(text_of(dialog, 1018), std::to_wstring(50 - height));
    click(dialog, 1011);
    EXPECT_EQ(text_of(dialog, 1017), L"100");
    EXPECT_EQ(text_of(dialog, 1018), L"50");

    click(dialog, 1021);
    type_place(dialog, {7, 8, 9, 10});
    click(dialog, 1021);
    type_place(dialog, {11, 12, 13, 14});
    click(dialog, 1021);
    EXPECT_EQ(list_view_count(dialog, 1009), 3);
    press_key(dialog, 1009, VK_HOME); // the first row ...
    click(dialog, 1022);              // ... deleted; the second moves up and stays selected
    EXPECT_EQ(list_view_count(dialog, 1009), 2);
    click(dialog, 1026); // and goes down
    click(dialog, 1);
    ASSERT_TRUE(wait_for_window_gone(dialog));
    ASSERT_TRUE(probe_sync(*zuvo_, folder_, 0));

    EXPECT_EQ(read_position(folder_, 0), L"\"key_target\", 0, 11, 12, 13, 14");
    EXPECT_EQ(read_position(folder_, 1), L"\"key_target\", 0, 7, 8, 9, 10");
    EXPECT_EQ(read_position(folder_, 2), L"\"zzz\", 0, 1, 2, 3, 4");
    EXPECT_EQ(read_position(folder_, 3), L"");
    EXPECT_EQ(GetForegroundWindow(), w);
}

TEST_F(position_dialog, cancel_reloads_the_file_and_leaving_capture_mode_saves_it) {
    // Written by hand: unquoted, without blanks. A save rewrites it.
    start(L"sizable", L"", L"0=zzz ,0,1,2,3,4\r\n");
    HWND dialog = open_dialog();
    ASSERT_TRUE(dialog);
    click(dialog, 1021);
    EXPECT_EQ(list_view_count(dialog, 1009), 1);
    // The menu item while the dialog is open: leaving capture mode now would
    // save the record that Cancel is about to drop.
    send_event(1);
    click(dialog, 2);
    ASSERT_TRUE(wait_for_window_gone(dialog));
    ASSERT_TRUE(probe_sync(*zuvo_, folder_, 0));
    EXPECT_EQ(read_position(folder_, 0), L"zzz ,0,1,2,3,4") << "Cancel wrote the file";

    // Still in capture mode: the menu item is ticked.
    zuvo_->post_command(0x0584);
    ASSERT_TRUE(wait_for_probe_records(folder_, L"popup", 1));
    bool ticked = false;
    for (const auto& item : last_probe_popup(folder_))
        if (item.id == probe_command(grid_index, 1)) ticked = (item.state & MFS_CHECKED) != 0;
    EXPECT_TRUE(ticked);

    // The record added before Cancel is gone: only the file's is left.
    SetForegroundWindow(front_->window()); // the menu took the foreground
    ASSERT_TRUE(wait_until([&] { return GetForegroundWindow() == front_->window(); }));
    dialog = open_dialog(true);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(list_view_count(dialog, 1009), 0);
    choose_combo(dialog, 1027, 1);
    EXPECT_EQ(list_view_count(dialog, 1009), 1);
    click(dialog, 2);
    ASSERT_TRUE(wait_for_window_gone(dialog));

    send_event(1); // capture mode off: saved in the program's own form
    EXPECT_EQ(read_position(folder_, 0), L"\"zzz\", 0, 1, 2, 3, 4");
}

class zuvogrid_config : public zuvogrid {
protected:
    // The configuration dialog, opened from the setup program's Plug-ins
    // page; `locale` as in setup_process::options.
    HWND open(const std::wstring& locale = L"") {
        constexpr int plugin_list = 1146, plugin_settings = 1161;
        folder_.write_ini(L"zuvo.ini", plugin_section({L"zuvogrid.dll"}));
        // The editor lists every plug-in of the folder; this one alone is row 0.
        WIN32_FIND_DATAW found{};
        HANDLE search = FindFirstFileW(folder_.file(L"plugin\\*.dll").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return nullptr;
        do {
            if (lstrcmpiW(found.cFileName, L"zuvogrid.dll") != 0)
                folder_.remove(std::wstring(L"plugin\\") + found.cFileName);
        } while (FindNextFileW(search, &found));
        FindClose(search);
        setup_process::options how;
        how.locale = locale;
        editor_ = std::make_unique<setup_process>(folder_, how);
        HWND page = editor_->frame() ? editor_->show(setup_page::plugins) : nullptr;
        if (!page || list_view_count(page, plugin_list) != 1) return nullptr;
        press_key(page, plugin_list, VK_HOME);
        click_later(page, plugin_settings);
        HWND dialog = editor_->wait_for_dialog();
        if (dialog && !wait_until([&] { return text_of(dialog) == L"ZuvoGrid"; })) return nullptr;
        return dialog;
    }
    void screenshot(HWND dialog, const wchar_t* name) {
        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
        Sleep(300); // painted by the editor's thread
        send_to(dialog, WM_NULL);
        RECT area{};
        GetWindowRect(dialog, &area);
        EXPECT_TRUE(save_screenshot(test_output_folder() + L"\\" + name, &area));
    }

    std::unique_ptr<setup_process> editor_;
};

TEST_F(zuvogrid_config, shows_the_file_and_saves_on_ok) {
    folder_.write_ini(L"zuvogrid.ini", L"[Basic]\r\nGridsize_X=10\r\nShowBalloon=1\r\n"
                                       L"[Hotkey]\r\nMaximize=1361\r\n");
    HWND dialog = open();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(text_of(dialog, 1006), L"Fit to the grid");
    screenshot(dialog, L"zuvogrid_config_en.png");
    EXPECT_EQ(text_of(dialog, 1002), L"10");
    EXPECT_EQ(text_of(dialog, 1003), L"48");
    EXPECT_EQ(text_of(dialog, 1007), L"1000");
    EXPECT_TRUE(checked(dialog, 1006));
    EXPECT_TRUE(checked(dialog, 1004));
    EXPECT_TRUE(checked(dialog, 1005));
    // Maximize = Shift+Ctrl+Q (0x551): its own row shows it.
    EXPECT_TRUE(checked(dialog, 1221));
    EXPECT_FALSE(checked(dialog, 1223));
    EXPECT_TRUE(checked(dialog, 1222));
    // The move row's boxes, ticked once, count for all four move keys.
    click(dialog, 1202);
    set_text(dialog, 1002, L"32");
    set_text(dialog, 1007, L"2500");
    click(dialog, 1006);
    click_later(dialog, IDOK);
    ASSERT_TRUE(wait_for_window_gone(dialog));
    EXPECT_EQ(editor_->cancel(), 0u);
    const std::wstring ini = folder_.file(L"zuvogrid.ini");
    auto value = [&](const wchar_t* section, const wchar_t* key) {
        return GetPrivateProfileIntW(section, key, -1, ini.c_str());
    };
    EXPECT_EQ(value(L"Basic", L"Gridsize_X"), 32u);
    EXPECT_EQ(value(L"Basic", L"Gridsize_Y"), 48u);
    EXPECT_EQ(value(L"Basic", L"TipsTimer"), 2500u);
    EXPECT_EQ(value(L"Basic", L"FitToGrid"), 0u);
    EXPECT_EQ(value(L"Basic", L"ShowBalloon"), 1u);
    EXPECT_EQ(value(L"Hotkey", L"MoveUp"), 0x8726u);
    EXPECT_EQ(value(L"Hotkey", L"MoveRight"), 0x8727u);
    EXPECT_EQ(value(L"Hotkey", L"ResizeUp"), 0x034Bu);
    EXPECT_EQ(value(L"Hotkey", L"Maximize"), 0x0551u);
    EXPECT_EQ(value(L"Hotkey", L"FixPosition"), 0x0343u);
}

TEST_F(zuvogrid_config, a_japanese_user_gets_the_japanese_dialog) {
    HWND dialog = open(L"ja_JP.UTF-8");
    ASSERT_TRUE(dialog);
    EXPECT_EQ(text_of(dialog, 1006), L"グリッドにあわせる");
    EXPECT_EQ(text_of(dialog, 1004), L"Tipsを表示する");
    EXPECT_EQ(text_of(dialog, IDCANCEL), L"キャンセル");
    screenshot(dialog, L"zuvogrid_config_ja.png");
    click_later(dialog, IDCANCEL);
    ASSERT_TRUE(wait_for_window_gone(dialog));
    EXPECT_FALSE(GetFileAttributesW(folder_.file(L"zuvogrid.ini").c_str()) !=
                 INVALID_FILE_ATTRIBUTES)
        << "Cancel wrote the settings";
}

// The host releases the plug-in from inside the dialog's message loop: by
// its exit command, or by a WM_CLOSE sent from another program. The plug-in
// outlives its release until the dialog's call has returned.
TEST_F(position_dialog, the_program_ends_while_it_is_open) {
    for (bool sent : {false, true}) {
        SCOPED_TRACE(sent ? "WM_CLOSE sent" : "exit command");
        start(L"sizable");
        ASSERT_TRUE(open_dialog());
        if (sent) {
            DWORD_PTR result = 0;
            SendMessageTimeoutW(zuvo_->window(), WM_CLOSE, 0, 0, SMTO_NORMAL, 5000, &result);
            EXPECT_EQ(zuvo_->proc().wait(), 0u);
        } else {
            EXPECT_EQ(zuvo_->exit(), 0u);
        }
    }
}

} // namespace
