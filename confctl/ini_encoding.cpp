#include "confctl/ini_encoding.h"

#include "confctl/ini_values.h"
#include "common/unique_resource.h"

#include <strsafe.h>

#include <cstdint>
#include <cwchar>
#include <string>

namespace ini_encoding {

namespace {

static_assert(sizeof(wchar_t) == 2, "the file text is written as the UTF-16LE wchar_t holds it");

// Settings files are a few kilobytes. The bound keeps the int lengths of the
// conversion functions and the memory in range for anything else.
constexpr size_t max_file_bytes = size_t{64} << 20;

// Code pages that take neither WC_NO_BEST_FIT_CHARS nor a used-default flag
// (a few others are found out by the call itself).
bool plain_code_page(UINT code_page) noexcept {
    if (code_page == CP_ACP) code_page = GetACP();
    return code_page == CP_UTF8 || code_page == CP_UTF7;
}

// `used_default` tells of characters without an exact equivalent, where the
// code page allows asking; the callers compare the round trip besides.
bool encode(UINT code_page, const wchar_t* text, size_t length, std::string& bytes,
            bool& used_default) {
    bytes.clear();
    used_default = false;
    if (length == 0) return true;
    bool plain = plain_code_page(code_page);
    BOOL substituted = FALSE;
    const int count = static_cast<int>(length);
    int size = WideCharToMultiByte(code_page, plain ? 0 : WC_NO_BEST_FIT_CHARS, text, count,
                                   nullptr, 0, nullptr, plain ? nullptr : &substituted);
    if (size <= 0 && !plain && GetLastError() == ERROR_INVALID_FLAGS) {
        plain = true;
        size = WideCharToMultiByte(code_page, 0, text, count, nullptr, 0, nullptr, nullptr);
    }
    if (size <= 0) return false;
    const DWORD flags = plain ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL* substituted_out = plain ? nullptr : &substituted;
    bytes.resize(static_cast<size_t>(size));
    if (WideCharToMultiByte(code_page, flags, text, count, bytes.data(), size, nullptr,
                            substituted_out) != size)
        return false;
    used_default = substituted != FALSE;
    return true;
}

bool decode(UINT code_page, const char* bytes, size_t size, std::wstring& text) {
    text.clear();
    if (size == 0) return true;
    const int count = static_cast<int>(size);
    int length = MultiByteToWideChar(code_page, 0, bytes, count, nullptr, 0);
    if (length <= 0) return false;
    text.resize(static_cast<size_t>(length));
    return MultiByteToWideChar(code_page, 0, bytes, count, text.data(), length) == length;
}

bool read_all(const wchar_t* path, std::string& bytes) {
    unique_file file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 ||
        static_cast<unsigned long long>(size.QuadPart) > max_file_bytes)
        return false;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    if (bytes.empty()) return true;
    DWORD got = 0;
    return ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) &&
           got == bytes.size();
}

bool write_all(HANDLE file, const void* data, size_t size) noexcept {
    DWORD written = 0;
    return size == 0 ||
           (WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) && written == size);
}

// A temporary file beside `target`, removed unless it replaced the target.
class temp_file {
public:
    explicit temp_file(const wchar_t* target) noexcept {
        wchar_t folder[MAX_PATH];
        if (FAILED(StringCchCopyW(folder, MAX_PATH, target))) return;
        wchar_t* cut = nullptr;
        for (wchar_t* p = folder; *p; ++p)
            if (*p == L'\\' || *p == L'/') cut = p;
        if (!cut) return;
        *cut = L'\0';
        if (!GetTempFileNameW(folder, L"ini", 0, name_)) name_[0] = L'\0';
    }
    temp_file(const temp_file&) = delete;
    temp_file& operator=(const temp_file&) = delete;
    ~temp_file() {
        if (name_[0]) DeleteFileW(name_);
    }

    const wchar_t* name() const noexcept { return name_[0] ? name_ : nullptr; }
    void keep() noexcept { name_[0] = L'\0'; }

private:
    wchar_t name_[MAX_PATH] = {};
};

