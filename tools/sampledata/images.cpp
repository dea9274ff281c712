#include "images.h"

#include <algorithm>
#include <cmath>

#include "platform/bytes.h"
#include "put_bytes.h"
#include "sample_data.h"

namespace sampledata {

namespace {

void PutPixels(std::vector<std::uint8_t>& out, const FrameSpec& f)
{
    const std::size_t count = static_cast<std::size_t>(f.dataWidth) * f.dataHeight;
    for (std::size_t i = 0; i < count; ++i)
        PutU16(out, i < f.pixels.size() ? f.pixels[i] : 0);
}

void PutRecord(std::vector<std::uint8_t>& out, const FrameSpec& f, std::uint32_t size, std::uint32_t offset)
{
    PutU16(out, f.x);
    PutU16(out, f.y);
    PutU16(out, f.dataWidth);
    PutU16(out, f.dataHeight);
    PutU16(out, f.texWidth);
    PutU16(out, f.texHeight);
    PutU32(out, size);
    PutU32(out, offset);
}

std::uint32_t FrameBytes(const FrameSpec& f)
{
    return f.x == 0xFFFF ? 0 : static_cast<std::uint32_t>(f.dataWidth) * f.dataHeight * 2;
}

int PowerOfTwoAtLeast(int v)
{
    int p = 2;
    while (p < v)
        p *= 2;
    return p;
}

// 4-pixel-wide glyphs, 7 rows each, bit 3 the leftmost pixel; the fifth column stays empty.
constexpr std::uint8_t kDigitGlyphs[10][7] = {
    {0x6, 0x9, 0x9, 0x9, 0x9, 0x9, 0x6}, {0x2, 0x6, 0x2, 0x2, 0x2, 0x2, 0x7}, {0x6, 0x9, 0x1, 0x2, 0x4, 0x8, 0xF},
    {0xE, 0x1, 0x1, 0x6, 0x1, 0x1, 0xE}, {0x9, 0x9, 0x9, 0xF, 0x1, 0x1, 0x1}, {0xF, 0x8, 0xE, 0x1, 0x1, 0x9, 0x6},
    {0x6, 0x8, 0x8, 0xE, 0x9, 0x9, 0x6}, {0xF, 0x1, 0x2, 0x2, 0x4, 0x4, 0x4}, {0x6, 0x9, 0x9, 0x6, 0x9, 0x9, 0x6},
    {0x6, 0x9, 0x9, 0x7, 0x1, 0x1, 0x6},
};

// A selection ring: an elliptic band, opaque green, soft at its edges.
std::vector<std::uint16_t> RingPixels(int w, int h)
{
    std::vector<std::uint16_t> px(static_cast<std::size_t>(w) * h, 0);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const double dx = (x + 0.5 - w / 2.0) / (w / 2.0);
            const double dy = (y + 0.5 - h / 2.0) / (h / 2.0);
            const double r = std::sqrt(dx * dx + dy * dy);
            const double band = 1.0 - std::abs(r - 0.85) / 0.12;
            if (band > 0)
                px[static_cast<std::size_t>(y) * w + x] =
                    static_cast<std::uint16_t>((static_cast<int>(band * 15) << 12) | 0x0F2);
        }
    }
    return px;
}

} // namespace

std::vector<std::uint8_t> MakeBmp24(int width, int height, std::span<const std::uint32_t> rgbTopDown)
{
    const int rowSize = (width * 3 + 3) & ~3;
    const std::uint32_t dataSize = static_cast<std::uint32_t>(rowSize) * static_cast<std::uint32_t>(height);
    std::vector<std::uint8_t> out;
    out.reserve(54 + dataSize);
    out.push_back('B');
    out.push_back('M');
    PutU32(out, 54 + dataSize); // file size
    PutU32(out, 0);             // reserved
    PutU32(out, 54);            // data offset
    PutU32(out, 40);
    PutU32(out, static_cast<std::uint32_t>(width));
    PutU32(out, static_cast<std::uint32_t>(height));
    PutU16(out, 1);  // planes
    PutU16(out, 24); // bit count
    PutU32(out, 0);  // compression
    PutU32(out, dataSize);
    PutU32(out, 2835);
    PutU32(out, 2835);
    PutU32(out, 0);
    PutU32(out, 0);
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * width + x;
            const std::uint32_t c = i < rgbTopDown.size() ? rgbTopDown[i] : 0;
            out.push_back(static_cast<std::uint8_t>(c));       // blue
            out.push_back(static_cast<std::uint8_t>(c >> 8));  // green
            out.push_back(static_cast<std::uint8_t>(c >> 16)); // red
        }
        for (int pad = width * 3; pad < rowSize; ++pad)
            out.push_back(0);
    }
    return out;
}

