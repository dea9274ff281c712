// The map mouse: the order builders against a scripted mouse state and a capturing SendCommand,
// the mouse handlers called as the dispatcher calls them, picking near the map's edges, the click's
// description of foreign objects, and the single-play frame step.
#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/string_table.h"
#include "devices/mouse.h"
#include "map/map_grid.h"
#include "map/map_objects.h"
#include "map/map_view.h"
#include "map/minimap.h"
#include "players/command.h"
#include "players/map_mouse.h"
#include "players/selection.h"
#include "players/strateg.h"
#include "sample_strings.h"
#include "support/test_world.h"
#include "units/house.h"
#include "units/house_types.h"
#include "units/unit.h"

namespace {

using testworld::TestWorld;

struct TSent {
    std::uint16_t commandClass = 0;
    std::uint16_t id = 0;
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::uint16_t houseRef = 0;
    std::uint32_t params[6] = {};
};

class MapMouseTest : public ::testing::Test {
protected:
    MapMouseTest() : world(60, 120)
    {
        sampledata::FillStringTable(g_ResStrings);
        savedMouse = MapMouseServices();
        savedSelection = SelectionServices();
        TMapMouseServices& s = MapMouseServices();
        s.sendCommand = [this](TNetData* m) {
            TSent out{m->commandClass, m->id, m->x, m->y, m->houseRef, {}};
            std::copy(std::begin(m->params), std::end(m->params), out.params);
            sent.push_back(out);
            delete m;
        };
        s.addCommand = [this](TStrateg*, THeapItem* item) { queued.emplace_back(item, &FreeHeapItem); };
        s.selectedUnitsGo = [this](std::uint8_t p, std::int32_t x, std::int32_t y) {
            goOrders.push_back({p, x, y});
        };
        s.unitOrderAtPoint = [this](TUnit* u, float, float, std::uint8_t flag) { fireOrders.push_back({u, flag}); };
        s.setHousePoint = [this](THouse* h, float x, float y) { rally.push_back({h, x, y}); };
        s.digTrenchLine = [this](std::uint8_t, float, float, std::int32_t, std::int32_t) { ++trenchLines; };
        s.isNetGame = [this] { return net; };
        s.isCursorOverInterface = [] { return false; };
        s.isPointInMiniMap = [this](std::int32_t x, std::int32_t y) {
            return x >= miniLeft && x < miniLeft + 200 && y >= miniTop && y < miniTop + 200;
        };
        s.fogHidesTile = [](std::uint16_t, std::uint16_t) { return false; };
        s.showMessageLine = [this](const char16_t* text, std::uint32_t) { messages.emplace_back(text); };
        SelectionServices().refreshPanel = [](std::uint8_t) {};
        SelectionServices().playSound = [](std::uint8_t, const void*, std::uint8_t, std::uint8_t) {};
        SelectionServices().centerViewOnUnit = [](TUnit*) {};
        std::lock_guard lock(g_InputLock);
        MyPlayer = 0;
        MyStrateg = world.Player(0);
        g_MiniMapLeft = static_cast<std::uint16_t>(miniLeft);
        g_MiniMapTop = static_cast<std::uint16_t>(miniTop);
        ResetMouseState();
    }
    ~MapMouseTest() override
    {
        std::lock_guard lock(g_InputLock);
        ResetMouseState();
        MyStrateg = nullptr;
        MapMouseServices() = savedMouse;
        SelectionServices() = savedSelection;
    }

