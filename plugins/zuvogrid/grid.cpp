#include "plugins/zuvogrid/grid.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace zuvogrid {

namespace {

int32_t saturate(int64_t v) noexcept {
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

// Distance from the grid line at or before v. Floored, so that a window
// partly above or left of the work area still meets the lines at 0, -step,
// ... (an unsigned remainder of a negative offset would miss them).
int64_t remainder_of(int64_t v, int64_t step, bool fit) noexcept {
    if (!fit) return 0;
    const int64_t r = v % step;
    return r < 0 ? r + step : r;
}

// One axis: the position and size along it, its step and the work area's
// extent. 64-bit throughout: steps come from a file and may be huge.
struct axis {
    int64_t pos;
    int64_t size;
    int64_t step;
    int64_t extent;
    bool fit;

    void back() noexcept {
        const int64_t r = remainder_of(pos, step, fit);
        pos -= r != 0 ? r : step;
        if (pos < 0) pos = 0;
    }
    void forward() noexcept {
        pos += step - remainder_of(pos, step, fit);
        if (pos + size > extent) pos = extent - size;
    }
    void shrink() noexcept {
        const int64_t shrunk = size - step - remainder_of(size, step, fit);
        size = shrunk >= step ? shrunk : std::min(size, step);
    }
    void grow() noexcept {
        const int64_t r = remainder_of(size, step, fit);
        size += step + (r != 0 ? step - r : 0);
        if (size > extent) size = extent;
        if (pos + size > extent) pos = extent - size;
    }
};

} // namespace

grid_rect apply_grid(grid_action action, const grid_rect& window, int32_t work_width,
                     int32_t work_height, const grid_settings& settings) noexcept {
    const bool vertical = action == grid_action::move_up || action == grid_action::move_down ||
                          action == grid_action::resize_up || action == grid_action::resize_down;
    const uint32_t raw_step = vertical ? settings.step_y : settings.step_x;
    axis a{vertical ? window.y : window.x, vertical ? window.height : window.width,
           raw_step == 0 ? 1 : static_cast<int64_t>(raw_step), vertical ? work_height : work_width,
           settings.fit_to_grid};
    switch (action) {
    case grid_action::move_up:
    case grid_action::move_left:
        a.back();
        break;
    case grid_action::move_down:
    case grid_action::move_right:
        a.forward();
        break;
    case grid_action::resize_up:
    case grid_action::resize_left:
        a.shrink();
        break;
    case grid_action::resize_down:
    case grid_action::resize_right:
        a.grow();
        break;
    default:
        return window;
    }
    grid_rect out = window;
    (vertical ? out.y : out.x) = saturate(a.pos);
    (vertical ? out.height : out.width) = saturate(a.size);
    return out;
}

frame_borders borders_between(const grid_rect& window, const grid_rect& frame) noexcept {
    const int64_t left = int64_t{frame.x} - window.x;
    const int64_t top = int64_t{frame.y} - window.y;
    const int64_t right = (int64_t{window.x} + window.width) - (int64_t{frame.x} + frame.width);
    const int64_t bottom = (int64_t{window.y} + window.height) - (int64_t{frame.y} + frame.height);
    if (left < 0 || top < 0 || right < 0 || bottom < 0 || frame.width <= 0 || frame.height <= 0)
        return {};
    return {saturate(left), saturate(top), saturate(right), saturate(bottom)};
}

grid_rect without_borders(const grid_rect& window, const frame_borders& b) noexcept {
    return {saturate(int64_t{window.x} + b.left), saturate(int64_t{window.y} + b.top),
            saturate(int64_t{window.width} - b.left - b.right),
            saturate(int64_t{window.height} - b.top - b.bottom)};
}

grid_rect with_borders(const grid_rect& frame, const frame_borders& b) noexcept {
    return {saturate(int64_t{frame.x} - b.left), saturate(int64_t{frame.y} - b.top),
            saturate(int64_t{frame.width} + b.left + b.right),
            saturate(int64_t{frame.height} + b.top + b.bottom)};
}

} // namespace zuvogrid
