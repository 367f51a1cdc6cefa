#include "plugins/barroll/taskbar_events.h"

namespace barroll {

std::optional<forwarded> forward_over_taskbar(uint32_t mouse_message, uint32_t mouse_data,
                                              int32_t x, int32_t y,
                                              const screen_rect& taskbar) noexcept {
    if (!is_taken_message(mouse_message)) return std::nullopt;
    if (x < taskbar.left || x >= taskbar.right || y < taskbar.top || y >= taskbar.bottom)
        return std::nullopt;
    // The main window reads the wheel as it comes over the tray icon: delta
    // in the high word, no keys in the low word.
    if (mouse_message == mouse_wheel) return forwarded{mouse_wheel, mouse_data & 0xFFFF0000u, 0};
    return forwarded{tray_notify, tray_icon_id, mouse_message};
}

} // namespace barroll
