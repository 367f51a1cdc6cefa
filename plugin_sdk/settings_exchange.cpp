#include "plugin_sdk/settings_exchange.h"

#include <strsafe.h>

plugin_ini_exchange::plugin_ini_exchange(const wchar_t* name, bool write) noexcept : write_(write) {
    // Reading a file that does not exist is no error: every key keeps its default.
    ini_.open(name, write);
}

void plugin_ini_exchange::section(const wchar_t* name) noexcept {
    ini_.select_section(name);
}

void plugin_ini_exchange::flag(const wchar_t* key, bool& field, bool fallback) noexcept {
    if (write_) {
        ini_.put_bool(key, field);
        return;
    }
    field = fallback;
    ini_.get_bool(key, field);
}

void plugin_ini_exchange::number(const wchar_t* key, uint32_t& field, uint32_t fallback) noexcept {
    if (write_) {
        ini_.write_ulong(key, field);
        return;
    }
    field = fallback;
    ini_.read_ulong(key, field);
}

void plugin_ini_exchange::number(const wchar_t* key, int32_t& field, int32_t fallback) noexcept {
    if (write_) {
        ini_.write_long(key, field);
        return;
    }
    field = fallback;
    ini_.read_long(key, field);
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
    COLORREF value = field;
    ini_.exchange_color(key, value, fallback);
    field = value;
}
