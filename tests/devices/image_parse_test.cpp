#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/error_log.h"
#include "core/memory_stream.h"
#include "devices/image_files.h"
#include "images.h"
#include "platform/bytes.h"
#include "test_support.h"

namespace {

// Runs f with an empty error log and returns what it logged.
template <class F>
std::string LoggedBy(F&& f)
{
    testsupport::WriteText(g_ErrorLog.FileName(), "");
    f();
    return testsupport::ReadText(g_ErrorLog.FileName());
}

std::vector<std::uint8_t> Bmp3x2()
{
    // top row: red, green, blue; bottom row: white, black, grey
    const std::uint32_t px[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0x808080};
    return sampledata::MakeBmp24(3, 2, px);
}

} // namespace

TEST(BmpParse, RowsArePaddedAndStoredBottomUp)
{
    const auto file = Bmp3x2();
    ASSERT_EQ(file.size(), 54u + 12u * 2u);
    TBmpInfoHeader info;
    std::span<const std::uint8_t> rows;
    ASSERT_TRUE(ParseBmpFile(file, info, rows));
    EXPECT_EQ(info.width, 3);
    EXPECT_EQ(info.height, 2);
    EXPECT_EQ(BmpRowSize(3, 24), 12);
    ASSERT_EQ(rows.size(), 24u);
    // first stored row is the bottom one: white, black, grey in blue-green-red order
    EXPECT_EQ(std::vector<std::uint8_t>(rows.begin(), rows.begin() + 9),
              (std::vector<std::uint8_t>{0xFF, 0xFF, 0xFF, 0, 0, 0, 0x80, 0x80, 0x80}));
    // second stored row: red, green, blue
    EXPECT_EQ(std::vector<std::uint8_t>(rows.begin() + 12, rows.begin() + 21),
              (std::vector<std::uint8_t>{0, 0, 0xFF, 0, 0xFF, 0, 0xFF, 0, 0}));
}

TEST(BmpParse, PixelsStartAtTheDataOffset)
{
    // Four bytes between the headers and the rows, as a writer that keeps a gap leaves them.
    auto file = Bmp3x2();
    file.insert(file.begin() + 54, {0xDE, 0xAD, 0xBE, 0xEF});
    plat::WriteU32LE(file.data() + 10, 58);
    TBmpInfoHeader info;
    std::span<const std::uint8_t> rows;
    ASSERT_TRUE(ParseBmpFile(file, info, rows));
    EXPECT_EQ(rows.data(), file.data() + 58);
    EXPECT_EQ(rows.size(), 24u);
    int w = 0, h = 0;
    ASSERT_TRUE(ParseBmpMemory(file, w, h, rows));
    EXPECT_EQ(rows.data(), file.data() + 58);
}

