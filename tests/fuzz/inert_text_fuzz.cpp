// libFuzzer target for texts from outside on their way into tips markup:
// any text, made inert as the programs make it, stands for a control's name
// in every shipped tips format (read from resource/resource.ini, relative to
// the current directory, as scripts/fuzz runs it) and for a window's title in
// the plug-ins' feedback blocks. Built natively by scripts/fuzz.
// The first byte chooses the cut (0: none), the rest is the text (UTF-16LE).
// Checks: the inert copy keeps to its cut and its buffer, is the text with
// control characters as spaces and a space behind some '&' (no "&{", no '&'
// at its end), and never ends inside a surrogate pair; laid out, the tips
// hold exactly that copy where the name goes and no element the format did
// not have: the same texts, fills, fonts, colours, click regions, lines and
// placement as with a name of one plain character.

#include "main/tips_format.h"
#include "main/tips_markup.h"
#include "plugin_sdk/feedback_text.h"
#include "winui/inert_text.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr wchar_t placeholder = 0xE000; // no format uses it
constexpr wchar_t separator = 0x01;     // no inert text holds it

bool is_control(wchar_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

// What the layout did, in order, as one text; not where, for positions
// follow from the widths of the texts, which differ.
class recording_canvas final : public tips_canvas {
public:
    void select_font(int32_t percent) override {
        line_ = percent >= 1 && percent <= 99 ? 16 * percent / 100 : 16;
        note(L'f', percent);
    }
    int32_t line_height() override { return line_; }
    void measure(std::wstring_view text, int32_t& width, int32_t& height) override {
        width = static_cast<int32_t>(text.size()) * 7;
        height = text.empty() ? 0 : line_;
    }
    void set_text_color(uint32_t colorref) override { note(L'c', colorref); }
    void draw_text(const tips_rect&, std::wstring_view text, tips_align align) override {
        note(L't', static_cast<int64_t>(align));
        log += text;
    }
    void fill(const tips_rect&, tips_paint paint) override {
        note(L'r', static_cast<int64_t>(paint));
    }
    void note(wchar_t what, int64_t value) {
        log += separator;
        log += what + std::to_wstring(value) + L':';
    }
    std::wstring log;

private:
    int32_t line_ = 16;
};

std::wstring laid_out(const std::wstring& text) {
    tips_style style;
    style.screen_width = 4000;
    style.screen_height = 3000;
    recording_canvas canvas;
    tips_layout layout = measure_tips(text, style, canvas);
    canvas.log.clear();
    draw_tips(text, style, canvas, layout);
    canvas.note(L'n', static_cast<int64_t>(layout.line_count));
    canvas.note(L'a', static_cast<int64_t>(layout.first_alignment));
    canvas.note(L'h', layout.h_percent);
    canvas.note(L'v', layout.v_percent);
    for (size_t i = 0; i < layout.region_count; ++i)
        canvas.note(static_cast<wchar_t>(L'0' + static_cast<int>(layout.regions[i].kind)),
                    layout.regions[i].command);
    return canvas.log;
}

// `text` must lay out as `reference` does with `name` for each placeholder.
void expect_same(const std::wstring& reference, const std::wstring& text,
                 const std::wstring& name) {
    std::wstring expected;
    for (wchar_t c : laid_out(reference)) expected += c == placeholder ? name : std::wstring(1, c);
    if (laid_out(text) != expected) std::abort();
}

// Every section of resource.ini with a fmt_line.
std::vector<tips_format> shipped_formats() {
    std::ifstream file("resource/resource.ini");
    std::vector<tips_format> formats(1);
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind('[', 0) == 0) formats.emplace_back();
        const size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = line.substr(0, equals);
        const std::wstring value(line.begin() + static_cast<long>(equals) + 1, line.end());
        tips_format& f = formats.back();
        const auto set = [&](wchar_t* field, size_t capacity) {
            field[value.copy(field, capacity - 1)] = L'\0';
        };
        if (key == "fmt_head") set(f.head, tips_format::format_capacity);
        if (key == "fmt_line") set(f.line, tips_format::format_capacity);
        if (key == "fmt_line2") set(f.line2, tips_format::format_capacity);
        if (key == "norm_text") set(f.norm_text, tips_format::word_capacity);
        if (key == "mute_text") set(f.mute_text, tips_format::word_capacity);
        if (key == "err_text") set(f.err_text, tips_format::word_capacity);
        if (key == "multiline") f.multiline = std::atoi(line.c_str() + equals + 1);
    }
    std::vector<tips_format> valid;
    for (tips_format& f : formats) {
        finish_tips_format(f);
        if (f.valid) valid.push_back(f);
    }
    if (valid.size() < 5) std::abort(); // not run from the source tree, or the file changed
    return valid;
}

