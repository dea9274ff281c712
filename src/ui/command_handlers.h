#pragma once
// The interface's handlers of the commands its buttons, dialogs and the market send: the command
// dispatcher runs them for the acting player with the values the command carries.
//
// Threads: main thread only, inside the game cycle.
#include <cstdint>

class THouse;
class TUnit;

// Orders to the player's selected units.
void SelectedUnitsCommandD(std::uint8_t player);
void SelectedUnitsStop(std::uint8_t player);
void SelectedUnitsForbidFire(std::uint8_t player);
void SelectedUnitsAllowFire(std::uint8_t player);
void SelectedUnitsCommandF(std::uint8_t player);
void SelectedUnitsFormGroup(std::uint8_t player);
void SelectedUnitsDisbandGroup(std::uint8_t player);
void SelectedUnitsUnload(std::uint8_t player);
void SetSelectedUnitsOption(std::uint8_t player, std::int32_t option);
void SetPlayerOption(std::uint8_t player, std::int32_t option);
void SetHouseOption(std::uint8_t player, std::int32_t option);

// The group buttons of a building.
void GroupCommandOn(THouse* house);
void GroupCommandOff(THouse* house);

// Production: count units of a type in (or queued at) the player's building of that index; 65535
// asks for as many as the building can make.
void CreateUnitsInHouse(std::uint8_t player, std::uint16_t houseIndex, std::uint16_t unitType, std::uint16_t count);
void AddUnitsToQueue(std::uint8_t player, std::uint16_t houseIndex, std::uint16_t unitType, std::uint16_t count);

// Orders to one building.
void HouseCommandA(THouse* house, TUnit* unit);
void HouseCommandB(THouse* house, TUnit* unit);
void AcademyFinishWarUpgrade(THouse* house, const std::uint32_t* params);
void AcademyFinishScienceUpgrade(THouse* house, const std::uint32_t* params);
void HouseTransferResources(THouse* house, const std::uint32_t* params);
void FinishHouseUpgrade(THouse* house);
void ToggleHouseFireMode(THouse* house);
void PlaceStructureAndPay(THouse* house);

// The market: a sale of one resource and an exchange between two, amounts as floats.
void MarketSell(std::uint8_t player, float kind, float a, float b, float c, float d, std::int32_t amount, float price);
void MarketExchange(std::uint8_t player, std::int32_t from, float a, float b, float c, float d, float e);
// The player's eight relation bytes from the diplomacy window.
void SetDiplomacy(std::uint8_t player, const std::uint8_t relations[8]);