std::vector<std::uint8_t> Make444(int width, int height, std::span<const std::uint16_t> pixels)
{
    std::vector<std::uint8_t> out;
    PutU16(out, static_cast<std::uint16_t>(width));
    PutU16(out, static_cast<std::uint16_t>(height));
    const std::size_t count = static_cast<std::size_t>(width) * height;
    for (std::size_t i = 0; i < count; ++i)
        PutU16(out, i < pixels.size() ? pixels[i] : 0);
    return out;
}

std::vector<std::uint8_t> MakeTga32(int width, int height, std::span<const std::uint32_t> filePixels)
{
    std::vector<std::uint8_t> out(18, 0);
    out[2] = 2; // uncompressed true colour
    plat::WriteU16LE(out.data() + 12, static_cast<std::uint16_t>(width));
    plat::WriteU16LE(out.data() + 14, static_cast<std::uint16_t>(height));
    out[16] = 32;
    out[17] = 8; // eight alpha bits
    const std::size_t count = static_cast<std::size_t>(width) * height;
    for (std::size_t i = 0; i < count; ++i)
        PutU32(out, i < filePixels.size() ? filePixels[i] : 0);
    return out;
}

std::vector<std::uint8_t> MakePackFrameEntry(const FrameSpec& f)
{
    std::vector<std::uint8_t> out;
    PutU16(out, 0);
    PutU16(out, 0);
    PutU16(out, f.x);
    PutU16(out, f.y);
    PutU16(out, f.texWidth);
    PutU16(out, f.texHeight);
    PutU16(out, f.dataWidth);
    PutU16(out, f.dataHeight);
    PutPixels(out, f);
    return out;
}

std::vector<std::uint8_t> MakeFrameBlock(const FrameBlockHead& head, std::span<const FrameSpec> frames)
{
    std::vector<std::uint8_t> out;
    out.push_back(static_cast<std::uint8_t>(frames.size()));
    PutU32(out, head.a);
    PutU32(out, head.b);
    PutU16(out, head.c);
    PutU16(out, head.d);
    std::uint32_t offset = static_cast<std::uint32_t>(13 + 20 * frames.size());
    for (const FrameSpec& f : frames) {
        const std::uint32_t size = FrameBytes(f);
        PutRecord(out, f, size, size ? offset : 0);
        offset += size;
    }
    for (const FrameSpec& f : frames)
        if (FrameBytes(f))
            PutPixels(out, f);
    return out;
}

std::vector<std::uint8_t> MakePictureBlock(std::span<const FrameSpec> tiles)
{
    std::vector<std::uint8_t> out;
    out.push_back(static_cast<std::uint8_t>(tiles.size()));
    for (const FrameSpec& t : tiles) {
        PutRecord(out, t, static_cast<std::uint32_t>(t.dataWidth) * t.dataHeight * 2, 0);
        PutPixels(out, t);
    }
    return out;
}

