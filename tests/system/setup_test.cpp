// The settings editor as a whole: a real zuvoset.exe in a program folder,
// driven through its controls' own messages and through the probe plug-in's
// configuration call inside it. Observed: the settings file it writes (or
// leaves alone), the zuvo.exe it restarts, its windows, texts and pixels.

#include "tests/support/fakeaudio/fake_audio.h"
#include "tests/support/files.h"
#include "tests/support/harness.h"
#include "tests/support/probe.h"
#include "tests/support/setup_driver.h"

#include "common/unique_resource.h"

#include <commctrl.h>
#include <sddl.h>
#include <strsafe.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

using namespace test_support;
using namespace std::chrono_literals;

namespace {

constexpr WPARAM exit_command = 0x0504;
constexpr WPARAM setup_command = 0x0506;
constexpr WPARAM volume_up_command = 0x0580;

// Basic page.
constexpr int step_track = 1005, step_edit = 1162, icon_list = 1007, digit_list = 1008,
              preview_full = 1000, preview_mute = 1001, digit_link = 40015;
// Window tips page.
constexpr int format_list = 1125, tips_timer = 1166, font_button = 1077, font_text = 1005,
              antialias_list = 1124, resolution_check = 1075, opacity_track = 1072,
              opacity_text = 1073, edge_edit = 1168;
// Controls page.
constexpr int control_list = 1029, control_up = 1046, control_down = 1047, control_delete = 1059,
              control_caption = 1031, control_select = 1108, control_description = 1109,
              control_own_color = 1005, control_color = 1003, control_own_icon = 1000,
              control_preview = 1001, control_icon_list = 1002;
// Launcher page.
constexpr int launcher_list = 1116, launcher_caption = 1120, launcher_command = 1122,
              launcher_hotkey = 1126, launcher_ctrl = 1127, launcher_shift = 1128,
              launcher_alt = 1129, launcher_win = 1131;
// Plug-ins page.
constexpr int plugin_list = 1146, plugin_settings = 1161;
// The control selection dialog.
constexpr int device_list = 21101, source_list = 21103, balance_track = 21105;
// The font dialog: face, style and size lists.
constexpr int font_faces = 1136, font_styles = 1137, font_sizes = 1138;

const std::vector<std::wstring> fake_devices = {L"<DefaultMixer>", L"Speakers", L"Microphone"};

std::string ascii(const std::wstring& text) {
    std::string narrow;
    for (wchar_t c : text) narrow += static_cast<char>(c);
    return narrow;
}

std::string random_bytes(size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (auto& b : bytes) b = static_cast<char>(generator() & 0xFF);
    return bytes;
}

int desktop_width() {
    RECT desktop{};
    GetWindowRect(GetDesktopWindow(), &desktop);
    return desktop.right - desktop.left;
}

int percent(float scalar) {
    return static_cast<int>(std::lround(scalar * 100.0f));
}

// Pixels of a control as the screen shows it, without its border.
std::vector<COLORREF> picture(const setup_process& editor, HWND page, int id) {
    editor.settle();
    RECT area{};
    GetWindowRect(control(page, id), &area);
    InflateRect(&area, -3, -3);
    return screen_pixels(area);
}

// How many pixels differ from the most common colour (the background).
size_t drawn_pixels(const std::vector<COLORREF>& pixels) {
    std::map<COLORREF, size_t> counts;
    for (COLORREF p : pixels) ++counts[p];
    size_t background = 0;
    for (const auto& [colour, count] : counts) background = std::max(background, count);
    return pixels.size() - background;
}

// The picture or format sets resource\resource.ini offers under `prefix`,
// in the order of their keys: section name and description.
std::vector<std::pair<std::wstring, std::wstring>> offered_sets(const program_folder& folder,
                                                                const wchar_t* prefix) {
    const auto entries = parse_ini(read_text(folder.file(L"resource\\resource.ini")));
    std::vector<std::pair<std::wstring, std::wstring>> sets;
    for (int i = 0; i < 20; ++i) {
        wchar_t key[16];
        StringCchPrintfW(key, 16, L"%ls%02d", prefix, i);
        const auto name = ini_value(entries, L"sections", key);
        if (!name || name->empty()) continue;
        sets.emplace_back(*name, ini_value(entries, *name, L"desc").value_or(*name));
    }
    return sets;
}

std::vector<std::wstring>
descriptions(const std::vector<std::pair<std::wstring, std::wstring>>& sets) {
    std::vector<std::wstring> texts;
    for (const auto& set : sets) texts.push_back(set.second);
    return texts;
}

int index_of(const std::vector<std::pair<std::wstring, std::wstring>>& sets,
             const std::wstring& name) {
    for (size_t i = 0; i < sets.size(); ++i)
        if (sets[i].first == name) return static_cast<int>(i);
    return -1;
}

// A zuvo.exe window of another process than `old`, once there is one.
HWND wait_for_other_zuvo(DWORD old, std::chrono::milliseconds timeout = 10s) {
    HWND found = nullptr;
    wait_until(
        [&] {
            for (HWND window : find_windows(L"Quellbar_Class"))
                if (window_process(window) != old) {
                    found = window;
                    return true;
                }
            return false;
        },
        timeout);
    return found;
}

// A zuvo.exe the editor started, ended with its exit command.
class started_zuvo {
public:
    explicit started_zuvo(HWND window)
        : window_(window), process_(process::open(window_process(window))) {}
    started_zuvo(const started_zuvo&) = delete;
    started_zuvo& operator=(const started_zuvo&) = delete;
    ~started_zuvo() {
        if (process_.running()) {
            PostMessageW(window_, WM_COMMAND, exit_command, 0);
            process_.wait(5s);
        }
    }
    HWND window() const { return window_; }

private:
    HWND window_;
    process process_;
};

// Every key the editor writes into a new file, in order, with the defaults.
std::vector<ini_entry> default_file() {
    return parse_ini(
        L"[Basic]\nVolStepSize=10\nVolStepFit=1\nVolMenu=0\nTipsFormat=flatbar_ml\n"
        L"TipsTimer=3000\nTipsVol0OnMute=0\nTrayiconShow=1\nTrayiconWheel=0\n"
        L"TrayiconWheelReverse=0\nTrayiconImage=default\nTrayiconDigit=default\n"
        L"TrayiconDigitColorLinkTips=0\nTrayiconBaloon=0\nTrayiconBaloonTimer=1000\nSwapMode=0\n"
        L"[Tips]\nTextColor=#00ff00\nTextColor2=#ff0000\nBackgroundColor=#000000\nEdgeSize=1\n"
        L"FontFace=\nFontPointSz=-32\nFontWeight=400\nFontItalic=0\nFontAntialias=1\n"
        L"FontResolutionBase=1024\nLayerWindow=1\nLayerBackgroundThrough=1\n"
        L"LayerTransparentRate=100\n"
        L"[Hotkey]\nRegistMax=64\nVolumeUp=1470\nVolumeDown=1468\nMute=1357\n"
        L"ControlChange=1347\nPopupMenu=1366\nDeviceNext=1280\n"
        L"[Launcher00]\nCaption=&Volume Control\nCmdLine=SndVol.exe\nHotKey=1280\n"
        L"[Launcher01]\nCaption=&Audio Property\n"
        L"CmdLine=rundll32.exe shell32.dll,Control_RunDLL mmsys.cpl\nHotKey=1280\n"
        L"[Plugin]\nNum=0\n");
}

class setup_program : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(PRIMARYLANGID(GetUserDefaultUILanguage()), LANG_JAPANESE)
            << "the English texts expected here need a session that is not Japanese";
        ASSERT_TRUE(file_exists(folder_.setup_exe())) << "zuvoset.exe is not in the build";
        ASSERT_TRUE(fake_.installed());
    }

    std::wstring ini_path() const { return folder_.file(L"zuvo.ini"); }
    std::vector<ini_entry> saved() const { return parse_ini(read_text(ini_path())); }
    std::optional<std::wstring> saved_value(const std::wstring& section,
                                            const std::wstring& key) const {
        return ini_value(saved(), section, key);
    }

    // Every process sees the fake devices "Speakers" and "Microphone".
    fakeaudio::installed_fake fake_;
    program_folder folder_;
};

// Cancel -------------------------------------------------------------------------

TEST_F(setup_program, cancel_leaves_the_settings_file_byte_for_byte) {
    const std::wstring hand_written =
        L"; kept by hand\r\n[Basic]\r\nVolStepSize=15 ; fifteen\r\n\r\n[Mine]\r\nanswer=42\r\n"
        L"[Control00]\r\nCaption=Mic\r\nMixer=Microphone\r\n; trailing words\r\n";
    enum class form { utf16, ascii, missing };
    for (form f : {form::utf16, form::ascii, form::missing}) {
        SCOPED_TRACE(static_cast<int>(f));
        folder_.remove(L"zuvo.ini");
        if (f == form::utf16) folder_.write_ini(L"zuvo.ini", hand_written);
        if (f == form::ascii) write_ascii(ini_path(), ascii(hand_written));
        const auto before = read_bytes(ini_path());
        setup_process editor(folder_);
        ASSERT_TRUE(editor.frame());
        // Values the pages take over at once must not reach the file either.
        HWND basic = editor.show(setup_page::basic);
        ASSERT_TRUE(basic);
        type_into(basic, step_edit, L"37");
        EXPECT_EQ(trackbar_position(basic, step_track), 7);
        choose_combo(basic, icon_list, 1);
        HWND controls = editor.show(setup_page::controls);
        ASSERT_TRUE(controls);
        click(controls, control_delete);
        EXPECT_EQ(list_items(controls, control_list).at(0), L"00: ");
        EXPECT_EQ(editor.cancel(), 0u);
        EXPECT_EQ(file_exists(ini_path()), f != form::missing);
        EXPECT_EQ(read_bytes(ini_path()), before);
    }
}

// OK, saving and restarting ------------------------------------------------------------

TEST_F(setup_program, ok_without_changes_creates_every_key_and_starts_no_zuvo) {
    ASSERT_FALSE(file_exists(ini_path()));
    ASSERT_TRUE(process_ids(L"zuvo.exe").empty());
    setup_process editor(folder_);
    ASSERT_TRUE(editor.frame());
    EXPECT_EQ(editor.ok(), 0u);
    const auto bytes = read_bytes(ini_path());
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xFE);
    EXPECT_EQ(saved(), default_file());
    // The editor has ended, so whatever it was going to start has started.
    EXPECT_TRUE(process_ids(L"zuvo.exe").empty());
}

