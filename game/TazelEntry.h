#pragma once

class CPlayer;

// The entry functions that create, run and destroy the one game object.
long tazelInitialize();
long tazelMain(int argc, char** argv);
void tazelRenderFrame();
void tazelCleanup();

// The game object, null before tazelInitialize succeeds and after clean-up.
CPlayer* tazelGetGame();
