#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

#include "CGame.h"
#include "CPlayer.h"
#include "CUIDisplayHandler.h"
#include "CUIEmitter.h"
#include "CUIRichText.h"
#include "CUIStreamedImage.h"
#include "ZCore.h"
#include "ZIniReader.h"
#include "ZRandom.h"
#include "ZTextFace.h"
#include "ZUIBounds.h"
#include "ZUIButton.h"
#include "ZUIImage.h"
#include "ZUISlider.h"
#include "ZUIVideo.h"
#include "ZVideo.h"

namespace {

const unsigned long kTinyPlaceholderId = 0xFFFFFFFFul;
const char* const kFramesVisual = "frames";

bool validBrush(const CScene* scene, const CSprite* sprite) {
    return scene && sprite->brushIndex >= 0 && sprite->brushIndex < scene->brushCount;
}

bool hasQuadOffsets(const CSprite* sprite) {
    for (long k = 0; k < sprite->keyCount; k++)
        for (const ZVector2& q : sprite->keys[k].quadOffsets)
            if (q.x != 0 || q.y != 0) return true;
    return false;
}

// The mirrored coordinate of x inside [low, high] when flipped.
float mirror(float x, float low, float high, bool flip) {
    return flip ? low + high - x : x;
}

// One collision shape of a brush frame as bounds under parent, in the brush region's space,
// mirrored by the flips.
ZUIBounds* makeShapeBounds(const CCollisionShape& c, ZUIBounds* parent, float width, float height,
                           bool xFlip, bool yFlip) {
    ZUIBounds* b = new ZUIBounds(parent);
    auto mx = [&](float x) { return mirror(x, 0, width, xFlip); };
    auto my = [&](float y) { return mirror(y, 0, height, yFlip); };
    switch (c.kind) {
        case 1: {
            float x1 = mx(c.rectX1), x2 = mx(c.rectX2), y1 = my(c.rectY1), y2 = my(c.rectY2);
            b->setRect(x1 < x2 ? x1 : x2, y1 < y2 ? y1 : y2, x1 < x2 ? x2 : x1, y1 < y2 ? y2 : y1);
            break;
        }
        case 2:
            b->setCircle(mx(c.circleX), my(c.circleY), c.circleRadius);
            break;
        case 3:
            b->setRing(mx(c.ringX), my(c.ringY), c.ringOuterRadius, c.ringInnerRadius);
            break;
        default: {
            ZVector2 points[CCollisionShape::kMaxPolyPoints];
            long count = c.polyPointCount;
            if (count < 0) count = 0;
            if (count > CCollisionShape::kMaxPolyPoints) count = CCollisionShape::kMaxPolyPoints;
            for (long p = 0; p < count; p++)
                points[p] = {mx(c.polyPoints[p].x), my(c.polyPoints[p].y)};
            b->setPoly(count, points);
            break;
        }
    }
    return b;
}

// The bounds tree of one brush frame: a root of the region's size, each shape under its parent
// slot's bounds. Slots whose parent is not made yet wait for a later pass; a slot whose parent
// never comes (or that names itself) hangs under the root.
ZUIBounds* makeFrameBounds(const _CBrush& brush, long frame, bool xFlip, bool yFlip) {
    float width = brush.texSrcX2 - brush.texSrcX1, height = brush.texSrcY2 - brush.texSrcY1;
    ZUIBounds* root = new ZUIBounds();
    root->setRect(0, 0, width, height);
    root->setColor(1, 1, 1, 0.5f);
    const CCollisionShape* shapes = brush.shapes[frame];
    ZUIBounds* made[_CBrush::kShapesPerFrame] = {};
    bool progress = true;
    while (progress) {
        progress = false;
        for (long slot = 0; slot < _CBrush::kShapesPerFrame; slot++) {
            const CCollisionShape& c = shapes[slot];
            if (c.kind == 0 || made[slot]) continue;
            long parent = c.parentSlot;
            bool orphan = parent < 0 || parent >= _CBrush::kShapesPerFrame || parent == slot ||
                          shapes[parent].kind == 0;
            if (!orphan && !made[parent]) continue;
            made[slot] =
                makeShapeBounds(c, orphan ? root : made[parent], width, height, xFlip, yFlip);
            progress = true;
        }
    }
    // Slots left over wait on each other in a loop: they hang under the root.
    for (long slot = 0; slot < _CBrush::kShapesPerFrame; slot++)
        if (shapes[slot].kind != 0 && !made[slot])
            made[slot] = makeShapeBounds(shapes[slot], root, width, height, xFlip, yFlip);
    return root;
}

void upperCase(char* text) {
    for (; *text; text++) *text = static_cast<char>(toupper(static_cast<unsigned char>(*text)));
}

}  // namespace

