#pragma once
// The texts of the control selection dialog and the control description,
// built from the labels of the program's string table. No window or device
// is needed for them, so they are tested (and fuzzed) on their own.

#include <cstdint>
#include <string>
#include <string_view>

// "<DefaultMixer>": the device list's first entry and the description of a
// control on the default device.
std::wstring default_mixer_entry(std::wstring_view default_mixer);
// "#DefaultMixer": the caption proposed for the default device. The leading
// "#" makes the main program show the control's own name instead.
std::wstring default_mixer_caption(std::wstring_view default_mixer);

// An entry of the control list: "[M] name" for the master volume (source
// -1), "[3] name" for source line 3.
std::wstring control_list_entry(int32_t source, std::wstring_view name);
// The caption a control list entry proposes: what follows its first "]",
// without leading blanks and tabs; empty when there is no "]".
std::wstring_view caption_from_control_entry(std::wstring_view entry);

// "M" for the master volume, "A" for a program's audio (the sources below
// the master), else the source number.
std::wstring source_text(int32_t source);
// How a program reads in the control list and the description: "Player
// (player.exe)", or the file name alone when the program gives no other
// name (`display_name` empty or the file name itself).
std::wstring program_label(std::wstring_view display_name, std::wstring_view file_name);
// "-20%": the balance beside the trackbar.
std::wstring balance_percent_text(int32_t balance);

// The FormatMessage template of a control's description:
//   %1 device name, %4 source text, %5 control name, %6 channels, %7 balance text
// (%2 and %3 are passed but not shown).
std::wstring description_template(std::wstring_view mixer_label, std::wstring_view control_label,
                                  std::wstring_view channels_label);
// The FormatMessage template of the balance text of a two-channel control,
// %1 the balance, followed by "%" when `percent`.
std::wstring balance_template(std::wstring_view balance_label, bool percent);
