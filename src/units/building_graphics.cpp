#include "units/building_graphics.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "core/archive.h"
#include "core/error_log.h"
#include "core/loader_thread.h"
#include "core/settings.h"
#include "devices/d3d_device.h"
#include "devices/display.h"
#include "devices/span_image.h"
#include "map/map_grid.h"
#include "map/map_objects.h"
#include "map/map_view.h"
#include "platform/bytes.h"
#include "platform/clock.h"
#include "platform/texture.h"
#include "players/strateg.h"
#include "units/house.h"
#include "units/house_types.h"

namespace {

// An entry of the archive, freed with the archive's own release.
struct TEntryBytes {
    std::uint8_t* data = nullptr;
    std::uint32_t size = 0;
    TEntryBytes(std::uint32_t slot, std::int32_t id)
    {
        if (id >= 0 && id <= 65535)
            data = LoadLesEntry(slot, nullptr, static_cast<std::uint16_t>(id), &size);
    }
    ~TEntryBytes() { FreeLesEntry(data); }
    TEntryBytes(const TEntryBytes&) = delete;
    TEntryBytes& operator=(const TEntryBytes&) = delete;
};

THouseType* TypeOfSlot(std::uint32_t slot)
{
    if (slot < 400)
        return nullptr;
    const std::uint32_t side = (slot - 400) / 50;
    const std::uint32_t type = (slot - 400) % 50;
    if (side >= HOUSE_SIDES || type >= HOUSE_TYPES_PER_SIDE)
        return nullptr;
    return &HouseType(static_cast<int>(side), static_cast<int>(type));
}

void CreatePhases(THouseType& t)
{
    t.m_pFinishedPhase = new CHousePhaseGraphic;
    const int stages = std::min<int>(t.m_ConstructionPhaseCount, HOUSE_CONSTRUCTION_PHASES);
    for (int i = 0; i < stages; ++i)
        t.m_pConstructionPhases[i] = new CHousePhaseGraphic;
    const int ruins = std::min<int>(t.m_RuinPhaseCount, HOUSE_RUIN_PHASES);
    for (int i = 0; i < ruins; ++i)
        t.m_pRuinPhases[i] = new CHousePhaseGraphic;
}

bool HasPhases(const THouseType& t)
{
    return t.m_pFinishedPhase != nullptr;
}

void ForgetPhases(THouseType& t)
{
    t.m_pFinishedPhase = nullptr;
    std::fill(std::begin(t.m_pConstructionPhases), std::end(t.m_pConstructionPhases), nullptr);
    std::fill(std::begin(t.m_pRuinPhases), std::end(t.m_pRuinPhases), nullptr);
}

void SharePhases(THouseType& to, const THouseType& from)
{
    to.m_pFinishedPhase = from.m_pFinishedPhase;
    std::copy(std::begin(from.m_pConstructionPhases), std::end(from.m_pConstructionPhases),
              to.m_pConstructionPhases);
    std::copy(std::begin(from.m_pRuinPhases), std::end(from.m_pRuinPhases), to.m_pRuinPhases);
}

std::uint8_t LocalNation()
{
    return MyStrateg != nullptr && MyStrateg->Nation < HOUSE_SIDES - 1 ? MyStrateg->Nation : 0;
}

} // namespace

std::int32_t HousePhaseCode(std::uint8_t state, std::uint8_t variant)
{
    switch (state) {
    case HOUSE_STATE_FINISHED:
        return variant == 0 ? 0 : -1;
    case HOUSE_STATE_CONSTRUCTION:
        return variant < HOUSE_CONSTRUCTION_PHASES ? (variant + 1) * 10 : -1;
    case HOUSE_STATE_RUIN:
        return variant < HOUSE_RUIN_PHASES ? (variant + 5) * 10 : -1;
    default:
        return -1;
    }
}

CHousePhaseGraphic* HousePhase(const THouseType& type, std::uint8_t state, std::uint8_t variant)
{
    switch (state) {
    case HOUSE_STATE_FINISHED:
        return variant == 0 ? type.m_pFinishedPhase : nullptr;
    case HOUSE_STATE_CONSTRUCTION:
        return variant < HOUSE_CONSTRUCTION_PHASES ? type.m_pConstructionPhases[variant] : nullptr;
    case HOUSE_STATE_RUIN:
        return variant < HOUSE_RUIN_PHASES ? type.m_pRuinPhases[variant] : nullptr;
    default:
        return nullptr;
    }
}

