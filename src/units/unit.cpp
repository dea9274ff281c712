#include "units/unit.h"

#include <bit>
#include <cstring>
#include <type_traits>

#include "combat/ship_graphics.h"
#include "combat/ship_waves.h"
#include "combat/tower.h"
#include "core/error_log.h"
#include "core/app_state.h"
#include "core/loader_thread.h"
#include "core/random_table.h"
#include "map/map_view.h"
#include "platform/bytes.h"
#include "units/house.h"

std::int32_t g_UnitIdCounter = 0;

namespace {

// pi/4 as a single-precision constant, widened: headings are computed in double and stored as f32.
constexpr double kOrientAngle = static_cast<double>(0.7853982f);
constexpr double kHeadingBias = 0.0001;
constexpr double kAngleToOrient = 1.2732395;

constexpr std::uint8_t kPartLoaded = 2;
constexpr std::uint8_t kPartLoading = 1;
constexpr std::uint32_t kFlyWork = 14;
constexpr std::uint32_t kWreckAge = 2400;

float OrientHeading(int orient)
{
    return static_cast<float>(orient * kOrientAngle + kHeadingBias);
}

} // namespace

TUnit::TUnit(std::uint16_t type, std::uint8_t nation)
{
    Reset();
    Basic = type < UNIT_TYPES_PER_NATION ? GetUnitType(nation, type) : nullptr;
    Type = type;
    if (Basic == nullptr)
        ReportErrorInt("TUnit: no unit type of this nation, type ", type);
    const std::uint16_t capacity = PassengerCapacity();
    if (capacity != 0)
        m_pPassengers = new TUnit*[capacity]{};

    Heading = OrientHeading(Orient);
    Orient = static_cast<std::int8_t>(static_cast<double>(Heading) * kAngleToOrient);
    m_OrientTag = 100;
    NumSprite = 0.0f;
    GroundHeight = 50.0f;
    if (Basic == nullptr)
        return;

    Reload = static_cast<std::uint16_t>(Basic->ReloadTime[0] >> 1);
    HitPoints = Basic->MaxHitPoints[0];
    m_CanFire = Basic->m_CanFire;
    Ammo = Basic->MaxAmmo;

    TowerCount = Basic->m_PartCount;
    if (TowerCount != 0) {
        Towers = new CTower[TowerCount];
        for (std::uint8_t i = 0; i < TowerCount; ++i)
            Towers[i].Init(this, i, nation);
    }
    if (Basic->IsShipUnit() && !ShipWaveInit())
        ReportError("ShipWaveInit() FAILED");
    Basic->CreateAnimationArray(m_pAnimations);
    Basic->CreateAnimations(m_pAnimations);
    m_AnimationCount = static_cast<std::uint8_t>(Basic->m_AnimCount + (Basic->IsShipUnit() ? UNIT_SHIP_WAVES : 0));
}

TUnit::~TUnit()
{
    Release();
    delete[] Path;
    Path = nullptr;
}

void TUnit::Reset()
{
    static_cast<TUnitRecord&>(*this) = TUnitRecord{};
    m_UniqueId = g_UnitIdCounter;
    g_UnitIdCounter = static_cast<std::int32_t>(static_cast<std::uint32_t>(g_UnitIdCounter) + 1u);
    FramePhase = static_cast<std::uint8_t>(static_cast<std::uint32_t>(m_UniqueId) % UNIT_FRAME_STAGGER);
    m_bMaySearch = 1;
    NumWork = UNIT_STAND_WORK;
    NextWork = UNIT_NO_NEXT_WORK;
    // Every machine makes the same units in the same order, so this draw keeps the shared index
    // in step.
    Orient = static_cast<std::int8_t>(RandomDraw() & 7);
    WantedOrient = static_cast<std::uint8_t>(Orient);
    m_Flag157 = 1;
    Halted = 1;
    Work = UNIT_NO_WORK;
    WorkObject = UNIT_NO_OBJECT;
    m_AttackIndex = -1;
    PlayerAttack = UNIT_NO_PLAYER;
    PlayerHouseAttack = UNIT_NO_PLAYER;
    m_bOnScreen = 1;
    m_GroupSlot = -1;
    m_Reserved277 = -1;
    m_StoredGroup = -1;
    m_bShown = 1;
    Stance = -1;
    Upright = 1;
    FaceOrient = UNIT_NO_FACE;
    GunScanDelay = 20;
}

