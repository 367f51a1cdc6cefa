#include "confctl/config.h"

#include "confctl/ini_values.h"

#include <strsafe.h>

#include <iterator>

namespace {

template <size_t N>
void exchange_string(m_confctl_base& store, const wchar_t* key, wchar_t (&value)[N],
                     const wchar_t* fallback) {
    if (store.write_mode()) {
        store.write_string(key, value);
        return;
    }
    wchar_t text[N];
    if (store.read_string(key, text, N))
        StringCchCopyW(value, N, text);
    else
        StringCchCopyW(value, N, fallback);
}

void exchange(m_confctl_base& store, const wchar_t* key, bool& value, bool fallback) {
    if (store.write_mode()) {
        store.put_bool(key, value);
    } else {
        value = fallback;
        store.get_bool(key, value);
    }
}

void exchange(m_confctl_base& store, const wchar_t* key, uint8_t& value, uint8_t fallback) {
    if (store.write_mode()) {
        store.put_byte(key, value);
    } else {
        value = fallback;
        store.get_byte(key, value);
    }
}

void exchange(m_confctl_base& store, const wchar_t* key, uint32_t& value, uint32_t fallback) {
    if (store.write_mode()) {
        store.write_ulong(key, value);
    } else {
        value = fallback;
        store.read_ulong(key, value);
    }
}

void exchange(m_confctl_base& store, const wchar_t* key, int32_t& value, int32_t fallback) {
    if (store.write_mode()) {
        store.write_long(key, value);
    } else {
        value = fallback;
        store.read_long(key, value);
    }
}

void select_slot(m_confctl_base& store, const wchar_t* pattern, size_t slot) {
    wchar_t section[16];
    StringCchPrintfW(section, 16, pattern, static_cast<unsigned>(slot));
    store.select_section(section);
}

void exchange_basic(m_confctl_base& store, Cconfig& c) {
    store.select_section(L"Basic");
    exchange(store, L"VolStepSize", c.vol_step_size, 10u);
    exchange(store, L"VolStepFit", c.vol_step_fit, true);
    exchange(store, L"VolMenu", c.vol_menu, false);
    exchange_string(store, L"TipsFormat", c.tips_format, L"flatbar_ml");
    exchange(store, L"TipsTimer", c.tips_timer, 3000u);
    exchange(store, L"TipsVol0OnMute", c.tips_vol0_on_mute, false);
    exchange(store, L"TrayiconShow", c.trayicon_show, true);
    exchange(store, L"TrayiconWheel", c.trayicon_wheel, false);
    exchange(store, L"TrayiconWheelReverse", c.trayicon_wheel_reverse, false);
    exchange_string(store, L"TrayiconImage", c.trayicon_image, L"default");
    exchange_string(store, L"TrayiconDigit", c.trayicon_digit, L"default");
    exchange(store, L"TrayiconDigitColorLinkTips", c.trayicon_digit_color_link_tips, false);
    c.tray_update_delay = 100;
    exchange(store, L"TrayiconBaloon", c.trayicon_balloon, false);
    exchange(store, L"TrayiconBaloonTimer", c.trayicon_balloon_timer, 1000u);
    c.release_idle_delay = 4000;
    exchange(store, L"SwapMode", c.swap_mode, false);
    c.trim_delay = c.release_idle_delay + 2000;
    c.working_set_increment = 204800;
}

void exchange_tips(m_confctl_base& store, Cconfig& c) {
    store.select_section(L"Tips");
    store.exchange_color(L"TextColor", c.text_color, RGB(0, 255, 0));
    store.exchange_color(L"TextColor2", c.text_color2, RGB(255, 0, 0));
    store.exchange_color(L"BackgroundColor", c.background_color, RGB(0, 0, 0));
    exchange(store, L"EdgeSize", c.edge_size, 1);
    exchange_string(store, L"FontFace", c.font_face, L"");
    exchange(store, L"FontPointSz", c.font_point_size, -32);
    exchange(store, L"FontWeight", c.font_weight, 400);
    exchange(store, L"FontItalic", c.font_italic, uint8_t{0});
    exchange(store, L"FontAntialias", c.font_antialias, uint8_t{1});
    exchange(store, L"FontResolutionBase", c.font_resolution_base, 1024);
    exchange(store, L"LayerWindow", c.layer_window, true);
    exchange(store, L"LayerBackgroundThrough", c.layer_background_through, true);
    exchange(store, L"LayerTransparentRate", c.layer_transparent_rate, 100);
}

void exchange_hotkeys(m_confctl_base& store, Cconfig& c) {
    store.select_section(L"Hotkey");
    exchange(store, L"RegistMax", c.regist_max, 64u);
    exchange(store, L"VolumeUp", c.hotkey_volume_up, 1470u);
    exchange(store, L"VolumeDown", c.hotkey_volume_down, 1468u);
    exchange(store, L"Mute", c.hotkey_mute, 1357u);
    exchange(store, L"ControlChange", c.hotkey_control_change, 1347u);
    exchange(store, L"PopupMenu", c.hotkey_popup_menu, 1366u);
    exchange(store, L"DeviceNext", c.hotkey_device_next, free_launcher_hotkey);
}

void write_control(m_confctl_base& store, const control_entry& e) {
    store.write_string(L"Caption", e.caption);
    store.write_string(L"Mixer", e.mixer);
    store.write_long(L"Destination", e.destination);
    store.write_long(L"Source", e.source);
    store.write_long(L"Balance", e.balance);
    wchar_t color[16] = L"";
    if (e.has_color) ini_values::format_color(e.color, color, 16);
    store.write_string(L"Color", color);
    store.write_string(L"IconImage", e.has_icon ? e.icon_image : L"");
    if (e.application[0] != L'\0')
        store.write_string(L"Application", e.application);
    else
        store.delete_key(L"Application");
}

void read_control(m_confctl_base& store, control_entry& e) {
    exchange_string(store, L"Mixer", e.mixer, L"");
    exchange(store, L"Destination", e.destination, 0);
    exchange(store, L"Source", e.source, -1);
    exchange(store, L"Balance", e.balance, 0);
    wchar_t color[16];
    e.has_color = store.read_string(L"Color", color, 16) && color[0] == L'#';
    e.color = e.has_color ? ini_values::parse_color(color, default_text_color) : default_text_color;
    e.has_icon = store.read_string(L"IconImage", e.icon_image, 64);
    if (!e.has_icon) e.icon_image[0] = L'\0';
    if (!store.read_string(L"Application", e.application, std::size(e.application)))
        e.application[0] = L'\0';
}

void exchange_controls(m_confctl_base& store, Cconfig& c, bool main_program) {
    for (size_t slot = 0; slot < control_slots; ++slot) {
        select_slot(store, L"Control%02u", slot);
        auto& entry = c.controls[slot];
        if (store.write_mode()) {
            if (entry && entry->caption[0] != L'\0') {
                write_control(store, *entry);
            } else {
                // The name is used before the store selects "root" again.
                store.delete_section(store.section());
            }
            continue;
        }
        wchar_t caption[64];
        if (store.read_string(L"Caption", caption, 64)) {
            entry = std::make_unique<control_entry>();
            StringCchCopyW(entry->caption, 64, caption);
            read_control(store, *entry);
        } else if (main_program) {
            entry.reset();
        } else {
            entry = std::make_unique<control_entry>();
            StringCchCopyW(entry->icon_image, 64, L"default");
        }
    }
    if (main_program && !store.write_mode()) {
        bool any = false;
        for (const auto& entry : c.controls) any = any || entry;
        if (!any) {
            c.controls[0] = std::make_unique<control_entry>();
            StringCchCopyW(c.controls[0]->caption, 64, L"#");
        }
    }
}

void exchange_launchers(m_confctl_base& store, Cconfig& c, bool file_found) {
    for (size_t slot = 0; slot < launcher_slots; ++slot) {
        select_slot(store, L"Launcher%02u", slot);
        auto& entry = c.launchers[slot];
        if (store.write_mode()) {
            if (entry && entry->caption[0] != L'\0') {
                store.write_string(L"Caption", entry->caption);
                store.write_string(L"CmdLine", entry->command_line);
                store.write_ulong(L"HotKey", entry->hotkey);
            } else {
                // The name is used before the store selects "root" again.
                store.delete_section(store.section());
            }
            continue;
        }
        entry.reset();
        wchar_t caption[64];
        if (!store.read_string(L"Caption", caption, 64)) continue;
        entry = std::make_unique<launcher_entry>();
        StringCchCopyW(entry->caption, 64, caption);
        exchange_string(store, L"CmdLine", entry->command_line, L"");
        exchange(store, L"HotKey", entry->hotkey, free_launcher_hotkey);
    }
    if (!store.write_mode() && !file_found) {
        static const wchar_t* const defaults[2][2] = {
            {L"&Volume Control", L"SndVol.exe"},
            {L"&Audio Property", L"rundll32.exe shell32.dll,Control_RunDLL mmsys.cpl"}};
        for (size_t slot = 0; slot < 2; ++slot) {
            c.launchers[slot] = std::make_unique<launcher_entry>();
            StringCchCopyW(c.launchers[slot]->caption, 64, defaults[slot][0]);
            StringCchCopyW(c.launchers[slot]->command_line, 1024, defaults[slot][1]);
        }
    }
}

void exchange_plugins(m_confctl_base& store, Cconfig& c) {
    if (store.write_mode()) {
        store.delete_section(L"Plugin");
        store.select_section(L"Plugin");
        store.write_ulong(L"Num", static_cast<uint32_t>(c.plugins.size()));
        for (size_t n = 0; n < c.plugins.size(); ++n) {
            wchar_t key[24];
            StringCchPrintfW(key, 24, L"%02u", static_cast<unsigned>(n));
            store.write_string(key, c.plugins[n].file_name);
        }
        return;
    }
    store.select_section(L"Plugin");
    uint32_t count = 0;
    store.read_ulong(L"Num", count);
    c.plugins.clear();
    // A damaged Num must not make us allocate gigabytes: no more entries
    // than the two-digit-or-more keys a section can hold sensibly.
    if (count > max_plugins) count = max_plugins;
    c.plugins.resize(count);
    for (size_t n = 0; n < count; ++n) {
        wchar_t key[24];
        StringCchPrintfW(key, 24, L"%02u", static_cast<unsigned>(n));
        store.read_string(key, c.plugins[n].file_name, 261);
    }
}

} // namespace

