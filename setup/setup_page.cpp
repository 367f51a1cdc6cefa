#include "setup/setup_page.h"

#include <commctrl.h>
#include <prsht.h>

INT_PTR CALLBACK Csetup_page::procedure(HWND window, UINT message, WPARAM wparam,
                                        LPARAM lparam) noexcept {
    auto* page = reinterpret_cast<Csetup_page*>(GetWindowLongPtrW(window, DWLP_USER));
    if (message == WM_INITDIALOG) {
        page = reinterpret_cast<Csetup_page*>(lparam);
        SetWindowLongPtrW(window, DWLP_USER, lparam);
        if (page) page->window_ = window;
    }
    if (!page) return FALSE;
    try {
        if (message == WM_NOTIFY && lparam) {
            const auto* header = reinterpret_cast<const NMHDR*>(lparam);
            if (header->code == static_cast<UINT>(PSN_APPLY)) {
                page->apply();
                page->applied_ = true;
                return TRUE;
            }
        }
        if (message == WM_INITDIALOG) {
            page->initialize();
            return TRUE;
        }
        INT_PTR result = page->handle(message, wparam, lparam);
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrW(window, DWLP_USER, 0);
            page->window_ = nullptr;
        }
        return result;
    } catch (...) {
        // Nothing may escape into the dialog manager; the page keeps what it had.
        return FALSE;
    }
}
