// The plug-in host in a running zuvo.exe, watched and driven through the
// probe plug-in: loading and its failures, indexes and commands, the message
// hook, menu items, delayed commands, tips requests and release order.

#include "tests/support/files.h"
#include "tests/support/harness.h"
#include "tests/support/probe.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace test_support;
using namespace std::chrono_literals;
namespace pp = probe_protocol;

namespace {

constexpr WPARAM exit_command = 0x0504;
constexpr WPARAM popup_command = 0x0584;

// Events the probe `name` received, in order, without those of probe_sync.
std::vector<uint64_t> event_codes(const program_folder& folder, const std::wstring& name = L"") {
    std::vector<uint64_t> codes;
    for (const auto& record : probe_records(folder, L"event", name)) {
        const uint64_t code = record.number(0);
        if (code != pp::sync && code != pp::sync_done) codes.push_back(code);
    }
    return codes;
}

// WM_COMMAND wParams the probe's hook saw.
std::vector<uint64_t> seen_commands(const program_folder& folder, const std::wstring& name = L"") {
    std::vector<uint64_t> commands;
    for (const auto& record : probe_records(folder, L"msg", name))
        if (record.number(0) == WM_COMMAND) commands.push_back(record.number(1));
    return commands;
}

bool contains(const std::vector<uint64_t>& values, uint64_t value) {
    return std::find(values.begin(), values.end(), value) != values.end();
}

TEST(plugin_host, first_plugin_that_fails_is_named_once_and_stops_loading) {
    program_folder folder;
    ASSERT_TRUE(install_probe(folder, L"probe.dll"));
    ASSERT_TRUE(install_probe(folder, L"probe_c.dll"));
    folder.write_ini(L"zuvo.ini", plugin_section({L"missing.dll", L"probe.dll", L"probe_c.dll"}));
    zuvo_process zuvo(folder, {.wait_for_loop = false});
    ASSERT_TRUE(zuvo.window());
    auto box = wait_for_message_box(L"Quellbar", zuvo.proc().id());
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, L"failed to load plugin missing.dll");
    ASSERT_TRUE(close_message_box(box->window));
    ASSERT_TRUE(zuvo.sync());
    EXPECT_FALSE(has_message_box(zuvo.proc().id()));
    // Neither valid plug-in behind it was entered, and commands for them do nothing.
    zuvo.post_command(probe_command(1, 0x11));
    ASSERT_TRUE(zuvo.sync());
    EXPECT_TRUE(probe_records(folder, L"entry").empty());
    EXPECT_TRUE(zuvo.proc().running());
    EXPECT_EQ(zuvo.exit(), 0u);
    EXPECT_TRUE(probe_records(folder, L"release").empty());
}

TEST(plugin_host, library_without_entry_is_refused_by_name_and_freed_at_exit) {
    program_folder folder;
    ASSERT_TRUE(install_probe(folder, L"probe_a.dll"));
    ASSERT_TRUE(install_probe(folder, L"notaplugin.dll", {}, probe_library_without_entry()));
    ASSERT_TRUE(install_probe(folder, L"probe_c.dll"));
    folder.write_ini(L"zuvo.ini",
                     plugin_section({L"probe_a.dll", L"notaplugin.dll", L"probe_c.dll"}));
    zuvo_process zuvo(folder, {.wait_for_loop = false});
    ASSERT_TRUE(zuvo.window());
    auto box = wait_for_message_box(L"Quellbar", zuvo.proc().id());
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, L"failed to load plugin notaplugin.dll");
    ASSERT_TRUE(close_message_box(box->window));
    ASSERT_TRUE(probe_sync(zuvo, folder, 0));
    EXPECT_EQ(probe_names(folder, L"entry"), (std::vector<std::wstring>{L"probe_a"}));
    EXPECT_EQ(zuvo.exit(), 0u);
    // It stayed loaded, so it is released like the others.
    EXPECT_EQ(probe_names(folder, L"release"),
              (std::vector<std::wstring>{L"notaplugin", L"probe_a"}));
}

