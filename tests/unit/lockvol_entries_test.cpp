// The mixer lock's list of registered controls and the dialog's edits on it.

#include "plugins/lockvol/lock_entries.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace lockvol;

namespace {

lock_entry entry(const std::wstring& mixer, int32_t destination, int32_t source,
                 int32_t volume = 100) {
    lock_entry e;
    e.mixer = mixer;
    e.destination = destination;
    e.source = source;
    e.volume = volume;
    return e;
}

// The list as "mixer/source:volume" words, for readable comparisons.
std::wstring listed(const std::vector<lock_entry>& entries) {
    std::wstring text;
    for (const auto& e : entries)
        text += (text.empty() ? L"" : L" ") + e.mixer + L"/" + std::to_wstring(e.source) + L":" +
                std::to_wstring(e.volume);
    return text;
}

TEST(lockvol_entries, identity_is_mixer_destination_and_source_exactly) {
    const lock_entry base = entry(L"Speakers", 0, 2);
    lock_entry other_fields = base;
    other_fields.balance = -20;
    other_fields.volume = 5;
    other_fields.zuvo_control = true;
    EXPECT_TRUE(same_control(base, other_fields));
    EXPECT_FALSE(same_control(base, entry(L"speakers", 0, 2))) << "case counts";
    EXPECT_FALSE(same_control(base, entry(L"Speakers ", 0, 2)));
    EXPECT_FALSE(same_control(base, entry(L"Speakers", 1, 2)));
    EXPECT_FALSE(same_control(base, entry(L"Speakers", 0, -1)));
}

TEST(lockvol_entries, old_count_is_read_from_the_leading_digits) {
    const std::pair<const wchar_t*, uint32_t> table[] = {
        {L"", 0}, {L"3", 3}, {L"12ab", 12}, {L"-4", 0}, {L" 5", 0}, {L"007", 7}, {nullptr, 0}};
    for (const auto& [text, expected] : table)
        EXPECT_EQ(leading_count(text), expected) << (text ? text : L"(null)");
    EXPECT_GT(leading_count(L"99999999999999999999"), 100000000u) << "huge stays huge, no wrap";
}

TEST(lockvol_entries, adding_the_same_control_overwrites_and_a_new_one_appends) {
    std::vector<lock_entry> entries{entry(L"A", 0, -1, 10), entry(L"B", 0, -1, 20)};
    int current = -1;
    add_or_update(entries, entry(L"B", 0, -1, 25), current);
    EXPECT_EQ(listed(entries), L"A/-1:10 B/-1:25");
    EXPECT_EQ(current, 1);
    add_or_update(entries, entry(L"B", 0, 3, 30), current);
    EXPECT_EQ(listed(entries), L"A/-1:10 B/-1:25 B/3:30");
    EXPECT_EQ(current, 2);
}

TEST(lockvol_entries, delete_and_moves_keep_the_current_index_inside_the_list) {
    struct step {
        const char* action;
        int current_before;
        const wchar_t* list_after;
        int current_after;
    } table[] = {
        {"delete", 0, L"B/-1:100 C/-1:100", 0},
        {"delete", 2, L"A/-1:100 B/-1:100", -1},
        {"delete", -1, L"A/-1:100 B/-1:100 C/-1:100", -1},
        {"up", 0, L"A/-1:100 B/-1:100 C/-1:100", 0},
        {"up", 2, L"A/-1:100 C/-1:100 B/-1:100", 1},
        {"down", 2, L"A/-1:100 B/-1:100 C/-1:100", 2},
        {"down", 0, L"B/-1:100 A/-1:100 C/-1:100", 1},
        {"down", -1, L"A/-1:100 B/-1:100 C/-1:100", -1},
    };
    for (const auto& s : table) {
        SCOPED_TRACE(std::string(s.action) + " at " + std::to_string(s.current_before));
        std::vector<lock_entry> entries{entry(L"A", 0, -1), entry(L"B", 0, -1), entry(L"C", 0, -1)};
        int current = s.current_before;
        if (std::string(s.action) == "delete")
            remove_current(entries, current);
        else
            move_current(entries, current, std::string(s.action) == "up" ? -1 : 1);
        EXPECT_EQ(listed(entries), s.list_after);
        EXPECT_EQ(current, s.current_after);
    }
}

TEST(lockvol_entries, a_selection_takes_the_listed_entry_or_fresh_values) {
    lock_entry listed_b = entry(L"B", 0, 1, 40);
    listed_b.mute = true;
    listed_b.zuvo_control = true;
    const std::vector<lock_entry> entries{entry(L"A", 0, -1, 10), listed_b};

    lock_entry edited = entry(L"A", 0, -1, 77);
    edited.keep_startup_state = true;
    // Listed at another index: that entry, with the balance just chosen.
    EXPECT_EQ(apply_selection(entries, 0, edited, L"B", 0, 1, -20), 1);
    EXPECT_EQ(edited.volume, 40);
    EXPECT_TRUE(edited.mute && edited.zuvo_control);
    EXPECT_EQ(edited.balance, -20);
    // The current one: the edits so far stay.
    edited.volume = 55;
    EXPECT_EQ(apply_selection(entries, 1, edited, L"B", 0, 1, 30), 1);
    EXPECT_EQ(edited.volume, 55);
    EXPECT_EQ(edited.balance, 30);
    // Not listed: fresh values, none current.
    EXPECT_EQ(apply_selection(entries, 1, edited, L"C", 0, 2, 0), -1);
    EXPECT_EQ(edited.mixer, L"C");
    EXPECT_EQ(edited.volume, 100);
    EXPECT_FALSE(edited.mute || edited.zuvo_control || edited.keep_startup_state);
}

} // namespace
