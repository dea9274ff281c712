#include "players/dispatcher.h"

#include <cmath>
#include <limits>
#include <mutex>

#include "combat/effects.h"
#include "combat/unit_events.h"
#include "combat/unit_orders.h"
#include "combat/work_states.h"
#include "core/app_state.h"
#include "core/error_log.h"
#include "core/settings.h"
#include "devices/cursor_state.h"
#include "devices/mouse.h"
#include "devices/sound.h"
#include "map/map_grid.h"
#include "map/map_objects.h"
#include "map/map_view.h"
#include "map/minimap.h"
#include "map/trenches.h"
#include "movement/group_orders.h"
#include "movement/group_selection.h"
#include "movement/path_follow.h"
#include "movement/path_search.h"
#include "platform/events.h"
#include "platform/messages.h"
#include "players/command.h"
#include "players/computer_player.h"
#include "players/defeat.h"
#include "players/economy.h"
#include "players/game_cycle.h"
#include "players/hot_keys.h"
#include "players/map_mouse.h"
#include "players/selection.h"
#include "players/strateg.h"
#include "ui/command_handlers.h"
#include "ui/panel.h"
#include "ui/windows.h"
#include "units/build_site.h"
#include "units/building_graphics.h"
#include "units/house.h"
#include "units/house_queue.h"
#include "units/house_types.h"
#include "units/parameter_files.h"
#include "units/unit.h"
#include "units/upgrades.h"

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint8_t kSoundRefusal = 1;
constexpr std::uint8_t kAnimTurning = 5;

// Float to integer toward zero, as the handlers take their points; a value no integer holds (a
// hostile record's huge float or NaN) gives a fixed answer instead of being undefined.
std::int32_t Trunc(float v)
{
    if (v >= 2147483647.0f)
        return std::numeric_limits<std::int32_t>::max();
    if (v <= -2147483648.0f)
        return std::numeric_limits<std::int32_t>::min();
    return v == v ? static_cast<std::int32_t>(v) : 0;
}

// What one command is run with: the acting player and the record's values.
struct TCommand {
    THeapItem& item;
    std::uint8_t p;
    TStrateg& player;
    std::int32_t ix;
    std::int32_t iy;
};

void Refuse(const char* why, std::int64_t value)
{
    ReportErrorInt(why, static_cast<std::int32_t>(value));
}

// The record's building when it stands; a missing one is refused with a log line naming the id.
THouse* NeedHouse(const TCommand& c)
{
    if (c.item.house == nullptr)
        Refuse("ExecuteCommand: the building of the command is missing or destroyed, id ", c.item.id);
    return c.item.house;
}

// The same, and the building must be the acting player's: otherwise the player would pay for or
// change a building it does not own.
THouse* NeedOwnHouse(const TCommand& c)
{
    THouse* house = NeedHouse(c);
    if (house != nullptr && house->Owner != c.p) {
        Refuse("ExecuteCommand: the building of the command belongs to another player, id ", c.item.id);
        return nullptr;
    }
    return house;
}

bool UnitTypeInRange(const TCommand& c, std::int32_t type)
{
    const std::uint8_t nation = c.player.Nation;
    const std::int32_t count = nation < PARAM_SIDES ? g_NationUnitTypeCount[nation] : 0;
    if (type >= 0 && type < count)
        return true;
    Refuse("ExecuteCommand: no such unit type of the player's nation, type ", type);
    return false;
}

bool HouseTypeInRange(const TCommand& c, std::int32_t type)
{
    const std::uint8_t nation = c.player.Nation;
    const std::int32_t count = nation < HOUSE_SIDES ? g_NationHouseTypeCount[nation] : 0;
    if (type >= 0 && type < count)
        return true;
    Refuse("ExecuteCommand: no such building type of the player's nation, type ", type);
    return false;
}

bool Shift(std::uint8_t p)
{
    return g_ShiftDown[p] != 0;
}

bool Ctrl(std::uint8_t p)
{
    return g_CtrlDown[p] != 0;
}

// ---- bodies of the dispatcher's own commands -----------------------------------------------------

