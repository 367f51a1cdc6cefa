#pragma once
// Texts that arrive by pointer in posted messages. Any process can post to
// the main window, so such a pointer may point anywhere; it is read with a
// copy that fails instead of faulting.

#include <windows.h>
#include <cstddef>
#include <cstdint>

// Copies the NUL-terminated text at `source` into `target` (capacity in
// characters, at least 1), cutting it at capacity - 1. False, with `target`
// empty, when the memory cannot be read up to the terminator or the cut.
inline bool copy_text_safely(const wchar_t* source, wchar_t* target, size_t capacity) noexcept {
    if (!target || capacity == 0) return false;
    target[0] = L'\0';
    if (!source) return false;
    HANDLE self = GetCurrentProcess();
    size_t copied = 0;
    // Page by page, so that a short text at the end of a readable region is
    // not refused because the region ends before capacity characters.
    while (copied < capacity - 1) {
        const auto address = reinterpret_cast<uintptr_t>(source + copied);
        size_t page_left = (4096 - (address & 4095)) / sizeof(wchar_t);
        if (page_left == 0) page_left = 1;
        size_t want = capacity - 1 - copied;
        if (want > page_left) want = page_left;
        SIZE_T got = 0;
        if (!ReadProcessMemory(self, source + copied, target + copied, want * sizeof(wchar_t),
                               &got) ||
            got != want * sizeof(wchar_t)) {
            target[0] = L'\0';
            return false;
        }
        for (size_t i = copied; i < copied + want; ++i) {
            if (target[i] == L'\0') return true;
        }
        copied += want;
    }
    target[capacity - 1] = L'\0';
    return true;
}

// Copies a plain record the same way; false when it cannot be read.
template <typename T> bool copy_record_safely(const void* source, T& target) noexcept {
    if (!source) return false;
    SIZE_T got = 0;
    return ReadProcessMemory(GetCurrentProcess(), source, &target, sizeof(T), &got) &&
           got == sizeof(T);
}
