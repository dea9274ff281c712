#include "platform/video.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>
#include <vector>

#include "films.h"
#include "platform/messages.h"
#include "test_support.h"

using namespace plat;
using sampledata::Film;

namespace {

// One film written once for the whole program: encoding is the slow part under the sanitizers.
class SampleFilm : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_Dir = new testsupport::TempDir;
        s_Path = *s_Dir / "Velm.ogm";
        s_Written = sampledata::WriteFilm(s_Path, Film::Logo);
    }
    static void TearDownTestSuite()
    {
        delete s_Dir;
        s_Dir = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(s_Written) << "the film writer failed; see ReportError.log"; }

    static testsupport::TempDir* s_Dir;
    static std::string s_Path;
    static bool s_Written;
};
testsupport::TempDir* SampleFilm::s_Dir = nullptr;
std::string SampleFilm::s_Path;
bool SampleFilm::s_Written = false;

// Channels of a 16-bit pixel widened to 8 bits.
void Unpack(std::uint16_t pixel, PixelFormat format, int rgb[3])
{
    if (format == PixelFormat::RGB565) {
        rgb[0] = ((pixel >> 11) & 31) * 255 / 31;
        rgb[1] = ((pixel >> 5) & 63) * 255 / 63;
        rgb[2] = (pixel & 31) * 255 / 31;
    } else {
        rgb[0] = ((pixel >> 10) & 31) * 255 / 31;
        rgb[1] = ((pixel >> 5) & 31) * 255 / 31;
        rgb[2] = (pixel & 31) * 255 / 31;
    }
}

struct Difference {
    double mean = 0.0; // mean absolute difference per channel, 8-bit units
    int worstInFlatArea = 0;
};

// Compares a decoded picture (scaled back to the drawing's size when it is larger) with the drawing.
Difference Compare(const PixelBuffer& picture, Film film, int frame)
{
    const int w = sampledata::kFilmWidth;
    const int h = sampledata::kFilmHeight;
    std::vector<std::uint8_t> drawn(static_cast<std::size_t>(w) * h * 3);
    sampledata::DrawFilmPicture(film, frame, drawn.data(), w * 3);
    const int sx = picture.Width() / w;
    const int sy = picture.Height() / h;
    Difference d;
    long long sum = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            int got[3];
            Unpack(picture.Row16(y * sy + sy / 2)[x * sx + sx / 2], picture.Format(), got);
            for (int c = 0; c < 3; ++c) {
                const int diff = std::abs(got[c] - drawn[(static_cast<std::size_t>(y) * w + x) * 3 + c]);
                sum += diff;
                // Left of the block's path and above the counter bars the picture is a smooth gradient.
                if (y > 8 && y < h - 40 && (y < 80 || y > 160) && x > 8 && x < w - 8)
                    d.worstInFlatArea = std::max(d.worstInFlatArea, diff);
            }
        }
    }
    d.mean = static_cast<double>(sum) / (static_cast<double>(w) * h * 3);
    return d;
}

