#include "core/archive.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <optional>
#include <thread>

#include "archives.h"
#include "sample_data.h"
#include "core/memory_stream.h"
#include "game_folder_fixture.h"
#include "platform/bytes.h"

namespace {

std::vector<std::uint8_t> Bytes(const std::string& s)
{
    return {s.begin(), s.end()};
}

std::vector<std::uint8_t> Pattern(std::size_t size, unsigned seed)
{
    std::vector<std::uint8_t> v(size);
    unsigned x = seed;
    for (auto& b : v) {
        x = x * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>((x >> 16) % 7); // compressible, not trivial
    }
    return v;
}

struct Loaded {
    std::uint8_t* data = nullptr;
    std::uint32_t size = 0;
    ~Loaded() { FreeLesEntry(data); }
    std::vector<std::uint8_t> Vec() const { return {data, data + size}; }
};

class Archive : public GameFolderTest {
protected:
    void SetUp() override
    {
        GameFolderTest::SetUp();
        ini_unpack();
        entries = {
            {"info.txt", 7, Bytes("width 10\r\nheight 20\r\n")},
            {"pic.bmp", 3, Pattern(5000, 1)},
            {"Upper.bmp", 9, Bytes("never found by name")},
            {"dup_a", 5, Bytes("first with id 5")},
            {"dup_b", 5, Bytes("second with id 5")},
            {"empty", 1, {}},
        };
        ASSERT_TRUE(sampledata::WriteLesArchive(dir.Path(), "Data/Interface/Interface.les", entries));
    }
    void TearDown() override
    {
        FreeLesSlots();
        GameFolderTest::TearDown();
    }
    std::vector<std::uint8_t> Image() const { return sampledata::BuildLesArchive(entries); }
    void WriteImage(const std::vector<std::uint8_t>& image, const std::string& name = "bad.les")
    {
        ASSERT_TRUE(sampledata::WriteFileBytes(dir.Path(), name, image.data(), image.size()));
    }
    static std::size_t EntryField(std::size_t index, std::size_t field) { return LES_HEADER_SIZE + index * LES_ENTRY_SIZE + field; }

    std::vector<sampledata::LesSource> entries;
};

} // namespace

TEST_F(Archive, LooksEntriesUpByLowerCasedNameOrFirstMatchingId)
{
    ASSERT_TRUE(Load_LesHeader(LES_SLOT_INTERFACE, "data\\INTERFACE\\interface.les"));
    EXPECT_EQ(GetLesEntryCount(LES_SLOT_INTERFACE), entries.size());
    struct Case {
        const char* name;
        std::uint16_t id;
        std::optional<std::size_t> expected; // index into entries
    };
    const std::string longName(32, 'a');
    const Case cases[] = {
        {"info.txt", 0, 0},  {"Info.txt", 0, 0},    {"INFO.TXT", 0, 0},         {"PIC.BMP", 0, 1},
        {"Upper.bmp", 0, {}}, {"upper.bmp", 0, {}}, {"missing", 0, {}},         {longName.c_str(), 0, {}},
        {nullptr, 5, 3},     {nullptr, 3, 1},       {nullptr, 9, 2},            {nullptr, 99, {}},
        {"empty", 0, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name ? c.name : ("id " + std::to_string(c.id)));
        Loaded e;
        e.size = 12345;
        e.data = LoadLesEntry(LES_SLOT_INTERFACE, c.name, c.id, &e.size);
        if (!c.expected) {
            EXPECT_EQ(e.data, nullptr);
            EXPECT_EQ(e.size, 0u);
            continue;
        }
        ASSERT_NE(e.data, nullptr);
        EXPECT_EQ(e.Vec(), entries[*c.expected].data);
    }
}

