#include "plugins/seethru/seethru_settings.h"

#include "plugin_sdk/settings_exchange.h"

#include <strsafe.h>

namespace {

constexpr const wchar_t* default_steps = L"80,50";

} // namespace

bool exchange_seethru_settings(seethru_settings& s, bool write) noexcept {
    plugin_ini_exchange ini(L"seethru", write);
    ini.section(L"SeeThru");
    ini.number(L"HotKeyAlpha", s.hotkey_alpha, 0x0341u); // Ctrl+Alt+A
    ini.text(L"AlphaSteps", s.alpha_steps, seethru_settings::steps_capacity, default_steps);
    if (!write) {
        if (!s.alpha_steps[0])
            StringCchCopyW(s.alpha_steps, seethru_settings::steps_capacity, default_steps);
        // Only read: the dialog has no box for it, so a value the user put in
        // by hand survives every save.
        ini.number(L"WindowCheckInterval", s.window_check_interval, 3600u);
    }
    ini.flag(L"ShowTips", s.show_tips, true);
    ini.flag(L"ShowBalloon", s.show_balloon, false);
    ini.number(L"TipsTImer", s.tips_timer, 1000u);
    return !write || !ini.failed();
}
