#include "CUIRichText.h"

#include <strings.h>

#include <cstdio>

#include "CScene.h"
#include "CSprite.h"

namespace {

CScene* sceneOf(const ZUIElement* element) {
    const CSprite* sprite = static_cast<const CSprite*>(element->getUserData());
    return sprite ? sprite->scene : nullptr;
}

}  // namespace

CUIRichText::CUIRichText(ZUIElement* parent) : ZUIRichText(parent) {}

CUIRichText::~CUIRichText() = default;

bool CUIRichText::getFontFace(const char* name, ZTextFace*& face, float& height, float& baseline) {
    CScene* scene = sceneOf(this);
    if (!scene || !name || !name[0]) return false;
    for (long i = 0; i < scene->brushCount; i++) {
        const _CBrush& brush = scene->brushes[i];
        if (strcasecmp(brush.name, name) != 0) continue;
        // The first brush of the name decides, even when it has no usable font.
        if (!brush.font || brush.fontHeight == 0) return false;
        face = brush.font;
        height = static_cast<float>(brush.fontHeight);
        baseline = static_cast<float>(brush.fontBaseline);
        return true;
    }
    return false;
}

bool CUIRichText::getImage(const char* tag, long frame, ZGraphic*& graphic, float* rect,
                           float& baseline, bool& xflip, bool& yflip) {
    CScene* scene = sceneOf(this);
    if (!scene || !tag || !tag[0]) return false;
    char name[100];
    snprintf(name, sizeof(name), "__texttag_%s", tag);
    CSprite* image = nullptr;
    for (CSprite* s = scene->sprites.head; s && !image; s = ZList<CSprite>::nextOf(s))
        if (strcasecmp(s->name, name) == 0) image = s;
    if (!image || image->brushIndex < 0 || image->brushIndex >= scene->brushCount ||
        !image->atlasIndexes)
        return false;
    const _CBrush& brush = scene->brushes[image->brushIndex];
    if (brush.fontHeight > 0 || brush.video || brush.frameCount < 1) return false;
    if (frame >= brush.frameCount) frame = brush.frameCount - 1;
    if (frame < 0) frame = 0;
    long atlas = image->atlasIndexes[frame];
    if (atlas < 0 || atlas >= scene->atlasCount) return false;
    graphic = scene->atlases[atlas];
    const ZRectangle& region = image->atlasRegions[frame];
    rect[0] = region.x1;
    rect[1] = region.y1;
    rect[2] = region.x2;
    rect[3] = region.y2;
    baseline = brush.pivotY - brush.texSrcY1;
    xflip = image->xFlip;
    yflip = image->yFlip;
    return true;
}
