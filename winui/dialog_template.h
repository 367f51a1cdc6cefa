#pragma once
// Dialog resources shown with the system's message font.

#include <windows.h>

#include <cstdint>

// A copy of dialog resource `id` of `module` in global memory, with the
// message font of the system. Show it with DialogBoxIndirectParamW, then
// GlobalFree it. The resource is taken in the user's language (ui_language.h)
// when the module has it in that language. Null when the resource is missing or not an extended
// dialog template with a font, or when no memory is left.
DLGTEMPLATE* build_dialog_template(HMODULE module, UINT id) noexcept;

// The same with a given font (its height as a LOGFONT has it, pixels at
// screen_font_dpi() when negative); with null the copy keeps the
// resource's own font.
DLGTEMPLATE* build_dialog_template(HMODULE module, UINT id, const LOGFONTW* font) noexcept;

// The system's message font (NONCLIENTMETRICSW, retried with the size of
// systems without iPaddedBorderWidth). False when both calls fail. Its
// height is in pixels at screen_font_dpi().
bool get_message_font(LOGFONTW& font) noexcept;

// The DPI that the system's metrics and the fonts of a screen DC are
// measured at for this thread: the system's DPI for a program aware of it,
// 96 for one that is not (its pixels are scaled for it).
uint32_t screen_font_dpi() noexcept;
