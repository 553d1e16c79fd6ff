#include "CSavedGame.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "KilledWriter.h"
#include "TempDir.h"
#include "ZMiscTools.h"

namespace {

typedef std::vector<unsigned char> Bytes;

CSavedGame::Name name(const char* text) {
    CSavedGame::Name n{};
    snprintf(n.data(), n.size(), "%s", text);
    return n;
}

// A sprite state with every field away from its reset value.
void fillSpriteState(CSpriteState& s, long seed) {
    s.playMode = 2;
    s.visibilityOverride = true;
    s.hidden = true;
    s.time = 1234.5 + seed;
    s.targetTime = 2000.25;
    s.keyOffset = 3;
    s.currentKey = 7;
    s.scaleFactorX = 1.5f;
    s.scaleFactorY = -0.5f;
    s.angleOffset = 45;
    s.brushFrameOffset = 2;
    s.pivotOffset = {1, 2};
    s.anchorOffset = {3, 4};
    s.rectOffsetTopLeft = {5, 6};
    s.rectOffsetBottomRight = {7, 8};
    s.dragStartAnchorOffset = {9, 10};
    s.lightnessFactor = 0.75f;
    for (long i = 0; i < 4; i++) s.colorFactors[i] = 0.1f * (i + 1);
    s.speed = 2;
    for (long i = 0; i < 4; i++) s.scriptValues[i] = -(i + 1) * 1000000000000L;
    s.keyFlags = 0x8000000000000001ull;
    s.reportedFlags = 0x42;
    s.emissionDelay = 16.5;
    s.emissionCountdown = 3.25;
    s.emissionArcStart = 10;
    s.emissionArcEnd = 170;
    s.firstUpdate = false;
    s.inContainer = true;
    s.isCursor = true;
    s.isSecondaryCursor = true;
    s.dragging = true;
    s.carryMode = true;
    s.videoPaused = true;
    s.inputDisabled = true;
    s.dragStartPointer = {11, 12};
    snprintf(s.dragName, sizeof(s.dragName), "key%ld", seed);
    for (long i = 0; i < 4; i++) s.color[i] = 0.2f * i;
    s.lightness = 0.5f;
    for (long i = 0; i < 4; i++) s.effectiveColor[i] = 0.3f * i;
    s.effectiveLightness = 0.25f;
}

// Every level filled: handler block, stored events, variables, two scenes, the first with
// events, script strings, commands and two sprite states (one with three key anchor offsets
// and a 12-byte handler block, one with neither).
CSavedGame richGame() {
    CSavedGame g;
    snprintf(g.header.layers[0], 100, "meadow");
    snprintf(g.header.layers[1], 100, "hud");
    snprintf(g.header.layers[8], 100, "cursor");
    snprintf(g.header.music, 260, "theme.mp3");
    snprintf(g.header.ambient, 260, "wind.wav");
    g.header.musicVolume = 70;
    g.header.pointerLocked = true;
    g.header.musicMuted = true;
    g.header.ambientMuted = true;
    for (long i = 0; i < 6; i++) g.header.fastValues[i] = (i % 2 ? -1 : 1) * (i + 1) * 1000;
    g.handlerBlock = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    g.storedEvents = {name("broadcast:door"), name("broadcast:key")};
    g.variables.resize(2);
    snprintf(g.variables[0].name, 100, "coins");
    snprintf(g.variables[0].value, 1024, "42");
    snprintf(g.variables[1].name, 100, "hero");
    memset(g.variables[1].value, 'x', 1023);

    g.scenes.resize(2);
    CSavedGame::Scene& a = g.scenes[0];
    snprintf(a.name, 100, "meadow");
    for (long i = 0; i < 40; i++) a.scriptValues[i] = i * 3 - 50;
    snprintf(a.music, 260, "meadow.mp3");
    snprintf(a.ambient, 260, "birds.wav");
    a.storedEvents = {name("broadcast:rain"), name("broadcast:sun")};
    a.scriptStrings.resize(2);
    a.scriptStrings[0].index = 5;
    snprintf(a.scriptStrings[0].text, 1024, "five");
    a.scriptStrings[1].index = 0xFFFFFFFFu;
    snprintf(a.scriptStrings[1].text, 1024, "minus one");
    a.commands.assign(2 * CSavedGame::kCommandSize, 0);
    for (size_t i = 0; i < a.commands.size(); i++)
        if (i % CSavedGame::kCommandSize < 48) a.commands[i] = static_cast<unsigned char>(i);
    memcpy(&a.commands[48], "text one", 8);

    CSpriteState first, second;
    fillSpriteState(first, 1);
    delete[] first.keyAnchorOffsets;
    first.keyAnchorOffsetCount = 3;
    first.keyAnchorOffsets = new ZVector2[3]{{1, -1}, {2, -2}, {3, -3}};
    first.handlerBlockSize = 12;
    first.handlerBlock = new unsigned char[12]{9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 1, 2};
    fillSpriteState(second, 2);
    delete[] second.keyAnchorOffsets;
    second.keyAnchorOffsets = nullptr;
    second.keyAnchorOffsetCount = 0;
    CSavedGame::appendSpriteState(first, 0x1234, a.spriteBlock);
    CSavedGame::appendSpriteState(second, 77, a.spriteBlock);

    snprintf(g.scenes[1].name, 100, "cave");
    return g;
}

// Where the pieces of richGame()'s file start.
struct Layout {
    static constexpr unsigned long handler = CSavedGame::kHeaderSize;
    static constexpr unsigned long events = handler + 12;
    static constexpr unsigned long variables = events + 2 * 100;
    static constexpr unsigned long sceneA = variables + 2 * (100 + 1024);
    static constexpr unsigned long sceneEvents = sceneA + CSavedGame::kSceneRecordSize;
    static constexpr unsigned long strings = sceneEvents + 2 * 100;
    static constexpr unsigned long commands = strings + 2 * (4 + 1024);
    static constexpr unsigned long sprites = commands + 2 * CSavedGame::kCommandSize;
    static constexpr unsigned long secondSprite = sprites + 464 + 3 * 8 + 12;
    static constexpr unsigned long sceneB = secondSprite + 464;
    static constexpr unsigned long digest = sceneB + CSavedGame::kSceneRecordSize;
    static constexpr unsigned long size = digest + 16;
};

// Unscrambles a piece, lets edit change its plain bytes, scrambles it again.
void editPiece(Bytes& file, unsigned long offset, unsigned long length,
               const std::function<void(unsigned char*)>& edit) {
    CSavedGame::xorBuffer(file.data() + offset, length);
    edit(file.data() + offset);
    CSavedGame::xorBuffer(file.data() + offset, length);
}

void put64(unsigned char* at, int64_t value) {
    memcpy(at, &value, 8);
}

// The digest made to fit the edited body again.
void seal(Bytes& file) {
    unsigned char digest[16];
    ASSERT_TRUE(CSavedGame::computeDigest(file.data(), file.size(), digest));
    memcpy(file.data() + file.size() - 16, digest, 16);
}

bool reads(const Bytes& file, CSavedGame* into = nullptr) {
    CSavedGame game;
    return (into ? into : &game)->read(file.data(), file.size(), -1);
}

void expectSameSpriteState(const CSpriteState& a, const CSpriteState& b) {
    Bytes left, right;
    CSavedGame::appendSpriteState(a, 1, left);
    CSavedGame::appendSpriteState(b, 1, right);
    EXPECT_EQ(left, right);
}

}  // namespace

