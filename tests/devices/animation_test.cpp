#include "devices/animation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "animations.h"
#include "core/archive.h"
#include "core/memory_stream.h"
#include "device_fixture.h"
#include "map/map_view.h"
#include "platform/texture.h"

using sampledata::AnimationFrame;
using sampledata::HotSpot;

namespace {

// Opaque ARGB 4444 colours with channels 0 or 15, so that their display pixels are exact.
constexpr std::uint16_t kPalette[] = {0xFF00, 0xF0F0, 0xF00F, 0xFFFF, 0xFFF0, 0xF0FF, 0xFF0F, 0xF888};

std::uint16_t Display16(std::uint16_t argb4444)
{
    auto full = [](int nibble) { return static_cast<std::uint8_t>(nibble * 17); };
    return MakeColor16(full((argb4444 >> 8) & 0xF), full((argb4444 >> 4) & 0xF), full(argb4444 & 0xF));
}

// Frame i is a solid rectangle in kPalette[i].
std::vector<AnimationFrame> SolidFrames(int count, int width, int height)
{
    std::vector<AnimationFrame> frames;
    for (int i = 0; i < count; ++i)
        frames.push_back({width, height, std::vector<std::uint16_t>(static_cast<std::size_t>(width) * height,
                                                                    kPalette[i % 8])});
    return frames;
}

class Animation : public SpriteDrawTest {
protected:

    std::string WritePack(const std::string& name, const std::vector<sampledata::LesSource>& entries)
    {
        EXPECT_TRUE(sampledata::WriteLesArchive(dir.Path(), name, entries));
        return dir / name;
    }
    std::uint16_t Pixel(int x, int y) const { return g_pDDSBack->Pixels().Row16(y)[x]; }
    int DrawnPixels() const
    {
        int n = 0;
        for (int y = 0; y < g_pDDSBack->Height(); ++y)
            for (int x = 0; x < g_pDDSBack->Width(); ++x)
                n += Pixel(x, y) != 0;
        return n;
    }

};

} // namespace

TEST_F(Animation, PackGivesOneFramePerEntryAndTheHotSpot)
{
    const std::string path =
        WritePack("fire.les", sampledata::MakeAnimationPack(SolidFrames(8, 32, 48), HotSpot{10, 20}));

    TAnimationSprites all;
    EXPECT_EQ(all.LoadAnimationFromArhive(path.c_str(), ANIMATION_FORMAT_4444), 8);
    EXPECT_EQ(all.m_Count, 8);
    EXPECT_EQ(all.m_Width, 32);
    EXPECT_EQ(all.m_Height, 48);
    // the picture point (10, 20) lands on the instance's position
    EXPECT_EQ(all.m_HotX, 6);
    EXPECT_EQ(all.m_HotY, 4);
    for (int i = 0; i < 8; ++i) {
        ASSERT_NE(all.FrameTexture(i), nullptr) << i;
        EXPECT_EQ(all.FrameTexture(i)->Pixels().Row16(47)[31], kPalette[i]) << i;
    }
    // the slot is free again for the next pack
    EXPECT_EQ(GetLesEntryCount(LES_SLOT_ANIMATION), 0u);

    TAnimationSprites one;
    EXPECT_EQ(one.LoadAnimationFromArhive(path.c_str(), ANIMATION_FORMAT_4444, 3), 1);
    EXPECT_EQ(one.m_Count, 1);
    ASSERT_NE(one.FrameTexture(0), nullptr);
    EXPECT_EQ(one.FrameTexture(0)->Pixels().Row16(0)[0], kPalette[3]);

    // loading again replaces the frames
    const std::string plain = WritePack("plain.les", sampledata::MakeAnimationPack(SolidFrames(3, 8, 8), std::nullopt));
    EXPECT_EQ(all.LoadAnimationFromArhive(plain.c_str(), ANIMATION_FORMAT_4444), 3);
    EXPECT_EQ(all.m_Count, 3);
    EXPECT_EQ(all.m_Width, 8);
    all.Release();
    EXPECT_EQ(all.m_Count, 0);
    EXPECT_EQ(all.FrameTexture(0), nullptr);
}

