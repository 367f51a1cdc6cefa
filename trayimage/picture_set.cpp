#include "trayimage/picture_set.h"

#include "confctl/ini_values.h"

namespace picture_set {

namespace {
constexpr wchar_t resource_folder[] = L"resource\\";
constexpr size_t resource_folder_length = sizeof resource_folder / sizeof resource_folder[0] - 1;
// Numbers and colours are short; the profile functions cut the rest.
constexpr size_t value_capacity = 16;
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

} // namespace picture_set
