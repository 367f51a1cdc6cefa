#include "tests/unit/picture_files.h"

#include <algorithm>
#include <cstddef>

namespace test_pictures {

namespace {

uint32_t crc32(const uint8_t* data, size_t size) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

uint32_t adler32(const std::vector<uint8_t>& data) {
    uint32_t a = 1, b = 0;
    for (uint8_t byte : data) {
        a = (a + byte) % 65521u;
        b = (b + a) % 65521u;
    }
    return (b << 16) | a;
}

void put_be32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(v >> shift));
}

void put_le(std::vector<uint8_t>& out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

void chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
    put_be32(out, uint32_t(data.size()));
    std::vector<uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    out.insert(out.end(), body.begin(), body.end());
    put_be32(out, crc32(body.data(), body.size()));
}

// zlib stream made of stored (uncompressed) deflate blocks.
std::vector<uint8_t> stored_zlib(const std::vector<uint8_t>& raw) {
    std::vector<uint8_t> z{0x78, 0x01};
    size_t offset = 0;
    do {
        const size_t n = std::min<size_t>(raw.size() - offset, 65535);
        const bool last = offset + n == raw.size();
        z.push_back(last ? 1 : 0);
        put_le(z, uint32_t(n), 2);
        put_le(z, uint32_t(~n & 0xFFFFu), 2);
        z.insert(z.end(), raw.begin() + std::ptrdiff_t(offset),
                 raw.begin() + std::ptrdiff_t(offset + n));
        offset += n;
    } while (offset < raw.size());
    put_be32(z, adler32(raw));
    return z;
}

std::vector<uint8_t> png_start(uint32_t width, uint32_t height, uint8_t colour_type) {
    std::vector<uint8_t> out{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    put_be32(header, width);
    put_be32(header, height);
    header.insert(header.end(), {8, colour_type, 0, 0, 0});
    chunk(out, "IHDR", header);
    return out;
}

} // namespace

std::vector<uint8_t> png_file(const picture& p, bool alpha) {
    std::vector<uint8_t> raw;
    for (int32_t y = 0; y < p.height; ++y) {
        raw.push_back(0);
        for (int32_t x = 0; x < p.width; ++x) {
            const rgba& c = p.at(x, y);
            raw.insert(raw.end(), {c.r, c.g, c.b});
            if (alpha) raw.push_back(c.a);
        }
    }
    std::vector<uint8_t> out = png_start(uint32_t(p.width), uint32_t(p.height), alpha ? 6 : 2);
    chunk(out, "IDAT", stored_zlib(raw));
    chunk(out, "IEND", {});
    return out;
}

std::vector<uint8_t> png_with_size(uint32_t width, uint32_t height) {
    std::vector<uint8_t> out = png_start(width, height, 6);
    chunk(out, "IDAT", stored_zlib(std::vector<uint8_t>(64, 0)));
    chunk(out, "IEND", {});
    return out;
}

std::vector<uint8_t> bmp_file(const picture& p) {
    const uint32_t stride = (uint32_t(p.width) * 3 + 3) & ~3u;
    const uint32_t data_size = stride * uint32_t(p.height);
    std::vector<uint8_t> out{'B', 'M'};
    put_le(out, 54 + data_size, 4);
    put_le(out, 0, 4);
    put_le(out, 54, 4);
    put_le(out, 40, 4);
    put_le(out, uint32_t(p.width), 4);
    put_le(out, uint32_t(p.height), 4);
    put_le(out, 1, 2);
    put_le(out, 24, 2);
    put_le(out, 0, 4);
    put_le(out, data_size, 4);
    put_le(out, 2835, 4);
    put_le(out, 2835, 4);
    put_le(out, 0, 4);
    put_le(out, 0, 4);
    for (int32_t y = p.height - 1; y >= 0; --y) {
        for (int32_t x = 0; x < p.width; ++x) {
            const rgba& c = p.at(x, y);
            out.insert(out.end(), {c.b, c.g, c.r});
        }
        out.resize(out.size() + (stride - uint32_t(p.width) * 3), 0);
    }
    return out;
}

} // namespace test_pictures
