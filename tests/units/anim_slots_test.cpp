#include "units/anim_slots.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archives.h"
#include "core/archive.h"
#include "devices/device_fixture.h"
#include "images.h"
#include "parameters.h"
#include "platform/paths.h"
#include "platform/texture.h"

using namespace sampledata;

namespace {

class AnimationSlots : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        plat::SetGameRoot(dir.Path());
    }
    void TearDown() override
    {
        FreeAnimations();
        for (TAnimationSlot& s : g_Animations)
            s.Reset();
        plat::SetGameRoot(".");
        DeviceTest::TearDown();
    }

    static std::vector<AnimationSlotEntry> Entries(int count, float step = 1.0f)
    {
        std::vector<AnimationSlotEntry> entries;
        for (int i = 0; i < count; ++i)
            entries.push_back({"Anim" + std::to_string(i), static_cast<std::uint8_t>(i), step,
                             static_cast<std::uint8_t>(i % 7), 32, 16, static_cast<std::uint16_t>(i), 3});
        return entries;
    }
    static bool ParseList(const std::vector<std::uint8_t>& file) { return ParseAnimationList(file); }

    // A slot whose archive holds the given frame entries (ids 1, 2, ...).
    TAnimationSlot& SlotWithFrames(const std::vector<std::vector<std::uint8_t>>& frames)
    {
        std::vector<LesSource> entries;
        for (std::size_t i = 0; i < frames.size(); ++i)
            entries.push_back({"f" + std::to_string(i), static_cast<std::uint16_t>(i + 1), frames[i]});
        EXPECT_TRUE(WriteLesArchive(dir.Path(), "Data/Objects/Animation/Test.les", entries));
        AnimationSlotEntry entry{"Test", 0, 0.5f, static_cast<std::uint8_t>(frames.size()), 64, 64};
        EXPECT_TRUE(ParseList(BuildAnimationList({entry})));
        return g_Animations[0];
    }
};

std::vector<std::uint16_t> Solid(int w, int h, std::uint16_t argb)
{
    return std::vector<std::uint16_t>(static_cast<std::size_t>(w) * h, argb);
}

} // namespace

TEST_F(AnimationSlots, ListFillsTheSlotsAndForcesTheMapObjectSteps)
{
    ASSERT_TRUE(ParseList(BuildAnimationList(Entries(20, 0.75f))));
    const TAnimationSlot& s = g_Animations[3];
    EXPECT_STREQ(s.m_Name, "Data\\Objects\\Animation\\Anim3.les");
    EXPECT_EQ(s.m_Mode, 3u);
    EXPECT_EQ(s.m_FrameStep, 0.75f);
    EXPECT_EQ(s.m_FrameCount, 3);
    EXPECT_EQ(s.m_FrameWidth, 32);
    EXPECT_EQ(s.m_FrameHeight, 16);
    EXPECT_EQ(s.m_OffsetX, 3);
    EXPECT_EQ(s.m_OffsetY, 3);
    EXPECT_FALSE(s.Loaded());
    EXPECT_EQ(g_Animations[19].m_FrameCount, 19 % 7);
    EXPECT_STREQ(g_Animations[20].m_Name, "");
    EXPECT_EQ(g_Animations[20].m_FrameWidth, 64);

    for (int slot : {17, 18, 15, 16})
        EXPECT_EQ(g_Animations[slot].m_FrameStep, 0.01f) << slot;
    for (int slot : {5, 6})
        EXPECT_EQ(g_Animations[slot].m_FrameStep, 0.005f) << slot;
    EXPECT_EQ(g_Animations[7].m_FrameStep, 0.75f);

    const struct {
        std::uint16_t code;
        int slot;
    } objects[] = {{9694, 17}, {9695, 18}, {9696, 15}, {9697, 16}, {9698, 5}, {9699, 6}, {9601, 8}, {9602, 9}, {9603, 9}};
    for (const auto& o : objects) {
        const TAnimationStruct* a = FixedAnimationForObject(o.code);
        ASSERT_NE(a, nullptr) << o.code;
        EXPECT_EQ(a->m_pSprites, &g_Animations[o.slot].m_Sprites) << o.code;
        EXPECT_EQ(a->m_Speed, g_Animations[o.slot].m_FrameStep) << o.code;
        EXPECT_EQ(a->m_Position, 0.0f);
    }
    EXPECT_EQ(FixedAnimationForObject(9600), nullptr);
}

