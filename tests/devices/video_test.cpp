#include "devices/video.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <deque>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/settings.h"
#include "devices/cursor_state.h"
#include "devices/display.h"
#include "devices/music.h"
#include "films.h"
#include "sounds.h"
#include "platform/audio.h"
#include "platform/messages.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "test_support.h"

namespace {

// Records what the state machine asks of a player; films named in `unplayable` fail to open.
class FakePlayer : public TVideoPlayer {
public:
    FakePlayer(std::string& trace, const std::set<std::string>& unplayable) : m_Trace(trace), m_Unplayable(unplayable) {}

    bool OpenVideo(const std::u16string& path) override
    {
        const std::string name = plat::Utf16ToUtf8(path);
        if (m_Unplayable.count(name)) {
            m_Trace += "fail " + name + "; ";
            return false;
        }
        m_Trace += "open " + name + "; ";
        return true;
    }
    void SetupVideoWindow(int aspectCode) override { m_Trace += "aspect " + std::to_string(aspectCode) + "; "; }
    void Run() override { m_Trace += "run; "; }
    bool GetEvent(plat::VideoEvent& code) override
    {
        if (events.empty())
            return false;
        code = events.front();
        events.pop_front();
        return true;
    }
    void CloseVideo() override
    {
        events.clear();
        m_Trace += "close; ";
    }
    void ShowFrame() override {}

    std::deque<plat::VideoEvent> events;

private:
    std::string& m_Trace;
    std::set<std::string> m_Unplayable;
};

struct VideoCase {
    const char* name;
    std::optional<std::vector<std::string>> videoList; // nullopt: no Media\Video.inf
    std::vector<std::string> creditsList;
    std::set<std::string> unplayable;
    bool playVideo;
    std::uint8_t startState; // after IniDirectMedia; 0 keeps its 1
    // F: a frame (VideoWindowProc), E: the film's end event arrives, S: Escape.
    const char* steps;
    std::uint32_t musicStateAfter;
    const char* expectedTrace;
};

void PrintTo(const VideoCase& c, std::ostream* os)
{
    *os << c.name;
}

class VideoStateMachine : public ::testing::TestWithParam<VideoCase> {
protected:
    void SetUp() override
    {
        plat::SetGameRoot(m_Dir.Path());
        plat::InvalidatePathCache();
        m_SavedPlayVideo = g_bPlayVideo;
        m_SavedMusicOn = g_bMusicOn;
        g_bMusicOn = 1;
        g_MusicState = 0;
        g_bCursorVisible = 1;
        SetVideoDisplaySwitch([this](std::uint8_t mode) {
            m_Trace += "display " + std::to_string(mode) + "; ";
            return true;
        });
    }
    void TearDown() override
    {
        FreeDirectMedia();
        SetVideoPlayerFactory({});
        SetVideoDisplaySwitch({});
        plat::ClearAppMessages();
        g_bPlayVideo = m_SavedPlayVideo;
        g_bMusicOn = m_SavedMusicOn;
        plat::SetGameRoot(".");
    }

    void Start(const VideoCase& c)
    {
        if (c.videoList) {
            ASSERT_TRUE(sampledata::WriteVideoLists(m_Dir.Path(), *c.videoList, c.creditsList));
        }
        g_bPlayVideo = c.playVideo ? 1 : 0;
        SetVideoPlayerFactory([this, unplayable = c.unplayable] {
            auto player = std::make_unique<FakePlayer>(m_Trace, unplayable);
            m_Player = player.get();
            return player;
        });
        ASSERT_TRUE(IniDirectMedia());
        if (c.startState)
            g_VideoState = c.startState;
    }

    void Run(const char* steps)
    {
        for (const char* s = steps; *s; ++s) {
            switch (*s) {
            case 'F':
                m_Trace += VideoWindowProc() ? "T; " : "f; ";
                break;
            case 'E':
                m_Player->events.push_back(plat::VideoEvent::Complete);
                HandleVideoEvent();
                break;
            case 'S':
                SkipVideo();
                break;
            default:
                break;
            }
        }
    }

