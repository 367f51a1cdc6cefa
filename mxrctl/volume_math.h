#pragma once
// Number conversions of the mixer controls. No Windows header here: these are
// unit tested and fuzzed natively.

#include <cstdint>
#include <utility>

namespace mxrctl_math {

// Scalar 0.0..1.0 to be written for a volume in percent. A tiny amount is added
// to every non-zero value so that reading it back never truncates one percent
// short; 0 stays exactly 0.0 (silence must stay silence).
float scalar_from_percent(int32_t percent);

// Percent 0..100 read from a scalar (truncating, with the same small guard).
int32_t percent_from_scalar(double scalar);

// Level in dB for a scalar x within a control's range (min_db..max_db), on an
// amplitude scale, clamped to the range.
float db_from_scalar(double x, float min_db, float max_db);

// Inverse of db_from_scalar, at most 1.0. An empty or inverted range gives 0.
double scalar_from_db(float level_db, float min_db, float max_db);

// The level to write to a control that holds only the levels `step_db` apart
// from `min_db` (hardware may keep either neighbour of a level between two):
// the step nearest to `wanted_db`, so that the control keeps it as written.
// A move from `current_db` in `direction` (its sign; 0 for none) goes at
// least one step that way while the range allows, since a change smaller
// than a step would come back as the level it started from. Without steps
// the wanted level, clamped to the range.
float stepped_level(double wanted_db, float current_db, float min_db, float max_db, float step_db,
                    int32_t direction);

// Balance -100..100 as stored (-1.0..1.0), and the other way round.
float balance_from_setting(int32_t balance);
int32_t setting_from_balance(float balance);

// dB levels (left, right) of a two-channel line set to `scalar` with `balance`:
// the balance attenuates the opposite side only.
std::pair<float, float> stereo_levels(float scalar, float balance, float min_db, float max_db);

// Percent of a line from its channels' levels: the loudest channel decides.
int32_t percent_from_levels(const float* levels_db, uint32_t count, float min_db, float max_db);

} // namespace mxrctl_math
