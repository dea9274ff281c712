#include "combat/ship_graphics.h"

#include <cmath>
#include <cstring>
#include <sstream>
#include <string>

#include "combat/particles.h"
#include "combat/ship_waves.h"
#include "core/app_state.h"
#include "core/archive.h"
#include "core/error_log.h"
#include "core/loader_thread.h"
#include "units/unit.h"
#include "units/unit_drawing.h"
#include "units/unit_graphics.h"
#include "devices/quads.h"
#include "map/map_view.h"

TShipPartServices g_ShipPartServices = TShipPartServices::Default();

TShipPartServices TShipPartServices::Default()
{
    TShipPartServices s;
    s.request = [](TShipData* data, std::uint8_t kind, std::uint8_t second) {
        LoaderRequest(MakeShipPartRequest(SHIP_LOAD_PRIORITY, data, kind, second));
    };
    s.readEntry = [](std::uint32_t slot, std::uint16_t id, std::uint32_t* size) {
        return LoadLesEntry(slot, nullptr, id, size);
    };
    s.waitIdle = [] { WaitLoaderIdle(); };
    s.boiling = [](float x0, float y0, float x1, float y1, std::int32_t count) {
        AddBoilingEffect(x0, y0, x1, y1, count);
    };
    return s;
}

namespace {

constexpr float kQuarterPi = 0.7853982f;

// A little-endian reader that refuses to run past its bytes.
class TByteReader {
public:
    explicit TByteReader(std::span<const std::uint8_t> bytes) : m_Bytes(bytes) {}
    bool U8(std::uint8_t& v)
    {
        if (m_At >= m_Bytes.size())
            return false;
        v = m_Bytes[m_At++];
        return true;
    }
    bool U16(std::uint16_t& v)
    {
        if (m_Bytes.size() - m_At < 2)
            return false;
        v = static_cast<std::uint16_t>(m_Bytes[m_At] | (m_Bytes[m_At + 1] << 8));
        m_At += 2;
        return true;
    }
    bool F32(float& v)
    {
        if (m_Bytes.size() - m_At < 4)
            return false;
        std::uint32_t u = 0;
        for (int i = 3; i >= 0; --i)
            u = (u << 8) | m_Bytes[m_At + i];
        m_At += 4;
        std::memcpy(&v, &u, 4);
        return std::isfinite(v);
    }
    bool Skip(std::size_t n)
    {
        if (m_Bytes.size() - m_At < n)
            return false;
        m_At += n;
        return true;
    }
    bool Bytes(std::vector<std::uint8_t>& out, std::size_t n)
    {
        if (m_Bytes.size() - m_At < n)
            return false;
        out.assign(m_Bytes.begin() + static_cast<std::ptrdiff_t>(m_At), m_Bytes.begin() + static_cast<std::ptrdiff_t>(m_At + n));
        m_At += n;
        return true;
    }
    bool Point(TShipVec3& p)
    {
        if (!F32(p.x) || !F32(p.y) || !F32(p.z))
            return false;
        p = {p.x * SHIP_POINT_SCALE, p.y * SHIP_POINT_SCALE, p.z * SHIP_POINT_SCALE};
        return true;
    }
    std::size_t Left() const { return m_Bytes.size() - m_At; }

private:
    std::span<const std::uint8_t> m_Bytes;
    std::size_t m_At = 0;
};

bool ReadTower(TByteReader& r, TPartRecord& t)
{
    constexpr float kDegree = 0.017453292f;
    for (float& v : t.pivot)
        if (!r.F32(v))
            return false;
    if (!r.U8(t.sectorCount) || t.sectorCount > 2)
        return false;
    for (auto& sector : t.sectors)
        for (float& v : sector) {
            if (!r.F32(v))
                return false;
            v *= kDegree;
        }
    if (!r.F32(t.startAngle))
        return false;
    t.startAngle *= kDegree;
    if (!r.U8(t.barrelCount) || t.barrelCount > TOWER_MAX_BARRELS)
        return false;
    if (!r.F32(t.turnStep) || !r.U8(t.shotType))
        return false;
    for (auto& barrel : t.barrels[0])
        for (float& v : barrel)
            if (!r.F32(v))
                return false;
    return true;
}

bool ReadPoints(TByteReader& r, std::vector<TShipVec3>& out)
{
    std::uint8_t n = 0;
    if (!r.U8(n))
        return false;
    out.resize(n);
    for (TShipVec3& p : out)
        if (!r.Point(p))
            return false;
    return true;
}

std::uint8_t PartSlotIndex(std::uint8_t kind, std::uint8_t index)
{
    switch (kind) {
    case SHIP_PART_HULL:
        return index < 8 ? index : 255;
    case SHIP_PART_CONSTRUCTION:
        return index == 5 ? 8 : index == 7 ? 9 : 255;
    case SHIP_PART_WRECK:
        return index < 8 ? static_cast<std::uint8_t>(10 + index) : 255;
    default:
        return 255;
    }
}

// The drawing tables: made once per game, read by ship drawing only.
std::uint16_t* s_ShipTable = nullptr; // 300 values
struct TShipGridEntry {
    std::uint32_t values[8];
};
TShipGridEntry* s_ShipGrid = nullptr; // 6 x 6

std::uint32_t HeldTypes(TShipData* data)
{
    return data != nullptr ? data->refs : 0;
}

} // namespace

