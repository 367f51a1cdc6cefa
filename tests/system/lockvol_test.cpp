// The mixer-lock plug-in in a real zuvo.exe on the fake audio system (the
// probe plug-in beside it for synchronising and for reading its tips
// requests), and its configuration dialog in a real zuvoset.exe. Observed:
// the fake hardware, its write counters and live objects, the tips requests,
// the dialog's controls and the file it saves.

#include "common/unique_resource.h"
#include "tests/support/fakeaudio/fake_audio.h"
#include "tests/support/files.h"
#include "tests/support/harness.h"
#include "tests/support/keyboard.h"
#include "tests/support/probe.h"
#include "tests/support/setup_driver.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <memory>
#include <string>
#include <vector>

using namespace test_support;
using namespace std::chrono_literals;

namespace {

constexpr uint16_t event_toggle = 1, event_reset_once = 2;
constexpr WPARAM volume_up_command = 0x0580, mute_command = 0x0582, menu_command = 0x0584;
constexpr WPARAM set_control0_command = 0x00010520; // lParam: the new volume
constexpr uint32_t lockvol_index = 0, probe_index = 1;
const std::wstring left_alone_tips =
    L"LockVol: a control that keeps changing is left alone for a while";

int percent(float scalar) {
    return static_cast<int>(std::lround(scalar * 100.0f));
}

// A [ControlNN] section of lockvol.ini.
std::wstring entry_section(int index, const std::wstring& keys) {
    wchar_t name[16];
    swprintf(name, 16, L"Control%02d", index);
    return L"[" + std::wstring(name) + L"]\r\n" + keys;
}

// The standard devices as hardware, with headphones to switch the default
// to, USB speakers whose endpoint volume goes in 1.5 dB steps, and a driver
// that ties the Speakers' lines 1 (Wave) and 2 (CD Audio) together.
fakeaudio::description lock_devices() {
    auto d = fakeaudio::description::standard().hardware_writes();
    const int speakers = 0;
    d.tie(d.part(speakers, L"Wave Volume"), d.part(speakers, L"CD Volume"));
    d.render(L"Headphones", false, 0.6f);
    d.endpoint_steps(d.render(L"USB Speakers", false, 0.5f), 1.5f);
    return d;
}

class lockvol_plugin : public ::testing::Test {
protected:
    lockvol_plugin()
        : fake_(lock_devices()), speakers_(fake_.device(L"Speakers")),
          microphone_(fake_.device(L"Microphone")),
          master_part_(fake_.part(speakers_, L"Master Volume")) {}

    void SetUp() override {
        ASSERT_TRUE(fake_.installed());
        ASSERT_GE(speakers_, 0);
        ASSERT_GE(master_part_, 0);
        ASSERT_TRUE(
            folder_.copy_in(build_bin_folder() + L"\\plugin\\lockvol.dll", L"plugin\\lockvol.dll"))
            << "lockvol.dll is not in the build";
        ASSERT_TRUE(install_probe(folder_, L"probe.dll", {L"Log=0x800", L"MenuAction=end"}));
    }

    // zuvo.exe with its control 0 on the default device (the speakers'
    // master volume), lockvol as plug-in 0 with these settings.
    void start(const std::wstring& lockvol_ini) {
        ASSERT_TRUE(folder_.write_ini(L"lockvol.ini", lockvol_ini));
        ASSERT_TRUE(
            folder_.write_ini(L"zuvo.ini", L"[Control00]\r\nCaption=#\r\n" +
                                               plugin_section({L"lockvol.dll", L"probe.dll"})));
        zuvo_ = std::make_unique<zuvo_process>(folder_);
        ASSERT_TRUE(zuvo_->window());
        ASSERT_TRUE(settle());
    }
    // Everything posted before, and the notifications our writes caused,
    // handled.
    bool settle() {
        std::this_thread::sleep_for(300ms);
        return probe_sync(*zuvo_, folder_, probe_index);
    }
    void send_event(uint16_t code) {
        zuvo_->post_command(probe_command(lockvol_index, code));
        ASSERT_TRUE(settle());
    }
    bool becomes(int device, int expected) {
        return wait_until([&] { return percent(fake_.master(device)) == expected; }, 5s);
    }
    bool master_becomes(int expected) { return becomes(speakers_, expected); }
    // The texts of the tips requests posted so far, read from zuvo.exe's
    // memory where the plug-in keeps them.
    std::vector<std::wstring> tips_texts() {
        std::vector<std::wstring> texts;
        for (const auto& record : probe_records(folder_, L"msg")) {
            if (record.number(0) != 0x800) continue;
            wchar_t text[128] = {};
            SIZE_T read = 0;
            ReadProcessMemory(zuvo_->proc().handle(),
                              reinterpret_cast<const void*>(record.number(1)), text,
                              sizeof text - sizeof(wchar_t), &read);
            texts.push_back(text);
            EXPECT_EQ(record.number(2), 1000u) << "display time";
        }
        return texts;
    }
    // Waits until `count` reaches `expected`, then makes sure that nothing
    // queued before brings it further: a fight would go on writing.
    template <typename Count> void expect_writes(Count count, long expected) {
        EXPECT_TRUE(wait_until([&] { return count() >= expected; }, 5s)) << count();
        ASSERT_TRUE(settle());
        EXPECT_EQ(count(), expected);
    }
    // The lock's item in the popup menu as zuvo.exe opens it: ticked?
    bool lock_item_checked() {
        const size_t before = probe_records(folder_, L"action").size();
        zuvo_->post_command(menu_command);
        EXPECT_TRUE(wait_for_probe_records(folder_, L"action", before + 1));
        for (const auto& item : last_probe_popup(folder_))
            if (item.text == L"&Lock the volume") return (item.state & MFS_CHECKED) != 0;
        return false;
    }

