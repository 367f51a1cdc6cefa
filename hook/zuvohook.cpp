#include "hook/zuvohook.h"

#include "common/unique_resource.h"
#include "hook/hook_table.h"

namespace {

HINSTANCE g_instance = nullptr;

// What the connecting process keeps. Other processes, into which the system
// loads this library for the hook alone, never fill it.
struct connection {
    unique_handle mapping;
    unique_view view;
    std::size_t size = 0;
    HHOOK hook = nullptr;
};
connection g_connection;

// The bytes of a view that can really be read: a section made by someone
// else may be smaller than its header claims. Views are whole pages, so this
// is the section's size rounded up to a page, or less when only a part of a
// reserved section is committed.
std::size_t readable_size(const void* view) noexcept {
    MEMORY_BASIC_INFORMATION info{};
    if (VirtualQuery(view, &info, sizeof info) != sizeof info) return 0;
    if (info.State != MEM_COMMIT || info.BaseAddress != view) return 0;
    if (info.Protect & (PAGE_NOACCESS | PAGE_GUARD)) return 0;
    return info.RegionSize;
}

uint8_t* bytes(const unique_view& view) noexcept {
    return static_cast<uint8_t*>(view.get());
}

bool key_down(int virtual_key) noexcept {
    return (GetAsyncKeyState(virtual_key) & 0x8000) != 0;
}

void release_connection() noexcept {
    if (g_connection.hook) {
        UnhookWindowsHookEx(g_connection.hook);
        g_connection.hook = nullptr;
    }
    g_connection.view.reset();
    g_connection.mapping.reset();
    g_connection.size = 0;
}

} // namespace

extern "C" bool __cdecl ZUVOHOOK_connect(HWND window, uint32_t capacity) noexcept {
    // Connecting again starts afresh; two hooks of ours would post every key twice.
    release_connection();

    const uint32_t wanted = capacity & 0xFF;
    unique_handle mapping(OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, zuvohook_section_name));
    if (!mapping) {
        mapping.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                         static_cast<DWORD>(hook_table::bytes_for(wanted)),
                                         zuvohook_section_name));
    }
    if (!mapping) return false;
    unique_view view(MapViewOfFile(mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
    if (!view) return false;

    // A section left by another process may be smaller than this request:
    // the table then holds what fits rather than growing past the end.
    const std::size_t size = readable_size(view.get());
    const uint8_t fitting = hook_table::capacity_within(wanted, size);
    if (!hook_table::initialise(bytes(view), size, fitting, reinterpret_cast<uintptr_t>(window)))
        return false;

    HHOOK hook = SetWindowsHookExW(WH_KEYBOARD, ZUVOHOOK_keyboard_proc, g_instance, 0);
    if (!hook) return false;
    hook_table::set_hook_handle(bytes(view), size, reinterpret_cast<uintptr_t>(hook));
    FlushViewOfFile(view.get(), hook_table::bytes_for(fitting));

    g_connection.mapping = std::move(mapping);
    g_connection.view = std::move(view);
    g_connection.size = size;
    g_connection.hook = hook;
    return true;
}

extern "C" bool __cdecl ZUVOHOOK_key_regist(uint32_t code, uint32_t message, WPARAM wparam,
                                            LPARAM lparam) noexcept {
    if (!g_connection.view) return false;
    const bool added = hook_table::add(bytes(g_connection.view), g_connection.size, code, message,
                                       wparam, static_cast<uint64_t>(static_cast<int64_t>(lparam)));
    if (added) FlushViewOfFile(g_connection.view.get(), g_connection.size);
    return added;
}

extern "C" void __cdecl ZUVOHOOK_disconnect() noexcept {
    // The hook removed is the one this process installed, whatever another
    // program may since have written into the section's header.
    release_connection();
}

extern "C" LRESULT CALLBACK ZUVOHOOK_keyboard_proc(int code, WPARAM wparam,
                                                   LPARAM lparam) noexcept {
    // Key-ups and messages we must not touch never need the table. The
    // system ignores the handle argument of CallNextHookEx, so passing none
    // here loses nothing.
    const bool key_up = (static_cast<uint32_t>(lparam) & 0x80000000u) != 0;
    if (code < 0 || key_up) return CallNextHookEx(nullptr, code, wparam, lparam);

    // This runs inside whichever program has the keyboard, so the table is
    // opened by name for this one key and let go before returning.
    unique_handle mapping(OpenFileMappingW(FILE_MAP_READ, FALSE, zuvohook_section_name));
    if (!mapping) return CallNextHookEx(nullptr, code, wparam, lparam);
    unique_view view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
    if (!view) return CallNextHookEx(nullptr, code, wparam, lparam);
    const std::size_t size = readable_size(view.get());
    const uint8_t* table = bytes(view);

    // Modifiers are taken as they are when the program retrieves the key.
    const uint8_t modifiers = hook_table::keystroke_modifiers(
        (static_cast<uint32_t>(lparam) & (1u << 24)) != 0, key_down(VK_CONTROL), key_down(VK_MENU),
        key_down(VK_SHIFT), key_down(VK_LWIN) || key_down(VK_RWIN));

    hook_table::action found;
    if (hook_table::find(table, size, wparam, modifiers, found)) {
        const auto target =
            reinterpret_cast<HWND>(static_cast<uintptr_t>(hook_table::target_window(table, size)));
        // Posted, never sent: a hung main program must not stall the keyboard.
        PostMessageW(target, found.message, static_cast<WPARAM>(found.wparam),
                     static_cast<LPARAM>(static_cast<int64_t>(found.lparam)));
        return 1;
    }
    const auto next =
        reinterpret_cast<HHOOK>(static_cast<uintptr_t>(hook_table::hook_handle(table, size)));
    view.reset();
    mapping.reset();
    return CallNextHookEx(next, code, wparam, lparam);
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_instance = instance;
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        // Freed without a disconnect: the hook must not outlive its procedure.
        release_connection();
    }
    return TRUE;
}
