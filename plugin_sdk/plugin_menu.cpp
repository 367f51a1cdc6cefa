#include "plugin_sdk/plugin_menu.h"

#include "winui/menu_items.h"
#include "winui/ui_language.h"

#include <iterator>

resource_submenu::resource_submenu(HMODULE module, UINT menu_id) noexcept {
    HRSRC found = find_ui_resource(module, RT_MENU, menu_id);
    HGLOBAL loaded_resource = found ? LoadResource(module, found) : nullptr;
    const void* resource = loaded_resource ? LockResource(loaded_resource) : nullptr;
    if (!resource) return;
    unique_hmenu loaded(LoadMenuIndirectW(static_cast<const MENUTEMPLATEW*>(resource)));
    if (!loaded) return;
    MENUITEMINFOW head{};
    head.cbSize = sizeof head;
    head.fMask = MIIM_STRING | MIIM_SUBMENU;
    head.dwTypeData = caption_;
    head.cch = static_cast<UINT>(std::size(caption_));
    if (!GetMenuItemInfoW(loaded.get(), 0, TRUE, &head) || !head.hSubMenu) {
        caption_[0] = L'\0';
        return;
    }
    // Detached, the popup outlives the loaded menu and is ours alone.
    popup_.reset(head.hSubMenu);
    RemoveMenu(loaded.get(), 0, MF_BYPOSITION);
}

void resource_submenu::add_to(HMENU host_menu, uint32_t id, bool greyed) noexcept {
    if (!popup_) return;
    const int before = GetMenuItemCount(host_menu);
    add_menu_popup(host_menu, caption_, id, popup_.get(), greyed);
    if (GetMenuItemCount(host_menu) > before) (void)popup_.release();
    add_menu_separator(host_menu);
}
