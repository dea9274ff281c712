// Least bodies of core services that built modules call before their own module exists.
// The module that builds the real service deletes its entry here.
#include "core/frame_drawing.h"

// The films only need the call to succeed; the display keeps working as it is.
bool RecreateDevices(std::uint8_t)
{
    return true;
}
