#include "animations.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "effects_art.h"
#include "images.h"
#include "sample_data.h"

namespace sampledata {

namespace {

std::uint16_t WithAlpha(std::uint16_t colour, int alpha15)
{
    return static_cast<std::uint16_t>((colour & 0x0FFF) | (std::clamp(alpha15, 0, 15) << 12));
}

std::vector<AnimationFrame> ParticleFrames(ParticleLook look)
{
    std::vector<AnimationFrame> frames;
    for (int i = 0; i < kParticleFrames; ++i)
        frames.push_back({kParticleFrameSize, kParticleFrameSize, DrawParticleFrame(look, i)});
    return frames;
}

} // namespace

std::vector<LesSource> MakeAnimationPack(const std::vector<AnimationFrame>& frames, std::optional<HotSpot> hotSpot)
{
    std::vector<LesSource> entries;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const AnimationFrame& f = frames[i];
        char name[32];
        std::snprintf(name, sizeof name, "frame%03zu.444", i);
        entries.push_back({name, static_cast<std::uint16_t>(i), Make444(f.width, f.height, f.pixels)});
    }
    if (hotSpot) {
        const std::string text = std::to_string(hotSpot->x) + " " + std::to_string(hotSpot->y) + "\r\n";
        entries.push_back({"info.txt", static_cast<std::uint16_t>(frames.size()), {text.begin(), text.end()}});
    }
    return entries;
}

std::vector<AnimationFrame> DrawRingFrames(int count, int size, std::uint16_t colour)
{
    std::vector<AnimationFrame> frames;
    for (int i = 0; i < count; ++i) {
        AnimationFrame f{size, size, std::vector<std::uint16_t>(static_cast<std::size_t>(size) * size, 0)};
        const double radius = (size / 2.0 - 2) * (i + 1) / count;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const double d = std::hypot(x + 0.5 - size / 2.0, y + 0.5 - size / 2.0);
                const double edge = 1.5 - std::abs(d - radius);
                if (edge > 0)
                    f.pixels[static_cast<std::size_t>(y) * size + x] =
                        WithAlpha(colour, static_cast<int>(15 * std::min(edge, 1.0)));
            }
        frames.push_back(std::move(f));
    }
    return frames;
}

std::vector<AnimationFrame> DrawWaveFrames(int count, int width, int height, std::uint16_t colour)
{
    std::vector<AnimationFrame> frames;
    for (int i = 0; i < count; ++i) {
        AnimationFrame f{width, height, std::vector<std::uint16_t>(static_cast<std::size_t>(width) * height, 0)};
        for (int x = 0; x < width; ++x) {
            const double phase = 2 * 3.14159265358979 * (x / static_cast<double>(width) - i / static_cast<double>(count));
            const int crest = static_cast<int>(height / 2.0 + std::sin(phase) * (height / 3.0));
            for (int y = std::max(crest, 0); y < height; ++y)
                f.pixels[static_cast<std::size_t>(y) * width + x] = WithAlpha(colour, 15 - 10 * (y - crest) / height);
        }
        frames.push_back(std::move(f));
    }
    return frames;
}

bool WriteAnimationBank(const std::string& outDir, const std::string& folder, const std::vector<BankPack>& packs)
{
    std::string list = std::to_string(packs.size()) + "\r\n";
    for (const BankPack& p : packs) {
        if (!WriteLesArchive(outDir, folder + p.fileName, p.entries))
            return false;
        list += p.fileName + "\r\n";
    }
    return WriteFileBytes(outDir, folder + "Info.txt", list.data(), list.size());
}

bool WriteAnimations(const std::string& outDir)
{
    constexpr std::uint16_t kRed = 0x0F22, kYellow = 0x0FE2, kWhite = 0x0EEF, kFlash = 0x0FD6;
    // Rings are centred on the position; waves stand on their bottom middle; shot flashes on their
    // left middle, where the barrel ends.
    return WriteAnimationBank(outDir, "Data\\Misc\\MiniMapIndicators\\",
                              {{"Attack.les", MakeAnimationPack(DrawRingFrames(8, 16, kRed), HotSpot{8, 8})},
                               {"House.les", MakeAnimationPack(DrawRingFrames(8, 16, kYellow), HotSpot{8, 8})},
                               {"Command.les", MakeAnimationPack(DrawRingFrames(6, 16, kWhite), std::nullopt)}})
        && WriteAnimationBank(outDir, "Data\\Misc\\ShipWaves\\",
                              {{"Wave0.les", MakeAnimationPack(DrawWaveFrames(8, 32, 16, kWhite), HotSpot{16, 15})},
                               {"Wave1.les", MakeAnimationPack(DrawWaveFrames(8, 48, 16, kWhite), HotSpot{24, 15})}})
        && WriteAnimationBank(outDir, "Data\\Misc\\ParticleAnims\\",
                              {{"Smoke.les", MakeAnimationPack(ParticleFrames(ParticleLook::Smoke), HotSpot{16, 16})},
                               {"Fire.les", MakeAnimationPack(ParticleFrames(ParticleLook::Fire), HotSpot{16, 16})},
                               {"Sparks.les", MakeAnimationPack(ParticleFrames(ParticleLook::Sparks), HotSpot{16, 16})},
                               {"Gas.les", MakeAnimationPack(ParticleFrames(ParticleLook::Gas), HotSpot{16, 16})},
                               {"Foam.les", MakeAnimationPack(ParticleFrames(ParticleLook::Foam), HotSpot{16, 16})}})
        && WriteAnimationBank(outDir, "Data\\Misc\\Shots\\",
                              {{"Flash.les", MakeAnimationPack(DrawRingFrames(4, 16, kFlash), HotSpot{0, 8})}});
}

} // namespace sampledata
