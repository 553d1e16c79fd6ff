#include "CSavedGame.h"

#include <cstring>

#include "ZChecksum.h"

namespace {

template <typename T>
void put(unsigned char* out, unsigned long offset, T value) {
    memcpy(out + offset, &value, sizeof(T));
}

template <typename T>
T get(const unsigned char* in, unsigned long offset) {
    T value;
    memcpy(&value, in + offset, sizeof(T));
    return value;
}

void putText(unsigned char* out, unsigned long offset, unsigned long width, const char* text) {
    size_t length = strnlen(text, width - 1);
    memcpy(out + offset, text, length);
    memset(out + offset + length, 0, width - length);
}

// Whatever the file holds, the copy ends within its field.
void getText(const unsigned char* in, unsigned long offset, unsigned long width, char* text) {
    memcpy(text, in + offset, width);
    text[width - 1] = '\0';
}

void putVector(unsigned char* out, unsigned long offset, const ZVector2& v) {
    put(out, offset, v.x);
    put(out, offset + 4, v.y);
}

ZVector2 getVector(const unsigned char* in, unsigned long offset) {
    ZVector2 v;
    v.x = get<float>(in, offset);
    v.y = get<float>(in, offset + 4);
    return v;
}

void putFloats(unsigned char* out, unsigned long offset, const float* values, long count) {
    for (long i = 0; i < count; i++) put(out, offset + 4 * i, values[i]);
}

void getFloats(const unsigned char* in, unsigned long offset, float* values, long count) {
    for (long i = 0; i < count; i++) values[i] = get<float>(in, offset + 4 * i);
}

// Flag bytes count as set when they are not zero.
bool getFlag(const unsigned char* in, unsigned long offset) {
    return in[offset] != 0;
}

// Appends scrambled pieces, digesting each piece's plain bytes first.
class PieceWriter {
public:
    explicit PieceWriter(std::vector<unsigned char>& out) : m_out(out) {}
    void piece(const void* data, unsigned long length) {
        if (!length) return;
        size_t start = m_out.size();
        const unsigned char* bytes = static_cast<const unsigned char*>(data);
        m_out.insert(m_out.end(), bytes, bytes + length);
        m_digest.update(m_out.data() + start, length);
        CSavedGame::xorBuffer(m_out.data() + start, length);
    }
    void finish() {
        unsigned char digest[CSavedGame::kDigestSize];
        m_digest.finalize(digest);
        m_out.insert(m_out.end(), digest, digest + sizeof(digest));
    }

private:
    std::vector<unsigned char>& m_out;
    ZChecksum m_digest;
};

// Takes scrambled pieces off the body, unscrambled and digested; every length is checked
// against what remains before the digest.
class PieceReader {
public:
    PieceReader(const unsigned char* data, unsigned long end) : m_data(data), m_end(end) {}
    unsigned long remaining() const { return m_end - m_pos; }
    // Whether count pieces of width bytes each still fit.
    bool fits(int64_t count, unsigned long width) const {
        return count >= 0 && static_cast<uint64_t>(count) <= remaining() / width;
    }
    bool piece(unsigned char* out, unsigned long length) {
        if (length > remaining()) return false;
        memcpy(out, m_data + m_pos, length);
        m_pos += length;
        CSavedGame::xorBuffer(out, length);
        m_digest.update(out, length);
        return true;
    }
    bool piece(std::vector<unsigned char>& out, unsigned long length) {
        if (length > remaining()) return false;
        out.resize(length);
        return !length || piece(out.data(), length);
    }
    void finish(unsigned char* digest) { m_digest.finalize(digest); }

private:
    const unsigned char* m_data;
    unsigned long m_end;
    unsigned long m_pos = CSavedGame::kHeaderSize;
    ZChecksum m_digest;
};

// Every text of a command ends within its field, as replay reads them as texts.
void terminateCommandTexts(std::vector<unsigned char>& commands) {
    for (size_t base = 0; base + CSavedGame::kCommandSize <= commands.size();
         base += CSavedGame::kCommandSize)
        for (unsigned long field : {147, 247, 347, 447}) commands[base + field] = 0;
}

bool readSpriteBlock(const std::vector<unsigned char>& block,
                     std::vector<std::unique_ptr<CSpriteState>>& states) {
    size_t pos = 0;
    while (pos < block.size()) {
        size_t left = block.size() - pos;
        if (left < CSavedGame::kSpriteRecordSize) return false;
        const unsigned char* r = block.data() + pos;
        int64_t handlerSize = get<int64_t>(r, 432);
        int64_t offsetCount = get<int64_t>(r, 440);
        left -= CSavedGame::kSpriteRecordSize;
        if (offsetCount < 0 || offsetCount > CSavedGame::kMaxKeyAnchorOffsets ||
            static_cast<uint64_t>(offsetCount) > left / 8)
            return false;
        left -= static_cast<size_t>(offsetCount) * 8;
        if (handlerSize < 0 || static_cast<uint64_t>(handlerSize) > left) return false;

        std::unique_ptr<CSpriteState> s(new CSpriteState());
        s->setHashKey(get<int64_t>(r, 24));
        s->playMode = get<int64_t>(r, 48);
        s->visibilityOverride = getFlag(r, 56);
        s->hidden = getFlag(r, 57);
        s->time = get<double>(r, 64);
        s->targetTime = get<double>(r, 72);
        s->keyOffset = get<int64_t>(r, 80);
        s->currentKey = get<int64_t>(r, 88);
        s->scaleFactorX = get<float>(r, 96);
        s->scaleFactorY = get<float>(r, 100);
        s->angleOffset = get<float>(r, 104);
        s->brushFrameOffset = get<int64_t>(r, 112);
        s->pivotOffset = getVector(r, 120);
        s->anchorOffset = getVector(r, 128);
        s->rectOffsetTopLeft = getVector(r, 136);
        s->rectOffsetBottomRight = getVector(r, 144);
        s->dragStartAnchorOffset = getVector(r, 152);
        s->lightnessFactor = get<float>(r, 160);
        getFloats(r, 164, s->colorFactors, 4);
        s->speed = get<float>(r, 180);
        for (long i = 0; i < 4; i++) s->scriptValues[i] = get<int64_t>(r, 184 + 8 * i);
        s->keyFlags = get<uint64_t>(r, 216);
        s->reportedFlags = get<uint64_t>(r, 224);
        s->emissionDelay = get<double>(r, 232);
        s->emissionCountdown = get<double>(r, 240);
        s->emissionArcStart = get<float>(r, 248);
        s->emissionArcEnd = get<float>(r, 252);
        s->firstUpdate = getFlag(r, 256);
        s->inContainer = getFlag(r, 258);
        s->isCursor = getFlag(r, 259);
        s->isSecondaryCursor = getFlag(r, 260);
        s->dragging = getFlag(r, 261);
        s->carryMode = getFlag(r, 262);
        s->videoPaused = getFlag(r, 265);
        s->inputDisabled = getFlag(r, 266);
        s->dragStartPointer = getVector(r, 268);
        getText(r, 276, CSavedGame::kNameSize, s->dragName);
        getFloats(r, 376, s->color, 4);
        s->lightness = get<float>(r, 392);
        getFloats(r, 396, s->effectiveColor, 4);
        s->effectiveLightness = get<float>(r, 412);
        pos += CSavedGame::kSpriteRecordSize;

        delete[] s->keyAnchorOffsets;
        s->keyAnchorOffsets = nullptr;
        s->keyAnchorOffsetCount = offsetCount;
        if (offsetCount > 0) {
            s->keyAnchorOffsets = new ZVector2[offsetCount];
            for (int64_t i = 0; i < offsetCount; i++)
                s->keyAnchorOffsets[i] = getVector(block.data() + pos, 8 * i);
            pos += static_cast<size_t>(offsetCount) * 8;
        }
        if (handlerSize > 0) {
            s->handlerBlock = new unsigned char[handlerSize];
            memcpy(s->handlerBlock, block.data() + pos, static_cast<size_t>(handlerSize));
            s->handlerBlockSize = handlerSize;
            pos += static_cast<size_t>(handlerSize);
        }
        states.push_back(std::move(s));
    }
    return true;
}

}  // namespace

