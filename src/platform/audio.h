#pragma once
// The sound output of the game: one audio device and the project's own mixer. Sound effects are
// buffers of PCM data played as voices (optionally placed in 3-D relative to the listener);
// music and film sound are streams that pull decoded PCM from a source while they play.
//
// Everything here is safe to call from any thread; the mixer runs on the audio device's thread,
// or, with the capture back end, inside AudioCaptureMix on the caller's thread.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

namespace plat {

// Layout of PCM data: 8-bit samples are unsigned, 16-bit samples signed little-endian; channels
// are interleaved.
struct PcmFormat {
    std::uint32_t sampleRate = 22050;
    std::uint16_t channels = 1;       // 1 or 2
    std::uint16_t bitsPerSample = 16; // 8 or 16
    std::uint32_t BytesPerFrame() const { return static_cast<std::uint32_t>(channels) * (bitsPerSample / 8u); }
};

// Rates a buffer or a stream may have.
constexpr std::uint32_t kMinSampleRate = 100;
constexpr std::uint32_t kMaxSampleRate = 200000;
bool IsPlayablePcmFormat(const PcmFormat& format);

enum class AudioBackend : std::uint8_t {
    Device,      // the SDL audio device (the driver SDL picks; "dummy" in headless runs)
    Capture,     // no device: the mix is produced only by AudioCaptureMix (tests, benchmarks)
    Unavailable, // every open fails (tests of the start-up failure paths)
};

// The back end the next AudioOpen uses; Device by default.
void SetAudioBackend(AudioBackend backend);
AudioBackend GetAudioBackend();

// The mixer's output: stereo, 16-bit, at this rate.
constexpr std::uint32_t kDefaultOutputRate = 22050;

// Opens the device on first call and counts the opens; each successful AudioOpen is paired with
// one AudioClose, the last of which closes the device and stops every voice. The rate is honoured
// by the first open only.
bool AudioOpen(std::uint32_t outputRate = kDefaultOutputRate);
void AudioClose();
bool AudioIsOpen();
std::uint32_t AudioOutputRate();

// Capture back end: mixes the next `frames` output frames and returns them interleaved (left,
// right). Empty when the capture back end is not the open one.
std::vector<std::int16_t> AudioCaptureMix(std::size_t frames);

// Number of voices and streams that are playing now.
int AudioPlayingVoiceCount();

// Volume in hundredths of a decibel, as the game's settings are converted: 0 is full volume,
// kVolumeMin is silence.
constexpr std::int32_t kVolumeMax = 0;
constexpr std::int32_t kVolumeMin = -10000;
float VolumeToGain(std::int32_t hundredthsDb);

// 3-D placement of a buffer. In head-relative mode the position is relative to the listener; in
// normal mode the listener's position is subtracted first. The distance gain is 1 up to
// minDistance, then minDistance / (minDistance + rollOff * (d - minDistance)) with d held at
// maxDistance beyond it. The pan follows x / d with an equal-power law.
enum class Sound3DMode : std::uint8_t { Normal, HeadRelative, Disabled };

struct Sound3DParams {
    float x = 0.0f, y = 0.0f, z = 0.0f;
    float minDistance = 1.0f;
    float maxDistance = 1.0e9f;
    Sound3DMode mode = Sound3DMode::Normal;
};

struct ListenerParams {
    float x = 0.0f, y = 0.0f, z = 0.0f;
    float distanceFactor = 1.0f; // metres per unit; kept for callers, no Doppler is modelled
    float rollOffFactor = 1.0f;
};
void SetAudioListener(const ListenerParams& params);
ListenerParams GetAudioListener();

// The gain pair a voice at that place gets (exposed for tests and the benchmark).
struct StereoGain {
    float left = 1.0f;
    float right = 1.0f;
};
StereoGain Compute3DGain(const Sound3DParams& params, const ListenerParams& listener);

// Status bits of a buffer.
constexpr std::uint32_t kAudioStatusPlaying = 0x1;
constexpr std::uint32_t kAudioStatusLooping = 0x4;

struct VoiceState; // the mixer's view of one voice

// A sound buffer. Its data is shared with every duplicate: a write through one is heard in all.
// Create and Duplicate need an open device and return null without one.
class AudioBuffer {
public:
    ~AudioBuffer();
    AudioBuffer(const AudioBuffer&) = delete;
    AudioBuffer& operator=(const AudioBuffer&) = delete;

