#include "players/map_mouse.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <string>
#include <unordered_set>

#include "combat/unit_events.h"
#include "combat/unit_orders.h"
#include "core/app_state.h"
#include "core/error_log.h"
#include "core/string_table.h"
#include "devices/mouse.h"
#include "devices/sound.h"
#include "map/fog.h"
#include "map/map_grid.h"
#include "map/map_objects.h"
#include "map/map_view.h"
#include "map/minimap.h"
#include "map/terrain.h"
#include "map/trenches.h"
#include "movement/directions.h"
#include "movement/group_selection.h"
#include "net/net_events.h"
#include "players/command.h"
#include "players/game_cycle.h"
#include "players/strateg.h"
#include "ui/menus.h"
#include "ui/panel.h"
#include "ui/window_stack.h"
#include "ui/windows.h"
#include "units/house.h"
#include "units/house_queue.h"
#include "units/house_types.h"
#include "units/unit.h"

std::uint16_t g_CursorMode = CURSOR_MODE_NORMAL;
std::uint8_t g_OrderFlag = 0;
std::uint8_t g_bNetDragging[8] = {};
TNetDragCorner g_NetDragCorner;
std::uint32_t g_NetDragCount = 0;

namespace {

constexpr std::uint16_t kHouseCodeFirst = 1000;
constexpr std::uint16_t kHouseCodeLast = 8999;
constexpr std::uint32_t kWhite = 0xFFFFFF;
// The second picking pass looks this far below the point (tall sprites stand on lower cells).
constexpr float kPickLowerPass = 400.0f;
// Below every drawn y a match can have.
constexpr float kPickNoneY = -100.0f;
constexpr std::uint8_t kWorkTurning = 5;
constexpr std::uint8_t kAckSub = 1;
constexpr std::uint8_t kAckPriority = 4;

TStrateg* Player(std::uint8_t player)
{
    return player < 8 ? g_Strateg[player] : nullptr;
}

bool ModifierHeld(std::uint8_t p)
{
    return g_ShiftDown[p] != 0 || g_CtrlDown[p] != 0;
}

void RefreshPanel(std::uint8_t p)
{
    if (p == MyPlayer && SelectionServices().refreshPanel)
        SelectionServices().refreshPanel(0);
}

// The caller holds g_InputLock (the mouse thread's builders).
bool BuildersBlocked()
{
    return g_bPaused != 0 || g_MainMenuWindow != nullptr || g_bTearingDown != 0 || MyStrateg == nullptr;
}

THouse* HouseAtCell(const plat::Point& cell)
{
    if (!IsTileInMap(cell))
        return nullptr;
    const std::uint16_t code = GetObjectFromMap(cell);
    if (code < kHouseCodeFirst || code > kHouseCodeLast)
        return nullptr;
    return HouseFromObjectCode(code);
}

plat::Point CellOf(float x, float y)
{
    plat::Point cell;
    GetCellFromPoint(x, y, cell);
    return cell;
}

float LandHeightAt(std::int32_t x, std::int32_t y)
{
    return static_cast<float>(GetLandHeight(static_cast<float>(x), static_cast<float>(y)));
}

// The player's selected building while one is selected.
THouse* SelectedHouse(const TStrateg& s)
{
    return s.SelectedHouseFlag != 0 ? s.SelectedHouse : nullptr;
}

std::uint16_t HouseRef(std::uint8_t player, const TStrateg& s)
{
    return static_cast<std::uint16_t>(player * 1000 + s.g_wNumSelectedHouse);
}

void PressBookkeeping(std::uint8_t p, std::int32_t x, std::int32_t y)
{
    std::lock_guard lock(g_InputLock);
    g_PlayerPrevClickX[p] = g_PlayerClickX[p];
    g_PlayerPrevClickY[p] = g_PlayerClickY[p];
    g_PlayerClickX[p] = x;
    g_PlayerClickY[p] = y;
    g_bNetDragging[p] = 1;
}

// The panel follows the local player's selection only: another player's click leaves it alone.
void PanelAfterClick(std::uint8_t p, const TStrateg& s)
{
    if (p != MyPlayer)
        return;
    if (s.SelectionHead != nullptr && s.SelectionHead->unit != nullptr)
        g_PanelUnitType = s.SelectionHead->unit->Type;
    if (s.g_wNumSelectedHouse < STRATEG_NO_HOUSE)
        g_PanelHouse = s.g_wNumSelectedHouse;
}

// Does the unit's drawn body hold the point? Its seen y is returned for the choice between matches.
bool BodyHolds(const TUnit& u, float x, float y, float& seenY)
{
    if (u.Basic == nullptr)
        return false;
    float ux = 0.0f;
    UnitSeenPoint(u, ux, seenY);
    const float halfW = static_cast<float>(u.Basic->m_SpriteWidth) / 4.0f;
    const float halfH = static_cast<float>(u.Basic->m_SpriteHeight) / 4.0f;
    return ux - halfW <= x && x <= ux + halfW && seenY - halfH <= y && y <= seenY + halfH;
}

// Scans the point's cell and its 8 neighbours, then the cell 400 px lower and its neighbours; cells
// outside the map are skipped. The match drawn lowest wins; the first pass with a match ends it.
template <typename Wanted>
TUnit* PickUnit(std::int32_t px, std::int32_t py, Wanted wanted)
{
    if (g_pUnitsMap == nullptr)
        return nullptr;
    const float x = static_cast<float>(px);
    const float y = static_cast<float>(py);
    for (const float lower : {0.0f, kPickLowerPass}) {
        const plat::Point base = CellOf(x, y + lower);
        TUnit* best = nullptr;
        float bestY = kPickNoneY;
        for (std::uint8_t dir = 0; dir < kDirectionCount; ++dir) {
            const plat::Point cell = dir == 0 ? base : GetNeighbourPoint(base, dir);
            if (!IsTileInMap(cell))
                continue;
            TUnit** list = g_pUnitsMap[CellIndex(cell.x, cell.y)];
            for (int i = 0; list != nullptr && i < kCellUnitCapacity && list[i] != nullptr; ++i) {
                TUnit* u = list[i];
                float seenY = 0.0f;
                if (u->Dead != 0 || !wanted(*u) || !BodyHolds(*u, x, y, seenY))
                    continue;
                if (seenY > bestY) {
                    best = u;
                    bestY = seenY;
                }
            }
        }
        if (best != nullptr)
            return best;
    }
    return nullptr;
}

std::u16string Number(float value)
{
    const std::string digits = std::to_string(static_cast<std::int32_t>(value));
    return std::u16string(digits.begin(), digits.end());
}

std::u16string NationText(std::uint8_t owner)
{
    static constexpr const char16_t* kNations[] = {u"MPS_RUSSIA_0", u"MPS_ENGLAND_1", u"MPS_FRANCE_2",
                                                   u"MPS_GERMANY_3", u"MPS_AUSTRIA_4"};
    const TStrateg* s = Player(owner);
    if (s == nullptr || s->Nation >= std::size(kNations))
        return {};
    return GetResString(kNations[s->Nation]);
}

std::u16string Side(std::uint8_t owner)
{
    return GetResString(IsEnemy(MyPlayer, owner) ? u"IDS_ENEMY" : u"IDS_ALLY");
}

// The description of a foreign building or unit under the point, for the message line.
std::u16string DescribeForeignObject(std::uint8_t p, std::int32_t x, std::int32_t y)
{
    const plat::Point cell = CellOf(static_cast<float>(x), static_cast<float>(y));
    if (const THouse* h = HouseAtCell(cell); h != nullptr && h->Owner != p && h->Owner < 8 && h->TypeRecord != nullptr) {
        const THouseType& type = h->Type();
        std::u16string text = type.m_Name;
        text += u", " + NationText(h->Owner) + u"," + Side(h->Owner);
        if (h->Destroyed != 0) {
            text += GetResString(u"IDS_HOUSE_DESTROYED");
        } else {
            const float built = type.m_BuildWork != 0
                ? 1.0f - static_cast<float>(h->BuildWork) / static_cast<float>(type.m_BuildWork)
                : 1.0f;
            const float maximum = h->MaxHitPoints != 0 ? h->MaxHitPoints : type.m_HitPoints;
            text += u"(" + Number(h->HitPoints * built) + u"/" + Number(maximum) + u")";
        }
        return text;
    }
    const TUnit* u = PickUnit(x, y, [p](const TUnit& unit) { return unit.Player != p && unit.Player < 8; });
    if (u == nullptr)
        return {};
    std::u16string text = u->Basic->m_Name;
    text += u", " + NationText(u->Player) + u"," + Side(u->Player);
    text += u"(" + Number(u->HitPoints) + u"/" + Number(u->Basic->MaxHitPoints[u->Player]) + u")";
    return text;
}

std::int32_t RectMin(std::int32_t a, std::int32_t b)
{
    return std::min(a, b);
}

// A player's frame from its press point to (x, y); false while it has no press point.
bool FrameOf(std::uint8_t p, std::int32_t x, std::int32_t y, TMapRect& frame)
{
    const std::int32_t px = g_PlayerClickX[p];
    const std::int32_t py = g_PlayerClickY[p];
    if (px == NO_LINE_START)
        return false;
    frame = {RectMin(px, x), RectMin(py, y), std::max(px, x), std::max(py, y)};
    return true;
}

bool SelectedUnitMay(const TStrateg& s, bool (*test)(const TBasicUnit&))
{
    for (const TSelectionNode* n = s.SelectionHead; n != nullptr; n = n->next)
        if (n->unit != nullptr && n->unit->Basic != nullptr && test(*n->unit->Basic))
            return true;
    return false;
}

bool HasRoomInside(const THouse& h)
{
    return h.InsideCount < h.Type().m_Capacity;
}

// The cursor mode over the map for the local player's selection (network play every frame, single
// play before its clicks).
std::uint16_t ChooseCursorMode(std::uint16_t mode, std::int32_t x, std::int32_t y)
{
    if (mode == CURSOR_MODE_PATROL || mode == CURSOR_MODE_RALLY_POINT || mode == CURSOR_MODE_FIRE_AT_POINT)
        return mode;
    TMapMouseServices& services = MapMouseServices();
    const std::uint8_t me = MyPlayer;
    const TStrateg* s = Player(me);
    if (s == nullptr || s->NumSelectedUnits == 0 || services.isCursorOverInterface())
        return CURSOR_MODE_NORMAL;
    const plat::Point cell = CellOf(static_cast<float>(x), static_cast<float>(y));
    if (!IsTileInMap(cell))
        return CURSOR_MODE_NORMAL;
    const bool hidden = services.fogHidesTile(static_cast<std::uint16_t>(cell.x), static_cast<std::uint16_t>(cell.y));
    const std::uint16_t code = GetObjectFromMap(cell);
    const THouse* house = HouseAtCell(cell);
    const bool own = house != nullptr && house->Owner == me && house->TypeRecord != nullptr;
    if (s->SelectionFlags[SELECTION_WORKER_FLAG] != 0) {
        if (!hidden && code >= OBJECT_CROP_FIRST && code <= OBJECT_CROP_LAST)
            return CURSOR_MODE_RESOURCE;
        if (own && !hidden && house->Destroyed == 0) {
            if (!house->IsFinished() || house->HitPoints < static_cast<float>(house->Type().m_HitPoints))
                return CURSOR_MODE_REPAIR;
            if (HasRoomInside(*house))
                return CURSOR_MODE_ENTER;
        }
    } else if (own && house->Destroyed == 0 && house->IsFinished() && HasRoomInside(*house)
               && SelectedUnitMay(*s, [](const TBasicUnit& t) { return t.m_ParamFlags[0] != 0 || t.m_Kind == UNIT_KIND_WORKER; })) {
        return CURSOR_MODE_ENTER;
    }
    if (!hidden) {
        if (PickEnemyUnitAtPoint(me, x, y) != nullptr)
            return CURSOR_MODE_ATTACK;
        if (house != nullptr && house->Destroyed == 0 && IsEnemy(me, house->Owner))
            return CURSOR_MODE_ATTACK;
    }
    const TUnit* carrier = PickOwnUnitAtPoint(me, x, y);
    if (carrier != nullptr && carrier->Type == UNIT_TYPE_CARRIER
        && SelectedUnitMay(*s, [](const TBasicUnit& t) { return t.m_bCarrier24 != 0; }))
        return CURSOR_MODE_ENTER;
    if (carrier != nullptr && carrier->Type == UNIT_TYPE_TRANSPORT_SHIP
        && carrier->m_PassengerCount < carrier->PassengerCapacity()
        && SelectedUnitMay(*s, [](const TBasicUnit& t) { return t.m_bCarrier17 != 0; }))
        return CURSOR_MODE_ENTER;
    return CURSOR_MODE_NORMAL;
}

// What the single-play frame takes of the mouse state; the one-shot flags are consumed.
struct TMouseFrame {
    bool leftDown = false;
    bool leftUp = false;
    bool rightDown = false;
    bool doubleClick = false;
    bool pressOnMap = false;
    std::int32_t cursorX = 0;
    std::int32_t cursorY = 0;
    std::int32_t mouseX = 0;
    std::int32_t mouseY = 0;
    std::int32_t localX = 0;
    std::int32_t localY = 0;
    std::int32_t localPrevX = 0;
    std::int32_t localPrevY = 0;
    std::int16_t placing = -1;
    std::uint16_t cursorMode = CURSOR_MODE_NORMAL;
    std::uint8_t orderFlag = 0;
};

TMouseFrame TakeMouseFrame()
{
    std::lock_guard lock(g_InputLock);
    TMouseFrame f;
    f.leftDown = g_bLButtonDown != 0;
    f.leftUp = g_bLButtonUp != 0;
    f.rightDown = g_bRButtonDown != 0;
    f.doubleClick = g_bDoubleClick != 0;
    f.pressOnMap = g_bLPressOnMap != 0;
    f.cursorX = g_CursorMapX;
    f.cursorY = g_CursorMapY;
    f.mouseX = g_MouseX;
    f.mouseY = g_MouseY;
    f.localX = g_LocalClickX;
    f.localY = g_LocalClickY;
    f.localPrevX = g_LocalPrevClickX;
    f.localPrevY = g_LocalPrevClickY;
    f.placing = g_PlacingHouseType;
    f.cursorMode = g_CursorMode;
    f.orderFlag = g_OrderFlag;
    g_bLButtonDown = 0;
    g_bLButtonUp = 0;
    g_bRButtonDown = 0;
    g_bRButtonUp = 0;
    g_bDoubleClick = 0;
    if (f.leftDown && f.pressOnMap)
        g_bMapDragging = 1;
    return f;
}

TMapRect ViewRect()
{
    return {g_ViewPixelX, g_ViewPixelY, g_ViewPixelRight, g_ViewPixelBottom};
}

void PlaceHouseRecord(const TMouseFrame& f)
{
    plat::Point cell = CellOf(static_cast<float>(f.cursorX), static_cast<float>(f.cursorY));
    float x = static_cast<float>(f.cursorX);
    float y = static_cast<float>(f.cursorY);
    if (IsTileInMap(cell)) {
        x = static_cast<float>((2 * cell.x - (cell.y % 2 == 0 ? 1 : 0)) * 48);
        y = static_cast<float>(cell.y * kRowStep) - static_cast<float>(GetHeightFromMap(cell));
    } else {
        ReportError("перебор в GetCoordsUseTile");
    }
    THeapItem* record = NewCommand(COMMAND_CLASS_OBJECTS, ORDER_ID_PLACE_HOUSE, x, y);
    record->params[0] = static_cast<std::uint16_t>(f.placing);
    MapMouseServices().addCommand(MyStrateg, record);
}

// The second press of a trench line: the line runs from the stored start to this press.
void DigLineFromStart(std::uint8_t me, const TMouseFrame& f)
{
    if (f.localPrevX == NO_LINE_START || (f.localPrevX == f.localX && f.localPrevY == f.localY))
        return;
    {
        std::lock_guard lock(g_InputLock);
        g_PlayerPrevClickX[me] = f.localPrevX;
        g_PlayerPrevClickY[me] = f.localPrevY;
        g_PlayerClickX[me] = f.localX;
        g_PlayerClickY[me] = f.localY;
        g_PlacingHouseType = -1;
    }
    const plat::Point start = CellOf(static_cast<float>(f.localPrevX), static_cast<float>(f.localPrevY));
    MapMouseServices().digTrenchLine(me, static_cast<float>(f.localX), static_cast<float>(f.localY), start.x, start.y);
}

void RightPressSinglePlay(std::uint8_t me, TStrateg& s, const TMouseFrame& f)
{
    TMapMouseServices& services = MapMouseServices();
    std::int32_t x = f.cursorX;
    std::int32_t y = f.cursorY;
    if (services.isPointInMiniMap(f.mouseX, f.mouseY)) {
        std::lock_guard lock(g_InputLock);
        MiniMapPointToMap(f.mouseX, f.mouseY, x, y);
    } else if (services.isCursorOverInterface()) {
        return;
    }
    if (THouse* house = SelectedHouse(s); house != nullptr) {
        services.setHousePoint(house, static_cast<float>(x), static_cast<float>(y) + LandHeightAt(x, y));
        return;
    }
    if (f.cursorMode == CURSOR_MODE_FIRE_AT_POINT) {
        for (TSelectionNode* n = s.SelectionHead; n != nullptr; n = n->next)
            if (n->unit != nullptr)
                services.unitOrderAtPoint(n->unit, static_cast<float>(x), static_cast<float>(y), f.orderFlag);
        SetCursorMode(CURSOR_MODE_NORMAL);
        return;
    }
    OrderSelectionToPoint(me, x, y);
}

} // namespace