TEST_F(setup_program, ok_restarts_a_running_zuvo_that_then_steps_by_the_saved_size) {
    struct restart_case {
        const wchar_t* typed_step; // null: OK with nothing touched
        int volume_after_step;
    };
    const int speakers = fake_.device(L"Speakers");
    for (const restart_case& c : {restart_case{nullptr, 30}, restart_case{L"37", 57}}) {
        SCOPED_TRACE(c.volume_after_step);
        fake_.set_master(speakers, 0.20f);
        folder_.write_ini(L"zuvo.ini", L"[Basic]\r\nVolStepSize=10\r\nVolStepFit=0\r\n"
                                       L"[Control00]\r\nCaption=#\r\nMixer=Speakers\r\n");
        zuvo_process zuvo(folder_);
        ASSERT_TRUE(zuvo.window());
        const DWORD old_id = zuvo.proc().id();
        {
            setup_process editor(folder_);
            ASSERT_TRUE(editor.frame());
            if (c.typed_step) type_into(editor.show(setup_page::basic), step_edit, c.typed_step);
            EXPECT_EQ(editor.ok(), 0u);
        }
        EXPECT_EQ(zuvo.proc().wait(5s), 0u) << "the running zuvo.exe was told to quit";
        HWND window = wait_for_other_zuvo(old_id);
        ASSERT_TRUE(window) << "no new zuvo.exe";
        started_zuvo restarted(window);
        EXPECT_EQ(saved_value(L"Basic", L"TrayiconBaloonTimer"), L"1000") << "not saved in full";
        PostMessageW(window, WM_COMMAND, volume_up_command, 0);
        EXPECT_TRUE(
            wait_until([&] { return percent(fake_.master(speakers)) == c.volume_after_step; }, 5s))
            << "volume " << percent(fake_.master(speakers));
    }
}

TEST_F(setup_program, a_restart_that_fails_is_warned_about_once_and_the_file_is_saved) {
    enum class failure {
        does_not_quit, // the probe swallows every command, the exit command included
        start_fails,   // zuvo.exe renamed while it runs: it quits, and there is none to start
    };
    const std::wstring moved = folder_.file(L"zuvo-moved.exe");
    for (failure f : {failure::does_not_quit, failure::start_fails}) {
        SCOPED_TRACE(f == failure::does_not_quit ? "does not quit" : "start fails");
        const bool swallowing = f == failure::does_not_quit;
        if (swallowing) {
            ASSERT_TRUE(install_probe(folder_, L"probe.dll", {L"Swallow=0x111"}));
        }
        folder_.write_ini(L"zuvo.ini", swallowing ? plugin_section({L"probe.dll"})
                                                  : L"[Basic]\r\nVolStepSize=15\r\n");
        zuvo_process zuvo(folder_);
        ASSERT_TRUE(zuvo.window());
        if (!swallowing) {
            ASSERT_TRUE(MoveFileW(folder_.exe().c_str(), moved.c_str()));
        }
        setup_process editor(folder_);
        ASSERT_TRUE(editor.frame());
        editor.press(IDOK);
        // The frame has the same class and caption as the box.
        ASSERT_TRUE(wait_for_window_gone(editor.frame()));
        auto box = wait_for_message_box(setup_caption, editor.proc().id());
        ASSERT_TRUE(box);
        EXPECT_EQ(box->text, L"Starting zuvo.exe failed");
        ASSERT_TRUE(close_message_box(box->window));
        // A second box would keep it from ending.
        EXPECT_EQ(editor.proc().wait(10s), 0u);
        if (swallowing) {
            EXPECT_EQ(process_ids(L"zuvo.exe"), std::vector<DWORD>{zuvo.proc().id()});
            bool exit_seen = false;
            for (const auto& record : probe_records(folder_, L"msg"))
                exit_seen = exit_seen ||
                            (record.number(0) == WM_COMMAND && record.number(1) == exit_command);
            EXPECT_TRUE(exit_seen) << "the editor never sent the exit command";
            EXPECT_EQ(saved_value(L"Plugin", L"00"), L"probe.dll");
            zuvo.proc().terminate();
        } else {
            EXPECT_EQ(zuvo.proc().wait(5s), 0u) << "the running zuvo.exe was told to quit";
            EXPECT_TRUE(find_windows(L"Quellbar_Class").empty());
            EXPECT_EQ(saved_value(L"Basic", L"VolStepSize"), L"15");
            ASSERT_TRUE(MoveFileW(moved.c_str(), folder_.exe().c_str()));
        }
        EXPECT_EQ(saved_value(L"Basic", L"TrayiconBaloonTimer"), L"1000") << "not saved in full";
    }
}

