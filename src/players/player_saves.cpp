#include "players/player_saves.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "combat/ship_graphics.h"
#include "combat/tower.h"
#include "core/error_log.h"
#include "core/memory_stream.h"
#include "devices/cursor_state.h"
#include "map/map_grid.h"
#include "movement/group.h"
#include "movement/group_orders.h"
#include "players/command.h"
#include "players/dispatcher.h"
#include "players/economy.h"
#include "players/group_manager.h"
#include "players/selection.h"
#include "players/strateg.h"
#include "platform/clock.h"
#include "units/house.h"
#include "units/record_io.h"
#include "units/unit.h"
#include "units/unit_lists.h"

namespace {

// Longest player name a save may hold, in characters.
constexpr std::uint32_t kMaxNameChars = 1000;
constexpr std::uint8_t kLinkSeparator = '#';
constexpr char kUnexpectedEnd[] = "Неожиданный конец файла";
constexpr char kUnitCountMismatch[] = "Неправильно сохраняет. Число юнитов не совпадает с реальным";
constexpr char kSpecialHeapFailed[] = "Ошибка в bool TStrateg::LoadSpecialHeap(TIfStreamMemory *File)";

// The stored order of the ten resource values and of the five history rings.
struct TStoredResource {
    std::uint8_t resource;
    bool spendable;
};
constexpr TStoredResource kStoredResources[10] = {
    {RESOURCE_FOOD, false}, {RESOURCE_GOLD, false}, {RESOURCE_IRON, false}, {RESOURCE_OIL, false},
    {RESOURCE_WOOD, false}, {RESOURCE_GOLD, true},  {RESOURCE_WOOD, true},  {RESOURCE_IRON, true},
    {RESOURCE_FOOD, true},  {RESOURCE_OIL, true},
};
constexpr std::uint8_t kStoredRings[5] = {RESOURCE_FOOD, RESOURCE_WOOD, RESOURCE_OIL, RESOURCE_IRON, RESOURCE_GOLD};

bool Refuse(const char* what)
{
    ReportError2("Player block is refused: ", what);
    return false;
}

TStrateg* Record(std::uint8_t player)
{
    return player < STRATEG_MAX_PLAYERS ? g_Strateg[player] : nullptr;
}

// The pointer fields of each loaded unit, in list order, until the link blocks are read.
std::vector<TUnitLinks> g_LoadedLinks[STRATEG_MAX_PLAYERS];

// The units a loaded forming names, until every player's units exist.
struct TPendingFormingUnits {
    TGroupOrder* order = nullptr;
    std::vector<std::pair<std::uint8_t, std::uint16_t>> units;
};
std::vector<TPendingFormingUnits> g_PendingForming;

TUnit* UnitOf(std::uint8_t player, std::uint16_t index)
{
    if (player >= g_wNumPlayer || index == COMMAND_NO_INDEX)
        return nullptr;
    const TStrateg* s = Record(player);
    if (s == nullptr)
        return nullptr;
    TUnit* u = s->GetUnit(index);
    return u != nullptr && u->Player == player ? u : nullptr;
}

void WriteRef(TOfStreamMemory& out, const TUnit* u)
{
    out.WriteU8(u != nullptr ? u->Player : COMMAND_NO_PLAYER);
    out.WriteU16(u != nullptr ? u->m_Index : COMMAND_NO_INDEX);
}

// ---- the group-order record ----

void WriteGroupOrder(const TGroupOrder& r, TOfStreamMemory& out)
{
    std::uint8_t head[GROUP_ORDER_RECORD_BYTES] = {};
    const TRecordWriter w(head);
    // 0: the group pointer's slot, 24: the unit list's slot; both stay zero.
    w.Field(4, r.kind);
    w.Field(5, r.a);
    w.Field(6, r.b);
    w.Field(8, r.x);
    w.Field(12, r.y);
    w.Field(16, r.modeA);
    w.Field(17, r.formKind);
    w.Field(18, r.columns);
    w.Field(19, static_cast<std::uint8_t>(r.forming ? 1 : 0));
    const auto count = static_cast<std::uint16_t>(std::min<std::size_t>(r.units.size(), GROUP_ORDER_MAX_UNITS));
    w.Field(20, count);
    out.Write(head, GROUP_ORDER_RECORD_BYTES);
    out.WriteU32(r.groupId);
    out.WriteU8(r.owner);
    for (std::uint16_t i = 0; i < count; ++i) {
        const TUnit* u = r.units[i];
        out.WriteU16(u != nullptr ? u->m_Index : COMMAND_NO_INDEX);
        out.WriteU8(u != nullptr ? u->Player : COMMAND_NO_PLAYER);
    }
}

bool ReadGroupOrder(TIfStreamMemory& in, TGroupOrder& r, TPendingFormingUnits& units)
{
    std::uint8_t head[GROUP_ORDER_RECORD_BYTES];
    if (in.Read(head, GROUP_ORDER_RECORD_BYTES) != GROUP_ORDER_RECORD_BYTES)
        return false;
    const TRecordReader rd(head);
    std::uint8_t forming = 0;
    std::uint16_t count = 0;
    rd.Field(4, r.kind);
    rd.Field(5, r.a);
    rd.Field(6, r.b);
    rd.Field(8, r.x);
    rd.Field(12, r.y);
    rd.Field(16, r.modeA);
    rd.Field(17, r.formKind);
    rd.Field(18, r.columns);
    rd.Field(19, forming);
    rd.Field(20, count);
    r.forming = forming != 0;
    if (forming > 1 || count > GROUP_ORDER_MAX_UNITS || !in.ReadU32(r.groupId) || !in.ReadU8(r.owner) ||
        r.owner >= STRATEG_MAX_PLAYERS || std::int64_t{count} * 3 > in.Remaining())
        return false;
    units.units.resize(count);
    for (auto& [player, index] : units.units) {
        in.ReadU16(index);
        in.ReadU8(player);
    }
    return !in.Failed();
}

bool IsGroupOrderRecord(const THeapItem& item)
{
    return item.commandClass == COMMAND_CLASS_SELECTION &&
           (item.id == COMMAND_ID_REPLAY_GROUP_ORDER || item.id == COMMAND_ID_GROUP_ORDER);
}

// The records written to a save: an outgoing wrapper belongs to a network game and is never saved.
bool IsSavedRecord(const THeapItem& item)
{
    return item.kind != HEAP_KIND_OUTGOING;
}

// ---- the house arrays of a loaded player ----

void GiveHouseArray(std::uint8_t n, TStrateg& player)
{
    DeleteHouseArray(g_pHouse[n]);
    g_pHouse[n] = nullptr;
    NumHouse[n] = 0;
    if (player.OutOfGame == 0)
        g_pHouse[n] = NewHouseArray(HOUSE_PLAYER_CAPACITY);
    player.Houses = g_pHouse[n];
}

bool ReadName(TIfStreamMemory& in, std::u16string& name)
{
    std::uint32_t length = 0;
    if (!in.ReadU32(length) || length > kMaxNameChars || std::int64_t{length} * 2 > in.Remaining())
        return false;
    name.assign(length, u'\0');
    for (char16_t& c : name) {
        std::uint16_t v = 0;
        in.ReadU16(v);
        c = static_cast<char16_t>(v);
    }
    return !in.Failed();
}

} // namespace