void PlaceHouse(const TCommand& c)
{
    TDispatcherServices& s = DispatcherServices();
    const auto type = static_cast<std::uint16_t>(c.item.params[0]);
    if (!HouseTypeInRange(c, type))
        return;
    const std::uint16_t index = s.addHouseToPointFull(c.p, c.item.x, c.item.y, type);
    if (index == HOUSE_NONE) {
        if (c.p == MyPlayer) {
            s.showMessageLine(g_CantBuildReason);
            s.playSound(kSoundRefusal);
        }
        return;
    }
    if (THouse* house = HouseAt(g_pHouse[c.p], index); house != nullptr && index < NumHouse[c.p])
        s.acquirePhaseGraphic(house);
    // With Shift held the cursor keeps the building for the next placement.
    if (c.p == MyPlayer && !Shift(c.p))
        s.dropCursorBuilding();
}

// A research id must name research of the academy it starts at before anything is paid.
bool WorkIdFits(const THouse& house, std::int32_t id)
{
    const std::int64_t index = std::int64_t{id} - UPGRADE_ID_FIRST;
    if (house.HouseType == HOUSE_SCIENCE_ACADEMY)
        return index >= 0 && index < SCIENCE_UPGRADES;
    if (house.HouseType == HOUSE_WAR_ACADEMY)
        return index >= 0 && index < WAR_UPGRADES;
    return id >= 0 && id <= 255;
}

void StartHouseWork(const TCommand& c)
{
    TDispatcherServices& s = DispatcherServices();
    THouse* house = NeedOwnHouse(c);
    if (house == nullptr || house->UpgradeFlag != 0)
        return;
    if (!WorkIdFits(*house, c.ix)) {
        Refuse("ExecuteCommand: no such work of the building, id ", c.ix);
        return;
    }
    if (c.iy < 0 || c.iy > 65535) {
        Refuse("ExecuteCommand: a building's work of impossible length, cycles ", c.iy);
        return;
    }
    // The costs are unsigned: a hostile record cannot make a payment that gives resources.
    static constexpr std::uint8_t kCostResource[5] = {RESOURCE_FOOD, RESOURCE_WOOD, RESOURCE_IRON, RESOURCE_GOLD,
                                                      RESOURCE_OIL};
    for (int k = 0; k < 5; ++k)
        s.addResourceAmount(c.p, kCostResource[k], -static_cast<double>(c.item.params[k]));
    const auto duration = static_cast<std::uint16_t>(c.iy);
    const auto id = static_cast<std::uint8_t>(c.ix);
    if (house->HouseType == HOUSE_SCIENCE_ACADEMY)
        s.startScienceUpgrade(house, duration, id);
    else if (house->HouseType == HOUSE_WAR_ACADEMY)
        s.startWarUpgrade(house, duration, id);
    else
        s.setHouseTimer(house, duration, id);
}

void FinishHouseWork(const TCommand& c)
{
    TDispatcherServices& s = DispatcherServices();
    THouse* house = NeedHouse(c);
    if (house == nullptr)
        return;
    if (house->HouseType == HOUSE_WAR_ACADEMY)
        s.academyFinishWarUpgrade(house, c.item.params);
    else
        s.academyFinishScienceUpgrade(house, c.item.params);
}

// The unit of a dropped or finished path move no longer points at a record that is freed.
void ForgetPendingRecord(TUnit& unit, const THeapItem& item)
{
    if (unit.m_pOrderObject == &item)
        unit.m_pOrderObject = nullptr;
}

bool DeferredPathMove(const TCommand& c)
{
    TDispatcherServices& s = DispatcherServices();
    TUnit* unit = c.item.unit;
    if (unit == nullptr)
        return false;
    if (unit->Dead != 0 || unit->PendingMove == 0 || unit->m_pOrderObject != &c.item ||
        unit->m_OrderedX != c.ix || unit->m_OrderedY != c.iy) {
        ForgetPendingRecord(*unit, c.item);
        return false;
    }
    if (++g_PathMoveCount == 1)
        g_CompPathMoveCount = 0;
    const bool computer = c.player.Kind == PLAYER_KIND_COMPUTER;
    if (computer)
        ++g_CompPathMoveCount;
    if (g_PathWorkCounter < g_PathBudget) {
        unit->m_pOrderObject = nullptr;
        if (s.sendUnitToCell(unit, c.item.x, c.item.y, true) == 1)
            s.setMoveWork(unit);
        return false;
    }
    if (computer && g_CompPathMoveCount > COMP_PATH_MOVES_PER_CYCLE) {
        unit->PendingMove = 0;
        unit->m_pOrderObject = nullptr;
        s.stopUnit(unit, 1);
        unit->Work = UNIT_NO_WORK;
        unit->AttackUnit = nullptr;
        unit->m_AttackIndex = -1;
        unit->PlayerAttack = UNIT_NO_PLAYER;
        unit->PlayerHouseAttack = UNIT_NO_PLAYER;
        unit->HouseAttack = nullptr;
        unit->m_OrderFlagA = 0;
        unit->m_OrderFlagB = 0;
        unit->NumWork = kAnimTurning;
        return false;
    }
    ++c.item.cikl;
    c.player.AddCommand(&c.item);
    return true;
}