    static void ResetMouseState()
    {
        g_bLButtonDown = g_bLButtonUp = g_bRButtonDown = g_bRButtonUp = g_bDoubleClick = 0;
        g_bLPressOnMap = 1;
        g_bMapDragging = 0;
        g_PlacingHouseType = -1;
        g_CursorMode = CURSOR_MODE_NORMAL;
        g_OrderFlag = 0;
        g_MouseX = g_MouseY = 0;
        g_LocalClickX = g_LocalClickY = 0;
        g_LocalPrevClickX = g_LocalPrevClickY = 0;
        for (int p = 0; p < 8; ++p) {
            g_PlayerClickX[p] = g_PlayerClickY[p] = 0;
            g_PlayerPrevClickX[p] = g_PlayerPrevClickY[p] = NO_LINE_START;
            g_bNetDragging[p] = 0;
            g_ShiftDown[p] = g_CtrlDown[p] = 0;
        }
        g_bPaused = 0;
    }
    void SetCursor(std::int32_t x, std::int32_t y)
    {
        std::lock_guard lock(g_InputLock);
        g_CursorMapX = x;
        g_CursorMapY = y;
    }
    // The point a click must hit to reach the unit's body.
    static void BodyPoint(const TUnit& u, std::int32_t& x, std::int32_t& y)
    {
        float fx = 0.0f, fy = 0.0f;
        UnitSeenPoint(u, fx, fy);
        x = static_cast<std::int32_t>(fx);
        y = static_cast<std::int32_t>(fy);
    }
    THouse* AddHouse(std::uint8_t p, std::int32_t x, std::int32_t y)
    {
        THouse* h = world.AddPlayerHouse(p, x, y, &houseType);
        h->HitPoints = 90.0f;
        h->MaxHitPoints = 120;
        return h;
    }

    // A map point whose picked cell (heights included) is the cell.
    static std::pair<std::int32_t, std::int32_t> PointOnCell(std::int32_t cx, std::int32_t cy)
    {
        const TFloatPoint ref = HouseReferencePixel(cx, cy);
        for (std::int32_t dy = -120; dy <= 40; ++dy) {
            plat::Point cell;
            GetCellFromPoint(ref.x, ref.y + static_cast<float>(dy), cell);
            if (cell.x == cx && cell.y == cy)
                return {static_cast<std::int32_t>(ref.x), static_cast<std::int32_t>(ref.y) + dy};
        }
        ADD_FAILURE() << "no point picks cell " << cx << "," << cy;
        return {0, 0};
    }

    TestWorld world;
    TMapMouseServices savedMouse;
    TSelectionServices savedSelection;
    THouseType houseType;
    bool net = true;
    const std::int32_t miniLeft = 600;
    const std::int32_t miniTop = 400;
    std::vector<TSent> sent;
    std::vector<std::unique_ptr<THeapItem, void (*)(THeapItem*)>> queued;
    struct TGo {
        std::uint8_t p;
        std::int32_t x, y;
    };
    std::vector<TGo> goOrders;
    std::vector<std::pair<TUnit*, std::uint8_t>> fireOrders;
    struct TRally {
        THouse* h;
        float x, y;
    };
    std::vector<TRally> rally;
    int trenchLines = 0;
    std::vector<std::u16string> messages;
};

TEST_F(MapMouseTest, LeftPressBuildsTheOrderOfTheMouseState)
{
    THouse* h = AddHouse(0, 20, 40);
    struct Case {
        const char* name;
        std::int16_t placing;
        std::uint16_t mode;
        bool houseSelected;
        bool doubleClick;
        std::uint16_t commandClass;
        std::uint16_t id;
    };
    const Case cases[] = {
        {"building pending", 4, CURSOR_MODE_NORMAL, false, false, COMMAND_CLASS_OBJECTS, ORDER_ID_PLACE_HOUSE},
        {"fire at a point", -1, CURSOR_MODE_FIRE_AT_POINT, false, false, COMMAND_CLASS_SELECTION, ORDER_ID_AT_POINT},
        {"rally point", -1, CURSOR_MODE_RALLY_POINT, true, false, COMMAND_CLASS_OBJECTS, ORDER_ID_RALLY_POINT},
        {"rally mode without a house", -1, CURSOR_MODE_RALLY_POINT, false, false, COMMAND_CLASS_MOUSE, MOUSE_ID_PRESS},
        {"plain press", -1, CURSOR_MODE_NORMAL, false, false, COMMAND_CLASS_MOUSE, MOUSE_ID_PRESS},
        {"double click", -1, CURSOR_MODE_NORMAL, false, true, COMMAND_CLASS_MOUSE, MOUSE_ID_SAME_TYPE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sent.clear();
        ClearSelection(0);
        if (c.houseSelected)
            SelectHouseOf(0, h);
        {
            std::lock_guard lock(g_InputLock);
            g_PlacingHouseType = c.placing;
            g_CursorMode = c.mode;
            g_OrderFlag = 3;
            g_bDoubleClick = c.doubleClick ? 1 : 0;
            g_CursorMapX = 1000;
            g_CursorMapY = 2000;
        }
        PostMapClickCommand();
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].commandClass, c.commandClass);
        EXPECT_EQ(sent[0].id, c.id);
        EXPECT_EQ(sent[0].x, 1000);
        EXPECT_EQ(g_CursorMode, CURSOR_MODE_NORMAL) << "the armed mode is used once";
        EXPECT_EQ(g_OrderFlag, 0);
        if (c.id == ORDER_ID_PLACE_HOUSE)
            EXPECT_EQ(sent[0].params[0], 4u);
        if (c.id == ORDER_ID_AT_POINT)
            EXPECT_EQ(sent[0].params[0], 3u);
        if (c.id == ORDER_ID_RALLY_POINT)
            EXPECT_EQ(sent[0].houseRef, h->Index);
        if (c.commandClass == COMMAND_CLASS_MOUSE)
            EXPECT_EQ(sent[0].params[2], static_cast<std::uint32_t>(g_ViewPixelRight)) << "the view rectangle rides along";
    }
    // Paused, nothing is built.
    sent.clear();
    g_bPaused = 1;
    PostMapClickCommand();
    PostDragEndCommand();
    PostMapOrderCommand();
    EXPECT_TRUE(sent.empty());
}