    fakeaudio::installed_fake fake_;
    int speakers_;
    int microphone_;
    int master_part_;
    program_folder folder_;
    std::unique_ptr<zuvo_process> zuvo_;
};

const std::wstring speakers_master =
    L"[Control]\r\nBootEnable=1\r\nControlNum=1\r\n" +
    entry_section(0, L"Mixer=Speakers\r\nSource=-1\r\nVolume=50\r\nMute=0\r\n");

TEST_F(lockvol_plugin, boot_enable_sets_the_registered_controls_once_the_loop_runs) {
    struct table_row {
        const wchar_t* boot_enable;
        int expected;
    } rows[] = {{L"1", 50}, {L"0", 20}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.boot_enable);
        fake_.set_master(speakers_, 0.2f);
        fake_.set_mute(speakers_, true);
        start(L"[Control]\r\nBootEnable=" + std::wstring(row.boot_enable) +
              L"\r\nControlNum=1\r\n" +
              entry_section(0, L"Mixer=Speakers\r\nVolume=50\r\nMute=0\r\n"));
        EXPECT_EQ(percent(fake_.master(speakers_)), row.expected);
        EXPECT_EQ(fake_.mute(speakers_), row.expected == 20);
        EXPECT_TRUE(tips_texts().empty()) << "the start shows no tips";
        zuvo_.reset();
    }
}

TEST_F(lockvol_plugin, outside_changes_are_undone_writing_only_what_differs) {
    fake_.set_master(speakers_, 0.5f);
    start(speakers_master);
    const long volume_writes = fake_.volume_writes(speakers_);
    const long mute_writes = fake_.mute_writes(speakers_);

    fake_.set_mute(speakers_, true); // another program mutes
    ASSERT_TRUE(wait_until([&] { return !fake_.mute(speakers_); }, 5s));
    ASSERT_TRUE(settle());
    EXPECT_EQ(fake_.mute_writes(speakers_), mute_writes + 1);
    EXPECT_EQ(fake_.volume_writes(speakers_), volume_writes) << "the volume was right";

    fake_.set_master(speakers_, 0.8f);
    EXPECT_TRUE(master_becomes(50));
    ASSERT_TRUE(settle());
    EXPECT_EQ(fake_.volume_writes(speakers_), volume_writes + 1);
    EXPECT_EQ(fake_.mute_writes(speakers_), mute_writes + 1) << "the mute was right";
}

// The host's own change is written once, and once more where the lock
// undoes it: counting the writes tells that from a change that never came.
TEST_F(lockvol_plugin, zuvo_control_adopts_the_hosts_volume_and_mute_keys_but_not_other_commands) {
    struct table_row {
        bool adopted;
        WPARAM key;
        int volume_after;
        bool mute_after;
    } rows[] = {{true, volume_up_command, 60, false},
                {false, volume_up_command, 50, false},
                {true, mute_command, 50, true},
                {false, mute_command, 50, false}};
    auto writes = [&] { return fake_.volume_writes(speakers_) + fake_.mute_writes(speakers_); };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.adopted) + " " + std::to_string(row.key));
        fake_.set_master(speakers_, 0.5f);
        fake_.set_mute(speakers_, false);
        start(L"[Control]\r\nBootEnable=1\r\nControlNum=1\r\n" +
              entry_section(0, L"Mixer=Speakers\r\nVolume=50\r\nZuvoControl=" +
                                   std::to_wstring(row.adopted) + L"\r\n"));
        long before = writes();
        zuvo_->post_command(row.key);
        expect_writes(writes, before + (row.adopted ? 1 : 2));
        EXPECT_EQ(percent(fake_.master(speakers_)), row.volume_after);
        EXPECT_EQ(fake_.mute(speakers_), row.mute_after);
        // The lock holds what it adopted.
        fake_.set_master(speakers_, 0.1f);
        fake_.set_mute(speakers_, !row.mute_after);
        EXPECT_TRUE(master_becomes(row.volume_after));
        EXPECT_TRUE(wait_until([&] { return fake_.mute(speakers_) == row.mute_after; }, 5s));
        ASSERT_TRUE(settle());
        before = writes();
        zuvo_->post_command(set_control0_command, 70); // not a volume key
        expect_writes(writes, before + 2);
        EXPECT_EQ(percent(fake_.master(speakers_)), row.volume_after);
        zuvo_.reset();
    }
}

