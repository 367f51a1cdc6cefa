// The taskbar-wheel plug-in: real mouse input (SendInput) over a stand-in
// taskbar in another process, which reports every mouse message it gets.
// Wine's own taskbar window is hidden with an empty rectangle; the stand-in is
// topmost, so it is the one the plug-in finds (checked first).

#include "tests/support/fakeaudio/fake_audio.h"
#include "tests/support/files.h"
#include "tests/support/harness.h"
#include "tests/support/probe.h"
#include "tests/support/taskbar_stand_in_protocol.h"

#include "common/unique_resource.h"

#include <gtest/gtest.h>
#include <windowsx.h>

#include <cmath>
#include <functional>
#include <memory>
#include <optional>

using namespace test_support;
using namespace std::chrono_literals;

namespace {

// The stand-in taskbar along the bottom left, away from the corner where
// other programs' notices appear; its neighbour lies right of it.
constexpr RECT bar_rect{0, 984, 600, 1024};
constexpr POINT on_bar{300, 1000};
constexpr POINT right_of_bar{bar_rect.right, 1000};

void send_mouse(DWORD flags, int data = 0, LONG dx = 0, LONG dy = 0) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    input.mi.mouseData = static_cast<DWORD>(data);
    input.mi.dx = dx;
    input.mi.dy = dy;
    SendInput(1, &input, sizeof input);
}

// Keeps the calling thread's messages flowing while it waits: a low-level
// hook installed by this thread runs only while it retrieves messages.
bool pump_until(const std::function<bool()>& done, std::chrono::milliseconds timeout = 5s) {
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeout.count());
    for (;;) {
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE); // runs sent messages: hook calls
        if (done()) return true;
        if (GetTickCount64() > deadline) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

class taskbar_stand_in {
public:
    taskbar_stand_in() {
        std::wstring command = L"\"" + exe_folder() + L"\\taskbar_stand_in.exe\" " +
                               std::to_wstring(reinterpret_cast<uintptr_t>(reports_.get()));
        for (LONG edge : {bar_rect.left, bar_rect.top, bar_rect.right, bar_rect.bottom})
            command += L" " + std::to_wstring(edge);
        process_ = process::start(command, L"");
        pump_until([&] {
            collect();
            return taskbar_ != nullptr;
        });
    }
    ~taskbar_stand_in() {
        if (taskbar_) PostMessageW(taskbar_, WM_CLOSE, 0, 0);
        if (process_ && !process_.wait(5s)) process_.terminate();
    }

    HWND taskbar() const { return taskbar_; }
    // Covers the taskbar with a topmost window that has the keyboard, as a
    // full-screen program in front does.
    bool cover() {
        PostMessageW(taskbar_, stand_in_cover, 0, 0);
        return pump_until([&] {
            collect();
            return cover_ != nullptr;
        });
    }

    // The mouse messages each window received, oldest first.
    struct received {
        bool on_taskbar;
        UINT message;
        LPARAM lparam;
        bool on_cover;
    };
    const std::vector<received>& seen() {
        collect();
        return seen_;
    }
    // Clears what was seen so far.
    void forget() {
        collect();
        seen_.clear();
    }
    bool taskbar_saw(UINT message, std::optional<int> x = std::nullopt) {
        for (const auto& r : seen())
            if (r.on_taskbar && r.message == message && (!x || GET_X_LPARAM(r.lparam) == *x))
                return true;
        return false;
    }
    bool taskbar_saw_wheel_or_middle() {
        return taskbar_saw(WM_MOUSEWHEEL) || taskbar_saw(WM_MBUTTONDOWN) ||
               taskbar_saw(WM_MBUTTONUP);
    }
    // Waits until the stand-in has seen `message` on the given window (among
    // the messages from the `from`th on).
    bool wait_for(bool on_taskbar, UINT message, size_t from = 0) {
        return pump_until([&] {
            const auto& all = seen();
            for (size_t i = from; i < all.size(); ++i)
                if (all[i].on_taskbar == on_taskbar && all[i].message == message) return true;
            return false;
        });
    }
    // Input is handled in order: once a harmless event sent now has arrived,
    // everything sent before it has arrived too, or never will.
    bool settle() {
        const size_t from = seen().size();
        SetCursorPos(on_bar.x, on_bar.y);
        send_mouse(MOUSEEVENTF_RIGHTDOWN);
        send_mouse(MOUSEEVENTF_RIGHTUP);
        return wait_for(true, WM_RBUTTONUP, from);
    }

private:
    void collect() {
        for (const MSG& msg : reports_.take(stand_in_ready, stand_in_cover_mouse)) {
            if (msg.message == stand_in_ready)
                taskbar_ = reinterpret_cast<HWND>(msg.lParam);
            else if (msg.message == stand_in_covered)
                cover_ = reinterpret_cast<HWND>(msg.lParam);
            else
                seen_.push_back({msg.message == stand_in_taskbar_mouse,
                                 static_cast<UINT>(msg.wParam), msg.lParam,
                                 msg.message == stand_in_cover_mouse});
        }
    }