std::vector<FrameSpec> CutIntoTiles(int width, int height, std::span<const std::uint16_t> pixels, int tileSize)
{
    std::vector<FrameSpec> tiles;
    for (int ty = 0; ty < height; ty += tileSize) {
        for (int tx = 0; tx < width; tx += tileSize) {
            FrameSpec t;
            t.x = static_cast<std::uint16_t>(tx);
            t.y = static_cast<std::uint16_t>(ty);
            t.dataWidth = static_cast<std::uint16_t>(std::min(tileSize, width - tx));
            t.dataHeight = static_cast<std::uint16_t>(std::min(tileSize, height - ty));
            t.texWidth = static_cast<std::uint16_t>(PowerOfTwoAtLeast(t.dataWidth));
            t.texHeight = static_cast<std::uint16_t>(PowerOfTwoAtLeast(t.dataHeight));
            for (int y = 0; y < t.dataHeight; ++y)
                for (int x = 0; x < t.dataWidth; ++x) {
                    const std::size_t i = static_cast<std::size_t>(ty + y) * width + tx + x;
                    t.pixels.push_back(i < pixels.size() ? pixels[i] : 0);
                }
            tiles.push_back(std::move(t));
        }
    }
    return tiles;
}

bool DigitPixel(int digit, int x, int y)
{
    if (digit < 0 || digit > 9 || x < 0 || x > 3 || y < 0 || y > 6)
        return false;
    return (kDigitGlyphs[digit][y] >> (3 - x)) & 1;
}

std::vector<std::uint8_t> MakeNumbersBmp()
{
    constexpr int kW = 64, kH = 7;
    std::vector<std::uint32_t> px(kW * kH, kKeyMagenta);
    for (int d = 0; d < 10; ++d)
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < 5; ++x)
                if (DigitPixel(d, x, y))
                    px[static_cast<std::size_t>(y) * kW + d * 5 + x] = kDigitInk;
    return MakeBmp24(kW, kH, px);
}

// A muzzle flash: a white-hot core fading through yellow and orange to the colour key.
std::vector<std::uint8_t> MakeUnitFireBmp()
{
    constexpr int kSide = 32;
    std::vector<std::uint32_t> px(kSide * kSide, kKeyMagenta);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const double dx = (x - 15.5) / 15.5;
            const double dy = (y - 15.5) / 10.0;
            const double d = std::sqrt(dx * dx + dy * dy);
            if (d >= 1.0)
                continue;
            const double heat = 1.0 - d;
            const auto r = static_cast<std::uint32_t>(255);
            const auto g = static_cast<std::uint32_t>(90 + 165 * heat);
            const auto b = static_cast<std::uint32_t>(40 + 200 * heat * heat * heat);
            px[static_cast<std::size_t>(y) * kSide + x] = r << 16 | g << 8 | b;
        }
    return MakeBmp24(kSide, kSide, px);
}

// The band laid round selected buildings and ships: a dashed gold stripe, bright along its middle
// and darker toward both edges, the gaps in the colour key.
std::vector<std::uint8_t> MakeHouseSelTextureBmp()
{
    constexpr int kW = 64, kH = 16;
    std::vector<std::uint32_t> px(kW * kH, kKeyMagenta);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            if (x % 16 >= 12)
                continue;
            const double across = 1.0 - std::abs((y - 7.5) / 7.5);
            const double along = 0.85 + 0.15 * std::sin(x * 0.39);
            const double light = (0.35 + 0.65 * across) * along;
            const auto r = static_cast<std::uint32_t>(250 * light);
            const auto g = static_cast<std::uint32_t>(205 * light);
            const auto b = static_cast<std::uint32_t>(60 * light);
            px[static_cast<std::size_t>(y) * kW + x] = r << 16 | g << 8 | b;
        }
    return MakeBmp24(kW, kH, px);
}

bool WriteImages(const std::string& outDir)
{
    const auto numbers = MakeNumbersBmp();
    if (!WriteFileBytes(outDir, "Data\\Misc\\Numbers2.bmp", numbers.data(), numbers.size()))
        return false;
    const auto fire = MakeUnitFireBmp();
    if (!WriteFileBytes(outDir, "Data\\Misc\\UnitFire2.bmp", fire.data(), fire.size()))
        return false;
    const auto sel = MakeHouseSelTextureBmp();
    if (!WriteFileBytes(outDir, "Data\\Misc\\HouseSelTexture.bmp", sel.data(), sel.size()))
        return false;

    const auto ring = RingPixels(64, 32);
    const auto select = Make444(64, 32, ring);
    return WriteFileBytes(outDir, "Data\\Misc\\Select.444", select.data(), select.size());
}

} // namespace sampledata
