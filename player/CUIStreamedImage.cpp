#include "CUIStreamedImage.h"

#include "ZSysThread.h"

namespace {
const char kClassTag[] = "CUIStreamedImage";
}  // namespace

CUIStreamedImage::CUIStreamedImage(ZUIElement* parent) : ZUIImage(parent) {
    addClass(kClassTag);
    setBlitMatrix(true);
}

CUIStreamedImage::~CUIStreamedImage() {
    freeResources();
}

CUIStreamedImage* CUIStreamedImage::isUIStreamedImage(ZUIElement* element) {
    return element && element->isOfClass(kClassTag) ? static_cast<CUIStreamedImage*>(element)
                                                    : nullptr;
}

bool CUIStreamedImage::setImagePath(const char*) {
    return false;
}

void CUIStreamedImage::enableStreaming(bool enable) {
    if (enable && !m_streaming) m_waitForCompletion = true;
    m_streaming = enable;
}

float CUIStreamedImage::getLookahead() const {
    return static_cast<float>(m_lookahead * m_tileEdge);
}

void CUIStreamedImage::freeResources() {}

void CUIStreamedImage::blit(float, ZMatrix*) {}

void CUIStreamedImage::tileLoaderThreadMain(void*, long) {}

int32_t CUIStreamedImage::getTileState(int64_t) {
    return CUIStreamedImageTile::kAbsent;
}

int64_t CUIStreamedImage::getTileBudget(float, float) const {
    return 0;
}

void CUIStreamedImage::loadAllNeededTiles() {}

void CUIStreamedImage::freeTiles() {}

void CUIStreamedImage::joinLoader() {}
