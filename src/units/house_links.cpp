#include "units/house_links.h"

#include <vector>

#include "core/error_log.h"
#include "core/memory_stream.h"
#include "units/house.h"
#include "units/house_queue.h"
#include "units/record_io.h"
#include "units/unit.h"
#include "units/unit_types.h"

namespace {

constexpr std::uint8_t kNoPlayer = 255;
constexpr std::uint16_t kNoIndex = 65535;

void WriteUnitReference(TOfStreamMemory& out, const TUnit* unit)
{
    out.WriteU8(unit != nullptr ? unit->Player : kNoPlayer);
    out.WriteU16(unit != nullptr ? unit->m_Index : kNoIndex);
}

bool ReadUnitReference(TIfStreamMemory& in, const TUnitFinder& findUnit, TUnit*& unit)
{
    std::uint8_t player = kNoPlayer;
    std::uint16_t index = kNoIndex;
    if (!in.ReadU8(player) || !in.ReadU16(index))
        return false;
    unit = player != kNoPlayer && findUnit ? findUnit(player, index) : nullptr;
    return true;
}

bool Refuse(const THouse& house, const char* what)
{
    ReportErrorInt(what, house.Index);
    return false;
}

} // namespace

THouseLinkCounts ReadHouseLinkCounts(std::span<const std::uint8_t, 192> record)
{
    const TRecordReader io(record.data());
    THouseLinkCounts counts;
    std::uint32_t ship = 0;
    io.Field(60, counts.queueCount);
    io.Field(42, counts.insideCount);
    io.Field(132, counts.targetPlayer);
    io.Field(HOUSE_RECORD_SHIP_SLOT, ship);
    counts.ship = ship != 0;
    return counts;
}

void WriteHouseLinks(const THouse& house, TOfStreamMemory& out)
{
    const std::uint16_t queued = house.QueueCount == HOUSE_QUEUE_ENDLESS ? 1 : house.QueueCount;
    for (std::uint16_t i = 0; i < queued; ++i)
        out.WriteU16(house.Queue != nullptr ? house.Queue[i] : 0);
    out.Write(house.HandlerBytes, HOUSE_HANDLER_BYTES);
    if (house.TargetPlayer < kNoPlayer)
        WriteUnitReference(out, house.TargetUnit);
    for (std::uint16_t i = 0; i < house.InsideCount; ++i)
        WriteUnitReference(out, house.Inside != nullptr ? house.Inside[i] : nullptr);
    for (std::uint8_t i = 0; i < house.AnimationCount; ++i)
        out.WriteU32(house.Animations != nullptr ? house.Animations[i].frameState : 0);
    if (house.ShipUnderConstruction != nullptr)
        WriteUnitReference(out, house.ShipUnderConstruction);
    out.WriteU8(HOUSE_LINK_SEPARATOR);
}