char* CPlayer::allocCopyString(const char* text) {
    return ZIniReader::allocCopyString(text ? text : "");
}

CSpriteState* CPlayer::getSpriteState(CSceneState* sceneState, CSprite* sprite) {
    if (!sceneState || !sprite) return nullptr;
    if (CSpriteState* state = sceneState->findSpriteState(sprite->id)) return state;
    CSpriteState* state = new CSpriteState();
    resetSpriteState(sprite, state);
    sceneState->addSpriteState(sprite->id, state);
    return state;
}

void CPlayer::resetSpriteState(CSprite* sprite, CSpriteState* state) {
    if (!sprite || !state) return;
    state->releaseOwned();
    state->playMode = sprite->noAutoplay ? 0 : 1;
    state->visibilityOverride = false;
    state->hidden = false;
    state->time = 0;
    state->targetTime = -1;
    state->keyOffset = 0;
    state->currentKey = -1;
    state->scaleFactorX = state->scaleFactorY = 1;
    state->angleOffset = 0;
    state->brushFrameOffset = 0;
    state->pivotOffset = state->anchorOffset = {0, 0};
    state->rectOffsetTopLeft = state->rectOffsetBottomRight = {0, 0};
    state->dragStartAnchorOffset = {0, 0};
    state->lightnessFactor = 1;
    for (float& f : state->colorFactors) f = 1;
    state->speed = 1;
    for (int64_t& v : state->scriptValues) v = 0;
    const CSpriteKey* first = sprite->keyCount > 0 ? &sprite->keys[0] : nullptr;
    state->keyFlags = first ? first->flags : 0;
    state->reportedFlags = 0;
    state->emissionDelay = state->emissionCountdown = 0;
    state->emissionArcStart = 0;
    state->emissionArcEnd = 360;
    state->firstUpdate = true;
    state->inContainer = state->isCursor = state->isSecondaryCursor = false;
    state->dragging = state->carryMode = state->videoPaused = state->inputDisabled = false;
    state->dragStartPointer = {0, 0};
    state->dragName[0] = '\0';
    const float firstColor[4] = {first ? first->r : 1, first ? first->g : 1, first ? first->b : 1,
                                 first ? first->a : 1};
    for (int i = 0; i < 4; i++) state->color[i] = firstColor[i];
    state->lightness = first ? first->lightness : 1;
    for (float& c : state->effectiveColor) c = 0;
    state->effectiveLightness = 0;
}

void CPlayer::insertSprite(CScene* scene, CSceneState* sceneState, CSprite* sprite, long id) {
    if (!scene || !sceneState || !sprite || sprite->element) return;
    insertSpriteElement(scene, sceneState, sprite, id);
}

