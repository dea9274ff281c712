#include "players/selection.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "core/app_state.h"
#include "core/error_log.h"
#include "devices/cursor_state.h"
#include "devices/mouse.h"
#include "devices/sound.h"
#include "map/map_view.h"
#include "movement/group_selection.h"
#include "map/map_scene.h"
#include "players/house_orders.h"
#include "players/map_mouse.h"
#include "players/strateg.h"
#include "ui/panel.h"
#include "units/house.h"
#include "units/unit.h"
#include "units/unit_lists.h"

std::uint16_t g_PanelUnitType = PANEL_NOTHING;
std::uint16_t g_PanelHouse = PANEL_NOTHING;

namespace {

// Work codes that take a unit out of reach of the mouse.
constexpr std::uint8_t kWorkWalkingPath = 2;
constexpr std::uint8_t kWorkAirTakeOff = 5;
constexpr std::uint8_t kWorkAirLanding = 6;
constexpr std::uint8_t kWorkLeavingHouse = 9;
constexpr std::uint8_t kWorkShipHidden = 14;
constexpr std::uint8_t kKindArtillery = 7;
// Sound of a selection's acknowledgement, and of a selected building.
constexpr std::uint8_t kAckSub = 1;
constexpr std::uint8_t kAckPriority = 4;

TStrateg* Player(std::uint8_t player)
{
    return player < 8 ? g_Strateg[player] : nullptr;
}

std::uint8_t KindOf(const TUnit& u)
{
    return u.Basic != nullptr ? u.Basic->m_Kind : 0;
}

void SetSelectedCount(TStrateg& s, std::uint16_t count)
{
    std::lock_guard lock(g_InputLock);
    s.NumSelectedUnits = count;
}

void RefreshPanelFor(std::uint8_t player)
{
    if (player == MyPlayer && SelectionServices().refreshPanel)
        SelectionServices().refreshPanel(0);
}

void PanelTypeFromFirst(TStrateg& s)
{
    if (s.SelectionHead != nullptr && s.SelectionHead->unit != nullptr)
        g_PanelUnitType = s.SelectionHead->unit->Type;
}

// Deselects every selected unit; buildings stay as they are.
void ClearUnitSelection(std::uint8_t player, TStrateg& s)
{
    while (s.SelectionHead != nullptr) {
        TSelectionNode* head = s.SelectionHead;
        if (head->unit == nullptr || head->unit->m_pSelectionNode != head) {
            // A node its unit does not own: dropped so the loop ends.
            s.SelectionHead = head->next;
            if (s.SelectionHead != nullptr)
                s.SelectionHead->prev = nullptr;
            delete head;
            continue;
        }
        DeleteSelection(player, head->unit);
    }
    SetSelectedCount(s, 0);
    s.SelectionFlags[SELECTION_WORKER_FLAG] = 0;
    s.SelectionFlags[SELECTION_KIND7_FLAG] = 0;
}

// The mouse thread's builders read the house flag and index, so both change under g_InputLock.
void SetHouseSelection(TStrateg& s, THouse* house)
{
    std::lock_guard lock(g_InputLock);
    s.SelectedHouse = house;
    s.SelectedHouseFlag = house != nullptr ? 1 : 0;
    s.g_wNumSelectedHouse = house != nullptr ? house->Index : STRATEG_NO_HOUSE;
}

void ClearHouseSelection(std::uint8_t player, TStrateg& s)
{
    THouse* houses = g_pHouse[player];
    for (std::uint32_t i = 0; houses != nullptr && i < NumHouse[player]; ++i)
        HouseAt(houses, i)->Selected = 0;
    SetHouseSelection(s, nullptr);
}

// Selects every selectable, not yet selected unit of the player that passes the filter.
template <typename Filter>
bool SelectWhere(std::uint8_t player, TStrateg& s, Filter filter)
{
    bool any = false;
    for (TUnit* u = s.FirstUnit; u != nullptr; u = u->m_pNext) {
        if (u->Selected != 0 || !IsUnitSelectable(*u) || !filter(*u))
            continue;
        AddUnitToSelection(player, u);
        any = true;
    }
    return any;
}

TMapRect VisibleArea()
{
    return {g_ViewPixelX, g_ViewPixelY, g_ViewPixelRight, g_ViewPixelBottom};
}

std::vector<std::uint16_t> SelectedTypes(const TStrateg& s)
{
    std::vector<std::uint16_t> types;
    for (const TSelectionNode* n = s.SelectionHead; n != nullptr; n = n->next)
        if (n->unit != nullptr && std::find(types.begin(), types.end(), n->unit->Type) == types.end())
            types.push_back(n->unit->Type);
    return types;
}

void SelectTypesWhere(std::uint8_t player, const TMapRect* rect)
{
    TStrateg* s = Player(player);
    if (s == nullptr)
        return;
    const std::vector<std::uint16_t> types = SelectedTypes(*s);
    if (types.empty())
        return;
    SelectWhere(player, *s, [&](const TUnit& u) {
        return std::find(types.begin(), types.end(), u.Type) != types.end()
            && (rect == nullptr || IsUnitInRect(u, *rect));
    });
}

void FreeGroup(std::vector<TStoredGroupEntry>& group)
{
    group.clear();
    group.shrink_to_fit();
}

bool UsablePlayer(std::uint8_t player)
{
    const TStrateg* s = Player(player);
    return s != nullptr && s->Dead == 0;
}

// Takes the unit out of the stored group its number names; a group left empty is freed. false when
// the group does not hold it.
bool DropFromStoredGroup(TStrateg& s, TUnit* u)
{
    const std::int8_t g = u->m_StoredGroup;
    if (g < 0 || g >= SELECTION_GROUPS)
        return false;
    std::vector<TStoredGroupEntry>& group = s.Group[g];
    const auto it = std::find_if(group.begin(), group.end(),
                                 [u](const TStoredGroupEntry& e) { return e.kind == GROUP_ENTRY_UNIT && e.object == u; });
    if (it == group.end())
        return false;
    group.erase(it);
    if (group.empty())
        FreeGroup(group);
    return true;
}

// Recomputes the worker and kind-7 flags from the first remaining node.
void FlagsFromFirst(TStrateg& s)
{
    const TUnit* first = s.SelectionHead != nullptr ? s.SelectionHead->unit : nullptr;
    s.SelectionFlags[SELECTION_WORKER_FLAG] = first != nullptr && KindOf(*first) == UNIT_KIND_WORKER ? 1 : 0;
    s.SelectionFlags[SELECTION_KIND7_FLAG] = first != nullptr && KindOf(*first) == kKindArtillery ? 1 : 0;
}

} // namespace