bool ParseBorrowedHouseName(const char* name, int& side, int& type)
{
    if (name == nullptr || name[0] < '1' || name[0] > '9')
        return false;
    int value = 0;
    int digits = 0;
    for (const char* p = name; *p; ++p, ++digits) {
        if (*p < '0' || *p > '9' || digits >= 4)
            return false;
        value = value * 10 + (*p - '0');
    }
    if (digits != 3)
        return false;
    side = value / 100 - 1;
    type = value % 100;
    return side >= 0 && side < HOUSE_SIDES && type < HOUSE_TYPES_PER_SIDE;
}

THouseType* HouseArchiveType(THouseType* type)
{
    if (type == nullptr)
        return nullptr;
    THouseType* owner = TypeOfSlot(type->m_ArchiveSlot);
    return owner != nullptr ? owner : type;
}

bool ParseHouseTexture(const std::uint8_t* data, std::uint32_t size, THouseTextureInfo& info,
                       const std::uint8_t*& pixels)
{
    if (data == nullptr || size < HOUSE_TEXTURE_HEADER || std::memcmp(data, HOUSE_TEXTURE_MAGIC, 4) != 0)
        return false;
    info.width = plat::ReadU16LE(data + 4);
    info.height = plat::ReadU16LE(data + 6);
    info.x = static_cast<std::int16_t>(plat::ReadU16LE(data + 8));
    info.y = static_cast<std::int16_t>(plat::ReadU16LE(data + 10));
    info.reserved = plat::ReadU32LE(data + 12);
    if (info.width == 0 || info.height == 0 || info.width > 4096 || info.height > 4096)
        return false;
    if (HOUSE_TEXTURE_HEADER + std::uint64_t{info.width} * info.height * 2 > size)
        return false;
    pixels = data + HOUSE_TEXTURE_HEADER;
    return true;
}

// ---- services ---------------------------------------------------------------------------------

THouseGraphicServices THouseGraphicServices::Default()
{
    THouseGraphicServices s;
    s.request = [](std::unique_ptr<TLoaderRequest> r) { LoaderRequest(std::move(r)); };
    s.sleepMs = [](std::uint32_t ms) { plat::SleepMs(ms); };
    s.createTexture = [](int w, int h) { return plat::Texture::Create(w, h, plat::PixelFormat::ARGB4444); };
    s.waterReflections = [] { return g_bWaterReflections != 0; };
    return s;
}

THouseGraphicServices& HouseGraphicServices()
{
    static THouseGraphicServices services = THouseGraphicServices::Default();
    return services;
}

// ---- one phase --------------------------------------------------------------------------------

CHousePhaseGraphic::~CHousePhaseGraphic()
{
    WaitAndFree();
}

void CHousePhaseGraphic::AddRef()
{
    ++m_RefCount;
}

void CHousePhaseGraphic::Release()
{
    if (m_RefCount == 0) {
        ReportError("CHousePhaseGraphic::m_RefCount = 0");
        return;
    }
    if (--m_RefCount == 0)
        WaitAndFree();
}

void CHousePhaseGraphic::LoadPhase(THouseType* type, std::int32_t phaseCode, std::uint8_t visible,
                                   std::uint8_t priority)
{
    if (State() != PHASE_NOT_LOADED)
        return;
    m_State.store(PHASE_LOADING, std::memory_order_release);
    auto request = MakeHouseSpritesRequest(priority, this, HouseArchiveType(type), phaseCode, visible);
    HouseGraphicServices().request(std::move(request));
}

void CHousePhaseGraphic::FreeData()
{
    delete m_pPicture;
    m_pPicture = nullptr;
    delete m_pOverlay;
    m_pOverlay = nullptr;
    if (m_pTexture != nullptr)
        m_pTexture->Release();
    m_pTexture = nullptr;
    m_TextureInfo = {};
    delete[] m_pDepth;
    m_pDepth = nullptr;
    delete m_pDepthMap;
    m_pDepthMap = nullptr;
    m_TextureFlag = 0;
    m_OverlayFlag = 0;
}

