// Prices, payments, refunds and upkeep of units and buildings against a player's resource pairs,
// and the resource bar. Every amount a payment takes leaves both values of its pair; only the
// spendable value is kept at 0 or above, and only it is compared with prices and shown.
#include "players/economy.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "core/app_state.h"
#include "core/string_table.h"
#include "devices/display.h"
#include "map/map_grid.h"
#include "platform/draw.h"
#include "players/house_orders.h"
#include "players/resources.h"
#include "players/strateg.h"
#include "ui/player_services.h"
#include "units/house.h"
#include "units/house_types.h"
#include "units/unit_types.h"

namespace {

TStrateg* PlayerRecord(std::uint8_t player)
{
    return player < STRATEG_MAX_PLAYERS ? g_Strateg[player] : nullptr;
}

const TBasicUnit* UnitTypeOf(const TStrateg& p, std::uint16_t type)
{
    if (p.Nation >= UNIT_NATIONS || type >= UNIT_TYPES_PER_NATION)
        return nullptr;
    return g_UnitTypes[p.Nation * UNIT_TYPES_PER_NATION + type];
}

const THouseType* HouseTypeOf(const TStrateg& p, std::uint16_t type)
{
    if (p.Nation >= HOUSE_SIDES || type >= HOUSE_TYPES_PER_SIDE)
        return nullptr;
    return &HouseType(p.Nation, type);
}

// The price test: a price counts only above PRICE_TEST_FLOOR, and then, times the batch, must not
// exceed the spendable value of its resource.
bool PriceCovered(const TStrateg& p, const float (&price)[5], double batch)
{
    for (int i = 0; i < 5; ++i) {
        const double amount = price[i];
        if (amount > PRICE_TEST_FLOOR && amount * batch > p.Res[PRICE_RESOURCE[i]].spendable)
            return false;
    }
    return true;
}

// Takes a run of five amounts from both values of their pairs (a negative amount gives back);
// the spendable value stops at 0.
void TakeFromBoth(TStrateg& p, const float (&amounts)[5])
{
    for (int i = 0; i < 5; ++i) {
        TResourcePair& pair = p.Res[PRICE_RESOURCE[i]];
        const double amount = amounts[i];
        pair.spendable -= amount;
        pair.recorded -= amount;
        if (pair.spendable < 0.0)
            pair.spendable = 0.0;
    }
}

bool UnitAffordable(std::uint8_t player, std::uint16_t type, std::int32_t batch)
{
    const TStrateg* p = PlayerRecord(player);
    const TBasicUnit* t = p != nullptr ? UnitTypeOf(*p, type) : nullptr;
    if (t == nullptr || !PriceCovered(*p, t->m_Costs, batch))
        return false;
    return GetPopulationCap(player) > GetPopulation(player) + (batch > 1 ? batch : 0);
}

// The upkeep run stands behind the price run of the type record as five 32-bit floats; a value
// that is not a number (a damaged parameter file) charges nothing rather than poisoning the stock.
float UpkeepOf(const THouseType& t, int i)
{
    const float value = std::bit_cast<float>(t.m_Params376[i]);
    return std::isfinite(value) ? value : 0.0f;
}

} // namespace

// ---- the pairs, the population and the relations ------------------------------------------------

double GetSpendableResource(std::uint8_t player, std::uint8_t resource)
{
    const TStrateg* p = PlayerRecord(player);
    return p != nullptr && resource < STRATEG_RESOURCES ? p->Res[resource].spendable : 0.0;
}

void AddResourceAmount(std::uint8_t player, std::uint8_t resource, double amount)
{
    TStrateg* p = PlayerRecord(player);
    if (p == nullptr || resource >= STRATEG_RESOURCES)
        return;
    TResourcePair& pair = p->Res[resource];
    pair.recorded += amount;
    pair.spendable += amount;
    if (pair.spendable < 0.0)
        pair.spendable = 0.0;
}

