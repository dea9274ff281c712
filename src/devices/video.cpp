#include "devices/video.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "core/app_state.h"
#include "core/error_log.h"
#include "core/settings.h"
#include "devices/cursor_state.h"
#include "devices/display.h"
#include "devices/music.h"
#include "platform/audio.h"
#include "platform/paths.h"
#include "platform/text.h"

std::uint8_t g_VideoState = 0;
std::uint8_t g_VideoPlaying = 0;
TInfFile g_VideoList;
TInfFile g_CreditsList;
TVideoPlayer* g_pVideoPlayer = nullptr;

namespace {

std::unique_ptr<TVideoPlayer> s_Player;
std::function<std::unique_ptr<TVideoPlayer>()> s_PlayerFactory;
std::function<bool(std::uint8_t)> s_DisplaySwitch;
// The display was switched for the films of the running sequence and must come back afterwards.
bool s_DisplaySwitched = false;
// The music was stopped because a film was pending; it resumes even when no film plays after all.
bool s_MusicWaiting = false;

// Shows film pictures on the display and plays film sound through the mixer.
class TDisplayVideoPlayer final : public TVideoPlayer {
public:
    ~TDisplayVideoPlayer() override { CloseVideo(); }

    bool OpenVideo(const std::u16string& path) override
    {
        CloseVideo();
        return m_Player.Open(plat::ResolvePath(plat::Utf16ToUtf8(path)));
    }

    void SetupVideoWindow(int aspectCode) override
    {
        m_Rect = VideoWindowRect(aspectCode, g_ScreenWidth, g_ScreenHeight);
        const plat::PixelFormat format = g_pDDSBack ? g_pDDSBack->Format() : plat::PixelFormat::RGB565;
        if (m_Rect.Empty() || !m_Player.SetPictureSize(m_Rect.Width(), m_Rect.Height(), format))
            m_Rect = plat::Rect{};
        // What the picture does not cover stays black.
        if (g_pDDSBack)
            FillSurface(g_pDDSBack, 0);
    }

    void Run() override
    {
        StartSound();
        m_Player.Run();
    }

    bool GetEvent(plat::VideoEvent& code) override { return m_Player.GetEvent(code); }

    void CloseVideo() override
    {
        m_Player.Stop();
        // Events of a film that is gone must not end the next one.
        plat::VideoEvent stale;
        while (m_Player.GetEvent(stale)) {
        }
        StopSound();
    }

    void ShowFrame() override
    {
        // A short wait keeps the main loop from spinning between pictures without delaying its messages.
        m_Player.ShowPicture([this](const plat::PixelBuffer& picture) { ShowPicture(picture); }, 10);
    }

private:
    void ShowPicture(const plat::PixelBuffer& picture)
    {
        plat::Surface* back = g_pDDSBack;
        if (!back || back->IsLost() || m_Rect.Empty() || picture.Format() != back->Format())
            return;
        plat::PixelBuffer& dst = back->Pixels();
        const int bpp = plat::BytesPerPixel(picture.Format());
        const int left = std::max(0, m_Rect.left);
        const int right = std::min(dst.Width(), m_Rect.left + picture.Width());
        const int top = std::max(0, m_Rect.top);
        const int bottom = std::min(dst.Height(), m_Rect.top + picture.Height());
        if (left >= right || top >= bottom)
            return;
        for (int y = top; y < bottom; ++y) {
            std::memcpy(dst.Row(y) + static_cast<std::size_t>(left) * bpp,
                        picture.Row(y - m_Rect.top) + static_cast<std::size_t>(left - m_Rect.left) * bpp,
                        static_cast<std::size_t>(right - left) * bpp);
        }
        PresentFrame();
    }

    void StartSound()
    {
        if (!plat::AudioOpen())
            return; // a film without a sound device still shows its pictures
        m_AudioOpen = true;
        m_Sound = std::make_shared<plat::PcmQueue>(
            plat::PcmFormat{plat::kVideoAudioRate, plat::kVideoAudioChannels, 16});
        m_SoundStream = plat::AudioStream::Open(m_Sound);
        if (!m_SoundStream)
            return;
        m_SoundStream->Play();
        std::shared_ptr<plat::PcmQueue> queue = m_Sound;
        m_Player.SetAudioSink([queue](const std::int16_t* samples, std::size_t frames) {
            queue->Push(std::span<const std::int16_t>(samples, frames * plat::kVideoAudioChannels));
        });
    }

    void StopSound()
    {
        m_Player.SetAudioSink({});
        if (m_SoundStream)
            m_SoundStream->Stop();
        m_SoundStream.reset();
        m_Sound.reset();
        if (m_AudioOpen)
            plat::AudioClose();
        m_AudioOpen = false;
    }

