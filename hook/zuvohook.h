#pragma once
// The hook library's exports. The programs load "zuvohook.dll" by file name
// and bind these by name with GetProcAddress; the pointer types below are
// the ones to cast to.

#include <windows.h>

#include <cstdint>

// The named section that holds the hot-key table (layout in hook_table.h).
inline constexpr wchar_t zuvohook_section_name[] = L"zuvohook_SharedData";

extern "C" {
// Creates or opens the table for `capacity` keys (low eight bits), empties
// it, installs the global keyboard hook and makes `window` the target.
bool __cdecl ZUVOHOOK_connect(HWND window, uint32_t capacity) noexcept;
// Appends a key; the hook then posts (message, wparam, lparam) to the target
// window for every key-down of it and swallows the key.
bool __cdecl ZUVOHOOK_key_regist(uint32_t code, uint32_t message, WPARAM wparam,
                                 LPARAM lparam) noexcept;
// Removes the hook and lets go of the table.
void __cdecl ZUVOHOOK_disconnect() noexcept;
// The keyboard hook procedure itself, exported so that a tool can measure or
// drive one call without a real keystroke.
LRESULT CALLBACK ZUVOHOOK_keyboard_proc(int code, WPARAM wparam, LPARAM lparam) noexcept;
}

using ZUVOHOOK_connect_fn = decltype(&ZUVOHOOK_connect);
using ZUVOHOOK_key_regist_fn = decltype(&ZUVOHOOK_key_regist);
using ZUVOHOOK_disconnect_fn = decltype(&ZUVOHOOK_disconnect);
using ZUVOHOOK_keyboard_proc_fn = decltype(&ZUVOHOOK_keyboard_proc);

// The exports of a loaded library, bound by name; all or nothing.
struct zuvohook_exports {
    ZUVOHOOK_connect_fn connect = nullptr;
    ZUVOHOOK_key_regist_fn key_regist = nullptr;
    ZUVOHOOK_disconnect_fn disconnect = nullptr;
    ZUVOHOOK_keyboard_proc_fn keyboard_proc = nullptr;

    bool bind(HMODULE module) noexcept {
        connect = lookup<ZUVOHOOK_connect_fn>(module, "ZUVOHOOK_connect");
        key_regist = lookup<ZUVOHOOK_key_regist_fn>(module, "ZUVOHOOK_key_regist");
        disconnect = lookup<ZUVOHOOK_disconnect_fn>(module, "ZUVOHOOK_disconnect");
        keyboard_proc = lookup<ZUVOHOOK_keyboard_proc_fn>(module, "ZUVOHOOK_keyboard_proc");
        if (connect && key_regist && disconnect && keyboard_proc) return true;
        *this = zuvohook_exports{};
        return false;
    }

private:
    template <typename F> static F lookup(HMODULE module, const char* name) noexcept {
        return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    }
};
