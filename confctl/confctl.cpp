#include "confctl/confctl.h"

#include "confctl/ini_encoding.h"
#include "confctl/ini_values.h"

#include <strsafe.h>

m_confctl_base::~m_confctl_base() {
    path_[0] = L'\0';
    section_[0] = L'\0';
}

bool m_confctl_base::exchange_color(const wchar_t* key, COLORREF& color, COLORREF fallback) {
    wchar_t text[16];
    if (write_mode_) {
        ini_values::format_color(color, text, 16);
        return write_string(key, text);
    }
    color = fallback;
    if (!read_string(key, text, 16)) return false;
    color = ini_values::parse_color(text, fallback);
    return true;
}

m_confctl_ini::~m_confctl_ini() {
    close();
}

bool m_confctl_ini::open(const wchar_t* name, bool for_writing) {
    close();
    failed_ = false;
    // Set even when the name is unusable: an exchange routine must not take a
    // failed save for a load and overwrite its fields with defaults.
    if (for_writing) write_mode_ = true;
    DWORD length = name ? GetFullPathNameW(name, 257, path_, nullptr) : 0;
    if (length == 0 || length >= 257 || FAILED(StringCchCatW(path_, path_capacity, L".ini"))) {
        path_[0] = L'\0';
        return for_writing ? fail() : false;
    }
    if (for_writing) {
        select_section(nullptr);
        // A new file is created in UTF-16 (the profile functions would create
        // an ANSI one), and a file that cannot be written is found before the
        // save pass starts.
        return ini_encoding::prepare_change(path_, nullptr, nullptr, nullptr) || fail();
    }
    if (GetFileAttributesW(path_) == INVALID_FILE_ATTRIBUTES) return false;
    select_section(nullptr);
    return true;
}

void m_confctl_ini::close() {
    path_[0] = L'\0';
    section_[0] = L'\0';
}

bool m_confctl_ini::select_section(const wchar_t* name) {
    StringCchCopyNW(section_, section_capacity, name ? name : L"root", section_capacity - 1);
    return true;
}

bool m_confctl_ini::delete_section(const wchar_t* name) {
    bool done = ini_encoding::prepare_change(path_, nullptr, nullptr, nullptr) &&
                WritePrivateProfileSectionW(name, nullptr, path_) != FALSE;
    if (!done) fail();
    select_section(nullptr);
    return done;
}

bool m_confctl_ini::delete_key(const wchar_t* key) {
    if (!ini_encoding::prepare_change(path_, nullptr, nullptr, nullptr) ||
        !WritePrivateProfileStringW(section_, key, nullptr, path_))
        return fail();
    return true;
}

bool m_confctl_ini::read_string(const wchar_t* key, wchar_t* buffer, size_t capacity) {
    if (!buffer || capacity == 0) return false;
    buffer[0] = L'\0';
    // Without a file the profile functions would look in win.ini.
    if (path_[0] == L'\0') return false;
    DWORD copied = GetPrivateProfileStringW(
        section_, key, L"", buffer,
        static_cast<DWORD>(capacity > 0x7FFFFFFF ? 0x7FFFFFFF : capacity), path_);
    return copied > 0;
}

bool m_confctl_ini::read_ulong(const wchar_t* key, uint32_t& value) {
    wchar_t text[16];
    if (!read_string(key, text, 16)) return false;
    value = ini_values::parse_ulong(text);
    return true;
}

bool m_confctl_ini::read_long(const wchar_t* key, int32_t& value) {
    wchar_t text[16];
    if (!read_string(key, text, 16)) return false;
    value = ini_values::parse_long(text);
    return true;
}

bool m_confctl_ini::get_bool(const wchar_t* key, bool& value) {
    uint32_t number = value ? 1u : 0u;
    bool found = read_ulong(key, number);
    value = number != 0;
    return found;
}

bool m_confctl_ini::get_byte(const wchar_t* key, uint8_t& value) {
    uint32_t number = 0;
    if (!read_ulong(key, number)) return false;
    value = static_cast<uint8_t>(number & 0xFFu);
    return true;
}

bool m_confctl_ini::get_char(const wchar_t* key, int8_t& value) {
    int32_t number = 0;
    if (!read_long(key, number)) return false;
    value = static_cast<int8_t>(static_cast<uint8_t>(number & 0xFF));
    return true;
}

bool m_confctl_ini::get_ulong(const wchar_t* key, uint32_t& value) {
    return read_ulong(key, value);
}
bool m_confctl_ini::get_long(const wchar_t* key, int32_t& value) {
    return read_long(key, value);
}

bool m_confctl_ini::write_string(const wchar_t* key, const wchar_t* value) {
    const wchar_t* text = value ? value : L"";
    if (!ini_encoding::prepare_change(path_, section_, key, text) ||
        !WritePrivateProfileStringW(section_, key, text, path_))
        return fail();
    return true;
}

bool m_confctl_ini::write_ulong(const wchar_t* key, uint32_t value) {
    wchar_t text[16];
    StringCchPrintfW(text, 16, L"%lu", static_cast<unsigned long>(value));
    return write_string(key, text);
}

bool m_confctl_ini::write_long(const wchar_t* key, int32_t value) {
    wchar_t text[16];
    StringCchPrintfW(text, 16, L"%li", static_cast<long>(value));
    return write_string(key, text);
}

bool m_confctl_ini::put_bool(const wchar_t* key, bool value) {
    return write_ulong(key, value ? 1u : 0u);
}
bool m_confctl_ini::put_byte(const wchar_t* key, uint8_t value) {
    return write_ulong(key, value);
}
bool m_confctl_ini::put_char(const wchar_t* key, int8_t value) {
    return write_long(key, value);
}
bool m_confctl_ini::put_ulong(const wchar_t* key, uint32_t value) {
    return write_ulong(key, value);
}
bool m_confctl_ini::put_long(const wchar_t* key, int32_t value) {
    return write_long(key, value);
}
