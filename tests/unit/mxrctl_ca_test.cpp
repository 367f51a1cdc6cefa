// The Core Audio mixer over the fake audio system (Wine has no endpoint volume
// writes, no change callbacks and no device topology).

#include "mxrctl/audio_sessions.h"
#include "mxrctl/mxrctl_ca.h"
#include "mxrctl/mxrctl_exports.h"
#include "mxrctl/volume_math.h"
#include "tests/support/fakeaudio/fake_audio.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using fakeaudio::description;

namespace {

using control_ptr = std::unique_ptr<m_mxrctl::m_devs>;

double expected_db(double x, double min_db, double max_db) {
    const double lo = std::pow(10.0, min_db / 20.0), hi = std::pow(10.0, max_db / 20.0);
    return std::clamp(20.0 * std::log10((hi - lo) * x + lo), min_db, max_db);
}

// A hidden window on the test thread; the change messages are collected by
// pumping its thread's queue.
class notify_window {
public:
    notify_window() {
        window_ = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                                  nullptr);
    }
    ~notify_window() { DestroyWindow(window_); }
    HWND get() const { return window_; }

    // Change messages that arrive within `ms` (stops early after `wanted`).
    std::vector<MSG> collect(DWORD ms, size_t wanted = SIZE_MAX) {
        std::vector<MSG> got;
        const DWORD start = GetTickCount();
        while (got.size() < wanted && GetTickCount() - start < ms) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.message == mxrctl_change_message) {
                    EXPECT_EQ(msg.hwnd, window_);
                    EXPECT_EQ(msg.lParam, 0);
                    got.push_back(msg);
                } else {
                    DispatchMessageW(&msg);
                }
            }
            if (got.size() < wanted) MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
        return got;
    }

private:
    HWND window_;
};

class mixer_test : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        m_mxrctl_ca::set_enumerator_factory(fakeaudio::world::factory);
    }
    void TearDown() override {
        m_mxrctl_ca::set_enumerator_factory(nullptr);
        CoUninitialize();
    }

    static control_ptr control(m_mxrctl& mixer) { return control_ptr(mixer.create_control()); }
    static control_ptr line(m_mxrctl& mixer, int32_t source) {
        control_ptr c(mixer.create_control());
        return c->open(true, 0, source) ? std::move(c) : nullptr;
    }
    static control_ptr master(m_mxrctl& mixer) {
        control_ptr c(mixer.create_control());
        return c->open(false, 0, -1) ? std::move(c) : nullptr;
    }
    // Names and channel counts of every line of the device named `name`.
    static std::vector<std::pair<std::wstring, uint32_t>> lines_of(const wchar_t* name) {
        m_mxrctl_ca mixer;
        std::vector<std::pair<std::wstring, uint32_t>> found;
        if (!mixer.open(name, nullptr)) return found;
        const uint32_t count = mixer.source_count(0);
        for (uint32_t i = 0; i < count; ++i) {
            auto c = line(mixer, static_cast<int32_t>(i));
            found.emplace_back(c ? c->name() : L"<not open>", c ? c->channels() : 0);
        }
        return found;
    }
};

using lines = std::vector<std::pair<std::wstring, uint32_t>>;

// ---------------------------------------------------------------------------
// Source-line walk

TEST_F(mixer_test, render_with_two_external_lines_lists_master_then_each_line) {
    description d;
    const int dev = d.render(L"Speakers", true);
    const int jack = d.connector(dev, L"Speakers", Physical_External, Out);
    const int vol = d.subunit(dev, L"Master Volume");
    const int sum = d.sum(dev, L"Sum");
    const int cd_vol = d.subunit(dev, L"CD Volume");
    const int cd = d.connector(dev, L"CD Audio", Physical_External, In);
    const int line_vol = d.subunit(dev, L"Line Volume");
    const int line_mute = d.subunit(dev, L"Line Mute");
    const int line_in = d.connector(dev, L"Line In", Physical_External, In);
    d.volume(vol, 2, -64, 0, -10)
        .volume(cd_vol, 2, -34.5f, 12, 0)
        .volume(line_vol, 1, -34.5f, 12, 0);
    d.mute(line_mute);
    d.chain({sum, vol, jack}).chain({cd, cd_vol, sum}).chain({line_in, line_vol, line_mute, sum});
    d.attach(dev, jack);
    fakeaudio::world w(d);
    // Each external line ends where nothing lies beyond its jack, so its
    // volume is never credited to the next line's name.
    EXPECT_EQ(lines_of(L"Speakers"), (lines{{L"Speakers", 2}, {L"CD Audio", 2}, {L"Line In", 1}}));
    m_mxrctl_ca mixer;
    ASSERT_TRUE(mixer.open(L"Speakers", nullptr));
    ASSERT_EQ(mixer.source_count(0), 3u);
    const auto& found = mixer.lines();
    EXPECT_EQ(found[2].mute_part, w.part(dev, L"Line Mute") + 0x20001u);
    EXPECT_EQ(found[1].mute_part, 0u);
}

TEST_F(mixer_test, capture_walk_stops_at_the_input_selector) {
    description d;
    const int dev = d.capture(L"Line Recording", true);
    const int pin = d.connector(dev, L"Recording", Software_IO, Out);
    const int rec_vol = d.subunit(dev, L"Recording Volume");
    const int mux = d.subunit(dev, L"Input Select");
    const int mic_vol = d.subunit(dev, L"Mic Volume");
    const int mic = d.connector(dev, L"Mic", Physical_External, In);
    d.volume(rec_vol, 2, -12, 30, 0).selector(mux).volume(mic_vol, 1, -12, 30, 0);
    d.chain({mic, mic_vol, mux, rec_vol, pin});
    d.attach(dev, pin);
    fakeaudio::world w(d);
    // What lies behind the selector (the microphone's own volume) is not listed.
    EXPECT_EQ(lines_of(L"Line Recording"), (lines{{L"Recording", 2}}));
    m_mxrctl_ca mixer;
    ASSERT_TRUE(mixer.open(L"Line", nullptr));
    ASSERT_EQ(mixer.source_count(0), 1u);
    EXPECT_NE(mixer.lines()[0].selector_part, 0u);
}