TMapMouseServices TMapMouseServices::Default()
{
    TMapMouseServices s;
    s.sendCommand = [](TNetData* message) { SendCommand(message); };
    s.addCommand = [](TStrateg* player, THeapItem* item) {
        if (player != nullptr)
            player->AddCommand(item);
        else
            FreeHeapItem(item);
    };
    s.selectedUnitsGo = [](std::uint8_t p, std::int32_t x, std::int32_t y) { SelectedUnitsGo(p, x, y); };
    s.unitOrderAtPoint = [](TUnit* u, float x, float y, std::uint8_t flag) { UnitOrderAtPoint(u, x, y, flag); };
    s.setHousePoint = [](THouse* h, float x, float y) { SetHousePoint(h, x, y); };
    s.digTrenchLine = [](std::uint8_t p, float x, float y, std::int32_t sx, std::int32_t sy) {
        g_TrenchList.DigTrenchLine(p, x, y, sx, sy);
    };
    s.isNetGame = [] { return IsNetGame(); };
    s.isCursorOverInterface = [] { return IsCursorOverInterface(); };
    s.isPointInMiniMap = [](std::int32_t x, std::int32_t y) { return IsPointInMiniMap(x, y); };
    s.fogHidesTile = [](std::uint16_t x, std::uint16_t y) { return FogTestTile(x, y); };
    s.showMessageLine = [](const char16_t* text, std::uint32_t colour) { ShowMessageLine(text, colour); };
    return s;
}

