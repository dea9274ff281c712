#include "combat/battle_services.h"

#include "devices/sound.h"
#include "ui/panel.h"
#include "ui/windows.h"

TBattleServices TBattleServices::Default()
{
    TBattleServices s;
    s.playSound = [](std::uint8_t category, const void* object, std::uint8_t subKind, std::uint8_t priority) {
        PlaySoundEvent(category, object, subKind, priority);
    };
    s.showMessage = [](const char16_t* text, std::uint32_t colour) { ShowMessageLine(text, colour); };
    s.refreshPanel = [] { UpdateInterfacePanel(0); };
    s.queueText = [](int x, int y, const char16_t* text, int frames, std::uint32_t colour) {
        QueueText(x, y, text, frames, colour, 0);
    };
    return s;
}

TBattleServices& BattleServices()
{
    static TBattleServices services = TBattleServices::Default();
    return services;
}
