#pragma once
// Move-only ownership of Windows handles. Every handle the programs own is
// held in one of these, so nothing is closed twice or leaked on an early return.

#include <windows.h>
#include <utility>

template <typename Traits> class unique_resource {
public:
    using handle_type = typename Traits::handle_type;

    unique_resource() noexcept = default;
    explicit unique_resource(handle_type h) noexcept : h_(h) {}
    unique_resource(const unique_resource&) = delete;
    unique_resource& operator=(const unique_resource&) = delete;
    unique_resource(unique_resource&& other) noexcept : h_(other.release()) {}
    unique_resource& operator=(unique_resource&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~unique_resource() { reset(); }

    handle_type get() const noexcept { return h_; }
    explicit operator bool() const noexcept { return h_ != Traits::invalid(); }

    // Clears before closing, so a re-entrant look at the owner sees no stale handle.
    void reset(handle_type h = Traits::invalid()) noexcept {
        handle_type old = h_;
        h_ = h;
        if (old != Traits::invalid()) Traits::close(old);
    }
    [[nodiscard]] handle_type release() noexcept { return std::exchange(h_, Traits::invalid()); }

private:
    handle_type h_ = Traits::invalid();
};

namespace handle_traits {
template <typename H, auto Close> struct null_is_invalid {
    using handle_type = H;
    static constexpr H invalid() noexcept { return nullptr; }
    static void close(H h) noexcept { Close(h); }
};
inline void close_handle(HANDLE h) noexcept {
    ::CloseHandle(h);
}
inline void destroy_window(HWND h) noexcept {
    ::DestroyWindow(h);
}
inline void destroy_icon(HICON h) noexcept {
    ::DestroyIcon(h);
}
inline void destroy_menu(HMENU h) noexcept {
    ::DestroyMenu(h);
}
inline void delete_object(HGDIOBJ h) noexcept {
    ::DeleteObject(h);
}
inline void delete_dc(HDC h) noexcept {
    ::DeleteDC(h);
}
inline void free_library(HMODULE h) noexcept {
    ::FreeLibrary(h);
}
inline void unmap_view(void* p) noexcept {
    ::UnmapViewOfFile(p);
}
inline void global_free(HGLOBAL h) noexcept {
    ::GlobalFree(h);
}
inline void unhook(HHOOK h) noexcept {
    ::UnhookWindowsHookEx(h);
}

struct file_handle {
    using handle_type = HANDLE;
    static HANDLE invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) noexcept { ::CloseHandle(h); }
};
} // namespace handle_traits

using unique_handle =
    unique_resource<handle_traits::null_is_invalid<HANDLE, handle_traits::close_handle>>;
using unique_file = unique_resource<handle_traits::file_handle>;
using unique_hwnd =
    unique_resource<handle_traits::null_is_invalid<HWND, handle_traits::destroy_window>>;
using unique_hicon =
    unique_resource<handle_traits::null_is_invalid<HICON, handle_traits::destroy_icon>>;
using unique_hmenu =
    unique_resource<handle_traits::null_is_invalid<HMENU, handle_traits::destroy_menu>>;
using unique_hbitmap =
    unique_resource<handle_traits::null_is_invalid<HBITMAP, handle_traits::delete_object>>;
using unique_hfont =
    unique_resource<handle_traits::null_is_invalid<HFONT, handle_traits::delete_object>>;
using unique_hbrush =
    unique_resource<handle_traits::null_is_invalid<HBRUSH, handle_traits::delete_object>>;
using unique_hdc = unique_resource<handle_traits::null_is_invalid<HDC, handle_traits::delete_dc>>;
using unique_hmodule =
    unique_resource<handle_traits::null_is_invalid<HMODULE, handle_traits::free_library>>;
using unique_view =
    unique_resource<handle_traits::null_is_invalid<void*, handle_traits::unmap_view>>;
using unique_hglobal =
    unique_resource<handle_traits::null_is_invalid<HGLOBAL, handle_traits::global_free>>;
using unique_hook = unique_resource<handle_traits::null_is_invalid<HHOOK, handle_traits::unhook>>;

// A DC borrowed with GetDC, given back with ReleaseDC.
class window_dc {
public:
    explicit window_dc(HWND window) noexcept : window_(window), dc_(::GetDC(window)) {}
    window_dc(const window_dc&) = delete;
    window_dc& operator=(const window_dc&) = delete;
    ~window_dc() {
        if (dc_) ::ReleaseDC(window_, dc_);
    }
    HDC get() const noexcept { return dc_; }
    explicit operator bool() const noexcept { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};

// Selects a GDI object into a DC for the lifetime of the guard.
class select_guard {
public:
    select_guard(HDC dc, HGDIOBJ object) noexcept
        : dc_(dc), old_(object ? ::SelectObject(dc, object) : nullptr) {}
    select_guard(const select_guard&) = delete;
    select_guard& operator=(const select_guard&) = delete;
    ~select_guard() {
        if (old_) ::SelectObject(dc_, old_);
    }

private:
    HDC dc_;
    HGDIOBJ old_;
};
