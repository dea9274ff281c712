#pragma once
// The lock-step game cycle's budgets that other subsystems read.
#include <cstdint>

// Path moves per cycle (30 at start; then 20, 40 or 100 by the previous cycle's load). Main thread
// only.
extern std::uint16_t g_PathBudget;
