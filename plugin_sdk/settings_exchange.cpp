#include "plugin_sdk/settings_exchange.h"

#include "confctl/ini_values.h"

#include <strsafe.h>

plugin_ini_exchange::plugin_ini_exchange(const wchar_t* name, bool write) noexcept : write_(write) {
    // Reading a file that does not exist is no error: every key keeps its default.
    ini_.open(name, write);
}

void plugin_ini_exchange::section(const wchar_t* name) noexcept {
    ini_.select_section(name);
}

namespace {

// Write mode puts the field; read mode stores the default, then gets, so an
// absent key leaves the default.
template <typename T, typename Put, typename Get>
void exchange_value(m_confctl_ini& ini, bool write, const wchar_t* key, T& field, T fallback,
                    Put put, Get get) noexcept {
    if (write) {
        (ini.*put)(key, field);
        return;
    }
    field = fallback;
    (ini.*get)(key, field);
}

} // namespace

void plugin_ini_exchange::flag(const wchar_t* key, bool& field, bool fallback) noexcept {
    exchange_value(ini_, write_, key, field, fallback, &m_confctl_ini::put_bool,
                   &m_confctl_ini::get_bool);
}

void plugin_ini_exchange::number(const wchar_t* key, uint32_t& field, uint32_t fallback) noexcept {
    exchange_value(ini_, write_, key, field, fallback, &m_confctl_ini::write_ulong,
                   &m_confctl_ini::read_ulong);
}

void plugin_ini_exchange::number(const wchar_t* key, int32_t& field, int32_t fallback) noexcept {
    exchange_value(ini_, write_, key, field, fallback, &m_confctl_ini::write_long,
                   &m_confctl_ini::read_long);
}

void plugin_ini_exchange::text(const wchar_t* key, wchar_t* field, size_t capacity,
                               const wchar_t* fallback) noexcept {
    if (!field || capacity == 0) return;
    if (write_) {
        ini_.write_string(key, field);
        return;
    }
    // The store empties its buffer for an absent key, so read aside first.
    wchar_t stored[1024];
    const size_t room = capacity < 1024 ? capacity : 1024;
    if (ini_.read_string(key, stored, room))
        StringCchCopyW(field, capacity, stored);
    else
        StringCchCopyW(field, capacity, fallback ? fallback : L"");
}

void plugin_ini_exchange::color(const wchar_t* key, uint32_t& field, uint32_t fallback) noexcept {
    // The direction is this exchange's, even when the store failed to open.
    if (write_) {
        wchar_t text[16];
        ini_values::format_color(field, text, 16);
        ini_.write_string(key, text);
        return;
    }
    COLORREF value = field;
    ini_.exchange_color(key, value, fallback);
    field = value;
}
