// The sound plug-in's wave reader on crafted files, and the header checks
// and path building beneath it.

#include "plugins/tickson/tickson_logic.h"
#include "plugins/tickson/wave_reader.h"
#include "tests/support/files.h"
#include "tests/support/harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

using namespace test_support;

namespace {

using bytes = std::vector<uint8_t>;

void put32(bytes& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void put16(bytes& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
bytes chunk(const char* id, const bytes& body, uint32_t declared = 0xFFFFFFFFu) {
    bytes out(id, id + 4);
    put32(out, declared == 0xFFFFFFFFu ? static_cast<uint32_t>(body.size()) : declared);
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() % 2) out.push_back(0); // chunks start on even offsets
    return out;
}
bytes pcm(uint16_t channels, uint32_t rate, uint16_t bits, uint16_t tag = 1, size_t extra = 0) {
    bytes out;
    const uint16_t align = static_cast<uint16_t>(channels * bits / 8);
    put16(out, tag);
    put16(out, channels);
    put32(out, rate);
    put32(out, rate * align);
    put16(out, align);
    put16(out, bits);
    out.resize(out.size() + extra);
    return out;
}
bytes riff(const char* form, std::initializer_list<bytes> chunks, const char* id = "RIFF") {
    bytes body(form, form + 4);
    for (const bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
    return chunk(id, body);
}
bytes samples(size_t n, uint8_t seed) {
    bytes out(n);
    for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(seed + i * 7);
    return out;
}

class tickson_wave : public ::testing::Test {
protected:
    std::wstring write(const bytes& content) {
        const std::wstring path = folder_.file(L"f" + std::to_wstring(++count_) + L".wav");
        EXPECT_TRUE(write_bytes(path, content));
        return path;
    }
    temp_folder folder_{L"tks"};
    int count_ = 0;
};

TEST_F(tickson_wave, refused_files_do_not_open) {
    const bytes good_fmt = chunk("fmt ", pcm(1, 22050, 16));
    const bytes data = chunk("data", samples(64, 1));
    const bytes whole = riff("WAVE", {good_fmt, data});
    bytes short_format = pcm(1, 22050, 16);
    short_format.resize(14);
    struct refused {
        const char* why;
        bytes content;
    };
    const refused cases[] = {
        {"empty file", {}},
        {"not RIFF", riff("WAVE", {good_fmt, data}, "RIFX")},
        {"not WAVE", riff("AVI ", {good_fmt, data})},
        {"format not first", riff("WAVE", {data, good_fmt})},
        {"list chunk before format", riff("WAVE", {chunk("LIST", samples(20, 0)), good_fmt, data})},
        {"format of 14 bytes", riff("WAVE", {chunk("fmt ", short_format), data})},
        {"IEEE float", riff("WAVE", {chunk("fmt ", pcm(1, 22050, 32, 3)), data})},
        {"ADPCM", riff("WAVE", {chunk("fmt ", pcm(1, 22050, 4, 2)), data})},
        {"12-bit samples", riff("WAVE", {chunk("fmt ", pcm(1, 22050, 12)), data})},
        {"no channels", riff("WAVE", {chunk("fmt ", pcm(0, 22050, 16)), data})},
        {"truncated in the header", bytes(whole.begin(), whole.begin() + 10)},
        {"truncated in the format", bytes(whole.begin(), whole.begin() + 30)},
    };
    for (const refused& c : cases) {
        SCOPED_TRACE(c.why);
        mdx_dsnd_ldr_wave reader;
        EXPECT_FALSE(reader.open(write(c.content).c_str()));
        EXPECT_EQ(reader.remaining(), 0u);
        uint8_t buffer[16];
        EXPECT_EQ(reader.read(buffer, sizeof buffer), 0u);
    }
    mdx_dsnd_ldr_wave reader;
    EXPECT_FALSE(reader.open(folder_.file(L"missing.wav").c_str()));
    EXPECT_FALSE(reader.open(L""));
}

TEST_F(tickson_wave, good_files_load_byte_exact_past_other_chunks) {
    const bytes sound = samples(4000, 3);
    struct good {
        const char* why;
        bytes content;
        uint16_t channels, bits;
    };
    const good cases[] = {
        {"canonical", riff("WAVE", {chunk("fmt ", pcm(2, 44100, 16)), chunk("data", sound)}), 2,
         16},
        {"format with extension bytes and a list before the data",
         riff("WAVE", {chunk("fmt ", pcm(1, 8000, 8, 1, 2)), chunk("LIST", samples(9, 0)),
                       chunk("data", sound)}),
         1, 8},
    };
    for (const good& c : cases) {
        SCOPED_TRACE(c.why);
        mdx_dsnd_ldr_wave reader;
        ASSERT_TRUE(reader.open(write(c.content).c_str()));
        WAVEFORMATEX format{};
        reader.format(format);
        EXPECT_EQ(format.wFormatTag, WAVE_FORMAT_PCM);
        EXPECT_EQ(format.nChannels, c.channels);
        EXPECT_EQ(format.wBitsPerSample, c.bits);
        EXPECT_EQ(format.nBlockAlign, c.channels * c.bits / 8);
        EXPECT_EQ(format.cbSize, 0);
        ASSERT_EQ(reader.remaining(), sound.size());
        // In pieces, as a locked buffer may come in two.
        bytes got(sound.size() + 100, 0xEE);
        const uint32_t first = reader.read(got.data(), 1000);
        const uint32_t second = reader.read(got.data() + first, 100000);
        EXPECT_EQ(first + second, sound.size());
        EXPECT_EQ(reader.remaining(), 0u);
        EXPECT_EQ(bytes(got.begin(), got.begin() + sound.size()), sound);
        EXPECT_EQ(reader.read(got.data(), 10), 0u);
    }
}

// A file that ends before its data does: what it holds is read, silence
// follows, and no more is ever taken than the file's own size, however much
// the data chunk declares.
TEST_F(tickson_wave, short_data_is_padded_and_never_taken_beyond_the_file) {
    struct padded {
        uint16_t bits;
        uint32_t declared;
        size_t present;
        uint8_t silence;
    };
    const padded cases[] = {
        {8, 110, 100, 0x80}, // a little short: padded as declared
        {16, 110, 100, 0x00},
        {16, 300, 100, 0x00},          // more than the whole file: cut to its size
        {16, 0x0FFFF000u, 1024, 0x00}, // 256 MB declared, 1 KB there
        {16, 0xFFFFFFF0u, 8, 0x00},    // 4 GB declared
    };
    for (const padded& p : cases) {
        SCOPED_TRACE(testing::Message() << p.bits << " bits, " << p.declared << " declared");
        const bytes present = samples(p.present, 9);
        bytes file = riff("WAVE", {chunk("fmt ", pcm(1, 11025, p.bits))});
        bytes data = chunk("data", present, p.declared);
        file.insert(file.end(), data.begin(), data.end());
        mdx_dsnd_ldr_wave reader;
        ASSERT_TRUE(reader.open(write(file).c_str()));
        const uint64_t expected = std::min<uint64_t>(p.declared, file.size());
        ASSERT_EQ(reader.remaining(), expected);
        WAVEFORMATEX format{};
        reader.format(format);
        tickson::pcm_format pcm_format;
        pcm_format.block_align = format.nBlockAlign;
        EXPECT_EQ(tickson::sound_buffer_bytes(reader.remaining(), pcm_format),
                  expected - expected % format.nBlockAlign);

        bytes buffer(expected, 0x55);
        const uint32_t got = reader.read(buffer.data(), static_cast<uint32_t>(expected));
        ASSERT_EQ(got, p.present);
        reader.fill_silence(buffer.data() + got, static_cast<uint32_t>(expected - got));
        EXPECT_EQ(bytes(buffer.begin(), buffer.begin() + got), present);
        EXPECT_EQ(bytes(buffer.begin() + got, buffer.end()), bytes(expected - got, p.silence));
    }
}

TEST_F(tickson_wave, missing_data_or_more_than_the_device_holds_gives_no_buffer) {
    mdx_dsnd_ldr_wave reader;
    // The format is fine, so the file opens; there is nothing to play.
    ASSERT_TRUE(reader.open(write(riff("WAVE", {chunk("fmt ", pcm(1, 22050, 16))})).c_str()));
    tickson::pcm_format pcm_format;
    pcm_format.block_align = 2;
    EXPECT_EQ(tickson::sound_buffer_bytes(reader.remaining(), pcm_format), 0u);
    EXPECT_EQ(tickson::sound_buffer_bytes(0x0FFFFFFF, pcm_format), 0x0FFFFFFEu);
    EXPECT_EQ(tickson::sound_buffer_bytes(0x10000000, pcm_format), 0u);
}

TEST(tickson_logic, a_path_that_does_not_fit_is_empty_not_cut) {
    const wchar_t* folder = L"resource\\tickson"; // 16 characters
    wchar_t path[tickson::sound_path_capacity];
    // 16 + '\' + 243 = 260 characters and the terminator: the last that fits.
    const std::wstring fits(243, L'a');
    ASSERT_TRUE(tickson::join_sound_path(folder, fits.c_str(), path, tickson::sound_path_capacity));
    EXPECT_EQ(std::wstring(path), L"resource\\tickson\\" + fits);
    const std::wstring too_long(244, L'a');
    EXPECT_FALSE(
        tickson::join_sound_path(folder, too_long.c_str(), path, tickson::sound_path_capacity));
    EXPECT_EQ(path[0], L'\0');
    const std::wstring far_too_long(5000, L'a');
    EXPECT_FALSE(
        tickson::join_sound_path(folder, far_too_long.c_str(), path, tickson::sound_path_capacity));
    EXPECT_EQ(path[0], L'\0');
}

// The shipped sounds, as the build made them, through the same reader.
TEST_F(tickson_wave, shipped_sounds_are_short_16_bit_and_the_noise_loops_smoothly) {
    const std::wstring folder = build_bin_folder() + L"\\resource\\tickson\\";
    std::vector<std::vector<int16_t>> sounds;
    for (const wchar_t* name : {L"pi.wav", L"snoise.wav"}) {
        SCOPED_TRACE(name);
        mdx_dsnd_ldr_wave reader;
        ASSERT_TRUE(reader.open((folder + name).c_str()));
        WAVEFORMATEX format{};
        reader.format(format);
        EXPECT_EQ(format.wBitsPerSample, 16);
        std::vector<int16_t> s(reader.remaining() / 2);
        ASSERT_EQ(reader.read(s.data(), static_cast<uint32_t>(s.size() * 2)), s.size() * 2);
        sounds.push_back(std::move(s));
    }
    EXPECT_LT(sounds[0].size(), 44100u / 10) << "a click, not a tune";
    // The step from the last sample back to the first is no bigger than
    // the noise's steps elsewhere: no click at the loop point.
    const auto& noise = sounds[1];
    ASSERT_GT(noise.size(), 1000u);
    int largest_step = 0;
    for (size_t i = 1; i < noise.size(); ++i)
        largest_step = std::max(largest_step, std::abs(noise[i] - noise[i - 1]));
    EXPECT_GT(largest_step, 0);
    EXPECT_LE(std::abs(noise.front() - noise.back()), largest_step);
}

} // namespace