TEST_F(mixer_test, sum_node_closes_a_capture_record) {
    description d;
    const int dev = d.capture(L"Stereo Mix", true);
    const int jack = d.connector(dev, L"Mic Jack", Physical_External, In);
    const int mic_vol = d.subunit(dev, L"Mic Volume");
    const int mix = d.sum(dev, L"Mix");
    const int boost = d.subunit(dev, L"Boost");
    const int out = d.connector(dev, L"To Converter", Software_IO, Out);
    d.volume(mic_vol, 2, -12, 30, 0).volume(boost, 1, 0, 30, 10);
    d.chain({jack, mic_vol, mix, boost, out});
    d.attach(dev, jack);
    fakeaudio::world w(d);
    // The SUM ends the microphone's line; the boost behind it has no name of its own.
    EXPECT_EQ(lines_of(L"Stereo Mix"), (lines{{L"Mic Jack", 2}, {L"", 1}}));
}

TEST_F(mixer_test, walk_does_not_pass_a_connector_that_is_not_external) {
    description d;
    const int dev = d.render(L"Headphones", true);
    const int jack = d.connector(dev, L"Headphones", Physical_External, Out);
    const int vol = d.subunit(dev, L"Headphone Volume");
    const int link = d.connector(dev, L"Digital Link", Network, In);
    const int far_pin = d.connector(dev, L"Far Side", Physical_External, Out);
    const int far_vol = d.subunit(dev, L"Far Volume");
    d.volume(vol, 2, -64, 0, -6).volume(far_vol, 2, -64, 0, -6);
    d.chain({vol, jack}).chain({link, vol});
    d.chain({far_vol, far_pin});
    d.connect(link, far_pin);
    d.attach(dev, jack);
    fakeaudio::world w(d);
    EXPECT_EQ(lines_of(L"Headphones"), (lines{{L"Headphones", 2}}));
}

TEST_F(mixer_test, the_standard_topologies_list_their_lines_in_walk_order) {
    fakeaudio::world w;
    EXPECT_EQ(lines_of(L"Speakers"), (lines{{L"Speakers", 2}, {L"", 2}, {L"CD Audio", 2}}));
    EXPECT_EQ(lines_of(L"Microphone"), (lines{{L"Microphone", 1}}));
}

TEST_F(mixer_test, a_topology_that_loops_is_walked_to_an_end) {
    description d;
    const int dev = d.render(L"Loop", true);
    const int jack = d.connector(dev, L"Loop", Physical_External, Out);
    const int a = d.subunit(dev, L"A");
    const int b = d.subunit(dev, L"B");
    const int c = d.subunit(dev, L"C");
    d.volume(a, 2, -64, 0, 0).volume(c, 1, -64, 0, 0);
    // A feeds the jack; B and C feed A and each other.
    d.chain({b, a, jack}).chain({c, a}).chain({a, b}).chain({c, b}).chain({b, c});
    d.attach(dev, jack);
    fakeaudio::world w(d);
    // Back at a part it has walked, a line ends: A's line under the jack's
    // name, then C's, which has no jack of its own.
    EXPECT_EQ(lines_of(L"Loop"), (lines{{L"Loop", 2}, {L"", 1}}));
}

// Thirty diamonds in a row: each part feeds two branches that meet again in
// the next. There are 2^30 paths through them; every part is walked once.
TEST_F(mixer_test, branches_that_meet_again_are_walked_once) {
    description d;
    const int dev = d.render(L"Diamonds", true);
    const int jack = d.connector(dev, L"Diamonds", Physical_External, Out);
    const int line_in = d.connector(dev, L"Line In", Physical_External, In);
    int join = d.subunit(dev, L"Join 0");
    d.volume(join, 2, -64, 0, 0).chain({line_in, join});
    int marked = -1;
    for (int i = 1; i <= 30; ++i) {
        const int left = d.subunit(dev, L"Left " + std::to_wstring(i));
        const int right = d.subunit(dev, L"Right " + std::to_wstring(i));
        const int next = d.subunit(dev, L"Join " + std::to_wstring(i));
        d.chain({join, left, next}).chain({join, right, next});
        if (i == 15) marked = right;
        join = next;
    }
    d.volume(marked, 1, -64, 0, 0);
    d.chain({join, jack}).attach(dev, jack);
    fakeaudio::world w(d);
    // Down the left branches to the line input's volume; the one right
    // branch with a volume ends where it meets what was walked.
    EXPECT_EQ(lines_of(L"Diamonds"), (lines{{L"Line In", 2}, {L"", 1}}));
    m_mxrctl_ca mixer;
    ASSERT_TRUE(mixer.open(L"Diamonds", nullptr));
    ASSERT_EQ(mixer.source_count(0), 2u);
    EXPECT_EQ(mixer.lines()[1].volume_part, w.part(dev, L"Right 15") + 0x20001u);
}

TEST_F(mixer_test, a_device_without_topology_has_only_its_master_volume) {
    description d;
    d.render(L"Plain", true);
    fakeaudio::world w(d);
    m_mxrctl_ca mixer;
    ASSERT_TRUE(mixer.open(nullptr, nullptr));
    EXPECT_EQ(mixer.source_count(0), 0u);
    EXPECT_EQ(line(mixer, 0), nullptr);
    EXPECT_NE(master(mixer), nullptr);
}

// ---------------------------------------------------------------------------
// Device selection

description selection_devices() {
    description d;
    d.capture(L"Speakers Monitor", true); // shares a prefix with the render device below
    d.render(L"", false);                 // no friendly name
    d.render(L"Speakers", true);
    d.render(L"スピーカー (USB)", false);
    d.capture(L"マイク", false);
    return d;
}

