#include "platform/message_box.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/text.h"

namespace plat {

void ShowMessageBox(const char* title, const char* text)
{
    const std::string t = title ? title : "";
    const std::string m = text ? text : "";
    const std::string t8 = IsValidUtf8(t) ? t : Cp1251ToUtf8(t);
    const std::string m8 = IsValidUtf8(m) ? m : Cp1251ToUtf8(m);
    const char* headless = std::getenv("KORVELA_HEADLESS");
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    const bool canShow = !(headless && *headless && *headless != '0') && !(driver && std::string(driver) == "dummy") &&
                         (std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY"));
    if (canShow && SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, t8.c_str(), m8.c_str(), nullptr) == 0)
        return;
    std::fprintf(stderr, "%s: %s\n", t8.c_str(), m8.c_str());
}

} // namespace plat
