#pragma once
// One page of the settings dialog: a child dialog made from its resource,
// filled from the settings at WM_INITDIALOG and copied back on PSN_APPLY.

#include "setup/setup_state.h"

#include <windows.h>

class Csetup_page {
public:
    Csetup_page(setup_state& state, UINT dialog_id) noexcept
        : state_(state), dialog_id_(dialog_id) {}
    Csetup_page(const Csetup_page&) = delete;
    Csetup_page& operator=(const Csetup_page&) = delete;
    virtual ~Csetup_page() = default;

    UINT dialog_id() const noexcept { return dialog_id_; }
    HWND window() const noexcept { return window_; }
    // Set once the page has copied its controls into the settings (OK),
    // whether or not the user changed any of them.
    bool applied() const noexcept { return applied_; }

    // The page procedure for CreateDialogIndirectParamW, with the page
    // object as the creation parameter.
    static INT_PTR CALLBACK procedure(HWND window, UINT message, WPARAM wparam,
                                      LPARAM lparam) noexcept;

protected:
    // WM_INITDIALOG: the controls from the settings.
    virtual void initialize() = 0;
    // The page's other messages; TRUE when handled.
    virtual INT_PTR handle(UINT, WPARAM, LPARAM) { return FALSE; }
    // PSN_APPLY: the controls into the settings.
    virtual void apply() = 0;

    HWND item(int id) const noexcept { return GetDlgItem(window_, id); }
    Cconfig& config() noexcept { return state_.config; }

    setup_state& state_;

private:
    UINT dialog_id_;
    HWND window_ = nullptr;
    bool applied_ = false;
};
