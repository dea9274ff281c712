// Feeds arbitrary bytes to the computer player's readers: the planner's state block, its base
// points and the computer players' save chunk. Whatever the state reader accepts must write back
// and read back to the same bytes; a refused block must leave the planner as it was.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "core/memory_stream.h"
#include "players/computer_player.h"
#include "players/strateg.h"

namespace {

std::string Bytes(const TStrategAI& ai)
{
    TOfStreamMemory out;
    ai.SaveState(out);
    std::string s(reinterpret_cast<const char*>(out.Data()), static_cast<std::size_t>(out.Pos()));
    out.Free();
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto n = static_cast<std::int32_t>(size);
    {
        auto ai = std::make_unique<TComputerStrategAI>();
        ai->Player = 0;
        const std::string before = Bytes(*ai);
        TIfStreamMemory in(data, n);
        if (ai->LoadState(in)) {
            const std::string saved = Bytes(*ai);
            auto back = std::make_unique<TComputerStrategAI>();
            TIfStreamMemory again(saved.data(), static_cast<std::int32_t>(saved.size()));
            if (!back->LoadState(again) || Bytes(*back) != saved)
                std::abort();
        } else if (Bytes(*ai) != before) {
            std::abort();
        }
    }
    {
        auto ai = std::make_unique<TComputerStrategAI>();
        TIfStreamMemory in(data, n);
        ai->LoadBasePoints(in);
    }
    {
        // The chunk reader over two players, one with a planner and a group manager, one without.
        auto* a = new TStrateg;
        a->Number = 0;
        a->Planner = std::make_unique<TComputerStrategAI>();
        a->GroupManager = std::make_unique<TGroupManager>();
        auto* b = new TStrateg;
        b->Number = 1;
        g_Strateg[0] = a;
        g_Strateg[1] = b;
        g_wNumPlayer = 2;
        TIfStreamMemory in(data, n);
        LoadComputerPlayers(in);
        g_Strateg[0] = g_Strateg[1] = nullptr;
        g_wNumPlayer = 0;
        delete a;
        delete b;
    }
    return 0;
}