TEST_F(lockvol_plugin, keep_startup_state_locks_the_current_values_and_reset_once_the_configured) {
    fake_.set_master(speakers_, 0.33f);
    start(L"[Control]\r\nBootEnable=1\r\nControlNum=1\r\n" +
          entry_section(0, L"Mixer=Speakers\r\nVolume=80\r\nKeepStartUpState=1\r\n"));
    EXPECT_EQ(percent(fake_.master(speakers_)), 33);
    fake_.set_master(speakers_, 0.9f);
    EXPECT_TRUE(master_becomes(33));
    send_event(event_reset_once);
    EXPECT_EQ(percent(fake_.master(speakers_)), 80);
    fake_.set_master(speakers_, 0.9f); // still locked, now at the configured value
    EXPECT_TRUE(master_becomes(80));
    EXPECT_EQ(tips_texts(), std::vector<std::wstring>{L"ResetMixer"});
}

// KeepStartUpState does not apply: a reset once writes what the file says.
TEST_F(lockvol_plugin, reset_once_while_unlocked_writes_the_configured_values_once) {
    fake_.set_master(speakers_, 0.5f);
    start(L"[Control]\r\nBootEnable=0\r\nControlNum=2\r\n" +
          entry_section(0, L"Mixer=Speakers\r\nVolume=70\r\nKeepStartUpState=1\r\n") +
          entry_section(1, L"Mixer=Microphone\r\nVolume=10\r\nMute=1\r\n"));
    const long live = fake_.live_objects_everywhere();
    const long speaker_writes = fake_.volume_writes(speakers_);
    const long microphone_writes = fake_.volume_writes(microphone_);
    const long microphone_mutes = fake_.mute_writes(microphone_);
    send_event(event_reset_once);
    EXPECT_EQ(percent(fake_.master(speakers_)), 70);
    EXPECT_EQ(percent(fake_.master(microphone_)), 10);
    EXPECT_TRUE(fake_.mute(microphone_));
    EXPECT_EQ(fake_.volume_writes(speakers_), speaker_writes + 1);
    EXPECT_EQ(fake_.volume_writes(microphone_), microphone_writes + 1);
    EXPECT_EQ(fake_.mute_writes(microphone_), microphone_mutes + 1);
    EXPECT_EQ(fake_.live_objects_everywhere(), live) << "every object released again";
    fake_.set_master(speakers_, 0.2f);
    ASSERT_TRUE(settle());
    EXPECT_EQ(percent(fake_.master(speakers_)), 20) << "nothing watches afterwards";
}

TEST_F(lockvol_plugin, toggling_reports_on_and_off_and_an_empty_list_never_locks) {
    start(L"[Control]\r\nBootEnable=0\r\nControlNum=0\r\n");
    send_event(event_toggle);
    send_event(event_toggle);
    EXPECT_EQ(tips_texts(), (std::vector<std::wstring>{L"LockVol OFF", L"LockVol OFF"}));
    zuvo_.reset();
    ASSERT_TRUE(folder_.remove(L"probe.log"));

    fake_.set_master(speakers_, 0.3f);
    start(L"[Control]\r\nBootEnable=0\r\nControlNum=1\r\n" +
          entry_section(0, L"Mixer=Speakers\r\nVolume=50\r\n"));
    send_event(event_toggle);
    EXPECT_EQ(percent(fake_.master(speakers_)), 50);
    send_event(event_toggle);
    fake_.set_master(speakers_, 0.3f);
    ASSERT_TRUE(settle());
    EXPECT_EQ(percent(fake_.master(speakers_)), 30) << "unlocked";
    EXPECT_EQ(tips_texts(), (std::vector<std::wstring>{L"LockVol ON", L"LockVol OFF"}));
}

TEST_F(lockvol_plugin, entries_on_one_device_share_one_mixer) {
    // IMMDevice objects alive while locked, beyond those of zuvo.exe itself.
    auto devices_held = [&](const std::wstring& entries, int count) {
        start(L"[Control]\r\nBootEnable=0\r\nControlNum=" + std::to_wstring(count) + L"\r\n" +
              entries);
        const long before = fake_.live_devices_everywhere();
        send_event(event_toggle);
        const long held = fake_.live_devices_everywhere() - before;
        zuvo_.reset();
        return held;
    };
    const long one = devices_held(entry_section(0, L"Mixer=Speakers\r\n"), 1);
    ASSERT_GT(one, 0);
    EXPECT_EQ(devices_held(entry_section(0, L"Mixer=Speakers\r\n") +
                               entry_section(1, L"Mixer=Speakers\r\nSource=2\r\n"),
                           2),
              one);
    EXPECT_EQ(devices_held(entry_section(0, L"Mixer=Speakers\r\n") +
                               entry_section(1, L"Mixer=Microphone\r\n"),
                           2),
              2 * one);
}

