#include "plugins/zuvogrid/zuvogrid_settings.h"

#include "plugin_sdk/settings_exchange.h"

namespace {

struct hotkey_key {
    const wchar_t* name;
    uint32_t fallback;
};

// Ctrl+Alt with the arrows, H J K L, Page Up / Down and C.
constexpr hotkey_key hotkey_keys[key_count] = {
    {L"MoveUp", 0x8326},     {L"MoveDown", 0x8328},    {L"MoveLeft", 0x8325},
    {L"MoveRight", 0x8327},  {L"ResizeUp", 0x034B},    {L"ResizeDown", 0x034A},
    {L"ResizeLeft", 0x0348}, {L"ResizeRight", 0x034C}, {L"Maximize", 0x8321},
    {L"Minimize", 0x8322},   {L"FixPosition", 0x0343},
};

} // namespace

bool exchange_zuvogrid_settings(zuvogrid_settings& s, bool write) noexcept {
    plugin_ini_exchange ini(L"zuvogrid", write);
    ini.section(L"Basic");
    ini.number(L"Gridsize_X", s.grid_x, 64u);
    ini.number(L"Gridsize_Y", s.grid_y, 48u);
    ini.flag(L"FitToGrid", s.fit_to_grid, true);
    ini.flag(L"ShowTips", s.show_tips, true);
    ini.flag(L"ShowBalloon", s.show_balloon, false);
    ini.number(L"TipsTimer", s.tips_timer, 1000u);
    ini.section(L"Hotkey");
    for (size_t i = 0; i < key_count; ++i)
        ini.number(hotkey_keys[i].name, s.hotkeys[i], hotkey_keys[i].fallback);
    return !write || !ini.failed();
}
