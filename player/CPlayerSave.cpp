#include <strings.h>
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "CGame.h"
#include "CPlayer.h"
#include "CSavedGame.h"
#include "CUIDisplayHandler.h"
#include "CUIEmitter.h"
#include "ZCore.h"
#include "ZMiscTools.h"
#include "ZUIElement.h"
#include "ZUIRichText.h"
#include "ZUIVideo.h"

namespace {

// Larger than any save the player could write: refusing it spares reading it whole.
constexpr long kMaxSavedGameSize = 256L * 1024 * 1024;

void setText(char* target, size_t size, const char* text) {
    snprintf(target, size, "%s", text ? text : "");
}

bool readWholeFile(const char* path, std::vector<unsigned char>& bytes) {
    FILE* file = path ? fopen(path, "rb") : nullptr;
    if (!file) return false;
    bool ok = fseek(file, 0, SEEK_END) == 0;
    long size = ok ? ftell(file) : -1;
    ok = ok && size >= 0 && size <= kMaxSavedGameSize && fseek(file, 0, SEEK_SET) == 0;
    if (ok) {
        bytes.resize(static_cast<size_t>(size));
        ok = !size || fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
    }
    fclose(file);
    return ok;
}

}  // namespace

long CPlayer::sceneHandlerStateSize() {
    long total = 0;
    for (CSceneHandler* h = m_sceneHandlers.head; h; h = ZList<CSceneHandler>::nextOf(h))
        total += std::max(0L, h->getStateSize());
    return total;
}

unsigned long CPlayer::xorBuffer(void* buffer, unsigned long length) {
    return CSavedGame::xorBuffer(buffer, length);
}

const char* CPlayer::getSavedGameFilename(long slot) {
    snprintf(m_savedGameFilename, sizeof(m_savedGameFilename), "%s/game%02ld.sav", getStateFolder(),
             slot);
    return m_savedGameFilename;
}

void CPlayer::gatherSavedGame(CSavedGame& game) {
    CSavedGame::Header& h = game.header;
    for (long i = 0; i < CSavedGame::kLayers; i++) setText(h.layers[i], 100, m_sceneSlots[i]);
    setText(h.music, sizeof(h.music), m_musicName);
    setText(h.ambient, sizeof(h.ambient), m_ambientName);
    h.musicVolume = m_musicVolume;
    h.pointerLocked = m_pointerLocked;
    h.musicMuted = m_musicMuted;
    h.ambientMuted = m_ambientMuted;
    for (long i = 0; i < CSavedGame::kFastValues; i++) h.fastValues[i] = m_fastValues[i];

    for (CSceneHandler* handler = m_sceneHandlers.head; handler;
         handler = ZList<CSceneHandler>::nextOf(handler)) {
        long size = handler->getStateSize();
        if (size <= 0) continue;
        size_t at = game.handlerBlock.size();
        game.handlerBlock.resize(at + static_cast<size_t>(size));
        if (const void* data = handler->getStateData())
            memcpy(game.handlerBlock.data() + at, data, static_cast<size_t>(size));
    }
    gatherSavedGlobals(game);

    for (CSceneState* state = m_sceneStates.head; state;
         state = ZList<CSceneState>::nextOf(state)) {
        game.scenes.emplace_back();
        CSavedGame::Scene& scene = game.scenes.back();
        setText(scene.name, sizeof(scene.name), state->name);
        for (long i = 0; i < CSavedGame::kSceneScriptValues; i++)
            scene.scriptValues[i] = state->scriptValues[i];
        setText(scene.music, sizeof(scene.music), state->music);
        setText(scene.ambient, sizeof(scene.ambient), state->ambient);
        gatherSavedSceneRecords(state, scene);
        for (CSpriteState* s = state->spriteStates.head; s; s = ZList<CSpriteState>::nextOf(s))
            CSavedGame::appendSpriteState(*s, static_cast<unsigned long>(s->hashKey),
                                          scene.spriteBlock);
    }
}

void CPlayer::saveGameStateTo(const char* path) {
    if (!path || !*path) return;
    if (strlen(path) + 4 > 259) {
        ZCore::logMessage("Game: saved game path %s is too long, ERROR", path);
        return;
    }
    releaseDraggedSprites(true, false, true, nullptr);
    for (CInsertedScene* i = m_insertedScenes.head; i; i = ZList<CInsertedScene>::nextOf(i))
        serializeSceneScriptStates(i->scene);
    CSavedGame game;
    gatherSavedGame(game);
    std::vector<unsigned char> bytes = game.write();
    if (!ZMiscTools::writeFileReplacing(path, bytes.data(), bytes.size(), nullptr, 0))
        ZCore::logMessage("Game: failed to write saved game %s, ERROR", path);
}