bool ParseShipRecord(std::span<const std::uint8_t> entry, TShipData& data)
{
    TByteReader r(entry);
    std::uint8_t layers = 0, n = 0, k = 0, towers = 0, m = 0;
    bool ok = r.U8(layers) && layers >= 1 && layers <= SHIP_MAX_LAYERS && r.U8(n) && r.Skip(n)
        && r.Skip(static_cast<std::size_t>(n) + 1) && r.U8(k) && r.U8(towers) && towers <= SHIP_MAX_TOWERS;
    std::vector<TPartRecord> towerRecords(ok ? towers : 0);
    for (std::size_t i = 0; ok && i < towerRecords.size(); ++i)
        ok = ReadTower(r, towerRecords[i]);
    ok = ok && r.U8(m) && r.Skip(static_cast<std::size_t>(m) * 13);
    std::vector<TShipVec3> keel, outline;
    ok = ok && ReadPoints(r, keel) && keel.size() >= 2 && ReadPoints(r, outline);
    std::uint8_t hull = 0, construction = 0, wreck = 0;
    ok = ok && r.U8(hull) && hull >= 1 && r.U8(construction) && construction >= 1 && r.U8(wreck) && wreck >= 1;
    std::vector<std::uint8_t> tables[4];
    for (auto& t : tables)
        ok = ok && r.Bytes(t, k);
    if (!ok) {
        ReportError("Ship archive: entry 0 is cut short or holds a bad count");
        return false;
    }
    data.layerCount = layers;
    data.hullFrames = hull;
    data.constructionFrames = construction;
    data.wreckFrames = wreck;
    data.towers = std::move(towerRecords);
    data.keel = std::move(keel);
    data.outline = std::move(outline);
    for (int i = 0; i < 4; ++i)
        data.tables[i] = std::move(tables[i]);
    return true;
}

bool ParseShipBoiling(std::span<const std::uint8_t> entry, TShipData& data)
{
    std::istringstream in(std::string(entry.begin(), entry.end()));
    long first = 0, count = 0;
    float v[6] = {};
    if (!(in >> first >> count) || count < 0 || count > 1000) {
        ReportError("Ship archive: the boiling entry is not readable");
        return false;
    }
    for (float& f : v)
        if (!(in >> f) || !std::isfinite(f)) {
            ReportError("Ship archive: the boiling entry is not readable");
            return false;
        }
    data.boilingCount = static_cast<std::int32_t>(count);
    for (int i = 0; i < 2; ++i) {
        const TShipVec3 p{v[i * 3] * SHIP_POINT_SCALE, v[i * 3 + 1] * SHIP_POINT_SCALE, v[i * 3 + 2] * SHIP_POINT_SCALE};
        data.boiling[i] = ShipTurn(p, kQuarterPi);
    }
    data.hasBoiling = true;
    return true;
}

