#pragma once
// The trench-piece system (the "trench" command-line option): its pictures for a game.
void TrenchesInit();
void TrenchesFree();
