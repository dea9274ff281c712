#include "combat/timed_signs.h"

#include <cmath>
#include <new>

#include "combat/cycle_updates.h"
#include "combat/effects.h"
#include "combat/explosions.h"
#include "combat/game_state.h"
#include "core/error_log.h"
#include "core/random_table.h"
#include "map/terrain.h"

namespace {

std::vector<TTimedSign*>* g_pTimedSigns = nullptr;

// A full turn of the table: no circle of radius 1 or more can refuse every pair of it, so the
// limit only keeps a broken table from hanging the cycle.
constexpr std::uint32_t kMaxPointDraws = kRandTableSize / 2;

// Two values of the shared table; the index wraps as a ring.
std::uint16_t TableAt(std::uint32_t i)
{
    return g_RandTable[static_cast<std::uint16_t>(i)];
}

// A point (a, b) strictly inside the circle of radius r about the origin, from the shared table.
bool DrawPointInCircle(std::int32_t r, std::int32_t& a, std::int32_t& b)
{
    for (std::uint32_t tries = 0; tries < kMaxPointDraws; ++tries) {
        const std::uint16_t i = g_RandIndex;
        a = TableAt(i) % (2 * r) - r;
        b = TableAt(i + 1u) % (2 * r) - r;
        g_RandIndex = static_cast<std::uint16_t>(i + 2u);
        if (std::sqrt(static_cast<double>(a * a + b * b)) < static_cast<double>(r))
            return true;
    }
    return false;
}

} // namespace

TTimedSign::TTimedSign(const TTimedSignDesc& desc) : m_Desc(desc)
{
    // Every kind gets an explosion type; a kind nobody makes is drawn as gas.
    if (desc.kind == TIMED_SIGN_BURSTS) {
        m_ExplosionType = TIMED_SIGN_BURST_EXPLOSION;
    } else {
        if (desc.kind != TIMED_SIGN_GAS)
            ReportErrorInt("Timed sign: unknown kind ", static_cast<std::int32_t>(desc.kind));
        m_ExplosionType = TIMED_SIGN_GAS_EXPLOSION;
    }
}

std::uint8_t TTimedSign::ExplosionCount() const
{
    if (m_Desc.radius == 0 || m_Radius <= 0)
        return 0;
    return static_cast<std::uint8_t>((static_cast<std::int32_t>(m_Desc.density) * m_Radius) / m_Desc.radius);
}

void TTimedSign::Update()
{
    const std::uint8_t n = ExplosionCount();
    const std::int32_t r = m_Radius;
    for (std::uint8_t k = 0; k < n; ++k) {
        std::int32_t a = 0, b = 0;
        if (!DrawPointInCircle(r, a, b))
            break;
        const std::int32_t x = m_Desc.x + a;
        const std::int32_t y = m_Desc.y + (b >> 1); // the circle flattened to the isometric ellipse
        const std::int32_t z = GetLandHeightF(static_cast<float>(x), static_cast<float>(y));
        const std::int32_t jitter = g_RandTable[g_RandIndex];
        g_RandIndex = static_cast<std::uint16_t>(g_RandIndex + 2u);
        TExplosion* e = AddExplosion(EXPLOSION_ATTACHED, nullptr, x - jitter % 10 + 5, y - jitter % 5 + 5, z,
                                     m_ExplosionType, m_Desc.damage, m_Desc.damageRadius, 1);
        if (e != nullptr)
            e->risePerFrame = 2;
    }
    const std::int32_t grown = static_cast<std::int32_t>(m_Radius) + m_Desc.growth;
    m_Radius = static_cast<std::int16_t>(grown < m_Desc.radius ? grown : m_Desc.radius);
    --m_Desc.lifetime;
}

bool TTimedSignList::Create()
{
    // A load that failed after making the list left it behind; the new game starts with it empty
    // instead of refusing every later load.
    if (g_pTimedSigns != nullptr) {
        for (TTimedSign* s : *g_pTimedSigns)
            delete s;
        g_pTimedSigns->clear();
        return true;
    }
    g_pTimedSigns = new (std::nothrow) std::vector<TTimedSign*>;
    return g_pTimedSigns != nullptr;
}

void TTimedSignList::Destroy()
{
    if (g_pTimedSigns == nullptr)
        return;
    for (TTimedSign* s : *g_pTimedSigns)
        delete s;
    delete g_pTimedSigns;
    g_pTimedSigns = nullptr;
}

TTimedSign* TTimedSignList::Add(const TTimedSignDesc& desc)
{
    if (g_pTimedSigns == nullptr) {
        ReportError("Timed sign without a list");
        return nullptr;
    }
    auto* sign = new TTimedSign(desc);
    g_pTimedSigns->push_back(sign);
    return sign;
}

void TTimedSignList::UpdateAll()
{
    if (g_pTimedSigns == nullptr)
        return;
    std::vector<TTimedSign*>& list = *g_pTimedSigns;
    for (std::size_t i = 0; i < list.size();) {
        list[i]->Update();
        if (list[i]->m_Desc.lifetime <= 0) {
            delete list[i];
            list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            ++i;
        }
    }
}

const std::vector<TTimedSign*>* TTimedSignList::Signs()
{
    return g_pTimedSigns;
}

void AddTimedSign(const TTimedSignDesc& desc)
{
    TTimedSignList::Add(desc);
}

bool CreateTimedSignList()
{
    return TTimedSignList::Create();
}

void DestroyTimedSignList()
{
    TTimedSignList::Destroy();
}

void UpdateTimedSigns()
{
    TTimedSignList::UpdateAll();
}
