#pragma once
// Re-fonting a DLGTEMPLATEEX dialog resource: the byte work, without
// Windows, so that it can be tested and fuzzed on any template.

#include <cstddef>
#include <cstdint>

struct dialog_font {
    uint16_t point_size = 9;
    uint16_t weight = 400;
    uint8_t italic = 0;
    uint8_t charset = 1;
    const wchar_t* face = L""; // at most 31 characters are used
};

// A LOGFONT height in pixels at `dpi` (negative) or points (positive) as
// the point size of a dialog font, rounded to the nearest: -12 at 96 -> 9,
// -18 at 144 -> 9, -16 at 96 -> 12, 10 -> 10. The dialog manager scales the
// points to the dialog's own DPI, so the pixels must be taken back at the
// DPI they were measured at. A `dpi` of 0 counts as 96.
uint16_t dialog_point_size(int32_t logfont_height, uint32_t dpi) noexcept;

// Room the re-fonted copy may need beyond the resource's own size.
constexpr size_t dialog_font_headroom = 256;

// Copies the extended dialog template `resource` (`size` bytes, starting on a
// 4-byte boundary) into `out` with its font block replaced by `font`, and
// the item templates moved to the next 4-byte boundary. Returns the bytes
// written, or 0 when the resource is not an extended template with a font
// block, no menu and no class, or when `out` is too small.
size_t refont_dialog_template(const uint8_t* resource, size_t size, const dialog_font& font,
                              uint8_t* out, size_t out_capacity) noexcept;

// Copies the same kind of template unchanged; 0 when it is not one.
size_t keep_dialog_template(const uint8_t* resource, size_t size, uint8_t* out,
                            size_t out_capacity) noexcept;
