#pragma once
// Background music: a list of 21 Ogg Vorbis pieces under "media\Music\", a playlist that the frame
// keeps going, the nations' anthems and the campaign menu pieces. Main thread only.
#include <cstdint>
#include <ctime>
#include <memory>

#include "platform/music_stream.h"

constexpr int MUSIC_TRACK_COUNT = 21;
constexpr int MUSIC_FIRST_ANTHEM = 11;
constexpr int MUSIC_FIRST_CAMPAIGN_PIECE = 16;

// File names relative to "media\Music\".
extern const char g_MusicTracks[MUSIC_TRACK_COUNT][50];

extern std::shared_ptr<plat::MusicDevice> g_MusicDevice;
extern std::uint8_t g_bMusicDeviceFailed;
extern std::shared_ptr<plat::MusicSound> g_MusicStream;
extern std::uint8_t g_MusicTrack;
// 0 never started, 1 playing (the frame keeps the playlist going), 2 stopped.
extern std::uint32_t g_MusicState;
// Calendar seconds of the last automatic change; 0 = none yet.
extern std::int64_t g_MusicChangeTime;

bool PlayMusic(std::uint8_t track);
void UpdateMusic();
void ResumeMusic();
void StopMusic();
bool SetMusicVolume(std::uint8_t percent);
std::uint8_t GetMusicTrack();

// The piece the campaign menu plays for a campaign (0..5); 0 for any other number.
std::uint8_t GetCampaignMusicTrack(int campaign);
// Plays the campaign's piece unless it is already the current track.
void PlayCampaignMusic(int campaign);

// Releases the stream and the device (program exit, and the video player's start, which lets the
// next PlayMusic open the device again).
void FreeMusic();

// The clock the playlist's 3-second rule reads (calendar seconds); tests replace it.
void SetMusicClock(std::int64_t (*clock)());
