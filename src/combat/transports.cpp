#include "combat/transports.h"

#include <algorithm>
#include <cmath>

#include "combat/unit_events.h"
#include "combat/work_states.h"
#include "core/error_log.h"
#include "core/random_table.h"
#include "map/map_grid.h"
#include "movement/passability.h"
#include "movement/path_follow.h"
#include "players/selection.h"
#include "combat/battle_services.h"
#include "units/house.h"
#include "units/unit.h"
#include "units/unit_lists.h"

namespace {

constexpr float kBoardingSearchMiss = 100000.0f;
constexpr float kUnloadPush = 50.0f;
constexpr float kUnloadStep = 5.0f;
constexpr int kUnloadStartSteps = 10;
constexpr int kUnloadProbes = 90;
constexpr std::uint16_t kLeaveSearchDelay = 20;
// Diagonal direction codes, in the order the boarding places are tried.
constexpr std::uint8_t kBoardingDirections[4] = {4, 1, 3, 2};

void RefreshPanel()
{
    if (BattleServices().refreshPanel)
        BattleServices().refreshPanel();
}

void Halt(TUnit* u)
{
    DropPath(u);
    u->StepX = u->GoalX = u->X;
    u->StepY = u->GoalY = u->Y;
    u->VX = u->VY = 0.0f;
}

int PassengerSlot(const TUnit* transport, const TUnit* unit)
{
    if (transport->m_pPassengers != nullptr)
        for (int i = 0; i < transport->m_PassengerCount && i < transport->PassengerCapacity(); ++i)
            if (transport->m_pPassengers[i] == unit)
                return i;
    return -1;
}

void RemovePassenger(TUnit* transport, int slot)
{
    const int last = transport->PassengerCapacity() - 1;
    for (int i = slot; i < last; ++i)
        transport->m_pPassengers[i] = transport->m_pPassengers[i + 1];
    transport->m_pPassengers[last] = nullptr;
    --transport->m_PassengerCount;
}

float CellCentreX(const plat::Point& c, float offset)
{
    return static_cast<float>(2 * c.x - (c.y % 2 == 0 ? 1 : 0)) * 48.0f + offset;
}

} // namespace

bool TUnit::PutMeInTransport(TUnit* transport)
{
    if (transport == nullptr)
        return false;
    if (m_MyTransporter != nullptr) {
        ReportError("m_MyTransporter!=NULL in TUnit::PutMeInTransport");
        return false;
    }
    if (transport->Type != UNIT_TYPE_CARRIER && transport->Type != UNIT_TYPE_TRANSPORT_SHIP) {
        ReportError("Transport->Type error");
        StopUnit(this, 1);
        return false;
    }
    if (transport->m_pPassengers == nullptr || transport->m_PassengerCount >= transport->PassengerCapacity()) {
        StopUnit(this, 1);
        return false;
    }
    AttackUnit = nullptr;
    PlayerAttack = UNIT_NO_PLAYER;
    PlayerHouseAttack = UNIT_NO_PLAYER;
    HouseAttack = nullptr;
    transport->m_pPassengers[transport->m_PassengerCount++] = this;
    // Off the map while it rides: a rider left in its cell list would hold the boarding place
    // against the ones still coming.
    RemoveUnitFromCell(this);
    Halt(this);
    NumWork = Upright != 0 ? ANIM_STAND_UPRIGHT : ANIM_STAND;
    NumSprite = 0.0f;
    Halted = 1;
    StopAtEnd = 0;
    if (FaceOrient != UNIT_NO_FACE && FaceOrient != static_cast<std::uint8_t>(Orient)) {
        WantedOrient = FaceOrient;
        StartTurn(this);
    }
    Work = WORK_UNIT_TRANSPORTED;
    m_MyTransporter = transport;
    const bool wasSelected = Selected != 0;
    if (wasSelected)
        DeleteSelection(Player, this);
    if (wasSelected || transport->Selected != 0)
        RefreshPanel();
    return true;
}

