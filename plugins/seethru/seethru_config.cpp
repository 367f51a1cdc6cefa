// The configuration dialog, shown by the setup program without the
// plug-in's entry: it works on its own copy of seethru.ini.

#include "plugins/seethru/alpha_steps.h"
#include "plugins/seethru/resource.h"
#include "plugins/seethru/seethru_settings.h"

#include "winui/dialog_helpers.h"
#include "plugin_sdk/plugin_config.h"
#include "plugin_sdk/plugin_module.h"
#include "plugin_sdk/zuvoplug.h"

#include <strsafe.h>

#include <iterator>

namespace {

struct step_box {
    int id;
    uint32_t percent;
};

// In this order the ticked boxes become the AlphaSteps text.
constexpr step_box step_boxes[] = {{IDC_STEP_90, 90}, {IDC_STEP_80, 80}, {IDC_STEP_75, 75},
                                   {IDC_STEP_70, 70}, {IDC_STEP_60, 60}, {IDC_STEP_50, 50},
                                   {IDC_STEP_40, 40}, {IDC_STEP_30, 30}, {IDC_STEP_25, 25},
                                   {IDC_STEP_20, 20}, {IDC_STEP_10, 10}};

constexpr hotkey_editor alpha_key{IDC_HOTKEY_ALPHA, IDC_KEY_CTRL, IDC_KEY_SHIFT, IDC_KEY_ALT,
                                  IDC_KEY_WIN};

void show_settings(HWND dialog, const seethru_settings& s) {
    alpha_key.bind(dialog);
    alpha_key.show(dialog, s.hotkey_alpha);
    tick_box(dialog, IDC_SHOW_TIPS, s.show_tips);
    tick_box(dialog, IDC_SHOW_BALLOON, s.show_balloon);
    wchar_t number[16];
    StringCchPrintfW(number, std::size(number), L"%d", static_cast<int>(s.tips_timer));
    SetDlgItemTextW(dialog, IDC_TIPS_TIME, number);
    const auto steps = seethru::parse_alpha_steps(s.alpha_steps);
    for (const step_box& box : step_boxes) {
        bool listed = false;
        // Element 0 is the opaque step every list starts with, not a choice.
        for (size_t i = 1; i < steps.size(); ++i) listed = listed || steps[i] == box.percent;
        tick_box(dialog, box.id, listed);
    }
}

void read_settings(HWND dialog, seethru_settings& s) {
    s.hotkey_alpha = alpha_key.read(dialog);
    s.show_tips = is_box_ticked(dialog, IDC_SHOW_TIPS);
    s.show_balloon = is_box_ticked(dialog, IDC_SHOW_BALLOON);
    s.tips_timer = static_cast<uint32_t>(read_edit_number(dialog, IDC_TIPS_TIME));
    std::vector<uint32_t> ticked;
    for (const step_box& box : step_boxes)
        if (is_box_ticked(dialog, box.id)) ticked.push_back(box.percent);
    seethru::join_alpha_steps(ticked, s.alpha_steps, seethru_settings::steps_capacity);
}

} // namespace

ZUVOPLUG_EXPORT void ZUVOPLUG_CALL ZUVOPLUG_config(HWND owner) noexcept {
    run_plain_config<seethru_settings, show_settings, read_settings>(
        g_plugin_module, IDD_SEETHRU_CONFIG, owner, exchange_seethru_settings);
}
