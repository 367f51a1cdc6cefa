#pragma once
// A plug-in's settings file (<name>.ini in the current directory, which the
// programs make their own folder). One routine lists the keys once and
// serves both directions:
//
//     void exchange(my_settings& s, bool write) {
//         plugin_ini_exchange ini(L"zuvogrid", write);
//         ini.section(L"Basic");
//         ini.number(L"GridX", s.grid_x, 16);
//         ini.flag(L"ShowTips", s.show_tips, true);
//     }
//
// Writing puts every field; reading first stores the default, so a missing
// file or key leaves it. After writing, failed() tells whether the save was
// incomplete.

#include "confctl/confctl.h"

#include <cstddef>
#include <cstdint>

class plugin_ini_exchange {
public:
    // `name` without folder and without ".ini".
    plugin_ini_exchange(const wchar_t* name, bool write) noexcept;
    plugin_ini_exchange(const plugin_ini_exchange&) = delete;
    plugin_ini_exchange& operator=(const plugin_ini_exchange&) = delete;

    bool writing() const noexcept { return write_; }
    void section(const wchar_t* name) noexcept;

    // put_bool / get_bool
    void flag(const wchar_t* key, bool& field, bool fallback) noexcept;
    // write_ulong / read_ulong; hot-key values are such numbers
    void number(const wchar_t* key, uint32_t& field, uint32_t fallback) noexcept;
    // write_long / read_long
    void number(const wchar_t* key, int32_t& field, int32_t fallback) noexcept;
    // write_string / read_string; `field` holds `capacity` characters
    void text(const wchar_t* key, wchar_t* field, size_t capacity,
              const wchar_t* fallback) noexcept;
    // "#rrggbb"
    void color(const wchar_t* key, uint32_t& field, uint32_t fallback) noexcept;

    // Write mode: whether anything failed to reach the file (read-only, held
    // by another program, ...), so that a plug-in can tell the user.
    bool failed() const noexcept { return ini_.failed(); }

    m_confctl_ini& store() noexcept { return ini_; }

private:
    m_confctl_ini ini_;
    bool write_;
};
