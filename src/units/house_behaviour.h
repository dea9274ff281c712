#pragma once
// The per-type behaviour of buildings and their production: what placing and destruction call.
class THouse;
class TUnit;

// What a type does when one of its buildings is lost (player's and neutral buildings).
void HouseLeaveHandler(THouse* house);
void NeutralHouseLeaveHandler(THouse* house);
// Gives back the unit-graphics reference a howitzer emplacement took for its unit type.
void ReleaseEmplacementUnitGraphic(THouse* house);
