#pragma once
// Whole-file reads for the small text and table files of the game.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Reads the file at a game path (through the path resolver) into out. false when it cannot be
// opened, is a folder, or is larger than maxSize; nothing is logged.
bool ReadGameFile(const char* gamePath, std::vector<std::uint8_t>& out, std::size_t maxSize = 256u << 20);
