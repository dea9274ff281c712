#include "units/unit_types.h"

#include <cstdlib>
#include <string>

#include "core/archive.h"
#include "core/error_log.h"
#include "devices/animation.h"
#include "units/unit_drawing.h"
#include "units/unit_graphics.h"

#include "combat/tower.h"
#include "combat/unit_behaviour.h"

TBasicUnit* g_UnitTypes[UNIT_TYPE_COUNT] = {};

// The bank of attached unit animations. Nothing creates it yet; every attached animation binds to
// no set while it is missing. Main thread only.
TAnimationBank* g_pUnitAnimBank = nullptr;

TBasicUnit::TBasicUnit()
{
    for (int work = 0; work < UNIT_COUNT_WORK; ++work) {
        AnimationSpeed[work] = 1.0f;
        AnimationSize[work] = 0;
    }
    // Lying down (work 4) plays slower than every other animation.
    AnimationSpeed[4] = 0.3f;
    for (TUnitSoundEntry& sound : m_Sounds)
        sound.positioned = 1;
}

TBasicUnit::~TBasicUnit()
{
    delete[] m_StartVectors;
    delete[] m_EndVectors;
    delete[] m_AnimSetIndexes;
    delete[] m_Parts;
}

TPartRecord* TBasicUnit::PartRecord(std::uint8_t i)
{
    return m_Parts != nullptr && i < m_PartCount ? &m_Parts[i] : nullptr;
}

std::uint8_t TBasicUnit::TurnSteps()
{
    return AnimationSize[5];
}

TUnitKindHandlers UnitKindHandlers(std::uint8_t kind)
{
    switch (kind) {
    case UNIT_KIND_FIGHTER:
        return {MakeMoveAirKind1, nullptr};
    case UNIT_KIND_TANK:
        return {MakeMoveKind3, SecondHandlerKind3};
    case UNIT_KIND_WORKER:
        return {MakeMoveKind6, SecondHandlerKind6};
    case UNIT_KIND_FLAME:
        return {MakeMoveKind9, SecondHandlerDefault};
    case UNIT_KIND_AIRCRAFT:
        return {MakeMoveAirKind11, nullptr};
    case UNIT_KIND_BOMBER:
        return {MakeMoveAirBomber, nullptr};
    case 13:
    case 14:
    case 15:
        return {MakeMoveShip, nullptr};
    case UNIT_KIND_MACHINE_GUNNER:
        return {MakeMoveMashineGunner, SecondHandlerDefault};
    default:
        return {MakeMoveDefault, SecondHandlerDefault};
    }
}

TBasicUnit* GetUnitType(std::uint32_t nation, std::uint32_t type)
{
    if (nation >= UNIT_NATIONS || type >= UNIT_TYPES_PER_NATION)
        return nullptr;
    return g_UnitTypes[nation * UNIT_TYPES_PER_NATION + type];
}

void FreeUnitTypes()
{
    // Shared blocks are forgotten by their users before the owner frees them.
    for (TBasicUnit*& type : g_UnitTypes)
        if (type != nullptr && type->m_bSharedGraphic)
            type->FreeGraphic();
    for (TBasicUnit*& type : g_UnitTypes) {
        if (type != nullptr)
            type->FreeGraphic();
        delete type;
        type = nullptr;
    }
}

// --- the graphics operations of a type ---

