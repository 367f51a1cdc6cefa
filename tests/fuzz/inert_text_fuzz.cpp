// libFuzzer target for texts from outside on their way into tips markup:
// any text, made inert as the programs make it, stands for a control's name
// in every shipped tips format (read from resource/resource.ini, relative to
// the current directory, as scripts/fuzz runs it) and for a window's title in
// the plug-ins' feedback blocks. Built natively by scripts/fuzz.
// The first byte chooses the cut (0: none), the rest is the text (UTF-16LE).
// Checks: the inert copy keeps to its cut and its buffer, holds no control
// character, no "&{" and no '&' at its end, is the text with only those
// changes and never ends inside a surrogate pair; and the laid-out tips hold
// exactly that copy where the name goes and no element the format did not
// have: the same texts, fills, fonts, colours, click regions, lines and
// placement as with a name that is a single plain character.

#include "main/tips_format.h"
#include "main/tips_markup.h"
#include "plugin_sdk/feedback_text.h"
#include "plugin_sdk/inert_text.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

// Stands for the name in the reference layout; the formats never use it.
constexpr wchar_t placeholder = 0xE000;
// Names and titles in the programs are at most this long.
constexpr size_t longest_name = 256;

bool is_control(wchar_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}
bool is_high(wchar_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool is_low(wchar_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Everything the layout did, in order, without where: positions follow
// from the widths of the texts, which differ.
struct drawn {
    char what;         // 'f' font, 'c' colour, 't' text, 'r' fill
    int64_t value;     // percent, colour, alignment or paint
    std::wstring text; // of 't'
    bool operator==(const drawn&) const = default;
};

class recording_canvas final : public tips_canvas {
public:
    void select_font(int32_t percent) override {
        line_ = percent >= 1 && percent <= 99 ? 16 * percent / 100 : 16;
        log_.push_back({'f', percent, {}});
    }
    int32_t line_height() override { return line_; }
    void measure(std::wstring_view text, int32_t& width, int32_t& height) override {
        width = static_cast<int32_t>(text.size()) * 7;
        height = text.empty() ? 0 : line_;
    }
    void set_text_color(uint32_t colorref) override { log_.push_back({'c', colorref, {}}); }
    void draw_text(const tips_rect&, std::wstring_view text, tips_align align) override {
        log_.push_back({'t', static_cast<int64_t>(align), std::wstring(text)});
    }
    void fill(const tips_rect&, tips_paint paint) override {
        log_.push_back({'r', static_cast<int64_t>(paint), {}});
    }
    std::vector<drawn> log_;

private:
    int32_t line_ = 16;
};

struct laid_out {
    std::vector<drawn> log;
    tips_layout layout;
};

laid_out lay_out(const std::wstring& text) {
    tips_style style;
    style.screen_width = 4000;
    style.screen_height = 3000;
    recording_canvas canvas;
    laid_out result;
    result.layout = measure_tips(text, style, canvas);
    canvas.log_.clear();
    draw_tips(text, style, canvas, result.layout);
    result.log = std::move(canvas.log_);
    return result;
}

// The layout of `text` must be that of `reference` with every placeholder
// in its texts standing for `name`.
void expect_same(const std::wstring& reference, const std::wstring& text,
                 const std::wstring& name) {
    const laid_out a = lay_out(reference);
    const laid_out b = lay_out(text);
    if (a.log.size() != b.log.size()) std::abort();
    for (size_t i = 0; i < a.log.size(); ++i) {
        drawn expected = a.log[i];
        std::wstring replaced;
        for (wchar_t c : expected.text) {
            if (c == placeholder)
                replaced += name;
            else
                replaced += c;
        }
        expected.text = replaced;
        if (!(expected == b.log[i])) std::abort();
    }
    const tips_layout& x = a.layout;
    const tips_layout& y = b.layout;
    if (x.line_count != y.line_count || x.h_percent != y.h_percent || x.v_percent != y.v_percent ||
        x.first_alignment != y.first_alignment || x.region_count != y.region_count)
        std::abort();
    for (size_t i = 0; i < x.region_count; ++i)
        if (x.regions[i].command != y.regions[i].command || x.regions[i].kind != y.regions[i].kind)
            std::abort();
}

// The shipped formats: every section of resource.ini with a fmt_line.
std::vector<tips_format> shipped_formats() {
    std::ifstream file("resource/resource.ini");
    if (!file) {
        std::fprintf(stderr,
                     "inert_text_fuzz: run it from the source tree (resource/resource.ini)\n");
        std::abort();
    }
    std::vector<tips_format> formats;
    tips_format current;
    bool any = false;
    const auto finish = [&] {
        finish_tips_format(current);
        if (current.valid) formats.push_back(current);
        current = tips_format{};
    };
    const auto set = [](wchar_t* field, size_t capacity, const std::string& value) {
        size_t i = 0;
        for (; i < value.size() && i + 1 < capacity; ++i) field[i] = static_cast<uint8_t>(value[i]);
        field[i] = L'\0';
    };
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] == '[') {
            if (any) finish();
            any = true;
            continue;
        }
        const size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = line.substr(0, equals), value = line.substr(equals + 1);
        if (key == "fmt_head") set(current.head, tips_format::format_capacity, value);
        if (key == "fmt_line") set(current.line, tips_format::format_capacity, value);
        if (key == "fmt_line2") set(current.line2, tips_format::format_capacity, value);
        if (key == "norm_text") set(current.norm_text, tips_format::word_capacity, value);
        if (key == "mute_text") set(current.mute_text, tips_format::word_capacity, value);
        if (key == "err_text") set(current.err_text, tips_format::word_capacity, value);
        if (key == "multiline") current.multiline = std::atoi(value.c_str());
    }
    if (any) finish();
    if (formats.size() < 5) std::abort(); // the file is not what it was
    return formats;
}