void exchange_settings(m_confctl_base& store, Cconfig& config, bool main_program) {
    exchange_basic(store, config);
    exchange_tips(store, config);
    exchange_hotkeys(store, config);
    exchange_controls(store, config, main_program);
    exchange_launchers(store, config, config.file_found);
    exchange_plugins(store, config);
}

bool make_program_folder_current() noexcept {
    wchar_t path[261];
    DWORD length = GetModuleFileNameW(nullptr, path, 261);
    if (length == 0 || length >= 261) return false;
    wchar_t* cut = nullptr;
    for (wchar_t* p = path; *p; ++p)
        if (*p == L'\\' || *p == L'/') cut = p;
    if (!cut) return false;
    cut[1] = L'\0';
    return SetCurrentDirectoryW(path) != FALSE;
}

void load(Cconfig& config) {
    make_program_folder_current();
    load_from_current_folder(config);
}

void load_from_current_folder(Cconfig& config) {
    Cconfig::m_confctl_zuvo store;
    config.file_found = store.open(L"zuvo", false);
    exchange_settings(store, config, true);
}

bool exchange(Cconfig& config, bool write) {
    Cconfig::m_confctl_zuvo store;
    bool opened = store.open(L"zuvo", write);
    if (!write) {
        config.file_found = opened;
        exchange_settings(store, config, false);
        return opened;
    }
    // A file that cannot be written is left as it is, not half saved.
    if (!opened) return false;
    exchange_settings(store, config, false);
    return !store.failed();
}
