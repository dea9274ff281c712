#include "devices/image_files.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>

#include "core/error_log.h"
#include "core/memory_stream.h"
#include "platform/bytes.h"
#include "platform/paths.h"

namespace {

// Whole file through the path resolver; false without a message when it cannot be opened, as
// every caller logs its own line.
bool ReadWholeFile(const char* path, std::vector<std::uint8_t>& bytes)
{
    bytes.clear();
    if (!path)
        return false;
    std::ifstream in(plat::ResolvePath(path), std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// Header checks shared by files and in-memory images; the size checks come after these so that
// a palette or compressed file is named as such even when it is also short.
bool CheckBmpHeaders(std::span<const std::uint8_t> data, TBmpInfoHeader& info)
{
    if (data.size() < 2 || data[0] != 'B' || data[1] != 'M') {
        ReportError("Unknown file format!");
        return false;
    }
    if (data.size() < kBmpPixelOffset) {
        ReportError("BMP-file is too short!");
        return false;
    }
    const std::uint8_t* h = data.data() + kBmpFileHeaderSize;
    info.size = plat::ReadU32LE(h + 0);
    info.width = plat::ReadI32LE(h + 4);
    info.height = plat::ReadI32LE(h + 8);
    info.planes = plat::ReadU16LE(h + 12);
    info.bitCount = plat::ReadU16LE(h + 14);
    info.compression = plat::ReadU32LE(h + 16);
    info.sizeImage = plat::ReadU32LE(h + 20);
    info.xPelsPerMeter = plat::ReadI32LE(h + 24);
    info.yPelsPerMeter = plat::ReadI32LE(h + 28);
    info.clrUsed = plat::ReadU32LE(h + 32);
    info.clrImportant = plat::ReadU32LE(h + 36);
    if (info.compression != 0) {
        ReportError("BMP-file is copressed!");
        return false;
    }
    if (info.bitCount == 8) {
        ReportError("BMP-file with palette!");
        return false;
    }
    if (info.bitCount != 24) {
        ReportErrorInt("BMP-file is not 24-bit! Bit count: ", info.bitCount);
        return false;
    }
    return true;
}

// Rows of a bottom-up picture of the given size, checked against what follows the headers.
bool TakeBmpRows(std::span<const std::uint8_t> data, std::int64_t width, std::int64_t height,
                 std::span<const std::uint8_t>& pixels)
{
    if (width <= 0 || height <= 0) {
        ReportError("BMP-file has a wrong picture size!");
        return false;
    }
    const std::int64_t rowSize = BmpRowSize(width, 24);
    const std::uint64_t need = static_cast<std::uint64_t>(rowSize) * static_cast<std::uint64_t>(height);
    if (need > data.size() - kBmpPixelOffset) {
        ReportError("BMP-file is too short!");
        return false;
    }
    pixels = data.subspan(kBmpPixelOffset, static_cast<std::size_t>(need));
    return true;
}

} // namespace

std::int64_t BmpRowSize(std::int64_t width, int bitCount)
{
    return ((width * bitCount / 8) + 3) & ~std::int64_t{3};
}

bool ParseBmpFile(std::span<const std::uint8_t> file, TBmpInfoHeader& info, std::span<const std::uint8_t>& pixels)
{
    if (!CheckBmpHeaders(file, info))
        return false;
    return TakeBmpRows(file, info.width, info.height, pixels);
}

bool ParseBmpMemory(std::span<const std::uint8_t> image, int& width, int& height,
                    std::span<const std::uint8_t>& pixels)
{
    TBmpInfoHeader info;
    if (!CheckBmpHeaders(image, info))
        return false;
    width = plat::ReadU16LE(image.data() + 18);
    height = plat::ReadU16LE(image.data() + 22);
    return TakeBmpRows(image, width, height, pixels);
}

bool Parse444(std::span<const std::uint8_t> file, TImage444& image)
{
    if (file.size() < 4) {
        ReportError("444-file is too short!");
        return false;
    }
    image.width = plat::ReadU16LE(file.data());
    image.height = plat::ReadU16LE(file.data() + 2);
    if (image.width == 0 || image.height == 0) {
        ReportError("444-file has a wrong picture size!");
        return false;
    }
    const std::size_t need = static_cast<std::size_t>(image.width) * image.height * 2;
    if (file.size() - 4 < need) {
        ReportError("444-file is too short!");
        return false;
    }
    image.pixels = file.subspan(4, need);
    return true;
}

bool ParseTga(std::span<const std::uint8_t> file, TImageTga& image)
{
    if (file.size() < kTgaHeaderSize) {
        ReportError("TGA-file is too short!");
        return false;
    }
    image.width = plat::ReadU16LE(file.data() + 12);
    image.height = plat::ReadU16LE(file.data() + 14);
    if (image.width == 0 || image.height == 0) {
        ReportError("TGA-file has a wrong picture size!");
        return false;
    }
    const std::size_t need = static_cast<std::size_t>(image.width) * image.height * 4;
    if (file.size() - kTgaHeaderSize < need) {
        ReportError("TGA-file is too short!");
        return false;
    }
    image.pixels = file.subspan(kTgaHeaderSize, need);
    return true;
}

bool ReadFrameHeader(TIfStreamMemory& in, TFrameHeader& header)
{
    bool ok = in.ReadU16(header.x);
    ok = in.ReadU16(header.y) && ok;
    ok = in.ReadU16(header.texWidth) && ok;
    ok = in.ReadU16(header.texHeight) && ok;
    ok = in.ReadU16(header.dataWidth) && ok;
    ok = in.ReadU16(header.dataHeight) && ok;
    return ok;
}

TFrameRecord ReadFrameRecord(const std::uint8_t* p)
{
    TFrameRecord r;
    r.x = plat::ReadU16LE(p + 0);
    r.y = plat::ReadU16LE(p + 2);
    r.dataWidth = plat::ReadU16LE(p + 4);
    r.dataHeight = plat::ReadU16LE(p + 6);
    r.texWidth = plat::ReadU16LE(p + 8);
    r.texHeight = plat::ReadU16LE(p + 10);
    r.size = plat::ReadU32LE(p + 12);
    r.offset = plat::ReadU32LE(p + 16);
    return r;
}

bool CheckFrameSizes(const char* who, std::uint16_t dataWidth, std::uint16_t dataHeight, std::uint16_t texWidth,
                     std::uint16_t texHeight, std::uint64_t size)
{
    if (dataWidth > texWidth || dataHeight > texHeight) {
        ReportError2(who, ": frame data is larger than its texture");
        return false;
    }
    if (static_cast<std::uint64_t>(dataWidth) * dataHeight * 2 > size) {
        ReportError2(who, ": frame data is too short");
        return false;
    }
    return true;
}

bool ParseFrameBlock(std::span<const std::uint8_t> block, std::vector<TFrameRecord>& records)
{
    records.clear();
    if (block.size() < kFrameBlockHeadSize) {
        ReportError("Frame block is too short");
        return false;
    }
    const int count = block[0];
    for (int i = 0; i < count; ++i) {
        const std::size_t at = kFrameBlockHeadSize + kFrameRecordSize * static_cast<std::size_t>(i);
        if (at + kFrameRecordSize > block.size()) {
            ReportError("Frame block is too short");
            return false;
        }
        const TFrameRecord r = ReadFrameRecord(block.data() + at);
        records.push_back(r);
        if (r.x == 0xFFFF)
            return true;
        if (r.offset > block.size() || r.size > block.size() - r.offset) {
            ReportError("Frame block: pixel data outside the block");
            return false;
        }
        if (!CheckFrameSizes("Frame block", r.dataWidth, r.dataHeight, r.texWidth, r.texHeight, r.size))
            return false;
    }
    return true;
}

std::vector<std::uint8_t> DDLoadBMP(const char* path, TBmpInfoHeader& info)
{
    std::vector<std::uint8_t> file;
    if (!ReadWholeFile(path, file))
        return {};
    std::span<const std::uint8_t> rows;
    if (!ParseBmpFile(file, info, rows))
        return {};
    // The rows are moved down over the headers so the block is exactly what was read.
    const std::size_t size = rows.size();
    std::copy(file.begin() + kBmpPixelOffset, file.begin() + static_cast<std::ptrdiff_t>(kBmpPixelOffset + size),
              file.begin());
    file.resize(size);
    return file;
}