void TUnit::Release()
{
    delete[] Towers;
    Towers = nullptr;
    if (Basic != nullptr)
        Basic->DestroyAnimations(m_pAnimations);
    else
        delete[] m_pAnimations;
    m_pAnimations = nullptr;
    delete[] m_pPassengers;
    m_pPassengers = nullptr;
}

std::uint16_t TUnit::PassengerCapacity() const
{
    if (Type == UNIT_TYPE_CARRIER)
        return UNIT_CARRIER_PASSENGERS;
    if (Type == UNIT_TYPE_TRANSPORT_SHIP)
        return UNIT_SHIP_PASSENGERS;
    return 0;
}

bool TUnit::SetOrient(std::uint8_t orient)
{
    if (orient >= UNIT_ORIENTS)
        return false;
    Orient = static_cast<std::int8_t>(orient);
    Heading = OrientHeading(orient);
    return true;
}

void TUnit::GetDrawPoint(std::int32_t& x, std::int32_t& y) const
{
    x = static_cast<std::int32_t>(X);
    y = static_cast<std::int32_t>(Y - Height - GroundHeight);
}

void TUnit::GetScreenPos(float& x, float& y) const
{
    float boxX = 0.0f;
    float boxY = 0.0f;
    if (Basic != nullptr) {
        boxX = Basic->m_SpriteOffsetX + Basic->m_CentreX;
        boxY = Basic->m_SpriteOffsetY + Basic->m_CentreY;
    }
    x = X - static_cast<float>(g_ViewPixelX) - boxX;
    y = Y - static_cast<float>(g_ViewPixelY) - Height - GroundHeight - boxY;
}

void TUnit::UpdateTowers()
{
    if (Towers == nullptr)
        return;
    for (std::uint8_t i = 0; i < TowerCount; ++i)
        Towers[i].Update();
}

namespace {

void RewindWaves(TUnit& unit, bool alternative)
{
    if (unit.Basic == nullptr || !unit.Basic->IsShipUnit() || unit.m_pAnimations == nullptr)
        return;
    for (int side = 0; side < UNIT_SHIP_WAVES; ++side) {
        const int index = unit.Basic->m_AnimCount + side;
        if (index < unit.m_AnimationCount && unit.m_pAnimations[index] != nullptr)
            ShipWaveRewind(unit.m_pAnimations[index], static_cast<std::uint8_t>(side), alternative);
    }
}

} // namespace

void TUnit::StartShipWaves()
{
    if (!g_bEditorMode)
        RewindWaves(*this, false);
}

void TUnit::ResetShipWaves()
{
    RewindWaves(*this, true);
}

void TUnit::ReleaseShipParts(bool wait)
{
    if (Basic == nullptr || !Basic->IsShipUnit())
        return;
    struct Held {
        std::uint8_t kind;
        std::uint8_t* flags;
    };
    const Held held[] = {{1, m_ShipParts1}, {0, m_ShipParts0}, {2, m_ShipParts2}};
    for (const Held& h : held) {
        for (std::uint8_t orient = 0; orient < UNIT_ORIENTS; ++orient) {
            if (!h.flags[orient])
                continue;
            bool give = false;
            if (wait) {
                // A load still running is waited for; one the loader dropped never ends.
                if (ShipPartState(Basic, h.kind, orient) == kPartLoading)
                    WaitLoaderIdle();
                give = true;
            } else if (h.kind == 1) {
                give = Dead || (Work == kFlyWork && WorkObject >= 2 &&
                                ShipPartState(Basic, h.kind, orient) == kPartLoaded);
            } else if (h.kind == 0) {
                give = ShipPartMode == kPartLoaded;
            } else {
                give = 65535u - WorkObject >= kWreckAge;
            }
            if (give) {
                ReturnShipPart(Basic, h.kind, orient);
                h.flags[orient] = 0;
            }
        }
    }
}

std::uint32_t UnitLinkSlot(const TUnit* unit)
{
    return unit != nullptr ? UnitLinkSlot(unit->Player, unit->m_Index) : UNIT_LINK_NONE;
}

// --- the stored image ---