TEST_F(Animation, HotSpotReaderTakesTheFirstTwoWordsLikeAtoi)
{
    struct Case {
        const char* text;
        std::uint16_t width, height;
        std::int16_t hotX, hotY;
    } cases[] = {
        {"10 20", 32, 48, 6, 4},
        {"\r\n  10\r\n20 99", 32, 48, 6, 4},
        {"16 16", 33, 33, 0, 0},     // 16.5 - 16 truncates to 0
        {"17 17", 33, 33, 0, 0},     // -0.5 truncates toward zero
        {"40 -8", 32, 16, -24, 16},  // points outside the picture are allowed
        {"12abc", 32, 32, 4, 16},    // a word is read up to its first non-digit; a missing one is 0
        {"", 10, 10, 5, 5},
        {"99999999 -99999999", 8, 8, -32768, 32767}, // held inside the field
    };
    for (const Case& c : cases) {
        std::int16_t x = 1, y = 1;
        ReadAnimationHotSpot(reinterpret_cast<const std::uint8_t*>(c.text), static_cast<std::int32_t>(std::strlen(c.text)),
                             c.width, c.height, x, y);
        EXPECT_EQ(x, c.hotX) << c.text;
        EXPECT_EQ(y, c.hotY) << c.text;
    }
}

TEST_F(Animation, MissingAndShortFramesStayNullAndBadPacksGiveNothing)
{
    auto entries = sampledata::MakeAnimationPack(SolidFrames(4, 16, 16), HotSpot{8, 8});
    entries.erase(entries.begin() + 1);  // frame 1 is missing
    entries[1].data.resize(4 + 16 * 2);  // frame 2 holds one row instead of sixteen
    const std::string path = WritePack("holes.les", entries);

    TAnimationSprites set;
    std::string log = LoggedBy([&] { EXPECT_EQ(set.LoadAnimationFromArhive(path.c_str(), ANIMATION_FORMAT_4444), 1); });
    // four entries, one of them Info.txt: frames 0..2
    EXPECT_EQ(set.m_Count, 3);
    EXPECT_NE(set.FrameTexture(0), nullptr);
    EXPECT_EQ(set.FrameTexture(1), nullptr);
    EXPECT_EQ(set.FrameTexture(2), nullptr);
    EXPECT_NE(log.find("shorter than the first frame"), std::string::npos) << log;

    // the first frame missing: the size comes from the first frame present
    auto noFirst = sampledata::MakeAnimationPack(SolidFrames(3, 16, 8), std::nullopt);
    noFirst[0].id = 7;
    const std::string noFirstPath = WritePack("nofirst.les", noFirst);
    EXPECT_EQ(set.LoadAnimationFromArhive(noFirstPath.c_str(), ANIMATION_FORMAT_4444), 2);
    EXPECT_EQ(set.m_Width, 16);
    EXPECT_EQ(set.m_Height, 8);
    EXPECT_EQ(set.FrameTexture(0), nullptr);

    log = LoggedBy([&] { EXPECT_EQ(set.LoadAnimationFromArhive(path.c_str(), 2), 0); });
    EXPECT_NE(log.find("TAnimationSprites::LoadAnimationFromArhive(char *_FileName, BYTE _Format) - Unknown _Format"),
              std::string::npos);
    EXPECT_EQ(set.m_Count, 0);
    EXPECT_EQ(GetLesEntryCount(LES_SLOT_ANIMATION), 0u);

    EXPECT_EQ(set.LoadAnimationFromArhive((dir / "none.les").c_str(), ANIMATION_FORMAT_4444), 0);
    EXPECT_EQ(set.m_Count, 0);
    // a slot left open by someone else refuses the pack instead of reading the other archive
    ASSERT_TRUE(Load_LesHeader(LES_SLOT_ANIMATION, path.c_str()));
    EXPECT_EQ(set.LoadAnimationFromArhive(noFirstPath.c_str(), ANIMATION_FORMAT_4444), 0);
    CloseLes(LES_SLOT_ANIMATION);
}

namespace {

struct Step {
    bool draw;
    float position;
};

struct TimingCase {
    const char* what;
    float speed;
    std::uint16_t first, end, repeat, delay;
    std::uint8_t reverse;
    float start;
    std::vector<Step> steps;
    bool finished;
};

} // namespace