    // A silent buffer of `bytes` bytes (whole frames) in the given format; null for a format the
    // mixer cannot play or a size that is not at least one frame.
    static std::unique_ptr<AudioBuffer> Create(const PcmFormat& format, std::uint32_t bytes, bool with3D);
    std::unique_ptr<AudioBuffer> Duplicate() const;

    // Copies bytes into the buffer at offset; false when they do not fit.
    bool Write(std::uint32_t offset, std::span<const std::uint8_t> bytes);

    bool Play(bool loop);
    // Stops and keeps the play position.
    bool Stop();
    bool SetCurrentPosition(std::uint32_t byteOffset);
    std::uint32_t GetCurrentPosition() const;
    std::uint32_t GetStatus() const;

    bool SetVolume(std::int32_t hundredthsDb); // clamped to kVolumeMin..kVolumeMax
    std::int32_t GetVolume() const;

    bool Has3D() const;
    // Both fail on a buffer made without 3-D.
    bool Set3DParams(const Sound3DParams& params);
    bool Get3DParams(Sound3DParams& out) const;

    const PcmFormat& Format() const;
    std::uint32_t Size() const;
    // Identity of the shared sample storage (equal for a buffer and its duplicates).
    const void* DataIdentity() const;

private:
    explicit AudioBuffer(std::shared_ptr<VoiceState> voice);
    std::shared_ptr<VoiceState> m_Voice;
};

// Where a stream takes its samples from. Read runs on the mixer's thread.
class PcmSource {
public:
    virtual ~PcmSource() = default;
    // 16-bit format of the frames Read delivers.
    virtual PcmFormat Format() const = 0;
    // Fills out with up to frameCount interleaved frames and returns how many it gave; 0 means
    // the source has ended (or has nothing yet, see PcmQueue).
    virtual std::size_t Read(std::int16_t* out, std::size_t frameCount) = 0;
};

// A source fed by a producer thread (film sound): frames are queued with Push and played in
// order. An empty queue that is not finished plays silence and keeps the stream alive.
class PcmQueue : public PcmSource {
public:
    explicit PcmQueue(const PcmFormat& format) : m_Format(format) { m_Format.bitsPerSample = 16; }
    PcmFormat Format() const override { return m_Format; }
    std::size_t Read(std::int16_t* out, std::size_t frameCount) override;
    void Push(std::span<const std::int16_t> interleaved);
    // After Finish, an empty queue ends the stream.
    void Finish();
    void Clear();
    std::size_t QueuedFrames() const;
    bool Finished() const;

private:
    PcmFormat m_Format;
    mutable std::mutex m_Mutex;
    std::vector<std::int16_t> m_Samples;
    std::size_t m_ReadPos = 0; // in samples
    bool m_Finished = false;
};

// A streaming voice over a source.
class AudioStream {
public:
    ~AudioStream();
    AudioStream(const AudioStream&) = delete;
    AudioStream& operator=(const AudioStream&) = delete;

    // Null without an open device, without a source, or for a source format the mixer cannot play.
    static std::unique_ptr<AudioStream> Open(std::shared_ptr<PcmSource> source);

    void Play();
    // Pauses: the next Play continues where the stream stopped.
    void Stop();
    // False once stopped or once the source has ended.
    bool IsPlaying() const;
    bool Ended() const;
    // Linear gain 0..1.
    void SetGain(float gain);
    float GetGain() const;

private:
    explicit AudioStream(std::shared_ptr<VoiceState> voice);
    std::shared_ptr<VoiceState> m_Voice;
};

} // namespace plat
