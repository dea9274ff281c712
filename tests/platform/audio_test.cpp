#include "platform/audio.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "platform/music_stream.h"
#include "platform/ogg_encode.h"
#include "test_support.h"

using namespace plat;

namespace {

class Mixer : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetAudioBackend(AudioBackend::Capture);
        ASSERT_TRUE(AudioOpen(22050));
    }
    void TearDown() override
    {
        AudioClose();
        SetAudioBackend(AudioBackend::Device);
    }
};

std::vector<std::uint8_t> Pcm16(std::initializer_list<int> values)
{
    std::vector<std::uint8_t> b;
    for (int v : values) {
        b.push_back(static_cast<std::uint8_t>(v & 0xFF));
        b.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
    }
    return b;
}

std::unique_ptr<AudioBuffer> MakeBuffer(const PcmFormat& f, const std::vector<std::uint8_t>& data, bool with3D = false)
{
    auto b = AudioBuffer::Create(f, static_cast<std::uint32_t>(data.size()), with3D);
    if (b)
        b->Write(0, data);
    return b;
}

} // namespace

TEST_F(Mixer, ConvertsEachSampleLayoutToTheStereoMix)
{
    struct Case {
        const char* what;
        PcmFormat format;
        std::vector<std::uint8_t> frame; // one frame, repeated
        int left, right;
    } cases[] = {
        {"8-bit mono", {22050, 1, 8}, {0xC0}, 64 * 256, 64 * 256},
        {"8-bit stereo", {22050, 2, 8}, {0x00, 0xFF}, -128 * 256, 127 * 256},
        {"16-bit mono", {22050, 1, 16}, Pcm16({-1234}), -1234, -1234},
        {"16-bit stereo", {22050, 2, 16}, Pcm16({1000, -2000}), 1000, -2000},
        {"16-bit mono at 11025 Hz", {11025, 1, 16}, Pcm16({500}), 500, 500},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> data;
        for (int i = 0; i < 400; ++i)
            data.insert(data.end(), c.frame.begin(), c.frame.end());
        auto b = MakeBuffer(c.format, data);
        ASSERT_TRUE(b) << c.what;
        ASSERT_TRUE(b->Play(false));
        const auto out = AudioCaptureMix(100);
        EXPECT_EQ(out[100], c.left) << c.what;
        EXPECT_EQ(out[101], c.right) << c.what;
    }
}

TEST_F(Mixer, ResamplesByLinearInterpolation)
{
    // A ramp at half the output rate: every other output frame falls halfway between two samples.
    auto b = MakeBuffer({11025, 1, 16}, Pcm16({0, 1000, 2000, 3000, 4000}));
    ASSERT_TRUE(b->Play(false));
    const auto out = AudioCaptureMix(8);
    const int expected[8] = {0, 500, 1000, 1500, 2000, 2500, 3000, 3500};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(out[2 * i], expected[i]) << i;
    // The one-shot ran out after 10 output frames and then stopped.
    AudioCaptureMix(4);
    EXPECT_EQ(b->GetStatus(), 0u);
}

TEST_F(Mixer, OneShotStopsAtItsEndAndLoopWraps)
{
    auto once = MakeBuffer({22050, 1, 16}, Pcm16({100, 100, 100, 100}));
    auto loop = MakeBuffer({22050, 1, 16}, Pcm16({7, 7, 7, 7}));
    ASSERT_TRUE(once->Play(false));
    ASSERT_TRUE(loop->Play(true));
    EXPECT_EQ(once->GetStatus(), kAudioStatusPlaying);
    EXPECT_EQ(loop->GetStatus(), kAudioStatusPlaying | kAudioStatusLooping);
    const auto out = AudioCaptureMix(10);
    EXPECT_EQ(out[2 * 3], 107);
    EXPECT_EQ(out[2 * 4], 7);
    EXPECT_EQ(out[2 * 9], 7);
    EXPECT_EQ(once->GetStatus(), 0u);
    EXPECT_EQ(loop->GetStatus(), kAudioStatusPlaying | kAudioStatusLooping);
    // Stop keeps the position; Play continues from it.
    loop->Stop();
    EXPECT_EQ(loop->GetCurrentPosition(), 2u * 2u);
}

