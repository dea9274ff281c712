// A player's defeat, wholesale hand-overs of buildings and units, teams and relations.
#include "players/defeat.h"

#include <algorithm>
#include <mutex>

#include "combat/cycle_updates.h"
#include "combat/house_events.h"
#include "combat/unit_events.h"
#include "core/app_state.h"
#include "core/error_log.h"
#include "core/loader_thread.h"
#include "core/string_table.h"
#include "devices/cursor_state.h"
#include "devices/sound.h"
#include "map/map_grid.h"
#include "map/map_scene.h"
#include "map/map_view.h"
#include "map/minimap.h"
#include "movement/passability.h"
#include "net/network.h"
#include "platform/clock.h"
#include "players/command.h"
#include "players/game_cycle.h"
#include "players/house_orders.h"
#include "players/selection.h"
#include "players/strateg.h"
#include "ui/panel.h"
#include "ui/player_services.h"
#include "units/house.h"
#include "units/house_behaviour.h"
#include "units/house_queue.h"
#include "units/house_types.h"
#include "units/unit.h"
#include "units/unit_lists.h"

namespace {

constexpr std::uint8_t kSoundDefeat = 9;
constexpr std::uint8_t kSoundVictory = 1;
// Hit points a building of a defeated player is given before it is taken off the map, and the
// level below which it is already past its ruin.
constexpr float kDefeatHitPoints = -10010.0f;
// Hit points of a building while it leaves its owner in a hand-over.
constexpr float kHandOverHitPoints = -1000001.0f;

void CloseNetGameAfterDefeat()
{
    plat::SleepMs(DEFEAT_NET_CLOSE_PAUSE_MS);
    if (NetCheckEnoughPlayers() == 0)
        CloseNetwork();
}

bool IsLivePlayer(std::uint8_t player)
{
    return player < g_wNumPlayer && player < STRATEG_MAX_PLAYERS && g_Strateg[player] != nullptr &&
           g_Strateg[player]->Dead == 0;
}

void PurgeDrawList(std::vector<TUnitDrawRecord>& list, std::uint8_t player)
{
    std::erase_if(list, [player](const TUnitDrawRecord& r) { return r.unit != nullptr && r.unit->Player == player; });
}

// The local player's defeat, or its victory when the dead player was its last enemy.
void DecideLocalResult(const TStrateg& dead)
{
    TDefeatServices& s = DefeatServices();
    if (dead.Number == MyPlayer) {
        if (s.isNetGame())
            s.closeNetGame();
        s.showCenteredText(GetResString(u"IDS_YOU_DEAD"));
        s.setGameResult(DEFEAT_RESULT_LOST);
        s.playSound(kSoundDefeat);
        return;
    }
    if (!IsLivePlayer(MyPlayer))
        return;
    for (std::uint16_t i = 0; i < g_wNumPlayer && i < STRATEG_MAX_PLAYERS; ++i)
        if (IsLivePlayer(static_cast<std::uint8_t>(i)) && IsEnemy(MyPlayer, static_cast<std::uint8_t>(i)))
            return;
    std::u16string text = GetResString(u"IDS_PLAYER");
    text += g_Strateg[MyPlayer]->Name;
    text += GetResString(u"IDS_WIN");
    s.showCenteredText(text.c_str());
    s.playSound(kSoundVictory);
    s.setGameResult(DEFEAT_RESULT_WON);
}

// Units of the players still in the game forget the dead player: targets that name it, and their
// place inside its buildings.
void ForgetPlayer(std::uint8_t dead)
{
    for (std::uint16_t q = 0; q < g_wNumPlayer && q < STRATEG_MAX_PLAYERS; ++q) {
        if (!IsLivePlayer(static_cast<std::uint8_t>(q)))
            continue;
        for (TUnit* u = g_Strateg[q]->FirstUnit; u != nullptr;) {
            TUnit* next = u->m_pNext;
            if (u->PlayerAttack == dead || u->PlayerHouseAttack == dead) {
                u->AttackUnit = nullptr;
                u->HouseAttack = nullptr;
                u->PlayerAttack = 255;
                u->PlayerHouseAttack = 255;
                u->m_AttackIndex = 0;
            }
            if (u->GunTarget != nullptr && u->GunTarget->Player == dead)
                u->GunTarget = nullptr;
            if (u->m_pContactUnit != nullptr && u->m_pContactUnit->Player == dead)
                u->m_pContactUnit = nullptr;
            if (u->Work == STAY_IN_HOUSE && u->House != nullptr && u->House->Owner == dead)
                GetUnitOutOfHouse(u->House, u);
            u = next;
        }
    }
    // Whatever else points at its units (transports, shots, buildings' targets, selections) lets
    // go here, before the units are freed.
    for (TUnit* u = g_Strateg[dead]->FirstUnit; u != nullptr; u = u->m_pNext)
        ClearUnitReferences(u);
}

// Every cell that names one of the dead player's buildings: the building goes off the map.
void RemovePlayerHouses(std::uint8_t dead)
{
    const std::uint16_t first = PlayerHouseCode(dead, 0);
    const std::uint16_t last = PlayerHouseCode(dead, HOUSE_LAST_INDEX);
    for (std::uint16_t y = 0; y < g_MapHeight; ++y)
        for (std::uint16_t x = 0; x < g_MapWidth; ++x) {
            const std::uint16_t code = GetObjectFromMap(x, y);
            if (code < first || code > last)
                continue;
            if (THouse* h = HouseFromObjectCode(code)) {
                h->Destroyed = 1;
                if (!(h->HitPoints < HOUSE_HP_STAGE_TWO))
                    h->HitPoints = kDefeatHitPoints;
                DestroyHouse(h, HOUSE_NO_DESTROYER);
            }
            // The removal may have given the cell back its resource point: only the building's
            // own code is cleared.
            if (GetObjectFromMap(x, y) == code)
                SetObjectMap(x, y, kObjectFree);
        }
}

void RemoveFromStoredGroups(TStrateg& p, const void* object)
{
    for (auto& group : p.Group)
        std::erase_if(group, [object](const TStoredGroupEntry& e) { return e.object == object; });
}

} // namespace

