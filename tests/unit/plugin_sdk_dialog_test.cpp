// The plug-in support code against real Windows objects: dialog templates
// from this executable's resources shown as real dialogs, the hot-key editor
// and numeric edits in such a dialog, menu items, posted feedback requests,
// the settings exchange on real files, and the module handle and
// configuration export of a real plug-in library (the probe).

#include "winui/dialog_helpers.h"
#include "winui/dialog_template.h"
#include "plugin_sdk/feedback.h"
#include "plugin_sdk/host_link.h"
#include "plugin_sdk/plugin_config.h"
#include "plugin_sdk/plugin_menu.h"
#include "winui/menu_items.h"
#include "plugin_sdk/settings_exchange.h"
#include "winui/ui_language.h"
#include "tests/support/dialog_walk.h"
#include "tests/support/files.h"
#include "tests/support/probe.h"
#include "tests/unit/plugin_sdk_test_ids.h"

#include "common/unique_resource.h"

#include <commctrl.h>
#include <strsafe.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace test_support;

namespace {

HMODULE self() {
    return GetModuleHandleW(nullptr);
}

struct global_template {
    unique_hglobal memory;
    const uint8_t* bytes() const { return static_cast<const uint8_t*>(memory.get()); }
};

global_template built(UINT id, const LOGFONTW* font) {
    return {unique_hglobal(build_dialog_template(self(), id, font))};
}

LOGFONTW font_of(int32_t height, const wchar_t* face = L"Tahoma") {
    LOGFONTW font{};
    font.lfHeight = height;
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
    return font;
}

struct parsed_template {
    uint16_t point_size = 0;
    std::wstring face;
    std::vector<size_t> items; // offsets of the item templates
    size_t end = 0;            // just past the last item
};

parsed_template parse(const uint8_t* t) {
    const parsed_dialog dialog = parse_dialog(t);
    parsed_template p{dialog.point_size, dialog.face, {}, dialog.end};
    for (const auto& item : dialog.items) p.items.push_back(item.offset);
    return p;
}

// build_dialog_template ---------------------------------------------------------

TEST(dialog_template, point_size_follows_the_message_font_height) {
    const struct {
        int32_t height;
        uint16_t points;
    } cases[] = {{-12, 9}, {-15, 11}, {-16, 12}, {10, 10}};
    for (const auto& c : cases) {
        const LOGFONTW font = font_of(c.height);
        global_template t = built(IDD_EDITORS, &font);
        ASSERT_TRUE(t.memory) << c.height;
        const parsed_template p = parse(t.bytes());
        EXPECT_EQ(p.point_size, c.points) << c.height;
        EXPECT_EQ(p.face, L"Tahoma");
    }
}

TEST(dialog_template, long_face_name_keeps_every_item_aligned_and_unchanged) {
    HRSRC found = FindResourceW(self(), MAKEINTRESOURCEW(IDD_EDITORS), MAKEINTRESOURCEW(5));
    ASSERT_TRUE(found);
    const auto* resource = static_cast<const uint8_t*>(LockResource(LoadResource(self(), found)));
    const parsed_template original = parse(resource);
    ASSERT_EQ(original.items.size(), 10u);
    ASSERT_EQ(original.end, SizeofResource(self(), found));

    for (UINT id : {IDD_EDITORS, IDD_LONG_TITLE}) {
        for (const wchar_t* face :
             {L"A twenty-letter face", L"X", L"", L"Thirty-one letters in this name"}) {
            const LOGFONTW font = font_of(-12, face);
            global_template t = built(id, &font);
            ASSERT_TRUE(t.memory) << face;
            const parsed_template p = parse(t.bytes());
            EXPECT_EQ(p.face, face);
            for (size_t offset : p.items) {
                EXPECT_EQ(offset % 4, 0u) << face;
                EXPECT_EQ(reinterpret_cast<uintptr_t>(t.bytes() + offset) % 4, 0u);
            }
            if (id == IDD_EDITORS) {
                ASSERT_EQ(p.items.size(), original.items.size());
                const size_t length = original.end - original.items[0];
                EXPECT_EQ(memcmp(t.bytes() + p.items[0], resource + original.items[0], length), 0)
                    << face;
                EXPECT_LE(p.end, original.end + 256);
            }
        }
    }
}

TEST(dialog_template, refuses_missing_and_foreign_templates) {
    const LOGFONTW font = font_of(-12);
    EXPECT_FALSE(built(IDD_MISSING, &font).memory);
    EXPECT_FALSE(built(IDD_PLAIN, &font).memory);
    EXPECT_FALSE(built(IDD_NO_FONT, &font).memory);
    // Without a font the copy keeps the resource's own.
    global_template kept = built(IDD_EDITORS, nullptr);
    ASSERT_TRUE(kept.memory);
    EXPECT_EQ(parse(kept.bytes()).face, L"MS Shell Dlg");
    EXPECT_EQ(parse(kept.bytes()).point_size, 9);
    EXPECT_FALSE(built(IDD_PLAIN, nullptr).memory);
    // And a dialog that cannot be built is not shown.
    EXPECT_EQ(show_plugin_dialog(self(), IDD_MISSING, nullptr, nullptr), -1);
}

TEST(dialog_template, system_message_font_is_used) {
    LOGFONTW message{};
    ASSERT_TRUE(get_message_font(message));
    global_template t = {unique_hglobal(build_dialog_template(self(), IDD_EDITORS))};
    ASSERT_TRUE(t.memory);
    const parsed_template p = parse(t.bytes());
    EXPECT_EQ(p.face, message.lfFaceName);
    // The message font's pixels are the screen's: points at its DPI.
    window_dc screen(nullptr);
    const int dpi = GetDeviceCaps(screen.get(), LOGPIXELSY);
    EXPECT_EQ(p.point_size,
              message.lfHeight < 0 ? MulDiv(-message.lfHeight, 72, dpi) : message.lfHeight);
}

// A real dialog, modeless so that the test can look at it.
class live_dialog {
public:
    explicit live_dialog(UINT id, const LOGFONTW* font = nullptr) {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_HOTKEY_CLASS};
        InitCommonControlsEx(&controls);
        global_template t =
            font ? built(id, font)
                 : global_template{unique_hglobal(build_dialog_template(self(), id))};
        if (!t.memory) return;
        window_.reset(CreateDialogIndirectParamW(
            self(), static_cast<LPCDLGTEMPLATEW>(t.memory.get()), nullptr, procedure, 0));
        if (window_) ShowWindow(window_.get(), SW_SHOW);
        pump();
    }
    HWND get() const { return window_.get(); }
    static void pump() {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }

private:
    static INT_PTR CALLBACK procedure(HWND, UINT message, WPARAM, LPARAM) {
        return message == WM_INITDIALOG ? TRUE : FALSE;
    }
    unique_hwnd window_;
};