    message_window reports_;
    process process_;
    HWND taskbar_ = nullptr;
    HWND cover_ = nullptr;
    std::vector<received> seen_;
};

using fakeaudio::percent;

class barroll : public ::testing::Test {
protected:
    barroll() : fake_(fakeaudio::description::standard()), speakers_(fake_.device(L"Speakers")) {}

    void SetUp() override {
        ASSERT_TRUE(bar_.taskbar());
        ASSERT_EQ(FindWindowW(L"Shell_TrayWnd", nullptr), bar_.taskbar());
        fake_.set_master(speakers_, 0.5f);
    }

    // zuvo.exe with the probe (index 0, for syncing) and the plug-in.
    void start_zuvo() {
        ASSERT_TRUE(install_probe(folder_, L"probe.dll"));
        ASSERT_TRUE(
            folder_.copy_in(build_bin_folder() + L"\\plugin\\barroll.dll", L"plugin\\barroll.dll"));
        folder_.write_ini(L"zuvo.ini", L"[Control00]\r\nCaption=#\r\n" +
                                           plugin_section({L"probe.dll", L"barroll.dll"}));
        zuvo_ = std::make_unique<zuvo_process>(folder_);
        ASSERT_TRUE(zuvo_->window());
    }
    // Everything the hook posted has been handled.
    void sync_zuvo() { ASSERT_TRUE(probe_sync(*zuvo_, folder_, 0)); }
    int volume() const { return percent(fake_.master(speakers_)); }
    bool volume_becomes(int expected) {
        return wait_until([&] { return volume() == expected; }, 5s);
    }

    fakeaudio::installed_fake fake_;
    int speakers_;
    taskbar_stand_in bar_;
    program_folder folder_;
    std::unique_ptr<zuvo_process> zuvo_;
};

TEST_F(barroll, wheel_over_the_taskbar_steps_the_volume_and_is_swallowed) {
    start_zuvo();
    const struct {
        int delta;
        int volume;
    } notches[] = {{WHEEL_DELTA, 60}, {-WHEEL_DELTA, 50}, {-WHEEL_DELTA, 40}};
    for (const auto& notch : notches) {
        SCOPED_TRACE(notch.delta);
        bar_.forget();
        SetCursorPos(on_bar.x, on_bar.y);
        send_mouse(MOUSEEVENTF_WHEEL, notch.delta);
        EXPECT_TRUE(volume_becomes(notch.volume));
        ASSERT_TRUE(bar_.settle());
        EXPECT_FALSE(bar_.taskbar_saw(WM_MOUSEWHEEL));
        sync_zuvo();
        EXPECT_EQ(volume(), notch.volume) << "one notch, one step";
    }

    // One pixel right of the taskbar the wheel belongs to the window there.
    bar_.forget();
    SetCursorPos(right_of_bar.x, right_of_bar.y);
    send_mouse(MOUSEEVENTF_WHEEL, WHEEL_DELTA);
    EXPECT_TRUE(bar_.wait_for(false, WM_MOUSEWHEEL));
    sync_zuvo();
    EXPECT_EQ(volume(), 40);
}

TEST_F(barroll, middle_click_over_the_taskbar_toggles_the_mute_once) {
    start_zuvo();
    for (bool muted : {true, false}) {
        bar_.forget();
        SetCursorPos(on_bar.x, on_bar.y);
        send_mouse(MOUSEEVENTF_MIDDLEDOWN);
        ASSERT_TRUE(bar_.settle());
        sync_zuvo();
        EXPECT_EQ(fake_.mute(speakers_), !muted) << "the press alone changes nothing";
        send_mouse(MOUSEEVENTF_MIDDLEUP);
        EXPECT_TRUE(wait_until([&] { return fake_.mute(speakers_) == muted; }, 5s));
        ASSERT_TRUE(bar_.settle());
        sync_zuvo();
        EXPECT_EQ(fake_.mute(speakers_), muted);
        EXPECT_FALSE(bar_.taskbar_saw_wheel_or_middle());
    }
}