void StrategDead(TStrateg* p)
{
    if (p == nullptr)
        return;
    TDefeatServices& s = DefeatServices();
    if (!s.waitLoaderIdle(DEFEAT_LOADER_WAIT_MS))
        ReportError("StrategDead: the loader thread did not go idle in time; the player's graphics are freed anyway");
    if (p->Dead != 0) {
        ReportError("StrategDead already dead");
        return;
    }
    const std::uint8_t n = p->Number;
    p->Dead = 1;
    p->UpdatePlayTime();
    PurgeDrawList(g_UnitsDrawSorted, n);
    PurgeDrawList(g_UnitsDrawTinted, n);
    PurgeDrawList(g_UnitsDrawLate, n);
    DecideLocalResult(*p);
    ForgetPlayer(n);
    RemovePlayerHouses(n);
    {
        std::lock_guard lock(g_InputLock);
        p->NumSelectedUnits = 0;
    }
    p->SelectedHouseFlag = 0;
    p->SelectedHouse = nullptr;
    p->g_wNumSelectedHouse = STRATEG_NO_HOUSE;
    FreeSelectionList(p->SelectionHead);
    if (n == MyPlayer)
        s.refreshPanel();
    p->Clear();
    FreePlayerHouses(n);
    p->Houses = nullptr;
    s.redrawMiniMap();
    s.rebuildPassability();
    NumUnits[n] = 0;
    NumHouse[n] = 0;
    // The grids are refreshed once the player's units and buildings are gone, so they keep none.
    s.refreshTargetUnits();
    s.refreshTargetHouses();
    s.redrawMapView();
}

// ---- hand-overs ---------------------------------------------------------------------------------

void TStrateg::SendMyHousesToPLayer(std::uint8_t q, bool keep)
{
    if (q == Number) {
        ReportError("Player==NewPlayer in void TStrateg::SendMyHousesToPLayer(BYTE NewPlayer)");
        return;
    }
    if (!IsLivePlayer(q) || Number >= STRATEG_MAX_PLAYERS || g_pHouse[Number] == nullptr) {
        ReportErrorInt("SendMyHousesToPLayer: no live player to receive the buildings, player ", q);
        return;
    }
    const std::uint8_t p = Number;
    for (int i = NumHouse[p] - 1; i >= 0; --i) {
        THouse* h = HouseAt(g_pHouse[p], static_cast<std::uint32_t>(i));
        if (h == nullptr || h->TypeRecord == nullptr || !(h->HitPoints > HOUSE_HP_STAGE_TWO) || h->OffMap != 0)
            continue;
        RemoveHouseFromGroups(h);
        RemoveFromStoredGroups(*this, h);
        if (SelectedHouse == h) {
            SelectedHouse = nullptr;
            SelectedHouseFlag = 0;
            g_wNumSelectedHouse = STRATEG_NO_HOUSE;
        }
        // Without its occupants the building goes alone: they step out while it still stands.
        if (!keep) {
            const std::vector<TUnit*> inside(h->Inside, h->Inside + (h->Inside != nullptr ? h->InsideCount : 0));
            for (TUnit* u : inside)
                GetUnitOutOfHouse(h, u);
        }
        const bool finished = h->IsFinished() && h->Destroyed == 0;
        // The state moves to a template; the old record keeps no occupants, queue, attachment or
        // graphics references.
        THouse moved;
        moved.TakeFrom(*h);
        h->ShipUnderConstruction = nullptr;
        h->ResetPhaseFlags();
        h->Destroyed = 1;
        h->HitPoints = kHandOverHitPoints;
        if (finished) {
            if (h->HouseType < kHouseTypeCountTypes && g_HouseTypeCount[p][h->HouseType] > 0)
                --g_HouseTypeCount[p][h->HouseType];
            HouseLeaveHandler(h);
            g_PowerDemand[p] -= h->Type().m_PowerNeed;
        }
        DestroyHouse(h, HOUSE_NO_DESTROYER);
        moved.OffMap = 0;
        moved.Selected = 0;
        const std::uint16_t index = AddHouse(q, &moved);
        THouse* to = index != HOUSE_NONE ? HouseAt(g_pHouse[q], index) : nullptr;
        if (to == nullptr)
            continue;
        if (finished)
            HouseArrives(to);
        if (keep) {
            if (to->ShipUnderConstruction != nullptr)
                to->ShipUnderConstruction->House = to;
            for (std::uint16_t k = 0; to->Inside != nullptr && k < to->InsideCount; ++k)
                if (to->Inside[k] != nullptr)
                    to->Inside[k]->House = to;
        } else {
            delete[] to->Inside;
            to->Inside = nullptr;
            to->InsideCount = 0;
            to->ShipUnderConstruction = nullptr;
        }
    }
    DefeatServices().refreshTargetHouses();
}