TEST(dialog_template, dialog_with_a_long_face_name_shows_every_control) {
    const LOGFONTW font = font_of(-12, L"A twenty-letter face");
    live_dialog dialog(IDD_EDITORS, &font);
    ASSERT_TRUE(dialog.get());
    const int ids[] = {IDC_HOTKEY1, IDC_HOTKEY2, IDC_CTRL,  IDC_SHIFT, IDC_ALT,
                       IDC_WIN,     IDC_NUMBER,  IDC_LABEL, IDOK,      IDCANCEL};
    RECT client{};
    GetClientRect(dialog.get(), &client);
    for (int id : ids) {
        HWND control = GetDlgItem(dialog.get(), id);
        ASSERT_TRUE(control) << id;
        EXPECT_TRUE(IsWindowVisible(control)) << id;
        RECT r{};
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, dialog.get(), reinterpret_cast<POINT*>(&r), 2);
        EXPECT_GT(r.right - r.left, 0) << id;
        EXPECT_GT(r.bottom - r.top, 0) << id;
        EXPECT_GE(r.left, 0);
        EXPECT_LE(r.right, client.right) << id;
    }
    wchar_t text[32] = {};
    GetDlgItemTextW(dialog.get(), IDC_SHIFT, text, 32);
    EXPECT_STREQ(text, L"Shift");
    GetDlgItemTextW(dialog.get(), IDC_LABEL, text, 32);
    EXPECT_STREQ(text, L"ホットキー");
}

