#pragma once

#include "CSpriteKey.h"
#include "ZBezier.h"
#include "ZObjectHashableLong.h"
#include "ZRectangle.h"
#include "ZVector2.h"

class CScene;
class CSceneState;
class CSpriteState;
class CUIDisplayHandler;
class CUIRichText;
class ZUIElement;
class ZUIImage;
class ZUISlider;
class ZUIVideo;

// One placed brush of a scene, keyed by its id in the scene's sprite table. Owned by its scene;
// owns its keys, texts and atlas tables.
class CSprite : public ZObjectHashableLong {
public:
    static constexpr long kEventSlots = 46;
    static constexpr long kUserEvents = 16;

    CSprite();
    ~CSprite() override;
    CSprite(const CSprite&) = delete;
    CSprite& operator=(const CSprite&) = delete;

    // Appends a child at the end of this sprite's children.
    void appendChild(CSprite* child);
    // Takes the other sprite's record with copies of everything it owns (its atlas tables of
    // frames entries, texts and keys); no element, tree links, state or scene.
    void copyRecordFrom(const CSprite& other, long frames);

    unsigned long id = 0;
    long copyKind = 0;
    char name[100] = {};
    unsigned long parentId = 0;
    unsigned long brushId = 0;
    CSprite* parent = nullptr;
    CSprite* firstChild = nullptr;
    CSprite* lastChild = nullptr;
    CSprite* nextSibling = nullptr;
    CSprite* prevSibling = nullptr;
    long brushIndex = -1;
    long* atlasIndexes = nullptr;  // one per brush frame, -1 none
    ZRectangle* atlasRegions = nullptr;
    ZVector2* atlasOffsets = nullptr;
    unsigned long gameFlags = 0;
    char gameValues[4][100] = {};
    char displayHandler[100] = {};
    bool clipChildren = false;
    bool stencil = false;
    bool xFlip = false;
    bool yFlip = false;
    bool loopKeys = false;
    bool wrapAnim = false;
    bool noAutoplay = false;
    bool passThrough = false;
    bool easeIn = false;
    bool easeOut = false;
    bool blendFrames = false;
    bool usesQuads = false;
    long anchorPathType = 0;  // 0 straight, 1 bezier, 2 bezierflat, 3 circle, 4 ccwcircle
    long textFlow = 2;
    long textVAlign = 2;
    float textKerning = 0;
    float textLineSpacing = 0;
    long eventActionType[kEventSlots] = {};
    char* eventActionParam[kEventSlots] = {};
    char* userEventNames[kUserEvents] = {};
    unsigned long eventFlags[3] = {};
    long keyCount = 0;
    CSpriteKey* keys = nullptr;
    long loadedKeyCount = 0;
    CSpriteKey* loadedKeys = nullptr;
    ZBezier anchorPath;
    float pathLength = 0;
    CSpriteState* state = nullptr;
    CScene* scene = nullptr;
    CSceneState* sceneState = nullptr;
    long siblingIndex = 0;
    ZUIElement* element = nullptr;
    // The element seen as its kind, null for the other kinds. The image shows the brush frames:
    // the element itself for a plain image, display handler, streamed image, native video or
    // emitter, the button's background image for a slider.
    ZUIImage* image = nullptr;
    CUIRichText* richText = nullptr;
    ZUISlider* slider = nullptr;
    ZUIVideo* video = nullptr;
    CUIDisplayHandler* handler = nullptr;
};