namespace {

// One writer and one reader per field, at the offset of the stored record.
class TImageWriter {
public:
    explicit TImageWriter(std::span<std::uint8_t, UNIT_RECORD_SIZE> out) : m_Out(out) { std::memset(out.data(), 0, out.size()); }
    void U8(int at, std::uint8_t v) { m_Out[at] = v; }
    void U16(int at, std::uint16_t v) { plat::WriteU16LE(&m_Out[at], v); }
    void U32(int at, std::uint32_t v) { plat::WriteU32LE(&m_Out[at], v); }
    void F32(int at, float v) { plat::WriteU32LE(&m_Out[at], std::bit_cast<std::uint32_t>(v)); }
    void Bytes(int at, const std::uint8_t* v, int n) { std::memcpy(&m_Out[at], v, static_cast<std::size_t>(n)); }

private:
    std::span<std::uint8_t, UNIT_RECORD_SIZE> m_Out;
};

class TImageReader {
public:
    explicit TImageReader(std::span<const std::uint8_t, UNIT_RECORD_SIZE> in) : m_In(in) {}
    std::uint8_t U8(int at) const { return m_In[at]; }
    std::uint16_t U16(int at) const { return plat::ReadU16LE(&m_In[at]); }
    std::uint32_t U32(int at) const { return plat::ReadU32LE(&m_In[at]); }
    float F32(int at) const { return plat::ReadF32LE(&m_In[at]); }
    void Bytes(int at, std::uint8_t* v, int n) const { std::memcpy(v, &m_In[at], static_cast<std::size_t>(n)); }

private:
    std::span<const std::uint8_t, UNIT_RECORD_SIZE> m_In;
};

// The fields that are plain values, visited alike by the writer and the reader so that the two
// can never disagree on an offset. Pointer slots are handled apart.
template <class Io, class Unit>
void VisitValues(Io& io, Unit& u)
{
    io.template Field<std::uint8_t>(4, u.NumWork);
    io.template Field<std::uint8_t>(5, u.Dead);
    io.template Field<std::uint8_t>(6, u.m_bMaySearch);
    io.template Field<std::uint8_t>(7, u.FramePhase);
    io.template Field<std::int32_t>(8, u.m_RectTop);
    io.template Field<std::int32_t>(12, u.m_RectLeft);
    io.template Field<std::int32_t>(16, u.m_RectRight);
    io.template Field<std::int32_t>(20, u.m_RectBottom);
    io.template Field<std::uint8_t>(24, u.m_bOnScreen);
    io.template Field<float>(28, u.X);
    io.template Field<float>(32, u.Y);
    io.template Field<float>(36, u.Height);
    io.template Field<float>(40, u.GroundHeight);
    io.template Field<float>(52, u.VX);
    io.template Field<float>(56, u.VY);
    io.template Field<std::uint16_t>(60, u.MapX);
    io.template Field<std::uint16_t>(62, u.MapY);
    io.template Field<float>(64, u.StepX);
    io.template Field<float>(68, u.StepY);
    io.template Field<float>(72, u.GoalX);
    io.template Field<float>(76, u.GoalY);
    io.template Field<float>(80, u.StartX);
    io.template Field<float>(84, u.StartY);
    io.template Field<float>(88, u.m_SpareX);
    io.template Field<float>(92, u.m_SpareY);
    io.template Field<std::int32_t>(96, u.m_OrderedX);
    io.template Field<std::int32_t>(100, u.m_OrderedY);
    io.template Field<float>(104, u.NumSprite);
    io.template Field<std::int8_t>(108, u.Orient);
    io.template Field<std::uint8_t>(109, u.m_OrientTag);
    io.template Field<std::uint8_t>(110, u.WantedOrient);
    io.template Field<std::uint16_t>(112, u.m_Reserved112);
    io.template Field<float>(116, u.Heading);
    io.template Field<std::uint8_t>(120, u.NextWork);
    io.template Field<std::uint8_t>(121, u.Selected);
    io.template Field<std::uint8_t>(122, u.Player);
    io.template Field<std::uint16_t>(124, u.WaitCount);
    io.template Field<std::int32_t>(128, u.m_UniqueId);
    io.template Field<std::uint16_t>(132, u.m_Reserved132);
    io.template Field<std::uint8_t>(134, u.m_OrderFlagA);
    io.template Field<std::uint16_t>(136, u.Type);
    io.template Field<float>(140, u.m_Experience);
    io.template Field<std::uint16_t>(144, u.m_Index);
    io.template Field<std::uint8_t>(146, u.FiredFlag);
    io.template Field<std::uint8_t>(147, u.m_OrderFlagB);
    io.template Field<float>(148, u.WorkX);
    io.template Field<float>(152, u.WorkY);
    io.template Field<std::uint8_t>(156, u.m_Flag156);
    io.template Field<std::uint8_t>(157, u.m_Flag157);
    io.template Field<std::uint8_t>(158, u.Halted);
    io.template Field<std::uint8_t>(159, u.StopAtEnd);
    io.template Field<std::uint8_t>(160, u.PendingMove);
    io.template Field<float>(164, u.SavedGoalX);
    io.template Field<float>(168, u.SavedGoalY);
    io.template Field<std::int8_t>(172, u.SavedWork);
    io.template Field<std::uint16_t>(174, u.SavedWorkObject);
    io.template Field<std::uint8_t>(188, u.HasSavedOrder);
    io.template Field<std::uint16_t>(196, u.PathLength);
    io.template Field<std::int16_t>(198, u.PathIndex);
    io.template Field<std::uint8_t>(200, u.Work);
    io.template Field<std::uint16_t>(202, u.WorkObject);
    io.template Field<std::uint8_t>(204, u.PlayerAttack);
    io.template Field<std::int16_t>(206, u.m_AttackIndex);
    io.template Field<float>(212, u.TargetX);
    io.template Field<float>(216, u.TargetY);
    io.template Field<float>(220, u.HitPoints);
    io.template Field<std::uint8_t>(224, u.AttackPoints);
    io.template Field<std::uint32_t>(228, u.m_TransportState);
    io.template Field<std::uint8_t>(232, u.m_TransportCounter);
    io.template Field<std::uint8_t>(233, u.m_TransportTag);
    io.template Field<std::int8_t>(234, u.m_StoredGroup);
    io.template Field<std::uint16_t>(236, u.m_CanFire);
    io.template Field<std::uint16_t>(238, u.Reload);
    io.template Field<std::uint8_t>(248, u.EnteringHouse);
    io.template Field<std::uint8_t>(249, u.PlayerHouseAttack);
    io.template Field<std::int16_t>(260, u.m_GroupSlot);
    io.template Field<std::uint8_t>(262, u.UseTypeSpeed);
    io.template Field<std::uint8_t>(263, u.KeepWork);
    io.template Field<std::uint8_t>(264, u.m_bShown);
    io.template Field<std::uint8_t>(276, u.TowerCount);
    io.template Field<std::int8_t>(277, u.m_Reserved277);
    io.template Field<std::int8_t>(278, u.Stance);
    io.template Field<float>(280, u.Ammo);
    io.template Field<std::uint8_t>(288, u.m_AnimationCount);
    io.Array(289, u.m_ShipParts1);
    io.Array(297, u.m_ShipParts0);
    io.Array(305, u.m_ShipParts2);
    io.template Field<std::uint8_t>(313, u.ShipPartMode);
    io.template Field<std::uint8_t>(314, u.m_Reserved314);
    io.template Field<std::uint32_t>(316, u.m_Reserved316);
    io.template Field<std::uint8_t>(320, u.m_ShipContact);
    io.template Field<std::uint8_t>(321, u.m_FirstCountdown);
    io.template Field<std::uint16_t>(322, u.m_SearchDelay);
    io.template Field<std::uint8_t>(324, u.SlowCount);
    io.template Field<std::uint8_t>(325, u.m_PathRetries);
    io.template Field<std::uint16_t>(326, u.m_PassengerCount);
    io.template Field<std::uint8_t>(340, u.m_bHold);
    io.template Field<std::uint8_t>(348, u.m_Reserved348);
    io.template Field<std::uint8_t>(349, u.m_TurnFlag);
    io.template Field<std::uint8_t>(360, u.GunScanDelay);
    io.template Field<float>(364, u.m_ShipGoalX);
    io.template Field<float>(368, u.m_ShipGoalY);
    io.template Field<std::uint32_t>(372, u.Upright);
    io.template Field<std::uint8_t>(376, u.FaceOrient);
}

struct TWriteValues {
    TImageWriter& w;
    template <class T> void Field(int at, T v)
    {
        if constexpr (std::is_same_v<T, float>)
            w.F32(at, v);
        else if constexpr (sizeof(T) == 1)
            w.U8(at, static_cast<std::uint8_t>(v));
        else if constexpr (sizeof(T) == 2)
            w.U16(at, static_cast<std::uint16_t>(v));
        else
            w.U32(at, static_cast<std::uint32_t>(v));
    }
    void Array(int at, const std::uint8_t (&v)[UNIT_ORIENTS]) { w.Bytes(at, v, UNIT_ORIENTS); }
};

struct TReadValues {
    const TImageReader& r;
    template <class T> void Field(int at, T& v)
    {
        if constexpr (std::is_same_v<T, float>)
            v = r.F32(at);
        else if constexpr (sizeof(T) == 1)
            v = static_cast<T>(r.U8(at));
        else if constexpr (sizeof(T) == 2)
            v = static_cast<T>(r.U16(at));
        else
            v = static_cast<T>(r.U32(at));
    }
    void Array(int at, std::uint8_t (&v)[UNIT_ORIENTS]) { r.Bytes(at, v, UNIT_ORIENTS); }
};

// Offsets of the link slots.
constexpr int kAttackUnitAt = 208;
constexpr int kHouseAt = 244;
constexpr int kHouseAttackAt = 252;
constexpr int kFutureTransporterAt = 332;
constexpr int kTransporterAt = 336;
constexpr int kContactUnitAt = 344;
constexpr int kGunTargetAt = 356;

} // namespace