// hot-key editor ------------------------------------------------------------------

constexpr hotkey_editor first_key{IDC_HOTKEY1, IDC_CTRL, IDC_SHIFT, IDC_ALT, IDC_WIN};
constexpr hotkey_editor second_key{IDC_HOTKEY2, IDC_CTRL, IDC_SHIFT, IDC_ALT, IDC_WIN};

WORD control_word(HWND dialog, int id) {
    return static_cast<WORD>(SendDlgItemMessageW(dialog, id, HKM_GETHOTKEY, 0, 0));
}

TEST(hotkey_editor, shows_up_arrow_extended_with_ctrl_and_alt_and_reads_it_back) {
    live_dialog dialog(IDD_EDITORS);
    ASSERT_TRUE(dialog.get());
    first_key.bind(dialog.get());
    first_key.show(dialog.get(), 0x8326);
    EXPECT_EQ(control_word(dialog.get(), IDC_HOTKEY1), MAKEWORD(VK_UP, HOTKEYF_EXT));
    EXPECT_TRUE(is_box_ticked(dialog.get(), IDC_CTRL));
    EXPECT_FALSE(is_box_ticked(dialog.get(), IDC_SHIFT));
    EXPECT_TRUE(is_box_ticked(dialog.get(), IDC_ALT));
    EXPECT_FALSE(is_box_ticked(dialog.get(), IDC_WIN));
    EXPECT_EQ(first_key.read(dialog.get()), 0x8326u);

    for (uint32_t value : {0x034Bu, 0x0C41u, 0x8F2Eu, 0x0070u, 0x0000u}) {
        first_key.show(dialog.get(), value);
        EXPECT_EQ(first_key.read(dialog.get()), value) << std::hex << value;
    }
}

TEST(hotkey_editor, a_box_counts_only_when_exactly_checked) {
    live_dialog dialog(IDD_EDITORS);
    ASSERT_TRUE(dialog.get());
    first_key.show(dialog.get(), 0x004B);
    // An indeterminate state is not a tick.
    SendDlgItemMessageW(dialog.get(), IDC_WIN, BM_SETSTYLE, BS_AUTO3STATE, FALSE);
    SendDlgItemMessageW(dialog.get(), IDC_WIN, BM_SETCHECK, BST_INDETERMINATE, 0);
    EXPECT_EQ(first_key.read(dialog.get()), 0x004Bu);
}

// Types Shift+K into the hot-key control `id`, the way a user does.
void type_shift_k(HWND dialog, int id) {
    SetForegroundWindow(dialog);
    SetFocus(GetDlgItem(dialog, id));
    live_dialog::pump();
    ASSERT_EQ(GetFocus(), GetDlgItem(dialog, id));
    auto key = [](WORD vk, bool up) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = vk;
        input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
        input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        SendInput(1, &input, sizeof input);
        Sleep(30);
        live_dialog::pump();
    };
    key(VK_SHIFT, false);
    key('K', false);
    key('K', true);
    key(VK_SHIFT, true);
}

TEST(hotkey_editor, typed_shift_is_dropped_from_the_control) {
    live_dialog dialog(IDD_EDITORS);
    ASSERT_TRUE(dialog.get());
    first_key.bind(dialog.get());
    first_key.show(dialog.get(), 0);
    // A control without the editor's rules keeps the Shift it was typed with.
    type_shift_k(dialog.get(), IDC_HOTKEY2);
    ASSERT_EQ(control_word(dialog.get(), IDC_HOTKEY2), MAKEWORD('K', HOTKEYF_SHIFT))
        << "Shift+K was typed";

    type_shift_k(dialog.get(), IDC_HOTKEY1);
    EXPECT_EQ(control_word(dialog.get(), IDC_HOTKEY1), MAKEWORD('K', 0))
        << "the control holds the bare key";
    EXPECT_EQ(first_key.read(dialog.get()), 0x004Bu);
    tick_box(dialog.get(), IDC_SHIFT, true);
    EXPECT_EQ(first_key.read(dialog.get()), 0x044Bu) << "the Shift box decides";
}

