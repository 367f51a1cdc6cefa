// The mixer lock's list edits and the old-count reading on arbitrary input:
// the current index must always name an entry or be -1, no edit may
// duplicate a control or pass the list's limit; the entry that wins a
// control is always an earlier winner.

#include "plugins/lockvol/lock_entries.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {
// A program in two spellings of one file name, or a line.
std::wstring program_of(uint8_t arg) {
    return arg & 0x40 ? (arg & 0x20 ? L"p.exe" : L"P.EXE") : L"";
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::wstring text;
    for (size_t i = 0; i < size && i < 64; ++i) text += static_cast<wchar_t>(data[i]);
    (void)lockvol::leading_count(text.c_str());

    std::vector<lockvol::lock_entry> entries;
    int current = -1;
    lockvol::lock_entry edited;
    for (size_t i = 0; i + 1 < size; i += 2) {
        const uint8_t op = data[i] % 5, arg = data[i + 1];
        switch (op) {
        case 0:
            edited.mixer = std::wstring(1, static_cast<wchar_t>(L'A' + arg % 3));
            edited.source = arg % 4 - 1;
            edited.application = program_of(arg);
            lockvol::add_or_update(entries, edited, current);
            break;
        case 1:
            lockvol::remove_current(entries, current);
            break;
        case 2:
            lockvol::move_current(entries, current, arg % 2 ? 1 : -1);
            break;
        case 3:
            current = lockvol::apply_selection(
                entries, current, edited, std::wstring(1, static_cast<wchar_t>(L'A' + arg % 3)), 0,
                arg % 4 - 1, arg - 128, program_of(arg));
            break;
        default:
            current = entries.empty() ? -1 : arg % static_cast<int>(entries.size());
            break;
        }
        if (current < -1 || current >= static_cast<int>(entries.size())) std::abort();
        if (entries.size() > lockvol::max_entries) std::abort();
        for (size_t a = 0; a < entries.size(); ++a)
            for (size_t b = a + 1; b < entries.size(); ++b)
                if (lockvol::same_control(entries[a], entries[b])) std::abort();
    }

    // Devices as the audio system would name them: some spellings meet.
    std::vector<std::wstring> devices;
    for (size_t i = 0; i < entries.size(); ++i)
        devices.push_back(i < size && data[i] % 4 ? std::wstring(1, L'X' + data[i] % 2) : L"");
    const std::vector<int> earlier = lockvol::earlier_same_control(entries, devices);
    if (earlier.size() != entries.size()) std::abort();
    for (size_t i = 0; i < earlier.size(); ++i)
        if (earlier[i] >= static_cast<int>(i) ||
            (earlier[i] >= 0 && earlier[static_cast<size_t>(earlier[i])] != -1))
            std::abort();
    return 0;
}
