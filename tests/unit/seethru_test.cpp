// The transparency plug-in's step list and its configuration dialog, driven
// in this process on its own seethru.ini.

#include "plugins/seethru/alpha_steps.h"
#include "plugins/seethru/resource.h"
#include "common/unique_resource.h"
#include "plugin_sdk/zuvoplug.h"
#include "tests/support/files.h"
#include "tests/support/harness.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

using namespace test_support;

namespace {

using steps = std::vector<uint32_t>;

TEST(seethru_steps, parsed_from_the_settings_text) {
    std::wstring long_text;
    while (long_text.size() < 2000) long_text += L"70, 9 ,";
    const struct {
        std::wstring text;
        steps expected;
    } cases[] = {
        {L"80,50", {100, 80, 50}},
        {L" 30 , 60", {100, 30, 60}},
        {L"\t30\t,\t60 ", {100, 30, 60}},
        {L"0,70", {100, 70}},
        {L"abc", {100}},
        {L"", {100}},
        {L"40,x,20", {100, 40}}, // the tail from the first stray character is ignored
        {L",,25", {100, 25}},    // an empty number counts as 0
        {L"-20,30", {100}},      // no sign
        {L"150,40", {100, 40}},  // above 100: left out
        {L"100,40", {100, 40}},
        {L"60,30,60,10", {100, 60, 30, 10}}, // a repeat would circle between 30 and 60
        {L"99999999999,60", {100, 60}},      // no wrap-around into a small value
        {long_text, {100, 70, 9}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(seethru::parse_alpha_steps(c.text.c_str()), c.expected)
            << std::string(c.text.begin(), c.text.begin() + std::min<size_t>(c.text.size(), 40));
    }
    EXPECT_EQ(seethru::parse_alpha_steps(nullptr), steps{100});
}

// The configuration dialog ------------------------------------------------------------

struct dialog_driver {
    std::vector<int> ticked;
    std::wstring time;
    bool found = false;
    static inline dialog_driver* current = nullptr;

    static BOOL CALLBACK find(HWND window, LPARAM found) {
        wchar_t name[16] = {};
        GetClassNameW(window, name, 16);
        if (lstrcmpW(name, L"#32770") != 0) return TRUE;
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    // Inside the dialog's modal loop: note what it shows, change it, press OK.
    static void CALLBACK fire(HWND, UINT, UINT_PTR id, DWORD) {
        HWND dialog = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), find, reinterpret_cast<LPARAM>(&dialog));
        if (!dialog || !IsWindowVisible(dialog)) return;
        KillTimer(nullptr, id);
        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        current->found = true;
        RECT area{};
        GetWindowRect(dialog, &area);
        save_screenshot(test_output_folder() + L"\\seethru_config.png", &area);
        for (int box = IDC_STEP_10; box <= IDC_STEP_90; ++box)
            if (SendDlgItemMessageW(dialog, box, BM_GETCHECK, 0, 0) == BST_CHECKED)
                current->ticked.push_back(box);
        wchar_t text[32] = {};
        GetDlgItemTextW(dialog, IDC_TIPS_TIME, text, 32);
        current->time = text;
        SendDlgItemMessageW(dialog, IDC_STEP_90, BM_SETCHECK, BST_CHECKED, 0);
        SendDlgItemMessageW(dialog, IDC_STEP_30, BM_SETCHECK, BST_UNCHECKED, 0);
        SetDlgItemTextW(dialog, IDC_TIPS_TIME, L"2500");
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    }
};

TEST(seethru_config, shows_the_file_and_saves_the_ticked_steps_in_table_order) {
    unique_hmodule plugin(LoadLibraryW((build_bin_folder() + L"\\plugin\\seethru.dll").c_str()));
    ASSERT_TRUE(plugin);
    auto config = reinterpret_cast<ZUVOPLUG_config_fn>(
        reinterpret_cast<void*>(GetProcAddress(plugin.get(), "ZUVOPLUG_config")));
    ASSERT_TRUE(config);
    temp_folder folder;
    ASSERT_TRUE(write_utf16(folder.file(L"seethru.ini"),
                            L"[SeeThru]\r\nAlphaSteps= 30 , 60,55,150\r\nTipsTImer=700\r\n"
                            L"WindowCheckInterval=77\r\n"));
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(folder.path().c_str());
    dialog_driver driver;
    dialog_driver::current = &driver;
    SetTimer(nullptr, 0, 100, dialog_driver::fire);
    config(nullptr);
    SetCurrentDirectoryW(previous);
    ASSERT_TRUE(driver.found);
    EXPECT_EQ(driver.ticked, (std::vector<int>{IDC_STEP_30, IDC_STEP_60}))
        << "55 and 150 have no box";
    EXPECT_EQ(driver.time, L"700");
    const std::wstring saved = read_text(folder.file(L"seethru.ini"));
    EXPECT_NE(saved.find(L"AlphaSteps=90,60\r\n"), std::wstring::npos) << saved.c_str();
    EXPECT_NE(saved.find(L"TipsTImer=2500\r\n"), std::wstring::npos);
    EXPECT_NE(saved.find(L"HotKeyAlpha=833\r\n"), std::wstring::npos);
    EXPECT_NE(saved.find(L"WindowCheckInterval=77\r\n"), std::wstring::npos);
}

// A test program as the host ----------------------------------------------------------

std::optional<int> alpha(HWND window) {
    if (!(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_LAYERED)) return std::nullopt;
    BYTE value = 0;
    DWORD flags = 0;
    GetLayeredWindowAttributes(window, nullptr, &value, &flags);
    return (flags & LWA_ALPHA) ? value : -1;
}

HWND front_window() {
    HWND window = CreateWindowExW(0, L"STATIC", L"front", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 120, 80,
                                  nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(window);
    return window;
}

TEST(seethru_plugin, a_new_window_under_a_tracked_handle_is_not_taken_for_it) {
    temp_folder folder;
    ASSERT_TRUE(write_utf16(folder.file(L"seethru.ini"), L"[SeeThru]\r\nShowTips=0\r\n"));
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(folder.path().c_str());
    unique_hmodule plugin(LoadLibraryW((build_bin_folder() + L"\\plugin\\seethru.dll").c_str()));
    SetCurrentDirectoryW(previous);
    ASSERT_TRUE(plugin);
    const auto find = [&](const char* name) {
        return reinterpret_cast<void*>(GetProcAddress(plugin.get(), name));
    };
    auto entry = reinterpret_cast<ZUVOPLUG_entry_fn>(find("ZUVOPLUG_entry_4_0_0"));
    auto event = reinterpret_cast<ZUVOPLUG_event_fn>(find("ZUVOPLUG_event"));
    auto release = reinterpret_cast<ZUVOPLUG_release_fn>(find("ZUVOPLUG_release"));
    ASSERT_TRUE(entry && event && release);
    message_window host;
    SetCurrentDirectoryW(folder.path().c_str());
    entry(0, host.get());
    SetCurrentDirectoryW(previous);

    HWND tracked = front_window();
    ASSERT_EQ(GetForegroundWindow(), tracked);
    event(host.get(), 257);
    ASSERT_EQ(alpha(tracked), 204);
    DestroyWindow(tracked);
    // Handles come back once the counter in their high word has gone round.
    // Menus share the windows' handles and count it up fast; the last one is
    // a real window.
    HWND reused = nullptr;
    for (int i = 0; i < 70000 && !reused; ++i) {
        HMENU menu = CreatePopupMenu();
        const bool next_is_it =
            reinterpret_cast<uintptr_t>(menu) + 0x10000u == reinterpret_cast<uintptr_t>(tracked);
        DestroyMenu(menu);
        if (!next_is_it) continue;
        HWND window = CreateWindowExW(0, L"STATIC", L"front", WS_OVERLAPPED, 0, 0, 120, 80, nullptr,
                                      nullptr, nullptr, nullptr);
        if (window == tracked)
            reused = window;
        else
            DestroyWindow(window);
    }
    ASSERT_TRUE(reused) << "the system did not hand out the handle again";
    ShowWindow(reused, SW_SHOW);
    SetForegroundWindow(reused);
    ASSERT_EQ(GetForegroundWindow(), reused);
    event(host.get(), 257);
    EXPECT_EQ(alpha(reused), 204) << "a first step, not the old window's second";
    release();
    EXPECT_EQ(alpha(reused), std::nullopt);
    DestroyWindow(reused);
    host.take();
}

} // namespace