TEST(hotkey_editor, two_keys_share_one_row_of_boxes) {
    live_dialog dialog(IDD_EDITORS);
    ASSERT_TRUE(dialog.get());
    first_key.bind(dialog.get());
    second_key.bind(dialog.get());
    // Shown in key order: the last key of the row decides the boxes.
    first_key.show(dialog.get(), 0x0325);  // Ctrl+Alt+Left
    second_key.show(dialog.get(), 0x8C27); // Shift+Win+Right, extended
    EXPECT_FALSE(is_box_ticked(dialog.get(), IDC_CTRL));
    EXPECT_TRUE(is_box_ticked(dialog.get(), IDC_SHIFT));
    EXPECT_FALSE(is_box_ticked(dialog.get(), IDC_ALT));
    EXPECT_TRUE(is_box_ticked(dialog.get(), IDC_WIN));
    // Each keeps its own key; both read the row's modifiers.
    EXPECT_EQ(first_key.read(dialog.get()), 0x0C25u);
    EXPECT_EQ(second_key.read(dialog.get()), 0x8C27u);
}

// read_edit_number ------------------------------------------------------------------

TEST(read_edit_number, reads_the_field_as_typed) {
    live_dialog dialog(IDD_EDITORS);
    ASSERT_TRUE(dialog.get());
    const std::wstring digits31 = L"1234567890123456789012345678901";
    uint32_t wrapped = 0;
    for (wchar_t c : digits31) wrapped = wrapped * 10u + static_cast<uint32_t>(c - L'0');
    const struct {
        std::wstring text;
        int32_t value;
    } cases[] = {{L"-15", -15},
                 {L"+7", 7},
                 {L"12ab", 12},
                 {L"", 0},
                 {L"--3", 0},
                 {digits31, static_cast<int32_t>(wrapped)},
                 {digits31 + L"55", static_cast<int32_t>(wrapped)}};
    for (const auto& c : cases) {
        SetDlgItemTextW(dialog.get(), IDC_NUMBER, c.text.c_str());
        EXPECT_EQ(read_edit_number(dialog.get(), IDC_NUMBER), c.value)
            << std::string(c.text.begin(), c.text.end());
    }
    EXPECT_EQ(read_edit_number(nullptr), 0);
}

// menu items --------------------------------------------------------------------------

MENUITEMINFOW item_at(HMENU menu, int position, wchar_t* text = nullptr, UINT capacity = 0) {
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE | MIIM_SUBMENU | MIIM_STRING;
    item.dwTypeData = text;
    item.cch = capacity;
    GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &item);
    return item;
}

TEST(menu_items, appended_at_the_end_with_their_state) {
    unique_hmenu menu(CreatePopupMenu());
    add_menu_string(menu.get(), L"host item", 0x0506);
    add_menu_string(menu.get(), L"&Lock", 0x00010603, true);
    add_menu_string(menu.get(), L"Unlock", 0x00020603);
    add_menu_popup(menu.get(), L"Windows", 4, CreatePopupMenu());
    HMENU filled = CreatePopupMenu();
    add_menu_string(filled, L"one", 0x02000603);
    add_menu_popup(menu.get(), L"Filled", 5, filled);
    add_menu_separator(menu.get());
    ASSERT_EQ(GetMenuItemCount(menu.get()), 6);

    wchar_t text[64];
    MENUITEMINFOW lock = item_at(menu.get(), 1, text, 64);
    EXPECT_STREQ(text, L"&Lock");
    EXPECT_EQ(lock.wID, 0x00010603u) << "the full command value, event code included";
    EXPECT_EQ(lock.fState & MFS_CHECKED, static_cast<UINT>(MFS_CHECKED));
    EXPECT_EQ(item_at(menu.get(), 2).fState & MFS_CHECKED, 0u);
    const MENUITEMINFOW empty = item_at(menu.get(), 3);
    EXPECT_TRUE(empty.hSubMenu);
    EXPECT_EQ(empty.fState & (MFS_DISABLED | MFS_GRAYED),
              static_cast<UINT>(MFS_DISABLED | MFS_GRAYED));
    const MENUITEMINFOW with_items = item_at(menu.get(), 4);
    EXPECT_EQ(with_items.hSubMenu, filled);
    EXPECT_EQ(with_items.fState & (MFS_DISABLED | MFS_GRAYED), 0u);
    EXPECT_EQ(item_at(menu.get(), 5).fType & MFT_SEPARATOR, static_cast<UINT>(MFT_SEPARATOR));
}