TEST_F(mixer_test, null_name_opens_the_default_render_device) {
    fakeaudio::world w(selection_devices());
    m_mxrctl_ca mixer;
    ASSERT_TRUE(mixer.open(nullptr, nullptr));
    EXPECT_STREQ(mixer.name(), L"Speakers");
    EXPECT_EQ(mixer.api_type(), 2);
    EXPECT_EQ(mixer.destination_count(), 1u);
}

struct pick_case {
    const wchar_t* asked;
    const wchar_t* opened; // null: nothing opens
};

class device_by_name : public mixer_test, public ::testing::WithParamInterface<pick_case> {};

TEST_P(device_by_name, opens_the_first_matching_device_of_the_list) {
    fakeaudio::world w(selection_devices());
    m_mxrctl_ca mixer;
    const auto& c = GetParam();
    EXPECT_EQ(mixer.open(c.asked, nullptr), c.opened != nullptr);
    EXPECT_STREQ(mixer.name(), c.opened ? c.opened : L"");
    EXPECT_EQ(mixer.is_open(), c.opened != nullptr);
    if (c.opened) {
        EXPECT_TRUE(mixer.name_matches(c.asked));
    }
}

INSTANTIATE_TEST_SUITE_P(
    table, device_by_name,
    ::testing::Values(
        // Empty: the first device that opens; the nameless one is skipped.
        pick_case{L"", L"Speakers Monitor"},
        // A prefix of two devices: the first in the list, capture or not.
        pick_case{L"Speakers", L"Speakers Monitor"}, pick_case{L"Speakers M", L"Speakers Monitor"},
        pick_case{L"スピ", L"スピーカー (USB)"}, pick_case{L"マイク", L"マイク"},
        // Case matters, and a longer text than the name never matches.
        pick_case{L"speakers", nullptr}, pick_case{L"Speakers Monitor 2", nullptr},
        pick_case{L"Kopfhörer", nullptr}));

TEST_F(mixer_test, device_without_friendly_name_cannot_be_opened_by_index) {
    fakeaudio::world w(selection_devices());
    m_mxrctl_ca mixer;
    EXPECT_EQ(mixer.device_count(), 0u); // no list before first use
    EXPECT_TRUE(mixer.open_index(0, nullptr));
    EXPECT_EQ(mixer.device_count(), 5u);
    EXPECT_FALSE(mixer.open_index(1, nullptr));
    EXPECT_FALSE(mixer.is_open());
    EXPECT_STREQ(mixer.name(), L"");
    EXPECT_FALSE(mixer.name_matches(L""));
    EXPECT_TRUE(mixer.open_index(3, nullptr));
    EXPECT_STREQ(mixer.name(), L"スピーカー (USB)");
    EXPECT_FALSE(mixer.open_index(5, nullptr));
}

TEST_F(mixer_test, device_plugged_in_after_the_first_look_is_found_by_name) {
    fakeaudio::world w(selection_devices());
    const int usb = w.device(L"スピーカー (USB)");
    w.remove(usb);
    m_mxrctl_ca mixer;
    EXPECT_FALSE(mixer.open(L"スピーカー", nullptr));
    w.restore(usb);
    EXPECT_TRUE(mixer.open(L"スピーカー", nullptr));
}

TEST_F(mixer_test, no_audio_system_means_nothing_opens) {
    m_mxrctl_ca::set_enumerator_factory(
        [](IMMDeviceEnumerator** out) -> HRESULT { return *out = nullptr, REGDB_E_CLASSNOTREG; });
    m_mxrctl_ca mixer;
    EXPECT_FALSE(mixer.open(nullptr, nullptr));
    EXPECT_FALSE(mixer.open(L"", nullptr));
    EXPECT_EQ(mixer.device_count(), 0u);
    EXPECT_EQ(mixer.source_count(0), 0u);
    EXPECT_EQ(master(mixer), nullptr);
}

// ---------------------------------------------------------------------------
// Volume, balance and mute

TEST_F(mixer_test, master_volume_is_one_channel_named_after_the_device) {
    fakeaudio::world w;
    m_mxrctl_ca mixer;
    ASSERT_TRUE(mixer.open(nullptr, nullptr));
    auto c = master(mixer);
    ASSERT_NE(c, nullptr);
    EXPECT_STREQ(c->name(), L"Speakers");
    EXPECT_EQ(c->channels(), 1u);
    EXPECT_EQ(c->mixer(), &mixer);
    EXPECT_EQ(c->volume(), 50);
    EXPECT_TRUE(c->set_volume(0));
    EXPECT_EQ(w.master(w.device(L"Speakers")), 0.0f);
    EXPECT_TRUE(c->set_volume(1));
    EXPECT_FLOAT_EQ(w.master(w.device(L"Speakers")), 0.010001f);
    EXPECT_TRUE(c->set_volume(150));
    EXPECT_EQ(w.master(w.device(L"Speakers")), 1.0f);
    EXPECT_EQ(c->volume(), 100);
    // The master volume ignores the balance.
    c->set_balance(-100);
    EXPECT_TRUE(c->set_volume(40));
    EXPECT_EQ(c->volume(), 40);
    EXPECT_FALSE(c->mute());
    EXPECT_TRUE(c->set_mute(true));
    EXPECT_TRUE(w.mute(w.device(L"Speakers")));
    EXPECT_TRUE(c->mute());
}

