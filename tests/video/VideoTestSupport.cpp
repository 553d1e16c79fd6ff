#include "VideoTestSupport.h"

#include "../sound/SoundTestSupport.h"
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

int64_t inFrame(const VideoFile::Spec& spec, long index) {
    double frameMs = 1000.0 * spec.fpsDenominator / spec.fpsNumerator;
    return static_cast<int64_t>(frameMs * (static_cast<double>(index) + 1.0 / 3.0));
}

uint32_t shownPixel(ZVideo& video, long x, long y) {
    const uint32_t* pixels = video.getShownPixels();
    if (!pixels) return 0;
    return pixels[y * static_cast<long>(video.getFrameWidth()) + x];
}

}  // namespace VideoTest
