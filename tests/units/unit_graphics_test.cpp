#include "units/unit_graphics.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "core/archive.h"
#include "core/game_folder_fixture.h"
#include "core/loader_thread.h"
#include "core/settings.h"
#include "platform/texture.h"
#include "unit_graphics.h" // the sample-data writer
#include "units/unit_entries_fixture.h"
#include "units/unit_types.h"

namespace {

// Entries served from memory, keyed by (slot, work); textures made for real and counted.
class FakeGraphics {
public:
    TUnitGraphicServices Services()
    {
        TUnitGraphicServices s;
        s.request = [this](TBasicUnit* type, std::uint32_t work) {
            std::lock_guard lock(m_Lock);
            requests.emplace_back(type, work);
            if (loader)
                loader->Request(MakeUnitPhasesRequest(UNIT_LOAD_PRIORITY, type, work));
        };
        s.createTexture = [this](std::uint16_t w, std::uint16_t h) {
            textures.fetch_add(1);
            return plat::Texture::Create(w, h, plat::PixelFormat::ARGB4444);
        };
        s.waitLoaderIdle = [this] {
            if (loader)
                loader->WaitUntilIdle();
        };
        s.readEntry = [this](std::uint32_t slot, std::uint16_t id, std::uint32_t* size) -> std::uint8_t* {
            std::lock_guard lock(m_Lock);
            return CopyUnitEntry(entries, slot, id, size);
        };
        return s;
    }

    TUnitEntries entries;
    std::vector<std::pair<TBasicUnit*, std::uint32_t>> requests;
    std::atomic<int> textures{0};
    TBackgroundLoader* loader = nullptr;

private:
    std::mutex m_Lock;
};

sampledata::UnitWorkImages Frames(int frameCount, int width, int height, bool shadow, bool overlay)
{
    sampledata::UnitWorkImages w;
    w.frameCount = frameCount;
    for (int layer = 0; layer < 3; ++layer) {
        if ((layer == 1 && !shadow) || (layer == 2 && !overlay))
            continue;
        for (int i = 0; i < 5 * frameCount; ++i) {
            sampledata::UnitFrameImage f{i % 7, layer, width, height, {}};
            f.pixels.assign(static_cast<std::size_t>(width) * height, static_cast<std::uint16_t>(0xF000 | i));
            w.layers[layer].push_back(std::move(f));
        }
    }
    return w;
}

class UnitGraphicsTest : public GameFolderTest {
protected:
    void SetUp() override
    {
        GameFolderTest::SetUp();
        FreeUnitTypes();
        SetUnitGraphicServices(fake.Services());
        g_bReducedAnimation = 0;
        g_UnitTextureBytes = 0;
    }
    void TearDown() override
    {
        FreeUnitTypes();
        SetUnitGraphicServices(TUnitGraphicServices::Default());
        g_bReducedAnimation = 0;
        GameFolderTest::TearDown();
    }
    TBasicUnit* AddType(int nation, int type, std::uint8_t kind, const char* name)
    {
        auto* t = new TBasicUnit;
        t->m_Kind = kind;
        g_UnitTypes[nation * UNIT_TYPES_PER_NATION + type] = t;
        t->LoadUnitGraphic(static_cast<std::uint8_t>(type), static_cast<std::uint8_t>(nation), name);
        return t;
    }
    int RequestsOf(TBasicUnit* type) const
    {
        int n = 0;
        for (const auto& r : fake.requests)
            n += r.first == type;
        return n;
    }

