#include "CPlayer.h"

// Seams for what other parts of the player will carry out; each keeps the one thing its callers
// rely on.

void CPlayer::addSceneCommand(CScene*, long, long, long, long, long, long, const char*, float,
                              float, const char*, const char*, const char*) {}

void CPlayer::removeSceneCommands(CScene*, long) {}

void CPlayer::removeSceneCommandsOfType(CScene*, long, long) {}

void CPlayer::setSpriteAsCursor(CSprite*) {}

void CPlayer::setSpriteAsSecondaryCursor(CSprite*) {}
