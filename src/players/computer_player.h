#pragma once
// The computer player: the economic planner of one player (TStrategAI), which decides which
// buildings to put up, which units to order where, which research to start and when to trade at
// the market. Every player owns one; for a human player it is the economy advisor, working while
// the player's g_CompAssist switch is on, each area gated by the player's advisor option bytes
// (g_AdvisorOptions: byte 0 buildings, 1 workers, 2 other units, 3 research).
//
// Threads: main thread only, inside the player's turn. Every decision draws from the shared random
// table in a fixed order; nothing here reads the clock, the view, the fog or a local setting.
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

#include "players/template.h"

class TGroup;
class THouse;
class TStrateg;
class TIfStreamMemory;
class TOfStreamMemory;

// The template file every computer player loads, whatever its difficulty.
inline constexpr const char* COMPUTER_TEMPLATE_FILE = "Data\\Template4.tpl";
constexpr int AI_UNIT_TYPES = 40;
constexpr int AI_HOUSE_TYPES = 30;
// The highest difficulty; a stored or set value above it is brought down to it.
constexpr std::uint8_t AI_MAX_HARD_LEVEL = 3;
// Bytes of the base-points block beyond its 12 bytes of data: reserved, written as zeros.
constexpr std::int32_t AI_BASE_POINTS_RESERVED = 1000;
constexpr std::int32_t AI_BASE_POINTS_BYTES = 12 + AI_BASE_POINTS_RESERVED;
// A planner's base x while it has none.
constexpr std::int32_t STRATEG_AI_UNSET = 99999;

// The difficulty as the planner and the group manager may use it: 0..3.
std::uint8_t ClampHardLevel(int level);
// The chance c(b) of a rule at a difficulty: b / (4 - level), the level clamped to 0..3.
std::int32_t RuleChance(std::int32_t base, int hardLevel);

// The planner's base class: seven operations in a fixed slot order (Think, LoadTemplate,
// SaveState, LoadState, SaveBasePoints, LoadBasePoints, ResearchStep).
class TStrategAI {
public:
    explicit TStrategAI(std::uint8_t setupByte = 0);
    virtual ~TStrategAI() = default;
    TStrategAI(const TStrategAI&) = delete;
    TStrategAI& operator=(const TStrategAI&) = delete;

    // 0: the rule cascade at the end of every step.
    virtual void Think() = 0;
    // 1: loads the template, computes the wanted counts and passes every level already reached.
    virtual bool LoadTemplate(const char* name);
    // 2, 3: the state block of the save (wanted tables, template with progress, base point,
    // site search, shore points). A block that is cut short or out of range is refused (logged)
    // and leaves the planner as it was.
    virtual void SaveState(TOfStreamMemory& out) const;
    virtual bool LoadState(TIfStreamMemory& in);
    // 4, 5: the proposed base point, the far-worker counter and the reserved bytes.
    virtual void SaveBasePoints(TOfStreamMemory& out) const;
    virtual bool LoadBasePoints(TIfStreamMemory& in);
    // 6: starts research at an idle science academy when the economy calls for it.
    virtual void ResearchStep();

    // One economic step, on the player's period.
    void AIStep();
    void WorkCurrentLevel();
    bool TryAdvanceLevel();
    void AccumulateLevelNeeds();
    void FillShortfalls();
    void DefendHouses();
    void TendSites();
    // Whether a template entry still asks for something the player can pay for now.
    bool IsEntryPending(const TTemplateEntry& entry) const;

    // Production orders; false when nothing was ordered.
    bool OrderUnit(std::uint16_t type, std::uint16_t limit);
    bool OrderUnitBatch5(std::uint16_t type, std::uint16_t limit);
    bool OrderUnitBatch50(std::uint16_t type, std::uint16_t limit);
    // Up to n units of the type at that building, stopping at the first failed payment; the
    // number ordered.
    int OrderUnitsAt(THouse* house, std::uint16_t type, int n);

    void FarmsAndWorkers(std::int32_t a, std::int32_t b);
    void Housing(int hardLevel, std::int32_t a, std::int32_t b);
    void BuildExtractors();
    bool BuildWithPrerequisites(std::uint16_t type);
    void FillBarracks(int hardLevel);

    std::uint8_t PlayerIndex() const { return static_cast<std::uint8_t>(Player & 0xFF); }

