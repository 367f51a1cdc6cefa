#pragma once
// The checks the sound plug-in makes on what a wave file declares, and the
// file paths it builds. No Windows header here: these are the parts that see
// untrusted bytes, so they also build natively for the sanitizers and the
// fuzzer.

#include <cstddef>
#include <cstdint>
#include <optional>

namespace tickson {

constexpr uint32_t fourcc(char a, char b, char c, char d) noexcept {
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
           (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8) |
           (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16) |
           (static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24);
}
constexpr uint32_t riff_id = fourcc('R', 'I', 'F', 'F');
constexpr uint32_t wave_id = fourcc('W', 'A', 'V', 'E');
constexpr uint32_t data_id = fourcc('d', 'a', 't', 'a');

// Size of the PCM part of a format chunk: tag, channels, rate, bytes per
// second, block align, bits per sample.
constexpr size_t pcm_format_size = 16;
constexpr uint16_t wave_format_pcm = 1;
// The largest sound buffer DirectSound creates (DSBSIZE_MAX).
constexpr uint64_t largest_sound_buffer = 0x0FFFFFFF;
// Sound file paths are held in 261 characters, terminator included.
constexpr size_t sound_path_capacity = 261;

struct pcm_format {
    uint16_t format_tag = 0;
    uint16_t channels = 0;
    uint32_t samples_per_second = 0;
    uint32_t bytes_per_second = 0;
    uint16_t block_align = 0;
    uint16_t bits_per_sample = 0;
};

// The outermost chunk must be a RIFF chunk of form type WAVE.
bool is_wave_container(uint32_t chunk_id, uint32_t form_type) noexcept;

// The first sub-chunk, taken as the format chunk: `chunk_size` as declared,
// `bytes` what could be read of it (up to 16). A format comes back only for
// PCM whose block is one sample of every channel in whole bytes of 8, 16,
// 24 or 32 bits: the buffer arithmetic relies on that, and the device would
// misplay anything else.
std::optional<pcm_format> check_format_chunk(uint32_t chunk_size, const uint8_t* bytes,
                                             size_t length) noexcept;

// The size of the sound buffer for a data chunk that declares
// `declared_bytes`: whole blocks only; 0 (nothing to play) when that is no
// block at all or more than the device can hold.
uint32_t sound_buffer_bytes(uint64_t declared_bytes, const pcm_format& format) noexcept;

// What fills the part of the buffer the file did not supply: the middle of
// the unsigned 8-bit range, zero for every signed wider sample.
uint8_t silence_byte(uint16_t bits_per_sample) noexcept;

// `folder` + '\' + `name` into `out` (`capacity` characters). False with an
// empty `out` when the whole path does not fit: a cut path could name
// another file.
bool join_sound_path(const wchar_t* folder, const wchar_t* name, wchar_t* out,
                     size_t capacity) noexcept;

} // namespace tickson
