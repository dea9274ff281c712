#include "platform/audio.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace plat {

// One voice of the mixer: a buffer (shared sample data) or a stream (a source and a staging
// buffer). Fields below the mutex comment are guarded by the mixer's mutex.
struct VoiceState {
    PcmFormat format;
    std::shared_ptr<std::vector<std::uint8_t>> data; // buffers
    std::shared_ptr<PcmSource> source;               // streams
    bool with3D = false;

    // --- guarded by the mixer mutex
    bool playing = false;
    bool looping = false;
    bool ended = false;      // streams: the source gave no more frames
    std::uint64_t pos = 0;   // 32.32 fixed point, in frames of the data (or of the staging buffer)
    std::int32_t volume = 0; // hundredths of a decibel
    float gain = 1.0f;       // streams
    Sound3DParams params;
    std::vector<std::int16_t> staging; // streams: decoded frames not yet played
    std::size_t stagingFrames = 0;
    bool registered = false; // in the mixer's playing list
};

namespace {

constexpr std::size_t kStreamChunkFrames = 2048;
constexpr double kFixedOne = 4294967296.0;

struct Mixer {
    std::mutex openMutex; // serialises AudioOpen and AudioClose, which drop `mutex` around SDL calls
    std::mutex mutex;
    int openCount = 0;
    AudioBackend backend = AudioBackend::Device;
    AudioBackend openBackend = AudioBackend::Device;
    std::uint32_t outRate = kDefaultOutputRate;
    SDL_AudioDeviceID device = 0;
    std::vector<std::shared_ptr<VoiceState>> playing;
    ListenerParams listener;
    std::vector<float> accum;
};

// Never destroyed: buffers and streams held by globals of the game are released during static
// destruction, after a function-local mixer would already be gone.
Mixer& TheMixer()
{
    static Mixer* mixer = new Mixer;
    return *mixer;
}

std::uint32_t FrameCount(const VoiceState& v)
{
    return static_cast<std::uint32_t>(v.data->size() / v.format.BytesPerFrame());
}

void Register(Mixer& m, const std::shared_ptr<VoiceState>& v)
{
    if (!v->registered) {
        m.playing.push_back(v);
        v->registered = true;
    }
}

void Unregister(Mixer& m, VoiceState* v)
{
    if (!v->registered)
        return;
    auto it = std::find_if(m.playing.begin(), m.playing.end(), [v](const auto& p) { return p.get() == v; });
    if (it != m.playing.end())
        m.playing.erase(it);
    v->registered = false;
}

// Stops a voice and takes it off the mixer's list (buffers and streams alike).
void Silence(VoiceState* v)
{
    Mixer& m = TheMixer();
    std::lock_guard lock(m.mutex);
    v->playing = false;
    Unregister(m, v);
}

StereoGain VoiceGain(const VoiceState& v, const ListenerParams& listener)
{
    StereoGain g;
    if (v.with3D && v.params.mode != Sound3DMode::Disabled)
        g = Compute3DGain(v.params, listener);
    const float vol = v.source ? v.gain : VolumeToGain(v.volume);
    g.left *= vol;
    g.right *= vol;
    return g;
}

// Reads frame i as a pair of floats in -32768..32767 (mono frames give the same value twice).
template <int Bits, int Channels>
inline void FetchFrame(const std::uint8_t* data, std::size_t i, float& l, float& r)
{
    if constexpr (Bits == 8) {
        const std::uint8_t* p = data + i * Channels;
        l = static_cast<float>((static_cast<int>(p[0]) - 128) * 256);
        r = Channels == 2 ? static_cast<float>((static_cast<int>(p[Channels - 1]) - 128) * 256) : l;
    } else {
        const std::uint8_t* p = data + i * 2 * Channels;
        l = static_cast<float>(static_cast<std::int16_t>(p[0] | (p[1] << 8)));
        if constexpr (Channels == 2)
            r = static_cast<float>(static_cast<std::int16_t>(p[2] | (p[3] << 8)));
        else
            r = l;
    }
}

// Mixes a buffer voice into the accumulator with linear interpolation. A one-shot voice that runs
// past its end stops with its position back at 0.
template <int Bits, int Channels>
void MixBufferVoice(VoiceState& v, float* acc, std::size_t frames, std::uint64_t step, StereoGain g)
{
    const std::uint8_t* data = v.data->data();
    const std::uint64_t n = FrameCount(v);
    const std::uint64_t span = n << 32;
    std::uint64_t pos = v.pos;
    if (pos >= span) {
        if (!v.looping) {
            v.playing = false;
            v.pos = 0;
            return;
        }
        pos %= span;
    }
    for (std::size_t f = 0; f < frames; ++f) {
        const std::uint64_t i = pos >> 32;
        std::uint64_t j = i + 1;
        if (j >= n)
            j = v.looping ? 0 : i;
        const float t = static_cast<float>(static_cast<double>(pos & 0xFFFFFFFFu) / kFixedOne);
        float l0, r0, l1, r1;
        FetchFrame<Bits, Channels>(data, i, l0, r0);
        FetchFrame<Bits, Channels>(data, j, l1, r1);
        acc[2 * f] += (l0 + (l1 - l0) * t) * g.left;
        acc[2 * f + 1] += (r0 + (r1 - r0) * t) * g.right;
        pos += step;
        if (pos >= span) {
            if (!v.looping) {
                v.playing = false;
                v.pos = 0;
                return;
            }
            pos %= span;
        }
    }
    v.pos = pos;
}

// Keeps at least `need` frames (counted from the start of the staging buffer) available by
// reading from the source; false when the source ended before.
bool FillStaging(VoiceState& v, std::size_t need)
{
    const std::size_t ch = v.format.channels;
    while (v.stagingFrames < need && !v.ended) {
        const std::size_t want = std::max(kStreamChunkFrames, need - v.stagingFrames);
        v.staging.resize((v.stagingFrames + want) * ch);
        const std::size_t got = v.source->Read(v.staging.data() + v.stagingFrames * ch, want);
        if (got == 0) {
            v.ended = true;
            break;
        }
        v.stagingFrames += std::min(got, want);
    }
    v.staging.resize(v.stagingFrames * ch);
    return v.stagingFrames >= need;
}

// A queue that has no frames yet but is not finished plays silence; any other source that gives
// nothing has ended.
bool SourceWaiting(const VoiceState& v)
{
    const auto* queue = dynamic_cast<const PcmQueue*>(v.source.get());
    return queue && !queue->Finished();
}

void MixStreamVoice(VoiceState& v, float* acc, std::size_t frames, std::uint64_t step, StereoGain g)
{
    const std::size_t ch = v.format.channels;
    for (std::size_t f = 0; f < frames; ++f) {
        std::size_t i = static_cast<std::size_t>(v.pos >> 32);
        if (i + 2 > v.stagingFrames) {
            // Drop what was played, keep the current frame for interpolation, read on.
            if (i > 0) {
                const std::size_t drop = std::min(i, v.stagingFrames);
                v.staging.erase(v.staging.begin(), v.staging.begin() + static_cast<std::ptrdiff_t>(drop * ch));
                v.stagingFrames -= drop;
                v.pos -= static_cast<std::uint64_t>(drop) << 32;
                i -= drop;
            }
            if (!FillStaging(v, i + 2) && i >= v.stagingFrames) {
                if (SourceWaiting(v)) {
                    v.ended = false;
                    return; // silence until the producer delivers
                }
                v.playing = false;
                v.staging.clear();
                v.stagingFrames = 0;
                v.pos = 0;
                return;
            }
        }
        const std::size_t j = std::min(i + 1, v.stagingFrames - 1);
        const float t = static_cast<float>(static_cast<double>(v.pos & 0xFFFFFFFFu) / kFixedOne);
        const std::int16_t* s = v.staging.data();
        const float l0 = s[i * ch], l1 = s[j * ch];
        const float r0 = s[i * ch + ch - 1], r1 = s[j * ch + ch - 1];
        acc[2 * f] += (l0 + (l1 - l0) * t) * g.left;
        acc[2 * f + 1] += (r0 + (r1 - r0) * t) * g.right;
        v.pos += step;
    }
}

void MixLocked(Mixer& m, std::int16_t* out, std::size_t frames)
{
    m.accum.assign(frames * 2, 0.0f);
    float* acc = m.accum.data();
    for (std::size_t k = 0; k < m.playing.size(); ++k) {
        VoiceState& v = *m.playing[k];
        if (!v.playing)
            continue;
        const StereoGain g = VoiceGain(v, m.listener);
        const std::uint64_t step = (static_cast<std::uint64_t>(v.format.sampleRate) << 32) / m.outRate;
        if (v.source) {
            MixStreamVoice(v, acc, frames, step, g);
        } else if (v.format.bitsPerSample == 8) {
            if (v.format.channels == 2)
                MixBufferVoice<8, 2>(v, acc, frames, step, g);
            else
                MixBufferVoice<8, 1>(v, acc, frames, step, g);
        } else {
            if (v.format.channels == 2)
                MixBufferVoice<16, 2>(v, acc, frames, step, g);
            else
                MixBufferVoice<16, 1>(v, acc, frames, step, g);
        }
    }
    // Voices that stopped by themselves leave the list; their objects keep their state.
    for (std::size_t k = 0; k < m.playing.size();) {
        if (!m.playing[k]->playing) {
            m.playing[k]->registered = false;
            m.playing.erase(m.playing.begin() + static_cast<std::ptrdiff_t>(k));
        } else {
            ++k;
        }
    }
    for (std::size_t i = 0; i < frames * 2; ++i) {
        const float s = std::clamp(acc[i], -32768.0f, 32767.0f);
        out[i] = static_cast<std::int16_t>(s >= 0.0f ? s + 0.5f : s - 0.5f);
    }
}

void SdlCallback(void* user, Uint8* stream, int len)
{
    auto* m = static_cast<Mixer*>(user);
    std::lock_guard lock(m->mutex);
    MixLocked(*m, reinterpret_cast<std::int16_t*>(stream), static_cast<std::size_t>(len) / 4);
}

} // namespace