void CPlayer::insertSpriteElement(CScene* scene, CSceneState* sceneState, CSprite* sprite,
                                  long id) {
    CSpriteState* state = getSpriteState(sceneState, sprite);
    ZUIElement* parent =
        sprite->parent && sprite->parent->element ? sprite->parent->element : scene->container;
    if (!parent) parent = ZUIElement::getRootElement();
    char elementName[220];
    snprintf(elementName, sizeof(elementName), "sprite_%s_%s", scene->name, sprite->name);
    const CSpriteKey& first = sprite->keys[0];
    bool brushValid = validBrush(scene, sprite);
    if (sprite->brushIndex >= 0 && !brushValid)
        ZCore::logMessage(
            "Scene: sprite %lx of scene '%s' names brush %ld of %ld, placeholder taken", sprite->id,
            scene->name, sprite->brushIndex, scene->brushCount);
    _CBrush* brush = brushValid ? &scene->brushes[sprite->brushIndex] : nullptr;
    ZUIElement* element = nullptr;

    if (!brush) {
        // No brush: a red square on the anchor, so the missing brush shows.
        ZUIImage* image = new ZUIImage(parent);
        float side = sprite->id == kTinyPlaceholderId ? 1.0f : 40.0f;
        image->setSize(side, side);
        image->setPosition(first.anchor.x - side / 2, first.anchor.y - side / 2);
        image->setFrameCount(1);
        image->setFrameGraphic(0, m_whiteGraphic, 0, 0, side, side, nullptr, -1, -1);
        image->setColor(1, 0, 0, 1);
        image->addVisual(kFramesVisual);
        image->setCurrentVisual(kFramesVisual);
        image->setVisualSequence(kFramesVisual, 0, 0, 0, true, false, false);
        image->setVisualCurrentFrame(kFramesVisual, 0, -1, 0);
        sprite->image = image;
        element = image;
    } else if (brush->fontHeight > 0) {
        CUIRichText* text = new CUIRichText(parent);
        float w = first.rectX2 - first.rectX1, h = first.rectY2 - first.rectY1;
        text->setSize(w, h);
        text->setCenter(first.anchor.x - (first.rectX1 + first.rectX2) / 2,
                        first.anchor.y - (first.rectY1 + first.rectY2) / 2);
        text->setPosition(first.rectX1, first.rectY1);
        float height = static_cast<float>(brush->fontHeight);
        float baseline = static_cast<float>(brush->fontBaseline);
        if (baseline < 0 && brush->font) baseline = brush->font->getBaseline();
        text->setTextFont(brush->font, height, baseline);
        text->setTextFlow(sprite->textFlow);
        text->setTextVertAlignMode(sprite->textVAlign);
        text->setTextKerning(sprite->textKerning);
        text->setTextVertSpacing(sprite->textLineSpacing);
        if (brush->fontBaseline >= 0) text->setTextOffset(0, baseline - height);
        sprite->richText = text;
        element = text;
    } else {
        ZUIImage* image = nullptr;
        if (brush->particleCount > 0) {
            element = image = createEmitterElement(parent, brush);
        } else if (brush->video) {
            if (brush->videoPlayer) {
                ZVideo_register();
                ZUIVideo* video = new ZUIVideo(parent);
                ZRectangle rect = {brush->texSrcX1, brush->texSrcY1, brush->texSrcX2,
                                   brush->texSrcY2};
                CGame::getVideoSpriteRect(sprite, rect);
                video->setVideoInternal(brush->videoPlayer, rect.x1, rect.y1, rect.x2, rect.y2);
                sprite->video = video;
                element = video;
            } else {
                image = new ZUIImage(parent);
                image->addClass("CUINativeVideo");
                image->setBlitMatrix(true);
                element = image;
            }
        } else if (brush->mode == 3 || brush->mode == 4) {
            ZUISlider* slider = new ZUISlider(parent);
            slider->setSliderType(brush->mode == 4 ? ZUISliderVertical : ZUISliderHorizontal);
            sprite->slider = slider;
            image = slider->getSliderButton()->getBackgroundImage();
            element = slider;
        } else if (sprite->displayHandler[0]) {
            CUIDisplayHandler* handler =
                createDisplayHandler(sprite->displayHandler, parent, scene);
            if (handler) {
                sprite->handler = handler;
                element = image = handler;
            } else {
                element = image = new ZUIImage(parent);
            }
        } else if (scene->streamBackground && brush->id == 1) {
            element = image = createStreamedBackground(parent, scene);
        } else {
            element = image = new ZUIImage(parent);
        }
        sprite->image = image;
        if (brush->particleCount > 0) {
            // The emitter draws particles, not frames: only its place and blend come from here.
            element->setPosition(first.anchor.x - (brush->pivotX - brush->texSrcX1),
                                 first.anchor.y - (brush->pivotY - brush->texSrcY1));
            const eTazelAlphaOp same = static_cast<eTazelAlphaOp>(-1);
            image->setAlphaOp(brush->srcAlphaOp, brush->dstAlphaOp, same, same);
        } else {
            setUpImageFrames(scene, sprite, state, image, element);
        }
        if (sprite->slider) {
            // The frames set up above stay on the button's image; the button takes the region's
            // size.
            float w = brush->texSrcX2 - brush->texSrcX1, h = brush->texSrcY2 - brush->texSrcY1;
            sprite->slider->getSliderButton()->setSize(w, h);
        }
    }

    element->setName(elementName);
    if (m_touchMode && m_defaultTouchMargin != 10.0f) element->setTouchMargin(m_defaultTouchMargin);
    if (sprite->clipChildren) element->enableClipping(true);
    if (sprite->stencil) element->setAsStencilMask(true, 0.5f, false);

    sprite->element = element;
    sprite->scene = scene;
    sprite->sceneState = sceneState;
    sprite->state = state;
    sprite->siblingIndex = element->getSiblingIndex();
    element->setUserData(sprite);
    element->enableElementInput(!sprite->passThrough);
    if (state->playMode == 0 || state->inContainer) element->setState(ZUIElementStateDisabled);

    if (sprite->slider) {
        sprite->slider->setValue(1.0f);
        sprite->slider->hasValueChanged();
        state->firstUpdate = true;
    }
    if (sprite->richText) {
        char key[220];
        snprintf(key, sizeof(key), "SCENE_%s_%lx", scene->baseName,
                 id != 0 ? static_cast<unsigned long>(id) : sprite->id);
        upperCase(key);
        const char* text = getString(key);
        sprite->richText->setText(text ? text : "");
    }
}