TEST_F(AnimationSlots, CountsBeyondTheSlotsOrTheFileAreCut)
{
    std::string log = LoggedBy([&] { ASSERT_TRUE(ParseList(BuildAnimationList(Entries(60)))); });
    EXPECT_NE(log.find("60 records for 50 slots"), std::string::npos);
    EXPECT_STREQ(g_Animations[49].m_Name, "Data\\Objects\\Animation\\Anim49.les");

    auto file = BuildAnimationList(Entries(5));
    file.resize(4 + 3 * ANF_RECORD_SIZE + 20);
    log = LoggedBy([&] { ASSERT_TRUE(ParseList(file)); });
    EXPECT_NE(log.find("ends after 3 of 5"), std::string::npos);
    EXPECT_STREQ(g_Animations[2].m_Name, "Data\\Objects\\Animation\\Anim2.les");
    EXPECT_STREQ(g_Animations[3].m_Name, "");
    EXPECT_STREQ(g_Animations[49].m_Name, "");

    file = BuildAnimationList(Entries(2));
    file[3] = 0x80; // a negative count
    ASSERT_TRUE(ParseList(file));
    EXPECT_STREQ(g_Animations[0].m_Name, "");

    EXPECT_FALSE(ParseList({1, 0, 0}));

    // a name that fills its 30 bytes keeps 29 characters
    file = BuildAnimationList(Entries(1));
    std::fill(file.begin() + 4, file.begin() + 4 + ANF_NAME_SIZE, 'n');
    ASSERT_TRUE(ParseList(file));
    EXPECT_EQ(std::string(g_Animations[0].m_Name), "Data\\Objects\\Animation\\" + std::string(29, 'n') + ".les");
}

TEST_F(AnimationSlots, RawAndBmpFramesLoad)
{
    auto shortRaw = MakeRawAnimationFrame(4, 3, Solid(4, 3, 0xF0F0));
    shortRaw.resize(shortRaw.size() - 4); // the form whose last two pixels are not stored
    const std::vector<std::uint32_t> red(5 * 5, 0xFF0000);
    TAnimationSlot& slot = SlotWithFrames({MakeRawAnimationFrame(8, 6, Solid(8, 6, 0xFF00)), shortRaw,
                                           MakeBmp24(5, 5, red)});
    LoadAnimation(0);
    EXPECT_TRUE(slot.Loaded());
    ASSERT_EQ(slot.m_Sprites.m_Count, 3);
    const plat::Texture* raw = slot.m_Sprites.FrameTexture(0);
    ASSERT_NE(raw, nullptr);
    EXPECT_EQ(raw->Pixels().Row16(5)[7], 0xFF00);
    const plat::Texture* cut = slot.m_Sprites.FrameTexture(1);
    ASSERT_NE(cut, nullptr);
    EXPECT_EQ(cut->Pixels().Row16(0)[0], 0xF0F0);
    EXPECT_EQ(cut->Pixels().Row16(2)[1], 0xF0F0);
    EXPECT_EQ(cut->Pixels().Row16(2)[2], 0);
    EXPECT_EQ(cut->Pixels().Row16(2)[3], 0);
    EXPECT_NE(slot.m_Sprites.FrameTexture(2), nullptr);
    // the size of the last raw frame is the slot's
    EXPECT_EQ(slot.m_FrameWidth, 4);
    EXPECT_EQ(slot.m_FrameHeight, 3);
    EXPECT_EQ(GetLesEntryCount(LES_SLOT_ANIMATION), 0u);

    EXPECT_TRUE(FreeAnimations());
    EXPECT_EQ(slot.m_Sprites.m_Count, 0);
    EXPECT_FALSE(slot.Loaded());
}

