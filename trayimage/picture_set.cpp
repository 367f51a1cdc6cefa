#include "trayimage/picture_set.h"

#include "confctl/ini_values.h"

namespace picture_set {

namespace {
constexpr wchar_t resource_folder[] = L"resource\\";
constexpr size_t resource_folder_length = sizeof resource_folder / sizeof resource_folder[0] - 1;
// Numbers and colours are short; the profile functions cut the rest.
constexpr size_t value_capacity = 16;

wchar_t folded(wchar_t c) noexcept {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool same_section(const wchar_t* a, const wchar_t* b) noexcept {
    for (; *a && *b; ++a, ++b)
        if (folded(*a) != folded(*b)) return false;
    return *a == *b;
}
} // namespace

bool picture_path(value_source& values, const wchar_t* set, const wchar_t* key,
                  wchar_t (&path)[path_capacity]) noexcept {
    for (size_t i = 0; i < resource_folder_length; ++i) path[i] = resource_folder[i];
    path[resource_folder_length] = L'\0';
    // The file names its pictures relative to the resource folder.
    if (values.read(set, key, path + resource_folder_length,
                    path_capacity - resource_folder_length) == 0) {
        path[0] = L'\0';
        return false;
    }
    return true;
}

uint32_t mask_color(value_source& values, uint32_t fallback) noexcept {
    wchar_t text[value_capacity];
    if (values.read(L"icondefs", L"maskcolor", text, value_capacity) == 0) return fallback;
    return ini_values::parse_color(text, fallback);
}

int32_t tens_offset(value_source& values, const wchar_t* set) noexcept {
    wchar_t text[value_capacity];
    if (values.read(set, L"dig01_w", text, value_capacity) == 0) return 0;
    return ini_values::parse_long(text);
}

size_t variants(value_source& values, const wchar_t* set,
                wchar_t (&names)[max_variants][set_name_capacity]) noexcept {
    // Room for every name at its longest with a separator and spaces.
    constexpr size_t list_capacity = max_variants * (set_name_capacity + 8);
    wchar_t list[list_capacity];
    const size_t length = values.read(set, L"variants", list, list_capacity);
    size_t count = 0;
    size_t start = 0;
    for (size_t i = 0; i <= length && i < list_capacity && count < max_variants; ++i) {
        if (i < length && list[i] != L',') continue;
        size_t first = start, end = i;
        while (first < end && (list[first] == L' ' || list[first] == L'\t')) ++first;
        while (end > first && (list[end - 1] == L' ' || list[end - 1] == L'\t')) --end;
        start = i + 1;
        if (end == first || end - first >= set_name_capacity) continue;
        for (size_t k = first; k < end; ++k) names[count][k - first] = list[k];
        names[count][end - first] = L'\0';
        ++count;
    }
    return count;
}

bool has_variant(value_source& values, const wchar_t* set, const wchar_t* name) noexcept {
    if (!set || !name) return false;
    if (same_section(set, name)) return true;
    wchar_t names[max_variants][set_name_capacity];
    const size_t count = variants(values, set, names);
    for (size_t i = 0; i < count; ++i)
        if (same_section(names[i], name)) return true;
    return false;
}

} // namespace picture_set