TMapMouseServices& MapMouseServices()
{
    static TMapMouseServices services = TMapMouseServices::Default();
    return services;
}

void SetCursorMode(std::uint16_t mode)
{
    std::lock_guard lock(g_InputLock);
    g_CursorMode = mode;
    g_CursorIndex = mode < CURSOR_COUNT ? mode : CURSOR_MODE_NORMAL;
}

void MiniMapPointToMap(std::int32_t mouseX, std::int32_t mouseY, std::int32_t& x, std::int32_t& y)
{
    // The minimap shows the whole map in 200 x 200 pixels: a pixel spans width * 0.005 columns of
    // 96 pixels and height * 0.005 rows of 24.
    const float scaleX = static_cast<float>(g_MapWidth) * 0.005f;
    const float scaleY = static_cast<float>(g_MapHeight) * 0.005f;
    x = static_cast<std::int32_t>(static_cast<float>(mouseX - g_MiniMapLeft) * 96.0f * scaleX);
    y = static_cast<std::int32_t>(static_cast<float>(mouseY - g_MiniMapTop) * 24.0f * scaleY);
}

// ---- order builders (mouse thread, g_InputLock held) ----------------------------------------------

void PostMapClickCommand()
{
    std::lock_guard lock(g_InputLock);
    if (BuildersBlocked() || g_bLPressOnMap == 0)
        return;
    const std::int32_t x = g_CursorMapX;
    const std::int32_t y = g_CursorMapY;
    TNetData* message = nullptr;
    if (g_PlacingHouseType >= 0) {
        message = NewNetData(COMMAND_CLASS_OBJECTS, ORDER_ID_PLACE_HOUSE);
        message->x = x;
        message->y = y;
        message->params[0] = static_cast<std::uint32_t>(g_PlacingHouseType);
    } else if (g_PlacingHouseType == -2) {
        if (g_LocalPrevClickX == NO_LINE_START)
            return;
        if (!MapMouseServices().isNetGame() && g_LocalPrevClickX == g_LocalClickX && g_LocalPrevClickY == g_LocalClickY)
            return;
        message = NewNetData(COMMAND_CLASS_OBJECTS, ORDER_ID_TRENCH_LINE);
        message->x = x;
        message->y = y;
        message->params[0] = PENDING_TRENCH_LINE;
        message->params[1] = static_cast<std::uint32_t>(g_LocalPrevClickX);
        message->params[2] = static_cast<std::uint32_t>(g_LocalPrevClickY);
        message->params[3] = static_cast<std::uint32_t>(x);
        message->params[4] = static_cast<std::uint32_t>(y);
    } else if (g_CursorMode == CURSOR_MODE_FIRE_AT_POINT) {
        message = NewNetData(COMMAND_CLASS_SELECTION, ORDER_ID_AT_POINT);
        message->x = x;
        message->y = y + static_cast<std::int32_t>(LandHeightAt(x, y));
        message->params[0] = g_OrderFlag;
    } else if (g_CursorMode == CURSOR_MODE_RALLY_POINT && MyStrateg->SelectedHouseFlag != 0) {
        message = NewNetData(COMMAND_CLASS_OBJECTS, ORDER_ID_RALLY_POINT);
        message->x = x;
        message->y = y + static_cast<std::int32_t>(LandHeightAt(x, y));
        message->houseRef = HouseRef(MyPlayer, *MyStrateg);
    } else {
        message = NewNetData(COMMAND_CLASS_MOUSE, g_bDoubleClick != 0 ? MOUSE_ID_SAME_TYPE : MOUSE_ID_PRESS);
        message->x = x;
        message->y = y;
        const TMapRect view = ViewRect();
        message->params[0] = static_cast<std::uint32_t>(view.left);
        message->params[1] = static_cast<std::uint32_t>(view.top);
        message->params[2] = static_cast<std::uint32_t>(view.right);
        message->params[3] = static_cast<std::uint32_t>(view.bottom);
    }
    SetCursorMode(CURSOR_MODE_NORMAL);
    g_OrderFlag = 0;
    MapMouseServices().sendCommand(message);
}