TEST(plugin_host, empty_name_keeps_its_index_and_commands_reach_the_plugin) {
    program_folder folder;
    ASSERT_TRUE(install_probe(folder, L"probe.dll", {L"Log=0x111"}));
    folder.write_ini(L"zuvo.ini", plugin_section({L"", L"probe.dll"}));
    zuvo_process zuvo(folder);
    ASSERT_TRUE(zuvo.window());
    ASSERT_TRUE(wait_for_probe_records(folder, L"entry", 1));
    const auto entry = probe_records(folder, L"entry").front();
    EXPECT_EQ(entry.number(0), 1u);
    EXPECT_EQ(entry.number(1), reinterpret_cast<uintptr_t>(zuvo.window()));
    EXPECT_EQ(entry.number(2), 1u) << "zuvo.exe offers ZUVO_keyreg";

    zuvo.post_command(0x12340601);
    zuvo.post_command(0xFFFF0601);
    // Slot 0 is empty, slot 2 does not exist: both commands do nothing.
    zuvo.post_command(probe_command(0, 0x77));
    zuvo.post_command(probe_command(2, 0x78));
    ASSERT_TRUE(probe_sync(zuvo, folder, 1));
    EXPECT_EQ(event_codes(folder), (std::vector<uint64_t>{0x1234, 0xFFFF}));
    // The hook saw them all, the host's own commands included.
    const auto seen = seen_commands(folder);
    for (uint64_t command : {0x12340601ull, 0xFFFF0601ull, 0x00770600ull, 0x00780602ull})
        EXPECT_TRUE(contains(seen, command)) << std::hex << command;
    EXPECT_TRUE(zuvo.proc().running());
    EXPECT_EQ(zuvo.exit(), 0u);
}

TEST(plugin_host, command_just_past_the_last_plugin_does_nothing) {
    program_folder folder;
    ASSERT_TRUE(install_probe(folder, L"probe.dll"));
    folder.write_ini(L"zuvo.ini", plugin_section({L"probe.dll"}));
    zuvo_process zuvo(folder);
    ASSERT_TRUE(zuvo.window());
    zuvo.post_command(probe_command(1, 0x42)); // 0x0600 + Num
    zuvo.post_command(probe_command(0, 0x43));
    ASSERT_TRUE(probe_sync(zuvo, folder, 0));
    EXPECT_EQ(event_codes(folder), (std::vector<uint64_t>{0x43}));
    EXPECT_TRUE(contains(seen_commands(folder), probe_command(1, 0x42)));
    EXPECT_EQ(zuvo.exit(), 0u);
}

TEST(plugin_host, hook_that_swallows_commands_stops_the_hosts_own) {
    program_folder folder;
    ASSERT_TRUE(install_probe(folder, L"probe.dll", {L"Swallow=0x111"}));
    ASSERT_TRUE(install_probe(folder, L"probe_b.dll"));
    folder.write_ini(L"zuvo.ini", plugin_section({L"probe.dll", L"probe_b.dll"}));
    zuvo_process zuvo(folder);
    ASSERT_TRUE(zuvo.window());
    ASSERT_TRUE(wait_for_probe_records(folder, L"entry", 2));
    zuvo.post_command(exit_command);
    zuvo.post_command(probe_command(0, 0x21));
    zuvo.post_command(probe_command(1, 0x22));
    // The hook writes each command down as it swallows it, in posting order.
    ASSERT_TRUE(wait_until(
        [&] { return contains(seen_commands(folder, L"probe"), probe_command(1, 0x22)); }));
    Sleep(200);
    ASSERT_TRUE(zuvo.sync());
    EXPECT_TRUE(zuvo.proc().running()) << "the exit command was swallowed";
    EXPECT_TRUE(contains(seen_commands(folder, L"probe"), exit_command));
    // The first hook ends all processing: neither the later hook nor any
    // event function sees the commands.
    EXPECT_FALSE(contains(seen_commands(folder, L"probe_b"), exit_command));
    EXPECT_TRUE(event_codes(folder).empty());
    // Other messages still pass.
    PostMessageW(zuvo.window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(zuvo.proc().wait(10s), 0u);
}

TEST(plugin_host, plugins_are_released_last_loaded_first_and_once) {
    program_folder folder;
    for (const wchar_t* file : {L"probe_a.dll", L"probe_b.dll", L"probe_c.dll"})
        ASSERT_TRUE(install_probe(folder, file));
    folder.write_ini(L"zuvo.ini", plugin_section({L"probe_a.dll", L"probe_b.dll", L"probe_c.dll"}));
    zuvo_process zuvo(folder);
    ASSERT_TRUE(zuvo.window());
    ASSERT_TRUE(wait_for_probe_records(folder, L"entry", 3));
    EXPECT_EQ(probe_names(folder, L"entry"),
              (std::vector<std::wstring>{L"probe_a", L"probe_b", L"probe_c"}));
    EXPECT_EQ(zuvo.exit(), 0u);
    EXPECT_EQ(probe_names(folder, L"release"),
              (std::vector<std::wstring>{L"probe_c", L"probe_b", L"probe_a"}));
}

TEST(plugin_host, plugin_may_end_the_program_from_inside_its_event) {
    program_folder folder;
    ASSERT_TRUE(install_probe(folder, L"probe_a.dll"));
    ASSERT_TRUE(install_probe(folder, L"probe_b.dll"));
    folder.write_ini(L"zuvo.ini", plugin_section({L"probe_a.dll", L"probe_b.dll"}));
    zuvo_process zuvo(folder);
    ASSERT_TRUE(zuvo.window());
    // The event's own library is released while its code still runs; it
    // must stay mapped until the call has returned.
    zuvo.post_command(probe_command(1, pp::destroy_inside));
    EXPECT_EQ(zuvo.proc().wait(10s), 0u);
    EXPECT_EQ(probe_names(folder, L"release"), (std::vector<std::wstring>{L"probe_b", L"probe_a"}));
}

// Ending the program from the entry, in each way a plug-in can: the program
// exits as usual, the plug-ins entered so far are released while COM is still
// up, and the one listed after is never loaded.
TEST(plugin_host, plugin_may_end_the_program_from_its_entry) {
    for (const wchar_t* how : {L"destroy", L"quit", L"exit"}) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(how)));
        program_folder folder;
        ASSERT_TRUE(install_probe(folder, L"probe_a.dll"));
        ASSERT_TRUE(install_probe(folder, L"probe_b.dll", {L"EntryEnd=" + std::wstring(how)}));
        ASSERT_TRUE(install_probe(folder, L"probe_c.dll"));
        folder.write_ini(L"zuvo.ini",
                         plugin_section({L"probe_a.dll", L"probe_b.dll", L"probe_c.dll"}));
        process zuvo = process::start(L"\"" + folder.exe() + L"\"", L"");
        ASSERT_TRUE(zuvo);
        EXPECT_EQ(zuvo.wait(15s), 0u);
        EXPECT_EQ(probe_names(folder, L"entry"),
                  (std::vector<std::wstring>{L"probe_a", L"probe_b"}));
        const auto releases = probe_records(folder, L"release");
        ASSERT_EQ(releases.size(), 2u);
        EXPECT_EQ(releases[0].name, L"probe_b");
        EXPECT_EQ(releases[1].name, L"probe_a");
        for (const auto& release : releases)
            EXPECT_EQ(release.text(0), L"1") << "released after COM was shut down";
    }
}

