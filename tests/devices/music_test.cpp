#include "devices/music.h"

#include <gtest/gtest.h>

#include "core/error_log.h"
#include "core/settings.h"
#include "devices/video.h"
#include "platform/audio.h"
#include "platform/paths.h"
#include "players/strateg.h"
#include "sounds.h"
#include "test_support.h"

namespace {

std::int64_t g_FakeSeconds = 1000;
std::int64_t FakeSeconds() { return g_FakeSeconds; }

int CountInLog(const std::string& text)
{
    const std::string log = testsupport::ReadText(g_ErrorLog.FileName());
    int n = 0;
    for (std::size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
        ++n;
    return n;
}

constexpr int kMissingTrack = 5;

class Music : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_Dir = new testsupport::TempDir();
        for (int t = 0; t < MUSIC_TRACK_COUNT; ++t)
            if (t != kMissingTrack)
                ASSERT_TRUE(sampledata::WriteMusicTrack(s_Dir->Path(), t, 0.25));
    }
    static void TearDownTestSuite()
    {
        delete s_Dir;
        s_Dir = nullptr;
    }

    void SetUp() override
    {
        plat::SetGameRoot(s_Dir->Path());
        plat::InvalidatePathCache();
        plat::SetAudioBackend(plat::AudioBackend::Capture);
        g_bMusicOn = 1;
        g_MusicVolume = 100;
        g_MusicState = 0;
        g_MusicTrack = 0;
        g_MusicChangeTime = 0;
        g_bMusicDeviceFailed = 0;
        g_VideoState = 0;
        g_VideoPlaying = 0;
        MyStrateg = nullptr;
        g_FakeSeconds = 1000;
        SetMusicClock(&FakeSeconds);
    }
    void TearDown() override
    {
        FreeMusic();
        EXPECT_FALSE(plat::AudioIsOpen());
        SetMusicClock(nullptr);
        plat::SetAudioBackend(plat::AudioBackend::Device);
        plat::SetGameRoot(".");
        MyStrateg = nullptr;
    }

    // Mixes until the current piece has ended.
    static void PlayToEnd()
    {
        ASSERT_TRUE(g_MusicStream);
        for (int i = 0; i < 100 && g_MusicStream->IsPlaying(); ++i)
            plat::AudioCaptureMix(2205);
        ASSERT_FALSE(g_MusicStream->IsPlaying());
    }

    static bool Playing() { return g_MusicStream && g_MusicStream->IsPlaying(); }

    static testsupport::TempDir* s_Dir;
};

testsupport::TempDir* Music::s_Dir = nullptr;

TEST_F(Music, AfterTheStartPieceComesTheNationsAnthemThenTheFirstPiece)
{
    TStrateg player;
    player.Nation = 3;
    MyStrateg = &player;
    ASSERT_TRUE(PlayMusic(10));
    EXPECT_EQ(g_MusicState, 1u);
    UpdateMusic();
    EXPECT_EQ(GetMusicTrack(), 10);
    PlayToEnd();
    UpdateMusic();
    EXPECT_EQ(GetMusicTrack(), 14); // "National\Germany.ogg"
    EXPECT_TRUE(Playing());
    EXPECT_EQ(g_MusicChangeTime, 1000);

    // A second end within 3 seconds of the last change waits.
    PlayToEnd();
    g_FakeSeconds = 1002;
    UpdateMusic();
    EXPECT_EQ(GetMusicTrack(), 14);
    EXPECT_FALSE(Playing());
    g_FakeSeconds = 1003;
    UpdateMusic();
    EXPECT_EQ(GetMusicTrack(), 0);
    EXPECT_TRUE(Playing());

    // Pieces below 10 go on in order.
    ASSERT_TRUE(PlayMusic(3));
    PlayToEnd();
    g_FakeSeconds = 1010;
    UpdateMusic();
    EXPECT_EQ(GetMusicTrack(), 4);
}

TEST_F(Music, WithoutALocalPlayerOrNationTheStartPieceIsFollowedByTheFirst)
{
    TStrateg unset; // nation 255: no anthem
    for (TStrateg* player : {static_cast<TStrateg*>(nullptr), &unset}) {
        MyStrateg = player;
        ASSERT_TRUE(PlayMusic(10));
        PlayToEnd();
        g_FakeSeconds += 10;
        UpdateMusic();
        EXPECT_EQ(GetMusicTrack(), 0);
        EXPECT_TRUE(Playing());
    }
    // After an anthem or a menu piece comes the first piece.
    ASSERT_TRUE(PlayMusic(18));
    PlayToEnd();
    g_FakeSeconds += 10;
    UpdateMusic();
    EXPECT_EQ(GetMusicTrack(), 0);
}