void PostDragEndCommand()
{
    std::lock_guard lock(g_InputLock);
    if (BuildersBlocked())
        return;
    TNetData* message = NewNetData(COMMAND_CLASS_MOUSE, MOUSE_ID_DRAG_END);
    message->x = g_CursorMapX;
    message->y = g_CursorMapY;
    MapMouseServices().sendCommand(message);
}

void PostMapOrderCommand()
{
    std::lock_guard lock(g_InputLock);
    if (BuildersBlocked())
        return;
    TMapMouseServices& services = MapMouseServices();
    const bool onMiniMap = services.isPointInMiniMap(g_MouseX, g_MouseY);
    if (!onMiniMap && services.isCursorOverInterface())
        return;
    std::int32_t x = g_CursorMapX;
    std::int32_t y = g_CursorMapY;
    if (onMiniMap)
        MiniMapPointToMap(g_MouseX, g_MouseY, x, y);
    const bool houseSelected = MyStrateg->SelectedHouseFlag != 0;
    TNetData* message = nullptr;
    if (onMiniMap && !houseSelected && MyStrateg->NumSelectedUnits == 0) {
        message = NewNetData(COMMAND_CLASS_GAME, ORDER_ID_MAP_SIGNAL);
        message->x = x;
        message->y = y;
    } else if (houseSelected) {
        message = NewNetData(COMMAND_CLASS_OBJECTS, ORDER_ID_RALLY_POINT);
        message->x = x;
        message->y = y + static_cast<std::int32_t>(LandHeightAt(x, y));
        message->houseRef = HouseRef(MyPlayer, *MyStrateg);
        SetCursorMode(CURSOR_MODE_NORMAL);
    } else {
        message = NewNetData(COMMAND_CLASS_MOUSE, MOUSE_ID_ORDER);
        message->x = x;
        message->y = y;
    }
    services.sendCommand(message);
}

