#include "devices/mouse.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "core/app_state.h"
#include "core/error_log.h"
#include "cursors.h"
#include "devices/display.h"
#include "map/map_objects.h"
#include "map/minimap.h"
#include "map/map_view.h"
#include "net/net_events.h"
#include "platform/paths.h"
#include "platform/texture.h"
#include "players/command.h"
#include "players/map_mouse.h"
#include "players/strateg.h"
#include "sample_data.h"
#include "test_support.h"
#include "ui/menus.h"
#include "ui/window_stack.h"

namespace {

// What the record handler asked of the other subsystems, in order.
std::vector<std::string> g_Calls;
std::vector<THeapItem> g_Queued;
bool g_OverInterface = false;
bool g_InMiniMap = false;

void Record(const char* name)
{
    g_Calls.emplace_back(name);
}

const TMouseServices kRecording = {
    [] { return g_NetMode >= 2 && g_NetMode <= 4; },
    [] { return g_OverInterface; },
    [](std::int32_t, std::int32_t) { return g_InMiniMap; },
    [](std::uint8_t flag) { Record(flag == 0 ? "ProcessMiniMap(0)" : "ProcessMiniMap(1)"); },
    [](std::uint16_t type) { g_Calls.push_back("ReleaseHousePhaseGraphic(" + std::to_string(type) + ")"); },
    [] { Record("PostDragEndCommand"); },
    [] { Record("PostMapClickCommand"); },
    [] { Record("PostMapOrderCommand"); },
    [] { Record("PostOrientationCommand"); },
    [](float, float, float, float) -> std::uint8_t { return 5; },
    [](TStrateg*, THeapItem* item) {
        g_Queued.push_back(*item);
        delete item;
    },
};

void ResetMouseState()
{
    g_MouseX = g_MouseY = g_PrevMouseX = g_PrevMouseY = 0;
    g_bLButtonDown = g_bLButtonUp = g_bLButtonHeld = 0;
    g_bRButtonDown = g_bRButtonUp = g_bRButtonHeld = 0;
    g_bDoubleClick = 0;
    g_LastLPressTime = 0;
    g_bMouseMoved = g_bLPressOnMap = g_bLPressOnMiniMap = g_bMapDragging = 0;
    g_ClickMapX = g_ClickMapY = g_RPressMapX = g_RPressMapY = 0;
    for (int i = 0; i < 8; ++i) {
        g_PlayerClickX[i] = g_PlayerClickY[i] = g_PlayerPrevClickX[i] = g_PlayerPrevClickY[i] = 0;
        g_bNetDragging[i] = 0;
    }
    g_LocalClickX = g_LocalClickY = g_LocalPrevClickX = g_LocalPrevClickY = 0;
    g_NetDragCorner = {};
    g_NetDragCount = 0;
    g_CursorMapX = g_CursorMapY = 0;
    g_ViewX = g_ViewY = 0;
    g_ViewPixelX = g_ViewPixelY = 0;
    g_PlacingHouseType = -1;
    g_NetMode = 0;
    g_bPaused = 0;
    g_MainMenuWindow = nullptr;
    g_bMiniMapShown = 1;
    g_InputToGame = 1;
    g_bCursorVisible = 1;
    g_CursorIndex = 0;
    MyPlayer = 2;
    MyStrateg = nullptr;
    kadr_now = 0;
    g_Calls.clear();
    g_Queued.clear();
    g_OverInterface = false;
    g_InMiniMap = false;
}

plat::MouseRecord Move(std::uint32_t offset, std::int32_t delta)
{
    return {offset, static_cast<std::uint32_t>(delta), 0, 0};
}

plat::MouseRecord Button(std::uint32_t offset, bool pressed, std::uint32_t time = 0)
{
    return {offset, pressed ? plat::kMouseButtonPressed : 0u, time, 0};
}

const plat::MouseRecord LPress = Button(plat::kMouseOfsButton0, true);
const plat::MouseRecord LRelease = Button(plat::kMouseOfsButton0, false);
const plat::MouseRecord RPress = Button(plat::kMouseOfsButton1, true);
const plat::MouseRecord RRelease = Button(plat::kMouseOfsButton1, false);

// The record handler with recording stand-ins for the other subsystems.
class MouseRecords : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetMouseState();
        g_MouseServices = kRecording;
        g_ScreenWidth = 1024;
        g_ScreenHeight = 768;
        g_MiniMapLeft = 1024 - 213;
        g_MiniMapTop = 768 - 213;
        strateg.NumSelectedUnits = 3;
    }
    void TearDown() override
    {
        ResetMouseServices();
        ResetMouseState();
    }

    void Feed(std::initializer_list<plat::MouseRecord> records)
    {
        std::lock_guard lock(g_InputLock);
        for (const auto& r : records)
            HandleMouseRecord(r);
    }

    TStrateg strateg;
};

} // namespace

