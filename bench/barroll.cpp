// Cost of one call of the taskbar-wheel hook procedure, against a low-level
// mouse hook that only passes the event on, measured in the same run:
//   - a mouse move (passed on at once: the figure to hold within 1.5 of the
//     pass-through hook),
//   - a wheel notch outside the taskbar (the shared handle read, window
//     look-ups, passed on),
//   - a wheel notch over the taskbar (read, look-ups, the window under the
//     pointer, one post, swallowed),
// each also through the procedure as it was before it looked at the window
// under the pointer and before moves skipped the shared memory (the baseline
// the wheel over the taskbar is to stay within 1.2 of), and, to see where
// the time goes, opening, mapping, unmapping and closing the shared memory
// on its own. This program plays the host: it owns the shared memory, a real
// pass-through hook whose handle is in it, a main window and a taskbar.
//
//   barroll [calls per sample, default 2000]

#include "plugins/barroll/taskbar_hook.h"
#include "plugins/barroll/taskbar_events.h"
#include "bench/bench_timing.h"

#include "common/unique_resource.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

using namespace bench;

LRESULT CALLBACK pass_through(int code, WPARAM wparam, LPARAM lparam) noexcept {
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

// The procedure as it was: the shared memory opened for every event, and
// the taskbar's rectangle alone deciding.
LRESULT CALLBACK former_proc(int code, WPARAM wparam, LPARAM lparam) noexcept {
    unique_handle mapping(OpenFileMappingW(FILE_MAP_READ, FALSE, barroll::mapping_name));
    if (!mapping) return CallNextHookEx(nullptr, code, wparam, lparam);
    unique_view view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
    if (!view) return CallNextHookEx(nullptr, code, wparam, lparam);
    const HHOOK hook = barroll::shared_hook(barroll::read_shared(view.get()));
    bool swallowed = false;
    const auto message = static_cast<uint32_t>(wparam);
    if (hook && code == HC_ACTION && barroll::is_taken_message(message) && lparam) {
        const auto* event = reinterpret_cast<const MSLLHOOKSTRUCT*>(lparam);
        RECT bar{};
        if (GetWindowRect(FindWindowW(L"Shell_TrayWnd", nullptr), &bar)) {
            if (HWND main_window = FindWindowW(L"Quellbar_Class", nullptr)) {
                const barroll::screen_rect area{bar.left, bar.top, bar.right, bar.bottom};
                if (const auto post = barroll::forward_over_taskbar(
                        message, event->mouseData, event->pt.x, event->pt.y, area)) {
                    PostMessageW(main_window, post->message, post->wparam, post->lparam);
                    swallowed = true;
                }
            }
        }
    }
    view.reset();
    mapping.reset();
    return swallowed ? 1 : CallNextHookEx(hook, code, wparam, lparam);
}

void drain(HWND window) {
    MSG msg;
    while (PeekMessageW(&msg, window, 0, 0, PM_REMOVE)) {
    }
}

// For each case the median over samples of the mean time of one call, in
// nanoseconds. The cases take turns sample by sample, so that a change of
// load on the machine hits them alike. What the hook posted is taken out of
// the queue between samples, outside the time.
std::vector<double> per_call_ns(int calls, HWND posted_to,
                                const std::vector<std::function<void()>>& cases) {
    constexpr int sample_count = 7;
    std::vector<std::vector<double>> samples(cases.size());
    for (int sample = 0; sample < sample_count; ++sample) {
        for (size_t c = 0; c < cases.size(); ++c) {
            const double start = now_ns();
            for (int i = 0; i < calls; ++i) cases[c]();
            samples[c].push_back((now_ns() - start) / calls);
            drain(posted_to);
        }
    }
    std::vector<double> medians;
    for (auto& s : samples) {
        std::nth_element(s.begin(), s.begin() + s.size() / 2, s.end());
        medians.push_back(s[s.size() / 2]);
    }
    return medians;
}

unique_hwnd make_window(const wchar_t* class_name, const RECT& r, DWORD ex_style) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = class_name;
    RegisterClassW(&wc);
    return unique_hwnd(CreateWindowExW(ex_style, class_name, L"", WS_POPUP | WS_VISIBLE, r.left,
                                       r.top, r.right - r.left, r.bottom - r.top, nullptr, nullptr,
                                       wc.hInstance, nullptr));
}

} // namespace