TEST(SavedGameFile, RoundTripKeepsEveryField) {
    CSavedGame written = richGame();
    Bytes file = written.write();
    ASSERT_EQ(file.size(), Layout::size);
    // Bytes 0 to 15 stay plain; a zero name is written as the keystream itself.
    uint64_t magic;
    memcpy(&magic, file.data(), 8);
    EXPECT_EQ(magic, CSavedGame::kMagic);
    unsigned char keystream[100] = {};
    CSavedGame::xorBuffer(keystream, sizeof(keystream));
    CSavedGame blank;
    blank.storedEvents = {name("")};
    Bytes blankFile = blank.write();
    EXPECT_EQ(memcmp(blankFile.data() + CSavedGame::kHeaderSize, keystream, 100), 0);

    CSavedGame read;
    ASSERT_TRUE(read.read(file.data(), file.size(), 12));
    EXPECT_EQ(read.write(), file);
    EXPECT_STREQ(read.header.layers[0], "meadow");
    EXPECT_STREQ(read.header.layers[8], "cursor");
    EXPECT_STREQ(read.header.ambient, "wind.wav");
    EXPECT_EQ(read.header.musicVolume, 70);
    EXPECT_TRUE(read.header.pointerLocked && read.header.musicMuted && read.header.ambientMuted);
    EXPECT_EQ(read.header.fastValues[5], -6000);
    EXPECT_EQ(read.handlerBlock, written.handlerBlock);
    ASSERT_EQ(read.storedEvents.size(), 2u);
    EXPECT_STREQ(read.storedEvents[1].data(), "broadcast:key");
    ASSERT_EQ(read.variables.size(), 2u);
    EXPECT_EQ(strlen(read.variables[1].value), 1023u);
    ASSERT_EQ(read.scenes.size(), 2u);
    const CSavedGame::Scene& a = read.scenes[0];
    EXPECT_EQ(a.scriptValues[39], 39 * 3 - 50);
    EXPECT_STREQ(a.music, "meadow.mp3");
    EXPECT_EQ(a.scriptStrings[1].index, 0xFFFFFFFFu);
    EXPECT_STREQ(a.scriptStrings[1].text, "minus one");
    EXPECT_EQ(a.commands, written.scenes[0].commands);

    ASSERT_EQ(a.spriteStates.size(), 2u);
    CSpriteState expected;
    fillSpriteState(expected, 1);
    const CSpriteState& first = *a.spriteStates[0];
    EXPECT_EQ(first.hashKey, 0x1234);
    EXPECT_STREQ(first.dragName, "key1");
    EXPECT_EQ(first.keyFlags, expected.keyFlags);
    EXPECT_EQ(first.scriptValues[3], expected.scriptValues[3]);
    ASSERT_EQ(first.keyAnchorOffsetCount, 3);
    EXPECT_EQ(first.keyAnchorOffsets[2].y, -3);
    ASSERT_EQ(first.handlerBlockSize, 12);
    EXPECT_EQ(first.handlerBlock[0], 9);
    const CSpriteState& second = *a.spriteStates[1];
    EXPECT_EQ(second.hashKey, 77);
    EXPECT_EQ(second.handlerBlock, nullptr);
    EXPECT_EQ(second.keyAnchorOffsetCount, 0);
    EXPECT_TRUE(second.hidden && second.inputDisabled && !second.firstUpdate);
    EXPECT_TRUE(read.scenes[1].spriteStates.empty() && read.scenes[1].commands.empty());
}

