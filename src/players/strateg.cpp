#include "players/strateg.h"

#include <algorithm>
#include <mutex>

#include "core/error_log.h"
#include "core/text_file.h"
#include "devices/cursor_state.h"
#include "map/map_file.h"
#include "map/map_grid.h"
#include "players/command.h"
#include "players/game_cycle.h"
#include "players/selection.h"
#include "platform/clock.h"
#include "ui/player_services.h"
#include "units/house.h"
#include "units/unit.h"
#include "units/unit_lists.h"

TStrateg* g_Strateg[8] = {};
std::uint16_t g_wNumPlayer = 0;
TStrateg* MyStrateg = nullptr;
std::uint8_t g_ActingPlayer = 0;
std::uint8_t g_AllTeamsDifferent = 1;
std::uint8_t g_bTearingDown = 0;

namespace {

// The play time's clock; tests and the simulation runner fix it so that saves compare. Main thread
// only.
std::int64_t (*g_PlayClock)() = &plat::GetCalendarTime;

std::uint32_t CalendarSeconds()
{
    return static_cast<std::uint32_t>(g_PlayClock());
}

void SetMyStrateg(TStrateg* player)
{
    std::lock_guard lock(g_InputLock);
    MyStrateg = player;
}

// Building codes (player + 1) * 1000 + index: the released player's vanish, the players above it
// move down one slot.
void ReleasePlayerObjectCodes(std::uint8_t p)
{
    const std::uint32_t first = (p + 1u) * 1000u;
    for (std::uint16_t y = 0; y < g_MapHeight; ++y)
        for (std::uint16_t x = 0; x < g_MapWidth; ++x) {
            const std::uint16_t code = GetObjectFromMap(x, y);
            if (code < first || code > 8999)
                continue;
            SetObjectMap(x, y, code < first + 1000 ? kObjectFree : static_cast<std::uint16_t>(code - 1000));
        }
}

} // namespace

void SetPlayClock(std::int64_t (*clock)())
{
    g_PlayClock = clock != nullptr ? clock : &plat::GetCalendarTime;
}

std::uint32_t PlayClockSeconds()
{
    return CalendarSeconds();
}

void TTurnList::Free()
{
    FreeHeapList(head);
    head = tail = nullptr;
}

TStrateg::TStrateg()
{
    Scratch.owner = this;
    CreationTick = plat::GetTickCountMs();
    ClockBase = CalendarSeconds();
}

TStrateg::~TStrateg()
{
    Name.clear();
    Clear();
    Scratch.Free();
}

void TStrateg::AddCommand(THeapItem* item)
{
    if (item == nullptr)
        return;
    item->next = nullptr;
    std::lock_guard lock(g_HeapLock);
    if (HeapHead == nullptr)
        HeapHead = item;
    else
        HeapTail->next = item;
    HeapTail = item;
    ++HeapCount;
}

THeapItem* TStrateg::TakeCommands()
{
    std::lock_guard lock(g_HeapLock);
    THeapItem* head = HeapHead;
    HeapHead = HeapTail = nullptr;
    HeapCount = 0;
    return head;
}

TUnit* TStrateg::GetUnit(std::uint16_t index) const
{
    if (index >= NextUnitIndex)
        return nullptr;
    TUnit** page = Pages[index / UNIT_TABLE_PAGE];
    return page ? page[index % UNIT_TABLE_PAGE] : nullptr;
}

std::uint16_t TStrateg::AddUnit(TUnit* unit)
{
    std::uint32_t index = 0;
    if (FreeIndexes.empty()) {
        index = NextUnitIndex;
        if (index >= UNIT_TABLE_LIMIT) {
            ReportError("TStrateg::AddUnit: the unit table is full");
            return UNIT_TABLE_FULL;
        }
        TUnit**& page = Pages[index / UNIT_TABLE_PAGE];
        if (page == nullptr)
            page = new TUnit*[UNIT_TABLE_PAGE]();
        ++NextUnitIndex;
    } else {
        index = FreeIndexes.front();
        FreeIndexes.pop_front();
    }
    Pages[index / UNIT_TABLE_PAGE][index % UNIT_TABLE_PAGE] = unit;
    if (unit != nullptr)
        unit->m_Index = static_cast<std::uint16_t>(index);
    return static_cast<std::uint16_t>(index);
}

bool TStrateg::RemoveUnit(std::uint16_t index)
{
    if (index >= NextUnitIndex)
        return false;
    if (TUnit** page = Pages[index / UNIT_TABLE_PAGE])
        page[index % UNIT_TABLE_PAGE] = nullptr;
    FreeIndexes.push_back(index);
    return true;
}