TEST(menu_items, a_popup_with_items_greyed_on_request) {
    unique_hmenu menu(CreatePopupMenu());
    for (bool greyed : {true, false}) {
        HMENU popup = CreatePopupMenu();
        add_menu_string(popup, L"fixed entry", 0x01030601);
        add_menu_popup(menu.get(), L"Undo", 4, popup, greyed);
    }
    add_menu_popup(menu.get(), L"Empty", 5, CreatePopupMenu(), false);
    ASSERT_EQ(GetMenuItemCount(menu.get()), 3);
    const UINT grey = MFS_DISABLED | MFS_GRAYED;
    const MENUITEMINFOW greyed = item_at(menu.get(), 0);
    EXPECT_EQ(greyed.fState & grey, grey);
    EXPECT_EQ(GetMenuItemCount(greyed.hSubMenu), 1) << "the entries stay";
    EXPECT_EQ(item_at(menu.get(), 1).fState & grey, 0u);
    EXPECT_EQ(item_at(menu.get(), 2).fState & grey, grey) << "empty is always greyed";
}

// A plug-in's submenu from its menu resource: the caption in the user's
// language, and the submenu owned by exactly one side, whether or not the
// host's menu took it.
TEST(menu_items, a_resource_submenu_goes_to_the_host_or_is_destroyed) {
    unique_hmenu host(CreatePopupMenu());
    HMENU taken = nullptr;
    {
        resource_submenu submenu(self(), IDM_SUBMENU);
        taken = submenu.popup();
        ASSERT_NE(taken, nullptr);
        EXPECT_EQ(GetMenuItemCount(taken), 1);
        submenu.add_to(host.get(), 7, true);
    }
    ASSERT_EQ(GetMenuItemCount(host.get()), 2) << "the submenu, then a separator";
    wchar_t text[64] = {};
    const MENUITEMINFOW item = item_at(host.get(), 0, text, 64);
    EXPECT_STREQ(text, L"Volume");
    EXPECT_EQ(item.wID, 7u);
    EXPECT_EQ(item.hSubMenu, taken);
    EXPECT_EQ(item.fState & MFS_GRAYED, static_cast<UINT>(MFS_GRAYED));
    EXPECT_TRUE(IsMenu(taken)) << "the host's menu owns it now";

    HMENU refused = nullptr;
    {
        resource_submenu submenu(self(), IDM_SUBMENU);
        refused = submenu.popup();
        submenu.add_to(nullptr, 7);
    }
    EXPECT_FALSE(IsMenu(refused)) << "a submenu nobody took is not left behind";

    for (UINT missing : {UINT{IDM_NO_POPUP}, UINT{IDD_MISSING}}) {
        resource_submenu submenu(self(), missing);
        EXPECT_EQ(submenu.popup(), nullptr) << missing;
        submenu.add_to(host.get(), 8);
    }
    EXPECT_EQ(GetMenuItemCount(host.get()), 2) << "nothing added without a submenu";
}

// feedback requests -------------------------------------------------------------------