TEST(AnimationUpdate, TimingTable)
{
    const TimingCase cases[] = {
        {"half speed, two repeats",
         0.5f, 0, 4, 2, 0, 0, 0.0f,
         {{true, 0.5f}, {true, 1.0f}, {true, 1.5f}, {true, 2.0f}, {true, 2.5f}, {true, 3.0f}, {true, 3.5f},
          {true, 0.0f}, // 4 wraps to the first frame, one repeat left
          {true, 0.5f}, {true, 1.0f}, {true, 1.5f}, {true, 2.0f}, {true, 2.5f}, {true, 3.0f}, {true, 3.5f},
          {false, 0.0f}, // the second wrap ends the last repeat
          {false, 0.0f}},
         true},
        {"end frame beyond the set stops at the count",
         1.0f, 0, 20, 1, 0, 0, 0.0f, {{true, 1.0f}, {true, 2.0f}, {true, 3.0f}, {true, 4.0f}, {true, 5.0f}, {false, 0.0f}}, true},
        {"loop between first and end",
         1.0f, 2, 4, 0, 0, 0, 2.0f, {{true, 3.0f}, {true, 2.0f}, {true, 3.0f}, {true, 2.0f}}, false},
        {"reverse with end frame 0 wraps to the last frame",
         1.0f, 0, 0, 0, 0, 1, 1.0f, {{true, 0.0f}, {true, 5.0f}, {true, 4.0f}}, false},
        {"reverse wraps to the end frame",
         1.0f, 1, 4, 2, 0, 1, 2.0f, {{true, 1.0f}, {true, 4.0f}, {true, 3.0f}, {true, 2.0f}, {true, 1.0f}, {false, 4.0f}},
         true},
        {"start delay of three",
         1.0f, 0, 6, 1, 3, 0, 0.0f, {{false, 0.0f}, {false, 0.0f}, {false, 0.0f}, {true, 1.0f}}, false},
        {"endless never finishes",
         2.0f, 0, 6, 0, 0, 0, 0.0f,
         {{true, 2.0f}, {true, 4.0f}, {true, 0.0f}, {true, 2.0f}, {true, 4.0f}, {true, 0.0f}, {true, 2.0f}},
         false},
    };
    TAnimationSprites set;
    set.m_Count = 6;
    for (const TimingCase& c : cases) {
        TAnimationStruct a;
        a.m_pSprites = &set;
        a.m_Speed = c.speed;
        a.m_FirstFrame = c.first;
        a.m_EndFrame = c.end;
        a.m_Repeat = c.repeat;
        a.m_StartDelay = c.delay;
        a.m_bReverse = c.reverse;
        a.m_Position = c.start;
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            EXPECT_EQ(a.Update(), c.steps[i].draw) << c.what << ", update " << i + 1;
            EXPECT_FLOAT_EQ(a.m_Position, c.steps[i].position) << c.what << ", update " << i + 1;
        }
        EXPECT_EQ(a.m_bFinished != 0, c.finished) << c.what;
        a.m_pSprites = nullptr;
    }
}

TEST(AnimationUpdate, FrameIndexStaysInsideTheSet)
{
    TAnimationSprites set;
    set.m_Count = 4;
    TAnimationStruct a;
    a.m_pSprites = &set;
    const struct {
        float position;
        int frame;
    } cases[] = {{0.0f, 0}, {2.9f, 2}, {4.0f, 3}, {1e30f, 3}, {-0.5f, 0}, {-7.0f, 0}, {std::nanf(""), 0}};
    for (const auto& c : cases) {
        a.m_Position = c.position;
        EXPECT_EQ(a.CurrentFrame(), c.frame) << c.position;
    }
    a.m_pSprites = nullptr;
    EXPECT_EQ(a.CurrentFrame(), 0);
    EXPECT_FALSE(a.Update()); // no set: the position wraps and the single play ends
}

TEST(AnimationPlace, IsInRectIncludesEveryEdge)
{
    TAnimationStruct a;
    const plat::Rect r{10, 20, 30, 40};
    const struct {
        float x, y;
        bool inside;
    } cases[] = {{10, 20, true}, {30, 40, true}, {20, 30, true}, {9.99f, 30, false},
                 {30.01f, 30, false}, {20, 19.5f, false}, {20, 40.5f, false}};
    for (const auto& c : cases) {
        a.m_X = c.x;
        a.m_Y = c.y;
        EXPECT_EQ(a.IsInRect(r), c.inside) << c.x << "," << c.y;
    }
}

