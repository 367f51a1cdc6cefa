// The Controls, Launcher and Plug-ins pages of the settings editor, shown in
// this process from the editor's own dialog resources (setup_lists_test.rc
// includes them) and driven with the messages their controls send.

#include "common/gdiplus_include.h"
#include "common/unique_resource.h"
#include "winui/dialog_helpers.h"
#include "winui/dialog_template.h"
#include "winui/ui_language.h"
#include "setup/pages.h"
#include "setup/resource.h"
#include "tests/support/files.h"
#include "tests/support/probe.h"

#include <commctrl.h>
#include <prsht.h>
#include <strsafe.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace test_support;

namespace {

HMODULE self() {
    return GetModuleHandleW(nullptr);
}

// The editor runs its pages with COM (control descriptions) and GDI+ (icon
// previews) started; so does this test.
class editor_environment : public ::testing::Environment {
public:
    void SetUp() override {
        com_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        Gdiplus::GdiplusStartupInput input;
        gdiplus_up_ = Gdiplus::GdiplusStartup(&gdiplus_, &input, nullptr) == Gdiplus::Ok;
    }
    void TearDown() override {
        if (gdiplus_up_) Gdiplus::GdiplusShutdown(gdiplus_);
        if (com_) CoUninitialize();
    }

private:
    bool com_ = false;
    bool gdiplus_up_ = false;
    ULONG_PTR gdiplus_ = 0;
};
[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new editor_environment);

std::wstring ui_string(UINT id) {
    wchar_t text[512];
    load_ui_string(self(), id, text, 512);
    return text;
}

std::wstring window_text(HWND window) {
    wchar_t text[2048] = {};
    GetWindowTextW(window, text, 2048);
    return text;
}

// One page as the settings dialog makes it, in a hidden frame.
class shown_page {
public:
    using factory = std::unique_ptr<Csetup_page> (*)(setup_state&);

    shown_page(setup_state& state, factory make) : page_(make(state)) {
        frame_.reset(CreateWindowExW(0, L"STATIC", L"frame", WS_POPUP, 0, 0, 700, 500, nullptr,
                                     nullptr, self(), nullptr));
        unique_hglobal layout(build_dialog_template(self(), page_->dialog_id()));
        if (!frame_ || !layout) return;
        window_ = CreateDialogIndirectParamW(self(), static_cast<LPCDLGTEMPLATEW>(layout.get()),
                                             frame_.get(), Csetup_page::procedure,
                                             reinterpret_cast<LPARAM>(page_.get()));
    }
    shown_page(const shown_page&) = delete;
    shown_page& operator=(const shown_page&) = delete;
    ~shown_page() {
        if (window_) DestroyWindow(window_);
    }

    explicit operator bool() const { return window_ != nullptr; }
    HWND window() const { return window_; }
    HWND item(int id) const { return GetDlgItem(window_, id); }
    bool applied() const { return page_->applied(); }

    // WM_COMMAND as control `id` sends it.
    void command(int id, int code) const {
        SendMessageW(window_, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(item(id)));
    }
    // A mouse click on a button or box: it takes the focus and notifies.
    void click(int id) const { SendMessageW(item(id), BM_CLICK, 0, 0); }
    void choose(int list, size_t index) const {
        SendMessageW(item(list), LB_SETCURSEL, index, 0);
        command(list, LBN_SELCHANGE);
    }
    void type_and_leave(int edit, const wchar_t* text) const {
        SetDlgItemTextW(window_, edit, text);
        command(edit, EN_KILLFOCUS);
    }
    // The frame's OK.
    void apply() const {
        NMHDR header{};
        header.code = static_cast<UINT>(PSN_APPLY);
        SendMessageW(window_, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header));
    }

    std::wstring text(int id) const { return window_text(item(id)); }
    bool enabled(int id) const { return IsWindowEnabled(item(id)) != FALSE; }
    bool ticked(int id) const { return is_box_ticked(window_, id); }
    LRESULT selection(int list) const { return SendMessageW(item(list), LB_GETCURSEL, 0, 0); }
    std::wstring line(int list, size_t index) const {
        wchar_t text[128] = {};
        if (SendMessageW(item(list), LB_GETTEXTLEN, index, 0) >= 128) return L"<long>";
        SendMessageW(item(list), LB_GETTEXT, index, reinterpret_cast<LPARAM>(text));
        return text;
    }
    void set_key(int hotkey, uint8_t key) const {
        SendMessageW(item(hotkey), HKM_SETHOTKEY, key, 0);
    }
    uint8_t key(int hotkey) const {
        return static_cast<uint8_t>(SendMessageW(item(hotkey), HKM_GETHOTKEY, 0, 0) & 0xFF);
    }

private:
    std::unique_ptr<Csetup_page> page_;
    unique_hwnd frame_;
    HWND window_ = nullptr;
};

