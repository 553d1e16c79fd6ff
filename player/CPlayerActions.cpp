#include "CPlayer.h"

// The action interpreter: an event slot's or a key's action turned into its effect.

void CPlayer::executeSpriteAction(CSprite* sprite, _CSpriteAction* action) {
    if (!sprite || !action) return;
    if (m_actionFilter && !m_actionFilter(sprite, action)) return;
}
