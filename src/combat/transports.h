#pragma once
// Transports: carriers (type 24, 50 passengers) and troop ships (type 17, 500 passengers). A
// passenger rides off the map with Work WORK_UNIT_TRANSPORTED and m_MyTransporter set, listed in
// the carrier's packed passenger array in boarding order.
class TUnit;
struct TFloatPoint;

// The point next to a type 24 carrier nearest to the unit (the carrier itself when unit is null):
// two cells away in one of the four diagonal directions, else near the free cell found around the
// carrier. Always true.
bool FindBoardingPlace(const TUnit* transport, TFloatPoint& out, const TUnit* unit = nullptr);
// A free point beside a ship, probed from 55 to 500 pixels off its side, 5 pixels apart. When none
// is found and a unit is given, out is the unit's own position and the unit gives up boarding (Work
// none, no future transporter). With no unit nothing but out changes.
bool FindUnloadPlace(const TUnit* transport, TFloatPoint& out, TUnit* unit = nullptr);
// Takes the unit off its carrier's passenger list without putting it on the map (for a passenger
// that leaves the game); the later passengers move forward.
void DropFromTransport(TUnit* unit);
