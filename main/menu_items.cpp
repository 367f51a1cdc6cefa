#include "main/popmenu.h"

void append_menu_item(HMENU menu, const wchar_t* text, uint32_t id, UINT state) noexcept {
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_ID | MIIM_STATE;
    item.fType = MFT_STRING;
    item.fState = state;
    item.wID = id;
    item.dwTypeData = const_cast<wchar_t*>(text);
    InsertMenuItemW(menu, static_cast<UINT>(GetMenuItemCount(menu)), TRUE, &item);
}

void append_menu_separator(HMENU menu) noexcept {
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_FTYPE;
    item.fType = MFT_SEPARATOR;
    InsertMenuItemW(menu, static_cast<UINT>(GetMenuItemCount(menu)), TRUE, &item);
}