unsigned long CSavedGame::xorBuffer(void* buffer, unsigned long length) {
    if (!buffer) return 0;
    unsigned char* bytes = static_cast<unsigned char*>(buffer);
    unsigned char key = 0x71;
    for (unsigned long i = 0; i < length; i++) {
        bytes[i] ^= key;
        key = static_cast<unsigned char>(3 * key + i);
    }
    return length;
}

bool CSavedGame::isPlainName(const char* name) {
    return !strchr(name, '/') && !strchr(name, '\\') && !strstr(name, "..");
}

void CSavedGame::writeHeader(const Header& h, unsigned char* out) {
    memset(out, 0, kHeaderSize);
    put<uint64_t>(out, 0, kMagic);
    put<uint64_t>(out, 8, kVersion);
    put<int64_t>(out, 16, h.sceneCount);
    for (long i = 0; i < kLayers; i++) putText(out, 40 + kNameSize * i, kNameSize, h.layers[i]);
    putText(out, 940, kPathSize, h.music);
    putText(out, 1200, kPathSize, h.ambient);
    put<int64_t>(out, 1464, h.musicVolume);
    out[1472] = h.pointerLocked ? 1 : 0;
    out[1473] = h.musicMuted ? 1 : 0;
    out[1474] = h.ambientMuted ? 1 : 0;
    for (long i = 0; i < kFastValues; i++) put<int64_t>(out, 1480 + 8 * i, h.fastValues[i]);
    put<int64_t>(out, 1528, h.handlerStateSize);
    put<int64_t>(out, 1544, h.storedEventCount);
    put<int64_t>(out, 1552, h.variableCount);
    xorBuffer(out + 16, kHeaderSize - 16);
}