setup_state new_state() {
    setup_state state;
    state.module = self();
    StringCchCopyW(state.icons[0].section, 64, L"default");
    StringCchCopyW(state.icons[0].description, 64, L"Default icons");
    StringCchCopyW(state.icons[2].section, 64, L"blue");
    StringCchCopyW(state.icons[2].description, 64, L"Blue icons");
    return state;
}

control_entry& put_control(setup_state& state, size_t slot, const wchar_t* caption,
                           const wchar_t* mixer = L"") {
    state.config.controls[slot] = std::make_unique<control_entry>();
    StringCchCopyW(state.config.controls[slot]->caption, 64, caption);
    StringCchCopyW(state.config.controls[slot]->mixer, 256, mixer);
    return *state.config.controls[slot];
}

launcher_entry& put_launcher(setup_state& state, size_t slot, const wchar_t* caption,
                             const wchar_t* command, uint32_t hotkey) {
    state.config.launchers[slot] = std::make_unique<launcher_entry>();
    StringCchCopyW(state.config.launchers[slot]->caption, 64, caption);
    StringCchCopyW(state.config.launchers[slot]->command_line, 1024, command);
    state.config.launchers[slot]->hotkey = hotkey;
    return *state.config.launchers[slot];
}

// Both slot pages --------------------------------------------------------------

// One slot page, with slots that carry their letter in two fields, so that
// a test sees whole entries move.
struct slot_page {
    const char* name;
    shown_page::factory make;
    int list, up, down, caption;
    void (*put)(setup_state&, size_t slot, const wchar_t* letter);
    std::wstring (*second_field)(const setup_state&, size_t slot);
    const wchar_t* (*caption_of)(const setup_state&, size_t slot);
};

const slot_page slot_pages[] = {
    {"controls", make_controls_page, IDC_CTL_LIST, IDC_CTL_UP, IDC_CTL_DOWN, IDC_CTL_CAPTION,
     [](setup_state& s, size_t slot, const wchar_t* letter) {
         put_control(s, slot, letter, letter);
     },
     [](const setup_state& s, size_t slot) { return std::wstring(s.config.controls[slot]->mixer); },
     [](const setup_state& s, size_t slot) -> const wchar_t* {
         return s.config.controls[slot]->caption;
     }},
    {"launcher", make_launcher_page, IDC_LAUNCH_LIST, IDC_LAUNCH_UP, IDC_LAUNCH_DOWN,
     IDC_LAUNCH_CAPTION,
     [](setup_state& s, size_t slot, const wchar_t* letter) {
         put_launcher(s, slot, letter, letter, 0x0500);
     },
     [](const setup_state& s, size_t slot) {
         return std::wstring(s.config.launchers[slot]->command_line);
     },
     [](const setup_state& s, size_t slot) -> const wchar_t* {
         return s.config.launchers[slot]->caption;
     }},
};

TEST(slot_pages, up_and_down_swap_whole_entries_and_stop_at_both_ends) {
    const struct {
        size_t start;
        bool up;
        const wchar_t* order; // slots 0..15 afterwards
        size_t current;
    } cases[] = {
        {0, true, L"ABCDEFGHIJKLMNOP", 0},  {15, false, L"ABCDEFGHIJKLMNOP", 15},
        {1, true, L"BACDEFGHIJKLMNOP", 0},  {14, false, L"ABCDEFGHIJKLMNPO", 15},
        {5, true, L"ABCDFEGHIJKLMNOP", 4},  {5, false, L"ABCDEGFHIJKLMNOP", 6},
        {0, false, L"BACDEFGHIJKLMNOP", 1}, {15, true, L"ABCDEFGHIJKLMNPO", 14},
    };
    for (const slot_page& kind : slot_pages) {
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message()
                         << kind.name << " slot " << c.start << (c.up ? " up" : " down"));
            setup_state state = new_state();
            for (size_t slot = 0; slot < 16; ++slot) {
                const wchar_t letter[2] = {static_cast<wchar_t>(L'A' + slot), 0};
                kind.put(state, slot, letter);
            }
            shown_page page(state, kind.make);
            ASSERT_TRUE(page);
            page.choose(kind.list, c.start);
            page.click(c.up ? kind.up : kind.down);

            std::wstring captions, seconds;
            for (size_t slot = 0; slot < 16; ++slot) {
                captions += kind.caption_of(state, slot);
                seconds += kind.second_field(state, slot);
                wchar_t line[8];
                StringCchPrintfW(line, 8, L"%02u: %lc", static_cast<unsigned>(slot), c.order[slot]);
                EXPECT_EQ(page.line(kind.list, slot), line);
            }
            EXPECT_EQ(captions, c.order);
            EXPECT_EQ(seconds, c.order);
            EXPECT_EQ(page.selection(kind.list), static_cast<LRESULT>(c.current));
            EXPECT_EQ(page.text(kind.caption), std::wstring(1, c.order[c.current]));
        }
    }
}

