#include "mxrctl/session_names.h"
#include "mxrctl/volume_math.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace mxrctl_math;

namespace {

// The amplitude curve written out again, independently of the library.
double expected_db(double x, double min_db, double max_db) {
    const double lo = std::pow(10.0, min_db / 20.0), hi = std::pow(10.0, max_db / 20.0);
    return std::clamp(20.0 * std::log10((hi - lo) * x + lo), min_db, max_db);
}

struct write_case {
    int32_t percent;
    float scalar;
};

class percent_written : public ::testing::TestWithParam<write_case> {};

TEST_P(percent_written, becomes_this_scalar) {
    const auto& c = GetParam();
    EXPECT_FLOAT_EQ(scalar_from_percent(c.percent), c.scalar) << c.percent;
}

INSTANTIATE_TEST_SUITE_P(table, percent_written,
                         ::testing::Values(write_case{1, 0.010001f}, write_case{50, 0.500001f},
                                           write_case{99, 0.990001f}, write_case{100, 1.0f},
                                           write_case{150, 1.0f}, write_case{-7, 0.0f},
                                           write_case{INT32_MIN, 0.0f},
                                           write_case{INT32_MAX, 1.0f}));

TEST(percent_written, zero_is_exactly_silence) {
    // Not merely close to zero: nothing is added to 0.
    EXPECT_EQ(scalar_from_percent(0), 0.0f);
    EXPECT_FALSE(std::signbit(scalar_from_percent(0)));
}

struct read_case {
    double scalar;
    int32_t percent;
};

class percent_read : public ::testing::TestWithParam<read_case> {};

TEST_P(percent_read, truncates_with_the_guard) {
    EXPECT_EQ(percent_from_scalar(GetParam().scalar), GetParam().percent) << GetParam().scalar;
}

INSTANTIATE_TEST_SUITE_P(
    table, percent_read,
    ::testing::Values(read_case{0.0, 0}, read_case{0.0099, 0}, read_case{0.01, 1},
                      // 0.29f is 0.28999999: the guard lifts it back to 29.
                      read_case{static_cast<double>(0.29f), 29}, read_case{0.2899, 28},
                      read_case{0.999, 99}, read_case{0.9999995, 100}, read_case{1.0, 100},
                      read_case{1.5, 100}, read_case{-0.2, 0},
                      read_case{std::numeric_limits<double>::quiet_NaN(), 0},
                      read_case{std::numeric_limits<double>::infinity(), 100}));

TEST(percent_round_trip, every_percent_reads_back_through_a_float_scalar) {
    for (int32_t p = 0; p <= 100; ++p)
        EXPECT_EQ(percent_from_scalar(scalar_from_percent(p)), p) << p;
}

TEST(percent_round_trip, every_percent_reads_back_through_a_db_level) {
    // Levels are stored as float dB by the hardware: the guard must also
    // survive that detour for every range shape.
    const float ranges[][2] = {{-64.0f, 0.0f}, {-34.5f, 12.0f}, {-96.0f, 0.0f}, {-12.0f, 30.0f}};
    for (const auto& r : ranges) {
        for (int32_t p = 0; p <= 100; ++p) {
            const float level = db_from_scalar(scalar_from_percent(p), r[0], r[1]);
            EXPECT_EQ(percent_from_levels(&level, 1, r[0], r[1]), p) << p << " in " << r[0];
        }
    }
}

struct balance_case {
    int32_t set;
    int32_t read;
};

class balance_setting : public ::testing::TestWithParam<balance_case> {};

TEST_P(balance_setting, is_clamped) {
    EXPECT_EQ(setting_from_balance(balance_from_setting(GetParam().set)), GetParam().read);
}

INSTANTIATE_TEST_SUITE_P(table, balance_setting,
                         ::testing::Values(balance_case{0, 0}, balance_case{-1, -1},
                                           balance_case{50, 50}, balance_case{100, 100},
                                           balance_case{101, 100}, balance_case{300, 100},
                                           balance_case{-100, -100}, balance_case{-300, -100},
                                           balance_case{INT32_MIN, -100},
                                           balance_case{INT32_MAX, 100}));

TEST(balance_setting, every_value_reads_back_as_set) {
    // 0.29f * 100 is 28.99999; a truncating read would report 28.
    for (int32_t b = -100; b <= 100; ++b)
        EXPECT_EQ(setting_from_balance(balance_from_setting(b)), b);
}

TEST(db_formula, ends_of_the_range_and_clamping) {
    EXPECT_FLOAT_EQ(db_from_scalar(0.0, -64.0f, 0.0f), -64.0f);
    EXPECT_FLOAT_EQ(db_from_scalar(1.0, -64.0f, 0.0f), 0.0f);
    EXPECT_FLOAT_EQ(db_from_scalar(1.0, -34.5f, 12.0f), 12.0f);
    EXPECT_FLOAT_EQ(db_from_scalar(2.0, -34.5f, 12.0f), 12.0f);
    EXPECT_FLOAT_EQ(db_from_scalar(-1.0, -34.5f, 12.0f), -34.5f);
    EXPECT_NEAR(db_from_scalar(0.5, -64.0f, 0.0f), expected_db(0.5, -64.0, 0.0), 1e-4);
    EXPECT_DOUBLE_EQ(scalar_from_db(0.0f, -64.0f, 0.0f), 1.0);
    EXPECT_NEAR(scalar_from_db(-64.0f, -64.0f, 0.0f), 0.0, 1e-12);
    // Above the range a level still reads as full volume, never more.
    EXPECT_DOUBLE_EQ(scalar_from_db(6.0f, -64.0f, 0.0f), 1.0);
    // A broken range reads as silence instead of dividing by zero.
    EXPECT_EQ(scalar_from_db(-3.0f, 0.0f, 0.0f), 0.0);
    EXPECT_EQ(scalar_from_db(-3.0f, 0.0f, -10.0f), 0.0);
}

struct stepped_case {
    double wanted;
    float current, min_db, max_db, step_db;
    int32_t direction;
    float expected;
};

class stepped : public ::testing::TestWithParam<stepped_case> {};

TEST_P(stepped, is_a_step_of_the_range_and_a_move_goes_one_at_least) {
    const auto& c = GetParam();
    EXPECT_FLOAT_EQ(stepped_level(c.wanted, c.current, c.min_db, c.max_db, c.step_db, c.direction),
                    c.expected)
        << c.wanted << " from " << c.current << " going " << c.direction;
}

// Less than a step up or down from -1.5 dB would round back to it. Farther:
// the step nearest to what was asked, from a level off the steps (another
// program's) too. The ends hold; a range of no whole number of steps ends at
// the last one. No steps: as asked, within the range; nothing: the bottom.
INSTANTIATE_TEST_SUITE_P(
    table, stepped,
    ::testing::Values(stepped_case{-1.0, -1.5f, -46.5f, 0.0f, 1.5f, 1, 0.0f},
                      stepped_case{-2.0, -1.5f, -46.5f, 0.0f, 1.5f, -1, -3.0f},
                      stepped_case{-20.2, -29.9f, -46.5f, 0.0f, 1.5f, 1, -19.5f},
                      stepped_case{-60.0, -46.5f, -46.5f, 0.0f, 1.5f, -1, -46.5f},
                      stepped_case{0.0, -1.0f, -10.0f, 0.0f, 0.75f, 1, -0.25f},
                      stepped_case{9.0, -1.0f, -46.5f, 0.0f, 0.0f, 1, 0.0f},
                      stepped_case{std::numeric_limits<double>::quiet_NaN(), -1.0f, -46.5f, 0.0f,
                                   1.5f, 0, -46.5f}));

TEST(stereo_levels, balance_attenuates_the_opposite_side_only) {
    const float s = scalar_from_percent(60);
    EXPECT_FLOAT_EQ(s, 0.600001f);
    const auto right_heavy = stereo_levels(s, 0.5f, -64.0f, 0.0f);
    EXPECT_NEAR(right_heavy.second, expected_db(0.600001, -64.0, 0.0), 1e-4);
    EXPECT_NEAR(right_heavy.first, expected_db(0.5 * 0.600001, -64.0, 0.0), 1e-4);
    const auto left_heavy = stereo_levels(s, -0.5f, -64.0f, 0.0f);
    EXPECT_FLOAT_EQ(left_heavy.first, right_heavy.second);
    EXPECT_FLOAT_EQ(left_heavy.second, right_heavy.first);
    const auto centre = stereo_levels(s, 0.0f, -64.0f, 0.0f);
    EXPECT_FLOAT_EQ(centre.first, centre.second);
    const auto hard_right = stereo_levels(s, 1.0f, -64.0f, 0.0f);
    EXPECT_FLOAT_EQ(hard_right.first, -64.0f);
}

TEST(levels_reading, the_louder_channel_decides) {
    const float levels[] = {-40.0f, -6.0f, -30.0f};
    const int32_t loud = percent_from_levels(&levels[1], 1, -64.0f, 0.0f);
    EXPECT_EQ(percent_from_levels(levels, 3, -64.0f, 0.0f), loud);
    EXPECT_GT(loud, percent_from_levels(levels, 1, -64.0f, 0.0f));
    EXPECT_EQ(percent_from_levels(levels, 0, -64.0f, 0.0f), 0);
}

} // namespace

