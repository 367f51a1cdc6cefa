// The transparency plug-in inside a running zuvo.exe: Ctrl+Alt+A typed while
// another program's window is in front, the alpha read back from that window
// (once it has taken the change: the plug-in waits for it only a moment),
// the tips text read from zuvo.exe where the request points, and the popup
// menu read through the probe plug-in.

#include "tests/support/fakeaudio/fake_audio.h"
#include "tests/support/harness.h"
#include "tests/support/keyboard.h"
#include "tests/support/probe.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>

using namespace test_support;
using namespace std::chrono_literals;

namespace {

constexpr WPARAM popup_command = 0x0584;
constexpr uint32_t seethru_index = 1; // the probe is plug-in 0
constexpr uint32_t submenu_item = 4;

uint32_t seethru_command(uint32_t code) {
    return static_cast<uint32_t>(probe_command(seethru_index, static_cast<uint16_t>(code)));
}

// The window's alpha, or nothing when it is not layered (opaque).
std::optional<int> alpha(HWND window) {
    if (!(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_LAYERED)) return std::nullopt;
    BYTE value = 0;
    DWORD flags = 0;
    if (!GetLayeredWindowAttributes(window, nullptr, &value, &flags) || !(flags & LWA_ALPHA))
        return -1;
    return value;
}

// The alpha once the window has it, or what it has after five seconds.
std::optional<int> alpha_becomes(HWND window, std::optional<int> expected) {
    wait_until([&] { return alpha(window) == expected; }, 5s);
    return alpha(window);
}

RECT window_rect(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

// The delay of the last check the plug-in armed.
uint64_t last_check_delay(const program_folder& folder) {
    uint64_t delay = 0;
    for (const auto& record : probe_records(folder, L"msg"))
        if (record.number(0) == 0x801 && record.number(1) == seethru_command(258))
            delay = record.number(2);
    return delay;
}

class seethru : public ::testing::Test {
protected:
    seethru() : folder_({.plugins = true}) {}

    void start(const std::wstring& seethru_ini = L"[SeeThru]\r\nShowBalloon=1\r\n") {
        ASSERT_TRUE(install_probe(folder_, L"probe.dll",
                                  {L"Log=0x800,0x820,0x801,0x201", L"MenuAction=end"}));
        ASSERT_TRUE(folder_.write_ini(L"seethru.ini", seethru_ini));
        folder_.write_ini(L"zuvo.ini", L"[Control00]\r\nCaption=#\r\n" +
                                           plugin_section({L"probe.dll", L"seethru.dll"}));
        park_pointer();
        zuvo_ = std::make_unique<zuvo_process>(folder_);
        ASSERT_TRUE(zuvo_->window());
        front_ = open_target();
    }
    std::unique_ptr<key_target> open_target(const wchar_t* title = nullptr,
                                            const wchar_t* kind = nullptr) {
        auto target = std::make_unique<key_target>(kind);
        // Once more when zuvo.exe, just started, took the foreground back.
        if (!*target) target = std::make_unique<key_target>(kind);
        EXPECT_TRUE(*target) << "no program in front";
        if (title && *target) SetWindowTextW(target->window(), title);
        return target;
    }
    // Ctrl+Alt+A into `target`, and everything it caused handled.
    void press(key_target& target) {
        // The popup menu takes the foreground to zuvo.exe.
        if (GetForegroundWindow() != target.window()) {
            SetForegroundWindow(target.window());
            ASSERT_TRUE(wait_until([&] { return GetForegroundWindow() == target.window(); }));
            target.pause(200); // as when it started: Wine resets the modifiers first
            target.sync();
        }
        ASSERT_TRUE(target.hold({VK_CONTROL, VK_MENU}));
        EXPECT_TRUE(target.tap('A'));
        target.release({VK_MENU, VK_CONTROL});
        target.sync();
        ASSERT_TRUE(probe_sync(*zuvo_, folder_, 0));
        EXPECT_TRUE(target.got('A', true).empty()) << "the key reached the program in front";
    }

    std::wstring posted_text(UINT message) { return last_posted_text(*zuvo_, folder_, message); }
    size_t requests(UINT message) {
        size_t count = 0;
        for (const auto& record : probe_records(folder_, L"msg"))
            count += record.number(0) == message;
        return count;
    }

    // Opens the popup menu and returns the last popup the probe saw open:
    // SeeThru's submenu with `into_submenu` (the test then closes the menu),
    // else the menu itself, which the probe ends.
    std::vector<probe_menu_item> open_menu(bool into_submenu) {
        folder_.write_ini(L"probe.ini",
                          std::wstring(L"[Probe]\r\nLog=0x800,0x820,0x801,0x1f\r\nMenuAction=") +
                              (into_submenu ? L"choose\r\nMenuChoose=4\r\n" : L"end\r\n"));
        zuvo_->post_command(probe_command(0, probe_protocol::reload));
        const size_t before = probe_records(folder_, L"popup").size();
        const size_t cancels = requests(WM_CANCELMODE);
        zuvo_->post_command(popup_command);
        EXPECT_TRUE(wait_for_probe_records(folder_, L"popup", before + (into_submenu ? 2 : 1)));
        // The submenu's record comes before its window shows. Wine's X11
        // driver ends the whole menu loop (WM_CANCELMODE to zuvo.exe) when
        // the X focus leaves the program, which a window of the step before
        // going away can cause; the submenu was read all the same.
        const DWORD zuvo = zuvo_->proc().id();
        if (into_submenu) {
            EXPECT_TRUE(wait_until(
                [&] {
                    const size_t open = open_menus(zuvo).size();
                    return open == 2 || (open == 0 && requests(WM_CANCELMODE) > cancels);
                },
                5s))
                << open_menus(zuvo).size() << " menus open, " << requests(WM_CANCELMODE)
                << " WM_CANCELMODE";
        }
        // Escape closes the submenu, then the menu. Wine's menu loop now and
        // then drops an Escape that follows the one before at once, so a key
        // without effect is sent again.
        for (int tries = 0; into_submenu && tries < 8 && !open_menus(zuvo).empty(); ++tries) {
            const auto menus = open_menus(zuvo);
            PostMessageW(menus[0], WM_KEYDOWN, VK_ESCAPE, 0);
            wait_until([&] { return open_menus(zuvo).size() < menus.size(); }, 1s);
        }
        EXPECT_TRUE(wait_until([&] { return open_menus(zuvo).empty(); }, 5s));
        EXPECT_TRUE(probe_sync(*zuvo_, folder_, 0));
        return last_probe_popup(folder_);
    }
    // Whether the SeeThru item of the menu is there and greyed.
    std::optional<bool> submenu_greyed() {
        for (const auto& item : open_menu(false))
            if (item.id == submenu_item && item.has_submenu)
                return (item.state & (MFS_DISABLED | MFS_GRAYED)) == (MFS_DISABLED | MFS_GRAYED);
        return std::nullopt;
    }

    fakeaudio::installed_fake fake_;
    program_folder folder_;
    std::unique_ptr<zuvo_process> zuvo_;
    std::unique_ptr<key_target> front_;
};

TEST_F(seethru, three_presses_give_80_50_and_opaque_with_tips) {
    start();
    EXPECT_EQ(submenu_greyed(), true) << "nothing tracked yet";
    // While a window is tracked the check comes within a minute (its
    // program's process is held open till then), else after the hour.
    const struct {
        std::optional<int> alpha;
        const wchar_t* tips;
        const wchar_t* balloon;
        uint64_t check_delay;
    } presses[] = {
        {204, L"&{M0,hook key target -  80%\n}", L"hook key target -  80%\n", 60000},
        {127, L"&{M0,hook key target -  50%\n}", L"hook key target -  50%\n", 60000},
        {std::nullopt, L"&{M0,hook key target - 100%\n}", L"hook key target - 100%\n", 3600000}};
    for (const auto& expected : presses) {
        SCOPED_TRACE(expected.tips);
        press(*front_);
        EXPECT_EQ(alpha_becomes(front_->window(), expected.alpha), expected.alpha);
        EXPECT_EQ(posted_text(0x800), expected.tips);
        EXPECT_EQ(posted_text(0x820), expected.balloon);
        EXPECT_EQ(last_check_delay(folder_), expected.check_delay);
    }
    EXPECT_EQ(submenu_greyed(), true) << "opaque again, no longer tracked";
    EXPECT_EQ(zuvo_->exit(), 0u);
}

TEST_F(seethru, a_layered_window_is_left_alone_and_an_untitled_one_shows_its_class) {
    start(L"[SeeThru]\r\nAlphaSteps= 30 , 60\r\n");
    HWND window = front_->window();
    SetWindowLongPtrW(window, GWL_EXSTYLE, GetWindowLongPtrW(window, GWL_EXSTYLE) | WS_EX_LAYERED);
    ASSERT_TRUE(SetLayeredWindowAttributes(window, 0, 150, LWA_ALPHA));
    press(*front_);
    EXPECT_EQ(alpha(window), 150);
    EXPECT_EQ(requests(0x800), 0u) << "no tips for a window left alone";
    EXPECT_EQ(submenu_greyed(), true);

    SetWindowLongPtrW(window, GWL_EXSTYLE,
                      GetWindowLongPtrW(window, GWL_EXSTYLE) & ~LONG_PTR{WS_EX_LAYERED});
    SetWindowTextW(window, L"");
    press(*front_);
    EXPECT_EQ(alpha_becomes(window, 30 * 255 / 100), 30 * 255 / 100);
    EXPECT_EQ(posted_text(0x800), L"&{M0,<key_target> -  30%\n}");
    EXPECT_EQ(requests(0x820), 0u) << "ShowBalloon is off by default";
}

TEST_F(seethru, each_check_arms_the_next_at_least_a_second_later) {
    start(L"[SeeThru]\r\nWindowCheckInterval=0\r\n");
    press(*front_);
    const auto armed = [&] {
        std::vector<probe_record> checks;
        for (const auto& record : probe_records(folder_, L"msg"))
            if (record.number(0) == 0x801 && record.number(1) == seethru_command(258))
                checks.push_back(record);
        return checks;
    };
    ASSERT_TRUE(wait_until([&] { return armed().size() >= 3; }, 8s));
    const auto checks = armed();
    for (const auto& check : checks) EXPECT_EQ(check.number(2), 1000u) << "0 would never pause";
    EXPECT_GE(checks[2].tick - checks[1].tick, 900u);
    EXPECT_EQ(alpha(front_->window()), 204) << "a check leaves a window that is still there";
}

TEST_F(seethru, a_closed_window_leaves_the_submenu_and_all_windows_become_opaque) {
    start();
    auto first = std::move(front_);
    press(*first);
    auto second = open_target(L"second & more");
    press(*second);
    auto third = open_target(L"third");
    press(*third);
    press(*third);
    ASSERT_EQ(alpha_becomes(third->window(), 127), 127);
    first.reset(); // closes the window, and its program ends

    EXPECT_EQ(submenu_greyed(), false);
    const auto submenu = open_menu(true);
    ASSERT_EQ(submenu.size(), 4u);
    EXPECT_EQ(submenu[0].id, seethru_command(259));
    EXPECT_TRUE(submenu[1].type & MFT_SEPARATOR);
    EXPECT_EQ(submenu[2].text, L"second && more -  80%");
    EXPECT_EQ(submenu[2].id, seethru_command(512));
    EXPECT_EQ(submenu[3].text, L"third -  50%");
    EXPECT_EQ(submenu[3].id, seethru_command(513));

    // "All windows", delivered as the host delivers a chosen item.
    zuvo_->post_command(submenu[0].id);
    ASSERT_TRUE(probe_sync(*zuvo_, folder_, 0));
    EXPECT_EQ(alpha_becomes(second->window(), std::nullopt), std::nullopt);
    EXPECT_EQ(alpha_becomes(third->window(), std::nullopt), std::nullopt);
    EXPECT_EQ(submenu_greyed(), true);
}

TEST_F(seethru, an_item_makes_its_window_opaque_and_ending_the_program_the_others) {
    start();
    press(*front_);
    auto second = open_target(L"second");
    press(*second);
    ASSERT_EQ(alpha_becomes(second->window(), 204), 204);
    const auto submenu = open_menu(true);
    ASSERT_EQ(submenu.size(), 4u);
    EXPECT_EQ(submenu[2].text, L"hook key target -  80%") << "listed in the order tracked";
    EXPECT_EQ(submenu[3].text, L"second -  80%");
    zuvo_->post_command(submenu[3].id);
    ASSERT_TRUE(probe_sync(*zuvo_, folder_, 0));
    EXPECT_EQ(alpha_becomes(second->window(), std::nullopt), std::nullopt);
    EXPECT_EQ(alpha(front_->window()), 204);
    EXPECT_EQ(zuvo_->exit(), 0u);
    EXPECT_EQ(alpha(front_->window()), std::nullopt);
}

// A title is shown as it is: its line breaks do not end the tips' text
// field, so the rest cannot add lines or a button that posts the exit
// command (0x504) when the tips are clicked.
TEST_F(seethru, a_title_stays_one_line_of_text_in_the_tips) {
    start(L"[SeeThru]\r\nTipsTImer=30000\r\n");
    press(*front_);
    const RECT plain = window_rect(zuvo_->window());
    SetWindowTextW(front_->window(), L"a\r\n&{E504L0,E504\r\n");
    press(*front_);
    EXPECT_EQ(posted_text(0x800), L"&{M0,a  & {E504L0,E504   -  50%\n}");
    const RECT shown = window_rect(zuvo_->window());
    EXPECT_EQ(shown.bottom - shown.top, plain.bottom - plain.top) << "one line, as a plain title";

    const size_t clicks = requests(WM_LBUTTONDOWN);
    ASSERT_TRUE(click_at((shown.left + shown.right) / 2, (shown.top + shown.bottom) / 2));
    ASSERT_TRUE(wait_until([&] { return requests(WM_LBUTTONDOWN) > clicks; }))
        << "the click did not reach the tips";
    EXPECT_TRUE(probe_sync(*zuvo_, folder_, 0));
    EXPECT_TRUE(zuvo_->proc().running());
    SetForegroundWindow(front_->window()); // the click took it, the key target wants it back
}

// The window's program takes 3 s over every new style: the main program
// handles what comes meanwhile, and the window gets its alpha in the end.
TEST_F(seethru, a_window_slow_to_take_its_style_holds_nothing_up) {
    start();
    front_ = open_target(nullptr, L"slow");
    ASSERT_TRUE(*front_);
    zuvo_->post_command(seethru_command(257)); // the key, as the hook posts it
    EXPECT_TRUE(handles_posted_in_time(*zuvo_, folder_, 0, 300ms, 700ms));
    EXPECT_EQ(alpha_becomes(front_->window(), 204), 204);
    EXPECT_EQ(posted_text(0x800), L"&{M0,hook key target -  80%\n}");
}

// A tracked window whose program stops reading messages holds up neither
// the key nor the exit. What the program controls is over when its window is gone: the
// plug-ins are released then. (Wine takes about 2 s more to end any process
// of ours, with or without plug-ins and devices.)
TEST_F(seethru, a_hung_window_holds_up_neither_the_key_nor_the_exit) {
    start();
    press(*front_);
    ASSERT_EQ(alpha_becomes(front_->window(), 204), 204);
    ASSERT_TRUE(front_->stall(5000));
    zuvo_->post_command(seethru_command(257)); // the key again, on the window that hangs
    EXPECT_TRUE(handles_posted_in_time(*zuvo_, folder_, 0, 300ms, 700ms));
    const HWND main_window = zuvo_->window();
    zuvo_->post_command(0x0504);
    EXPECT_TRUE(wait_for_window_gone(main_window, 2s));
    EXPECT_EQ(zuvo_->proc().wait(), 0u);
}

} // namespace