// A file another program holds open cannot be written. (A read-only file is
// no obstacle in this session: Wine runs as root here and root writes it.)
TEST_F(setup_program, a_save_that_fails_is_reported_and_zuvo_is_not_restarted) {
    folder_.write_ini(L"zuvo.ini", L"[Basic]\r\nVolStepSize=15\r\n");
    zuvo_process zuvo(folder_);
    ASSERT_TRUE(zuvo.window());
    const auto before = read_bytes(ini_path());
    unique_file holder(CreateFileW(ini_path().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder);

    setup_process editor(folder_);
    HWND basic = editor.show(setup_page::basic);
    ASSERT_TRUE(basic);
    EXPECT_EQ(text_of(basic, step_edit), L"15") << "the held file is still readable";
    type_into(basic, step_edit, L"25");
    editor.press(IDOK);
    ASSERT_TRUE(wait_for_window_gone(editor.frame()));
    auto box = wait_for_message_box(setup_caption, editor.proc().id());
    ASSERT_TRUE(box) << "the failed save was not reported";
    EXPECT_EQ(box->text.rfind(L"The settings could not be saved to ", 0), 0u) << box->text;
    EXPECT_NE(box->text.find(L"zuvo.ini"), std::wstring::npos) << box->text;
    ASSERT_TRUE(close_message_box(box->window));
    EXPECT_TRUE(editor.proc().wait(10s).has_value());
    EXPECT_TRUE(zuvo.proc().running());
    EXPECT_EQ(find_windows(L"Quellbar_Class"), std::vector<HWND>{zuvo.window()});
    EXPECT_EQ(read_bytes(ini_path()), before);
}

// The running editor is what the user wanted: its dialog comes to the
// front (or the dialog open over it), not the hidden window that marks it.
TEST_F(setup_program, a_second_instance_brings_the_first_to_the_front_and_exits_with_100) {
    setup_process first(folder_);
    ASSERT_TRUE(first.frame());
    HWND controls = first.show(setup_page::controls);
    ASSERT_TRUE(controls);
    // Another program's window, in front of the editor.
    unique_hwnd cover(CreateWindowExW(0, L"STATIC", L"cover", WS_POPUP | WS_VISIBLE, 0, 0, 300, 300,
                                      nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(cover);
    HWND selection = nullptr;
    for (bool selecting : {false, true}) {
        SCOPED_TRACE(selecting ? "selection dialog open" : "settings dialog alone");
        if (selecting) {
            click_later(controls, control_select);
            selection = first.wait_for_dialog();
            ASSERT_TRUE(selection);
            // Its activation comes after the window exists; the cover must
            // not be sent to the front before it, or the dialog takes the
            // front back.
            ASSERT_TRUE(wait_until([&] { return GetForegroundWindow() == selection; }, 5s));
        }
        SetForegroundWindow(cover.get());
        ASSERT_TRUE(wait_until([&] { return GetForegroundWindow() == cover.get(); }, 5s));
        setup_process second(folder_, {.wait_for_frame = false});
        ASSERT_TRUE(second.proc());
        EXPECT_EQ(second.proc().wait(10s), 100u);
        HWND wanted = selecting ? selection : first.frame();
        EXPECT_TRUE(wait_until([&] { return GetForegroundWindow() == wanted; }, 5s))
            << "in front: " << ascii(text_of(GetForegroundWindow()));
    }
    click_later(selection, IDCANCEL);
    ASSERT_TRUE(wait_for_window_gone(selection));
    EXPECT_TRUE(first.sync());
    EXPECT_TRUE(IsWindowVisible(first.frame()));
    EXPECT_EQ(first.cancel(), 0u);
}

TEST_F(setup_program, setup_command_of_zuvo_started_elsewhere_starts_the_editor_beside_it) {
    temp_folder elsewhere;
    zuvo_process zuvo(folder_, {.current_directory = elsewhere.path()});
    ASSERT_TRUE(zuvo.window());
    ASSERT_TRUE(process_ids(L"zuvoset.exe").empty());
    zuvo.post_command(setup_command);
    std::vector<DWORD> ids;
    ASSERT_TRUE(wait_until([&] { return !(ids = process_ids(L"zuvoset.exe")).empty(); }, 10s));
    setup_process editor(process::open(ids.front()));
    ASSERT_TRUE(editor.frame());
    EXPECT_EQ(lstrcmpiW(image_path(editor.proc()).c_str(), folder_.setup_exe().c_str()), 0)
        << image_path(editor.proc());
    EXPECT_EQ(editor.cancel(), 0u);
    EXPECT_TRUE(zuvo.proc().running());
}

// Every control wired to its key ------------------------------------------------------

// One key of the settings file: as the file has it, as OK saves it.
struct key_change {
    const wchar_t* section;
    const wchar_t* key;
    std::wstring before;
    std::wstring after;
};

// A control set through the real dialog to a value of its own.
struct wired_value {
    const char* control;
    std::function<void(const setup_process& editor, HWND page)> set;
    std::vector<key_change> keys;
};

// A check box and its key: what the file holds for a tick and what OK
// writes for one ("0" for none, both ways).
struct wired_box {
    const char* control;
    int id;
    const wchar_t* section;
    const wchar_t* key;
    std::wstring ticked_in_file = L"1";
    std::wstring ticked_saved = L"1";
};

class page_wiring : public setup_program {
protected:
    // Sets every control of `page` through the real dialog and reads its key
    // from the saved file. A box holds only two values, so the boxes go in
    // rounds, each with a fresh editor: box n is ticked in the file in the
    // rounds of the bits of n and clicked in every round, so that any two
    // boxes differ in some round both as shown and as saved, and two boxes
    // that trade keys show. The values are set in the first round; in the
    // others they are left alone and must keep what the file has.
    void check(setup_page page, const std::vector<wired_box>& boxes,
               const std::vector<wired_value>& values) {
        size_t rounds = 1;
        while ((size_t{1} << rounds) < boxes.size()) ++rounds;
        for (size_t round = 0; round < rounds; ++round) {
            SCOPED_TRACE("round " + std::to_string(round));
            const auto ticked = [&](size_t box) { return ((box >> round) & 1) != 0; };
            std::map<std::wstring, std::wstring> sections;
            for (size_t b = 0; b < boxes.size(); ++b)
                sections[boxes[b].section] += std::wstring(boxes[b].key) + L"=" +
                                              (ticked(b) ? boxes[b].ticked_in_file : L"0") +
                                              L"\r\n";
            for (const auto& value : values)
                for (const auto& k : value.keys)
                    sections[k.section] += std::wstring(k.key) + L"=" + k.before + L"\r\n";
            std::wstring file;
            for (const auto& [name, keys] : sections) file += L"[" + name + L"]\r\n" + keys;
            ASSERT_TRUE(folder_.write_ini(L"zuvo.ini", file));

            setup_process editor(folder_);
            HWND shown = editor.show(page);
            ASSERT_TRUE(shown);
            for (size_t b = 0; b < boxes.size(); ++b) {
                EXPECT_EQ(checked(shown, boxes[b].id), ticked(b)) << boxes[b].control;
                click(shown, boxes[b].id);
            }
            if (round == 0) {
                for (const auto& value : values) {
                    SCOPED_TRACE(value.control);
                    value.set(editor, shown);
                }
            }
            EXPECT_EQ(editor.ok(), 0u);
            const auto entries = saved();
            for (size_t b = 0; b < boxes.size(); ++b)
                EXPECT_EQ(ini_value(entries, boxes[b].section, boxes[b].key),
                          ticked(b) ? L"0" : boxes[b].ticked_saved)
                    << boxes[b].control;
            for (const auto& value : values)
                for (const auto& k : value.keys)
                    EXPECT_EQ(ini_value(entries, k.section, k.key), round == 0 ? k.after : k.before)
                        << value.control << " " << ascii(k.key);
        }
    }
};

// Basic page ----------------------------------------------------------------------

TEST_F(setup_program, step_edit_and_trackbar_follow_each_other) {
    folder_.write_ini(L"zuvo.ini", L"[Basic]\r\nVolStepSize=10\r\n");
    setup_process editor(folder_);
    HWND page = editor.show(setup_page::basic);
    ASSERT_TRUE(page);
    EXPECT_EQ(send_to(control(page, step_edit), EM_GETLIMITTEXT), 2);
    EXPECT_EQ(text_of(page, step_edit), L"10");
    EXPECT_EQ(trackbar_position(page, step_track), 2);
    struct step {
        const wchar_t* typed; // or, when null, the trackbar moved to:
        int moved_to;
        const wchar_t* shown;
        int position;
    };
    const step steps[] = {
        {L"37", 0, L"37", 7},
        {nullptr, 7, L"37", 7}, // where it already is: the typed value stays
        {L"99", 0, L"50", 10},
        {nullptr, 0, L"1", 0},
        {nullptr, 3, L"15", 3},
        {L"0", 0, L"1", 0},
        {L"abc", 0, L"1", 0},
        {L"-7", 0, L"1", 0},
        {L"4", 0, L"4", 0},
        {nullptr, 10, L"50", 10},
        {L"123", 0, L"50", 10}, // more than the edit takes from the keyboard
        {L"12", 0, L"12", 2},
    };
    for (const step& s : steps) {
        SCOPED_TRACE(s.typed ? ascii(s.typed) : "moved to " + std::to_string(s.moved_to));
        if (s.typed)
            type_into(page, step_edit, s.typed);
        else
            move_trackbar(page, step_track, s.moved_to);
        EXPECT_EQ(text_of(page, step_edit), s.shown);
        EXPECT_EQ(trackbar_position(page, step_track), s.position);
    }
    EXPECT_EQ(editor.ok(), 0u);
    EXPECT_EQ(saved_value(L"Basic", L"VolStepSize"), L"12");
}

// Windows starts what the user's Run key names; the editor keeps Quellbar's
// value there, not in zuvo.ini.
constexpr wchar_t run_key[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr int start_with_windows_box = 40016;

// Whether the user let the entry start, as the system's start-up apps keep it
// (12 bytes: flags, odd when turned off, and the time it was).
constexpr wchar_t approved_key[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";
enum class approval { none, on, off };
approval startup_approval() {
    BYTE data[64] = {};
    DWORD size = sizeof data;
    if (RegGetValueW(HKEY_CURRENT_USER, approved_key, L"Quellbar", RRF_RT_REG_BINARY, nullptr, data,
                     &size) != ERROR_SUCCESS)
        return approval::none;
    return size > 0 && (data[0] & 1) ? approval::off : approval::on;
}
void set_startup_approval(approval state) {
    if (state == approval::none) {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, approved_key, L"Quellbar");
        return;
    }
    const BYTE data[12] = {state == approval::off ? BYTE{3} : BYTE{2}, 0, 0, 0, 0x40, 0x2b};
    RegSetKeyValueW(HKEY_CURRENT_USER, approved_key, L"Quellbar", REG_BINARY, data, sizeof data);
}

// The session's value as it was before the test, put back afterwards.
class run_value_kept {
public:
    run_value_kept() : before_(quellbar_run_value()), approval_(startup_approval()) {}
    run_value_kept(const run_value_kept&) = delete;
    run_value_kept& operator=(const run_value_kept&) = delete;
    ~run_value_kept() {
        set_quellbar_run_value(before_);
        set_startup_approval(approval_);
    }

private:
    std::optional<std::wstring> before_;
    approval approval_;
};

TEST_F(setup_program, start_with_windows_box_changes_the_run_value_on_ok_only) {
    run_value_kept kept;
    set_quellbar_run_value(std::nullopt);
    const std::wstring own = L"\"" + folder_.exe() + L"\"";
    const std::wstring elsewhere = L"\"C:\\Other Quellbar\\zuvo.exe\"";
    struct step {
        std::optional<std::wstring> before;
        bool shown;
        bool click; // the box clicked once
        bool ok;    // else Cancel
        std::optional<std::wstring> after;
        approval approved_before = approval::none;
        approval approved_after = approval::none;
    };
    const step steps[] = {
        {std::nullopt, false, true, false, std::nullopt},
        {std::nullopt, false, false, true, std::nullopt},
        {std::nullopt, false, true, true, own},
        {own, true, false, true, own},
        {own, true, true, false, own},
        {own, true, true, true, std::nullopt},
        // Another folder's entry is left alone unless the user unticks it.
        {elsewhere, true, false, true, elsewhere},
        {elsewhere, true, true, true, std::nullopt},
        // Turned off among the system's start-up apps, the entry starts
        // nothing: unticked, and ticking turns it on again.
        {own, false, false, true, own, approval::off, approval::off},
        {own, false, true, true, own, approval::off, approval::on},
        {std::nullopt, false, true, true, own, approval::off, approval::on},
        // An entry removed takes its state along.
        {own, true, true, true, std::nullopt, approval::on, approval::none},
    };
    for (const step& s : steps) {
        SCOPED_TRACE(ascii(s.before.value_or(L"none")) + (s.click ? " click" : "") +
                     (s.ok ? " OK" : " Cancel") + " start-up app " +
                     std::to_string(static_cast<int>(s.approved_before)));
        set_quellbar_run_value(s.before);
        set_startup_approval(s.approved_before);
        setup_process editor(folder_);
        HWND basic = editor.show(setup_page::basic);
        ASSERT_TRUE(basic);
        EXPECT_EQ(checked(basic, start_with_windows_box), s.shown);
        if (s.click) click(basic, start_with_windows_box);
        EXPECT_EQ(checked(basic, start_with_windows_box), s.shown != s.click);
        EXPECT_EQ(s.ok ? editor.ok() : editor.cancel(), 0u);
        const auto after = quellbar_run_value();
        if (s.after == own && after) {
            // The folder's spelling is the system's; only the letter case may differ.
            EXPECT_EQ(lstrcmpiW(after->c_str(), own.c_str()), 0) << ascii(*after);
        } else {
            EXPECT_EQ(after, s.after) << ascii(after.value_or(L"none"));
        }
        EXPECT_EQ(startup_approval(), s.approved_after);
    }
    // The box is no setting of zuvo.ini: OK wrote the file as if it were not there.
    EXPECT_EQ(saved(), default_file());
}

// The Run key made unwritable for everyone while it lives (reading and
// changing the permissions stay allowed, so that they can be put back).
class run_key_locked {
public:
    run_key_locked() {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, run_key, 0, nullptr, 0, READ_CONTROL | WRITE_DAC,
                            nullptr, &key, nullptr) != ERROR_SUCCESS)
            return;
        key_ = key;
        DWORD size = 0;
        RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, nullptr, &size);
        before_.resize(size);
        if (size == 0 || RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, before_.data(),
                                           &size) != ERROR_SUCCESS)
            return;
        PSECURITY_DESCRIPTOR read_only = nullptr;
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
                L"D:P(A;;KRRCWD;;;WD)", SDDL_REVISION_1, &read_only, nullptr))
            return;
        locked_ = RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, read_only) == ERROR_SUCCESS;
        LocalFree(read_only);
    }
    run_key_locked(const run_key_locked&) = delete;
    run_key_locked& operator=(const run_key_locked&) = delete;
    ~run_key_locked() {
        if (locked_) RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, before_.data());
        if (key_) RegCloseKey(key_);
    }
    explicit operator bool() const { return locked_; }

private:
    HKEY key_ = nullptr;
    std::vector<BYTE> before_;
    bool locked_ = false;
};

TEST_F(setup_program, a_run_value_that_cannot_be_written_is_reported_and_the_file_still_saved) {
    run_value_kept kept;
    set_quellbar_run_value(std::nullopt);
    run_key_locked locked;
    ASSERT_TRUE(locked);
    HKEY probe = nullptr;
    const LONG opened = RegOpenKeyExW(HKEY_CURRENT_USER, run_key, 0, KEY_SET_VALUE, &probe);
    if (opened == ERROR_SUCCESS) RegCloseKey(probe);
    ASSERT_NE(opened, ERROR_SUCCESS) << "this session lets everyone write the locked key";

    setup_process editor(folder_);
    HWND basic = editor.show(setup_page::basic);
    ASSERT_TRUE(basic);
    click(basic, start_with_windows_box);
    type_into(basic, step_edit, L"25");
    editor.press(IDOK);
    ASSERT_TRUE(wait_for_window_gone(editor.frame()));
    auto box = wait_for_message_box(setup_caption, editor.proc().id());
    ASSERT_TRUE(box) << "the failed write was not reported";
    EXPECT_EQ(
        box->text.rfind(L"Whether Quellbar starts with Windows could not be changed in "
                        L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                        0),
        0u)
        << ascii(box->text);
    ASSERT_TRUE(close_message_box(box->window));
    EXPECT_EQ(editor.proc().wait(10s), 0u);
    EXPECT_FALSE(quellbar_run_value().has_value());
    EXPECT_EQ(saved_value(L"Basic", L"VolStepSize"), L"25");
}

TEST_F(setup_program, zuvo_starts_from_the_run_value_the_editor_wrote) {
    run_value_kept kept;
    set_quellbar_run_value(std::nullopt);
    {
        setup_process editor(folder_);
        HWND basic = editor.show(setup_page::basic);
        ASSERT_TRUE(basic);
        click(basic, start_with_windows_box);
        EXPECT_EQ(editor.ok(), 0u);
    }
    const auto command = quellbar_run_value();
    ASSERT_TRUE(command) << "no Run value written";
    ASSERT_TRUE(process_ids(L"zuvo.exe").empty());
    // As Windows does at logon: the command line as it stands, from elsewhere.
    temp_folder elsewhere;
    process started = process::start(*command, elsewhere.path());
    ASSERT_TRUE(started) << ascii(*command);
    HWND window = wait_for_window(L"Quellbar_Class", started.id());
    ASSERT_TRUE(window) << "zuvo.exe did not come up from " << ascii(*command);
    EXPECT_EQ(lstrcmpiW(image_path(started).c_str(), folder_.exe().c_str()), 0);
    PostMessageW(window, WM_COMMAND, exit_command, 0);
    EXPECT_EQ(started.wait(10s), 0u);
}

