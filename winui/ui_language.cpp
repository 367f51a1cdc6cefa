#include "winui/ui_language.h"

#include <cstring>

LANGID ui_language_for(LANGID user_language) noexcept {
    if (PRIMARYLANGID(user_language) == LANG_JAPANESE)
        return MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN);
    return MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
}

LANGID ui_language() noexcept {
    return ui_language_for(GetUserDefaultUILanguage());
}

namespace {

constexpr LANGID english = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
constexpr LANGID japanese = MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN);

// The user's language first, then the other one we write, then whatever the
// loader finds (resources of plug-ins made in one language only).
template <typename Found> bool in_ui_languages(Found found) noexcept {
    const LANGID wanted = ui_language();
    return found(wanted) || found(wanted == english ? japanese : english) || found(LANGID{0xFFFF});
}

HRSRC find_in(HMODULE module, LPCWSTR type, UINT id, LANGID language) noexcept {
    if (language == 0xFFFF) return FindResourceW(module, MAKEINTRESOURCEW(id), type);
    return FindResourceExW(module, type, MAKEINTRESOURCEW(id), language);
}

// A string table block holds 16 counted strings; string `id` lives in block
// id / 16 + 1 at position id % 16.
bool string_from_block(HMODULE module, HRSRC block, UINT id, const wchar_t*& text,
                       size_t& length) noexcept {
    if (!block) return false;
    const DWORD size = SizeofResource(module, block);
    HGLOBAL loaded = LoadResource(module, block);
    const auto* words = static_cast<const wchar_t*>(loaded ? LockResource(loaded) : nullptr);
    if (!words) return false;
    const size_t total = size / sizeof(wchar_t);
    size_t at = 0;
    for (UINT n = 0; n < (id & 15u); ++n) {
        if (at >= total) return false;
        at += 1 + static_cast<size_t>(words[at]);
    }
    if (at >= total) return false;
    length = static_cast<size_t>(words[at]);
    if (length == 0 || at + 1 + length > total) return false;
    text = words + at + 1;
    return true;
}

} // namespace

HRSRC find_ui_resource(HMODULE module, LPCWSTR type, UINT id) noexcept {
    HRSRC result = nullptr;
    in_ui_languages([&](LANGID language) {
        result = find_in(module, type, id, language);
        return result != nullptr;
    });
    return result;
}

size_t load_ui_string(HMODULE module, UINT id, wchar_t* buffer, size_t capacity) noexcept {
    if (!buffer || capacity == 0) return 0;
    buffer[0] = L'\0';
    // Each language has its own blocks, so a string missing from the user's
    // block is looked for in the others.
    const UINT block_id = (id >> 4) + 1;
    const wchar_t* text = nullptr;
    size_t length = 0;
    if (!in_ui_languages([&](LANGID language) {
            return string_from_block(module, find_in(module, RT_STRING, block_id, language), id,
                                     text, length);
        }))
        return 0;
    if (length > capacity - 1) length = capacity - 1;
    std::memcpy(buffer, text, length * sizeof(wchar_t));
    buffer[length] = L'\0';
    return length;
}

bool format_ui_string(HMODULE module, UINT id, const wchar_t* argument, wchar_t* buffer,
                      size_t capacity) noexcept {
    if (!buffer || capacity == 0) return false;
    buffer[0] = L'\0';
    wchar_t format[512];
    if (load_ui_string(module, id, format, 512) == 0) return false;
    DWORD_PTR arguments[1] = {reinterpret_cast<DWORD_PTR>(argument ? argument : L"")};
    const DWORD size = capacity > 0xFFFF ? 0xFFFF : static_cast<DWORD>(capacity);
    if (FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY, format, 0, 0,
                       buffer, size, reinterpret_cast<va_list*>(arguments)) == 0) {
        buffer[0] = L'\0';
        return false;
    }
    return true;
}
