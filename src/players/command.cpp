#include "players/command.h"

#include <algorithm>

#include "movement/group_orders.h"
#include "net/network.h"
#include "players/strateg.h"
#include "units/house.h"
#include "units/record_io.h"
#include "units/unit.h"

plat::CriticalSection g_HeapLock;

namespace {

// One layout per record, read and written through the same table.
template <typename IO, typename Message>
void NetDataFields(const IO& io, Message& m)
{
    io.Field(0, m.cycle);
    io.Field(4, m.sequence);
    io.Field(6, m.PlayerSend);
    io.Field(7, m.commandClass);
    io.Field(8, m.id);
    io.Field(10, m.x);
    io.Field(14, m.y);
    io.Field(18, m.houseRef);
    io.Field(20, m.unitIndex);
    io.Field(22, m.unitPlayer);
    io.Array(23, m.params);
}

template <typename IO, typename Item>
void HeapItemFields(const IO& io, Item& h)
{
    io.Field(0, h.kind);
    io.Field(4, h.cikl);
    io.Field(8, h.sequence);
    io.Field(10, h.commandClass);
    io.Field(12, h.x);
    io.Field(16, h.y);
    io.Field(28, h.unitPlayer);
    io.Field(29, h.secondUnitPlayer);
    io.Field(30, h.unitIndex);
    io.Field(32, h.secondUnitIndex);
    io.Field(34, h.id);
    io.Field(40, h.houseIndex);
    io.Field(42, h.housePlayer);
    io.Array(44, h.params);
    io.Field(84, h.flag);
}

void NameUnit(TUnit* u, TUnit*& pointer, std::uint8_t& player, std::uint16_t& index)
{
    pointer = u;
    if (u == nullptr)
        return;
    player = u->Player;
    index = u->m_Index;
}

TUnit* LiveUnit(std::uint8_t player, std::uint16_t index)
{
    if (player >= g_wNumPlayer || player >= 8 || index == COMMAND_NO_INDEX || g_Strateg[player] == nullptr)
        return nullptr;
    TUnit* u = g_Strateg[player]->GetUnit(index);
    return u != nullptr && u->Dead == 0 ? u : nullptr;
}

} // namespace

TNetData* NewNetData(std::uint16_t commandClass, std::uint16_t id)
{
    auto* message = new TNetData;
    message->PlayerSend = MyPlayer;
    message->commandClass = static_cast<std::uint8_t>(commandClass);
    message->id = static_cast<std::uint16_t>(id & 0xFF);
    return message;
}

void WriteNetData(const TNetData& message, std::span<std::uint8_t, NET_DATA_WIRE_SIZE> out)
{
    std::fill(out.begin(), out.end(), std::uint8_t{0});
    NetDataFields(TRecordWriter(out.data()), message);
}

bool ReadNetData(std::span<const std::uint8_t> bytes, TNetData& message)
{
    if (bytes.size() < NET_DATA_WIRE_SIZE)
        return false;
    TNetData read;
    NetDataFields(TRecordReader(bytes.data()), read);
    read.link = message.link;
    message = read;
    return true;
}

THeapItem* NewCommand(std::uint16_t commandClass, std::uint8_t id, float x, float y)
{
    auto* item = new THeapItem;
    item->cikl = kadr_now;
    item->commandClass = commandClass;
    item->id = id;
    item->x = x;
    item->y = y;
    return item;
}

THeapItem* NewCommandForObjects(std::uint16_t commandClass, std::uint8_t id, float x, float y, TUnit* secondUnit,
                                TUnit* unit, THouse* house)
{
    THeapItem* item = NewCommand(commandClass, id, x, y);
    NameUnit(secondUnit, item->secondUnit, item->secondUnitPlayer, item->secondUnitIndex);
    NameUnit(unit, item->unit, item->unitPlayer, item->unitIndex);
    item->house = house;
    if (house != nullptr) {
        item->housePlayer = house->Owner;
        item->houseIndex = house->Index;
    }
    return item;
}

void FreeHeapItem(THeapItem* item)
{
    if (item == nullptr)
        return;
    delete item->message;
    if (item->groupOrder != nullptr)
        FreeGroupOrder(item->groupOrder);
    delete item;
}

void FreeHeapList(THeapItem* head)
{
    while (head != nullptr) {
        THeapItem* next = head->next;
        FreeHeapItem(head);
        head = next;
    }
}

THeapItem* NetDataToHeapItem(const TNetData& message)
{
    THeapItem* item = NewCommand(message.commandClass, static_cast<std::uint8_t>(message.id & 0xFF),
                                 static_cast<float>(message.x), static_cast<float>(message.y));
    item->kind = HEAP_KIND_RECEIVED;
    item->cikl = message.cycle;
    item->sequence = message.sequence;
    std::copy(std::begin(message.params), std::end(message.params), item->params);
    if (message.houseRef != COMMAND_NO_HOUSE_REF) {
        item->housePlayer = static_cast<std::uint8_t>(std::min(message.houseRef / 1000, 255));
        item->houseIndex = static_cast<std::uint16_t>(message.houseRef % 1000);
    }
    item->unitPlayer = message.unitPlayer;
    item->unitIndex = message.unitIndex;
    return item;
}

void ResolveHeapItemRefs(THeapItem& item)
{
    item.unit = LiveUnit(item.unitPlayer, item.unitIndex);
    item.secondUnit = LiveUnit(item.secondUnitPlayer, item.secondUnitIndex);
    item.house = nullptr;
    const std::uint8_t p = item.housePlayer;
    if (p < g_wNumPlayer && p < 8 && item.houseIndex < NumHouse[p]) {
        THouse* house = HouseAt(g_pHouse[p], item.houseIndex);
        if (house != nullptr && house->TypeRecord != nullptr && house->Destroyed == 0)
            item.house = house;
    }
}

void WriteHeapItem(const THeapItem& item, std::span<std::uint8_t, HEAP_ITEM_SIZE> out)
{
    std::fill(out.begin(), out.end(), std::uint8_t{0});
    HeapItemFields(TRecordWriter(out.data()), item);
}

bool ReadHeapItem(std::span<const std::uint8_t> bytes, THeapItem& item)
{
    if (bytes.size() < HEAP_ITEM_SIZE)
        return false;
    THeapItem read;
    HeapItemFields(TRecordReader(bytes.data()), read);
    read.next = item.next;
    item = read;
    return true;
}