TEST_F(MouseRecords, ThePositionIsClampedOncePerBatch)
{
    struct Case {
        std::int32_t start;
        std::vector<std::int32_t> moves;
        std::int32_t expected;
    };
    // Width 1024: the cursor stops at 1020, four pixels short of the edge.
    const Case cases[] = {
        {500, {600, -100}, 1000}, // the batch saw 1100 and came back inside
        {500, {900}, 1020},
        {10, {-50}, 0},
        {10, {-50, 30}, 0},       // -40 + 30 is still outside
        {1020, {3}, 1020},
    };
    auto input = plat::InputSystem::Create();
    ASSERT_TRUE(input);
    auto mouse = input->CreateMouse();
    ASSERT_TRUE(mouse);
    mouse->Acquire();
    g_pMouseDevice = mouse.get();
    for (const Case& c : cases) {
        g_MouseX = c.start;
        g_MouseY = 700;
        for (std::int32_t d : c.moves)
            mouse->AddMotion(d, 0, 1);
        mouse->AddMotion(0, 100, 1); // and the height: 800 -> 764
        MouseThreadBatch();
        EXPECT_EQ(g_MouseX, c.expected) << "start " << c.start;
        EXPECT_EQ(g_MouseY, 764);
        EXPECT_EQ(g_PrevMouseX, c.start) << "the batch starts where the cursor was drawn";
    }
    g_pMouseDevice = nullptr;
}

TEST_F(MouseRecords, DoubleClickNeedsASecondLeftPressWithin300Ms)
{
    const struct {
        std::uint32_t gap;
        std::uint8_t expected;
    } cases[] = {{299, 1}, {300, 0}, {0, 1}, {5000, 0}};
    for (const auto& c : cases) {
        const std::uint32_t first = 0xFFFFFF00u; // the unsigned difference survives the wrap
        Feed({Button(plat::kMouseOfsButton0, true, first), LRelease,
            Button(plat::kMouseOfsButton0, true, first + c.gap)});
        EXPECT_EQ(g_bDoubleClick, c.expected) << "gap " << c.gap;
        EXPECT_EQ(g_LastLPressTime, first + c.gap);
    }
    Feed({Button(plat::kMouseOfsButton0, true, 100), Button(plat::kMouseOfsButton0, true, 200)});
    ASSERT_EQ(g_bDoubleClick, 1);
    Feed({RRelease});
    EXPECT_EQ(g_bDoubleClick, 0) << "any right-button record clears it";
}

TEST_F(MouseRecords, ButtonFlagsAndClickPointsOfSinglePlay)
{
    g_OverInterface = false;
    g_InMiniMap = true;
    g_CursorMapX = 300;
    g_CursorMapY = 200;
    Feed({LPress});
    EXPECT_EQ(g_bLButtonDown, 1);
    EXPECT_EQ(g_bLButtonHeld, 1);
    EXPECT_EQ(g_bLPressOnMap, 1);
    EXPECT_EQ(g_bLPressOnMiniMap, 1);
    EXPECT_EQ(g_InputToGame, 0);
    EXPECT_EQ(g_ClickMapX, 300);
    EXPECT_EQ(g_LocalClickX, 300);
    EXPECT_TRUE(g_Calls.empty());

    g_bMapDragging = 1;
    g_CursorMapX = 350;
    Feed({LRelease});
    EXPECT_EQ(g_bLButtonDown, 0);
    EXPECT_EQ(g_bLButtonUp, 1);
    EXPECT_EQ(g_bLButtonHeld, 0);
    EXPECT_EQ(g_bMapDragging, 0);
    EXPECT_EQ(g_bLPressOnMap, 0);
    EXPECT_EQ(g_bLPressOnMiniMap, 0);
    EXPECT_EQ(g_LocalPrevClickX, 300);
    EXPECT_EQ(g_LocalClickX, 350);
    EXPECT_EQ(g_PlayerClickX[2], 0) << "the players' press points belong to the order handlers";
    EXPECT_EQ(g_PlayerPrevClickX[2], 0);

    g_CursorMapX = 400;
    Feed({RPress});
    EXPECT_EQ(g_bRButtonDown, 1);
    EXPECT_EQ(g_bRButtonHeld, 1);
    EXPECT_EQ(g_bLButtonUp, 0) << "a right record clears the left events";
    EXPECT_EQ(g_RPressMapX, 400);
    Feed({LPress});
    EXPECT_EQ(g_bRButtonDown, 0) << "a left record clears the right events";

    // With a front menu open the press leaves the map and minimap flags alone.
    static int menu;
    g_MainMenuWindow = reinterpret_cast<TContainer*>(&menu);
    g_bLPressOnMap = 0;
    Feed({LRelease, LPress});
    EXPECT_EQ(g_bLPressOnMap, 0);
}

