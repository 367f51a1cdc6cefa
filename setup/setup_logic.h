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
// ones are pixels at `dpi` (0 counts as 96), rounded half up (-32 at 96 ->
// 24, -13 at 96 -> 10, -48 at 144 -> 24).
int32_t font_points(int32_t height, uint32_t dpi) noexcept;
// "<face>,<points>pt <Bold><Itaric>", as the tips page describes the font;
// `height` is in pixels at `dpi`.
void describe_font(const wchar_t* face, int32_t height, uint32_t dpi, int32_t weight, bool italic,
                   wchar_t* text, size_t capacity) noexcept;
// The DPI a stored FontPointSz is measured at: with a resolution base it is
// the desktop's pixels, shown as they are; without one it is 96-DPI pixels,
// which the tips scale to the DPI of their monitor.
uint32_t stored_font_dpi(int32_t base, uint32_t screen_dpi) noexcept;
// The height to offer the font dialog, in pixels at `screen_dpi`: scaled to
// the current desktop width when the height was chosen at another width
// (`base`), or from 96 DPI to the screen's when there is no base.
int32_t font_height_for_desktop(int32_t height, int32_t desktop_width, int32_t base,
                                uint32_t screen_dpi) noexcept;
// FontPointSz for a height the font dialog gave in pixels at `screen_dpi`,
// when OK leaves the resolution base at `base`: as given with a base, in
// 96-DPI pixels without one, so that the tips show the size chosen.
int32_t stored_font_height(int32_t chosen, uint32_t screen_dpi, int32_t base) noexcept;

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