// Controls page ----------------------------------------------------------------

TEST(controls_page, delete_resets_the_slot_to_the_blank_entry) {
    setup_state state = new_state();
    control_entry& entry = put_control(state, 3, L"Line in", L"No such device");
    entry = {L"Line in", L"No such device", 2, 4, -30, true, true, RGB(255, 0, 0), L"blue"};
    put_control(state, 4, L"After");
    shown_page page(state, make_controls_page);
    ASSERT_TRUE(page);
    page.choose(IDC_CTL_LIST, 3);
    ASSERT_TRUE(page.ticked(IDC_CTL_OWN_COLOR));
    page.click(IDC_CTL_DELETE);

    const control_entry& blank = *state.config.controls[3];
    EXPECT_STREQ(blank.caption, L"");
    EXPECT_STREQ(blank.mixer, L"");
    EXPECT_EQ(blank.destination, 0);
    EXPECT_EQ(blank.source, -1);
    EXPECT_EQ(blank.balance, 0);
    EXPECT_FALSE(blank.has_color || blank.has_icon);
    EXPECT_EQ(blank.color, RGB(0, 255, 0));
    EXPECT_STREQ(blank.icon_image, L"default");
    EXPECT_STREQ(state.config.controls[4]->caption, L"After");

    EXPECT_EQ(page.line(IDC_CTL_LIST, 3), L"03: ");
    EXPECT_EQ(page.selection(IDC_CTL_LIST), 3);
    EXPECT_EQ(page.text(IDC_CTL_CAPTION), L"");
    EXPECT_EQ(page.text(IDC_CTL_DESCRIPTION), ui_string(IDS_NOT_REGISTERED));
    EXPECT_FALSE(page.ticked(IDC_CTL_OWN_COLOR) || page.enabled(IDC_CTL_OWN_COLOR));
    EXPECT_FALSE(page.ticked(IDC_CTL_OWN_ICON) || page.enabled(IDC_CTL_OWN_ICON));
}

TEST(controls_page, boxes_colour_and_icon_list_are_enabled_only_where_they_apply) {
    const struct {
        const wchar_t* caption;
        bool has_color, has_icon;
        bool boxes, color_button, icon_list;
    } cases[] = {
        {L"", true, true, false, false, false},   {L"Mic", false, false, true, false, false},
        {L"Mic", true, false, true, true, false}, {L"Mic", false, true, true, false, true},
        {L"Mic", true, true, true, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.caption[0] ? "used" : "free") << " colour "
                                        << c.has_color << " icon " << c.has_icon);
        setup_state state = new_state();
        control_entry& entry = put_control(state, 0, c.caption);
        entry.has_color = c.has_color;
        entry.has_icon = c.has_icon;
        StringCchCopyW(entry.icon_image, 64, L"blue");
        shown_page page(state, make_controls_page);
        ASSERT_TRUE(page);
        EXPECT_EQ(page.ticked(IDC_CTL_OWN_COLOR), c.has_color);
        EXPECT_EQ(page.ticked(IDC_CTL_OWN_ICON), c.has_icon);
        EXPECT_EQ(page.enabled(IDC_CTL_OWN_COLOR), c.boxes);
        EXPECT_EQ(page.enabled(IDC_CTL_OWN_ICON), c.boxes);
        EXPECT_EQ(page.enabled(IDC_CTL_COLOR), c.color_button);
        EXPECT_EQ(page.enabled(IDC_CTL_ICON_IMAGE), c.icon_list);
        EXPECT_EQ(page.text(IDC_CTL_ICON_IMAGE), L"Blue icons");
    }
}

