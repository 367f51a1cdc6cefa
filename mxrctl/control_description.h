#pragma once
// The three-line description of a configured control (device, control,
// channels with the balance of a two-channel control), as the settings
// editor's control list and the mixer lock's dialog show it, in the labels
// of the calling module's string table (mxrctl/mixer_string_ids.h).

#include <windows.h>
#include <cstdint>
#include <string>

// How the balance of a two-channel control reads: "(Balance: -20%)" in the
// editor's control list, "(Balance: -20)" in the mixer lock's dialog.
enum class balance_unit { percent, none };

struct control_facts {
    const wchar_t* mixer = L""; // the device's name
    int32_t destination = 0;
    int32_t source = -1;
    // The control's name; null when it did not open ("## ERROR ##" shows
    // then, with no channels and no balance).
    const wchar_t* control = nullptr;
    uint32_t channels = 0;
    int32_t balance = 0;
};

// Empty when the labels are missing or the text does not format.
std::wstring describe_control_facts(HMODULE module, const control_facts& facts, balance_unit unit);