bool TUnit::GetMeFromTransport()
{
    TUnit* transport = m_MyTransporter;
    if (transport == nullptr || Work != WORK_UNIT_TRANSPORTED) {
        ReportError("m_MyTransporter==NULL || Work!=WORK_UNIT_TRANSPORTED in TUnit::GetMeFromTransport()");
        return false;
    }
    const int slot = PassengerSlot(transport, this);
    if (slot < 0) {
        ReportError("GetMeFromTransport error");
        Work = UNIT_NO_WORK;
        m_MyTransporter = nullptr;
        return false;
    }
    // Both draws happen on every machine, whichever way the unloading goes.
    const std::uint16_t r1 = RandomDraw();
    const std::uint16_t r2 = RandomDraw();
    const float keptX = X;
    const float keptY = Y;
    Work = UNIT_NO_WORK;
    X = transport->X + static_cast<float>(r1 % 10) - 50.0f;
    Y = transport->Y + static_cast<float>(r2 % 10) - 50.0f;
    Halt(this);
    TFloatPoint at{X, Y};
    if (transport->Type == UNIT_TYPE_CARRIER) {
        FindBoardingPlace(transport, at, this);
    } else if (!FindUnloadPlace(transport, at, this)) {
        // No shore beside the ship: the unit rides on, still listed, so it is never lost off the map.
        X = keptX;
        Y = keptY;
        Halt(this);
        Work = WORK_UNIT_TRANSPORTED;
        m_MyTransporter = transport;
        return false;
    }
    const float dx = at.x - transport->X;
    const float dy = at.y - transport->Y;
    const float len = std::sqrt(dx * dx + dy * dy);
    X = at.x;
    Y = at.y;
    if (len > 0.0f) {
        X += dx / len * kUnloadPush;
        Y += dy / len * kUnloadPush;
    }
    Halt(this);
    m_SearchDelay = kLeaveSearchDelay;
    // Back into a cell list, even when the landing cell is the one it boarded from.
    UpdateUnitCellAlt(this);
    EventUnitEndMove(this);
    RemovePassenger(transport, slot);
    if (transport->Selected != 0)
        RefreshPanel();
    m_MyTransporter = nullptr;
    return true;
}

void DropFromTransport(TUnit* unit)
{
    TUnit* transport = unit->m_MyTransporter;
    if (transport == nullptr)
        return;
    const int slot = PassengerSlot(transport, unit);
    if (slot >= 0)
        RemovePassenger(transport, slot);
    unit->m_MyTransporter = nullptr;
    if (unit->Work == WORK_UNIT_TRANSPORTED)
        unit->Work = UNIT_NO_WORK;
}

bool TUnit::CanUnload(const TUnit* transport) const
{
    if (transport == nullptr)
        return false;
    if (transport->Type == UNIT_TYPE_CARRIER)
        return true;
    TFloatPoint at;
    return FindUnloadPlace(transport, at, nullptr);
}

bool FindBoardingPlace(const TUnit* transport, TFloatPoint& out, const TUnit* unit)
{
    const float fromX = unit != nullptr ? unit->X : transport->X;
    const float fromY = unit != nullptr ? unit->Y : transport->Y;
    const plat::Point home = PixelToFlatCell(transport->X, transport->Y);
    TFloatPoint points[4];
    float dist[4];
    float best = 0.0f;
    for (int i = 0; i < 4; ++i) {
        plat::Point c = GetNeighbourPoint(home, kBoardingDirections[i]);
        c = GetNeighbourPoint(c, kBoardingDirections[i]);
        if (!IsTileInMap(c) || !IsLandCellFree(static_cast<std::uint32_t>(CellIndex(c.x, c.y))))
            points[i] = {kBoardingSearchMiss, kBoardingSearchMiss};
        else
            points[i] = {CellCentreX(c, 48.0f), static_cast<float>(c.y) * 24.0f};
        const float dx = points[i].x - fromX;
        const float dy = points[i].y - fromY;
        dist[i] = std::sqrt(dx * dx + dy * dy);
        best = i == 0 ? dist[i] : std::min(best, dist[i]);
    }
    int winner = 0;
    while (winner < 3 && !(dist[winner] < best + 0.1f))
        ++winner;
    out = points[winner];
    if (out.x > 90000.0f && out.y >= 90000.0f) {
        const plat::Point c = FindFreeCellNear(home.x, home.y);
        out = {CellCentreX(c, 45.0f), static_cast<float>(c.y) * 24.0f};
    }
    return true;
}

bool FindUnloadPlace(const TUnit* transport, TFloatPoint& out, TUnit* unit)
{
    const float side = transport->Heading + 1.5707964f;
    const float sx = kUnloadStep * std::cos(side);
    const float sy = -kUnloadStep * std::sin(side);
    float x = transport->X + sx * kUnloadStartSteps;
    float y = transport->Y + sy * kUnloadStartSteps;
    for (int i = 0; i < kUnloadProbes; ++i) {
        x += sx;
        y += sy;
        const plat::Point c = PixelToFlatCell(x, y);
        if (IsTileInMap(c) && IsCellUsableByUnit(unit, static_cast<std::uint32_t>(CellIndex(c.x, c.y)))) {
            out = {x, y};
            return true;
        }
    }
    if (unit != nullptr) {
        out = {unit->X, unit->Y};
        unit->Work = UNIT_NO_WORK;
        unit->m_MyFutureTransporter = nullptr;
    }
    return false;
}