bool IsPlayablePcmFormat(const PcmFormat& f)
{
    return (f.channels == 1 || f.channels == 2) && (f.bitsPerSample == 8 || f.bitsPerSample == 16) &&
           f.sampleRate >= kMinSampleRate && f.sampleRate <= kMaxSampleRate;
}

void SetAudioBackend(AudioBackend backend)
{
    Mixer& m = TheMixer();
    std::lock_guard lock(m.mutex);
    m.backend = backend;
}

AudioBackend GetAudioBackend()
{
    Mixer& m = TheMixer();
    std::lock_guard lock(m.mutex);
    return m.backend;
}

bool AudioOpen(std::uint32_t outputRate)
{
    Mixer& m = TheMixer();
    std::lock_guard openLock(m.openMutex);
    std::unique_lock lock(m.mutex);
    if (m.openCount > 0) {
        ++m.openCount;
        return true;
    }
    if (outputRate < 8000 || outputRate > 192000)
        return false;
    switch (m.backend) {
    case AudioBackend::Unavailable:
        return false;
    case AudioBackend::Capture:
        break;
    case AudioBackend::Device: {
        lock.unlock();
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
            return false;
        SDL_AudioSpec want{};
        want.freq = static_cast<int>(outputRate);
        want.format = AUDIO_S16SYS;
        want.channels = 2;
        want.samples = 1024;
        want.callback = SdlCallback;
        want.userdata = &m;
        SDL_AudioSpec have{};
        // No changes allowed: SDL converts our stereo 16-bit mix to whatever the hardware wants.
        const SDL_AudioDeviceID dev = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (dev == 0) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return false;
        }
        lock.lock();
        m.device = dev;
        break;
    }
    }
    m.openBackend = m.backend;
    m.outRate = outputRate;
    m.openCount = 1;
    m.listener = ListenerParams{};
    const SDL_AudioDeviceID started = m.device;
    lock.unlock();
    // Unpausing takes SDL's device lock, which the callback holds while it waits for ours.
    if (started != 0)
        SDL_PauseAudioDevice(started, 0);
    return true;
}

