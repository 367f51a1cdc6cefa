// Cost of one call of the keyboard hook procedure, against a procedure that
// only passes the key on, measured in the same run:
//   - a key that matches (the table is walked and a message posted),
//   - a key whose bucket holds entries but none that matches,
//   - a key whose bucket is empty,
// and, to see where the time goes, the parts of a call on their own: opening
// and mapping the section, reading the modifier keys, the table walk on a
// view that is already mapped, and posting a message.
//
//   bench_hook [calls per sample, default 500]

#include "hook/hook_table.h"
#include "bench/bench_timing.h"
#include "hook/zuvohook.h"
#include "common/unique_resource.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace bench;

LRESULT CALLBACK pass_through(int code, WPARAM wparam, LPARAM lparam) noexcept {
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

void drain_thread_queue() {
    MSG msg;
    while (PeekMessageW(&msg, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE)) {
    }
}

double median(std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

// Median over samples of the mean time of one call, in nanoseconds. Posted
// messages are collected between samples, outside the time taken.
double per_call_ns(int calls, const std::function<void()>& call) {
    std::vector<double> samples;
    for (int sample = 0; sample < 5; ++sample) {
        const double start = now_ns();
        for (int i = 0; i < calls; ++i) call();
        samples.push_back((now_ns() - start) / calls);
        drain_thread_queue();
    }
    return median(samples);
}

std::wstring library_path() {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    folder = folder.substr(0, folder.find_last_of(L"\\/"));
    return folder + L"\\..\\bin\\zuvohook.dll";
}

} // namespace

int main(int argc, char** argv) {
    const int calls = argc > 1 ? std::max(1, std::atoi(argv[1])) : 500;
    unique_hmodule module(LoadLibraryW(library_path().c_str()));
    zuvohook_exports hook;
    if (!module || !hook.bind(module.get())) {
        std::fprintf(stderr, "zuvohook.dll not found beside ..\\bin\n");
        return 1;
    }
    // Posts go to this thread's own queue: no window needed.
    if (!hook.connect(nullptr, 64)) {
        std::fprintf(stderr, "connect failed\n");
        return 1;
    }
    // The program's own five keys, then 'A' with and without modifiers, all
    // posting like the real ones do.
    for (uint32_t code : {0x05BEu, 0x05BCu, 0x054Du, 0x0543u, 0x0556u, 0x0541u, 0x0041u})
        hook.key_regist(code, WM_COMMAND, 0x0580, 0);

    const LPARAM down = 1;
    unique_handle mapping(OpenFileMappingW(FILE_MAP_READ, FALSE, zuvohook_section_name));
    unique_view view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
    MEMORY_BASIC_INFORMATION info{};
    VirtualQuery(view.get(), &info, sizeof info);
    const auto* table = static_cast<const uint8_t*>(view.get());

    struct measurement {
        const char* name;
        std::function<void()> call;
        int repeat = 1;
        std::vector<double> ns, ratio;
    };
    volatile bool found_sink = false;
    volatile SHORT key_sink = 0;
    std::vector<measurement> rows = {
        {"pass-through (CallNextHookEx only)", [&] { pass_through(HC_ACTION, 'A', down); }},
        {"key that matches", [&] { hook.keyboard_proc(HC_ACTION, 'A', down); }},
        // 0x81 shares bucket 1 with both 'A' entries and matches neither.
        {"key in a used bucket, no match", [&] { hook.keyboard_proc(HC_ACTION, 0x81, down); }},
        {"key in an empty bucket", [&] { hook.keyboard_proc(HC_ACTION, 'B', down); }},
        {"key-up", [&] { hook.keyboard_proc(HC_ACTION, 'A', down | 0xC0000000); }},
        {"  open + map + VirtualQuery + unmap + close",
         [] {
             unique_handle m(OpenFileMappingW(FILE_MAP_READ, FALSE, zuvohook_section_name));
             unique_view v(MapViewOfFile(m.get(), FILE_MAP_READ, 0, 0, 0));
             MEMORY_BASIC_INFORMATION i;
             VirtualQuery(v.get(), &i, sizeof i);
         }},
        {"  five GetAsyncKeyState",
         [&] {
             for (int key : {VK_CONTROL, VK_MENU, VK_SHIFT, VK_LWIN, VK_RWIN})
                 key_sink = static_cast<SHORT>(key_sink | GetAsyncKeyState(key));
         }},
        {"  table walk on a mapped view",
         [&] {
             hook_table::action found;
             found_sink = hook_table::find(table, info.RegionSize, 0x81, 0, found);
         },
         50},
        {"  PostMessageW", [] { PostMessageW(nullptr, WM_COMMAND, 0x0580, 0); }},
    };
    // Rounds of every measurement in turn, so that a machine shared with
    // other work slows all of them alike; ratios are taken within a round.
    constexpr int rounds = 9;
    for (int round = 0; round < rounds; ++round) {
        for (auto& row : rows) row.ns.push_back(per_call_ns(calls * row.repeat, row.call));
        for (auto& row : rows) row.ratio.push_back(row.ns.back() / rows[0].ns.back());
    }
    hook.disconnect();

    std::printf("one hook call: %d calls a sample, median of 5 samples, median of %d rounds\n",
                calls, rounds);
    std::printf("%-44s %10s %8s\n", "", "ns/call", "ratio");
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (i == 5) std::printf("parts of a call:\n");
        std::printf("%-44s %10.0f %8.2f\n", rows[i].name, median(rows[i].ns),
                    median(rows[i].ratio));
    }
    return 0;
}