TSelectionServices TSelectionServices::Default()
{
    TSelectionServices s;
    s.refreshPanel = [](std::uint8_t drop) { UpdateInterfacePanel(drop); };
    s.centerViewOnUnit = [](TUnit*) {};
    s.playSound = [](std::uint8_t category, const void* object, std::uint8_t sub, std::uint8_t priority) {
        PlaySoundEvent(category, object, sub, priority);
    };
    return s;
}

TSelectionServices& SelectionServices()
{
    static TSelectionServices services = TSelectionServices::Default();
    return services;
}

// ---- list primitives --------------------------------------------------------------------------

TMapRect MapRectFromParams(const std::uint32_t* params)
{
    TMapRect r;
    if (params == nullptr)
        return r;
    r.left = static_cast<std::int32_t>(params[0]);
    r.top = static_cast<std::int32_t>(params[1]);
    r.right = static_cast<std::int32_t>(params[2]);
    r.bottom = static_cast<std::int32_t>(params[3]);
    return r;
}

TSelectionNode* PushListNode(TSelectionNode*& head, TUnit* unit)
{
    auto* node = new TSelectionNode{unit, head, nullptr};
    if (head != nullptr)
        head->prev = node;
    head = node;
    return node;
}

void FreeList(TSelectionNode*& head)
{
    while (head != nullptr) {
        TSelectionNode* next = head->next;
        delete head;
        head = next;
    }
}

bool RemoveListNodeByValue(TSelectionNode*& head, TUnit* unit)
{
    for (TSelectionNode* n = head; n != nullptr; n = n->next) {
        if (n->unit != unit)
            continue;
        if (n->prev != nullptr)
            n->prev->next = n->next;
        else
            head = n->next;
        if (n->next != nullptr)
            n->next->prev = n->prev;
        delete n;
        return true;
    }
    return false;
}

void FreeSelectionList(TSelectionNode*& head)
{
    FreeList(head);
}

// ---- tests --------------------------------------------------------------------------------------

