#include "mxrctl/session_names.h"

#include <cwchar>

namespace {
constexpr size_t longest_identifier = 32768;

wchar_t fold(wchar_t c) noexcept {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}
} // namespace

bool session_file_name(const wchar_t* identifier, wchar_t* out, size_t capacity) noexcept {
    if (!out || capacity == 0) return false;
    out[0] = L'\0';
    if (!identifier) return false;
    const size_t length = wcsnlen(identifier, longest_identifier);
    // The program stands between the first '|' and the "%b" after it.
    size_t begin = 0;
    while (begin < length && identifier[begin] != L'|') ++begin;
    if (begin == length) return false;
    ++begin;
    size_t end = begin;
    while (end + 1 < length && !(identifier[end] == L'%' && identifier[end + 1] == L'b')) ++end;
    if (end + 1 >= length) return false;
    size_t name = begin;
    for (size_t i = begin; i < end; ++i)
        if (identifier[i] == L'\\' || identifier[i] == L'/') name = i + 1;
    const size_t chars = end - name;
    if (chars == 0 || chars >= capacity) return false;
    for (size_t i = 0; i < chars; ++i) {
        // A name with a '|' or a nul is no file name.
        if (identifier[name + i] == L'|') {
            out[0] = L'\0';
            return false;
        }
        out[i] = identifier[name + i];
    }
    out[chars] = L'\0';
    return true;
}

bool same_file_name(const wchar_t* a, const wchar_t* b) noexcept {
    if (!a || !b || !*a || !*b) return false;
    for (;; ++a, ++b) {
        if (fold(*a) != fold(*b)) return false;
        if (*a == L'\0') return true;
    }
}
