#pragma once
// Texts that arrive by pointer in posted messages. Any process can post to
// the main window, so such a pointer may point anywhere; it is read with a
// copy that fails instead of faulting.

#include "common/paged_text_copy.h"

#include <windows.h>
#include <cstddef>
#include <cstdint>

// Copies the NUL-terminated text at `source` into `target` (capacity in
// characters, at least 1), cutting it at capacity - 1. False, with `target`
// empty, when the memory cannot be read up to the terminator or the cut.
inline bool copy_text_safely(const wchar_t* source, wchar_t* target, size_t capacity) noexcept {
    HANDLE self = GetCurrentProcess();
    return paged_text_copy::copy(
        source, target, capacity, [self](const wchar_t* from, wchar_t* to, size_t count) {
            SIZE_T got = 0;
            return ReadProcessMemory(self, from, to, count * sizeof(wchar_t), &got) &&
                   got == count * sizeof(wchar_t);
        });
}

// Copies a plain record the same way; false when it cannot be read.
template <typename T> bool copy_record_safely(const void* source, T& target) noexcept {
    if (!source) return false;
    SIZE_T got = 0;
    return ReadProcessMemory(GetCurrentProcess(), source, &target, sizeof(T), &got) &&
           got == sizeof(T);
}
