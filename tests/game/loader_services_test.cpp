#include "game/loader_services.h"

#include <gtest/gtest.h>

#include "core/loader_thread.h"
#include "units/building_graphics.h"
#include "units/house_types.h"

TEST(GameLoaderServices, ABuildingLoadTheLoaderDropsLeavesItsPhaseFreeToGo)
{
    InstallGameLoaderServices();
    TBackgroundLoader loader; // takes the game's binding with its first request
    loader.Shutdown();
    const THouseGraphicServices saved = HouseGraphicServices();
    THouseType type;
    CHousePhaseGraphic phase;
    int sleeps = 0;
    HouseGraphicServices().request = [&](std::unique_ptr<TLoaderRequest> r) { loader.Request(std::move(r)); };
    HouseGraphicServices().sleepMs = [&](std::uint32_t) {
        // A phase left "loading" after its request was dropped would be waited for for ever.
        if (++sleeps > 100) {
            ADD_FAILURE() << "waited for a dropped load";
            phase.m_State.store(PHASE_NOT_LOADED);
        }
    };
    phase.AddRef();
    phase.LoadPhase(&type, HousePhaseCode(HOUSE_STATE_FINISHED, 0), 1, 1);
    EXPECT_EQ(phase.State(), PHASE_NOT_LOADED);
    phase.Release(); // the last reference frees the phase without waiting
    EXPECT_EQ(sleeps, 0);
    HouseGraphicServices() = saved;
}
