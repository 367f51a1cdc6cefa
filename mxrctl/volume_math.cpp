#include "mxrctl/volume_math.h"

#include <algorithm>
#include <cmath>

namespace mxrctl_math {

namespace {
constexpr double guard = 0.000001;

double amplitude(float db) {
    return std::pow(10.0, static_cast<double>(db) / 20.0);
}
} // namespace

float scalar_from_percent(int32_t percent) {
    float s = static_cast<float>(percent) / 100.0f;
    if (s != 0.0f) s = static_cast<float>(s + guard);
    return std::clamp(s, 0.0f, 1.0f);
}

int32_t percent_from_scalar(double scalar) {
    if (!(scalar == scalar)) return 0; // NaN from a broken driver reads as silence
    const double p = std::trunc((scalar + guard) * 100.0);
    if (p < 0.0) return 0;
    if (p > 100.0) return 100;
    return static_cast<int32_t>(p);
}

float db_from_scalar(double x, float min_db, float max_db) {
    const double lo = amplitude(min_db), hi = amplitude(max_db);
    const double a = (hi - lo) * x + lo;
    if (!(a > 0.0)) return min_db; // log of nothing: the bottom of the range
    const double db = 20.0 * std::log10(a);
    return static_cast<float>(
        std::clamp(db, static_cast<double>(min_db), static_cast<double>(std::max(min_db, max_db))));
}

double scalar_from_db(float level_db, float min_db, float max_db) {
    const double lo = amplitude(min_db), hi = amplitude(max_db);
    if (!(hi > lo)) return 0.0;
    const double s = (amplitude(level_db) - lo) / (hi - lo);
    return std::min(s, 1.0);
}

float stepped_level(double wanted_db, float current_db, float min_db, float max_db, float step_db,
                    int32_t direction) {
    const double lo = min_db, hi = std::max(min_db, max_db);
    if (!(wanted_db == wanted_db)) wanted_db = lo;
    if (!(step_db > 0.0f) || !(hi > lo)) return static_cast<float>(std::clamp(wanted_db, lo, hi));
    const double step = step_db;
    // A range that is no whole number of steps ends at the last step within it.
    const double top = std::floor((hi - lo) / step + 1e-6);
    const auto index = [&](double db) {
        return db == db ? std::clamp(std::round((db - lo) / step), 0.0, top) : 0.0;
    };
    double k = index(wanted_db);
    const double here = index(current_db);
    if (direction > 0 && k < here + 1) k = std::min(here + 1, top);
    if (direction < 0 && k > here - 1) k = std::max(here - 1, 0.0);
    return static_cast<float>(lo + k * step);
}

float balance_from_setting(int32_t balance) {
    return static_cast<float>(std::clamp(balance, -100, 100)) / 100.0f;
}

int32_t setting_from_balance(float balance) {
    // Rounded, not truncated: 0.29f * 100 is 28.99999, and a balance must read
    // back as it was set.
    return static_cast<int32_t>(std::lround(static_cast<double>(balance) * 100.0));
}

std::pair<float, float> stereo_levels(float scalar, float balance, float min_db, float max_db) {
    float left = db_from_scalar(scalar, min_db, max_db);
    float right = left;
    if (balance > 0.0f) left = db_from_scalar((1.0f - balance) * scalar, min_db, max_db);
    if (balance < 0.0f) right = db_from_scalar((1.0f + balance) * scalar, min_db, max_db);
    return {left, right};
}

int32_t percent_from_levels(const float* levels_db, uint32_t count, float min_db, float max_db) {
    double loudest = 0.0;
    for (uint32_t i = 0; i < count; ++i)
        loudest = std::max(loudest, scalar_from_db(levels_db[i], min_db, max_db));
    return percent_from_scalar(loudest);
}

} // namespace mxrctl_math
