#include "devices/image_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <vector>

#include "archives.h"
#include "core/archive.h"
#include "device_fixture.h"
#include "images.h"
#include "platform/bytes.h"
#include "platform/texture.h"

namespace {

// top row: red, green, blue; bottom row: white, black, grey
const std::uint32_t kBmpPixels[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0x808080};

std::uint16_t Expected16(std::uint32_t rgb)
{
    return MakeColor16(static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                       static_cast<std::uint8_t>(rgb));
}

struct TextureRelease {
    void operator()(plat::Texture* t) const
    {
        if (t)
            t->Release();
    }
};
using TexturePtr = std::unique_ptr<plat::Texture, TextureRelease>;
using SurfacePtr = std::unique_ptr<plat::Surface>;

class ImageFiles : public DeviceTest {
protected:
    std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes)
    {
        const std::string path = dir / name;
        testsupport::WriteText(path, std::string(bytes.begin(), bytes.end()));
        return path;
    }
};

template <class Buffer>
void ExpectBmpPicture(const Buffer& pixels)
{
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(pixels.Row16(y)[x], Expected16(kBmpPixels[y * 3 + x])) << x << "," << y;
}

} // namespace

TEST_F(ImageFiles, BmpReachesSurfacesAndTexturesTopRowFirst)
{
    const auto bmp = sampledata::MakeBmp24(3, 2, kBmpPixels);
    const std::string path = Write("pic.bmp", bmp);

    SurfacePtr fromFile(CreateSurfaceFromBmpFile(path.c_str(), 0x1234, true));
    ASSERT_TRUE(fromFile);
    EXPECT_EQ(fromFile->Width(), 3);
    EXPECT_EQ(fromFile->Height(), 2);
    EXPECT_EQ(fromFile->ColorKey(), 0x1234u);
    ExpectBmpPicture(fromFile->Pixels());

    SurfacePtr fromMemory(CreateSurfaceFromBmpMemory(bmp));
    ASSERT_TRUE(fromMemory);
    EXPECT_EQ(fromMemory->ColorKey(), MakeColor16(255, 0, 255));
    ExpectBmpPicture(fromMemory->Pixels());

    std::vector<TexturePtr> textures;
    textures.emplace_back(LoadTextureFromFile(path.c_str()));
    textures.emplace_back(CreateTextureFromBmpMemory(bmp));
    for (const TexturePtr& t : textures) {
        ASSERT_TRUE(t);
        EXPECT_EQ(t->Width(), 3);
        EXPECT_EQ(t->Height(), 2);
        EXPECT_TRUE(t->HasColorKey());
        EXPECT_EQ(t->ColorKey(), MakeColor16(255, 0, 255));
        ExpectBmpPicture(t->Pixels());
    }
}

TEST_F(ImageFiles, BmpCopyCoversTheSmallerOfPictureAndSurface)
{
    const std::string path = Write("pic.bmp", sampledata::MakeBmp24(3, 2, kBmpPixels));
    SurfacePtr small(CreateOffscreenSurface(2, 1, 0, true));
    ASSERT_TRUE(small);
    ASSERT_TRUE(LoadBmpToSurface(small.get(), path.c_str()));
    EXPECT_EQ(small->Pixels().Row16(0)[0], Expected16(0xFF0000));
    EXPECT_EQ(small->Pixels().Row16(0)[1], Expected16(0x00FF00));

    SurfacePtr big(CreateOffscreenSurface(5, 4, 0, true));
    ASSERT_TRUE(big);
    FillSurface(big.get(), 0x1111);
    ASSERT_TRUE(LoadBmpToSurface(big.get(), path.c_str()));
    ExpectBmpPicture(big->Pixels());
    EXPECT_EQ(big->Pixels().Row16(0)[3], 0x1111);
    EXPECT_EQ(big->Pixels().Row16(2)[0], 0x1111);
}

TEST_F(ImageFiles, BmpLoadersLogAndReturnNothingForBadFiles)
{
    auto palette = sampledata::MakeBmp24(3, 2, kBmpPixels);
    plat::WriteU16LE(palette.data() + 28, 8);
    const std::string bad = Write("palette.bmp", palette);
    std::string log = LoggedBy([&] { EXPECT_EQ(CreateSurfaceFromBmpFile(bad.c_str(), 0, true), nullptr); });
    EXPECT_NE(log.find("BMP-file with palette!"), std::string::npos);
    EXPECT_NE(log.find("DDLoadBMP() FAILED"), std::string::npos);

    SurfacePtr surface(CreateOffscreenSurface(3, 2, 0, true));
    log = LoggedBy([&] { EXPECT_FALSE(LoadBmpToSurface(surface.get(), (dir / "missing.bmp").c_str())); });
    EXPECT_NE(log.find("DDLoadBMP() FAILED"), std::string::npos);
    EXPECT_EQ(LoadTextureFromFile(bad.c_str()), nullptr);
    EXPECT_FALSE(LoadBmpToSurface(nullptr, bad.c_str()));

    surface->ForceLost();
    const std::string good = Write("pic.bmp", sampledata::MakeBmp24(3, 2, kBmpPixels));
    log = LoggedBy([&] { EXPECT_FALSE(LoadBmpToSurface(surface.get(), good.c_str())); });
    EXPECT_NE(log.find("Copy_Bmp24_Surface16: Lock() failed"), std::string::npos);
    EXPECT_NE(log.find("Copy_Bmp24_Surface16() FAILED"), std::string::npos);
}