bool ParseShipPartEntry(std::span<const std::uint8_t> entry, TShipPartFrames& out)
{
    if (entry.size() < 2 || entry[0] == 0 || entry[1] == 0 || entry[1] > SHIP_MAX_LAYERS) {
        ReportError("Ship archive: a part entry has no frames");
        return false;
    }
    const std::size_t count = static_cast<std::size_t>(entry[0]) * entry[1];
    std::vector<std::unique_ptr<TPicture>> pictures(count);
    std::size_t at = 2;
    for (std::unique_ptr<TPicture>& p : pictures) {
        p = std::make_unique<TPicture>();
        const std::uint32_t used = at < entry.size() ? p->LoadFromMemory(entry.subspan(at)) : 0;
        if (used == 0) {
            ReportError("Ship archive: a part picture is cut short");
            return false;
        }
        at += used;
    }
    if (at != entry.size()) {
        ReportError("Ship archive: bytes after the last part picture");
        return false;
    }
    out.frameCount = entry[0];
    out.layerCount = entry[1];
    out.pictures = std::move(pictures);
    return true;
}

std::uint16_t ShipPartEntryId(std::uint8_t kind, std::uint8_t index)
{
    const std::uint8_t slot = PartSlotIndex(kind, index);
    if (slot == 255)
        return 0;
    if (slot < 8)
        return static_cast<std::uint16_t>(1 + slot);
    if (slot == 8)
        return 10; // orientation 5
    if (slot == 9)
        return 9; // orientation 7
    return static_cast<std::uint16_t>(1 + slot);
}

TShipPart* GetShipPartSlot(TShipData* data, std::uint8_t kind, std::uint8_t index)
{
    const std::uint8_t slot = PartSlotIndex(kind, index);
    return data != nullptr && slot != 255 ? &data->parts[slot] : nullptr;
}

bool GetShipPart(TShipData* data, std::uint8_t kind, std::uint8_t index)
{
    TShipPart* part = GetShipPartSlot(data, kind, index);
    if (part == nullptr)
        return false;
    ++part->uses;
    std::uint32_t expected = SHIP_PART_NOT_LOADED;
    if (part->state.compare_exchange_strong(expected, SHIP_PART_REQUESTED, std::memory_order_acq_rel)) {
        if (g_ShipPartServices.request)
            g_ShipPartServices.request(data, kind, static_cast<std::uint8_t>(index + 1));
        else
            ShipPartsStep(data, kind, static_cast<std::uint8_t>(index + 1), 0);
    }
    return true;
}

void ReleaseShipPart(TShipData* data, std::uint8_t kind, std::uint8_t index)
{
    TShipPart* part = GetShipPartSlot(data, kind, index);
    if (part == nullptr || part->uses == 0)
        return;
    if (--part->uses != 0)
        return;
    const std::uint32_t state = part->state.load(std::memory_order_acquire);
    // A part still loading keeps its frames until a later release after the load.
    if (state == SHIP_PART_LOADED || state == SHIP_PART_FAILED) {
        part->frames.reset();
        part->state.store(SHIP_PART_NOT_LOADED, std::memory_order_release);
    }
}

void ShipPartsStep(TShipData* data, std::uint8_t partKind, std::uint8_t partIndex, std::uint32_t)
{
    if (data == nullptr || partIndex == 0)
        return;
    const std::uint8_t index = static_cast<std::uint8_t>(partIndex - 1);
    TShipPart* part = GetShipPartSlot(data, partKind, index);
    if (part == nullptr)
        return;
    auto frames = std::make_unique<TShipPartFrames>();
    bool ok = false;
    std::uint32_t size = 0;
    std::uint8_t* bytes = g_ShipPartServices.readEntry
        ? g_ShipPartServices.readEntry(data->archiveSlot, ShipPartEntryId(partKind, index), &size)
        : nullptr;
    if (bytes == nullptr)
        ReportErrorInt("Ship archive: part entry missing: ", ShipPartEntryId(partKind, index));
    else
        ok = ParseShipPartEntry({bytes, size}, *frames);
    if (bytes != nullptr)
        FreeLesEntry(bytes);
    if (ok)
        part->frames = std::move(frames);
    part->state.store(ok ? SHIP_PART_LOADED : SHIP_PART_FAILED, std::memory_order_release);
}

void ShipPartDropped(TShipData* data, std::uint8_t partKind, std::uint8_t partIndex)
{
    if (data == nullptr || partIndex == 0)
        return;
    if (TShipPart* part = GetShipPartSlot(data, partKind, static_cast<std::uint8_t>(partIndex - 1)))
        part->state.store(SHIP_PART_FAILED, std::memory_order_release);
}