// ---- the state block ----

void SaveStrateg(std::uint8_t n, TOfStreamMemory& out)
{
    TStrateg* p = Record(n);
    // A slot without a record is written as a fresh one, so the block keeps its shape.
    // Its number stays out of range, so that freeing it touches no slot's counts.
    TStrateg fresh;
    fresh.Number = 255;
    if (p == nullptr)
        p = &fresh;
    const auto gridCount = static_cast<std::uint16_t>(p->Grid.size());
    out.WriteU16(gridCount);
    out.WriteU16(p->GridWidth);
    out.Write(p->Grid.data(), gridCount);
    out.WriteU8(p->SelectionFlags[0]);
    out.WriteU8(p->SelectionFlags[1]);
    out.WriteU16(p->SelectedHouseFlag);
    out.WriteU16(p->g_wNumSelectedHouse);
    out.WriteU8(p->Nation);
    out.WriteU8(p->SetupByte);
    out.WriteU8(p->WarTemplate);
    out.WriteU32(static_cast<std::uint32_t>(std::min<std::size_t>(p->Name.size(), kMaxNameChars)));
    for (std::size_t i = 0; i < p->Name.size() && i < kMaxNameChars; ++i)
        out.WriteU16(p->Name[i]);
    out.WriteU32(p->LiveUnits);
    out.WriteU32(p->UnitsLost);
    out.WriteU32(p->UnitsKilled);
    for (const TStoredResource& r : kStoredResources)
        out.WriteF64(r.spendable ? p->Res[r.resource].spendable : p->Res[r.resource].recorded);
    for (std::uint8_t ring : kStoredRings)
        for (double v : p->History[ring])
            out.WriteF64(v);
    for (std::uint32_t t : p->TimeRing)
        out.WriteU32(t);
    out.WriteU32(p->TimeRingExtra);
    out.WriteU8(p->StatFlag);
    out.WriteU16(p->PopulationCap);
    out.WriteU8(p->MissionStage);
    const auto conditions = static_cast<std::uint8_t>(std::min<std::uint16_t>(p->ConditionCount, 255));
    out.WriteU8(conditions);
    for (std::size_t i = 0; i < conditions * MISSION_CONDITION_SIZE; ++i)
        out.WriteU8(i < p->Conditions.size() ? p->Conditions[i] : 0);
    out.WriteU8(p->Kind == PLAYER_KIND_LOCAL || p->Kind == PLAYER_KIND_REMOTE ? p->Kind : PLAYER_KIND_COMPUTER);
    out.WriteU8(n);
    out.WriteU8(p->Dead);
    out.WriteU32(p->Team);
    out.WriteU16(p->NumSelectedUnits);
    if (p->Dead == 0) {
        if (p->Planner) {
            p->Planner->SaveState(out);
        } else {
            TComputerStrategAI blank(0);
            blank.Player = n;
            blank.SaveState(out);
        }
    }
    const THouseCounters& houses = g_HouseCounters[n < 8 ? n : 0];
    out.WriteU32(houses.lost);
    out.WriteU32(houses.destroyed);
    out.WriteU32(houses.placed);
    if (p->Dead == 0 && p != &fresh)
        p->UpdatePlayTime();
    out.WriteU32(p->PlayTime);
    out.Write(p->BlockA, sizeof p->BlockA);
    out.Write(p->BlockB, sizeof p->BlockB);
    out.Write(p->Relations, sizeof p->Relations);
    out.WriteU8(p->OutOfGame);
}

