#include "VideoTestSupport.h"

#include <cstdlib>

#include "../sound/SoundTestSupport.h"
#include "PixelWords.h"
#include "TempDir.h"
#include "ZVideo.h"

namespace VideoTest {

int64_t ManualClock::read(void* user) {
    return static_cast<ManualClock*>(user)->now.load();
}

void ManualClock::attach(ZVideo& video) {
    video.setClockSource(read, this);
}

bool showFrameAt(ZVideo& video, ManualClock& clock, int64_t ms, uint64_t frame,
                 int timeoutMilliseconds) {
    clock.now = ms;
    return SoundTest::waitFor(
        [&]() {
            video.readFrame();
            return video.isVideoAvailable() && video.getFrame() == frame;
        },
        timeoutMilliseconds);
}

int64_t inFrame(const VideoFile::Layout& layout, long index) {
    double frameMs = 1000.0 * layout.fpsDenominator / layout.fpsNumerator;
    return static_cast<int64_t>(frameMs * (static_cast<double>(index) + 1.0 / 3.0));
}

std::string writeVideo(const TempDir& dir, const std::string& name,
                       const VideoFile::Layout& layout) {
    std::string path = dir.file(name);
    writeFile(path, VideoFile::make(layout));
    return path;
}

bool openOnClock(const TempDir& dir, const std::string& name, const VideoFile::Layout& layout,
                 ZVideo& video, ManualClock& clock, bool loop) {
    std::string path = writeVideo(dir, name, layout);
    clock.attach(video);
    return video.openVideo(path.c_str(), true, nullptr, nullptr, loop, false, -1);
}

::testing::AssertionResult nearPixel(uint32_t actual, uint32_t expected, int tolerance) {
    for (int k = 0; k < 3; k++)
        if (std::abs(static_cast<int>(channel(actual, k)) -
                     static_cast<int>(channel(expected, k))) > tolerance)
            return ::testing::AssertionFailure() << describePixel(actual) << " is not within "
                                                 << tolerance << " of " << describePixel(expected);
    return ::testing::AssertionSuccess();
}

bool openAlphaPair(const TempDir& dir, const std::vector<uint32_t>& colours,
                   const std::vector<uint32_t>& greys, ZVideo& alpha, ZVideo& video,
                   ManualClock& clock, VideoFile::Layout& layout) {
    layout = VideoFile::Layout();
    layout.frames = static_cast<long>(colours.size());
    layout.colours = colours;
    VideoFile::Layout grey = layout;
    grey.colours = greys;
    std::string colourPath = writeVideo(dir, "pic.ogv", layout);
    std::string alphaPath = writeVideo(dir, "pic_a.ogv", grey);
    clock.attach(video);
    return alpha.openVideo(alphaPath.c_str(), true, nullptr, nullptr, false, false, 0) &&
           video.openVideo(colourPath.c_str(), true, &alpha, nullptr, false, false, 0);
}

uint32_t shownPixel(ZVideo& video, long x, long y) {
    const uint32_t* pixels = video.getShownPixels();
    if (!pixels) return 0;
    return pixels[y * static_cast<long>(video.getFrameWidth()) + x];
}

}  // namespace VideoTest
