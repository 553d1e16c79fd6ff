// The video player without a display: header parsing, playback on a clock the test moves,
// loops, seeks, alpha pairing and the sound track on OpenAL's null device. Every open video runs
// a decode thread.
#include <gtest/gtest.h>
#include <ogg/ogg.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "../sound/SoundTestSupport.h"
#include "LoggedMessages.h"
#include "PixelWords.h"
#include "TempDir.h"
#include "VideoFileSupport.h"
#include "VideoTestSupport.h"
#include "ZSound.h"
#include "ZVideo.h"

using VideoFile::Layout;
using VideoTest::inFrame;
using VideoTest::ManualClock;
using VideoTest::showFrameAt;
using VideoTest::shownPixel;

namespace {

bool near(uint32_t actual, uint32_t expected, int tolerance) {
    for (int k = 0; k < 3; k++)
        if (std::abs(static_cast<int>(channel(actual, k)) -
                     static_cast<int>(channel(expected, k))) > tolerance)
            return false;
    return true;
}

::testing::AssertionResult pixelNear(uint32_t actual, uint32_t expected, int tolerance = 8) {
    if (near(actual, expected, tolerance)) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << describePixel(actual) << " is not within " << tolerance
                                         << " of " << describePixel(expected);
}

bool contains(const std::vector<std::string>& lines, const std::string& text) {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.find(text) != std::string::npos;
    });
}

// The comment header of the Theora stream made unreadable on a page whose checksum still holds.
std::string withBadTheoraComment(std::string data) {
    size_t at = data.find("\x81theora");
    if (at == std::string::npos) return data;
    // The vendor string's length (little-endian, after the 7-byte packet type) becomes huge.
    data[at + 7] = data[at + 8] = data[at + 9] = static_cast<char>(0xFF);
    data[at + 10] = 0x7F;
    size_t page = data.rfind("OggS", at);
    unsigned char* bytes = reinterpret_cast<unsigned char*>(&data[page]);
    long segments = bytes[26];
    long body = 0;
    for (long i = 0; i < segments; i++) body += bytes[27 + i];
    ogg_page og;
    og.header = bytes;
    og.header_len = 27 + segments;
    og.body = bytes + og.header_len;
    og.body_len = body;
    ogg_page_checksum_set(&og);
    return data;
}

class ZVideoThreadTest : public ::testing::Test {
protected:
    void TearDown() override { ZSound::cleanup(); }

    std::string write(const std::string& name, const Layout& layout) {
        return VideoTest::writeVideo(m_dir, name, layout);
    }

    TempDir m_dir;
};

