#include "platform/wav.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "platform/bytes.h"
#include "test_support.h"

using namespace plat;

namespace {

std::vector<std::uint8_t> Chunk(const char* id, std::vector<std::uint8_t> body, std::uint32_t declared = 0xFFFFFFFF)
{
    std::vector<std::uint8_t> c(8);
    std::memcpy(c.data(), id, 4);
    WriteU32LE(c.data() + 4, declared == 0xFFFFFFFF ? static_cast<std::uint32_t>(body.size()) : declared);
    c.insert(c.end(), body.begin(), body.end());
    if (body.size() & 1)
        c.push_back(0);
    return c;
}

std::vector<std::uint8_t> Fmt(std::size_t size)
{
    std::vector<std::uint8_t> f(std::max<std::size_t>(size, 18), 0);
    WriteU16LE(f.data(), 1);
    WriteU16LE(f.data() + 2, 1);
    WriteU32LE(f.data() + 4, 22050);
    WriteU32LE(f.data() + 8, 44100);
    WriteU16LE(f.data() + 12, 2);
    WriteU16LE(f.data() + 14, 16);
    WriteU16LE(f.data() + 16, 0x55);
    f.resize(size);
    return f;
}

std::vector<std::uint8_t> Riff(const char* form, std::initializer_list<std::vector<std::uint8_t>> chunks)
{
    std::vector<std::uint8_t> body(form, form + 4);
    for (const auto& c : chunks)
        body.insert(body.end(), c.begin(), c.end());
    return Chunk("RIFF", body);
}

} // namespace

TEST(WaveReader, ReadsFormatAndDataPastOtherChunks)
{
    const auto image = Riff("WAVE", {Chunk("LIST", {1, 2, 3}), Chunk("fmt ", Fmt(18)), Chunk("fact", {0, 0, 0, 0}),
                                     Chunk("data", {1, 2, 3, 4, 5, 6})});
    WaveData wave;
    ASSERT_TRUE(ParseWave(image, wave));
    EXPECT_EQ(wave.format.formatTag, kWaveFormatPcm);
    EXPECT_EQ(wave.format.samplesPerSec, 22050u);
    EXPECT_EQ(wave.format.bitsPerSample, 16);
    EXPECT_EQ(wave.format.extraSize, 0x55);
    EXPECT_EQ(wave.samples, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6}));
    // The 16-byte form of the format record reads no size word.
    ASSERT_TRUE(ParseWave(Riff("WAVE", {Chunk("fmt ", Fmt(16)), Chunk("data", {9, 9})}), wave));
    EXPECT_EQ(wave.format.extraSize, 0);
}

TEST(WaveReader, RefusesDamagedFiles)
{
    const auto good = Riff("WAVE", {Chunk("fmt ", Fmt(16)), Chunk("data", {1, 2, 3, 4})});
    auto truncated = good;
    truncated.resize(truncated.size() - 1);
    auto notRiff = good;
    std::memcpy(notRiff.data(), "RIFX", 4);
    struct Case {
        const char* what;
        std::vector<std::uint8_t> image;
    } cases[] = {
        {"empty", {}},
        {"short header", {'R', 'I', 'F', 'F', 4, 0, 0}},
        {"not RIFF", notRiff},
        {"not WAVE", Riff("AVI ", {Chunk("fmt ", Fmt(16)), Chunk("data", {1, 2})})},
        {"data cut short", truncated},
        {"format record too short", Riff("WAVE", {Chunk("fmt ", Fmt(14)), Chunk("data", {1, 2})})},
        {"data before format", Riff("WAVE", {Chunk("data", {1, 2}), Chunk("fmt ", Fmt(16))})},
        {"no data", Riff("WAVE", {Chunk("fmt ", Fmt(16))})},
        {"no format", Riff("WAVE", {Chunk("LIST", {1, 2})})},
        {"chunk size beyond the file", Riff("WAVE", {Chunk("fmt ", Fmt(16)), Chunk("data", {1, 2}, 0xFFFFFFF0u)})},
    };
    for (const auto& c : cases) {
        WaveData wave;
        std::string reason;
        EXPECT_FALSE(ParseWave(c.image, wave, &reason)) << c.what;
        EXPECT_FALSE(reason.empty()) << c.what;
        EXPECT_TRUE(wave.samples.empty()) << c.what;
    }
}

TEST(WaveReader, WrittenImageReadsBackFromAFile)
{
    testsupport::TempDir dir;
    const std::vector<std::uint8_t> samples = {128, 130, 126};
    const auto image = BuildWaveImage(1, 11025, 8, samples);
    const std::string path = dir / "click.wav";
    testsupport::WriteText(path, std::string(image.begin(), image.end()));
    WaveData wave;
    ASSERT_TRUE(ReadWaveFile(path, wave));
    EXPECT_EQ(wave.format.channels, 1);
    EXPECT_EQ(wave.format.samplesPerSec, 11025u);
    EXPECT_EQ(wave.format.blockAlign, 1);
    EXPECT_EQ(wave.samples, samples);
    EXPECT_FALSE(ReadWaveFile(dir / "missing.wav", wave));
}