int main(int argc, char** argv) {
    const int calls = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;

    const RECT bar{0, 984, 1000, 1024};
    unique_hwnd taskbar = make_window(L"Shell_TrayWnd", bar, WS_EX_TOPMOST | WS_EX_TOOLWINDOW);
    // Hidden: the taskbar's point must find the taskbar.
    unique_hwnd main_window = make_window(L"Quellbar_Class", RECT{0, 0, 1, 1}, 0);
    if (main_window) ShowWindow(main_window.get(), SW_HIDE);
    if (!taskbar || !main_window) {
        std::printf("barroll: cannot create the windows\n");
        return 1;
    }
    SetWindowPos(taskbar.get(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    if (FindWindowW(L"Shell_TrayWnd", nullptr) != taskbar.get())
        std::printf("barroll: another taskbar comes first; 'over' is measured as outside\n");

    unique_handle mapping(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                             sizeof(uint32_t), barroll::mapping_name));
    unique_view view(mapping ? MapViewOfFile(mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, 0)
                             : nullptr);
    // Installed but never called while we measure: this thread does not
    // retrieve messages then. Its handle makes the procedure take its full path.
    HHOOK hook = SetWindowsHookExW(WH_MOUSE_LL, pass_through, GetModuleHandleW(nullptr), 0);
    if (!view || !hook) {
        std::printf("barroll: no shared memory or no hook\n");
        return 1;
    }
    barroll::write_shared(view.get(), barroll::shared_value(hook));

    MSLLHOOKSTRUCT over{};
    over.pt = {500, 1000};
    over.mouseData = static_cast<DWORD>(WHEEL_DELTA) << 16;
    MSLLHOOKSTRUCT outside = over;
    outside.pt = {1100, 500};
    const auto event = [](const MSLLHOOKSTRUCT& e) { return reinterpret_cast<LPARAM>(&e); };

    int swallowed = 0;
    int former_swallowed = 0;
    const auto ns = per_call_ns(
        calls, main_window.get(),
        {[&] { pass_through(HC_ACTION, WM_MOUSEMOVE, event(over)); },
         [&] { barroll::taskbar_mouse_proc(HC_ACTION, WM_MOUSEMOVE, event(over)); },
         [&] { former_proc(HC_ACTION, WM_MOUSEMOVE, event(over)); },
         [&] { barroll::taskbar_mouse_proc(HC_ACTION, WM_MOUSEWHEEL, event(outside)); },
         [&] { former_proc(HC_ACTION, WM_MOUSEWHEEL, event(outside)); },
         [&] {
             swallowed += barroll::taskbar_mouse_proc(HC_ACTION, WM_MOUSEWHEEL, event(over)) == 1;
         },
         [&] { former_swallowed += former_proc(HC_ACTION, WM_MOUSEWHEEL, event(over)) == 1; },
         [&] {
             unique_handle m(OpenFileMappingW(FILE_MAP_READ, FALSE, barroll::mapping_name));
             unique_view v(m ? MapViewOfFile(m.get(), FILE_MAP_READ, 0, 0, 0) : nullptr);
         }});
    UnhookWindowsHookEx(hook);

    enum { pass, move, former_move, outside_now, former_outside, over_now, former_over, memory };
    std::printf("barroll: %d calls per sample, median of 7 samples\n", calls);
    std::printf("  %-34s %9s %8s %8s\n", "", "per call", "/ pass", "/ before");
    const auto row = [&](const char* name, int c, int before) {
        std::printf("  %-34s %9.0f ns %6.1f", name, ns[c], ns[c] / ns[pass]);
        if (before >= 0)
            std::printf(" %8.2f\n", ns[c] / ns[before]);
        else
            std::printf("\n");
    };
    row("pass-through hook", pass, -1);
    row("mouse move", move, former_move);
    row("mouse move, before", former_move, -1);
    row("wheel outside the taskbar", outside_now, former_outside);
    row("wheel outside the taskbar, before", former_outside, -1);
    row("wheel over the taskbar", over_now, former_over);
    row("wheel over the taskbar, before", former_over, -1);
    row("  the shared memory alone", memory, -1);
    std::printf("  wheel over the taskbar swallowed in %d of %d calls (before: %d)\n", swallowed,
                7 * calls, former_swallowed);
    return 0;
}