TEST_F(Archive, TakenSlotRefusesSecondOpenAndKeepsFirstUsable)
{
    ASSERT_TRUE(sampledata::WriteLesArchive(dir.Path(), "Data/Objects/Objects.les", {{"tree.bmp", 1, Bytes("tree")}}));
    ASSERT_TRUE(Load_LesHeader(LES_SLOT_INTERFACE, "Data\\Interface\\Interface.les"));
    EXPECT_FALSE(Load_LesHeader(LES_SLOT_INTERFACE, "Data\\Objects\\Objects.les"));
    Loaded kept;
    kept.data = LoadLesEntry(LES_SLOT_INTERFACE, "info.txt", 0, &kept.size);
    ASSERT_NE(kept.data, nullptr);

    CloseLes(LES_SLOT_INTERFACE);
    CloseLes(LES_SLOT_INTERFACE); // closing a free slot does nothing
    EXPECT_EQ(LoadLesEntry(LES_SLOT_INTERFACE, "info.txt", 0, nullptr), nullptr);
    EXPECT_EQ(kept.Vec(), entries[0].data); // entry buffers outlive their slot

    ASSERT_TRUE(Load_LesHeader(LES_SLOT_INTERFACE, "Data\\Objects\\Objects.les"));
    Loaded tree;
    tree.data = LoadLesEntry(LES_SLOT_INTERFACE, "tree.bmp", 0, &tree.size);
    EXPECT_EQ(tree.Vec(), Bytes("tree"));

    EXPECT_FALSE(Load_LesHeader(LES_SLOT_COUNT, "Data\\Objects\\Objects.les"));
    EXPECT_EQ(LoadLesEntry(LES_SLOT_COUNT, "tree.bmp", 0, nullptr), nullptr);
    EXPECT_FALSE(Load_LesHeader(LES_SLOT_OBJECTS, "Data\\Objects\\Missing.les"));
    EXPECT_EQ(GetLesEntryCount(LES_SLOT_OBJECTS), 0u);
}

TEST_F(Archive, SlotNumbersOfUnitAndHouseGraphics)
{
    EXPECT_EQ(UnitGraphicsSlot(0, 0), 0);
    EXPECT_EQ(UnitGraphicsSlot(5, 39), 289);
    EXPECT_EQ(HouseGraphicsSlot(0, 0), 400);
    EXPECT_EQ(HouseGraphicsSlot(5, 24), 674);
    EXPECT_LT(UnitGraphicsSlot(5, 39), LES_SLOT_OBJECTS);
}

TEST_F(Archive, BadHeadersAreRefusedAndLeaveTheSlotFree)
{
    const std::vector<std::uint8_t> good = Image();
    auto withCount = [&](std::uint32_t n) {
        auto v = good;
        plat::WriteU32LE(v.data() + 4, n);
        return v;
    };
    const std::vector<std::pair<const char*, std::vector<std::uint8_t>>> cases = {
        {"empty file", {}},
        {"header cut", {good.begin(), good.begin() + 7}},
        {"directory cut", {good.begin(), good.begin() + LES_HEADER_SIZE + 2 * LES_ENTRY_SIZE + 5}},
        {"count beyond file", withCount(static_cast<std::uint32_t>((good.size() - LES_HEADER_SIZE) / LES_ENTRY_SIZE + 1))},
        {"more than 1000 entries", withCount(1001)},
        {"count near 2^32", withCount(0xFFFFFFFFu)},
    };
    for (const auto& [what, image] : cases) {
        SCOPED_TRACE(what);
        WriteImage(image);
        EXPECT_FALSE(Load_LesHeader(LES_SLOT_ANIMATION, "bad.les"));
        EXPECT_EQ(GetLesEntryCount(LES_SLOT_ANIMATION), 0u);
    }
    EXPECT_TRUE(Logged("more than 1000 entries"));
    EXPECT_TRUE(Load_LesHeader(LES_SLOT_ANIMATION, "Data/Interface/Interface.les"));
}

TEST_F(Archive, ThousandEntriesAreAccepted)
{
    std::vector<sampledata::LesSource> many;
    for (int i = 0; i < 1000; ++i)
        many.push_back({"e" + std::to_string(i), static_cast<std::uint16_t>(i), Bytes(std::to_string(i * 7))});
    ASSERT_TRUE(sampledata::WriteLesArchive(dir.Path(), "many.les", many));
    ASSERT_TRUE(Load_LesHeader(LES_SLOT_EXPLOSION, "many.les"));
    Loaded last;
    last.data = LoadLesEntry(LES_SLOT_EXPLOSION, nullptr, 999, &last.size);
    EXPECT_EQ(last.Vec(), Bytes(std::to_string(999 * 7)));
}

