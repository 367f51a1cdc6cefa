#pragma once
// Volume step arithmetic of the controls model, without Windows.

#include <cstdint>

// Whether `target` lies off the grid of `step` (a step of 0 has no grid).
bool off_step_grid(int32_t target, uint32_t step) noexcept;

// Snaps `target` to the grid of `step` against the direction of the change
// from `current`, so that a step never overshoots the next grid point:
// moving up it goes down to the grid point below, moving down (or staying)
// up to the grid point above. Step 10: 53 from 43 gives 50, 33 from 43 gives
// 40, -7 from 3 gives 0. A step of 0 returns `target` unchanged.
int32_t fit_to_step(int32_t target, int32_t current, uint32_t step) noexcept;
