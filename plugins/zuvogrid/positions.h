#pragma once
// The window mover's saved positions: the records per window class, the
// text of one value of the position file and the list's load and save
// order. No Windows header: the profile reads and writes stay with the
// plug-in, this part is tested and fuzzed natively.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zuvogrid {

struct position_record {
    uint32_t corner = 0; // bit 0: x from the right edge, bit 1: y from the bottom
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

struct position_entry {
    std::wstring class_name; // compared exactly, code unit by code unit
    std::vector<position_record> records;
};

// Unique class names; sorted after loading and after each addition.
using position_list = std::vector<position_entry>;

// Values are written through a 128-character buffer and read through one
// as large: the longest value written (a 63-character class name and five
// numbers of 11 characters) always comes back whole.
constexpr size_t max_value_chars = 127;
constexpr size_t max_class_chars = 63;
// Keys "0" .. "4095": a damaged file cannot make loading run on.
constexpr uint32_t max_position_keys = 4096;

// One value of the file, cut at max_value_chars first. False when it is
// malformed: a comma missing, or a corner other than 0-3.
bool parse_position_value(std::wstring_view value, std::wstring& class_name,
                          position_record& record);

// The value the plug-in writes: "\"Class\", corner, x, y, width, height".
std::wstring format_position_value(std::wstring_view class_name, const position_record& record);

// Appends to the class's entry, a new one at the end when the class has none.
void add_position(position_list& list, std::wstring_view class_name, const position_record& record);

// The same absolute place measured from `corner` instead: offsets from a
// right (bottom) corner are the left (top) offsets less the work area's
// width (height). Saturates at the 32-bit range.
position_record measured_from(const position_record& record, uint32_t corner, int32_t work_width,
                              int32_t work_height) noexcept;

// Record `index` of the class removed, later ones moving up; a class left
// without records leaves the list. False when there is no such record.
bool remove_position(position_list& list, std::wstring_view class_name, size_t index);

// Records `index` and `index + 1` of the class change places. False when
// either does not exist.
bool swap_with_next(position_list& list, std::wstring_view class_name, size_t index) noexcept;

// Ascending by class name.
void sort_positions(position_list& list);

// The entry of that class, or null.
const position_entry* find_positions(const position_list& list,
                                     std::wstring_view class_name) noexcept;

// `read_value(key, value)` gives the file's value of a key, false when the
// key has none. Reads "0", "1", ... up to the first key without a value,
// skips malformed values, and sorts.
position_list
load_positions(const std::function<bool(const std::wstring& key, std::wstring& value)>& read_value);

// Keys and values in file order: numbered over all records of the sorted
// list. The file's section is replaced by exactly these.
std::vector<std::pair<std::wstring, std::wstring>> save_positions(const position_list& list);

} // namespace zuvogrid
