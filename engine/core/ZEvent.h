#pragma once

#include <cstdint>

// Event type numbers.
enum {
    kZEventMouseMove = 1,
    kZEventMouseUp = 2,
    kZEventMouseDown = 3,
    kZEventChar = 5,
    kZEventKeyDown = 6,
    kZEventKeyUp = 7,
    kZEventDoubleClick = 8,
    kZEventMouseWheel = 11,
    kZEventFocusGained = 13,
    kZEventFocusLost = 14,
    kZEventUnicodeChar = 50,
    kZEventTouch = 100,
    kZEventDoubleTap = 106,
    kZEventLetterbox = 107,
    kZEventGameCenter = 108,
    kZEventStore = 110,
    kZEventSwipe = 111,
    kZEventPinch = 112,
    kZEventFling = 117,
    kZEventHttpResult = 122,
    kZEventLocalNotification = 123,
};

// The one event record of the system. Writers zero-fill it and set only their type's fields;
// the order and widths of the fields are fixed because every handler reads them.
struct ZEvent {
    int64_t type;
    int64_t x;  // pointer position, window pixels
    int64_t y;
    int64_t button;  // 1 left, 2 right, 3 middle
    int16_t wheel;   // vertical delta x 1000
    uint8_t character;
    int64_t virtualKey;
    int32_t key;  // portable key code, 102 = none
    uint64_t modifiers;
    int64_t unicode;  // UTF-16 code unit

    int64_t touchPhase;  // 0 began, 1 moved, 2 ended
    int64_t touchCount;
    int64_t touchIndex;
    int64_t touchReported;
    int64_t touchX;
    int64_t touchY;
    int64_t touchPrevX;  // -1 when none
    int64_t touchPrevY;

    int64_t gameCenterKind;
    int64_t gameCenterItemCount;

    int64_t storeKind;
    const char* storeProductId;
    const char* storeTitle;
    const char* storeDescription;
    double storePrice;
    const char* storePriceLocale;
    const char* storeFormattedPrice;

    int64_t gesturePhase;
    int64_t swipeStartX;
    int64_t swipeStartY;
    int64_t swipeDeltaX;
    int64_t swipeDeltaY;
    float pinchScale;
    int64_t pinchCenterX;
    int64_t pinchCenterY;
    int64_t flingTouches;
    float flingDirection;   // degrees, 0 to below 360
    int64_t flingDuration;  // milliseconds

    int64_t httpKind;  // 1 success, 2 failure
    int64_t httpRequestId;
    int64_t httpResponseCode;
    const void* httpResponse;
    int64_t httpResponseLength;

    int64_t notificationUserData;
};