TEST(SavedGameFile, HeaderAloneAndItsPatchKeepTheDigestValid) {
    Bytes file = richGame().write();
    CSavedGame::Header header;
    ASSERT_TRUE(CSavedGame::readHeader(file.data(), file.size(), header));
    EXPECT_EQ(header.sceneCount, 2);
    snprintf(header.layers[0], 100, "elsewhere");
    header.fastValues[2] = 99;
    CSavedGame::writeHeader(header, file.data());
    CSavedGame read;
    ASSERT_TRUE(read.read(file.data(), file.size(), -1));
    EXPECT_STREQ(read.header.layers[0], "elsewhere");
    EXPECT_EQ(read.header.fastValues[2], 99);

    // The digest guards the body only: a changed digest still passes the header check.
    file.back() ^= 1;
    EXPECT_TRUE(CSavedGame::readHeader(file.data(), file.size(), header));
    EXPECT_FALSE(reads(file));
}

// A damaged file is refused, and the object it was read into stays as it was.
TEST(SavedGameFile, DamagedFilesAreRefusedAndChangeNothing) {
    const Bytes good = richGame().write();
    struct Case {
        const char* what;
        std::function<void(Bytes&)> damage;
    };
    auto header = [](int64_t CSavedGame::Header::*field, int64_t value) {
        return [=](Bytes& f) {
            CSavedGame::Header h;
            ASSERT_TRUE(CSavedGame::readHeader(f.data(), f.size(), h));
            h.*field = value;
            CSavedGame::writeHeader(h, f.data());
            // writeHeader takes the counts as given.
        };
    };
    auto field = [](unsigned long piece, unsigned long length, unsigned long at, int64_t value) {
        return [=](Bytes& f) {
            editPiece(f, piece, length, [&](unsigned char* p) { put64(p + at, value); });
        };
    };
    auto flip = [](unsigned long at) { return [=](Bytes& f) { f[at] ^= 0x20; }; };
    const unsigned long sprites = Layout::secondSprite - Layout::sprites + 464;
    const int64_t huge = INT64_MAX;
    std::vector<Case> cases = {
        {"digest changed", flip(Layout::digest + 5)},
        {"byte added", [](Bytes& f) { f.push_back(0); }},
        {"magic", flip(2)},
        {"version", flip(9)},
        {"scene count raised", header(&CSavedGame::Header::sceneCount, 3)},
        {"scene count huge", header(&CSavedGame::Header::sceneCount, huge)},
        {"scene count negative", header(&CSavedGame::Header::sceneCount, -1)},
        {"event count raised", header(&CSavedGame::Header::storedEventCount, 3)},
        {"event count huge", header(&CSavedGame::Header::storedEventCount, huge / 50)},
        {"variable count raised", header(&CSavedGame::Header::variableCount, 3)},
        {"variable count huge", header(&CSavedGame::Header::variableCount, huge)},
        {"handler size raised", header(&CSavedGame::Header::handlerStateSize, 13)},
        {"handler size huge", header(&CSavedGame::Header::handlerStateSize, huge)},
        {"scene events raised", field(Layout::sceneA, 976, 104, 3)},
        {"scene events huge", field(Layout::sceneA, 976, 104, huge)},
        {"script strings raised", field(Layout::sceneA, 976, 112, 3)},
        {"script strings negative", field(Layout::sceneA, 976, 112, -2)},
        {"commands raised", field(Layout::sceneA, 976, 120, 3)},
        {"commands huge", field(Layout::sceneA, 976, 120, huge / 448 + 1)},
        {"sprite block raised", field(Layout::sceneA, 976, 968, sprites + 1)},
        {"sprite block huge", field(Layout::sceneA, 976, 968, huge)},
        {"sprite block negative", field(Layout::sceneA, 976, 968, -464)},
        {"key anchor count raised", field(Layout::sprites, sprites, 440, 4)},
        {"key anchor count huge", field(Layout::sprites, sprites, 440, huge / 8 + 1)},
        {"key anchor count negative", field(Layout::sprites, sprites, 440, -1)},
        {"sprite handler raised", field(Layout::sprites, sprites, 432, 13)},
        {"sprite handler huge", field(Layout::sprites, sprites, 432, huge)},
        {"last sprite handler raised", field(Layout::sprites, sprites, 500 + 432, 1)},
        {"scene name a path",
         [](Bytes& f) {
             editPiece(f, Layout::sceneB, 976, [](unsigned char* p) { memcpy(p, "../cave", 8); });
         }},
        {"layer name with a slash",
         [](Bytes& f) {
             CSavedGame::Header h;
             ASSERT_TRUE(CSavedGame::readHeader(f.data(), f.size(), h));
             snprintf(h.layers[3], 100, "scenes/x");
             CSavedGame::writeHeader(h, f.data());
         }},
    };
    // One byte flipped in each block of the body.
    for (unsigned long at :
         {Layout::handler + 3, Layout::events + 50, Layout::variables + 10,
          Layout::variables + 100 + 500, Layout::sceneA + 130, Layout::sceneEvents + 1,
          Layout::strings + 2, Layout::strings + 300, Layout::commands + 449, Layout::sprites + 60,
          Layout::secondSprite + 463, Layout::sceneB + 975})
        cases.push_back({"body byte flipped", flip(at)});
    // Truncated at many points, block edges among them.
    for (unsigned long size = 0; size < good.size(); size += size < 1600 ? 7 : 113)
        cases.push_back({"truncated", [size](Bytes& f) { f.resize(size); }});
    for (unsigned long size :
         {Layout::handler, Layout::sceneA, Layout::sprites, Layout::digest, Layout::size - 1})
        cases.push_back({"truncated at a block edge", [size](Bytes& f) { f.resize(size); }});

    for (const Case& c : cases) {
        Bytes file = good;
        c.damage(file);
        CSavedGame target = richGame();
        snprintf(target.header.layers[0], 100, "untouched");
        Bytes before = target.write();
        EXPECT_FALSE(target.read(file.data(), file.size(), 12)) << c.what;
        EXPECT_EQ(target.write(), before) << c.what;
    }

    // A handler state size that differs from the running handlers' refuses a sound file.
    CSavedGame target;
    EXPECT_FALSE(target.read(good.data(), good.size(), 8));
    EXPECT_TRUE(target.read(good.data(), good.size(), 12));
}