void CPlayer::setUpImageFrames(CScene* scene, CSprite* sprite, CSpriteState* state, ZUIImage* image,
                               ZUIElement* element) {
    const _CBrush& brush = scene->brushes[sprite->brushIndex];
    const CSpriteKey& first = sprite->keys[0];
    float regionW = brush.texSrcX2 - brush.texSrcX1, regionH = brush.texSrcY2 - brush.texSrcY1;

    if (brush.mode == 0) {
        float px = brush.pivotX + state->pivotOffset.x, py = brush.pivotY + state->pivotOffset.y;
        px = mirror(px, brush.texSrcX1, brush.texSrcX2, sprite->xFlip);
        py = mirror(py, brush.texSrcY1, brush.texSrcY2, sprite->yFlip);
        element->setSize(regionW, regionH);
        element->setCenter(px - (brush.texSrcX1 + brush.texSrcX2) / 2,
                           py - (brush.texSrcY1 + brush.texSrcY2) / 2);
        element->setPosition(
            first.anchor.x - (brush.pivotX - brush.texSrcX1) + state->pivotOffset.x,
            first.anchor.y - (brush.pivotY - brush.texSrcY1) + state->pivotOffset.y);
    } else {
        element->setSize(first.rectX2 - first.rectX1, first.rectY2 - first.rectY1);
        element->setCenter(first.anchor.x - (first.rectX1 + first.rectX2) / 2,
                           first.anchor.y - (first.rectY1 + first.rectY2) / 2);
        element->setPosition(first.rectX1, first.rectY1);
    }
    element->setScaleXY(first.scaleX * state->scaleFactorX, first.scaleY * state->scaleFactorY);
    element->setShear(first.shearX, first.shearY);
    element->setZAngle(-first.angle);

    const eTazelAlphaOp same = static_cast<eTazelAlphaOp>(-1);
    if (image) image->setAlphaOp(brush.srcAlphaOp, brush.dstAlphaOp, same, same);
    if (sprite->video) sprite->video->setAlphaOp(brush.srcAlphaOp, brush.dstAlphaOp, same, same);
    if (!image) {
        if (brush.mode == 0 || brush.mode == 3 || brush.mode == 4)
            element->setBounds(makeFrameBounds(brush, 0, sprite->xFlip, sprite->yFlip), false);
        return;
    }

    image->setFrameCount(brush.frameCount);
    bool quads = brush.mode == 0 && hasQuadOffsets(sprite);
    if (quads) {
        image->setQuadSubdivisions(3);
        sprite->usesQuads = true;
    }
    for (long f = 0; f < brush.frameCount; f++) {
        const ZRectangle region = sprite->atlasRegions ? sprite->atlasRegions[f] : ZRectangle{};
        if (!brush.video) {
            long atlas = sprite->atlasIndexes ? sprite->atlasIndexes[f] : -1;
            ZGraphic* graphic = atlas >= 0 && atlas < scene->atlasCount ? scene->atlases[atlas]
                                                                        : scene->backgroundImage;
            image->setFrameGraphic(f, graphic, region.x1, region.y1, region.x2, region.y2, nullptr,
                                   -1, -1);
        }
        if (brush.mode == 2 || brush.mode == 6) image->setFrameTiling(f, true, brush.mode == 6);
        if (brush.mode == 1 || brush.mode == 5) {
            bool sides = brush.mode == 5;
            float dx = region.x1 - brush.texSrcX1, dy = region.y1 - brush.texSrcY1;
            image->setFrameStretching(f, true, brush.stretchX1 + dx, brush.stretchX2 + dx, true,
                                      brush.stretchY1 + dy, brush.stretchY2 + dy, sides);
        }
        ZVector2 offset = sprite->atlasOffsets ? sprite->atlasOffsets[f] : ZVector2{0, 0};
        float frameW = region.x2 - region.x1, frameH = region.y2 - region.y1;
        if (sprite->xFlip) offset.x = regionW - offset.x - frameW;
        if (sprite->yFlip) offset.y = regionH - offset.y - frameH;
        image->setFrameOffset(f, offset);
        image->setFrameFlipping(f, sprite->xFlip, sprite->yFlip);
        if (quads)
            image->setFrameSrcCoord(f, region.x1, region.y1, region.x2, region.y1, region.x2,
                                    region.y2, region.x1, region.y2);
    }
    if (brush.mode == 0 || brush.mode == 3 || brush.mode == 4) {
        for (long f = 0; f < brush.frameCount; f++)
            image->setFrameBounds(f, makeFrameBounds(brush, f, sprite->xFlip, sprite->yFlip),
                                  false);
        if (element != image)
            element->setBounds(makeFrameBounds(brush, 0, sprite->xFlip, sprite->yFlip), false);
    }
    // A rate of 0 (the default) or below means no brush animation: the frames hold.
    double frameDuration = brush.animRate > 0 ? 1000.0 / brush.animRate : 0;
    image->addVisual(kFramesVisual);
    image->setCurrentVisual(kFramesVisual);
    image->setVisualSequence(kFramesVisual, 0, brush.frameCount - 1, frameDuration, true, false,
                             false);
    image->setVisualCurrentFrame(kFramesVisual, 0, -1, 0);
}