bool CHousePhaseGraphic::LoadSprites(THouseType* type, std::int32_t c)
{
    auto fail = [&](const char* what) {
        ReportError(std::string("CHousePhaseGraphic::LoadSprites: ") + what + " of phase " + std::to_string(c) +
                    " of " + (type != nullptr ? type->m_GraphicName : "no type"));
        FreeData();
        m_State.store(PHASE_FAILED, std::memory_order_release);
        return false;
    };
    if (type == nullptr || c < 0 || c + 3 > 65535)
        return fail("no type or a bad entry");
    const std::uint32_t slot = type->m_ArchiveSlot;

    m_pPicture = new cIMg;
    if (!m_pPicture->LoadFromArchive(static_cast<int>(slot), c, 2))
        return fail("the picture");

    if (type->m_DepthKind != HOUSE_DEPTH_SPAN_CODED) {
        const TEntryBytes depth(slot, c + 2);
        // Sizes come from files: the product is taken in 64 bits, so it cannot wrap below the entry.
        const std::uint64_t count = std::uint64_t{type->m_SpriteWidth} * type->m_SpriteHeight;
        if (type->m_SpriteWidth > HOUSE_SPRITE_MAX_SIDE || type->m_SpriteHeight > HOUSE_SPRITE_MAX_SIDE)
            return fail("the sprite size");
        if (depth.data == nullptr || count == 0 || depth.size < count * 2)
            return fail("the depth array");
        m_pDepth = new std::uint16_t[count];
        for (std::uint64_t i = 0; i < count; ++i)
            m_pDepth[i] = plat::ReadU16LE(depth.data + 2 * i);
    } else {
        m_pDepthMap = new cHMap;
        if (!m_pDepthMap->LoadFromArchive(static_cast<int>(slot), c + 2))
            return fail("the depth map");
    }

    {
        const TEntryBytes overlay(slot, c + 3);
        if (overlay.data != nullptr) {
            m_pOverlay = new cIMg;
            if (!m_pOverlay->LoadFromMemory(overlay.data, static_cast<std::int32_t>(overlay.size), 2))
                return fail("the overlay picture");
            m_OverlayFlag = 1;
        }
    }

    const bool portWithoutReflections =
        type->m_TypeNumber == HOUSE_PORT && !HouseGraphicServices().waterReflections();
    if (!portWithoutReflections) {
        const TEntryBytes texture(slot, c + 1);
        const std::uint8_t* pixels = nullptr;
        if (texture.data != nullptr) {
            if (!ParseHouseTexture(texture.data, texture.size, m_TextureInfo, pixels))
                return fail("the texture");
            plat::Texture* made = HouseGraphicServices().createTexture(m_TextureInfo.width, m_TextureInfo.height);
            plat::TextureLock lock;
            if (made != nullptr && made->Lock(lock)) {
                for (int y = 0; y < m_TextureInfo.height && y < lock.height; ++y)
                    std::memcpy(lock.bits + static_cast<std::size_t>(y) * lock.pitch,
                                pixels + static_cast<std::size_t>(y) * m_TextureInfo.width * 2,
                                static_cast<std::size_t>(m_TextureInfo.width) * 2);
                made->Unlock();
                made->SetColorKey(HOUSE_TEXTURE_KEY);
                m_pTexture = made;
                m_TextureFlag = 1;
            } else if (made != nullptr) {
                made->Release();
            }
        }
    }
    m_State.store(PHASE_LOADED, std::memory_order_release);
    return true;
}

void CHousePhaseGraphic::WaitAndFree()
{
    while (State() == PHASE_LOADING)
        HouseGraphicServices().sleepMs(10);
    FreeData();
    m_State.store(PHASE_NOT_LOADED, std::memory_order_release);
}

void CHousePhaseGraphic::LoadDropped()
{
    std::uint8_t loading = PHASE_LOADING;
    m_State.compare_exchange_strong(loading, PHASE_NOT_LOADED, std::memory_order_acq_rel);
}

// ---- a type's phases --------------------------------------------------------------------------

void CHousePhaseGraphic::Load(std::uint32_t slot, const char* name)
{
    THouseType* type = TypeOfSlot(slot);
    if (type == nullptr || name == nullptr) {
        ReportErrorInt("CHousePhaseGraphic::Load: no building type uses archive slot ", slot);
        return;
    }
    int side = 0;
    int borrowed = 0;
    if (ParseBorrowedHouseName(name, side, borrowed)) {
        THouseType& owner = HouseType(side, borrowed);
        if (&owner != type) {
            if (!HasPhases(*type)) {
                if (!HasPhases(owner))
                    CreatePhases(owner);
                SharePhases(*type, owner);
            }
            type->m_ArchiveSlot = static_cast<std::uint32_t>(HouseGraphicsSlot(side, borrowed));
            return;
        }
    }
    CloseLes(slot);
    if (!Load_LesHeader(slot, (std::string(LES_FOLDER_HOUSES) + name + ".les").c_str()))
        ReportError(std::string("CHousePhaseGraphic::Load: cannot open the archive of ") + name);
    type->m_ArchiveSlot = slot;
    if (!HasPhases(*type))
        CreatePhases(*type);
}

