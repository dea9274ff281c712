#pragma once
// The players' selections and stored groups. Every player, human or computer, selects either some
// of its own units or one of its own buildings, and keeps ten stored groups (keys 0..9) of units or
// one building. Everything here runs inside command handlers for the acting player, so it runs on
// every machine in the same order; only the panel refresh and the sounds depend on MyPlayer.
//
// Threads: main thread only, except a player's NumSelectedUnits (main thread writes under
// g_InputLock, the mouse thread reads it).
#include <cstdint>
#include <functional>

class THouse;
class TUnit;
class TGroup;

// One node of a selection list (the list head is the newest); each selected unit keeps its node.
struct TSelectionNode {
    TUnit* unit = nullptr;
    TSelectionNode* next = nullptr;
    TSelectionNode* prev = nullptr;
};

// A rectangle of map pixels {left, top, right, bottom}, inclusive.
struct TMapRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

constexpr std::uint8_t SELECTION_GROUPS = 10;
constexpr std::int8_t STORED_GROUP_NONE = -1;
// The panel's type and house at game start, and the panel's house while none was selected.
constexpr std::uint16_t PANEL_NOTHING = 65534;
// Stored-group entry kinds.
constexpr std::uint8_t GROUP_ENTRY_HOUSE = 0;
constexpr std::uint8_t GROUP_ENTRY_UNIT = 1;

// The selection flags of TStrateg::SelectionFlags.
constexpr int SELECTION_WORKER_FLAG = 0; // a selected unit is of kind 6
constexpr int SELECTION_KIND7_FLAG = 1;  // a selected unit is of kind 7

// The unit panel reads these: the type of the first selected unit and the last selected building's
// type. Main thread only.
extern std::uint16_t g_PanelUnitType;
extern std::uint16_t g_PanelHouse;

// The rectangle a command record carries in its first four parameters ({left, top, right, bottom},
// read as signed); all zero without parameters.
TMapRect MapRectFromParams(const std::uint32_t* params);

// List primitives.
TSelectionNode* PushListNode(TSelectionNode*& head, TUnit* unit);
void FreeList(TSelectionNode*& head);
// false when no node holds the unit.
bool RemoveListNodeByValue(TSelectionNode*& head, TUnit* unit);
// Frees a selection list and empties its head (the units keep stale node pointers: the caller
// frees them or clears them).
void FreeSelectionList(TSelectionNode*& head);

// The selectable-unit test (skipped while g_SelectAnything is set).
bool IsUnitSelectable(const TUnit& unit);
// The point of a unit the player sees: x, and y less its height and its ground lift.
void UnitSeenPoint(const TUnit& unit, float& x, float& y);
bool IsUnitInRect(const TUnit& unit, const TMapRect& rect);

void AddUnitToSelection(std::uint8_t player, TUnit* unit);
void DeleteSelection(std::uint8_t player, TUnit* unit);
void ClearSelection(std::uint8_t player);
void SelectAll(std::uint8_t player);
// rect null: the visible map area.
void SelectUnitsInRect(std::uint8_t player, const TMapRect* rect);
void SelectWorkersInRect(std::uint8_t player, const TMapRect* rect);
void SelectSameTypes(std::uint8_t player);
void SelectSameTypesInRect(std::uint8_t player, const TMapRect* rect);
void SelectIdleWorkers(std::uint8_t player);
void FilterSelectionByType(std::uint8_t player, std::uint16_t type);
void DeselectByKind(std::uint8_t player, std::uint16_t type);
// Makes the building the player's selection (its flag, the player's house flag and index).
void SelectHouseOf(std::uint8_t player, THouse* house);

void StoreGroup(std::uint8_t player, std::uint8_t group);
void SelectUnitsFromGroup(std::uint8_t player, std::uint8_t group);
void RemoveUnitFromGroup(std::uint8_t player, TUnit* unit);
void RemoveHouseFromGroups(std::uint8_t player, THouse* house);
// A unit leaving the game: out of its owner's selection and stored group. The one call of
// DeleteUnit's reference clearing.
void ForgetUnitInSelection(std::uint8_t player, TUnit* unit);

void InitSelection();
void FreeSelection();

// What the selection calls above its floor or in modules built elsewhere. Tests put recording
// stand-ins here; the game installs the view centring.
struct TSelectionServices {
    std::function<void(std::uint8_t dropWindowFirst)> refreshPanel;
    std::function<void(TUnit* unit)> centerViewOnUnit;
    std::function<void(std::uint8_t category, const void* object, std::uint8_t sub, std::uint8_t priority)> playSound;
    static TSelectionServices Default();
};
TSelectionServices& SelectionServices();
