// Ctipswnd on a real window of its own: showing, placing, hiding, clicks
// turned into posted commands, and tips requests whose pointer is garbage.

#include "main/commands.h"
#include "main/tipswnd.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr wchar_t test_class[] = L"Quellbar_TipsTest";

class tips_window_test : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = test_class;
        RegisterClassExW(&wc);
        layered_ = GetParam();
        config_.layer_window = layered_;
        config_.tips_timer = 3000;
        const DWORD ex_style = WS_EX_TOOLWINDOW | (layered_ ? WS_EX_LAYERED : 0);
        window_.reset(CreateWindowExW(ex_style, test_class, L"Quellbar", WS_POPUP, CW_USEDEFAULT,
                                      CW_USEDEFAULT, 0, 0, nullptr, nullptr,
                                      GetModuleHandleW(nullptr), nullptr));
        ASSERT_TRUE(window_);
        tips_.set_layered(layered_);
        tips_.init(window_.get(), config_, 255, config_.background_color);
    }
    void TearDown() override {
        tips_.hide();
        window_.reset();
        drain();
    }

    // Takes every message posted to the window so far.
    std::vector<MSG> drain() {
        std::vector<MSG> got;
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            // Painting stays queued until the window is validated.
            if (m.message == WM_PAINT)
                DispatchMessageW(&m);
            else
                got.push_back(m);
        }
        return got;
    }
    std::vector<MSG> posted_commands() {
        std::vector<MSG> commands;
        for (const MSG& m : drain())
            if (m.message == WM_COMMAND) commands.push_back(m);
        return commands;
    }
    bool request(const wchar_t* text, uint32_t ms = 3000) {
        return tips_.handle_message(window_.get(), ZUVOMSG_TIPS, reinterpret_cast<WPARAM>(text),
                                    ms);
    }
    bool click(UINT message, int32_t x, int32_t y, WPARAM keys = 0) {
        return tips_.handle_message(window_.get(), message, keys, MAKELPARAM(x, y));
    }
    // The next timer of the window to fire within 3 s (killed: every timer
    // of the program is a one-shot command), or a message of 0.
    MSG next_timer() {
        const DWORD until = GetTickCount() + 3000;
        MSG m{};
        while (GetTickCount() < until) {
            if (PeekMessageW(&m, window_.get(), WM_TIMER, WM_TIMER, PM_REMOVE)) {
                KillTimer(window_.get(), m.wParam);
                return m;
            }
            Sleep(5);
        }
        return MSG{};
    }

    Cconfig config_;
    bool layered_ = false;
    unique_hwnd window_;
    Ctipswnd tips_;
};