namespace {

// The state block read into a record of its own; nothing of the game changes.
bool ReadStrategBlock(std::uint8_t n, TIfStreamMemory& in, std::unique_ptr<TStrateg>& p, THouseCounters& houses)
{
    if (n >= STRATEG_MAX_PLAYERS)
        return Refuse("player number");
    p = std::make_unique<TStrateg>();
    // No player's slot until the block is whole: a record given up on the way (or a check's
    // scratch record) must not clear the counts of the player of that number when it goes.
    p->Number = 255;
    std::uint16_t gridCount = 0;
    in.ReadU16(gridCount);
    in.ReadU16(p->GridWidth);
    if (in.Failed() || gridCount > in.Remaining() || p->GridWidth > gridCount)
        return Refuse("target-search grid");
    p->Grid.assign(gridCount, 0);
    in.Read(p->Grid.data(), gridCount);
    in.ReadU8(p->SelectionFlags[0]);
    in.ReadU8(p->SelectionFlags[1]);
    in.ReadU16(p->SelectedHouseFlag);
    in.ReadU16(p->g_wNumSelectedHouse);
    in.ReadU8(p->Nation);
    in.ReadU8(p->SetupByte);
    in.ReadU8(p->WarTemplate);
    if (in.Failed())
        return Refuse("cut short");
    if (!ReadName(in, p->Name))
        return Refuse("name");
    in.ReadU32(p->LiveUnits);
    in.ReadU32(p->UnitsLost);
    in.ReadU32(p->UnitsKilled);
    for (const TStoredResource& r : kStoredResources)
        in.ReadF64(r.spendable ? p->Res[r.resource].spendable : p->Res[r.resource].recorded);
    for (std::uint8_t ring : kStoredRings)
        for (double& v : p->History[ring])
            in.ReadF64(v);
    for (std::uint32_t& t : p->TimeRing)
        in.ReadU32(t);
    in.ReadU32(p->TimeRingExtra);
    in.ReadU8(p->StatFlag);
    in.ReadU16(p->PopulationCap);
    in.ReadU8(p->MissionStage);
    std::uint8_t conditions = 0;
    in.ReadU8(conditions);
    if (in.Failed() || std::int64_t{conditions} * static_cast<std::int64_t>(MISSION_CONDITION_SIZE) > in.Remaining())
        return Refuse("mission records");
    p->ConditionCount = conditions;
    p->Conditions.assign(conditions * MISSION_CONDITION_SIZE, 0);
    if (conditions != 0)
        in.Read(p->Conditions.data(), static_cast<std::int32_t>(p->Conditions.size()));
    if (in.Remaining() <= 1) {
        ReportError(kUnexpectedEnd);
        return false;
    }
    std::uint8_t kind = 0, number = 0, dead = 0;
    in.ReadU8(kind);
    in.ReadU8(number);
    in.ReadU8(dead);
    in.ReadU32(p->Team);
    in.ReadU16(p->NumSelectedUnits);
    if (in.Failed())
        return Refuse("cut short");
    if (number != n)
        return Refuse("own index");
    p->Kind = kind == PLAYER_KIND_LOCAL || kind == PLAYER_KIND_REMOTE ? kind : PLAYER_KIND_COMPUTER;
    p->Dead = dead != 0 ? 1 : 0;
    p->GroupManager = std::make_unique<TGroupManager>(n, p->Nation);
    p->GroupManager->WarTemplate = p->WarTemplate;
    p->Planner.reset();
    if (p->Dead == 0) {
        auto ai = std::make_unique<TComputerStrategAI>(0);
        ai->Player = n;
        if (!ai->LoadState(in))
            return Refuse("computer player");
        p->Planner = std::move(ai);
    }
    in.ReadU32(houses.lost);
    in.ReadU32(houses.destroyed);
    in.ReadU32(houses.placed);
    in.ReadU32(p->PlayTime);
    in.Read(p->BlockA, sizeof p->BlockA);
    in.Read(p->BlockB, sizeof p->BlockB);
    in.Read(p->Relations, sizeof p->Relations);
    std::uint8_t empty = 0;
    in.ReadU8(empty);
    if (in.Failed()) {
        ReportError(kUnexpectedEnd);
        return false;
    }
    p->OutOfGame = p->NotPlaying = empty != 0 ? 1 : 0;
    p->Number = n;
    return true;
}

} // namespace