TEST(controls_page, caption_is_taken_when_left_and_at_ok_cut_to_63_characters) {
    setup_state state = new_state();
    shown_page page(state, make_controls_page);
    ASSERT_TRUE(page);
    EXPECT_EQ(SendMessageW(page.item(IDC_CTL_CAPTION), EM_GETLIMITTEXT, 0, 0), 63);
    page.choose(IDC_CTL_LIST, 2);
    page.type_and_leave(IDC_CTL_CAPTION, L"Line in");
    EXPECT_STREQ(state.config.controls[2]->caption, L"Line in");
    EXPECT_EQ(page.line(IDC_CTL_LIST, 2), L"02: Line in");
    EXPECT_TRUE(page.enabled(IDC_CTL_OWN_COLOR)); // a used slot now
    EXPECT_EQ(page.text(IDC_CTL_DESCRIPTION), L"<" + ui_string(IDS_DEFAULT_MIXER) + L">");

    page.type_and_leave(IDC_CTL_CAPTION, std::wstring(70, L'x').c_str());
    EXPECT_EQ(std::wstring(state.config.controls[2]->caption), std::wstring(63, L'x'));

    // Enter presses OK without taking the focus from the edit.
    SetDlgItemTextW(page.window(), IDC_CTL_CAPTION, L"Typed");
    page.apply();
    EXPECT_STREQ(state.config.controls[2]->caption, L"Typed");
    EXPECT_TRUE(page.applied());
}

TEST(controls_page, own_colour_and_icon_follow_the_boxes_and_the_chosen_set) {
    setup_state state = new_state();
    // As read from a file without Color and IconImage: no set name.
    control_entry& entry = put_control(state, 0, L"Speakers");
    shown_page page(state, make_controls_page);
    ASSERT_TRUE(page);

    page.click(IDC_CTL_OWN_COLOR);
    EXPECT_TRUE(entry.has_color && !entry.has_icon);
    EXPECT_TRUE(page.enabled(IDC_CTL_COLOR));
    EXPECT_FALSE(page.enabled(IDC_CTL_ICON_IMAGE));

    // The list shows its first set; ticking the box takes that one.
    ASSERT_EQ(page.text(IDC_CTL_ICON_IMAGE), L"Default icons");
    page.click(IDC_CTL_OWN_ICON);
    EXPECT_TRUE(entry.has_icon);
    EXPECT_STREQ(entry.icon_image, L"default");
    EXPECT_TRUE(page.enabled(IDC_CTL_ICON_IMAGE));

    SendMessageW(page.item(IDC_CTL_ICON_IMAGE), CB_SETCURSEL, 1, 0);
    page.command(IDC_CTL_ICON_IMAGE, CBN_SELCHANGE);
    EXPECT_STREQ(entry.icon_image, L"blue");
    page.click(IDC_CTL_OWN_COLOR);
    EXPECT_TRUE(!entry.has_color && entry.has_icon);
    EXPECT_FALSE(page.enabled(IDC_CTL_COLOR));
}

// Launcher page ----------------------------------------------------------------

// The hot-key editor as the user sees it: key, Ctrl, Shift, Alt, Win.
std::wstring shown_hotkey(const shown_page& page) {
    std::wstring shown(1, static_cast<wchar_t>(page.key(IDC_LAUNCH_HOTKEY)));
    for (int box : {IDC_LAUNCH_CTRL, IDC_LAUNCH_SHIFT, IDC_LAUNCH_ALT, IDC_LAUNCH_WIN})
        shown += page.ticked(box) ? L'+' : L'-';
    return shown;
}

