// libFuzzer target for the window mover's position file, which a user may
// edit by hand, and its grid steps on whatever rectangle a window reports.
// Built natively, not by the MinGW build:
//   clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -I. \
//     tests/fuzz/zuvogrid_positions_fuzz.cpp plugins/zuvogrid/grid.cpp \
//     plugins/zuvogrid/positions.cpp -o zuvogrid_positions_fuzz
// The input's lines are the values of keys "0", "1", ...: the loaded list
// has unique class names in order, no name longer than the cut, at most
// 4096 records, and saving it and loading that again gives the same list.
// The first 28 bytes also make a rectangle, a work area and the steps: the
// grid never divides by zero or overflows, a move leaves the size alone,
// a resize the other axis, and a shrink never goes below one step unless
// the size already was.

#include "plugins/zuvogrid/grid.h"
#include "plugins/zuvogrid/positions.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace zuvogrid;

namespace {

bool same(const position_list& a, const position_list& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].class_name != b[i].class_name || a[i].records.size() != b[i].records.size())
            return false;
        for (size_t j = 0; j < a[i].records.size(); ++j) {
            const position_record& p = a[i].records[j];
            const position_record& q = b[i].records[j];
            if (p.corner != q.corner || p.x != q.x || p.y != q.y || p.width != q.width ||
                p.height != q.height)
                return false;
        }
    }
    return true;
}

void check_grid(const uint8_t* data, size_t size) {
    if (size < 28) return;
    int32_t v[7];
    std::memcpy(v, data, sizeof v);
    const grid_rect before{v[0], v[1], v[2], v[3]};
    const grid_settings settings{static_cast<uint32_t>(v[4]), static_cast<uint32_t>(v[5]),
                                 (v[6] & 1) != 0};
    // Work areas as a system reports them: not negative.
    const int32_t work_width = v[6] >> 17 & 0x3fff;
    const int32_t work_height = v[6] >> 3 & 0x3fff;
    for (uint32_t code = 256; code <= 263; ++code) {
        const grid_rect after =
            apply_grid(static_cast<grid_action>(code), before, work_width, work_height, settings);
        const bool vertical = code == 256 || code == 257 || code == 260 || code == 261;
        const bool resize = code >= 260;
        if (vertical ? after.x != before.x || after.width != before.width
                     : after.y != before.y || after.height != before.height)
            std::abort();
        if (!resize && (vertical ? after.height != before.height : after.width != before.width))
            std::abort();
        if (code == 260 || code == 262) {
            const int64_t step = vertical ? settings.step_y : settings.step_x;
            const int32_t old_size = vertical ? before.height : before.width;
            const int32_t new_size = vertical ? after.height : after.width;
            if (new_size < std::min<int64_t>(old_size, step == 0 ? 1 : step)) std::abort();
            if (new_size > old_size) std::abort();
        }
        if (code == 256 && after.y < 0) std::abort();
        if (code == 258 && after.x < 0) std::abort();
    }
    // A frame inside the rectangle gives borders that are never negative
    // and lead back to the rectangle; a damaged saved rectangle saturates.
    const grid_rect frame{v[4], v[5], v[6] >> 16, v[6] & 0xffff};
    const frame_borders b = borders_between(before, frame);
    if (b.left < 0 || b.top < 0 || b.right < 0 || b.bottom < 0) std::abort();
    (void)without_borders(before, b);
    if (b.left || b.top || b.right || b.bottom) {
        const grid_rect back = with_borders(frame, b);
        if (back.x != before.x || back.y != before.y) std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    check_grid(data, size);

    // Two bytes a character, as the UTF-16 file holds it; lines are values.
    std::vector<std::wstring> lines(1);
    for (size_t i = 0; i + 1 < size; i += 2) {
        const wchar_t c = static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
        if (c == L'\n')
            lines.emplace_back();
        else
            lines.back() += c;
    }
    const auto read = [&](const std::wstring& key, std::wstring& value) {
        const size_t n = std::stoul(key);
        if (n >= lines.size() || lines[n].empty()) return false;
        value = lines[n];
        return true;
    };
    const position_list list = load_positions(read);

    size_t records = 0;
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i].class_name.size() > max_class_chars || list[i].records.empty()) std::abort();
        if (i > 0 && !(list[i - 1].class_name < list[i].class_name)) std::abort();
        for (const position_record& r : list[i].records)
            if (r.corner > 3) std::abort();
        records += list[i].records.size();
    }
    if (records > max_position_keys) std::abort();

    const auto values = save_positions(list);
    if (values.size() != records) std::abort();
    std::vector<std::wstring> saved;
    for (size_t n = 0; n < values.size(); ++n) {
        if (values[n].first != std::to_wstring(n)) std::abort();
        saved.push_back(values[n].second);
    }
    // Only what fits the cut and holds no quote in its name comes back
    // unchanged; the rest must still load without harm.
    bool round_trips = true;
    for (const position_entry& e : list)
        for (const position_record& r : e.records)
            if (format_position_value(e.class_name, r).size() > max_value_chars ||
                e.class_name.find(L'"') != std::wstring::npos || e.class_name.empty())
                round_trips = false;
    const position_list back = load_positions([&](const std::wstring& key, std::wstring& value) {
        const size_t n = std::stoul(key);
        if (n >= saved.size()) return false;
        value = saved[n];
        return true;
    });
    if (round_trips && !same(list, back)) std::abort();
    return 0;
}
