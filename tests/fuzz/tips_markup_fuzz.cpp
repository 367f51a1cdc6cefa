// libFuzzer target for the tips: markup from any process is laid out, format
// texts from resource.ini are unescaped and expanded. Built natively, not by
// the MinGW build:
//   clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -I. \
//     tests/fuzz/tips_markup_fuzz.cpp main/tips_markup.cpp main/tips_format.cpp \
//     confctl/ini_values.cpp -o tips_markup_fuzz
// The first bytes choose the metrics, EdgeSize and screen; the rest is the
// text. Both passes run, every region is clicked, the halo is drawn on a
// small picture, and the same text serves as a format line. The checks: the
// box stays on the screen, regions lie within the measured lines, and no
// output passes its buffer.

#include "main/tips_format.h"
#include "main/tips_markup.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

class fuzz_canvas final : public tips_canvas {
public:
    fuzz_canvas(int32_t base, int32_t char_width) : base_(base), char_width_(char_width) {}
    void select_font(int32_t percent) override {
        line_ = percent >= 1 && percent <= 99 ? base_ * percent / 100 : base_;
    }
    int32_t line_height() override { return line_; }
    void measure(std::wstring_view text, int32_t& width, int32_t& height) override {
        width = static_cast<int32_t>(text.size()) * char_width_;
        height = text.empty() ? 0 : line_;
    }
    void set_text_color(uint32_t) override {}
    void draw_text(const tips_rect& cell, std::wstring_view, tips_align) override { check(cell); }
    void fill(const tips_rect& rect, tips_paint) override { check(rect); }

private:
    static void check(const tips_rect& r) {
        // Coordinates stay far inside 32 bits.
        for (int32_t v : {r.left, r.top, r.right, r.bottom})
            if (v > (1 << 21) || v < -(1 << 21)) std::abort();
    }
    int32_t base_;
    int32_t char_width_;
    int32_t line_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 6) return 0;
    const int32_t line = data[0] % 80;
    const int32_t char_width = data[1] % 30;
    tips_style style;
    style.edge_size = static_cast<int8_t>(data[2]);
    style.screen_width = 1 + data[3] * 8;
    style.screen_height = 1 + data[4] * 8;
    const bool slider_moves = data[5] & 1;
    std::wstring text;
    for (size_t i = 6; i + 1 < size; i += 2)
        text.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));

    fuzz_canvas canvas(line, char_width);
    tips_layout layout = measure_tips(text, style, canvas);
    if (layout.line_count > tips_max_lines) std::abort();
    if (layout.box_width > style.screen_width || layout.box_height > style.screen_height)
        std::abort();
    if (layout.x < 0 || layout.y < 0) std::abort();
    draw_tips(text, style, canvas, layout);
    if (layout.region_count > tips_max_regions) std::abort();
    for (size_t i = 0; i < layout.region_count; ++i) {
        // Drawn within the lines the measure pass found.
        const tips_rect& r = layout.regions[i].rect;
        if (r.right <= r.left || r.bottom <= r.top) std::abort();
        if (r.top < tips_edge(style) + 2 || r.bottom > layout.bottom) std::abort();
        const auto x = static_cast<uint32_t>(r.left < 0 ? 0 : r.left);
        const auto y = static_cast<uint32_t>(r.top < 0 ? 0 : r.top);
        const tips_hit hit =
            tips_hit_test(layout.regions.data(), layout.region_count, x, y, !slider_moves);
        if (hit.hit && (hit.value < 0 || hit.value > 100)) std::abort();
    }

    // The halo on a small picture filled from the input, taken from the
    // picture as its own mask and put back.
    const int32_t w = data[3] % 13;
    const int32_t h = data[4] % 11;
    std::vector<uint8_t> pixels(static_cast<size_t>(w * h) * 4);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = data[(i + 6) % size];
    tips_alpha alpha;
    if (alpha.take(pixels.data(), static_cast<size_t>(w) * 4, w, h, data[2] % 20))
        alpha.put(pixels.data(), static_cast<size_t>(w) * 4);

    // The text as a format line and head.
    tips_format format;
    for (size_t i = 0; i < text.size() && i + 1 < tips_format::format_capacity; ++i) {
        format.line[i] = text[i];
        format.head[i] = text[i];
    }
    format.multiline = static_cast<int8_t>(data[5]);
    finish_tips_format(format);
    const tips_line_source source = [&](size_t slot, tips_line_info& info) {
        if ((data[0] >> (slot % 8)) & 1) return false;
        info.name = format.line;
        info.volume = static_cast<int8_t>(data[1]);
        info.usable = data[2] & 1;
        info.muted = data[2] & 2;
        info.has_color = data[2] & 4;
        info.color = data[3] * 0x010101u;
        return true;
    };
    std::vector<wchar_t> out(tips_text_capacity + 1, L'#');
    const size_t length = build_tips_text_from(format, data[4] % 17, source, 0x00FF00, data[5] & 2,
                                               out.data(), tips_text_capacity);
    if (length >= tips_text_capacity || out[length] != L'\0' || out[tips_text_capacity] != L'#')
        std::abort();
    return 0;
}
