#pragma once
// Flame throwers (kind 9) and machine gunners (kind 16): their move handlers are declared with
// the other kinds' in unit_behaviour.h. Main thread only.
#include <cstdint>

// The pause of a machine gunner that stops for a long reload (one burst in about twenty).
constexpr std::uint16_t kLongReload = 150;