void CPlayer::postInsertSprite(CSprite* sprite) {
    if (sprite && sprite->state && sprite->scene && sprite->handler) sprite->handler->onInsert();
}

void CPlayer::removeSprite(CSprite* sprite) {
    if (!sprite || !sprite->scene || !sprite->sceneState) return;
    if (sprite->state) sprite->state->isCursor = sprite->state->isSecondaryCursor = false;
    ZUIElement* over = ZUIElement::getMousedOverElement();
    if (over && (over == sprite->image || over == sprite->richText || over == sprite->video))
        over->setState(ZUIElementStateNormal);
    if (sprite->handler) sprite->handler->onRemove();
    forgetZoomedElement(sprite->element);
    sprite->element = nullptr;
    sprite->image = nullptr;
    sprite->richText = nullptr;
    sprite->slider = nullptr;
    sprite->video = nullptr;
    sprite->handler = nullptr;
    sprite->scene = nullptr;
    sprite->sceneState = nullptr;
    sprite->state = nullptr;
}

void CPlayer::removeReparentedElements(CScene* scene, ZUIElement* element) {
    if (!scene || !element) return;
    for (ZUIElement* child = element->getFirstChildElement(); child;) {
        ZUIElement* next = child->getNextSiblingElement();
        removeReparentedElements(scene, child);
        child = next;
    }
    CSprite* sprite = static_cast<CSprite*>(element->getUserData());
    if (!sprite || element == scene->container) return;
    // Only sprite elements carry a sprite as user data; one of another scene was parked here.
    bool ours = false;
    for (CSprite* s = scene->sprites.head; s && !ours; s = ZList<CSprite>::nextOf(s))
        ours = s == sprite;
    if (!ours) deleteCopiedSprite(sprite);
}

