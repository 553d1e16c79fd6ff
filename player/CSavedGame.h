#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "CSpriteState.h"

// The saved game file in memory: its header fields and every block of its body, in the player's
// own terms. read() parses a whole file into a fresh object and refuses it, changing nothing,
// unless every count fits the bytes that remain and the digest of the body matches; write()
// gives the bytes of a whole file. The player copies its state into one of these to save and
// out of one to restore.
class CSavedGame {
public:
    static constexpr uint64_t kMagic = 0x6A656E64;
    static constexpr uint64_t kVersion = 0x20140608;
    static constexpr unsigned long kHeaderSize = 1560;
    static constexpr unsigned long kSceneRecordSize = 976;
    static constexpr unsigned long kSpriteRecordSize = 464;
    static constexpr unsigned long kCommandSize = 448;
    static constexpr unsigned long kDigestSize = 16;
    static constexpr unsigned long kNameSize = 100;
    static constexpr unsigned long kPathSize = 260;
    static constexpr unsigned long kValueSize = 1024;
    static constexpr long kLayers = 9;
    static constexpr long kFastValues = 6;
    static constexpr long kSceneScriptValues = 40;
    static constexpr long kMaxKeyAnchorOffsets = 65536;

    typedef std::array<char, kNameSize> Name;

    struct Header {
        char layers[kLayers][kNameSize] = {};
        char music[kPathSize] = {};
        char ambient[kPathSize] = {};
        int64_t musicVolume = 100;
        bool pointerLocked = false;
        bool musicMuted = false;
        bool ambientMuted = false;
        int64_t fastValues[kFastValues] = {};
        int64_t handlerStateSize = 0;
        int64_t sceneCount = 0;
        int64_t storedEventCount = 0;
        int64_t variableCount = 0;
    };

    struct Variable {
        char name[kNameSize] = {};
        char value[kValueSize] = {};
    };

    struct ScriptString {
        uint32_t index = 0;
        char text[kValueSize] = {};
    };

    struct Scene {
        char name[kNameSize] = {};
        int64_t scriptValues[kSceneScriptValues] = {};
        char music[kPathSize] = {};
        char ambient[kPathSize] = {};
        std::vector<Name> storedEvents;
        std::vector<ScriptString> scriptStrings;
        std::vector<unsigned char> commands;     // kCommandSize bytes a command
        std::vector<unsigned char> spriteBlock;  // records as in the file, plain
        // Filled by read() from the sprite-state block, in its order.
        std::vector<std::unique_ptr<CSpriteState>> spriteStates;
    };

    Header header;
    std::vector<unsigned char> handlerBlock;
    std::vector<Name> storedEvents;
    std::vector<Variable> variables;
    std::vector<Scene> scenes;

    // Parses a whole file into this object. False, with this object left as it was, for a file
    // that is short, long, has a bad header, a count that overruns it, a scene name that is a
    // path, a handler state size other than handlerStateSize (when that is not negative), or a
    // digest that does not match its body.
    bool read(const unsigned char* data, unsigned long size, int64_t handlerStateSize);
    // The bytes of the whole file; the counts of the header are taken from the blocks.
    std::vector<unsigned char> write() const;

    // Unscrambles and checks the first kHeaderSize bytes of a file; false for a bad header.
    static bool readHeader(const unsigned char* data, unsigned long size, Header& header);
    // The scrambled header bytes of these fields.
    static void writeHeader(const Header& header, unsigned char* out);
    // Appends a sprite state's record, its key anchor offsets and its handler block.
    static void appendSpriteState(const CSpriteState& state, unsigned long spriteId,
                                  std::vector<unsigned char>& block);
    // XORs the buffer with the keystream from its start; the length, 0 for none.
    static unsigned long xorBuffer(void* buffer, unsigned long length);
    // A scene name that is a name, not a path: no "/", "\" or "..".
    static bool isPlainName(const char* name);
    // The digest that the body of a file should end with, for a file whose blocks fit it; for
    // tools that seal an edited file again.
    static bool computeDigest(const unsigned char* data, unsigned long size, unsigned char* digest);

private:
    // Parses the header and the body into game and digests the body; false when they do not
    // fit the file.
    static bool parse(const unsigned char* data, unsigned long size, CSavedGame& game,
                      unsigned char* digest);
};
