#include "winui/menu_items.h"

namespace {

UINT end_of(HMENU menu) noexcept {
    const int count = GetMenuItemCount(menu);
    return count > 0 ? static_cast<UINT>(count) : 0u;
}

MENUITEMINFOW string_item(const wchar_t* text, uint32_t id, UINT state) noexcept {
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_ID | MIIM_STATE;
    item.fType = MFT_STRING;
    item.fState = state;
    item.wID = id;
    item.dwTypeData = const_cast<wchar_t*>(text ? text : L"");
    return item;
}

} // namespace

void add_menu_item(HMENU menu, const wchar_t* text, uint32_t id, UINT state) noexcept {
    MENUITEMINFOW item = string_item(text, id, state);
    InsertMenuItemW(menu, end_of(menu), TRUE, &item);
}

void add_menu_string(HMENU menu, const wchar_t* text, uint32_t command_value,
                     bool checked) noexcept {
    add_menu_item(menu, text, command_value, checked ? MFS_CHECKED : 0u);
}

void add_menu_separator(HMENU menu) noexcept {
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_FTYPE;
    item.fType = MFT_SEPARATOR;
    InsertMenuItemW(menu, end_of(menu), TRUE, &item);
}

void add_menu_popup(HMENU menu, const wchar_t* text, uint32_t id, HMENU popup) noexcept {
    add_menu_popup(menu, text, id, popup, false);
}

void add_menu_popup(HMENU menu, const wchar_t* text, uint32_t id, HMENU popup,
                    bool greyed) noexcept {
    const bool empty = !popup || GetMenuItemCount(popup) <= 0;
    MENUITEMINFOW item = string_item(text, id, greyed || empty ? MFS_DISABLED | MFS_GRAYED : 0u);
    if (popup) {
        item.fMask |= MIIM_SUBMENU;
        item.hSubMenu = popup;
    }
    InsertMenuItemW(menu, end_of(menu), TRUE, &item);
}