// Bytes as the file holds them, not as the writer would make them: texts without an end and
// flags other than 1.
TEST(SavedGameFile, UnterminatedTextsEndInTheirFieldAndFlagsAreNonZero) {
    Bytes file = richGame().write();
    editPiece(file, Layout::variables + 100, 1024, [](unsigned char* p) { memset(p, 'v', 1024); });
    editPiece(file, Layout::sceneA, 976, [](unsigned char* p) { memset(p, 'n', 100); });
    editPiece(file, Layout::commands, 896, [](unsigned char* p) { memset(p + 48, 't', 400); });
    editPiece(file, Layout::secondSprite, 464, [](unsigned char* p) {
        p[57] = 0x80;
        p[266] = 2;
        memset(p + 276, 'd', 100);
    });
    seal(file);
    CSavedGame read;
    ASSERT_TRUE(read.read(file.data(), file.size(), -1));
    EXPECT_EQ(strlen(read.variables[0].value), 1023u);
    EXPECT_EQ(strlen(read.scenes[0].name), 99u);
    const unsigned char* command = read.scenes[0].commands.data();
    for (unsigned long text : {48, 148, 248, 348})
        EXPECT_EQ(strnlen(reinterpret_cast<const char*>(command + text), 100), 99u);
    const CSpriteState& s = *read.scenes[0].spriteStates[1];
    EXPECT_TRUE(s.hidden);
    EXPECT_TRUE(s.inputDisabled);
    EXPECT_EQ(strlen(s.dragName), 99u);
}