TEST_F(MapMouseTest, TrenchLinesNeedAStoredStart)
{
    {
        std::lock_guard lock(g_InputLock);
        g_PlacingHouseType = -2;
        g_LocalPrevClickX = NO_LINE_START;
    }
    PostMapClickCommand();
    EXPECT_TRUE(sent.empty());
    {
        std::lock_guard lock(g_InputLock);
        g_LocalPrevClickX = 300;
        g_LocalPrevClickY = 400;
        g_CursorMapX = 700;
        g_CursorMapY = 800;
    }
    PostMapClickCommand();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].id, ORDER_ID_TRENCH_LINE);
    EXPECT_EQ(sent[0].params[0], PENDING_TRENCH_LINE);
    EXPECT_EQ(sent[0].params[1], 300u);
    EXPECT_EQ(sent[0].params[2], 400u);
    EXPECT_EQ(sent[0].params[3], 700u);
}

TEST_F(MapMouseTest, RightButtonOrdersSignalsAndOrientations)
{
    TUnit* u = world.AddUnit(0, testworld::kRifleman, 20, 40);
    ASSERT_NE(u, nullptr);
    // Nothing selected, on the minimap: a map signal at the minimap's map point.
    {
        std::lock_guard lock(g_InputLock);
        g_MouseX = miniLeft + 10;
        g_MouseY = miniTop + 20;
    }
    PostMapOrderCommand();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].commandClass, COMMAND_CLASS_GAME);
    EXPECT_EQ(sent[0].id, ORDER_ID_MAP_SIGNAL);
    EXPECT_EQ(sent[0].x, static_cast<std::int32_t>(10 * 96.0f * (60 * 0.005f)));
    EXPECT_EQ(sent[0].y, static_cast<std::int32_t>(20 * 24.0f * (120 * 0.005f)));

    // With a selection on the map: the move order.
    AddUnitToSelection(0, u);
    {
        std::lock_guard lock(g_InputLock);
        g_MouseX = g_MouseY = 50;
        g_CursorMapX = 500;
        g_CursorMapY = 600;
    }
    PostMapOrderCommand();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1].commandClass, COMMAND_CLASS_MOUSE);
    EXPECT_EQ(sent[1].id, MOUSE_ID_ORDER);

    // The right release: a drag of exactly 100 px sends nothing, 101 px the orientation.
    for (const auto& [length, sends] : {std::pair{100, false}, std::pair{101, true}}) {
        sent.clear();
        {
            std::lock_guard lock(g_InputLock);
            g_RPressMapX = 500;
            g_RPressMapY = 600;
            g_CursorMapX = 500 + length;
            g_CursorMapY = 600;
        }
        PostOrientationCommand();
        ASSERT_EQ(sent.size(), sends ? 1u : 0u) << length;
        if (sends) {
            EXPECT_EQ(sent[0].id, MOUSE_ID_ORIENT);
            EXPECT_LT(sent[0].x, 8);
            EXPECT_EQ(sent[0].y, 101);
        }
    }
}

