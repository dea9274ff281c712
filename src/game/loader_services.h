#pragma once
// Binds the background loader's request kinds to the graphics loaders of the game. Start-up and
// the game load call it before anything is requested.
void InstallGameLoaderServices();
