#pragma once
// Which mouse events over the taskbar go to the main window, and as what.
// No Windows header: the numbers are the system's, spelt out here.

#include <cstdint>
#include <optional>

namespace barroll {

inline constexpr uint32_t mouse_wheel = 0x020A;
inline constexpr uint32_t middle_down = 0x0207;
inline constexpr uint32_t middle_up = 0x0208;
inline constexpr uint32_t tray_notify = 0x0802;
inline constexpr uint32_t tray_icon_id = 1384;

struct screen_rect {
    int32_t left, top, right, bottom;
};

// What to post to the main window instead of the event.
struct forwarded {
    uint32_t message;
    uint32_t wparam;
    uint32_t lparam;
};

// Only the wheel and the middle button are ours; everything else the hook
// must pass on without looking for windows.
constexpr bool is_taken_message(uint32_t mouse_message) noexcept {
    return mouse_message == mouse_wheel || mouse_message == middle_down ||
           mouse_message == middle_up;
}

// The message standing for `mouse_message` (with the hook's mouse data) at
// (x, y), or nothing when the point is outside `taskbar` (right and bottom
// edges excluded) or the message is not ours.
std::optional<forwarded> forward_over_taskbar(uint32_t mouse_message, uint32_t mouse_data,
                                              int32_t x, int32_t y,
                                              const screen_rect& taskbar) noexcept;

} // namespace barroll