void CHousePhaseGraphic::Free(THouseType& type)
{
    const std::uint32_t own = static_cast<std::uint32_t>(
        HouseGraphicsSlot((&type - g_HouseTypes) / HOUSE_TYPES_PER_SIDE, (&type - g_HouseTypes) % HOUSE_TYPES_PER_SIDE));
    if (type.m_ArchiveSlot != own) {
        ForgetPhases(type);
        return;
    }
    CloseLes(type.m_ArchiveSlot);
    auto drop = [](CHousePhaseGraphic*& phase) {
        if (phase != nullptr) {
            phase->WaitAndFree();
            delete phase;
            phase = nullptr;
        }
    };
    drop(type.m_pFinishedPhase);
    for (auto& phase : type.m_pConstructionPhases)
        drop(phase);
    for (auto& phase : type.m_pRuinPhases)
        drop(phase);
}

// ---- the building side ------------------------------------------------------------------------

bool THouse::AcquirePhaseGraphic(std::uint8_t state, std::uint8_t variant)
{
    const std::int32_t code = HousePhaseCode(state, variant);
    if (code < 0 || TypeRecord == nullptr)
        return false;
    CHousePhaseGraphic* phase = HousePhase(*TypeRecord, state, variant);
    if (phase == nullptr)
        return false;
    // A building holds each phase once: asking again for one it holds changes only what it shows.
    std::uint8_t* held = state == HOUSE_STATE_FINISHED         ? &FinishedHeld
                         : state == HOUSE_STATE_CONSTRUCTION ? &ConstructionHeld[variant]
                                                             : &RuinHeld[variant];
    if (*held == 0) {
        *held = 1;
        phase->AddRef();
    }
    const bool near = IsCellNearView(X, Y);
    if (phase->State() == PHASE_NOT_LOADED)
        phase->LoadPhase(TypeRecord, code, near ? 1 : 0, near ? 1 : 0);
    else if (phase->IsLoaded() && near)
        g_bMapViewDirty = 1;
    PrevPhaseState = PhaseState;
    PrevPhaseVariant = PhaseVariant;
    PhaseState = state;
    PhaseVariant = variant;
    return true;
}

namespace {

// Calls fn(held flag, state, variant) for every phase a building can hold.
template <class Fn>
void ForEachHeldFlag(THouse& h, Fn fn)
{
    fn(h.FinishedHeld, HOUSE_STATE_FINISHED, std::uint8_t{0});
    for (std::uint8_t v = 0; v < HOUSE_CONSTRUCTION_PHASES; ++v)
        fn(h.ConstructionHeld[v], HOUSE_STATE_CONSTRUCTION, v);
    for (std::uint8_t v = 0; v < HOUSE_RUIN_PHASES; ++v)
        fn(h.RuinHeld[v], HOUSE_STATE_RUIN, v);
}

} // namespace

void THouse::ReleasePhaseGraphic()
{
    if (TypeRecord == nullptr)
        return;
    const CHousePhaseGraphic* current = HousePhase(*TypeRecord, PhaseState, PhaseVariant);
    const bool currentShown = current != nullptr && current->IsLoaded();
    ForEachHeldFlag(*this, [&](std::uint8_t& held, std::uint8_t state, std::uint8_t variant) {
        if (held == 0 || (state == PhaseState && variant == PhaseVariant))
            return;
        // The previous picture stays until the new one can be drawn.
        if (state == PrevPhaseState && variant == PrevPhaseVariant && !currentShown)
            return;
        held = 0;
        std::fill(std::begin(DrawBuffers), std::end(DrawBuffers), nullptr);
        if (CHousePhaseGraphic* phase = HousePhase(*TypeRecord, state, variant))
            phase->Release();
    });
}

void THouse::ReleaseAllPhases()
{
    if (TypeRecord == nullptr)
        return;
    ForEachHeldFlag(*this, [&](std::uint8_t& held, std::uint8_t state, std::uint8_t variant) {
        if (held == 0)
            return;
        held = 0;
        if (CHousePhaseGraphic* phase = HousePhase(*TypeRecord, state, variant))
            phase->Release();
    });
    std::fill(std::begin(DrawBuffers), std::end(DrawBuffers), nullptr);
}

