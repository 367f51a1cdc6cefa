#include "main/volume_step.h"

namespace {
// The non-negative remainder, in 64 bits so that no step or target overflows.
int64_t step_remainder(int32_t target, uint32_t step) noexcept {
    const int64_t s = step;
    return ((static_cast<int64_t>(target) % s) + s) % s;
}
} // namespace

bool off_step_grid(int32_t target, uint32_t step) noexcept {
    return step != 0 && step_remainder(target, step) != 0;
}

int32_t fit_to_step(int32_t target, int32_t current, uint32_t step) noexcept {
    if (step == 0) return target;
    const int64_t r = step_remainder(target, step);
    if (r == 0) return target;
    const int64_t fitted = target > current ? target - r : static_cast<int64_t>(target) - r + step;
    if (fitted < INT32_MIN) return INT32_MIN;
    if (fitted > INT32_MAX) return INT32_MAX;
    return static_cast<int32_t>(fitted);
}