TEST_F(Animation, CornersFollowHotSpotPlacementAndGivenHeights)
{
    TAnimationSprites set;
    set.m_Width = 32;
    set.m_Height = 48;
    set.m_HotX = 6;
    set.m_HotY = 4;
    TAnimationStruct a;
    a.SetSprites(&set, false);

    a.SetCoord(100.7f, 200.2f);
    EXPECT_FLOAT_EQ(a.m_X, 100.7f);
    // centre (106, 204): left 90, top 180; lying quads stand 5 above the (flat) ground
    EXPECT_FLOAT_EQ(a.m_Corners[0].x, 90.0f);
    EXPECT_FLOAT_EQ(a.m_Corners[0].y, 180.0f);
    EXPECT_FLOAT_EQ(a.m_Corners[3].x, 122.0f);
    EXPECT_FLOAT_EQ(a.m_Corners[3].y, 228.0f);
    EXPECT_FLOAT_EQ(a.m_Corners[2].h, 5.0f);

    set.m_Location = ANIMATION_UPRIGHT;
    const std::int16_t heights[4] = {1, 2, 3, -4};
    a.SetCoord(100.0f, 200.0f, heights);
    EXPECT_FLOAT_EQ(a.m_Corners[0].h, 1.0f);
    EXPECT_FLOAT_EQ(a.m_Corners[3].h, -4.0f);
    a.SetCoord(100.0f, 200.0f);
    EXPECT_FLOAT_EQ(a.m_Corners[1].h, 0.0f);

    set.m_Location = 7;
    const std::string log = LoggedBy([&] { a.SetCoord(0.0f, 0.0f); });
    EXPECT_NE(log.find("CANT void TAnimationStruct::SetCoord(float _X,float _Y,short Z=32767) for default;"),
              std::string::npos);
    EXPECT_FLOAT_EQ(a.m_X, 0.0f);
    EXPECT_FLOAT_EQ(a.m_Corners[0].x, 90.0f); // the quad stays where it was

    // Direction places the instance and turns it away from the other point.
    set.m_Location = ANIMATION_LYING;
    a.Direction(50.0f, 60.0f, 0.0f, 50.0f, 0.0f, 0.0f);
    EXPECT_FLOAT_EQ(a.m_X, 50.0f);
    EXPECT_NEAR(a.m_Angle, std::numbers::pi_v<float>, 1e-6f);
    a.Direction(0.0f, 0.0f, 0.0f, 10.0f, 0.0f, 0.0f);
    EXPECT_NEAR(a.m_Angle, std::numbers::pi_v<float> * 1.5f, 1e-6f);
}

TEST_F(Animation, VisibleWhenACornerTouchesTheScreen)
{
    TAnimationStruct a;
    g_ViewPixelX = 1000;
    g_ViewPixelY = 500;
    const float right = 1000.0f + g_ScreenWidth, bottom = 500.0f + g_ScreenHeight;
    const struct {
        float x, y;
        bool visible;
    } cases[] = {{1000, 500, true}, {right, bottom, true}, {999, 700, false}, {right + 1, 700, false},
                 {1100, 499, false}, {1100, bottom + 0.5f, false}};
    for (const auto& c : cases) {
        for (TCornerPoint& p : a.m_Corners)
            p = {-5000.0f, -5000.0f, 0.0f};
        a.m_Corners[2] = {c.x, c.y, 0.0f};
        EXPECT_EQ(a.IsVisible(), c.visible) << c.x << "," << c.y;
    }
}

