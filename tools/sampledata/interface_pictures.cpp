#include "interface_pictures.h"

#include <algorithm>
#include <cmath>

#include "archives.h"
#include "images.h"
#include "terrain_noise.h"

namespace sampledata {

namespace {

// Gun-metal plate: a dark olive steel with brushed grain, lit from the top left.
std::uint32_t Steel(float light, float grain)
{
    const float k = std::clamp(light * (0.86f + 0.14f * grain), 0.0f, 1.6f);
    const auto r = static_cast<std::uint32_t>(std::clamp(92.0f * k, 0.0f, 255.0f));
    const auto g = static_cast<std::uint32_t>(std::clamp(96.0f * k, 0.0f, 255.0f));
    const auto b = static_cast<std::uint32_t>(std::clamp(74.0f * k, 0.0f, 255.0f));
    return r << 16 | g << 8 | b;
}

// The light of a bevelled rim of width w at distance d from each edge: bright on the top and left
// faces, dark on the bottom and right ones, flat inside.
float BevelLight(int x, int y, int width, int height, int w)
{
    if (y < w && y <= x && y <= width - 1 - x)
        return 1.45f;
    if (x < w && x <= height - 1 - y)
        return 1.25f;
    if (height - 1 - y < w)
        return 0.55f;
    if (width - 1 - x < w)
        return 0.7f;
    return 1.0f;
}

void Rivet(std::vector<std::uint32_t>& px, int width, int cx, int cy)
{
    for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx) {
            if (dx * dx + dy * dy > 5)
                continue;
            const float light = 1.1f - 0.18f * static_cast<float>(dx + dy);
            px[static_cast<std::size_t>((cy + dy) * width + cx + dx)] = Steel(light, 0.8f);
        }
}

std::vector<std::uint32_t> Plate(int width, int height, int rim, std::uint32_t seed)
{
    std::vector<std::uint32_t> px(static_cast<std::size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const float grain = ValueNoise(x / 9.0f, y / 1.5f, seed) * 0.7f + HashUnit(x, y, seed + 1) * 0.3f;
            px[static_cast<std::size_t>(y * width + x)] = Steel(BevelLight(x, y, width, height, rim), grain);
        }
    return px;
}

} // namespace

std::vector<std::uint8_t> MakeMiniMapBevelUpBmp()
{
    constexpr int w = kMiniMapBevelUpWidth, h = kMiniMapBevelUpHeight;
    std::vector<std::uint32_t> px = Plate(w, h, 3, 31);
    // A groove between the button row and the rim over the picture.
    for (int x = 4; x < w - 4; ++x) {
        px[static_cast<std::size_t>(27 * w + x)] = Steel(0.45f, 0.5f);
        px[static_cast<std::size_t>(28 * w + x)] = Steel(1.35f, 0.5f);
    }
    for (int cx : {6, w - 7})
        for (int cy : {7, 31})
            Rivet(px, w, cx, cy);
    return MakeBmp24(w, h, px);
}

std::vector<std::uint8_t> MakeMiniMapBevelLeftBmp()
{
    constexpr int w = kMiniMapBevelLeftWidth, h = kMiniMapBevelLeftHeight;
    std::vector<std::uint32_t> px = Plate(w, h, 2, 47);
    for (int cy = 14; cy < h - 6; cy += 48)
        Rivet(px, w, 5, cy);
    return MakeBmp24(w, h, px);
}

bool WriteInterfaceArchive(const std::string& outDir)
{
    // Names in lower case: the game looks entries up lower-cased.
    return WriteLesArchive(outDir, "Data/Interface/Interface.les",
                           {{"minimapbevelup.bmp", 1, MakeMiniMapBevelUpBmp()},
                            {"minimapbevelleft.bmp", 2, MakeMiniMapBevelLeftBmp()}});
}

} // namespace sampledata
