// The window mover's grid steps and the text of its position file.

#include "plugins/zuvogrid/grid.h"
#include "plugins/zuvogrid/positions.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using namespace zuvogrid;

namespace {

using enum grid_action;

struct grid_case {
    const char* what;
    grid_action action;
    grid_rect before;
    uint32_t step_x, step_y;
    bool fit;
    grid_rect after;
};

// Work area 1920 x 1040 throughout.
// clang-format off
const grid_case grid_cases[] = {
    {"fit: up from 100 to the line at 96", move_up, {0, 100, 400, 300}, 64, 48, true, {0, 96, 400, 300}},
    {"fit: up from a line goes a full step", move_up, {0, 96, 400, 300}, 64, 48, true, {0, 48, 400, 300}},
    {"fit: down from 100 to 144", move_down, {0, 100, 400, 300}, 64, 48, true, {0, 144, 400, 300}},
    {"fit: left from 100 to 64", move_left, {100, 0, 400, 300}, 64, 48, true, {64, 0, 400, 300}},
    {"fit: right from 100 to 128", move_right, {100, 0, 400, 300}, 64, 48, true, {128, 0, 400, 300}},
    {"no fit: up from 30 clamps at 0", move_up, {0, 30, 400, 300}, 64, 48, false, {0, 0, 400, 300}},
    {"no fit: down a full step", move_down, {0, 30, 400, 300}, 64, 48, false, {0, 78, 400, 300}},
    {"no fit: left from 30 clamps at 0", move_left, {30, 0, 400, 300}, 64, 48, false, {0, 0, 400, 300}},
    {"down past the bottom: bottom on the edge", move_down, {0, 760, 400, 300}, 64, 48, true, {0, 740, 400, 300}},
    {"right past the right: right on the edge", move_right, {1430, 0, 500, 300}, 64, 48, true, {1420, 0, 500, 300}},
    {"fit: height 100 shrinks to 48", resize_up, {0, 0, 400, 100}, 64, 48, true, {0, 0, 400, 48}},
    {"fit: height 100 grows to 192", resize_down, {0, 0, 400, 100}, 64, 48, true, {0, 0, 400, 192}},
    {"fit: height 96 shrinks to 48", resize_up, {0, 0, 400, 96}, 64, 48, true, {0, 0, 400, 48}},
    {"fit: height 96 grows to 144", resize_down, {0, 0, 400, 96}, 64, 48, true, {0, 0, 400, 144}},
    {"fit: width 100 shrinks to 64", resize_left, {0, 0, 100, 300}, 64, 48, true, {0, 0, 64, 300}},
    {"fit: width 100 grows to 192", resize_right, {0, 0, 100, 300}, 64, 48, true, {0, 0, 192, 300}},
    {"no fit: height grows a full step", resize_down, {0, 0, 400, 100}, 64, 48, false, {0, 0, 400, 148}},
    {"no fit: height shrinks a full step", resize_up, {0, 0, 400, 100}, 64, 48, false, {0, 0, 400, 52}},
    {"grow beyond the work area from y 20", resize_down, {0, 20, 400, 1000}, 64, 48, true, {0, 0, 400, 1040}},
    {"grow beyond the work area from x 10", resize_right, {10, 0, 1900, 300}, 64, 48, true, {0, 0, 1920, 300}},
    {"grow near the bottom pushes up", resize_down, {0, 900, 400, 100}, 64, 48, true, {0, 848, 400, 192}},
    {"shrink stops at one step", resize_up, {0, 0, 400, 48}, 64, 48, true, {0, 0, 400, 48}},
    {"shrink below one step stops at it", resize_up, {0, 0, 400, 60}, 64, 48, false, {0, 0, 400, 48}},
    {"smaller than a step keeps its size", resize_left, {0, 0, 30, 300}, 64, 48, true, {0, 0, 30, 300}},
    {"step 0 acts as 1: up", move_up, {0, 100, 400, 300}, 64, 0, true, {0, 99, 400, 300}},
    {"step 0 acts as 1: down", move_down, {0, 100, 400, 300}, 64, 0, true, {0, 101, 400, 300}},
    {"step 0 acts as 1: right", move_right, {100, 0, 400, 300}, 0, 48, true, {101, 0, 400, 300}},
    {"step 0 acts as 1: shrink", resize_up, {0, 0, 400, 100}, 64, 0, true, {0, 0, 400, 99}},
    {"step 0 acts as 1: grow", resize_right, {0, 0, 100, 300}, 0, 48, false, {0, 0, 101, 300}},
    {"above the work area: down to the line at 0", move_down, {0, -10, 400, 300}, 64, 48, true, {0, 0, 400, 300}},
    {"huge step: down clamps at the bottom", move_down, {0, 100, 400, 300}, 64, 4294967295u, true, {0, 740, 400, 300}},
    {"huge step: grow fills the work area", resize_down, {0, 100, 400, 300}, 64, 4294967295u, true, {0, 0, 400, 1040}},
};
// clang-format on

TEST(zuvogrid_grid, table) {
    for (const grid_case& c : grid_cases) {
        const grid_rect r = apply_grid(c.action, c.before, 1920, 1040, {c.step_x, c.step_y, c.fit});
        EXPECT_EQ(r.x, c.after.x) << c.what;
        EXPECT_EQ(r.y, c.after.y) << c.what;
        EXPECT_EQ(r.width, c.after.width) << c.what;
        EXPECT_EQ(r.height, c.after.height) << c.what;
    }
}

struct borders_case {
    const char* what;
    grid_rect window, frame;
    bool trusted;
    frame_borders borders;
};

// clang-format off
const borders_case borders_cases[] = {
    {"Windows 10: 7 undrawn pixels left, right and below", {-7, 0, 814, 607}, {0, 0, 800, 600}, true, {7, 0, 7, 7}},
    {"the frame is the rectangle: no borders", {10, 20, 300, 200}, {10, 20, 300, 200}, true, {0, 0, 0, 0}},
    {"a frame sticking out is not trusted", {0, 0, 300, 200}, {-1, 0, 302, 200}, false, {0, 0, 0, 0}},
    {"a frame below the rectangle is not trusted", {0, 0, 300, 200}, {0, 10, 300, 200}, false, {0, 0, 0, 0}},
    {"an empty frame is not trusted", {0, 0, 300, 200}, {5, 5, 0, 0}, false, {0, 0, 0, 0}},
    {"far out on a second monitor", {1913, -300, 814, 607}, {1920, -300, 800, 600}, true, {7, 0, 7, 7}},
};
// clang-format on

TEST(zuvogrid_frame, borders_table) {
    for (const borders_case& c : borders_cases) {
        const frame_borders b = borders_between(c.window, c.frame);
        EXPECT_EQ(b.left, c.borders.left) << c.what;
        EXPECT_EQ(b.top, c.borders.top) << c.what;
        EXPECT_EQ(b.right, c.borders.right) << c.what;
        EXPECT_EQ(b.bottom, c.borders.bottom) << c.what;
        if (c.trusted) {
            // Asking for the frame where it is asks for the window's own rectangle.
            const grid_rect asked = with_borders(c.frame, b);
            EXPECT_EQ(asked.x, c.window.x) << c.what;
            EXPECT_EQ(asked.y, c.window.y) << c.what;
            EXPECT_EQ(asked.width, c.window.width) << c.what;
            EXPECT_EQ(asked.height, c.window.height) << c.what;
        }
    }
}

// A step right from the work area's left edge puts the frame on the line at
// 64: the window is asked 7 pixels left of it; damaged values saturate.
TEST(zuvogrid_frame, a_grid_step_puts_the_visible_frame_on_the_line) {
    const frame_borders b{7, 0, 7, 7};
    const grid_rect frame = without_borders({-7, 0, 814, 607}, b);
    const grid_rect asked = with_borders(apply_grid(move_right, frame, 1920, 1040, {}), b);
    EXPECT_EQ(asked.x, 57);
    EXPECT_EQ(asked.width, 814);
    EXPECT_EQ(with_borders({INT32_MIN, 0, INT32_MAX, 10}, b).x, INT32_MIN);
}

struct parse_case {
    std::wstring value;
    bool loads;
    std::wstring class_name;
    position_record record;
};

const parse_case parse_cases[] = {
    {L"\"Notepad\", 1, -800, 0, 800, 600", true, L"Notepad", {1, -800, 0, 800, 600}},
    {L"\"Notepad\",1,-800,0,800,600", true, L"Notepad", {1, -800, 0, 800, 600}},
    {L"\"Notepad\"\t,\t1 ,\t-800 , 0,800,  600", true, L"Notepad", {1, -800, 0, 800, 600}},
    {L"Notepad , 1, -800, 0, 800, 600", true, L"Notepad", {1, -800, 0, 800, 600}},
    {L"Notepad\t, 2, 3, 4, 5, 6", true, L"Notepad", {2, 3, 4, 5, 6}},
    {L"Notepad;, 2, 3, 4, 5, 6", true, L"Notepad", {2, 3, 4, 5, 6}},
    {L"Notepad, 1, -800, 0, 800, 600", false, L"", {}},
    {L"\"My Class\", 3, +10, -20, +30, -40", true, L"My Class", {3, 10, -20, 30, -40}},
    {L"\"Notepad\", 1, -800, 0, 800", false, L"", {}},
    {L"\"Notepad\" 1, -800, 0, 800, 600", false, L"", {}},
    {L"\"Notepad\", 1, -800 0, 800, 600", false, L"", {}},
    {L"\"Notepad\", +1, -800, 0, 800, 600", false, L"", {}},
    {L"\"Notepad, 1, -800, 0, 800, 600", false, L"", {}},
    {L"\"A\", , -, +, , 8", true, L"A", {0, 0, 0, 0, 8}},
    {L"\"A\", 0, 1, 2, 3, 4xyz", true, L"A", {0, 1, 2, 3, 4}},
    {L"\"A\", 0, 99999999999, -99999999999, 0, 0", true, L"A", {0, 2147483647, -2147483648, 0, 0}},
    {L"\"A\", 4, 0, 0, 0, 0", false, L"", {}},
    {L"\"メモ帳\", 2, 10, -990, 640, 480", true, L"メモ帳", {2, 10, -990, 640, 480}},
    {L"", false, L"", {}},
    // The longest value the plug-in writes comes back whole.
    {L"\"" + std::wstring(63, L'n') + L"\", 3, -2147483648, -2147483648, -2147483648, -2147483648",
     true,
     std::wstring(63, L'n'),
     {3, INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN}},
    // 129 characters: the cut at 127 shortens the last number; the name
    // keeps its first 63.
    {L"\"" + std::wstring(107, L'n') + L"\", 0, 0, 0, 0, 123456",
     true,
     std::wstring(63, L'n'),
     {0, 0, 0, 0, 1234}},
    // The cut leaves the first comma only.
    {L"\"" + std::wstring(124, L'n') + L"\", 0, 0, 0, 0, 1", false, L"", {}},
};

TEST(zuvogrid_positions, parse_table) {
    for (const parse_case& c : parse_cases) {
        std::wstring name = L"untouched";
        position_record r{};
        const bool loaded = parse_position_value(c.value, name, r);
        EXPECT_EQ(loaded, c.loads) << testing::PrintToString(c.value);
        if (!loaded || !c.loads) continue;
        EXPECT_EQ(name, c.class_name) << testing::PrintToString(c.value);
        EXPECT_EQ(r.corner, c.record.corner) << testing::PrintToString(c.value);
        EXPECT_EQ(r.x, c.record.x) << testing::PrintToString(c.value);
        EXPECT_EQ(r.y, c.record.y) << testing::PrintToString(c.value);
        EXPECT_EQ(r.width, c.record.width) << testing::PrintToString(c.value);
        EXPECT_EQ(r.height, c.record.height) << testing::PrintToString(c.value);
    }
}

// A section of the file as key → value.
using section = std::map<std::wstring, std::wstring>;

position_list load(const section& file) {
    return load_positions([&](const std::wstring& key, std::wstring& value) {
        const auto it = file.find(key);
        if (it == file.end()) return false;
        value = it->second;
        return true;
    });
}

// "Class:h,h Class:h" — class names with their records' heights.
std::wstring listed(const position_list& list) {
    std::wstring text;
    for (const position_entry& e : list) {
        text += (text.empty() ? L"" : L" ") + e.class_name + L":";
        for (size_t i = 0; i < e.records.size(); ++i)
            text += (i ? L"," : L"") + std::to_wstring(e.records[i].height);
    }
    return text;
}

TEST(zuvogrid_positions, load_sorts_by_class_and_keeps_record_order) {
    const section file = {{L"0", L"\"b\", 0, 0, 0, 0, 1"}, {L"1", L"\"B\", 0, 0, 0, 0, 2"},
                          {L"2", L"\"b\", 0, 0, 0, 0, 3"}, {L"3", L"bad, 0, 0, 0, 0, 4"},
                          {L"4", L"\"Z\", 0, 0, 0, 0, 5"}, {L"5", L"\"b\", 0, 0, 0, 0, 6"},
                          {L"7", L"\"A\", 0, 0, 0, 0, 7"}};
    EXPECT_EQ(listed(load(file)), L"B:2 Z:5 b:1,3,6");
}

TEST(zuvogrid_positions, key_0_missing_loads_nothing) {
    const section file = {{L"1", L"\"A\", 0, 0, 0, 0, 1"}, {L"2", L"\"A\", 0, 0, 0, 0, 2"}};
    EXPECT_TRUE(load(file).empty());
}

TEST(zuvogrid_positions, at_most_4096_keys) {
    section file;
    for (int n = 0; n <= 4096; ++n)
        file[std::to_wstring(n)] = L"\"A\", 0, 0, 0, 0, " + std::to_wstring(n);
    const position_list list = load(file);
    ASSERT_EQ(list.size(), 1u);
    ASSERT_EQ(list[0].records.size(), 4096u);
    EXPECT_EQ(list[0].records[4095].height, 4095);
}

TEST(zuvogrid_positions, save_then_load_with_japanese_class_names) {
    position_list list;
    add_position(list, L"メモ帳", {3, -640, -480, 640, 480});
    add_position(list, L"Notepad", {1, -800, 0, 800, 600});
    add_position(list, L"ノートパッド", {0, 100, 50, 300, 200});
    add_position(list, L"メモ帳", {2, 0, -990, 1920, 50});
    sort_positions(list);

    const auto values = save_positions(list);
    const std::vector<std::pair<std::wstring, std::wstring>> expected = {
        {L"0", L"\"Notepad\", 1, -800, 0, 800, 600"},
        {L"1", L"\"ノートパッド\", 0, 100, 50, 300, 200"},
        {L"2", L"\"メモ帳\", 3, -640, -480, 640, 480"},
        {L"3", L"\"メモ帳\", 2, 0, -990, 1920, 50"},
    };
    EXPECT_EQ(values, expected);

    const position_list back = load(section(values.begin(), values.end()));
    EXPECT_EQ(listed(back), L"Notepad:600 ノートパッド:200 メモ帳:480,50");
    const position_entry* memo = find_positions(back, L"メモ帳");
    ASSERT_NE(memo, nullptr);
    EXPECT_EQ(memo->records[1].corner, 2u);
    EXPECT_EQ(memo->records[1].x, 0);
    EXPECT_EQ(memo->records[1].y, -990);
    EXPECT_EQ(memo->records[1].width, 1920);
    EXPECT_EQ(find_positions(back, L"メモ"), nullptr);
}

TEST(zuvogrid_positions, corners_measure_the_same_place) {
    // 1920 x 1040 work area; a window at x 100, y 50 from the top left.
    const position_record top_left{0, 100, 50, 640, 480};
    const struct {
        uint32_t corner;
        int32_t x, y;
    } cases[] = {{3, -1820, -990}, {1, -1820, 50}, {2, 100, -990}, {0, 100, 50}};
    for (const auto& c : cases) {
        const position_record r = measured_from(top_left, c.corner, 1920, 1040);
        EXPECT_EQ(r.corner, c.corner);
        EXPECT_EQ(r.x, c.x) << c.corner;
        EXPECT_EQ(r.y, c.y) << c.corner;
        EXPECT_EQ(r.width, 640);
        const position_record back = measured_from(r, 0, 1920, 1040);
        EXPECT_EQ(back.x, 100) << c.corner;
        EXPECT_EQ(back.y, 50) << c.corner;
    }
    // A damaged file's offsets saturate instead of wrapping round.
    EXPECT_EQ(measured_from({1, INT32_MIN, 0, 1, 1}, 0, 1920, 1040).x, INT32_MIN + 1920);
    EXPECT_EQ(measured_from({0, INT32_MIN, 0, 1, 1}, 1, 1920, 1040).x, INT32_MIN);
}

TEST(zuvogrid_positions, delete_and_reorder_records) {
    position_list list;
    for (int32_t h : {1, 2, 3}) add_position(list, L"A", {0, 0, 0, 0, h});
    add_position(list, L"B", {0, 0, 0, 0, 9});
    EXPECT_TRUE(swap_with_next(list, L"A", 1));
    EXPECT_FALSE(swap_with_next(list, L"A", 2)) << "the last record has no next";
    EXPECT_EQ(listed(list), L"A:1,3,2 B:9");
    EXPECT_TRUE(remove_position(list, L"A", 0));
    EXPECT_FALSE(remove_position(list, L"A", 2));
    EXPECT_FALSE(remove_position(list, L"C", 0));
    EXPECT_EQ(listed(list), L"A:3,2 B:9");
    // A class without records leaves the list, and so the file.
    EXPECT_TRUE(remove_position(list, L"B", 0));
    EXPECT_EQ(listed(list), L"A:3,2");
    EXPECT_EQ(save_positions(list).size(), 2u);
}

} // namespace
