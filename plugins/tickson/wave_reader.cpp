#include "plugins/tickson/wave_reader.h"

#include "common/library_search.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <utility>

namespace {

// The multimedia file functions of winmm.dll.
struct winmm_functions {
    template <typename Function> static Function find(const char* name) noexcept {
        return system_function<Function>(L"winmm.dll", name);
    }
    decltype(&mmioOpenW) open = find<decltype(&mmioOpenW)>("mmioOpenW");
    decltype(&mmioDescend) descend = find<decltype(&mmioDescend)>("mmioDescend");
    decltype(&mmioAscend) ascend = find<decltype(&mmioAscend)>("mmioAscend");
    decltype(&mmioRead) read = find<decltype(&mmioRead)>("mmioRead");
    decltype(&mmioSeek) seek = find<decltype(&mmioSeek)>("mmioSeek");
    decltype(&mmioClose) close = find<decltype(&mmioClose)>("mmioClose");
    bool usable() const noexcept { return open && descend && ascend && read && seek && close; }
};

const winmm_functions& mmio() noexcept {
    static const winmm_functions functions;
    return functions;
}

} // namespace

bool mdx_dsnd_ldr_wave::open(const wchar_t* path) noexcept {
    close();
    if (!path || !path[0] || !mmio().usable()) return false;
    // mmioOpenW takes a writable name, though it only reads it.
    wchar_t name[tickson::sound_path_capacity] = {};
    const size_t length = wcsnlen(path, tickson::sound_path_capacity);
    if (length >= tickson::sound_path_capacity) return false;
    std::memcpy(name, path, length * sizeof(wchar_t));
    handle_ = mmio().open(name, nullptr, MMIO_ALLOCBUF | MMIO_READ);
    if (!handle_) return false;

    riff_ = {};
    MMCKINFO format_chunk{};
    uint8_t bytes[tickson::pcm_format_size] = {};
    bool good = mmio().descend(handle_, &riff_, nullptr, 0) == MMSYSERR_NOERROR &&
                tickson::is_wave_container(riff_.ckid, riff_.fccType) &&
                mmio().descend(handle_, &format_chunk, &riff_, 0) == MMSYSERR_NOERROR &&
                format_chunk.cksize >= tickson::pcm_format_size &&
                mmio().read(handle_, reinterpret_cast<HPSTR>(bytes), sizeof bytes) ==
                    static_cast<LONG>(sizeof bytes);
    if (good) {
        const auto checked = tickson::check_format_chunk(format_chunk.cksize, bytes, sizeof bytes);
        good = checked.has_value() && mmio().ascend(handle_, &format_chunk, 0) == MMSYSERR_NOERROR;
        if (good) format_ = *checked;
    }
    if (!good) {
        close();
        return false;
    }
    seek_data();
    return true;
}

void mdx_dsnd_ldr_wave::close() noexcept {
    if (handle_) mmio().close(std::exchange(handle_, nullptr), 0);
    remaining_ = 0;
}

void mdx_dsnd_ldr_wave::format(WAVEFORMATEX& out) const noexcept {
    out = {};
    out.wFormatTag = format_.format_tag;
    out.nChannels = format_.channels;
    out.nSamplesPerSec = format_.samples_per_second;
    out.nAvgBytesPerSec = format_.bytes_per_second;
    out.nBlockAlign = format_.block_align;
    out.wBitsPerSample = format_.bits_per_sample;
    out.cbSize = 0;
}

bool mdx_dsnd_ldr_wave::seek_data() noexcept {
    remaining_ = 0;
    if (!handle_) return false;
    if (mmio().seek(handle_, static_cast<LONG>(riff_.dwDataOffset + 4), SEEK_SET) == -1)
        return false;
    data_ = {};
    data_.ckid = tickson::data_id;
    if (mmio().descend(handle_, &data_, &riff_, MMIO_FINDCHUNK) != MMSYSERR_NOERROR) return false;
    // A damaged file may declare far more sound than it holds. No more is
    // taken than the whole file's size: a sound a little short is still
    // padded with silence, a huge declaration costs no more than the file.
    const LONG file_size = mmio().seek(handle_, 0, SEEK_END);
    if (file_size < 0 ||
        mmio().seek(handle_, static_cast<LONG>(data_.dwDataOffset), SEEK_SET) == -1)
        return false;
    remaining_ = std::min<uint64_t>(data_.cksize, static_cast<uint64_t>(file_size));
    return true;
}

uint32_t mdx_dsnd_ldr_wave::read(void* buffer, uint32_t length) noexcept {
    if (!handle_ || !buffer || remaining_ == 0) return 0;
    const uint64_t wanted64 = length < remaining_ ? length : remaining_;
    // mmioRead counts in a LONG.
    const LONG wanted = static_cast<LONG>(wanted64 > 0x7FFFFFFF ? 0x7FFFFFFF : wanted64);
    const LONG got = mmio().read(handle_, static_cast<HPSTR>(buffer), wanted);
    if (got <= 0) return 0;
    remaining_ -= static_cast<uint64_t>(got);
    return static_cast<uint32_t>(got);
}

void mdx_dsnd_ldr_wave::fill_silence(void* buffer, uint32_t length) const noexcept {
    if (buffer && length)
        std::memset(buffer, tickson::silence_byte(format_.bits_per_sample), length);
}
