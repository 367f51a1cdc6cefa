// libFuzzer target for the shared hot-key table. Built natively, not by the
// MinGW build:
//   clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -I. \
//     tests/fuzz/hook_table_fuzz.cpp hook/hook_table.cpp -o hook_table_fuzz
// Two halves of every input:
// - as the table itself, of exactly its own size: lookups and additions must
//   stay inside it (the sanitizers see any byte past the end) and end;
// - as a list of registrations into a fresh table: every lookup must agree
//   with a plain list in which the first registration of a key wins.

#include "hook/hook_table.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void damaged_table(const uint8_t* data, size_t size) {
    // A heap copy of exactly `size` bytes: nothing to read past but redzone.
    std::vector<uint8_t> table(data, data + size);
    uint8_t* view = table.data();
    const size_t fitting = size < hook_table::header_size
                               ? 0
                               : (size - hook_table::header_size) / hook_table::entry_size;
    hook_table::action found;
    for (unsigned key = 0; key < 0x100; ++key) {
        hook_table::find(view, size, key, static_cast<uint8_t>(key * 7), found);
        hook_table::find(view, size, key, 0, found);
    }
    for (size_t i = 0; i + 1 < size && i < 64; i += 2) {
        const uint32_t code = data[i] | (data[i + 1] << 8);
        if (hook_table::add(view, size, code, 1, 2, 3) && view[hook_table::at_count] > fitting)
            std::abort();
    }
    if (hook_table::usable_count(view, size) > fitting) std::abort();
}

void registrations(const uint8_t* data, size_t size) {
    if (size < 1) return;
    const uint8_t capacity = data[0];
    std::vector<uint8_t> table(hook_table::bytes_for(capacity));
    if (!hook_table::initialise(table.data(), table.size(), capacity, 0x1234)) std::abort();
    struct entry {
        uint8_t key, modifiers;
        uint64_t wparam;
    };
    std::vector<entry> model;
    for (size_t i = 1; i + 1 < size; i += 2) {
        const uint32_t code = data[i] | (data[i + 1] << 8);
        const bool expected = (code & 0xFF) != 0 && model.size() < capacity;
        if (hook_table::add(table.data(), table.size(), code, 0x111, i, 0) != expected)
            std::abort();
        if (expected)
            model.push_back({static_cast<uint8_t>(code), static_cast<uint8_t>(code >> 8), i});
    }
    for (const auto& probe : model) {
        hook_table::action found;
        if (!hook_table::find(table.data(), table.size(), probe.key, probe.modifiers, found))
            std::abort();
        for (const auto& e : model) {
            if (e.key == probe.key && e.modifiers == probe.modifiers) {
                if (found.wparam != e.wparam) std::abort();
                break;
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    damaged_table(data, size);
    registrations(data, size);
    return 0;
}
