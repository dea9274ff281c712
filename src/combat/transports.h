#pragma once
// Transports as boarding units ask about them.
class TUnit;
struct TFloatPoint;

// Where units board a transport ship (its unload place) or a carrier (type 24, its boarding
// place); false when it has none.
bool FindUnloadPlace(const TUnit* transport, TFloatPoint& out);
bool FindBoardingPlace(const TUnit* transport, TFloatPoint& out);
