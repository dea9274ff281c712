#pragma once
// Test seams of the real program, read from the environment (the README's Environment list):
// KORVELA_TEST_MISSION starts a game right after start-up, as the menus will; KORVELA_TEST_SHOT
// writes the last presented frame as a BMP when the program ends. With KORVELA_TEST_FRAMES they
// let tests run the real program into a game.
#include <string>

// Loads the mission (or, for a path under Maps\, that map as a random map with the sample setup)
// that KORVELA_TEST_MISSION names; nothing without it.
void StartTestGame();
// Writes the front image as a 24-bit BMP to KORVELA_TEST_SHOT; nothing without it.
void WriteTestShot();
// The front image of the display as a 24-bit bottom-up BMP file; empty without a display.
std::string FrontImageBmp();
