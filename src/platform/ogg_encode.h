#pragma once
// Encodes PCM as an Ogg Vorbis file image (the sample-data builder makes the music with it).
#include <cstdint>
#include <span>
#include <vector>

namespace plat {

// interleaved holds frames of `channels` (1 or 2) 16-bit samples. quality is libvorbis' -0.1..1.
// false when the encoder refuses the layout.
bool EncodeOggVorbis(std::span<const std::int16_t> interleaved, int channels, int sampleRate, float quality,
                     std::vector<std::uint8_t>& out);

} // namespace plat