TEST_F(ZVideoThreadTest, HeadersGiveTheStreamsAndThePictureSize) {
    struct Case {
        const char* name;
        Layout layout;
        bool withSound;
        float width, height;
        bool picture, sound;
        uint64_t frames;
        double seconds;
    };
    Layout plain;
    Layout offset;
    offset.width = 33, offset.height = 19, offset.offsetX = 3, offset.offsetY = 5;
    offset.pixelFormat = 2, offset.frames = 6;
    Layout full;
    full.width = 17, full.height = 9, full.offsetX = 1, full.offsetY = 7, full.pixelFormat = 3;
    full.fpsNumerator = 2, full.frames = 4;
    Layout slow;
    slow.fpsNumerator = 1, slow.frames = 3, slow.channels = 2;
    Layout soundOnly;
    soundOnly.frames = 0, soundOnly.channels = 1, soundOnly.soundSeconds = 0.5;
    const Case cases[] = {
        {"4:2:0 at 10 fps", plain, false, 32, 24, true, false, 10, 1.0},
        {"4:2:2 at an odd offset", offset, false, 33, 19, true, false, 6, 0.6},
        {"4:4:4 at 2 fps", full, false, 17, 9, true, false, 4, 2.0},
        {"stereo at 1 fps", slow, true, 32, 24, true, true, 3, 3.0},
        {"the sound track is left alone without a sound", slow, false, 32, 24, true, false, 3, 3.0},
        {"sound only", soundOnly, true, 0, 0, false, true, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = write("video.ogv", c.layout);
        ZSound sound;
        ZVideo video;
        std::vector<std::string> log = loggedMessages([&]() {
            ASSERT_TRUE(video.openVideo(path.c_str(), true, nullptr, c.withSound ? &sound : nullptr,
                                        false, true, -1));
        });
        EXPECT_EQ(video.getFrameWidth(), c.width);
        EXPECT_EQ(video.getFrameHeight(), c.height);
        EXPECT_EQ(video.hasPicture(), c.picture);
        EXPECT_EQ(video.hasSound(), c.sound);
        EXPECT_EQ(video.getTotalFrames(), c.frames);
        EXPECT_NEAR(video.getTotalTime(), c.seconds, 1e-9);
        EXPECT_EQ(contains(log, "no video stream found, WARNING"), !c.picture);
        EXPECT_EQ(video.getZGraphic(), nullptr) << "no graphic without a renderer";
    }
}

TEST_F(ZVideoThreadTest, FilesThatCannotPlayFail) {
    Layout layout;
    std::string good = VideoFile::make(layout);
    struct Case {
        const char* name;
        std::string file;
        std::string data;
        long format;
        const char* message;
    };
    const Case cases[] = {
        {"missing file", "missing.ogv", "", -1, nullptr},
        {"another extension", "video.avi", good, -1, nullptr},
        {"another format", "video.ogv", good, 1, nullptr},
        {"empty file", "empty.ogv", "", -1, "end of file while searching for codec headers, ERROR"},
        {"cut in the headers", "cut.ogv", good.substr(0, 120), -1,
         "end of file while searching for codec headers, ERROR"},
        {"no Ogg pages", "noise.ogg", std::string(9000, '\x5A'), -1,
         "end of file while searching for codec headers, ERROR"},
        {"bad comment header", "bad.ogv", withBadTheoraComment(good), -1,
         "error parsing Theora stream headers; corrupt stream?"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = m_dir.file(c.file);
        if (strcmp(c.file.c_str(), "missing.ogv") != 0) writeFile(path, c.data);
        for (bool preload : {true, false}) {
            ZVideo video;
            std::vector<std::string> log = loggedMessages([&]() {
                EXPECT_FALSE(video.openVideo(path.c_str(), preload, nullptr, nullptr, false, false,
                                             c.format));
            });
            if (c.message) {
                EXPECT_TRUE(contains(log, c.message)) << preload;
            }
            EXPECT_FALSE(video.isOpened());
            EXPECT_EQ(video.getFrameWidth(), 0);
        }
    }
    ZVideo video;
    EXPECT_FALSE(video.openVideoFromPointer(reinterpret_cast<const unsigned char*>(good.data()),
                                            good.size(), -1, nullptr, nullptr, false, false));
    EXPECT_TRUE(video.openVideoFromPointer(reinterpret_cast<const unsigned char*>(good.data()),
                                           good.size(), 0, nullptr, nullptr, false, false));
    EXPECT_STREQ(video.getName(), "buffer");
}

TEST_F(ZVideoThreadTest, DetectFormat) {
    const std::pair<const char*, long> cases[] = {{"a.ogv", 0},  {"A.OGG", 0}, {"a.ogv.txt", -1},
                                                  {"a.mp4", -1}, {"ogv", -1},  {nullptr, -1}};
    for (const auto& c : cases) EXPECT_EQ(ZVideo::detectFormat(c.first), c.second) << c.first;
}

TEST_F(ZVideoThreadTest, FramesShowInTheirOwnTimeToTheEnd) {
    struct Case {
        const char* name;
        Layout layout;
    };
    Layout plain;
    plain.frames = 7;
    Layout offset;
    offset.width = 35, offset.height = 21, offset.offsetX = 5, offset.offsetY = 3;
    offset.frames = 5;
    offset.colours = {0xFFFF00, 0x00FFFF, 0x202020, 0xFFFFFF};
    Layout chroma422 = offset;
    chroma422.pixelFormat = 2;
    Layout chroma444 = offset;
    chroma444.pixelFormat = 3, chroma444.offsetX = 1, chroma444.offsetY = 9;
    const Case cases[] = {{"4:2:0", plain},
                          {"4:2:0 odd size and offset", offset},
                          {"4:2:2", chroma422},
                          {"4:4:4", chroma444}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Layout& layout = c.layout;
        std::string path = write("play.ogv", layout);
        ZVideo video;
        ManualClock clock;
        clock.attach(video);
        ASSERT_TRUE(video.openVideo(path.c_str(), false, nullptr, nullptr, false, false, 0));
        long w = static_cast<long>(video.getFrameWidth()),
             h = static_cast<long>(video.getFrameHeight());
        for (long k = 0; k < layout.frames; k++) {
            SCOPED_TRACE(k);
            ASSERT_TRUE(showFrameAt(video, clock, inFrame(layout, k), static_cast<uint64_t>(k)));
            uint32_t expected = VideoFile::rgbaOf(VideoFile::colourOf(layout, k));
            // The corners and the centre: the picture's region, not the frame's padding.
            for (auto xy :
                 {std::make_pair(0L, 0L), {w - 1, 0}, {0, h - 1}, {w - 1, h - 1}, {w / 2, h / 2}})
                EXPECT_TRUE(pixelNear(shownPixel(video, xy.first, xy.second), expected))
                    << xy.first << "," << xy.second;
            EXPECT_EQ(channel(shownPixel(video, w / 2, h / 2), 3), 255u);
            // The next frame is not due yet; the end comes once the last frame is shown.
            for (int i = 0; i < 20; i++) video.readFrame();
            EXPECT_EQ(video.getFrame(), static_cast<uint64_t>(k));
            EXPECT_EQ(video.isEndReached(), k == layout.frames - 1);
        }
        clock.now = inFrame(layout, layout.frames + 1);
        EXPECT_TRUE(SoundTest::waitFor(
            [&]() {
                video.readFrame();
                return video.isEndReached();
            },
            5000));
        EXPECT_EQ(video.getFrame(), static_cast<uint64_t>(layout.frames - 1));
        EXPECT_EQ(video.getDecodedFrames(), layout.frames);
        EXPECT_EQ(video.getDroppedFrames(), 0);
    }
}

TEST_F(ZVideoThreadTest, LateFramesAreDroppedAndLowerThePostProcessing) {
    Layout layout;
    layout.frames = 30;
    std::string path = write("late.ogv", layout);
    ZVideo video;
    ManualClock clock;
    clock.attach(video);
    ASSERT_TRUE(video.openVideo(path.c_str(), true, nullptr, nullptr, false, false, 0));
    long level = video.getPostProcessingLevel();
    ASSERT_TRUE(showFrameAt(video, clock, inFrame(layout, 0), 0));
    // Far ahead: the frames decoded from now on are late, all but the last.
    ASSERT_TRUE(showFrameAt(video, clock, inFrame(layout, 29), 29));
    EXPECT_GT(video.getDroppedFrames(), 0);
    EXPECT_EQ(video.getDecodedFrames(), 30);
    if (level > 0) {
        EXPECT_LT(video.getPostProcessingLevel(), level);
    }
}

TEST_F(ZVideoThreadTest, ALoopingVideoWrapsToItsFirstFrame) {
    Layout layout;
    layout.frames = 4;
    std::string path = write("loop.ogv", layout);
    ZVideo video;
    ManualClock clock;
    clock.attach(video);
    ASSERT_TRUE(video.openVideo(path.c_str(), true, nullptr, nullptr, true, false, 0));
    for (long k = 0; k < 4; k++) ASSERT_TRUE(showFrameAt(video, clock, inFrame(layout, k), k));
    // Past the end the next loop's frames come; the clock goes back by the video's length.
    for (int round = 1; round <= 2; round++) {
        SCOPED_TRACE(round);
        int64_t base = round * 400;
        ASSERT_TRUE(showFrameAt(video, clock, base + inFrame(layout, 0), 0));
        EXPECT_TRUE(pixelNear(shownPixel(video, 5, 5), VideoFile::rgbaOf(0xFF0000)));
        EXPECT_LT(video.getTime(), 0.1);
        for (long k = 1; k < 4; k++)
            ASSERT_TRUE(showFrameAt(video, clock, base + inFrame(layout, k), k));
    }
    EXPECT_FALSE(video.isEndReached());
    EXPECT_EQ(video.getDroppedFrames(), 0);
}

TEST_F(ZVideoThreadTest, SeeksLandOnKeyFrames) {
    Layout layout;
    layout.frames = 20;
    layout.keyframeInterval = 8;
    layout.colours.clear();
    for (uint32_t i = 0; i < 20; i++) layout.colours.push_back(0x800000 + (i * 12 << 8));
    layout.stillTexture = true;
    std::string path = write("seek.ogv", layout);
    {
        ZVideo unindexed;
        ASSERT_TRUE(unindexed.openVideo(path.c_str(), true, nullptr, nullptr, false, false, 0));
        EXPECT_EQ(unindexed.getTotalTime(), 0);
        EXPECT_TRUE(unindexed.getTimeIndex().empty());
        unindexed.seekToTime(0.5);
        EXPECT_TRUE(unindexed.getFrameIndex().empty());
    }
    // From memory and block by block from the file.
    for (bool preload : {true, false}) {
        SCOPED_TRACE(preload ? "preloaded" : "from the file");
        ZVideo video;
        ManualClock clock;
        clock.attach(video);
        ASSERT_TRUE(video.openVideo(path.c_str(), preload, nullptr, nullptr, false, true, 0));
        std::vector<unsigned long> frames;
        for (const auto& entry : video.getFrameIndex()) frames.push_back(entry.first);
        EXPECT_EQ(frames, (std::vector<unsigned long>{0, 8, 16}));
        std::vector<double> times;
        for (const auto& entry : video.getTimeIndex()) times.push_back(entry.first);
        ASSERT_EQ(times.size(), 3u);
        EXPECT_NEAR(times[1], 0.9, 1e-9);
        EXPECT_EQ(video.getTotalFrames(), 20u);
        EXPECT_NEAR(video.getTotalTime(), 2.0, 1e-9);

        ASSERT_TRUE(showFrameAt(video, clock, inFrame(layout, 0), 0));
        video.seekToTime(5.0);
        ASSERT_TRUE(showFrameAt(video, clock, inFrame(layout, 1), 1))
            << "a seek past the end does nothing";

        // A paused video shows the frame after a seek, then no other.
        video.pauseTime();
        video.seekToTime(0.85);
        ASSERT_TRUE(showFrameAt(video, clock, clock.now + 5, 8));
        EXPECT_TRUE(
            pixelNear(shownPixel(video, 3, 3), VideoFile::rgbaOf(VideoFile::colourOf(layout, 8))));
        clock.now += 1000;
        for (int i = 0; i < 30; i++) video.readFrame();
        EXPECT_EQ(video.getFrame(), 8u);
        EXPECT_TRUE(video.isVideoPaused());
        video.resumeTime();
        EXPECT_NEAR(video.getTime(), 0.9, 1e-9);
        ASSERT_TRUE(showFrameAt(video, clock, clock.now + 100, 9));

        video.seekToFrame(9);
        ASSERT_TRUE(showFrameAt(video, clock, clock.now, 16));
        EXPECT_TRUE(
            pixelNear(shownPixel(video, 3, 3), VideoFile::rgbaOf(VideoFile::colourOf(layout, 16))));
        ASSERT_TRUE(showFrameAt(video, clock, clock.now + 100, 17));

        video.rewind();
        EXPECT_EQ(video.getFrame(), 0u);
        EXPECT_TRUE(SoundTest::waitFor(
            [&]() {
                video.readFrame();
                return near(shownPixel(video, 3, 3),
                            VideoFile::rgbaOf(VideoFile::colourOf(layout, 0)), 8);
            },
            5000));
        EXPECT_EQ(video.getFrame(), 0u);
    }
}

TEST_F(ZVideoThreadTest, ACutFilePlaysWhatItHoldsAndEnds) {
    Layout layout;
    // Large enough that the frames, not the headers, make most of the file.
    layout.width = 320, layout.height = 240;
    layout.frames = 20;
    layout.keyframeInterval = 8;
    layout.stillTexture = true;
    std::string data = VideoFile::make(layout);
    {
        // A copy cut in the middle of its frames.
        std::string path = m_dir.file("cut.ogv");
        writeFile(path, data.substr(0, data.size() * 6 / 10));
        ZVideo video;
        ManualClock clock;
        clock.attach(video);
        ASSERT_TRUE(video.openVideo(path.c_str(), true, nullptr, nullptr, false, true, 0));
        EXPECT_LT(video.getTotalFrames(), 20u);
        EXPECT_GT(video.getTotalFrames(), 5u);
        int64_t ms = 0;
        EXPECT_TRUE(SoundTest::waitFor(
            [&]() {
                clock.now = ms += 20;
                video.readFrame();
                return video.isEndReached();
            },
            10000));
        EXPECT_EQ(video.getFrame() + 1, video.getTotalFrames());
    }
    {
        // A file that loses its end while it plays: the seek into what is gone ends the video.
        std::string path = m_dir.file("shrinking.ogv");
        writeFile(path, data);
        ZVideo video;
        ManualClock clock;
        clock.attach(video);
        ASSERT_TRUE(video.openVideo(path.c_str(), false, nullptr, nullptr, false, true, 0));
        ASSERT_TRUE(showFrameAt(video, clock, inFrame(layout, 0), 0));
        writeFile(path, data.substr(0, data.size() / 3));
        video.seekToFrame(16);
        EXPECT_TRUE(SoundTest::waitFor(
            [&]() {
                clock.now += 20;
                video.readFrame();
                return video.isEndReached();
            },
            10000));
    }
}

TEST_F(ZVideoThreadTest, AnAlphaVideoGivesThePictureItsAlpha) {
    Layout colour;
    ZVideo alpha, video;
    ManualClock clock;
    ASSERT_TRUE(VideoTest::openAlphaPair(m_dir, {0xFF0000, 0x00FF00, 0x0000FF},
                                         {0xFFFFFF, 0x000000, 0x808080}, alpha, video, clock,
                                         colour));
    EXPECT_TRUE(alpha.isAlpha());
    EXPECT_EQ(video.getAlphaVideo(), &alpha);
    const unsigned expectedAlpha[] = {255, 0, 128};
    for (long k = 0; k < 3; k++) {
        SCOPED_TRACE(k);
        ASSERT_TRUE(showFrameAt(video, clock, inFrame(colour, k), k));
        uint32_t px = shownPixel(video, 10, 10);
        EXPECT_TRUE(pixelNear(px, VideoFile::rgbaOf(colour.colours[k])));
        EXPECT_NEAR(static_cast<int>(channel(px, 3)), static_cast<int>(expectedAlpha[k]), 6);
    }
    // The mapping: (g - 128) * scale + 128 + offset, clamped.
    alpha.setAlphaMapping(2.0f, -10.0f);
    const uint32_t* table = alpha.getAlphaTable();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table[0] >> 24, 0u);
    EXPECT_EQ(table[128] >> 24, 118u);
    EXPECT_EQ(table[160] >> 24, 182u);
    EXPECT_EQ(table[255] >> 24, 255u);
}

TEST_F(ZVideoThreadTest, AnAlphaVideoOfAnotherSizeIsRefused) {
    Layout colour;
    colour.frames = 2;
    Layout small = colour;
    small.width = 16;
    std::string colourPath = write("pic.ogv", colour);
    std::string alphaPath = write("pic_a.ogv", small);
    ZVideo alpha, video;
    ManualClock clock;
    clock.attach(video);
    ASSERT_TRUE(alpha.openVideo(alphaPath.c_str(), true, nullptr, nullptr, false, false, 0));
    std::vector<std::string> log = loggedMessages([&]() {
        ASSERT_TRUE(video.openVideo(colourPath.c_str(), true, &alpha, nullptr, false, false, 0));
    });
    EXPECT_TRUE(contains(log, "is 16x24, not 32x24; playing without it, WARNING"));
    EXPECT_EQ(video.getAlphaVideo(), nullptr);
    EXPECT_FALSE(alpha.isAlpha());
    ASSERT_TRUE(showFrameAt(video, clock, inFrame(colour, 1), 1));
    EXPECT_EQ(channel(shownPixel(video, 31, 23), 3), 255u);
}

TEST_F(ZVideoThreadTest, AudioPacketSizes) {
    struct Case {
        long channels, rate;
        uint32_t fpsNumerator, fpsDenominator;
        int64_t values;
    };
    const Case cases[] = {
        {2, 22050, 30, 1, 5880},      {2, 22050, 1, 1, 176400}, {1, 22050, 25, 1, 3528},
        {2, 8000, 30000, 1001, 2206}, {1, 8000, 60, 1, 533},    {2, 8000, 100, 1, 640},
        {1, 100, 30, 1, 512},         {2, 22050, 1, 2, 176400}, {2, 44100, 0, 1, 16384},
        {1, 44100, 1, 0, 176400},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.channels << " x " << c.rate << " at " << c.fpsNumerator
                                        << "/" << c.fpsDenominator);
        EXPECT_EQ(ZVideo::audioPacketSize(c.channels, c.rate, c.fpsNumerator, c.fpsDenominator),
                  c.values);
    }
    // Opened: a stereo track at 1 fps gets a packet 30 times as large as at 30 fps, and a track
    // below 1 fps opens instead of dividing by 0.
    struct Opened {
        const char* name;
        int frames, fpsNumerator, fpsDenominator;
        int64_t values;
    };
    const Opened opened[] = {{"30 fps", 30, 30, 1, 5880},
                             {"1 fps", 2, 1, 1, 176400},
                             {"half a frame a second", 1, 1, 2, 176400},
                             {"sound only", 0, 10, 1, 16384}};
    for (const Opened& o : opened) {
        SCOPED_TRACE(o.name);
        Layout layout;
        layout.frames = o.frames, layout.fpsNumerator = o.fpsNumerator;
        layout.fpsDenominator = o.fpsDenominator, layout.channels = 2;
        layout.soundSeconds = 0.5;
        std::string path = write("track.ogv", layout);
        ZSound sound;
        ZVideo video;
        ASSERT_TRUE(video.openVideo(path.c_str(), true, nullptr, &sound, false, false, 0));
        ASSERT_TRUE(video.hasSound());
        EXPECT_EQ(video.getAudioPacketSize(), o.values);
        EXPECT_EQ(sound.getPacketSize(), o.values * 2);
    }
}

