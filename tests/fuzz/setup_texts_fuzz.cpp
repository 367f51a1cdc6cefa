// libFuzzer target for the texts the settings editor and the control
// selection build from what files and devices hand in: captions from
// zuvo.ini, device and control names, version strings of plug-in files.
// Built natively, not by the MinGW build:
//   clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -I. \
//     tests/fuzz/setup_texts_fuzz.cpp setup/list_logic.cpp setup/setup_logic.cpp \
//     mxrctl/control_select_text.cpp confctl/ini_values.cpp -o setup_texts_fuzz
// Every buffer is written through its bounded function; the sanitizers catch
// a write past a buffer, and the checks below a text that lost its bound or
// a caption that is not part of its entry.

#include "mxrctl/control_select_text.h"
#include "setup/list_logic.h"
#include "setup/setup_logic.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

// Splits the input into numbers and up to three texts (NUL-separated).
struct input {
    uint32_t numbers[4] = {};
    std::wstring texts[3];
};

input read(const uint8_t* data, size_t size) {
    input in;
    const size_t head = size < sizeof in.numbers ? size : sizeof in.numbers;
    std::memcpy(in.numbers, data, head);
    size_t text = 0;
    for (size_t i = head; i + 1 < size && text < 3; i += 2) {
        const wchar_t c = static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
        if (c == 0)
            ++text;
        else
            in.texts[text].push_back(c);
    }
    return in;
}

void check_bounded(const wchar_t* text, size_t capacity) {
    if (std::wcslen(text) >= capacity) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const input in = read(data, size);
    const size_t capacity = 1 + in.numbers[3] % 300;
    std::wstring buffer(capacity, L'\0');
    wchar_t* out = buffer.data();

    format_slot_text(in.numbers[0], in.texts[0].c_str(), out, capacity);
    check_bounded(out, capacity);
    format_file_version(in.numbers[0], in.numbers[1], out, capacity);
    check_bounded(out, capacity);
    format_plugin_info(in.texts[0].c_str(), in.texts[1].c_str(), in.texts[2].c_str(), out,
                       capacity);
    check_bounded(out, capacity);
    format_version_string_key(static_cast<uint16_t>(in.numbers[0]),
                              static_cast<uint16_t>(in.numbers[1]), in.texts[0].c_str(), out,
                              capacity);
    check_bounded(out, capacity);
    if (join_plugin_path(in.texts[0].c_str(), in.texts[1].c_str(), out, capacity)) {
        // A path is either whole or refused: never a cut name.
        if (std::wcslen(out) < in.texts[1].size()) std::abort();
    }
    check_bounded(out, capacity);
    caption_after_selection(in.texts[0].c_str(), in.texts[1].c_str(), in.texts[2].c_str(), out,
                            capacity);
    check_bounded(out, capacity);
    // A slot that had a caption, or chose a named control, keeps one.
    if (capacity > 1 && (!in.texts[0].empty() || !in.texts[1].empty()) && out[0] == L'\0')
        std::abort();
    (void)display_time_from_text(in.texts[2].c_str());
    describe_font(in.texts[0].c_str(), static_cast<int32_t>(in.numbers[0]),
                  static_cast<uint32_t>(in.numbers[2] >> 1), static_cast<int32_t>(in.numbers[1]),
                  in.numbers[2] & 1, out, capacity);
    check_bounded(out, capacity);
    (void)font_height_for_desktop(
        static_cast<int32_t>(in.numbers[0]), static_cast<int32_t>(in.numbers[1]),
        static_cast<int32_t>(in.numbers[2]), static_cast<uint32_t>(in.numbers[1] >> 7));
    (void)stored_font_height(static_cast<int32_t>(in.numbers[0]),
                             static_cast<uint32_t>(in.numbers[2]),
                             static_cast<int32_t>(in.numbers[1]));
    (void)slot_swap_partner(in.numbers[0] % 40, in.numbers[1] & 1 ? slot_move::up : slot_move::down,
                            in.numbers[2] % 40);

    const std::wstring entry = control_list_entry(static_cast<int32_t>(in.numbers[0]), in.texts[0]);
    const std::wstring_view caption = caption_from_control_entry(entry);
    if (caption.size() > entry.size()) std::abort();
    (void)caption_from_control_entry(in.texts[1]);
    (void)description_template(in.texts[0], in.texts[1], in.texts[2]);
    (void)balance_template(in.texts[0], in.texts[1].empty());
    (void)balance_percent_text(static_cast<int32_t>(in.numbers[1]));
    (void)default_mixer_entry(in.texts[2]);
    // Session names come from other programs: any text, the file name always kept.
    if (program_label(in.texts[0], in.texts[1]).find(in.texts[1]) == std::wstring::npos)
        std::abort();
    return 0;
}
