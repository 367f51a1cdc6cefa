// The sound plug-in's menu and dialog in the built tickson.dll: the Japanese
// texts exactly as users know them, English beside them, the dialog's size.

#include "tests/support/harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

TEST(tickson_resources, menu_and_dialog_in_both_languages) {
    HMODULE module =
        LoadLibraryExW((test_support::build_bin_folder() + L"\\plugin\\tickson.dll").c_str(),
                       nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_TRUE(module);
    auto resource = [&](LPCWSTR type, UINT id, LANGID language) {
        HRSRC found = FindResourceExW(module, type, MAKEINTRESOURCEW(id), language);
        const auto* data =
            found ? static_cast<const uint8_t*>(LockResource(LoadResource(module, found)))
                  : nullptr;
        return data ? std::vector<uint8_t>(data, data + SizeofResource(module, found))
                    : std::vector<uint8_t>{};
    };
    auto holds = [](const std::vector<uint8_t>& bytes, const std::wstring& text) {
        const auto* begin = reinterpret_cast<const uint8_t*>(text.c_str());
        const std::vector<uint8_t> wanted(begin, begin + (text.size() + 1) * sizeof(wchar_t));
        return std::search(bytes.begin(), bytes.end(), wanted.begin(), wanted.end()) != bytes.end();
    };
    struct expected {
        LANGID language;
        std::vector<std::wstring> menu, dialog;
    };
    const expected cases[] = {
        {0x0411,
         {L"TickSon", L"操作音を鳴らす", L"背景音を鳴らす"},
         {L"TickSon", L"操作音を鳴らす(&C)", L"背景音を鳴らす(&B)", L"WAVファイル",
          L"メニューを追加する", L"OK", L"キャンセル"}},
        {0x0409,
         {L"TickSon", L"Play the operation sound", L"Play the background sound"},
         {L"TickSon", L"WAV file", L"Add the menu", L"OK", L"Cancel"}},
    };
    for (const expected& e : cases) {
        SCOPED_TRACE(e.language);
        const auto menu = resource(RT_MENU, 40001, e.language);
        for (const auto& text : e.menu) EXPECT_TRUE(holds(menu, text)) << text.c_str();
        const auto dialog = resource(RT_DIALOG, 9, e.language);
        ASSERT_GT(dialog.size(), 26u);
        // An extended template (dlgVer 1, signature 0xFFFF) of 174 x 110 units.
        EXPECT_EQ(dialog[0] | dialog[1] << 8, 1);
        EXPECT_EQ(dialog[2] | dialog[3] << 8, 0xFFFF);
        EXPECT_EQ(dialog[22] | dialog[23] << 8, 174);
        EXPECT_EQ(dialog[24] | dialog[25] << 8, 110);
        for (const auto& text : e.dialog) EXPECT_TRUE(holds(dialog, text)) << text.c_str();
    }
    FreeLibrary(module);
}

} // namespace
