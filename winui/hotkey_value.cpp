#include "winui/hotkey_value.h"

uint16_t hotkey_control_word(uint32_t hotkey) noexcept {
    const uint16_t key = static_cast<uint16_t>(hotkey & 0xFFu);
    return (hotkey & ZUVO_HOTKEY_EXTENDED)
               ? static_cast<uint16_t>(key | (hotkey_control_extended << 8))
               : key;
}

hotkey_boxes hotkey_modifier_boxes(uint32_t hotkey) noexcept {
    hotkey_boxes boxes;
    boxes.ctrl = (hotkey & ZUVO_HOTKEY_CTRL) != 0;
    boxes.shift = (hotkey & ZUVO_HOTKEY_SHIFT) != 0;
    boxes.alt = (hotkey & ZUVO_HOTKEY_ALT) != 0;
    boxes.win = (hotkey & ZUVO_HOTKEY_WIN) != 0;
    return boxes;
}

uint32_t hotkey_from_editor(uint32_t control_word, const hotkey_boxes& boxes) noexcept {
    uint32_t hotkey = control_word & 0xFFu;
    if ((control_word >> 8) & hotkey_control_extended) hotkey |= ZUVO_HOTKEY_EXTENDED;
    if (boxes.ctrl) hotkey |= ZUVO_HOTKEY_CTRL;
    if (boxes.alt) hotkey |= ZUVO_HOTKEY_ALT;
    if (boxes.shift) hotkey |= ZUVO_HOTKEY_SHIFT;
    if (boxes.win) hotkey |= ZUVO_HOTKEY_WIN;
    return hotkey;
}