namespace {

void PutU16(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}

// kBmpPixels as common image tools save a 24-bit picture: a 108- or 124-byte info header with
// colour masks, an sRGB colour space and (124 bytes) a rendering intent, and the rows at the
// data offset that follows it.
std::vector<std::uint8_t> ToolBmp3x2(std::uint32_t infoSize)
{
    std::vector<std::uint8_t> f = {'B', 'M'};
    const std::uint32_t offset = 14 + infoSize;
    PutU32(f, offset + 24); // file size
    PutU32(f, 0);
    PutU32(f, offset);
    PutU32(f, infoSize);
    PutU32(f, 3);
    PutU32(f, 2);
    PutU16(f, 1);
    PutU16(f, 24);
    PutU32(f, 0);  // no compression
    PutU32(f, 24); // image size
    PutU32(f, 2835);
    PutU32(f, 2835);
    PutU32(f, 0);
    PutU32(f, 0);
    for (std::uint32_t mask : {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u})
        PutU32(f, mask);
    PutU32(f, 0x73524742); // "sRGB"
    for (int i = 0; i < 12; ++i)
        PutU32(f, 0); // colour end points and gammas, unused with sRGB
    if (infoSize == 124) {
        PutU32(f, 4); // rendering intent
        PutU32(f, 0); // no profile
        PutU32(f, 0);
        PutU32(f, 0);
    }
    // bottom row first, blue-green-red, each padded to 12 bytes
    const std::uint8_t rows[] = {0xFF, 0xFF, 0xFF, 0, 0, 0, 0x80, 0x80, 0x80, 0, 0, 0,
                                 0, 0, 0xFF, 0, 0xFF, 0, 0xFF, 0, 0, 0, 0, 0};
    f.insert(f.end(), std::begin(rows), std::end(rows));
    return f;
}

} // namespace

TEST_F(ImageFiles, BmpWithALargerInfoHeaderLoadsTheSamePicture)
{
    const auto plain = sampledata::MakeBmp24(3, 2, kBmpPixels);
    for (std::uint32_t infoSize : {108u, 124u}) {
        SCOPED_TRACE(infoSize);
        const auto tool = ToolBmp3x2(infoSize);
        ASSERT_EQ(tool.size(), 14 + infoSize + 24);
        TBmpInfoHeader plainInfo, toolInfo;
        std::span<const std::uint8_t> plainRows, toolRows;
        ASSERT_TRUE(ParseBmpFile(plain, plainInfo, plainRows));
        ASSERT_TRUE(ParseBmpFile(tool, toolInfo, toolRows));
        EXPECT_TRUE(std::equal(plainRows.begin(), plainRows.end(), toolRows.begin(), toolRows.end()));

        const std::string path = Write("tool.bmp", tool);
        SurfacePtr fromFile(CreateSurfaceFromBmpFile(path.c_str(), 0, true));
        ASSERT_TRUE(fromFile);
        ExpectBmpPicture(fromFile->Pixels());
        SurfacePtr fromMemory(CreateSurfaceFromBmpMemory(tool));
        ASSERT_TRUE(fromMemory);
        ExpectBmpPicture(fromMemory->Pixels());
        TexturePtr fileTexture(LoadTextureFromFile(path.c_str()));
        ASSERT_TRUE(fileTexture);
        ExpectBmpPicture(fileTexture->Pixels());
        TexturePtr memoryTexture(CreateTextureFromBmpMemory(tool));
        ASSERT_TRUE(memoryTexture);
        ExpectBmpPicture(memoryTexture->Pixels());
    }
}

TEST_F(ImageFiles, BmpWhoseDataOffsetPassesTheEndIsRefusedEverywhere)
{
    auto bmp = sampledata::MakeBmp24(3, 2, kBmpPixels);
    plat::WriteU32LE(bmp.data() + 10, static_cast<std::uint32_t>(bmp.size() + 1));
    const std::string path = Write("offset.bmp", bmp);
    std::string log = LoggedBy([&] { EXPECT_EQ(LoadTextureFromFile(path.c_str()), nullptr); });
    EXPECT_NE(log.find("BMP-file has a wrong data offset!"), std::string::npos) << log;
    EXPECT_NE(log.find("DDLoadBMP() FAILED"), std::string::npos);
    log = LoggedBy([&] { EXPECT_EQ(CreateSurfaceFromBmpMemory(bmp), nullptr); });
    EXPECT_NE(log.find("BMP-file has a wrong data offset!"), std::string::npos) << log;
    EXPECT_EQ(CreateTextureFromBmpMemory(bmp), nullptr);
}