// Entries that name one control in two ways: the first one's value is held,
// and another program's change costs one write, after which all is quiet.
TEST_F(lockvol_plugin, a_control_registered_twice_is_held_once_at_the_first_entrys_value) {
    const std::pair<const wchar_t*, const wchar_t*> rows[] = {
        {L"", L"Speakers"},         // the default device, and it by name
        {L"Speakers", L"Speakers"}, // a hand-edited duplicate
        {L"Speak", L"Speakers"},    // a name the device's only starts with
    };
    for (const auto& [first, second] : rows) {
        SCOPED_TRACE(std::wstring(first) + L" / " + second);
        fake_.set_master(speakers_, 0.5f);
        start(L"[Control]\r\nBootEnable=1\r\nControlNum=2\r\n" +
              entry_section(0, L"Mixer=" + std::wstring(first) + L"\r\nVolume=30\r\n") +
              entry_section(1, L"Mixer=" + std::wstring(second) + L"\r\nVolume=70\r\n"));
        EXPECT_EQ(percent(fake_.master(speakers_)), 30);
        const long writes = fake_.volume_writes(speakers_);
        fake_.set_master(speakers_, 0.8f);
        EXPECT_TRUE(master_becomes(30));
        expect_writes([&] { return fake_.volume_writes(speakers_); }, writes + 1);
        zuvo_.reset();
    }
}

// A program's entry holds every session of that program on its device and
// nothing else. A program that plays nothing at the start gets the locked
// values when its session appears, or with KeepStartUpState keeps the state
// it comes with.
TEST_F(lockvol_plugin, a_programs_sessions_are_held_and_a_program_playing_later_gets_its_values) {
    const int player = fake_.add_session(speakers_, 100, L"C:\\Apps\\player.exe", L"Player", 0.5f);
    const int other = fake_.add_session(speakers_, 200, L"C:\\Apps\\other.exe", L"", 0.7f);
    fake_.set_master(speakers_, 0.5f);
    start(L"[Control]\r\nBootEnable=1\r\nControlNum=3\r\n" +
          entry_section(0, L"Mixer=Speakers\r\nSource=-2\r\nApplication=player.exe\r\n"
                           L"Volume=30\r\n") +
          entry_section(1, L"Mixer=\r\nSource=-2\r\nApplication=LATE.exe\r\nVolume=40\r\n"
                           L"Mute=1\r\n") +
          entry_section(2, L"Mixer=\r\nSource=-2\r\nApplication=keep.exe\r\nVolume=90\r\n"
                           L"KeepStartUpState=1\r\n"));
    auto session_becomes = [&](int session, int expected) {
        return wait_until([&] { return percent(fake_.session_volume(session)) == expected; }, 5s);
    };
    EXPECT_EQ(percent(fake_.session_volume(player)), 30);
    const long writes = fake_.session_volume_writes(player);
    fake_.set_session_volume(player, 0.8f);
    EXPECT_TRUE(session_becomes(player, 30));
    expect_writes([&] { return fake_.session_volume_writes(player); }, writes + 1);
    EXPECT_EQ(percent(fake_.session_volume(other)), 70);
    EXPECT_EQ(fake_.session_volume_writes(other), 0) << "another program's session";
    EXPECT_EQ(percent(fake_.master(speakers_)), 50) << "the device's own volume";

    const int late = fake_.add_session(speakers_, 300, L"D:\\Games\\late.exe", L"", 0.9f);
    EXPECT_TRUE(session_becomes(late, 40));
    EXPECT_TRUE(wait_until([&] { return fake_.session_mute(late); }, 5s));
    const int keep = fake_.add_session(speakers_, 400, L"C:\\Apps\\keep.exe", L"", 0.6f);
    ASSERT_TRUE(settle());
    EXPECT_EQ(percent(fake_.session_volume(keep)), 60) << "the state it came with is kept";
    fake_.set_session_volume(keep, 0.1f);
    EXPECT_TRUE(session_becomes(keep, 60));
    EXPECT_EQ(percent(fake_.session_volume(other)), 70);
    EXPECT_TRUE(zuvo_->proc().running());
}

// Two lines a driver keeps at one level cannot both hold their own: after a
// few rounds one is left alone, the tips say so once, and the writes stop.
// After the pause the lock tries again, and gives up again without a word.
TEST_F(lockvol_plugin, lines_a_driver_ties_together_end_in_a_pause_not_a_fight) {
    const int wave = fake_.part(speakers_, L"Wave Volume"),
              cd = fake_.part(speakers_, L"CD Volume");
    auto writes = [&] { return fake_.level_writes(wave) + fake_.level_writes(cd); };
    // Quiet: no write during a whole round of queued messages.
    auto quiet = [&] {
        return wait_until(
            [&] {
                const long before = writes();
                return settle() && writes() == before;
            },
            10s, 0ms);
    };
    start(L"[Control]\r\nBootEnable=1\r\nControlNum=2\r\n" +
          entry_section(0, L"Mixer=Speakers\r\nSource=1\r\nVolume=30\r\n") +
          entry_section(1, L"Mixer=Speakers\r\nSource=2\r\nVolume=80\r\n"));
    ASSERT_TRUE(quiet());
    const long first_round = writes();
    EXPECT_LE(first_round, 2 + 2 * 6 * 3) << "two writes at the start, six rounds each at most";
    EXPECT_EQ(tips_texts(), std::vector<std::wstring>{left_alone_tips});

    EXPECT_TRUE(wait_until([&] { return writes() > first_round; }, 15s)) << "never tried again";
    ASSERT_TRUE(quiet());
    EXPECT_LE(writes(), 2 * first_round);
    EXPECT_EQ(tips_texts(), std::vector<std::wstring>{left_alone_tips});
    EXPECT_TRUE(zuvo_->proc().running());
}

