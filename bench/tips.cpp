// Cost of showing the tips: building the default format's text for 4
// controls, laying it out and drawing it layered with see-through at
// EdgeSize 1 and 8, as ratios against one plain DrawTextExW of the same text
// in the same font, measured in the same run. Then the parts on their own,
// and the halo done the plain way (rounds of the 3 x 3 maximum over a copy)
// for comparison with the window maxima the program uses. A burst of draws
// (a held wheel) starts from nothing kept, as after idle; the fair reference
// is what any drawing of the tips must do: the text they show drawn into
// both DIBs. Last, the goals against the reference.
//
//   bench_tips [repetitions per sample, default 50]
//
// Reads the format from ..\bin\resource\resource.ini beside this program.

#include "common/unique_resource.h"
#include "confctl/config.h"
#include "main/tips_format.h"
#include "main/tips_render.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

// The mean time of one call over `repetitions` calls, in microseconds.
double batch_us(int repetitions, const std::function<void()>& call) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < repetitions; ++i) call();
    const std::chrono::duration<double, std::micro> taken =
        std::chrono::steady_clock::now() - start;
    return taken.count() / repetitions;
}

double median(std::vector<double> samples) {
    std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
    return samples[samples.size() / 2];
}

struct timing {
    double us = 0;    // median over 7 samples of the mean time of one call
    double ratio = 0; // median over the same samples of call / reference
};

// Each sample times a batch of the reference right before a batch of the
// call: on a shared machine whose load changes during the run, a ratio then
// still compares like with like.
class against_reference {
public:
    against_reference(int repetitions, std::function<void()> reference)
        : repetitions_(repetitions), reference_(std::move(reference)) {}

    // `draws` calls of what is measured make one call.
    timing operator()(int repetitions, const std::function<void()>& call, int draws = 1) {
        std::vector<double> times;
        std::vector<double> ratios;
        for (int sample = 0; sample < 7; ++sample) {
            const double reference = batch_us(repetitions_, reference_);
            references_.push_back(reference);
            times.push_back(batch_us(repetitions, call) / draws);
            ratios.push_back(times.back() / reference);
        }
        return timing{median(times), median(ratios)};
    }
    double reference_us() const { return median(references_); }

private:
    int repetitions_;
    std::function<void()> reference_;
    std::vector<double> references_;
};

// The halo as the rule reads: every round copies the alpha and takes the
// 3 x 3 maximum for each inner pixel below 255.
void dilate_by_rounds(uint8_t* bgra, int32_t w, int32_t h, int32_t rounds) {
    std::vector<uint8_t> previous(static_cast<size_t>(w) * h);
    for (int32_t round = 0; round < rounds; ++round) {
        for (size_t i = 0; i < previous.size(); ++i) previous[i] = bgra[i * 4 + 3];
        for (int32_t y = 1; y < h - 1; ++y) {
            for (int32_t x = 1; x < w - 1; ++x) {
                uint8_t& a = bgra[(static_cast<size_t>(y) * w + x) * 4 + 3];
                if (a == 255) continue;
                const uint8_t* up = &previous[static_cast<size_t>(y - 1) * w + x - 1];
                const uint8_t* row = up + w;
                const uint8_t* down = row + w;
                a = std::max(
                    {up[0], up[1], up[2], row[0], row[1], row[2], down[0], down[1], down[2]});
            }
        }
    }
}

struct fake_control {
    const wchar_t* name;
    int32_t volume;
    bool muted;
};

// Collects the text a layout draws, a line of text for each line drawn on.
class visible_text final : public tips_canvas {
public:
    std::wstring text;

    void select_font(int32_t) override {}
    int32_t line_height() override { return 16; }
    void measure(std::wstring_view run, int32_t& width, int32_t& height) override {
        width = static_cast<int32_t>(run.size()) * 8;
        height = 16;
    }
    void set_text_color(uint32_t) override {}
    void draw_text(const tips_rect& cell, std::wstring_view run, tips_align) override {
        if (!text.empty() && cell.top != top_) text += L"\n";
        top_ = cell.top;
        text += run;
    }
    void fill(const tips_rect&, tips_paint) override {}

private:
    int32_t top_ = 0;
};