void SelectManagedGroup(const TCommand& c, std::uint32_t id)
{
    TDispatcherServices& s = DispatcherServices();
    TGroup* group = s.findManagedGroup(c.p, id);
    if (group == nullptr)
        return;
    const bool shown = s.isGroupSelected(group);
    if (Shift(c.p)) {
        s.selectGroupUnits(group, !shown);
    } else {
        s.clearSelection(c.p);
        s.selectGroupUnits(group, true);
        if (c.p == MyPlayer && shown)
            s.centreViewOnGroup(group);
    }
    if (c.p == MyPlayer)
        s.refreshPanel();
}

void MapSignal(const TCommand& c)
{
    TDispatcherServices& s = DispatcherServices();
    if (s.isEnemy(c.p, MyPlayer))
        return;
    plat::Point cell{};
    GetCellFromPoint(c.item.x, c.item.y, cell);
    if (!IsTileInMap(cell)) {
        Refuse("ExecuteCommand: a map signal outside the map, row ", cell.y);
        return;
    }
    s.addMapSignal(cell.x, cell.y, MAP_SIGNAL_FRAMES);
}

// ---- the classes -------------------------------------------------------------------------------

void UnknownSelectionOrObject()
{
    ReportError("Что это за фигня?");
}

void UnknownGameOrMouse()
{
    ReportError("What is za fignya?");
}

bool SelectionCommand(const TCommand& c)
{
    TDispatcherServices& s = DispatcherServices();
    const std::uint8_t p = c.p;
    switch (c.item.id) {
    case 1:
        s.selectedUnitsCommandD(p);
        break;
    case 3:
        s.selectedUnitsStop(p);
        break;
    case 4:
        s.selectedUnitsForbidFire(p);
        break;
    case 5:
        s.selectedUnitsAllowFire(p);
        break;
    case COMMAND_ID_ORDER_AT_POINT:
        s.forSelectedUnits(p, c.item.x, c.item.y, c.item.params[0] != 0);
        break;
    case COMMAND_ID_PATH_MOVE:
        return DeferredPathMove(c);
    case 36:
        s.selectedUnitsCommandF(p);
        break;
    case 41:
        if (!UnitTypeInRange(c, c.ix))
            break;
        s.setPlayerOption(p, c.ix);
        if (Ctrl(p))
            s.deselectByKind(p, c.ix);
        else
            s.filterSelectionByType(p, c.ix);
        break;
    case COMMAND_ID_REPLAY_GROUP_ORDER:
    case COMMAND_ID_GROUP_ORDER:
        if (c.item.groupOrder != nullptr) {
            if (c.item.id == COMMAND_ID_REPLAY_GROUP_ORDER)
                s.replayGroupForming(c.item.groupOrder);
            else
                s.giveGroupOrder(c.item.groupOrder);
            FreeGroupOrder(c.item.groupOrder);
            c.item.groupOrder = nullptr;
        }
        break;
    case 51:
        s.selectedUnitsFormGroup(p);
        break;
    case 52:
        s.selectedUnitsDisbandGroup(p);
        break;
    case 55:
        s.selectedUnitsUnload(p);
        break;
    case 56:
        s.setSelectedUnitsOption(p, c.ix);
        break;
    case 62:
        if (UnitTypeInRange(c, c.ix))
            s.deselectByKind(p, c.ix);
        break;
    default:
        UnknownSelectionOrObject();
        break;
    }
    return false;
}

std::uint16_t CreateCount(std::uint8_t p)
{
    if (Shift(p) && Ctrl(p))
        return 65535;
    return Ctrl(p) ? 50 : Shift(p) ? 5 : 1;
}