void THouse::ResetPhaseFlags()
{
    PhaseState = HOUSE_STATE_CONSTRUCTION;
    PhaseVariant = 0;
    PrevPhaseState = HOUSE_STATE_CONSTRUCTION;
    PrevPhaseVariant = 0;
    FinishedHeld = 0;
    std::fill(std::begin(ConstructionHeld), std::end(ConstructionHeld), 0);
    std::fill(std::begin(RuinHeld), std::end(RuinHeld), 0);
    std::fill(std::begin(DrawBuffers), std::end(DrawBuffers), nullptr);
}

void THouse::AcquireSavedPhases()
{
    const THouseRecord saved = *this;
    ResetPhaseFlags();
    auto takeAgain = [&](std::uint8_t held, std::uint8_t state, std::uint8_t variant) {
        if (held != 0 && (state != saved.PhaseState || variant != saved.PhaseVariant))
            AcquirePhaseGraphic(state, variant);
    };
    takeAgain(saved.FinishedHeld, HOUSE_STATE_FINISHED, 0);
    for (std::uint8_t v = 0; v < HOUSE_CONSTRUCTION_PHASES; ++v)
        takeAgain(saved.ConstructionHeld[v], HOUSE_STATE_CONSTRUCTION, v);
    for (std::uint8_t v = 0; v < HOUSE_RUIN_PHASES; ++v)
        takeAgain(saved.RuinHeld[v], HOUSE_STATE_RUIN, v);
    AcquirePhaseGraphic(saved.PhaseState, saved.PhaseVariant);
    PhaseState = saved.PhaseState;
    PhaseVariant = saved.PhaseVariant;
    PrevPhaseState = saved.PrevPhaseState;
    PrevPhaseVariant = saved.PrevPhaseVariant;
}

void THouse::InitGraphicState()
{
    ResetPhaseFlags();
    ShipUnderConstruction = nullptr;
    TakeOffCountdown = 0;
    AlarmCountdown = 0;
    UnitMode = -1;
}

void THouse::FreeGraphicBuffers()
{
    if (QueueCount != 0 || Queue != nullptr)
        delete[] Queue;
    Queue = nullptr;
    QueueCount = 0;
    delete[] Inside;
    Inside = nullptr;
    InsideCount = 0;
    delete[] Animations;
    Animations = nullptr;
    AnimationCount = 0;
}

std::uint8_t THouse::GetBuildState() const
{
    return m_ShipSideForPort == PORT_SIDE_FIRST_ROW || m_ShipSideForPort == PORT_SIDE_LAST_ROW ? 5 : 7;
}

bool THouse::MakeDrawQuad(plat::RasterVertex* v) const
{
    if (TypeRecord == nullptr || v == nullptr)
        return false;
    const CHousePhaseGraphic* phase = HousePhase(*TypeRecord, PhaseState, PhaseVariant);
    // While the current phase loads, the previous one (still held) is drawn.
    if (phase == nullptr || !phase->IsLoaded())
        phase = HousePhase(*TypeRecord, PrevPhaseState, PrevPhaseVariant);
    if (phase == nullptr || !phase->IsLoaded() || phase->m_pTexture == nullptr)
        return false;
    const THouseTextureInfo& t = phase->m_TextureInfo;
    const std::int32_t cellHeight = CellPointInMap({X, Y}) ? GetHeightFromMap(plat::Point{X, Y}) : 0;
    float x = static_cast<float>((X - g_ViewX) * 96);
    if (Y % 2 == 0)
        x -= 48.0f;
    x -= static_cast<float>(TypeRecord->m_AnchorX - t.x - 48);
    const float y = static_cast<float>((Y - g_ViewY - 1) * 24) -
                    static_cast<float>(TypeRecord->m_AnchorY - t.y - 48 + cellHeight);
    float z = 0.99999f - (y + static_cast<float>(cellHeight) + static_cast<float>(g_ViewDepthBase) + 1024.0f +
                          static_cast<float>(cellHeight)) / 4096.0f;
    z = std::clamp(z, 0.0f, 0.99999f);
    const float w = static_cast<float>(t.width);
    const float h = static_cast<float>(t.height);
    const float u1 = 0.99999f / w * w;
    const float v1 = 0.99999f / h * h;
    const float xs[4] = {x, x + w, x, x + w};
    const float ys[4] = {y, y, y + h, y + h};
    const float us[4] = {0.0f, u1, 0.0f, u1};
    const float vs[4] = {0.0f, 0.0f, v1, v1};
    for (int i = 0; i < 4; ++i) {
        v[i] = plat::RasterVertex{};
        v[i].x = xs[i];
        v[i].y = ys[i];
        v[i].z = z;
        v[i].u = us[i];
        v[i].v = vs[i];
    }
    return true;
}