void WriteUnitImage(const TUnit& unit, std::span<std::uint8_t, UNIT_RECORD_SIZE> out)
{
    TImageWriter w(out);
    TWriteValues values{w};
    VisitValues(values, unit);
    w.U32(kAttackUnitAt, UnitLinkSlot(unit.AttackUnit));
    w.U32(kHouseAt, HouseLinkSlot(unit.House));
    w.U32(kHouseAttackAt, HouseLinkSlot(unit.HouseAttack));
    w.U32(kFutureTransporterAt, UnitLinkSlot(unit.m_MyFutureTransporter));
    w.U32(kTransporterAt, UnitLinkSlot(unit.m_MyTransporter));
    w.U32(kContactUnitAt, UnitLinkSlot(unit.m_pContactUnit));
    w.U32(kGunTargetAt, UnitLinkSlot(unit.GunTarget));
}

bool ReadUnitImage(std::span<const std::uint8_t, UNIT_RECORD_SIZE> image, TUnit* unit, TUnitLinks& links)
{
    if (unit == nullptr)
        return false;
    const TImageReader r(image);
    // The live unit's own arrays stay; their sizes stay with them.
    const std::uint16_t type = unit->Type;
    const std::uint8_t towerCount = unit->TowerCount;
    const std::uint8_t animationCount = unit->m_AnimationCount;
    TReadValues values{r};
    VisitValues(values, *unit);
    unit->Type = type;
    unit->TowerCount = towerCount;
    unit->m_AnimationCount = animationCount;
    unit->m_pNext = nullptr;
    unit->Prev = nullptr;
    unit->AttackUnit = nullptr;
    unit->m_pSelectionNode = nullptr;
    unit->House = nullptr;
    unit->HouseAttack = nullptr;
    unit->m_pGroup = nullptr;
    unit->m_pOwner = nullptr;
    unit->m_MyFutureTransporter = nullptr;
    unit->m_MyTransporter = nullptr;
    unit->m_pContactUnit = nullptr;
    unit->m_pOrderObject = nullptr;
    unit->GunTarget = nullptr;
    if (unit->m_pPassengers == nullptr)
        unit->m_PassengerCount = 0;
    else if (unit->m_PassengerCount > unit->PassengerCapacity())
        unit->m_PassengerCount = unit->PassengerCapacity();
    links.attackUnit = r.U32(kAttackUnitAt);
    links.house = r.U32(kHouseAt);
    links.houseAttack = r.U32(kHouseAttackAt);
    links.futureTransporter = r.U32(kFutureTransporterAt);
    links.transporter = r.U32(kTransporterAt);
    links.contactUnit = r.U32(kContactUnitAt);
    links.gunTarget = r.U32(kGunTargetAt);
    return true;
}

bool GetUnitSoundFields(const TUnit* unit, TUnitSoundFields& out)
{
    if (unit == nullptr)
        return false;
    out.x = unit->X;
    out.y = unit->Y;
    out.height = unit->Height;
    out.lift = unit->GroundHeight;
    out.number = static_cast<std::int16_t>(unit->m_Index);
    out.sounds = unit->Basic != nullptr ? unit->Basic->m_Sounds : nullptr;
    return true;
}

bool GetShipGridFields(const TUnit* unit, TShipGridFields& out)
{
    if (unit == nullptr)
        return false;
    out.x = unit->X;
    out.y = unit->Y;
    out.heading = unit->Heading;
    out.type = unit->Type;
    out.dead = unit->Dead;
    return true;
}