std::uint16_t QueueCount(const TCommand& c)
{
    if (static_cast<std::uint16_t>(c.iy) == 65535)
        return 65535;
    return Shift(c.p) ? 5 : Ctrl(c.p) ? 50 : 1;
}

void ObjectCommand(const TCommand& c)
{
    TDispatcherServices& s = DispatcherServices();
    const std::uint8_t p = c.p;
    const std::uint32_t* params = c.item.params;
    switch (c.item.id) {
    case COMMAND_ID_PLACE_HOUSE:
        PlaceHouse(c);
        break;
    case 8:
        if (THouse* house = NeedOwnHouse(c))
            s.setHousePoint(house, c.item.x, c.item.y);
        break;
    case 15:
    case 16:
        if (THouse* house = NeedHouse(c))
            (c.item.id == 15 ? s.groupCommandOn : s.groupCommandOff)(house);
        break;
    case COMMAND_ID_CREATE_UNITS:
    case COMMAND_ID_QUEUE_UNITS: {
        THouse* house = NeedOwnHouse(c);
        if (house == nullptr || !UnitTypeInRange(c, c.ix))
            break;
        const auto type = static_cast<std::uint16_t>(c.ix);
        if (c.item.id == COMMAND_ID_CREATE_UNITS)
            s.createUnitsInHouse(p, house->Index, type, CreateCount(p));
        else
            s.addUnitsToQueue(p, house->Index, type, QueueCount(c));
        break;
    }
    case 19:
    case 24:
        if (THouse* house = NeedHouse(c))
            (c.item.id == 19 ? s.houseCommandB : s.houseCommandA)(house, c.item.unit);
        break;
    case COMMAND_ID_CREATE_UPGRADE:
        if (THouse* house = NeedOwnHouse(c)) {
            ReportError("COMMAND_ID_CREATE_UPGRADE");
            house->UpgradeInProgress = static_cast<std::uint8_t>(params[0] & 0xFF);
            s.applyUpgrade(house);
        }
        break;
    case COMMAND_ID_START_HOUSE_WORK:
        StartHouseWork(c);
        break;
    case COMMAND_ID_FINISH_HOUSE_WORK:
        FinishHouseWork(c);
        break;
    case 23:
        if (THouse* house = NeedOwnHouse(c))
            s.houseTransferResources(house, params);
        break;
    case 34:
        // The idle command of a building: it does nothing.
        break;
    case 35:
        if (THouse* house = NeedHouse(c))
            s.finishHouseUpgrade(house);
        break;
    case 50:
        s.selectIdleWorkers(p);
        break;
    case 53:
        s.digTrenchLine(p, static_cast<std::int32_t>(params[1]), static_cast<std::int32_t>(params[2]),
                        static_cast<std::int32_t>(params[3]), static_cast<std::int32_t>(params[4]));
        // The choice is this machine's cursor: another player's trench leaves it alone.
        if (p == MyPlayer)
            s.clearPlacingChoice();
        break;
    case 60:
        s.setHouseOption(p, c.ix);
        break;
    case 63:
        if (THouse* house = NeedOwnHouse(c))
            s.toggleHouseFireMode(house);
        break;
    case COMMAND_ID_BARN_REFRESH:
        if (c.item.house != nullptr)
            s.placeStructureAndPay(c.item.house);
        else
            ReportError("Heap->House==NULL in COMMAND_ID_BARN_REFRESH");
        break;
    case COMMAND_ID_ADVISOR_BUILD:
        if (HouseTypeInRange(c, c.ix) && s.advisorBuildAndSelect(p, static_cast<std::uint16_t>(c.ix)))
            s.addRefHousePhaseGraphic(static_cast<std::uint16_t>(c.ix));
        break;
    case 76:
        s.selectHouseByKey(p, static_cast<std::uint32_t>(c.ix));
        break;
    default:
        UnknownSelectionOrObject();
        break;
    }
}

