#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "VideoFileSupport.h"

class TempDir;
class ZVideo;

// What the video tests share: a clock the test moves by hand, and steps of the main thread.
namespace VideoTest {

// Milliseconds a video plays by, set by the test.
struct ManualClock {
    std::atomic<int64_t> now{0};
    static int64_t read(void* user);
    void attach(ZVideo& video);
};

// Sets the clock to ms and calls readFrame until the video shows frame (true), or the time-out
// runs out.
bool showFrameAt(ZVideo& video, ManualClock& clock, int64_t ms, uint64_t frame,
                 int timeoutMilliseconds = 5000);

// The start of frame index in milliseconds, plus a third of a frame (so that it is due and the
// next one not).
int64_t inFrame(const VideoFile::Layout& layout, long index);

// Writes the video of layout into the folder; its path.
std::string writeVideo(const TempDir& dir, const std::string& name,
                       const VideoFile::Layout& layout);

// Writes the video of layout into the folder and opens it preloaded on the clock.
bool openOnClock(const TempDir& dir, const std::string& name, const VideoFile::Layout& layout,
                 ZVideo& video, ManualClock& clock, bool loop = false);

// Opens a picture of solid colours paired with an alpha video of solid grey levels ("pic.ogv"
// and "pic_a.ogv", one frame of each a tenth of a second), the picture on the clock; layout is the
// picture's.
bool openAlphaPair(const TempDir& dir, const std::vector<uint32_t>& colours,
                   const std::vector<uint32_t>& greys, ZVideo& alpha, ZVideo& video,
                   ManualClock& clock, VideoFile::Layout& layout);

// Red, green and blue of two pixels (bytes R, G, B, A) each within tolerance.
::testing::AssertionResult nearPixel(uint32_t actual, uint32_t expected, int tolerance);

// The shown pixel at x, y of a video (bytes R, G, B, A).
uint32_t shownPixel(ZVideo& video, long x, long y);

}  // namespace VideoTest
