#include "plugins/lockvol/lock_settings.h"

#include "mxrctl/mxrctl_exports.h"
#include "plugin_sdk/settings_exchange.h"

#include <strsafe.h>

#include <algorithm>

namespace lockvol {

namespace {

constexpr size_t mixer_capacity = 256;
constexpr uint32_t max_stale_sections = 1000;

void section_name(uint32_t index, wchar_t (&name)[32]) {
    StringCchPrintfW(name, 32, L"Control%02u", static_cast<unsigned>(index));
}

static_assert(application_source == mxrctl_application_source);

// A program's entry carries its file name and the source number no line
// has: an older mixer lock, which knows only lines, then finds no control
// for it and leaves the program alone.
void exchange_application(plugin_ini_exchange& ini, lock_entry& entry) {
    if (ini.writing()) {
        if (!entry.application.empty())
            ini.store().write_string(L"Application", entry.application.c_str());
        else
            ini.store().delete_key(L"Application");
        return;
    }
    wchar_t application[mxrctl_application_length] = {};
    if (!ini.store().read_string(L"Application", application, mxrctl_application_length))
        application[0] = L'\0';
    application[mxrctl_application_length - 1] = L'\0';
    entry.application = application;
    if (!entry.application.empty()) entry.source = application_source;
}

void exchange_entry(plugin_ini_exchange& ini, lock_entry& entry) {
    wchar_t mixer[mixer_capacity] = {};
    StringCchCopyNW(mixer, mixer_capacity, entry.mixer.c_str(), mixer_capacity - 1);
    ini.text(L"Mixer", mixer, mixer_capacity, L"");
    ini.number(L"Destination", entry.destination, 0);
    if (ini.writing() && !entry.application.empty()) entry.source = application_source;
    ini.number(L"Source", entry.source, -1);
    exchange_application(ini, entry);
    ini.number(L"Balance", entry.balance, 0);
    ini.number(L"Volume", entry.volume, 100);
    ini.flag(L"Mute", entry.mute, false);
    ini.flag(L"ZuvoControl", entry.zuvo_control, false);
    ini.flag(L"KeepStartUpState", entry.keep_startup_state, false);
    if (!ini.writing()) entry.mixer = mixer;
}

} // namespace

lock_settings load_settings() {
    lock_settings settings;
    plugin_ini_exchange ini(settings_file_name, false);
    ini.section(L"Control");
    ini.flag(L"BootEnable", settings.boot_enable, false);
    ini.number(L"HotKeyToggle", settings.hotkey_toggle, 0x500u);
    ini.number(L"HotKeyResetOnce", settings.hotkey_reset_once, 0x546u);
    uint32_t count = 0;
    ini.number(L"ControlNum", count, 0u);
    if (count > max_entries) count = max_entries;
    settings.entries.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
        wchar_t name[32];
        section_name(i, name);
        ini.section(name);
        exchange_entry(ini, settings.entries[i]);
    }
    for (lock_entry& entry : settings.entries) {
        entry.configured_volume = entry.volume;
        entry.configured_mute = entry.mute;
    }
    return settings;
}

bool save_settings(const lock_settings& settings) {
    plugin_ini_exchange ini(settings_file_name, true);
    ini.section(L"Control");
    bool boot_enable = settings.boot_enable;
    uint32_t toggle = settings.hotkey_toggle;
    uint32_t reset_once = settings.hotkey_reset_once;
    ini.flag(L"BootEnable", boot_enable, false);
    ini.number(L"HotKeyToggle", toggle, 0x500u);
    ini.number(L"HotKeyResetOnce", reset_once, 0x546u);
    wchar_t old_text[32] = {};
    ini.store().read_string(L"ControlNum", old_text, 32);
    // A damaged count must not turn the save into millions of deletions.
    const uint32_t old_count = std::min(leading_count(old_text), max_stale_sections);
    uint32_t count = static_cast<uint32_t>(settings.entries.size());
    ini.number(L"ControlNum", count, 0u);
    for (uint32_t i = 0; i < count; ++i) {
        wchar_t name[32];
        section_name(i, name);
        ini.section(name);
        lock_entry entry = settings.entries[i];
        exchange_entry(ini, entry);
    }
    for (uint32_t i = count; i < old_count; ++i) {
        wchar_t name[32];
        section_name(i, name);
        ini.store().delete_section(name);
    }
    return !ini.failed();
}

} // namespace lockvol