void TStrateg::SendMyUnitsToPLayer(std::uint8_t q)
{
    if (q == Number) {
        ReportError("Player==NewPlayer in void TStrateg::SendMyUnitsToPLayer(BYTE NewPlayer)");
        return;
    }
    if (!IsLivePlayer(q) || Number >= STRATEG_MAX_PLAYERS) {
        ReportErrorInt("SendMyUnitsToPLayer: no live player to receive the units, player ", q);
        return;
    }
    TDefeatServices& s = DefeatServices();
    while (TUnit* u = FirstUnit) {
        if (u->Selected != 0)
            DeleteSelection(Number, u);
        s.leaveFormationGroup(u);
        RemoveFromStoredGroups(*this, u);
        if (MoveUnitToPlayer(u, q) == UNIT_NO_INDEX)
            break;
        s.resetOrders(u);
    }
    LiveUnits = 0;
    NumUnits[Number] = 0;
    FirstUnit = nullptr;
    s.refreshTargetUnits();
}

// ---- teams and relations ------------------------------------------------------------------------

void TStrateg::SetTeam(std::uint8_t team)
{
    Team = team;
    if (Dead != 0 || g_AllTeamsDifferent != 1 || team == 255)
        return;
    for (std::uint16_t i = 0; i < g_wNumPlayer && i < STRATEG_MAX_PLAYERS; ++i) {
        const TStrateg* other = g_Strateg[i];
        if (other != nullptr && other != this && other->Dead == 0 && other->Team == Team)
            g_AllTeamsDifferent = 0;
    }
}

void TStrateg::SetRelationsFromTeams()
{
    for (std::uint16_t i = 0; i < STRATEG_MAX_PLAYERS; ++i) {
        const TStrateg* other = i < g_wNumPlayer ? g_Strateg[i] : nullptr;
        if (other == nullptr)
            continue;
        Relations[i] = (Team & 0xFF) != 255 && Team == other->Team ? 1 : 0;
    }
}

// ---- network departures -------------------------------------------------------------------------

THeapItem* MakePlayerLeftRecord(std::uint8_t player, std::uint32_t cycle)
{
    THeapItem* item = NewCommand(COMMAND_CLASS_GAME, COMMAND_ID_NET_MESSAGE, 0.0f, 0.0f);
    item->cikl = cycle;
    item->params[0] = NET_MESSAGE_PLAYER_LEFT;
    item->params[1] = player;
    return item;
}

void PostPlayerLeft(std::uint8_t player, std::uint32_t cycle)
{
    AddToGlobalHeap(MakePlayerLeftRecord(player, cycle));
}

bool RunPlayerLeftRecord(const THeapItem& item)
{
    if (item.id != COMMAND_ID_NET_MESSAGE || item.params[0] != NET_MESSAGE_PLAYER_LEFT)
        return false;
    const std::uint32_t player = item.params[1];
    if (player < STRATEG_MAX_PLAYERS && IsLivePlayer(static_cast<std::uint8_t>(player)))
        StrategDead(g_Strateg[player]);
    return true;
}

// ---- services -----------------------------------------------------------------------------------

TDefeatServices TDefeatServices::Default()
{
    TDefeatServices s;
    s.waitLoaderIdle = [](std::uint32_t limitMs) { return g_Loader.WaitUntilIdleFor(limitMs); };
    s.isNetGame = ::IsNetGame;
    s.closeNetGame = CloseNetGameAfterDefeat;
    s.showCenteredText = [](const char16_t* text) { DrawCenteredText(text, 1); };
    s.playSound = [](std::uint8_t event) { PlaySoundEvent(event, nullptr, 0, 0); };
    s.setGameResult = [](std::uint32_t) {};
    s.refreshPanel = [] { UpdateInterfacePanel(0); };
    s.refreshTargetUnits = ::RefreshTargetGridUnits;
    s.refreshTargetHouses = ::RefreshTargetGridHouses;
    s.redrawMiniMap = [] { RedrawMiniMap(); };
    s.rebuildPassability = ::MakeBasicMap;
    s.redrawMapView = [] { g_bMapViewDirty = 1; };
    // Formation groups are not built yet: a unit has none to leave.
    s.leaveFormationGroup = [](TUnit* u) { u->m_pGroup = nullptr; };
    s.resetOrders = ::CancelOrderAndStop;
    return s;
}

TDefeatServices& DefeatServices()
{
    static TDefeatServices services = TDefeatServices::Default();
    return services;
}