void PostOrientationCommand()
{
    std::lock_guard lock(g_InputLock);
    if (BuildersBlocked() || MyStrateg->NumSelectedUnits == 0)
        return;
    const float d = RightDragLength();
    if (!(d > ORIENTATION_DRAG_MIN))
        return;
    TNetData* message = NewNetData(COMMAND_CLASS_MOUSE, MOUSE_ID_ORIENT);
    message->x = GetOrientToPoint(static_cast<float>(g_RPressMapX), static_cast<float>(g_RPressMapY),
                                  static_cast<float>(g_CursorMapX), static_cast<float>(g_CursorMapY));
    message->y = static_cast<std::int32_t>(d);
    MapMouseServices().sendCommand(message);
}

// ---- handlers (main thread, for the acting player) ---------------------------------------------------

void MousePressAtPoint(std::uint8_t p, std::int32_t x, std::int32_t y)
{
    TStrateg* s = Player(p);
    if (s == nullptr)
        return;
    PressBookkeeping(p, x, y);
    if (!ModifierHeld(p))
        ClearSelection(p);
    SelectAtPoint(p, x, y);
    PanelAfterClick(p, *s);
}

void SelectSameTypeOnScreen(std::uint8_t p, std::int32_t x, std::int32_t y, const TMapRect& view)
{
    TStrateg* s = Player(p);
    if (s == nullptr)
        return;
    PressBookkeeping(p, x, y);
    ClearSelection(p);
    SelectAtPoint(p, x, y);
    if (s->NumSelectedUnits != 0)
        SelectSameTypesInRect(p, &view);
}