// No toggle by hand: the lock reopens what it holds as devices come, go and
// change roles, and its menu item stays ticked throughout.
TEST_F(lockvol_plugin, the_lock_follows_its_devices_and_its_menu_item_stays_true) {
    fake_.set_master(speakers_, 0.5f);
    start(L"[Control]\r\nBootEnable=1\r\nControlNum=2\r\n" +
          entry_section(0, L"Mixer=\r\nVolume=40\r\n") +
          entry_section(1, L"Mixer=Microphone\r\nVolume=30\r\n"));
    EXPECT_EQ(percent(fake_.master(speakers_)), 40);
    EXPECT_EQ(percent(fake_.master(microphone_)), 30);

    // The default moves to the headphones: so does the default entry.
    const int headphones = fake_.device(L"Headphones");
    fake_.set_default(headphones);
    EXPECT_TRUE(becomes(headphones, 40));
    fake_.set_master(headphones, 0.9f);
    EXPECT_TRUE(becomes(headphones, 40));
    fake_.set_master(speakers_, 0.7f);
    ASSERT_TRUE(settle());
    EXPECT_EQ(percent(fake_.master(speakers_)), 70) << "no longer the default";

    // The microphone unplugged, changed, and back: held again at once.
    fake_.remove(microphone_);
    fake_.set_master(microphone_, 0.9f);
    ASSERT_TRUE(settle());
    fake_.restore(microphone_);
    EXPECT_TRUE(becomes(microphone_, 30));
    fake_.set_master(microphone_, 0.6f);
    EXPECT_TRUE(becomes(microphone_, 30));

    EXPECT_TRUE(lock_item_checked());
    EXPECT_TRUE(tips_texts().empty()) << "never toggled";
    EXPECT_TRUE(zuvo_->proc().running());
}

TEST_F(lockvol_plugin, hot_keys_toggle_the_lock_and_ctrl_shift_f_resets_once_by_default) {
    fake_.set_master(speakers_, 0.2f);
    // Ctrl+Alt+L toggles; the reset key is left at its default.
    start(L"[Control]\r\nHotKeyToggle=844\r\nControlNum=1\r\n" +
          entry_section(0, L"Mixer=Speakers\r\nVolume=50\r\n"));
    key_target keys;
    ASSERT_TRUE(keys) << "no program in front";
    ASSERT_TRUE(keys.hold({VK_CONTROL, VK_MENU}));
    EXPECT_TRUE(keys.tap('L'));
    keys.release({VK_MENU, VK_CONTROL});
    EXPECT_TRUE(master_becomes(50));
    fake_.set_master(speakers_, 0.7f);
    EXPECT_TRUE(master_becomes(50)) << "locked";
    // The "LockVol ON" tips appear once zuvo.exe gets to their request; under
    // Wine a window shown while the next chord is typed can make the hook
    // miss its modifiers, and the F then goes to the program in front.
    ASSERT_TRUE(settle());
    ASSERT_TRUE(keys.hold({VK_CONTROL, VK_SHIFT}));
    EXPECT_TRUE(keys.tap('F'));
    keys.release({VK_SHIFT, VK_CONTROL});
    keys.sync();
    ASSERT_TRUE(settle());
    EXPECT_EQ(tips_texts(), (std::vector<std::wstring>{L"LockVol ON", L"ResetMixer"}));
}

// 60 % cannot be held exactly by a line of -64..0 dB in 0.5 dB steps, nor by
// an endpoint in 1.5 dB steps: the read-back never matches, and the lock
// must not answer its own write. It believes the stepped value only once the
// control has given it twice, so the start writes twice; from then on one
// write answers each outside change.
TEST_F(lockvol_plugin, a_stepped_control_is_written_once_per_outside_change) {
    const int usb = fake_.device(L"USB Speakers");
    for (const bool line : {true, false}) {
        SCOPED_TRACE(line ? "line" : "endpoint");
        auto level = [&] { return line ? fake_.level(master_part_, 1) : fake_.master(usb); };
        auto writes = [&] {
            return line ? fake_.level_writes(master_part_) : fake_.volume_writes(usb);
        };
        const long before = writes();
        start(L"[Control]\r\nBootEnable=1\r\nControlNum=1\r\n" +
              entry_section(0, line ? L"Mixer=Speakers\r\nSource=0\r\nVolume=60\r\n"
                                    : L"Mixer=USB Speakers\r\nVolume=60\r\n"));
        const float locked = level();
        EXPECT_EQ(writes(), before + 2);
        for (long change = 1; change <= 3; ++change) {
            // The louder channel decides a line's volume: both are turned down.
            if (line) fake_.set_level(master_part_, 0, -40.0f);
            line ? fake_.set_level(master_part_, 1, -40.0f) : fake_.set_master(usb, 0.2f);
            ASSERT_TRUE(wait_until([&] { return level() == locked; }, 5s)) << change;
            expect_writes(writes, before + 2 + change);
        }
        zuvo_.reset();
    }
}

