#pragma once
// Temporary folders and raw file access for tests.

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace test_support {

// A fresh folder under the temporary directory, removed with its contents.
class temp_folder {
public:
    explicit temp_folder(const wchar_t* prefix = L"qb");
    temp_folder(const temp_folder&) = delete;
    temp_folder& operator=(const temp_folder&) = delete;
    ~temp_folder();

    const std::wstring& path() const { return path_; }
    // path() + "\\" + name
    std::wstring file(const std::wstring& name) const;

private:
    std::wstring path_;
};

void remove_tree(const std::wstring& path);
bool copy_tree(const std::wstring& from, const std::wstring& to);

std::vector<uint8_t> read_bytes(const std::wstring& path);
bool write_bytes(const std::wstring& path, const void* data, size_t size);
bool write_bytes(const std::wstring& path, const std::vector<uint8_t>& data);
// UTF-16LE with a byte-order mark, as the programs create their files.
bool write_utf16(const std::wstring& path, const std::wstring& text);
// Plain 7-bit text, as a user's editor would leave an ini file.
bool write_ascii(const std::wstring& path, const std::string& text);
// Decodes a file that is UTF-16LE (with mark) or 8-bit text.
std::wstring read_text(const std::wstring& path);
bool file_exists(const std::wstring& path);

// One key of a settings file, in the order of the file.
struct ini_entry {
    std::wstring section;
    std::wstring key;
    std::wstring value;
    bool operator==(const ini_entry&) const = default;
};
void PrintTo(const ini_entry& entry, std::ostream* out);
// The keys of an ini text as the profile functions read it: sections and
// keys with the blanks around them removed, comments and other lines skipped.
std::vector<ini_entry> parse_ini(const std::wstring& text);
// The keys of one section (names compared ignoring case), in file order.
std::vector<ini_entry> ini_section(const std::vector<ini_entry>& entries,
                                   const std::wstring& section);
// The value of one key; nothing when the file lacks it.
std::optional<std::wstring> ini_value(const std::vector<ini_entry>& entries,
                                      const std::wstring& section, const std::wstring& key);
// The section names in file order, each once.
std::vector<std::wstring> ini_sections(const std::vector<ini_entry>& entries);

// Folder of the running test executable (no trailing backslash).
std::wstring exe_folder();

} // namespace test_support
