// Reads the input as a script: a window size, thresholds and one gesture area's document,
// viewport and limits, then a run of steps (mouse events through the touch translator as the
// window's dispatch runs them, raw touch reports, clock steps, flips, threshold and area
// changes). Every event the game would receive is checked: no NaN in any field, a fling
// direction from 0 to below 360; the area's scale, camera and matrix stay finite.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "FuzzInput.h"
#include "ZGestureArea.h"
#include "ZGestureRecognizer.h"
#include "ZTouchTranslator.h"

namespace {

// Mostly small numbers, as positions are, now and then anything at all.
int64_t value(FuzzInput& in) {
    switch (in.byte() % 4) {
        case 0:
            return in.raw<int8_t>();
        case 1:
            return in.raw<int16_t>();
        case 2:
            return in.raw<int16_t>() * 16;
        default:
            return in.raw<int64_t>();
    }
}

long g_now = 0;

long fakeClock(void*) {
    return g_now;
}

bool isNumber(float value) {
    return !std::isnan(value);
}

bool receive(ZEvent* event) {
    if (event->type == kZEventFling &&
        !(event->flingDirection >= 0.0f && event->flingDirection < 360.0f))
        __builtin_trap();
    if (!isNumber(event->pinchScale) || !isNumber(event->flingDirection) ||
        std::isnan(event->storePrice))
        __builtin_trap();
    return event->type % 3 != 0;  // the game refuses some events
}

void checkArea(const ZGestureArea& area) {
    ZMatrix m = area.getMatrix();
    for (float value : m.m)
        if (!std::isfinite(value)) __builtin_trap();
    ZVector2 camera = area.getCamera();
    if (!std::isfinite(area.getScale()) || !std::isfinite(camera.x) || !std::isfinite(camera.y))
        __builtin_trap();
}

// Limits of the kind callers give, equal and zero ones among them.
const float kLimits[] = {0.0f, 0.1f, 0.5f, 1.0f, 1.0f, 2.5f, 20.0f, 100.0f};

float limit(FuzzInput& in) {
    return kLimits[in.byte() % (sizeof(kLimits) / sizeof(kLimits[0]))];
}

const int64_t kMouseTypes[] = {kZEventMouseMove,   kZEventMouseUp,    kZEventMouseDown,
                               kZEventDoubleClick, kZEventMouseWheel, kZEventFocusLost};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    g_now = 0;
    ZTouchTranslator translator;
    translator.setClock(fakeClock, nullptr);
    ZGestureRecognizer& recognizer = ZGestureRecognizer::shared();
    recognizer.reset();
    recognizer.setClock(fakeClock, nullptr);
    recognizer.setWindowSize(in.raw<uint16_t>(), in.raw<uint16_t>());
    if (in.byte() & 1) recognizer.setSwipeThreshold(value(in));
    if (in.byte() & 1) recognizer.setFlingThreshold(value(in));

    float documentWidth = in.raw<uint16_t>() % 4097, documentHeight = in.raw<uint16_t>() % 4097;
    float left = in.raw<int16_t>() % 2048, top = in.raw<int16_t>() % 2048;
    ZRectangle viewport{left, top, left + in.raw<uint16_t>() % 2049,
                        top + in.raw<uint16_t>() % 2049};
    ZGestureArea area(documentWidth, documentHeight, viewport, limit(in), limit(in), limit(in),
                      limit(in));
    area.allowPanningOutOfBounds(in.byte() & 1);
    bool simulate = in.byte() & 1;

    for (int steps = 0; in.remaining() > 0 && steps < 4096; steps++) {
        uint8_t op = in.byte();
        ZEvent event;
        memset(&event, 0, sizeof(event));
        switch (op % 9) {
            case 0:
            case 1:
            case 2: {
                // A mouse event through the window's order of dispatch.
                event.type = kMouseTypes[in.byte() % 6];
                event.x = value(in);
                event.y = value(in);
                event.button = in.byte() % 5;
                event.wheel = in.raw<int16_t>();
                if (simulate) translator.convertToTouchEvent(&event, receive);
                bool accepted = true;
                if (event.type != 0) {
                    ZGestureArea::generateGestureEvents(&event, receive, false);
                    accepted = receive(&event);
                }
                if (simulate && (accepted || event.type == 0))
                    translator.simulateMouseEvent(&event, receive);
                break;
            }
            case 3: {
                // A touch screen's report of one finger.
                event.type = kZEventTouch;
                event.touchPhase = static_cast<int8_t>(in.byte()) % 5;
                event.touchCount = in.byte() % 4 == 0 ? value(in) : in.byte() % 10;
                event.touchIndex = in.byte() % 4 == 0 ? value(in) : in.byte() % 10;
                event.touchReported = in.byte() % 4 == 0 ? value(in) : in.byte() % 10;
                event.touchX = value(in);
                event.touchY = value(in);
                event.touchPrevX = value(in);
                event.touchPrevY = value(in);
                ZGestureArea::generateGestureEvents(&event, receive, in.byte() & 1);
                receive(&event);
                break;
            }
            case 4:
                g_now += in.byte() % 8 == 0 ? value(in) % 100000 : in.byte();
                break;
            case 5: {
                // A flip, with the window's elapsed time or any other.
                long elapsed = in.byte() % 4 == 0 ? value(in) % 100000 : in.byte();
                ZGestureArea::updateAllAreas(receive);
                translator.simulateMouseUp(elapsed, receive);
                break;
            }
            case 6:
                if (in.byte() & 1)
                    recognizer.setSwipeThreshold(value(in));
                else
                    recognizer.setFlingThreshold(value(in));
                break;
            case 7:
                switch (in.byte() % 4) {
                    case 0:
                        area.enableArea(!area.isEnabled());
                        break;
                    case 1:
                        area.allowPanningOutOfBounds(in.byte() & 1);
                        break;
                    case 2:
                        area.snapToPosition();
                        break;
                    default:
                        area.setCamera(ZVector2{static_cast<float>(in.raw<int16_t>()),
                                                static_cast<float>(in.raw<int16_t>())});
                        break;
                }
                break;
            default:
                // Anything else, even gesture events from elsewhere, straight to the areas.
                event.type = in.byte() % 2 ? kZEventSwipe : kZEventPinch;
                event.gesturePhase = in.byte() % 4;
                event.swipeStartX = event.pinchCenterX = value(in);
                event.swipeStartY = event.pinchCenterY = value(in);
                event.swipeDeltaX = value(in);
                event.swipeDeltaY = value(in);
                event.pinchScale = static_cast<float>(in.raw<int16_t>()) / 1000.0f;
                ZGestureArea::dispatchEventToAllAreas(&event);
                break;
        }
        checkArea(area);
    }
    recognizer.reset();
    return 0;
}