TEST_F(MouseRecords, ARightDragOrientsTheSelectionOnlyBeyond100MapPixels)
{
    MyStrateg = &strateg;
    kadr_now = 50;
    const struct {
        std::int32_t dx, dy;
        std::uint16_t selected;
        bool queued;
    } cases[] = {
        {100, 0, 3, false},
        {101, 0, 3, true},
        {60, 80, 3, false}, // exactly 100 on the diagonal
        {61, 80, 3, true},
        {-101, 0, 3, true},
        {300, 0, 0, false}, // nothing selected
    };
    for (const auto& c : cases) {
        g_Queued.clear();
        strateg.NumSelectedUnits = c.selected;
        g_CursorMapX = 1000;
        g_CursorMapY = 500;
        Feed({RPress});
        EXPECT_TRUE(g_Queued.empty()) << "a press has no drag";
        g_CursorMapX += c.dx;
        g_CursorMapY += c.dy;
        Feed({RRelease});
        EXPECT_EQ(g_bRButtonUp, 1);
        ASSERT_EQ(g_Queued.size(), c.queued ? 1u : 0u) << c.dx << "," << c.dy;
        if (c.queued) {
            const THeapItem& item = g_Queued[0];
            EXPECT_EQ(item.commandClass, 4);
            EXPECT_EQ(item.id, 54);
            EXPECT_EQ(item.x, 5.0f) << "the direction from the orientation service";
            EXPECT_FLOAT_EQ(item.y, std::sqrt(static_cast<float>(c.dx * c.dx + c.dy * c.dy)));
            EXPECT_EQ(item.cikl, 51u) << "for the next command cycle";
        }
    }
    EXPECT_TRUE(g_Calls.empty());
}

TEST_F(MouseRecords, ARightReleaseWhilePlacingOnlyCancelsThePlacement)
{
    MyStrateg = &strateg;
    for (std::uint8_t mode : {0, 3}) {
        g_NetMode = mode;
        g_Calls.clear();
        g_Queued.clear();
        g_PlacingHouseType = 12;
        g_CursorMapX = 0;
        Feed({RPress});
        g_Calls.clear();
        g_CursorMapX = 500; // a long drag, which would otherwise orient the selection
        g_ClickMapX = -1;
        Feed({RRelease});
        EXPECT_EQ(g_PlacingHouseType, -1);
        EXPECT_EQ(g_bRButtonUp, 0);
        EXPECT_EQ(g_bRButtonHeld, 0);
        EXPECT_EQ(g_ClickMapX, -1) << "nothing after the cancel";
        EXPECT_EQ(g_Calls, std::vector<std::string>{"ReleaseHousePhaseGraphic(12)"}) << "mode " << int(mode);
        EXPECT_TRUE(g_Queued.empty());
    }
}