    testsupport::TempDir m_Dir;
    std::string m_Trace;
    FakePlayer* m_Player = nullptr;
    std::uint8_t m_SavedPlayVideo = 1;
    std::uint8_t m_SavedMusicOn = 1;
};

TEST_P(VideoStateMachine, PlaysTheListedFilmsInOrder)
{
    const VideoCase& c = GetParam();
    Start(c);
    Run(c.steps);
    EXPECT_EQ(m_Trace, c.expectedTrace);
    // Every case ends with nothing pending or playing and the cursor back.
    EXPECT_EQ(g_VideoState, 0);
    EXPECT_EQ(g_VideoPlaying, 0);
    EXPECT_EQ(g_bCursorVisible, 1);
    EXPECT_EQ(g_MusicState, c.musicStateAfter);
}

const VideoCase kCases[] = {
    {"DefaultsWithoutListFile", std::nullopt, {}, {}, true, 0, "FFFFEFFE", 1,
     "f; open Media\\Velm.ogm; display 1; aspect 43; run; T; T; T; close; "
     "open Media\\IntroRussian.ogm; aspect 43; run; T; T; close; display 0; "},
    {"EscapeDuringLogoStartsIntro", std::nullopt, {}, {}, true, 0, "FFSFS", 1,
     "f; open Media\\Velm.ogm; display 1; aspect 43; run; T; close; "
     "open Media\\IntroRussian.ogm; aspect 43; run; T; close; display 0; "},
    {"EscapeDuringLastFilmEndsSequence", std::vector<std::string>{"Logo.ogm", "Intro.ogm"}, {}, {}, true, 0, "FEFSF", 1,
     "open Media\\Logo.ogm; display 1; aspect 43; run; T; close; "
     "open Media\\Intro.ogm; aspect 43; run; T; close; display 0; f; "},
    {"FirstFilmUnplayableIsPassedOver", std::vector<std::string>{"Broken.ogm", "Intro.ogm"}, {},
     {"Media\\Broken.ogm"}, true, 0, "FFE", 1,
     "fail Media\\Broken.ogm; f; open Media\\Intro.ogm; display 1; aspect 43; run; T; close; display 0; "},
    {"LaterFilmUnplayableStillRestoresDisplay", std::vector<std::string>{"Logo.ogm", "Broken.ogm"}, {},
     {"Media\\Broken.ogm"}, true, 0, "FEF", 1,
     "open Media\\Logo.ogm; display 1; aspect 43; run; T; close; fail Media\\Broken.ogm; display 0; f; "},
    {"VideosSwitchedOffPlayNothing", std::nullopt, {}, {}, false, 0, "FFF", 1, "f; f; f; "},
    {"CreditsPlayOnlyTheirFirstEntry", std::vector<std::string>{"Logo.ogm"}, {"Credits.ogm", "More.ogm"}, {}, true,
     VIDEO_CREDITS, "FFEF", 1, "open Media\\Credits.ogm; display 1; aspect 43; run; T; T; close; display 0; f; "},
    {"OnlyFilmUnplayableEndsAtTheListsEnd", std::vector<std::string>{"Broken.ogm"}, {}, {"Media\\Broken.ogm"}, true, 0,
     "FFF", 1, "fail Media\\Broken.ogm; f; f; f; "},
    // Nothing was stopped for the credits, so nothing is resumed either.
    {"CreditsWithNoneFirstPlayNothing", std::nullopt, {}, {}, true, VIDEO_CREDITS, "FF", 0, "f; f; "},
};

INSTANTIATE_TEST_SUITE_P(Films, VideoStateMachine, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<VideoCase>& info) { return std::string(info.param.name); });

TEST_F(VideoStateMachine, EventsOtherThanTheEndAndStrayMessagesAreIgnored)
{
    Start(VideoCase{"", std::vector<std::string>{"Logo.ogm", "Intro.ogm"}, {}, {}, true, 0, "", 0, ""});
    Run("F");
    ASSERT_EQ(g_VideoPlaying, 1);
    HandleVideoEvent(); // nothing queued: a message that arrives after its event was taken
    m_Player->events.push_back(plat::VideoEvent::None);
    HandleVideoEvent();
    EXPECT_EQ(g_VideoPlaying, 1);
    EXPECT_EQ(g_VideoState, 0);
    m_Player->events.push_back(plat::VideoEvent::ErrorAbort);
    HandleVideoEvent();
    EXPECT_EQ(g_VideoPlaying, 0);
    EXPECT_EQ(g_VideoState, 2);
}