TEST_F(Archive, EntriesWhoseSizesLieOrBodiesAreBrokenGiveNull)
{
    const std::vector<std::uint8_t> good = Image();
    const std::size_t pic = 1; // "pic.bmp", 5000 bytes
    const std::uint32_t packed = plat::ReadU32LE(good.data() + EntryField(pic, 36));
    const std::uint32_t offset = plat::ReadU32LE(good.data() + EntryField(pic, 44));
    struct Case {
        const char* what;
        std::size_t field;
        std::uint32_t value;
    };
    const Case cases[] = {
        {"raw size smaller than the body gives", 40, 4999},
        {"raw size beyond what the body can give", 40, 0x7FFFFFF0u},
        {"raw size beyond 2 GiB", 40, 0xFFFFFFFFu},
        {"packed size beyond the end of the file", 36, static_cast<std::uint32_t>(good.size())},
        {"offset beyond the end of the file", 44, static_cast<std::uint32_t>(good.size() + 10)},
        {"offset and size wrap around", 44, 0xFFFFFFF0u},
        {"body cut short", 36, packed / 2},
        {"body starts one byte late", 44, offset + 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto image = good;
        plat::WriteU32LE(image.data() + EntryField(pic, c.field), c.value);
        CloseLes(LES_SLOT_TRENCHES);
        WriteImage(image);
        ASSERT_TRUE(Load_LesHeader(LES_SLOT_TRENCHES, "bad.les"));
        std::uint32_t size = 77;
        EXPECT_EQ(LoadLesEntry(LES_SLOT_TRENCHES, "pic.bmp", 0, &size), nullptr);
        EXPECT_EQ(size, 0u);
        Loaded other; // the rest of the archive stays readable
        other.data = LoadLesEntry(LES_SLOT_TRENCHES, "info.txt", 0, &other.size);
        EXPECT_EQ(other.Vec(), entries[0].data);
    }
    // A raw size above what zlib gives is room to spare: the real length is reported.
    auto image = good;
    plat::WriteU32LE(image.data() + EntryField(pic, 40), 6000);
    CloseLes(LES_SLOT_TRENCHES);
    WriteImage(image);
    ASSERT_TRUE(Load_LesHeader(LES_SLOT_TRENCHES, "bad.les"));
    Loaded roomy;
    roomy.data = LoadLesEntry(LES_SLOT_TRENCHES, "pic.bmp", 0, &roomy.size);
    EXPECT_EQ(roomy.Vec(), entries[pic].data);
}

TEST_F(Archive, NameFillingAllThirtyTwoBytesMatchesNothing)
{
    auto image = Image();
    std::memset(image.data() + EntryField(0, 0), 'a', LES_NAME_SIZE);
    WriteImage(image);
    ASSERT_TRUE(Load_LesHeader(LES_SLOT_STAINS, "bad.les"));
    const std::string name31(31, 'a');
    EXPECT_EQ(LoadLesEntry(LES_SLOT_STAINS, name31.c_str(), 0, nullptr), nullptr);
    TLesEntry e{};
    ASSERT_TRUE(GetLesEntry(LES_SLOT_STAINS, 0, e));
    EXPECT_STREQ(e.name, "");
    EXPECT_EQ(LoadLesEntry(LES_SLOT_STAINS, "", 0, nullptr), nullptr);
    EXPECT_FALSE(GetLesEntry(LES_SLOT_STAINS, 6, e));
}

TEST_F(Archive, ThreadsReadDifferentSlotsAtOnce)
{
    std::vector<sampledata::LesSource> unitEntries;
    for (int i = 0; i < 20; ++i)
        unitEntries.push_back({"frame" + std::to_string(i), static_cast<std::uint16_t>(i), Pattern(3000 + i, i)});
    ASSERT_TRUE(sampledata::WriteLesArchive(dir.Path(), "Data/Units/Rifle.les", unitEntries));
    ASSERT_TRUE(Load_LesHeader(UnitGraphicsSlot(1, 3), "Data\\Units\\Rifle.les"));
    ASSERT_TRUE(Load_LesHeader(LES_SLOT_INTERFACE, "Data\\Interface\\Interface.les"));
    std::atomic<int> bad{0};
    std::thread loader([&] {
        for (int round = 0; round < 20; ++round)
            for (int i = 0; i < 20; ++i) {
                Loaded e;
                e.data = LoadLesEntry(UnitGraphicsSlot(1, 3), nullptr, static_cast<std::uint16_t>(i), &e.size);
                if (!e.data || e.Vec() != unitEntries[i].data)
                    ++bad;
            }
    });
    for (int round = 0; round < 100; ++round) {
        Loaded e;
        e.data = LoadLesEntry(LES_SLOT_INTERFACE, "pic.bmp", 0, &e.size);
        if (!e.data || e.Vec() != entries[1].data)
            ++bad;
        // The main thread opens and closes its own slots meanwhile.
        CloseLes(LES_SLOT_ANIMATION);
        Load_LesHeader(LES_SLOT_ANIMATION, "Data\\Interface\\Interface.les");
    }
    loader.join();
    EXPECT_EQ(bad.load(), 0);
}

namespace {

class CompressedFile : public GameFolderTest {
protected:
    std::optional<std::vector<std::uint8_t>> Load(const char* path)
    {
        std::uint32_t size = 99;
        std::uint8_t* data = LoadCompressedFile(path, &size);
        if (!data) {
            EXPECT_EQ(size, 0u);
            return std::nullopt;
        }
        std::vector<std::uint8_t> v(data, data + size);
        FreeCompressedFile(data);
        return v;
    }
};

} // namespace

TEST_F(CompressedFile, RoundTripsAnySizeThroughTheGameAndTheSampleWriter)
{
    std::filesystem::create_directory(dir / "Save");
    for (std::size_t size : {0u, 1u, 100u, 200000u}) {
        SCOPED_TRACE(size);
        const auto data = Pattern(size, static_cast<unsigned>(size));
        ASSERT_TRUE(SaveCompressedFile("Save\\Game.sav", data.data(), static_cast<std::int32_t>(data.size())));
        const auto bytes = testsupport::ReadAll(dir / "Save/Game.sav");
        ASSERT_GE(bytes.size(), 8u);
        EXPECT_EQ(plat::ReadU32LE(bytes.data()), bytes.size() - 8);
        EXPECT_EQ(plat::ReadU32LE(bytes.data() + 4), size);
        EXPECT_EQ(Load("save/game.SAV"), data);

        ASSERT_TRUE(sampledata::WriteCompressedFile(dir.Path(), "Maps/map.sav", data));
        EXPECT_EQ(Load("Maps\\map.sav"), data);
    }
    TOfStreamMemory out;
    out.WriteU32(0xDEADBEEF);
    ASSERT_TRUE(out.SaveCompressed("Save\\stream.sav"));
    EXPECT_EQ(Load("Save\\stream.sav"), (std::vector<std::uint8_t>{0xEF, 0xBE, 0xAD, 0xDE}));
}

TEST_F(CompressedFile, HeadersThatLieAreRefused)
{
    const auto data = Pattern(4000, 3);
    const auto good = sampledata::BuildCompressedFile(data);
    auto patched = [&](std::size_t at, std::uint32_t v) {
        auto f = good;
        plat::WriteU32LE(f.data() + at, v);
        return f;
    };
    const std::vector<std::pair<const char*, std::vector<std::uint8_t>>> cases = {
        {"shorter than the header", {good.begin(), good.begin() + 5}},
        {"shorter than its packed size", {good.begin(), good.end() - 1}},
        {"packed size near 2^32", patched(0, 0xFFFFFFF8u)},
        {"raw size one more than the stream gives", patched(4, 4001)},
        {"raw size one less than the stream gives", patched(4, 3999)},
        {"raw size far beyond the stream", patched(4, 0x7FFFFFFFu)},
        {"raw size beyond 2 GiB", patched(4, 0xFFFFFFFFu)},
        {"broken stream", [&] {
             auto f = good;
             f[12] ^= 0x55;
             return f;
         }()},
    };
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        ASSERT_TRUE(sampledata::WriteFileBytes(dir.Path(), "bad.sav", bytes.data(), bytes.size()));
        EXPECT_EQ(Load("bad.sav"), std::nullopt);
    }
    EXPECT_EQ(Load("missing.sav"), std::nullopt);
    // Bytes after the stream are tolerated.
    auto longer = good;
    longer.push_back(0);
    ASSERT_TRUE(sampledata::WriteFileBytes(dir.Path(), "long.sav", longer.data(), longer.size()));
    EXPECT_EQ(Load("long.sav"), data);
}