void GameCommand(const TCommand& c)
{
    TDispatcherServices& s = DispatcherServices();
    const std::uint8_t p = c.p;
    const std::uint32_t* params = c.item.params;
    const std::uint8_t row = p < ADVISOR_PLAYERS ? p : 0;
    switch (c.item.id) {
    case 2:
        break;
    case COMMAND_ID_LOSE:
        ReportError("COMMAND_ID_LOSE");
        s.strategDead(&c.player);
        break;
    case 14:
        s.reloadInterface(1);
        break;
    case 25:
        g_CompAssist[p] = g_CompAssist[p] ? 0 : 1;
        break;
    case 26:
        g_WarAssist[p] = g_WarAssist[p] ? 0 : 1;
        break;
    case 32:
    case 33:
    case 37:
    case 38:
    case 39:
    case 40:
    case 42:
    case 43:
    case 44:
        s.executeHotKey(p, c.item.id, static_cast<std::uint32_t>(c.ix), static_cast<std::uint32_t>(c.iy), params);
        break;
    case 46:
        s.executeHotKey(p, 46, 0, 0, nullptr);
        break;
    case 57:
        s.marketSell(p, static_cast<float>(params[3]), static_cast<float>(params[1]), static_cast<float>(params[0]),
                     static_cast<float>(params[4]), static_cast<float>(params[2]), c.ix, c.item.y);
        break;
    case 58:
        s.marketExchange(p, c.ix, static_cast<float>(params[3]), static_cast<float>(params[1]),
                         static_cast<float>(params[0]), static_cast<float>(params[4]), static_cast<float>(params[2]));
        break;
    case COMMAND_ID_SYNC:
        if (params[0] != g_SyncSnapshot)
            s.showMessageLine(u"Synchro problems");
        break;
    case 61:
        s.cycleUnitGroup(p);
        break;
    case 64:
        s.playerUnitsUpdate(p);
        break;
    case 65: {
        std::uint8_t relations[8] = {};
        for (int k = 0; k < 6; ++k)
            relations[k] = params[k] == 1 ? 1 : 0;
        relations[6] = c.item.x >= 0.5f ? 1 : 0;
        relations[7] = c.item.y >= 0.5f ? 1 : 0;
        s.setDiplomacy(p, relations);
        break;
    }
    case COMMAND_ID_SELECT_MANAGED_GROUP:
        SelectManagedGroup(c, params[0]);
        break;
    case COMMAND_ID_ECONOMY_ADVISOR:
        for (int k = 0; k < 6; ++k)
            g_AdvisorOptions[row][k] = params[k] != 0 ? 1 : 0;
        break;
    case COMMAND_ID_WAR_ADVISOR:
        for (int k = 0; k < 4; ++k)
            g_WarAdvisorOptions[row][k] = params[k] != 0 ? 1 : 0;
        if (c.player.GroupManager) {
            if (c.ix < 0 || c.ix > 255)
                Refuse("ExecuteCommand: no such war template, ", c.ix);
            else
                c.player.GroupManager->WarTemplate = static_cast<std::uint8_t>(c.ix);
        }
        break;
    case 70:
        s.clearSelection(p);
        break;
    case COMMAND_ID_KEY_STATE:
        g_ShiftDown[p] = params[0] != 0 ? 1 : 0;
        g_CtrlDown[p] = params[1] != 0 ? 1 : 0;
        if (p == MyPlayer) {
            g_StartStateSent = 1;
            s.activateMainWindow();
        }
        break;
    case COMMAND_ID_MAP_SIGNAL:
        MapSignal(c);
        break;
    default:
        UnknownGameOrMouse();
        break;
    }
}

void MouseCommand(const TCommand& c)
{
    TDispatcherServices& s = DispatcherServices();
    const std::uint8_t p = c.p;
    switch (c.item.id) {
    case 27:
        s.selectAtPointOrFrame(p, c.ix, c.iy);
        break;
    case 28:
        s.orderSelectionToPoint(p, c.ix, c.iy);
        break;
    case 29:
        s.mousePressAtPoint(p, c.ix, c.iy);
        break;
    case 30:
        break;
    case 31:
        s.dragEnd(p);
        break;
    case COMMAND_ID_MOUSE_ORIENT:
        if (c.ix < 0 || c.ix >= UNIT_ORIENTS) {
            Refuse("ExecuteCommand: no such orientation, ", c.ix);
            break;
        }
        s.orientSelection(p, static_cast<std::uint8_t>(c.ix), c.item.y);
        break;
    case 67:
        s.selectSameTypeOnScreen(p, c.ix, c.iy, c.item.params);
        break;
    default:
        UnknownGameOrMouse();
        break;
    }
}

} // namespace