bool IsUnitSelectable(const TUnit& u)
{
    if (g_SelectAnything != 0)
        return true;
    // A unit hidden from drawing (a ship lifted off the map) is out of the mouse's reach too.
    if (u.Dead != 0 || u.m_bShown == 0)
        return false;
    switch (u.Work) {
    case kWorkShipHidden:
    case kWorkLeavingHouse:
    case STAY_IN_HOUSE:
    case WORK_UNIT_TRANSPORTED: return false;
    default: break;
    }
    if (u.Work == kWorkWalkingPath && u.PathLength == 0 && u.PendingMove == 0)
        return false;
    if (u.Basic != nullptr && u.Basic->m_bAir != 0 && (u.Work == kWorkAirTakeOff || u.Work == kWorkAirLanding))
        return false;
    return true;
}

void UnitSeenPoint(const TUnit& u, float& x, float& y)
{
    x = u.X;
    y = u.Y - u.Height - u.GroundHeight;
}

bool IsUnitInRect(const TUnit& u, const TMapRect& r)
{
    float x = 0.0f;
    float y = 0.0f;
    UnitSeenPoint(u, x, y);
    return static_cast<float>(r.left) <= x && x <= static_cast<float>(r.right) && static_cast<float>(r.top) <= y
        && y <= static_cast<float>(r.bottom);
}

// ---- selecting ----------------------------------------------------------------------------------

void AddUnitToSelection(std::uint8_t player, TUnit* u)
{
    TStrateg* s = Player(player);
    // A unit that already holds a node is selected: a second node would outlive it.
    if (s == nullptr || u == nullptr || u->m_pSelectionNode != nullptr)
        return;
    SetSelectedCount(*s, static_cast<std::uint16_t>(s->NumSelectedUnits + 1));
    u->m_pSelectionNode = PushListNode(s->SelectionHead, u);
    if (s->SelectedHouse != nullptr)
        s->SelectedHouse->Selected = 0;
    SetHouseSelection(*s, nullptr);
    u->Selected = 1;
    if (KindOf(*u) == UNIT_KIND_WORKER)
        s->SelectionFlags[SELECTION_WORKER_FLAG] = 1;
    if (KindOf(*u) == kKindArtillery)
        s->SelectionFlags[SELECTION_KIND7_FLAG] = 1;
    if (u->m_pGroup != nullptr && !IsGroupShownSelected(u->m_pGroup))
        SelectGroupUnits(u->m_pGroup, true);
}

void DeleteSelection(std::uint8_t player, TUnit* u)
{
    TStrateg* s = Player(player);
    if (u == nullptr)
        return;
    auto* node = static_cast<TSelectionNode*>(u->m_pSelectionNode);
    u->Selected = 0;
    u->m_pSelectionNode = nullptr;
    if (node == nullptr) {
        ReportError("void DeleteSelection(BYTE Player,TUnit *u) - temp==0");
        return;
    }
    if (s == nullptr)
        return;
    if (node->prev != nullptr)
        node->prev->next = node->next;
    else if (s->SelectionHead == node)
        s->SelectionHead = node->next;
    if (node->next != nullptr)
        node->next->prev = node->prev;
    delete node;
    if (s->NumSelectedUnits > 0)
        SetSelectedCount(*s, static_cast<std::uint16_t>(s->NumSelectedUnits - 1));
    if (u->m_pGroup != nullptr && IsGroupShownSelected(u->m_pGroup))
        SelectGroupUnits(u->m_pGroup, false);
}

void ClearSelection(std::uint8_t player)
{
    TStrateg* s = Player(player);
    if (s == nullptr)
        return;
    ClearUnitSelection(player, *s);
    ClearHouseSelection(player, *s);
    RefreshPanelFor(player);
}

void SelectAll(std::uint8_t player)
{
    TStrateg* s = Player(player);
    if (s == nullptr)
        return;
    ClearUnitSelection(player, *s);
    SelectWhere(player, *s, [](const TUnit&) { return true; });
}

void SelectUnitsInRect(std::uint8_t player, const TMapRect* rect)
{
    TStrateg* s = Player(player);
    if (s == nullptr)
        return;
    const TMapRect area = rect != nullptr ? *rect : VisibleArea();
    ClearUnitSelection(player, *s);
    SelectWhere(player, *s, [&](const TUnit& u) { return IsUnitInRect(u, area); });
}

void SelectWorkersInRect(std::uint8_t player, const TMapRect* rect)
{
    TStrateg* s = Player(player);
    if (s == nullptr)
        return;
    const TMapRect area = rect != nullptr ? *rect : VisibleArea();
    ClearSelection(player);
    if (SelectWhere(player, *s, [&](const TUnit& u) { return KindOf(u) == UNIT_KIND_WORKER && IsUnitInRect(u, area); }))
        s->SelectionFlags[SELECTION_WORKER_FLAG] = 1;
}