TEST_F(MouseRecords, TheFirstClickOfATrenchLineSetsBothEnds)
{
    for (std::uint8_t mode : {0, 3}) {
        g_NetMode = mode;
        g_Calls.clear();
        g_PlacingHouseType = -2;
        g_LocalPrevClickX = NO_LINE_START;
        g_LocalClickX = 7;
        g_CursorMapX = 640;
        g_CursorMapY = 320;
        Feed({LPress});
        EXPECT_EQ(g_LocalClickX, 640);
        EXPECT_EQ(g_LocalPrevClickX, 640);
        EXPECT_EQ(g_LocalClickY, 320);
        EXPECT_EQ(g_LocalPrevClickY, 320);
        EXPECT_EQ(g_PlayerClickX[2], 0);
        EXPECT_TRUE(g_Calls.empty()) << "mode " << int(mode);
        // With the start point set, the next click is an ordinary one.
        g_CursorMapX = 700;
        Feed({LRelease});
        EXPECT_EQ(g_LocalPrevClickX, 640);
        EXPECT_EQ(g_LocalClickX, mode == 0 ? 700 : 640) << "network play leaves the points to its orders";
    }
}

TEST_F(MouseRecords, NetworkPlayPostsTheOrdersOfEachButtonRecord)
{
    struct Case {
        std::uint8_t netMode;
        plat::MouseRecord record;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {0, LPress, {}},
        {0, LRelease, {}},
        {0, RPress, {}},
        {0, RRelease, {}},
        {3, LPress, {"PostMapClickCommand"}},
        {3, LRelease, {"PostDragEndCommand"}},
        {3, RPress, {"PostMapOrderCommand"}},
        {3, RRelease, {"PostOrientationCommand"}},
        {4, LPress, {"PostMapClickCommand"}},
        {4, RRelease, {"PostOrientationCommand"}},
        {2, LPress, {}},
        {2, LRelease, {}},
        {2, RPress, {}},
        {2, RRelease, {}},
        {3, Button(plat::kMouseOfsButton2, true), {}},
        {3, Move(plat::kMouseOfsWheel, 120), {}},
    };
    MyStrateg = &strateg;
    for (const Case& c : cases) {
        g_Calls.clear();
        g_Queued.clear();
        g_NetMode = c.netMode;
        g_CursorMapX = 2000; // a long right drag, if anything were to look at it
        Feed({c.record});
        EXPECT_EQ(g_Calls, c.calls) << "mode " << int(c.netMode) << " offset " << c.record.offset << " data "
                                    << c.record.data;
        EXPECT_TRUE(g_Queued.empty()) << "single play orients only after a right press";
    }
    // In network play the click points stay with the network orders.
    g_NetMode = 3;
    g_PlayerClickX[2] = -5;
    Feed({LPress});
    EXPECT_EQ(g_PlayerClickX[2], -5);
}

TEST_F(MouseRecords, MovementFlagsDragCornerAndMiniMapDragByMode)
{
    g_ViewX = 10;
    g_ViewY = 20;
    g_ViewPixelX = 10 * 96;
    g_ViewPixelY = 20 * 24;
    g_MouseX = 100;
    g_MouseY = 50;

    Feed({Move(plat::kMouseOfsX, 5)});
    EXPECT_EQ(g_bMouseMoved, 1);
    EXPECT_EQ(g_CursorMapX, 10 * 96 + 105) << "the cursor's map point follows the cursor";
    EXPECT_EQ(g_CursorMapY, 20 * 24 + 50);

    // A network frame drag moves the drag corner instead.
    g_NetMode = 3;
    g_bNetDragging[2] = 1;
    g_bMouseMoved = 0;
    Feed({Move(plat::kMouseOfsY, -10), Move(plat::kMouseOfsX, 1)});
    EXPECT_EQ(g_bMouseMoved, 0);
    EXPECT_EQ(g_NetDragCount, 2u);
    EXPECT_EQ(g_NetDragCorner.player, 2);
    EXPECT_EQ(g_NetDragCorner.x, 10 * 96 + 106);
    EXPECT_EQ(g_NetDragCorner.y, 20 * 24 + 40);
    EXPECT_TRUE(g_Calls.empty());

    // ... or ends it while a site is being chosen.
    g_PlacingHouseType = 4;
    Feed({Move(plat::kMouseOfsX, 1)});
    EXPECT_EQ(g_Calls, std::vector<std::string>{"PostDragEndCommand"});
    EXPECT_EQ(g_NetDragCount, 2u);

    // The lobby only flags the move.
    g_Calls.clear();
    g_NetMode = 2;
    Feed({Move(plat::kMouseOfsX, 1)});
    EXPECT_EQ(g_bMouseMoved, 1);
    EXPECT_TRUE(g_Calls.empty());

    // A left press in the minimap drags the view while the cursor stays strictly inside.
    g_NetMode = 3;
    g_bMouseMoved = 0;
    g_bLPressOnMiniMap = 1;
    g_MouseX = 900;
    g_MouseY = 700;
    Feed({Move(plat::kMouseOfsX, 1)});
    EXPECT_EQ(g_Calls.back(), "ProcessMiniMap(0)");
    EXPECT_EQ(g_bMouseMoved, 0);
    g_Calls.clear();
    g_MouseX = 1024 - 13;
    Feed({Move(plat::kMouseOfsX, 1)}); // now at width - 12: outside
    EXPECT_TRUE(g_Calls.empty());
    g_MouseX = 900;
    g_bPaused = 1;
    Feed({Move(plat::kMouseOfsX, 1)});
    EXPECT_TRUE(g_Calls.empty());
}

