#include "plugins/zuvogrid/positions.h"

#include <algorithm>
#include <limits>

namespace zuvogrid {

namespace {

class reader {
public:
    explicit reader(std::wstring_view text) noexcept : text_(text) {}

    bool at_end() const noexcept { return pos_ >= text_.size(); }
    wchar_t peek() const noexcept { return at_end() ? L'\0' : text_[pos_]; }
    void skip() noexcept {
        if (!at_end()) ++pos_;
    }
    void skip_blanks() noexcept {
        while (peek() == L' ' || peek() == L'\t') skip();
    }

    // Blanks, the comma, blanks: what comes before each number.
    bool separator() noexcept {
        skip_blanks();
        if (peek() != L',') return false;
        skip();
        skip_blanks();
        return true;
    }

    // Digits up to the first other character, none giving 0. A run past
    // the 32-bit range saturates instead of wrapping into another position.
    int64_t number(bool allow_sign, int64_t limit) noexcept {
        bool negative = false;
        if (allow_sign && (peek() == L'+' || peek() == L'-')) {
            negative = peek() == L'-';
            skip();
        }
        int64_t v = 0;
        while (peek() >= L'0' && peek() <= L'9') {
            v = std::min<int64_t>(v * 10 + (peek() - L'0'), limit + 1);
            skip();
        }
        if (negative) return std::max<int64_t>(-v, -limit - 1);
        return std::min(v, limit);
    }

    std::wstring_view take_name() noexcept {
        const size_t start = pos_;
        if (peek() == L'"') {
            skip();
            const size_t inner = pos_;
            while (!at_end() && peek() != L'"') skip();
            const std::wstring_view name = text_.substr(inner, pos_ - inner);
            skip(); // the closing quote
            return name;
        }
        while (!at_end() && peek() != L' ' && peek() != L'\t' && peek() != L',' && peek() != L';' &&
               peek() != L'"')
            skip();
        const std::wstring_view name = text_.substr(start, pos_ - start);
        skip(); // the separator ends the name and goes with it, even a comma
        return name;
    }

private:
    std::wstring_view text_;
    size_t pos_ = 0;
};

} // namespace

bool parse_position_value(std::wstring_view value, std::wstring& class_name,
                          position_record& record) {
    reader in(value.substr(0, max_value_chars));
    const std::wstring_view name = in.take_name();
    constexpr int64_t int_max = std::numeric_limits<int32_t>::max();
    int64_t numbers[5] = {};
    for (int i = 0; i < 5; ++i) {
        if (!in.separator()) return false;
        numbers[i] = in.number(i != 0, i == 0 ? std::numeric_limits<uint32_t>::max() : int_max);
    }
    // The corner picks one of four labels and offsets; any other number
    // is damage, not a position.
    if (numbers[0] > 3) return false;
    class_name.assign(name.substr(0, max_class_chars));
    record.corner = static_cast<uint32_t>(numbers[0]);
    record.x = static_cast<int32_t>(numbers[1]);
    record.y = static_cast<int32_t>(numbers[2]);
    record.width = static_cast<int32_t>(numbers[3]);
    record.height = static_cast<int32_t>(numbers[4]);
    return true;
}

std::wstring format_position_value(std::wstring_view class_name, const position_record& record) {
    std::wstring text = L"\"";
    text.append(class_name.substr(0, max_class_chars));
    text += L"\", " + std::to_wstring(record.corner) + L", " + std::to_wstring(record.x) + L", " +
            std::to_wstring(record.y) + L", " + std::to_wstring(record.width) + L", " +
            std::to_wstring(record.height);
    return text;
}

const position_entry* find_positions(const position_list& list,
                                     std::wstring_view class_name) noexcept {
    for (const position_entry& e : list)
        if (e.class_name == class_name) return &e;
    return nullptr;
}

void add_position(position_list& list, std::wstring_view class_name,
                  const position_record& record) {
    const std::wstring_view name = class_name.substr(0, max_class_chars);
    for (position_entry& e : list) {
        if (e.class_name == name) {
            e.records.push_back(record);
            return;
        }
    }
    list.push_back(position_entry{std::wstring(name), {record}});
}

namespace {

int32_t saturated(int64_t v) noexcept {
    return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

position_entry* find_entry(position_list& list, std::wstring_view class_name) noexcept {
    for (position_entry& e : list)
        if (e.class_name == class_name) return &e;
    return nullptr;
}

} // namespace

position_record measured_from(const position_record& record, uint32_t corner, int32_t work_width,
                              int32_t work_height) noexcept {
    int64_t x = record.x;
    int64_t y = record.y;
    if (record.corner & 1u) x += work_width;
    if (record.corner & 2u) y += work_height;
    if (corner & 1u) x -= work_width;
    if (corner & 2u) y -= work_height;
    return {corner & 3u, saturated(x), saturated(y), record.width, record.height};
}

bool remove_position(position_list& list, std::wstring_view class_name, size_t index) {
    position_entry* e = find_entry(list, class_name);
    if (!e || index >= e->records.size()) return false;
    e->records.erase(e->records.begin() + static_cast<std::ptrdiff_t>(index));
    if (e->records.empty()) list.erase(list.begin() + (e - list.data()));
    return true;
}

bool swap_with_next(position_list& list, std::wstring_view class_name, size_t index) noexcept {
    position_entry* e = find_entry(list, class_name);
    if (!e || index + 1 >= e->records.size()) return false;
    std::swap(e->records[index], e->records[index + 1]);
    return true;
}

void sort_positions(position_list& list) {
    // Names are unique, so any sort gives the one order; wchar_t is the
    // UTF-16 code unit in the plug-in, hence code-unit order.
    std::sort(list.begin(), list.end(), [](const position_entry& a, const position_entry& b) {
        return a.class_name < b.class_name;
    });
}

position_list load_positions(
    const std::function<bool(const std::wstring& key, std::wstring& value)>& read_value) {
    position_list list;
    std::wstring value;
    std::wstring class_name;
    for (uint32_t n = 0; n < max_position_keys; ++n) {
        value.clear();
        if (!read_value(std::to_wstring(n), value)) break;
        position_record record;
        if (parse_position_value(value, class_name, record)) add_position(list, class_name, record);
    }
    sort_positions(list);
    return list;
}

std::vector<std::pair<std::wstring, std::wstring>> save_positions(const position_list& list) {
    std::vector<std::pair<std::wstring, std::wstring>> values;
    for (const position_entry& e : list)
        for (const position_record& r : e.records)
            values.emplace_back(std::to_wstring(values.size()),
                                format_position_value(e.class_name, r));
    return values;
}

} // namespace zuvogrid