void SelectAtPointOrFrame(std::uint8_t p, std::int32_t x, std::int32_t y)
{
    TStrateg* s = Player(p);
    if (s == nullptr)
        return;
    if (!ModifierHeld(p))
        ClearSelection(p);
    bool added = false;
    TMapRect frame;
    if (FrameOf(p, x, y, frame)) {
        for (TUnit* u = s->FirstUnit; u != nullptr; u = u->m_pNext) {
            if (u->Selected != 0 || !IsUnitInRect(*u, frame) || !IsUnitSelectable(*u))
                continue;
            AddUnitToSelection(p, u);
            added = true;
        }
    }
    if (!added)
        SelectAtPoint(p, x, y);
    PanelAfterClick(p, *s);
    if (added)
        RefreshPanel(p);
}

void OrderSelectionToPoint(std::uint8_t p, std::int32_t x, std::int32_t y)
{
    const TStrateg* s = Player(p);
    if (s == nullptr)
        return;
    if (s->NumSelectedUnits != 0)
        MapMouseServices().selectedUnitsGo(p, x, y);
    if (p == MyPlayer)
        SetCursorMode(CURSOR_MODE_NORMAL);
}

void MouseDragEnd(std::uint8_t p)
{
    if (p >= 8)
        return;
    std::lock_guard lock(g_InputLock);
    g_bNetDragging[p] = 0;
    // The drag shown on this screen is the local player's own.
    if (p == MyPlayer)
        g_bMapDragging = 0;
}

