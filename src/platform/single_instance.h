#pragma once

namespace plat {

// Claims the right to run as the only copy of the program identified by the window class and
// title. false when another running copy holds it. The claim lasts until the process ends (or
// ReleaseSingleInstance). The lock lives in the user's runtime folder.
bool AcquireSingleInstance(const char* windowClass, const char* windowTitle);
void ReleaseSingleInstance();

} // namespace plat
