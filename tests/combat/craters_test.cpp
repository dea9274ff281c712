#include "combat/craters.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/app_state.h"
#include "core/game_folder_fixture.h"
#include "core/memory_stream.h"
#include "devices/d3d_device.h"
#include "devices/display.h"
#include "effects_art.h"
#include "support/test_world.h"

namespace {

using testworld::TestWorld;

// A 40 x 120 map (3840 x 2880 pixels) with the sample crater archives.
class CraterTest : public GameFolderTest {
protected:
    void SetUp() override
    {
        GameFolderTest::SetUp();
        ASSERT_TRUE(DirectDrawInit(nullptr, 0));
        ASSERT_TRUE(Direct3DInit());
        world = std::make_unique<TestWorld>(40, 120);
        BattleServices().queueText = [this](int x, int y, const char16_t* text, int frames, std::uint32_t colour) {
            texts.push_back(text);
            EXPECT_EQ(x, 50);
            EXPECT_EQ(y, 320);
            EXPECT_EQ(frames, 100);
            EXPECT_EQ(colour, 0xffffffu);
        };
        ASSERT_TRUE(sampledata::WriteEffectsArt(dir.Path()));
    }
    void TearDown() override
    {
        g_bEditorMode = 0;
        world.reset();
        Direct3DFree();
        DirectDrawFree();
        GameFolderTest::TearDown();
    }

    std::unique_ptr<TestWorld> world;
    std::vector<std::u16string> texts;
};

TEST_F(CraterTest, SetsAreCountedFromTheThreeArchives)
{
    TCraters c;
    EXPECT_EQ(c.SetCount(), sampledata::kFlatCraters + sampledata::kUprightCraters + 1);
    EXPECT_EQ(c.LifeOf(0, ANIMATION_LYING), CRATER_LIFE_LYING);
    EXPECT_EQ(c.LifeOf(2, ANIMATION_LYING), 2);
    EXPECT_EQ(c.LifeOf(13, ANIMATION_UPRIGHT), 0);
    // The last set is the burst picture, entry 65535 of its archive.
    EXPECT_TRUE(c.EnsureSet(static_cast<std::uint8_t>(c.SetCount() - 1)));
}

TEST_F(CraterTest, MarginsDuplicatesAndUnknownSets)
{
    TCraters c;
    struct Case {
        std::uint32_t x, y;
        bool accepted;
    } cases[] = {
        {193, 73, true},          {192, 500, false},  {500, 72, false},  {3840 - 193, 500, true},
        {3840 - 192, 500, false}, {500, 2880 - 73, true}, {500, 2880 - 72, false},
        {0xFFFFFFF0u, 500, false}, // a point left of the map
    };
    for (const Case& k : cases)
        EXPECT_EQ(c.AddPicture(k.x, k.y, 1) != nullptr, k.accepted) << k.x << "," << k.y;
    EXPECT_EQ(c.AddPicture(193, 73, 1), nullptr);    // the same set at the same point
    EXPECT_NE(c.AddPicture(193, 73, 2), nullptr);    // another set there
    EXPECT_EQ(c.AddPicture(600, 600, 200), nullptr); // no such set
    EXPECT_EQ(c.PictureCount(), 4);
    EXPECT_EQ(c.Picture(0)->m_Repeat, CRATER_LIFE_LYING);
}

TEST_F(CraterTest, TheEditorHoldsThreeHundredPicturesAndTheGameAny)
{
    g_bEditorMode = 1;
    TCraters editor;
    for (int i = 0; i < CRATER_EDITOR_LIMIT; ++i)
        ASSERT_NE(editor.AddPicture(200 + i, 100, 0), nullptr) << i;
    EXPECT_EQ(editor.AddPicture(200, 200, 0), nullptr);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], u"Can't add more 300 pictures. Clear unnecessary.");
    g_bEditorMode = 0;
    TCraters game;
    for (int i = 0; i <= CRATER_EDITOR_LIMIT; ++i)
        ASSERT_NE(game.AddPicture(200 + i, 100, 0), nullptr) << i;
    EXPECT_EQ(texts.size(), 1u);
}

TEST_F(CraterTest, TheBlockRoundTripsByteForByteAndRefusesUnknownSets)
{
    TCraters c;
    ASSERT_NE(c.AddPicture(300, 200, 0), nullptr);
    ASSERT_NE(c.AddPicture(700, 400, 5), nullptr);
    ASSERT_NE(c.AddPicture(900, 400, 13), nullptr);
    TOfStreamMemory out;
    c.SaveCraters(out);
    ASSERT_EQ(out.Size(), 2 + 3 * ANIMATION_RECORD_SIZE);

    TCraters d;
    TIfStreamMemory in(out.Data(), out.Size());
    ASSERT_TRUE(d.LoadCraters(in));
    TOfStreamMemory again;
    d.SaveCraters(again);
    ASSERT_EQ(again.Size(), out.Size());
    EXPECT_TRUE(std::equal(out.Data(), out.Data() + out.Size(), again.Data()));

    // A picture of a set this store lacks is left out; the others stay.
    std::vector<std::uint8_t> bytes(out.Data(), out.Data() + out.Size());
    bytes[2 + ANIMATION_RECORD_SIZE] = 250;
    TIfStreamMemory bad(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    ASSERT_TRUE(d.LoadCraters(bad));
    EXPECT_EQ(d.PictureCount(), 2);
    // A block cut inside a picture fails.
    TIfStreamMemory cut(bytes.data(), 2 + ANIMATION_RECORD_SIZE + 10);
    EXPECT_FALSE(d.LoadCraters(cut));
}

TEST_F(CraterTest, ThePictureFileKeepsTheRectangleAndMovesToTheOrigin)
{
    TCraters c;
    ASSERT_NE(c.AddPicture(300, 200, 0), nullptr);
    ASSERT_NE(c.AddPicture(700, 400, 3), nullptr);
    ASSERT_NE(c.AddPicture(2000, 400, 3), nullptr); // outside the rectangle
    ASSERT_TRUE(c.SavePictures("pics.dat", plat::Rect{250, 150, 1000, 1000}));
    const auto file = testsupport::ReadAll(dir / "pics.dat");
    ASSERT_EQ(file.size(), 2u + 2 * 9);
    EXPECT_EQ(file[0], 2);
    float x = 0;
    std::memcpy(&x, file.data() + 2, 4);
    EXPECT_EQ(x, 50.0f);
    EXPECT_EQ(file[2 + 8], 0);

    TCraters d;
    ASSERT_TRUE(d.LoadPictures("pics.dat", plat::Point{1000, 1000}));
    ASSERT_EQ(d.PictureCount(), 2);
    EXPECT_EQ(d.Picture(0)->m_X, 1050.0f);
    EXPECT_EQ(d.Picture(1)->m_Y, 1250.0f);
    EXPECT_EQ(d.Picture(1)->set, 3);
    ASSERT_TRUE(d.SavePictures("again.dat", plat::Rect{1000, 1000, 1750, 1850}));
    EXPECT_EQ(testsupport::ReadAll(dir / "again.dat"), file);
}

} // namespace
