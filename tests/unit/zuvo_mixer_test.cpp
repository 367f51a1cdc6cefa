// The controls model over the fake audio system: step fitting, binding and
// sharing of devices, control switching, commands and the refresh.

#include "main/commands.h"
#include "main/volume_step.h"
#include "main/zuvo_mixer.h"
#include "mxrctl/mxrctl_ca.h"
#include "tests/support/fakeaudio/fake_audio.h"
#include "tests/support/harness.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

struct fit_case {
    int32_t target;
    int32_t current;
    uint32_t step;
    int32_t expected;
};

class step_fitting : public ::testing::TestWithParam<fit_case> {};

TEST_P(step_fitting, snaps_against_the_direction_of_change) {
    const auto& c = GetParam();
    EXPECT_EQ(fit_to_step(c.target, c.current, c.step), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    table, step_fitting,
    ::testing::Values(fit_case{53, 43, 10, 50},    // 43 up
                      fit_case{33, 43, 10, 40},    // 43 down
                      fit_case{-7, 3, 10, 0},      // 3 down
                      fit_case{57, 20, 10, 50},    // absolute 57 from 20
                      fit_case{105, 95, 10, 100},  // 95 up
                      fit_case{-5, 5, 10, 0},      // 5 down
                      fit_case{110, 100, 10, 110}, // on the grid: left to the mixer's limit
                      fit_case{57, 57, 10, 60},    // staying counts as down
                      fit_case{7, 0, 0, 7},        // no grid
                      fit_case{INT32_MAX, 0, 7, INT32_MAX - 1},
                      fit_case{INT32_MIN, 0, 10, INT32_MIN + 8}, fit_case{5, 0, 4000000000u, 0}));

TEST(step_grid, zero_step_and_negative_targets) {
    EXPECT_FALSE(off_step_grid(43, 0));
    EXPECT_TRUE(off_step_grid(-7, 10));
    EXPECT_FALSE(off_step_grid(-20, 10));
    EXPECT_TRUE(off_step_grid(1, 4000000000u));
}

// A hidden window that collects what the model posts.
class post_box : public test_support::message_window {
public:
    HWND window() const { return get(); }
    // WM_COMMAND wParams posted so far (the queue is emptied).
    std::vector<WPARAM> commands() const {
        std::vector<WPARAM> found;
        for (const MSG& m : take())
            if (m.message == WM_COMMAND) found.push_back(m.wParam);
        return found;
    }
    void drain() const { take(); }
};

std::unique_ptr<control_entry> control_on(const wchar_t* caption, const wchar_t* mixer,
                                          int32_t source = -1) {
    auto e = std::make_unique<control_entry>();
    wcsncpy(e->caption, caption, 63);
    wcsncpy(e->mixer, mixer, 255);
    e->source = source;
    return e;
}

class model : public ::testing::Test {
protected:
    model()
        : hardware_(), speakers_(hardware_.device(L"Speakers")),
          microphone_(hardware_.device(L"Microphone")) {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        m_mxrctl_ca::set_enumerator_factory(fakeaudio::world::factory);
    }
    ~model() override {
        m_mxrctl_ca::set_enumerator_factory(nullptr);
        CoUninitialize();
    }

    void start(std::unique_ptr<Czuvo_mixer>& mixer) {
        mixer = std::make_unique<Czuvo_mixer>();
        mixer->create_controls(posts_.window(), &config_);
        mixer->select_initial_control();
        posts_.drain();
    }
    int volume_of(int device) const {
        return static_cast<int>(std::floor((hardware_.master(device) + 0.000001) * 100));
    }

    fakeaudio::world hardware_;
    int speakers_, microphone_;
    Cconfig config_;
    post_box posts_;
};

struct step_case {
    float start;
    uint16_t command;
    uint32_t step;
    bool fit;
    int expected;
    bool changed;
};

class stepping : public model, public ::testing::WithParamInterface<step_case> {};

TEST_P(stepping, volume_commands_set_the_hardware_and_report_change) {
    const auto& c = GetParam();
    config_.controls[0] = control_on(L"#", L"");
    config_.vol_step_size = c.step;
    config_.vol_step_fit = c.fit;
    std::unique_ptr<Czuvo_mixer> mixer;
    start(mixer);
    hardware_.set_master(speakers_, c.start);
    ASSERT_TRUE(mixer->handle_command(c.command, 0, 0));
    EXPECT_EQ(volume_of(speakers_), c.expected);
    const WPARAM refresh =
        make_command(CMD_REFRESH) | REFRESH_SHOW | (c.changed ? REFRESH_CHANGED : 0);
    EXPECT_EQ(posts_.commands(), std::vector<WPARAM>{refresh});
}

INSTANTIATE_TEST_SUITE_P(
    table, stepping,
    ::testing::Values(step_case{0.43f, CMD_VOLUME_UP, 10, true, 50, true},
                      step_case{0.43f, CMD_VOLUME_DOWN, 10, true, 40, true},
                      step_case{0.03f, CMD_VOLUME_DOWN, 10, true, 0, true},
                      step_case{0.95f, CMD_VOLUME_UP, 10, true, 100, true},
                      step_case{0.05f, CMD_VOLUME_DOWN, 10, true, 0, true},
                      // 100 + 10 is asked for and limited to 100: nothing changed.
                      step_case{1.0f, CMD_VOLUME_UP, 10, true, 100, false},
                      // Without fitting the mixer is asked for -7 and stores 0.
                      step_case{0.03f, CMD_VOLUME_DOWN, 10, false, 0, true},
                      step_case{0.43f, CMD_VOLUME_UP, 10, false, 53, true},
                      // A step of 0 changes nothing and divides by nothing.
                      step_case{0.43f, CMD_VOLUME_UP, 0, true, 43, false}));

// Hardware that holds its levels 1.5 dB apart, rounding what it is given to
// the nearest step or the one below: at -1.5 dB (84 %) a step of 5 % lies
// within one of its steps, and must move it all the same.
struct stepped_case {
    bool line; // else the device's master volume
    fakeaudio::description::rounding rounding;
    float start_db;
    uint16_t command;
    float expected_db;
};

class stepped_hardware : public ::testing::TestWithParam<stepped_case> {};

TEST_P(stepped_hardware, a_volume_step_moves_at_least_one_hardware_step) {
    const auto& c = GetParam();
    fakeaudio::description d;
    const int speakers = d.render(L"Speakers", true, std::pow(10.0f, c.start_db / 20.0f), 2);
    const int jack = d.connector(speakers, L"Speakers", Physical_External, Out);
    const int volume = d.subunit(speakers, L"Master Volume");
    d.volume(volume, 2, -46.5f, 0.0f, c.start_db, 1.5f)
        .chain({volume, jack})
        .attach(speakers, jack);
    fakeaudio::world hardware(d.endpoint_steps(speakers, 1.5f).hardware_writes(true, c.rounding));
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    m_mxrctl_ca::set_enumerator_factory(fakeaudio::world::factory);
    Cconfig config;
    config.controls[0] = c.line ? control_on(L"Line", L"Speakers", 0) : control_on(L"#", L"");
    config.vol_step_size = 5;
    post_box posts;
    {
        Czuvo_mixer mixer;
        mixer.create_controls(posts.window(), &config);
        mixer.select_initial_control();
        posts.drain();
        ASSERT_TRUE(mixer.handle_command(c.command, 0, 0));
        // Changed, as the hardware tells, only where it could move.
        const bool moved = c.expected_db != c.start_db;
        EXPECT_EQ(posts.commands(), std::vector<WPARAM>{make_command(CMD_REFRESH) | REFRESH_SHOW |
                                                        (moved ? REFRESH_CHANGED : 0)});
    }
    EXPECT_NEAR(c.line ? hardware.level(volume, 1) : 20.0f * std::log10(hardware.master(speakers)),
                c.expected_db, 1e-3);
    m_mxrctl_ca::set_enumerator_factory(nullptr);
    CoUninitialize();
}

constexpr auto nearest = fakeaudio::description::rounding::nearest;
constexpr auto below = fakeaudio::description::rounding::down;
INSTANTIATE_TEST_SUITE_P(
    table, stepped_hardware,
    ::testing::Values(stepped_case{true, nearest, -1.5f, CMD_VOLUME_UP, 0.0f},
                      stepped_case{true, nearest, -1.5f, CMD_VOLUME_DOWN, -3.0f},
                      stepped_case{true, below, -1.5f, CMD_VOLUME_UP, 0.0f},
                      stepped_case{false, nearest, -1.5f, CMD_VOLUME_UP, 0.0f},
                      stepped_case{false, nearest, -1.5f, CMD_VOLUME_DOWN, -3.0f},
                      stepped_case{false, below, -1.5f, CMD_VOLUME_UP, 0.0f},
                      // The ends of the range hold.
                      stepped_case{true, nearest, 0.0f, CMD_VOLUME_UP, 0.0f},
                      stepped_case{false, below, 0.0f, CMD_VOLUME_UP, 0.0f}));

TEST_F(model, steps_beyond_the_scale_report_no_change_at_its_ends) {
    config_.controls[0] = control_on(L"#", L"");
    config_.vol_step_fit = false;
    std::unique_ptr<Czuvo_mixer> mixer;
    start(mixer);
    hardware_.set_master(speakers_, 1.0f);
    EXPECT_FALSE(mixer->change_volume(0, 10, true));
    EXPECT_FALSE(mixer->change_volume(0, 250, false));
    EXPECT_EQ(volume_of(speakers_), 100);
    hardware_.set_master(speakers_, 0.0f);
    EXPECT_FALSE(mixer->change_volume(0, -10, true));
    EXPECT_EQ(volume_of(speakers_), 0);
    EXPECT_TRUE(mixer->change_volume(0, 7, true));
    EXPECT_EQ(volume_of(speakers_), 7);
}

TEST_F(model, absolute_volume_and_mute_of_any_slot) {
    config_.controls[0] = control_on(L"#", L"");
    config_.controls[3] = control_on(L"Mic", L"Microphone");
    std::unique_ptr<Czuvo_mixer> mixer;
    start(mixer);
    hardware_.set_master(microphone_, 0.2f);
    EXPECT_TRUE(mixer->handle_command(CMD_CONTROL + 3, CONTROL_SET_VOLUME, 57));
    EXPECT_EQ(volume_of(microphone_), 50); // absolute 57 from 20 fits down to 50
    EXPECT_EQ(posts_.commands(), std::vector<WPARAM>{0x00030501u});
    EXPECT_TRUE(mixer->handle_command(CMD_CONTROL + 3, CONTROL_TOGGLE_MUTE, 0));
    EXPECT_TRUE(hardware_.mute(microphone_));
    EXPECT_FALSE(hardware_.mute(speakers_));
    EXPECT_EQ(posts_.commands(), std::vector<WPARAM>{0x00030501u});
    // Other high words and empty slots do nothing, and post nothing.
    EXPECT_TRUE(mixer->handle_command(CMD_CONTROL + 3, 7, 0));
    EXPECT_TRUE(mixer->handle_command(CMD_CONTROL + 9, CONTROL_SET_VOLUME, 10));
    EXPECT_TRUE(posts_.commands().empty());
    EXPECT_EQ(volume_of(microphone_), 50);
}

TEST_F(model, commands_on_an_empty_current_slot_only_show_tips) {
    config_.controls[4] = control_on(L"Speakers", L"Speakers");
    std::unique_ptr<Czuvo_mixer> mixer;
    start(mixer);
    ASSERT_EQ(mixer->current_index(), 4u);
    // Make an empty slot current the only way there is: select fails on it.
    mixer->select_control(2);
    EXPECT_EQ(mixer->current_index(), 4u);
    EXPECT_TRUE(posts_.commands().empty());
    hardware_.set_master(speakers_, 0.5f);
    config_.controls[4].reset(); // the slot empties under the model
    EXPECT_TRUE(mixer->handle_command(CMD_VOLUME_UP, 0, 0));
    EXPECT_EQ(posts_.commands(), std::vector<WPARAM>{0x00020501u});
    EXPECT_EQ(volume_of(speakers_), 50);
}

TEST_F(model, controls_on_one_mixer_name_share_one_device_object) {
    config_.controls[0] = control_on(L"A", L"Speakers");
    config_.controls[3] = control_on(L"B", L"Speakers", 0);
    config_.controls[5] = control_on(L"C", L"");
    config_.controls[6] = control_on(L"D", L"");
    config_.controls[7] = control_on(L"E", L"speakers"); // names compare with case
    std::unique_ptr<Czuvo_mixer> mixer;
    start(mixer);
    EXPECT_EQ(mixer->mixer_count(), 3u);
    EXPECT_EQ(mixer->control(0)->mixer(), mixer->control(3)->mixer());
    EXPECT_EQ(mixer->control(5)->mixer(), mixer->control(6)->mixer());
    EXPECT_NE(mixer->control(0)->mixer(), mixer->control(5)->mixer());
    EXPECT_NE(mixer->control(0)->mixer(), mixer->control(7)->mixer());
}

TEST_F(model, release_idle_keeps_the_current_controls_device) {
    config_.controls[0] = control_on(L"A", L"Speakers");
    config_.controls[3] = control_on(L"B", L"Speakers", 0);
    config_.controls[5] = control_on(L"C", L"Microphone");
    std::unique_ptr<Czuvo_mixer> mixer;
    start(mixer);
    for (size_t slot : {0u, 3u, 5u}) ASSERT_TRUE(mixer->bind(slot)) << slot;
    mixer->select_control(3);
    mixer->release_idle();
    EXPECT_TRUE(mixer->control(3)->is_open());
    EXPECT_TRUE(mixer->control(3)->mixer()->is_open());
    EXPECT_FALSE(mixer->control(0)->is_open());
    EXPECT_FALSE(mixer->control(5)->is_open());
    EXPECT_FALSE(mixer->control(5)->mixer()->is_open());
    // Released controls bind again on their next use.
    EXPECT_TRUE(mixer->handle_command(CMD_CONTROL + 5, CONTROL_TOGGLE_MUTE, 0));
    EXPECT_TRUE(hardware_.mute(microphone_));
}

TEST_F(model, next_control_with_only_slot_five_stays_there) {
    config_.controls[5] = control_on(L"Five", L"");
    std::unique_ptr<Czuvo_mixer> mixer;
    start(mixer);
    EXPECT_EQ(mixer->current_index(), 5u);
    EXPECT_TRUE(mixer->next_control(true));
    EXPECT_EQ(mixer->current_index(), 5u);
    EXPECT_EQ(posts_.commands(), std::vector<WPARAM>{0x00020501u});
}

TEST_F(model, next_control_skips_what_does_not_bind_and_wraps) {
    config_.controls[1] = control_on(L"Gone", L"Headphones");
    config_.controls[4] = control_on(L"Mic", L"Microphone");
    config_.controls[9] = control_on(L"Spk", L"Speakers");
    std::unique_ptr<Czuvo_mixer> mixer;
    start(mixer);
    EXPECT_EQ(mixer->current_index(), 4u); // slot 0 is empty, 1 does not bind
    EXPECT_TRUE(mixer->next_control(false));
    EXPECT_EQ(mixer->current_index(), 9u);
    EXPECT_TRUE(mixer->next_control(false));
    EXPECT_EQ(mixer->current_index(), 4u);
    EXPECT_TRUE(posts_.commands().empty());
    // Nothing binds: the lowest configured slot becomes current, false.
    hardware_.remove(microphone_);
    hardware_.remove(speakers_);
    EXPECT_FALSE(mixer->next_control(true));
    EXPECT_EQ(mixer->current_index(), 1u);
    EXPECT_EQ(posts_.commands(), std::vector<WPARAM>{0x00020501u});
}

TEST_F(model, refresh_writes_the_tray_tip_and_follows_device_loss) {
    config_.controls[0] = control_on(L"#", L"Speakers");
    config_.controls[1] = control_on(L"Mic line", L"Microphone", 0);
    std::unique_ptr<Czuvo_mixer> mixer;
    start(mixer);
    hardware_.set_master(speakers_, 0.07f);
    EXPECT_NE(mixer->refresh(make_command(CMD_REFRESH)), nullptr);
    EXPECT_STREQ(mixer->tray_tip(), L"Speakers   7% [Active]");
    hardware_.set_mute(speakers_, true);
    mixer->refresh(make_command(CMD_REFRESH));
    EXPECT_STREQ(mixer->tray_tip(), L"Speakers   7% [Mute]");

    hardware_.remove(speakers_);
    mixer->refresh(make_command(CMD_REFRESH));
    // Without a device the "#" caption has no line name to show.
    EXPECT_STREQ(mixer->tray_tip(), L"#   0% [ERROR]");
    posts_.drain();
    EXPECT_TRUE(mixer->handle_command(CMD_VOLUME_UP, 0, 0));
    EXPECT_EQ(posts_.commands(), std::vector<WPARAM>{0x00020501u});
    hardware_.restore(speakers_);
    hardware_.set_master(speakers_, 0.3f);
    mixer->refresh(make_command(CMD_REFRESH));
    EXPECT_STREQ(mixer->tray_tip(), L"Speakers  30% [Mute]");
    posts_.drain();
    EXPECT_TRUE(mixer->handle_command(CMD_VOLUME_UP, 0, 0));
    EXPECT_EQ(volume_of(speakers_), 40);
    EXPECT_EQ(posts_.commands(), std::vector<WPARAM>{0x00030501u});

    mixer->select_control(1);
    mixer->refresh(make_command(CMD_REFRESH));
    EXPECT_STREQ(mixer->tray_tip(), L"Mic line   2% [Active]");
}

TEST_F(model, notifications_are_claimed_by_the_current_control_only) {
    config_.controls[0] = control_on(L"#", L"Speakers");
    config_.controls[1] = control_on(L"#", L"Microphone");
    std::unique_ptr<Czuvo_mixer> mixer;
    start(mixer);
    ASSERT_TRUE(mixer->bind(1));
    hardware_.set_master(speakers_, 0.6f);
    hardware_.set_master(microphone_, 0.6f);
    int claimed = 0, seen = 0;
    test_support::wait_until([&] {
        MSG m;
        while (PeekMessageW(&m, posts_.window(), 977, 977, PM_REMOVE)) {
            ++seen;
            claimed += mixer->is_change_notification(m.message, m.wParam);
        }
        return seen >= 2;
    });
    EXPECT_EQ(seen, 2);
    EXPECT_EQ(claimed, 1);
}

} // namespace
