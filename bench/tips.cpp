// Cost of showing the tips: building the default format's text for 4
// controls, laying it out and drawing it layered with see-through at
// EdgeSize 1 and 8, as ratios against one plain DrawTextExW of the same text
// in the same font, measured in the same run. Then the parts on their own,
// and the halo done the plain way (rounds of the 3 x 3 maximum over a copy)
// for comparison with the window maxima the program uses.
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

// Median over 7 samples of the mean time of one repetition, in microseconds.
double per_call_us(int repetitions, const std::function<void()>& call) {
    std::vector<double> samples;
    for (int sample = 0; sample < 7; ++sample) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < repetitions; ++i) call();
        const std::chrono::duration<double, std::micro> taken =
            std::chrono::steady_clock::now() - start;
        samples.push_back(taken.count() / repetitions);
    }
    std::nth_element(samples.begin(), samples.begin() + 3, samples.end());
    return samples[3];
}

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

    const fake_control controls[4] = {{L"Speakers", 70, false},
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
    const double draw_text_us = per_call_us(repetitions, [&] {
        RECT r{0, 0, box_width, box_height};
        DrawTextExW(target.dc(), text, length, &r, DT_NOPREFIX, nullptr);
        GdiFlush();
    });

    const double build_us = per_call_us(repetitions * 10, build);
    const double full1_us = per_call_us(repetitions, [&] {
        build();
        render_tips(text, edge1, picture);
    });
    const double full8_us = per_call_us(repetitions, [&] {
        build();
        render_tips(text, edge8, picture);
    });
    tips_render_settings no_halo = edge1;
    no_halo.style.edge_size = 0;
    const double render0_us =
        per_call_us(repetitions, [&] { render_tips(text, no_halo, picture); });

    // The halo alone, on the drawn picture (re-dilating an already dilated
    // alpha costs the same as the first time).
    render_tips(text, edge1, picture);
    std::vector<uint8_t> pixels(picture.surface.bits(),
                                picture.surface.bits() + picture.surface.pixels() * 4);
    const auto halo_us = [&](int32_t rounds, bool plain) {
        return per_call_us(repetitions, [&] {
            if (plain)
                dilate_by_rounds(pixels.data(), box_width, box_height, rounds);
            else
                dilate_alpha(pixels.data(), box_width, box_height, rounds);
        });
    };
    const double halo1 = halo_us(1, false);
    const double halo8 = halo_us(8, false);
    const double plain1 = halo_us(1, true);
    const double plain8 = halo_us(8, true);

    std::printf("tips: default format \"flatbar_ml\", 4 controls, %zu characters, box %d x %d, "
                "screen %d x %d\n",
                static_cast<size_t>(length), box_width, box_height, screen_width, screen_height);
    std::printf("reference: one DrawTextExW of the text          %9.1f us = 1\n", draw_text_us);
    const auto row = [&](const char* what, double us) {
        std::printf("%-48s %9.1f us = %6.2f\n", what, us, us / draw_text_us);
    };
    row("build the text", build_us);
    row("build, lay out, draw, layered see-through, E 1", full1_us);
    row("build, lay out, draw, layered see-through, E 8", full8_us);
    row("lay out and draw without halo (E 0)", render0_us);
    row("halo E 1, window maxima (the program)", halo1);
    row("halo E 8, window maxima (the program)", halo8);
    row("halo E 1, rounds of the 3x3 maximum (plain)", plain1);
    row("halo E 8, rounds of the 3x3 maximum (plain)", plain8);
    return 0;
}