TEST_F(Animation, ShowDrawsTheCurrentFrameAndSkipsMissingOnes)
{
    auto entries = sampledata::MakeAnimationPack(SolidFrames(4, 8, 8), HotSpot{0, 0});
    entries.erase(entries.begin() + 2); // frame 2 is missing; Info.txt takes the fourth place
    entries.push_back({"frame3", 3, entries[0].data});
    const std::string path = WritePack("show.les", entries);
    TAnimationSprites set;
    ASSERT_EQ(set.LoadAnimationFromArhive(path.c_str(), ANIMATION_FORMAT_4444), 3);
    ASSERT_EQ(set.FrameTexture(2), nullptr);

    TAnimationStruct a;
    a.SetSprites(&set, false);
    EXPECT_EQ(a.m_EndFrame, 4);
    a.m_Repeat = 0;
    a.SetCoord(40.0f, 40.0f); // hot spot (4, 4): the quad covers 40..47
    a.Show();                 // position 1
    EXPECT_EQ(Pixel(43, 43), Display16(kPalette[1]));
    EXPECT_EQ(Pixel(39, 43), 0);
    EXPECT_EQ(Pixel(48, 43), 0);

    FillSurface(g_pDDSBack, 0);
    a.Show(); // position 2: no frame, nothing drawn (not a blank quad)
    EXPECT_EQ(DrawnPixels(), 0);

    // the turned drawing falls back to the nearest frame below
    FillSurface(g_pDDSBack, 0);
    a.m_Position = 1.0f;
    a.Show(0u);
    EXPECT_EQ(Pixel(43, 43), Display16(kPalette[1]));

    // nothing is drawn off screen, but the frame still advances
    FillSurface(g_pDDSBack, 0);
    g_ViewPixelX = 5000;
    a.m_Position = 0.0f;
    a.Show();
    EXPECT_EQ(DrawnPixels(), 0);
    EXPECT_FLOAT_EQ(a.m_Position, 1.0f);
    g_ViewPixelX = 0;

    // an unknown placement is logged and ends the instance
    set.m_Location = 9;
    const std::string log = LoggedBy([&] { a.Show(); });
    EXPECT_NE(log.find("Unknown m_AnimationSprites->m_Location in void TAnimationStruct::Show()"), std::string::npos);
    EXPECT_EQ(a.m_bFinished, 1);
    a.m_pSprites = nullptr;
}

TEST_F(Animation, TurnedShowOfAnUprightSetTurnsAboutThePosition)
{
    const auto entries = sampledata::MakeAnimationPack(SolidFrames(2, 8, 8), HotSpot{0, 0});
    const std::string path = WritePack("upright.les", entries);
    TAnimationSprites set;
    ASSERT_EQ(set.LoadAnimationFromArhive(path.c_str(), ANIMATION_FORMAT_4444), 2);
    set.m_Location = ANIMATION_UPRIGHT;
    TAnimationStruct a;
    a.SetSprites(&set, false);
    a.m_Repeat = 0;
    a.SetCoord(100.0f, 100.0f); // hot spot (4, 4): the quad covers 100..107
    a.m_Position = 0.0f;
    a.Show(0u); // advances to frame 1 first
    EXPECT_EQ(Pixel(103, 103), Display16(kPalette[1]));
    EXPECT_EQ(DrawnPixels(), 64);

    // A half turn about the position puts the box on the other side of it.
    FillSurface(g_pDDSBack, 0);
    a.m_Position = 0.0f;
    a.m_Angle = static_cast<float>(std::numbers::pi);
    a.Show(0u);
    const int cx = static_cast<int>(a.m_X), cy = static_cast<int>(a.m_Y);
    EXPECT_EQ(Pixel(2 * cx - 104, 2 * cy - 104), Display16(kPalette[1]));
    EXPECT_NEAR(DrawnPixels(), 64, 16);
    a.m_pSprites = nullptr;
}

TEST_F(Animation, EndlessShowKeepsItsRepeatsAndWaitsOutNoDelay)
{
    TAnimationSprites set;
    set.m_Count = 3;
    TAnimationStruct a;
    a.SetSprites(&set, false);
    a.m_Repeat = 1;
    for (int i = 0; i < 7; ++i)
        a.ShowEndless();
    EXPECT_EQ(a.m_Repeat, 1);
    EXPECT_EQ(a.m_bFinished, 0);
    EXPECT_FLOAT_EQ(a.m_Position, 1.0f); // 1, 2, 0, 1, 2, 0, 1
    a.m_StartDelay = 2;
    a.ShowEndless();
    EXPECT_FLOAT_EQ(a.m_Position, 1.0f);
    a.m_pSprites = nullptr;
}