// Antivirus scanners, indexers and sync clients open a file that has just
// changed, often without delete sharing, and the replacement fails while they
// hold it: it is tried again for about a second before the save fails.
bool move_over(const wchar_t* from, const wchar_t* to) noexcept {
    constexpr int tries = 20;
    constexpr DWORD pause_ms = 50;
    for (int tried = 1;; ++tried) {
        if (MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
        const DWORD error = GetLastError();
        const bool held = error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
                          error == ERROR_LOCK_VIOLATION;
        if (!held || tried >= tries) return false;
        Sleep(pause_ms);
    }
}

bool replace_with_utf16(const wchar_t* path, const std::wstring& text) noexcept {
    temp_file temp(path);
    if (!temp.name()) return false;
    {
        unique_file out(CreateFileW(temp.name(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        static const uint8_t mark[2] = {0xFF, 0xFE};
        if (!out || !write_all(out.get(), mark, sizeof mark) ||
            !write_all(out.get(), text.data(), text.size() * sizeof(wchar_t)) ||
            !FlushFileBuffers(out.get()))
            return false;
    }
    if (!move_over(temp.name(), path)) return false;
    temp.keep();
    return true;
}

} // namespace

file_state inspect(const wchar_t* path) noexcept {
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return GetLastError() == ERROR_FILE_NOT_FOUND ? file_state::missing
                                                      : file_state::unwritable;
    // Windows refuses to write a read-only file. Wine running as root writes it
    // all the same and reports success, so the attribute is checked here.
    if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))
        return file_state::unwritable;
    // The profile functions open the file with read and write sharing, so a
    // file another program holds without them fails here as it would there
    // (both Windows and Wine then return FALSE from every write).
    unique_file file(CreateFileW(path, GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return file_state::unwritable;
    uint8_t head[3] = {};
    DWORD got = 0;
    if (!ReadFile(file.get(), head, sizeof head, &got, nullptr)) return file_state::unwritable;
    switch (ini_values::leading_mark(head, got)) {
    case ini_values::text_mark::utf16le:
    case ini_values::text_mark::utf16be:
        return file_state::unicode;
    case ini_values::text_mark::utf8:
        return file_state::utf8_marked;
    case ini_values::text_mark::none:
        break;
    }
    return file_state::ansi;
}

bool create_unicode_file(const wchar_t* path) noexcept {
    unique_file file(
        CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return GetLastError() == ERROR_FILE_EXISTS;
    static const uint8_t mark[2] = {0xFF, 0xFE};
    return write_all(file.get(), mark, sizeof mark);
}

bool ansi_holds(const wchar_t* text) noexcept {
    if (!text || !*text) return true;
    try {
        const size_t length = wcsnlen(text, max_file_bytes);
        if (length >= max_file_bytes) return false;
        std::string bytes;
        bool used_default = false;
        if (!encode(CP_ACP, text, length, bytes, used_default) || used_default) return false;
        std::wstring back;
        return decode(CP_ACP, bytes.data(), bytes.size(), back) &&
               back.compare(0, std::wstring::npos, text, length) == 0;
    } catch (...) {
        return false;
    }
}

bool convert_to_utf16(const wchar_t* path, UINT code_page, size_t skip) noexcept {
    try {
        std::string bytes;
        if (!read_all(path, bytes) || bytes.size() < skip) return false;
        const char* body = bytes.data() + skip;
        const size_t size = bytes.size() - skip;
        std::wstring text;
        if (!decode(code_page, body, size, text)) return false;
        // Undefined bytes, broken UTF-8 and the like would not survive: the
        // file is converted only when its text encodes back to every byte.
        std::string back;
        bool used_default = false;
        if (!encode(code_page, text.data(), text.size(), back, used_default) ||
            back.compare(0, std::string::npos, body, size) != 0)
            return false;
        return replace_with_utf16(path, text);
    } catch (...) {
        return false;
    }
}

bool prepare_change(const wchar_t* path, const wchar_t* section, const wchar_t* key,
                    const wchar_t* value) noexcept {
    if (!path || !*path) return false;
    file_state state = inspect(path);
    if (state == file_state::missing) {
        if (!create_unicode_file(path)) return false;
        state = inspect(path);
    }
    switch (state) {
    case file_state::unicode:
        return true;
    case file_state::utf8_marked:
        // Wine reads such a file as UTF-8, Windows as ANSI text with three odd
        // characters in front (which hide a section named on the first line).
        // UTF-16 is read alike by both.
        return convert_to_utf16(path, CP_UTF8, 3);
    case file_state::ansi:
        if (ansi_holds(section) && ansi_holds(key) && ansi_holds(value)) return true;
        return convert_to_utf16(path, CP_ACP, 0);
    case file_state::missing:
    case file_state::unwritable:
        break;
    }
    return false;
}

} // namespace ini_encoding
