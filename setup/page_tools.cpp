#include "setup/page_tools.h"

#include "common/unique_resource.h"
#include "setup/list_logic.h"

#include <commdlg.h>

#include <new>

void fill_resource_list(HWND combo, const resource_set_list& list,
                        const wchar_t* selected) noexcept {
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    LRESULT chosen = 0;
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i].section[0] == L'\0') continue;
        const LRESULT item =
            SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(list[i].description));
        if (item < 0) continue;
        SendMessageW(combo, CB_SETITEMDATA, static_cast<WPARAM>(item), static_cast<LPARAM>(i));
        if (selected && lstrcmpW(list[i].section, selected) == 0) chosen = item;
    }
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(chosen), 0);
}

const wchar_t* selected_resource(HWND combo, const resource_set_list& list) noexcept {
    const LRESULT item = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (item < 0) return nullptr;
    const LRESULT index = SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(item), 0);
    if (index < 0 || static_cast<size_t>(index) >= list.size()) return nullptr;
    const wchar_t* section = list[static_cast<size_t>(index)].section;
    return section[0] != L'\0' ? section : nullptr;
}

void fill_slot_list(HWND list, const wchar_t* const* captions, size_t count,
                    size_t current) noexcept {
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    for (size_t slot = 0; slot < count; ++slot) {
        wchar_t text[80];
        format_slot_text(slot, captions[slot], text, 80);
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
    SendMessageW(list, LB_SETCURSEL, current, 0);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

bool choose_color(HWND owner, COLORREF& color) noexcept {
    COLORREF custom[16];
    for (COLORREF& c : custom) c = RGB(255, 255, 255);
    CHOOSECOLORW choice{};
    choice.lStructSize = sizeof choice;
    choice.hwndOwner = owner;
    choice.rgbResult = color;
    choice.lpCustColors = custom;
    choice.Flags = CC_RGBINIT | CC_FULLOPEN;
    if (!ChooseColorW(&choice)) return false;
    color = choice.rgbResult;
    return true;
}

void draw_swatch(const DRAWITEMSTRUCT& item, COLORREF color) noexcept {
    unique_hbrush fill(CreateSolidBrush(color));
    if (fill) FillRect(item.hDC, &item.rcItem, fill.get());
    FrameRect(item.hDC, &item.rcItem, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
}

void icon_preview::show(HWND picture, const wchar_t* icon_set, const wchar_t* digit_set,
                        int32_t volume, COLORREF digit_color, bool muted) noexcept {
    if (!picture) return;
    // The control keeps showing the old icon until it has the new one.
    std::unique_ptr<Ctrayimage> image(new (std::nothrow) Ctrayimage);
    if (!image) return;
    // The pictures the tray would show on this window's monitor.
    const int32_t size = GetSystemMetricsForDpi(SM_CXSMICON, GetDpiForWindow(picture));
    image->set_icon_size(size, size);
    image->load_images(icon_set, digit_set);
    HICON icon = image->compose(volume, digit_color, muted, false);
    SendMessageW(picture, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    image_ = std::move(image);
}