void OrientSelection(std::uint8_t p, std::uint8_t orient, float distance)
{
    const TStrateg* s = Player(p);
    if (s == nullptr || orient >= UNIT_ORIENTS)
        return;
    std::unordered_set<TGroup*> ordered;
    for (TSelectionNode* n = s->SelectionHead; n != nullptr; n = n->next) {
        TUnit* u = n->unit;
        if (u == nullptr)
            continue;
        if (u->m_pGroup != nullptr) {
            if (ordered.insert(u->m_pGroup).second)
                OrientGroup(u->m_pGroup, orient, std::min(distance, ORIENT_SPACING_MAX));
            continue;
        }
        u->WantedOrient = orient;
        const bool standing = u->NumWork == 3 || u->NumWork == 4;
        if (!standing || u->Orient == static_cast<std::int8_t>(orient))
            continue;
        // A type drawn with a turning animation turns through it; others face the new way at once.
        if (u->Basic != nullptr && u->Basic->AnimationSize[kWorkTurning] != 0) {
            u->NumWork = kWorkTurning;
            u->NumSprite = 0.0f;
        } else {
            u->SetOrient(orient);
        }
    }
}

// ---- picking and the click ----------------------------------------------------------------------

TUnit* PickEnemyUnitAtPoint(std::uint8_t player, std::int32_t x, std::int32_t y)
{
    return PickUnit(x, y, [player](const TUnit& u) { return IsEnemy(player, u.Player); });
}

TUnit* PickOwnUnitAtPoint(std::uint8_t player, std::int32_t x, std::int32_t y)
{
    return PickUnit(x, y, [player](const TUnit& u) { return u.Player == player; });
}

