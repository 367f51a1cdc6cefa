#include "plugin_sdk/dialog_template.h"

#include "plugin_sdk/dialog_font.h"

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

DLGTEMPLATE* build_dialog_template(HMODULE module, UINT id) noexcept {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5) /* RT_DIALOG */);
    if (!found) return nullptr;
    const DWORD size = SizeofResource(module, found);
    HGLOBAL loaded = LoadResource(module, found);
    const auto* data = static_cast<const uint8_t*>(loaded ? LockResource(loaded) : nullptr);
    if (!data || size == 0) return nullptr;

    const size_t capacity = size + dialog_font_headroom;
    auto* copy = static_cast<uint8_t*>(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, capacity));
    if (!copy) return nullptr;

    LOGFONTW message{};
    dialog_font font;
    if (get_message_font(message)) {
        font.point_size = dialog_point_size(message.lfHeight);
        font.weight = static_cast<uint16_t>(message.lfWeight);
        font.italic = message.lfItalic;
        font.charset = message.lfCharSet;
        font.face = message.lfFaceName;
        if (refont_dialog_template(data, size, font, copy, capacity) == 0) {
            GlobalFree(copy);
            return nullptr;
        }
    } else {
        // Without the system's metrics the resource keeps its own font.
        memcpy(copy, data, size);
    }
    return reinterpret_cast<DLGTEMPLATE*>(copy);
}
