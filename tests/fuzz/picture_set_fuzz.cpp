// libFuzzer target for what resource\resource.ini says about the tray
// picture sets: the picture paths, the mask colour and the digits' spacing.
// Built natively by scripts/fuzz. The input is the file's text (UTF-16),
// read through a stand-in of the profile functions that fills every buffer
// to the capacity it is given, so a capacity larger than the buffer shows as
// an overflow. Every set the text names is read, and one it does not.
// Checks: a path is "resource\" and the value, cut to the path's room, and
// empty when the value is; colour and spacing follow reference_values.h on
// the value as the profile functions cut it.

#include "tests/fuzz/profile_stand_in.h"
#include "tests/fuzz/reference_values.h"
#include "trayimage/picture_set.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

class stand_in_values final : public picture_set::value_source {
public:
    explicit stand_in_values(profile_stand_in& file) : file_(file) {}
    size_t read(const wchar_t* section, const wchar_t* key, wchar_t* buffer,
                size_t capacity) noexcept override {
        return file_.read(section, key, buffer, capacity);
    }

private:
    profile_stand_in& file_;
};

// The value as a buffer of `capacity` characters receives it.
std::wstring cut(const std::wstring* value, size_t capacity) {
    return value ? value->substr(0, capacity - 1) : std::wstring();
}

void check_set(profile_stand_in& file, stand_in_values& values, const std::wstring& set) {
    for (const wchar_t* key : {L"icon", L"mute", L"err", L"dig10", L"dig01"}) {
        wchar_t path[picture_set::path_capacity];
        const bool found = picture_set::picture_path(values, set.c_str(), key, path);
        const std::wstring value = cut(file.find(set.c_str(), key), picture_set::path_capacity - 9);
        if (found != !value.empty()) std::abort();
        const std::wstring expected = found ? L"resource\\" + value : std::wstring();
        if (path != expected) std::abort();
    }
    const std::wstring spacing = cut(file.find(set.c_str(), L"dig01_w"), 16);
    if (picture_set::tens_offset(values, set.c_str()) != reference::signed_number(spacing.c_str()))
        std::abort();

    // Every variant is a trimmed, non-empty name that fits and appears in the
    // value, and is found again as a variant of the set.
    wchar_t names[picture_set::max_variants][picture_set::set_name_capacity];
    const size_t count = picture_set::variants(values, set.c_str(), names);
    if (count > picture_set::max_variants) std::abort();
    const std::wstring list = cut(file.find(set.c_str(), L"variants"), 8 * 40);
    for (size_t i = 0; i < count; ++i) {
        const std::wstring name = names[i];
        if (name.empty() || name.size() >= picture_set::set_name_capacity || name.front() == L' ' ||
            name.back() == L' ' || name.find(L',') != std::wstring::npos ||
            list.find(name) == std::wstring::npos ||
            !picture_set::has_variant(values, set.c_str(), names[i]))
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    profile_stand_in file(data, size);
    stand_in_values values(file);

    const uint32_t fallback = 0x00FF00FF;
    const std::wstring mask = cut(file.find(L"icondefs", L"maskcolor"), 16);
    const uint32_t expected = mask.empty() ? fallback : reference::color(mask.c_str(), fallback);
    if (picture_set::mask_color(values, fallback) != expected) std::abort();

    for (const std::wstring& set : file.sections()) check_set(file, values, set);
    check_set(file, values, L"no such set");
    if (file.reads() == 0) std::abort();
    return 0;
}
