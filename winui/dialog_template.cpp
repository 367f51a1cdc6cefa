#include "winui/dialog_template.h"

#include "winui/dialog_font.h"
#include "winui/ui_language.h"

#include "common/unique_resource.h"

#include <cstring>

bool get_message_font(LOGFONTW& font) noexcept {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = 504;
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, 0, &metrics, 0)) {
        metrics.cbSize = 500;
        if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, 0, &metrics, 0)) return false;
    }
    font = metrics.lfMessageFont;
    return true;
}

uint32_t screen_font_dpi() noexcept {
    window_dc screen(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
    return dpi > 0 ? static_cast<uint32_t>(dpi) : 96;
}

DLGTEMPLATE* build_dialog_template(HMODULE module, UINT id) noexcept {
    LOGFONTW message{};
    // Without the system's metrics the resource keeps its own font.
    return build_dialog_template(module, id, get_message_font(message) ? &message : nullptr);
}

DLGTEMPLATE* build_dialog_template(HMODULE module, UINT id, const LOGFONTW* font) noexcept {
    HRSRC found = find_ui_resource(module, RT_DIALOG, id);
    if (!found) return nullptr;
    const DWORD size = SizeofResource(module, found);
    HGLOBAL loaded = LoadResource(module, found);
    const auto* data = static_cast<const uint8_t*>(loaded ? LockResource(loaded) : nullptr);
    if (!data || size == 0) return nullptr;

    const size_t capacity = size + dialog_font_headroom;
    auto* copy = static_cast<uint8_t*>(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, capacity));
    if (!copy) return nullptr;

    dialog_font replacement;
    if (font) {
        replacement.point_size = dialog_point_size(font->lfHeight, screen_font_dpi());
        replacement.weight = static_cast<uint16_t>(font->lfWeight);
        replacement.italic = font->lfItalic;
        replacement.charset = font->lfCharSet;
        replacement.face = font->lfFaceName;
    }
    const size_t written = font ? refont_dialog_template(data, size, replacement, copy, capacity)
                                : keep_dialog_template(data, size, copy, capacity);
    if (written == 0) {
        GlobalFree(copy);
        return nullptr;
    }
    return reinterpret_cast<DLGTEMPLATE*>(copy);
}
