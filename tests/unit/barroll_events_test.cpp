// Which mouse events over the taskbar the taskbar-wheel plug-in takes, and the
// message each becomes: the rectangle's edges and the wheel's sign.

#include "plugins/barroll/taskbar_events.h"

#include <gtest/gtest.h>

namespace {

using barroll::forward_over_taskbar;

constexpr barroll::screen_rect bar{-10, 984, 1000, 1024};

TEST(barroll_events, only_points_inside_the_half_open_rectangle_are_taken) {
    const struct {
        int32_t x, y;
        bool taken;
    } points[] = {{-10, 984, true},    {999, 1023, true}, {500, 1000, true}, {-11, 1000, false},
                  {1000, 1000, false}, {500, 983, false}, {500, 1024, false}};
    for (const auto& p : points) {
        SCOPED_TRACE(testing::Message() << p.x << "," << p.y);
        EXPECT_EQ(forward_over_taskbar(0x020A, 120u << 16, p.x, p.y, bar).has_value(), p.taken);
        EXPECT_EQ(forward_over_taskbar(0x0208, 0, p.x, p.y, bar).has_value(), p.taken);
    }
}

TEST(barroll_events, messages_become_what_the_tray_icon_would_get) {
    const struct {
        uint32_t message, mouse_data;
        std::optional<barroll::forwarded> expected;
    } events[] = {
        {0x020A, 0x00780000, barroll::forwarded{0x020A, 0x00780000, 0}},
        // A notch down, with garbage in the low word that must not leak through.
        {0x020A, 0xFF881234, barroll::forwarded{0x020A, 0xFF880000, 0}},
        {0x0207, 0, barroll::forwarded{0x0802, 1384, 0x0207}},
        {0x0208, 0, barroll::forwarded{0x0802, 1384, 0x0208}},
        {0x0200, 0, std::nullopt},          // move
        {0x0201, 0, std::nullopt},          // left button
        {0x0204, 0, std::nullopt},          // right button
        {0x0209, 0, std::nullopt},          // middle double click: the host sees none
        {0x020B, 0x00010000, std::nullopt}, // X button
        {0x020E, 0x00780000, std::nullopt}, // horizontal wheel
    };
    for (const auto& e : events) {
        SCOPED_TRACE(e.message);
        const auto got = forward_over_taskbar(e.message, e.mouse_data, 0, 1000, bar);
        ASSERT_EQ(got.has_value(), e.expected.has_value());
        if (!got) continue;
        EXPECT_EQ(got->message, e.expected->message);
        EXPECT_EQ(got->wparam, e.expected->wparam);
        EXPECT_EQ(got->lparam, e.expected->lparam);
    }
}

} // namespace
