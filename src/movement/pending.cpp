// Least bodies of movement services that built modules call before their own module exists.
// The module that builds the real service deletes its entry here.
#include "movement/directions.h"
#include "movement/passability.h"

std::uint8_t GetOrientToPoint(float, float, float, float)
{
    return 0;
}

std::uint16_t* g_pLandPassMap = nullptr;
std::uint16_t* g_pShipPassMap = nullptr;

void FreePassabilityMaps()
{
    delete[] g_pLandPassMap;
    delete[] g_pShipPassMap;
    g_pLandPassMap = nullptr;
    g_pShipPassMap = nullptr;
}