// A full-screen program in front covers the taskbar: the wheel and the
// middle button there are its own, not the volume's.
TEST_F(barroll, a_window_covering_the_taskbar_keeps_the_wheel_and_the_middle_button) {
    start_zuvo();
    ASSERT_TRUE(bar_.cover());
    const auto cover_saw = [&](UINT message) {
        return pump_until([&] {
            for (const auto& r : bar_.seen())
                if (r.on_cover && r.message == message) return true;
            return false;
        });
    };
    SetCursorPos(on_bar.x, on_bar.y);
    send_mouse(MOUSEEVENTF_WHEEL, WHEEL_DELTA);
    EXPECT_TRUE(cover_saw(WM_MOUSEWHEEL));
    send_mouse(MOUSEEVENTF_MIDDLEDOWN);
    send_mouse(MOUSEEVENTF_MIDDLEUP);
    EXPECT_TRUE(cover_saw(WM_MBUTTONUP));
    sync_zuvo();
    EXPECT_EQ(volume(), 50);
    EXPECT_FALSE(fake_.mute(speakers_));
    EXPECT_FALSE(bar_.taskbar_saw_wheel_or_middle());
}

TEST_F(barroll, moves_and_other_buttons_pass_and_exit_gives_the_wheel_back) {
    // Without the main program the taskbar has its wheel.
    SetCursorPos(on_bar.x, on_bar.y);
    send_mouse(MOUSEEVENTF_WHEEL, WHEEL_DELTA);
    EXPECT_TRUE(bar_.wait_for(true, WM_MOUSEWHEEL));

    start_zuvo();
    const struct {
        DWORD flags;
        int data;
        UINT seen;
    } passing[] = {
        {MOUSEEVENTF_LEFTDOWN, 0, WM_LBUTTONDOWN},
        {MOUSEEVENTF_LEFTUP, 0, WM_LBUTTONUP},
        {MOUSEEVENTF_RIGHTDOWN, 0, WM_RBUTTONDOWN},
        {MOUSEEVENTF_RIGHTUP, 0, WM_RBUTTONUP},
        {MOUSEEVENTF_XDOWN, XBUTTON1, WM_XBUTTONDOWN},
        {MOUSEEVENTF_XUP, XBUTTON1, WM_XBUTTONUP},
        {MOUSEEVENTF_HWHEEL, WHEEL_DELTA, WM_MOUSEHWHEEL},
    };
    for (const auto& event : passing) {
        SCOPED_TRACE(event.seen);
        bar_.forget();
        SetCursorPos(on_bar.x, on_bar.y);
        send_mouse(event.flags, event.data);
        EXPECT_TRUE(bar_.wait_for(true, event.seen));
    }
    // A move to a point of its own, so that no move of SetCursorPos counts.
    const int to_x = 400;
    const LONG cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    send_mouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, 0, (to_x * 65536 + cx - 1) / cx,
               (on_bar.y * 65536 + cy - 1) / cy);
    EXPECT_TRUE(pump_until([&] { return bar_.taskbar_saw(WM_MOUSEMOVE, to_x - bar_rect.left); }));
    sync_zuvo();
    EXPECT_EQ(volume(), 50);
    EXPECT_FALSE(fake_.mute(speakers_));

    ASSERT_TRUE(zuvo_->exit());
    bar_.forget();
    SetCursorPos(on_bar.x, on_bar.y);
    send_mouse(MOUSEEVENTF_WHEEL, WHEEL_DELTA);
    EXPECT_TRUE(bar_.wait_for(true, WM_MOUSEWHEEL));
    EXPECT_EQ(volume(), 50);
}