bool ReadHouseLinks(THouse& house, const THouseLinkCounts& counts, TIfStreamMemory& in, const TUnitFinder& findUnit)
{
    const std::uint16_t queued = counts.queueCount == HOUSE_QUEUE_ENDLESS ? 1 : counts.queueCount;
    if (std::int64_t{queued} * 2 > in.Remaining())
        return Refuse(house, "Houses: the production queue is cut short, building ");
    std::vector<std::uint16_t> queue(queued);
    for (std::uint16_t& type : queue) {
        in.ReadU16(type);
        if (type >= UNIT_TYPES_PER_NATION)
            return Refuse(house, "Houses: a queued unit type beyond the table, building ");
    }
    std::uint8_t handler[HOUSE_HANDLER_BYTES] = {};
    if (in.Read(handler, HOUSE_HANDLER_BYTES) != HOUSE_HANDLER_BYTES)
        return Refuse(house, "Houses: the building's state is cut short, building ");
    TUnit* target = nullptr;
    if (counts.targetPlayer < kNoPlayer && !ReadUnitReference(in, findUnit, target))
        return Refuse(house, "Houses: the target is cut short, building ");
    std::vector<TUnit*> inside;
    for (std::uint16_t i = 0; i < counts.insideCount; ++i) {
        TUnit* unit = nullptr;
        if (!ReadUnitReference(in, findUnit, unit))
            return Refuse(house, "Houses: the units inside are cut short, building ");
        if (unit != nullptr)
            inside.push_back(unit);
    }
    if (house.Animations != nullptr)
        ReportError("Откуда здесь взялись анимации?");
    AttachTypeAnimations(house);
    for (std::uint8_t i = 0; i < house.AnimationCount; ++i)
        if (!in.ReadU32(house.Animations[i].frameState))
            return Refuse(house, "Houses: the animation states are cut short, building ");
    TUnit* ship = nullptr;
    if (counts.ship && !ReadUnitReference(in, findUnit, ship))
        return Refuse(house, "Houses: the ship under construction is cut short, building ");
    std::uint8_t separator = 0;
    if (!in.ReadU8(separator) || separator != HOUSE_LINK_SEPARATOR)
        return Refuse(house, "Houses: a building's entry does not end with its separator, building ");

    delete[] house.Queue;
    house.Queue = nullptr;
    house.QueueCount = 0;
    if (!queue.empty()) {
        house.Queue = new std::uint16_t[queue.size()];
        std::copy(queue.begin(), queue.end(), house.Queue);
        house.QueueCount = counts.queueCount == HOUSE_QUEUE_ENDLESS ? HOUSE_QUEUE_ENDLESS : queued;
    }
    std::copy(std::begin(handler), std::end(handler), house.HandlerBytes);
    house.TargetUnit = target;
    if (target == nullptr)
        house.TargetPlayer = kNoPlayer;
    delete[] house.Inside;
    house.Inside = nullptr;
    house.InsideCount = 0;
    if (!inside.empty()) {
        house.Inside = new TUnit*[inside.size()];
        std::copy(inside.begin(), inside.end(), house.Inside);
        house.InsideCount = static_cast<std::uint16_t>(inside.size());
    }
    house.ShipUnderConstruction = ship;
    return true;
}

bool CheckHouseLinks(const THouseLinkCounts& counts, std::uint8_t animations, TIfStreamMemory& in)
{
    auto refuse = [](const char* what) {
        ReportError(what);
        return false;
    };
    const std::uint16_t queued = counts.queueCount == HOUSE_QUEUE_ENDLESS ? 1 : counts.queueCount;
    for (std::uint16_t i = 0; i < queued; ++i) {
        std::uint16_t type = 0;
        if (!in.ReadU16(type))
            return refuse("Houses: the production queue is cut short");
        if (type >= UNIT_TYPES_PER_NATION)
            return refuse("Houses: a queued unit type beyond the table");
    }
    std::uint8_t handler[HOUSE_HANDLER_BYTES] = {};
    if (in.Read(handler, HOUSE_HANDLER_BYTES) != HOUSE_HANDLER_BYTES)
        return refuse("Houses: the building's state is cut short");
    TUnit* unit = nullptr;
    if (counts.targetPlayer < kNoPlayer && !ReadUnitReference(in, nullptr, unit))
        return refuse("Houses: the target is cut short");
    for (std::uint16_t i = 0; i < counts.insideCount; ++i)
        if (!ReadUnitReference(in, nullptr, unit))
            return refuse("Houses: the units inside are cut short");
    for (std::uint8_t i = 0; i < animations; ++i) {
        std::uint32_t state = 0;
        if (!in.ReadU32(state))
            return refuse("Houses: the animation states are cut short");
    }
    if (counts.ship && !ReadUnitReference(in, nullptr, unit))
        return refuse("Houses: the ship under construction is cut short");
    std::uint8_t separator = 0;
    if (!in.ReadU8(separator) || separator != HOUSE_LINK_SEPARATOR)
        return refuse("Houses: a building's entry does not end with its separator");
    return true;
}