    FakeGraphics fake;
};

TEST_F(UnitGraphicsTest, NumericNameSharesAnotherTypesBlock)
{
    TBasicUnit* own = AddType(0, 3, 2, "Rifleman");
    TBasicUnit* user = AddType(1, 5, 2, "103");
    ASSERT_NE(own->m_pGraphic, nullptr);
    EXPECT_EQ(user->m_pGraphic, own->m_pGraphic);
    EXPECT_EQ(user->m_ArchiveSlot, 3u);

    TBasicUnit* bad = AddType(1, 6, 2, "703");
    ASSERT_NE(bad->m_pGraphic, nullptr);
    EXPECT_NE(bad->m_pGraphic, own->m_pGraphic) << "an unknown nation falls back to the type's own block";
    EXPECT_EQ(bad->m_ArchiveSlot, static_cast<std::uint32_t>(UnitGraphicsSlot(1, 6)));
    EXPECT_TRUE(Logged("703"));
    EXPECT_FALSE(bad->m_pGraphic->HasArchive()) << "no archive file exists here";
}

TEST_F(UnitGraphicsTest, ReferenceMadeBeforeTheOwnerOpensStillGetsItsArchive)
{
    TBasicUnit* owner = new TBasicUnit;
    g_UnitTypes[2] = owner;
    TBasicUnit* user = AddType(1, 4, 2, "102");
    ASSERT_EQ(user->m_pGraphic, owner->m_pGraphic);
    const std::vector<sampledata::LesSource> archive = {{"work0", 0, sampledata::BuildUnitWorkEntry(Frames(1, 4, 4, false, false))}};
    ASSERT_TRUE(sampledata::WriteLesArchive(dir.Path(), "Data\\Units\\Owner.les", archive));
    owner->LoadUnitGraphic(2, 0, "Owner");
    EXPECT_TRUE(owner->m_pGraphic->HasArchive());
    EXPECT_EQ(owner->m_pGraphic->m_ArchiveSlot, 2u);
    CloseLes(2);
}

TEST_F(UnitGraphicsTest, WorkerReferencesTypeOneOfItsNation)
{
    TBasicUnit* carrier = AddType(2, 1, 2, "Carrier");
    TBasicUnit* worker = AddType(2, 0, UNIT_KIND_WORKER, "Worker");
    worker->AddRef(2);
    EXPECT_EQ(worker->m_pGraphic->m_RefCount, 1u);
    EXPECT_EQ(carrier->m_pGraphic->m_RefCount, 1u);
    EXPECT_GT(RequestsOf(carrier), 0) << "the first reference asks for the works";
    worker->AddRef(2);
    EXPECT_EQ(carrier->m_pGraphic->m_RefCount, 1u) << "a second worker reference leaves type 1 alone";
    worker->Release(2);
    EXPECT_EQ(carrier->m_pGraphic->m_RefCount, 1u);
    worker->Release(2);
    EXPECT_EQ(worker->m_pGraphic->m_RefCount, 0u);
    EXPECT_EQ(carrier->m_pGraphic->m_RefCount, 0u);
    worker->Release(2);
    EXPECT_TRUE(Logged("CUnitGraphic::m_RefCount = 0"));
    EXPECT_EQ(carrier->m_pGraphic->m_RefCount, 0u) << "a failed release does not pass on";
}

TEST_F(UnitGraphicsTest, FirstReferenceRequestsEachWorkOnce)
{
    TBasicUnit* soldier = AddType(0, 2, 2, "Soldier");
    soldier->AddRef(0);
    soldier->AddRef(0);
    std::vector<std::uint32_t> works;
    for (const auto& r : fake.requests)
        works.push_back(r.second);
    std::vector<std::uint32_t> expected;
    for (std::uint32_t w = 0; w < UNIT_COUNT_WORK; ++w)
        if (w != 3)
            expected.push_back(w);
    EXPECT_EQ(works, expected) << "work 3 is made from work 5";
    EXPECT_TRUE(soldier->m_pGraphic->m_Works[3].loading) << "the derived pose waits with its source";
}

TEST_F(UnitGraphicsTest, ReducedAnimationChangesDrawingNotTheType)
{
    g_bReducedAnimation = 1;
    TBasicUnit* soldier = AddType(0, 2, 2, "Soldier");
    soldier->AnimationSize[3] = 1;
    soldier->AnimationSize[4] = 6;
    soldier->AddRef(0);
    for (const auto& r : fake.requests)
        EXPECT_NE(r.second, 4u);
    EXPECT_EQ(soldier->AnimationSize[4], 6) << "the simulation's values stay";
    EXPECT_EQ(soldier->m_pGraphic->DrawFrameCount(*soldier, 4), 0);
    EXPECT_EQ(soldier->m_pGraphic->DrawFrameCount(*soldier, 3), 1);
    fake.requests.clear();
    TBasicUnit* gun = AddType(0, 5, 4, "Gun");
    gun->AddRef(0);
    bool asked3 = false;
    for (const auto& r : fake.requests)
        asked3 |= r.second == 3;
    EXPECT_TRUE(asked3) << "kind 4 reads its stand pose when it has no lying animation";
}

TEST_F(UnitGraphicsTest, GeneratedEntryBecomesFrameRecordsAndDerivedStandPose)
{
    TBasicUnit* soldier = AddType(0, 2, 2, "Soldier");
    CUnitGraphic& g = *soldier->m_pGraphic;
    g.m_ArchiveSlot = 900;
    fake.entries[{900, 5}] = sampledata::BuildUnitWorkEntry(Frames(3, 20, 30, true, true));
    g.m_Works[5].loading = 1;
    ASSERT_TRUE(LoadUnitPhases(soldier, 5));
    const TUnitWork& w = g.m_Works[5];
    EXPECT_EQ(w.frameCount, 3);
    EXPECT_FALSE(w.loading);
    for (int orient = 0; orient < UNIT_STORED_ORIENTS; ++orient) {
        for (int layer = 0; layer < UNIT_LAYERS; ++layer)
            ASSERT_TRUE(w.IsLoaded(layer, orient));
        EXPECT_TRUE(w.IsAtlas(0, orient));
        EXPECT_TRUE(w.IsAtlas(2, orient));
        EXPECT_FALSE(w.IsAtlas(1, orient)) << "layer 2 never shares a texture";
        const TUnitFrame& f = w.frames[0][orient][2];
        EXPECT_EQ(f.x, (orient * 3 + 2) % 7);
        EXPECT_EQ(f.width, 20);
        EXPECT_EQ(f.height, 30);
        EXPECT_EQ(f.texWidth, 64) << "60 pixels wide atlas, rounded";
        EXPECT_EQ(f.texHeight, 32);
        EXPECT_FLOAT_EQ(f.left, 40 * 0.99999f / 64);
        EXPECT_FLOAT_EQ(f.right, 60 * 0.99999f / 64);
        EXPECT_FLOAT_EQ(f.bottom, 30 * 0.99999f / 32);
        EXPECT_EQ(w.FrameTexture(0, orient, 0), w.FrameTexture(0, orient, 2));
        EXPECT_NE(w.FrameTexture(1, orient, 0), w.FrameTexture(1, orient, 2));
    }
    // Pixels land in the atlas at the frame's place.
    const plat::Texture* atlas = w.FrameTexture(0, 1, 0);
    const std::uint16_t* row = atlas->Pixels().Row16(0);
    EXPECT_EQ(row[45], 0xF000 | (1 * 3 + 2));
    const TUnitWork& stand = g.m_Works[3];
    EXPECT_EQ(stand.frameCount, 1);
    EXPECT_FALSE(stand.loading);
    EXPECT_TRUE(stand.IsLoaded(0, 4));
    EXPECT_EQ(stand.FrameTexture(0, 4, 0), w.FrameTexture(0, 4, 0));
    const std::uint32_t bytes = 5 * (64 * 32 * 2 * 2 + 3 * 32 * 32 * 2);
    EXPECT_EQ(w.textureBytes, bytes);
    EXPECT_EQ(soldier->m_TextureBytes.load(), bytes);
    EXPECT_EQ(g_UnitTextureBytes.load(), bytes);
}

TEST_F(UnitGraphicsTest, AtlasOnlyBelowAWidthSumOf513)
{
    TBasicUnit* t = AddType(0, 2, 2, "T");
    t->m_pGraphic->m_ArchiveSlot = 901;
    fake.entries[{901, 0}] = sampledata::BuildUnitWorkEntry(Frames(2, 256, 8, false, false));
    fake.entries[{901, 1}] = sampledata::BuildUnitWorkEntry(Frames(3, 171, 8, false, false));
    ASSERT_TRUE(LoadUnitPhases(t, 0));
    ASSERT_TRUE(LoadUnitPhases(t, 1));
    EXPECT_TRUE(t->m_pGraphic->m_Works[0].IsAtlas(0, 0)) << "512";
    EXPECT_FALSE(t->m_pGraphic->m_Works[1].IsAtlas(0, 0)) << "513";
    EXPECT_EQ(t->m_pGraphic->m_Works[1].frames[0][0][1].texWidth, 256);
}

TEST_F(UnitGraphicsTest, WideFlyingAircraftKeepsOneFacing)
{
    TBasicUnit* plane = AddType(0, 11, 1, "Plane");
    plane->m_bAir = 1;
    plane->m_pGraphic->m_ArchiveSlot = 902;
    fake.entries[{902, UNIT_WORK_FLY}] = sampledata::BuildUnitWorkEntry(Frames(2, 300, 8, true, false));
    ASSERT_TRUE(LoadUnitPhases(plane, UNIT_WORK_FLY));
    for (int orient = 0; orient < UNIT_STORED_ORIENTS; ++orient)
        EXPECT_EQ(plane->m_pGraphic->m_Works[UNIT_WORK_FLY].IsLoaded(0, orient), orient == UNIT_FLY_ORIENT) << orient;
}

TEST_F(UnitGraphicsTest, UnreadableEntryClearsTheLoadingFlag)
{
    TBasicUnit* t = AddType(0, 2, 2, "T");
    t->m_pGraphic->m_ArchiveSlot = 903;
    std::vector<std::uint8_t> bad = sampledata::BuildUnitWorkEntry(Frames(1, 4, 4, false, false));
    bad.resize(bad.size() - 1);
    fake.entries[{903, 5}] = bad;
    t->m_pGraphic->RequestWork(t, 5);
    EXPECT_FALSE(LoadUnitPhases(t, 5));
    EXPECT_FALSE(t->m_pGraphic->m_Works[5].loading);
    EXPECT_FALSE(t->m_pGraphic->m_Works[3].loading);
    EXPECT_FALSE(LoadUnitPhases(t, 6)) << "missing entry";
    EXPECT_EQ(fake.textures.load(), 0);
}

TEST(UnitWorkEntryTest, SampleArchivesHoldEveryAnimatedWork)
{
    // One type of each figure family: worker, rider, gun, machine gunner, aircraft, tank, ship.
    for (int index : {0, 4, 5, 6, 11, 14, 20}) {
        const sampledata::SampleUnitType& type = sampledata::kSampleUnitTypes[static_cast<std::size_t>(index)];
        const auto sizes = sampledata::SampleAnimationSizes(type);
        const std::vector<sampledata::LesSource> entries = sampledata::MakeSampleUnitArchive(type);
        std::vector<int> seen(UNIT_COUNT_WORK, -1);
        for (const sampledata::LesSource& e : entries) {
            TUnitWorkArchive archive;
            ASSERT_TRUE(ParseUnitWorkEntry(e.data, archive)) << type.name << " work " << e.id;
            EXPECT_EQ(archive.layerBits & UNIT_LAYER2_BIT, UNIT_LAYER2_BIT) << "every figure casts a shadow";
            EXPECT_EQ(archive.headers[0][0].width, type.width);
            seen[e.id] = archive.frameCount;
        }
        for (int work = 0; work < UNIT_COUNT_WORK; ++work) {
            const int expected = work == 3 ? 1 : sizes[static_cast<std::size_t>(work)] != 0 ? sizes[static_cast<std::size_t>(work)] : -1;
            EXPECT_EQ(seen[work], expected) << type.name << " work " << work;
        }
    }
}

TEST(UnitWorkEntryTest, RefusesBrokenEntries)
{
    const std::vector<std::uint8_t> good = sampledata::BuildUnitWorkEntry(Frames(2, 6, 5, true, true));
    TUnitWorkArchive archive;
    ASSERT_TRUE(ParseUnitWorkEntry(good, archive));
    EXPECT_EQ(archive.frameCount, 2);
    EXPECT_EQ(archive.layerBits, 3);
    EXPECT_EQ(archive.headers[1].size(), 10u);

    auto at = [](std::vector<std::uint8_t> v, std::size_t i, std::uint8_t b) {
        v[i] = b;
        return v;
    };
    const std::size_t firstHeader = 2;
    const std::size_t offsets = 2 + 10 * 20;
    const struct {
        const char* what;
        std::vector<std::uint8_t> bytes;
    } cases[] = {
        {"empty", {}},
        {"more frames than headers", at(good, 0, 200)},
        {"width beyond the texture", at(good, firstHeader + 4, 200)},
        {"zero height", at(at(good, firstHeader + 6, 0), firstHeader + 7, 0)},
        {"pixels beyond the entry", at(good, firstHeader + 19, 0x7F)},
        {"layer 3 headers beyond the entry", at(good, offsets + 3, 0x7F)},
        {"layer 2 headers inside the head", at(at(good, offsets + 4, 1), offsets + 5, 0)},
        {"cut short", std::vector<std::uint8_t>(good.begin(), good.begin() + 100)},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(ParseUnitWorkEntry(c.bytes, archive)) << c.what;
}

} // namespace