TEST_F(MapMouseTest, PressAndFrameHandlersKeepThePlayersPressPoints)
{
    TUnit* a = world.AddUnit(1, testworld::kRifleman, 20, 40);
    TUnit* b = world.AddUnit(1, testworld::kRifleman, 22, 40);
    TUnit* far = world.AddUnit(1, testworld::kRifleman, 40, 90);
    ASSERT_TRUE(a && b && far);
    std::int32_t ax = 0, ay = 0, bx = 0, by = 0;
    BodyPoint(*a, ax, ay);
    BodyPoint(*b, bx, by);

    // Player 1 presses on a: the press points are player 1's alone; the local ones stay.
    MousePressAtPoint(1, ax, ay);
    EXPECT_EQ(g_PlayerClickX[1], ax);
    EXPECT_EQ(g_PlayerPrevClickX[1], 0);
    EXPECT_EQ(g_bNetDragging[1], 1);
    EXPECT_EQ(g_PlayerClickX[0], 0);
    EXPECT_EQ(g_LocalClickX, 0);
    EXPECT_EQ(a->Selected, 1);

    // The frame from the press point takes a and b, not the far one.
    SelectAtPointOrFrame(1, bx + 5, by + 5);
    EXPECT_EQ(world.Player(1)->NumSelectedUnits, 2);
    EXPECT_EQ(far->Selected, 0);
    MouseDragEnd(1);
    EXPECT_EQ(g_bNetDragging[1], 0);

    // Ctrl keeps the selection; a second press on a selected unit deselects it.
    g_CtrlDown[1] = 1;
    MousePressAtPoint(1, ax, ay);
    EXPECT_EQ(a->Selected, 0);
    EXPECT_EQ(b->Selected, 1);
    g_CtrlDown[1] = 0;

    // A double click selects the same type on the screen.
    const TMapRect screen{0, 0, 60 * 96, 120 * 24};
    SelectSameTypeOnScreen(1, ax, ay, screen);
    EXPECT_EQ(world.Player(1)->NumSelectedUnits, 3);

    OrderSelectionToPoint(1, 1234, 567);
    ASSERT_EQ(goOrders.size(), 1u);
    EXPECT_EQ(goOrders[0].p, 1);
    EXPECT_EQ(goOrders[0].x, 1234);
    ClearSelection(1);
    OrderSelectionToPoint(1, 1, 1);
    EXPECT_EQ(goOrders.size(), 1u) << "no selection, no order";
}

TEST_F(MapMouseTest, OrientationTurnsStandingUnitsWithoutGroups)
{
    TUnit* u = world.AddUnit(0, testworld::kRifleman, 20, 40);
    ASSERT_NE(u, nullptr);
    u->SetOrient(0);
    u->NumWork = 3;
    AddUnitToSelection(0, u);
    OrientSelection(0, 8, 300.0f); // refused
    EXPECT_EQ(u->Orient, 0);
    OrientSelection(0, 4, 300.0f);
    EXPECT_EQ(u->WantedOrient, 4);
    EXPECT_TRUE(u->Orient == 4 || u->NumWork == 5);
}

