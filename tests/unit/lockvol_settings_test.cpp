// lockvol.ini: a program's entry and a line's, read from a file and written
// back, in a folder of the test's own.

#include "plugins/lockvol/lock_settings.h"
#include "tests/support/files.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace lockvol;
using namespace test_support;

namespace {

// Runs `work` with `folder` as the current directory, where the settings live.
template <typename Work> void in_folder(const temp_folder& folder, Work work) {
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(folder.path().c_str()));
    work();
    SetCurrentDirectoryW(previous);
}

// A program's entry carries Application and the source no line has, so that
// an older mixer lock finds no control for it; a file without the key means
// a line as it always did, and saving a line leaves no Application behind.
TEST(lockvol_settings, a_programs_entry_is_saved_with_its_name_and_source_minus_2) {
    const struct {
        const wchar_t* keys; // of [Control00]
        const wchar_t* application;
        int32_t source;
        const wchar_t* saved_source;
        std::optional<std::wstring> saved_application;
    } rows[] = {
        {L"Mixer=Speakers\r\nSource=-2\r\nApplication=player.exe\r\n", L"player.exe", -2, L"-2",
         L"player.exe"},
        {L"Mixer=\r\nSource=3\r\nApplication=Player.exe\r\n", L"Player.exe", -2, L"-2",
         L"Player.exe"},
        {L"Mixer=Speakers\r\nSource=2\r\n", L"", 2, L"2", std::nullopt},
        {L"Mixer=Speakers\r\nSource=1\r\nApplication=\r\n", L"", 1, L"1", std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.keys);
        temp_folder folder(L"lockvol");
        ASSERT_TRUE(write_utf16(folder.file(L"lockvol.ini"),
                                L"[Control]\r\nControlNum=1\r\n[Control00]\r\n" +
                                    std::wstring(row.keys) + L"Volume=30\r\n"));
        in_folder(folder, [&] {
            lock_settings settings = load_settings();
            ASSERT_EQ(settings.entries.size(), 1u);
            EXPECT_EQ(settings.entries[0].application, row.application);
            EXPECT_EQ(settings.entries[0].source, row.source);
            EXPECT_EQ(settings.entries[0].volume, 30);
            EXPECT_TRUE(save_settings(settings));
            const auto saved = parse_ini(read_text(folder.file(L"lockvol.ini")));
            EXPECT_EQ(ini_value(saved, L"Control00", L"Source"), row.saved_source);
            EXPECT_EQ(ini_value(saved, L"Control00", L"Application"), row.saved_application);
            EXPECT_EQ(ini_value(saved, L"Control00", L"Volume"), L"30");

            // The same slot made a line in the dialog: the name goes.
            settings.entries[0].application.clear();
            settings.entries[0].source = 0;
            EXPECT_TRUE(save_settings(settings));
            const auto as_line = parse_ini(read_text(folder.file(L"lockvol.ini")));
            EXPECT_EQ(ini_value(as_line, L"Control00", L"Source"), L"0");
            EXPECT_EQ(ini_value(as_line, L"Control00", L"Application"), std::nullopt);
        });
    }
}

} // namespace
