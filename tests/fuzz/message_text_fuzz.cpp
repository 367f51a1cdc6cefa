// libFuzzer target for the texts that arrive by pointer in posted messages
// (tips text, tray tip, balloon caption and text): any process may post any
// pointer, so the copy walks the memory page by page and gives up where it
// cannot read. Built natively by scripts/fuzz. The stand-in for the
// process-memory read answers like the system: all or nothing, readable only
// inside a block that ends right before a guard page. The input chooses the
// block's size and bytes, where the pointer lands (also past the end) and
// the capacity.
// Checks: no read crosses a page boundary but that of a lone straddling
// character; the result is what the readable characters say (the text up to
// its terminator, the cut at capacity - 1, or nothing when the memory ends
// first); the target is written only within its capacity and is always
// terminated.

#include "common/paged_text_copy.h"
#include "tests/fuzz/guarded_block.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 6) return 0;
    const size_t block_size = (data[2] | (data[3] << 8)) % (3 * paged_text_copy::page_size + 1);
    guarded_block block(block_size);
    for (size_t i = 0; i < block_size; ++i) block.data()[i] = data[5 + i % (size - 5)];
    const size_t offset = (data[0] | (data[1] << 8)) % (block_size + 16);
    const size_t capacity = 1 + (((data[4] << 4) | (data[1] >> 4)) % 3000);

    // Some pointers from a sender are not even aligned for the characters.
    const auto* source = reinterpret_cast<const wchar_t*>(block.data() + offset);
    const uint8_t* readable_end = block.end();
    const auto read = [&](const wchar_t* from, wchar_t* to, size_t count) {
        const auto first = reinterpret_cast<uintptr_t>(from);
        const uintptr_t last = first + count * sizeof(wchar_t) - 1;
        // Only a lone character that straddles the boundary may cross it.
        if (count == 0 ||
            (count > 1 && first / paged_text_copy::page_size != last / paged_text_copy::page_size))
            std::abort();
        if (first < reinterpret_cast<uintptr_t>(block.data()) ||
            last >= reinterpret_cast<uintptr_t>(readable_end))
            return false;
        std::memcpy(to, from, count * sizeof(wchar_t));
        return true;
    };

    guarded_block target_block(capacity * sizeof(wchar_t));
    auto* target = reinterpret_cast<wchar_t*>(target_block.data());
    const bool copied = paged_text_copy::copy(source, target, capacity, read);

    // What the readable characters say, one by one.
    const size_t readable = offset < block_size ? (block_size - offset) / sizeof(wchar_t) : 0;
    size_t length = 0;
    bool expected = false;
    wchar_t c = 0;
    for (; length < readable && length < capacity - 1; ++length) {
        std::memcpy(&c, block.data() + offset + length * sizeof(wchar_t), sizeof c);
        if (c == L'\0') break;
    }
    expected = length < readable ? true : length == capacity - 1;
    if (copied != expected) std::abort();
    if (!copied) {
        if (target[0] != L'\0') std::abort();
        return 0;
    }
    if (target[length] != L'\0') std::abort();
    if (length && std::memcmp(target, block.data() + offset, length * sizeof(wchar_t)) != 0)
        std::abort();

    // No text, and no room: refused without a read.
    const auto never = [](const wchar_t*, wchar_t*, size_t) -> bool { std::abort(); };
    if (paged_text_copy::copy(nullptr, target, capacity, never) || target[0] != L'\0') std::abort();
    if (paged_text_copy::copy(source, target, 0, never)) std::abort();
    return 0;
}