void CPlayer::freeSprite(CSprite* sprite) {
    if (!sprite) return;
    unregisterSpriteForEvents(sprite);
    if (sprite->image) sprite->image->setState(ZUIElementStateDisabled);
    if (sprite->richText) sprite->richText->setState(ZUIElementStateDisabled);
    if (sprite->slider) sprite->slider->setState(ZUIElementStateDisabled);
    if (sprite->video) sprite->video->setState(ZUIElementStateDisabled);
    // Elements of child sprites go with this one: they are freed first by the tree walk, or
    // already cleared by their removal.
    forgetZoomedElement(sprite->element);
    delete sprite->element;
    sprite->element = nullptr;
    // An action may have freed its own sprite, which its callers still read.
    if (m_actionDepth > 0) {
        sprite->state = nullptr;
        m_spritesFreedDuringActions.push_back(sprite);
        return;
    }
    delete sprite;
}

void CPlayer::freeSceneSpriteTree(CScene* scene, CSceneState* sceneState, CSprite* sprite) {
    if (!scene || !sprite) return;
    for (CSprite* child = scene->sprites.head; child;) {
        CSprite* next = ZList<CSprite>::nextOf(child);
        if (child != sprite && child->parentId == sprite->id && child->parent == sprite) {
            freeSceneSpriteTree(scene, sceneState, child);
            // The walk may have freed the next sprite too: start over from the head.
            next = scene->sprites.head;
        }
        child = next;
    }
    // A copy's own record would bring it back at the scene's next replay.
    removeSceneCommands(scene, static_cast<long>(sprite->id));
    if (sceneState) {
        if (CSpriteState* state = sceneState->findSpriteState(sprite->id)) {
            sceneState->detachSpriteState(state);
            delete state;
        }
    }
    changeSpriteParentNode(sprite, nullptr);
    if (scene->backgroundSprite == sprite) scene->backgroundSprite = nullptr;
    scene->spriteTable.hashRemove(sprite);
    scene->sprites.remove(sprite);
    sprite->state = nullptr;
    freeSprite(sprite);
}

void CPlayer::changeSpriteParentNode(CSprite* sprite, CSprite* parent) {
    if (!sprite) return;
    if (CSprite* old = sprite->parent) {
        if (sprite->prevSibling)
            sprite->prevSibling->nextSibling = sprite->nextSibling;
        else
            old->firstChild = sprite->nextSibling;
        if (sprite->nextSibling)
            sprite->nextSibling->prevSibling = sprite->prevSibling;
        else
            old->lastChild = sprite->prevSibling;
    }
    sprite->parent = nullptr;
    sprite->nextSibling = sprite->prevSibling = nullptr;
    if (!parent || parent == sprite) return;
    for (CSprite* up = parent; up; up = up->parent)
        if (up == sprite) return;  // never its own ancestor
    parent->appendChild(sprite);
}