// The dialog -----------------------------------------------------------------------

// Keys that existed stay where they were in the file: compare regardless of order.
std::vector<ini_entry> sorted(std::vector<ini_entry> entries) {
    std::sort(entries.begin(), entries.end(), [](const ini_entry& a, const ini_entry& b) {
        return std::tie(a.section, a.key) < std::tie(b.section, b.key);
    });
    return entries;
}

constexpr int plugin_list = 1146, plugin_settings = 1161;
constexpr int entry_list = 1012, select_button = 1108, description = 1109, volume_edit = 1014,
              add_button = 1112, update_button = 1111, delete_button = 1059;
constexpr int device_combo = 21101, source_combo = 21103;

class lockvol_dialog : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(PRIMARYLANGID(GetUserDefaultUILanguage()), LANG_JAPANESE);
        ASSERT_TRUE(fake_.installed());
        ASSERT_TRUE(
            folder_.copy_in(build_bin_folder() + L"\\plugin\\lockvol.dll", L"plugin\\lockvol.dll"));
        ASSERT_TRUE(folder_.write_ini(L"zuvo.ini", plugin_section({L"lockvol.dll"})));
    }
    // The editor with the plug-in's dialog open on these settings.
    HWND open(const std::wstring& lockvol_ini, const std::wstring& locale = L"") {
        if (!folder_.write_ini(L"lockvol.ini", lockvol_ini)) return nullptr;
        setup_process::options how;
        how.locale = locale;
        editor_ = std::make_unique<setup_process>(folder_, how);
        if (!editor_->frame()) return nullptr;
        HWND page = editor_->show(setup_page::plugins);
        press_key(page, plugin_list, VK_HOME);
        if (!enabled(page, plugin_settings)) return nullptr;
        click_later(page, plugin_settings);
        HWND dialog = editor_->wait_for_dialog();
        if (dialog && !wait_until([&] { return text_of(dialog) == L"LockVol"; })) return nullptr;
        return dialog;
    }
    // The control selection opened from the dialog, the device and line
    // chosen, OK.
    void pick(HWND dialog, int device, int source) {
        click_later(dialog, select_button);
        HWND picker = nullptr;
        ASSERT_TRUE(wait_until([&] {
            for (HWND w : find_windows(L"#32770", editor_->proc().id()))
                if (GetWindow(w, GW_OWNER) == dialog && IsWindowVisible(w)) picker = w;
            return picker != nullptr;
        }));
        choose_combo(picker, device_combo, device);
        choose_combo(picker, source_combo, source);
        click_later(picker, IDOK);
        ASSERT_TRUE(wait_for_window_gone(picker));
        ASSERT_TRUE(editor_->sync());
    }
    int current(HWND dialog) {
        return static_cast<int>(send_to(control(dialog, entry_list), LVM_GETNEXTITEM,
                                        static_cast<WPARAM>(-1), LVNI_SELECTED));
    }
    void close(HWND dialog, int button) {
        click_later(dialog, button);
        ASSERT_TRUE(wait_for_window_gone(dialog));
        EXPECT_EQ(editor_->cancel(), 0u);
    }
    std::vector<ini_entry> saved() const {
        return parse_ini(read_text(folder_.file(L"lockvol.ini")));
    }

    fakeaudio::installed_fake fake_{fakeaudio::description::standard().hardware_writes()};
    program_folder folder_;
    std::unique_ptr<setup_process> editor_;
};

const std::wstring two_entries =
    L"[Control]\r\nBootEnable=0\r\nControlNum=2\r\n" +
    entry_section(0, L"Mixer=Speakers\r\nSource=-1\r\nVolume=35\r\n") +
    entry_section(1, L"Mixer=Microphone\r\nSource=-1\r\nVolume=20\r\nMute=1\r\n");

TEST_F(lockvol_dialog, selecting_a_listed_control_makes_it_current_and_adding_twice_keeps_one) {
    HWND dialog = open(two_entries);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(list_view_count(dialog, entry_list), 2);
    EXPECT_TRUE(enabled(dialog, add_button));
    EXPECT_FALSE(enabled(dialog, update_button));

    pick(dialog, 2, 0); // Microphone, [M]: listed as entry 1
    EXPECT_EQ(current(dialog), 1);
    EXPECT_EQ(text_of(dialog, volume_edit), L"20");
    EXPECT_TRUE(checked(dialog, 1115));
    EXPECT_FALSE(enabled(dialog, add_button));
    EXPECT_TRUE(enabled(dialog, update_button));

    pick(dialog, 1, 3); // Speakers, line 2: new
    EXPECT_EQ(current(dialog), -1);
    EXPECT_EQ(text_of(dialog, volume_edit), L"100");
    type_into(dialog, volume_edit, L"40");
    click(dialog, add_button);
    EXPECT_EQ(list_view_count(dialog, entry_list), 3);
    EXPECT_EQ(current(dialog), 2);
    type_into(dialog, volume_edit, L"45");
    click(dialog, update_button); // the same control again
    EXPECT_EQ(list_view_count(dialog, entry_list), 3);
    RECT area{};
    GetWindowRect(dialog, &area);
    EXPECT_TRUE(save_screenshot(test_output_folder() + L"\\lockvol_dialog.png", &area));
    close(dialog, IDOK);
    const auto entries = saved();
    EXPECT_EQ(ini_value(entries, L"Control", L"ControlNum"), L"3");
    EXPECT_EQ(ini_value(entries, L"Control02", L"Source"), L"2");
    EXPECT_EQ(ini_value(entries, L"Control02", L"Volume"), L"45");
}