TEST(plugin_host, delayed_command_starts_again_when_posted_again) {
    program_folder folder;
    ASSERT_TRUE(install_probe(folder, L"probe.dll", {L"DelayMs=700"}));
    folder.write_ini(L"zuvo.ini", plugin_section({L"probe.dll"}));
    zuvo_process zuvo(folder);
    ASSERT_TRUE(zuvo.window());
    zuvo.post_command(probe_command(0, pp::post_delayed));
    ASSERT_TRUE(zuvo.sync());
    Sleep(350);
    zuvo.post_command(probe_command(0, pp::post_delayed));
    ASSERT_TRUE(wait_for_probe_records(folder, L"event", 3, L"", 5s));
    Sleep(900);
    const auto events = probe_records(folder, L"event");
    ASSERT_EQ(events.size(), 3u) << "one expiry for two posts";
    EXPECT_EQ(events[0].number(0), pp::post_delayed);
    EXPECT_EQ(events[1].number(0), pp::post_delayed);
    EXPECT_EQ(events[2].number(0), pp::delayed_fired);
    // Counted from the second post, not the first.
    EXPECT_GE(events[2].tick - events[1].tick, 600u);
    EXPECT_GE(events[2].tick - events[0].tick, 950u);
}

TEST(plugin_host, tips_request_shows_and_garbage_pointer_is_ignored) {
    program_folder folder;
    // Two blocks with a line break between them, as plug-ins show a title
    // and a detail: two lines of text, and no blank line between them.
    ASSERT_TRUE(install_probe(folder, L"probe.dll",
                              {L"TipsText=&{M0,probe tips gyp\\n}\\n&{M0,Second line jqb\\n}",
                               L"TipsTime=5000", L"GarbagePointer=0x10"}));
    ASSERT_TRUE(install_probe(folder, L"probe_b.dll", {L"GarbagePointer=0xFFFF800000001000"}));
    ASSERT_TRUE(install_probe(folder, L"probe_c.dll", {L"GarbagePointer=0x7FFFFFFE0000"}));
    folder.write_ini(L"zuvo.ini", plugin_section({L"probe.dll", L"probe_b.dll", L"probe_c.dll"}));
    zuvo_process zuvo(folder);
    ASSERT_TRUE(zuvo.window());
    ASSERT_TRUE(zuvo.sync());
    EXPECT_FALSE(IsWindowVisible(zuvo.window()));
    for (uint32_t index : {0u, 1u, 2u})
        zuvo.post_command(probe_command(index, pp::post_tips_garbage));
    zuvo.post_command(probe_command(0, pp::post_balloon));
    ASSERT_TRUE(probe_sync(zuvo, folder, 0));
    EXPECT_TRUE(zuvo.proc().running());
    EXPECT_FALSE(IsWindowVisible(zuvo.window())) << "an unreadable text shows nothing";

    zuvo.post_command(probe_command(0, pp::post_tips));
    ASSERT_TRUE(wait_until([&] { return IsWindowVisible(zuvo.window()) != FALSE; }, 5s));
    ASSERT_TRUE(probe_sync(zuvo, folder, 0));
    RECT box{};
    GetWindowRect(zuvo.window(), &box);
    EXPECT_GT(box.right - box.left, 20);
    EXPECT_GT(box.bottom - box.top, 5);
    // The display shows what the window drew a moment later.
    std::vector<std::pair<int, int>> runs;
    wait_until([&] { return (runs = text_row_runs(box)).size() == 2; }, 3s);
    save_screenshot(test_output_folder() + L"\\plugin_host_tips.png", &box);
    ASSERT_EQ(runs.size(), 2u) << "two lines of text";
    const int gap = runs[1].first - runs[0].second;
    EXPECT_LT(gap, runs[0].second - runs[0].first) << "a blank line between them";
    EXPECT_LT(gap, runs[1].second - runs[1].first) << "a blank line between them";
    EXPECT_EQ(zuvo.exit(), 0u);
}