bool CheckStrategBlock(std::uint8_t n, TIfStreamMemory& in, bool& inGame)
{
    std::unique_ptr<TStrateg> p;
    THouseCounters houses;
    if (!ReadStrategBlock(n, in, p, houses))
        return false;
    inGame = p->Dead == 0;
    p->Number = 255;
    return true;
}

bool LoadStrategAI(std::uint8_t n, TIfStreamMemory& in)
{
    std::unique_ptr<TStrateg> p;
    THouseCounters houses;
    if (!ReadStrategBlock(n, in, p, houses))
        return false;
    p->ClockBase = PlayClockSeconds();
    g_HouseCounters[n] = houses;
    if (g_Strateg[n] != nullptr && g_Strateg[n] == MyStrateg) {
        // The mouse thread reads the local record; the load takes it again once every chunk is in.
        std::lock_guard lock(g_InputLock);
        MyStrateg = nullptr;
    }
    delete g_Strateg[n];
    g_Strateg[n] = p.release();
    GiveHouseArray(n, *g_Strateg[n]);
    NumUnits[n] = 0;
    return true;
}

// ---- the units block ----

void SaveStrategUnits(std::uint8_t n, TOfStreamMemory& out)
{
    const TStrateg* p = Record(n);
    if (p == nullptr) {
        // No record: an empty table, no units, no groups, no queue.
        out.WriteU16(0);
        out.WriteU16(0);
        out.WriteU32(0);
        for (int g = 0; g < 10; ++g)
            out.WriteU16(0);
        out.WriteU32(0);
        return;
    }
    const auto freeCount = static_cast<std::uint16_t>(std::min<std::size_t>(p->FreeIndexes.size(), UNIT_TABLE_LIMIT));
    out.WriteU16(freeCount);
    for (std::uint16_t i = 0; i < freeCount; ++i)
        out.WriteU16(p->FreeIndexes[i]);
    out.WriteU16(p->NextUnitIndex);
    // The count of images comes first, so the reader takes exactly the images written.
    std::uint32_t count = 0;
    for (const TUnit* u = p->FirstUnit; u != nullptr; u = u->m_pNext)
        ++count;
    out.WriteU32(count);
    std::uint8_t image[UNIT_RECORD_SIZE];
    for (const TUnit* u = p->FirstUnit; u != nullptr; u = u->m_pNext) {
        WriteUnitImage(*u, std::span<std::uint8_t, UNIT_RECORD_SIZE>(image));
        out.Write(image, UNIT_RECORD_SIZE);
        if (u->PathLength != 0) {
            if (u->Path != nullptr)
                out.Write(u->Path, u->PathLength);
            else
                for (std::uint16_t i = 0; i < u->PathLength; ++i)
                    out.WriteU8(0);
        }
        for (std::uint8_t t = 0; u->Towers != nullptr && t < u->TowerCount; ++t)
            u->Towers[t].Save(out);
    }
    if (count != NumUnits[n])
        ReportError(kUnitCountMismatch);
    for (const auto& group : p->Group)
        out.WriteU16(static_cast<std::uint16_t>(std::min<std::size_t>(group.size(), 65535)));
    for (const auto& group : p->Group) {
        if (group.empty())
            continue;
        const std::uint8_t kind = group.front().kind;
        out.WriteU8(kind);
        for (std::size_t i = 0; i < group.size() && i < 65535; ++i) {
            const void* object = group[i].object;
            std::uint16_t index = COMMAND_NO_INDEX;
            if (object != nullptr)
                index = kind == GROUP_ENTRY_UNIT ? static_cast<const TUnit*>(object)->m_Index
                                                 : static_cast<const THouse*>(object)->Index;
            out.WriteU16(index);
        }
    }
    std::vector<const THeapItem*> queue;
    {
        std::lock_guard lock(g_HeapLock);
        for (const THeapItem* item = p->HeapHead; item != nullptr; item = item->next)
            if (IsSavedRecord(*item))
                queue.push_back(item);
    }
    out.WriteU32(static_cast<std::uint32_t>(queue.size()));
    std::uint8_t record[HEAP_ITEM_SIZE];
    for (const THeapItem* item : queue) {
        WriteHeapItem(*item, std::span<std::uint8_t, HEAP_ITEM_SIZE>(record));
        out.Write(record, HEAP_ITEM_SIZE);
    }
}

