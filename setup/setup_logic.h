#pragma once
// Arithmetic and texts of the settings pages, without windows, so that the
// rules can be checked directly.

#include <cstddef>
#include <cstdint>

// The volume step is kept within 1..50 percent; its trackbar moves in fives.
constexpr int32_t step_min = 1;
constexpr int32_t step_max = 50;
int32_t clamp_step(int64_t step) noexcept;
int32_t step_track_position(int32_t step) noexcept;
// A trackbar at 0 still steps by 1: a step of 0 would change nothing.
int32_t step_from_track(int32_t position) noexcept;

// The tips opacity trackbar: 0..20, five percent a notch.
int32_t opacity_track_position(int32_t rate) noexcept;

// A LOGFONT height as points: positive heights are points already; negative
// ones are 96-dpi pixels, rounded half up (-32 -> 24, -13 -> 10).
int32_t font_points(int32_t height) noexcept;
// "<face>,<points>pt <Bold><Itaric>", as the tips page describes the font.
void describe_font(const wchar_t* face, int32_t height, int32_t weight, bool italic, wchar_t* text,
                   size_t capacity) noexcept;
// The height to offer the font dialog: scaled to the current desktop width
// when the height was chosen at another width (`base`, 0 = no scaling).
int32_t font_height_for_desktop(int32_t height, int32_t desktop_width, int32_t base) noexcept;

// FontResolutionBase as OK leaves it. FontPointSz was chosen at the stored
// base and keeps the size the user sees only with it; the width of today
// replaces it when the font was chosen now (the font dialog was offered the
// height at this width) or when the box was ticked only now. Unticked: 0.
int32_t resolution_base_at_ok(bool ticked, int32_t stored_base, bool font_chosen,
                              int32_t desktop_width) noexcept;

// The display time typed into the tips page: read as the unsigned number it
// is in the settings file (every 32-bit value is kept); a minus sign means
// none.
uint32_t display_time_from_text(const wchar_t* text) noexcept;
