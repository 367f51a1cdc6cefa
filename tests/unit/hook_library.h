#pragma once
// The hook library as the tests use it: loaded from the program folder and
// bound by name like the main program does, a window that collects what the
// hook posts, and raw access to the shared section.

#include "common/unique_resource.h"
#include "hook/hook_table.h"
#include "hook/zuvohook.h"
#include "tests/support/files.h"

#include <cstdint>
#include <vector>

namespace hook_test {

// Loaded once per test process; null members when the library is missing.
inline const zuvohook_exports& library() {
    static unique_hmodule module(
        LoadLibraryW((test_support::exe_folder() + L"\\..\\bin\\zuvohook.dll").c_str()));
    static zuvohook_exports exports = [] {
        zuvohook_exports bound;
        if (module) bound.bind(module.get());
        return bound;
    }();
    return exports;
}

// What was posted to the calling thread itself (to no window), oldest first.
inline std::vector<MSG> take_thread_messages(UINT first = WM_APP, UINT last = WM_APP + 0x3FFF) {
    std::vector<MSG> taken;
    MSG msg;
    while (PeekMessageW(&msg, reinterpret_cast<HWND>(-1), first, last, PM_REMOVE))
        taken.push_back(msg);
    return taken;
}

// A view of the section "zuvohook_SharedData" of the test's own, with the
// size that can really be read.
struct raw_section {
    unique_handle mapping;
    unique_view view;
    std::size_t size = 0;

    explicit operator bool() const { return static_cast<bool>(view); }
    uint8_t* bytes() const { return static_cast<uint8_t*>(view.get()); }
    uint8_t& operator[](std::size_t offset) const { return bytes()[offset]; }
    uint8_t* entry(std::size_t index) const {
        return bytes() + hook_table::at_entries + index * hook_table::entry_size;
    }

    static raw_section open() {
        return map(OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, zuvohook_section_name));
    }
    // A section of exactly `size` bytes, as another program might leave it.
    // With SEC_RESERVE only the first page is committed.
    static raw_section create(DWORD size, DWORD flags = 0) {
        raw_section s = map(CreateFileMappingW(
            INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE | flags, 0, size, zuvohook_section_name));
        if (s && (flags & SEC_RESERVE)) {
            VirtualAlloc(s.view.get(), 4096, MEM_COMMIT, PAGE_READWRITE);
            s.size = query_size(s.view.get());
        }
        return s;
    }

private:
    static raw_section map(HANDLE handle) {
        raw_section s;
        s.mapping.reset(handle);
        if (!s.mapping) return s;
        s.view.reset(MapViewOfFile(handle, FILE_MAP_ALL_ACCESS, 0, 0, 0));
        if (s.view) s.size = query_size(s.view.get());
        return s;
    }
    static std::size_t query_size(void* view) {
        MEMORY_BASIC_INFORMATION info{};
        VirtualQuery(view, &info, sizeof info);
        return info.State == MEM_COMMIT ? info.RegionSize : 0;
    }
};

} // namespace hook_test
