// lockvol.dll loaded into this test program, which offers none of the
// MXRCTL_ functions nor ZUVO_keyreg: every operation that needs one is
// skipped, the rest of the plug-in works. Its menu items are read here, in
// the process that owns the menu.

#include "plugin_sdk/zuvoplug.h"
#include "tests/support/files.h"
#include "tests/support/harness.h"

#include "common/unique_resource.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace test_support;

namespace {

template <typename F> F plugin_export(HMODULE module, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

struct menu_line {
    UINT id;
    UINT type;
    UINT state;
    std::wstring text;
    bool operator==(const menu_line&) const = default;
};

std::vector<menu_line> menu_lines(HMENU menu) {
    std::vector<menu_line> lines;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[64] = {};
        MENUITEMINFOW item{};
        item.cbSize = sizeof item;
        item.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STATE | MIIM_STRING;
        item.dwTypeData = text;
        item.cch = 64;
        GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &item);
        lines.push_back({item.wID, item.fType, item.fState, text});
    }
    return lines;
}

TEST(lockvol_host, works_without_the_hosts_mixer_functions_and_ticks_its_menu_item) {
    ASSERT_NE(PRIMARYLANGID(GetUserDefaultUILanguage()), LANG_JAPANESE);
    temp_folder folder(L"lockvol");
    ASSERT_TRUE(write_utf16(folder.file(L"lockvol.ini"),
                            L"[Control]\r\nBootEnable=1\r\nControlNum=1\r\n"
                            L"[Control00]\r\nMixer=Speakers\r\nVolume=40\r\n"));
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(folder.path().c_str()));
    unique_hmodule plugin(LoadLibraryW((build_bin_folder() + L"\\plugin\\lockvol.dll").c_str()));
    SetCurrentDirectoryW(previous);
    ASSERT_TRUE(plugin);
    auto entry = plugin_export<ZUVOPLUG_entry_fn>(plugin.get(), "ZUVOPLUG_entry_4_0_0");
    auto event = plugin_export<ZUVOPLUG_event_fn>(plugin.get(), "ZUVOPLUG_event");
    auto menu = plugin_export<ZUVOPLUG_menu_fn>(plugin.get(), "ZUVOPLUG_menu");
    auto msgproc = plugin_export<ZUVOPLUG_msgproc_fn>(plugin.get(), "ZUVOPLUG_msgproc");
    auto release = plugin_export<ZUVOPLUG_release_fn>(plugin.get(), "ZUVOPLUG_release");
    ASSERT_TRUE(entry && event && menu && msgproc && release);

    message_window main_window;
    ASSERT_TRUE(SetCurrentDirectoryW(folder.path().c_str()));
    entry(3, main_window.get());
    SetCurrentDirectoryW(previous);
    const auto started = main_window.take(WM_COMMAND, WM_COMMAND);
    ASSERT_EQ(started.size(), 1u) << "the entry posts its start";
    EXPECT_EQ(started[0].wParam, 0x0603u);
    EXPECT_EQ(started[0].lParam, 0);

    auto tips_after = [&](uint32_t code) {
        EXPECT_EQ(event(main_window.get(), code) & 0xFF, 1u) << code;
        const auto posted = main_window.take(0x0800, 0x0800);
        if (posted.size() != 1) return std::wstring(L"(" + std::to_wstring(posted.size()) + L")");
        EXPECT_EQ(posted[0].lParam, 1000);
        return std::wstring(reinterpret_cast<const wchar_t*>(posted[0].wParam));
    };
    auto items = [&] {
        unique_hmenu popup(CreatePopupMenu());
        EXPECT_EQ(menu(popup.get()) & 0xFF, 1u);
        return menu_lines(popup.get());
    };
    auto expected_items = [](UINT lock_state) {
        return std::vector<menu_line>{{0x10603, MFT_STRING, lock_state, L"&Lock the volume"},
                                      {0x20603, MFT_STRING, 0, L"&Set the volume once"},
                                      {0, MFT_SEPARATOR, 0, L""}};
    };

    EXPECT_EQ(items(), expected_items(0));
    // BootEnable: the start locks, without tips. Locking opens nothing here,
    // but the list is not empty: locked.
    EXPECT_EQ(event(main_window.get(), 0) & 0xFF, 1u);
    EXPECT_TRUE(main_window.take(0x0800, 0x0800).empty()) << "the start shows no tips";
    EXPECT_EQ(items(), expected_items(MFS_CHECKED));
    // The host's own command and the device change are the host's to handle.
    EXPECT_EQ(msgproc(main_window.get(), WM_COMMAND, 0x0580, 0) & 0xFF, 0u);
    EXPECT_EQ(msgproc(main_window.get(), 0x0830, 0, 0) & 0xFF, 0u);
    EXPECT_EQ(items(), expected_items(MFS_CHECKED));
    EXPECT_EQ(tips_after(2), L"ResetMixer");
    EXPECT_EQ(tips_after(1), L"LockVol OFF");
    EXPECT_EQ(items(), expected_items(0));
    EXPECT_EQ(tips_after(1), L"LockVol ON");
    EXPECT_EQ(tips_after(1), L"LockVol OFF");
    EXPECT_EQ(event(main_window.get(), 4) & 0xFF, 0u) << "not an event of the plug-in";
    release();
    EXPECT_EQ(event(main_window.get(), 1) & 0xFF, 0u) << "released";
}

TEST(lockvol_host, the_version_block_names_the_plugin) {
    const std::wstring path = build_bin_folder() + L"\\plugin\\lockvol.dll";
    DWORD ignored = 0;
    std::vector<uint8_t> block(GetFileVersionInfoSizeW(path.c_str(), &ignored));
    ASSERT_TRUE(
        !block.empty() &&
        GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
    const std::pair<const wchar_t*, const wchar_t*> strings[] = {
        {L"FileDescription", L"LockVol Quellbar-Plugin"},
        {L"InternalName", L"LockVol"},
        {L"OriginalFilename", L"lockvol.dll"},
        {L"FileVersion", L"4.1.0.0"},
        {L"ProductVersion", L"4.1.0.0"},
        {L"ProductName", L"Quellbar"}};
    for (const auto& [name, expected] : strings) {
        const std::wstring key = std::wstring(L"\\StringFileInfo\\041104b0\\") + name;
        wchar_t* value = nullptr;
        UINT length = 0;
        VerQueryValueW(block.data(), key.c_str(), reinterpret_cast<void**>(&value), &length);
        EXPECT_EQ(std::wstring(value ? value : L"(none)"), expected) << key;
    }
}

} // namespace