std::wstring tips_text(const tips_format& format, const std::wstring& name) {
    const tips_line_source source = [&](size_t slot, tips_line_info& info) {
        if (slot > 3) return false;
        info.name = name.c_str();
        info.volume = static_cast<int32_t>(slot * 30);
        info.usable = true;
        info.muted = slot == 1;
        return true;
    };
    std::vector<wchar_t> out(tips_text_capacity);
    const size_t n =
        build_tips_text_from(format, 2, source, 0x00FF00, true, out.data(), out.size());
    if (n + 1 >= tips_text_capacity) std::abort(); // a cut text would differ in its own way
    return std::wstring(out.data(), n);
}

// The feedback of the transparency plug-in (one block: title, percent) and
// of the window mover (title and geometry, blocks apart by a line break).
std::wstring feedback_blocks(const std::wstring& title, bool mover) {
    wchar_t out[128];
    if (!mover) {
        const std::wstring line = title + L" -  80%";
        make_tips_markup(out, 128, {{line.c_str()}});
        return out;
    }
    std::wstring text = L"&{M0," + title + L"\n}\n";
    make_tips_markup(out, 128, {{L"[ 10 , 20 / 300 x 200 ]"}});
    return text + out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::vector<tips_format> formats = shipped_formats();
    if (size < 1) return 0;
    const size_t limit = data[0] == 0 ? SIZE_MAX : data[0];
    std::wstring text;
    for (size_t i = 1; i + 1 < size && text.size() < 2 * longest_name; i += 2)
        text.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));

    // The copy, into a buffer that tells when it is written past.
    const size_t capacity = longest_name + 1;
    std::vector<wchar_t> buffer(capacity + 1, L'#');
    const size_t n = copy_inert_text(buffer.data(), capacity, text.c_str(), limit);
    if (buffer[capacity] != L'#' || buffer[n] != L'\0' || n >= capacity || n > limit) std::abort();
    const std::wstring inert(buffer.data(), n);
    for (size_t i = 0; i < n; ++i) {
        if (is_control(inert[i])) std::abort();
        if (inert[i] == L'&' && (i + 1 == n || inert[i + 1] == L'{')) std::abort();
    }
    // The text itself, control characters as spaces, with a space behind
    // some '&': nothing else added, dropped or changed before the cut.
    const size_t end = text.find(L'\0') == std::wstring::npos ? text.size() : text.find(L'\0');
    size_t i = 0;
    for (size_t j = 0; j < n; ++j) {
        const wchar_t expected = i < end ? (is_control(text[i]) ? L' ' : text[i]) : L'\0';
        if (inert[j] == expected && i < end) {
            ++i;
            continue;
        }
        if (inert[j] == L' ' && j > 0 && inert[j - 1] == L'&') continue;
        std::abort();
    }
    if (i > 0 && i < end && is_high(text[i - 1]) && is_low(text[i])) std::abort();

    // In every shipped format and in the feedback, laid out.
    const std::wstring stand_in = inert.empty() ? L"" : std::wstring(1, placeholder);
    for (const tips_format& format : formats)
        expect_same(tips_text(format, stand_in), tips_text(format, inert), inert);
    // The feedback takes the title as it comes and makes it inert itself.
    wchar_t title[65];
    const size_t title_length = copy_inert_text(title, 65, text.c_str(), limit < 64 ? limit : 64);
    const std::wstring shown(title, title_length);
    const std::wstring title_stand_in = shown.empty() ? L"" : std::wstring(1, placeholder);
    for (bool mover : {false, true})
        expect_same(feedback_blocks(title_stand_in, mover), feedback_blocks(shown, mover), shown);
    return 0;
}