TEST_P(tips_window_test, request_shows_topmost_without_activation_at_the_computed_place) {
    HWND before = GetForegroundWindow();
    EXPECT_TRUE(request(L"&{H-1V-1}Speakers &{P8,50,00010520} 50%"));
    EXPECT_TRUE(IsWindowVisible(window_.get()));
    EXPECT_NE(GetWindowLongW(window_.get(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_EQ(GetForegroundWindow(), before);
    RECT r{};
    GetWindowRect(window_.get(), &r);
    const tips_layout& layout = tips_.layout();
    int32_t screen_width = 0;
    int32_t screen_height = 0;
    tips_screen_size(screen_width, screen_height);
    EXPECT_EQ(r.right - r.left, layout.box_width);
    EXPECT_EQ(r.bottom - r.top, layout.box_height);
    // One percent from the right and bottom edges.
    EXPECT_EQ(r.left, screen_width - screen_width / 100 - layout.box_width);
    EXPECT_EQ(r.top, screen_height - screen_height / 100 - layout.box_height);
    EXPECT_EQ(layout.region_count, 1u);
}

TEST_P(tips_window_test, hides_when_its_timer_fires) {
    EXPECT_TRUE(request(L"Speakers 50%", 50));
    ASSERT_TRUE(IsWindowVisible(window_.get()));
    // The hide command arrives as a timer with its own identifier.
    ASSERT_EQ(next_timer().wParam, CMD_TIPS_HIDE);
    tips_.hide();
    EXPECT_FALSE(IsWindowVisible(window_.get()));
    EXPECT_EQ(tips_.layout().region_count, 0u);
}

TEST_P(tips_window_test, garbage_pointers_are_ignored) {
    // Memory that is reserved but never readable, a freed page, and numbers.
    void* reserved = VirtualAlloc(nullptr, 65536, MEM_RESERVE, PAGE_NOACCESS);
    ASSERT_NE(reserved, nullptr);
    void* freed = VirtualAlloc(nullptr, 4096, MEM_COMMIT, PAGE_READWRITE);
    ASSERT_NE(freed, nullptr);
    VirtualFree(freed, 0, MEM_RELEASE);
    for (const void* p :
         {static_cast<const void*>(nullptr), reinterpret_cast<const void*>(1),
          reinterpret_cast<const void*>(0xDEADBEEF), static_cast<const void*>(reserved),
          static_cast<const void*>(freed), reinterpret_cast<const void*>(~uintptr_t{0} - 8)}) {
        EXPECT_TRUE(request(static_cast<const wchar_t*>(p))) << p;
        EXPECT_FALSE(IsWindowVisible(window_.get())) << p;
    }
    VirtualFree(reserved, 0, MEM_RELEASE);

    // A text that runs into unreadable memory without its terminator.
    auto* page = static_cast<wchar_t*>(VirtualAlloc(nullptr, 8192, MEM_RESERVE, PAGE_NOACCESS));
    ASSERT_NE(page, nullptr);
    ASSERT_NE(VirtualAlloc(page, 4096, MEM_COMMIT, PAGE_READWRITE), nullptr);
    for (size_t i = 0; i < 2048; ++i) page[i] = L'x';
    wchar_t probe = 0;
    SIZE_T got = 0;
    const bool reserved_reads =
        ReadProcessMemory(GetCurrentProcess(), page + 2048, &probe, sizeof probe, &got);
    if (!reserved_reads) {
        EXPECT_TRUE(request(page + 2048 - 10));
        EXPECT_FALSE(IsWindowVisible(window_.get()));
    }
    // The same memory with a terminator is shown.
    page[2047] = L'\0';
    EXPECT_TRUE(request(page + 2048 - 10));
    EXPECT_TRUE(IsWindowVisible(window_.get()));
    VirtualFree(page, 0, MEM_RELEASE);
    if (reserved_reads)
        GTEST_SKIP() << "reserved pages read as zeros here (Wine): no unterminated case";
}

TEST_P(tips_window_test, an_empty_text_hides) {
    EXPECT_TRUE(request(L"abc"));
    ASSERT_TRUE(IsWindowVisible(window_.get()));
    EXPECT_TRUE(request(L""));
    EXPECT_FALSE(IsWindowVisible(window_.get()));
}

TEST_P(tips_window_test, slider_clicks_and_drags_post_volume_commands) {
    ASSERT_TRUE(request(L"&{P4,50,00010523}"));
    drain();
    ASSERT_EQ(tips_.layout().region_count, 1u);
    const tips_rect s = tips_.layout().regions[0].rect;
    const int32_t y = (s.top + s.bottom) / 2;
    EXPECT_TRUE(click(WM_LBUTTONDOWN, s.left, y));
    EXPECT_TRUE(click(WM_LBUTTONDOWN, s.left - 1, y));
    EXPECT_TRUE(click(WM_MOUSEMOVE, s.right - 1, y, MK_LBUTTON));
    // Moving without the button, or outside, does nothing.
    EXPECT_FALSE(click(WM_MOUSEMOVE, s.left + 5, y));
    EXPECT_FALSE(click(WM_LBUTTONDOWN, s.right + 10, y));
    const std::vector<MSG> commands = posted_commands();
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_EQ(commands[0].wParam, 0x00010523u);
    EXPECT_EQ(commands[0].lParam, 1);
    EXPECT_EQ(commands[1].lParam, 0);
    EXPECT_EQ(commands[2].lParam, 100);
}

TEST_P(tips_window_test, buttons_answer_only_the_button_going_down) {
    ASSERT_TRUE(request(L"Speakers &{E00020520L0,[Active]"));
    drain();
    ASSERT_EQ(tips_.layout().region_count, 1u);
    const tips_rect b = tips_.layout().regions[0].rect;
    EXPECT_FALSE(click(WM_MOUSEMOVE, b.left + 2, b.top + 2, MK_LBUTTON));
    EXPECT_TRUE(click(WM_LBUTTONDOWN, b.left + 2, b.top + 2));
    const std::vector<MSG> commands = posted_commands();
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].wParam, 0x00020520u);
    EXPECT_EQ(commands[0].lParam, 0);
    // After hiding, nothing is clickable.
    tips_.hide();
    EXPECT_FALSE(click(WM_LBUTTONDOWN, b.left + 2, b.top + 2));
}

TEST_P(tips_window_test, painting_is_handled_only_when_not_layered) {
    ASSERT_TRUE(request(L"abc"));
    EXPECT_EQ(tips_.handle_message(window_.get(), WM_PAINT, 0, 0), !layered_);
}

// What drawing needs stays from one request to the next, hidden or not,
// and goes with the program's other idle resources, whose timer every
// request starts (a plug-in's too). A box shown without layering is painted
// from and stays until it is hidden.
TEST_P(tips_window_test, drawing_is_kept_until_idle) {
    config_.release_idle_delay = 50;
    ASSERT_TRUE(request(L"Speakers &{P8,50,00010520} 50%", 60000));
    const tips_layout& layout = tips_.layout();
    const size_t held = tips_.held_bytes();
    EXPECT_GE(held, static_cast<size_t>(layout.box_width) * layout.box_height * (layered_ ? 5 : 4));
    tips_.hide();
    EXPECT_EQ(tips_.held_bytes(), held) << "kept while hidden";
    ASSERT_TRUE(request(L"Speakers &{P8,49,00010520} 49%", 60000));
    EXPECT_EQ(tips_.held_bytes(), held) << "reused for a box that fits";
    ASSERT_EQ(next_timer().wParam, CMD_RELEASE_IDLE);
    tips_.release_idle();
    EXPECT_EQ(tips_.held_bytes(), layered_ ? 0 : held);
    EXPECT_EQ(tips_.layout().region_count, 1u) << "still clickable";
    tips_.hide();
    EXPECT_EQ(tips_.held_bytes(), 0u);
    // Idle while hidden frees everything at once.
    ASSERT_TRUE(request(L"abc", 60000));
    tips_.hide();
    tips_.release_idle();
    EXPECT_EQ(tips_.held_bytes(), 0u);
}

TEST_P(tips_window_test, delayed_command_starts_a_timer_with_its_identifier) {
    const WPARAM command = make_command(CMD_CONTROL + 2, CONTROL_TOGGLE_MUTE);
    EXPECT_TRUE(tips_.handle_message(window_.get(), ZUVOMSG_DELAYED, command, 10));
    EXPECT_EQ(next_timer().wParam, command);
    EXPECT_FALSE(tips_.handle_message(window_.get(), WM_KEYDOWN, 0, 0));
}

INSTANTIATE_TEST_SUITE_P(windows, tips_window_test, ::testing::Values(true, false),
                         [](const auto& test) { return test.param ? "layered" : "opaque"; });

} // namespace