TEST_F(ImageFiles, TgaIsTurnedByHalfATurn)
{
    constexpr std::uint32_t A = 0x80112233, B = 0xFF445566, C = 0x01778899, D = 0x00AABBCC;
    struct Case {
        int width, height;
        std::vector<std::uint32_t> file;
        std::vector<std::uint32_t> texture; // top row first
    };
    const Case cases[] = {
        {2, 1, {A, B}, {B, A}},
        {1, 2, {A, B}, {B, A}},
        {2, 2, {A, B, C, D}, {D, C, B, A}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
        const std::string path = Write("pic.tga", sampledata::MakeTga32(c.width, c.height, c.file));
        TexturePtr t(LoadTextureTga(path.c_str()));
        ASSERT_TRUE(t);
        EXPECT_EQ(t->Format(), plat::PixelFormat::ARGB8888);
        EXPECT_FALSE(t->HasColorKey());
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x)
                EXPECT_EQ(t->Pixels().Row32(y)[x], c.texture[y * c.width + x]);
    }
    // An identification field before the pixels changes nothing in the texture.
    auto named = sampledata::MakeTga32(2, 2, std::vector<std::uint32_t>{A, B, C, D});
    const std::uint8_t id[] = {'f', 'o', 'g'};
    named[0] = sizeof id;
    named.insert(named.begin() + 18, std::begin(id), std::end(id));
    TexturePtr fromNamed(LoadTextureTga(Write("named.tga", named).c_str()));
    ASSERT_TRUE(fromNamed);
    EXPECT_EQ(fromNamed->Pixels().Row32(0)[0], D);
    EXPECT_EQ(fromNamed->Pixels().Row32(0)[1], C);
    EXPECT_EQ(fromNamed->Pixels().Row32(1)[0], B);
    EXPECT_EQ(fromNamed->Pixels().Row32(1)[1], A);
    auto run = named;
    run[2] = 10;
    std::string log = LoggedBy([&] { EXPECT_EQ(LoadTextureTga(Write("run.tga", run).c_str()), nullptr); });
    EXPECT_NE(log.find("TGA-file is run-length coded!"), std::string::npos) << log;
    EXPECT_NE(log.find("LoadTextureTga: "), std::string::npos);

    auto cut = sampledata::MakeTga32(2, 2, std::vector<std::uint32_t>{A, B, C, D});
    cut.resize(cut.size() - 3);
    EXPECT_EQ(LoadTextureTga(Write("cut.tga", cut).c_str()), nullptr);
    EXPECT_EQ(LoadTextureTga((dir / "missing.tga").c_str()), nullptr);
}

TEST_F(ImageFiles, Texture444KeepsItsPixelsWithoutColourKey)
{
    const std::uint16_t px[] = {0x0F0F, 0xF123, 0x1234, 0xFFFF, 0x0000, 0xABCD};
    const std::string path = Write("pic.444", sampledata::Make444(3, 2, px));
    TexturePtr t(Load444Texture(path.c_str()));
    ASSERT_TRUE(t);
    EXPECT_EQ(t->Format(), plat::PixelFormat::ARGB4444);
    EXPECT_FALSE(t->HasColorKey());
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(t->Pixels().Row16(i / 3)[i % 3], px[i]);

    const std::uint16_t one[] = {0xF123};
    TexturePtr single(Load444Texture(Write("one.444", sampledata::Make444(1, 1, one)).c_str()));
    ASSERT_TRUE(single);
    EXPECT_EQ(single->Pixels().Row16(0)[0], 0xF123);

    auto cut = sampledata::Make444(3, 2, px);
    cut.pop_back();
    EXPECT_EQ(Load444Texture(Write("cut.444", cut).c_str()), nullptr);
}

TEST_F(ImageFiles, FrameFillsTheTopLeftOfAClearedTexture)
{
    const std::uint16_t px[] = {0xF001, 0xF002, 0xF003, 0xF004, 0xF005, 0xF006};
    std::vector<std::uint8_t> bytes;
    for (std::uint16_t p : px) {
        bytes.push_back(static_cast<std::uint8_t>(p));
        bytes.push_back(static_cast<std::uint8_t>(p >> 8));
    }
    const TFrameHeader header{1, 2, 4, 4, 3, 2};
    TexturePtr t(CreateTextureFromFrame(bytes, header));
    ASSERT_TRUE(t);
    EXPECT_EQ(t->Width(), 4);
    EXPECT_EQ(t->Height(), 4);
    EXPECT_EQ(t->ColorKey(), 0x0F0Fu);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(t->Pixels().Row16(y)[x], (x < 3 && y < 2) ? px[y * 3 + x] : 0) << x << "," << y;

    // rows that do not fit the texture or the data are refused
    EXPECT_EQ(CreateTextureFromFrame(bytes, TFrameHeader{0, 0, 2, 4, 3, 2}), nullptr);
    EXPECT_EQ(CreateTextureFromFrame(std::span<const std::uint8_t>(bytes).first(11), header), nullptr);
}