bool CSavedGame::readHeader(const unsigned char* data, unsigned long size, Header& h) {
    if (!data || size < kHeaderSize) return false;
    unsigned char in[kHeaderSize];
    memcpy(in, data, kHeaderSize);
    xorBuffer(in + 16, kHeaderSize - 16);
    if (get<uint64_t>(in, 0) != kMagic || get<uint64_t>(in, 8) != kVersion) return false;
    Header read;
    read.sceneCount = get<int64_t>(in, 16);
    read.handlerStateSize = get<int64_t>(in, 1528);
    read.storedEventCount = get<int64_t>(in, 1544);
    read.variableCount = get<int64_t>(in, 1552);
    if (read.sceneCount < 0 || read.handlerStateSize < 0 || read.storedEventCount < 0 ||
        read.variableCount < 0)
        return false;
    for (long i = 0; i < kLayers; i++) {
        getText(in, 40 + kNameSize * i, kNameSize, read.layers[i]);
        if (!isPlainName(read.layers[i])) return false;
    }
    getText(in, 940, kPathSize, read.music);
    getText(in, 1200, kPathSize, read.ambient);
    read.musicVolume = get<int64_t>(in, 1464);
    if (read.musicVolume < 0) read.musicVolume = 0;
    if (read.musicVolume > 100) read.musicVolume = 100;
    read.pointerLocked = getFlag(in, 1472);
    read.musicMuted = getFlag(in, 1473);
    read.ambientMuted = getFlag(in, 1474);
    for (long i = 0; i < kFastValues; i++) read.fastValues[i] = get<int64_t>(in, 1480 + 8 * i);
    h = read;
    return true;
}