TEST(BmpParse, RefusalsNameTheProblem)
{
    struct Case {
        const char* name;
        void (*patch)(std::vector<std::uint8_t>&);
        const char* message;
    };
    const Case cases[] = {
        {"magic", [](auto& f) { f[0] = 'X'; }, "Unknown file format!"},
        {"two bytes", [](auto& f) { f.resize(1); }, "Unknown file format!"},
        {"palette", [](auto& f) { plat::WriteU16LE(f.data() + 28, 8); }, "BMP-file with palette!"},
        {"rle", [](auto& f) { plat::WriteU32LE(f.data() + 30, 1); }, "BMP-file is copressed!"},
        {"rle8 names compression first",
         [](auto& f) {
             plat::WriteU16LE(f.data() + 28, 8);
             plat::WriteU32LE(f.data() + 30, 1);
         },
         "BMP-file is copressed!"},
        {"32-bit", [](auto& f) { plat::WriteU16LE(f.data() + 28, 32); }, "BMP-file is not 24-bit!"},
        {"4-bit", [](auto& f) { plat::WriteU16LE(f.data() + 28, 4); }, "BMP-file is not 24-bit!"},
        {"header cut", [](auto& f) { f.resize(40); }, "BMP-file is too short!"},
        {"last row cut", [](auto& f) { f.pop_back(); }, "BMP-file is too short!"},
        {"top-down height", [](auto& f) { plat::WriteI32LE(f.data() + 22, -2); }, "wrong picture size"},
        {"zero width", [](auto& f) { plat::WriteI32LE(f.data() + 18, 0); }, "wrong picture size"},
        {"huge", [](auto& f) { plat::WriteI32LE(f.data() + 18, 0x7FFFFFFF); plat::WriteI32LE(f.data() + 22, 0x7FFFFFFF); },
         "BMP-file is too short!"},
        {"OS/2 core header", [](auto& f) { plat::WriteU32LE(f.data() + 14, 12); }, "BMP-file has an OS/2 header!"},
        {"OS/2 2.x header", [](auto& f) { plat::WriteU32LE(f.data() + 14, 64); }, "BMP-file has an OS/2 header!"},
        {"unknown header", [](auto& f) { plat::WriteU32LE(f.data() + 14, 0xFFFFFFFFu); },
         "BMP-file has an unknown info header! Header size: 4294967295"},
        {"header size cut", [](auto& f) { f.resize(17); }, "BMP-file is too short!"},
        {"32-bit colour masks", [](auto& f) {
             plat::WriteU16LE(f.data() + 28, 32);
             plat::WriteU32LE(f.data() + 30, 3);
         },
         "BMP-file with colour masks! Bit count: 32"},
        {"data offset past the end", [](auto& f) { plat::WriteU32LE(f.data() + 10, 1000); },
         "BMP-file has a wrong data offset! Offset: 1000"},
        {"data offset inside the headers", [](auto& f) { plat::WriteU32LE(f.data() + 10, 53); },
         "BMP-file has a wrong data offset! Offset: 53"},
        {"rows past the end from a later offset", [](auto& f) { plat::WriteU32LE(f.data() + 10, 55); },
         "BMP-file is too short!"},
        {"larger header but offset 54", [](auto& f) { plat::WriteU32LE(f.data() + 14, 124); },
         "BMP-file has a wrong data offset! Offset: 54"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto file = Bmp3x2();
        c.patch(file);
        TBmpInfoHeader info;
        std::span<const std::uint8_t> rows;
        bool ok = true;
        const std::string log = LoggedBy([&] { ok = ParseBmpFile(file, info, rows); });
        EXPECT_FALSE(ok);
        EXPECT_NE(log.find(c.message), std::string::npos) << log;
        // the in-memory form refuses the same files
        int w = 0, h = 0;
        EXPECT_FALSE(ParseBmpMemory(file, w, h, rows));
    }
}

TEST(BmpParse, MemoryImageTakesTheLowHalfOfTheSizeFields)
{
    auto file = Bmp3x2();
    // high halves set: a file reader would see a huge picture, the memory form sees 3 x 2
    plat::WriteU16LE(file.data() + 20, 0x0001);
    plat::WriteU16LE(file.data() + 24, 0x0001);
    int w = 0, h = 0;
    std::span<const std::uint8_t> rows;
    ASSERT_TRUE(ParseBmpMemory(file, w, h, rows));
    EXPECT_EQ(w, 3);
    EXPECT_EQ(h, 2);
    EXPECT_EQ(rows.size(), 24u);
}

TEST(Image444Parse, OneByOneIsSixBytes)
{
    const std::uint16_t px[] = {0xF123};
    const auto file = sampledata::Make444(1, 1, px);
    ASSERT_EQ(file.size(), 6u);
    TImage444 img;
    ASSERT_TRUE(Parse444(file, img));
    EXPECT_EQ(img.width, 1);
    EXPECT_EQ(img.height, 1);
    EXPECT_EQ(plat::ReadU16LE(img.pixels.data()), 0xF123);
}

TEST(Image444Parse, TruncatedAndEmptyFilesAreRefused)
{
    const std::uint16_t px[] = {1, 2, 3, 4, 5, 6};
    const auto file = sampledata::Make444(3, 2, px);
    TImage444 img;
    for (std::size_t len : {std::size_t{0}, std::size_t{3}, file.size() - 1}) {
        SCOPED_TRACE(len);
        const std::span<const std::uint8_t> cut(file.data(), len);
        const std::string log = LoggedBy([&] { EXPECT_FALSE(Parse444(cut, img)); });
        EXPECT_NE(log.find("444-file is too short!"), std::string::npos);
    }
    const auto empty = sampledata::Make444(0, 5, {});
    EXPECT_FALSE(Parse444(empty, img));
}

TEST(TgaParse, SizesComeFromTheHeaderAndShortFilesAreRefused)
{
    const std::uint32_t px[] = {0x11223344, 0x55667788};
    auto file = sampledata::MakeTga32(2, 1, px);
    TImageTga img;
    ASSERT_TRUE(ParseTga(file, img));
    EXPECT_EQ(img.width, 2);
    EXPECT_EQ(img.height, 1);
    EXPECT_EQ(img.pixels.data(), file.data() + 18);
    file.pop_back();
    const std::string log = LoggedBy([&] { EXPECT_FALSE(ParseTga(file, img)); });
    EXPECT_NE(log.find("TGA-file is too short!"), std::string::npos);
    EXPECT_FALSE(ParseTga(std::span<const std::uint8_t>(file.data(), 17), img));
}

namespace {

// An 18-byte TGA header field by field, then the bytes given.
std::vector<std::uint8_t> TgaFile(std::uint8_t idLength, std::uint8_t colorMapType, std::uint8_t imageType,
                                  std::uint16_t colorMapLength, std::uint8_t colorMapBits, std::uint16_t width,
                                  std::uint16_t height, std::uint8_t depth, std::uint8_t descriptor,
                                  std::vector<std::uint8_t> rest)
{
    std::vector<std::uint8_t> f = {idLength, colorMapType, imageType,
                                   0, 0, // first colour-map entry
                                   static_cast<std::uint8_t>(colorMapLength),
                                   static_cast<std::uint8_t>(colorMapLength >> 8),
                                   colorMapBits,
                                   0, 0, 0, 0, // origin x, y
                                   static_cast<std::uint8_t>(width), static_cast<std::uint8_t>(width >> 8),
                                   static_cast<std::uint8_t>(height), static_cast<std::uint8_t>(height >> 8),
                                   depth, descriptor};
    f.insert(f.end(), rest.begin(), rest.end());
    return f;
}

// 2 x 1 pixels in file order, blue-green-red-alpha bytes.
const std::vector<std::uint8_t> kTgaPixels = {0x44, 0x33, 0x22, 0x11, 0x88, 0x77, 0x66, 0x55};

std::vector<std::uint8_t> Joined(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

TEST(TgaParse, IdentificationFieldAndColourMapArePassedOver)
{
    const std::vector<std::uint8_t> id = {'f', 'o', 'g', ' ', 'v', '2', 0};
    const std::vector<std::uint8_t> map = {1, 2, 3, 4, 5, 6, 7, 8, 9}; // three 24-bit entries
    struct Case {
        const char* name;
        std::vector<std::uint8_t> file;
    };
    const Case cases[] = {
        {"plain", TgaFile(0, 0, 2, 0, 0, 2, 1, 32, 8, kTgaPixels)},
        {"identification", TgaFile(7, 0, 2, 0, 0, 2, 1, 32, 8, Joined(id, kTgaPixels))},
        {"colour map", TgaFile(7, 1, 2, 3, 24, 2, 1, 32, 8, Joined(Joined(id, map), kTgaPixels))},
        {"map fields without a map", TgaFile(0, 0, 2, 3, 24, 2, 1, 32, 8, kTgaPixels)},
        {"footer after the pixels",
         TgaFile(0, 0, 2, 0, 0, 2, 1, 32, 8,
                 Joined(kTgaPixels, {0, 0, 0, 0, 0, 0, 0, 0, 'T', 'R', 'U', 'E', 'V', 'I', 'S', 'I', 'O', 'N', '-',
                                     'X', 'F', 'I', 'L', 'E', '.', 0}))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TImageTga img;
        ASSERT_TRUE(ParseTga(c.file, img));
        EXPECT_EQ(img.width, 2);
        EXPECT_EQ(img.height, 1);
        EXPECT_EQ(std::vector<std::uint8_t>(img.pixels.begin(), img.pixels.end()), kTgaPixels);
    }
}

TEST(TgaParse, OtherKindsOfPictureAreRefusedByName)
{
    // Run-length coded 2 x 1: one run packet repeating a pixel twice, far shorter than raw pixels.
    const std::vector<std::uint8_t> run = {0x81, 0x44, 0x33, 0x22, 0x11};
    const std::vector<std::uint8_t> raw24 = {0x44, 0x33, 0x22, 0x88, 0x77, 0x66};
    struct Case {
        const char* name;
        std::vector<std::uint8_t> file;
        const char* message;
    };
    const Case cases[] = {
        {"run-length true colour", TgaFile(0, 0, 10, 0, 0, 2, 1, 32, 8, run),
         "TGA-file is run-length coded! Image type: 10"},
        {"run-length colour-mapped", TgaFile(0, 1, 9, 1, 24, 2, 1, 8, 0, {1, 2, 3, 0x81, 0}),
         "TGA-file is run-length coded! Image type: 9"},
        {"run-length grey", TgaFile(0, 0, 11, 0, 0, 2, 1, 8, 0, {0x81, 7}),
         "TGA-file is run-length coded! Image type: 11"},
        {"colour-mapped", TgaFile(0, 1, 1, 1, 24, 2, 1, 8, 0, {1, 2, 3, 0, 0}), "TGA-file with palette! Image type: 1"},
        {"grey", TgaFile(0, 0, 3, 0, 0, 2, 1, 8, 0, {7, 7}), "TGA-file is greyscale! Image type: 3"},
        {"no picture", TgaFile(0, 0, 0, 0, 0, 2, 1, 32, 8, kTgaPixels), "TGA-file holds no picture! Image type: 0"},
        {"unknown type", TgaFile(0, 0, 32, 0, 0, 2, 1, 32, 8, kTgaPixels),
         "TGA-file of an unknown image type! Image type: 32"},
        {"24-bit with a footer",
         TgaFile(0, 0, 2, 0, 0, 2, 1, 24, 0,
                 Joined(raw24, {0, 0, 0, 0, 0, 0, 0, 0, 'T', 'R', 'U', 'E', 'V', 'I', 'S', 'I', 'O', 'N', '-', 'X',
                                'F', 'I', 'L', 'E', '.', 0})),
         "TGA-file is not 32-bit! Bit depth: 24"},
        {"16-bit", TgaFile(0, 0, 2, 0, 0, 2, 1, 16, 1, {1, 2, 3, 4, 5, 6, 7, 8}),
         "TGA-file is not 32-bit! Bit depth: 16"},
        {"unknown colour map type", TgaFile(0, 2, 2, 0, 0, 2, 1, 32, 8, kTgaPixels),
         "TGA-file has an unknown colour map type! Colour map type: 2"},
        {"identification past the end", TgaFile(200, 0, 2, 0, 0, 2, 1, 32, 8, kTgaPixels), "TGA-file is too short!"},
        {"colour map past the end", TgaFile(0, 1, 2, 0xFFFF, 32, 2, 1, 32, 8, kTgaPixels), "TGA-file is too short!"},
        {"zero width", TgaFile(0, 0, 2, 0, 0, 0, 1, 32, 8, kTgaPixels), "TGA-file has a wrong picture size!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TImageTga img;
        bool ok = true;
        const std::string log = LoggedBy([&] { ok = ParseTga(c.file, img); });
        EXPECT_FALSE(ok);
        EXPECT_NE(log.find(c.message), std::string::npos) << log;
    }
}

TEST(FrameParse, PackEntryHeaderFollowsTwoSkippedFields)
{
    sampledata::FrameSpec f;
    f.x = 7;
    f.y = 9;
    f.texWidth = 8;
    f.texHeight = 4;
    f.dataWidth = 3;
    f.dataHeight = 2;
    f.pixels = {1, 2, 3, 4, 5, 6};
    const auto entry = sampledata::MakePackFrameEntry(f);
    ASSERT_EQ(entry.size(), 4u + 12u + 12u);
    TIfStreamMemory in(entry.data(), static_cast<std::int32_t>(entry.size()));
    ASSERT_TRUE(in.Seek(4));
    TFrameHeader h;
    ASSERT_TRUE(ReadFrameHeader(in, h));
    EXPECT_EQ(h.x, 7);
    EXPECT_EQ(h.y, 9);
    EXPECT_EQ(h.texWidth, 8);
    EXPECT_EQ(h.texHeight, 4);
    EXPECT_EQ(h.dataWidth, 3);
    EXPECT_EQ(h.dataHeight, 2);
    TIfStreamMemory cut(entry.data(), 10);
    EXPECT_FALSE(ReadFrameHeader(cut, h));
}

namespace {

sampledata::FrameSpec Frame(std::uint16_t dw, std::uint16_t dh, std::uint16_t tw, std::uint16_t th)
{
    sampledata::FrameSpec f;
    f.dataWidth = dw;
    f.dataHeight = dh;
    f.texWidth = tw;
    f.texHeight = th;
    for (int i = 0; i < dw * dh; ++i)
        f.pixels.push_back(static_cast<std::uint16_t>(0xF000 + i));
    return f;
}

} // namespace

TEST(FrameParse, BlockRecordsStopAtTheEndMarker)
{
    sampledata::FrameSpec end;
    end.x = 0xFFFF;
    const sampledata::FrameSpec frames[] = {Frame(4, 2, 4, 4), end, Frame(2, 2, 2, 2)};
    const auto block = sampledata::MakeFrameBlock({1, 2, 3, 4}, frames);
    std::vector<TFrameRecord> records;
    ASSERT_TRUE(ParseFrameBlock(block, records));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].offset, 13u + 60u);
    EXPECT_EQ(records[0].size, 16u);
    EXPECT_EQ(records[1].x, 0xFFFF);
}

TEST(FrameParse, BlockRefusesRecordsThatPointOutside)
{
    const sampledata::FrameSpec frames[] = {Frame(4, 2, 4, 4), Frame(2, 2, 2, 2)};
    const auto good = sampledata::MakeFrameBlock({}, frames);
    struct Case {
        const char* name;
        void (*patch)(std::vector<std::uint8_t>&);
    };
    const Case cases[] = {
        {"records cut", [](auto& b) { b.resize(13 + 30); }},
        {"pixels cut", [](auto& b) { b.pop_back(); }},
        {"offset past end", [](auto& b) { plat::WriteU32LE(b.data() + 13 + 16, 0xFFFFFFF0u); }},
        {"size wraps", [](auto& b) { plat::WriteU32LE(b.data() + 13 + 12, 0xFFFFFFFFu); }},
        {"size below rows", [](auto& b) { plat::WriteU32LE(b.data() + 13 + 12, 15); }},
        {"data wider than texture", [](auto& b) { plat::WriteU16LE(b.data() + 13 + 8, 2); }},
        {"count beyond records", [](auto& b) { b[0] = 200; }},
        {"head cut", [](auto& b) { b.resize(12); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto block = good;
        c.patch(block);
        std::vector<TFrameRecord> records;
        const std::string log = LoggedBy([&] { EXPECT_FALSE(ParseFrameBlock(block, records)); });
        EXPECT_FALSE(log.empty());
    }
}