void print_goal(const char* what, double ratio, double goal) {
    if (ratio <= goal)
        std::printf("goal %-38s <= %.1f: %5.2f, met\n", what, goal, ratio);
    else
        std::printf("goal %-38s <= %.1f: %5.2f, missed by %.2f\n", what, goal, ratio, ratio - goal);
}

} // namespace

int main(int argc, char** argv) {
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;

    wchar_t folder[MAX_PATH];
    GetModuleFileNameW(nullptr, folder, MAX_PATH);
    if (wchar_t* slash = wcsrchr(folder, L'\\')) *slash = L'\0';
    const std::wstring program_folder = std::wstring(folder) + L"\\..\\bin";
    SetCurrentDirectoryW(program_folder.c_str());
    tips_format format;
    if (!load_tips_format(format, L"flatbar_ml")) {
        std::printf("no format flatbar_ml in %ls\\resource\\resource.ini\n",
                    program_folder.c_str());
        return 1;
    }

    fake_control controls[4] = {{L"Speakers", 70, false},
                                {L"Headphones", 35, false},
                                {L"Microphone", 100, true},
                                {L"Line In", 5, false}};
    const tips_line_source source = [&](size_t slot, tips_line_info& info) {
        if (slot >= 4) return false;
        info.name = controls[slot].name;
        info.volume = controls[slot].volume;
        info.usable = true;
        info.muted = controls[slot].muted;
        return true;
    };
    Cconfig config; // the defaults: -32 at 1024, EdgeSize 1, green on black, layered see-through
    wchar_t text[tips_text_capacity];
    const auto build = [&] {
        build_tips_text_from(format, 1, source, config.text_color, config.tips_vol0_on_mute, text,
                             tips_text_capacity);
    };
    build();

    int32_t screen_width = 0;
    int32_t screen_height = 0;
    tips_screen_size(screen_width, screen_height);
    tips_render_settings edge1 = tips_settings_from(config, screen_width, screen_height);
    tips_render_settings edge8 = edge1;
    edge8.style.edge_size = 8;

    tips_picture picture;
    if (!render_tips(text, edge1, picture)) {
        std::printf("the text could not be drawn\n");
        return 1;
    }
    const int32_t box_width = picture.surface.width();
    const int32_t box_height = picture.surface.height();

    // The reference: one DrawTextExW of the whole text, in the tips font,
    // onto a DIB of the box's size.
    tips_surface target;
    target.create(box_width, box_height);
    LOGFONTW lf{};
    lf.lfHeight =
        tips_font_height(config.font_point_size, config.font_resolution_base, screen_width, 0);
    lf.lfWeight = config.font_weight;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = config.font_antialias;
    unique_hfont font(CreateFontIndirectW(&lf));
    select_guard selected(target.dc(), font.get());
    const int length = static_cast<int>(wcslen(text));
    against_reference timed(repetitions, [&] {
        RECT r{0, 0, box_width, box_height};
        DrawTextExW(target.dc(), text, length, &r, DT_NOPREFIX, nullptr);
        GdiFlush();
    });

    const timing build_time = timed(repetitions * 10, build);
    const timing full1 = timed(repetitions, [&] {
        build();
        render_tips(text, edge1, picture);
    });
    const timing full8 = timed(repetitions, [&] {
        build();
        render_tips(text, edge8, picture);
    });
    tips_render_settings no_halo = edge1;
    no_halo.style.edge_size = 0;
    const timing render0 = timed(repetitions, [&] { render_tips(text, no_halo, picture); });
    // Nothing kept: the first draw after idle.
    const timing first = timed(repetitions, [&] {
        tips_picture fresh;
        build();
        render_tips(text, edge1, fresh);
    });
    // A held wheel: 20 draws in a row, the volume changing with each, from
    // nothing kept.
    constexpr int burst_draws = 20;
    const timing burst = timed(
        std::max(1, repetitions / 5),
        [&] {
            tips_picture held;
            for (int i = 0; i < burst_draws; ++i) {
                controls[0].volume = 70 + (i % 2 ? 5 : -5) * (i / 2 % 3);
                build();
                render_tips(text, edge1, held);
            }
        },
        burst_draws);
    controls[0].volume = 70;
    build();

    // The fair reference: the text the tips show, in the tips font, into the
    // box and into a mask as large.
    visible_text shown;
    {
        tips_layout layout = measure_tips(text, edge1.style, shown);
        draw_tips(text, edge1.style, shown, layout);
    }
    tips_surface mask;
    mask.create(box_width, box_height);
    select_guard mask_font(mask.dc(), font.get());
    const int shown_length = static_cast<int>(shown.text.size());
    const timing fair = timed(repetitions, [&] {
        for (HDC dc : {target.dc(), mask.dc()}) {
            RECT r{0, 0, box_width, box_height};
            DrawTextExW(dc, shown.text.data(), shown_length, &r, DT_NOPREFIX, nullptr);
        }
        GdiFlush();
    });

    // The halo on the drawn picture: the program's takes the alpha from a
    // mask into memory it keeps and puts it into the box; the plain one
    // dilates the alpha in place (re-dilating an already dilated alpha costs
    // the same as the first time).
    render_tips(text, edge1, picture);
    const size_t stride = static_cast<size_t>(box_width) * 4;
    std::vector<uint8_t> pixels(picture.surface.pixels() * 4);
    for (int32_t y = 0; y < box_height; ++y)
        std::memcpy(pixels.data() + y * stride, picture.surface.row(y), stride);
    std::vector<uint8_t> mask_pixels = pixels;
    for (size_t i = 0; i < mask_pixels.size(); i += 4)
        std::memset(&mask_pixels[i], mask_pixels[i + 3], 3);
    tips_alpha alpha;
    const auto halo = [&](int32_t rounds, bool plain) {
        return timed(repetitions, [&] {
            if (plain) {
                dilate_by_rounds(pixels.data(), box_width, box_height, rounds);
            } else {
                alpha.take(mask_pixels.data(), stride, box_width, box_height, rounds);
                alpha.put(pixels.data(), stride);
            }
        });
    };
    const timing halo1 = halo(1, false);
    const timing halo8 = halo(8, false);
    const timing plain1 = halo(1, true);
    const timing plain8 = halo(8, true);

    std::printf("tips: default format \"flatbar_ml\", 4 controls, %d characters (%d shown), "
                "box %d x %d, screen %d x %d\n",
                length, shown_length, box_width, box_height, screen_width, screen_height);
    std::printf("reference: one DrawTextExW of the text          %9.1f us = 1\n",
                timed.reference_us());
    const auto row = [&](const char* what, const timing& t) {
        std::printf("%-48s %9.1f us = %6.2f\n", what, t.us, t.ratio);
    };
    row("build the text", build_time);
    row("build, lay out, draw, layered see-through, E 1", full1);
    row("build, lay out, draw, layered see-through, E 8", full8);
    row("lay out and draw without halo (E 0)", render0);
    row("alpha and halo E 1, window maxima (the program)", halo1);
    row("alpha and halo E 8, window maxima (the program)", halo8);
    row("halo E 1, rounds of the 3x3 maximum (plain)", plain1);
    row("halo E 8, rounds of the 3x3 maximum (plain)", plain8);
    row("burst of 20 draws, E 1, per draw", burst);
    row("fair reference: the shown text into both DIBs", fair);
    row("first draw after idle, E 1 (nothing kept)", first);
    print_goal("E 0", render0.ratio, 2.5);
    print_goal("E 8", full8.ratio, 4.0);
    print_goal("burst of 20, per draw", burst.ratio, 3.0);
    return 0;
}
