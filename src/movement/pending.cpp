// Least bodies of movement services that built modules call before their own module exists.
// The module that builds the real service deletes its entry here.
#include "movement/directions.h"

std::uint8_t GetOrientToPoint(float, float, float, float)
{
    return 0;
}