TEST_F(MapMouseTest, PickingNearTheMapsEdgesStaysOnTheMap)
{
    // Every corner and edge point: the neighbours and the lower pass leave the map and are skipped.
    const std::int32_t w = g_MapWidth * 96;
    const std::int32_t h = g_MapHeight * 24;
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{w - 1, 0}, std::pair{0, h - 1}, std::pair{w - 1, h - 1},
                               std::pair{w / 2, h - 1}, std::pair{w - 1, h / 2}}) {
        EXPECT_EQ(PickEnemyUnitAtPoint(0, x, y), nullptr);
        EXPECT_EQ(PickOwnUnitAtPoint(0, x, y), nullptr);
        SelectAtPoint(0, x, y);
    }
    // A unit on the last rows a ground unit may stand on is found; the lower pass is off the map.
    TUnit* enemy = world.AddUnit(1, testworld::kRifleman, g_MapWidth - 4, g_MapHeight - 9);
    TUnit* own = world.AddUnit(0, testworld::kRifleman, g_MapWidth - 6, g_MapHeight - 9);
    ASSERT_TRUE(enemy && own);
    std::int32_t x = 0, y = 0;
    BodyPoint(*enemy, x, y);
    EXPECT_EQ(PickEnemyUnitAtPoint(0, x, y), enemy);
    EXPECT_EQ(PickOwnUnitAtPoint(0, x, y), nullptr);
    BodyPoint(*own, x, y);
    EXPECT_EQ(PickOwnUnitAtPoint(0, x, y), own);
    world.SetAllies(0, 1, true);
    BodyPoint(*enemy, x, y);
    EXPECT_EQ(PickEnemyUnitAtPoint(0, x, y), nullptr) << "an ally is no enemy";
}

TEST_F(MapMouseTest, ClicksSelectOwnHousesAndDescribeForeignOnes)
{
    THouse* own = AddHouse(0, 20, 40);
    THouse* allied = AddHouse(1, 30, 60);
    const std::u16string name = u"Barracks";
    std::copy(name.begin(), name.end(), houseType.m_Name);
    world.SetAllies(0, 1, true);

    const auto [ownX, ownY] = PointOnCell(own->X, own->Y);
    SelectAtPoint(0, ownX, ownY);
    EXPECT_EQ(GetSingleSelectedHouse(0), own);
    EXPECT_EQ(own->Selected, 1);

    ClearSelection(0);
    const auto [allyX, allyY] = PointOnCell(allied->X, allied->Y);
    SelectAtPoint(0, allyX, allyY);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find(u"Barracks, "), std::u16string::npos);
    EXPECT_NE(messages[0].find(GetResString(u"IDS_ALLY")), std::u16string::npos);
    EXPECT_NE(messages[0].find(u"(90/120)"), std::u16string::npos);
    EXPECT_EQ(GetSingleSelectedHouse(0), nullptr);

    // Another player's click describes nothing on this screen.
    SelectAtPoint(1, ownX, ownY);
    EXPECT_EQ(messages.size(), 1u);
}