// Each row of the list and the description of it once selected: a missing
// device, a stereo line with its balance, the mono master without one, the
// default device, and that same device by name, which the list marks as the
// row that is not held; a program by its session's name, on a device and on
// the default device, which is the same control again.
TEST_F(lockvol_dialog, rows_and_descriptions_show_errors_balances_and_controls_listed_twice) {
    const struct {
        const wchar_t *entry, *mixer_column, *control_column, *description;
    } rows[] = {
        {L"Mixer=Gone\r\n", L"Gone", L"[M]## ERROR ##",
         L"Mixer : Gone\r\nControl : [M] ## ERROR ##\r\nChannels : 0 "},
        {L"Mixer=Speakers\r\nSource=0\r\nBalance=-20\r\n", L"Speakers", L"[0]Speakers",
         L"Mixer : Speakers\r\nControl : [0] Speakers\r\nChannels : 2 (Balance: -20)"},
        {L"Mixer=Microphone\r\nBalance=-20\r\n", L"Microphone", L"[M]Microphone",
         L"Mixer : Microphone\r\nControl : [M] Microphone\r\nChannels : 1 "},
        {L"Mixer=\r\n", L"DefaultMixer", L"", L"<DefaultMixer>"},
        {L"Mixer=Speakers\r\n", L"Speakers", L"[M]Speakers (same control as row 4: not held)",
         L"Mixer : Speakers\r\nControl : [M] Speakers\r\nChannels : 1 "},
        {L"Mixer=Speakers\r\nSource=-2\r\nApplication=player.exe\r\n", L"Speakers", L"[A]Player",
         L"Mixer : Speakers\r\nControl : [A] Player (player.exe)\r\nChannels : 1 "},
        {L"Mixer=\r\nSource=-2\r\nApplication=PLAYER.exe\r\n", L"DefaultMixer",
         L"[A]Player (same control as row 6: not held)",
         L"Mixer : <DefaultMixer>\r\nControl : [A] Player (PLAYER.exe)\r\nChannels : 1 "},
    };
    fake_.add_session(fake_.device(L"Speakers"), 100, L"C:\\Apps\\player.exe", L"Player");
    const int count = static_cast<int>(std::size(rows));
    std::wstring file = L"[Control]\r\nControlNum=" + std::to_wstring(count) + L"\r\n";
    for (int i = 0; i < count; ++i) file += entry_section(i, rows[i].entry);
    HWND dialog = open(file);
    ASSERT_TRUE(dialog);
    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE(rows[i].entry);
        press_key(dialog, entry_list, i == 0 ? VK_HOME : VK_DOWN);
        EXPECT_EQ(current(dialog), i);
        EXPECT_EQ(list_view_text(dialog, entry_list, i, 0), rows[i].mixer_column);
        EXPECT_EQ(list_view_text(dialog, entry_list, i, 1), rows[i].control_column);
        EXPECT_EQ(text_of(dialog, description), rows[i].description);
    }
    type_into(dialog, volume_edit, L"150");
    EXPECT_EQ(text_of(dialog, volume_edit), L"100") << "clamped on leaving the field";
    close(dialog, IDCANCEL);
}

// A damaged count reads at most 100 sections, and the dialog adds no 101st,
// which the next loading would drop.
TEST_F(lockvol_dialog, a_damaged_count_loads_100_entries_and_a_101st_is_refused) {
    std::wstring file = L"[Control]\r\nControlNum=4294967295\r\n";
    for (int i = 0; i <= 100; ++i)
        file += entry_section(i, L"Mixer=Gone\r\nDestination=" + std::to_wstring(i) + L"\r\n");
    HWND dialog = open(file);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(list_view_count(dialog, entry_list), 100);
    pick(dialog, 2, 0); // Microphone: not listed
    ASSERT_EQ(current(dialog), -1);
    click_later(dialog, add_button);
    auto box = wait_for_message_box(L"LockVol", editor_->proc().id(), 10s, dialog);
    ASSERT_TRUE(box) << "the 101st entry was not refused";
    EXPECT_EQ(box->text, L"The list holds at most 100 controls. Delete one before adding another.");
    ASSERT_TRUE(close_message_box(box->window));
    ASSERT_TRUE(editor_->sync());
    EXPECT_EQ(list_view_count(dialog, entry_list), 100);
    close(dialog, IDCANCEL);
}

