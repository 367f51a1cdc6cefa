#include "setup/list_logic.h"

namespace {

// Appends into a fixed buffer, always terminated; remembers whether
// anything had to be cut.
class text_builder {
public:
    text_builder(wchar_t* text, size_t capacity) noexcept : text_(text), capacity_(capacity) {
        if (text_ && capacity_ > 0) text_[0] = L'\0';
    }

    void append(const wchar_t* part) noexcept {
        if (!part) return;
        for (; *part; ++part) put(*part);
    }

    void append_number(uint32_t value, size_t min_digits = 1) noexcept {
        wchar_t digits[10];
        size_t count = 0;
        do {
            digits[count++] = static_cast<wchar_t>(L'0' + value % 10);
            value /= 10;
        } while (value != 0);
        for (; min_digits > count; --min_digits) put(L'0');
        while (count > 0) put(digits[--count]);
    }

    void append_hex4(uint16_t value) noexcept {
        static const wchar_t hex[] = L"0123456789abcdef";
        for (int shift = 12; shift >= 0; shift -= 4) put(hex[(value >> shift) & 0xFu]);
    }

    bool cut() const noexcept { return cut_; }

private:
    void put(wchar_t c) noexcept {
        if (!text_ || length_ + 1 >= capacity_) {
            cut_ = true;
            return;
        }
        text_[length_++] = c;
        text_[length_] = L'\0';
    }

    wchar_t* text_;
    size_t capacity_;
    size_t length_ = 0;
    bool cut_ = false;
};

} // namespace

std::optional<size_t> slot_swap_partner(size_t current, slot_move direction,
                                        size_t count) noexcept {
    if (current >= count) return std::nullopt;
    if (direction == slot_move::up) {
        if (current == 0) return std::nullopt;
        return current - 1;
    }
    if (current + 1 >= count) return std::nullopt;
    return current + 1;
}

void format_slot_text(size_t slot, const wchar_t* caption, wchar_t* text,
                      size_t capacity) noexcept {
    text_builder out(text, capacity);
    out.append_number(static_cast<uint32_t>(slot), 2);
    out.append(L": ");
    out.append(caption);
}

void caption_after_selection(const wchar_t* proposed, const wchar_t* previous,
                             const wchar_t* device, wchar_t* caption, size_t capacity) noexcept {
    text_builder out(caption, capacity);
    if (proposed && proposed[0]) {
        out.append(proposed);
    } else if (previous && previous[0]) {
        out.append(previous);
    } else {
        // "#" shows the control's own name; the device's tells the user which.
        out.append(L"#");
        out.append(device);
    }
}

void format_file_version(uint32_t version_ms, uint32_t version_ls, wchar_t* text,
                         size_t capacity) noexcept {
    text_builder out(text, capacity);
    out.append_number(version_ms >> 16);
    out.append(L".");
    out.append_number(version_ms & 0xFFFFu);
    out.append(L".");
    out.append_number(version_ls >> 16);
}

void format_plugin_info(const wchar_t* description, const wchar_t* version,
                        const wchar_t* copyright, wchar_t* text, size_t capacity) noexcept {
    text_builder out(text, capacity);
    out.append(description);
    out.append(L" ver.");
    out.append(version);
    out.append(L"\r\n");
    out.append(copyright);
}

void format_version_string_key(uint16_t language, uint16_t code_page, const wchar_t* name,
                               wchar_t* key, size_t capacity) noexcept {
    text_builder out(key, capacity);
    out.append(L"\\StringFileInfo\\");
    out.append_hex4(language);
    out.append_hex4(code_page);
    out.append(L"\\");
    out.append(name);
}

bool join_plugin_path(const wchar_t* folder, const wchar_t* file_name, wchar_t* path,
                      size_t capacity) noexcept {
    if (!path || capacity == 0) return false;
    text_builder out(path, capacity);
    size_t length = 0;
    if (folder)
        while (folder[length]) ++length;
    if (length == 0 || !file_name || !file_name[0]) return false;
    out.append(folder);
    if (folder[length - 1] != L'\\' && folder[length - 1] != L'/') out.append(L"\\");
    out.append(file_name);
    if (out.cut()) {
        path[0] = L'\0';
        return false;
    }
    return true;
}
