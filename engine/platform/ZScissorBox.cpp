#include "ZScissorBox.h"

#include "ZGameArea.h"

namespace {

// Clamped to 0 ... limit and truncated; a NaN counts as 0.
long clampToView(float value, long limit) {
    if (!(value > 0)) return 0;
    if (value > static_cast<float>(limit)) return limit;
    return static_cast<long>(value);
}

}  // namespace

ZScissorBox ZScissorBox::forClipRect(float x1, float y1, float x2, float y2, long viewWidth,
                                     long viewHeight, bool renderTarget, const ZGameArea& area) {
    ZScissorBox box;
    if (viewWidth <= 0 || viewHeight <= 0) return box;
    long left = clampToView(x1, viewWidth), right = clampToView(x2, viewWidth);
    long top = clampToView(y1, viewHeight), bottom = clampToView(y2, viewHeight);
    if (renderTarget) {
        box.x = left;
        box.y = top;
        box.width = right - left;
        box.height = bottom - top;
    } else {
        long actualWidth = area.getActualWidth(), actualHeight = area.getActualHeight();
        long xOffset = area.getXOffset(), yOffset = area.getYOffset();
        long windowLeft = left * actualWidth / viewWidth + xOffset;
        long windowRight = right * actualWidth / viewWidth + xOffset;
        long windowBottom = yOffset + actualHeight - bottom * actualHeight / viewHeight;
        long windowTop = yOffset + actualHeight - top * actualHeight / viewHeight;
        box.x = windowLeft;
        box.y = windowBottom;
        box.width = windowRight - windowLeft;
        box.height = windowTop - windowBottom;
    }
    // GL ignores a box of negative size (the call fails and the old box stays); a reversed
    // rectangle clips to nothing instead.
    if (box.width < 0) box.width = 0;
    if (box.height < 0) box.height = 0;
    return box;
}
