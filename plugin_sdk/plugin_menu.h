#pragma once
// A plug-in's submenu in the host's popup menu, made from the first popup of
// one of the plug-in's menu resources, in the user's language.

#include "common/unique_resource.h"

#include <windows.h>
#include <cstdint>

class resource_submenu {
public:
    // Popup 0 of menu `menu_id` of `module` and its caption, detached from
    // the loaded menu; empty (popup() null) when either is missing.
    resource_submenu(HMODULE module, UINT menu_id) noexcept;

    // The submenu, for the plug-in to fill in before adding it.
    HMENU popup() const noexcept { return popup_.get(); }

    // Appends the submenu under its caption as item `id` (greyed when
    // `greyed` or when it has no items), then a separator. The host's menu
    // owns the submenu once it holds it; if the host's menu refused it, it
    // is destroyed with this object. Nothing at all when empty.
    void add_to(HMENU host_menu, uint32_t id, bool greyed = false) noexcept;

private:
    unique_hmenu popup_;
    wchar_t caption_[512] = {};
};
