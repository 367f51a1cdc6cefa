#pragma once
// Small picture files written by tests: PNG (with or without an alpha
// channel) and 24-bit BMP, from RGBA pixels.

#include <cstdint>
#include <vector>

namespace test_pictures {

struct rgba {
    uint8_t r = 0, g = 0, b = 0, a = 0;
    bool operator==(const rgba&) const = default;
};

// Top row first.
struct picture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<rgba> pixels;

    picture() = default;
    picture(int32_t w, int32_t h, rgba fill = {})
        : width(w), height(h), pixels(size_t(w) * size_t(h), fill) {}
    rgba& at(int32_t x, int32_t y) { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
    const rgba& at(int32_t x, int32_t y) const {
        return pixels[size_t(y) * size_t(width) + size_t(x)];
    }
};

// Colour type 6 (RGBA) or, with alpha false, 2 (RGB). The pixel data is
// stored uncompressed inside the zlib stream.
std::vector<uint8_t> png_file(const picture& p, bool alpha = true);
// A PNG header that announces any size, followed by a tiny image stream.
std::vector<uint8_t> png_with_size(uint32_t width, uint32_t height);
std::vector<uint8_t> bmp_file(const picture& p);

} // namespace test_pictures