// --- the ship type ---

TShipData* LoadShipData(std::uint8_t type, std::uint8_t nation)
{
    auto data = std::make_unique<TShipData>();
    data->type = type;
    data->nation = nation;
    data->archiveSlot = static_cast<std::uint32_t>(UnitGraphicsSlot(nation, type));
    std::uint32_t size = 0;
    std::uint8_t* bytes = g_ShipPartServices.readEntry ? g_ShipPartServices.readEntry(data->archiveSlot, 0, &size) : nullptr;
    if (bytes == nullptr) {
        ReportErrorInt("Ship archive: no entry 0 in slot ", data->archiveSlot);
        return nullptr;
    }
    const bool ok = ParseShipRecord({bytes, size}, *data);
    FreeLesEntry(bytes);
    if (!ok)
        return nullptr;
    bytes = g_ShipPartServices.readEntry(data->archiveSlot, SHIP_BOILING_ENTRY, &size);
    if (bytes != nullptr) {
        ParseShipBoiling({bytes, size}, *data);
        FreeLesEntry(bytes);
    }
    return data.release();
}

TShipGraphic::~TShipGraphic()
{
    TShipGraphic::FreeGraphic();
}

bool TShipGraphic::LoadUnitGraphic(std::uint8_t type, std::uint8_t nation, const char* name)
{
    const bool base = TBasicUnit::LoadUnitGraphic(type, nation, name);
    if (m_pShipData != nullptr)
        return base;
    const char* n = name != nullptr ? name : "";
    const long number = std::strtol(n, nullptr, 10);
    if (number != 0) {
        const int refNation = n[0] - '0' - 1;
        const long refType = number % 100;
        auto* other = number >= 100 && number <= 999 && refNation >= 0 && refNation < UNIT_NATIONS
            ? dynamic_cast<TShipGraphic*>(GetUnitType(static_cast<std::uint32_t>(refNation), static_cast<std::uint32_t>(refType)))
            : nullptr;
        if (other == nullptr || other == this) {
            ReportError2("Указывает на несуществующего юнита ", n);
            return base;
        }
        if (other->m_pShipData == nullptr) {
            other->m_pShipData = LoadShipData(static_cast<std::uint8_t>(refType), static_cast<std::uint8_t>(refNation));
            other->m_bOwnsShipData = other->m_pShipData != nullptr;
        }
        m_pShipData = other->m_pShipData;
        m_bOwnsShipData = false;
    } else {
        m_pShipData = LoadShipData(type, nation);
        m_bOwnsShipData = m_pShipData != nullptr;
    }
    if (m_pShipData != nullptr) {
        m_PartCount = static_cast<std::uint8_t>(m_pShipData->towers.size());
    }
    return base;
}

void TShipGraphic::FreeGraphic()
{
    if (m_pShipData != nullptr && !m_bOwnsShipData)
        ReleaseDrawHolds();
    if (m_pShipData != nullptr && m_bOwnsShipData) {
        // A part still loading is written by the loader thread: the data outlives the load.
        for (TShipPart& p : m_pShipData->parts)
            if (p.state.load(std::memory_order_acquire) == SHIP_PART_REQUESTED && g_ShipPartServices.waitIdle) {
                g_ShipPartServices.waitIdle();
                break;
            }
        ReleaseDrawHolds();
        delete m_pShipData;
    }
    m_pShipData = nullptr;
    m_bOwnsShipData = false;
    TBasicUnit::FreeGraphic();
}

void TShipGraphic::ReleaseDrawHolds()
{
    for (int k = 0; k < 2; ++k)
        for (std::uint8_t o = 0; o < UNIT_ORIENTS; ++o)
            if (m_DrawHeld[k][o] != 0) {
                ReleaseShipPart(m_pShipData, k == 0 ? SHIP_PART_HULL : SHIP_PART_WRECK, o);
                m_DrawHeld[k][o] = 0;
            }
}

