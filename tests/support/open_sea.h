#pragma once
// Open water over the whole of the test world's map, with the ships' grid that answers whether a
// point is open sea, put in place for one scope and taken away after it.
#include <algorithm>
#include <memory>

#include "map/map_grid.h"
#include "map/ship_grid.h"
#include "map/water.h"

namespace testworld {

class OpenSea {
public:
    OpenSea() : m_Saved(g_pWater), m_Water(std::make_unique<TWaterMap>())
    {
        m_Water->CreateWaterGrid(static_cast<std::uint16_t>(g_MapWidth), static_cast<std::uint16_t>(g_MapHeight));
        std::fill(m_Water->m_Grid.begin(), m_Water->m_Grid.end(), 1);
        if (m_Water->m_pShipGrid)
            m_Water->m_pShipGrid->m_pWater = m_Water.get();
        g_pWater = m_Water.get();
    }
    ~OpenSea() { g_pWater = m_Saved; }
    OpenSea(const OpenSea&) = delete;
    OpenSea& operator=(const OpenSea&) = delete;

private:
    TWaterMap* m_Saved;
    std::unique_ptr<TWaterMap> m_Water;
};

} // namespace testworld
