#include "plugins/seethru/alpha_steps.h"

namespace seethru {

namespace {

bool is_blank(wchar_t c) {
    return c == L' ' || c == L'\t';
}
bool is_digit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

const wchar_t* skip_blanks(const wchar_t* p) {
    while (is_blank(*p)) ++p;
    return p;
}

bool listed(const std::vector<uint32_t>& steps, uint32_t value) {
    for (uint32_t step : steps)
        if (step == value) return true;
    return false;
}

} // namespace

std::vector<uint32_t> parse_alpha_steps(const wchar_t* text) {
    std::vector<uint32_t> steps{opaque_percent};
    if (!text) return steps;
    const wchar_t* p = skip_blanks(text);
    for (;;) {
        // Saturates instead of wrapping: a long run of digits must not come
        // out as some small percentage.
        uint32_t value = 0;
        for (; is_digit(*p); ++p)
            value = value > 1000u ? 1001u : value * 10u + static_cast<uint32_t>(*p - L'0');
        if (value != 0 && value <= opaque_percent && !listed(steps, value)) steps.push_back(value);
        p = skip_blanks(p);
        if (*p != L',') break;
        p = skip_blanks(p + 1);
    }
    return steps;
}

uint32_t next_percent(const std::vector<uint32_t>& steps, uint32_t current) {
    for (size_t i = 0; i < steps.size(); ++i)
        if (steps[i] == current) return i + 1 < steps.size() ? steps[i + 1] : opaque_percent;
    return opaque_percent;
}

uint8_t alpha_of_percent(uint32_t percent) {
    if (percent > opaque_percent) percent = opaque_percent;
    return static_cast<uint8_t>(percent * 255u / 100u);
}

size_t join_alpha_steps(const std::vector<uint32_t>& values, wchar_t* out, size_t capacity) {
    if (!out || capacity == 0) return 0;
    size_t length = 0;
    out[0] = L'\0';
    for (uint32_t value : values) {
        wchar_t digits[12];
        size_t count = 0;
        do {
            digits[count++] = static_cast<wchar_t>(L'0' + value % 10u);
            value /= 10u;
        } while (value != 0);
        const size_t needed = count + (length ? 1 : 0);
        if (length + needed >= capacity) break;
        if (length) out[length++] = L',';
        while (count) out[length++] = digits[--count];
        out[length] = L'\0';
    }
    return length;
}

} // namespace seethru