void AudioClose()
{
    Mixer& m = TheMixer();
    std::lock_guard openLock(m.openMutex);
    SDL_AudioDeviceID dev = 0;
    {
        std::lock_guard lock(m.mutex);
        if (m.openCount == 0 || --m.openCount > 0)
            return;
        for (auto& v : m.playing) {
            v->playing = false;
            v->registered = false;
        }
        m.playing.clear();
        dev = m.device;
        m.device = 0;
    }
    // Closing waits for a running callback, which takes the mutex: never close while holding it.
    if (dev != 0) {
        SDL_CloseAudioDevice(dev);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
}

bool AudioIsOpen()
{
    Mixer& m = TheMixer();
    std::lock_guard lock(m.mutex);
    return m.openCount > 0;
}

std::uint32_t AudioOutputRate()
{
    Mixer& m = TheMixer();
    std::lock_guard lock(m.mutex);
    return m.outRate;
}

std::vector<std::int16_t> AudioCaptureMix(std::size_t frames)
{
    Mixer& m = TheMixer();
    std::lock_guard lock(m.mutex);
    if (m.openCount == 0 || m.openBackend != AudioBackend::Capture)
        return {};
    std::vector<std::int16_t> out(frames * 2);
    MixLocked(m, out.data(), frames);
    return out;
}

int AudioPlayingVoiceCount()
{
    Mixer& m = TheMixer();
    std::lock_guard lock(m.mutex);
    int n = 0;
    for (const auto& v : m.playing)
        n += v->playing ? 1 : 0;
    return n;
}

float VolumeToGain(std::int32_t hundredthsDb)
{
    if (hundredthsDb <= kVolumeMin)
        return 0.0f;
    if (hundredthsDb >= kVolumeMax)
        return 1.0f;
    return static_cast<float>(std::pow(10.0, hundredthsDb / 2000.0));
}

void SetAudioListener(const ListenerParams& params)
{
    Mixer& m = TheMixer();
    std::lock_guard lock(m.mutex);
    m.listener = params;
}

ListenerParams GetAudioListener()
{
    Mixer& m = TheMixer();
    std::lock_guard lock(m.mutex);
    return m.listener;
}

StereoGain Compute3DGain(const Sound3DParams& p, const ListenerParams& listener)
{
    float x = p.x, y = p.y, z = p.z;
    if (p.mode == Sound3DMode::Normal) {
        x -= listener.x;
        y -= listener.y;
        z -= listener.z;
    }
    const float d = std::sqrt(x * x + y * y + z * z);
    const float minD = std::max(p.minDistance, 1.0e-6f);
    const float maxD = std::max(p.maxDistance, minD);
    const float held = std::min(d, maxD);
    float gain = 1.0f;
    if (held > minD)
        gain = minD / (minD + std::max(listener.rollOffFactor, 0.0f) * (held - minD));
    // Equal-power pan scaled so that a centred sound keeps full gain on both sides.
    const float pan = d > 0.0f ? std::clamp(x / d, -1.0f, 1.0f) : 0.0f;
    const float angle = (pan + 1.0f) * 0.78539816f;
    StereoGain g;
    g.left = pan <= 0.0f ? gain : gain * std::min(1.0f, 1.41421356f * std::cos(angle));
    g.right = pan >= 0.0f ? gain : gain * std::min(1.0f, 1.41421356f * std::sin(angle));
    return g;
}

// ---------------------------------------------------------------- AudioBuffer

AudioBuffer::AudioBuffer(std::shared_ptr<VoiceState> voice) : m_Voice(std::move(voice)) {}

AudioBuffer::~AudioBuffer()
{
    Silence(m_Voice.get());
}

std::unique_ptr<AudioBuffer> AudioBuffer::Create(const PcmFormat& format, std::uint32_t bytes, bool with3D)
{
    if (!IsPlayablePcmFormat(format) || bytes < format.BytesPerFrame() || !AudioIsOpen())
        return nullptr;
    auto v = std::make_shared<VoiceState>();
    v->format = format;
    // Whole frames only: a trailing partial frame is never played.
    const std::uint32_t whole = bytes - bytes % format.BytesPerFrame();
    v->data = std::make_shared<std::vector<std::uint8_t>>(whole, format.bitsPerSample == 8 ? 0x80 : 0);
    v->with3D = with3D;
    return std::unique_ptr<AudioBuffer>(new AudioBuffer(std::move(v)));
}

std::unique_ptr<AudioBuffer> AudioBuffer::Duplicate() const
{
    if (!AudioIsOpen())
        return nullptr;
    Mixer& m = TheMixer();
    std::lock_guard lock(m.mutex);
    auto v = std::make_shared<VoiceState>();
    v->format = m_Voice->format;
    v->data = m_Voice->data;
    v->with3D = m_Voice->with3D;
    v->volume = m_Voice->volume;
    v->params = m_Voice->params;
    return std::unique_ptr<AudioBuffer>(new AudioBuffer(std::move(v)));
}

bool AudioBuffer::Write(std::uint32_t offset, std::span<const std::uint8_t> bytes)
{
    Mixer& m = TheMixer();
    std::lock_guard lock(m.mutex);
    auto& data = *m_Voice->data;
    if (offset > data.size() || bytes.size() > data.size() - offset)
        return false;
    if (!bytes.empty())
        std::memcpy(data.data() + offset, bytes.data(), bytes.size());
    return true;
}

bool AudioBuffer::Play(bool loop)
{
    Mixer& m = TheMixer();
    std::lock_guard lock(m.mutex);
    if (m.openCount == 0)
        return false;
    m_Voice->looping = loop;
    m_Voice->playing = true;
    Register(m, m_Voice);
    return true;
}

bool AudioBuffer::Stop()
{
    Silence(m_Voice.get());
    return true;
}

bool AudioBuffer::SetCurrentPosition(std::uint32_t byteOffset)
{
    Mixer& m = TheMixer();
    std::lock_guard lock(m.mutex);
    const std::uint32_t bpf = m_Voice->format.BytesPerFrame();
    if (byteOffset > m_Voice->data->size())
        return false;
    m_Voice->pos = static_cast<std::uint64_t>(byteOffset / bpf) << 32;
    return true;
}

std::uint32_t AudioBuffer::GetCurrentPosition() const
{
    Mixer& m = TheMixer();
    std::lock_guard lock(m.mutex);
    return static_cast<std::uint32_t>(m_Voice->pos >> 32) * m_Voice->format.BytesPerFrame();
}

std::uint32_t AudioBuffer::GetStatus() const
{
    Mixer& m = TheMixer();
    std::lock_guard lock(m.mutex);
    if (!m_Voice->playing)
        return 0;
    return kAudioStatusPlaying | (m_Voice->looping ? kAudioStatusLooping : 0);
}

bool AudioBuffer::SetVolume(std::int32_t hundredthsDb)
{
    Mixer& m = TheMixer();
    std::lock_guard lock(m.mutex);
    m_Voice->volume = std::clamp(hundredthsDb, kVolumeMin, kVolumeMax);
    return true;
}

std::int32_t AudioBuffer::GetVolume() const
{
    Mixer& m = TheMixer();
    std::lock_guard lock(m.mutex);
    return m_Voice->volume;
}

bool AudioBuffer::Has3D() const { return m_Voice->with3D; }

bool AudioBuffer::Set3DParams(const Sound3DParams& params)
{
    if (!m_Voice->with3D || !std::isfinite(params.x) || !std::isfinite(params.y) || !std::isfinite(params.z) ||
        !(params.minDistance >= 0.0f) || !(params.maxDistance >= 0.0f))
        return false;
    Mixer& m = TheMixer();
    std::lock_guard lock(m.mutex);
    m_Voice->params = params;
    return true;
}

bool AudioBuffer::Get3DParams(Sound3DParams& out) const
{
    if (!m_Voice->with3D)
        return false;
    Mixer& m = TheMixer();
    std::lock_guard lock(m.mutex);
    out = m_Voice->params;
    return true;
}

const PcmFormat& AudioBuffer::Format() const { return m_Voice->format; }
std::uint32_t AudioBuffer::Size() const { return static_cast<std::uint32_t>(m_Voice->data->size()); }
const void* AudioBuffer::DataIdentity() const { return m_Voice->data.get(); }

// ---------------------------------------------------------------- PcmQueue

std::size_t PcmQueue::Read(std::int16_t* out, std::size_t frameCount)
{
    std::lock_guard lock(m_Mutex);
    const std::size_t ch = std::max<std::size_t>(m_Format.channels, 1);
    const std::size_t avail = (m_Samples.size() - m_ReadPos) / ch;
    const std::size_t n = std::min(avail, frameCount);
    if (n > 0)
        std::memcpy(out, m_Samples.data() + m_ReadPos, n * ch * sizeof(std::int16_t));
    m_ReadPos += n * ch;
    if (m_ReadPos == m_Samples.size()) {
        m_Samples.clear();
        m_ReadPos = 0;
    }
    return n;
}

void PcmQueue::Push(std::span<const std::int16_t> interleaved)
{
    std::lock_guard lock(m_Mutex);
    const std::size_t whole = interleaved.size() - interleaved.size() % std::max<std::size_t>(m_Format.channels, 1);
    m_Samples.insert(m_Samples.end(), interleaved.begin(), interleaved.begin() + static_cast<std::ptrdiff_t>(whole));
}

void PcmQueue::Finish()
{
    std::lock_guard lock(m_Mutex);
    m_Finished = true;
}

void PcmQueue::Clear()
{
    std::lock_guard lock(m_Mutex);
    m_Samples.clear();
    m_ReadPos = 0;
}

std::size_t PcmQueue::QueuedFrames() const
{
    std::lock_guard lock(m_Mutex);
    return (m_Samples.size() - m_ReadPos) / std::max<std::size_t>(m_Format.channels, 1);
}

bool PcmQueue::Finished() const
{
    std::lock_guard lock(m_Mutex);
    return m_Finished;
}

// ---------------------------------------------------------------- AudioStream

AudioStream::AudioStream(std::shared_ptr<VoiceState> voice) : m_Voice(std::move(voice)) {}

AudioStream::~AudioStream()
{
    Silence(m_Voice.get());
}

std::unique_ptr<AudioStream> AudioStream::Open(std::shared_ptr<PcmSource> source)
{
    if (!source || !AudioIsOpen())
        return nullptr;
    PcmFormat f = source->Format();
    if (!IsPlayablePcmFormat(f) || f.bitsPerSample != 16)
        return nullptr;
    auto v = std::make_shared<VoiceState>();
    v->format = f;
    v->source = std::move(source);
    return std::unique_ptr<AudioStream>(new AudioStream(std::move(v)));
}

void AudioStream::Play()
{
    Mixer& m = TheMixer();
    std::lock_guard lock(m.mutex);
    if (m.openCount == 0 || (m_Voice->ended && m_Voice->stagingFrames == 0))
        return;
    m_Voice->playing = true;
    Register(m, m_Voice);
}

void AudioStream::Stop()
{
    Silence(m_Voice.get());
}

bool AudioStream::IsPlaying() const
{
    Mixer& m = TheMixer();
    std::lock_guard lock(m.mutex);
    return m_Voice->playing;
}

bool AudioStream::Ended() const
{
    Mixer& m = TheMixer();
    std::lock_guard lock(m.mutex);
    return m_Voice->ended && !m_Voice->playing;
}

void AudioStream::SetGain(float gain)
{
    Mixer& m = TheMixer();
    std::lock_guard lock(m.mutex);
    m_Voice->gain = std::isfinite(gain) ? std::clamp(gain, 0.0f, 1.0f) : 0.0f;
}

float AudioStream::GetGain() const
{
    Mixer& m = TheMixer();
    std::lock_guard lock(m.mutex);
    return m_Voice->gain;
}

} // namespace plat