bool ExecuteCommand(THeapItem* item)
{
    if (item == nullptr)
        return false;
    const std::uint8_t p = g_ActingPlayer;
    TStrateg* player = p < g_wNumPlayer && p < STRATEG_MAX_PLAYERS ? g_Strateg[p] : nullptr;
    if (player == nullptr) {
        ReportErrorInt("ExecuteCommand: no acting player, ", p);
        return false;
    }
    // Only a damaged saved record can hold such a point; no handler could place or compare it.
    if (!std::isfinite(item->x) || !std::isfinite(item->y)) {
        Refuse("ExecuteCommand: the point of the command is not a number, id ", item->id);
        return false;
    }
    ResolveHeapItemRefs(*item);
    const TCommand c{*item, p, *player, Trunc(item->x), Trunc(item->y)};
    switch (item->commandClass) {
    case COMMAND_CLASS_SELECTION:
        if (item->id >= 1 && item->id <= 62)
            return SelectionCommand(c);
        UnknownSelectionOrObject();
        return false;
    case COMMAND_CLASS_OBJECTS:
        if (item->id >= 7 && item->id <= 76)
            ObjectCommand(c);
        else
            UnknownSelectionOrObject();
        return false;
    case COMMAND_CLASS_GAME:
        if (item->id >= 2 && item->id <= 73)
            GameCommand(c);
        else
            UnknownGameOrMouse();
        return false;
    case COMMAND_CLASS_MOUSE:
        if (item->id >= 27 && item->id <= 67)
            MouseCommand(c);
        else
            UnknownGameOrMouse();
        return false;
    default:
        UnknownGameOrMouse();
        return false;
    }
}

void RelinkPendingPathMoves()
{
    for (std::uint16_t p = 0; p < g_wNumPlayer && p < STRATEG_MAX_PLAYERS; ++p) {
        TStrateg* player = g_Strateg[p];
        if (player == nullptr)
            continue;
        for (TUnit* u = player->FirstUnit; u != nullptr; u = u->m_pNext)
            u->m_pOrderObject = nullptr;
        std::lock_guard lock(g_HeapLock);
        for (THeapItem* item = player->HeapHead; item != nullptr; item = item->next) {
            if (item->commandClass != COMMAND_CLASS_SELECTION || item->id != COMMAND_ID_PATH_MOVE)
                continue;
            ResolveHeapItemRefs(*item);
            TUnit* u = item->unit;
            if (u != nullptr && u->PendingMove != 0 && u->m_OrderedX == Trunc(item->x) &&
                u->m_OrderedY == Trunc(item->y))
                u->m_pOrderObject = item; // the newest record wins, as the move that made it
        }
        for (TUnit* u = player->FirstUnit; u != nullptr; u = u->m_pNext)
            if (u->PendingMove != 0 && u->m_pOrderObject == nullptr)
                u->PendingMove = 0;
    }
}