TEST_F(setup_program, image_lists_select_the_stored_sets_and_the_previews_are_drawn) {
    folder_.write_ini(L"zuvo.ini", L"[Basic]\r\nTrayiconImage=classic\r\nTrayiconDigit=large\r\n");
    const auto icons = offered_sets(folder_, L"icon");
    const auto digits = offered_sets(folder_, L"dig");
    ASSERT_GE(index_of(icons, L"classic"), 1);
    ASSERT_GE(index_of(digits, L"large"), 1);
    ASSERT_GE(index_of(icons, L"default"), 0);
    setup_process editor(folder_);
    HWND page = editor.show(setup_page::basic);
    ASSERT_TRUE(page);
    EXPECT_EQ(combo_items(page, icon_list), descriptions(icons));
    EXPECT_EQ(combo_items(page, digit_list), descriptions(digits));
    EXPECT_EQ(combo_selection(page, icon_list), index_of(icons, L"classic"));
    EXPECT_EQ(combo_selection(page, digit_list), index_of(digits, L"large"));

    const auto full = picture(editor, page, preview_full);
    const auto muted = picture(editor, page, preview_mute);
    ASSERT_FALSE(full.empty());
    EXPECT_GE(drawn_pixels(full), 20u) << "volume 100 preview is blank";
    EXPECT_GE(drawn_pixels(muted), 20u) << "muted preview is blank";
    EXPECT_NE(full, muted);
    EXPECT_TRUE(editor.screenshot(test_output_folder() + L"\\setup-basic-previews.png"));

    // Another icon set is taken over at once and drawn.
    choose_combo(page, icon_list, index_of(icons, L"default"));
    const auto redrawn = picture(editor, page, preview_full);
    EXPECT_GE(drawn_pixels(redrawn), 20u);
    EXPECT_NE(redrawn, full);
    EXPECT_EQ(editor.ok(), 0u);
    EXPECT_EQ(saved_value(L"Basic", L"TrayiconImage"), L"default");
    EXPECT_EQ(saved_value(L"Basic", L"TrayiconDigit"), L"large");
}

size_t pixels_of(const std::vector<COLORREF>& pixels, COLORREF color) {
    return static_cast<size_t>(std::count(pixels.begin(), pixels.end(), color));
}

// Each page takes some values at once; a preview on another page shows them
// when that page is shown again.
TEST_F(setup_program, previews_show_what_other_pages_changed) {
    folder_.write_ini(L"zuvo.ini",
                      L"[Basic]\r\nTrayiconImage=default\r\n"
                      L"TrayiconDigitColorLinkTips=1\r\n[Tips]\r\nTextColor=#00ff00\r\n"
                      L"[Control00]\r\nCaption=Speakers\r\n");
    const auto icons = offered_sets(folder_, L"icon");
    const COLORREF blue = RGB(0, 0, 255);
    setup_process editor(folder_);
    HWND basic = editor.show(setup_page::basic);
    ASSERT_TRUE(basic);
    const auto green_digits = picture(editor, basic, preview_full);
    EXPECT_GE(pixels_of(green_digits, RGB(0, 255, 0)), 5u);
    EXPECT_EQ(pixels_of(green_digits, blue), 0u);
    HWND controls = editor.show(setup_page::controls);
    ASSERT_TRUE(controls);
    const auto default_set = picture(editor, controls, control_preview);

    HWND tips = editor.show(setup_page::tips);
    ASSERT_TRUE(tips);
    ASSERT_TRUE(choose_color(editor, tips, 1078, blue));
    ASSERT_EQ(editor.show(setup_page::basic), basic);
    EXPECT_GE(pixels_of(picture(editor, basic, preview_full), blue), 5u)
        << "digits in the text colour chosen on the tips page";
    choose_combo(basic, icon_list, index_of(icons, L"classic"));
    ASSERT_EQ(editor.show(setup_page::controls), controls);
    EXPECT_NE(picture(editor, controls, control_preview), default_set)
        << "a slot without its own set shows the tray's new one";
    EXPECT_EQ(editor.cancel(), 0u);
}

TEST_F(page_wiring, every_basic_control_stores_its_own_key) {
    const auto icons = offered_sets(folder_, L"icon");
    const auto digits = offered_sets(folder_, L"dig");
    check(setup_page::basic,
          {{"fit to the step", 1006, L"Basic", L"VolStepFit"},
           {"volume items in the menu", 1115, L"Basic", L"VolMenu"},
           {"tray icon shown", 1112, L"Basic", L"TrayiconShow"},
           {"balloon tips", 1117, L"Basic", L"TrayiconBaloon"},
           {"wheel over the icon", 1113, L"Basic", L"TrayiconWheel"},
           {"wheel reversed", 1114, L"Basic", L"TrayiconWheelReverse"},
           {"save physical memory", 1116, L"Basic", L"SwapMode"},
           {"digits in the tips colours", digit_link, L"Basic", L"TrayiconDigitColorLinkTips"}},
          {{"step edit",
            [](const setup_process&, HWND page) { type_into(page, step_edit, L"37"); },
            {{L"Basic", L"VolStepSize", L"20", L"37"}}},
           {"icon image list",
            [&](const setup_process&, HWND page) {
                choose_combo(page, icon_list, index_of(icons, L"classic"));
            },
            {{L"Basic", L"TrayiconImage", L"medium", L"classic"}}},
           {"volume image list",
            [&](const setup_process&, HWND page) {
                choose_combo(page, digit_list, index_of(digits, L"large"));
            },
            {{L"Basic", L"TrayiconDigit", L"medium", L"large"}}}});
}

// Hot keys page ----------------------------------------------------------------------

// Each code before and after has one of Ctrl and Shift and one of Alt and Win,
// so that boxes swapped within a row show, and every row has keys of its own.
TEST_F(page_wiring, every_hot_key_row_stores_its_own_key_and_modifiers) {
    const struct {
        const char* row;
        hotkey_ids ids;
        const wchar_t* key;
        uint32_t before, after;
    } rows[] = {
        // Ctrl+Alt+1 -> Shift+Win+Up (an extended key)
        {"volume up", {1089, 1107, 1108, 1109, 1094}, L"VolumeUp", 0x0331, 0x8C26},
        // Ctrl+Win+2 -> Shift+Alt+D
        {"volume down", {1090, 1112, 1110, 1111, 1095}, L"VolumeDown", 0x0932, 0x0644},
        // Shift+Alt+3 -> Ctrl+Win+M
        {"mute", {1091, 1115, 1113, 1114, 1096}, L"Mute", 0x0633, 0x094D},
        // Shift+Win+4 -> Ctrl+Alt+F5
        {"change control", {1092, 1118, 1116, 1117, 1097}, L"ControlChange", 0x0C34, 0x0374},
        // Ctrl+Alt+5 -> Shift+Win+P
        {"popup menu", {1093, 1121, 1119, 1120, 1098}, L"PopupMenu", 0x0335, 0x0C50},
        // Shift+Alt+6 -> Ctrl+Win+O
        {"next output device", {1180, 1181, 1182, 1183, 1184}, L"DeviceNext", 0x0636, 0x094F},
    };
    std::vector<wired_value> values;
    for (const auto& r : rows)
        values.push_back(
            {r.row,
             [r](const setup_process&, HWND page) {
                 EXPECT_EQ(shown_hotkey(page, r.ids), r.before);
                 set_hotkey(page, r.ids, r.after);
             },
             {{L"Hotkey", r.key, std::to_wstring(r.before), std::to_wstring(r.after)}}});
    check(setup_page::hotkeys, {}, values);
}

// Window tips page -------------------------------------------------------------------

TEST_F(setup_program, font_description_and_quality_follow_the_stored_font) {
    struct font_case {
        const wchar_t* face;
        int height;
        int weight;
        int italic;
        const wchar_t* quality; // FontAntialias as stored, null: absent
        const wchar_t* described;
        int quality_item; // -1: none of the offered qualities
    };
    const font_case cases[] = {
        {L"", -32, 400, 0, nullptr, L",24pt ", 0},
        {L"Arial", -13, 700, 0, L"5", L"Arial,10pt Bold", 3},
        {L"Tahoma", 12, 401, 1, L"3", L"Tahoma,12pt BoldItaric", 1},
        {L"Courier New", -3, 400, 1, L"7", L"Courier New,2pt Itaric", -1},
    };
    const std::vector<std::wstring> qualities = {L"Default", L"Off", L"Standard", L"ClearType"};
    for (const font_case& c : cases) {
        SCOPED_TRACE(ascii(c.described));
        std::wstring ini = std::wstring(L"[Tips]\r\nFontFace=") + c.face + L"\r\nFontPointSz=" +
                           std::to_wstring(c.height) + L"\r\nFontWeight=" +
                           std::to_wstring(c.weight) + L"\r\nFontItalic=" +
                           std::to_wstring(c.italic) + L"\r\n";
        if (c.quality) ini += std::wstring(L"FontAntialias=") + c.quality + L"\r\n";
        folder_.write_ini(L"zuvo.ini", ini);
        setup_process editor(folder_);
        HWND page = editor.show(setup_page::tips);
        ASSERT_TRUE(page);
        EXPECT_EQ(text_of(page, font_text), c.described);
        EXPECT_EQ(combo_items(page, antialias_list), qualities);
        EXPECT_EQ(combo_selection(page, antialias_list), c.quality_item);
        // A quality we do not offer is kept, not replaced by a guess.
        EXPECT_EQ(editor.ok(), 0u);
        EXPECT_EQ(ini_value(saved(), L"Tips", L"FontAntialias"), c.quality ? c.quality : L"1");
    }
}

TEST_F(setup_program, resolution_box_stores_the_desktop_width_and_opacity_label_waits_for_the_bar) {
    struct tips_case {
        int stored_base;
        int move_opacity_to; // -1: leave the bar alone
        const wchar_t* label_after;
        std::wstring saved_base;
        const wchar_t* saved_rate;
    };
    const tips_case cases[] = {
        {0, 7, L"35%", std::to_wstring(desktop_width()), L"35"},
        {1024, -1, L"000%", L"0", L"100"},
    };
    for (const tips_case& c : cases) {
        SCOPED_TRACE(c.stored_base);
        folder_.write_ini(L"zuvo.ini", L"[Tips]\r\nFontResolutionBase=" +
                                           std::to_wstring(c.stored_base) +
                                           L"\r\nLayerTransparentRate=100\r\n");
        setup_process editor(folder_);
        HWND page = editor.show(setup_page::tips);
        ASSERT_TRUE(page);
        EXPECT_EQ(checked(page, resolution_check), c.stored_base != 0);
        EXPECT_EQ(text_of(page, opacity_text), L"000%");
        EXPECT_EQ(trackbar_position(page, opacity_track), 20);
        click(page, resolution_check);
        EXPECT_EQ(checked(page, resolution_check), c.stored_base == 0);
        if (c.move_opacity_to >= 0) move_trackbar(page, opacity_track, c.move_opacity_to);
        EXPECT_EQ(text_of(page, opacity_text), c.label_after);
        EXPECT_EQ(editor.ok(), 0u);
        EXPECT_EQ(saved_value(L"Tips", L"FontResolutionBase"), c.saved_base);
        EXPECT_EQ(saved_value(L"Tips", L"LayerTransparentRate"), c.saved_rate);
    }
}

