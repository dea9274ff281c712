#include "devices/music.h"

#include <bitset>
#include <string>

#include "core/error_log.h"
#include "core/settings.h"
#include "devices/video.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "players/strateg.h"

const char g_MusicTracks[MUSIC_TRACK_COUNT][50] = {
    "akt3.ogg",
    "akt2.ogg",
    "akt4.ogg",
    "akt7.ogg",
    "France.ogg",
    "akt5.ogg",
    "akt1.ogg",
    "akt6.ogg",
    "akt8.ogg",
    "Marsh.ogg",
    "StartGame.ogg",
    "National\\Russia.ogg",
    "National\\Englich.ogg",
    "National\\France.ogg",
    "National\\Germany.ogg",
    "National\\Avstrya.ogg",
    "CampaignMenu\\Russia.ogg",
    "CampaignMenu\\Englich.ogg",
    "CampaignMenu\\France.ogg",
    "CampaignMenu\\Germany.ogg",
    "CampaignMenu\\Avstriya.ogg",
};

std::shared_ptr<plat::MusicDevice> g_MusicDevice;
std::uint8_t g_bMusicDeviceFailed = 0;
std::shared_ptr<plat::MusicSound> g_MusicStream;
std::uint8_t g_MusicTrack = 0;
std::uint32_t g_MusicState = 0;
std::int64_t g_MusicChangeTime = 0;

namespace {

constexpr std::int64_t kChangeSpacingSeconds = 3;
constexpr int kNationCount = 5;

std::int64_t (*g_MusicClock)() = &plat::GetCalendarTime;

// The current track could not be opened: the playlist passes over it instead of opening it again
// in every frame.
bool g_bMusicTrackFailed = false;
// Tracks whose failure was logged (each is logged once per run).
std::bitset<MUSIC_TRACK_COUNT> g_MusicTrackReported;

bool VideoBusy() { return g_VideoPlaying != 0 || g_VideoState != 0; }

float VolumeOf(std::uint8_t percent) { return static_cast<float>(percent) * 0.01f; }

std::uint8_t NextTrack(std::uint8_t current)
{
    if (current >= MUSIC_FIRST_ANTHEM)
        return 0;
    const std::uint8_t next = static_cast<std::uint8_t>(current + 1);
    if (next < MUSIC_FIRST_ANTHEM)
        return next;
    // A nation not yet set has no anthem.
    if (MyStrateg && MyStrateg->Nation < kNationCount)
        return static_cast<std::uint8_t>(MUSIC_FIRST_ANTHEM + MyStrateg->Nation);
    return 0;
}

} // namespace

bool PlayMusic(std::uint8_t track)
{
    if (g_bMusicOn == 0 || track >= MUSIC_TRACK_COUNT || VideoBusy())
        return false;
    if (!g_MusicDevice) {
        if (g_bMusicDeviceFailed)
            return false;
        g_MusicDevice = plat::OpenMusicDevice("", "");
        if (!g_MusicDevice) {
            g_bMusicDeviceFailed = 1;
            ReportError("Can't open BGMDevice!");
            return false;
        }
    }
    const std::string path = std::string("media\\Music\\") + g_MusicTracks[track];
    g_MusicTrack = track;
    g_bMusicTrackFailed = false;
    g_MusicStream = plat::OpenMusicSound(g_MusicDevice, plat::OpenMusicSource(plat::ResolvePath(path)), true);
    if (!g_MusicStream) {
        g_bMusicTrackFailed = true;
        if (!g_MusicTrackReported[track]) {
            g_MusicTrackReported[track] = true;
            ReportError2("Can't open music file ", path);
        }
        return false;
    }
    if (g_MusicVolume <= 100)
        g_MusicStream->SetVolume(VolumeOf(g_MusicVolume));
    g_MusicStream->Play();
    g_MusicState = 1;
    return true;
}

void UpdateMusic()
{
    if (g_MusicState != 1)
        return;
    if (!g_MusicStream && !g_bMusicTrackFailed) {
        PlayMusic(g_MusicTrack);
        return;
    }
    if (g_MusicStream && g_MusicStream->IsPlaying())
        return;
    const std::int64_t now = g_MusicClock();
    if (g_MusicChangeTime != 0 && now - g_MusicChangeTime < kChangeSpacingSeconds)
        return;
    g_MusicChangeTime = now;
    g_MusicTrack = NextTrack(g_MusicTrack);
    PlayMusic(g_MusicTrack);
}

void ResumeMusic()
{
    if (g_bMusicOn == 0 || VideoBusy())
        return;
    if (g_MusicStream) {
        if (g_MusicVolume <= 100)
            g_MusicStream->SetVolume(VolumeOf(g_MusicVolume));
        g_MusicStream->Play();
    }
    g_MusicState = 1;
}

void StopMusic()
{
    if (!g_MusicStream)
        return;
    g_MusicStream->Stop();
    g_MusicState = 2;
}

bool SetMusicVolume(std::uint8_t percent)
{
    if (!g_MusicStream || percent > 100)
        return false;
    g_MusicStream->SetVolume(VolumeOf(percent));
    return true;
}

std::uint8_t GetMusicTrack() { return g_MusicTrack; }

std::uint8_t GetCampaignMusicTrack(int campaign)
{
    static const std::uint8_t pieces[6] = {0, 20, 17, 18, 19, 16};
    return campaign >= 0 && campaign < 6 ? pieces[campaign] : 0;
}

void PlayCampaignMusic(int campaign)
{
    const std::uint8_t track = GetCampaignMusicTrack(campaign);
    if (GetMusicTrack() != track)
        PlayMusic(track);
}

void FreeMusic()
{
    g_bMusicTrackFailed = false;
    g_MusicStream.reset();
    g_MusicDevice.reset();
}

void SetMusicClock(std::int64_t (*clock)()) { g_MusicClock = clock ? clock : &plat::GetCalendarTime; }
