#include "units/unit_types.h"

#include "combat/tower.h"
#include "combat/unit_behaviour.h"

TBasicUnit* g_UnitTypes[UNIT_TYPE_COUNT] = {};

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