// After a deletion the fields show the entry now selected, so that Update
// changes that one instead of bringing the deleted one back.
TEST_F(lockvol_dialog, after_deleting_the_fields_follow_and_the_last_leaves_none_current) {
    const std::wstring file = L"[Control]\r\nBootEnable=0\r\nControlNum=3\r\n" +
                              entry_section(0, L"Mixer=Speakers\r\nVolume=35\r\n") +
                              entry_section(1, L"Mixer=Microphone\r\nVolume=20\r\nMute=1\r\n") +
                              entry_section(2, L"Mixer=Speakers\r\nSource=1\r\n");
    HWND dialog = open(file);
    ASSERT_TRUE(dialog);
    press_key(dialog, entry_list, VK_HOME);
    click(dialog, delete_button);
    EXPECT_EQ(current(dialog), 0);
    EXPECT_EQ(text_of(dialog, volume_edit), L"20");
    EXPECT_TRUE(checked(dialog, 1115));
    type_into(dialog, volume_edit, L"25");
    click(dialog, update_button);
    EXPECT_EQ(list_view_count(dialog, entry_list), 2);

    press_key(dialog, entry_list, VK_END);
    EXPECT_EQ(current(dialog), 1);
    click(dialog, delete_button);
    EXPECT_EQ(list_view_count(dialog, entry_list), 1);
    EXPECT_EQ(current(dialog), -1);
    EXPECT_TRUE(enabled(dialog, add_button));
    EXPECT_FALSE(enabled(dialog, update_button));
    close(dialog, IDOK);
    EXPECT_EQ(
        sorted(saved()),
        sorted(parse_ini(L"[Control]\nBootEnable=0\nHotKeyToggle=1280\nHotKeyResetOnce=1350\n"
                         L"ControlNum=1\n"
                         L"[Control00]\nMixer=Microphone\nDestination=0\nSource=-1\nBalance=0\n"
                         L"Volume=25\nMute=1\nZuvoControl=0\nKeepStartUpState=0\n")));
}

// A file another program holds open cannot be written (root writes a
// read-only one). The dialog says so and stays open with everything as
// edited; the editor learns of it and leaves the running zuvo.exe alone.
TEST_F(lockvol_dialog, a_failed_save_is_reported_keeps_the_dialog_and_zuvo_is_not_restarted) {
    zuvo_process zuvo(folder_);
    ASSERT_TRUE(zuvo.window());
    HWND dialog = open(two_entries);
    ASSERT_TRUE(dialog);
    const auto before = read_bytes(folder_.file(L"lockvol.ini"));
    unique_file holder(CreateFileW(folder_.file(L"lockvol.ini").c_str(), GENERIC_READ,
                                   FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                   nullptr));
    ASSERT_TRUE(holder);
    click(dialog, 1005);
    click_later(dialog, IDOK);
    auto box = wait_for_message_box(L"LockVol", editor_->proc().id(), 10s, dialog);
    ASSERT_TRUE(box) << "the failed save was not reported";
    EXPECT_EQ(box->text.rfind(L"The settings could not be saved to ", 0), 0u) << box->text;
    EXPECT_NE(box->text.find(L"lockvol.ini"), std::wstring::npos) << box->text;
    ASSERT_TRUE(close_message_box(box->window));
    ASSERT_TRUE(editor_->sync());
    EXPECT_TRUE(IsWindowVisible(dialog)) << "the edits were thrown away";
    EXPECT_TRUE(checked(dialog, 1005));
    click_later(dialog, IDCANCEL);
    ASSERT_TRUE(wait_for_window_gone(dialog));
    holder.reset();
    EXPECT_EQ(editor_->ok(), 0u);
    EXPECT_EQ(find_windows(L"Quellbar_Class"), std::vector<HWND>{zuvo.window()});
    EXPECT_TRUE(zuvo.proc().running());
    EXPECT_EQ(read_bytes(folder_.file(L"lockvol.ini")), before);
    zuvo.proc().terminate();
}

TEST_F(lockvol_dialog, cancel_saves_nothing) {
    HWND dialog = open(two_entries);
    ASSERT_TRUE(dialog);
    const auto before = read_bytes(folder_.file(L"lockvol.ini"));
    press_key(dialog, entry_list, VK_HOME);
    click(dialog, delete_button);
    click(dialog, 1005);
    close(dialog, IDCANCEL);
    EXPECT_EQ(read_bytes(folder_.file(L"lockvol.ini")), before);
}

TEST_F(lockvol_dialog, a_japanese_user_gets_the_japanese_dialog) {
    HWND dialog = open(L"[Control]\r\nControlNum=1\r\n[Control00]\r\nMixer=\r\n", L"ja_JP.UTF-8");
    ASSERT_TRUE(dialog);
    EXPECT_EQ(text_of(dialog, 1005), L"起動時から固定化を有効(&E)");
    EXPECT_EQ(text_of(dialog, add_button), L"追加(&A)");
    press_key(dialog, entry_list, VK_HOME);
    EXPECT_EQ(text_of(dialog, description), L"<デフォルトミキサ>");
    RECT area{};
    GetWindowRect(dialog, &area);
    EXPECT_TRUE(save_screenshot(test_output_folder() + L"\\lockvol_dialog_ja.png", &area));
    close(dialog, IDCANCEL);
}

} // namespace