TEST_F(mixer_test, stereo_line_takes_the_balance_through_the_db_formula) {
    fakeaudio::world w;
    const int dev = w.device(L"Speakers");
    const int cd = w.part(dev, L"CD Volume"); // -34.5..12 dB
    m_mxrctl_ca mixer;
    ASSERT_TRUE(mixer.open(L"Speakers", nullptr));
    auto c = line(mixer, 2);
    ASSERT_NE(c, nullptr);
    ASSERT_STREQ(c->name(), L"CD Audio");
    ASSERT_EQ(c->channels(), 2u);

    EXPECT_TRUE(c->set_balance(50));
    EXPECT_TRUE(c->set_volume(60));
    EXPECT_NEAR(w.level(cd, 1), expected_db(0.600001, -34.5, 12), 1e-4);
    EXPECT_NEAR(w.level(cd, 0), expected_db(0.5 * 0.600001, -34.5, 12), 1e-4);
    EXPECT_EQ(c->volume(), 60); // the louder (right) channel decides

    EXPECT_TRUE(c->set_balance(-50));
    EXPECT_TRUE(c->set_volume(60));
    EXPECT_NEAR(w.level(cd, 0), expected_db(0.600001, -34.5, 12), 1e-4);
    EXPECT_NEAR(w.level(cd, 1), expected_db(0.5 * 0.600001, -34.5, 12), 1e-4);
    EXPECT_EQ(c->balance(), -50);

    EXPECT_TRUE(c->set_balance(300));
    EXPECT_EQ(c->balance(), 100);
    EXPECT_TRUE(c->set_volume(60));
    EXPECT_FLOAT_EQ(w.level(cd, 0), -34.5f);
    // The balance survives closing and re-opening.
    c->close();
    EXPECT_EQ(c->balance(), 100);
}

TEST_F(mixer_test, line_reads_its_louder_channel) {
    fakeaudio::world w;
    const int dev = w.device(L"Speakers");
    const int master_part = w.part(dev, L"Master Volume"); // -64..0 dB
    m_mxrctl_ca mixer;
    ASSERT_TRUE(mixer.open(L"Speakers", nullptr));
    auto c = line(mixer, 0);
    ASSERT_NE(c, nullptr);
    w.set_level(master_part, 0, -40.0f);
    w.set_level(master_part, 1, -6.0f);
    const float loud = -6.0f;
    EXPECT_EQ(c->volume(), mxrctl_math::percent_from_levels(&loud, 1, -64.0f, 0.0f));
    w.set_level(master_part, 0, 0.0f);
    EXPECT_EQ(c->volume(), 100);
}

TEST_F(mixer_test, every_percent_reads_back_on_lines_of_one_and_two_channels) {
    fakeaudio::world w;
    m_mxrctl_ca speakers, microphone;
    ASSERT_TRUE(speakers.open(L"Speakers", nullptr));
    ASSERT_TRUE(microphone.open(L"Microphone", nullptr));
    auto stereo = line(speakers, 2);
    auto mono = line(microphone, 0);
    ASSERT_TRUE(stereo && mono);
    ASSERT_EQ(mono->channels(), 1u);
    for (int32_t p = 0; p <= 100; ++p) {
        EXPECT_TRUE(stereo->set_volume(p));
        EXPECT_TRUE(mono->set_volume(p));
        EXPECT_EQ(stereo->volume(), p);
        EXPECT_EQ(mono->volume(), p);
    }
    // A one-channel line is set uniformly; the balance does not apply.
    mono->set_balance(100);
    EXPECT_TRUE(mono->set_volume(70));
    EXPECT_EQ(mono->volume(), 70);
}

TEST_F(mixer_test, line_mute_and_lines_without_one) {
    fakeaudio::world w;
    const int dev = w.device(L"Speakers");
    m_mxrctl_ca mixer;
    ASSERT_TRUE(mixer.open(L"Speakers", nullptr));
    auto cd = line(mixer, 2);
    auto wave = line(mixer, 1); // no mute control
    ASSERT_TRUE(cd && wave);
    EXPECT_TRUE(cd->set_mute(true));
    EXPECT_TRUE(w.part_mute(w.part(dev, L"CD Mute")));
    EXPECT_TRUE(cd->mute());
    EXPECT_FALSE(wave->set_mute(true));
    EXPECT_FALSE(wave->mute());
}

TEST_F(mixer_test, unopened_control_reports_nothing) {
    fakeaudio::world w;
    m_mxrctl_ca mixer;
    auto c = control(mixer);
    EXPECT_FALSE(c->open(false, 0, -1)); // the device is not open
    ASSERT_TRUE(mixer.open(nullptr, nullptr));
    EXPECT_FALSE(c->open(true, 0, 3)); // out of range
    EXPECT_FALSE(c->open(true, 0, -2));
    EXPECT_FALSE(c->is_open());
    EXPECT_EQ(c->volume(), 0);
    EXPECT_FALSE(c->set_volume(50));
    EXPECT_FALSE(c->mute());
    EXPECT_FALSE(c->set_mute(true));
    EXPECT_EQ(c->channels(), 0u);
    EXPECT_STREQ(c->name(), L"");
    EXPECT_TRUE(c->set_balance(20));
}

// ---------------------------------------------------------------------------
// Change notifications