TEST(AnimationRecord, SaveAndLoadRoundTripTheEightyBytes)
{
    TAnimationStruct a;
    a.m_Type = 7;
    a.m_Repeat = 0x0102;
    a.m_Speed = 0.25f;
    a.m_bOwnsSprites = 0;
    a.m_Position = 3.5f;
    a.m_Factor = -2.0f;
    a.m_FirstFrame = 1;
    a.m_EndFrame = 9;
    a.m_StartDelay = 4;
    a.m_bReverse = 1;
    a.m_bFinished = 1;
    a.m_X = 123.5f;
    a.m_Y = -7.25f;
    a.m_Angle = 1.0f;
    for (int i = 0; i < 4; ++i)
        a.m_Corners[i] = {10.0f * i, 20.0f * i + 1, 0.5f * i};

    TOfStreamMemory out;
    out.WriteU8(0xAB); // records sit inside larger streams
    ASSERT_TRUE(a.Save(out));
    ASSERT_EQ(out.Size(), 1 + ANIMATION_RECORD_SIZE);
    const std::uint8_t* r = out.Data() + 1;
    EXPECT_EQ(r[0], 7);
    EXPECT_EQ(r[1] | r[2] << 8, 0x0102);
    float f;
    std::memcpy(&f, r + 3, 4);
    EXPECT_FLOAT_EQ(f, 0.25f);
    std::memcpy(&f, r + 8, 4);
    EXPECT_FLOAT_EQ(f, 3.5f);
    EXPECT_EQ(r[18] | r[19] << 8, 9); // end frame
    EXPECT_EQ(r[23], 1);              // finished
    std::memcpy(&f, r + 24, 4);
    EXPECT_FLOAT_EQ(f, 123.5f);
    std::memcpy(&f, r + 76, 4);
    EXPECT_FLOAT_EQ(f, 1.5f); // h of the last corner

    TIfStreamMemory in(out.Data(), out.Size());
    std::uint8_t lead = 0;
    ASSERT_TRUE(in.ReadU8(lead));
    TAnimationStruct b;
    ASSERT_TRUE(b.Load(in));
    EXPECT_TRUE(in.AtEnd());
    EXPECT_EQ(b.m_Type, 7);
    EXPECT_EQ(b.m_Repeat, 0x0102);
    EXPECT_FLOAT_EQ(b.m_Speed, 0.25f);
    EXPECT_FLOAT_EQ(b.m_Position, 3.5f);
    EXPECT_FLOAT_EQ(b.m_Factor, -2.0f);
    EXPECT_EQ(b.m_FirstFrame, 1);
    EXPECT_EQ(b.m_EndFrame, 9);
    EXPECT_EQ(b.m_StartDelay, 4);
    EXPECT_EQ(b.m_bReverse, 1);
    EXPECT_EQ(b.m_bFinished, 1);
    EXPECT_FLOAT_EQ(b.m_X, 123.5f);
    EXPECT_FLOAT_EQ(b.m_Y, -7.25f);
    EXPECT_FLOAT_EQ(b.m_Angle, 0.0f); // not kept
    for (int i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(b.m_Corners[i].x, 10.0f * i);
        EXPECT_FLOAT_EQ(b.m_Corners[i].y, 20.0f * i + 1);
        EXPECT_FLOAT_EQ(b.m_Corners[i].h, 0.5f * i);
    }

    // a record cut anywhere is refused and changes nothing
    for (int cut = 0; cut < ANIMATION_RECORD_SIZE; ++cut) {
        TIfStreamMemory shortIn(out.Data() + 1, cut);
        TAnimationStruct c;
        c.m_Type = 99;
        EXPECT_FALSE(c.Load(shortIn)) << cut;
        EXPECT_EQ(c.m_Type, 99) << cut;
        EXPECT_EQ(c.m_Repeat, 1) << cut;
    }
}

TEST(AnimationRecord, LoadedOwnershipNeverMeetsAnEarlierSet)
{
    // A loaded record that says "owns its set" must not free a set the instance only borrowed.
    TAnimationSprites shared;
    shared.m_Count = 5;
    TAnimationStruct saved;
    saved.m_bOwnsSprites = 1;
    TOfStreamMemory out;
    ASSERT_TRUE(saved.Save(out));
    {
        TAnimationStruct a;
        a.SetSprites(&shared, false);
        TIfStreamMemory in(out.Data(), out.Size());
        ASSERT_TRUE(a.Load(in));
        EXPECT_EQ(a.m_pSprites, nullptr);
    }
    EXPECT_EQ(shared.m_Count, 5);
    // an owned set goes with its instance (the sanitizer build reports a leak otherwise)
    TAnimationStruct owner;
    auto* own = new TAnimationSprites;
    own->m_Count = 2;
    EXPECT_EQ(owner.SetSprites(own, true), 2);
    EXPECT_EQ(owner.SetSprites(new TAnimationSprites, true), 0);
}

