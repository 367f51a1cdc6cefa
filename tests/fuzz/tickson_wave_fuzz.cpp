// libFuzzer target for the sound plug-in's wave-header checks and path
// building. Built natively, not by the MinGW build:
//   clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -I. \
//     tests/fuzz/tickson_wave_fuzz.cpp plugins/tickson/tickson_logic.cpp -o tickson_wave_fuzz
// The input is read as a file is: RIFF header, first sub-chunk header and
// its bytes (possibly fewer than declared), then a declared data size; the
// rest becomes a file name. Whatever the checks accept must be a format the
// buffer arithmetic can rely on.

#include "plugins/tickson/tickson_logic.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <vector>

namespace {

uint32_t take32(const uint8_t*& data, size_t& size) {
    uint8_t b[4] = {};
    const size_t n = size < 4 ? size : 4;
    std::memcpy(b, data, n);
    data += n;
    size -= n;
    return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
           (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const uint32_t id = take32(data, size);
    take32(data, size); // RIFF size: not checked by anyone
    const uint32_t form = take32(data, size);
    (void)tickson::is_wave_container(id, form);
    take32(data, size); // sub-chunk id: taken as the format chunk whatever it says
    const uint32_t chunk_size = take32(data, size);
    const size_t present = size < tickson::pcm_format_size ? size : tickson::pcm_format_size;
    // A heap copy of exactly what the file held, so that reading past it is caught.
    std::vector<uint8_t> format_bytes(data, data + present);
    data += present;
    size -= present;
    const auto format = tickson::check_format_chunk(chunk_size, format_bytes.data(), present);
    const uint64_t declared =
        take32(data, size) | (static_cast<uint64_t>(take32(data, size)) << 32);
    if (format) {
        if (format->format_tag != tickson::wave_format_pcm || format->channels == 0 ||
            format->block_align == 0 || chunk_size < tickson::pcm_format_size)
            std::abort();
        // Whole blocks, never more than declared, at most one block short;
        // nothing at all beyond the device's limit.
        const uint32_t bytes = tickson::sound_buffer_bytes(declared, *format);
        if (declared > tickson::largest_sound_buffer) {
            if (bytes != 0) std::abort();
        } else if (bytes > declared || bytes % format->block_align != 0 ||
                   declared - bytes >= format->block_align) {
            std::abort();
        }
        const uint8_t silence = tickson::silence_byte(format->bits_per_sample);
        if (silence != (format->bits_per_sample == 8 ? 0x80 : 0)) std::abort();
    }

    // The rest as a file name of any length, into the path buffer.
    std::vector<wchar_t> name(size / sizeof(wchar_t) + 1, L'\0');
    if (size >= sizeof(wchar_t))
        std::memcpy(name.data(), data, (name.size() - 1) * sizeof(wchar_t));
    wchar_t path[tickson::sound_path_capacity];
    const bool fits = tickson::join_sound_path(L"resource\\tickson", name.data(), path,
                                               tickson::sound_path_capacity);
    const size_t length = std::wcslen(path);
    if (fits ? (length >= tickson::sound_path_capacity || path[16] != L'\\') : length != 0)
        std::abort();
    return 0;
}