    plat::VideoPlayer m_Player;
    plat::Rect m_Rect;
    bool m_AudioOpen = false;
    std::shared_ptr<plat::PcmQueue> m_Sound;
    std::unique_ptr<plat::AudioStream> m_SoundStream;
};

void SwitchDisplay(std::uint8_t presentationMode)
{
    // A failed rebuild has logged its own step; the films go on either way.
    if (s_DisplaySwitch)
        s_DisplaySwitch(presentationMode);
}

void SetCursorVisible(std::uint8_t visible)
{
    std::lock_guard lock(g_InputLock);
    g_bCursorVisible = visible;
}

// Opens the film an entry names; "None", switched-off films and films that cannot be played give false.
bool OpenListedVideo(const std::string& entry)
{
    if (entry == "None" || !g_bPlayVideo)
        return false;
    return g_pVideoPlayer->OpenVideo(plat::Cp1251ToUtf16("Media\\" + entry));
}

// Starts an opened film. The first film of a sequence hides the cursor and switches the display.
void StartVideo()
{
    if (!s_DisplaySwitched) {
        SetCursorVisible(0);
        SwitchDisplay(1);
        s_DisplaySwitched = true;
    }
    g_pVideoPlayer->SetupVideoWindow(VIDEO_ASPECT_4_3);
    g_pVideoPlayer->Run();
}

// The films are over: the cursor, the game's display and (unless another film is pending) the music return.
void EndSequence()
{
    SetCursorVisible(1);
    if (s_DisplaySwitched) {
        s_DisplaySwitched = false;
        SwitchDisplay(0);
    }
}

void ResumeMusicAfterVideo()
{
    s_MusicWaiting = false;
    if (g_bMusicOn && g_VideoState == 0 && g_VideoPlaying == 0)
        ResumeMusic();
}

// Ends the film that plays and moves on to the next entry of the sequence, or ends it.
void FinishVideo()
{
    g_pVideoPlayer->CloseVideo();
    const int n = g_VideoPlaying;
    // The state is a byte whose 200 means the credits: a sequence stops at entry 199.
    if (n != VIDEO_CREDITS && n < g_VideoList.Count() && n + 1 < VIDEO_CREDITS)
        g_VideoState = static_cast<std::uint8_t>(n + 1);
    else
        EndSequence();
    g_VideoPlaying = 0;
    ResumeMusicAfterVideo();
}

} // namespace

plat::Rect VideoWindowRect(int aspectCode, int screenWidth, int screenHeight)
{
    const int height = aspectCode == VIDEO_ASPECT_16_9 ? (screenWidth / 16) * 9 : (screenWidth / 4) * 3;
    const int top = (screenHeight - height) / 2;
    return plat::Rect{0, top, screenWidth, top + height};
}

void SetVideoPlayerFactory(std::function<std::unique_ptr<TVideoPlayer>()> factory)
{
    s_PlayerFactory = std::move(factory);
}

void SetVideoDisplaySwitch(std::function<bool(std::uint8_t)> recreate)
{
    s_DisplaySwitch = std::move(recreate);
}

bool IniDirectMedia()
{
    g_VideoList = TInfFile("Media\\Video.inf");
    g_CreditsList = TInfFile("Media\\Credits.inf");
    if (g_VideoList.Count() == 0) {
        g_VideoList = TInfFile();
        g_VideoList.Add("None");
        g_VideoList.Add("Velm.ogm");
        g_VideoList.Add("IntroRussian.ogm");
        g_CreditsList = TInfFile();
        g_CreditsList.Add("None");
        g_CreditsList.Add("Credits.ogm");
    }
    if (s_Player)
        FreeDirectMedia();
    s_Player = s_PlayerFactory ? s_PlayerFactory() : std::make_unique<TDisplayVideoPlayer>();
    g_pVideoPlayer = s_Player.get();
    s_DisplaySwitched = false;
    s_MusicWaiting = false;
    g_VideoState = 1;
    g_VideoPlaying = 0;
    // The films' sound and the music share the mixer; the next PlayMusic opens the music device again.
    if (g_MusicDevice)
        FreeMusic();
    return true;
}

void FreeDirectMedia()
{
    if (g_pVideoPlayer)
        g_pVideoPlayer->CloseVideo();
    g_VideoState = 0;
    g_VideoPlaying = 0;
    s_DisplaySwitched = false;
    g_pVideoPlayer = nullptr;
    s_Player.reset();
}

bool VideoWindowProc()
{
    if (g_VideoPlaying != 0) {
        if (g_pVideoPlayer)
            g_pVideoPlayer->ShowFrame();
        return true;
    }
    if (!g_pVideoPlayer)
        return false;
    if (g_VideoState != 0 && g_MusicStream) {
        StopMusic();
        s_MusicWaiting = true;
    }

    const int state = g_VideoState;
    if (state == 0)
        return false;
    if (state == 1) {
        if (!OpenListedVideo(g_VideoList.GetEntry(0))) {
            g_VideoState = 2;
            return false;
        }
    } else if (state == VIDEO_CREDITS) {
        if (!OpenListedVideo(g_CreditsList.GetEntry(0))) {
            g_VideoState = 0;
            if (s_MusicWaiting)
                ResumeMusicAfterVideo();
            return false;
        }
    } else if (state - 1 >= g_VideoList.Count() || !OpenListedVideo(g_VideoList.GetEntry(state - 1))) {
        // Past the list's end (a one-film list whose film would not play) the sequence is over.
        g_VideoState = 0;
        ResumeMusicAfterVideo();
        EndSequence();
        return false;
    }
    StartVideo();
    g_VideoPlaying = static_cast<std::uint8_t>(state);
    g_VideoState = 0;
    return true;
}

void HandleVideoEvent()
{
    if (!g_pVideoPlayer)
        return;
    plat::VideoEvent code = plat::VideoEvent::None;
    bool ended = false;
    while (!ended && g_pVideoPlayer->GetEvent(code)) {
        ended = code == plat::VideoEvent::Complete || code == plat::VideoEvent::UserAbort ||
                code == plat::VideoEvent::ErrorAbort;
    }
    if (ended && g_VideoPlaying != 0)
        FinishVideo();
}

void SkipVideo()
{
    if (g_pVideoPlayer && g_VideoPlaying != 0)
        FinishVideo();
}