bool LoadStrateg(std::uint8_t n, TIfStreamMemory& in)
{
    TStrateg* p = Record(n);
    if (p == nullptr)
        return Refuse("units of a player without a record");
    if (p->FirstUnit != nullptr)
        return Refuse("units of a player who has units");
    std::uint16_t freeCount = 0;
    if (!in.ReadU16(freeCount) || std::int64_t{freeCount} * 2 + 2 > in.Remaining())
        return Refuse("free indexes");
    std::vector<std::uint16_t> freeIndexes(freeCount);
    for (std::uint16_t& i : freeIndexes)
        in.ReadU16(i);
    std::uint16_t next = 0;
    in.ReadU16(next);
    if (in.Failed() || next > UNIT_TABLE_LIMIT || freeCount > next)
        return Refuse("unit table");
    std::vector<std::uint8_t> used(next, 0);
    for (std::uint16_t i : freeIndexes) {
        if (i >= next || used[i] != 0)
            return Refuse("free index");
        used[i] = 1;
    }
    std::uint32_t count = 0;
    if (!in.ReadU32(count) || count > next || std::int64_t{count} * UNIT_RECORD_SIZE > in.Remaining())
        return Refuse("unit count");
    p->ClearUnitTable();
    if (!p->ReserveUnitTable(next))
        return Refuse("unit table");
    p->FreeIndexes.assign(freeIndexes.begin(), freeIndexes.end());
    NumUnits[n] = 0;
    g_LoadedLinks[n].clear();
    g_LoadedLinks[n].reserve(count);
    TUnit* tail = nullptr;
    std::uint8_t image[UNIT_RECORD_SIZE];
    for (std::uint32_t k = 0; k < count; ++k) {
        if (in.Read(image, UNIT_RECORD_SIZE) != UNIT_RECORD_SIZE)
            return Refuse("unit image cut short");
        const TRecordReader r(image);
        float x = 0.0f, y = 0.0f;
        std::uint16_t type = 0, index = 0;
        std::uint8_t owner = 0;
        r.Field(28, x);
        r.Field(32, y);
        r.Field(122, owner);
        r.Field(136, type);
        r.Field(144, index);
        if (owner != n || type >= UNIT_TYPES_PER_NATION || index >= next || used[index] != 0 ||
            GetUnitType(p->Nation, type) == nullptr || !(x == x) || !(y == y))
            return Refuse("unit image");
        used[index] = 1;
        TUnit* u = CreateUnit(x, y, type, p->Nation);
        TUnitLinks links;
        ReadUnitImage(std::span<const std::uint8_t, UNIT_RECORD_SIZE>(image), u, links);
        u->m_pOwner = p;
        u->Prev = tail;
        if (tail == nullptr)
            p->FirstUnit = u;
        else
            tail->m_pNext = u;
        tail = u;
        p->Pages[index / UNIT_TABLE_PAGE][index % UNIT_TABLE_PAGE] = u;
        g_LoadedLinks[n].push_back(links);
        ++NumUnits[n];
        if (u->Dead == 0)
            ++g_UnitTypeCount[n][u->Type];
        if (u->Basic != nullptr)
            u->Basic->AddRef(p->Nation);
        // The part pictures the image says the ship held belong to the saving process: the ship
        // takes the parts of its state again.
        if (auto* ship = dynamic_cast<TShipGraphic*>(u->Basic))
            ship->InitShipParts(u);
        if (u->PathLength != 0) {
            if (u->PathLength > in.Remaining())
                return Refuse("unit path cut short");
            u->Path = new std::uint8_t[u->PathLength];
            in.Read(u->Path, u->PathLength);
        }
        for (std::uint8_t t = 0; u->Towers != nullptr && t < u->TowerCount; ++t)
            if (!u->Towers[t].Load(in, u))
                return Refuse("gun tower");
        // The unit enters the list of the cell its image names, the cell it was listed in.
        MoveUnitToCell(u->MapX, u->MapY, u);
    }
    // Slots neither free nor holding a unit are unit indexes that nothing names: they stay empty.
    std::uint16_t counts[10] = {};
    for (std::uint16_t& c : counts)
        in.ReadU16(c);
    if (in.Failed())
        return Refuse("stored groups cut short");
    for (int g = 0; g < 10; ++g) {
        p->Group[g].clear();
        if (counts[g] == 0)
            continue;
        std::uint8_t kind = 0;
        if (!in.ReadU8(kind) || kind > GROUP_ENTRY_UNIT || std::int64_t{counts[g]} * 2 > in.Remaining())
            return Refuse("stored group");
        for (std::uint16_t i = 0; i < counts[g]; ++i) {
            std::uint16_t index = 0;
            in.ReadU16(index);
            void* object = nullptr;
            if (kind == GROUP_ENTRY_UNIT)
                object = p->GetUnit(index);
            else if (index < NumHouse[n])
                object = HouseAt(g_pHouse[n], index);
            if (object != nullptr)
                p->Group[g].push_back({kind, object});
        }
    }
    std::uint32_t queued = 0;
    if (!in.ReadU32(queued) || std::int64_t{queued} * static_cast<std::int64_t>(HEAP_ITEM_SIZE) > in.Remaining())
        return Refuse("command queue");
    std::uint8_t record[HEAP_ITEM_SIZE];
    for (std::uint32_t i = 0; i < queued; ++i) {
        in.Read(record, HEAP_ITEM_SIZE);
        auto* item = new THeapItem;
        if (!ReadHeapItem(record, *item) || item->kind == HEAP_KIND_OUTGOING) {
            delete item;
            return Refuse("command record");
        }
        p->AddCommand(item);
    }
    // The selection is rebuilt from the units' own flags.
    FreeSelectionList(p->SelectionHead);
    std::uint16_t selected = 0;
    if (p->NumSelectedUnits != 0)
        for (TUnit* u = tail; u != nullptr; u = u->Prev)
            if (u->Selected != 0) {
                u->m_pSelectionNode = PushListNode(p->SelectionHead, u);
                ++selected;
            }
    {
        std::lock_guard lock(g_InputLock);
        p->NumSelectedUnits = selected;
    }
    return true;
}