TEST(launcher_page, free_and_deleted_slots_show_empty_edits_and_ctrl_shift_without_key) {
    setup_state state = new_state();
    put_launcher(state, 0, L"&Mixer", L"sndvol.exe", 0x0B5A); // Ctrl+Alt+Win+Z
    put_launcher(state, 3, L"&Player", L"player.exe /min", 0x034B);
    // Free, though a hot key was typed for it once.
    put_launcher(state, 15, L"", L"stale.exe", 0x034B);
    shown_page page(state, make_launcher_page);
    ASSERT_TRUE(page);
    EXPECT_EQ(shown_hotkey(page), L"Z+-++");
    EXPECT_EQ(SendMessageW(page.item(IDC_LAUNCH_CAPTION), EM_GETLIMITTEXT, 0, 0), 63);
    EXPECT_EQ(SendMessageW(page.item(IDC_LAUNCH_COMMAND), EM_GETLIMITTEXT, 0, 0), 1023);

    page.choose(IDC_LAUNCH_LIST, 15);
    EXPECT_EQ(page.text(IDC_LAUNCH_CAPTION) + page.text(IDC_LAUNCH_COMMAND), L"");
    EXPECT_EQ(shown_hotkey(page), std::wstring(1, L'\0') + L"++--");

    page.choose(IDC_LAUNCH_LIST, 3);
    page.click(IDC_LAUNCH_DELETE);
    const launcher_entry& entry = *state.config.launchers[3];
    EXPECT_STREQ(entry.caption, L"");
    EXPECT_STREQ(entry.command_line, L"");
    EXPECT_EQ(entry.hotkey, 0x0500u);
    EXPECT_EQ(page.line(IDC_LAUNCH_LIST, 3), L"03: ");
    EXPECT_EQ(page.selection(IDC_LAUNCH_LIST), 3);
    EXPECT_EQ(page.text(IDC_LAUNCH_CAPTION) + page.text(IDC_LAUNCH_COMMAND), L"");
    EXPECT_EQ(shown_hotkey(page), std::wstring(1, L'\0') + L"++--");
}

TEST(launcher_page, editors_are_stored_when_left_when_moved_and_at_ok) {
    setup_state state = new_state();
    put_launcher(state, 3, L"&Player", L"player.exe", 0x0500);
    shown_page page(state, make_launcher_page);
    ASSERT_TRUE(page);
    page.choose(IDC_LAUNCH_LIST, 3);
    page.type_and_leave(IDC_LAUNCH_COMMAND, L"player.exe /min");
    EXPECT_STREQ(state.config.launchers[3]->command_line, L"player.exe /min");
    page.type_and_leave(IDC_LAUNCH_CAPTION, L"&Music");
    EXPECT_EQ(page.line(IDC_LAUNCH_LIST, 3), L"03: &Music");

    // A key typed into the hot-key control takes no focus from an edit; the
    // moved slot still carries it.
    page.set_key(IDC_LAUNCH_HOTKEY, 'Z');
    page.click(IDC_LAUNCH_DOWN);
    EXPECT_STREQ(state.config.launchers[4]->caption, L"&Music");
    EXPECT_EQ(state.config.launchers[4]->hotkey, 0x055Au); // Ctrl+Shift+Z

    // OK while typing.
    SetDlgItemTextW(page.window(), IDC_LAUNCH_CAPTION, L"&Radio");
    SetDlgItemTextW(page.window(), IDC_LAUNCH_COMMAND, L"radio.exe");
    tick_box(page.window(), IDC_LAUNCH_WIN, true);
    page.apply();
    const launcher_entry& entry = *state.config.launchers[4];
    EXPECT_STREQ(entry.caption, L"&Radio");
    EXPECT_STREQ(entry.command_line, L"radio.exe");
    EXPECT_EQ(entry.hotkey, 0x0D5Au); // Ctrl+Shift+Win+Z
    EXPECT_TRUE(page.applied());
}

// Plug-ins page ----------------------------------------------------------------

// A program folder with plugin\ as the current directory, as the editor has it.
class plugin_folder {
public:
    plugin_folder() {
        GetCurrentDirectoryW(MAX_PATH, previous_);
        CreateDirectoryW(folder_.file(L"plugin").c_str(), nullptr);
        SetCurrentDirectoryW(folder_.path().c_str());
    }
    plugin_folder(const plugin_folder&) = delete;
    plugin_folder& operator=(const plugin_folder&) = delete;
    ~plugin_folder() { SetCurrentDirectoryW(previous_); }

