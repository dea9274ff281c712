#include "movement/movement_services.h"

#include "map/site_queries.h"

TMovementMapServices TMovementMapServices::Default()
{
    TMovementMapServices s;
    s.isWater = [](std::int32_t x, std::int32_t y) { return IsTileOnWater(x, y); };
    return s;
}

TMovementMapServices& MovementMapServices()
{
    static TMovementMapServices services = TMovementMapServices::Default();
    return services;
}
