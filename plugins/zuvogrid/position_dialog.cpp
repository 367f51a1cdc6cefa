#include "plugins/zuvogrid/position_dialog.h"

#include "plugins/zuvogrid/resource.h"

#include "winui/dialog_helpers.h"
#include "plugin_sdk/export_guard.h"
#include "plugin_sdk/plugin_module.h"
#include "winui/ui_language.h"

#include <commctrl.h>
#include <strsafe.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

namespace {

using zuvogrid::position_record;

constexpr int corner_buttons[4] = {IDC_POS_TOP_LEFT, IDC_POS_TOP_RIGHT, IDC_POS_BOTTOM_LEFT,
                                   IDC_POS_BOTTOM_RIGHT};

struct position_dialog {
    zuvogrid::position_list& list;
    std::wstring class_name;
    position_record edit;
    int selected = -1;
    int32_t work_width = 0;
    int32_t work_height = 0;
    bool accepted = false;
    // Rows deleted and inserted while filling notify too; those are not the
    // user's choices.
    bool filling = false;
    // Ticking a radio button from the code may come back as a click (Wine
    // does so for a button that has the focus); that is no choice either.
    bool showing = false;
    wchar_t geometry_format[64] = {};
    wchar_t corner_labels[4][32] = {};
};

std::wstring format_position(const position_dialog& d, const position_record& r) {
    wchar_t text[64] = {};
    StringCchPrintfW(text, std::size(text), d.geometry_format, r.x, r.y, r.width, r.height);
    return text;
}

void show_number(HWND dialog, int id, int32_t value) noexcept {
    wchar_t text[16];
    StringCchPrintfW(text, std::size(text), L"%d", value);
    SetDlgItemTextW(dialog, id, text);
}

void show_edit(HWND dialog, position_dialog& d) noexcept {
    d.showing = true;
    CheckRadioButton(dialog, IDC_POS_TOP_LEFT, IDC_POS_BOTTOM_RIGHT,
                     corner_buttons[d.edit.corner & 3u]);
    show_number(dialog, IDC_POS_X, d.edit.x);
    show_number(dialog, IDC_POS_Y, d.edit.y);
    show_number(dialog, IDC_POS_WIDTH, d.edit.width);
    show_number(dialog, IDC_POS_HEIGHT, d.edit.height);
    d.showing = false;
}

void read_edit(HWND dialog, position_dialog& d) noexcept {
    d.edit.x = read_edit_number(dialog, IDC_POS_X);
    d.edit.y = read_edit_number(dialog, IDC_POS_Y);
    d.edit.width = read_edit_number(dialog, IDC_POS_WIDTH);
    d.edit.height = read_edit_number(dialog, IDC_POS_HEIGHT);
}

const std::vector<position_record>* current_records(const position_dialog& d) noexcept {
    const zuvogrid::position_entry* e = zuvogrid::find_positions(d.list, d.class_name);
    return e ? &e->records : nullptr;
}

void add_row(HWND view, int row, const wchar_t* const (&columns)[3]) noexcept {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = const_cast<wchar_t*>(columns[0]);
    const int at =
        static_cast<int>(SendMessageW(view, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    for (int column = 1; column < 3; ++column) {
        item.iItem = at;
        item.iSubItem = column;
        item.pszText = const_cast<wchar_t*>(columns[column]);
        SendMessageW(view, LVM_SETITEMTEXTW, at, reinterpret_cast<LPARAM>(&item));
    }
}

void fill_rows(HWND dialog, position_dialog& d) {
    HWND view = GetDlgItem(dialog, IDC_POS_LIST);
    d.filling = true;
    SendMessageW(view, LVM_DELETEALLITEMS, 0, 0);
    const auto* records = current_records(d);
    const int count = records ? static_cast<int>(records->size()) : 0;
    for (int row = 0; row < count; ++row) {
        const position_record& r = (*records)[row];
        const std::wstring position = format_position(d, r);
        const wchar_t* const columns[3] = {d.class_name.c_str(), d.corner_labels[r.corner & 3u],
                                           position.c_str()};
        add_row(view, row, columns);
    }
    // After the last row was deleted its number names nothing; keeping it
    // would let the arrows reach past the records.
    if (d.selected >= count) d.selected = -1;
    if (d.selected >= 0) {
        LVITEMW state{};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(view, LVM_SETITEMSTATE, d.selected, reinterpret_cast<LPARAM>(&state));
        d.edit = (*records)[d.selected];
        show_edit(dialog, d);
    }
    d.filling = false;
}

void selection_changed(HWND dialog, position_dialog& d) noexcept {
    if (d.filling) return;
    d.selected = static_cast<int>(SendDlgItemMessageW(dialog, IDC_POS_LIST, LVM_GETNEXTITEM,
                                                      static_cast<WPARAM>(-1), LVNI_SELECTED));
    const auto* records = current_records(d);
    if (d.selected >= 0 && records && static_cast<size_t>(d.selected) < records->size())
        d.edit = (*records)[d.selected];
    show_edit(dialog, d);
}

std::wstring ui_text(UINT id) {
    wchar_t text[64] = {};
    load_ui_string(g_plugin_module, id, text, std::size(text));
    return text;
}

// The width of a list column that shows each of `texts` whole: the list's
// own measure of the widest in its font, and the margins it draws a cell
// with (6 pixels each side at 96 DPI).
int cell_width(HWND view, const std::vector<std::wstring>& texts) noexcept {
    int widest = 0;
    for (const std::wstring& text : texts)
        widest = std::max(widest,
                          static_cast<int>(SendMessageW(view, LVM_GETSTRINGWIDTHW, 0,
                                                        reinterpret_cast<LPARAM>(text.c_str()))));
    return widest + MulDiv(12, static_cast<int>(GetDpiForWindow(view)), 96);
}

void init_dialog(HWND dialog, position_dialog& d) {
    // Four digits and the sign of an offset from a right or bottom corner.
    for (int id : {IDC_POS_X, IDC_POS_Y, IDC_POS_WIDTH, IDC_POS_HEIGHT})
        SendDlgItemMessageW(dialog, id, EM_LIMITTEXT, 5, 0);
    show_edit(dialog, d);

    HWND classes = GetDlgItem(dialog, IDC_POS_CLASS);
    SendMessageW(classes, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(d.class_name.c_str()));
    for (const zuvogrid::position_entry& e : d.list)
        if (e.class_name != d.class_name)
            SendMessageW(classes, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(e.class_name.c_str()));
    SendMessageW(classes, CB_SETCURSEL, 0, 0);

    HWND view = GetDlgItem(dialog, IDC_POS_LIST);
    SendMessageW(view, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    // The corner and the position columns as wide as their widest text can
    // be, measured by the list in its own font, which follows the dialog's
    // font and DPI; the class column gets the rest.
    std::vector<std::wstring> corners(std::begin(d.corner_labels), std::end(d.corner_labels));
    corners.push_back(ui_text(IDS_COLUMN_CORNER));
    const int corner_width = cell_width(view, corners);
    // Offsets from a right or bottom corner on a large screen.
    const int position_width = cell_width(
        view, {format_position(d, {0, -8888, -8888, 8888, 8888}), ui_text(IDS_COLUMN_POSITION)});
    const int class_width = std::max(cell_width(view, {ui_text(IDS_COLUMN_CLASS)}),
                                     list_column_room(view) - corner_width - position_width);
    const list_column columns[] = {{IDS_COLUMN_CLASS, class_width},
                                   {IDS_COLUMN_CORNER, corner_width},
                                   {IDS_COLUMN_POSITION, position_width}};
    add_list_columns(view, g_plugin_module, columns, std::size(columns));
    fill_rows(dialog, d);
}

void corner_clicked(HWND dialog, position_dialog& d) noexcept {
    if (d.showing) return;
    read_edit(dialog, d);
    uint32_t corner = 0;
    for (uint32_t c = 0; c < 4; ++c)
        if (IsDlgButtonChecked(dialog, corner_buttons[c]) == BST_CHECKED) corner = c;
    if (corner == d.edit.corner) return;
    d.edit = zuvogrid::measured_from(d.edit, corner, d.work_width, d.work_height);
    show_edit(dialog, d);
}

void class_chosen(HWND dialog, position_dialog& d) {
    HWND classes = GetDlgItem(dialog, IDC_POS_CLASS);
    const LRESULT index = SendMessageW(classes, CB_GETCURSEL, 0, 0);
    if (index < 0 || SendMessageW(classes, CB_GETLBTEXTLEN, index, 0) > 63) return;
    wchar_t name[64] = {};
    SendMessageW(classes, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(name));
    if (d.class_name == name) return;
    d.class_name = name;
    d.selected = -1;
    fill_rows(dialog, d);
}

bool command(HWND dialog, position_dialog& d, WPARAM wparam) {
    const int id = LOWORD(wparam);
    switch (id) {
    case IDC_POS_TOP_LEFT:
    case IDC_POS_TOP_RIGHT:
    case IDC_POS_BOTTOM_LEFT:
    case IDC_POS_BOTTOM_RIGHT:
        if (HIWORD(wparam) == BN_CLICKED) corner_clicked(dialog, d);
        return true;
    case IDC_POS_ADD:
        read_edit(dialog, d);
        zuvogrid::add_position(d.list, d.class_name, d.edit);
        zuvogrid::sort_positions(d.list);
        fill_rows(dialog, d);
        return true;
    case IDC_POS_DELETE:
        if (d.selected >= 0) {
            zuvogrid::remove_position(d.list, d.class_name, static_cast<size_t>(d.selected));
            fill_rows(dialog, d);
        }
        return true;
    case IDC_POS_UP:
        if (d.selected > 0 &&
            zuvogrid::swap_with_next(d.list, d.class_name, static_cast<size_t>(d.selected - 1))) {
            --d.selected;
            fill_rows(dialog, d);
        }
        return true;
    case IDC_POS_DOWN:
        if (d.selected >= 0 &&
            zuvogrid::swap_with_next(d.list, d.class_name, static_cast<size_t>(d.selected))) {
            ++d.selected;
            fill_rows(dialog, d);
        }
        return true;
    case IDC_POS_CLASS:
        // A closed list changed with the arrow keys tells only of the change.
        if (HIWORD(wparam) == CBN_SELENDOK || HIWORD(wparam) == CBN_SELCHANGE)
            class_chosen(dialog, d);
        return true;
    case IDOK:
        d.accepted = true;
        EndDialog(dialog, 1);
        return true;
    case IDCANCEL:
        EndDialog(dialog, 2);
        return true;
    default:
        return false;
    }
}

INT_PTR CALLBACK position_procedure(HWND dialog, UINT message, WPARAM wparam,
                                    LPARAM lparam) noexcept {
    try {
        if (message == WM_INITDIALOG) {
            SetWindowLongPtrW(dialog, DWLP_USER, lparam);
            init_dialog(dialog, *reinterpret_cast<position_dialog*>(lparam));
            return TRUE;
        }
        auto* d = reinterpret_cast<position_dialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
        if (!d) return FALSE;
        if (message == WM_COMMAND) return command(dialog, *d, wparam) ? TRUE : FALSE;
        if (message == WM_NOTIFY) {
            const auto* header = reinterpret_cast<const NMHDR*>(lparam);
            if (header && header->idFrom == IDC_POS_LIST &&
                (header->code == LVN_ITEMCHANGED || header->code == LVN_ITEMACTIVATE))
                selection_changed(dialog, *d);
        }
        return FALSE;
    } catch (...) {
        // Out of memory while editing: the dialog ends as cancelled, so the
        // list is reloaded from the file.
        EndDialog(dialog, 2);
        return TRUE;
    }
}

} // namespace

bool run_position_dialog(HWND owner, zuvogrid::position_list& list, const wchar_t* class_name,
                         const window_geometry& target) noexcept {
    return guarded(false, [&] {
        position_dialog d{list, class_name ? class_name : L"", {}};
        // Saved positions hold the window's rectangle, undrawn borders and
        // all, so that those saved before still put windows where they did.
        const zuvogrid::grid_rect r = target.window_rect();
        d.edit = {0, r.x, r.y, r.width, r.height};
        d.work_width = target.work_width();
        d.work_height = target.work_height();
        load_ui_string(g_plugin_module, IDS_GEOMETRY, d.geometry_format,
                       std::size(d.geometry_format));
        for (UINT c = 0; c < 4; ++c)
            load_ui_string(g_plugin_module, IDS_CORNER_FIRST + c, d.corner_labels[c],
                           std::size(d.corner_labels[c]));
        show_plugin_dialog(g_plugin_module, IDD_ZUVOGRID_POSITION, owner, position_procedure,
                           reinterpret_cast<LPARAM>(&d));
        return d.accepted;
    });
}