TEST_F(VideoStateMachine, CursorHiddenAndMusicHeldWhileFilmsPlay)
{
    Start(VideoCase{"", std::vector<std::string>{"Logo.ogm", "Intro.ogm"}, {}, {}, true, 0, "", 0, ""});
    Run("F");
    EXPECT_EQ(g_bCursorVisible, 0);
    EXPECT_FALSE(PlayMusic(0)); // music refuses to start under a film
    Run("E");
    EXPECT_EQ(g_bCursorVisible, 0); // the next film is pending
    EXPECT_EQ(g_MusicState, 0u);
    Run("FE");
    EXPECT_EQ(g_bCursorVisible, 1);
    EXPECT_EQ(g_MusicState, 1u);
}

// The credits are asked for from the menu while its music plays: the music pauses for the film and
// goes on afterwards, also when the credits list names no film.
TEST_F(VideoStateMachine, MenuMusicWaitsForTheCredits)
{
    plat::SetAudioBackend(plat::AudioBackend::Capture);
    ASSERT_TRUE(sampledata::WriteMusicTrack(m_Dir.Path(), 0, 2.0));
    struct {
        std::vector<std::string> credits;
        const char* steps;
    } cases[] = {{{"Credits.ogm"}, "FFEF"}, {{"None"}, "FF"}};
    for (const auto& c : cases) {
        Start(VideoCase{"", std::vector<std::string>{"Logo.ogm"}, c.credits, {}, true, 0, "", 0, ""});
        Run("FEF"); // the start-up film
        ASSERT_TRUE(PlayMusic(0));
        g_VideoState = VIDEO_CREDITS;
        Run("F");
        if (g_VideoPlaying) {
            EXPECT_EQ(g_MusicState, 2u);
            EXPECT_FALSE(g_MusicStream && g_MusicStream->IsPlaying());
        }
        Run(c.steps + 1);
        EXPECT_EQ(g_VideoState, 0);
        EXPECT_EQ(g_VideoPlaying, 0);
        EXPECT_EQ(g_MusicState, 1u) << c.steps;
        ASSERT_TRUE(g_MusicStream);
        EXPECT_TRUE(g_MusicStream->IsPlaying()) << c.steps;
        FreeDirectMedia();
    }
    FreeMusic();
    plat::SetAudioBackend(plat::AudioBackend::Device);
}

TEST_F(VideoStateMachine, LongListStopsBeforeTheCreditsNumber)
{
    std::vector<std::string> many;
    for (int i = 0; i < 205; ++i)
        many.push_back("F" + std::to_string(i) + ".ogm");
    Start(VideoCase{"", many, {"Credits.ogm"}, {}, true, 0, "", 0, ""});
    g_VideoState = 199;
    Run("FE");
    EXPECT_EQ(m_Trace, "open Media\\F198.ogm; display 1; aspect 43; run; T; close; display 0; ");
    EXPECT_EQ(g_VideoState, 0);
}

TEST(VideoWindow, RectangleFillsTheWidthCentredVertically)
{
    struct {
        int aspect, w, h;
        plat::Rect rect;
    } cases[] = {
        {VIDEO_ASPECT_4_3, 800, 600, {0, 0, 800, 600}},
        {VIDEO_ASPECT_4_3, 1280, 1024, {0, 32, 1280, 992}},
        {VIDEO_ASPECT_16_9, 1024, 768, {0, 96, 1024, 672}},
        {VIDEO_ASPECT_16_9, 1001, 768, {0, 105, 1001, 663}}, // (1001 / 16) * 9 = 558, not 563
        {0, 1002, 768, {0, 9, 1002, 759}},                  // any other code is 4:3: (1002 / 4) * 3 = 750
    };
    for (const auto& c : cases) {
        const plat::Rect r = VideoWindowRect(c.aspect, c.w, c.h);
        EXPECT_EQ(r.left, c.rect.left);
        EXPECT_EQ(r.top, c.rect.top) << c.aspect << " " << c.w;
        EXPECT_EQ(r.right, c.rect.right);
        EXPECT_EQ(r.bottom, c.rect.bottom) << c.aspect << " " << c.w;
    }
}

} // namespace