TEST_F(page_wiring, every_window_tips_control_stores_its_own_key) {
    const auto formats = offered_sets(folder_, L"fmt");
    const int desktop = desktop_width();
    // A base at which the stored height shows twice as high on this desktop.
    const int base = desktop / 2;
    const int offered_height = static_cast<int>(32LL * desktop / base);
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    const auto colour = [](const char* button_name, int button, const wchar_t* key,
                           const wchar_t* before, COLORREF chosen, const wchar_t* after) {
        return wired_value{button_name,
                           [=](const setup_process& editor, HWND page) {
                               EXPECT_TRUE(choose_color(editor, page, button, chosen));
                           },
                           {{L"Tips", key, before, after}}};
    };
    check(
        setup_page::tips,
        {{"mute colour at volume 0", 1006, L"Basic", L"TipsVol0OnMute"},
         // Ticked in the first round, so that the font dialog is offered a scaled height.
         {"font size follows the resolution", resolution_check, L"Tips", L"FontResolutionBase",
          std::to_wstring(base), std::to_wstring(desktop)},
         {"layered window", 1070, L"Tips", L"LayerWindow"},
         {"transparent background", 1074, L"Tips", L"LayerBackgroundThrough"}},
        {{"format list",
          [&](const setup_process&, HWND page) {
              choose_combo(page, format_list, index_of(formats, L"segbar_ml"));
          },
          {{L"Basic", L"TipsFormat", L"corner", L"segbar_ml"}}},
         {"display time edit",
          [](const setup_process&, HWND page) { type_into(page, tips_timer, L"4321"); },
          {{L"Basic", L"TipsTimer", L"2000", L"4321"}}},
         {"font dialog",
          [&](const setup_process& editor, HWND page) {
              click_later(page, font_button);
              HWND dialog = editor.wait_for_dialog();
              ASSERT_TRUE(dialog);
              // Offered as it shows on this desktop, in points.
              EXPECT_EQ(text_of(dialog, font_sizes),
                        std::to_wstring(MulDiv(offered_height, 72, dpi)));
              ASSERT_TRUE(choose_combo_text(dialog, font_faces, L"IPAPGothic"))
                  << "the session has the IPA fonts";
              const auto styles = combo_items(dialog, font_styles);
              ASSERT_EQ(styles.size(), 4u);
              ASSERT_EQ(styles[3], L"Bold Italic");
              choose_combo(dialog, font_styles, 3);
              ASSERT_TRUE(choose_combo_text(dialog, font_sizes, L"20"));
              click_later(dialog, IDOK);
              ASSERT_TRUE(wait_for_window_gone(dialog));
              ASSERT_TRUE(editor.sync());
              // Chosen now, the height is this desktop's already.
              click_later(page, font_button);
              dialog = editor.wait_for_dialog();
              ASSERT_TRUE(dialog);
              EXPECT_EQ(text_of(dialog, font_sizes), L"20");
              click_later(dialog, IDCANCEL);
              ASSERT_TRUE(wait_for_window_gone(dialog));
              ASSERT_TRUE(editor.sync());
          },
          // The height as chosen, not scaled back to the stored base.
          {{L"Tips", L"FontFace", L"IPAGothic", L"IPAPGothic"},
           {L"Tips", L"FontPointSz", L"-32", std::to_wstring(-MulDiv(20, dpi, 72))},
           {L"Tips", L"FontWeight", L"400", L"700"},
           {L"Tips", L"FontItalic", L"0", L"1"}}},
         {"anti-aliasing list",
          [](const setup_process&, HWND page) { choose_combo(page, antialias_list, 3); },
          {{L"Tips", L"FontAntialias", L"4", L"5"}}},
         colour("text colour", 1078, L"TextColor", L"#102030", RGB(0x12, 0x34, 0x56), L"#123456"),
         colour("mute colour", 1080, L"TextColor2", L"#405060", RGB(0x65, 0x43, 0x21), L"#654321"),
         colour("background colour", 1079, L"BackgroundColor", L"#010203", RGB(0xab, 0xcd, 0xef),
                L"#abcdef"),
         {"opacity trackbar",
          [](const setup_process&, HWND page) { move_trackbar(page, opacity_track, 7); },
          {{L"Tips", L"LayerTransparentRate", L"50", L"35"}}},
         {"outline edit",
          [](const setup_process&, HWND page) { type_into(page, edge_edit, L"3"); },
          {{L"Tips", L"EdgeSize", L"2", L"3"}}}});
}

// Controls page ---------------------------------------------------------------------

std::vector<std::wstring> slot_items(std::initializer_list<std::pair<int, const wchar_t*>> used) {
    std::vector<std::wstring> items;
    for (int slot = 0; slot < 16; ++slot) {
        wchar_t number[8];
        StringCchPrintfW(number, 8, L"%02d: ", slot);
        items.push_back(number);
        for (const auto& [at, caption] : used)
            if (at == slot) items.back() += caption;
    }
    return items;
}

TEST_F(setup_program, moving_controls_swaps_neighbours_but_never_past_the_ends) {
    folder_.write_ini(L"zuvo.ini", L"[Control00]\r\nCaption=A\r\n[Control01]\r\nCaption=B\r\n"
                                   L"[Control15]\r\nCaption=P\r\nMixer=Speakers\r\nSource=1\r\n");
    setup_process editor(folder_);
    HWND page = editor.show(setup_page::controls);
    ASSERT_TRUE(page);
    EXPECT_EQ(list_items(page, control_list), slot_items({{0, L"A"}, {1, L"B"}, {15, L"P"}}));
    struct move {
        int slot;
        int button;
        int current_after;
        std::vector<std::wstring> items_after;
    };
    const move moves[] = {
        {0, control_up, 0, slot_items({{0, L"A"}, {1, L"B"}, {15, L"P"}})},
        {15, control_down, 15, slot_items({{0, L"A"}, {1, L"B"}, {15, L"P"}})},
        {1, control_up, 0, slot_items({{0, L"B"}, {1, L"A"}, {15, L"P"}})},
        {15, control_up, 14, slot_items({{0, L"B"}, {1, L"A"}, {14, L"P"}})},
    };
    for (const move& m : moves) {
        SCOPED_TRACE(std::to_string(m.slot) + (m.button == control_up ? " up" : " down"));
        choose_list(page, control_list, m.slot);
        click(page, m.button);
        EXPECT_EQ(list_items(page, control_list), m.items_after);
        EXPECT_EQ(list_selection(page, control_list), m.current_after);
    }
    EXPECT_EQ(editor.ok(), 0u);
    const auto entries = saved();
    EXPECT_EQ(ini_value(entries, L"Control00", L"Caption"), L"B");
    EXPECT_EQ(ini_value(entries, L"Control01", L"Caption"), L"A");
    EXPECT_EQ(ini_value(entries, L"Control14", L"Caption"), L"P");
    EXPECT_EQ(ini_value(entries, L"Control14", L"Source"), L"1");
    EXPECT_TRUE(ini_section(entries, L"Control15").empty());
}

TEST_F(setup_program, deleting_a_control_removes_its_section_and_keeps_the_other_numbers) {
    folder_.write_ini(L"zuvo.ini",
                      L"[Control00]\r\nCaption=A\r\nMixer=Speakers\r\n"
                      L"[Control01]\r\nCaption=B\r\nMixer=Microphone\r\nSource=0\r\n"
                      L"[Control02]\r\nCaption=C\r\nMixer=Speakers\r\nSource=1\r\nBalance=-20\r\n");
    setup_process editor(folder_);
    HWND page = editor.show(setup_page::controls);
    ASSERT_TRUE(page);
    choose_list(page, control_list, 1);
    EXPECT_EQ(text_of(page, control_caption), L"B");
    click(page, control_delete);
    EXPECT_EQ(list_items(page, control_list), slot_items({{0, L"A"}, {2, L"C"}}));
    EXPECT_EQ(text_of(page, control_caption), L"");
    EXPECT_EQ(text_of(page, control_description), L"---- not registered ----");
    EXPECT_EQ(editor.ok(), 0u);
    EXPECT_EQ(read_text(ini_path()).find(L"[Control01]"), std::wstring::npos);
    const auto entries = saved();
    EXPECT_TRUE(ini_section(entries, L"Control01").empty());
    EXPECT_EQ(ini_section(entries, L"Control00"),
              parse_ini(L"[Control00]\nCaption=A\nMixer=Speakers\nDestination=0\nSource=-1\n"
                        L"Balance=0\nColor=\nIconImage=\n"));
    EXPECT_EQ(ini_section(entries, L"Control02"),
              parse_ini(L"[Control02]\nCaption=C\nMixer=Speakers\nSource=1\nBalance=-20\n"
                        L"Destination=0\nColor=\nIconImage=\n"));
}

