// libFuzzer target for the transparency plug-in's AlphaSteps text, which a
// user edits by hand in seethru.ini. Built natively, not by the MinGW build:
//   clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -I. \
//     tests/fuzz/seethru_steps_fuzz.cpp plugins/seethru/alpha_steps.cpp -o seethru_steps_fuzz
// Whatever the text, the list starts with 100 and holds only percentages
// 1..100, each once (so every alpha fits its byte); stepping from any of them ends at
// 100 within the list's length; and the dialog's text of the list's numbers
// reads back as the same list.

#include "plugins/seethru/alpha_steps.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Two bytes a character, as the file holds it, and terminated.
    std::vector<wchar_t> text;
    for (size_t i = 0; i + 1 < size; i += 2)
        text.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    text.push_back(L'\0');

    const std::vector<uint32_t> steps = seethru::parse_alpha_steps(text.data());
    if (steps.empty() || steps[0] != 100 || steps.size() > text.size() + 1) std::abort();
    for (size_t i = 0; i < steps.size(); ++i) {
        const uint32_t percent = steps[i];
        if (percent == 0 || percent > 100) std::abort();
        for (size_t j = 0; j < i; ++j)
            if (steps[j] == percent) std::abort();
        if (seethru::alpha_of_percent(percent) > 255) std::abort();
    }
    for (uint32_t start : steps) {
        uint32_t percent = start;
        size_t moves = 0;
        do {
            percent = seethru::next_percent(steps, percent);
            if (++moves > steps.size()) std::abort();
        } while (percent != 100);
    }

    const std::vector<uint32_t> chosen(steps.begin() + 1, steps.end());
    std::vector<wchar_t> joined(chosen.size() * 4 + 1);
    seethru::join_alpha_steps(chosen, joined.data(), joined.size());
    if (seethru::parse_alpha_steps(joined.data()) != steps) std::abort();
    return 0;
}
