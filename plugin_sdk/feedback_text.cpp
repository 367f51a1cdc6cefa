#include "plugin_sdk/feedback_text.h"

#include "winui/inert_text.h"

namespace {

// Appends to a fixed buffer and drops what does not fit.
class bounded_text {
public:
    bounded_text(wchar_t* out, size_t capacity) noexcept
        : out_(out), capacity_(out ? capacity : 0) {
        if (capacity_) out_[0] = L'\0';
    }
    void append(const wchar_t* text, size_t limit = SIZE_MAX) noexcept {
        if (!text) return;
        for (size_t i = 0; i < limit && text[i] && length_ + 1 < capacity_; ++i)
            out_[length_++] = text[i];
        if (capacity_) out_[length_] = L'\0';
    }
    // A line from outside, shown as it is and never read as markup.
    void append_inert(const wchar_t* text, size_t limit) noexcept {
        if (capacity_) length_ += copy_inert_text(out_ + length_, capacity_ - length_, text, limit);
    }
    size_t length() const noexcept { return length_; }

private:
    wchar_t* out_;
    size_t capacity_;
    size_t length_ = 0;
};

} // namespace

size_t make_tips_markup(wchar_t* out, size_t capacity,
                        std::initializer_list<feedback_line> lines) noexcept {
    bounded_text text(out, capacity);
    // Each block's field ends its own line: the blocks follow each other.
    for (const feedback_line& line : lines) {
        text.append(L"&{M0,");
        text.append_inert(line.text, line.precision);
        text.append(L"\n}");
    }
    return text.length();
}

size_t make_balloon_text(wchar_t* out, size_t capacity,
                         std::initializer_list<feedback_line> lines) noexcept {
    bounded_text text(out, capacity);
    for (const feedback_line& line : lines) {
        text.append_inert(line.text, line.precision);
        text.append(L"\n");
    }
    return text.length();
}