class message_window {
public:
    message_window()
        : window_(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                                  nullptr)) {}
    HWND get() const { return window_.get(); }
    // Everything posted to the window so far.
    std::vector<MSG> posted() const {
        std::vector<MSG> messages;
        MSG message;
        while (PeekMessageW(&message, window_.get(), 0, 0, PM_REMOVE)) messages.push_back(message);
        return messages;
    }

private:
    unique_hwnd window_;
};

TEST(feedback, posts_tips_and_balloon_that_point_into_the_plugin) {
    message_window host;
    ASSERT_TRUE(host.get());
    plugin_feedback feedback;
    feedback.create(true, true, L"ZuvoGrid");
    feedback.show(host.get(), 1500, {{L"Notepad", 64}, {L"x=0 y=0", 64}});
    const auto posted = host.posted();
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted[0].message, ZUVOMSG_TIPS);
    EXPECT_EQ(posted[0].wParam, reinterpret_cast<WPARAM>(feedback.tips_buffer()));
    EXPECT_EQ(posted[0].lParam, 1500);
    EXPECT_STREQ(feedback.tips_buffer(), L"&{M0,Notepad\n}&{M0,x=0 y=0\n}");
    EXPECT_EQ(posted[1].message, ZUVOMSG_BALLOON);
    EXPECT_EQ(posted[1].lParam, 0);
    const auto* balloon = reinterpret_cast<const zuvo_balloon*>(posted[1].wParam);
    EXPECT_STREQ(balloon->caption, L"ZuvoGrid");
    EXPECT_STREQ(balloon->text, L"Notepad\nx=0 y=0\n");
    EXPECT_EQ(balloon->text, feedback.balloon_buffer());
    EXPECT_EQ(balloon->icon_type, 1u);
    EXPECT_EQ(balloon->display_time, 1500u);
}

TEST(feedback, only_kinds_switched_on_at_entry_are_posted) {
    message_window host;
    plugin_feedback none;
    none.create(false, false, L"SeeThru");
    none.show(host.get(), 1000, {{L"x"}});
    EXPECT_TRUE(host.posted().empty());
    EXPECT_EQ(none.tips_buffer(), nullptr);
    EXPECT_EQ(none.balloon_buffer(), nullptr);

    plugin_feedback balloon_only;
    balloon_only.create(false, true, L"SeeThru");
    balloon_only.show(host.get(), 1000, {{L"x"}});
    const auto posted = host.posted();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].message, ZUVOMSG_BALLOON);

    // A text of the plug-in's own format in the tips buffer, cut at 127.
    plugin_feedback tips;
    tips.create(true, false, L"SeeThru");
    StringCchPrintfW(tips.tips_buffer(), plugin_feedback::capacity, L"&{M0,%.32s - %3d%%\n}",
                     L"Notepad", 80);
    tips.post_tips(host.get(), 700);
    const auto own = host.posted();
    ASSERT_EQ(own.size(), 1u);
    EXPECT_STREQ(reinterpret_cast<const wchar_t*>(own[0].wParam), L"&{M0,Notepad -  80%\n}");
}

TEST(host_link, without_zuvo_keyreg_registration_is_skipped) {
    // This test program exports no ZUVO_keyreg, like the setup program.
    EXPECT_EQ(find_host_keyreg(), nullptr);
    EXPECT_FALSE(register_plugin_hotkey(0x034B, zuvo_command_value(0, 0x100)));
}

TEST(host_link, delayed_command_is_a_posted_request) {
    message_window host;
    post_delayed_command(host.get(), zuvo_command_value(3, 258), 5000);
    const auto posted = host.posted();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].message, ZUVOMSG_DELAYED);
    EXPECT_EQ(posted[0].wParam, 0x01020603u);
    EXPECT_EQ(posted[0].lParam, 5000);
}

// settings exchange ---------------------------------------------------------------------

// Runs with `folder` as the current directory, as the programs do.
class in_folder {
public:
    explicit in_folder(const std::wstring& folder) {
        GetCurrentDirectoryW(MAX_PATH, previous_);
        SetCurrentDirectoryW(folder.c_str());
    }
    ~in_folder() { SetCurrentDirectoryW(previous_); }

private:
    wchar_t previous_[MAX_PATH] = {};
};