// ---------------------------------------------------------------------------
// Which program a session identifier names

namespace {

struct identifier_case {
    const wchar_t* identifier;
    const wchar_t* file; // nullptr: names no program
};

class session_identifier : public ::testing::TestWithParam<identifier_case> {};

TEST_P(session_identifier, names_the_programs_file) {
    const auto& c = GetParam();
    wchar_t out[16] = L"stale";
    const bool named = session_file_name(c.identifier, out, std::size(out));
    EXPECT_EQ(named, c.file != nullptr);
    EXPECT_STREQ(out, c.file ? c.file : L"");
}

INSTANTIATE_TEST_SUITE_P(
    table, session_identifier,
    ::testing::Values(
        identifier_case{L"{0.0.0.00000000}.{a}|\\Device\\HarddiskVolume3\\Apps\\player.exe%b{0}",
                        L"player.exe"},
        identifier_case{L"{dev}|C:\\x\\late.exe%b{0}|1%b4242", L"late.exe"},
        identifier_case{L"{dev}|player.exe%b{0}", L"player.exe"},
        identifier_case{L"{dev}|C:/games/run.exe%b", L"run.exe"},
        // The system sounds' "#" is no program file, but harmless; anything
        // cut short names nothing.
        identifier_case{L"{dev}|#%b{A9EF3FD9-4240-455E-A4D5-F2B3301887B2}", L"#"},
        identifier_case{L"{dev}|\\Apps\\%b{0}", nullptr},
        identifier_case{L"{dev}|\\Apps\\player.exe", nullptr},
        identifier_case{L"{dev}\\Apps\\player.exe%b{0}", nullptr}, identifier_case{L"", nullptr},
        identifier_case{nullptr, nullptr},
        // Longer than the caller's buffer: nothing rather than a part.
        identifier_case{L"{dev}|C:\\a_very_long_program_name.exe%b{0}", nullptr}));

TEST(same_file_name, ignores_the_case_of_ascii_letters_only) {
    EXPECT_TRUE(same_file_name(L"Player.EXE", L"player.exe"));
    EXPECT_FALSE(same_file_name(L"player.exe", L"player.ex"));
    EXPECT_FALSE(same_file_name(L"player.exe", L"layer.exe"));
    EXPECT_FALSE(same_file_name(L"\u00c4.exe", L"\u00e4.exe"));
    EXPECT_FALSE(same_file_name(L"", L""));
    EXPECT_FALSE(same_file_name(nullptr, L"a"));
}

} // namespace
