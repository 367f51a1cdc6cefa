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

// Every session of a program on a device.
lock_entry program(const std::wstring& mixer, const std::wstring& application,
                   int32_t volume = 100) {
    lock_entry e = entry(mixer, 0, application_source, volume);
    e.application = application;
    return e;
}

// The list as "mixer/source:volume" words ("mixer/program:volume" for a
// program), for readable comparisons.
std::wstring listed(const std::vector<lock_entry>& entries) {
    std::wstring text;
    for (const auto& e : entries)
        text += (text.empty() ? L"" : L" ") + e.mixer + L"/" +
                (e.application.empty() ? std::to_wstring(e.source) : e.application) + L":" +
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

    // A program: its device and its file name, whose letters' case the
    // audio system ignores; never a line, whatever the line's numbers.
    const lock_entry player = program(L"Speakers", L"player.exe");
    lock_entry hand_edited = program(L"Speakers", L"Player.EXE", 5);
    hand_edited.destination = 1;
    hand_edited.source = 3;
    const struct {
        lock_entry other;
        bool same;
    } rows[] = {{hand_edited, true},
                {program(L"Speakers", L"player.exe "), false},
                {program(L"Speakers", L"other.exe"), false},
                {program(L"Microphone", L"player.exe"), false},
                {program(L"", L"player.exe"), false},
                {entry(L"Speakers", 0, application_source), false},
                {entry(L"Speakers", 0, -1), false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(listed({row.other}));
        EXPECT_EQ(same_control(player, row.other), row.same);
        EXPECT_EQ(same_control(row.other, player), row.same);
    }
}

TEST(lockvol_entries, old_count_is_read_from_the_leading_digits) {
    const std::pair<const wchar_t*, uint32_t> table[] = {
        {L"", 0}, {L"3", 3}, {L"12ab", 12}, {L"-4", 0}, {L" 5", 0}, {L"007", 7}, {nullptr, 0}};
    for (const auto& [text, expected] : table)
        EXPECT_EQ(leading_count(text), expected) << (text ? text : L"(null)");
    EXPECT_GT(leading_count(L"99999999999999999999"), 100000000u) << "huge stays huge, no wrap";
}

TEST(lockvol_entries, adding_the_same_control_overwrites_and_a_new_one_appends_up_to_100) {
    std::vector<lock_entry> entries{entry(L"A", 0, -1, 10), entry(L"B", 0, -1, 20)};
    int current = -1;
    EXPECT_TRUE(add_or_update(entries, entry(L"B", 0, -1, 25), current));
    EXPECT_EQ(listed(entries), L"A/-1:10 B/-1:25");
    EXPECT_EQ(current, 1);
    EXPECT_TRUE(add_or_update(entries, entry(L"B", 0, 3, 30), current));
    EXPECT_EQ(listed(entries), L"A/-1:10 B/-1:25 B/3:30");
    EXPECT_EQ(current, 2);

    for (int32_t source = 4; entries.size() < 100; ++source)
        ASSERT_TRUE(add_or_update(entries, entry(L"B", 0, source), current));
    EXPECT_FALSE(add_or_update(entries, entry(L"C", 0, -1), current)) << "a 101st";
    EXPECT_TRUE(add_or_update(entries, entry(L"A", 0, -1, 5), current)) << "an update still";
    EXPECT_EQ(listed({entries[0]}) + L" " + std::to_wstring(entries.size()), L"A/-1:5 100");
}

// Devices as the audio system names them: "" where the control did not open.
TEST(lockvol_entries, the_first_entry_of_a_control_wins_whatever_its_name) {
    const std::vector<lock_entry> entries{entry(L"", 0, -1),
                                          entry(L"Speakers", 0, -1),
                                          entry(L"Speakers", 0, 2),
                                          entry(L"Speak", 0, -1),
                                          entry(L"Speakers", 1, -1),
                                          entry(L"Gone", 0, -1),
                                          entry(L"Gone", 0, -1),
                                          program(L"", L"player.exe"),
                                          program(L"Speakers", L"PLAYER.exe"),
                                          program(L"Speakers", L"other.exe"),
                                          entry(L"Speakers", 0, application_source),
                                          program(L"Microphone", L"player.exe")};
    const std::vector<std::wstring> devices{L"Speakers", L"Speakers", L"Speakers", L"Speakers",
                                            L"Speakers", L"",         L"",         L"Speakers",
                                            L"Speakers", L"Speakers", L"Speakers", L"Microphone"};
    EXPECT_EQ(earlier_same_control(entries, devices),
              (std::vector<int>{-1, 0, -1, 0, -1, -1, -1, -1, 7, -1, -1, -1}));
    EXPECT_EQ(earlier_same_control(entries, {}), std::vector<int>(entries.size(), -1));
}

// A write-back asked for at each time, and the guard's answer.
TEST(lockvol_entries, a_fight_is_left_alone_after_five_writes_in_a_second_for_ten_seconds) {
    using verdict = fight_guard::verdict;
    const struct {
        uint64_t now;
        verdict expected;
    } steps[] = {
        {1000, verdict::write},
        {1100, verdict::write},
        {1200, verdict::write},
        {1300, verdict::write},
        {1400, verdict::write},
        {1999, verdict::given_up_now},
        {2000, verdict::left_alone},
        {11998, verdict::left_alone},
        {11999, verdict::write},
        // Spaced out, as a user dragging a slider now and then: never given up.
        {12300, verdict::write},
        {12600, verdict::write},
        {12900, verdict::write},
        {13200, verdict::write},
        {13500, verdict::write},
        {13800, verdict::write},
    };
    fight_guard guard;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.now);
        EXPECT_EQ(guard.ask(step.now), step.expected);
    }
    EXPECT_EQ(guard.paused_until(), 11999u);
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

// The selection's program against a list with a line and a program of one
// device: the program's entry, a fresh program, or back to a line.
TEST(lockvol_entries, a_selection_of_a_program_takes_its_entry_and_a_line_drops_the_program) {
    const std::vector<lock_entry> entries{entry(L"B", 0, -1, 10), program(L"B", L"player.exe", 30)};
    const struct {
        const wchar_t* application;
        int32_t source; // as the selection gives it
        int expected_current;
        const wchar_t* expected; // the edit record as listed() shows it
        int32_t expected_source;
    } rows[] = {
        {L"Player.exe", application_source, 1, L"B/player.exe:30", application_source},
        {L"player.exe", -1, 1, L"B/player.exe:30", application_source},
        {L"other.exe", application_source, -1, L"B/other.exe:100", application_source},
        {L"", -1, 0, L"B/-1:10", -1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.application);
        lock_entry edited = program(L"B", L"old.exe", 77);
        EXPECT_EQ(apply_selection(entries, -1, edited, L"B", 0, row.source, 0, row.application),
                  row.expected_current);
        EXPECT_EQ(listed({edited}), row.expected);
        EXPECT_EQ(edited.source, row.expected_source);
    }
}

} // namespace