TEST_F(SampleFilm, DecodesEveryPictureCloseToTheDrawingWithItsSound)
{
    VideoDecoder decoder;
    ASSERT_TRUE(decoder.Open(s_Path));
    EXPECT_EQ(decoder.Width(), sampledata::kFilmWidth);
    EXPECT_EQ(decoder.Height(), sampledata::kFilmHeight);
    EXPECT_NEAR(decoder.FrameRate(), sampledata::kFilmFramesPerSecond, 0.01);
    EXPECT_TRUE(decoder.HasAudio());

    const int frames = sampledata::GetFilmInfo(Film::Logo).frameCount;
    PixelBuffer picture;
    std::vector<std::int16_t> sound;
    std::int64_t timeMs = 0;
    std::int64_t lastMs = -1;
    int count = 0;
    int result = 0;
    while ((result = decoder.DecodeNext(picture, timeMs)) == 1) {
        EXPECT_GT(timeMs, lastMs) << "picture " << count;
        EXPECT_NEAR(static_cast<double>(timeMs), count * 1000.0 / sampledata::kFilmFramesPerSecond, 1.0);
        lastMs = timeMs;
        if (count == 0 || count == 17 || count == frames - 1) {
            ASSERT_EQ(picture.Format(), PixelFormat::RGB565);
            const Difference d = Compare(picture, Film::Logo, count);
            // Lossy coding and 5/6-bit channels: close on average, and no gross error in smooth areas.
            EXPECT_LT(d.mean, 6.0) << "picture " << count;
            EXPECT_LT(d.worstInFlatArea, 40) << "picture " << count;
        }
        ++count;
    }
    EXPECT_EQ(result, 0);
    EXPECT_EQ(count, frames);
    decoder.TakeAudio(sound);
    // Two seconds of stereo at the output rate, give or take the coder's padding.
    const double seconds = static_cast<double>(sound.size()) / kVideoAudioChannels / kVideoAudioRate;
    EXPECT_NEAR(seconds, static_cast<double>(frames) / sampledata::kFilmFramesPerSecond, 0.15);
    double energy = 0.0;
    for (std::int16_t s : sound)
        energy += static_cast<double>(s) * s;
    EXPECT_GT(std::sqrt(energy / static_cast<double>(sound.size() + 1)), 1000.0) << "the tone is missing";
    // The end stays the end.
    EXPECT_EQ(decoder.DecodeNext(picture, timeMs), 0);
}

TEST_F(SampleFilm, ScalesIntoOtherSizesAndFormats)
{
    struct {
        int w, h;
        PixelFormat format;
    } cases[] = {{640, 480, PixelFormat::RGB565}, {320, 240, PixelFormat::RGB555}};
    for (const auto& c : cases) {
        VideoDecoder decoder;
        ASSERT_TRUE(decoder.Open(s_Path));
        ASSERT_TRUE(decoder.SetOutput(c.w, c.h, c.format));
        PixelBuffer picture;
        std::int64_t timeMs = 0;
        ASSERT_EQ(decoder.DecodeNext(picture, timeMs), 1);
        EXPECT_EQ(picture.Width(), c.w);
        EXPECT_EQ(picture.Height(), c.h);
        EXPECT_EQ(picture.Format(), c.format);
        EXPECT_LT(Compare(picture, Film::Logo, 0).mean, 8.0) << c.w;
    }
    VideoDecoder decoder;
    ASSERT_TRUE(decoder.Open(s_Path));
    EXPECT_FALSE(decoder.SetOutput(0, 240, PixelFormat::RGB565));
    EXPECT_FALSE(decoder.SetOutput(320, 240, PixelFormat::ARGB4444));
}

TEST_F(SampleFilm, FilesThatAreNoFilmsAreRefused)
{
    testsupport::TempDir dir;
    const std::vector<std::uint8_t> film = testsupport::ReadAll(s_Path);
    ASSERT_GT(film.size(), 4096u);
    testsupport::WriteText(dir / "text.ogm", "None\r\nVelm.ogm\r\n");
    testsupport::WriteText(dir / "empty.ogm", "");
    VideoDecoder decoder;
    EXPECT_FALSE(decoder.Open(dir / "missing.ogm"));
    EXPECT_FALSE(decoder.Open(dir / "text.ogm"));
    EXPECT_FALSE(decoder.Open(dir / "empty.ogm"));
    EXPECT_FALSE(decoder.IsOpen());

    // A film cut short plays what it has and then ends (or reports an error), never more.
    testsupport::WriteText(dir / "cut.ogm", std::string(film.begin(), film.begin() + film.size() / 2));
    ASSERT_TRUE(decoder.Open(dir / "cut.ogm"));
    PixelBuffer picture;
    std::int64_t timeMs = 0;
    int count = 0;
    int result = 0;
    while ((result = decoder.DecodeNext(picture, timeMs)) == 1)
        ++count;
    EXPECT_LT(count, sampledata::GetFilmInfo(Film::Logo).frameCount);
    EXPECT_LE(result, 0);
}