void CSavedGame::appendSpriteState(const CSpriteState& s, unsigned long spriteId,
                                   std::vector<unsigned char>& block) {
    unsigned char r[kSpriteRecordSize] = {};
    put<int64_t>(r, 24, static_cast<int64_t>(spriteId));
    put<int64_t>(r, 40, static_cast<int64_t>(spriteId & 63));
    put<int64_t>(r, 48, s.playMode);
    r[56] = s.visibilityOverride;
    r[57] = s.hidden;
    put(r, 64, s.time);
    put(r, 72, s.targetTime);
    put<int64_t>(r, 80, s.keyOffset);
    put<int64_t>(r, 88, s.currentKey);
    put(r, 96, s.scaleFactorX);
    put(r, 100, s.scaleFactorY);
    put(r, 104, s.angleOffset);
    put<int64_t>(r, 112, s.brushFrameOffset);
    putVector(r, 120, s.pivotOffset);
    putVector(r, 128, s.anchorOffset);
    putVector(r, 136, s.rectOffsetTopLeft);
    putVector(r, 144, s.rectOffsetBottomRight);
    putVector(r, 152, s.dragStartAnchorOffset);
    put(r, 160, s.lightnessFactor);
    putFloats(r, 164, s.colorFactors, 4);
    put(r, 180, s.speed);
    for (long i = 0; i < 4; i++) put<int64_t>(r, 184 + 8 * i, s.scriptValues[i]);
    put<uint64_t>(r, 216, s.keyFlags);
    put<uint64_t>(r, 224, s.reportedFlags);
    put(r, 232, s.emissionDelay);
    put(r, 240, s.emissionCountdown);
    put(r, 248, s.emissionArcStart);
    put(r, 252, s.emissionArcEnd);
    r[256] = s.firstUpdate;
    r[258] = s.inContainer;
    r[259] = s.isCursor;
    r[260] = s.isSecondaryCursor;
    r[261] = s.dragging;
    r[262] = s.carryMode;
    r[265] = s.videoPaused;
    r[266] = s.inputDisabled;
    putVector(r, 268, s.dragStartPointer);
    putText(r, 276, kNameSize, s.dragName);
    putFloats(r, 376, s.color, 4);
    put(r, 392, s.lightness);
    putFloats(r, 396, s.effectiveColor, 4);
    put(r, 412, s.effectiveLightness);
    int64_t handlerSize = s.handlerBlock ? s.handlerBlockSize : 0;
    int64_t offsetCount = s.keyAnchorOffsets ? s.keyAnchorOffsetCount : 0;
    put<int64_t>(r, 432, handlerSize);
    put<int64_t>(r, 440, offsetCount);
    block.insert(block.end(), r, r + kSpriteRecordSize);
    for (int64_t i = 0; i < offsetCount; i++) {
        unsigned char v[8];
        putVector(v, 0, s.keyAnchorOffsets[i]);
        block.insert(block.end(), v, v + 8);
    }
    if (handlerSize > 0) block.insert(block.end(), s.handlerBlock, s.handlerBlock + handlerSize);
}

std::vector<unsigned char> CSavedGame::write() const {
    std::vector<unsigned char> out(kHeaderSize);
    Header h = header;
    h.sceneCount = static_cast<int64_t>(scenes.size());
    h.handlerStateSize = static_cast<int64_t>(handlerBlock.size());
    h.storedEventCount = static_cast<int64_t>(storedEvents.size());
    h.variableCount = static_cast<int64_t>(variables.size());
    writeHeader(h, out.data());

    PieceWriter writer(out);
    writer.piece(handlerBlock.data(), handlerBlock.size());
    unsigned char name[kNameSize];
    for (const Name& event : storedEvents) {
        putText(name, 0, kNameSize, event.data());
        writer.piece(name, kNameSize);
    }
    unsigned char value[kValueSize];
    for (const Variable& variable : variables) {
        putText(name, 0, kNameSize, variable.name);
        writer.piece(name, kNameSize);
        putText(value, 0, kValueSize, variable.value);
        writer.piece(value, kValueSize);
    }
    for (const Scene& scene : scenes) {
        unsigned char r[kSceneRecordSize] = {};
        putText(r, 0, kNameSize, scene.name);
        put<int64_t>(r, 104, static_cast<int64_t>(scene.storedEvents.size()));
        put<int64_t>(r, 112, static_cast<int64_t>(scene.scriptStrings.size()));
        put<int64_t>(r, 120, static_cast<int64_t>(scene.commands.size() / kCommandSize));
        for (long i = 0; i < kSceneScriptValues; i++)
            put<int64_t>(r, 128 + 8 * i, scene.scriptValues[i]);
        putText(r, 448, kPathSize, scene.music);
        putText(r, 708, kPathSize, scene.ambient);
        put<int64_t>(r, 968, static_cast<int64_t>(scene.spriteBlock.size()));
        writer.piece(r, kSceneRecordSize);
        for (const Name& event : scene.storedEvents) {
            putText(name, 0, kNameSize, event.data());
            writer.piece(name, kNameSize);
        }
        for (const ScriptString& string : scene.scriptStrings) {
            unsigned char index[4];
            put<uint32_t>(index, 0, string.index);
            writer.piece(index, 4);
            putText(value, 0, kValueSize, string.text);
            writer.piece(value, kValueSize);
        }
        writer.piece(scene.commands.data(), scene.commands.size() / kCommandSize * kCommandSize);
        writer.piece(scene.spriteBlock.data(), scene.spriteBlock.size());
    }
    writer.finish();
    return out;
}

