// The slot arithmetic and texts of the settings editor's list pages.

#include "setup/list_logic.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(slot_swap_partner, stops_at_both_ends_and_outside_the_list) {
    const struct {
        size_t current;
        slot_move direction;
        size_t count;
        std::optional<size_t> partner;
    } cases[] = {
        {0, slot_move::up, 16, std::nullopt},
        {15, slot_move::down, 16, std::nullopt},
        {1, slot_move::up, 16, 0},
        {14, slot_move::down, 16, 15},
        {0, slot_move::down, 16, 1},
        {15, slot_move::up, 16, 14},
        {16, slot_move::up, 16, std::nullopt},
        {0, slot_move::down, 1, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(slot_swap_partner(c.current, c.direction, c.count), c.partner)
            << c.current << (c.direction == slot_move::up ? " up of " : " down of ") << c.count;
}

// Each formatter into a buffer of `capacity` that was full of garbage.
template <typename Format> std::wstring formatted(size_t capacity, Format format) {
    wchar_t text[64];
    for (wchar_t& c : text) c = L'#';
    format(text, capacity);
    return text;
}

TEST(list_texts, slot_lines_are_the_number_in_two_digits_and_the_cut_caption) {
    const struct {
        size_t slot;
        const wchar_t* caption;
        size_t capacity;
        const wchar_t* expected;
    } cases[] = {
        {0, L"Speakers", 64, L"00: Speakers"},
        {15, nullptr, 64, L"15: "},
        {123, L"x", 64, L"123: x"},
        {1, L"abcdefgh", 8, L"01: abc"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(
            formatted(c.capacity,
                      [&](wchar_t* t, size_t n) { format_slot_text(c.slot, c.caption, t, n); }),
            c.expected);
}

TEST(list_texts, a_chosen_control_without_a_name_keeps_the_slot_used) {
    const struct {
        const wchar_t *proposed, *previous, *device;
        size_t capacity;
        const wchar_t* expected;
    } cases[] = {
        {L"CD Audio", L"Old", L"Speakers", 64, L"CD Audio"},
        {L"", L"Old", L"Speakers", 64, L"Old"},
        {L"", L"", L"USB Headset", 64, L"#USB Headset"},
        {nullptr, nullptr, nullptr, 64, L"#"},
        {L"", L"", L"Speakers", 5, L"#Spe"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formatted(c.capacity,
                            [&](wchar_t* t, size_t n) {
                                caption_after_selection(c.proposed, c.previous, c.device, t, n);
                            }),
                  c.expected);
}

TEST(list_texts, file_version_is_major_minor_build_of_the_fixed_version) {
    const struct {
        uint32_t ms, ls;
        size_t capacity;
        const wchar_t* expected;
    } cases[] = {
        {0x00040001, 0x00020003, 64, L"4.1.2"}, // the revision (3) is not shown
        {0xFFFF0000, 0xFFFFFFFF, 64, L"65535.0.65535"},
        {0x0003000E, 0x000F005C, 5, L"3.14"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formatted(c.capacity,
                            [&](wchar_t* t, size_t n) { format_file_version(c.ms, c.ls, t, n); }),
                  c.expected);
}

TEST(list_texts, plugin_information_and_version_string_keys) {
    EXPECT_EQ(
        formatted(64, [](wchar_t* t,
                         size_t n) { format_plugin_info(L"Lock", L"4.1.0", L"(C) Q", t, n); }),
        L"Lock ver.4.1.0\r\n(C) Q");
    EXPECT_EQ(formatted(64, [](wchar_t* t,
                               size_t n) { format_plugin_info(nullptr, L"1.2.3", nullptr, t, n); }),
              L" ver.1.2.3\r\n");
    EXPECT_EQ(formatted(12, [](wchar_t* t,
                               size_t n) { format_plugin_info(L"Long", L"1.0.0", L"(C)", t, n); }),
              L"Long ver.1.");
    EXPECT_EQ(formatted(64,
                        [](wchar_t* t, size_t n) {
                            format_version_string_key(0x0409, 1200, L"FileDescription", t, n);
                        }),
              L"\\StringFileInfo\\040904b0\\FileDescription");
    EXPECT_EQ(
        formatted(64, [](wchar_t* t,
                         size_t n) { format_version_string_key(0xFFFF, 0xABCD, L"X", t, n); }),
        L"\\StringFileInfo\\ffffabcd\\X");
}

TEST(join_plugin_path, one_separator_and_refuses_what_does_not_fit) {
    const struct {
        const wchar_t* folder;
        const wchar_t* name;
        size_t capacity;
        const wchar_t* expected; // empty: refused
    } cases[] = {
        {L"C:\\q\\plugin", L"lockvol.dll", 261, L"C:\\q\\plugin\\lockvol.dll"},
        {L"C:\\q\\plugin\\", L"lockvol.dll", 261, L"C:\\q\\plugin\\lockvol.dll"},
        {L"C:\\p", L"a.dll", 11, L"C:\\p\\a.dll"}, // 10 characters and the end
        {L"C:\\p", L"a.dll", 10, L""},
        {L"C:\\p", L"", 261, L""},
        {nullptr, L"a.dll", 261, L""},
    };
    for (const auto& c : cases) {
        wchar_t path[261];
        for (wchar_t& ch : path) ch = L'#';
        EXPECT_EQ(join_plugin_path(c.folder, c.name, path, c.capacity), c.expected[0] != L'\0');
        EXPECT_STREQ(path, c.expected);
    }
    // A name too long for the buffer would be cut into another file's name.
    const std::wstring long_name = std::wstring(240, L'n') + L".dll";
    wchar_t path[261];
    EXPECT_FALSE(
        join_plugin_path(L"C:\\users\\someone\\Quellbar\\plugin", long_name.c_str(), path, 261));
}

} // namespace