TEST_F(AnimationSlots, TinyRawFramesReadOnlyWithinTheirEntries)
{
    // Entries whose size matches a raw form of one or two pixels; the shorter form of a single
    // pixel is smaller than the head and stores no pixel.
    const struct {
        int w, h;
        std::size_t cut; // bytes taken off the full form
        std::uint16_t first;
    } cases[] = {{1, 1, 4, 0}, {1, 1, 0, 0xF00F}, {2, 1, 4, 0}, {1, 2, 0, 0xF00F}};
    std::vector<std::vector<std::uint8_t>> frames;
    for (const auto& c : cases) {
        auto frame = MakeRawAnimationFrame(c.w, c.h, Solid(c.w, c.h, 0xF00F));
        frame.resize(frame.size() - c.cut);
        frames.push_back(frame);
    }
    TAnimationSlot& slot = SlotWithFrames(frames);
    LoadAnimation(slot);
    ASSERT_EQ(slot.m_Sprites.m_Count, static_cast<int>(std::size(cases)));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const plat::Texture* t = slot.m_Sprites.FrameTexture(static_cast<int>(i));
        ASSERT_NE(t, nullptr) << i;
        EXPECT_EQ(t->Pixels().Row16(0)[0], cases[i].first) << i;
    }
}

TEST_F(AnimationSlots, FirstFailedFrameStopsTheLoad)
{
    std::vector<std::uint8_t> garbage(50, 0x11);
    TAnimationSlot& slot = SlotWithFrames({MakeRawAnimationFrame(8, 6, Solid(8, 6, 0xFF00)), garbage,
                                           MakeRawAnimationFrame(8, 6, Solid(8, 6, 0xFF00))});
    // a raw frame one byte short of either form is no picture either
    std::string log = LoggedBy([&] { LoadAnimation(slot); });
    EXPECT_NE(log.find("Animation load failed in Data\\Objects\\Animation\\Test.les"), std::string::npos);
    EXPECT_EQ(slot.m_Sprites.m_Count, 1);
    EXPECT_EQ(GetLesEntryCount(LES_SLOT_ANIMATION), 0u);

    auto oneShort = MakeRawAnimationFrame(8, 6, Solid(8, 6, 0xFF00));
    oneShort.pop_back();
    TAnimationSlot& again = SlotWithFrames({oneShort});
    LoggedBy([&] { LoadAnimation(again); });
    EXPECT_EQ(again.m_Sprites.m_Count, 0);

    ASSERT_TRUE(ParseList(BuildAnimationList({{"Missing", 0, 1.0f, 4}})));
    log = LoggedBy([&] { LoadAnimation(0); });
    EXPECT_NE(log.find("animation file load failed in Data\\Objects\\Animation\\Missing.les"), std::string::npos);
    EXPECT_TRUE(g_Animations[0].Loaded());
    EXPECT_EQ(g_Animations[0].m_FrameCount, 0);
}

TEST_F(AnimationSlots, LoadingABoundSlotRebindsItsInstance)
{
    std::vector<AnimationSlotEntry> entries = Entries(19);
    entries[8] = {"Oil", 0, 0.1f, 2, 8, 6};
    EXPECT_TRUE(WriteLesArchive(dir.Path(), "Data/Objects/Animation/Oil.les",
                                {{"a", 1, MakeRawAnimationFrame(8, 6, Solid(8, 6, 0xF00F))},
                                 {"b", 2, MakeRawAnimationFrame(8, 6, Solid(8, 6, 0xF0F0))}}));
    ASSERT_TRUE(ParseList(BuildAnimationList(entries)));
    TAnimationStruct* oil = FixedAnimationForObject(9601);
    EXPECT_EQ(oil->m_EndFrame, 0);
    LoadAnimation(8);
    EXPECT_EQ(oil->m_EndFrame, 2);
}

TEST_F(AnimationSlots, SampleListLoadsEverySlot)
{
    ASSERT_TRUE(WriteAnimationSlots(dir.Path()));
    ASSERT_TRUE(LoadAnimationList());
    const auto entries = SampleAnimationSlots();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        LoadAnimation(static_cast<int>(i));
        EXPECT_EQ(g_Animations[i].m_Sprites.m_Count, entries[i].frames) << entries[i].name;
    }
    std::filesystem::remove(dir / "Data/Animation.anf");
    const std::string log = LoggedBy([] { EXPECT_FALSE(LoadAnimationList()); });
    EXPECT_NE(log.find("Cant open Data\\Animations.anf"), std::string::npos);
}