void SelectSameTypes(std::uint8_t player)
{
    SelectTypesWhere(player, nullptr);
}

void SelectSameTypesInRect(std::uint8_t player, const TMapRect* rect)
{
    const TMapRect area = rect != nullptr ? *rect : VisibleArea();
    SelectTypesWhere(player, &area);
}

void SelectIdleWorkers(std::uint8_t player)
{
    TStrateg* s = Player(player);
    if (s == nullptr)
        return;
    bool cleared = false;
    for (TUnit* u = s->FirstUnit; u != nullptr; u = u->m_pNext) {
        const bool idle = u->Dead == 0 && KindOf(*u) == UNIT_KIND_WORKER && u->Work == UNIT_NO_WORK
            && u->m_pGroup == nullptr && u->PlayerAttack == UNIT_NO_PLAYER && u->PlayerHouseAttack == UNIT_NO_PLAYER
            && u->m_bShown != 0 && u->Basic != nullptr && u->Basic->Speed > 0.5f && (u->NumWork == 3 || u->NumWork == 4);
        if (!idle)
            continue;
        if (!cleared) {
            ClearSelection(player);
            cleared = true;
        }
        AddUnitToSelection(player, u);
    }
    if (cleared)
        s->SelectionFlags[SELECTION_WORKER_FLAG] = 1;
}

void FilterSelectionByType(std::uint8_t player, std::uint16_t type)
{
    TStrateg* s = Player(player);
    if (s == nullptr)
        return;
    for (TSelectionNode* n = s->SelectionHead; n != nullptr;) {
        TUnit* u = n->unit;
        n = n->next;
        if (u == nullptr || u->Type == type)
            continue;
        if (u->m_pGroup != nullptr && GroupHasUnitOfType(u->m_pGroup, type))
            continue;
        DeleteSelection(player, u);
    }
    FlagsFromFirst(*s);
}

void DeselectByKind(std::uint8_t player, std::uint16_t type)
{
    TStrateg* s = Player(player);
    if (s == nullptr)
        return;
    for (TSelectionNode* n = s->SelectionHead; n != nullptr;) {
        TUnit* u = n->unit;
        n = n->next;
        if (u != nullptr && u->Type == type)
            DeleteSelection(player, u);
    }
    if (type == 0)
        s->SelectionFlags[SELECTION_WORKER_FLAG] = 0;
    else if (type == 3)
        s->SelectionFlags[SELECTION_KIND7_FLAG] = 0;
}

void SelectHouseOf(std::uint8_t player, THouse* house)
{
    TStrateg* s = Player(player);
    if (s == nullptr || house == nullptr)
        return;
    house->Selected = 1;
    SetHouseSelection(*s, house);
}

// ---- stored groups --------------------------------------------------------------------------------

void StoreGroup(std::uint8_t player, std::uint8_t g)
{
    TStrateg* s = Player(player);
    if (s == nullptr || s->Dead != 0 || g < 1 || g >= SELECTION_GROUPS)
        return;
    std::vector<TStoredGroupEntry>& group = s->Group[g];
    for (const TStoredGroupEntry& e : group)
        if (e.kind == GROUP_ENTRY_UNIT && e.object != nullptr)
            static_cast<TUnit*>(e.object)->m_StoredGroup = STORED_GROUP_NONE;
    FreeGroup(group);
    if (s->SelectedHouse != nullptr && s->SelectedHouseFlag != 0) {
        THouse* house = s->SelectedHouse;
        RemoveHouseFromGroups(player, house);
        s->Group[g].push_back({GROUP_ENTRY_HOUSE, house});
        return;
    }
    if (s->NumSelectedUnits == 0)
        return;
    std::vector<TUnit*> units;
    for (TSelectionNode* n = s->SelectionHead; n != nullptr; n = n->next)
        if (n->unit != nullptr)
            units.push_back(n->unit);
    for (TUnit* u : units)
        if (u->m_StoredGroup != static_cast<std::int8_t>(g))
            RemoveUnitFromGroup(player, u);
    for (TUnit* u : units) {
        s->Group[g].push_back({GROUP_ENTRY_UNIT, u});
        u->m_StoredGroup = static_cast<std::int8_t>(g);
    }
    RefreshPanelFor(player);
}