void TStrateg::ClearUnitTable()
{
    for (TUnit**& page : Pages) {
        delete[] page;
        page = nullptr;
    }
    FreeIndexes.clear();
    NextUnitIndex = 0;
}

bool TStrateg::ReserveUnitTable(std::uint32_t next)
{
    if (next > UNIT_TABLE_LIMIT)
        return false;
    const std::uint32_t pages = (next + UNIT_TABLE_PAGE - 1) / UNIT_TABLE_PAGE;
    for (std::uint32_t p = 0; p < pages; ++p)
        if (Pages[p] == nullptr)
            Pages[p] = new TUnit*[UNIT_TABLE_PAGE]();
    NextUnitIndex = static_cast<std::uint16_t>(next);
    return true;
}

void TStrateg::MakeGrid(std::uint32_t mapWidth, std::uint32_t mapHeight)
{
    const std::uint32_t width = mapWidth * 96 / STRATEG_GRID_CELL + 1;
    const std::uint32_t height = mapHeight * 24 / STRATEG_GRID_CELL + 1;
    GridWidth = static_cast<std::uint16_t>(width);
    Grid.assign(static_cast<std::uint16_t>(width * height), 0);
}

bool TStrateg::MarkGrid(float x, float y, std::uint8_t value)
{
    if (GridWidth == 0 || Grid.empty() || !(x >= 0.0f) || !(y >= 0.0f))
        return false;
    const std::int64_t column = static_cast<std::int64_t>(x) / STRATEG_GRID_CELL;
    const std::int64_t row = static_cast<std::int64_t>(y) / STRATEG_GRID_CELL;
    const std::int64_t count = static_cast<std::int64_t>(Grid.size());
    if (column >= GridWidth)
        return false;
    const std::int64_t cell = row * GridWidth + column;
    if (cell < 0 || cell >= count)
        return false;
    Grid[static_cast<std::size_t>(cell)] = value;
    if (value < 100) {
        // Side neighbours stay in the cell's own row: the last column has no right neighbour.
        if (column > 0)
            Grid[static_cast<std::size_t>(cell - 1)] = value;
        if (column + 1 < GridWidth && cell + 1 < count)
            Grid[static_cast<std::size_t>(cell + 1)] = value;
        if (cell - GridWidth >= 0)
            Grid[static_cast<std::size_t>(cell - GridWidth)] = value;
        if (cell + GridWidth < count)
            Grid[static_cast<std::size_t>(cell + GridWidth)] = value;
    }
    return true;
}

void TStrateg::SetName(const std::u16string& name)
{
    Name = name;
}

void TStrateg::UpdatePlayTime()
{
    const std::uint32_t now = CalendarSeconds();
    PlayTime += now - ClockBase;
    ClockBase = now;
}

void TStrateg::Clear()
{
    {
        std::lock_guard lock(g_InputLock);
        NumSelectedUnits = 0;
        SelectedHouseFlag = 0;
        g_wNumSelectedHouse = STRATEG_NO_HOUSE;
        SelectedHouse = nullptr;
    }
    FreeSelectionList(SelectionHead);
    FreeHeapList(TakeCommands());
    Planner.reset();
    GroupManager.reset();
    Grid.clear();
    GridWidth = 0;
    for (auto& group : Group)
        group.clear();
    for (TUnit* u = FirstUnit; u != nullptr; u = u->m_pNext) {
        ForgetPanelUnit(u);
        RemoveUnitFromCell(u);
    }
    FreeUnitList(FirstUnit);
    LiveUnits = 0;
    if (Number < 8) {
        NumHouse[Number] = 0;
        NumUnits[Number] = 0;
        ResetPlayerMission(Number);
    }
    ClearUnitTable();
}

// ---- the players of a game ------------------------------------------------------------------

bool CreateMapPlayer(const TMapPlayerRecord& record, std::uint8_t kind)
{
    if (g_wNumPlayer >= STRATEG_MAX_PLAYERS)
        return false;
    const std::uint8_t n = static_cast<std::uint8_t>(g_wNumPlayer);
    auto* player = new TStrateg;
    player->Number = n;
    player->Kind = kind == PLAYER_KIND_LOCAL || kind == PLAYER_KIND_REMOTE ? kind : PLAYER_KIND_COMPUTER;
    const std::size_t nameLength = std::char_traits<char16_t>::length(record.name);
    player->SetName(MakeMapPlayerName(std::u16string_view(record.name, std::min<std::size_t>(nameLength, 20)), n));
    player->Nation = record.nation;
    // The computer-player parts are built for people too: the advisors and assistants use them.
    player->Planner = MakeStrategAI(n);
    player->MakeGrid(g_MapWidth, g_MapHeight);
    for (TResourcePair& pair : player->Res)
        pair.recorded = pair.spendable;
    player->LiveUnits = NumUnits[n];
    player->GroupManager = std::make_unique<TGroupManager>(n, record.nation);
    player->GroupManager->WarTemplate = player->WarTemplate;
    player->SetupByte = record.byte41;
    DeleteHouseArray(g_pHouse[n]);
    g_pHouse[n] = NewHouseArray(HOUSE_PLAYER_CAPACITY);
    NumHouse[n] = 0;
    NumUnits[n] = 0;
    player->Houses = g_pHouse[n];
    g_Strateg[n] = player;
    if (n == MyPlayer)
        SetMyStrateg(player);
    ++g_wNumPlayer;
    return true;
}

