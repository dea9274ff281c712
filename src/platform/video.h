#pragma once
// Films: Ogg files with Theora pictures and Vorbis sound, decoded with FFmpeg's libraries. The
// decoder turns a film into pictures in a display pixel format and into 16-bit stereo sound; the
// player runs one film on a thread of its own, keeps time, and reports the end (or a failure) as an
// event that it also announces in the application's message queue, the way the game's main window
// learns that a film is over.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/surface.h"

namespace plat {

// The message a player posts when it has an event waiting (wParam = the event code).
constexpr std::uint32_t MSG_VIDEO_EVENT = 0x8064;

enum class VideoEvent : std::uint32_t {
    None = 0,
    Complete = 1,   // the film played to its end
    UserAbort = 2,  // the viewer stopped the film
    ErrorAbort = 3, // the film could not be decoded further
};

// Film sound is handed on in this format: interleaved signed 16-bit stereo.
constexpr int kVideoAudioRate = 44100;
constexpr int kVideoAudioChannels = 2;

// What a film's streams may claim before the film counts as damaged. A frame rate below the
// lowest would hold one picture for hours; a sound rate outside the range would make the resampler
// turn each sample into thousands; a picture time that jumps further than the gap would stall the
// film (or overflow the clock) waiting for it.
constexpr double kFilmMinFrameRate = 1.0;
constexpr int kFilmMinSoundRate = 4000;
constexpr int kFilmMaxSoundRate = 192000;
constexpr std::int64_t kFilmMaxPictureGapMs = 10000;

// Whether a stream's claimed frame rate (frames per second; 0 when the film names none) is usable.
bool IsPlayableFrameRate(double framesPerSecond);
bool IsPlayableSoundRate(int samplesPerSecond);
// Whether a picture due at timeMs may follow one due at previousMs.
bool IsPlausiblePictureTime(std::int64_t previousMs, std::int64_t timeMs);

class VideoDecoder {
public:
    VideoDecoder();
    ~VideoDecoder();
    VideoDecoder(const VideoDecoder&) = delete;
    VideoDecoder& operator=(const VideoDecoder&) = delete;

    // Opens a film (a host path). false, with a logged reason, when the file is missing or holds no
    // picture stream that can be decoded.
    bool Open(const std::string& hostPath);
    void Close();
    bool IsOpen() const;

    int Width() const;
    int Height() const;
    // Frames per second as the stream declares them (0 when unknown).
    double FrameRate() const;
    bool HasAudio() const;

    // Size and pixel format the pictures are scaled to; the film's own size in RGB565 until set.
    // Only the 16-bit display formats and ARGB8888 are accepted.
    bool SetOutput(int width, int height, PixelFormat format);

    // Decodes up to the next picture: 1 and the picture in out (its presentation time in
    // milliseconds from the start in timeMs), 0 at the end of the film, -1 on a decoding error
    // (logged). Sound decoded on the way collects until TakeAudio.
    int DecodeNext(PixelBuffer& out, std::int64_t& timeMs);

    // Moves the sound decoded so far (kVideoAudioChannels samples per frame) to the end of out.
    void TakeAudio(std::vector<std::int16_t>& out);

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

class VideoPlayer {
public:
    // Receives film sound as it is decoded, ahead of the pictures (on the player's thread).
    using AudioSink = std::function<void(const std::int16_t* samples, std::size_t frames)>;
    // Receives a picture to show (on the thread that calls ShowPicture).
    using PictureSink = std::function<void(const PixelBuffer& picture)>;

    VideoPlayer();
    ~VideoPlayer();
    VideoPlayer(const VideoPlayer&) = delete;
    VideoPlayer& operator=(const VideoPlayer&) = delete;

    // Opens the film; false (logged) when it cannot be played. A running film is stopped first.
    bool Open(const std::string& hostPath);
    bool IsOpen() const;
    int FilmWidth() const;
    int FilmHeight() const;

    // Before Run: the size and format of the pictures handed to ShowPicture.
    bool SetPictureSize(int width, int height, PixelFormat format);
    void SetAudioSink(AudioSink sink);
    // The message posted when an event is queued; 0 posts nothing.
    void SetNotifyMessage(std::uint32_t message);

    // Starts playing on the player's thread. false when no film is open or it already runs.
    bool Run();
    // Stops the thread and closes the film; queued events stay until taken.
    void Stop();
    bool IsRunning() const;

    // Hands the newest picture that is due and not yet shown to sink, waiting at most waitMs for
    // one. true when a picture was handed on.
    bool ShowPicture(const PictureSink& sink, std::uint32_t waitMs);

    // Takes the oldest queued event; false when none waits.
    bool GetEvent(VideoEvent& code);
    // Queues an event (and posts the message) as the player itself would.
    void QueueEvent(VideoEvent code);

    // Pictures decoded and made due since Run (including any not shown because a newer one came).
    std::uint32_t PicturesDecoded() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

} // namespace plat