TEST_F(ImageFiles, HalfSizeFramesTakeEverySecondPixelOfEverySecondRow)
{
    sampledata::FrameSpec wide;
    wide.dataWidth = 5;
    wide.dataHeight = 4;
    wide.texWidth = 8;
    wide.texHeight = 4;
    for (int i = 0; i < 20; ++i)
        wide.pixels.push_back(static_cast<std::uint16_t>(0xF000 + i));
    sampledata::FrameSpec flat = wide;
    flat.dataHeight = 1;
    flat.pixels.resize(5);
    flat.x = 3;
    sampledata::FrameSpec end;
    end.x = 0xFFFF;
    const sampledata::FrameSpec frames[] = {wide, flat, end, wide};
    const auto block = sampledata::MakeFrameBlock({}, frames);

    plat::Texture* textures[4] = {};
    TFrameHeader headers[4];
    ASSERT_TRUE(CreateHalfSizeFrameTextures(block, textures, headers));
    TexturePtr t0(textures[0]), t1(textures[1]);
    EXPECT_EQ(textures[2], nullptr);
    EXPECT_EQ(textures[3], nullptr);
    ASSERT_TRUE(t0 && t1);
    EXPECT_EQ(t0->Width(), 4);
    EXPECT_EQ(t0->Height(), 2);
    const std::uint16_t expected[2][4] = {{0xF000, 0xF002, 0, 0}, {0xF00A, 0xF00C, 0, 0}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(t0->Pixels().Row16(y)[x], expected[y][x]) << x << "," << y;
    // a frame of one row leaves its half-size texture empty
    for (int y = 0; y < t1->Height(); ++y)
        for (int x = 0; x < t1->Width(); ++x)
            EXPECT_EQ(t1->Pixels().Row16(y)[x], 0);
    // headers keep the full-size values
    EXPECT_EQ(headers[0].texWidth, 8);
    EXPECT_EQ(headers[0].dataWidth, 5);
    EXPECT_EQ(headers[1].x, 3);
    EXPECT_EQ(headers[2].x, 0xFFFF);

    plat::Texture* few[1] = {};
    TFrameHeader fewHeaders[1];
    const std::string log = LoggedBy([&] { EXPECT_FALSE(CreateHalfSizeFrameTextures(block, few, fewHeaders)); });
    EXPECT_FALSE(log.empty());
    EXPECT_EQ(few[0], nullptr);
}

TEST_F(ImageFiles, PackFrameEntriesBecomeTexturesWithTheirHeaders)
{
    sampledata::FrameSpec f;
    f.x = 12;
    f.y = 34;
    f.texWidth = 4;
    f.texHeight = 2;
    f.dataWidth = 3;
    f.dataHeight = 2;
    f.pixels = {0xF001, 0xF002, 0xF003, 0xF004, 0xF005, 0xF006};
    auto cut = sampledata::MakePackFrameEntry(f);
    cut.resize(10);
    ASSERT_TRUE(sampledata::WriteLesArchive(dir.Path(), "frames.les",
                                            {{"frame0", 0, sampledata::MakePackFrameEntry(f)}, {"cut", 1, cut}}));
    constexpr int kSlot = 999;
    ASSERT_TRUE(Load_LesHeader(kSlot, (dir / "frames.les").c_str()));
    TFrameHeader header;
    TexturePtr t(LoadTextureFromPack(kSlot, 0, header));
    ASSERT_TRUE(t);
    EXPECT_EQ(header.x, 12);
    EXPECT_EQ(header.y, 34);
    EXPECT_EQ(header.dataWidth, 3);
    EXPECT_EQ(t->Width(), 4);
    EXPECT_EQ(t->Pixels().Row16(1)[2], 0xF006);
    EXPECT_EQ(t->Pixels().Row16(1)[3], 0);

    const std::string log = LoggedBy([&] { EXPECT_EQ(LoadTextureFromPack(kSlot, 1, header), nullptr); });
    EXPECT_NE(log.find("frame entry is too short"), std::string::npos);
    EXPECT_EQ(LoadTextureFromPack(kSlot, 7, header), nullptr);
    CloseLes(kSlot);
    EXPECT_EQ(LoadTextureFromPack(kSlot, 0, header), nullptr);
}
