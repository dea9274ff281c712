#pragma once
// The small music library the game's music code is written against: a device, a sample source
// (an Ogg Vorbis file decoded by libvorbisfile) and a streaming sound over it, played through the
// shared mixer. Stop pauses; Play continues where the sound stopped.
#include <memory>
#include <string>

#include "platform/audio.h"

namespace plat {

class MusicDevice {
public:
    ~MusicDevice();
    MusicDevice(const MusicDevice&) = delete;
    MusicDevice& operator=(const MusicDevice&) = delete;

private:
    friend std::shared_ptr<MusicDevice> OpenMusicDevice(const char*, const char*);
    MusicDevice() = default;
};

class MusicSource; // an opened, decodable music file

class MusicSound {
public:
    void Play();
    void Stop();
    bool IsPlaying() const;
    // 0.0 .. 1.0
    void SetVolume(float volume);
    float GetVolume() const;

private:
    friend std::shared_ptr<MusicSound> OpenMusicSound(const std::shared_ptr<MusicDevice>&,
                                                      const std::shared_ptr<MusicSource>&, bool);
    std::shared_ptr<MusicDevice> m_Device; // the output stays open while a sound exists
    std::unique_ptr<AudioStream> m_Stream;
};

// Opens the audio output (the device name and parameters are accepted for the callers' sake; an
// empty name is the default device). Null when no output can be opened.
std::shared_ptr<MusicDevice> OpenMusicDevice(const char* name = "", const char* parameters = "");
// Opens a host file for decoding; null when it is missing or not a playable Ogg Vorbis stream.
std::shared_ptr<MusicSource> OpenMusicSource(const std::string& hostPath);
// A sound over the source on the device; null when either is null. Only streaming sounds exist:
// the flag is accepted and ignored.
std::shared_ptr<MusicSound> OpenMusicSound(const std::shared_ptr<MusicDevice>& device,
                                           const std::shared_ptr<MusicSource>& source, bool streaming);

} // namespace plat
