#pragma once
// Every path the game uses goes through the resolver: '\' and '//' become '/', and each component
// is matched without regard to case against what exists, relative to the game folder.
#include <string>
#include <string_view>

namespace plat {

// The folder relative paths are resolved against; the current folder until set.
void SetGameRoot(std::string_view root);
const std::string& GetGameRoot();

// Turns a game path into a host path. Existing components are replaced by their real spelling
// (an exact match wins over a match that differs in case; among several that differ only in case
// the lexicographically first wins). From the first missing component on, the rest is kept as
// written, so the result also names files and folders about to be created. Absolute paths keep
// their root and are matched the same way below it.
std::string ResolvePath(std::string_view gamePath);

// Normalises separators only: '\' -> '/', runs of '/' -> one '/', a leading "./" dropped.
std::string NormalizeSeparators(std::string_view path);

// Forgets the cached listings (all of them, or those at and below a host folder); the resolver
// also re-reads a folder once by itself when a component is not found in its cached listing.
void InvalidatePathCache();
void InvalidatePathCache(std::string_view hostFolder);

// Small file helpers on host paths (already resolved).
bool FileExists(const std::string& hostPath);
bool IsDirectory(const std::string& hostPath);
bool MakeDirectories(const std::string& hostPath);

// Writes all bytes to hostPath through a temporary file in the same folder that is renamed over
// the old file only when everything was written; the old file survives any failure.
bool WriteFileAtomic(const std::string& hostPath, const void* data, std::size_t size);

} // namespace plat