bool CSavedGame::parse(const unsigned char* data, unsigned long size, CSavedGame& game,
                       unsigned char* digest) {
    if (!readHeader(data, size, game.header) || size < kHeaderSize + kDigestSize) return false;
    PieceReader reader(data, size - kDigestSize);

    if (!reader.fits(game.header.handlerStateSize, 1) ||
        !reader.piece(game.handlerBlock, static_cast<unsigned long>(game.header.handlerStateSize)))
        return false;
    unsigned char name[kNameSize];
    if (!reader.fits(game.header.storedEventCount, kNameSize)) return false;
    for (int64_t i = 0; i < game.header.storedEventCount; i++) {
        if (!reader.piece(name, kNameSize)) return false;
        Name event;
        getText(name, 0, kNameSize, event.data());
        game.storedEvents.push_back(event);
    }
    unsigned char value[kValueSize];
    if (!reader.fits(game.header.variableCount, kNameSize + kValueSize)) return false;
    game.variables.resize(static_cast<size_t>(game.header.variableCount));
    for (Variable& variable : game.variables) {
        if (!reader.piece(name, kNameSize) || !reader.piece(value, kValueSize)) return false;
        getText(name, 0, kNameSize, variable.name);
        getText(value, 0, kValueSize, variable.value);
    }
    if (!reader.fits(game.header.sceneCount, kSceneRecordSize)) return false;
    game.scenes.resize(static_cast<size_t>(game.header.sceneCount));
    for (Scene& scene : game.scenes) {
        unsigned char r[kSceneRecordSize];
        if (!reader.piece(r, kSceneRecordSize)) return false;
        getText(r, 0, kNameSize, scene.name);
        if (!isPlainName(scene.name)) return false;
        int64_t events = get<int64_t>(r, 104);
        int64_t strings = get<int64_t>(r, 112);
        int64_t commands = get<int64_t>(r, 120);
        for (long i = 0; i < kSceneScriptValues; i++)
            scene.scriptValues[i] = get<int64_t>(r, 128 + 8 * i);
        getText(r, 448, kPathSize, scene.music);
        getText(r, 708, kPathSize, scene.ambient);
        int64_t spriteBlockSize = get<int64_t>(r, 968);

        if (!reader.fits(events, kNameSize)) return false;
        for (int64_t i = 0; i < events; i++) {
            if (!reader.piece(name, kNameSize)) return false;
            Name event;
            getText(name, 0, kNameSize, event.data());
            scene.storedEvents.push_back(event);
        }
        if (!reader.fits(strings, 4 + kValueSize)) return false;
        scene.scriptStrings.resize(static_cast<size_t>(strings));
        for (ScriptString& string : scene.scriptStrings) {
            unsigned char index[4];
            if (!reader.piece(index, 4) || !reader.piece(value, kValueSize)) return false;
            string.index = get<uint32_t>(index, 0);
            getText(value, 0, kValueSize, string.text);
        }
        if (!reader.fits(commands, kCommandSize) ||
            !reader.piece(scene.commands, static_cast<unsigned long>(commands) * kCommandSize))
            return false;
        terminateCommandTexts(scene.commands);
        if (!reader.fits(spriteBlockSize, 1) ||
            !reader.piece(scene.spriteBlock, static_cast<unsigned long>(spriteBlockSize)))
            return false;
        if (!readSpriteBlock(scene.spriteBlock, scene.spriteStates)) return false;
    }
    if (reader.remaining() != 0) return false;
    reader.finish(digest);
    return true;
}

bool CSavedGame::read(const unsigned char* data, unsigned long size, int64_t handlerStateSize) {
    CSavedGame game;
    unsigned char digest[kDigestSize];
    if (!parse(data, size, game, digest)) return false;
    if (handlerStateSize >= 0 && game.header.handlerStateSize != handlerStateSize) return false;
    if (memcmp(digest, data + size - kDigestSize, kDigestSize) != 0) return false;
    *this = std::move(game);
    return true;
}

bool CSavedGame::computeDigest(const unsigned char* data, unsigned long size,
                               unsigned char* digest) {
    CSavedGame game;
    return parse(data, size, game, digest);
}
