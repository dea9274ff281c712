#pragma once
// Writes the sample game folder from code. Every loader of the game has its writer here, so that
// tests build their fixtures with the same code and the run command starts a complete game.
#include <string>

namespace sampledata {

// Writes the whole game folder under outDir (created when missing). false on the first failure,
// which is logged.
bool WriteGameFolder(const std::string& outDir);
// The part of it a game's world loads (no cursors, sounds, music or films): for tests of the game
// load.
bool WriteWorldFiles(const std::string& outDir);

// The folder tree of a game folder.
bool WriteFolderTree(const std::string& outDir);

// Writes bytes to outDir/relativePath, creating folders as needed.
bool WriteFileBytes(const std::string& outDir, const std::string& relativePath, const void* data, std::size_t size);

} // namespace sampledata
