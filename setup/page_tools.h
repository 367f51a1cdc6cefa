#pragma once
// Pieces several pages are made of: check boxes bound to settings, lists
// of resource sets and of slots, colour choice and swatches, and tray icon
// previews.

#include "winui/dialog_helpers.h"
#include "setup/setup_state.h"
#include "trayimage/trayimage.h"

#include <windows.h>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

// A check box and the setting it shows.
struct check_setting {
    int id;
    bool Cconfig::*field;
};
template <size_t N>
void show_checks(HWND dialog, const Cconfig& config, const check_setting (&checks)[N]) noexcept {
    for (const auto& check : checks) tick_box(dialog, check.id, config.*check.field);
}
template <size_t N>
void take_checks(HWND dialog, Cconfig& config, const check_setting (&checks)[N]) noexcept {
    for (const auto& check : checks) config.*check.field = is_box_ticked(dialog, check.id);
}

// Refills a slot list with "NN: caption" for every slot, `current` selected.
void fill_slot_list(HWND list, const wchar_t* const* captions, size_t count,
                    size_t current) noexcept;
template <typename Entry, size_t N>
void fill_slot_list(HWND list, const std::array<std::unique_ptr<Entry>, N>& slots,
                    size_t current) noexcept {
    const wchar_t* captions[N];
    for (size_t slot = 0; slot < N; ++slot)
        captions[slot] = slots[slot] ? slots[slot]->caption : L"";
    fill_slot_list(list, captions, N, current);
}

// One item per named entry of `list` (text: description, data: entry
// index); selects the item whose section equals `selected` exactly, else
// the first.
void fill_resource_list(HWND combo, const resource_set_list& list,
                        const wchar_t* selected) noexcept;
// The section of the selected item, or null when nothing usable is selected
// (no selection, an index of 20 or more, an entry without a name).
const wchar_t* selected_resource(HWND combo, const resource_set_list& list) noexcept;

// ChooseColorW starting from `color`, all custom colours white. True and
// `color` replaced when the user pressed OK.
bool choose_color(HWND owner, COLORREF& color) noexcept;
// Fills an owner-drawn swatch (WM_DRAWITEM) with `color`, framed.
void draw_swatch(const DRAWITEMSTRUCT& item, COLORREF color) noexcept;

// A tray icon as the main program would draw it, shown in an icon picture
// control. Owns its pictures and the icon the control shows.
class icon_preview {
public:
    icon_preview() = default;
    icon_preview(const icon_preview&) = delete;
    icon_preview& operator=(const icon_preview&) = delete;

    // volume < 0: the picture without digits.
    void show(HWND picture, const wchar_t* icon_set, const wchar_t* digit_set, int32_t volume,
              COLORREF digit_color, bool muted) noexcept;

private:
    // Made afresh for each picture: a set of another size needs new work bitmaps.
    std::unique_ptr<Ctrayimage> image_;
};
