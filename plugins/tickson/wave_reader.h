#pragma once
// Reads PCM RIFF/WAVE files through the multimedia file functions, for
// filling sound buffers once.

#include "plugins/tickson/tickson_logic.h"

#include <windows.h>
#include <mmsystem.h>
#include <cstdint>

// A source of PCM sound for one buffer: opened, asked for its format and
// size, read into the buffer, the rest filled with silence.
class mdx_dsnd_ldr_base {
public:
    virtual ~mdx_dsnd_ldr_base() = default;
    virtual bool open(const wchar_t* path) noexcept = 0;
    virtual void close() noexcept = 0;
    virtual void format(WAVEFORMATEX& out) const noexcept = 0;
    // Bytes of sound not yet read: as the file declares them, but never more
    // than the whole file's size.
    virtual uint64_t remaining() const noexcept = 0;
    // Up to `length` bytes into `buffer`; the count read (0 at the end or on error).
    virtual uint32_t read(void* buffer, uint32_t length) noexcept = 0;
    virtual void fill_silence(void* buffer, uint32_t length) const noexcept = 0;
    // Positions at the start of the sound; false without one.
    virtual bool seek_data() noexcept = 0;
};

class mdx_dsnd_ldr_wave final : public mdx_dsnd_ldr_base {
public:
    mdx_dsnd_ldr_wave() noexcept = default;
    mdx_dsnd_ldr_wave(const mdx_dsnd_ldr_wave&) = delete;
    mdx_dsnd_ldr_wave& operator=(const mdx_dsnd_ldr_wave&) = delete;
    ~mdx_dsnd_ldr_wave() override { close(); }

    // True for a RIFF/WAVE file whose first sub-chunk is an acceptable PCM
    // format. A missing data chunk still opens, with nothing to read.
    bool open(const wchar_t* path) noexcept override;
    void close() noexcept override;
    void format(WAVEFORMATEX& out) const noexcept override;
    uint64_t remaining() const noexcept override { return remaining_; }
    uint32_t read(void* buffer, uint32_t length) noexcept override;
    void fill_silence(void* buffer, uint32_t length) const noexcept override;
    bool seek_data() noexcept override;

private:
    HMMIO handle_ = nullptr;
    MMCKINFO riff_{};
    MMCKINFO data_{};
    tickson::pcm_format format_{};
    uint64_t remaining_ = 0;
};