TEST_F(MapMouseTest, SinglePlayFrameSelectsOrdersAndQueuesPlacements)
{
    net = false;
    TUnit* a = world.AddUnit(0, testworld::kRifleman, 20, 40);
    TUnit* b = world.AddUnit(0, testworld::kRifleman, 22, 40);
    ASSERT_TRUE(a && b);
    std::int32_t ax = 0, ay = 0, bx = 0, by = 0;
    BodyPoint(*a, ax, ay);
    BodyPoint(*b, bx, by);

    // A click on a.
    SetCursor(ax, ay);
    {
        std::lock_guard lock(g_InputLock);
        g_bLButtonDown = 1;
    }
    ProcessMapMouse();
    EXPECT_EQ(a->Selected, 1);
    EXPECT_EQ(g_bLButtonDown, 0) << "the frame consumes the press";
    EXPECT_EQ(g_bMapDragging, 1);
    EXPECT_EQ(g_PlayerClickX[0], ax);

    // Released past b: the frame takes both.
    SetCursor(bx + 5, by + 5);
    {
        std::lock_guard lock(g_InputLock);
        g_bLButtonUp = 1;
    }
    ProcessMapMouse();
    EXPECT_EQ(world.Player(0)->NumSelectedUnits, 2);
    EXPECT_EQ(g_bNetDragging[0], 0);

    // A right press orders them; in fire-at-point mode each selected unit fires.
    SetCursor(900, 1500);
    {
        std::lock_guard lock(g_InputLock);
        g_bRButtonDown = 1;
    }
    ProcessMapMouse();
    ASSERT_EQ(goOrders.size(), 1u);
    EXPECT_EQ(goOrders[0].x, 900);
    {
        std::lock_guard lock(g_InputLock);
        g_bRButtonDown = 1;
        g_CursorMode = CURSOR_MODE_FIRE_AT_POINT;
        g_OrderFlag = 2;
    }
    ProcessMapMouse();
    EXPECT_EQ(fireOrders.size(), 2u);
    EXPECT_EQ(fireOrders[0].second, 2);
    EXPECT_EQ(goOrders.size(), 1u);

    // A pending building is queued as a record at the snapped cell point.
    {
        std::lock_guard lock(g_InputLock);
        g_PlacingHouseType = 6;
        g_bLButtonDown = 1;
    }
    SetCursor(20 * 96 + 10, 41 * 24 + 3);
    ProcessMapMouse();
    ASSERT_EQ(queued.size(), 1u);
    EXPECT_EQ(queued[0]->commandClass, COMMAND_CLASS_OBJECTS);
    EXPECT_EQ(queued[0]->id, ORDER_ID_PLACE_HOUSE);
    EXPECT_EQ(queued[0]->params[0], 6u);
    plat::Point cell;
    GetCellFromPoint(20 * 96 + 10, 41 * 24 + 3, cell);
    EXPECT_EQ(queued[0]->x, static_cast<float>((2 * cell.x - (cell.y % 2 == 0 ? 1 : 0)) * 48));

    // A trench start stored by the mouse thread and a press at the same point: nothing.
    {
        std::lock_guard lock(g_InputLock);
        g_PlacingHouseType = -2;
        g_LocalPrevClickX = g_LocalClickX = 700;
        g_LocalPrevClickY = g_LocalClickY = 900;
        g_bLButtonDown = 1;
    }
    ProcessMapMouse();
    EXPECT_EQ(trenchLines, 0);
    {
        std::lock_guard lock(g_InputLock);
        g_LocalClickX = 900;
        g_bLButtonDown = 1;
    }
    ProcessMapMouse();
    EXPECT_EQ(trenchLines, 1);
    EXPECT_EQ(g_PlacingHouseType, -1);
    EXPECT_EQ(g_PlayerPrevClickX[0], 700);

    // Rally-point mode: the press keeps the building selected, the release sets its point there.
    THouse* h = AddHouse(0, 30, 60);
    ClearSelection(0);
    SelectHouseOf(0, h);
    SetCursorMode(CURSOR_MODE_RALLY_POINT);
    SetCursor(1500, 1700);
    {
        std::lock_guard lock(g_InputLock);
        g_bLButtonDown = 1;
    }
    ProcessMapMouse();
    EXPECT_EQ(GetSingleSelectedHouse(0), h);
    {
        std::lock_guard lock(g_InputLock);
        g_bLButtonUp = 1;
    }
    ProcessMapMouse();
    ASSERT_EQ(rally.size(), 1u);
    EXPECT_EQ(rally[0].h, h);
    EXPECT_EQ(rally[0].x, 1500.0f);
    EXPECT_EQ(g_CursorMode, CURSOR_MODE_NORMAL);
}

TEST_F(MapMouseTest, CursorShowsAttackOverAnEnemy)
{
    TUnit* u = world.AddUnit(0, testworld::kRifleman, 20, 40);
    TUnit* enemy = world.AddUnit(1, testworld::kRifleman, 24, 40);
    ASSERT_TRUE(u && enemy);
    std::int32_t x = 0, y = 0;
    BodyPoint(*enemy, x, y);
    SetCursor(x, y);
    UpdateCursorMode();
    EXPECT_EQ(g_CursorMode, CURSOR_MODE_NORMAL) << "nothing selected";
    AddUnitToSelection(0, u);
    UpdateCursorMode();
    EXPECT_EQ(g_CursorMode, CURSOR_MODE_ATTACK);
    EXPECT_EQ(g_CursorIndex, CURSOR_MODE_ATTACK);
    {
        std::lock_guard lock(g_InputLock);
        g_CursorMode = CURSOR_MODE_FIRE_AT_POINT;
    }
    UpdateCursorMode();
    EXPECT_EQ(g_CursorMode, CURSOR_MODE_FIRE_AT_POINT) << "an armed mode is left alone";
    SetCursorMode(CURSOR_MODE_NORMAL);
}

} // namespace