TEST_F(MouseRecords, ALeftPressInTheMiniMapAsksForAViewJump)
{
    g_MouseX = 900;
    g_MouseY = 700;
    Feed({LPress});
    EXPECT_EQ(g_Calls, std::vector<std::string>{"ProcessMiniMap(0)"});
    g_Calls.clear();
    g_bMiniMapShown = 0;
    Feed({LPress});
    EXPECT_TRUE(g_Calls.empty());
}

// --- the cursor on the front surface ------------------------------------------------------------

namespace {

constexpr std::uint16_t kKey = 0xF81F; // magenta in 565
constexpr int kScreenW = 160;
constexpr int kScreenH = 120;
constexpr int kCursorW = 12;
constexpr int kCursorH = 10;

std::uint16_t Background(int x, int y)
{
    return static_cast<std::uint16_t>((x * 31 + y * 977) & 0xFFFF) | 1u; // never the key
}

// The cursor: a frame of colour 0x0001 with a transparent middle and a solid core.
std::uint16_t CursorPixel(int x, int y)
{
    if (x == 0 || y == 0 || x == kCursorW - 1 || y == kCursorH - 1)
        return 0x0002;
    if (x >= 4 && x < 8 && y >= 3 && y < 7)
        return 0x0004;
    return kKey;
}

class CursorOnFront : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetMouseState();
        front = std::make_unique<plat::Surface>(kScreenW, kScreenH, plat::PixelFormat::RGB565);
        cursor = std::make_unique<plat::Surface>(kCursorW, kCursorH, plat::PixelFormat::RGB565);
        cursor->SetColorKey(kKey);
        for (int y = 0; y < kScreenH; ++y)
            for (int x = 0; x < kScreenW; ++x)
                front->Pixels().Row16(y)[x] = Background(x, y);
        for (int y = 0; y < kCursorH; ++y)
            for (int x = 0; x < kCursorW; ++x)
                cursor->Pixels().Row16(y)[x] = CursorPixel(x, y);
        g_pCursorSurf[0] = cursor.get();
        g_CursorWidth = kCursorW;
        g_CursorHeight = kCursorH;
        g_CursorRect = {0, 0, kCursorW, kCursorH};
        g_pSurfUnderCursor = CreateOffscreenSurface(kCursorW, kCursorH, kKey, true);
        g_pCursorUnionSurf = CreateOffscreenSurface(kCursorW * 2, kCursorH * 2, kKey, true);
        ASSERT_TRUE(g_pSurfUnderCursor && g_pCursorUnionSurf);
        // What a present leaves: the background under the cursor saved, the cursor drawn.
        PlaceLikeAPresent(50, 40);
    }
    void TearDown() override
    {
        g_pCursorSurf[0] = nullptr;
        plat::ReleaseSurface(g_pSurfUnderCursor);
        plat::ReleaseSurface(g_pCursorUnionSurf);
        ResetMouseState();
    }

    void PlaceLikeAPresent(int x, int y)
    {
        g_MouseX = x;
        g_MouseY = y;
        const plat::Rect r{x, y, std::min(x + kCursorW, kScreenW), std::min(y + kCursorH, kScreenH)};
        BltSurface(g_pSurfUnderCursor, front.get(), &r, 0, 0, false);
        BltSurface(front.get(), cursor.get(), &g_CursorRect, x, y, true);
    }

    void MoveTo(int x, int y)
    {
        g_PrevMouseX = g_MouseX;
        g_PrevMouseY = g_MouseY;
        g_MouseX = x;
        g_MouseY = y;
        RedrawCursor(front.get());
    }

    // The screen shows the background with the cursor at (g_MouseX, g_MouseY), and the save-under
    // holds the background under it.
    void ExpectConsistent(const char* what)
    {
        int screenErrors = 0;
        int underErrors = 0;
        for (int y = 0; y < kScreenH; ++y)
            for (int x = 0; x < kScreenW; ++x) {
                const int cx = x - g_MouseX;
                const int cy = y - g_MouseY;
                std::uint16_t expected = Background(x, y);
                if (cx >= 0 && cy >= 0 && cx < kCursorW && cy < kCursorH) {
                    if (CursorPixel(cx, cy) != kKey)
                        expected = CursorPixel(cx, cy);
                    if (g_pSurfUnderCursor->Pixels().Row16(cy)[cx] != Background(x, y))
                        ++underErrors;
                }
                if (front->Pixels().Row16(y)[x] != expected)
                    ++screenErrors;
            }
        EXPECT_EQ(screenErrors, 0) << what << " at " << g_MouseX << "," << g_MouseY;
        EXPECT_EQ(underErrors, 0) << what << " at " << g_MouseX << "," << g_MouseY;
    }

    std::unique_ptr<plat::Surface> front;
    std::unique_ptr<plat::Surface> cursor;
};

} // namespace