void ReleasePlayer(std::uint8_t p)
{
    if (p >= g_wNumPlayer || g_Strateg[p] == nullptr)
        return;
    ReleasePlayerObjectCodes(p);
    FreePlayerHouses(p);
    if (g_Strateg[p] == MyStrateg)
        SetMyStrateg(nullptr);
    delete g_Strateg[p];
    const std::uint16_t last = static_cast<std::uint16_t>(g_wNumPlayer - 1);
    for (std::uint16_t q = p; q < last; ++q) {
        TStrateg* moved = g_Strateg[q + 1];
        g_Strateg[q] = moved;
        g_pHouse[q] = g_pHouse[q + 1];
        NumHouse[q] = NumHouse[q + 1];
        NumUnits[q] = NumUnits[q + 1];
        if (moved == nullptr)
            continue;
        moved->Number = static_cast<std::uint8_t>(q);
        for (TUnit* u = moved->FirstUnit; u != nullptr; u = u->m_pNext)
            u->Player = static_cast<std::uint8_t>(q);
        for (std::uint16_t h = 0; h < NumHouse[q]; ++h)
            if (THouse* house = HouseAt(g_pHouse[q], h))
                house->Owner = static_cast<std::uint8_t>(q);
    }
    g_Strateg[last] = nullptr;
    g_pHouse[last] = nullptr;
    NumHouse[last] = 0;
    NumUnits[last] = 0;
    g_wNumPlayer = last;
    if (MyPlayer < 8 && MyStrateg != g_Strateg[MyPlayer])
        SetMyStrateg(g_Strateg[MyPlayer]);
}

void MoveUnitToFirstUnit(TUnit* u)
{
    if (u == nullptr || u->Player >= 8 || g_Strateg[u->Player] == nullptr)
        return;
    TStrateg* owner = g_Strateg[u->Player];
    if (owner->FirstUnit == u)
        return;
    if (u->Prev == nullptr) {
        ReportError("MoveUnitToFirstUnit");
        return;
    }
    u->Prev->m_pNext = u->m_pNext;
    if (u->m_pNext != nullptr)
        u->m_pNext->Prev = u->Prev;
    u->Prev = nullptr;
    u->m_pNext = owner->FirstUnit;
    if (owner->FirstUnit != nullptr)
        owner->FirstUnit->Prev = u;
    owner->FirstUnit = u;
}

void ResetPlayerSlots()
{
    // Records a previous game left behind are freed here, not forgotten.
    ClearGlobalHeap();
    g_AllTeamsDifferent = 1;
}

void ClearGlobalHeap()
{
    // The draw-order lists and the global heap may name what is freed below.
    ResetGameCycle();
    SetMyStrateg(nullptr);
    for (TStrateg*& player : g_Strateg) {
        delete player;
        player = nullptr;
    }
    g_wNumPlayer = 0;
}

void SetPlayerNotPlaying(int player)
{
    if (player < 0 || player >= 8 || g_Strateg[player] == nullptr)
        return;
    TStrateg* p = g_Strateg[player];
    p->OutOfGame = 1;
    p->NotPlaying = 1;
    p->Dead = 1;
    FreePlayerHouses(static_cast<std::uint8_t>(player));
    p->Houses = nullptr;
}

bool CanPlayerReceiveUnits(int player)
{
    return player >= 0 && player < 8 && g_Strateg[player] != nullptr && g_Strateg[player]->OutOfGame == 0;
}

// Saving and loading agree on it: the dead flag travels in the player's state block.
bool IsPlayerInGame(std::uint8_t player)
{
    return player < g_wNumPlayer && player < STRATEG_MAX_PLAYERS && g_Strateg[player] != nullptr &&
           g_Strateg[player]->Dead == 0;
}

std::u16string GetPlayerName(std::uint8_t player)
{
    return player < 8 && g_Strateg[player] != nullptr ? g_Strateg[player]->Name : std::u16string();
}