TEST_F(Mixer, VolumeIsInHundredthsOfADecibel)
{
    EXPECT_FLOAT_EQ(VolumeToGain(0), 1.0f);
    EXPECT_NEAR(VolumeToGain(-600), 0.501f, 0.001f);
    EXPECT_NEAR(VolumeToGain(-2000), 0.1f, 0.0001f);
    EXPECT_EQ(VolumeToGain(kVolumeMin), 0.0f);
    auto b = MakeBuffer({22050, 1, 16}, Pcm16({10000, 10000, 10000, 10000}));
    b->SetVolume(-2000);
    EXPECT_EQ(b->GetVolume(), -2000);
    b->SetVolume(500); // above full volume is full volume
    EXPECT_EQ(b->GetVolume(), 0);
    b->SetVolume(-2000);
    b->Play(false);
    EXPECT_NEAR(AudioCaptureMix(2)[0], 1000, 1);
}

TEST(Audio3D, DistanceGainAndPan)
{
    ListenerParams listener;
    listener.rollOffFactor = 5.0f;
    struct Case {
        float x, z;
        float left, right;
    } cases[] = {
        {0, 0, 1.0f, 1.0f},               // at the listener
        {0, 100, 1.0f, 1.0f},             // inside the minimum distance, straight ahead
        {0, 200, 1.0f / 6.0f, 1.0f / 6.0f},   // min / (min + 5 * (d - min)) at twice the minimum
        {0, 5000, 1.0f / 11.0f, 1.0f / 11.0f}, // held at the maximum distance (300)
        {100, 0, 0.0f, 1.0f},             // hard right
        {-100, 0, 1.0f, 0.0f},            // hard left
    };
    for (const auto& c : cases) {
        Sound3DParams p;
        p.x = c.x;
        p.z = c.z;
        p.minDistance = 100;
        p.maxDistance = 300;
        p.mode = Sound3DMode::HeadRelative;
        const StereoGain g = Compute3DGain(p, listener);
        EXPECT_NEAR(g.left, c.left, 1e-4) << c.x << "," << c.z;
        EXPECT_NEAR(g.right, c.right, 1e-4) << c.x << "," << c.z;
    }
    // Normal mode measures from the listener's position; head-relative ignores it.
    listener.x = 100;
    Sound3DParams p;
    p.x = 100;
    p.minDistance = 10;
    p.mode = Sound3DMode::Normal;
    EXPECT_NEAR(Compute3DGain(p, listener).left, 1.0f, 1e-4);
    p.mode = Sound3DMode::HeadRelative;
    EXPECT_NEAR(Compute3DGain(p, listener).left, 0.0f, 1e-4);
}

TEST_F(Mixer, DuplicatesShareTheirSampleData)
{
    auto a = MakeBuffer({22050, 1, 16}, Pcm16({1, 1, 1, 1}), true);
    auto b = a->Duplicate();
    ASSERT_TRUE(b);
    EXPECT_EQ(a->DataIdentity(), b->DataIdentity());
    EXPECT_TRUE(b->Has3D());
    // A write through the original is heard in the duplicate.
    a->Write(0, Pcm16({900, 900, 900, 900}));
    b->Play(false);
    EXPECT_EQ(AudioCaptureMix(1)[0], 900);
    // The data outlives the buffer it was made for.
    a.reset();
    b->SetCurrentPosition(0);
    b->Play(false);
    EXPECT_EQ(AudioCaptureMix(1)[0], 900);
}

TEST_F(Mixer, MixesManyVoicesAndClips)
{
    std::vector<std::unique_ptr<AudioBuffer>> voices;
    for (int i = 0; i < 20; ++i) {
        voices.push_back(MakeBuffer({22050, 1, 16}, Pcm16({1000, 1000, 1000, 1000})));
        voices.back()->Play(true);
    }
    EXPECT_EQ(AudioPlayingVoiceCount(), 20);
    EXPECT_EQ(AudioCaptureMix(1)[0], 20000);
    for (int i = 0; i < 20; ++i)
        voices[i]->Write(0, Pcm16({30000, 30000, 30000, 30000}));
    EXPECT_EQ(AudioCaptureMix(1)[0], 32767);
}