// ---- the pending group orders ----

void SaveSpecialHeap(std::uint8_t n, TOfStreamMemory& out)
{
    const TStrateg* p = Record(n);
    if (p == nullptr)
        return;
    std::lock_guard lock(g_HeapLock);
    for (const THeapItem* item = p->HeapHead; item != nullptr; item = item->next) {
        if (!IsSavedRecord(*item) || !IsGroupOrderRecord(*item))
            continue;
        const auto* order = static_cast<const TGroupOrder*>(item->groupOrder);
        out.WriteU8(order != nullptr ? 1 : 0);
        if (order != nullptr)
            WriteGroupOrder(*order, out);
    }
}

bool TStrateg::LoadSpecialHeap(TIfStreamMemory& in)
{
    std::lock_guard lock(g_HeapLock);
    for (THeapItem* item = HeapHead; item != nullptr; item = item->next) {
        if (!IsGroupOrderRecord(*item))
            continue;
        std::uint8_t present = 0;
        if (!in.ReadU8(present) || present > 1) {
            ReportError(kSpecialHeapFailed);
            return false;
        }
        if (present == 0)
            continue;
        auto order = std::make_unique<TGroupOrder>();
        TPendingFormingUnits units;
        if (!ReadGroupOrder(in, *order, units)) {
            ReportError(kSpecialHeapFailed);
            return false;
        }
        // The group and the units are found once every player's groups and units exist.
        units.order = order.get();
        if (item->groupOrder != nullptr)
            FreeGroupOrder(item->groupOrder);
        item->groupOrder = order.release();
        g_PendingForming.push_back(std::move(units));
    }
    return true;
}