TDispatcherServices TDispatcherServices::Default()
{
    TDispatcherServices s;
    s.selectedUnitsCommandD = SelectedUnitsCommandD;
    s.selectedUnitsStop = SelectedUnitsStop;
    s.selectedUnitsForbidFire = SelectedUnitsForbidFire;
    s.selectedUnitsAllowFire = SelectedUnitsAllowFire;
    s.forSelectedUnits = ForSelectedUnits;
    s.selectedUnitsCommandF = SelectedUnitsCommandF;
    s.setPlayerOption = SetPlayerOption;
    // Types beyond a u16 name no unit type, so they match nothing.
    s.deselectByKind = [](std::uint8_t p, std::int32_t type) {
        if (type >= 0 && type <= 0xFFFF)
            DeselectByKind(p, static_cast<std::uint16_t>(type));
    };
    s.filterSelectionByType = [](std::uint8_t p, std::int32_t type) {
        if (type >= 0 && type <= 0xFFFF)
            FilterSelectionByType(p, static_cast<std::uint16_t>(type));
    };
    s.replayGroupForming = ReplayGroupForming;
    s.giveGroupOrder = GiveGroupOrderFromRecord;
    s.selectedUnitsFormGroup = SelectedUnitsFormGroup;
    s.selectedUnitsDisbandGroup = SelectedUnitsDisbandGroup;
    s.selectedUnitsUnload = SelectedUnitsUnload;
    s.setSelectedUnitsOption = SetSelectedUnitsOption;
    s.sendUnitToCell = SendUnitToCell;
    s.setMoveWork = SetMoveWork;
    s.stopUnit = StopUnit;
    s.addHouseToPointFull = AddHouseToPointFull;
    s.acquirePhaseGraphic = [](THouse* house) { house->AcquirePhaseGraphic(1, 0); };
    s.dropCursorBuilding = [] {
        std::int16_t type = -1;
        {
            std::lock_guard lock(g_InputLock);
            type = g_PlacingHouseType;
            g_PlacingHouseType = -1;
        }
        if (type >= 0)
            ReleaseHousePhaseGraphic(static_cast<std::uint16_t>(type));
    };
    s.clearPlacingChoice = [] {
        std::lock_guard lock(g_InputLock);
        g_PlacingHouseType = -1;
    };
    s.setHousePoint = SetHousePoint;
    s.groupCommandOn = GroupCommandOn;
    s.groupCommandOff = GroupCommandOff;
    s.createUnitsInHouse = CreateUnitsInHouse;
    s.addUnitsToQueue = AddUnitsToQueue;
    s.houseCommandA = HouseCommandA;
    s.houseCommandB = HouseCommandB;
    s.applyUpgrade = THouse::ApplyUpgrade;
    s.addResourceAmount = AddResourceAmount;
    s.startScienceUpgrade = StartScienceUpgrade;
    s.startWarUpgrade = StartWarUpgrade;
    s.setHouseTimer = SetHouseTimer;
    s.academyFinishWarUpgrade = AcademyFinishWarUpgrade;
    s.academyFinishScienceUpgrade = AcademyFinishScienceUpgrade;
    s.houseTransferResources = HouseTransferResources;
    s.finishHouseUpgrade = FinishHouseUpgrade;
    s.selectIdleWorkers = SelectIdleWorkers;
    s.digTrenchLine = [](std::uint8_t p, std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d) {
        g_TrenchList.DigTrenchLine(p, static_cast<float>(a), static_cast<float>(b), c, d);
    };
    s.setHouseOption = SetHouseOption;
    s.toggleHouseFireMode = ToggleHouseFireMode;
    s.placeStructureAndPay = PlaceStructureAndPay;
    s.advisorBuildAndSelect = AdvisorBuildHouse;
    s.addRefHousePhaseGraphic = AddRefHousePhaseGraphic;
    // The game's own actions: InstallGameCommandHandlers (game_keys.h) binds them; a program without
    // the game's keys has no building keys, cycling or view to centre.
    s.selectHouseByKey = [](std::uint8_t, std::uint32_t) {};
    s.strategDead = StrategDead;
    s.reloadInterface = ReloadInterface;
    s.executeHotKey = ExecuteHotKeyCommand;
    s.marketSell = MarketSell;
    s.marketExchange = MarketExchange;
    s.cycleUnitGroup = [](std::uint8_t) {};
    s.playerUnitsUpdate = PlayerUnitsUpdate;
    s.setDiplomacy = SetDiplomacy;
    s.clearSelection = ClearSelection;
    s.findManagedGroup = FindManagedGroup;
    s.isGroupSelected = IsGroupShownSelected;
    s.selectGroupUnits = SelectGroupUnits;
    s.centreViewOnGroup = [](TGroup*) {};
    s.refreshPanel = [] { UpdateInterfacePanel(0); };
    s.activateMainWindow = [] { plat::PostAppMessage(plat::MSG_ACTIVATE, 1, 0); };
    s.isEnemy = IsEnemy;
    s.addMapSignal = [](std::int32_t column, std::int32_t row, std::uint16_t frames) {
        AddMiniMapIndicator(0, column, row, frames);
    };
    s.showMessageLine = [](const char16_t* text) { ShowMessageLine(text, kWhite); };
    s.playSound = [](std::uint8_t category) { PlaySoundEvent(category, nullptr, 0, 0); };
    s.selectAtPointOrFrame = SelectAtPointOrFrame;
    s.orderSelectionToPoint = OrderSelectionToPoint;
    s.mousePressAtPoint = MousePressAtPoint;
    s.dragEnd = MouseDragEnd;
    s.orientSelection = OrientSelection;
    s.selectSameTypeOnScreen = [](std::uint8_t p, std::int32_t x, std::int32_t y, const std::uint32_t* rect) {
        const TMapRect view = MapRectFromParams(rect);
        SelectSameTypeOnScreen(p, x, y, view);
    };
    return s;
}

TDispatcherServices& DispatcherServices()
{
    static TDispatcherServices services = TDispatcherServices::Default();
    return services;
}