void TShipGraphic::HoldForDrawing(std::uint8_t kind, std::uint8_t orient)
{
    const int k = kind == SHIP_PART_HULL ? 0 : 1;
    if (m_DrawHeld[k][orient] != 0)
        return;
    const TShipPart* part = GetShipPartSlot(m_pShipData, kind, orient);
    if (part != nullptr && part->state.load(std::memory_order_acquire) == SHIP_PART_NOT_LOADED
        && GetShipPart(m_pShipData, kind, orient))
        m_DrawHeld[k][orient] = 1;
}

void TShipGraphic::AddRef(std::uint8_t nation)
{
    if (m_pShipData == nullptr) {
        TBasicUnit::AddRef(nation);
        return;
    }
    // A ship's pictures come in parts; the archive holds no works to queue.
    ++m_pShipData->refs;
    if (m_pGraphic != nullptr)
        m_pGraphic->AddRefOnly();
}

void TShipGraphic::Release(std::uint8_t nation)
{
    if (HeldTypes(m_pShipData) != 0)
        --m_pShipData->refs;
    TBasicUnit::Release(nation);
}

TPartRecord* TShipGraphic::PartRecord(std::uint8_t i)
{
    if (m_pShipData != nullptr)
        return i < m_pShipData->towers.size() ? &m_pShipData->towers[i] : nullptr;
    return TBasicUnit::PartRecord(i);
}

std::uint8_t TShipGraphic::TurnSteps()
{
    return m_pShipData != nullptr ? m_pShipData->hullFrames : TBasicUnit::TurnSteps();
}

void TShipGraphic::CreateAnimations(TAnimationStruct** array)
{
    TBasicUnit::CreateAnimations(array);
    if (array == nullptr || g_bEditorMode)
        return;
    for (int side = 0; side < UNIT_SHIP_WAVE_SLOTS; ++side)
        array[m_AnimCount + side] = MakeShipWave(static_cast<std::uint8_t>(side));
}

void TShipGraphic::InitShipParts(TUnit* unit)
{
    if (unit == nullptr)
        return;
    for (int o = 0; o < UNIT_ORIENTS; ++o)
        unit->m_ShipParts0[o] = unit->m_ShipParts1[o] = unit->m_ShipParts2[o] = 0;
    const std::uint8_t o = static_cast<std::uint8_t>(unit->Orient) % UNIT_ORIENTS;
    if (unit->Work == 14 && unit->WorkObject < 2) {
        if (GetShipPart(m_pShipData, SHIP_PART_CONSTRUCTION, o))
            unit->m_ShipParts1[o] = 1;
    } else if (unit->Dead != 0) {
        if (GetShipPart(m_pShipData, SHIP_PART_WRECK, o))
            unit->m_ShipParts2[o] = 1;
    } else if (GetShipPart(m_pShipData, SHIP_PART_HULL, o)) {
        unit->m_ShipParts0[o] = 1;
    }
}

// --- the unit-type hooks the rest of the game calls ---

namespace {
TShipData* DataOfType(TBasicUnit* type)
{
    auto* ship = dynamic_cast<TShipGraphic*>(type);
    return ship != nullptr ? ship->m_pShipData : nullptr;
}
} // namespace

const TShipData* ShipDataOf(const TUnit* ship)
{
    return ship != nullptr ? DataOfType(ship->Basic) : nullptr;
}

std::uint8_t ShipPartState(TBasicUnit* type, std::uint8_t kind, std::uint8_t orient)
{
    const TShipPart* part = GetShipPartSlot(DataOfType(type), kind, orient);
    if (part == nullptr)
        return 0;
    const std::uint32_t state = part->state.load(std::memory_order_acquire);
    return static_cast<std::uint8_t>(state == SHIP_PART_FAILED ? SHIP_PART_LOADED : state);
}

void GetShipPart(TBasicUnit* type, std::uint8_t kind, std::uint8_t orient)
{
    GetShipPart(DataOfType(type), kind, orient);
}

void ReturnShipPart(TBasicUnit* type, std::uint8_t kind, std::uint8_t orient)
{
    ReleaseShipPart(DataOfType(type), kind, orient);
}

TBasicUnit* CreateShipUnitType()
{
    return new TShipGraphic;
}

// --- drawing ---