// ---- the units' link entries ----

void WriteUnitLinkEntries(std::uint8_t n, TOfStreamMemory& out)
{
    const TStrateg* p = Record(n);
    if (p == nullptr)
        return;
    for (const TUnit* u = p->FirstUnit; u != nullptr; u = u->m_pNext) {
        for (const TUnit* link : {u->AttackUnit})
            if (link != nullptr)
                WriteRef(out, link);
        for (const THouse* house : {u->House, u->HouseAttack})
            if (house != nullptr) {
                out.WriteU8(house->Owner);
                out.WriteU16(house->Index);
            }
        for (const TUnit* link : {u->m_MyFutureTransporter, u->m_MyTransporter, u->m_pContactUnit, u->GunTarget})
            if (link != nullptr)
                WriteRef(out, link);
        for (std::uint16_t i = 0; u->m_pPassengers != nullptr && i < u->m_PassengerCount; ++i)
            WriteRef(out, u->m_pPassengers[i]);
        out.WriteU8(kLinkSeparator);
    }
}

bool ReadUnitLinkEntries(std::uint8_t n, TIfStreamMemory& in,
                         const std::function<TUnit*(std::uint8_t, std::uint16_t)>& findUnit)
{
    const TStrateg* p = Record(n);
    if (p == nullptr)
        return true;
    const std::vector<TUnitLinks>& stored = g_LoadedLinks[n];
    std::size_t k = 0;
    for (TUnit* u = p->FirstUnit; u != nullptr; u = u->m_pNext, ++k) {
        if (k >= stored.size())
            return Refuse("a unit the units block did not make");
        const TUnitLinks& set = stored[k];
        auto unitRef = [&](std::uint32_t slot, TUnit*& field) {
            field = nullptr;
            if (slot == UNIT_LINK_NONE)
                return true;
            std::uint8_t player = 0;
            std::uint16_t index = 0;
            if (!in.ReadU8(player) || !in.ReadU16(index))
                return false;
            if (player < g_wNumPlayer && IsPlayerInGame(player))
                field = findUnit(player, index);
            return true;
        };
        auto houseRef = [&](std::uint32_t slot, THouse*& field) {
            field = nullptr;
            if (slot == UNIT_LINK_NONE)
                return true;
            std::uint8_t player = 0;
            std::uint16_t index = 0;
            if (!in.ReadU8(player) || !in.ReadU16(index))
                return false;
            if (player < g_wNumPlayer && IsPlayerInGame(player) && index < NumHouse[player])
                field = HouseAt(g_pHouse[player], index);
            return true;
        };
        bool ok = unitRef(set.attackUnit, u->AttackUnit) && houseRef(set.house, u->House) &&
                  houseRef(set.houseAttack, u->HouseAttack) &&
                  unitRef(set.futureTransporter, u->m_MyFutureTransporter) &&
                  unitRef(set.transporter, u->m_MyTransporter) && unitRef(set.contactUnit, u->m_pContactUnit) &&
                  unitRef(set.gunTarget, u->GunTarget);
        const std::uint16_t capacity = u->m_pPassengers != nullptr ? u->PassengerCapacity() : 0;
        std::uint16_t kept = 0;
        for (std::uint16_t i = 0; ok && i < u->m_PassengerCount && i < capacity; ++i) {
            std::uint8_t player = 0;
            std::uint16_t index = 0;
            ok = in.ReadU8(player) && in.ReadU16(index);
            TUnit* passenger = ok && player < g_wNumPlayer && IsPlayerInGame(player) ? findUnit(player, index) : nullptr;
            if (passenger != nullptr)
                u->m_pPassengers[kept++] = passenger;
        }
        std::uint8_t separator = 0;
        if (!ok || !in.ReadU8(separator) || separator != kLinkSeparator) {
            ReportErrorInt("Units: a unit's links are damaged, player ", n);
            return false;
        }
        if (u->m_pPassengers != nullptr) {
            for (std::uint16_t i = kept; i < capacity; ++i)
                u->m_pPassengers[i] = nullptr;
            u->m_PassengerCount = kept;
        }
    }
    return true;
}