// A writer killed at any moment leaves on disk the old save or the new one, whole.
TEST(SavedGameFile, WriterKilledAtRandomMomentsLeavesAWholeSave) {
    TempDir dir;
    const std::string path = dir.file("game01.sav");
    // Saves of different sizes, told apart by a variable.
    auto generation = [](long n) {
        CSavedGame g = richGame();
        snprintf(g.variables[0].value, 1024, "%ld", n);
        CSpriteState s;
        fillSpriteState(s, n);
        for (long i = 0; i < 200 + (n % 5) * 100; i++)
            CSavedGame::appendSpriteState(s, static_cast<unsigned long>(i),
                                          g.scenes[1].spriteBlock);
        return g.write();
    };
    Bytes initial = generation(0);
    ASSERT_TRUE(
        ZMiscTools::writeFileReplacing(path.c_str(), initial.data(), initial.size(), nullptr, 0));
    KilledWriter::run(
        200, 20140608, 0,
        [&](long n) {
            Bytes bytes = generation(n);
            ZMiscTools::writeFileReplacing(path.c_str(), bytes.data(), bytes.size(), nullptr, 0);
        },
        [&]() -> long {
            std::string contents = readFile(path);
            Bytes file(contents.begin(), contents.end());
            CSavedGame read;
            if (!read.read(file.data(), file.size(), -1)) return -1;
            long seen = atol(read.variables[0].value);
            return file == generation(seen) ? seen : -1;
        });
}