TEST(plugin_host, feedback_pattern_posts_only_the_buffers_made_at_entry) {
    program_folder folder;
    ASSERT_TRUE(
        install_probe(folder, L"probe.dll",
                      {L"ShowTips=0", L"ShowBalloon=1", L"TipsTime=4000", L"Log=0x800,0x820"}));
    folder.write_ini(L"zuvo.ini", plugin_section({L"probe.dll"}));
    zuvo_process zuvo(folder);
    ASSERT_TRUE(zuvo.window());
    // Switching the tips on now changes nothing until the next load.
    folder.write_ini(L"probe.ini",
                     L"[Probe]\r\nShowTips=1\r\nShowBalloon=1\r\nLog=0x800,0x820\r\n");
    zuvo.post_command(probe_command(0, pp::reload));
    zuvo.post_command(probe_command(0, pp::feedback));
    ASSERT_TRUE(probe_sync(zuvo, folder, 0));
    // Only what followed the feedback event counts; the host may post its own.
    std::vector<uint64_t> posted;
    bool after = false;
    for (const auto& record : read_probe_log(folder)) {
        if (record.kind == L"event" && record.number(0) == pp::feedback) after = true;
        if (after && record.kind == L"msg") posted.push_back(record.number(0));
    }
    EXPECT_EQ(posted, (std::vector<uint64_t>{0x820}));
    EXPECT_FALSE(IsWindowVisible(zuvo.window()));
    EXPECT_TRUE(zuvo.proc().running());
    EXPECT_EQ(zuvo.exit(), 0u);
}

TEST(plugin_host, registers_hot_keys_through_the_host) {
    program_folder folder;
    ASSERT_TRUE(install_probe(folder, L"probe.dll", {L"Keys=0x34B,0x8326,0"}));
    folder.write_ini(L"zuvo.ini", plugin_section({L"", L"probe.dll"}));
    {
        zuvo_process zuvo(folder);
        ASSERT_TRUE(zuvo.window());
        ASSERT_TRUE(wait_for_probe_records(folder, L"keyreg", 3));
        const auto keys = probe_records(folder, L"keyreg");
        EXPECT_EQ(keys[0].number(0), 0x34Bu);
        EXPECT_EQ(keys[0].number(1), 0x01000601u);
        EXPECT_EQ(keys[0].text(2), L"1");
        EXPECT_EQ(keys[1].number(1), 0x01010601u);
        EXPECT_EQ(keys[1].text(2), L"1");
        EXPECT_EQ(keys[2].text(2), L"0") << "a value without a key is refused";
        EXPECT_EQ(zuvo.exit(), 0u);
    }
    // Without the hook library the host still offers ZUVO_keyreg, which refuses.
    program_folder bare({.hook_library = false});
    ASSERT_TRUE(install_probe(bare, L"probe.dll", {L"Keys=0x34B"}));
    bare.write_ini(L"zuvo.ini", plugin_section({L"probe.dll"}));
    zuvo_process zuvo(bare);
    ASSERT_TRUE(zuvo.window());
    ASSERT_TRUE(wait_for_probe_records(bare, L"keyreg", 1));
    EXPECT_EQ(probe_records(bare, L"keyreg")[0].text(2), L"0");
    EXPECT_EQ(zuvo.exit(), 0u);
}