TEST_F(CompressedFile, FailedSaveKeepsThePreviousFile)
{
    const auto first = Pattern(1000, 1);
    ASSERT_TRUE(SaveCompressedFile("game.sav", first.data(), 1000));
    const auto before = testsupport::ReadAll(dir / "game.sav");

    // A target that cannot be replaced: a folder of that name holding a file.
    testsupport::WriteText(dir / "busy.sav/keep.txt", "x");
    EXPECT_FALSE(SaveCompressedFile("busy.sav", first.data(), 1000));
    EXPECT_TRUE(Logged("Error openingbusy.sav"));
    EXPECT_EQ(testsupport::ReadText(dir / "busy.sav/keep.txt"), "x");
    // A folder that does not exist.
    EXPECT_FALSE(SaveCompressedFile("NoFolder\\game.sav", first.data(), 1000));
    EXPECT_FALSE(SaveCompressedFile("game.sav", nullptr, 10));
    EXPECT_FALSE(SaveCompressedFile("game.sav", first.data(), -1));
    EXPECT_EQ(testsupport::ReadAll(dir / "game.sav"), before);

    // Nothing but the save itself is left in the folder.
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
        files += e.is_regular_file() && e.path().filename() != "ReportError.log";
    EXPECT_EQ(files, 1);
}

