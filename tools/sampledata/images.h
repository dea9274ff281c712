#pragma once
// Writers of the picture formats: 24-bit BMP, ".444", 32-bit TGA, pack frame entries, explosion
// frame blocks and tiled pictures, plus the pictures the game folder needs (the digits texture).
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace sampledata {

// 24-bit BMP file of width x height pixels given top row first as 0x00RRGGBB; rows are stored
// bottom row first, each padded to a multiple of four bytes.
std::vector<std::uint8_t> MakeBmp24(int width, int height, std::span<const std::uint32_t> rgbTopDown);

// ".444" file: u16 width, u16 height, the ARGB 4444 pixels top row first.
std::vector<std::uint8_t> Make444(int width, int height, std::span<const std::uint16_t> pixels);

// TGA file with an 18-byte header (uncompressed true colour, 32 bits) and the pixels in the order
// given (file order).
std::vector<std::uint8_t> MakeTga32(int width, int height, std::span<const std::uint32_t> filePixels);

struct FrameSpec {
    std::uint16_t x = 0;
    std::uint16_t y = 0;
    std::uint16_t texWidth = 0;
    std::uint16_t texHeight = 0;
    std::uint16_t dataWidth = 0;
    std::uint16_t dataHeight = 0;
    std::vector<std::uint16_t> pixels; // dataWidth x dataHeight ARGB 4444
};

// Pack frame entry: two unused u16, the 12-byte frame header, the pixels.
std::vector<std::uint8_t> MakePackFrameEntry(const FrameSpec& frame);

// Explosion frame block: count, 12 head bytes (head fields as given), 20-byte records, then the
// pixel data of every frame in order. A frame with x 0xFFFF is written as an end record.
struct FrameBlockHead {
    std::uint32_t a = 0;
    std::uint32_t b = 0;
    std::uint16_t c = 0;
    std::uint16_t d = 0;
};
std::vector<std::uint8_t> MakeFrameBlock(const FrameBlockHead& head, std::span<const FrameSpec> frames);

// Tiled picture block: count, then per tile a 20-byte header and its pixels.
std::vector<std::uint8_t> MakePictureBlock(std::span<const FrameSpec> tiles);

// Cuts a picture (ARGB 4444, top row first) into tiles of at most tileSize x tileSize pixels, each
// in a power-of-two texture.
std::vector<FrameSpec> CutIntoTiles(int width, int height, std::span<const std::uint16_t> pixels, int tileSize);

// The 64 x 7 digits picture: digit d in columns 5d .. 5d + 4, on the magenta colour key.
std::vector<std::uint8_t> MakeNumbersBmp();
std::vector<std::uint8_t> MakeHouseSelTextureBmp();
constexpr std::uint32_t kDigitInk = 0xFFFFFF;
constexpr std::uint32_t kKeyMagenta = 0xFF00FF;
// Whether pixel (x, y) of digit d's 5 x 7 cell is ink.
bool DigitPixel(int digit, int x, int y);

// Writes the pictures of the game folder.
bool WriteImages(const std::string& outDir);

} // namespace sampledata
