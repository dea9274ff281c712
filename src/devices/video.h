#pragma once
// The start-up films (a logo and an intro, listed in Media\Video.inf) and the credits (listed in
// Media\Credits.inf). The frame asks VideoWindowProc first; while a film plays the frame does
// nothing else, the software cursor is hidden and the music waits.
//
// How the main loop drives it:
//   - IniDirectMedia at start-up (after the display and the sound), FreeDirectMedia at shutdown;
//   - VideoWindowProc first in every frame (a true result ends the frame at once), and once more on
//     window activation;
//   - HandleVideoEvent on the message 0x8064 (plat::MSG_VIDEO_EVENT) while g_pVideoPlayer exists;
//   - SkipVideo when Escape goes down, before the key's own handling.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/inf_file.h"
#include "platform/surface.h"
#include "platform/types.h"
#include "platform/video.h"

// The film to start at the next frame: 0 none; 1 entry 0 of the film list; n (2..199) entry n - 1;
// 200 the credits (entry 0 of the credits list).
constexpr std::uint8_t VIDEO_CREDITS = 200;
extern std::uint8_t g_VideoState;
// What plays now, numbered the same way (0 nothing).
extern std::uint8_t g_VideoPlaying;

// The two lists, read from Media\Video.inf and Media\Credits.inf by IniDirectMedia (one file name
// per entry, looked up in the folder Media; "None" stands for no film).
extern TInfFile g_VideoList;
extern TInfFile g_CreditsList;

// Aspect codes of SetupVideoWindow.
constexpr int VIDEO_ASPECT_4_3 = 43;
constexpr int VIDEO_ASPECT_16_9 = 169;

// The rectangle a film is shown in on a screen of the given size: the full width, with a height of
// (width / 16) * 9 for the code 169 and (width / 4) * 3 otherwise, centred vertically.
plat::Rect VideoWindowRect(int aspectCode, int screenWidth, int screenHeight);

// What the state machine needs of a film player: the real one decodes with the platform layer and
// shows pictures on the display; tests use a fake.
class TVideoPlayer {
public:
    virtual ~TVideoPlayer() = default;
    // Opens the film named by a game path; false when it cannot be played.
    virtual bool OpenVideo(const std::u16string& path) = 0;
    virtual void SetupVideoWindow(int aspectCode) = 0;
    virtual void Run() = 0;
    // Takes the oldest event of the film; false when none waits.
    virtual bool GetEvent(plat::VideoEvent& code) = 0;
    virtual void CloseVideo() = 0;
    // Called in every frame while a film plays: shows the picture that is due.
    virtual void ShowFrame() = 0;
};

// The player object: created by IniDirectMedia, deleted by FreeDirectMedia.
extern TVideoPlayer* g_pVideoPlayer;

// Tests put a fake in place of the real player (an empty function restores the real one).
void SetVideoPlayerFactory(std::function<std::unique_ptr<TVideoPlayer>()> factory);
// How the films switch the display to their presentation mode and back: the game's device rebuild,
// which lies above the devices, installed by start-up; tests watch the switches through it. Without
// one the films play on the display as it is.
void SetVideoDisplaySwitch(std::function<bool(std::uint8_t presentationMode)> recreate);

bool IniDirectMedia();
void FreeDirectMedia();
bool VideoWindowProc();
void HandleVideoEvent();
void SkipVideo();
