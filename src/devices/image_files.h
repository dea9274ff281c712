#pragma once
// Picture files: uncompressed 24-bit BMP, the raw ARGB 4444 ".444" format, uncompressed 32-bit
// true-colour TGA, and the frame entries and explosion frame blocks of packed archives. The
// parsers work on whole buffers and check every size, count and offset against the data before
// anything is copied; the loaders turn what they parse into display surfaces or textures.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace plat {
class Surface;
class Texture;
} // namespace plat
class TIfStreamMemory;

// The first 40 bytes of a BMP file's info header, which stands at offset 14; size is the whole
// info header's (40, or up to 124 in the files of newer image tools).
struct TBmpInfoHeader {
    std::uint32_t size = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t planes = 0;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = 0;
    std::uint32_t sizeImage = 0;
    std::int32_t xPelsPerMeter = 0;
    std::int32_t yPelsPerMeter = 0;
    std::uint32_t clrUsed = 0;
    std::uint32_t clrImportant = 0;
};

constexpr std::size_t kBmpFileHeaderSize = 14;
constexpr std::size_t kBmpInfoHeaderSize = 40;
// Where the rows of a file with the plain 40-byte info header and no palette start, as in every
// file the game writes; readers take the rows at the file header's data offset.
constexpr std::size_t kBmpPixelOffset = kBmpFileHeaderSize + kBmpInfoHeaderSize;
constexpr std::size_t kTgaHeaderSize = 18;
constexpr std::size_t kFrameHeaderSize = 12;
constexpr std::size_t kFrameRecordSize = 20;
// Frame count byte and the head fields the explosion code reads.
constexpr std::size_t kFrameBlockHeadSize = 13;

// Bytes of one stored BMP row: padded to a multiple of four.
std::int64_t BmpRowSize(std::int64_t width, int bitCount);

// A BMP file image (file header, info header of 40 to 124 bytes, rows at the file header's data
// offset). On success info holds the info header and pixels the width x height rows, bottom row
// first. The refusals log "Unknown file format!", "BMP-file is copressed!", "BMP-file with
// palette!", or the project's own lines for OS/2 and unknown info headers, colour masks, other
// bit counts, sizes that are not positive, data offsets outside the file and files shorter than
// their rows.
bool ParseBmpFile(std::span<const std::uint8_t> file, TBmpInfoHeader& info, std::span<const std::uint8_t>& pixels);

// A BMP image kept in memory (an archive entry): width and height are the low 16 bits of the info
// header's fields; otherwise checked like a file.
bool ParseBmpMemory(std::span<const std::uint8_t> image, int& width, int& height,
                    std::span<const std::uint8_t>& pixels);

// A ".444" image: u16 width, u16 height, then width x height ARGB 4444 pixels, top row first.
struct TImage444 {
    int width = 0;
    int height = 0;
    std::span<const std::uint8_t> pixels; // width x height little-endian u16
};
bool Parse444(std::span<const std::uint8_t> file, TImage444& image);

// A TGA image: only uncompressed true colour of 32 bits is read (colour-map type 0 or 1). The
// identification field and any colour map are passed over; then width x height 32-bit pixels
// exactly as stored, whatever the origin bits say. Other image types and depths are refused with
// a line that names them.
struct TImageTga {
    int width = 0;
    int height = 0;
    std::span<const std::uint8_t> pixels; // width x height little-endian u32
};
bool ParseTga(std::span<const std::uint8_t> file, TImageTga& image);

// One frame placed at the top-left corner of a texture that may be larger.
struct TFrameHeader {
    std::uint16_t x = 0; // 0xFFFF ends a list of frames
    std::uint16_t y = 0;
    std::uint16_t texWidth = 0;
    std::uint16_t texHeight = 0;
    std::uint16_t dataWidth = 0;
    std::uint16_t dataHeight = 0;
};
bool ReadFrameHeader(TIfStreamMemory& in, TFrameHeader& header);

// A frame record of an explosion frame block (and, with offset unused, a picture tile header).
struct TFrameRecord {
    std::uint16_t x = 0; // 0xFFFF ends the list early
    std::uint16_t y = 0;
    std::uint16_t dataWidth = 0;
    std::uint16_t dataHeight = 0;
    std::uint16_t texWidth = 0;
    std::uint16_t texHeight = 0;
    std::uint32_t size = 0;   // pixel data in bytes
    std::uint32_t offset = 0; // from the start of the block
};
TFrameRecord ReadFrameRecord(const std::uint8_t* record20);

// Checks that a frame's rows fit its texture and that size bytes hold them; logs the refusal with
// the caller's name.
bool CheckFrameSizes(const char* who, std::uint16_t dataWidth, std::uint16_t dataHeight, std::uint16_t texWidth,
                     std::uint16_t texHeight, std::uint64_t size);

// The records of an explosion frame block up to the count or the first record whose x is 0xFFFF
// (that record is included). Every record before the end marker has been checked against the
// block: pixel data inside it, rows inside the texture.
bool ParseFrameBlock(std::span<const std::uint8_t> block, std::vector<TFrameRecord>& records);

// --- surfaces and textures -------------------------------------------------------------------

// Reads and checks a BMP file. Empty result on failure; a file that cannot be opened gives no
// message (callers log their own).
std::vector<std::uint8_t> DDLoadBMP(const char* path, TBmpInfoHeader& info);
// Converts bottom-up 24-bit rows into the surface, over the smaller of picture and surface.
bool Copy_Bmp24_Surface16(plat::Surface* surface, const std::uint8_t* pixels, int width, int height);
bool LoadBmpToSurface(plat::Surface* surface, const char* path);
plat::Surface* CreateSurfaceFromBmpFile(const char* path, std::uint16_t colorKey, bool systemMemory);
plat::Surface* CreateSurfaceFromBmpMemory(std::span<const std::uint8_t> image);
plat::Texture* CreateTextureFromBmpMemory(std::span<const std::uint8_t> image);
plat::Texture* LoadTextureFromFile(const char* path);
plat::Texture* Load444Texture(const char* path);
plat::Texture* LoadTextureTga(const char* path);
// pixels: the frame's dataWidth x dataHeight ARGB 4444 values.
plat::Texture* CreateTextureFromFrame(std::span<const std::uint8_t> pixels, const TFrameHeader& header);
plat::Texture* LoadTextureFromPack(int slot, int id, TFrameHeader& header);
// One half-size texture per record of an explosion frame block; textures and headers must hold
// the block's frame count. A record whose x is 0xFFFF ends the list (its header's x is set to
// 0xFFFF). On failure nothing created here is kept.
bool CreateHalfSizeFrameTextures(std::span<const std::uint8_t> block, std::span<plat::Texture*> textures,
                                 std::span<TFrameHeader> headers);
