#include "setup/setup_logic.h"

#include "confctl/ini_values.h"

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

int32_t font_points(int32_t height) noexcept {
    if (height >= 0) return height;
    return static_cast<int32_t>(0.5 - static_cast<double>(height) * 72.0 / 96.0);
}

void describe_font(const wchar_t* face, int32_t height, int32_t weight, bool italic, wchar_t* text,
                   size_t capacity) noexcept {
    if (!text || capacity == 0) return;
    // The spelling "Itaric" is what users of earlier versions have always seen.
    std::swprintf(text, capacity, L"%ls,%dpt %ls%ls", face ? face : L"",
                  static_cast<int>(font_points(height)), weight >= 401 ? L"Bold" : L"",
                  italic ? L"Itaric" : L"");
}

int32_t font_height_for_desktop(int32_t height, int32_t desktop_width, int32_t base) noexcept {
    if (base == 0) return height;
    const int64_t scaled = static_cast<int64_t>(desktop_width) * height / base;
    if (scaled > INT32_MAX) return INT32_MAX;
    if (scaled < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(scaled);
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