TEST_F(CursorOnFront, TheSaveUnderFollowsOverlappingAndDisjointMoves)
{
    ExpectConsistent("start");
    const struct {
        int x, y;
        const char* what;
    } moves[] = {
        {53, 42, "short move down-right"},
        {50, 38, "short move up-left"},
        {50, 38 + kCursorH - 1, "overlap by one row"},
        {50 + kCursorW, 47, "just disjoint to the right"},
        {10, 100, "far jump"},
        {kScreenW - 4, kScreenH - 4, "into the clamped corner"},
        {kScreenW - 9, kScreenH - 6, "short move inside the corner, clipped"},
        {kScreenW - 4, 30, "disjoint, clipped at the right edge"},
        {0, 0, "to the origin"},
        {3, 2, "short move from the origin"},
    };
    for (const auto& m : moves) {
        MoveTo(m.x, m.y);
        ExpectConsistent(m.what);
    }
}

TEST_F(CursorOnFront, CursorKindsWithoutAPictureDrawOnlyTheBackground)
{
    g_CursorIndex = 8;
    MoveTo(52, 41);
    int visibleCursorPixels = 0;
    for (int y = 0; y < kScreenH; ++y)
        for (int x = 0; x < kScreenW; ++x)
            visibleCursorPixels += front->Pixels().Row16(y)[x] != Background(x, y);
    EXPECT_EQ(visibleCursorPixels, 0);
    g_CursorIndex = 0;
    MoveTo(80, 80); // the save-under is still right: the cursor comes back cleanly
    ExpectConsistent("back to a picture");
}

TEST_F(CursorOnFront, TheThreadMovesButDoesNotDrawAnInvisibleCursor)
{
    auto input = plat::InputSystem::Create();
    ASSERT_TRUE(input);
    auto mouse = input->CreateMouse();
    ASSERT_TRUE(mouse);
    mouse->Acquire();
    g_pMouseDevice = mouse.get();
    plat::Surface* primary = g_pDDSPrimary;
    const std::uint16_t width = g_ScreenWidth, height = g_ScreenHeight;
    g_pDDSPrimary = front.get();
    g_ScreenWidth = kScreenW;
    g_ScreenHeight = kScreenH;

    mouse->AddMotion(7, 3, 1);
    MouseThreadBatch();
    EXPECT_EQ(g_MouseX, 57);
    ExpectConsistent("drawn by the thread");

    g_bCursorVisible = 0;
    const std::vector<std::uint8_t> before(front->Pixels().Bits(), front->Pixels().Bits() + front->Pixels().SizeBytes());
    mouse->AddMotion(20, 20, 2);
    MouseThreadBatch();
    EXPECT_EQ(g_MouseX, 77);
    EXPECT_EQ(g_MouseY, 63);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), front->Pixels().Bits()));

    g_pDDSPrimary = primary;
    g_ScreenWidth = width;
    g_ScreenHeight = height;
    g_pMouseDevice = nullptr;
}

// --- start, stop and the pictures ---------------------------------------------------------------