TEST_F(Mixer, RefusesWhatItCannotPlay)
{
    struct Case {
        PcmFormat format;
        std::uint32_t bytes;
    } cases[] = {
        {{22050, 3, 16}, 600}, {{22050, 1, 12}, 600}, {{22050, 0, 16}, 600},
        {{50, 1, 16}, 600},    {{22050, 1, 16}, 1},   {{22050, 2, 16}, 3},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(AudioBuffer::Create(c.format, c.bytes, false));
    auto b = MakeBuffer({22050, 1, 16}, Pcm16({1, 2}));
    EXPECT_FALSE(b->Write(2, Pcm16({1, 2})));
    EXPECT_FALSE(b->Set3DParams(Sound3DParams{}));
    EXPECT_FALSE(b->SetCurrentPosition(5));
}

TEST_F(Mixer, QueuedStreamPlaysInOrderWaitsAndEnds)
{
    auto queue = std::make_shared<PcmQueue>(PcmFormat{22050, 1, 16});
    auto stream = AudioStream::Open(queue);
    ASSERT_TRUE(stream);
    const std::int16_t first[3] = {10, 20, 30};
    queue->Push(first);
    stream->Play();
    auto out = AudioCaptureMix(3);
    EXPECT_EQ(out[0], 10);
    EXPECT_EQ(out[2], 20);
    EXPECT_EQ(out[4], 30);
    // Nothing queued: silence, and the stream waits.
    out = AudioCaptureMix(4);
    EXPECT_EQ(out[6], 0);
    EXPECT_TRUE(stream->IsPlaying());
    queue->Finish();
    AudioCaptureMix(4);
    EXPECT_FALSE(stream->IsPlaying());
    EXPECT_TRUE(stream->Ended());
}

TEST(AudioDevice, BackendsOpenAndCloseInPairs)
{
    SetAudioBackend(AudioBackend::Unavailable);
    EXPECT_FALSE(AudioOpen());
    EXPECT_FALSE(AudioIsOpen());
    EXPECT_FALSE(AudioBuffer::Create({22050, 1, 16}, 100, false));
    // The SDL device, with the dummy driver of the headless runs.
    SetAudioBackend(AudioBackend::Device);
    if (AudioOpen()) {
        EXPECT_TRUE(AudioOpen());
        AudioClose();
        EXPECT_TRUE(AudioIsOpen());
        EXPECT_TRUE(AudioCaptureMix(10).empty());
        AudioClose();
    }
    EXPECT_FALSE(AudioIsOpen());
}

TEST_F(Mixer, MusicSoundPausesAndContinuesWhereItStopped)
{
    testsupport::TempDir dir;
    std::vector<std::int16_t> pcm(22050 * 2);
    for (std::size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = static_cast<std::int16_t>(8000 * std::sin(static_cast<double>(i / 2) * 0.05));
    std::vector<std::uint8_t> ogg;
    ASSERT_TRUE(EncodeOggVorbis(pcm, 2, 22050, 0.3f, ogg));
    const std::string path = dir / "tone.ogg";
    testsupport::WriteText(path, std::string(ogg.begin(), ogg.end()));

    auto device = OpenMusicDevice();
    ASSERT_TRUE(device);
    // Uninterrupted reference.
    auto reference = OpenMusicSound(device, OpenMusicSource(path), true);
    ASSERT_TRUE(reference);
    reference->Play();
    const auto whole = AudioCaptureMix(6000);
    reference.reset();

    auto sound = OpenMusicSound(device, OpenMusicSource(path), true);
    sound->Play();
    const auto before = AudioCaptureMix(2500);
    sound->Stop();
    EXPECT_FALSE(sound->IsPlaying());
    const auto paused = AudioCaptureMix(1000);
    EXPECT_TRUE(std::all_of(paused.begin(), paused.end(), [](std::int16_t s) { return s == 0; }));
    sound->Play();
    const auto after = AudioCaptureMix(3500);
    ASSERT_EQ(before.size() + after.size(), whole.size());
    EXPECT_TRUE(std::equal(before.begin(), before.end(), whole.begin()));
    EXPECT_TRUE(std::equal(after.begin(), after.end(), whole.begin() + static_cast<std::ptrdiff_t>(before.size())));
    // The piece ends by itself.
    AudioCaptureMix(22050);
    EXPECT_FALSE(sound->IsPlaying());
}

TEST_F(Mixer, MusicSourceRefusesWhatIsNotOggVorbis)
{
    testsupport::TempDir dir;
    testsupport::WriteText(dir / "bad.ogg", "OggS but not really a stream");
    EXPECT_FALSE(OpenMusicSource(dir / "bad.ogg"));
    EXPECT_FALSE(OpenMusicSource(dir / "missing.ogg"));
    EXPECT_FALSE(OpenMusicSound(OpenMusicDevice(), nullptr, true));
}
