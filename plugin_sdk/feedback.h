#pragma once
// Tips and balloon feedback of a plug-in. The requests are posted, so the
// host reads the texts later: the buffers live in the plug-in's state from
// its entry until its release, and a request never points anywhere else.

#include "plugin_sdk/feedback_text.h"
#include "plugin_sdk/zuvoplug.h"

class plugin_feedback {
public:
    static constexpr size_t capacity = ZUVOPLUG_TEXT_CAPACITY;

    plugin_feedback() = default;
    // Posted requests point into the object: it never moves.
    plugin_feedback(const plugin_feedback&) = delete;
    plugin_feedback& operator=(const plugin_feedback&) = delete;

    // At entry: a buffer exists only for the kinds switched on then, so a
    // kind switched on later stays off until the plug-in is loaded again.
    // `caption` (the plug-in's display name) must outlive this object.
    void create(bool tips, bool balloon, const wchar_t* caption) noexcept;

    bool has_tips() const noexcept { return has_tips_; }
    bool has_balloon() const noexcept { return has_balloon_; }

    // Each line as a tips block and as a balloon line, posted for each
    // buffer that exists. The caller checks its ShowTips and ShowBalloon
    // settings first: with both off nothing is to be shown.
    void show(HWND main_window, uint32_t display_ms,
              std::initializer_list<feedback_line> lines) noexcept;

    // For texts a plug-in formats itself: fill the buffer (capacity
    // characters), then post it. Null when that buffer does not exist.
    wchar_t* tips_buffer() noexcept { return has_tips_ ? tips_ : nullptr; }
    wchar_t* balloon_buffer() noexcept { return has_balloon_ ? balloon_text_ : nullptr; }
    void post_tips(HWND main_window, uint32_t display_ms) noexcept;
    void post_balloon(HWND main_window, uint32_t display_ms) noexcept;

private:
    bool has_tips_ = false;
    bool has_balloon_ = false;
    wchar_t tips_[capacity] = {};
    wchar_t balloon_text_[capacity] = {};
    zuvo_balloon balloon_{};
};