ZUIImage* CPlayer::createEmitterElement(ZUIElement* parent, const _CBrush* brush) {
    CUIEmitter* emitter = new CUIEmitter(parent);
    float w = brush->texSrcX2 - brush->texSrcX1, h = brush->texSrcY2 - brush->texSrcY1;
    emitter->setSize(w, h);
    emitter->setCenter(brush->pivotX - (brush->texSrcX1 + brush->texSrcX2) / 2,
                       brush->pivotY - (brush->texSrcY1 + brush->texSrcY2) / 2);
    emitter->setEnableRadius(brush->enableRadius);
    emitter->setSpeedMultiplier(brush->emitterSpeedMul);
    ZUIBounds* bounds = new ZUIBounds();
    bounds->setInfinity();
    emitter->setBounds(bounds, false);
    return emitter;
}

ZUIImage* CPlayer::createStreamedBackground(ZUIElement* parent, CScene* scene) {
    CUIStreamedImage* image = new CUIStreamedImage(parent);
    image->setLookaheadTiles(CGame::isLowMemoryDevice() ? 1 : 2);
    char base[100];
    snprintf(base, sizeof(base), "%s", scene->baseName);
    if (char* dot = strrchr(base, '.')) *dot = '\0';
    char path[260];
    snprintf(path, sizeof(path), "data/graphics/%sscene_%s_background.dat", scene->skinPrefix,
             base);
    image->setImagePath(path);
    return image;
}

void CPlayer::deleteCopiedSprite(CSprite* sprite) {
    if (!sprite || (sprite->copyKind != 1 && sprite->copyKind != 2)) return;
    CScene* scene = sprite->scene;
    if (!scene || !sprite->state) {
        // A copy of a scene that is not showing has no update to go through: it goes with its
        // tree at once.
        for (CScene* s = m_loadedScenes.head; s; s = ZList<CScene>::nextOf(s))
            if (s->findSprite(sprite->id) == sprite) {
                freeSceneSpriteTree(s, s->sceneState, sprite);
                return;
            }
        return;
    }
    // The last updates below run key actions, which may delete this copy or its relatives:
    // what they delete stays readable until the whole tree is gone.
    beginDeferredSpriteDeletes();
    sprite->copyKind = 1;
    sprite->state->playMode = 2;
    unregisterSpriteForEvents(sprite);
    _CBrush* brush = getSpriteBrush(sprite);
    if (CUIEmitter* emitter = CUIEmitter::isUIEmitter(sprite->element))
        if (brush && brush->particleCount > 0) emitter->freeEmitters();
    // Copies below it first, depth first; each walk starts over, as a deletion changes the list.
    std::vector<const CSprite*> done;
    while (true) {
        CSprite* child = nullptr;
        for (CSprite* s = scene->sprites.head; s && !child; s = ZList<CSprite>::nextOf(s))
            if (s->parent == sprite && (s->copyKind == 1 || s->copyKind == 2) &&
                std::find(done.begin(), done.end(), s) == done.end())
                child = s;
        if (!child) break;
        done.push_back(child);
        deleteCopiedSprite(child);
    }
    // Deleted meanwhile by an action, it is no longer in its scene.
    if (sprite->state && scene->findSprite(sprite->id) == sprite)
        updateSprite(sprite, 0, true, true);
    endDeferredSpriteDeletes();
}

