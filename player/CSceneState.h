#pragma once

#include <cstdint>

#include "CSceneCommand.h"
#include "CSceneScriptString.h"
#include "CSpriteState.h"
#include "CStoredEvent.h"
#include "ZCounter.h"
#include "ZHashTableLong.h"
#include "ZList.h"
#include "ZObjectListable.h"

// What the game remembers of one scene while it is unloaded, found by the scene's name. Owns
// its sprite states.
class CSceneState : public ZObjectListable {
public:
    static constexpr long kScriptValues = 40;

    CSceneState() = default;
    ~CSceneState() override;
    CSceneState(const CSceneState&) = delete;
    CSceneState& operator=(const CSceneState&) = delete;

    // Deletes every sprite state and empties the list and the table.
    void freeSpriteStates();
    CSpriteState* findSpriteState(unsigned long spriteId) const;
    // Appends the state and files it under the sprite's id.
    void addSpriteState(unsigned long spriteId, CSpriteState* state);
    // Takes the state out of the list and the table without deleting it.
    void detachSpriteState(CSpriteState* state);
    // Deletes every stored event of the scene.
    void freeStoredEvents();
    // Drops every recorded command: count and capacity 0, the array freed.
    void freeCommands();
    void freeScriptStrings();

    char name[100] = {};
    ZCounter fadeCounter;   // 1.0 to 0.0 during a switch, at rest complete at 1.0
    double fadeTime = 500;  // milliseconds
    bool replayPending = false;
    bool closeRequested = false;
    char nextScene[100] = {};
    ZList<CSpriteState> spriteStates;
    ZHashTableLong spriteStateTable;
    // Recorded commands in the order they were made; the array grows geometrically.
    int64_t commandCount = 0;
    int64_t commandCapacity = 0;
    CSceneCommand* commands = nullptr;  // new[] of commandCapacity records
    char music[260] = {};
    char ambient[260] = {};
    char musicInEffect[260] = {};
    char ambientInEffect[260] = {};
    bool insertedOnce = false;
    int64_t scriptValues[kScriptValues] = {};  // indexes 1 to 40
    ZList<CSceneScriptString> scriptStrings;
    bool createdDuringRestore = false;
    ZList<CStoredEvent> storedEvents;  // replayed to the scene when it is inserted
};
