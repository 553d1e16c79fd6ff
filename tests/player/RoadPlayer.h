#pragma once

#include <cstdio>
#include <string>

#include "PlayerFixture.h"
#include "ZEvent.h"
#include "ZInput.h"

// The player with the services of a loaded game: the cursor container, the game-loaded flag and
// a state folder of the test's own.
class RoadPlayer : public TestPlayer {
public:
    RoadPlayer(ZWindow* window, const std::string& state) : TestPlayer(window) {
        snprintf(m_stateFolder, sizeof(m_stateFolder), "%s", state.c_str());
        createCursorContainer();
        setGameLoaded(true);
    }
    using CPlayer::setGameLoaded;
};

// A mouse event of the first button at a position, the pointer moved there first, handed to the
// player's event road as the window hands it over.
inline bool sendMouseEvent(CPlayer* player, long type, long x, long y) {
    ZInput::mousePointerTo(x, y);
    ZEvent event = {};
    event.type = type;
    event.x = x;
    event.y = y;
    event.button = 1;
    return player->eventHandler(&event);
}