// The plug-in hosted by this test, which must keep retrieving messages for
// the hook to run: a window of the main program's class here collects what
// the hook posts, exactly as posted.
class barroll_in_process : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bar_.taskbar());
        ASSERT_EQ(FindWindowW(L"Shell_TrayWnd", nullptr), bar_.taskbar());
        ASSERT_EQ(FindWindowW(L"Quellbar_Class", nullptr), nullptr);
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"Quellbar_Class";
        RegisterClassW(&wc);
        main_window_ = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                                       nullptr, wc.hInstance, nullptr);
        ASSERT_TRUE(main_window_);
        library_ = LoadLibraryW((build_bin_folder() + L"\\plugin\\barroll.dll").c_str());
        ASSERT_TRUE(library_);
        entry_ = reinterpret_cast<entry_fn>(
            reinterpret_cast<void*>(GetProcAddress(library_, "ZUVOPLUG_entry_4_0_0")));
        release_ = reinterpret_cast<release_fn>(
            reinterpret_cast<void*>(GetProcAddress(library_, "ZUVOPLUG_release")));
        ASSERT_TRUE(entry_ && release_);
    }
    void TearDown() override {
        if (release_) release_();
        if (library_) FreeLibrary(library_);
        if (main_window_) DestroyWindow(main_window_);
    }

    struct posted {
        UINT message;
        WPARAM wparam;
        LPARAM lparam;
        bool operator==(const posted&) const = default;
    };
    std::vector<posted> take_posted() {
        std::vector<posted> found;
        MSG msg;
        while (PeekMessageW(&msg, main_window_, 0, 0, PM_REMOVE))
            found.push_back({msg.message, msg.wParam, msg.lParam});
        return found;
    }

    using entry_fn = HHOOK(__cdecl*)(uint32_t, HWND);
    using release_fn = void(__cdecl*)();
    taskbar_stand_in bar_;
    HWND main_window_ = nullptr;
    HMODULE library_ = nullptr;
    entry_fn entry_ = nullptr;
    release_fn release_ = nullptr;
};

TEST_F(barroll_in_process, posts_the_tray_messages_and_release_removes_the_hook) {
    ASSERT_TRUE(entry_(3, main_window_));
    const struct {
        DWORD flags;
        int data;
        posted expected;
    } events[] = {
        {MOUSEEVENTF_WHEEL, WHEEL_DELTA, {WM_MOUSEWHEEL, 0x00780000, 0}},
        {MOUSEEVENTF_WHEEL, -2 * WHEEL_DELTA, {WM_MOUSEWHEEL, 0xFF100000, 0}},
        {MOUSEEVENTF_MIDDLEDOWN, 0, {0x0802, 1384, WM_MBUTTONDOWN}},
        {MOUSEEVENTF_MIDDLEUP, 0, {0x0802, 1384, WM_MBUTTONUP}},
    };
    for (const auto& event : events) {
        SCOPED_TRACE(event.expected.wparam);
        bar_.forget();
        SetCursorPos(on_bar.x, on_bar.y);
        send_mouse(event.flags, event.data);
        std::vector<posted> found;
        EXPECT_TRUE(pump_until([&] {
            for (const auto& p : take_posted()) found.push_back(p);
            return !found.empty();
        }));
        ASSERT_TRUE(bar_.settle());
        EXPECT_EQ(found, std::vector<posted>{event.expected});
        EXPECT_FALSE(bar_.taskbar_saw_wheel_or_middle());
    }

    // Released and freed as the host does it: nothing may be left that
    // still takes the wheel or holds the library.
    release_();
    release_ = nullptr;
    FreeLibrary(library_);
    library_ = nullptr;
    bar_.forget();
    SetCursorPos(on_bar.x, on_bar.y);
    send_mouse(MOUSEEVENTF_WHEEL, WHEEL_DELTA);
    EXPECT_TRUE(bar_.wait_for(true, WM_MOUSEWHEEL));
    EXPECT_TRUE(take_posted().empty());
    EXPECT_EQ(GetModuleHandleW(L"barroll.dll"), nullptr);
}

// With the shared name taken by another kind of object the plug-in cannot
// keep its hook handle anywhere, so it installs no hook at all.
TEST_F(barroll_in_process, entry_without_its_shared_memory_installs_nothing) {
    unique_handle squatter(CreateMutexW(nullptr, FALSE, L"zuvoplug_barroll_data"));
    ASSERT_TRUE(squatter);
    EXPECT_EQ(entry_(0, main_window_), nullptr);
    SetCursorPos(on_bar.x, on_bar.y);
    send_mouse(MOUSEEVENTF_WHEEL, WHEEL_DELTA);
    EXPECT_TRUE(bar_.wait_for(true, WM_MOUSEWHEEL));
    EXPECT_TRUE(take_posted().empty());
}

} // namespace
