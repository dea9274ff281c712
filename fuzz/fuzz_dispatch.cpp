// Feeds arbitrary bytes as received order messages and as saved command records to the command
// dispatcher, acting for one of two players with a few buildings and units. Every handler is a
// stand-in that checks what it is given: a building that stands and lies within its owner's array
// (owned by the acting player where the command changes it), a live unit, unit and building types
// within the nation's counts, an orientation 0..7, a stored group 0..9. Nothing may crash, and a
// record is put back into a queue only by the deferred path move.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <memory>
#include <type_traits>

#include "core/app_state.h"
#include "movement/path_search.h"
#include "players/command.h"
#include "players/dispatcher.h"
#include "players/game_cycle.h"
#include "players/hot_keys.h"
#include "players/strateg.h"
#include "units/house.h"
#include "units/house_types.h"
#include "units/parameter_files.h"
#include "units/unit.h"
#include "units/upgrades.h"

namespace {

constexpr std::uint16_t kUnitTypes = 20;
constexpr std::uint16_t kHouseTypes = 25;

void Check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

void CheckArg(THouse* h)
{
    if (h == nullptr)
        return;
    Check(h->Owner < 2 && h->Index < NumHouse[h->Owner] && h == HouseAt(g_pHouse[h->Owner], h->Index));
    Check(h->TypeRecord != nullptr && h->Destroyed == 0);
}
void CheckArg(TUnit* u)
{
    if (u != nullptr)
        Check(u->Dead == 0 && u->Player < 2);
}
void CheckArg(TStrateg* s)
{
    Check(s == g_Strateg[g_ActingPlayer]);
}
template <class T>
void CheckArg(const T&)
{
}

template <class F>
struct Stand;
template <class R, class... A>
struct Stand<std::function<R(A...)>> {
    static std::function<R(A...)> Make()
    {
        return [](A... a) -> R {
            (CheckArg(a), ...);
            if constexpr (!std::is_void_v<R>)
                return R{};
        };
    }
};

#define STAND(field) d.field = Stand<decltype(d.field)>::Make()

struct World {
    World()
    {
        for (int p = 0; p < 2; ++p) {
            g_Strateg[p] = new TStrateg;
            g_Strateg[p]->Number = static_cast<std::uint8_t>(p);
            g_Strateg[p]->Nation = static_cast<std::uint8_t>(p);
            g_Strateg[p]->GroupManager = std::make_unique<TGroupManager>();
            g_pHouse[p] = NewHouseArray(HOUSE_PLAYER_CAPACITY);
            NumHouse[p] = 3;
            for (std::uint16_t i = 0; i < 3; ++i) {
                THouse* h = HouseAt(g_pHouse[p], i);
                h->HouseType = i == 0 ? HOUSE_SCIENCE_ACADEMY : i == 1 ? HOUSE_WAR_ACADEMY : 4;
                h->TypeRecord = &HouseType(p, h->HouseType);
                h->Owner = static_cast<std::uint8_t>(p);
                h->Index = i;
            }
            for (auto& u : units[p]) {
                u.Player = static_cast<std::uint8_t>(p);
                g_Strateg[p]->AddUnit(&u);
            }
            g_NationUnitTypeCount[p] = kUnitTypes;
            g_NationHouseTypeCount[p] = kHouseTypes;
        }
        HouseAt(g_pHouse[1], 2)->Destroyed = 1;
        units[1][1].Dead = 1;
        g_wNumPlayer = 2;
        MyPlayer = 0;

        TDispatcherServices& d = DispatcherServices();
        STAND(selectedUnitsCommandD);
        STAND(selectedUnitsStop);
        STAND(selectedUnitsForbidFire);
        STAND(selectedUnitsAllowFire);
        STAND(forSelectedUnits);
        STAND(selectedUnitsCommandF);
        STAND(setPlayerOption);
        STAND(replayGroupForming);
        STAND(giveGroupOrder);
        STAND(selectedUnitsFormGroup);
        STAND(selectedUnitsDisbandGroup);
        STAND(selectedUnitsUnload);
        STAND(setSelectedUnitsOption);
        STAND(sendUnitToCell);
        STAND(setMoveWork);
        STAND(stopUnit);
        STAND(acquirePhaseGraphic);
        STAND(dropCursorBuilding);
        STAND(clearPlacingChoice);
        STAND(groupCommandOn);
        STAND(groupCommandOff);
        STAND(houseCommandA);
        STAND(houseCommandB);
        STAND(addResourceAmount);
        STAND(academyFinishWarUpgrade);
        STAND(academyFinishScienceUpgrade);
        STAND(finishHouseUpgrade);
        STAND(selectIdleWorkers);
        STAND(digTrenchLine);
        STAND(setHouseOption);
        STAND(placeStructureAndPay);
        STAND(addRefHousePhaseGraphic);
        STAND(selectHouseByKey);
        STAND(strategDead);
        STAND(reloadInterface);
        STAND(marketSell);
        STAND(marketExchange);
        STAND(cycleUnitGroup);
        STAND(playerUnitsUpdate);
        STAND(setDiplomacy);
        STAND(clearSelection);
        STAND(findManagedGroup);
        STAND(isGroupSelected);
        STAND(selectGroupUnits);
        STAND(centreViewOnGroup);
        STAND(refreshPanel);
        STAND(activateMainWindow);
        STAND(isEnemy);
        STAND(addMapSignal);
        STAND(showMessageLine);
        STAND(playSound);
        STAND(selectAtPointOrFrame);
        STAND(orderSelectionToPoint);
        STAND(mousePressAtPoint);
        STAND(dragEnd);
        STAND(selectSameTypeOnScreen);
        // What the checks of the dispatcher promise its handlers.
        d.deselectByKind = [](std::uint8_t, std::int32_t type) { Check(type >= 0 && type < kUnitTypes); };
        d.filterSelectionByType = d.deselectByKind;
        auto units = [](std::uint8_t p, std::uint16_t house, std::uint16_t type, std::uint16_t) {
            Check(p == g_ActingPlayer && house < NumHouse[p] && type < kUnitTypes);
        };
        d.createUnitsInHouse = units;
        d.addUnitsToQueue = units;
        auto own = [](THouse* h) {
            CheckArg(h);
            Check(h != nullptr && h->Owner == g_ActingPlayer);
        };
        d.setHousePoint = [own](THouse* h, float, float) { own(h); };
        d.applyUpgrade = own;
        d.toggleHouseFireMode = own;
        d.houseTransferResources = [own](THouse* h, const std::uint32_t*) { own(h); };
        auto start = [own](THouse* h, std::uint16_t, std::uint8_t id) {
            own(h);
            const int index = id - UPGRADE_ID_FIRST;
            if (h->HouseType == HOUSE_SCIENCE_ACADEMY)
                Check(index >= 0 && index < 20);
            if (h->HouseType == HOUSE_WAR_ACADEMY)
                Check(index >= 0 && index < 30);
            return true;
        };
        d.startScienceUpgrade = [start](THouse* h, std::uint16_t t, std::uint8_t id) {
            Check(h != nullptr && h->HouseType == HOUSE_SCIENCE_ACADEMY);
            return start(h, t, id);
        };
        d.startWarUpgrade = [start](THouse* h, std::uint16_t t, std::uint8_t id) {
            Check(h != nullptr && h->HouseType == HOUSE_WAR_ACADEMY);
            return start(h, t, id);
        };
        d.setHouseTimer = start;
        d.addHouseToPointFull = [](std::uint8_t, float, float, std::uint16_t type) -> std::uint16_t {
            Check(type < kHouseTypes);
            return 1;
        };
        d.advisorBuildAndSelect = [](std::uint8_t, std::uint16_t type) {
            Check(type < kHouseTypes);
            return true;
        };
        d.orientSelection = [](std::uint8_t, std::uint8_t orient, float) { Check(orient < 8); };
        d.executeHotKey = ExecuteHotKeyCommand;
        THotKeyServices& k = HotKeyServices();
        k.selectAll = [](std::uint8_t p) { Check(p < 2); };
        k.selectSameTypes = k.selectAll;
        k.selectUnitsInRect = [](std::uint8_t p, const std::uint32_t*) { Check(p < 2); };
        k.selectSameTypesInRect = k.selectUnitsInRect;
        k.selectWorkersInRect = k.selectUnitsInRect;
        k.selectUnitsFromGroup = [](std::uint8_t p, std::uint32_t group) { Check(p < 2 && group < 10); };
        k.storeGroup = k.selectUnitsFromGroup;
        k.writeDebugData = [] {};
    }
    TUnit units[2][3] = {{TUnit(0, 0), TUnit(0, 0), TUnit(0, 0)}, {TUnit(0, 0), TUnit(0, 0), TUnit(0, 0)}};
};

void Dispatch(THeapItem* item, std::uint8_t keys)
{
    g_ActingPlayer = keys & 1;
    g_ShiftDown[g_ActingPlayer] = keys >> 1 & 1;
    g_CtrlDown[g_ActingPlayer] = keys >> 2 & 1;
    // A unit may wait on this very record, so the path move takes its first branches too.
    if (item->unitPlayer < 2 && item->unitIndex < 3 && (keys & 8) != 0) {
        TUnit& u = *g_Strateg[item->unitPlayer]->GetUnit(item->unitIndex);
        u.PendingMove = 1;
        u.m_pOrderObject = item;
        u.m_OrderedX = static_cast<std::int32_t>(item->x == item->x && item->x > -1e9f && item->x < 1e9f ? item->x : 0);
        u.m_OrderedY = static_cast<std::int32_t>(item->y == item->y && item->y > -1e9f && item->y < 1e9f ? item->y : 0);
    }
    g_PathWorkCounter = keys >> 4;
    const bool requeued = ExecuteCommand(item);
    Check(!requeued || item->id == COMMAND_ID_PATH_MOVE);
    for (TStrateg* s : {g_Strateg[0], g_Strateg[1]})
        FreeHeapList(s->TakeCommands());
    if (!requeued)
        FreeHeapItem(item);
    for (int row = 0; row < 2; ++row)
        for (std::uint16_t i = 0; i < 3; ++i)
            if (TUnit* u = g_Strateg[row]->GetUnit(i))
                u->m_pOrderObject = nullptr;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static World* world = new World;
    (void)world;
    if (size == 0)
        return 0;
    const std::uint8_t keys = data[0];
    const std::span<const std::uint8_t> bytes(data + 1, size - 1);
    for (std::size_t at = 0; at + NET_DATA_WIRE_SIZE <= bytes.size(); at += NET_DATA_WIRE_SIZE) {
        TNetData message;
        Check(ReadNetData(bytes.subspan(at), message));
        Dispatch(NetDataToHeapItem(message), static_cast<std::uint8_t>(keys + at));
    }
    auto* record = new THeapItem;
    if (!ReadHeapItem(bytes, *record)) {
        delete record;
        return 0;
    }
    Dispatch(record, keys);
    return 0;
}
