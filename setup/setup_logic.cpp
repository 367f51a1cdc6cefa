#include "setup/setup_logic.h"

#include "confctl/ini_values.h"

#include <cstdlib>
#include <cwchar>

int32_t clamp_step(int64_t step) noexcept {
    if (step < step_min) return step_min;
    if (step > step_max) return step_max;
    return static_cast<int32_t>(step);
}

int32_t step_track_position(int32_t step) noexcept {
    return clamp_step(step) / 5;
}

int32_t step_from_track(int32_t position) noexcept {
    return position <= 0 ? step_min : clamp_step(static_cast<int64_t>(position) * 5);
}

int32_t opacity_track_position(int32_t rate) noexcept {
    if (rate < 0) return 0;
    if (rate > 100) return 20;
    return rate / 5;
}

namespace {

// No screen goes past 4800 DPI; beyond it a value is damaged.
uint32_t dpi_or_96(uint32_t dpi) noexcept {
    return dpi == 0 || dpi > 4800 ? 96 : dpi;
}

int32_t saturate(int64_t value) noexcept {
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

// `value` * to / from, rounded half away from zero.
int32_t rescale(int32_t value, uint32_t to, uint32_t from) noexcept {
    const int64_t scaled = (std::abs(int64_t{value}) * to * 2 + from) / (int64_t{from} * 2);
    return saturate(value < 0 ? -scaled : scaled);
}

} // namespace

int32_t font_points(int32_t height, uint32_t dpi) noexcept {
    if (height >= 0) return height;
    const double points = 0.5 - static_cast<double>(height) * 72.0 / dpi_or_96(dpi);
    return points >= INT32_MAX ? INT32_MAX : static_cast<int32_t>(points);
}

uint32_t stored_font_dpi(int32_t base, uint32_t screen_dpi) noexcept {
    return base == 0 ? 96 : dpi_or_96(screen_dpi);
}

void describe_font(const wchar_t* face, int32_t height, uint32_t dpi, int32_t weight, bool italic,
                   wchar_t* text, size_t capacity) noexcept {
    if (!text || capacity == 0) return;
    // The spelling "Itaric" is what users of earlier versions have always seen.
    std::swprintf(text, capacity, L"%ls,%dpt %ls%ls", face ? face : L"",
                  static_cast<int>(font_points(height, dpi)), weight >= 401 ? L"Bold" : L"",
                  italic ? L"Itaric" : L"");
}

int32_t font_height_for_desktop(int32_t height, int32_t desktop_width, int32_t base,
                                uint32_t screen_dpi) noexcept {
    if (base == 0) return rescale(height, dpi_or_96(screen_dpi), 96);
    return saturate(static_cast<int64_t>(desktop_width) * height / base);
}

int32_t stored_font_height(int32_t chosen, uint32_t screen_dpi, int32_t base) noexcept {
    if (base != 0) return chosen;
    return rescale(chosen, 96, dpi_or_96(screen_dpi));
}

int32_t resolution_base_at_ok(bool ticked, int32_t stored_base, bool font_chosen,
                              int32_t desktop_width) noexcept {
    if (!ticked) return 0;
    return font_chosen || stored_base == 0 ? desktop_width : stored_base;
}

uint32_t display_time_from_text(const wchar_t* text) noexcept {
    if (!text) return 0;
    if (*text == L'-') return 0;
    if (*text == L'+') ++text;
    return ini_values::parse_ulong(text);
}
