#pragma once
// What the selection and the map mouse ask of unit groups (formations) and of moving a selection.
// A group is "shown as selected" while its units stand in their owner's selection as one body.
#include <cstdint>

class TGroup;

bool IsGroupShownSelected(const TGroup* group);
// TGroup::SelectUnits (select) / TGroup::DeselectUnits: the group's selected flag, and its live
// units into or out of the owner's selection.
void SelectGroupUnits(TGroup* group, bool select);
// TGroup::HasUnitOfType.
bool GroupHasUnitOfType(const TGroup* group, std::uint16_t type);
// A right drag turns the formation: its orient, its spacing distance (capped at 2000), and when the
// group is not moving it re-forms in place (TGroup::MoveInFormation).
void OrientGroup(TGroup* group, std::uint8_t orient, float distance);
// The player's right-click order for its selection at a map point: what lies there (a pontoon or
// an own building, an enemy building, an enemy unit, a field or other map object, an own
// transport, else open ground) decides the order. Each group with a selected member gets one
// group order; a member of a group in formation mode leaves it first unless the order is an attack.
// The units of no group get their own orders: spread round the point, into the building, at the
// target, to the object, or aboard the transport as far as its room goes.
void SelectedUnitsGo(std::uint8_t player, std::int32_t x, std::int32_t y);
// The acknowledgement sound for the local player's selection (nothing for another player).
void PlayGroupSelectSound(std::uint8_t player);
