#pragma once
// Hot-key values and how the hot-key editor shows them: a hot-key control
// that holds only the bare key (and its extended flag) plus four modifier
// check boxes. Plain functions, no Windows, so they can be tested anywhere.

#include <cstdint>

// Bits of a hot-key value: the virtual key in the low byte, then these.
constexpr uint32_t ZUVO_HOTKEY_CTRL = 0x0100;
constexpr uint32_t ZUVO_HOTKEY_ALT = 0x0200;
constexpr uint32_t ZUVO_HOTKEY_SHIFT = 0x0400;
constexpr uint32_t ZUVO_HOTKEY_WIN = 0x0800;
constexpr uint32_t ZUVO_HOTKEY_EXTENDED = 0x8000;

// The hot-key control's own modifier byte; only its extended-key flag
// (HOTKEYF_EXT) carries over, the other modifiers come from the boxes.
constexpr uint8_t hotkey_control_extended = 0x08;

struct hotkey_boxes {
    bool ctrl = false;
    bool shift = false;
    bool alt = false;
    bool win = false;
};

// The HKM_SETHOTKEY word for `hotkey`: key in the low byte, HOTKEYF_EXT in
// the high byte for an extended key, nothing else.
uint16_t hotkey_control_word(uint32_t hotkey) noexcept;
// Which modifier boxes `hotkey` ticks.
hotkey_boxes hotkey_modifier_boxes(uint32_t hotkey) noexcept;
// The value the editor holds: the key and extended flag of the control's
// HKM_GETHOTKEY word (its other modifier flags ignored) and the ticked boxes.
uint32_t hotkey_from_editor(uint32_t control_word, const hotkey_boxes& boxes) noexcept;