void SelectAtPoint(std::uint8_t p, std::int32_t x, std::int32_t y)
{
    TStrateg* s = Player(p);
    if (s == nullptr)
        return;
    const plat::Point cell = CellOf(static_cast<float>(x), static_cast<float>(y));
    if (!IsTileInMap(cell))
        return;
    if (s->NumSelectedUnits == 0) {
        THouse* house = HouseAtCell(cell);
        if (house != nullptr && house->Owner == p && house->Destroyed == 0)
            SelectHouseOf(p, house);
    }
    if (s->SelectedHouseFlag != 0) {
        while (s->SelectionHead != nullptr && s->SelectionHead->unit != nullptr)
            DeleteSelection(p, s->SelectionHead->unit);
        s->SelectionFlags[SELECTION_WORKER_FLAG] = 0;
        s->SelectionFlags[SELECTION_KIND7_FLAG] = 0;
        RefreshPanel(p);
        return;
    }
    TUnit* best = nullptr;
    float bestY = 0.0f;
    for (TUnit* u = s->FirstUnit; u != nullptr; u = u->m_pNext) {
        float seenY = 0.0f;
        if (!BodyHolds(*u, static_cast<float>(x), static_cast<float>(y), seenY) || !IsUnitSelectable(*u))
            continue;
        if (best == nullptr || seenY > bestY) {
            best = u;
            bestY = seenY;
        }
    }
    if (best != nullptr) {
        if (best->Selected != 0)
            DeleteSelection(p, best);
        else
            AddUnitToSelection(p, best);
        if (p == MyPlayer) {
            RefreshPanel(p);
            SelectionServices().playSound(SOUND_UNIT, best, kAckSub, kAckPriority);
        }
        return;
    }
    if (p != MyPlayer)
        return;
    if (s->NumSelectedUnits != 0 || s->SelectedHouseFlag != 0) {
        RefreshPanel(p);
        return;
    }
    const std::u16string text = DescribeForeignObject(p, x, y);
    if (!text.empty())
        MapMouseServices().showMessageLine(text.c_str(), kWhite);
}

// ---- per frame ------------------------------------------------------------------------------------

void UpdateCursorMode()
{
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::uint16_t mode = CURSOR_MODE_NORMAL;
    {
        std::lock_guard lock(g_InputLock);
        x = g_CursorMapX;
        y = g_CursorMapY;
        mode = g_CursorMode;
    }
    const std::uint16_t chosen = ChooseCursorMode(mode, x, y);
    if (chosen != mode)
        SetCursorMode(chosen);
}

void ProcessMapMouse()
{
    const std::uint8_t me = MyPlayer;
    TStrateg* s = Player(me);
    if (s == nullptr)
        return;
    const TMouseFrame f = TakeMouseFrame();
    TMapMouseServices& services = MapMouseServices();
    const std::uint16_t mode = ChooseCursorMode(f.cursorMode, f.cursorX, f.cursorY);
    if (mode != f.cursorMode)
        SetCursorMode(mode);

    if (f.leftUp) {
        THouse* house = SelectedHouse(*s);
        if (house != nullptr && mode == CURSOR_MODE_RALLY_POINT) {
            const std::int32_t px = g_PlayerClickX[me];
            const std::int32_t py = g_PlayerClickY[me];
            services.setHousePoint(house, static_cast<float>(px), static_cast<float>(py) + LandHeightAt(px, py));
            SetCursorMode(CURSOR_MODE_NORMAL);
        } else if (f.placing == -1 && g_bNetDragging[me] != 0) {
            // The frame runs from the press to the release; a release where the press was leaves
            // the press's own selection as it is.
            if (f.cursorX != g_PlayerClickX[me] || f.cursorY != g_PlayerClickY[me])
                SelectAtPointOrFrame(me, f.cursorX, f.cursorY);
        }
        MouseDragEnd(me);
    }
    if (f.leftDown && f.pressOnMap) {
        if (f.placing >= 0) {
            PlaceHouseRecord(f);
        } else if (mode == CURSOR_MODE_RALLY_POINT && SelectedHouse(*s) != nullptr) {
            // The press only marks the rally point the release sets: the building stays selected.
            PressBookkeeping(me, f.cursorX, f.cursorY);
        } else if (f.placing == -2) {
            DigLineFromStart(me, f);
        } else if (f.doubleClick) {
            SelectSameTypeOnScreen(me, f.cursorX, f.cursorY, ViewRect());
        } else if (g_SelectAnything != 0 && !ModifierHeld(me)) {
            // The debug switch lets one player's click reach every player's units: all selections go.
            for (std::uint8_t p = 0; p < 8; ++p)
                if (p != me)
                    ClearSelection(p);
            MousePressAtPoint(me, f.cursorX, f.cursorY);
        } else {
            MousePressAtPoint(me, f.cursorX, f.cursorY);
        }
    }
    if (f.rightDown)
        RightPressSinglePlay(me, *s, f);
}
