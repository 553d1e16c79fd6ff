#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "../ui/RecordingGraphic.h"
#include "../ui/RecordingLog.h"
#include "../ui/RecordingWindow.h"
#include "CPlayer.h"

// Taken from the start of a decoding graphic's construction to the end of its destruction (it
// is the graphic's first base): the recording graphic's counters are plain, and loader threads
// make graphics while the main thread frees others.
struct GraphicCountersLock {
    GraphicCountersLock();
    ~GraphicCountersLock();
    static void acquire();
    static void release();
};

// A recording graphic that decodes real picture files in its first phase, on whichever thread
// asks, and writes "upload <file>" to the recording log in its second. Decodes can be slowed
// down, standing for a slow archive.
class DecodingGraphic : private GraphicCountersLock, public RecordingGraphic {
public:
    DecodingGraphic() { GraphicCountersLock::release(); }
    ~DecodingGraphic() override { GraphicCountersLock::acquire(); }
    static std::atomic<long> decodeDelayMs;
    static std::atomic<long> decodes;
    std::string file;

    bool loadPicture(const char* path, bool trueColor, bool alpha, bool splice, long phase,
                     ZGraphicSpliceStruct* splices) override;
    bool loadPictureWithMask(const char* colorPath, const char* maskPath, bool trueColor,
                             bool splice, long phase, ZGraphicSpliceStruct* splices) override;
    bool makePictureFromArray(uint32_t* pixels, long w, long h, bool trueColor, bool alpha,
                              bool splice, ZGraphicSpliceStruct* splices) override;

private:
    bool decode(const char* path);
};

// The player on a recording window, with a test's own scene data: files given to add() are
// packed into a zip beside the test program and mounted, as data.pak is for the game.
class TestPlayer : public CPlayer {
public:
    explicit TestPlayer(ZWindow* window);
    ~TestPlayer() override;
    void abortOnFile(const char* path) override { aborted.push_back(path ? path : ""); }
    std::vector<std::string> aborted;
};

class PlayerFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // The window the player draws on; the UI tree is on the fixture's own.
    virtual ZWindow* playerWindow() { return &window; }

    // A file of the test's data, by its name in the archive ("data/scenes/x.ini").
    void add(const std::string& name, const std::string& bytes) { m_files[name] = bytes; }
    // A picture of one colour (0xAARRGGBB), in the format of the name's extension.
    void addPicture(const std::string& name, long width, long height, uint32_t argb);
    // Writes the files added since the last call into an archive of their own and mounts it.
    void mount();

    // Loads, uploads and inserts a scene at a layer, as the game's start does.
    CScene* play(const char* name, long layer = 0);
    // Runs frames of the given length through the player's update and drawing.
    void frames(long count, double ms = 1000.0 / 60.0);

    static std::string encodePicture(long width, long height, uint32_t argb, long format);
    // Element of a sprite's name in a scene ("sprite_<scene>_<sprite>").
    static ZUIElement* element(const std::string& scene, const std::string& sprite);

    RecordingWindow window;
    TestPlayer* player = nullptr;

private:
    std::map<std::string, std::string> m_files;
    std::vector<std::string> m_archives;
};