void DrawShipFrame(const TShipPartFrames* frames, std::uint32_t frame, const TShipOrigin& origin, float x, float footY,
                   float height, std::uint8_t player)
{
    if (frames == nullptr)
        return;
    const float left = x - origin.x, top = footY - origin.y;
    if (const TPicture* picture = frames->Picture(0, frame)) {
        TScreenQuad q = g_SpriteQuadTemplate;
        picture->DrawAll(kPictureUprightBit, left, top, height, q.data());
    }
    if (const TPicture* overlay = frames->Picture(1, frame)) {
        TScreenQuad q = g_SpriteQuadTemplate;
        for (TScreenVertex& v : q)
            v.diffuse = UnitPlayerTint(player);
        overlay->DrawAll(kPictureUprightBit, left, top, height, q.data());
    }
}

TShipOrigin ShipOriginOf(const TBasicUnit& type)
{
    return {static_cast<float>(type.m_SpriteOffsetX) + type.m_CentreX, static_cast<float>(type.m_SpriteOffsetY) + type.m_CentreY};
}

namespace {

// The two bow waves run from the bow out to either side and back along the hull.
void DrawShipWaves(const TShipData* data, TUnit* unit, std::uint8_t animCount)
{
    if (unit->m_pAnimations == nullptr || data->keel.size() < 2)
        return;
    const float angle = ShipDrawingAngle(data, unit);
    const TShipVec3 bow = data->keel[0], stern = data->keel[1];
    float ax = -(stern.y - bow.y), ay = stern.x - bow.x;
    const float len = std::sqrt(ax * ax + ay * ay);
    if (len <= 0.0f)
        return;
    ax = ax / len * 60.0f;
    ay = ay / len * 60.0f;
    const TShipVec3 back = ShipVecSub(stern, bow);
    for (int side = 0; side < UNIT_SHIP_WAVE_SLOTS; ++side) {
        const int i = animCount + side;
        if (i >= unit->m_AnimationCount || unit->m_pAnimations[i] == nullptr)
            continue;
        const float sign = side == 0 ? 1.0f : -1.0f;
        const TShipVec3 end{bow.x + sign * ax + back.x * 0.3f, bow.y + sign * ay + back.y * 0.3f, 0.0f};
        const TShipVec3 p0 = ShipProject(ShipTurn(bow, angle));
        const TShipVec3 p1 = ShipProject(ShipTurn(end, angle));
        const float baseY = unit->Y - unit->GroundHeight;
        unit->m_pAnimations[i]->Direction(unit->X + p1.x, baseY + p1.y, 0.0f, unit->X + p0.x, baseY + p0.y, 0.0f);
        unit->m_pAnimations[i]->Show();
    }
}

} // namespace

void TShipGraphic::Draw(TUnit* unit)
{
    if (unit == nullptr)
        return;
    if (m_pShipData == nullptr || g_bEditorMode) {
        TBasicUnit::Draw(unit);
        return;
    }
    if (!unit->m_bShown || unit->Work == 3 || unit->Work == 20)
        return;
    if (unit->Work == 14) {
        DrawBuild(m_pShipData, unit->Heading, static_cast<std::uint8_t>(unit->WorkObject), unit->X, unit->Y,
                  ShipOriginOf(*this), unit->Player);
        return;
    }
    const std::uint8_t o = static_cast<std::uint8_t>(unit->Orient) % UNIT_ORIENTS;
    HoldForDrawing(SHIP_PART_HULL, o);
    const TShipPart* hull = GetShipPartSlot(m_pShipData, SHIP_PART_HULL, o);
    const std::uint32_t state = hull->state.load(std::memory_order_acquire);
    const TShipOrigin origin = ShipOriginOf(*this);
    DrawUnitAround(unit, [&](float x, float footY, float height) {
        DrawShipWaves(m_pShipData, unit, m_AnimCount);
        // The waiting byte is part of the unit's simulation record: drawing only reads it.
        if (state == SHIP_PART_LOADED || state == SHIP_PART_FAILED) {
            DrawShipFrame(hull->frames.get(), static_cast<std::uint32_t>(unit->NumSprite), origin, x, footY, height,
                          unit->Player);
        } else if (unit->ShipPartMode != 0) {
            const TShipPart* stand = GetShipPartSlot(m_pShipData, SHIP_PART_CONSTRUCTION, o >= 6 ? 7 : 5);
            if (stand->state.load(std::memory_order_acquire) == SHIP_PART_LOADED)
                DrawShipFrame(stand->frames.get(), 16, origin, x, footY, height, unit->Player);
        }
    });
}