TEST_F(ZVideoThreadTest, TheSoundTrackPlaysAndDrivesTheClock) {
    ASSERT_TRUE(ZSound::isSoundDeviceAvailable());
    Layout layout;
    layout.frames = 20;
    layout.channels = 1;
    std::string path = write("sound.ogv", layout);
    ZSound sound;
    ZVideo video;
    ASSERT_TRUE(video.openVideo(path.c_str(), true, nullptr, &sound, false, false, 0));
    EXPECT_EQ(video.getSoundStream(), &sound);
    EXPECT_EQ(video.getTime(), 0) << "no time before the sound reports its position";
    ASSERT_TRUE(SoundTest::waitFor(
        [&]() {
            video.readFrame();
            return sound.isStreamPlaying() && video.getTime() > 0.3;
        },
        10000));
    EXPECT_GT(video.getFrame(), 0u);
    ASSERT_TRUE(SoundTest::waitFor(
        [&]() {
            video.readFrame();
            return video.isEndReached();
        },
        10000));
    EXPECT_EQ(video.getFrame(), 19u);
    video.closeVideo();
    EXPECT_FALSE(sound.isStreamPlaying());
}

TEST_F(ZVideoThreadTest, ASoundOnlyFilePlaysItsSoundToTheEnd) {
    ASSERT_TRUE(ZSound::isSoundDeviceAvailable());
    Layout layout;
    layout.frames = 0;
    layout.channels = 2;
    layout.soundSeconds = 0.6;
    std::string path = write("only.ogg", layout);
    ZSound sound;
    ZVideo video;
    ASSERT_TRUE(video.openVideo(path.c_str(), true, nullptr, &sound, false, false, 0));
    EXPECT_TRUE(video.isOpened());
    ASSERT_TRUE(SoundTest::waitFor(
        [&]() {
            video.readFrame();
            return sound.isStreamPlaying();
        },
        5000));
    ASSERT_TRUE(SoundTest::waitFor(
        [&]() {
            video.readFrame();
            return video.isEndReached();
        },
        10000));
    EXPECT_FALSE(video.isVideoAvailable());
}