    TTemplate Template;
    // The base point (cells): buildings are sought around it; TargetX is STRATEG_AI_UNSET until
    // it is chosen.
    std::int32_t TargetX = STRATEG_AI_UNSET;
    std::int32_t TargetY = 0;
    // Kept from the creator; no decision reads it.
    std::uint8_t SetupByte = 0;
    // Landing points of the transports in map pixels (the candidate points), at most 20.
    std::vector<std::int32_t> ShoreX;
    std::vector<std::int32_t> ShoreY;
    // Half the width of the site-search square, in cells.
    std::uint32_t SiteHalfSize = 30;
    // Site searches that found nothing.
    std::uint32_t FailedSites = 0;
    std::uint16_t WantedUnits[AI_UNIT_TYPES] = {};
    std::uint16_t WantedHouses[AI_HOUSE_TYPES] = {};
    // The proposed base point.
    std::int32_t HomeX = 0;
    std::int32_t HomeY = 0;
    // Placements in a row given up because the nearest worker was too far.
    std::uint32_t FarWorkers = 0;
    // -1 until the creator stores the player; the low byte is the player.
    std::int32_t Player = -1;

protected:
    bool OrderBatch(std::uint16_t type, std::uint16_t limit, int batch);
    // The player's finished, standing producer of the type with the shortest queue below limit.
    THouse* ShortestQueue(std::uint16_t type, std::uint16_t limit) const;
};

// The planner the game gives every player: the rule cascade and the two barracks it keeps busy.
class TComputerStrategAI : public TStrategAI {
public:
    using TStrategAI::TStrategAI;

    void Think() override;
    // The base block, then the two barracks indices.
    void SaveState(TOfStreamMemory& out) const override;
    bool LoadState(TIfStreamMemory& in) override;

    void ThinkExpert(int hardLevel);
    void ThinkTemplate4(int hardLevel);
    void ThinkTemplate5(int hardLevel);

    // The player's first and second type-4 buildings that the expert keeps busy; -1 for none.
    std::int32_t FirstBarracks = -1;
    std::int32_t SecondBarracks = -1;
    // While non-zero, Think only counts it down (not stored: 0 after loading).
    std::uint32_t SkipCounter = 0;

private:
    struct TChanceOrder {
        std::int32_t base;
        std::uint16_t type;
        std::uint16_t limit;
    };
    // Each order in turn with its own draw against c(base).
    void OrderByChance(int hardLevel, std::initializer_list<TChanceOrder> orders);
    void KeepPace();
    void KeepBarracksBusy();
};

// The planner the game makes for a player: template loaded, player stored.
std::unique_ptr<TStrategAI> MakeStrategAI(std::uint8_t player);

// Trading at the market (a type-8 building). Minimums in the order food, gold, iron, wood, oil.
void TradePolicy(std::uint8_t player, int mode);
// Buys the first resource below its minimum with one lot of the first source that can spare it;
// at most one trade per call. True when a trade was made.
bool TradeResources(std::uint8_t player, double mf, double mg, double mi, double mw, double mo);
// Sells lot of one resource for another at the market rate (resource indexes of the player's
// pairs); the bought amount.
double ExchangeResources(std::uint8_t player, std::uint8_t sold, std::uint8_t bought, double lot);

// Save chunk 9: per player its group manager's extra block and its planner's base points.
void SaveComputerPlayers(TOfStreamMemory& out);
bool LoadComputerPlayers(TIfStreamMemory& in);

// What the planner uses of the market page and the group manager (built elsewhere).
// The market rate: amount of good `received` per unit of good `given` (goods: 0 food, 1 wood,
// 2 iron, 3 gold, 4 oil, 5 electricity).
float MarketRate(int given, int received);
// The player's trading totals of the market page.
void AddMarketTotals(std::uint8_t player, int soldGood, float sold, int boughtGood, float bought);
// Rebuilds the market page after a trade of the local player.
void RefreshMarketPage();
// Whether a building stands without military cover; GuardHouse puts a guard building by it.
bool IsHouseUnprotected(THouse* house);
void GuardHouse(THouse* house);
// The group manager's extra block (5 bytes) of save chunk 9.
void SaveGroupManagerExtra(std::uint8_t player, TOfStreamMemory& out);
bool LoadGroupManagerExtra(std::uint8_t player, TIfStreamMemory& in);

// The group of the player's group manager whose id is the value; null for none.
TGroup* FindManagedGroup(std::uint8_t player, std::uint32_t id);

// The group manager's update, every turn of a live player.
void GroupManagerUpdate(TStrateg* player);
// The computer player's step, on its period.
void ComputerPlayerStep(TStrateg* player);
