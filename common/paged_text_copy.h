#pragma once
// The page walk behind copy_text_safely, without Windows, so that the length
// decisions can be tested and fuzzed with any memory layout.

#include <cstddef>
#include <cstdint>

namespace paged_text_copy {

// The granularity at which memory is readable or not.
constexpr size_t page_size = 4096;

// Copies the NUL-terminated text at `source` into `target` (capacity in
// characters, at least 1), cutting it at capacity - 1. `read(from, to,
// count)` copies `count` characters and fails as a whole when any of them
// cannot be read; it is never asked to cross a page boundary, so that a short
// text at the end of a readable region is not refused because the region
// ends before capacity characters. False, with `target` empty, when the
// memory cannot be read up to the terminator or the cut.
template <typename Read>
bool copy(const wchar_t* source, wchar_t* target, size_t capacity, Read&& read) noexcept {
    if (!target || capacity == 0) return false;
    target[0] = L'\0';
    if (!source) return false;
    size_t copied = 0;
    while (copied < capacity - 1) {
        const auto address = reinterpret_cast<uintptr_t>(source + copied);
        size_t page_left = (page_size - (address & (page_size - 1))) / sizeof(wchar_t);
        // A character that straddles the boundary is read alone.
        if (page_left == 0) page_left = 1;
        size_t want = capacity - 1 - copied;
        if (want > page_left) want = page_left;
        if (!read(source + copied, target + copied, want)) {
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

} // namespace paged_text_copy