bool TBasicUnit::LoadUnitGraphic(std::uint8_t type, std::uint8_t nation, const char* name)
{
    if (name == nullptr)
        name = "";
    const std::uint32_t slot = static_cast<std::uint32_t>(UnitGraphicsSlot(nation, type));
    const std::string path = std::string(LES_FOLDER_UNITS) + name + ".les";
    const long number = std::strtol(name, nullptr, 10);
    // A reference names no archive of its own.
    const bool opened = number == 0 && slot < LES_SLOT_COUNT && Load_LesHeader(slot, path.c_str());
    if (m_pGraphic != nullptr) {
        // The block may have been made by a type that refers to this one before this one opened
        // its archive; without the slot it would never load.
        if (opened && !m_bSharedGraphic && !m_pGraphic->HasArchive()) {
            m_pGraphic->m_ArchiveSlot = slot;
            m_ArchiveSlot = slot;
        }
        return true;
    }

    if (number != 0) {
        const int refNation = name[0] - '0' - 1;
        const long refType = number % 100;
        TBasicUnit* other = nullptr;
        if (number < 100 || number > 999 || refNation < 0 || refNation >= UNIT_NATIONS) {
            ReportError2("Unit graphics: bad reference to another type: ", name);
        } else {
            other = GetUnitType(static_cast<std::uint32_t>(refNation), static_cast<std::uint32_t>(refType));
            if (other == nullptr || other == this || other->m_bSharedGraphic)
                ReportError2("Unit graphics: referenced type has no graphics of its own: ", name);
        }
        if (other != nullptr && other != this && !other->m_bSharedGraphic) {
            if (other->m_pGraphic == nullptr)
                other->m_pGraphic = new CUnitGraphic;
            m_pGraphic = other->m_pGraphic;
            m_bSharedGraphic = 1;
            m_ArchiveSlot = static_cast<std::uint32_t>(UnitGraphicsSlot(refNation, static_cast<int>(refType)));
            return true;
        }
    }
    m_pGraphic = new CUnitGraphic;
    m_bSharedGraphic = 0;
    m_ArchiveSlot = slot;
    if (opened)
        m_pGraphic->m_ArchiveSlot = slot;
    return true;
}

void TBasicUnit::FreeGraphic()
{
    if (m_pGraphic == nullptr)
        return;
    if (!m_bSharedGraphic)
        delete m_pGraphic;
    m_pGraphic = nullptr;
    m_bSharedGraphic = 0;
}

void TBasicUnit::AddRef(std::uint8_t nation)
{
    if (m_pGraphic == nullptr)
        return;
    const std::uint32_t count = m_pGraphic->AddGraphicRef(this);
    if (count == 1 && m_Kind == UNIT_KIND_WORKER) {
        // A worker carrying a load is drawn as type 1 of its nation.
        TBasicUnit* carrier = GetUnitType(nation, 1);
        if (carrier != nullptr && carrier != this)
            carrier->AddRef(nation);
    }
}

void TBasicUnit::Release(std::uint8_t nation)
{
    if (m_pGraphic == nullptr)
        return;
    const bool wasHeld = m_pGraphic->m_RefCount != 0;
    const std::uint32_t count = m_pGraphic->ReleaseGraphicRef();
    if (wasHeld && count == 0 && m_Kind == UNIT_KIND_WORKER) {
        TBasicUnit* carrier = GetUnitType(nation, 1);
        if (carrier != nullptr && carrier != this)
            carrier->Release(nation);
    }
}

namespace {

// Ships keep their two bow waves behind the attached animations.
int AnimationArraySize(const TBasicUnit& type)
{
    return type.m_AnimCount + (type.IsShipUnit() ? UNIT_SHIP_WAVE_SLOTS : 0);
}

} // namespace

void TBasicUnit::CreateAnimationArray(TAnimationStruct**& out)
{
    const int size = AnimationArraySize(*this);
    out = size != 0 ? new TAnimationStruct*[size]{} : nullptr;
}

void TBasicUnit::CreateAnimations(TAnimationStruct** array)
{
    if (array == nullptr)
        return;
    for (int i = 0; i < m_AnimCount; ++i) {
        auto* animation = new TAnimationStruct;
        const std::uint8_t set = m_AnimSetIndexes != nullptr ? m_AnimSetIndexes[i] : 0xFF;
        if (g_pUnitAnimBank != nullptr && set < g_pUnitAnimBank->Count()) {
            if (g_pUnitAnimBank->Set(set) == nullptr)
                g_pUnitAnimBank->Load(g_pUnitAnimBank->Folder().c_str(), set);
            if (TAnimationSprites* sprites = g_pUnitAnimBank->Set(set))
                animation->SetSprites(sprites, false);
        }
        animation->m_Type = 2;
        animation->m_bFinished = 0;
        animation->m_Speed = 0.5f;
        array[i] = animation;
    }
}

void TBasicUnit::DestroyAnimations(TAnimationStruct** array)
{
    if (array == nullptr)
        return;
    const int size = AnimationArraySize(*this);
    for (int i = 0; i < size; ++i)
        delete array[i];
    delete[] array;
}

bool UnitInit()
{
    g_UnitTextureBytes.store(0, std::memory_order_relaxed);
    return true;
}

void UnitDone()
{
    delete g_pUnitAnimBank;
    g_pUnitAnimBank = nullptr;
    FreeUnitDrawTextures();
}