TEST_F(setup_program, selection_dialog_lists_the_devices_and_returns_the_choice_and_caption) {
    folder_.write_ini(L"zuvo.ini", L"[Control00]\r\nCaption=Old\r\n"
                                   L"[Control01]\r\nCaption=Second\r\nMixer=Microphone\r\n"
                                   L"[Control03]\r\nCaption=Kept\r\nMixer=Microphone\r\n");
    fake_.add_session(fake_.device(L"Speakers"), 77, L"C:\\Apps\\player.exe", L"Player", 0.4f,
                      false);
    setup_process editor(folder_);
    HWND page = editor.show(setup_page::controls);
    ASSERT_TRUE(page);
    auto open_selection = [&](int slot) {
        choose_list(page, control_list, slot);
        click_later(page, control_select);
        return editor.wait_for_dialog();
    };
    auto accept = [&](HWND dialog) {
        click_later(dialog, IDOK);
        return wait_for_window_gone(dialog) && editor.sync();
    };

    // Slot 4, free: a program with audio on the default device, not playing.
    HWND dialog = open_selection(4);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(combo_items(dialog, source_list),
              (std::vector<std::wstring>{L"[M] <DefaultMixer>", L"[A] Player (player.exe)"}));
    choose_combo(dialog, source_list, 1);
    ASSERT_TRUE(accept(dialog));
    EXPECT_EQ(text_of(page, control_caption), L"Player");
    EXPECT_EQ(text_of(page, control_description),
              L"Mixer : <DefaultMixer>\r\nControl : [A] Player (player.exe)\r\nChannels : 1 ");

    // Slot 0, on the default device: the speakers' master volume.
    dialog = open_selection(0);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(combo_items(dialog, device_list), fake_devices);
    EXPECT_EQ(combo_selection(dialog, device_list), 0);
    EXPECT_EQ(combo_selection(dialog, source_list), 0) << "the master volume";
    choose_combo(dialog, device_list, 1);
    const auto sources = combo_items(dialog, source_list);
    ASSERT_GE(sources.size(), 3u);
    EXPECT_EQ(sources[0], L"[M] Speakers");
    EXPECT_EQ(sources.back(), L"[A] Player (player.exe)");
    EXPECT_EQ(combo_selection(dialog, source_list), 0);
    ASSERT_TRUE(accept(dialog));
    EXPECT_EQ(text_of(page, control_caption), L"Speakers");
    EXPECT_EQ(text_of(page, control_description),
              L"Mixer : Speakers\r\nControl : [M] Speakers\r\nChannels : 1 ");

    // Slot 1, stored on the microphone: moved to the speakers' last line.
    dialog = open_selection(1);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(combo_selection(dialog, device_list), 2);
    choose_combo(dialog, device_list, 1);
    const auto lines = combo_items(dialog, source_list);
    ASSERT_EQ(lines, sources);
    const int last = static_cast<int>(lines.size()) - 2; // the last line, before the program
    const std::wstring prefix = L"[" + std::to_wstring(last - 1) + L"] ";
    ASSERT_EQ(lines[last].rfind(prefix, 0), 0u);
    const std::wstring line_name = lines[last].substr(prefix.size());
    choose_combo(dialog, source_list, last);
    ASSERT_TRUE(accept(dialog));
    EXPECT_EQ(text_of(page, control_caption), line_name);
    EXPECT_EQ(list_items(page, control_list).at(1), L"01: " + line_name);
    EXPECT_EQ(text_of(page, control_description), L"Mixer : Speakers\r\nControl : " + prefix +
                                                      line_name +
                                                      L"\r\nChannels : 2 (Balance: 0%)");

    // A line without a name proposes no caption: a used slot keeps its own,
    // a free one takes "#" and the device's name, so that neither is freed.
    ASSERT_EQ(lines.at(2), L"[1] ");
    const struct {
        int slot;
        const wchar_t* caption;
    } nameless[] = {{2, L"#Speakers"}, {3, L"Kept"}};
    for (const auto& n : nameless) {
        SCOPED_TRACE(n.slot);
        dialog = open_selection(n.slot);
        ASSERT_TRUE(dialog);
        choose_combo(dialog, device_list, 1);
        choose_combo(dialog, source_list, 2);
        ASSERT_TRUE(accept(dialog));
        EXPECT_EQ(text_of(page, control_caption), n.caption);
    }

    EXPECT_EQ(editor.ok(), 0u);
    const auto entries = saved();
    for (const auto& n : nameless) {
        const std::wstring section = L"Control0" + std::to_wstring(n.slot);
        EXPECT_EQ(ini_value(entries, section, L"Caption"), n.caption);
        EXPECT_EQ(ini_value(entries, section, L"Mixer"), L"Speakers");
        EXPECT_EQ(ini_value(entries, section, L"Source"), L"1");
    }
    EXPECT_EQ(ini_section(entries, L"Control00"),
              parse_ini(L"[Control00]\nCaption=Speakers\nMixer=Speakers\nDestination=0\n"
                        L"Source=-1\nBalance=0\nColor=\nIconImage=\n"));
    EXPECT_EQ(ini_value(entries, L"Control01", L"Caption"), line_name);
    EXPECT_EQ(ini_value(entries, L"Control01", L"Mixer"), L"Speakers");
    EXPECT_EQ(ini_value(entries, L"Control01", L"Source"), std::to_wstring(last - 1));
    // Source -2 leaves the slot unusable to a version that knows no programs.
    EXPECT_EQ(ini_section(entries, L"Control04"),
              parse_ini(L"[Control04]\nCaption=Player\nMixer=\nDestination=0\n"
                        L"Source=-2\nBalance=0\nColor=\nIconImage=\nApplication=player.exe\n"));
}

TEST_F(setup_program,
       a_stored_device_that_is_gone_is_described_as_an_error_and_comes_back_unchanged) {
    folder_.write_ini(L"zuvo.ini", L"[Control00]\r\nCaption=Headset\r\nMixer=USB Headset\r\n"
                                   L"Destination=0\r\nSource=2\r\nBalance=30\r\n");
    setup_process editor(folder_);
    HWND page = editor.show(setup_page::controls);
    ASSERT_TRUE(page);
    EXPECT_EQ(text_of(page, control_description),
              L"Mixer : USB Headset\r\nControl : [2] ## ERROR ##\r\nChannels : 0 ");
    click_later(page, control_select);
    HWND dialog = editor.wait_for_dialog();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(combo_items(dialog, device_list), fake_devices);
    EXPECT_EQ(combo_selection(dialog, device_list), 0);
    click_later(dialog, IDOK);
    ASSERT_TRUE(wait_for_window_gone(dialog));
    EXPECT_EQ(editor.ok(), 0u);
    // Nothing was chosen, so device and caption stay as the user had them.
    EXPECT_EQ(ini_section(saved(), L"Control00"),
              parse_ini(L"[Control00]\nCaption=Headset\nMixer=USB Headset\n"
                        L"Destination=0\nSource=2\nBalance=30\nColor=\nIconImage=\n"));
}

TEST_F(page_wiring, every_control_of_a_slot_stores_its_own_key) {
    const auto icons = offered_sets(folder_, L"icon");
    check(setup_page::controls, {},
          {{"selection dialog",
            [](const setup_process& editor, HWND page) {
                click_later(page, control_select);
                HWND dialog = editor.wait_for_dialog();
                ASSERT_TRUE(dialog);
                choose_combo(dialog, device_list, 1);
                ASSERT_EQ(combo_items(dialog, source_list).at(1), L"[0] Speakers");
                choose_combo(dialog, source_list, 1);
                move_trackbar(dialog, balance_track, -3);
                click_later(dialog, IDOK);
                ASSERT_TRUE(wait_for_window_gone(dialog));
                ASSERT_TRUE(editor.sync());
            },
            {{L"Control00", L"Mixer", L"Microphone", L"Speakers"},
             {L"Control00", L"Source", L"-1", L"0"},
             {L"Control00", L"Balance", L"0", L"-30"}}},
           {"label edit",
            [](const setup_process&, HWND page) { type_into(page, control_caption, L"Front"); },
            {{L"Control00", L"Caption", L"Old", L"Front"}}},
           {"own colour box and colour button",
            [](const setup_process& editor, HWND page) {
                click(page, control_own_color);
                EXPECT_TRUE(choose_color(editor, page, control_color, RGB(0x12, 0x34, 0x56)));
            },
            {{L"Control00", L"Color", L"", L"#123456"}}},
           {"own icon box and icon list",
            [&](const setup_process&, HWND page) {
                click(page, control_own_icon);
                choose_combo(page, control_icon_list, index_of(icons, L"classic"));
            },
            {{L"Control00", L"IconImage", L"", L"classic"}}}});
}

// Describing a control lists every device; leaving the label edit does not
// describe it again, choosing the slot does.
TEST_F(setup_program, a_control_is_described_once_per_selection) {
    folder_.write_ini(L"zuvo.ini", L"[Control00]\r\nCaption=Front\r\nMixer=Speakers\r\n");
    const int speakers = fake_.device(L"Speakers");
    setup_process editor(folder_);
    HWND page = editor.show(setup_page::controls);
    ASSERT_TRUE(page);
    const std::wstring described = L"Mixer : Speakers\r\nControl : [M] Speakers\r\nChannels : 1 ";
    EXPECT_EQ(text_of(page, control_description), described);
    fake_.remove(speakers);
    type_into(page, control_caption, L"Front left");
    EXPECT_EQ(list_items(page, control_list).at(0), L"00: Front left");
    EXPECT_EQ(text_of(page, control_description), described);
    choose_list(page, control_list, 0);
    EXPECT_EQ(text_of(page, control_description),
              L"Mixer : Speakers\r\nControl : [M] ## ERROR ##\r\nChannels : 0 ");
    fake_.restore(speakers);
    EXPECT_EQ(editor.cancel(), 0u);
}

// Launcher page --------------------------------------------------------------------

TEST_F(setup_program, launcher_edits_left_by_choosing_another_item_stay_in_their_slot) {
    folder_.write_ini(L"zuvo.ini",
                      L"[Launcher00]\r\nCaption=A\r\nCmdLine=a.exe\r\nHotKey=1280\r\n"
                      L"[Launcher01]\r\nCaption=B\r\nCmdLine=b.exe\r\nHotKey=1357\r\n");
    setup_process editor(folder_);
    HWND page = editor.show(setup_page::launcher);
    ASSERT_TRUE(page);
    EXPECT_EQ(list_selection(page, launcher_list), 0);
    EXPECT_EQ(text_of(page, launcher_caption), L"A");
    // 1280: Ctrl and Shift, no key.
    EXPECT_TRUE(checked(page, launcher_ctrl));
    EXPECT_TRUE(checked(page, launcher_shift));
    EXPECT_FALSE(checked(page, launcher_alt));
    EXPECT_EQ(send_to(control(page, launcher_hotkey), HKM_GETHOTKEY) & 0xFF, 0);

    // Typed, never left: Ctrl+Alt+K and a new caption.
    const std::wstring caption = L"起動 &K";
    set_text(page, launcher_caption, caption);
    send_to(control(page, launcher_hotkey), HKM_SETHOTKEY, 'K');
    click(page, launcher_shift);
    click(page, launcher_alt);
    choose_list(page, launcher_list, 1);

    EXPECT_EQ(list_items(page, launcher_list).at(0), L"00: " + caption);
    EXPECT_EQ(text_of(page, launcher_caption), L"B");
    EXPECT_EQ(text_of(page, launcher_command), L"b.exe");
    // 1357: Ctrl+Shift+M.
    EXPECT_EQ(send_to(control(page, launcher_hotkey), HKM_GETHOTKEY) & 0xFF, 'M');
    EXPECT_TRUE(checked(page, launcher_ctrl));
    EXPECT_TRUE(checked(page, launcher_shift));
    EXPECT_FALSE(checked(page, launcher_alt));
    EXPECT_FALSE(checked(page, launcher_win));

    EXPECT_EQ(editor.ok(), 0u);
    const auto entries = saved();
    EXPECT_EQ(ini_section(entries, L"Launcher00"),
              parse_ini(L"[Launcher00]\nCaption=" + caption + L"\nCmdLine=a.exe\nHotKey=843\n"));
    EXPECT_EQ(ini_section(entries, L"Launcher01"),
              parse_ini(L"[Launcher01]\nCaption=B\nCmdLine=b.exe\nHotKey=1357\n"));
}

TEST_F(page_wiring, every_control_of_a_launcher_stores_its_own_key) {
    const hotkey_ids editor_ids{launcher_hotkey, launcher_ctrl, launcher_shift, launcher_alt,
                                launcher_win};
    check(
        setup_page::launcher, {},
        {{"label edit",
          [](const setup_process&, HWND page) { type_into(page, launcher_caption, L"&New"); },
          {{L"Launcher00", L"Caption", L"&Old", L"&New"}}},
         {"command edit",
          [](const setup_process&, HWND page) { type_into(page, launcher_command, L"new.exe /x"); },
          {{L"Launcher00", L"CmdLine", L"old.exe", L"new.exe /x"}}},
         // Shift+Win+1 -> Ctrl+Alt+N
         {"hot-key editor",
          [&](const setup_process&, HWND page) {
              EXPECT_EQ(shown_hotkey(page, editor_ids), 0x0C31u);
              set_hotkey(page, editor_ids, 0x034E);
          },
          {{L"Launcher00", L"HotKey", L"3121", L"846"}}}});
}