namespace {

// The real player on the sample game folder: pictures reach the back buffer, the end arrives as a
// message, and a film skipped with Escape leaves no event behind that would end the next one.
TEST(FilmsOnTheDisplay, SkippedLogoThenIntroPlayedToItsEnd)
{
    testsupport::TempDir dir;
    ASSERT_TRUE(sampledata::WriteFilms(dir.Path()));
    plat::SetGameRoot(dir.Path());
    plat::InvalidatePathCache();
    plat::SetAudioBackend(plat::AudioBackend::Capture);
    plat::ClearAppMessages();
    ASSERT_TRUE(DirectDrawInit(nullptr, 0));
    const std::uint8_t savedPlayVideo = g_bPlayVideo;
    g_bPlayVideo = 1;
    ASSERT_TRUE(IniDirectMedia());

    auto pump = [] {
        VideoWindowProc();
        plat::Message msg;
        while (plat::PeekAppMessage(msg)) {
            if (msg.message == plat::MSG_VIDEO_EVENT && g_pVideoPlayer)
                HandleVideoEvent();
        }
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (g_VideoPlaying != 2 && std::chrono::steady_clock::now() < deadline)
        pump();
    ASSERT_EQ(g_VideoPlaying, 2) << "the logo did not start";
    SkipVideo();
    EXPECT_EQ(g_VideoState, 3);
    pump();
    ASSERT_EQ(g_VideoPlaying, 3) << "the intro did not start";
    EXPECT_GE(plat::AudioPlayingVoiceCount(), 1) << "the film's sound stream is not playing";
    plat::PostAppMessage(plat::MSG_VIDEO_EVENT, static_cast<std::uintptr_t>(plat::VideoEvent::Complete));
    pump(); // a message without an event of this film
    EXPECT_EQ(g_VideoPlaying, 3);
    while (g_VideoPlaying != 0 && std::chrono::steady_clock::now() < deadline)
        pump();
    EXPECT_EQ(g_VideoPlaying, 0) << "the intro never ended";
    EXPECT_EQ(g_VideoState, 0);
    EXPECT_EQ(g_bCursorVisible, 1);

    // The screen shows an intro picture scaled to 1024 x 768: compare the smooth parts with the drawing.
    ASSERT_TRUE(g_pDDSBack);
    const plat::PixelBuffer& screen = g_pDDSBack->Pixels();
    ASSERT_EQ(screen.Width(), 1024);
    std::vector<std::uint8_t> drawn(sampledata::kFilmWidth * sampledata::kFilmHeight * 3);
    sampledata::DrawFilmPicture(sampledata::Film::Intro, 0, drawn.data(), sampledata::kFilmWidth * 3);
    long long sum = 0;
    int samples = 0;
    for (int y = 10; y < 70; y += 4) {
        for (int x = 10; x < sampledata::kFilmWidth - 10; x += 4) {
            const std::uint16_t p = screen.Row16(y * 768 / sampledata::kFilmHeight + 1)[x * 1024 / sampledata::kFilmWidth + 1];
            const int got[3] = {((p >> 11) & 31) * 255 / 31, ((p >> 5) & 63) * 255 / 63, (p & 31) * 255 / 31};
            for (int c = 0; c < 3; ++c)
                sum += std::abs(got[c] - drawn[(static_cast<std::size_t>(y) * sampledata::kFilmWidth + x) * 3 + c]);
            samples += 3;
        }
    }
    EXPECT_LT(static_cast<double>(sum) / samples, 10.0);

    FreeDirectMedia();
    DirectDrawFree();
    g_bPlayVideo = savedPlayVideo;
    plat::SetAudioBackend(plat::AudioBackend::Device);
    plat::SetGameRoot(".");
}

} // namespace
