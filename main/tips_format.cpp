#include "main/tips_format.h"

#include "confctl/ini_values.h"
#include "winui/inert_text.h"

// Escapes of a format line:
//   %%      "%"
//   %l      the control's name, made inert: a caption or a device's line
//           name is shown, never read as markup
//   %v      its volume in decimal
//   %s      its state word: err_text, idle_text, mute_text or norm_text
//   %c<x>   a colour command for a block: "C2" (the mute colour) when x is
//           "s" and the control is unusable, idle, muted, or at volume 0 with
//           TipsVol0OnMute; otherwise "C#rrggbb" of its own colour or the
//           text colour. x is consumed in every case.
//   %ev     8 hex digits of the command that sets this control's volume
//   %em     8 hex digits of the command that toggles its mute
//   %e<x>, %<x>  nothing
// An escape cut off by the end of the format writes nothing.

namespace {

constexpr uint32_t control_command = 0x0520;
constexpr uint32_t set_volume_flag = 0x00010000;
constexpr uint32_t toggle_mute_flag = 0x00020000;

// Appends to a bounded buffer; everything past capacity - 1 is dropped.
class bounded_writer {
public:
    bounded_writer(wchar_t* out, size_t capacity, size_t length) noexcept
        : out_(out), capacity_(capacity), length_(length < capacity ? length : capacity - 1) {
        out_[length_] = L'\0';
    }

    void put(wchar_t c) noexcept {
        if (length_ + 1 >= capacity_) return;
        out_[length_++] = c;
        out_[length_] = L'\0';
    }
    void put(std::wstring_view text) noexcept {
        for (wchar_t c : text) put(c);
    }
    // Text from outside: shown, never read as markup.
    void put_inert(const wchar_t* text) noexcept {
        length_ += copy_inert_text(out_ + length_, capacity_ - length_, text);
    }
    void put_decimal(int32_t value) noexcept {
        wchar_t digits[12];
        size_t n = 0;
        // Through 64 bits, so that the most negative value has a magnitude.
        int64_t v = value;
        const bool negative = v < 0;
        if (negative) v = -v;
        do {
            digits[n++] = static_cast<wchar_t>(L'0' + v % 10);
            v /= 10;
        } while (v != 0);
        if (negative) put(L'-');
        while (n > 0) put(digits[--n]);
    }
    void put_hex(uint32_t value, int digits) noexcept {
        static constexpr wchar_t hex[] = L"0123456789abcdef";
        for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) put(hex[(value >> shift) & 0xF]);
    }
    size_t length() const noexcept { return length_; }

private:
    wchar_t* out_;
    size_t capacity_;
    size_t length_;
};

size_t text_length(const wchar_t* text, size_t capacity) noexcept {
    size_t n = 0;
    while (n < capacity && text[n] != L'\0') ++n;
    return n;
}

template <size_t N> std::wstring_view view_of(const wchar_t (&text)[N]) noexcept {
    return std::wstring_view(text, text_length(text, N));
}

const wchar_t* state_word(const tips_format& format, const tips_line_info& info) noexcept {
    if (!info.usable) return format.err_text;
    if (info.idle) return format.idle_text;
    if (info.muted) return format.mute_text;
    return format.norm_text;
}

} // namespace

void unescape_format_text(wchar_t* text) noexcept {
    if (!text) return;
    wchar_t* out = text;
    for (const wchar_t* in = text; *in != L'\0'; ++in) {
        if (*in != L'\\') {
            *out++ = *in;
            continue;
        }
        const wchar_t next = in[1];
        if (next == L'\0') break; // a lone backslash at the end stands for nothing
        ++in;
        if (next == L'0') break;
        *out++ = next == L'n' ? L'\n' : next == L'r' ? L'\r' : next == L't' ? L'\t' : next;
    }
    *out = L'\0';
}

void finish_tips_format(tips_format& format) noexcept {
    format.head[tips_format::format_capacity - 1] = L'\0';
    format.line[tips_format::format_capacity - 1] = L'\0';
    format.line2[tips_format::format_capacity - 1] = L'\0';
    unescape_format_text(format.head);
    unescape_format_text(format.line);
    unescape_format_text(format.line2);
    if (format.multiline > tips_multiline_max) format.multiline = tips_multiline_max;
    // A negative count lists nothing beyond the current control.
    if (format.multiline < 0) format.multiline = 0;
    format.valid = format.line[0] != L'\0';
}

size_t expand_tips_line(std::wstring_view line_format, size_t slot, const tips_line_info& info,
                        const tips_format& format, uint32_t text_color, bool vol0_on_mute,
                        wchar_t* out, size_t capacity, size_t length) noexcept {
    if (!out || capacity == 0) return 0;
    bounded_writer w(out, capacity, length);
    const size_t n = line_format.size();
    for (size_t i = 0; i < n; ++i) {
        const wchar_t c = line_format[i];
        if (c != L'%') {
            w.put(c);
            continue;
        }
        if (++i >= n) break;
        switch (line_format[i]) {
        case L'%':
            w.put(L'%');
            break;
        case L'l':
            w.put_inert(info.name);
            break;
        case L'v':
            w.put_decimal(info.volume);
            break;
        case L's':
            w.put(std::wstring_view(
                state_word(format, info),
                text_length(state_word(format, info), tips_format::word_capacity)));
            break;
        case L'c': {
            if (++i >= n) break;
            const bool mute_colour =
                line_format[i] == L's' &&
                (!info.usable || info.idle || info.muted || (info.volume == 0 && vol0_on_mute));
            if (mute_colour) {
                w.put(L"C2");
                break;
            }
            const uint32_t colorref = info.has_color ? info.color : text_color;
            // COLORREF is 0x00bbggrr; the markup wants rrggbb.
            const uint32_t rgb = ini_values::swap_red_blue(colorref);
            w.put(L"C#");
            w.put_hex(rgb, 6);
            break;
        }
        case L'e': {
            if (++i >= n) break;
            const uint32_t command = control_command + static_cast<uint32_t>(slot);
            if (line_format[i] == L'v') w.put_hex(set_volume_flag + command, 8);
            if (line_format[i] == L'm') w.put_hex(toggle_mute_flag + command, 8);
            break;
        }
        default:
            break;
        }
    }
    return w.length();
}

size_t build_tips_text_from(const tips_format& format, size_t current,
                            const tips_line_source& source, uint32_t text_color, bool vol0_on_mute,
                            wchar_t* out, size_t capacity) noexcept {
    if (!out || capacity == 0) return 0;
    out[0] = L'\0';
    if (!format.valid) return 0;

    bounded_writer head(out, capacity, 0);
    const std::wstring_view head_format = view_of(format.head);
    for (size_t i = 0; i < head_format.size(); ++i) {
        if (head_format[i] == L'%' && i + 1 < head_format.size() && head_format[i + 1] == L'%') ++i;
        head.put(head_format[i]);
    }
    size_t length = head.length();
    bool added = false;

    auto add_line = [&](size_t slot) noexcept {
        tips_line_info info;
        if (!source || !source(slot, info)) return;
        if (added)
            length = expand_tips_line(L"\n", slot, info, format, text_color, vol0_on_mute, out,
                                      capacity, length);
        const std::wstring_view line =
            slot == current ? view_of(format.line) : view_of(format.line2);
        length = expand_tips_line(line, slot, info, format, text_color, vol0_on_mute, out, capacity,
                                  length);
        added = true;
    };

    const auto count = static_cast<size_t>(format.multiline < 0 ? 0 : format.multiline);
    if (current >= count) add_line(current);
    for (size_t slot = 0; slot < count; ++slot) add_line(slot);
    return length;
}