void TShipGraphic::DrawDead(TUnit* unit)
{
    if (unit == nullptr)
        return;
    if (m_pShipData == nullptr) {
        TBasicUnit::DrawDead(unit);
        return;
    }
    const std::uint32_t stage = (65535u - unit->WorkObject) / 600u;
    const std::uint8_t o = static_cast<std::uint8_t>(unit->Orient) % UNIT_ORIENTS;
    HoldForDrawing(SHIP_PART_WRECK, o);
    const TShipPart* wreck = GetShipPartSlot(m_pShipData, SHIP_PART_WRECK, o);
    const std::uint32_t state = wreck->state.load(std::memory_order_acquire);
    const float x = unit->X - static_cast<float>(g_ViewPixelX);
    const float footY = unit->Y - static_cast<float>(g_ViewPixelY) - unit->GroundHeight;
    if (stage < 4 && (state == SHIP_PART_LOADED || state == SHIP_PART_FAILED)) {
        DrawShipFrame(wreck->frames.get(), stage, ShipOriginOf(*this), x, footY, unit->GroundHeight, unit->Player);
        return;
    }
    // While the wreck loads, the ship sinks in its construction picture.
    if (stage < 4) {
        const TShipPart* stand = GetShipPartSlot(m_pShipData, SHIP_PART_CONSTRUCTION, o >= 6 ? 7 : 5);
        if (stand->state.load(std::memory_order_acquire) == SHIP_PART_LOADED)
            DrawShipFrame(stand->frames.get(), 16 - stage * 4, ShipOriginOf(*this), x, footY + static_cast<float>(stage) * 4.0f,
                          unit->GroundHeight, unit->Player);
    }
}

void DrawBuild(TShipData* data, float angle, std::uint8_t stage, float x, float y, const TShipOrigin& origin, std::uint8_t player)
{
    const int orient = static_cast<int>(angle * 1.2732395f);
    if (orient != 5 && orient != 7) {
        ReportError("Wrong orient for ship building in DrawBuild() !!!");
        return;
    }
    const TShipPart* part = GetShipPartSlot(data, SHIP_PART_CONSTRUCTION, static_cast<std::uint8_t>(orient));
    if (part == nullptr || part->state.load(std::memory_order_acquire) != SHIP_PART_LOADED)
        return;
    // The stand-in of a ship in the yard: the screen point of the map point, lifted by 55.
    DrawShipFrame(part->frames.get(), static_cast<std::uint32_t>(stage) * 8u, origin, x - static_cast<float>(g_ViewPixelX),
                  y - static_cast<float>(g_ViewPixelY) - 55.0f, 55.0f, player);
}

void AddShipBoiling(TShipData* data, float x, float y, std::uint8_t orient)
{
    if (data == nullptr || !data->hasBoiling) {
        ReportError("No have boiling for ship ");
        return;
    }
    const float a = static_cast<float>(orient) * kQuarterPi + 0.0001f;
    const TShipVec3 p0 = ShipProject(ShipTurn(data->boiling[0], a));
    const TShipVec3 p1 = ShipProject(ShipTurn(data->boiling[1], a));
    if (g_ShipPartServices.boiling)
        g_ShipPartServices.boiling(x + p0.x, y + p0.y, x + p1.x, y + p1.y, data->boilingCount);
}

bool MakeShipTable()
{
    if (s_ShipTable == nullptr) {
        s_ShipTable = new std::uint16_t[150]{};
        for (int i = 0; i < 150; ++i)
            s_ShipTable[i] = static_cast<std::uint16_t>(i * 437u);
    }
    if (s_ShipGrid == nullptr)
        s_ShipGrid = new TShipGridEntry[36]{};
    return true;
}

void FreeShipTables()
{
    delete[] s_ShipTable;
    s_ShipTable = nullptr;
    delete[] s_ShipGrid;
    s_ShipGrid = nullptr;
}

void SetShipGridValue(std::uint32_t value)
{
    if (s_ShipGrid == nullptr)
        return;
    for (int i = 0; i < 36; ++i)
        for (std::uint32_t& v : s_ShipGrid[i].values)
            v = value;
}