namespace {

template <class F>
std::string LoggedBy(F&& f)
{
    testsupport::WriteText(g_ErrorLog.FileName(), "");
    f();
    return testsupport::ReadText(g_ErrorLog.FileName());
}

class MouseDeviceLifecycle : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetMouseState();
        ASSERT_TRUE(sampledata::WriteFolderTree(dir.Path()));
        ASSERT_TRUE(sampledata::WriteCursors(dir.Path()));
        plat::SetGameRoot(dir.Path());
        ASSERT_TRUE(DirectDrawInit(nullptr, 0));
        g_bAppActive = 1;
    }
    void TearDown() override
    {
        DirectInputFree();
        DirectDrawFree();
        plat::InvalidatePathCache();
        ResetMouseState();
    }

    // Waits (generously: sanitizer builds on a loaded machine are slow) for the thread to move
    // the cursor to x.
    bool WaitForMouseX(std::int32_t x)
    {
        for (int i = 0; i < 2000; ++i) {
            {
                std::lock_guard lock(g_InputLock);
                if (g_MouseX == x)
                    return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    testsupport::TempDir dir;
};

} // namespace

TEST_F(MouseDeviceLifecycle, StartLoadsEveryPictureAndCentresTheCursor)
{
    ASSERT_TRUE(DirectInputInit(nullptr));
    EXPECT_TRUE(g_pMouseDevice && g_pMouseDevice->IsAcquired());
    EXPECT_EQ(g_pMouseDevice->BufferSize(), 64u);
    EXPECT_EQ(g_MouseX, 512);
    EXPECT_EQ(g_MouseY, 384);
    for (int i = 0; i < 8; ++i)
        ASSERT_NE(g_pCursorSurf[i], nullptr) << i;
    EXPECT_EQ(g_pCursorSurf[8], nullptr);
    EXPECT_EQ(g_pCursorSurf[9], nullptr);
    for (int i = 0; i < FLAG_FRAME_COUNT; ++i) {
        EXPECT_NE(g_pFlagClothTex[i], nullptr);
        EXPECT_NE(g_pFlagStaffTex[i], nullptr);
    }
    EXPECT_EQ(g_CursorWidth, sampledata::kCursorSize);
    EXPECT_EQ(g_CursorHeight, sampledata::kCursorSize);
    EXPECT_EQ(g_CursorRect.right, sampledata::kCursorSize);
    ASSERT_NE(g_pCursorUnionSurf, nullptr);
    EXPECT_EQ(g_pCursorUnionSurf->Width(), 2 * sampledata::kCursorSize);
    EXPECT_EQ(g_pSurfUnderCursor->Height(), sampledata::kCursorSize);
    EXPECT_EQ(g_pCursorSurf[0]->ColorKey(), MakeColor16(255, 0, 255));

    DirectInputFree();
    EXPECT_EQ(g_pMouseDevice, nullptr);
    EXPECT_EQ(g_pCursorSurf[0], nullptr);
    EXPECT_EQ(g_pFlagStaffTex[7], nullptr);
    EXPECT_EQ(g_pSurfUnderCursor, nullptr);
}

TEST_F(MouseDeviceLifecycle, StartFailuresAreLoggedAndLeaveNothingBehind)
{
    const struct {
        std::string file; // removed from the game folder
        std::string logged;
    } cases[] = {
        {"Data/Misc/Cursors/Cursor_Patrol.bmp", "Cant load Data\\Misc\\Cursors\\Cursor_Patrol.bmp"},
        {"Data/Misc/Cursors/Polotnishe/05.bmp", "Cant load Data\\Misc\\Cursors\\Polotnishe\\05.bmp"},
        {"Data/Misc/Cursors/Flagshtok/08.bmp", "Cant load Data\\Misc\\Cursors\\Flagshtok\\08.bmp"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(sampledata::WriteCursors(dir.Path()));
        std::remove((dir / c.file).c_str());
        plat::InvalidatePathCache();
        bool ok = true;
        const std::string log = LoggedBy([&] { ok = DirectInputInit(nullptr); });
        EXPECT_FALSE(ok);
        EXPECT_NE(log.find(c.logged), std::string::npos) << log;
        EXPECT_EQ(g_pMouseDevice, nullptr);
        EXPECT_EQ(g_pCursorSurf[0], nullptr);
        EXPECT_EQ(g_pFlagClothTex[0], nullptr);
        EXPECT_EQ(g_hMouseThread, nullptr);
    }
    // With the files back the same process starts the mouse again.
    ASSERT_TRUE(sampledata::WriteCursors(dir.Path()));
    plat::InvalidatePathCache();
    EXPECT_TRUE(DirectInputInit(nullptr));

    DirectInputFree();
    DirectDrawFree();
    bool ok = true;
    EXPECT_NE(LoggedBy([&] { ok = DirectInputInit(nullptr); }), "");
    EXPECT_FALSE(ok) << "no display";
}

TEST_F(MouseDeviceLifecycle, TheThreadFollowsInjectedRecordsAcrossRestarts)
{
    // A display change runs Free then Init; meanwhile another thread keeps feeding the mouse the
    // way the event pump does.
    std::atomic<bool> stop{false};
    std::thread feeder([&] {
        std::uint32_t t = 0;
        while (!stop.load()) {
            plat::InjectMouseButton(2, (t & 1) != 0, t);
            ++t;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    for (int round = 0; round < 12; ++round) {
        ASSERT_TRUE(DirectInputInit(nullptr)) << round;
        {
            std::lock_guard lock(g_InputLock);
            EXPECT_EQ(g_MouseX, 512) << "a restart puts the cursor back in the middle";
        }
        ASSERT_TRUE(plat::InjectMouseMotion(5 + round, 0, 0));
        EXPECT_TRUE(WaitForMouseX(517 + round)) << round;
        DirectInputFree();
        EXPECT_FALSE(plat::InjectMouseMotion(1, 0, 0)) << "no device after Free";
    }
    stop = true;
    feeder.join();
}

TEST_F(MouseDeviceLifecycle, LostInputIsReacquiredOnlyWhileTheApplicationIsActive)
{
    ASSERT_TRUE(DirectInputInit(nullptr));
    ASSERT_TRUE(plat::InjectMouseFocusLost());
    // The thread wakes on the loss and acquires again.
    for (int i = 0; i < 2000 && !g_pMouseDevice->IsAcquired(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(g_pMouseDevice->IsAcquired());

    g_bAppActive = 0;
    EXPECT_FALSE(AcquireMouse());
    EXPECT_FALSE(g_pMouseDevice->IsAcquired());
    g_bAppActive = 1;
    AcquireMouse();
    EXPECT_TRUE(g_pMouseDevice->IsAcquired());
    ASSERT_TRUE(plat::InjectMouseMotion(-12, 0, 0));
    EXPECT_TRUE(WaitForMouseX(500));
}

TEST_F(MouseDeviceLifecycle, RestoringSurfacesReloadsTheCursorPictures)
{
    ASSERT_TRUE(DirectInputInit(nullptr));
    {
        std::lock_guard lock(g_InputLock);
        for (int i = 0; i < 8; ++i) {
            g_pCursorSurf[i]->ForceLost();
            g_pCursorSurf[i]->Pixels().Row16(0)[0] = 0x1234;
        }
        g_pCursorUnionSurf->ForceLost();
        g_pSurfUnderCursor->ForceLost();
    }
    EXPECT_TRUE(RestoreCursorSurfaces());
    for (int i = 0; i < 8; ++i) {
        EXPECT_FALSE(g_pCursorSurf[i]->IsLost());
        const std::uint32_t rgb = sampledata::CursorPixels(i)[0];
        EXPECT_EQ(g_pCursorSurf[i]->Pixels().Row16(0)[0],
            MakeColor16(static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                static_cast<std::uint8_t>(rgb)))
            << i;
    }
    EXPECT_FALSE(g_pCursorUnionSurf->IsLost());
    EXPECT_FALSE(g_pSurfUnderCursor->IsLost());

    std::remove((dir / "Data/Misc/Cursors/Cursor_Food.bmp").c_str());
    plat::InvalidatePathCache();
    bool ok = true;
    const std::string log = LoggedBy([&] { ok = RestoreCursorSurfaces(); });
    EXPECT_FALSE(ok);
    EXPECT_NE(log.find("Cant load Data\\Misc\\Cursors\\Cursor_Food.bmp"), std::string::npos);

    DirectInputFree();
    EXPECT_TRUE(RestoreCursorSurfaces()) << "nothing to restore";
}
