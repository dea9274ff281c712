#pragma once
// Test seams of the real program, read from the environment (the README's Environment list):
// KORVELA_TEST_MISSION starts a game right after start-up, as the menus will; KORVELA_TEST_SEED
// fixes its random seed; KORVELA_TEST_HASH writes the simulation's checksum trail; KORVELA_TEST_SHOT
// writes the last presented frame as a BMP when the program ends; KORVELA_TEST_UNITS writes where
// the players' units stand when the program ends. With KORVELA_TEST_FRAMES they
// let tests run the real program into a game.
#include <string>

// Loads the mission (or, for a path under Maps\, that map as a random map with the sample setup)
// that KORVELA_TEST_MISSION names, with the shared random table seeded from KORVELA_TEST_SEED when
// it is set; nothing without KORVELA_TEST_MISSION.
void StartTestGame();
// What the menus would set before loading the mission or map at path: the game type, the mission
// path and, for a map under Maps\, the sample setup.
void PrepareTestGame(const char* path);
// Appends the cycle's line of the checksum trail to KORVELA_TEST_HASH; nothing without it.
void WriteTestHashLine();
// Writes the front image as a 24-bit BMP to KORVELA_TEST_SHOT; nothing without it.
void WriteTestShot();
// The front image of the display as a 24-bit bottom-up BMP file; empty without a display.
std::string FrontImageBmp();
// Writes every living unit of the players to KORVELA_TEST_UNITS, one line each: player, unique
// id, x and y in map pixels; nothing without it.
void WriteTestUnits();
// Those lines.
std::string TestUnitsText();
