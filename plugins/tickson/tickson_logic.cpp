#include "plugins/tickson/tickson_logic.h"

namespace tickson {

namespace {

uint16_t read16(const uint8_t* p) noexcept {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t read32(const uint8_t* p) noexcept {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

size_t text_length(const wchar_t* text, size_t limit) noexcept {
    size_t n = 0;
    while (n < limit && text[n]) ++n;
    return n;
}

} // namespace

bool is_wave_container(uint32_t chunk_id, uint32_t form_type) noexcept {
    return chunk_id == riff_id && form_type == wave_id;
}

std::optional<pcm_format> check_format_chunk(uint32_t chunk_size, const uint8_t* bytes,
                                             size_t length) noexcept {
    if (chunk_size < pcm_format_size || !bytes || length < pcm_format_size) return std::nullopt;
    pcm_format f;
    f.format_tag = read16(bytes);
    f.channels = read16(bytes + 2);
    f.samples_per_second = read32(bytes + 4);
    f.bytes_per_second = read32(bytes + 8);
    f.block_align = read16(bytes + 12);
    f.bits_per_sample = read16(bytes + 14);
    if (f.format_tag != wave_format_pcm) return std::nullopt;
    const uint16_t bits = f.bits_per_sample;
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return std::nullopt;
    if (f.channels == 0 || f.samples_per_second == 0) return std::nullopt;
    if (f.block_align != static_cast<uint32_t>(f.channels) * (bits / 8)) return std::nullopt;
    return f;
}

uint32_t sound_buffer_bytes(uint64_t declared_bytes, const pcm_format& format) noexcept {
    if (format.block_align == 0 || declared_bytes > largest_sound_buffer) return 0;
    return static_cast<uint32_t>(declared_bytes - declared_bytes % format.block_align);
}

uint8_t silence_byte(uint16_t bits_per_sample) noexcept {
    return bits_per_sample == 8 ? 0x80 : 0x00;
}

bool join_sound_path(const wchar_t* folder, const wchar_t* name, wchar_t* out,
                     size_t capacity) noexcept {
    if (!out || capacity == 0) return false;
    out[0] = L'\0';
    if (!folder || !name) return false;
    const size_t folder_length = text_length(folder, capacity);
    const size_t name_length = text_length(name, capacity);
    if (folder_length + 1 + name_length + 1 > capacity) return false;
    size_t at = 0;
    for (size_t i = 0; i < folder_length; ++i) out[at++] = folder[i];
    out[at++] = L'\\';
    for (size_t i = 0; i < name_length; ++i) out[at++] = name[i];
    out[at] = L'\0';
    return true;
}

} // namespace tickson