CSprite* CPlayer::cmdDuplicateSprite(CSprite* source, CSprite* parent, bool keep, unsigned long id,
                                     const char* name, long number, const char* handler) {
    if (!source || !source->scene || !source->sceneState) return nullptr;
    CScene* scene = source->scene;
    CSceneState* sceneState = source->sceneState;
    long frames = validBrush(scene, source) ? scene->brushes[source->brushIndex].frameCount : 0;
    CSprite* copy = new CSprite();
    copy->copyRecordFrom(*source, frames);
    copy->id = id;
    copy->copyKind = keep ? 2 : 1;
    if (name && name[0]) snprintf(copy->name, sizeof(copy->name), "%s", name);
    if (handler && handler[0])
        snprintf(copy->displayHandler, sizeof(copy->displayHandler), "%s", handler);
    copy->parentId = parent ? parent->id : 0;
    if (parent) parent->appendChild(copy);
    updateSpriteBezier(copy);

    copy->state = getSpriteState(sceneState, copy);
    scene->sprites.insertAfter(copy, source);
    copy->setHashKey(static_cast<long>(copy->id));
    scene->spriteTable.hashInsert(copy);
    insertSprite(scene, sceneState, copy, static_cast<long>(source->id));
    if (copy->element && source->element &&
        copy->element->getParentElement() == source->element->getParentElement())
        copy->element->moveAfterSibling(source->element);
    postInsertSprite(copy);
    callSceneHandlers(eSceneHandlerSpriteDuplicated, copy, nullptr, static_cast<uint64_t>(number),
                      source);
    if (!updateSprite(copy, 0, false, false)) return nullptr;
    applySpriteColor(copy);
    return copy;
}

CSprite* CPlayer::duplicateSprite(CSprite* sprite, CSprite* parent, bool keep, const char* name,
                                  long handlerId, const char* handler) {
    if (!sprite || !sprite->scene || !sprite->sceneState) return nullptr;
    CScene* scene = sprite->scene;
    CSceneState* sceneState = sprite->sceneState;
    unsigned long id = 0;
    while (id == 0 || id == kTinyPlaceholderId || sceneState->findSpriteState(id) ||
           scene->findSprite(id))
        id = ZRandom::getRandom() & 0xFFFFFFFFul;
    CSprite* under = parent ? parent : sprite->parent;
    CSprite* copy = cmdDuplicateSprite(sprite, under, keep, id, name, handlerId, handler);
    if (!copy) return nullptr;
    // The copy comes back when the scene is read again: its replay makes it under the same
    // parent, with the same name and handler.
    addSceneCommand(scene, CSceneCommand::kDuplicate, static_cast<long>(id),
                    static_cast<long>(sprite->id), under ? static_cast<long>(under->id) : 0,
                    keep ? 1 : 0, handlerId, name && name[0] ? name : sprite->name, 0, 0,
                    handler && handler[0] ? handler : sprite->displayHandler, nullptr, nullptr);
    // Children loaded from the file come along; copies hanging below the source do not.
    for (CSprite* child = scene->sprites.head; child; child = ZList<CSprite>::nextOf(child))
        if (child != copy && child->copyKind == 0 && child->parentId == sprite->id &&
            child->parent == sprite)
            duplicateSprite(child, copy, keep, nullptr, handlerId, handler);
    registerSpriteForEvents(copy);
    return copy;
}

CSprite* CPlayer::copySprite(CSprite* sprite, bool keep, const char* name, long handlerId,
                             const char* handler) {
    return duplicateSprite(sprite, nullptr, keep, name, handlerId, handler);
}

CSprite* CPlayer::copySpriteAt(CSprite* sprite, ZVector2 position, bool screen, bool keep,
                               const char* name, CSprite* parent, long handlerId,
                               const char* handler) {
    CSprite* copy = duplicateSprite(sprite, parent, keep, name, handlerId, handler);
    if (!copy || !copy->state) return copy;
    const ZVector2 anchor = copy->keys[0].anchor;
    if (!screen || !copy->element) {
        copy->state->anchorOffset = {position.x - anchor.x, position.y - anchor.y};
        return copy;
    }
    copy->state->anchorOffset =
        screenShiftToAnchorOffset(copy->element, spriteToScreen(copy->element, anchor), position);
    return copy;
}
