#pragma once

#include "ZList.h"
#include "ZMatrix.h"
#include "ZObjectListable.h"
#include "ZRectangle.h"
#include "ZVector2.h"
#include "ZWindow.h"

// A pannable, zoomable camera over a document, shown in a viewport on the screen. It moves with
// the swipe and pinch events that start inside its viewport and eases back inside its limits
// when no gesture runs. Every area sits in one process-wide list from its construction to its
// destruction; the static part makes the gesture events (ZGestureRecognizer). Main thread only.
//
// Scales between the hard and the soft limits are reached only with out-of-bounds movement
// allowed, against a growing resistance; the area eases back to the soft limits afterwards.
class ZGestureArea : public ZObjectListable {
public:
    ZGestureArea(float documentWidth, float documentHeight, const ZRectangle& viewport,
                 float minScale, float hardMinScale, float maxScale, float hardMaxScale);
    ~ZGestureArea() override;
    ZGestureArea(const ZGestureArea&) = delete;
    ZGestureArea& operator=(const ZGestureArea&) = delete;

    void setDocumentSize(float width, float height);
    void setViewport(const ZRectangle& viewport) { m_viewport = viewport; }
    void setLimits(float minScale, float hardMinScale, float maxScale, float hardMaxScale);
    // Disabling also ends the gestures running on the area.
    void enableArea(bool enable);
    bool isEnabled() const { return m_enabled; }
    void allowPanningOutOfBounds(bool allow) { m_allowOutOfBounds = allow; }

    // The camera as the caller sees it: the stored camera less the viewport's offset at the
    // current scale; setCamera adds the offset unscaled.
    ZVector2 getCamera() const;
    void setCamera(ZVector2 camera);
    float getScale() const { return m_scale; }
    void setScale(float scale) { m_scale = scale; }
    // The view matrix to draw the document through (y upwards, as the UI tree draws).
    ZMatrix getMatrix() const;
    bool isGestureInProgress() const { return m_panning || m_zooming; }

    // Puts scale and camera inside the limits at once, on whole pixels.
    void snapToPosition();
    // One flip's easing back inside the limits, while no gesture runs.
    void updateArea(long elapsedMs);
    void processAreaEvent(ZEvent* event);

    static void setup(ZWindow* window);
    static long getSwipeThreshold();
    static void setSwipeThreshold(long threshold);
    static long getFlingThreshold();
    static void setFlingThreshold(long threshold);
    static void generateGestureEvents(ZEvent* event, ZWindowEventCallback callback,
                                      bool zeroSwipeMoves);
    static void dispatchEventToAllAreas(ZEvent* event);
    static void updateAllAreas(ZWindowEventCallback callback);

private:
    // The camera's bounds at a scale, per axis.
    float lowestCameraX(float scale) const;
    float highestCameraX(float scale) const;
    float lowestCameraY(float scale) const;
    float highestCameraY(float scale) const;
    void clampCamera(float scale, float& x, float& y) const;
    bool inViewport(float x, float y) const;
    float zoomChange(float change) const;
    void zoomAbout(float centreX, float centreY, float newScale);
    float panResistance(float position, float documentSize, float viewportSize,
                        float movement) const;
    void pan(const ZEvent& event);
    void zoom(const ZEvent& event);

    bool m_enabled = true;
    bool m_allowOutOfBounds = true;
    float m_documentWidth;
    float m_documentHeight;
    ZRectangle m_viewport;
    float m_minScale;
    float m_hardMinScale;
    float m_maxScale;
    float m_hardMaxScale;
    float m_cameraX = 0;
    float m_cameraY = 0;
    float m_scale = 1.0f;
    bool m_panning = false;
    bool m_zooming = false;
};
