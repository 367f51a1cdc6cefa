#include "tests/support/files.h"

#include <windows.h>
#include <strsafe.h>

#include <cstdio>

namespace test_support {

temp_folder::temp_folder(const wchar_t* prefix) {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    static LONG counter = 0;
    for (;;) {
        wchar_t name[MAX_PATH];
        StringCchPrintfW(name, MAX_PATH, L"%s%s%lu_%ld", base, prefix, GetCurrentProcessId(),
                         InterlockedIncrement(&counter));
        if (CreateDirectoryW(name, nullptr)) {
            path_ = name;
            break;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
}

temp_folder::~temp_folder() {
    if (!path_.empty()) remove_tree(path_);
}

std::wstring temp_folder::file(const std::wstring& name) const {
    return path_ + L"\\" + name;
}

void remove_tree(const std::wstring& path) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring full = path + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                remove_tree(full);
            else {
                SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(full.c_str());
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(path.c_str());
}

bool copy_tree(const std::wstring& from, const std::wstring& to) {
    CreateDirectoryW(to.c_str(), nullptr);
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((from + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    do {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        std::wstring source = from + L"\\" + name, target = to + L"\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ok = copy_tree(source, target) && ok;
        else
            ok = CopyFileW(source.c_str(), target.c_str(), FALSE) && ok;
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return ok;
}

std::vector<uint8_t> read_bytes(const std::wstring& path) {
    std::vector<uint8_t> bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    LARGE_INTEGER size{};
    GetFileSizeEx(file, &size);
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    if (!bytes.empty())
        ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    bytes.resize(got);
    CloseHandle(file);
    return bytes;
}

bool write_bytes(const std::wstring& path, const void* data, size_t size) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = size == 0 || WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(file);
    return ok && written == size;
}

bool write_bytes(const std::wstring& path, const std::vector<uint8_t>& data) {
    return write_bytes(path, data.data(), data.size());
}

bool write_utf16(const std::wstring& path, const std::wstring& text) {
    std::vector<uint8_t> bytes{0xFF, 0xFE};
    for (wchar_t c : text) {
        bytes.push_back(static_cast<uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<uint8_t>((c >> 8) & 0xFF));
    }
    return write_bytes(path, bytes);
}

bool write_ascii(const std::wstring& path, const std::string& text) {
    return write_bytes(path, text.data(), text.size());
}

std::wstring read_text(const std::wstring& path) {
    auto bytes = read_bytes(path);
    std::wstring text;
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            text.push_back(static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8)));
    } else {
        for (uint8_t b : bytes) text.push_back(static_cast<wchar_t>(b));
    }
    return text;
}

bool file_exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

namespace {
std::wstring trimmed(const std::wstring& text) {
    const size_t first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos) return {};
    return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}
bool same_text(const std::wstring& a, const std::wstring& b) {
    return lstrcmpiW(a.c_str(), b.c_str()) == 0;
}
std::string printable(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char escaped[12];
            snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        }
    }
    return out;
}
} // namespace

void PrintTo(const ini_entry& entry, std::ostream* out) {
    *out << "[" << printable(entry.section) << "] " << printable(entry.key) << "="
         << printable(entry.value);
}

std::vector<ini_entry> parse_ini(const std::wstring& text) {
    std::vector<ini_entry> entries;
    std::wstring section;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of(L"\r\n", start);
        if (end == std::wstring::npos) end = text.size();
        const std::wstring line = trimmed(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == L';') continue;
        if (line[0] == L'[') {
            const size_t close = line.find(L']');
            section = trimmed(
                line.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1));
            continue;
        }
        const size_t equals = line.find(L'=');
        if (equals == std::wstring::npos) continue;
        entries.push_back(
            {section, trimmed(line.substr(0, equals)), trimmed(line.substr(equals + 1))});
    }
    return entries;
}

std::vector<ini_entry> ini_section(const std::vector<ini_entry>& entries,
                                   const std::wstring& section) {
    std::vector<ini_entry> found;
    for (const auto& e : entries)
        if (same_text(e.section, section)) found.push_back(e);
    return found;
}

std::optional<std::wstring> ini_value(const std::vector<ini_entry>& entries,
                                      const std::wstring& section, const std::wstring& key) {
    for (const auto& e : entries)
        if (same_text(e.section, section) && same_text(e.key, key)) return e.value;
    return std::nullopt;
}

std::vector<std::wstring> ini_sections(const std::vector<ini_entry>& entries) {
    std::vector<std::wstring> names;
    for (const auto& e : entries)
        if (names.empty() || !same_text(names.back(), e.section)) {
            bool seen = false;
            for (const auto& n : names) seen = seen || same_text(n, e.section);
            if (!seen) names.push_back(e.section);
        }
    return names;
}

std::wstring exe_folder() {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/"));
}

} // namespace test_support
