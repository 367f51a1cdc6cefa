#pragma once
// The bounded string functions the settings store uses, with their
// documented results: always terminated, cut to the room, and a failure
// result when the text was cut. For the native fuzz build only.

#include <windows.h>

#include <cstdarg>
#include <cstddef>
#include <cwchar>

constexpr HRESULT S_OK = 0;
constexpr HRESULT STRSAFE_E_INSUFFICIENT_BUFFER = static_cast<HRESULT>(0x8007007A);
constexpr HRESULT STRSAFE_E_INVALID_PARAMETER = static_cast<HRESULT>(0x80070057);

inline HRESULT StringCchCopyNW(wchar_t* target, size_t capacity, const wchar_t* source,
                               size_t count) {
    if (!target || capacity == 0) return STRSAFE_E_INVALID_PARAMETER;
    size_t i = 0;
    for (; i < count && source[i]; ++i) {
        if (i + 1 == capacity) {
            target[i] = L'\0';
            return STRSAFE_E_INSUFFICIENT_BUFFER;
        }
        target[i] = source[i];
    }
    target[i] = L'\0';
    return S_OK;
}

inline HRESULT StringCchCopyW(wchar_t* target, size_t capacity, const wchar_t* source) {
    return StringCchCopyNW(target, capacity, source, static_cast<size_t>(-1));
}

inline HRESULT StringCchLengthW(const wchar_t* text, size_t capacity, size_t* length) {
    size_t i = 0;
    while (i < capacity && text && text[i]) ++i;
    if (length) *length = i < capacity ? i : 0;
    return text && i < capacity ? S_OK : STRSAFE_E_INVALID_PARAMETER;
}

inline HRESULT StringCchCatW(wchar_t* target, size_t capacity, const wchar_t* source) {
    size_t used = 0;
    if (FAILED(StringCchLengthW(target, capacity, &used))) return STRSAFE_E_INVALID_PARAMETER;
    return StringCchCopyW(target + used, capacity - used, source);
}

inline HRESULT StringCchPrintfW(wchar_t* target, size_t capacity, const wchar_t* format, ...) {
    if (!target || capacity == 0) return STRSAFE_E_INVALID_PARAMETER;
    va_list arguments;
    va_start(arguments, format);
    const int written = std::vswprintf(target, capacity, format, arguments);
    va_end(arguments);
    if (written < 0 || static_cast<size_t>(written) >= capacity) {
        target[capacity - 1] = L'\0';
        return STRSAFE_E_INSUFFICIENT_BUFFER;
    }
    return S_OK;
}