namespace {

class AnimationBanks : public Animation {
protected:
    void SetUp() override
    {
        Animation::SetUp();
        folder = dir.Path() + "/Bank/";
        ASSERT_TRUE(sampledata::WriteAnimationBank(
            dir.Path(), "Bank\\",
            {{"a.les", sampledata::MakeAnimationPack(SolidFrames(3, 8, 8), HotSpot{4, 4})},
             {"b.les", sampledata::MakeAnimationPack(SolidFrames(5, 16, 4), std::nullopt)},
             {"gone.les", sampledata::MakeAnimationPack(SolidFrames(2, 8, 8), std::nullopt)}}));
        std::filesystem::remove(dir / "Bank/gone.les");
    }
    std::string folder;
};

} // namespace

TEST_F(AnimationBanks, LoadNowReadsEverySetOfTheList)
{
    TAnimationBank bank(folder.c_str(), 1);
    ASSERT_EQ(bank.Count(), 3);
    ASSERT_NE(bank.Set(0), nullptr);
    EXPECT_EQ(bank.Set(0)->m_Count, 3);
    ASSERT_NE(bank.Set(1), nullptr);
    EXPECT_EQ(bank.Set(1)->m_Width, 16);
    ASSERT_NE(bank.Set(2), nullptr);
    EXPECT_EQ(bank.Set(2)->m_Count, 0);
    EXPECT_EQ(bank.Set(3), nullptr);
    EXPECT_TRUE(bank.Load(folder.c_str(), 1)); // already there
}

TEST_F(AnimationBanks, OnDemandLoadsOneSetAndRefusesWhatItCannot)
{
    TAnimationBank bank(folder.c_str(), 0);
    ASSERT_EQ(bank.Count(), 3);
    EXPECT_EQ(bank.Set(1), nullptr);
    EXPECT_TRUE(bank.Load(folder.c_str(), 1));
    ASSERT_NE(bank.Set(1), nullptr);
    EXPECT_EQ(bank.Set(1)->m_Count, 5);
    EXPECT_EQ(bank.Set(0), nullptr);

    EXPECT_FALSE(bank.Load(folder.c_str(), 2)); // the pack is gone: nothing loaded, no success
    EXPECT_EQ(bank.Set(2), nullptr);
    EXPECT_FALSE(bank.Load(folder.c_str(), 3)); // beyond the list
    EXPECT_FALSE(bank.Load(folder.c_str(), 255));

    // a list that no longer matches the bank loads nothing
    testsupport::WriteText(folder + "Info.txt", "2\r\na.les\r\nb.les\r\n");
    EXPECT_FALSE(bank.Load(folder.c_str(), 0));
    // a list that counts more names than it holds
    testsupport::WriteText(folder + "Info.txt", "3\r\na.les\r\n");
    EXPECT_FALSE(bank.Load(folder.c_str(), 2));
    EXPECT_TRUE(bank.Load(folder.c_str(), 0));

    const std::string missing = dir.Path() + "/Nowhere/";
    const std::string log = LoggedBy([&] {
        TAnimationBank empty(missing.c_str(), 1);
        EXPECT_EQ(empty.Count(), 0);
        EXPECT_FALSE(empty.Load(missing.c_str(), 0));
    });
    EXPECT_NE(log.find("FAILED:" + missing + "Info.txt"), std::string::npos) << log;
}

TEST_F(Animation, SampleGameBanksLoadThroughGamePaths)
{
    ASSERT_TRUE(sampledata::WriteAnimations(dir.Path()));
    // game paths use backslashes and any case
    const std::string folder = dir.Path() + "\\data\\misc\\MINIMAPINDICATORS\\";
    TAnimationBank bank(folder.c_str(), 1);
    ASSERT_EQ(bank.Count(), 3);
    for (int i = 0; i < 3; ++i) {
        ASSERT_NE(bank.Set(i), nullptr) << i;
        EXPECT_GT(bank.Set(i)->m_Count, 0) << i;
        EXPECT_EQ(bank.Set(i)->m_Width, 16) << i;
        for (int f = 0; f < bank.Set(i)->m_Count; ++f)
            EXPECT_NE(bank.Set(i)->FrameTexture(f), nullptr) << i << "," << f;
    }
    EXPECT_EQ(bank.Set(0)->m_HotX, 0); // centred rings
    const std::string shots = dir.Path() + "/Data/Misc/Shots/";
    TAnimationBank flashes(shots.c_str(), 0);
    ASSERT_TRUE(flashes.Load(shots.c_str(), 0));
    EXPECT_EQ(flashes.Set(0)->m_HotX, 8);
}