TEST_F(mixer_test, change_from_another_thread_is_claimed_by_its_control_only) {
    fakeaudio::world w;
    notify_window window;
    m_mxrctl_ca speakers, microphone;
    ASSERT_TRUE(speakers.open(L"Speakers", window.get()));
    ASSERT_TRUE(microphone.open(L"Microphone", window.get()));
    auto speakers_master = master(speakers);
    auto cd = line(speakers, 2);
    auto mic = master(microphone);
    ASSERT_TRUE(speakers_master && cd && mic);
    window.collect(50); // nothing pending

    std::thread([&] { w.set_master(w.device(L"Speakers"), 0.25f); }).join();
    auto got = window.collect(3000, 1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_TRUE(speakers_master->is_notification(got[0].message, got[0].wParam));
    EXPECT_FALSE(cd->is_notification(got[0].message, got[0].wParam));
    EXPECT_FALSE(mic->is_notification(got[0].message, got[0].wParam));
    EXPECT_FALSE(speakers_master->is_notification(got[0].message + 1, got[0].wParam));
    EXPECT_EQ(speakers_master->volume(), 25);

    const int dev = w.device(L"Speakers");
    std::thread([&] { w.set_part_mute(w.part(dev, L"CD Mute"), true); }).join();
    got = window.collect(3000, 1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_TRUE(cd->is_notification(got[0].message, got[0].wParam));
    EXPECT_FALSE(speakers_master->is_notification(got[0].message, got[0].wParam));
    EXPECT_TRUE(cd->mute());

    std::thread([&] { w.set_level(w.part(dev, L"CD Volume"), 1, -3.0f); }).join();
    got = window.collect(3000, 1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_TRUE(cd->is_notification(got[0].message, got[0].wParam));
    EXPECT_FALSE(mic->is_notification(got[0].message, got[0].wParam));
}

TEST_F(mixer_test, own_changes_are_notified_too) {
    fakeaudio::world w;
    notify_window window;
    m_mxrctl_ca mixer;
    ASSERT_TRUE(mixer.open(nullptr, window.get()));
    auto c = master(mixer);
    ASSERT_NE(c, nullptr);
    ASSERT_TRUE(c->set_volume(30));
    auto got = window.collect(3000, 1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_TRUE(c->is_notification(got[0].message, got[0].wParam));
    ASSERT_TRUE(c->set_mute(true));
    got = window.collect(3000, 1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_TRUE(c->is_notification(got[0].message, got[0].wParam));
}

TEST_F(mixer_test, message_for_a_released_control_is_claimed_by_nobody) {
    fakeaudio::world w;
    notify_window window;
    m_mxrctl_ca mixer;
    ASSERT_TRUE(mixer.open(L"Speakers", window.get()));
    auto kept = master(mixer);
    auto kept_line = line(mixer, 0);
    auto gone = line(mixer, 2);
    ASSERT_TRUE(kept && kept_line && gone);
    ASSERT_TRUE(gone->set_volume(10));
    // Released after the audio system posted its message, before it is handled.
    MSG pending;
    const DWORD start = GetTickCount();
    while (!PeekMessageW(&pending, window.get(), mxrctl_change_message, mxrctl_change_message,
                         PM_NOREMOVE) &&
           GetTickCount() - start < 3000)
        Sleep(1);
    gone.reset();
    auto got = window.collect(3000, 1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_FALSE(kept->is_notification(got[0].message, got[0].wParam));
    EXPECT_FALSE(kept_line->is_notification(got[0].message, got[0].wParam));
    EXPECT_FALSE(MXRCTL_CallbackCheck(kept.get(), got[0].message, got[0].wParam));
}

TEST_F(mixer_test, callbacks_only_with_a_window_and_only_while_open) {
    fakeaudio::world w;
    {
        m_mxrctl_ca quiet;
        ASSERT_TRUE(quiet.open(L"Speakers", nullptr));
        auto a = master(quiet);
        auto b = line(quiet, 2);
        EXPECT_EQ(w.registered_callbacks(), 0u);
    }
    notify_window window;
    m_mxrctl_ca mixer;
    ASSERT_TRUE(mixer.open(L"Speakers", window.get()));
    auto a = master(mixer);
    auto b = line(mixer, 2); // volume and mute
    EXPECT_EQ(w.registered_callbacks(), 3u);
    // Opening an open control again, on the same line or another, lets go
    // of what the earlier opening held.
    const long live = w.live_objects();
    const struct {
        int32_t source;
        size_t callbacks; // the endpoint's one and the line's
    } reopenings[] = {{2, 3}, {1, 2}, {0, 3}, {2, 3}};
    for (const auto& again : reopenings) {
        SCOPED_TRACE(again.source);
        ASSERT_TRUE(b->open(true, 0, again.source));
        EXPECT_EQ(w.registered_callbacks(), again.callbacks);
    }
    EXPECT_EQ(w.live_objects(), live) << w.live_object_list();
    ASSERT_TRUE(a->open(false, 0, -1));
    EXPECT_EQ(w.registered_callbacks(), 3u);
    EXPECT_EQ(w.live_objects(), live) << w.live_object_list();
    b->close();
    EXPECT_EQ(w.registered_callbacks(), 1u);
    a.reset();
    EXPECT_EQ(w.registered_callbacks(), 0u);
}

// ---------------------------------------------------------------------------
// Devices that go away

TEST_F(mixer_test, removed_device_fails_softly_and_works_again_when_back) {
    fakeaudio::world w;
    const int dev = w.device(L"Speakers");
    notify_window window;
    m_mxrctl_ca mixer;
    ASSERT_TRUE(mixer.open(L"Speakers", window.get()));
    auto m = master(mixer);
    auto cd = line(mixer, 2);
    ASSERT_TRUE(m && cd);
    ASSERT_TRUE(m->set_volume(40));

    w.remove(dev);
    EXPECT_EQ(m->volume(), 0);
    EXPECT_FALSE(m->set_volume(70));
    EXPECT_FALSE(m->mute());
    EXPECT_FALSE(m->set_mute(true));
    EXPECT_EQ(cd->volume(), 0);
    EXPECT_FALSE(cd->set_volume(70));
    EXPECT_FALSE(cd->set_mute(true));
    EXPECT_FALSE(m->open(false, 0, -1));
    EXPECT_FALSE(cd->open(true, 0, 2));
    m_mxrctl_ca other;
    EXPECT_FALSE(other.open(L"Speakers", nullptr));
    EXPECT_FALSE(other.open(nullptr, nullptr)); // it was the default

    w.restore(dev);
    EXPECT_EQ(m->volume(), 0); // interfaces of the old device stay dead
    ASSERT_TRUE(m->open(false, 0, -1));
    EXPECT_EQ(m->volume(), 40);
    EXPECT_TRUE(m->set_volume(70));
    // The topology kept by the device object is walked anew.
    ASSERT_TRUE(cd->open(true, 0, 2));
    EXPECT_STREQ(cd->name(), L"CD Audio");
    EXPECT_TRUE(cd->set_volume(30));
    EXPECT_EQ(cd->volume(), 30);
    EXPECT_TRUE(other.open(L"Speakers", nullptr));
}

TEST_F(mixer_test, ten_thousand_open_close_cycles_leak_no_reference) {
    fakeaudio::world w;
    notify_window window;
    {
        m_mxrctl_ca mixer;
        auto m = control(mixer);
        auto l = control(mixer);
        for (int i = 0; i < 10000; ++i) {
            ASSERT_TRUE(mixer.open(i % 2 ? L"Speakers" : nullptr, window.get())) << i;
            ASSERT_TRUE(m->open(false, 0, -1)) << i;
            ASSERT_TRUE(l->open(true, 0, i % 3)) << i;
            l->close();
            m->close();
            mixer.close();
        }
        EXPECT_EQ(w.registered_callbacks(), 0u);
    }
    EXPECT_EQ(w.live_objects(), 0) << w.live_object_list();
}

// A program's control: its sessions on the device move together, a change
// by anyone else is told and its own is not, new sessions come in at the
// next use and expired ones are let go, and nothing outlives the control.
TEST_F(mixer_test, application_control_follows_its_programs_sessions) {
    fakeaudio::world w;
    const int speakers = w.device(L"Speakers");
    const int a = w.add_session(speakers, 10, L"C:\\P\\player.exe", L"Player", 0.3f);
    const int b = w.add_session(speakers, 11, L"C:\\P\\Player.EXE", L"", 0.6f);
    const int other = w.add_session(speakers, 12, L"C:\\P\\other.exe", L"", 0.9f);
    // Another program names its session as it likes.
    w.add_session(speakers, 14, L"C:\\P\\odd.exe", L"Two\r\nlines&{c 0x504}", 0.9f);
    notify_window window;
    {
        m_mxrctl_ca mixer;
        ASSERT_TRUE(mixer.open(nullptr, window.get()));
        control_ptr app(create_application_control(mixer, L"player.exe"));
        control_ptr idle(create_application_control(mixer, L"late.exe"));
        control_ptr odd(create_application_control(mixer, L"odd.exe"));
        ASSERT_TRUE(app && idle && odd);
        ASSERT_TRUE(odd->open(false, 0, -1));
        EXPECT_EQ(std::wstring(odd->name()), L"Two  lines& {c 0x504}");
        odd->close();
        EXPECT_FALSE(app->is_open());
        ASSERT_TRUE(app->open(false, 0, -1));
        ASSERT_TRUE(idle->open(false, 0, -1));
        EXPECT_EQ(std::wstring(app->name()), L"Player");
        EXPECT_EQ(app->volume(), 60) << "the loudest session";
        EXPECT_FALSE(app->idle());
        EXPECT_TRUE(idle->idle());
        EXPECT_EQ(std::wstring(idle->name()), L"late.exe");
        EXPECT_FALSE(idle->set_volume(50)) << "nothing to act on";

        ASSERT_TRUE(app->set_volume(45));
        EXPECT_EQ(fakeaudio::percent(w.session_volume(a)), 45);
        EXPECT_EQ(fakeaudio::percent(w.session_volume(b)), 45);
        EXPECT_EQ(fakeaudio::percent(w.session_volume(other)), 90);
        ASSERT_TRUE(app->set_mute(true));
        EXPECT_TRUE(w.session_mute(a) && w.session_mute(b) && app->mute());
        EXPECT_TRUE(window.collect(300).empty()) << "its own changes are not told";
        w.set_session_volume(b, 0.7f);
        auto got = window.collect(2000, 1);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_TRUE(app->is_notification(got[0].message, got[0].wParam));
        EXPECT_FALSE(idle->is_notification(got[0].message, got[0].wParam));
        EXPECT_EQ(app->volume(), 70);

        const int late = w.add_session(speakers, 13, L"D:\\late.exe", L"", 0.2f);
        // Every program's control on the device hears of a new session.
        got = window.collect(2000, 2);
        ASSERT_EQ(got.size(), 2u);
        EXPECT_TRUE(idle->is_notification(got[0].message, got[0].wParam) ||
                    idle->is_notification(got[1].message, got[1].wParam));
        EXPECT_EQ(idle->volume(), 20);
        EXPECT_FALSE(idle->idle());
        w.set_session_state(late, 2);
        window.collect(2000, 1);
        EXPECT_EQ(idle->volume(), 0);
        EXPECT_TRUE(idle->idle());
        // The expired session is let go: once the objects the notifications
        // carried are released, the two of the other program are all held.
        const DWORD start = GetTickCount();
        while (w.live_sessions_everywhere() != 2 && GetTickCount() - start < 2000) Sleep(10);
        EXPECT_EQ(w.live_sessions_everywhere(), 2) << "the expired session is let go";
        app->close();
        idle->close();
        EXPECT_EQ(w.registered_callbacks(), 0u);
    }
    EXPECT_EQ(w.live_objects(), 0) << w.live_object_list();
}

// ---------------------------------------------------------------------------
// The flat exports, found the way plug-ins find them

template <typename F> F exported(const char* name) {
    return reinterpret_cast<F>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(nullptr), name)));
}

TEST_F(mixer_test, exports_are_found_in_the_running_program_and_work) {
    fakeaudio::world w;
    auto api_type = exported<MXRCTL_GetApiType_fn>("MXRCTL_GetApiType");
    auto mixer_create = exported<MXRCTL_MixerCreate_fn>("MXRCTL_MixerCreate");
    auto mixer_release = exported<MXRCTL_MixerRelease_fn>("MXRCTL_MixerRelease");
    auto control_create = exported<MXRCTL_ControlCreate_fn>("MXRCTL_ControlCreate");
    auto control_release = exported<MXRCTL_ControlRelease_fn>("MXRCTL_ControlRelease");
    auto volume_get = exported<MXRCTL_VolumeGet_fn>("MXRCTL_VolumeGet");
    auto volume_set = exported<MXRCTL_VolumeSet_fn>("MXRCTL_VolumeSet");
    auto mute_get = exported<MXRCTL_MuteGet_fn>("MXRCTL_MuteGet");
    auto mute_set = exported<MXRCTL_MuteSet_fn>("MXRCTL_MuteSet");
    auto callback_check = exported<MXRCTL_CallbackCheck_fn>("MXRCTL_CallbackCheck");
    auto application_create = exported<MXRCTL_ApplicationCreate_fn>("MXRCTL_ApplicationCreate");
    ASSERT_TRUE(api_type && mixer_create && mixer_release && control_create && control_release &&
                volume_get && volume_set && mute_get && mute_set && callback_check &&
                application_create);
    EXPECT_EQ(exported<MXRCTL_ControlSelect_fn>("MXRCTL_ControlSelect"), nullptr);
    EXPECT_EQ(api_type(), 2);

    wchar_t name[mxrctl_name_length];
    std::fill(std::begin(name), std::end(name), L'x');
    m_mxrctl* mixer = mixer_create(nullptr, nullptr, name);
    ASSERT_NE(mixer, nullptr);
    EXPECT_STREQ(name, L"Speakers");
    EXPECT_EQ(mixer_create(L"No Such Device", nullptr, name), nullptr);

    mxrctl_control_info info;
    std::fill(std::begin(info.destination), std::end(info.destination), L'x');
    info.channels = 99;
    m_mxrctl::m_devs* m = control_create(mixer, 0, -1, &info);
    ASSERT_NE(m, nullptr);
    EXPECT_STREQ(info.destination, L"");
    EXPECT_STREQ(info.control, L"Speakers");
    EXPECT_EQ(info.channels, 1u);
    EXPECT_TRUE(volume_set(m, 150, 0));
    EXPECT_EQ(volume_get(m), 100);
    EXPECT_TRUE(mute_set(m, true));
    EXPECT_TRUE(mute_get(m));

    m_mxrctl::m_devs* cd = control_create(mixer, 0, 2, &info);
    ASSERT_NE(cd, nullptr);
    EXPECT_STREQ(info.control, L"CD Audio");
    EXPECT_EQ(info.channels, 2u);
    EXPECT_TRUE(volume_set(cd, 50, 300)); // balance 100: left silent
    EXPECT_FLOAT_EQ(w.level(w.part(w.device(L"Speakers"), L"CD Volume"), 0), -34.5f);
    EXPECT_EQ(volume_get(cd), 50);
    EXPECT_EQ(control_create(mixer, 0, 7, &info), nullptr);

    // A program's control takes the same calls; it exists before the
    // program plays, reading 0 and refusing to be set.
    m_mxrctl::m_devs* later = application_create(mixer, L"later.exe", &info);
    ASSERT_NE(later, nullptr);
    EXPECT_STREQ(info.control, L"later.exe");
    EXPECT_EQ(volume_get(later), 0);
    EXPECT_FALSE(volume_set(later, 40, 0));
    const int session = w.add_session(w.device(L"Speakers"), 7, L"C:\\p\\player.exe", L"Player");
    m_mxrctl::m_devs* app = application_create(mixer, L"player.exe", &info);
    ASSERT_NE(app, nullptr);
    EXPECT_STREQ(info.control, L"Player");
    EXPECT_EQ(info.channels, 1u);
    EXPECT_TRUE(volume_set(app, 30, 0));
    EXPECT_EQ(fakeaudio::percent(w.session_volume(session)), 30);
    EXPECT_EQ(volume_get(app), 30);
    EXPECT_TRUE(mute_set(app, true));
    EXPECT_TRUE(mute_get(app) && w.session_mute(session));
    // The idle one comes alive once its program plays, without a new control.
    w.add_session(w.device(L"Speakers"), 8, L"C:\\p\\later.exe", L"", 0.6f);
    EXPECT_EQ(volume_get(later), 60);
    EXPECT_EQ(application_create(mixer, L"", &info), nullptr);
    EXPECT_EQ(application_create(nullptr, L"player.exe", &info), nullptr);
    control_release(later);
    control_release(app);

    // Null handles are refused, never followed.
    EXPECT_EQ(control_create(nullptr, 0, -1, &info), nullptr);
    EXPECT_EQ(volume_get(nullptr), 0);
    EXPECT_FALSE(volume_set(nullptr, 10, 0));
    EXPECT_FALSE(mute_get(nullptr));
    EXPECT_FALSE(mute_set(nullptr, true));
    EXPECT_FALSE(callback_check(nullptr, mxrctl_change_message, 0));
    mixer_release(nullptr);
    control_release(nullptr);

    control_release(cd);
    // Either release entry point takes either kind of handle.
    mixer_release(m);
    control_release(mixer);
    EXPECT_EQ(w.live_objects(), 0) << w.live_object_list();
}

// ---------------------------------------------------------------------------
// Following the default device

constexpr UINT devices_message = WM_APP + 0x30;

// Two outputs and two inputs; the first of each is the default.
description two_of_each() {
    description d;
    d.render(L"Speakers", true, 0.3f);
    d.render(L"Headphones", false, 0.6f);
    d.capture(L"Microphone", true);
    d.capture(L"Line In", false);
    return d;
}

// Messages `message` that reach `window` within `ms`.
size_t count_posted(HWND window, UINT message, DWORD ms) {
    size_t got = 0;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == message && msg.hwnd == window)
                ++got;
            else
                DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return got;
}

TEST_F(mixer_test, default_device_is_the_render_default_whatever_the_input_default) {
    fakeaudio::world w(two_of_each());
    const int speakers = w.device(L"Speakers"), headphones = w.device(L"Headphones");
    m_mxrctl_ca by_default, by_name, closed;
    ASSERT_TRUE(by_default.open(nullptr, nullptr));
    ASSERT_TRUE(by_name.open(L"Speakers", nullptr));
    EXPECT_TRUE(by_default.is_default_device());
    EXPECT_TRUE(by_name.is_default_device());
    EXPECT_FALSE(closed.is_default_device());

    w.set_default(w.device(L"Line In"));
    EXPECT_TRUE(by_default.is_default_device()) << "an input default is not followed";
    w.set_default(headphones);
    EXPECT_FALSE(by_default.is_default_device());
    ASSERT_TRUE(by_default.open(nullptr, nullptr));
    EXPECT_STREQ(by_default.name(), L"Headphones");
    EXPECT_TRUE(by_default.is_default_device());
    EXPECT_FALSE(by_name.is_default_device());

    // Unplugged, the default passes to the other output; with none left,
    // nothing is the default.
    w.remove(headphones);
    EXPECT_FALSE(by_default.is_default_device());
    EXPECT_TRUE(by_name.is_default_device());
    w.remove(speakers);
    EXPECT_FALSE(by_name.is_default_device());
    EXPECT_FALSE(by_default.open(nullptr, nullptr));
    w.restore(headphones);
    ASSERT_TRUE(by_default.open(nullptr, nullptr));
    EXPECT_STREQ(by_default.name(), L"Headphones");
}

TEST_F(mixer_test, device_watch_posts_once_per_burst_and_nothing_after_stop) {
    fakeaudio::world w(two_of_each());
    const int speakers = w.device(L"Speakers"), headphones = w.device(L"Headphones");
    notify_window window;
    {
        m_mxrctl_ca::m_device_watch watch;
        ASSERT_TRUE(watch.start(window.get(), devices_message));
        EXPECT_EQ(w.registered_callbacks(), 1u);

        // A state change, a removal and three new defaults: one message.
        w.remove(speakers);
        EXPECT_EQ(count_posted(window.get(), devices_message, 400), 1u);
        // Not taken yet: whatever follows waits for the window thread.
        w.restore(speakers);
        w.set_default(speakers);
        EXPECT_EQ(count_posted(window.get(), devices_message, 300), 0u);
        watch.take();
        w.set_default(headphones);
        EXPECT_EQ(count_posted(window.get(), devices_message, 400), 1u);
        watch.take();
        // Only the default an empty name opens matters.
        w.set_default(w.device(L"Line In"));
        EXPECT_EQ(count_posted(window.get(), devices_message, 300), 0u);
        EXPECT_EQ(w.calls_from_callbacks(), 0);

        watch.stop();
        EXPECT_FALSE(watch.watching());
        EXPECT_EQ(w.registered_callbacks(), 0u);
        w.set_default(speakers);
        w.remove(headphones);
        EXPECT_EQ(count_posted(window.get(), devices_message, 300), 0u);
        ASSERT_TRUE(watch.start(window.get(), devices_message));
    }
    EXPECT_EQ(w.registered_callbacks(), 0u) << "the watch unregisters when it goes";
    EXPECT_EQ(w.live_objects(), 0) << w.live_object_list();
}

// What a client of the fake hears, in order.
class recording_client final : public mxrctl_com_callback<IMMNotificationClient> {
public:
    std::vector<std::wstring> heard() {
        std::lock_guard<std::mutex> hold(lock_);
        return heard_;
    }
    HRESULT STDMETHODCALLTYPE OnDeviceStateChanged(LPCWSTR id, DWORD state) noexcept override {
        return note(L"state" + std::to_wstring(state), id);
    }
    HRESULT STDMETHODCALLTYPE OnDeviceAdded(LPCWSTR id) noexcept override {
        return note(L"added", id);
    }
    HRESULT STDMETHODCALLTYPE OnDeviceRemoved(LPCWSTR id) noexcept override {
        return note(L"removed", id);
    }
    HRESULT STDMETHODCALLTYPE OnDefaultDeviceChanged(EDataFlow flow, ERole role,
                                                     LPCWSTR id) noexcept override {
        return note(L"default" + std::to_wstring(flow) + std::to_wstring(role), id);
    }
    HRESULT STDMETHODCALLTYPE OnPropertyValueChanged(LPCWSTR, const PROPERTYKEY) noexcept override {
        return note(L"property", nullptr);
    }

private:
    // The fake's ids end in the device index and a brace.
    HRESULT note(const std::wstring& what, LPCWSTR id) noexcept {
        std::lock_guard<std::mutex> hold(lock_);
        const size_t length = id ? wcslen(id) : 0;
        heard_.push_back(what + L" " + (length >= 2 ? std::wstring(1, id[length - 2]) : L"-"));
        return S_OK;
    }
    std::mutex lock_;
    std::vector<std::wstring> heard_;
};

TEST_F(mixer_test, fake_reports_device_changes_as_windows_does) {
    fakeaudio::world w(two_of_each()); // devices 0, 1 output; 2, 3 input
    Microsoft::WRL::ComPtr<IMMDeviceEnumerator> enumerator;
    ASSERT_HRESULT_SUCCEEDED(w.create_enumerator(&enumerator));
    Microsoft::WRL::ComPtr<recording_client> client(new recording_client);
    ASSERT_HRESULT_SUCCEEDED(enumerator->RegisterEndpointNotificationCallback(client.Get()));
    using heard = std::vector<std::wstring>;
    const struct {
        const char* what;
        std::function<void()> act;
        heard expected;
    } steps[] = {
        {"new default",
         [&] { w.set_default(1); },
         {L"default00 1", L"default01 1", L"default02 1"}},
        {"default unplugged: the other output takes over",
         [&] { w.remove(1); },
         {L"state4 1", L"removed 1", L"default00 0", L"default01 0", L"default02 0"}},
        {"back, not the default", [&] { w.restore(1); }, {L"added 1", L"state1 1"}},
        {"input default",
         [&] { w.set_default(3); },
         {L"default10 3", L"default11 3", L"default12 3"}},
        {"the last output gone and back",
         [&] {
             w.remove(1);
             w.remove(0);
             w.restore(0);
         },
         {L"state4 1", L"removed 1", L"state4 0", L"removed 0", L"default00 -", L"default01 -",
          L"default02 -", L"added 0", L"state1 0", L"default00 0", L"default01 0", L"default02 0"}},
    };
    size_t seen = 0;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        heard got;
        const DWORD start = GetTickCount();
        while ((got = client->heard()).size() < seen + step.expected.size() &&
               GetTickCount() - start < 2000)
            Sleep(10);
        Sleep(50); // nothing more comes
        got = client->heard();
        EXPECT_EQ(
            heard(got.begin() + static_cast<ptrdiff_t>(std::min(seen, got.size())), got.end()),
            step.expected);
        seen = got.size();
    }
    ASSERT_HRESULT_SUCCEEDED(enumerator->UnregisterEndpointNotificationCallback(client.Get()));
    EXPECT_EQ(w.registered_callbacks(), 0u);
}

} // namespace