namespace {

std::vector<std::uint8_t> Noise(std::size_t size, unsigned seed)
{
    std::vector<std::uint8_t> v(size);
    std::uint64_t x = seed * 0x9E3779B97F4A7C15ull + 1;
    for (auto& b : v) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        b = static_cast<std::uint8_t>(x);
    }
    return v;
}

} // namespace

TEST_F(Archive, ArchivesOfTheSameLayoutNeverServeEachOthersBytes)
{
    // Same names and sizes, different bytes: the bodies lie at the same offsets in both files.
    std::vector<sampledata::LesSource> a, b;
    for (int i = 0; i < 8; ++i) {
        a.push_back({"f" + std::to_string(i), static_cast<std::uint16_t>(i), Noise(1000, i)});
        b.push_back({"f" + std::to_string(i), static_cast<std::uint16_t>(i), Noise(1000, 100 + i)});
    }
    a.push_back({"big", 99, Noise(400000, 7)}); // larger than any read window
    b.push_back({"big", 99, Noise(400000, 8)});
    ASSERT_TRUE(sampledata::WriteLesArchive(dir.Path(), "a.les", a));
    ASSERT_TRUE(sampledata::WriteLesArchive(dir.Path(), "b.les", b));
    ASSERT_TRUE(Load_LesHeader(LES_SLOT_ANIMATION, "a.les"));
    ASSERT_TRUE(Load_LesHeader(LES_SLOT_EXPLOSION, "b.les"));
    for (int i : {8, 0, 7, 1, 6, 2, 5, 3, 4}) {
        Loaded x, y;
        x.data = LoadLesEntry(LES_SLOT_ANIMATION, nullptr, i == 8 ? 99 : i, &x.size);
        y.data = LoadLesEntry(LES_SLOT_EXPLOSION, nullptr, i == 8 ? 99 : i, &y.size);
        EXPECT_EQ(x.Vec(), a[i].data) << i;
        EXPECT_EQ(y.Vec(), b[i].data) << i;
    }
    // The slot reopened on the other file reads the other file.
    CloseLes(LES_SLOT_ANIMATION);
    ASSERT_TRUE(Load_LesHeader(LES_SLOT_ANIMATION, "b.les"));
    Loaded z;
    z.data = LoadLesEntry(LES_SLOT_ANIMATION, "f3", 0, &z.size);
    EXPECT_EQ(z.Vec(), b[3].data);
}

TEST_F(Archive, HundredsOfOpenSlotsStayReadable)
{
    ASSERT_TRUE(sampledata::WriteLesArchive(dir.Path(), "Data/Units/Rifle.les", {{"frame", 1, Bytes("rifle")}}));
    ASSERT_TRUE(sampledata::WriteLesArchive(dir.Path(), "Data/Objects/Houses/Farm.les", {{"phase", 1, Bytes("farm")}}));
    std::vector<std::uint32_t> slots;
    for (int nation = 0; nation < LES_UNIT_NATIONS; ++nation)
        for (int type = 0; type < LES_UNIT_TYPES; ++type)
            slots.push_back(static_cast<std::uint32_t>(UnitGraphicsSlot(nation, type)));
    for (int side = 0; side < LES_HOUSE_SIDES; ++side)
        for (int type = 0; type < LES_HOUSE_TYPES; ++type)
            slots.push_back(static_cast<std::uint32_t>(HouseGraphicsSlot(side, type)));
    for (std::uint32_t slot : slots)
        ASSERT_TRUE(Load_LesHeader(slot, slot < 400 ? "Data\\Units\\Rifle.les" : "Data\\Objects\\Houses\\Farm.les"));
    for (int pass = 0; pass < 2; ++pass)
        for (std::uint32_t slot : slots) {
            Loaded e;
            e.data = LoadLesEntry(slot, nullptr, 1, &e.size);
            ASSERT_EQ(e.Vec(), Bytes(slot < 400 ? "rifle" : "farm")) << slot;
        }
}