TEST_F(Music, StopPausesAndResumeContinuesWhereItStopped)
{
    ASSERT_TRUE(PlayMusic(0));
    plat::AudioCaptureMix(1000);
    StopMusic();
    EXPECT_EQ(g_MusicState, 2u);
    EXPECT_FALSE(Playing());
    // Stopped music is left alone by the frame.
    g_FakeSeconds += 10;
    for (int i = 0; i < 5; ++i)
        UpdateMusic();
    EXPECT_EQ(GetMusicTrack(), 0);
    EXPECT_FALSE(Playing());

    g_MusicVolume = 40;
    ResumeMusic();
    EXPECT_EQ(g_MusicState, 1u);
    EXPECT_TRUE(Playing());
    EXPECT_FLOAT_EQ(g_MusicStream->GetVolume(), 0.4f);
    // The rest of the 0.25 s piece (5512 frames at 22050 Hz) plays out after the 1000 already heard.
    plat::AudioCaptureMix(4000);
    EXPECT_TRUE(Playing());
    plat::AudioCaptureMix(1000);
    EXPECT_FALSE(Playing());

    EXPECT_TRUE(SetMusicVolume(70));
    EXPECT_FLOAT_EQ(g_MusicStream->GetVolume(), 0.7f);
    EXPECT_FALSE(SetMusicVolume(101));
    FreeMusic();
    EXPECT_FALSE(SetMusicVolume(50));
}

TEST_F(Music, AMissingTrackIsLoggedOnceAndPassedOver)
{
    const std::string message = "Can't open music file media\\Music\\akt5.ogg";
    ASSERT_EQ(CountInLog(message), 0);
    ASSERT_TRUE(PlayMusic(4));
    PlayToEnd();
    UpdateMusic();
    EXPECT_EQ(GetMusicTrack(), kMissingTrack);
    EXPECT_FALSE(g_MusicStream);
    EXPECT_EQ(CountInLog(message), 1);
    // The frames that follow neither reopen nor log it; the playlist moves on after 3 seconds.
    for (int i = 0; i < 20; ++i)
        UpdateMusic();
    EXPECT_EQ(GetMusicTrack(), kMissingTrack);
    g_FakeSeconds += 3;
    UpdateMusic();
    EXPECT_EQ(GetMusicTrack(), 6);
    EXPECT_TRUE(Playing());
    // Asked for directly, it fails without another log line.
    EXPECT_FALSE(PlayMusic(kMissingTrack));
    EXPECT_EQ(CountInLog(message), 1);
}

TEST_F(Music, RefusalsChangeNothing)
{
    EXPECT_FALSE(PlayMusic(21));
    EXPECT_EQ(GetMusicTrack(), 0);
    EXPECT_EQ(g_MusicState, 0u);

    g_bMusicOn = 0;
    EXPECT_FALSE(PlayMusic(3));
    ResumeMusic();
    EXPECT_EQ(g_MusicState, 0u);
    g_bMusicOn = 1;

    g_VideoState = 1;
    EXPECT_FALSE(PlayMusic(3));
    ResumeMusic();
    EXPECT_EQ(g_MusicState, 0u);
    g_VideoState = 0;
    g_VideoPlaying = 2;
    EXPECT_FALSE(PlayMusic(3));
    g_VideoPlaying = 0;
    EXPECT_EQ(GetMusicTrack(), 0);
    EXPECT_FALSE(g_MusicStream);
}

TEST_F(Music, ResumeWithoutAStreamStartsTheCurrentTrackAtTheNextFrame)
{
    g_MusicTrack = 7;
    ResumeMusic();
    EXPECT_EQ(g_MusicState, 1u);
    EXPECT_FALSE(g_MusicStream);
    UpdateMusic();
    EXPECT_EQ(GetMusicTrack(), 7);
    EXPECT_TRUE(Playing());
}

TEST_F(Music, NoDeviceIsLoggedOnceAndNeverTriedAgain)
{
    plat::SetAudioBackend(plat::AudioBackend::Unavailable);
    const int before = CountInLog("Can't open BGMDevice!");
    EXPECT_FALSE(PlayMusic(1));
    EXPECT_EQ(g_bMusicDeviceFailed, 1);
    plat::SetAudioBackend(plat::AudioBackend::Capture);
    EXPECT_FALSE(PlayMusic(1));
    EXPECT_EQ(CountInLog("Can't open BGMDevice!"), before + 1);
}

TEST_F(Music, CampaignMenuPieces)
{
    const std::uint8_t expected[6] = {0, 20, 17, 18, 19, 16};
    for (int c = 0; c < 6; ++c)
        EXPECT_EQ(GetCampaignMusicTrack(c), expected[c]) << c;
    PlayCampaignMusic(2);
    EXPECT_EQ(GetMusicTrack(), 17);
    plat::AudioCaptureMix(1000);
    const auto* stream = g_MusicStream.get();
    PlayCampaignMusic(2); // already the current piece: not restarted
    EXPECT_EQ(g_MusicStream.get(), stream);
}

} // namespace
