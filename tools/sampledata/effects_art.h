#pragma once
// The pictures of shots, explosions and craters: shell sprites, one explosion frame block per
// explosion type (fire, smoke, water splash, dust, flak, gas, wakes), and the crater archives.
#include <cstdint>
#include <string>
#include <vector>

#include "images.h"

namespace sampledata {

// Explosion frames are 64 x 64 and placed by the head so that their bottom centre stands on the
// explosion's point: screen x = A - C + x, screen y = B - D + y.
constexpr FrameBlockHead kExplosionHead{64, 64, 96, 128};
constexpr int kExplosionFrameSize = 64;
constexpr int kExplosionFrames = 10;
constexpr int kFlatCraters = 12;
constexpr int kUprightCraters = 2;

// The frame block of explosion type (0..40).
std::vector<std::uint8_t> MakeExplosionBlock(int type);
// Crater picture i (a ".444" image), and the upright pictures.
std::vector<std::uint8_t> MakeCraterPicture(int index);
std::vector<std::uint8_t> MakeUprightPicture(int index);

// The sets of the particle bank, in its "Info.txt" order.
enum class ParticleLook { Smoke, Fire, Sparks, Gas, Foam };
constexpr int kParticleFrameSize = 32;
constexpr int kParticleFrames = 10;
// Frame i (of kParticleFrames) of a particle set: size x size ARGB 4444 pixels, centred.
std::vector<std::uint16_t> DrawParticleFrame(ParticleLook look, int frame);

bool WriteEffectsArt(const std::string& outDir);

} // namespace sampledata
