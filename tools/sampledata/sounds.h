#pragma once
// Synthesised sound effects (short tones and noises, distinct per category) and generated music.
#include <cstdint>
#include <string>
#include <vector>

namespace sampledata {

// A mono WAV image for a sound name (relative to "media\"); the name's category picks the sound.
// Interface clicks are 8-bit at 11025 Hz, everything else 16-bit at 22050 Hz.
std::vector<std::uint8_t> SynthesizeSoundWave(const std::string& name);
// Writes every sound the sound tables can name under outDir/Media.
bool WriteSoundFiles(const std::string& outDir);

// The PCM of a music track: stereo 16-bit at 22050 Hz, a short melody whose pitch depends on the
// track, `seconds` long.
std::vector<std::int16_t> MusicTrackPcm(int track, double seconds);
// Encodes one track as Ogg Vorbis to outDir/Media/Music/<its file>.
bool WriteMusicTrack(const std::string& outDir, int track, double seconds);
// All 21 tracks, a few seconds each.
bool WriteMusicFiles(const std::string& outDir);

} // namespace sampledata