namespace {

// The two newest statistics samples of a resource; false while the ring holds fewer than two
// (the ring is only full again once it has wrapped, a thousand samples in).
bool LastTwoSamples(std::uint8_t player, std::uint8_t resource, double& last, double& before)
{
    const TStrateg* p = PlayerRecord(player);
    if (p == nullptr || resource >= STRATEG_RESOURCE_PAIRS)
        return false;
    const bool wrapped = g_FrameCounter >= 10u + 1000u * STRATEG_STAT_RING;
    if (p->StatIndex < 2 && !wrapped)
        return false;
    const std::uint16_t l = p->StatIndex == 0 ? STRATEG_STAT_RING - 1 : p->StatIndex - 1;
    const std::uint16_t b = l == 0 ? STRATEG_STAT_RING - 1 : l - 1;
    last = p->History[resource][l];
    before = p->History[resource][b];
    return true;
}

} // namespace

bool ResourceFellSinceSample(std::uint8_t player, std::uint8_t resource)
{
    double last = 0.0, before = 0.0;
    return LastTwoSamples(player, resource, last, before) && last < before;
}

bool ResourceGrewSinceSample(std::uint8_t player, std::uint8_t resource)
{
    double last = 0.0, before = 0.0;
    return LastTwoSamples(player, resource, last, before) && last > before;
}

void SubtractCost(std::uint8_t player, const std::int32_t* cost)
{
    TStrateg* p = PlayerRecord(player);
    if (p == nullptr || cost == nullptr)
        return;
    for (int i = 0; i < 5; ++i) {
        TResourcePair& pair = p->Res[PRICE_RESOURCE[i]];
        pair.spendable -= cost[i];
        pair.recorded -= cost[i];
    }
}

std::int32_t GetPopulation(std::uint8_t player)
{
    const TStrateg* p = PlayerRecord(player);
    if (p == nullptr)
        return 0;
    return static_cast<std::int32_t>(std::min<std::uint32_t>(p->LiveUnits, std::numeric_limits<std::int32_t>::max()));
}

std::int32_t GetPopulationCap(std::uint8_t player)
{
    const TStrateg* p = PlayerRecord(player);
    return p != nullptr ? p->PopulationCap : 0;
}

void AddPopulationCap(std::uint8_t player, std::int32_t delta)
{
    TStrateg* p = PlayerRecord(player);
    if (p == nullptr)
        return;
    const std::int64_t cap = std::clamp<std::int64_t>(std::int64_t{p->PopulationCap} + delta, 0, 65535);
    p->PopulationCap = static_cast<std::uint16_t>(cap);
}

std::uint8_t GetPlayerRelation(std::uint8_t player, std::uint8_t toward)
{
    const TStrateg* p = PlayerRecord(player);
    return p != nullptr && toward < STRATEG_MAX_PLAYERS ? p->Relations[toward] : 0;
}

bool IsPlayerDead(std::uint8_t player)
{
    const TStrateg* p = PlayerRecord(player);
    return p == nullptr || p->Dead != 0;
}

// Nothing reads the one-byte upkeep marker the cycle clears, so it is not kept.
void ClearUpkeepMarker() {}

// ---- units --------------------------------------------------------------------------------------

bool CanAffordUnit(std::uint8_t player, std::uint16_t type)
{
    return UnitAffordable(player, type, 1);
}

bool CanAffordUnitsBatch5(std::uint8_t player, std::uint16_t type)
{
    return UnitAffordable(player, type, 5);
}

bool CanAffordUnitsBatch50(std::uint8_t player, std::uint16_t type)
{
    return UnitAffordable(player, type, 50);
}

bool PayForUnit(std::uint8_t player, std::uint16_t type)
{
    if (!CanAffordUnit(player, type))
        return false;
    TStrateg& p = *g_Strateg[player];
    TakeFromBoth(p, UnitTypeOf(p, type)->m_Costs);
    return true;
}

void RefundUnit(std::uint8_t player, std::uint16_t type)
{
    TStrateg* p = PlayerRecord(player);
    const TBasicUnit* t = p != nullptr ? UnitTypeOf(*p, type) : nullptr;
    if (t == nullptr)
        return;
    float back[5];
    for (int i = 0; i < 5; ++i)
        back[i] = -t->m_Costs[i];
    TakeFromBoth(*p, back);
}

// ---- buildings ----------------------------------------------------------------------------------