TEST_F(SampleFilm, PlayerShowsPicturesAndPostsTheEnd)
{
    ClearAppMessages();
    VideoPlayer player;
    EXPECT_FALSE(player.Run()); // nothing open
    ASSERT_TRUE(player.Open(s_Path));
    ASSERT_TRUE(player.SetPictureSize(160, 120, PixelFormat::RGB565));
    std::size_t soundFrames = 0;
    player.SetAudioSink([&soundFrames](const std::int16_t*, std::size_t frames) { soundFrames += frames; });
    ASSERT_TRUE(player.Run());

    int shown = 0;
    Message msg;
    bool ended = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (!ended && std::chrono::steady_clock::now() < deadline) {
        if (player.ShowPicture(
                [&](const PixelBuffer& picture) {
                    EXPECT_EQ(picture.Width(), 160);
                    EXPECT_EQ(picture.Height(), 120);
                },
                20))
            ++shown;
        while (PeekAppMessage(msg)) {
            if (msg.message == MSG_VIDEO_EVENT)
                ended = true;
        }
    }
    ASSERT_TRUE(ended) << "no end event";
    EXPECT_EQ(msg.wParam, static_cast<std::uintptr_t>(VideoEvent::Complete));
    VideoEvent code = VideoEvent::None;
    ASSERT_TRUE(player.GetEvent(code));
    EXPECT_EQ(code, VideoEvent::Complete);
    EXPECT_FALSE(player.GetEvent(code));
    EXPECT_EQ(player.PicturesDecoded(), static_cast<std::uint32_t>(sampledata::GetFilmInfo(Film::Logo).frameCount));
    EXPECT_GT(shown, 0);
    EXPECT_GT(soundFrames, 0u);
    player.Stop();
}

TEST_F(SampleFilm, StoppingEarlyPostsNothing)
{
    ClearAppMessages();
    VideoPlayer player;
    ASSERT_TRUE(player.Open(s_Path));
    ASSERT_TRUE(player.Run());
    player.ShowPicture({}, 200);
    player.Stop();
    EXPECT_FALSE(player.IsOpen());
    VideoEvent code;
    EXPECT_FALSE(player.GetEvent(code));
    Message msg;
    EXPECT_FALSE(PeekAppMessage(msg));
    // The same player plays again after a stop.
    ASSERT_TRUE(player.Open(s_Path));
    ASSERT_TRUE(player.Run());
    player.Stop();
}

} // namespace

TEST(FilmLimits, DamagedTimingIsRefused)
{
    struct Case {
        double fps;
        bool playable;
    };
    for (const Case& c : {Case{0.0, true}, Case{15.0, true}, Case{1.0, true}, Case{0.001, false}, Case{1e-9, false},
                          Case{-5.0, false}, Case{1e6, false}}) {
        SCOPED_TRACE(c.fps);
        EXPECT_EQ(plat::IsPlayableFrameRate(c.fps), c.playable);
    }
    for (int hz : {1, 100, 3999, 192001, 0x7FFFFFFF, -44100})
        EXPECT_FALSE(plat::IsPlayableSoundRate(hz)) << hz;
    for (int hz : {8000, 22050, 44100, 48000})
        EXPECT_TRUE(plat::IsPlayableSoundRate(hz)) << hz;
    EXPECT_TRUE(plat::IsPlausiblePictureTime(0, 0));
    EXPECT_TRUE(plat::IsPlausiblePictureTime(1000, 1066));
    EXPECT_TRUE(plat::IsPlausiblePictureTime(1000, 900));
    EXPECT_FALSE(plat::IsPlausiblePictureTime(1000, 1000 + plat::kFilmMaxPictureGapMs + 1));
    EXPECT_FALSE(plat::IsPlausiblePictureTime(0, INT64_MAX));
    EXPECT_FALSE(plat::IsPlausiblePictureTime(0, -1));
}