bool CPlayer::checkSavedGameState(const char* path, char* sceneName, unsigned long sceneNameSize,
                                  long* fastValues) {
    FILE* file = path ? fopen(path, "rb") : nullptr;
    if (!file) return false;
    unsigned char bytes[CSavedGame::kHeaderSize];
    bool ok = fread(bytes, 1, sizeof(bytes), file) == sizeof(bytes);
    fclose(file);
    CSavedGame::Header header;
    if (!ok || !CSavedGame::readHeader(bytes, sizeof(bytes), header) ||
        header.handlerStateSize != sceneHandlerStateSize())
        return false;
    if (sceneName && sceneNameSize > 0) setText(sceneName, sceneNameSize, header.layers[0]);
    if (fastValues)
        for (long i = 0; i < CSavedGame::kFastValues; i++) fastValues[i] = header.fastValues[i];
    return true;
}

bool CPlayer::patchSavedGameHeader(const char* path, void (*change)(CSavedGame::Header&, void*),
                                   void* data) {
    FILE* file = path ? fopen(path, "r+b") : nullptr;
    if (!file) return false;
    unsigned char bytes[CSavedGame::kHeaderSize];
    CSavedGame::Header header;
    bool ok = fread(bytes, 1, sizeof(bytes), file) == sizeof(bytes) &&
              CSavedGame::readHeader(bytes, sizeof(bytes), header) &&
              header.handlerStateSize == sceneHandlerStateSize();
    if (ok) {
        change(header, data);
        CSavedGame::writeHeader(header, bytes);
        ok =
            fseek(file, 0, SEEK_SET) == 0 && fwrite(bytes, 1, sizeof(bytes), file) == sizeof(bytes);
        ok = fflush(file) == 0 && ok;
    }
    ok = fclose(file) == 0 && ok;
    return ok;
}

void CPlayer::saveFastGameSpecificValues(const char* path) {
    patchSavedGameHeader(
        path,
        [](CSavedGame::Header& h, void* data) {
            const int64_t* values = static_cast<const int64_t*>(data);
            for (long i = 0; i < CSavedGame::kFastValues; i++) h.fastValues[i] = values[i];
        },
        m_fastValues);
}

void CPlayer::saveSceneName(const char* path, const char* name) {
    if (!name || !CSavedGame::isPlainName(name)) return;
    patchSavedGameHeader(
        path,
        [](CSavedGame::Header& h, void* data) {
            setText(h.layers[0], sizeof(h.layers[0]), static_cast<const char*>(data));
        },
        const_cast<char*>(name));
}

bool CPlayer::restoreGameStateFrom(const char* path) {
    std::vector<unsigned char> bytes;
    CSavedGame game;
    if (!readWholeFile(path, bytes) ||
        !game.read(bytes.data(), bytes.size(), sceneHandlerStateSize())) {
        ZCore::logMessage("Game: failed to restore state from %s, the game goes on unchanged",
                          path ? path : "");
        // A switch that asked for the restore has already taken its scene off its layer: it
        // comes back, and nothing else changes.
        for (long layer = kSceneSlots - 1; layer >= 0; layer--) {
            if (!m_sceneSlots[layer][0] || getSceneByLayer(layer)) continue;
            CScene* scene = loadScene(m_sceneSlots[layer]);
            uploadScene(scene);
            insertScene(scene, layer, false);
        }
        moveContainersToLayers();
        return false;
    }
    commitSavedGame(game);
    return true;
}