    const std::wstring& path() const { return folder_.path(); }
    std::wstring plugin(const std::wstring& name) const { return folder_.file(L"plugin\\" + name); }
    bool add(const std::wstring& name, const std::wstring& library = probe_library()) const {
        return CopyFileW(library.c_str(), plugin(name).c_str(), FALSE) != FALSE;
    }
    // The probe as its author would ship it: with this executable's test
    // version block (resource 2) as its version resource.
    bool add_with_version(const std::wstring& name) const {
        HRSRC found = FindResourceW(self(), MAKEINTRESOURCEW(2), RT_VERSION);
        void* block = found ? LockResource(LoadResource(self(), found)) : nullptr;
        HANDLE update = add(name) ? BeginUpdateResourceW(plugin(name).c_str(), FALSE) : nullptr;
        if (!block || !update) return false;
        const bool updated = UpdateResourceW(update, RT_VERSION, MAKEINTRESOURCEW(1),
                                             MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), block,
                                             SizeofResource(self(), found)) != FALSE;
        return EndUpdateResourceW(update, !updated) && updated;
    }

private:
    temp_folder folder_{L"qbplug"};
    wchar_t previous_[MAX_PATH] = {};
};

// Each item as "name|version|ticked".
std::vector<std::wstring> listed(const shown_page& page) {
    HWND list = page.item(IDC_PLUG_LIST);
    std::vector<std::wstring> items;
    const auto count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int index = 0; index < count; ++index) {
        std::wstring shown;
        for (int column = 0; column < 2; ++column) {
            wchar_t text[300] = {};
            LVITEMW row{};
            row.iSubItem = column;
            row.pszText = text;
            row.cchTextMax = 300;
            SendMessageW(list, LVM_GETITEMTEXTW, index, reinterpret_cast<LPARAM>(&row));
            shown += text + std::wstring(L"|");
        }
        const auto state = SendMessageW(list, LVM_GETITEMSTATE, index, LVIS_STATEIMAGEMASK);
        items.push_back(shown + (state == INDEXTOSTATEIMAGEMASK(2) ? L"ticked" : L"-"));
    }
    return items;
}

int index_of(const shown_page& page, const std::wstring& name) {
    const auto items = listed(page);
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].rfind(name + L"|", 0) == 0) return static_cast<int>(i);
    return -1;
}