std::wstring tips_text(const tips_format& format, const std::wstring& name) {
    const tips_line_source source = [&](size_t slot, tips_line_info& info) {
        info.name = name.c_str();
        info.volume = static_cast<int32_t>(slot * 30);
        info.usable = true;
        info.muted = slot == 1;
        return slot < 4;
    };
    std::vector<wchar_t> out(tips_text_capacity);
    const size_t n =
        build_tips_text_from(format, 2, source, 0x00FF00, true, out.data(), out.size());
    if (n + 1 >= out.size()) std::abort(); // a text cut short would differ in its own way
    return std::wstring(out.data(), n);
}

// The transparency plug-in's block (title, percent) and the window mover's
// two (title, geometry), apart by a line break as it writes them.
std::wstring feedback(const std::wstring& title, bool mover) {
    wchar_t out[128];
    const std::wstring line = mover ? L"[ 10 , 20 / 300 x 200 ]" : title + L" -  80%";
    make_tips_markup(out, 128, {{line.c_str()}});
    return mover ? L"&{M0," + title + L"\n}\n" + out : std::wstring(out);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::vector<tips_format> formats = shipped_formats();
    if (size < 1) return 0;
    const size_t limit = data[0] == 0 ? SIZE_MAX : data[0];
    std::wstring text;
    for (size_t i = 1; i + 1 < size && text.size() < 512; i += 2)
        text.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    if (const size_t nul = text.find(L'\0'); nul != std::wstring::npos)
        text.resize(nul); // as the programs read it

    constexpr size_t capacity = 257; // names are at most 256 characters
    std::vector<wchar_t> buffer(capacity + 1, L'#');
    const size_t n = copy_inert_text(buffer.data(), capacity, text.c_str(), limit);
    if (buffer[capacity] != L'#' || buffer[n] != L'\0' || n >= capacity || n > limit) std::abort();
    const std::wstring inert(buffer.data(), n);
    size_t i = 0; // how much of the text the copy holds
    for (size_t j = 0; j < n; ++j) {
        if (is_control(inert[j]) || (inert[j] == L'&' && (j + 1 == n || inert[j + 1] == L'{')))
            std::abort();
        if (i < text.size() && inert[j] == (is_control(text[i]) ? L' ' : text[i]))
            ++i;
        else if (inert[j] != L' ' || j == 0 || inert[j - 1] != L'&')
            std::abort();
    }
    if (i > 0 && i < text.size() && text[i - 1] >= 0xD800 && text[i - 1] <= 0xDBFF &&
        text[i] >= 0xDC00 && text[i] <= 0xDFFF)
        std::abort();

    const std::wstring stand_in = inert.empty() ? L"" : std::wstring(1, placeholder);
    for (const tips_format& format : formats)
        expect_same(tips_text(format, stand_in), tips_text(format, inert), inert);
    // The plug-ins cut the title at 64 and make it inert themselves.
    wchar_t title[65];
    const std::wstring shown(title,
                             copy_inert_text(title, 65, text.c_str(), limit < 64 ? limit : 64));
    const std::wstring title_stand_in = shown.empty() ? L"" : std::wstring(1, placeholder);
    for (bool mover : {false, true})
        expect_same(feedback(title_stand_in, mover), feedback(shown, mover), shown);
    return 0;
}