// ---- the link pass ----

void RelinkLoadedPlayers()
{
    for (std::uint16_t n = 0; n < g_wNumPlayer && n < STRATEG_MAX_PLAYERS; ++n) {
        TStrateg* p = g_Strateg[n];
        if (p == nullptr)
            continue;
        {
            std::lock_guard lock(g_HeapLock);
            for (THeapItem* item = p->HeapHead; item != nullptr; item = item->next)
                ResolveHeapItemRefs(*item);
        }
        for (TUnit* u = p->FirstUnit; u != nullptr; u = u->m_pNext)
            for (std::uint8_t t = 0; u->Towers != nullptr && t < u->TowerCount; ++t) {
                CTower& tower = u->Towers[t];
                tower.m_pTargetUnit = tower.m_TargetIndex >= 0 && tower.m_TargetPlayer < 8
                                          ? UnitOf(tower.m_TargetPlayer, static_cast<std::uint16_t>(tower.m_TargetIndex))
                                          : nullptr;
            }
    }
    for (TPendingFormingUnits& pending : g_PendingForming) {
        TGroupOrder& order = *pending.order;
        order.group = nullptr;
        for (TGroup* g : PlayerGroups(order.owner))
            if (g->Id == order.groupId)
                order.group = g;
        order.units.clear();
        for (const auto& [player, index] : pending.units)
            order.units.push_back(UnitOf(player, index));
    }
    g_PendingForming.clear();
    RelinkPendingPathMoves();
}

void ForgetLoadedUnitLinks()
{
    for (auto& links : g_LoadedLinks)
        links.clear();
    g_PendingForming.clear();
}