bool THouse::Draw(plat::RasterVertex* vertices)
{
    if (!MakeDrawQuad(vertices) || g_pD3DDevice == nullptr)
        return false;
    const CHousePhaseGraphic* phase = HousePhase(*TypeRecord, PhaseState, PhaseVariant);
    if (phase == nullptr || !phase->IsLoaded())
        phase = HousePhase(*TypeRecord, PrevPhaseState, PrevPhaseVariant);
    g_pD3DDevice->SetTexture(0, phase->m_pTexture);
    const bool drawn = g_pD3DDevice->DrawPrimitive(plat::PrimitiveType::TriangleStrip, vertices, 4);
    g_pD3DDevice->SetTexture(0, nullptr);
    return drawn;
}

// ---- the placement preview's phase ------------------------------------------------------------

void AddRefHousePhaseGraphic(std::uint16_t type)
{
    if (type >= HOUSE_TYPES_PER_SIDE)
        return;
    THouseType& t = HouseType(LocalNation(), type);
    if (CHousePhaseGraphic* phase = t.m_pFinishedPhase) {
        phase->AddRef();
        phase->LoadPhase(&t, HousePhaseCode(HOUSE_STATE_FINISHED, 0), 1, 1);
    }
}

void ReleaseHousePhaseGraphic(std::uint16_t type)
{
    if (type >= HOUSE_TYPES_PER_SIDE)
        return;
    if (CHousePhaseGraphic* phase = HouseType(LocalNation(), type).m_pFinishedPhase)
        phase->Release();
}

std::uint8_t PlacementPhaseState(std::uint16_t type, std::uint8_t nation)
{
    if (type >= HOUSE_TYPES_PER_SIDE || nation >= HOUSE_SIDES)
        return PHASE_FAILED;
    THouseType& t = HouseType(nation, type);
    CHousePhaseGraphic* phase = t.m_pFinishedPhase;
    if (phase == nullptr)
        return PHASE_FAILED;
    phase->LoadPhase(&t, HousePhaseCode(HOUSE_STATE_FINISHED, 0), 1, 1);
    return phase->State();
}

plat::Texture* MakeHousePlacementTexture(std::uint16_t type, std::uint8_t nation)
{
    if (type >= HOUSE_TYPES_PER_SIDE || nation >= HOUSE_SIDES)
        return nullptr;
    const THouseType& t = HouseType(nation, type);
    const CHousePhaseGraphic* phase = t.m_pFinishedPhase;
    if (phase == nullptr || !phase->IsLoaded() || phase->m_pPicture == nullptr || t.m_SpriteWidth == 0
        || t.m_SpriteHeight == 0)
        return nullptr;
    plat::Texture* texture = CreateTextureSurface(t.m_SpriteWidth, t.m_SpriteHeight);
    if (texture == nullptr)
        return nullptr;
    texture->Fill(MakeColor16(255, 0, 255));
    plat::TextureLock lock;
    if (texture->Lock(lock)) {
        const TLockedSurface area{lock.bits, lock.pitch, lock.width, lock.height, lock.format};
        phase->m_pPicture->DrawToSurface(0, 0, &area, nullptr);
        texture->Unlock();
    }
    return texture;
}

bool HousePlacementGeometry(std::uint16_t type, std::uint8_t nation, TPlacementGeometry& out)
{
    if (type >= HOUSE_TYPES_PER_SIDE || nation >= HOUSE_SIDES)
        return false;
    const THouseType& t = HouseType(nation, type);
    out.width = t.m_SpriteWidth;
    out.height = t.m_SpriteHeight;
    out.xOffset = static_cast<std::int16_t>(t.m_AnchorX);
    out.yOffset = static_cast<std::int16_t>(t.m_AnchorY);
    out.footprintW = t.m_FootprintRows;
    out.footprintD = t.m_FootprintCells;
    return true;
}