void CPlayer::commitSavedGame(CSavedGame& game) {
    char previous[kSceneSlots][100];
    memcpy(previous, m_sceneSlots, sizeof(previous));
    for (CInsertedScene* i = m_insertedScenes.head; i; i = ZList<CInsertedScene>::nextOf(i)) {
        CSceneState* state = i->scene->sceneState;
        if (!state) continue;
        state->nextScene[0] = '\0';
        state->fadeCounter.startCounter(1, 1, 0, 0, ZCounterLinear);
        state->fadeCounter.move(0);
    }
    clearGameState();

    const CSavedGame::Header& h = game.header;
    for (long i = 0; i < kSceneSlots; i++) setText(m_sceneSlots[i], 100, h.layers[i]);
    char music[260], ambient[260];
    setText(music, sizeof(music), h.music);
    setText(ambient, sizeof(ambient), h.ambient);
    long musicVolume = static_cast<long>(h.musicVolume);
    m_pointerLocked = h.pointerLocked;
    for (long i = 0; i < CSavedGame::kFastValues; i++) m_fastValues[i] = h.fastValues[i];

    size_t at = 0;
    for (CSceneHandler* handler = m_sceneHandlers.head; handler;
         handler = ZList<CSceneHandler>::nextOf(handler)) {
        long size = handler->getStateSize();
        if (size <= 0) continue;
        if (void* data = handler->getStateData())
            memcpy(data, game.handlerBlock.data() + at, static_cast<size_t>(size));
        at += static_cast<size_t>(size);
        handler->onStateSet();
    }
    commitSavedGlobals(game);

    for (CSavedGame::Scene& scene : game.scenes) {
        CSceneState* state = new CSceneState();
        setText(state->name, sizeof(state->name), scene.name);
        state->fadeTime = 500;
        state->fadeCounter.startCounter(1, 1, 0, 0, ZCounterLinear);
        state->fadeCounter.move(0);
        for (long i = 0; i < CSavedGame::kSceneScriptValues; i++)
            state->scriptValues[i] = scene.scriptValues[i];
        setText(state->music, sizeof(state->music), scene.music);
        setText(state->ambient, sizeof(state->ambient), scene.ambient);
        commitSavedSceneRecords(scene, state);
        for (std::unique_ptr<CSpriteState>& sprite : scene.spriteStates) {
            long id = sprite->hashKey;
            // A second record of one id would leave the first unreachable in the table.
            if (state->findSpriteState(static_cast<unsigned long>(id))) continue;
            state->addSpriteState(static_cast<unsigned long>(id), sprite.release());
        }
        m_sceneStates.addToTail(state);
    }

    setRestoringGameState(true);
    m_restoredThisFrame = true;
    refreshGameState();
    bool loadedAnew = relayerAfterRestore(previous);
    setRestoringGameState(false);

    flushSounds(false);
    flushAmbientSounds(false);
    stopStreamedSounds(-1);
    // The saved music at its saved volume, also when it is the one playing already.
    if (!music[0])
        stopMusic();
    else if (strcasecmp(music, m_musicName) == 0)
        setCurrentMusicVolume(musicVolume);
    else
        playMusic(music, musicVolume);
    if (ambient[0])
        playAmbientSound(ambient);
    else
        stopAmbientSound();
    muteMusic(h.musicMuted);
    muteAmbientSounds(h.ambientMuted);
    if (loadedAnew) resetFrameLoop();

    bool freed = false;
    for (CSceneState* state = m_sceneStates.head; state;) {
        CSceneState* next = ZList<CSceneState>::nextOf(state);
        if (state->createdDuringRestore) {
            freeSceneState(state);
            freed = true;
        } else {
            CScene* scene = findLoadedScene(state->name);
            if (scene && scene->status >= 4 && scene->sceneState == state)
                replayCommands(state);
            else
                state->replayPending = true;
        }
        state = next;
    }
    if (freed) refreshGameState();

    moveContainersToLayers();
    for (long layer = 0; layer < kSceneSlots; layer++) {
        if (!previous[layer][0]) continue;
        CScene* scene = getSceneByLayer(layer);
        if (scene && strcasecmp(scene->name, previous[layer]) == 0) updateScene(scene, 0);
    }
    // Particles, texts and videos start unseen: their next update gives them their colours.
    for (CInsertedScene* i = m_insertedScenes.head; i; i = ZList<CInsertedScene>::nextOf(i)) {
        for (CSprite* sprite = i->scene->sprites.head; sprite;
             sprite = ZList<CSprite>::nextOf(sprite)) {
            if (!sprite->state) continue;
            if (CUIEmitter* emitter = CUIEmitter::isUIEmitter(sprite->element))
                emitter->setColor(1, 1, 1, 0);
            if (ZUIRichText* text = ZUIRichText::isRichText(sprite->element))
                text->setTextMultiplierColor(1, 1, 1, 0);
            if (sprite->video) sprite->video->setColor(1, 1, 1, 0);
        }
    }
}

