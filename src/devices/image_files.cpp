#include "devices/image_files.h"

#include <algorithm>
#include <climits>
#include <fstream>
#include <iterator>
#include <string>

#include "core/archive.h"
#include "core/error_log.h"
#include "core/memory_stream.h"
#include "devices/d3d_device.h"
#include "devices/display.h"
#include "platform/bytes.h"
#include "platform/paths.h"
#include "platform/texture.h"

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

// Info-header sizes of the Windows forms. The longer ones only add colour masks, colour-space and
// profile fields, which an uncompressed 24-bit picture does not use; image tools write them by
// default.
bool IsWindowsInfoHeader(std::uint32_t size)
{
    return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

// Header checks shared by files and in-memory images; the size checks come after these so that
// a palette or compressed file is named as such even when it is also short.
bool CheckBmpHeaders(std::span<const std::uint8_t> data, TBmpInfoHeader& info)
{
    if (data.size() < 2 || data[0] != 'B' || data[1] != 'M') {
        ReportError("Unknown file format!");
        return false;
    }
    if (data.size() < kBmpFileHeaderSize + 4) {
        ReportError("BMP-file is too short!");
        return false;
    }
    // The header size says which layout the fields after it have, so it is judged first.
    info.size = plat::ReadU32LE(data.data() + kBmpFileHeaderSize);
    if (info.size == 12 || info.size == 16 || info.size == 64) {
        ReportErrorInt("BMP-file has an OS/2 header! Header size: ", info.size);
        return false;
    }
    if (!IsWindowsInfoHeader(info.size)) {
        ReportErrorInt("BMP-file has an unknown info header! Header size: ", info.size);
        return false;
    }
    if (data.size() < kBmpFileHeaderSize + kBmpInfoHeaderSize) {
        ReportError("BMP-file is too short!");
        return false;
    }
    const std::uint8_t* h = data.data() + kBmpFileHeaderSize;
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
    // Bit fields (3) and bit fields with alpha (6) are masked 16- or 32-bit pixels, not compression.
    if (info.compression == 3 || info.compression == 6) {
        ReportErrorInt("BMP-file with colour masks! Bit count: ", info.bitCount);
        return false;
    }
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

// Rows of a bottom-up picture of the given size at the file header's data offset, which must
// lie past the info header and leave room for every row.
bool TakeBmpRows(std::span<const std::uint8_t> data, const TBmpInfoHeader& info, std::int64_t width,
                 std::int64_t height, std::span<const std::uint8_t>& pixels)
{
    if (width <= 0 || height <= 0) {
        ReportError("BMP-file has a wrong picture size!");
        return false;
    }
    const std::uint32_t offset = plat::ReadU32LE(data.data() + 10);
    if (offset < kBmpFileHeaderSize + std::uint64_t{info.size} || offset > data.size()) {
        ReportErrorInt("BMP-file has a wrong data offset! Offset: ", offset);
        return false;
    }
    const std::int64_t rowSize = BmpRowSize(width, 24);
    const std::uint64_t need = static_cast<std::uint64_t>(rowSize) * static_cast<std::uint64_t>(height);
    if (need > data.size() - offset) {
        ReportError("BMP-file is too short!");
        return false;
    }
    pixels = data.subspan(offset, static_cast<std::size_t>(need));
    return true;
}

// Bottom-up 24-bit rows into 16-bit display pixels, over the smaller of picture and destination.
void CopyBmp24Rows(std::uint8_t* dst, int pitch, int dstWidth, int dstHeight, const std::uint8_t* pixels, int width,
                   int height)
{
    // MakeColor16 treats the channels apart, so three tables ORed give exactly its pixels.
    std::uint16_t red[256], green[256], blue[256];
    for (int i = 0; i < 256; ++i) {
        const auto c = static_cast<std::uint8_t>(i);
        red[i] = MakeColor16(c, 0, 0);
        green[i] = MakeColor16(0, c, 0);
        blue[i] = MakeColor16(0, 0, c);
    }
    const std::size_t srcPitch = static_cast<std::size_t>(BmpRowSize(width, 24));
    const int rows = std::min(height, dstHeight);
    const int cols = std::min(width, dstWidth);
    for (int y = 0; y < rows; ++y) {
        const std::uint8_t* src = pixels + static_cast<std::size_t>(height - 1 - y) * srcPitch;
        std::uint8_t* out = dst + static_cast<std::size_t>(y) * pitch;
        for (int x = 0; x < cols; ++x) {
            const std::uint16_t c = red[src[3 * x + 2]] | green[src[3 * x + 1]] | blue[src[3 * x]];
            plat::WriteU16LE(out + 2 * x, c);
        }
    }
}

// A texture whose rows are written between Lock and Unlock; the lock ends with the object.
class TextureWriter {
public:
    explicit TextureWriter(plat::Texture* texture) : m_Texture(texture) { m_Locked = texture && texture->Lock(m_Lock); }
    ~TextureWriter()
    {
        if (m_Locked)
            m_Texture->Unlock();
    }
    TextureWriter(const TextureWriter&) = delete;
    TextureWriter& operator=(const TextureWriter&) = delete;
    bool Locked() const { return m_Locked; }
    std::uint8_t* Row(int y) { return m_Lock.bits + static_cast<std::size_t>(y) * m_Lock.pitch; }
    int Pitch() const { return m_Lock.pitch; }
    int Width() const { return m_Lock.width; }
    int Height() const { return m_Lock.height; }
    void Clear()
    {
        for (int y = 0; y < m_Lock.height; ++y)
            std::fill_n(Row(y), static_cast<std::size_t>(m_Lock.width) * plat::BytesPerPixel(m_Lock.format), 0);
    }

private:
    plat::Texture* m_Texture;
    plat::TextureLock m_Lock;
    bool m_Locked = false;
};

void ReleaseTexture(plat::Texture*& texture)
{
    if (texture)
        texture->Release();
    texture = nullptr;
}

// ARGB 4444 frame rows (dataWidth x dataHeight, no padding) into the top-left corner of a cleared
// texture.
bool WriteFrameRows(plat::Texture* texture, const std::uint8_t* pixels, int dataWidth, int dataHeight)
{
    TextureWriter w(texture);
    if (!w.Locked())
        return false;
    w.Clear();
    const std::size_t rowBytes = static_cast<std::size_t>(dataWidth) * 2;
    for (int y = 0; y < dataHeight; ++y)
        std::copy_n(pixels + y * rowBytes, rowBytes, w.Row(y));
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
    return TakeBmpRows(file, info, info.width, info.height, pixels);
}

bool ParseBmpMemory(std::span<const std::uint8_t> image, int& width, int& height,
                    std::span<const std::uint8_t>& pixels)
{
    TBmpInfoHeader info;
    if (!CheckBmpHeaders(image, info))
        return false;
    width = plat::ReadU16LE(image.data() + 18);
    height = plat::ReadU16LE(image.data() + 22);
    return TakeBmpRows(image, info, width, height, pixels);
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

namespace {

// What each image type other than uncompressed true colour holds, named in its refusal.
const char* TgaTypeRefusal(std::uint8_t imageType)
{
    switch (imageType) {
    case 0: return "TGA-file holds no picture! Image type: ";
    case 1: return "TGA-file with palette! Image type: ";
    case 3: return "TGA-file is greyscale! Image type: ";
    case 9:
    case 10:
    case 11: return "TGA-file is run-length coded! Image type: ";
    default: return "TGA-file of an unknown image type! Image type: ";
    }
}

} // namespace

bool ParseTga(std::span<const std::uint8_t> file, TImageTga& image)
{
    if (file.size() < kTgaHeaderSize) {
        ReportError("TGA-file is too short!");
        return false;
    }
    const std::uint8_t idLength = file[0];
    const std::uint8_t colorMapType = file[1];
    const std::uint8_t imageType = file[2];
    const std::uint16_t colorMapLength = plat::ReadU16LE(file.data() + 5);
    const std::uint8_t colorMapEntryBits = file[7];
    const std::uint8_t pixelDepth = file[16];
    // The kind of picture is judged before its size: a run-length file is naturally shorter than
    // its pixels and must not be reported as cut.
    if (colorMapType > 1) {
        ReportErrorInt("TGA-file has an unknown colour map type! Colour map type: ", colorMapType);
        return false;
    }
    if (imageType != 2) {
        ReportErrorInt(TgaTypeRefusal(imageType), imageType);
        return false;
    }
    if (pixelDepth != 32) {
        ReportErrorInt("TGA-file is not 32-bit! Bit depth: ", pixelDepth);
        return false;
    }
    image.width = plat::ReadU16LE(file.data() + 12);
    image.height = plat::ReadU16LE(file.data() + 14);
    if (image.width == 0 || image.height == 0) {
        ReportError("TGA-file has a wrong picture size!");
        return false;
    }
    // A true-colour picture may still carry a colour map; like the identification field it is
    // passed over.
    const std::size_t colorMapBytes =
        colorMapType == 1 ? static_cast<std::size_t>(colorMapLength) * ((colorMapEntryBits + 7u) / 8u) : 0;
    const std::size_t offset = kTgaHeaderSize + idLength + colorMapBytes;
    const std::size_t need = static_cast<std::size_t>(image.width) * image.height * 4;
    if (offset > file.size() || file.size() - offset < need) {
        ReportError("TGA-file is too short!");
        return false;
    }
    image.pixels = file.subspan(offset, need);
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
    const auto from = file.begin() + (rows.data() - file.data());
    const std::size_t size = rows.size();
    std::copy(from, from + static_cast<std::ptrdiff_t>(size), file.begin());
    file.resize(size);
    return file;
}

bool Copy_Bmp24_Surface16(plat::Surface* surface, const std::uint8_t* pixels, int width, int height)
{
    if (!surface || !pixels)
        return false;
    plat::LockedArea area;
    if (!surface->Lock(nullptr, area)) {
        ReportError("Copy_Bmp24_Surface16: Lock() failed");
        return false;
    }
    if (plat::BytesPerPixel(area.format) == 2)
        CopyBmp24Rows(area.bits, area.pitch, area.width, area.height, pixels, width, height);
    surface->Unlock();
    return plat::BytesPerPixel(area.format) == 2;
}

bool LoadBmpToSurface(plat::Surface* surface, const char* path)
{
    TBmpInfoHeader info;
    const std::vector<std::uint8_t> pixels = DDLoadBMP(path, info);
    if (pixels.empty()) {
        ReportError2("DDLoadBMP() FAILED: ", path ? path : "");
        return false;
    }
    if (!Copy_Bmp24_Surface16(surface, pixels.data(), info.width, info.height)) {
        ReportError("Copy_Bmp24_Surface16() FAILED");
        return false;
    }
    return true;
}

plat::Surface* CreateSurfaceFromBmpFile(const char* path, std::uint16_t colorKey, bool systemMemory)
{
    TBmpInfoHeader info;
    const std::vector<std::uint8_t> pixels = DDLoadBMP(path, info);
    if (pixels.empty()) {
        ReportError2("DDLoadBMP() FAILED: ", path ? path : "");
        return nullptr;
    }
    plat::Surface* surface = CreateOffscreenSurface(info.width, info.height, colorKey, systemMemory);
    if (!surface) {
        ReportError("CreateSurface() FAILED");
        return nullptr;
    }
    if (!Copy_Bmp24_Surface16(surface, pixels.data(), info.width, info.height)) {
        ReportError("Copy_Bmp24_Surface16() FAILED");
        plat::ReleaseSurface(surface);
        return nullptr;
    }
    return surface;
}

plat::Surface* CreateSurfaceFromBmpMemory(std::span<const std::uint8_t> image)
{
    int width = 0, height = 0;
    std::span<const std::uint8_t> pixels;
    if (!ParseBmpMemory(image, width, height, pixels))
        return nullptr;
    plat::Surface* surface = CreateOffscreenSurface(width, height, MakeColor16(255, 0, 255), true);
    if (!surface) {
        ReportError("CreateSurface() FAILED");
        return nullptr;
    }
    if (!Copy_Bmp24_Surface16(surface, pixels.data(), width, height)) {
        ReportError("Copy_Bmp24_Surface16() FAILED");
        plat::ReleaseSurface(surface);
        return nullptr;
    }
    return surface;
}

namespace {

// A display-format texture keyed with magenta holding bottom-up 24-bit rows.
plat::Texture* TextureFromBmpRows(const std::uint8_t* pixels, int width, int height)
{
    if (width > 0xFFFF || height > 0xFFFF) {
        ReportError("CreateTexture() FAILED");
        return nullptr;
    }
    plat::Texture* texture =
        CreateTextureSurface(static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height));
    if (!texture) {
        ReportError("CreateTexture() FAILED");
        return nullptr;
    }
    bool copied = false;
    {
        TextureWriter w(texture);
        if (w.Locked() && plat::BytesPerPixel(texture->Format()) == 2) {
            CopyBmp24Rows(w.Row(0), w.Pitch(), w.Width(), w.Height(), pixels, width, height);
            copied = true;
        }
    }
    if (!copied) {
        ReportError("Copy_Bmp24_Surface16() FAILED");
        ReleaseTexture(texture);
    }
    return texture;
}

} // namespace

plat::Texture* CreateTextureFromBmpMemory(std::span<const std::uint8_t> image)
{
    int width = 0, height = 0;
    std::span<const std::uint8_t> pixels;
    if (!ParseBmpMemory(image, width, height, pixels))
        return nullptr;
    return TextureFromBmpRows(pixels.data(), width, height);
}

plat::Texture* LoadTextureFromFile(const char* path)
{
    TBmpInfoHeader info;
    const std::vector<std::uint8_t> pixels = DDLoadBMP(path, info);
    if (pixels.empty()) {
        ReportError2("DDLoadBMP() FAILED: ", path ? path : "");
        return nullptr;
    }
    return TextureFromBmpRows(pixels.data(), info.width, info.height);
}

plat::Texture* Load444Texture(const char* path)
{
    std::vector<std::uint8_t> file;
    if (!ReadWholeFile(path, file))
        return nullptr;
    TImage444 image;
    if (!Parse444(file, image)) {
        ReportError2("Load444Texture: ", path);
        return nullptr;
    }
    plat::Texture* texture = CreateTexture4444(image.pixels.data(), static_cast<std::uint16_t>(image.width),
                                               static_cast<std::uint16_t>(image.height));
    if (!texture)
        ReportError("CreateTexture() FAILED");
    return texture;
}

plat::Texture* LoadTextureTga(const char* path)
{
    std::vector<std::uint8_t> file;
    if (!ReadWholeFile(path, file))
        return nullptr;
    TImageTga image;
    if (!ParseTga(file, image)) {
        ReportError2("LoadTextureTga: ", path);
        return nullptr;
    }
    plat::Texture* texture = CreateTexture(static_cast<std::uint16_t>(image.width),
                                           static_cast<std::uint16_t>(image.height), g_TexFormat8888);
    if (!texture || plat::BytesPerPixel(texture->Format()) != 4) {
        ReportError("CreateTexture() FAILED");
        ReleaseTexture(texture);
        return nullptr;
    }
    // Transparency comes from the alpha channel alone.
    texture->ClearColorKey();
    {
        TextureWriter w(texture);
        if (!w.Locked()) {
            ReportError("LoadTextureTga: Lock() failed");
        } else {
            // The file's last pixel becomes the texture's first: the picture turns by 180 degrees.
            const std::size_t last = static_cast<std::size_t>(image.width) * image.height - 1;
            for (int r = 0; r < image.height; ++r) {
                std::uint8_t* row = w.Row(r);
                for (int c = 0; c < image.width; ++c) {
                    const std::size_t from = last - (static_cast<std::size_t>(r) * image.width + c);
                    std::copy_n(image.pixels.data() + from * 4, 4, row + 4 * c);
                }
            }
            return texture;
        }
    }
    ReleaseTexture(texture);
    return nullptr;
}

plat::Texture* CreateTextureFromFrame(std::span<const std::uint8_t> pixels, const TFrameHeader& header)
{
    if (!CheckFrameSizes("CreateTextureFromFrame", header.dataWidth, header.dataHeight, header.texWidth,
                         header.texHeight, pixels.size()))
        return nullptr;
    plat::Texture* texture = CreateTexture(header.texWidth, header.texHeight, g_TexFormat4444);
    if (!texture) {
        ReportError("CreateTexture() FAILED");
        return nullptr;
    }
    if (!WriteFrameRows(texture, pixels.data(), header.dataWidth, header.dataHeight)) {
        ReportError("CreateTextureFromFrame: Lock() failed");
        ReleaseTexture(texture);
    }
    return texture;
}

plat::Texture* LoadTextureFromPack(int slot, int id, TFrameHeader& header)
{
    if (slot < 0 || id < 0 || id > 0xFFFF)
        return nullptr;
    std::uint32_t size = 0;
    std::uint8_t* entry = LoadLesEntry(static_cast<std::uint32_t>(slot), nullptr, static_cast<std::uint16_t>(id), &size);
    if (!entry)
        return nullptr;
    plat::Texture* texture = nullptr;
    {
        TIfStreamMemory in(entry, static_cast<std::int32_t>(std::min<std::uint32_t>(size, INT32_MAX)));
        std::uint16_t skipped = 0;
        in.ReadU16(skipped);
        in.ReadU16(skipped);
        if (!ReadFrameHeader(in, header)) {
            ReportErrorInt("LoadTextureFromPack: frame entry is too short, id ", id);
        } else {
            texture = CreateTextureFromFrame({in.Data() + in.Pos(), static_cast<std::size_t>(in.Remaining())}, header);
        }
    }
    FreeLesEntry(entry);
    return texture;
}

bool CreateHalfSizeFrameTextures(std::span<const std::uint8_t> block, std::span<plat::Texture*> textures,
                                 std::span<TFrameHeader> headers)
{
    std::vector<TFrameRecord> records;
    if (!ParseFrameBlock(block, records))
        return false;
    if (records.size() > textures.size() || records.size() > headers.size()) {
        ReportErrorInt("CreateHalfSizeFrameTextures: too many frames: ", static_cast<long long>(records.size()));
        return false;
    }
    for (std::size_t i = 0; i < records.size(); ++i) {
        const TFrameRecord& r = records[i];
        if (r.x == 0xFFFF) {
            headers[i].x = 0xFFFF;
            return true;
        }
        plat::Texture* texture = CreateTexture(static_cast<std::uint16_t>(r.texWidth / 2),
                                               static_cast<std::uint16_t>(r.texHeight / 2), g_TexFormat4444);
        bool ok = texture != nullptr;
        if (!ok) {
            ReportError("CreateTexture() FAILED");
        } else {
            TextureWriter w(texture);
            ok = w.Locked();
            if (ok) {
                w.Clear();
                const std::uint8_t* src = block.data() + r.offset;
                if (r.dataHeight > 1) {
                    const int cols = r.dataWidth / 2;
                    for (int y = 0; y < r.dataHeight / 2; ++y) {
                        const std::uint8_t* srcRow = src + static_cast<std::size_t>(2 * y) * r.dataWidth * 2;
                        std::uint8_t* dst = w.Row(y);
                        for (int x = 0; x < cols; ++x)
                            std::copy_n(srcRow + 4 * x, 2, dst + 2 * x);
                    }
                }
            } else {
                ReportError("CreateHalfSizeFrameTextures: Lock() failed");
            }
        }
        if (!ok) {
            ReleaseTexture(texture);
            for (std::size_t k = 0; k < i; ++k)
                ReleaseTexture(textures[k]);
            return false;
        }
        textures[i] = texture;
        headers[i] = {r.x, r.y, r.texWidth, r.texHeight, r.dataWidth, r.dataHeight};
    }
    return true;
}
