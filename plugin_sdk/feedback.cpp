#include "plugin_sdk/feedback.h"

void plugin_feedback::create(bool tips, bool balloon, const wchar_t* caption) noexcept {
    if (tips) has_tips_ = true;
    if (balloon) has_balloon_ = true;
    balloon_.caption = caption ? caption : L"";
}

void plugin_feedback::show(HWND main_window, uint32_t display_ms,
                           std::initializer_list<feedback_line> lines) noexcept {
    if (has_tips_) {
        make_tips_markup(tips_, capacity, lines);
        post_tips(main_window, display_ms);
    }
    if (has_balloon_) {
        make_balloon_text(balloon_text_, capacity, lines);
        post_balloon(main_window, display_ms);
    }
}

void plugin_feedback::post_tips(HWND main_window, uint32_t display_ms) noexcept {
    if (!has_tips_) return;
    tips_[capacity - 1] = L'\0';
    PostMessageW(main_window, ZUVOMSG_TIPS, reinterpret_cast<WPARAM>(tips_),
                 static_cast<LPARAM>(display_ms));
}

void plugin_feedback::post_balloon(HWND main_window, uint32_t display_ms) noexcept {
    if (!has_balloon_) return;
    balloon_text_[capacity - 1] = L'\0';
    balloon_.text = balloon_text_;
    balloon_.icon_type = 1; // NIIF_INFO
    balloon_.display_time = display_ms;
    if (!balloon_.caption) balloon_.caption = L"";
    PostMessageW(main_window, ZUVOMSG_BALLOON, reinterpret_cast<WPARAM>(&balloon_), 0);
}