TEST_F(ZVideoThreadTest, ClosingMidPlayJoinsTheDecodeThread) {
    Layout layout;
    layout.frames = 12;
    layout.channels = 1;
    std::string path = write("close.ogv", layout);
    ZSound sound;
    for (int round = 0; round < 3; round++) {
        SCOPED_TRACE(round);
        auto video = std::make_unique<ZVideo>();
        ManualClock clock;
        clock.attach(*video);
        ASSERT_TRUE(
            video->openVideo(path.c_str(), round == 1, nullptr, &sound, true, round == 2, 0));
        ASSERT_TRUE(SoundTest::waitFor(
            [&]() {
                clock.now += 40;
                video->readFrame();
                return video->getFrame() >= 2;
            },
            5000));
        // Closing and reopening the same object, or deleting it while it plays.
        if (round == 0) {
            video->closeVideo();
            ASSERT_TRUE(video->openVideo(path.c_str(), true, nullptr, nullptr, true, false, 0));
        }
        video.reset();
    }
    EXPECT_FALSE(sound.isStreamPlaying());
}

TEST_F(ZVideoThreadTest, TwoVideosPlayAtOnce) {
    Layout first, second;
    first.frames = 6;
    second.frames = 6;
    second.width = 20, second.height = 12;
    second.colours = {0xFFFFFF, 0x000000};
    std::string a = write("a.ogv", first), b = write("b.ogv", second);
    ZVideo one, two;
    ManualClock clock;
    clock.attach(one);
    clock.attach(two);
    ASSERT_TRUE(one.openVideo(a.c_str(), true, nullptr, nullptr, false, false, 0));
    ASSERT_TRUE(two.openVideo(b.c_str(), false, nullptr, nullptr, false, false, 0));
    for (long k = 0; k < 6; k++) {
        SCOPED_TRACE(k);
        ASSERT_TRUE(showFrameAt(one, clock, inFrame(first, k), k));
        ASSERT_TRUE(showFrameAt(two, clock, inFrame(first, k), k));
        EXPECT_TRUE(
            pixelNear(shownPixel(one, 1, 1), VideoFile::rgbaOf(VideoFile::colourOf(first, k))));
        EXPECT_TRUE(
            pixelNear(shownPixel(two, 19, 11), VideoFile::rgbaOf(VideoFile::colourOf(second, k))));
    }
}

}  // namespace
