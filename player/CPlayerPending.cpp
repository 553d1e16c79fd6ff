#include "CPlayer.h"

// Seams for what other parts of the player will carry out; each keeps the one thing its callers
// rely on.

void CPlayer::setSpriteAsCursor(CSprite*) {}

void CPlayer::setSpriteAsSecondaryCursor(CSprite*) {}