struct sample_settings {
    uint32_t hotkey = 0;
    int32_t offset = 0;
    bool show_tips = false;
    wchar_t steps[32] = {};
    uint32_t color = 0;
};

void exchange(sample_settings& s, bool write) {
    plugin_ini_exchange ini(L"sample", write);
    ini.section(L"Basic");
    ini.number(L"HotKey", s.hotkey, 0x8326u);
    ini.number(L"Offset", s.offset, -5);
    ini.flag(L"ShowTips", s.show_tips, true);
    ini.section(L"Steps");
    ini.text(L"AlphaSteps", s.steps, 32, L"80,50");
    ini.color(L"Color", s.color, 0x00FF00u);
}

TEST(settings_exchange, one_key_list_serves_both_directions) {
    temp_folder folder;
    in_folder here(folder.path());
    // Fields that hold anything before the load.
    sample_settings defaults{0xFFFFFFFF, 77, false, L"junk", 1};
    exchange(defaults, false); // no file: every default
    EXPECT_EQ(defaults.hotkey, 0x8326u);
    EXPECT_EQ(defaults.offset, -5);
    EXPECT_TRUE(defaults.show_tips);
    EXPECT_STREQ(defaults.steps, L"80,50");
    EXPECT_EQ(defaults.color, 0x00FF00u);
    EXPECT_FALSE(file_exists(folder.file(L"sample.ini")));

    sample_settings saved{0x034B, -120, false, L"長い,値", 0x123456};
    exchange(saved, true);
    const std::wstring text = read_text(folder.file(L"sample.ini"));
    EXPECT_NE(text.find(L"HotKey=843"), std::wstring::npos);
    EXPECT_NE(text.find(L"ShowTips=0"), std::wstring::npos);

    sample_settings loaded;
    exchange(loaded, false);
    EXPECT_EQ(loaded.hotkey, 0x034Bu);
    EXPECT_EQ(loaded.offset, -120);
    EXPECT_FALSE(loaded.show_tips);
    EXPECT_STREQ(loaded.steps, L"長い,値");
    EXPECT_EQ(loaded.color, 0x123456u);
}

TEST(settings_exchange, absent_and_empty_keys_keep_their_defaults) {
    temp_folder folder;
    in_folder here(folder.path());
    write_utf16(folder.file(L"sample.ini"),
                L"[Basic]\r\nShowTips=2\r\nOffset=\r\n[Steps]\r\nAlphaSteps=\r\n");
    sample_settings loaded;
    exchange(loaded, false);
    EXPECT_EQ(loaded.hotkey, 0x8326u);
    EXPECT_EQ(loaded.offset, -5);
    EXPECT_TRUE(loaded.show_tips);
    EXPECT_STREQ(loaded.steps, L"80,50");
}

// the configuration export's shape ---------------------------------------------------------

config_context<sample_settings>* g_config_dialog = nullptr;
WORD g_config_button = IDOK;

// What a plug-in's dialog procedure does, pressing the button itself.
INT_PTR CALLBACK config_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        if (!g_config_dialog) return TRUE;
        first_key.bind(dialog);
        first_key.show(dialog, g_config_dialog->settings.hotkey);
        SetDlgItemInt(dialog, IDC_NUMBER, static_cast<UINT>(g_config_dialog->settings.offset),
                      TRUE);
        // The user changes both, then presses the button.
        first_key.show(dialog, 0x0C41);
        SetDlgItemTextW(dialog, IDC_NUMBER, L"-42");
        PostMessageW(dialog, WM_COMMAND, g_config_button, 0);
        return TRUE;
    case WM_COMMAND:
        return end_plugin_config(dialog, wparam, *g_config_dialog,
                                 [](HWND shown, auto& settings) {
                                     settings.hotkey = first_key.read(shown);
                                     settings.offset = read_edit_number(shown, IDC_NUMBER);
                                 })
                   ? TRUE
                   : FALSE;
    default:
        return FALSE;
    }
}

