// The configuration dialog, shown by the setup program without the
// plug-in's entry: it works on its own copy of zuvogrid.ini.

#include "plugins/zuvogrid/resource.h"
#include "plugins/zuvogrid/zuvogrid_settings.h"

#include "winui/dialog_helpers.h"
#include "plugin_sdk/plugin_config.h"
#include "plugin_sdk/plugin_module.h"
#include "plugin_sdk/zuvoplug.h"

#include <strsafe.h>

#include <iterator>

namespace {

constexpr hotkey_editor row_editor(int hotkey_id, int mods) noexcept {
    return {hotkey_id, mods + 1, mods + 2, mods + 3, mods + 4};
}

// In the settings' order; the move and the resize keys share one row of
// modifier boxes each.
constexpr hotkey_editor editors[key_count] = {
    row_editor(IDC_MOVE_UP, IDC_MOVE_MODS),       row_editor(IDC_MOVE_DOWN, IDC_MOVE_MODS),
    row_editor(IDC_MOVE_LEFT, IDC_MOVE_MODS),     row_editor(IDC_MOVE_RIGHT, IDC_MOVE_MODS),
    row_editor(IDC_RESIZE_UP, IDC_RESIZE_MODS),   row_editor(IDC_RESIZE_DOWN, IDC_RESIZE_MODS),
    row_editor(IDC_RESIZE_LEFT, IDC_RESIZE_MODS), row_editor(IDC_RESIZE_RIGHT, IDC_RESIZE_MODS),
    row_editor(IDC_MAXIMIZE, IDC_MAXIMIZE_MODS),  row_editor(IDC_MINIMIZE, IDC_MINIMIZE_MODS),
    row_editor(IDC_FIX_POSITION, IDC_FIX_MODS),
};

void show_number(HWND dialog, int id, uint32_t value, WPARAM limit) noexcept {
    SendDlgItemMessageW(dialog, id, EM_LIMITTEXT, limit, 0);
    wchar_t text[16];
    StringCchPrintfW(text, std::size(text), L"%d", static_cast<int>(value));
    SetDlgItemTextW(dialog, id, text);
}

void show_settings(HWND dialog, const zuvogrid_settings& s) {
    for (size_t i = 0; i < key_count; ++i) {
        editors[i].bind(dialog);
        editors[i].show(dialog, s.hotkeys[i]);
    }
    show_number(dialog, IDC_GRID_X, s.grid_x, 3);
    show_number(dialog, IDC_GRID_Y, s.grid_y, 3);
    show_number(dialog, IDC_TIPS_TIME, s.tips_timer, 5);
    tick_box(dialog, IDC_FIT_TO_GRID, s.fit_to_grid);
    tick_box(dialog, IDC_SHOW_TIPS, s.show_tips);
    tick_box(dialog, IDC_SHOW_BALLOON, s.show_balloon);
}

void read_settings(HWND dialog, zuvogrid_settings& s) {
    for (size_t i = 0; i < key_count; ++i) s.hotkeys[i] = editors[i].read(dialog);
    s.grid_x = static_cast<uint32_t>(read_edit_number(dialog, IDC_GRID_X));
    s.grid_y = static_cast<uint32_t>(read_edit_number(dialog, IDC_GRID_Y));
    s.tips_timer = static_cast<uint32_t>(read_edit_number(dialog, IDC_TIPS_TIME));
    s.fit_to_grid = is_box_ticked(dialog, IDC_FIT_TO_GRID);
    s.show_tips = is_box_ticked(dialog, IDC_SHOW_TIPS);
    s.show_balloon = is_box_ticked(dialog, IDC_SHOW_BALLOON);
}

} // namespace

ZUVOPLUG_EXPORT void ZUVOPLUG_CALL ZUVOPLUG_config(HWND owner) noexcept {
    run_plain_config<zuvogrid_settings, show_settings, read_settings>(
        g_plugin_module, IDD_ZUVOGRID_CONFIG, owner, exchange_zuvogrid_settings);
}
