#pragma once
// What resource\resource.ini says about a picture set: the picture files, the
// mask colour and the digits' spacing. Plain functions over a source of the
// file's values, so that any file content can be tested and fuzzed without
// Windows.

#include <cstddef>
#include <cstdint>

namespace picture_set {

// One value of the file, as the profile functions give it: the text of `key`
// in `section` cut to capacity - 1 characters and terminated, its length
// returned; 0 (with an empty text) when the file or the key is missing.
class value_source {
public:
    virtual size_t read(const wchar_t* section, const wchar_t* key, wchar_t* buffer,
                        size_t capacity) noexcept = 0;

protected:
    ~value_source() = default;
};

constexpr size_t path_capacity = 261;

// "resource\" + the value of `key` in the set's section, cut to fit the
// path. False, with an empty path, when the value is missing or empty.
bool picture_path(value_source& values, const wchar_t* set, const wchar_t* key,
                  wchar_t (&path)[path_capacity]) noexcept;

// "maskcolor" of [icondefs] as a COLORREF; `fallback` when it is missing or
// does not start with "#".
uint32_t mask_color(value_source& values, uint32_t fallback) noexcept;

// "dig01_w" of a digit set: how far left of the ones digit the tens digit
// sits. 0 when missing.
int32_t tens_offset(value_source& values, const wchar_t* set) noexcept;

// "variants" of a set: the sections holding the same pictures drawn for other
// icon sizes, separated by commas (spaces around a name do not count). Names
// longer than set_name_capacity - 1 characters or empty are skipped, as is
// everything after max_variants names. Returns how many were written.
constexpr size_t max_variants = 8;
constexpr size_t set_name_capacity = 32;
size_t variants(value_source& values, const wchar_t* set,
                wchar_t (&names)[max_variants][set_name_capacity]) noexcept;

// Whether `name` is `set` itself or one of its variants. Section names are
// compared as the profile functions do, without regard to the case of A-Z.
bool has_variant(value_source& values, const wchar_t* set, const wchar_t* name) noexcept;

} // namespace picture_set