bool CanAffordHouse(std::uint8_t player, std::uint16_t type)
{
    if (player < g_wNumPlayer && player < STRATEG_MAX_PLAYERS && NumHouse[player] >= PLAYER_HOUSE_LIMIT)
        return false;
    if (type == HOUSE_TYPE_ALWAYS_AFFORDABLE)
        return true;
    if (type == HOUSE_TYPE_TRENCH)
        return CanAffordTrench(player);
    const TStrateg* p = PlayerRecord(player);
    const THouseType* t = p != nullptr ? HouseTypeOf(*p, type) : nullptr;
    if (t == nullptr || !PriceCovered(*p, t->m_Costs, 1.0))
        return false;
    for (std::uint16_t required : t->m_RequiredHouses) {
        if (required == HOUSE_LIST_END)
            break;
        if (required >= kHouseTypeCountTypes || g_HouseTypeCount[player][required] == 0)
            return false;
    }
    return true;
}

bool PayForHouse(std::uint8_t player, std::uint16_t houseIndex)
{
    TStrateg* p = PlayerRecord(player);
    if (p == nullptr || houseIndex >= NumHouse[player])
        return false;
    const THouse* h = HouseAt(g_pHouse[player], houseIndex);
    if (h == nullptr || h->TypeRecord == nullptr || !PriceCovered(*p, h->TypeRecord->m_Costs, 1.0))
        return false;
    TakeFromBoth(*p, h->TypeRecord->m_Costs);
    return true;
}

bool ChargeHouseUpkeep(THouse* house)
{
    if (house == nullptr || house->TypeRecord == nullptr)
        return true;
    TStrateg* p = PlayerRecord(house->Owner);
    if (p == nullptr)
        return true;
    float upkeep[5];
    for (int i = 0; i < 5; ++i)
        upkeep[i] = UpkeepOf(*house->TypeRecord, i);
    TakeFromBoth(*p, upkeep);
    return true;
}

TResourcePair* GetPlayerWood(std::uint8_t player)
{
    TStrateg* p = player < g_wNumPlayer ? PlayerRecord(player) : nullptr;
    if (p == nullptr || p->NotPlaying != 0)
        return nullptr;
    return &p->Res[RESOURCE_WOOD];
}

bool CanAffordTrench(std::uint8_t player)
{
    const TResourcePair* wood = GetPlayerWood(player);
    return wood != nullptr && wood->spendable >= TRENCH_WOOD_PRICE;
}

// ---- the resource bar ---------------------------------------------------------------------------

void DrawResourceBar()
{
    const TStrateg* me = MyPlayer < STRATEG_MAX_PLAYERS ? g_Strateg[MyPlayer] : nullptr;
    if (g_wNumPlayer == 0 || me == nullptr)
        return;
    {
        plat::DrawContext dc(g_pDDSBack);
        if (!dc)
            return;
        dc.SelectFont(g_TextFont);
        dc.SetBkMode(plat::kBkTransparent);
        dc.SetTextColor(0x0099F7FF); // RGB (255, 247, 153)
        // The bar was laid out for a screen 1024 pixels wide.
        const float factor = g_ScreenWidth / 1024.0f;
        static constexpr int kX[6] = {109, 242, 384, 670, 807, 940};
        const double amounts[6] = {me->Res[RESOURCE_GOLD].spendable, me->Res[RESOURCE_FOOD].spendable,
                                   me->Res[RESOURCE_WOOD].spendable, me->Res[RESOURCE_IRON].spendable,
                                   me->Res[RESOURCE_OIL].spendable,  static_cast<double>(GetPopulation(MyPlayer))};
        for (int i = 0; i < 6; ++i) {
            // Stocks beyond the integers are shown at the integers' end, never as undefined values.
            const double shown = std::clamp(amounts[i], -2147483648.0, 2147483647.0);
            char16_t number[16];
            dc.TextOut(static_cast<int>(factor * kX[i]), 5, IntToWStr(static_cast<std::int32_t>(shown), number));
        }
    }
    if (g_bEditorMode == 0 && GetPopulation(MyPlayer) >= GetPopulationCap(MyPlayer))
        QueueScreenText(30, 22, GetResString(u"IDS_DEMANDHOUSE"), 1, 0xFFFFFF, 0);
}