// Plug-ins page ---------------------------------------------------------------------

// The plug-in folder as FindFirstFileW lists "*.dll" there.
std::vector<std::wstring> listed_order(const program_folder& folder,
                                       const std::vector<std::wstring>& plugins) {
    std::vector<std::wstring> order;
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW(folder.file(L"plugin\\*.dll").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return order;
    do {
        if (std::find(plugins.begin(), plugins.end(), found.cFileName) != plugins.end())
            order.push_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return order;
}

class plugins_page : public setup_program {
protected:
    // Three probes, and three files that are no plug-ins: a library without
    // the entry, a text and an empty file.
    void SetUp() override {
        setup_program::SetUp();
        for (const wchar_t* name : probes) ASSERT_TRUE(install_probe(folder_, name));
        ASSERT_TRUE(install_probe(folder_, L"noentry.dll", {}, probe_library_without_entry()));
        ASSERT_TRUE(write_ascii(folder_.file(L"plugin\\readme.dll"), "not a library\r\n"));
        ASSERT_TRUE(write_bytes(folder_.file(L"plugin\\empty.dll"), "", 0));
        order_ = listed_order(folder_, {std::begin(probes), std::end(probes)});
        ASSERT_EQ(order_.size(), 3u);
    }
    int item_of(const std::wstring& name) const {
        return static_cast<int>(std::find(order_.begin(), order_.end(), name) - order_.begin());
    }
    // [Plugin] as it should be saved: the probes named in `enabled`, in the
    // order of the list.
    std::vector<ini_entry> saved_plugins(std::initializer_list<std::wstring> enabled) const {
        std::vector<std::wstring> names;
        for (const auto& name : order_)
            if (std::find(enabled.begin(), enabled.end(), name) != enabled.end())
                names.push_back(name);
        std::wstring text = L"[Plugin]\nNum=" + std::to_wstring(names.size()) + L"\n";
        for (size_t i = 0; i < names.size(); ++i)
            text += L"0" + std::to_wstring(i) + L"=" + names[i] + L"\n";
        return parse_ini(text);
    }
    // Makes `item` the current one, as the arrow keys do.
    static void go_to(HWND page, int item) {
        press_key(page, plugin_list, VK_HOME);
        for (int i = 0; i < item; ++i) press_key(page, plugin_list, VK_DOWN);
    }

    static constexpr const wchar_t* probes[] = {L"probe.dll", L"probe_b.dll", L"probe_c.dll"};
    std::vector<std::wstring> order_;
};

TEST_F(plugins_page, lists_plugins_only_ticks_them_ignoring_case_and_saves_in_list_order) {
    folder_.write_ini(L"zuvo.ini", plugin_section({L"PROBE_C.DLL", L"gone.dll", L"Probe.dll"}));
    setup_process editor(folder_);
    HWND page = editor.show(setup_page::plugins);
    ASSERT_TRUE(page);
    EXPECT_EQ(list_view_count(page, plugin_list), 3);
    EXPECT_TRUE(list_view_ticked(page, plugin_list, item_of(L"probe.dll")));
    EXPECT_FALSE(list_view_ticked(page, plugin_list, item_of(L"probe_b.dll")));
    EXPECT_TRUE(list_view_ticked(page, plugin_list, item_of(L"probe_c.dll")));
    EXPECT_EQ(editor.ok(), 0u);
    EXPECT_EQ(ini_section(saved(), L"Plugin"), saved_plugins({L"probe.dll", L"probe_c.dll"}));
}

TEST_F(plugins_page, unticking_drops_a_plugin_and_settings_button_follows_the_tick) {
    folder_.write_ini(L"zuvo.ini", plugin_section({L"probe.dll", L"probe_b.dll"}));
    setup_process editor(folder_);
    HWND page = editor.show(setup_page::plugins);
    ASSERT_TRUE(page);
    EXPECT_FALSE(enabled(page, plugin_settings));
    go_to(page, item_of(L"probe_c.dll"));
    EXPECT_FALSE(enabled(page, plugin_settings)) << "not ticked";
    const int b = item_of(L"probe_b.dll");
    go_to(page, b);
    EXPECT_TRUE(enabled(page, plugin_settings));
    press_key(page, plugin_list, VK_SPACE);
    EXPECT_FALSE(list_view_ticked(page, plugin_list, b));
    EXPECT_FALSE(enabled(page, plugin_settings));
    EXPECT_EQ(editor.ok(), 0u);
    EXPECT_EQ(ini_section(saved(), L"Plugin"), parse_ini(plugin_section({L"probe.dll"})));
}

TEST_F(plugins_page, settings_button_calls_the_plugins_configuration_inside_the_editor) {
    folder_.write_ini(L"zuvo.ini", plugin_section({L"probe_b.dll"}));
    setup_process editor(folder_);
    HWND page = editor.show(setup_page::plugins);
    ASSERT_TRUE(page);
    go_to(page, item_of(L"probe_b.dll"));
    ASSERT_TRUE(enabled(page, plugin_settings));
    click_later(page, plugin_settings);
    ASSERT_TRUE(wait_for_probe_records(folder_, L"config", 1, L"probe_b"));
    const auto call = probe_records(folder_, L"config", L"probe_b").front();
    EXPECT_EQ(call.number(0), reinterpret_cast<uintptr_t>(page)) << "owner is the page";
    EXPECT_EQ(call.number(1), 0u) << "the editor never enters plug-ins";
    EXPECT_TRUE(probe_records(folder_, L"config", L"probe").empty());
    EXPECT_TRUE(probe_records(folder_, L"select").empty());
    EXPECT_EQ(editor.cancel(), 0u);
}

TEST_F(plugins_page, plugin_configuration_runs_the_control_selection_of_the_editor) {
    folder_.write_ini(L"zuvo.ini", plugin_section({L"probe.dll"}));
    ASSERT_TRUE(install_probe(
        folder_, L"probe.dll",
        {L"ConfigSelect=1", L"ConfigMixer=Microphone", L"ConfigSource=-1", L"ConfigBalance=0"}));
    setup_process editor(folder_);
    HWND page = editor.show(setup_page::plugins);
    ASSERT_TRUE(page);
    go_to(page, item_of(L"probe.dll"));
    ASSERT_TRUE(enabled(page, plugin_settings));
    struct choice {
        int device; // -1: Cancel
        const wchar_t* logged;
    };
    const choice choices[] = {
        {1, L"1 0 -1 0 Speakers"},
        {-1, L"0 0 -1 0 Microphone"},
    };
    size_t calls = 0;
    for (const choice& c : choices) {
        SCOPED_TRACE(c.device);
        click_later(page, plugin_settings);
        HWND dialog = editor.wait_for_dialog();
        ASSERT_TRUE(dialog);
        EXPECT_EQ(combo_items(dialog, device_list), fake_devices);
        EXPECT_EQ(combo_selection(dialog, device_list), 2) << "the block passed in";
        if (c.device >= 0) choose_combo(dialog, device_list, c.device);
        click_later(dialog, c.device >= 0 ? IDOK : IDCANCEL);
        ASSERT_TRUE(wait_for_window_gone(dialog));
        ASSERT_TRUE(wait_for_probe_records(folder_, L"select", ++calls));
        const auto record = probe_records(folder_, L"select").back();
        std::wstring logged;
        for (const auto& field : record.fields) logged += (logged.empty() ? L"" : L" ") + field;
        EXPECT_EQ(logged, c.logged);
    }
    EXPECT_EQ(editor.cancel(), 0u);
}

// Nothing changes unless the user changes it -------------------------------------------

// The texts of a settings file's names, so that the same file comes in other
// letters.
struct file_names {
    const wchar_t* control;
    const wchar_t* device; // none here: described as an error, kept as it is
    const wchar_t* launcher;
    const wchar_t* command;
    const wchar_t* face;
};

// A value of its own (valid, and not the default) in every key of every
// section, controls and launchers in several slots, with own colours and
// icons. `plugins` are [Plugin]'s entries.
std::wstring every_key_file(const file_names& n, const std::vector<std::wstring>& plugins) {
    std::wstring text =
        L"[Basic]\r\nVolStepSize=35\r\nVolStepFit=0\r\nVolMenu=1\r\nTipsFormat=segbar_ml\r\n"
        L"TipsTimer=3000000000\r\nTipsVol0OnMute=1\r\nTrayiconShow=0\r\nTrayiconWheel=1\r\n"
        L"TrayiconWheelReverse=1\r\nTrayiconImage=classic\r\nTrayiconDigit=large\r\n"
        L"TrayiconDigitColorLinkTips=1\r\nTrayiconBaloon=1\r\nTrayiconBaloonTimer=2500\r\n"
        L"SwapMode=1\r\n"
        L"[Tips]\r\nTextColor=#102030\r\nTextColor2=#405060\r\nBackgroundColor=#1A2B3C\r\n"
        L"EdgeSize=3\r\nFontFace=" +
        std::wstring(n.face) +
        L"\r\nFontPointSz=-40\r\nFontWeight=700\r\nFontItalic=1\r\nFontAntialias=4\r\n"
        L"FontResolutionBase=800\r\nLayerWindow=0\r\nLayerBackgroundThrough=0\r\n"
        L"LayerTransparentRate=37\r\n"
        // Ctrl+Alt+Up and Down (extended keys), Win+Q, Shift+Alt+F9, Ctrl+P.
        L"[Hotkey]\r\nRegistMax=32\r\nVolumeUp=33574\r\nVolumeDown=33576\r\nMute=2129\r\n"
        L"ControlChange=1656\r\nPopupMenu=336\r\nDeviceNext=1590\r\n"
        L"[Control00]\r\nCaption=" +
        n.control +
        L"\r\nMixer=Speakers\r\nDestination=0\r\nSource=-1\r\nBalance=0\r\nColor=#ff8000\r\n"
        L"IconImage=medium\r\n"
        L"[Control03]\r\nCaption=#Line\r\nMixer=Speakers\r\nDestination=0\r\nSource=1\r\n"
        L"Balance=-30\r\nColor=\r\nIconImage=\r\n"
        L"[Control07]\r\nCaption=Gone\r\nMixer=" +
        n.device +
        L"\r\nDestination=1\r\nSource=2\r\nBalance=40\r\nColor=#0080ff\r\nIconImage=\r\n"
        L"[Control15]\r\nCaption=Mic\r\nMixer=Microphone\r\nDestination=0\r\nSource=0\r\n"
        L"Balance=20\r\nColor=\r\nIconImage=classic\r\n"
        // Ctrl+Alt+Win+Z; none; Shift+Home (an extended key).
        L"[Launcher00]\r\nCaption=" +
        n.launcher + L"\r\nCmdLine=" + n.command +
        L"\r\nHotKey=2906\r\n"
        L"[Launcher04]\r\nCaption=&Notes\r\nCmdLine=notes.exe \"C:\\My Notes\\a.txt\"\r\n"
        L"HotKey=1280\r\n"
        L"[Launcher15]\r\nCaption=Sound &panel\r\nCmdLine=control mmsys.cpl\r\nHotKey=33828\r\n"
        L"[Plugin]\r\nNum=" +
        std::to_wstring(plugins.size()) + L"\r\n";
    for (size_t i = 0; i < plugins.size(); ++i)
        text += L"0" + std::to_wstring(i) + L"=" + plugins[i] + L"\r\n";
    return text + L"[Mine]\r\nanswer=42\r\n";
}

using ini_keys = std::map<std::pair<std::wstring, std::wstring>, std::wstring>;

ini_keys keys_of(const std::vector<ini_entry>& entries) {
    ini_keys keys;
    for (const auto& e : entries) keys[{e.section, e.key}] = e.value;
    return keys;
}

// Every key that is not in both or differs, as "[section] key: a | b".
std::string differences(const ini_keys& expected, const ini_keys& saved) {
    std::string found;
    auto note = [&](const std::pair<std::wstring, std::wstring>& key, const std::wstring& a,
                    const std::wstring& b) {
        found += "\n[" + ascii(key.first) + "] " + ascii(key.second) + ": " + ascii(a) + " | " +
                 ascii(b);
    };
    for (const auto& [key, value] : expected) {
        const auto at = saved.find(key);
        if (at == saved.end())
            note(key, value, L"(gone)");
        else if (at->second != value)
            note(key, value, at->second);
    }
    for (const auto& [key, value] : saved)
        if (!expected.count(key)) note(key, L"(none)", value);
    return found;
}

// A change the save makes by rule, though nobody changed the value.
struct conversion {
    const char* rule;
    const wchar_t* section;
    const wchar_t* key;
    std::optional<std::wstring> after; // nothing: the key is gone
};

TEST_F(plugins_page, ok_after_visiting_every_page_changes_no_key) {
    const std::vector<std::wstring> enabled = {order_[0], L"gone.dll", order_[1]};
    const conversion conversions[] = {
        {"colours are written #rrggbb in lower case", L"Tips", L"BackgroundColor", L"#1a2b3c"},
        {"a plug-in no longer in the folder is dropped", L"Plugin", L"Num", L"2"},
        {"a plug-in no longer in the folder is dropped", L"Plugin", L"01", order_[1]},
        {"a plug-in no longer in the folder is dropped", L"Plugin", L"02", std::nullopt},
    };
    const struct {
        const char* form;
        bool ansi;
        file_names names;
    } files[] = {
        {"UTF-16", false, {L"Front", L"USB Headset", L"&Mixer", L"sndvol.exe -f", L"IPAGothic"}},
        {"ANSI", true, {L"Rear", L"Line Out 2", L"&Volume", L"mixer.exe /all", L"Tahoma"}},
        {"UTF-16 with Japanese",
         false,
         {L"スピーカー", L"ヘッドセット (USB)", L"ミキサー(&M)", L"C:\\ツール\\音量.exe /起動",
          L"ＭＳ ゴシック"}},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.form);
        const std::wstring text = every_key_file(f.names, enabled);
        if (f.ansi)
            ASSERT_TRUE(write_ascii(ini_path(), ascii(text)));
        else
            ASSERT_TRUE(folder_.write_ini(L"zuvo.ini", text));
        ini_keys expected = keys_of(parse_ini(text));
        for (const conversion& c : conversions) {
            if (c.after)
                expected[{c.section, c.key}] = *c.after;
            else
                expected.erase({c.section, c.key});
        }

        setup_process editor(folder_);
        ASSERT_TRUE(editor.frame());
        for (int i = 0; i < setup_page_count; ++i) {
            HWND page = editor.show(static_cast<setup_page>(i));
            ASSERT_TRUE(page) << i;
            tab_through(page);
        }
        EXPECT_EQ(editor.ok(), 0u);
        EXPECT_EQ(differences(expected, keys_of(saved())), "");
        const auto bytes = read_bytes(ini_path());
        ASSERT_GE(bytes.size(), 2u);
        EXPECT_EQ(bytes[0] == 0xFF && bytes[1] == 0xFE, !f.ansi) << "the file's form is kept";
    }
}

// Damaged input ---------------------------------------------------------------------

TEST_F(setup_program, damaged_settings_open_with_defaults_and_cancel_keeps_them) {
    write_ascii(ini_path(), random_bytes(64 * 1024, 5));
    const auto before = read_bytes(ini_path());
    setup_process editor(folder_);
    HWND basic = editor.show(setup_page::basic);
    ASSERT_TRUE(basic);
    EXPECT_EQ(text_of(basic, step_edit), L"10");
    EXPECT_EQ(trackbar_position(basic, step_track), 2);
    for (int page = 0; page < setup_page_count; ++page)
        EXPECT_TRUE(editor.show(static_cast<setup_page>(page))) << page;
    EXPECT_EQ(editor.cancel(), 0u);
    EXPECT_EQ(read_bytes(ini_path()), before);
}

TEST_F(setup_program, huge_values_are_shown_clamped_and_saved_as_shown) {
    const std::wstring long_caption(200, L'c');
    folder_.write_ini(L"zuvo.ini", L"[Basic]\r\nVolStepSize=4000000000\r\nTipsTimer=99999999999\r\n"
                                   L"[Tips]\r\nLayerTransparentRate=9999\r\nFontPointSz=-99999\r\n"
                                   L"[Control15]\r\nCaption=" +
                                       long_caption + L"\r\n[Plugin]\r\nNum=4000000000\r\n");
    setup_process editor(folder_);
    HWND basic = editor.show(setup_page::basic);
    ASSERT_TRUE(basic);
    EXPECT_EQ(text_of(basic, step_edit), L"50");
    EXPECT_EQ(trackbar_position(basic, step_track), 10);
    HWND tips = editor.show(setup_page::tips);
    ASSERT_TRUE(tips);
    // Eleven digits wrap around in 32 bits.
    EXPECT_EQ(text_of(tips, tips_timer), L"1215752191");
    EXPECT_EQ(trackbar_position(tips, opacity_track), 20);
    EXPECT_EQ(text_of(tips, font_text), L",74999pt ");
    HWND controls = editor.show(setup_page::controls);
    ASSERT_TRUE(controls);
    EXPECT_EQ(list_items(controls, control_list).at(15), L"15: " + long_caption.substr(0, 63));
    HWND plugins = editor.show(setup_page::plugins);
    ASSERT_TRUE(plugins);
    EXPECT_EQ(list_view_count(plugins, plugin_list), 0);
    EXPECT_EQ(editor.ok(), 0u);
    const auto entries = saved();
    EXPECT_EQ(ini_value(entries, L"Basic", L"VolStepSize"), L"50");
    EXPECT_EQ(ini_value(entries, L"Basic", L"TipsTimer"), L"1215752191");
    EXPECT_EQ(ini_value(entries, L"Control15", L"Caption"), long_caption.substr(0, 63));
    EXPECT_EQ(ini_section(entries, L"Plugin"), parse_ini(L"[Plugin]\nNum=0\n"));
}

TEST_F(setup_program, damaged_resource_file_offers_what_it_can_and_nothing_unchosen_is_saved) {
    const std::wstring long_name(70, L'n');
    write_ascii(folder_.file(L"resource\\resource.ini"),
                random_bytes(512, 9) + "\r\n[sections]\r\nicon00=nodesc\r\nicon07=" +
                    ascii(long_name) + "\r\ndig03=default\r\nfmt00=\r\nfmt01=other\r\n" +
                    random_bytes(256, 3) + "\r\n[default]\r\ndesc=Default digits\r\n");
    setup_process editor(folder_);
    HWND basic = editor.show(setup_page::basic);
    ASSERT_TRUE(basic);
    EXPECT_EQ(combo_items(basic, icon_list),
              (std::vector<std::wstring>{L"nodesc", long_name.substr(0, 63)}));
    EXPECT_EQ(combo_selection(basic, icon_list), 0);
    EXPECT_EQ(combo_items(basic, digit_list), std::vector<std::wstring>{L"Default digits"});
    // Tabbing through the lists is no choice.
    tab_through(basic);
    HWND tips = editor.show(setup_page::tips);
    ASSERT_TRUE(tips);
    EXPECT_EQ(combo_items(tips, format_list), std::vector<std::wstring>{L"other"});
    EXPECT_EQ(combo_selection(tips, format_list), 0);
    tab_through(tips);
    EXPECT_EQ(editor.ok(), 0u);
    const auto entries = saved();
    EXPECT_EQ(ini_value(entries, L"Basic", L"TrayiconImage"), L"default");
    EXPECT_EQ(ini_value(entries, L"Basic", L"TrayiconDigit"), L"default");
    EXPECT_EQ(ini_value(entries, L"Basic", L"TipsFormat"), L"flatbar_ml");
}

// Languages ---------------------------------------------------------------------------

TEST_F(setup_program, every_page_in_both_languages) {
    folder_.write_ini(L"zuvo.ini", L"[Control00]\r\nCaption=Speakers\r\nMixer=Speakers\r\n"
                                   L"[Launcher00]\r\nCaption=&Mixer\r\nCmdLine=sndvol.exe\r\n" +
                                       plugin_section({L"probe.dll"}));
    ASSERT_TRUE(install_probe(folder_, L"probe.dll"));
    struct language {
        const wchar_t* locale;
        const wchar_t* tag; // screenshots setup-<tag>-<page>.png, or none
        std::array<const wchar_t*, setup_page_count> pages;
        const wchar_t* cancel;
    };
    const std::array<const wchar_t*, setup_page_count> english = {
        L"Basic", L"Hot keys", L"Window tips", L"Controls", L"Launcher", L"Plug-ins"};
    const language languages[] = {
        {L"ja_JP.UTF-8",
         L"ja",
         {L"基本", L"ホットキー", L"ウインドウTips", L"コントロール", L"ランチャー", L"プラグイン"},
         L"キャンセル"},
        {L"en_US.UTF-8", L"en", english, L"Cancel"},
        {L"C", nullptr, english, L"Cancel"},
    };
    for (const language& l : languages) {
        SCOPED_TRACE(ascii(l.locale));
        setup_process editor(folder_, {.locale = l.locale});
        ASSERT_TRUE(editor.frame()) << "the editor did not come up";
        EXPECT_EQ(text_of(editor.frame()), setup_caption);
        EXPECT_EQ(text_of(editor.frame(), IDCANCEL), l.cancel);
        for (int i = 0; i < setup_page_count; ++i) {
            const auto page = static_cast<setup_page>(i);
            HWND shown = editor.show(page);
            ASSERT_TRUE(shown) << i;
            EXPECT_EQ(text_of(shown), l.pages[i]);
            if (l.tag) {
                EXPECT_TRUE(editor.screenshot(test_output_folder() + L"\\setup-" + l.tag + L"-" +
                                              setup_page_name(page) + L".png"));
            }
        }
        EXPECT_EQ(editor.cancel(), 0u);
    }
}

} // namespace