TEST(plugin_config, ok_saves_the_edited_settings_and_cancel_changes_nothing) {
    temp_folder folder;
    in_folder here(folder.path());
    g_config_button = IDCANCEL;
    EXPECT_FALSE(run_plugin_config(self(), IDD_EDITORS, nullptr, config_procedure, g_config_dialog,
                                   exchange));
    EXPECT_EQ(g_config_dialog, nullptr);
    EXPECT_FALSE(file_exists(folder.file(L"sample.ini")));

    g_config_button = IDOK;
    EXPECT_TRUE(run_plugin_config(self(), IDD_EDITORS, nullptr, config_procedure, g_config_dialog,
                                  exchange));
    sample_settings loaded;
    exchange(loaded, false);
    EXPECT_EQ(loaded.hotkey, 0x0C41u);
    EXPECT_EQ(loaded.offset, -42);
    EXPECT_STREQ(loaded.steps, L"80,50") << "fields the dialog left alone are saved as loaded";

    // A dialog that cannot be built shows nothing and saves nothing.
    EXPECT_FALSE(run_plugin_config(self(), IDD_MISSING, nullptr, config_procedure, g_config_dialog,
                                   exchange));
}

// a real plug-in library ------------------------------------------------------------------

TEST(plugin_module, configuration_works_from_the_module_alone) {
    temp_folder folder;
    in_folder here(folder.path());
    ASSERT_TRUE(
        CopyFileW(probe_library().c_str(), folder.file(L"capture_probe.dll").c_str(), FALSE));
    unique_hmodule library(LoadLibraryW(folder.file(L"capture_probe.dll").c_str()));
    ASSERT_TRUE(library);
    auto config = reinterpret_cast<ZUVOPLUG_config_fn>(
        reinterpret_cast<void*>(GetProcAddress(library.get(), "ZUVOPLUG_config")));
    ASSERT_TRUE(config);
    message_window owner;
    config(owner.get());
    config(owner.get());
    // The probe names itself from its module handle, set by DllMain: the
    // copy's own file name, not the program's.
    const auto records = read_probe_log(folder.path());
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].name, L"capture_probe");
    EXPECT_EQ(records[0].kind, L"config");
    EXPECT_EQ(records[0].number(0), reinterpret_cast<uintptr_t>(owner.get()));
    EXPECT_EQ(records[0].text(1), L"0") << "no entry before the configuration";
    // Settings written in write mode into <name>.ini in the current folder.
    EXPECT_NE(read_text(folder.file(L"capture_probe.ini")).find(L"ConfigCalls=2"),
              std::wstring::npos);
}

} // namespace

// Texts in the user's language ---------------------------------------------------

TEST(ui_language, strings_follow_the_user_language_and_fall_back_to_any) {
    // The test session runs Wine in an English locale.
    ASSERT_EQ(ui_language(), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    wchar_t text[64];
    EXPECT_EQ(load_ui_string(self(), IDS_BOTH_LANGUAGES, text, 64), 7u);
    EXPECT_STREQ(text, L"English");
    EXPECT_GT(load_ui_string(self(), IDS_JAPANESE_ONLY, text, 64), 0u);
    EXPECT_STREQ(text, L"日本語だけ");
    EXPECT_EQ(load_ui_string(self(), IDS_BOTH_LANGUAGES, text, 4), 3u);
    EXPECT_STREQ(text, L"Eng");
    EXPECT_EQ(load_ui_string(self(), 903, text, 64), 0u);
    EXPECT_STREQ(text, L"");

    ASSERT_TRUE(format_ui_string(self(), IDS_FORMATTED, L"zuvo.exe", text, 64));
    EXPECT_STREQ(text, L"Starting zuvo.exe failed");
    EXPECT_FALSE(format_ui_string(self(), 903, L"zuvo.exe", text, 64));
    EXPECT_STREQ(text, L"");
}
