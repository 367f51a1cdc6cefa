#include "probe_lists.h"

#include <algorithm>

bool number_list::contains(uint32_t value) const {
    return all || std::find(values.begin(), values.end(), value) != values.end();
}

namespace {
int digit_value(wchar_t c, int base) {
    int v = -1;
    if (c >= L'0' && c <= L'9')
        v = c - L'0';
    else if (c >= L'a' && c <= L'f')
        v = c - L'a' + 10;
    else if (c >= L'A' && c <= L'F')
        v = c - L'A' + 10;
    return v < base ? v : -1;
}

// Reads one number at `p`; advances past it. False when there is none.
bool read_number(const wchar_t*& p, uint64_t& value) {
    while (*p == L' ' || *p == L'\t') ++p;
    int base = 10;
    if (p[0] == L'0' && (p[1] == L'x' || p[1] == L'X')) {
        base = 16;
        p += 2;
    }
    if (digit_value(*p, base) < 0) return false;
    value = 0;
    for (int d; (d = digit_value(*p, base)) >= 0; ++p)
        value = value * static_cast<unsigned>(base) + static_cast<unsigned>(d);
    return true;
}
} // namespace

number_list parse_number_list(const wchar_t* text) {
    number_list list;
    if (!text) return list;
    const wchar_t* p = text;
    while (*p) {
        while (*p == L' ' || *p == L',') ++p;
        if (*p == L'*') {
            list.all = true;
            ++p;
            continue;
        }
        uint64_t value = 0;
        if (read_number(p, value))
            list.values.push_back(static_cast<uint32_t>(value));
        else
            while (*p && *p != L',') ++p;
    }
    return list;
}

uint64_t parse_number(const wchar_t* text, uint64_t fallback) {
    if (!text) return fallback;
    const wchar_t* p = text;
    uint64_t value = 0;
    return read_number(p, value) ? value : fallback;
}

void unescape_line_breaks(wchar_t* text) {
    if (!text) return;
    wchar_t* out = text;
    for (const wchar_t* in = text; *in; ++in) {
        if (in[0] == L'\\' && in[1] == L'n') {
            *out++ = L'\n';
            ++in;
        } else {
            *out++ = *in;
        }
    }
    *out = L'\0';
}
