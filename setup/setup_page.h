#pragma once
// One page of the settings dialog: a child dialog made from its resource,
// filled from the settings at WM_INITDIALOG and copied back on PSN_APPLY.

#include "setup/setup_state.h"

#include <windows.h>

class Csetup_page {
public:
    explicit Csetup_page(setup_state& state) noexcept : state_(state) {}
    Csetup_page(const Csetup_page&) = delete;
    Csetup_page& operator=(const Csetup_page&) = delete;
    virtual ~Csetup_page() = default;

    virtual UINT dialog_id() const noexcept = 0;
    HWND window() const noexcept { return window_; }
    // Set once the page has copied its controls into the settings (OK).
    bool changed() const noexcept { return changed_; }

    // The page procedure for CreateDialogIndirectParamW, with the page
    // object as the creation parameter.
    static INT_PTR CALLBACK procedure(HWND window, UINT message, WPARAM wparam,
                                      LPARAM lparam) noexcept;

protected:
    // The page's own messages; TRUE when handled. WM_INITDIALOG arrives
    // here with window() already set.
    virtual INT_PTR handle(UINT message, WPARAM wparam, LPARAM lparam) = 0;
    // PSN_APPLY: the controls into the settings.
    virtual void apply() = 0;

    HWND item(int id) const noexcept { return GetDlgItem(window_, id); }
    Cconfig& config() noexcept { return state_.config; }

    setup_state& state_;

private:
    HWND window_ = nullptr;
    bool changed_ = false;
};