void SelectUnitsFromGroup(std::uint8_t player, std::uint8_t g)
{
    if (g >= SELECTION_GROUPS) {
        ReportErrorInt(" GroupID>=10 in SelectUnitsFromGroup ", g);
        return;
    }
    TStrateg* s = Player(player);
    if (s == nullptr || s->Dead != 0 || s->Group[g].empty())
        return;
    std::vector<TStoredGroupEntry>& group = s->Group[g];
    TSelectionServices& services = SelectionServices();
    if (group.front().kind == GROUP_ENTRY_HOUSE) {
        auto* house = static_cast<THouse*>(group.front().object);
        ClearSelection(player);
        if (house == nullptr)
            return;
        SelectHouseOf(player, house);
        g_PanelHouse = house->HouseType;
        if (player == MyPlayer) {
            services.playSound(SOUND_BUILDING, house, 0, kAckPriority);
            RefreshPanelFor(player);
        }
        return;
    }
    if (g_ShiftDown[player] == 0)
        ClearSelection(player);
    std::uint32_t units = 0;
    std::uint32_t alreadySelected = 0;
    // Selecting may deselect and reselect through the units' formations; a copy stays valid.
    const std::vector<TStoredGroupEntry> entries = group;
    for (const TStoredGroupEntry& e : entries) {
        auto* u = static_cast<TUnit*>(e.object);
        if (e.kind != GROUP_ENTRY_UNIT || u == nullptr)
            continue;
        ++units;
        if (u->Selected != 0)
            ++alreadySelected;
        else if (IsUnitSelectable(*u))
            AddUnitToSelection(player, u);
    }
    // The view is the local player's own: another player's key never moves it.
    if (alreadySelected == units && player == MyPlayer && s->SelectionHead != nullptr)
        services.centerViewOnUnit(s->SelectionHead->unit);
    if (player == MyPlayer) {
        PanelTypeFromFirst(*s);
        if (s->SelectionHead != nullptr)
            services.playSound(SOUND_UNIT, s->SelectionHead->unit, kAckSub, kAckPriority);
        RefreshPanelFor(player);
    }
}

void RemoveUnitFromGroup(std::uint8_t player, TUnit* u)
{
    if (!UsablePlayer(player) || u == nullptr)
        return;
    if (DropFromStoredGroup(*g_Strateg[player], u))
        u->m_StoredGroup = STORED_GROUP_NONE;
}

void RemoveHouseFromGroups(std::uint8_t player, THouse* house)
{
    TStrateg* s = Player(player);
    if (s == nullptr || house == nullptr)
        return;
    for (auto& group : s->Group)
        if (!group.empty() && group.front().kind == GROUP_ENTRY_HOUSE && group.front().object == house)
            FreeGroup(group);
}

// The building's own groups, as the buildings ask when one is lost.
void RemoveHouseFromGroups(THouse* house)
{
    if (house != nullptr)
        RemoveHouseFromGroups(house->Owner, house);
}

void ForgetUnitInSelection(std::uint8_t player, TUnit* u)
{
    if (u == nullptr || player >= 8)
        return;
    if (u->m_pSelectionNode != nullptr)
        DeleteSelection(player, u);
    else
        u->Selected = 0;
    // Even a dead player's groups drop it: no entry may outlive its unit.
    if (g_Strateg[player] != nullptr)
        DropFromStoredGroup(*g_Strateg[player], u);
    u->m_StoredGroup = STORED_GROUP_NONE;
}

// ---- game start and end -----------------------------------------------------------------------------

void InitSelection()
{
    g_UnitsDrawSorted.clear();
    g_UnitsDrawTinted.clear();
    g_UnitsDrawLate.clear();
    g_PanelUnitType = PANEL_NOTHING;
    g_PanelHouse = PANEL_NOTHING;
    // Every machine starts a game with the same press points: none before the first press.
    std::lock_guard lock(g_InputLock);
    for (int p = 0; p < 8; ++p) {
        g_PlayerClickX[p] = g_PlayerClickY[p] = 0;
        g_PlayerPrevClickX[p] = g_PlayerPrevClickY[p] = NO_LINE_START;
        g_bNetDragging[p] = 0;
    }
}

void FreeSelection()
{
    g_UnitsDrawSorted.clear();
    g_UnitsDrawTinted.clear();
    g_UnitsDrawLate.clear();
    SetCursorMode(CURSOR_MODE_NORMAL);
}

THouse* GetSingleSelectedHouse(std::uint8_t player)
{
    const TStrateg* s = Player(player);
    if (s == nullptr || s->OutOfGame != 0 || s->SelectedHouseFlag == 0)
        return nullptr;
    return s->SelectedHouse;
}