// The user clicks an item, or its check box.
void set_item_state(const shown_page& page, int index, UINT mask, UINT state) {
    LVITEMW item{};
    item.stateMask = mask;
    item.state = state;
    SendMessageW(page.item(IDC_PLUG_LIST), LVM_SETITEMSTATE, index,
                 reinterpret_cast<LPARAM>(&item));
}
void select_item(const shown_page& page, int index) {
    set_item_state(page, index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}
void tick_item(const shown_page& page, int index, bool ticked) {
    set_item_state(page, index, LVIS_STATEIMAGEMASK, INDEXTOSTATEIMAGEMASK(ticked ? 2 : 1));
}

void enable_plugins(setup_state& state, std::initializer_list<std::wstring> names) {
    for (const auto& name : names) {
        state.config.plugins.emplace_back();
        StringCchCopyW(state.config.plugins.back().file_name, 261, name.c_str());
    }
}

bool loaded(const std::wstring& path) {
    return GetModuleHandleW(path.c_str()) != nullptr;
}

TEST(plugins_page, lists_only_plugins_ticked_from_the_settings_ignoring_case) {
    plugin_folder folder;
    ASSERT_TRUE(folder.add_with_version(L"Alpha.dll"));
    ASSERT_TRUE(folder.add(L"beta.dll"));
    ASSERT_TRUE(folder.add(L"noentry.dll", probe_library_without_entry()));
    ASSERT_TRUE(write_ascii(folder.plugin(L"notes.dll"), "not a library\r\n"));
    ASSERT_TRUE(CreateDirectoryW(folder.plugin(L"folder.dll").c_str(), nullptr));
    setup_state state = new_state();
    enable_plugins(state, {L"ALPHA.DLL", L"gone.dll", L"notes.dll", L"noentry.dll"});
    shown_page page(state, make_plugins_page);
    ASSERT_TRUE(page);

    auto items = listed(page);
    std::sort(items.begin(), items.end());
    EXPECT_EQ(items, (std::vector<std::wstring>{L"Alpha.dll|3.14.15|ticked", L"beta.dll||-"}));
    EXPECT_EQ(page.text(IDC_PLUG_INFO), L"");
    EXPECT_FALSE(page.enabled(IDC_PLUG_SETTINGS));
    // Loaded only to look: nothing stays (and a library that does is seen).
    for (const wchar_t* name : {L"Alpha.dll", L"beta.dll", L"noentry.dll"})
        EXPECT_FALSE(loaded(folder.plugin(name))) << name;
    unique_hmodule kept(LoadLibraryW(folder.plugin(L"beta.dll").c_str()));
    EXPECT_TRUE(loaded(folder.plugin(L"beta.dll")));
}

// Order and dropping of vanished entries are checked on the running
// program; what is left here is the folder that is not there at all.
TEST(plugins_page, without_a_plugin_folder_nothing_is_listed_or_kept) {
    plugin_folder folder;
    ASSERT_TRUE(RemoveDirectoryW((folder.path() + L"\\plugin").c_str()));
    setup_state state = new_state();
    enable_plugins(state, {L"one.dll", L"two.dll"});
    shown_page page(state, make_plugins_page);
    ASSERT_TRUE(page);
    EXPECT_TRUE(listed(page).empty());
    page.apply();
    EXPECT_TRUE(page.applied());
    EXPECT_TRUE(state.config.plugins.empty());
}

TEST(plugins_page, selection_shows_version_information_and_offers_settings_when_ticked) {
    plugin_folder folder;
    ASSERT_TRUE(folder.add_with_version(L"Alpha.dll"));
    ASSERT_TRUE(folder.add(L"beta.dll"));
    setup_state state = new_state();
    enable_plugins(state, {L"alpha.dll"});
    shown_page page(state, make_plugins_page);
    ASSERT_TRUE(page);
    const int alpha = index_of(page, L"Alpha.dll"), beta = index_of(page, L"beta.dll");
    ASSERT_TRUE(alpha >= 0 && beta >= 0);

    // The texts of the translation listed first, not of the one stored first.
    select_item(page, alpha);
    EXPECT_EQ(page.text(IDC_PLUG_INFO), L"Probe, first translation ver.3.14.15\r\n(C) first");
    EXPECT_TRUE(page.enabled(IDC_PLUG_SETTINGS));
    select_item(page, beta);
    EXPECT_EQ(page.text(IDC_PLUG_INFO), ui_string(IDS_NO_VERSION_INFO));
    EXPECT_NE(page.text(IDC_PLUG_INFO), L"");
    EXPECT_FALSE(page.enabled(IDC_PLUG_SETTINGS));

    tick_item(page, beta, true);
    EXPECT_TRUE(page.enabled(IDC_PLUG_SETTINGS));
    page.click(IDC_PLUG_SETTINGS);
    // The probe writes down its configuration call and the owner it got.
    const auto records = read_probe_log(folder.path());
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].name + L" " + records[0].kind, L"beta config");
    EXPECT_EQ(records[0].number(0), reinterpret_cast<uintptr_t>(page.window()));
    EXPECT_FALSE(loaded(folder.plugin(L"beta.dll")));
    tick_item(page, beta, false);
    EXPECT_FALSE(page.enabled(IDC_PLUG_SETTINGS));
}

TEST(plugins_page, hot_key_check_shows_the_code_as_a_number) {
    plugin_folder folder;
    setup_state state = new_state();
    shown_page page(state, make_plugins_page);
    ASSERT_TRUE(page);
    EXPECT_EQ(page.text(IDC_PLUG_HOTKEY_NUMBER), L"");
    const struct {
        uint8_t key;
        bool ctrl, shift, alt, win;
        const wchar_t* number;
    } cases[] = {
        {'A', true, true, false, false, L"1345"},
        {'A', false, false, false, true, L"2113"},
        {0, true, true, false, false, L"1280"},
        {VK_F12, true, false, true, false, L"891"},
    };
    for (const auto& c : cases) {
        page.set_key(IDC_PLUG_HOTKEY, c.key);
        tick_box(page.window(), IDC_PLUG_CTRL, c.ctrl);
        tick_box(page.window(), IDC_PLUG_SHIFT, c.shift);
        tick_box(page.window(), IDC_PLUG_ALT, c.alt);
        tick_box(page.window(), IDC_PLUG_WIN, c.win);
        page.command(IDC_PLUG_HOTKEY, EN_CHANGE);
        EXPECT_EQ(page.text(IDC_PLUG_HOTKEY_NUMBER), c.number);
    }
    // A box clicked is a command of the group too: Ctrl off leaves Alt+M.
    page.set_key(IDC_PLUG_HOTKEY, 'M');
    page.click(IDC_PLUG_CTRL);
    EXPECT_EQ(page.text(IDC_PLUG_HOTKEY_NUMBER), L"589");
}

} // namespace