bool CPlayer::relayerAfterRestore(const char (&previous)[kSceneSlots][100]) {
    auto wanted = [this](const char* name) {
        for (long layer = 0; layer < kSceneSlots; layer++)
            if (m_sceneSlots[layer][0] && strcasecmp(m_sceneSlots[layer], name) == 0) return true;
        return false;
    };
    // Every layer whose scene changes gives it up first: a scene that only moves to another
    // layer is then free to go in there, and stays loaded for it.
    for (long layer = kSceneSlots - 1; layer >= 0; layer--) {
        const char* name = m_sceneSlots[layer];
        if (name[0] && strcasecmp(name, previous[layer]) == 0) continue;
        CScene* old = getSceneByLayer(layer);
        if (!old) continue;
        willRemoveScene(old);
        removeScene(old);
        if (old->referenceCount < 1 && !wanted(old->name)) {
            unloadScene(old);
            if (CGame::isLowMemoryDevice()) freeScene(old);
        }
    }
    bool loadedAnew = false;
    for (long layer = kSceneSlots - 1; layer >= 0; layer--) {
        const char* name = m_sceneSlots[layer];
        if (!name[0]) continue;
        CScene* scene = nullptr;
        if (strcasecmp(name, previous[layer]) == 0) {
            scene = getSceneByLayer(layer);
            if (!scene) scene = findLoadedScene(name);
            willRemoveScene(scene);
            removeScene(scene);
        } else {
            scene = findLoadedScene(name);
            // Inserted in a layer of its own already: a save that names it twice.
            if (scene && scene->status >= 4) continue;
        }
        if (!scene || scene->status < 3) {
            scene = loadScene(name);
            uploadScene(scene);
            loadedAnew = true;
        }
        insertScene(scene, layer, false);
    }
    return loadedAnew;
}

void CPlayer::gatherSavedGlobals(CSavedGame& game) {
    for (CStoredEvent* e = m_storedEvents.head; e; e = ZList<CStoredEvent>::nextOf(e)) {
        CSavedGame::Name name{};
        setText(name.data(), name.size(), e->name);
        game.storedEvents.push_back(name);
    }
    for (CGlobalVariable* v = m_globalVariables.head; v; v = ZList<CGlobalVariable>::nextOf(v)) {
        game.variables.emplace_back();
        setText(game.variables.back().name, CSavedGame::kNameSize, v->name);
        setText(game.variables.back().value, CSavedGame::kValueSize, v->value);
    }
}

void CPlayer::commitSavedGlobals(CSavedGame& game) {
    for (const CSavedGame::Name& name : game.storedEvents) {
        CStoredEvent* event = new CStoredEvent();
        setText(event->name, sizeof(event->name), name.data());
        m_storedEvents.addToTail(event);
    }
    for (const CSavedGame::Variable& variable : game.variables)
        writeGlobalVariable(variable.name, variable.value);
}

void CPlayer::gatherSavedSceneRecords(CSceneState* state, CSavedGame::Scene& scene) {
    for (CStoredEvent* e = state->storedEvents.head; e; e = ZList<CStoredEvent>::nextOf(e)) {
        CSavedGame::Name name{};
        setText(name.data(), name.size(), e->name);
        scene.storedEvents.push_back(name);
    }
    for (CSceneScriptString* t = state->scriptStrings.head; t;
         t = ZList<CSceneScriptString>::nextOf(t)) {
        scene.scriptStrings.emplace_back();
        // The file keeps the low 32 bits.
        scene.scriptStrings.back().index = static_cast<uint32_t>(t->index);
        setText(scene.scriptStrings.back().text, CSavedGame::kValueSize, t->text);
    }
    if (state->commands && state->commandCount > 0) {
        const unsigned char* bytes = reinterpret_cast<const unsigned char*>(state->commands);
        scene.commands.assign(bytes, bytes + state->commandCount * sizeof(CSceneCommand));
    }
}

void CPlayer::commitSavedSceneRecords(CSavedGame::Scene& scene, CSceneState* state) {
    for (const CSavedGame::Name& name : scene.storedEvents) {
        CStoredEvent* event = new CStoredEvent();
        setText(event->name, sizeof(event->name), name.data());
        state->storedEvents.addToTail(event);
    }
    for (const CSavedGame::ScriptString& string : scene.scriptStrings) {
        CSceneScriptString* t = new CSceneScriptString();
        t->index = string.index;
        setText(t->text, sizeof(t->text), string.text);
        state->scriptStrings.addToTail(t);
    }
    int64_t count = static_cast<int64_t>(scene.commands.size() / sizeof(CSceneCommand));
    if (count > 0) {
        state->commands = new CSceneCommand[count];
        memcpy(state->commands, scene.commands.data(), count * sizeof(CSceneCommand));
        state->commandCount = state->commandCapacity = count;
    }
}