TEST(plugin_host, popup_menu_carries_plugin_items_and_delivers_the_choice) {
    program_folder folder;
    ASSERT_TRUE(install_probe(folder, L"probe.dll",
                              {L"MenuItems=2", L"MenuChecked=1", L"MenuPopup=1", L"MenuSeparator=1",
                               L"MenuAction=choose", L"MenuChoose=0x2010601"}));
    ASSERT_TRUE(install_probe(folder, L"probe_b.dll", {L"MenuItems=1"}));
    folder.write_ini(L"zuvo.ini", plugin_section({L"", L"probe.dll", L"probe_b.dll"}));
    zuvo_process zuvo(folder);
    ASSERT_TRUE(zuvo.window());
    zuvo.post_command(popup_command);
    ASSERT_TRUE(wait_until([&] { return contains(event_codes(folder, L"probe"), 0x201); }, 10s));
    ASSERT_TRUE(probe_sync(zuvo, folder, 1));

    // Both plug-ins were asked in index order, after the other contributors.
    const auto menus = probe_records(folder, L"menu");
    ASSERT_EQ(menus.size(), 2u);
    EXPECT_EQ(menus[0].name, L"probe");
    EXPECT_EQ(menus[1].name, L"probe_b");
    EXPECT_EQ(menus[1].number(0), menus[0].number(0) + 4);

    const auto items = last_probe_popup(folder, L"probe");
    const size_t first = static_cast<size_t>(menus[0].number(0));
    ASSERT_EQ(items.size(), first + 8);
    EXPECT_EQ(items[first].text, L"probe item 0");
    EXPECT_EQ(items[first].id, 0x02000601u);
    EXPECT_EQ(items[first].state & MFS_CHECKED, 0u);
    EXPECT_EQ(items[first + 1].text, L"probe item 1");
    EXPECT_EQ(items[first + 1].state & MFS_CHECKED, static_cast<uint32_t>(MFS_CHECKED));
    EXPECT_EQ(items[first + 2].text, L"probe popup");
    EXPECT_TRUE(items[first + 2].has_submenu);
    EXPECT_EQ(items[first + 2].state & (MFS_DISABLED | MFS_GRAYED),
              static_cast<uint32_t>(MFS_DISABLED | MFS_GRAYED));
    EXPECT_EQ(items[first + 3].type & MFT_SEPARATOR, static_cast<uint32_t>(MFT_SEPARATOR));
    EXPECT_EQ(items[first + 4].text, L"probe_b item 0");
    EXPECT_EQ(items[first + 4].id, 0x02000602u);
    // The fixed items close the menu.
    EXPECT_EQ(items[items.size() - 3].id, 0x0506u);
    EXPECT_EQ(items[items.size() - 2].id, 0x0505u);
    EXPECT_EQ(items[items.size() - 1].id, 0x0504u);
    // Only the chosen item's full identifier arrived.
    EXPECT_EQ(event_codes(folder), (std::vector<uint64_t>{0x201}));
    EXPECT_EQ(zuvo.exit(), 0u);
}

TEST(plugin_host, popup_menu_closed_from_inside_runs_nothing) {
    program_folder folder;
    ASSERT_TRUE(install_probe(folder, L"probe.dll", {L"MenuItems=1", L"MenuAction=end"}));
    folder.write_ini(L"zuvo.ini", plugin_section({L"probe.dll"}));
    zuvo_process zuvo(folder);
    ASSERT_TRUE(zuvo.window());
    zuvo.post_command(popup_command);
    ASSERT_TRUE(wait_for_probe_records(folder, L"action", 1));
    ASSERT_TRUE(probe_sync(zuvo, folder, 0));
    EXPECT_EQ(probe_records(folder, L"action")[0].text(0), L"end");
    EXPECT_TRUE(event_codes(folder).empty());
    // The menu is closed: the program answers and opens it again.
    zuvo.post_command(popup_command);
    ASSERT_TRUE(wait_for_probe_records(folder, L"action", 2));
    ASSERT_TRUE(probe_sync(zuvo, folder, 0));
    EXPECT_EQ(zuvo.exit(), 0u);
}

} // namespace
