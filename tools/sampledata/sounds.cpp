#include "sounds.h"

#include <algorithm>
#include <cmath>

#include "core/error_log.h"
#include "devices/music.h"
#include "devices/sound.h"
#include "platform/ogg_encode.h"
#include "platform/paths.h"
#include "platform/wav.h"
#include "sample_data.h"

namespace sampledata {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kRate = 22050;

// A small deterministic generator, so that every build writes the same files.
struct Noise {
    std::uint32_t state;
    explicit Noise(std::uint32_t seed) : state(seed * 2654435761u + 1u) {}
    double Next()
    {
        state = state * 1664525u + 1013904223u;
        return static_cast<double>(state >> 8) / 8388608.0 - 1.0;
    }
};

std::uint32_t HashName(const std::string& s)
{
    std::uint32_t h = 2166136261u;
    for (unsigned char c : s)
        h = (h ^ c) * 16777619u;
    return h;
}

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

std::vector<std::uint8_t> Pcm16(const std::vector<double>& samples)
{
    std::vector<std::uint8_t> bytes(samples.size() * 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto v = static_cast<std::int16_t>(std::lround(std::clamp(samples[i], -1.0, 1.0) * 32000.0));
        bytes[2 * i] = static_cast<std::uint8_t>(v);
        bytes[2 * i + 1] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(v) >> 8);
    }
    return bytes;
}

} // namespace

std::vector<std::uint8_t> SynthesizeSoundWave(const std::string& name)
{
    const std::uint32_t h = HashName(name);
    Noise noise(h);
    // A variant number in the name shifts the pitch, so that variants sound apart.
    const double shift = 1.0 + static_cast<double>(h % 7) * 0.06;
    if (StartsWith(name, "Clicks")) {
        // Short 8-bit clicks.
        const double f = name.find("YES") != std::string::npos ? 1320.0 : name.find("NO") != std::string::npos ? 440.0 : 880.0;
        const int rate = 11025, n = rate / 20;
        std::vector<std::uint8_t> bytes(n);
        for (int i = 0; i < n; ++i) {
            const double env = 1.0 - static_cast<double>(i) / n;
            bytes[i] = static_cast<std::uint8_t>(128 + std::lround(100.0 * env * std::sin(2 * kPi * f * i / rate)));
        }
        return plat::BuildWaveImage(1, rate, 8, bytes);
    }
    std::vector<double> s;
    auto tone = [&](double seconds, double freq, double noiseMix, double decay) {
        const int n = static_cast<int>(seconds * kRate);
        for (int i = 0; i < n; ++i) {
            const double t = static_cast<double>(i) / kRate;
            const double env = std::exp(-decay * t) * std::min(1.0, i / 200.0);
            s.push_back(0.8 * env * ((1 - noiseMix) * std::sin(2 * kPi * freq * shift * t) + noiseMix * noise.Next()));
        }
    };
    if (StartsWith(name, "Misc\\Blasts"))
        tone(name.find("Big") != std::string::npos ? 0.8 : 0.4, 60.0, 0.85, 5.0);
    else if (StartsWith(name, "Misc\\Fire"))
        tone(1.0, 200.0, 0.95, 0.0);
    else if (StartsWith(name, "Misc\\Ambience"))
        tone(1.5, name.find("Winter") != std::string::npos ? 300.0 : 150.0, 0.6, 0.0);
    else if (StartsWith(name, "Misc\\LeadIns"))
        tone(0.3, 520.0, 0.1, 2.0);
    else if (StartsWith(name, "Misc\\Horns") || StartsWith(name, "Misc\\Anounces")) {
        tone(0.25, 392.0, 0.0, 1.0);
        tone(0.35, 523.0, 0.0, 1.0);
    } else if (StartsWith(name, "Buildings"))
        tone(0.6, 110.0, 0.3, 1.5);
    else
        tone(0.4, 240.0, 0.5, 3.0); // units
    return plat::BuildWaveImage(1, kRate, 16, Pcm16(s));
}

bool WriteSoundFiles(const std::string& outDir)
{
    for (const std::string& name : ListFixedSoundNames()) {
        const auto wave = SynthesizeSoundWave(name);
        if (!WriteFileBytes(outDir, "Media/" + plat::NormalizeSeparators(name), wave.data(), wave.size()))
            return false;
    }
    return true;
}

std::vector<std::int16_t> MusicTrackPcm(int track, double seconds)
{
    // A melody of eighth notes on a scale, rooted per track; the right channel an octave lower.
    static const int scale[8] = {0, 2, 4, 5, 7, 9, 11, 12};
    const double root = 220.0 * std::pow(2.0, (track % 12) / 12.0);
    const int n = static_cast<int>(seconds * kRate);
    const int note = kRate / 4;
    std::vector<std::int16_t> pcm(static_cast<std::size_t>(n) * 2);
    for (int i = 0; i < n; ++i) {
        const int k = i / note;
        const double f = root * std::pow(2.0, scale[(k * (track + 3)) % 8] / 12.0);
        const double t = static_cast<double>(i) / kRate;
        const double env = 0.5 + 0.5 * std::exp(-6.0 * static_cast<double>(i % note) / kRate);
        pcm[2 * i] = static_cast<std::int16_t>(std::lround(9000.0 * env * std::sin(2 * kPi * f * t)));
        pcm[2 * i + 1] = static_cast<std::int16_t>(std::lround(9000.0 * env * std::sin(kPi * f * t)));
    }
    return pcm;
}

bool WriteMusicTrack(const std::string& outDir, int track, double seconds)
{
    if (track < 0 || track >= MUSIC_TRACK_COUNT)
        return false;
    std::vector<std::uint8_t> ogg;
    if (!plat::EncodeOggVorbis(MusicTrackPcm(track, seconds), 2, kRate, 0.1f, ogg)) {
        ReportErrorInt("sampledata: the Ogg Vorbis encoder refused track ", track);
        return false;
    }
    return WriteFileBytes(outDir, "Media/Music/" + plat::NormalizeSeparators(g_MusicTracks[track]), ogg.data(),
                          ogg.size());
}

bool WriteMusicFiles(const std::string& outDir)
{
    for (int track = 0; track < MUSIC_TRACK_COUNT; ++track)
        if (!WriteMusicTrack(outDir, track, 4.0))
            return false;
    return true;
}

} // namespace sampledata
