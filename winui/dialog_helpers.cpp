#include "winui/dialog_helpers.h"

#include "common/unique_resource.h"
#include "winui/dialog_template.h"
#include "winui/edit_number.h"
#include "winui/ui_language.h"

#include <commctrl.h>

INT_PTR show_plugin_dialog(HMODULE module, UINT dialog_id, HWND owner, DLGPROC procedure,
                           LPARAM parameter) noexcept {
    unique_hglobal dialog(build_dialog_template(module, dialog_id));
    if (!dialog) return -1;
    return DialogBoxIndirectParamW(module, static_cast<LPCDLGTEMPLATEW>(dialog.get()), owner,
                                   procedure, parameter);
}

int32_t read_edit_number(HWND edit) noexcept {
    wchar_t text[edit_number_characters + 1] = {};
    if (edit)
        SendMessageW(edit, WM_GETTEXT, edit_number_characters + 1, reinterpret_cast<LPARAM>(text));
    return edit_number_from_text(text);
}

int32_t read_edit_number(HWND dialog, int edit_id) noexcept {
    return read_edit_number(GetDlgItem(dialog, edit_id));
}

bool is_box_ticked(HWND dialog, int box_id) noexcept {
    return SendDlgItemMessageW(dialog, box_id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void add_list_columns(HWND list, HMODULE module, const list_column* columns,
                      size_t count) noexcept {
    for (size_t i = 0; i < count; ++i) {
        wchar_t text[64] = {};
        load_ui_string(module, columns[i].heading, text, 64);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = text;
        column.cx = columns[i].width;
        column.iSubItem = static_cast<int>(i);
        SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
}

int list_column_room(HWND list) noexcept {
    RECT client{};
    GetClientRect(list, &client);
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    int scroll_width = GetSystemMetrics(SM_CXVSCROLL);
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        scroll_width = metrics.iScrollWidth;
    const int width = client.right - client.left - scroll_width;
    return width < 0 ? 0 : width;
}

void tick_box(HWND dialog, int box_id, bool ticked) noexcept {
    SendDlgItemMessageW(dialog, box_id, BM_SETCHECK, ticked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void hotkey_editor::bind(HWND dialog) const noexcept {
    // 0xFE: every combination but "no modifier" is invalid; 0: replace it by none.
    SendDlgItemMessageW(dialog, hotkey_id, HKM_SETRULES, 0xFE, 0);
}

void hotkey_editor::show(HWND dialog, uint32_t hotkey) const noexcept {
    SendDlgItemMessageW(dialog, hotkey_id, HKM_SETHOTKEY, hotkey_control_word(hotkey), 0);
    const hotkey_boxes boxes = hotkey_modifier_boxes(hotkey);
    tick_box(dialog, ctrl_id, boxes.ctrl);
    tick_box(dialog, shift_id, boxes.shift);
    tick_box(dialog, alt_id, boxes.alt);
    tick_box(dialog, win_id, boxes.win);
}

uint32_t hotkey_editor::read(HWND dialog) const noexcept {
    const auto word =
        static_cast<uint32_t>(SendDlgItemMessageW(dialog, hotkey_id, HKM_GETHOTKEY, 0, 0));
    hotkey_boxes boxes;
    boxes.ctrl = is_box_ticked(dialog, ctrl_id);
    boxes.shift = is_box_ticked(dialog, shift_id);
    boxes.alt = is_box_ticked(dialog, alt_id);
    boxes.win = is_box_ticked(dialog, win_id);
    return hotkey_from_editor(word & 0xFFFFu, boxes);
}
