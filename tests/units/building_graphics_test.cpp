#include "units/building_graphics.h"

#include <string>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include "building_graphics.h"
#include "core/archive.h"
#include "core/loader_thread.h"
#include "house_fixture.h"
#include "map/map_fixture.h"
#include "platform/raster.h"
#include "platform/texture.h"

using housetest::HouseWorld;
using maptest::LogWatch;

namespace {

// Requests wait here until the test runs them, as the loader thread would.
class FakeLoader {
public:
    FakeLoader()
        : m_Saved(HouseGraphicServices())
    {
        HouseGraphicServices().request = [this](std::unique_ptr<TLoaderRequest> r) { queue.push_back(std::move(r)); };
        HouseGraphicServices().sleepMs = [](std::uint32_t) {};
    }
    ~FakeLoader() { HouseGraphicServices() = m_Saved; }
    void RunAll()
    {
        for (auto& r : queue) {
            const auto& p = std::get<THouseSpritesPayload>(r->payload);
            p.phase->LoadSprites(p.houseType, p.phaseCode);
        }
        queue.clear();
    }
    std::vector<std::unique_ptr<TLoaderRequest>> queue;

private:
    THouseGraphicServices m_Saved;
};

void SetUpBarracksGraphics()
{
    const auto& sample = sampledata::kSampleHouseTypes[HOUSE_BARRACKS];
    ASSERT_TRUE(sampledata::WriteLesArchive(".", "Data\\Objects\\Houses\\Barracks.les",
                                            sampledata::BuildHouseArchiveEntries(sample, false)));
    THouseType& t = HouseType(0, HOUSE_BARRACKS);
    t.m_DepthKind = sampledata::kSampleHouseDepthKind;
    t.m_ConstructionPhaseCount = sampledata::kSampleHouseConstructionStages;
    t.m_RuinPhaseCount = sampledata::kSampleHouseRuins;
    CHousePhaseGraphic::Load(t.m_ArchiveSlot, "Barracks");
    ASSERT_NE(t.m_pFinishedPhase, nullptr);
}

TEST(BuildingGraphics, PhaseCodes)
{
    EXPECT_EQ(HousePhaseCode(HOUSE_STATE_FINISHED, 0), 0);
    EXPECT_EQ(HousePhaseCode(HOUSE_STATE_CONSTRUCTION, 0), 10);
    EXPECT_EQ(HousePhaseCode(HOUSE_STATE_CONSTRUCTION, 3), 40);
    EXPECT_EQ(HousePhaseCode(HOUSE_STATE_RUIN, 0), 50);
    EXPECT_EQ(HousePhaseCode(HOUSE_STATE_RUIN, 1), 60);
    EXPECT_EQ(HousePhaseCode(HOUSE_STATE_RUIN, 2), -1);
    EXPECT_EQ(HousePhaseCode(3, 0), -1);
}

TEST(BuildingGraphics, TheOldPhaseStaysShownUntilTheNewOneIsLoaded)
{
    HouseWorld w;
    FakeLoader loader;
    SetUpBarracksGraphics();
    THouseType& t = HouseType(0, HOUSE_BARRACKS);
    THouse& h = w.Place(0, 12, 30, HOUSE_BARRACKS);
    ASSERT_TRUE(h.AcquirePhaseGraphic(HOUSE_STATE_CONSTRUCTION, 0));
    CHousePhaseGraphic* stage = t.m_pConstructionPhases[0];
    EXPECT_EQ(stage->m_RefCount, 1);
    EXPECT_EQ(stage->State(), PHASE_LOADING);
    ASSERT_EQ(loader.queue.size(), 1u);
    loader.RunAll();
    ASSERT_EQ(stage->State(), PHASE_LOADED);
    EXPECT_NE(stage->m_pTexture, nullptr);
    EXPECT_NE(stage->m_pDepthMap, nullptr);
    EXPECT_EQ(stage->m_OverlayFlag, 1);

    // Finished, but its picture is still loading: the construction stage stays held and drawn.
    h.BuildWork = 0;
    ASSERT_TRUE(h.AcquirePhaseGraphic(HOUSE_STATE_FINISHED, 0));
    h.ReleasePhaseGraphic();
    EXPECT_EQ(stage->m_RefCount, 1);
    EXPECT_EQ(h.ConstructionHeld[0], 1);
    plat::RasterVertex quad[4];
    EXPECT_TRUE(h.MakeDrawQuad(quad));
    EXPECT_FLOAT_EQ(quad[1].x - quad[0].x, static_cast<float>(stage->m_TextureInfo.width));

    loader.RunAll();
    h.ReleasePhaseGraphic();
    EXPECT_EQ(h.ConstructionHeld[0], 0);
    EXPECT_EQ(stage->m_RefCount, 0);
    EXPECT_EQ(stage->State(), PHASE_NOT_LOADED); // the last reference freed it
    EXPECT_EQ(t.m_pFinishedPhase->m_RefCount, 1);
    EXPECT_TRUE(h.MakeDrawQuad(quad));
}

TEST(BuildingGraphics, TypesNamingAnotherTypeShareItsPhases)
{
    HouseWorld w;
    FakeLoader loader;
    SetUpBarracksGraphics();
    THouseType& other = HouseType(1, HOUSE_BARRACKS);
    other = HouseType(0, HOUSE_BARRACKS);
    other.m_pFinishedPhase = nullptr;
    for (auto& p : other.m_pConstructionPhases)
        p = nullptr;
    for (auto& p : other.m_pRuinPhases)
        p = nullptr;
    CHousePhaseGraphic::Load(static_cast<std::uint32_t>(HouseGraphicsSlot(1, HOUSE_BARRACKS)), "104");
    EXPECT_EQ(other.m_pFinishedPhase, HouseType(0, 4).m_pFinishedPhase); // "104": side 0, type 4
    CHousePhaseGraphic::Load(static_cast<std::uint32_t>(HouseGraphicsSlot(2, HOUSE_BARRACKS)), "103");
    THouseType& third = HouseType(2, HOUSE_BARRACKS);
    EXPECT_EQ(third.m_pFinishedPhase, HouseType(0, HOUSE_BARRACKS).m_pFinishedPhase);
    EXPECT_EQ(third.m_ArchiveSlot, static_cast<std::uint32_t>(HouseGraphicsSlot(0, HOUSE_BARRACKS)));

    THouse* a = CreateHouseRecord(10, 30, HOUSE_BARRACKS, 0);
    THouse* b = CreateHouseRecord(20, 30, HOUSE_BARRACKS, 2);
    a->AcquirePhaseGraphic(HOUSE_STATE_RUIN, 1);
    b->AcquirePhaseGraphic(HOUSE_STATE_RUIN, 1);
    CHousePhaseGraphic* ruin = HouseType(0, HOUSE_BARRACKS).m_pRuinPhases[1];
    EXPECT_EQ(ruin->m_RefCount, 2);
    EXPECT_EQ(loader.queue.size(), 1u); // one load for both
    loader.RunAll();
    EXPECT_EQ(ruin->State(), PHASE_LOADED);
    a->ReleaseAllPhases();
    EXPECT_EQ(ruin->State(), PHASE_LOADED);
    b->ReleaseAllPhases();
    EXPECT_EQ(ruin->State(), PHASE_NOT_LOADED);
    delete a;
    delete b;

    LogWatch log;
    ruin->Release();
    EXPECT_EQ(log.Count("CHousePhaseGraphic::m_RefCount = 0"), 1);
}

TEST(BuildingGraphics, AFailingArchiveEndsInTheFinalStateAndTeardownFinishes)
{
    HouseWorld w;
    FakeLoader loader;
    std::vector<sampledata::LesSource> entries = {{"phase0.img", 0, {1, 2, 3}}};
    ASSERT_TRUE(sampledata::WriteLesArchive(".", "Data\\Objects\\Houses\\Broken.les", entries));
    THouseType& t = HouseType(0, HOUSE_MARKET);
    t.m_ConstructionPhaseCount = 1;
    t.m_RuinPhaseCount = 1;
    CHousePhaseGraphic::Load(t.m_ArchiveSlot, "Broken");
    THouse* h = CreateHouseRecord(10, 30, HOUSE_MARKET, 0);
    ASSERT_TRUE(h->AcquirePhaseGraphic(HOUSE_STATE_FINISHED, 0));
    LogWatch log;
    loader.RunAll();
    EXPECT_EQ(t.m_pFinishedPhase->State(), PHASE_FAILED);
    EXPECT_EQ(t.m_pFinishedPhase->m_pPicture, nullptr);
    EXPECT_GT(log.Count("CHousePhaseGraphic::LoadSprites"), 0);
    plat::RasterVertex quad[4];
    EXPECT_FALSE(h->MakeDrawQuad(quad));
    // No second request for a phase that cannot load.
    h->AcquirePhaseGraphic(HOUSE_STATE_FINISHED, 0);
    EXPECT_TRUE(loader.queue.empty());
    h->ReleaseAllPhases(); // frees without waiting for ever
    EXPECT_EQ(t.m_pFinishedPhase->State(), PHASE_NOT_LOADED);
    delete h;
}

TEST(BuildingGraphics, RawDepthArraysMustHoldTheWholeSprite)
{
    HouseWorld w;
    // The sample picture of the finished barracks, then a raw depth entry of a given size.
    std::vector<sampledata::LesSource> entries;
    for (const auto& e : sampledata::BuildHouseArchiveEntries(sampledata::kSampleHouseTypes[HOUSE_BARRACKS], false))
        if (e.id == 0)
            entries.push_back(e);
    ASSERT_EQ(entries.size(), 1u);
    const struct {
        std::uint16_t w, h;
        std::size_t depthBytes;
        std::uint8_t state;
    } cases[] = {
        {4, 2, 16, PHASE_LOADED},
        {4, 2, 15, PHASE_FAILED},
        // 65535 x 32769 x 2 is 65534 modulo 2^32.
        {65535, 32769, 65534, PHASE_FAILED},
        {HOUSE_SPRITE_MAX_SIDE + 1, 1, 2 * (HOUSE_SPRITE_MAX_SIDE + 1), PHASE_FAILED},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> depth(c.depthBytes);
        for (std::size_t i = 0; i < depth.size(); ++i)
            depth[i] = static_cast<std::uint8_t>(i);
        auto archive = entries;
        archive.push_back({"depth", 2, depth});
        ASSERT_TRUE(sampledata::WriteLesArchive(".", "Data\\Objects\\Houses\\Raw.les", archive));
        THouseType& t = HouseType(0, HOUSE_MARKET);
        t.m_DepthKind = 0;
        t.m_SpriteWidth = c.w;
        t.m_SpriteHeight = c.h;
        CHousePhaseGraphic::Free(t);
        CHousePhaseGraphic::Load(t.m_ArchiveSlot, "Raw");
        CHousePhaseGraphic& phase = *t.m_pFinishedPhase;
        LogWatch log;
        phase.LoadSprites(&t, 0);
        EXPECT_EQ(phase.State(), c.state) << c.w << " x " << c.h;
        if (c.state == PHASE_LOADED) {
            ASSERT_NE(phase.m_pDepth, nullptr);
            EXPECT_EQ(phase.m_pDepth[7], 0x0F0E);
        }
        phase.WaitAndFree();
    }
}

TEST(BuildingGraphics, TextureEntriesAreCheckedBeforeUse)
{
    const std::vector<std::uint8_t> good = sampledata::EncodeHouseTexture(2, 1, {1, 0}, {255, 0, 0, 0, 0, 0});
    THouseTextureInfo info;
    const std::uint8_t* pixels = nullptr;
    ASSERT_TRUE(ParseHouseTexture(good.data(), static_cast<std::uint32_t>(good.size()), info, pixels));
    EXPECT_EQ(info.width, 2);
    EXPECT_EQ(pixels[0] | (pixels[1] << 8), 0xFF00);
    EXPECT_FALSE(ParseHouseTexture(good.data(), static_cast<std::uint32_t>(good.size() - 1), info, pixels));
    std::vector<std::uint8_t> bad = good;
    bad[0] = 'X';
    EXPECT_FALSE(ParseHouseTexture(bad.data(), static_cast<std::uint32_t>(bad.size()), info, pixels));
    int side = 0, type = 0;
    EXPECT_TRUE(ParseBorrowedHouseName("622", side, type));
    EXPECT_EQ(side, 5);
    EXPECT_FALSE(ParseBorrowedHouseName("725", side, type));
    EXPECT_FALSE(ParseBorrowedHouseName("Barracks", side, type));
}

} // namespace
