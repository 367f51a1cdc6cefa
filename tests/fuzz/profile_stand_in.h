#pragma once
// A stand-in for the profile functions over a settings text held in memory:
// "[section]" lines and "key=value" lines, names without regard to ASCII
// case, the first of equal keys winning. The fuzz targets read their input as
// such a text.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

class profile_stand_in {
public:
    // The input as UTF-16 text, one character per two bytes. A file's text
    // holds no NUL, so a zero reads as a space.
    profile_stand_in(const uint8_t* data, size_t size) {
        std::wstring text;
        for (size_t i = 0; i + 1 < size; i += 2) {
            const auto c = static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
            text.push_back(c ? c : L' ');
        }
        std::wstring section;
        size_t start = 0;
        while (start <= text.size()) {
            size_t end = text.find(L'\n', start);
            if (end == std::wstring::npos) end = text.size();
            std::wstring line = text.substr(start, end - start);
            if (!line.empty() && line.back() == L'\r') line.pop_back();
            if (line.size() >= 2 && line.front() == L'[' && line.back() == L']') {
                section = line.substr(1, line.size() - 2);
                sections_.push_back(section);
            } else if (size_t equals = line.find(L'='); equals != std::wstring::npos) {
                entries_.push_back({section, line.substr(0, equals), line.substr(equals + 1)});
            }
            start = end + 1;
        }
    }

    // The value of a key, null when there is none.
    const std::wstring* find(const wchar_t* section, const wchar_t* key) const {
        if (!section || !key) std::abort(); // enumerations are not used here
        for (const entry& e : entries_)
            if (same(e.section, section) && same(e.key, key)) return &e.value;
        return nullptr;
    }

    // GetPrivateProfileStringW with an empty default: the value cut to
    // capacity - 1 characters and terminated, its length returned. Every
    // character of the buffer is written, so a capacity larger than the
    // buffer shows as an overflow at once.
    size_t read(const wchar_t* section, const wchar_t* key, wchar_t* buffer, size_t capacity) {
        ++reads_;
        if (!buffer || capacity == 0) std::abort();
        const std::wstring* value = find(section, key);
        const size_t length =
            value ? (value->size() < capacity - 1 ? value->size() : capacity - 1) : 0;
        for (size_t i = 0; i < capacity; ++i) buffer[i] = i < length ? (*value)[i] : L'\0';
        return length;
    }

    const std::vector<std::wstring>& sections() const { return sections_; }
    size_t reads() const { return reads_; }

private:
    struct entry {
        std::wstring section, key, value;
    };
    static bool same(const std::wstring& a, const wchar_t* b) {
        size_t i = 0;
        for (; i < a.size() && b[i]; ++i)
            if (fold(a[i]) != fold(b[i])) return false;
        return i == a.size() && b[i] == L'\0';
    }
    static wchar_t fold(wchar_t c) { return c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c; }

    std::vector<std::wstring> sections_;
    std::vector<entry> entries_;
    size_t reads_ = 0;
};
