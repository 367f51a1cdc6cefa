#pragma once
// Typed store over Windows profile ("ini") files. One exchange routine can
// load or save the same list of keys: it tests write_mode() and either puts
// the value or stores its default and gets it (an absent key keeps the default).
//
// Every change first makes sure the file can take it: a file that cannot be
// written (read-only, held by another program) is left alone, and an ANSI
// file is rewritten in UTF-16 before it would have to store a character
// outside its code page as "?". A failed change sets failed(), so a save pass
// can tell whether everything reached the file.

#include <windows.h>
#include <cstddef>
#include <cstdint>

class m_confctl_base {
public:
    static constexpr size_t path_capacity = 261;
    static constexpr size_t section_capacity = 64;

    m_confctl_base() noexcept = default;
    m_confctl_base(const m_confctl_base&) = delete;
    m_confctl_base& operator=(const m_confctl_base&) = delete;
    virtual ~m_confctl_base();

    virtual bool open(const wchar_t* name, bool for_writing) = 0;
    virtual void close() = 0;
    virtual bool select_section(const wchar_t* name) = 0;
    virtual bool delete_section(const wchar_t* name) = 0;
    virtual bool delete_key(const wchar_t* key) = 0;
    virtual bool get_bool(const wchar_t* key, bool& value) = 0;
    virtual bool get_byte(const wchar_t* key, uint8_t& value) = 0;
    virtual bool get_char(const wchar_t* key, int8_t& value) = 0;
    virtual bool get_ulong(const wchar_t* key, uint32_t& value) = 0;
    virtual bool get_long(const wchar_t* key, int32_t& value) = 0;
    virtual bool read_ulong(const wchar_t* key, uint32_t& value) = 0;
    virtual bool read_long(const wchar_t* key, int32_t& value) = 0;
    virtual bool read_string(const wchar_t* key, wchar_t* buffer, size_t capacity) = 0;
    virtual bool put_bool(const wchar_t* key, bool value) = 0;
    virtual bool put_byte(const wchar_t* key, uint8_t value) = 0;
    virtual bool put_char(const wchar_t* key, int8_t value) = 0;
    virtual bool put_ulong(const wchar_t* key, uint32_t value) = 0;
    virtual bool put_long(const wchar_t* key, int32_t value) = 0;
    virtual bool write_ulong(const wchar_t* key, uint32_t value) = 0;
    virtual bool write_long(const wchar_t* key, int32_t value) = 0;
    virtual bool write_string(const wchar_t* key, const wchar_t* value) = 0;

    // Write mode: writes "#rrggbb". Read mode: the default, replaced by the
    // stored value when that starts with "#".
    bool exchange_color(const wchar_t* key, COLORREF& color, COLORREF fallback);

    bool write_mode() const noexcept { return write_mode_; }
    const wchar_t* path() const noexcept { return path_; }
    const wchar_t* section() const noexcept { return section_; }
    // Whether any put, write, key or section deletion, or opening for writing
    // failed since the last open.
    bool failed() const noexcept { return failed_; }

protected:
    bool fail() noexcept {
        failed_ = true;
        return false;
    }

    bool write_mode_ = false;
    bool failed_ = false;
    wchar_t path_[path_capacity] = {};
    wchar_t section_[section_capacity] = {};
};

class m_confctl_ini : public m_confctl_base {
public:
    ~m_confctl_ini() override;

    // `name` is the file's path without ".ini"; relative names resolve
    // against the current directory. For writing, a missing file is created in
    // UTF-16, and false (with failed()) means the file cannot be written.
    bool open(const wchar_t* name, bool for_writing) override;
    void close() override;
    bool select_section(const wchar_t* name) override;
    bool delete_section(const wchar_t* name) override;
    bool delete_key(const wchar_t* key) override;
    bool get_bool(const wchar_t* key, bool& value) override;
    bool get_byte(const wchar_t* key, uint8_t& value) override;
    bool get_char(const wchar_t* key, int8_t& value) override;
    bool get_ulong(const wchar_t* key, uint32_t& value) override;
    bool get_long(const wchar_t* key, int32_t& value) override;
    bool read_ulong(const wchar_t* key, uint32_t& value) override;
    bool read_long(const wchar_t* key, int32_t& value) override;
    bool read_string(const wchar_t* key, wchar_t* buffer, size_t capacity) override;
    bool put_bool(const wchar_t* key, bool value) override;
    bool put_byte(const wchar_t* key, uint8_t value) override;
    bool put_char(const wchar_t* key, int8_t value) override;
    bool put_ulong(const wchar_t* key, uint32_t value) override;
    bool put_long(const wchar_t* key, int32_t value) override;
    bool write_ulong(const wchar_t* key, uint32_t value) override;
    bool write_long(const wchar_t* key, int32_t value) override;
    bool write_string(const wchar_t* key, const wchar_t* value) override;
};
