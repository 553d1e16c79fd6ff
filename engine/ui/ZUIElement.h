#pragma once
#include <cstddef>
#include <cstdint>

#include "ZCounter.h"
#include "ZEvent.h"
#include "ZGraphic.h"
#include "ZHashTable.h"
#include "ZList.h"
#include "ZMatrix.h"
#include "ZObjectHashable.h"
#include "ZRectangle.h"
#include "ZUIBounds.h"
#include "ZUIElementScriptNode.h"
#include "ZUIMessage.h"
#include "ZUIMessageFunctionBase.h"

class ZBatch;
class ZPixelShader;
class ZScript;
class ZWindow;

enum ZUIElementState : int32_t {
    ZUIElementStateDisabled = 0,
    ZUIElementStateNormal = 1,
    ZUIElementStateHovered = 2,
    ZUIElementStateDown = 3,
    ZUIElementStateSelected = 4,
};

typedef void (*ZUIMessageCallBack)(ZUIMessage* message);

// A node of the retained UI tree. The parent owns its children; an element made without a
// parent hangs under the orphans root. Elements may be deleted from inside any handler: the
// destructor runs at once, and while an input dispatch, a user event, the per-frame move or a
// script call is under way the memory waits, so the walk can tell the element is gone.
class ZUIElement : public ZObjectHashable {
public:
    static constexpr long kSpatialBuckets = 1366;
    static constexpr long kOverflowBucket = 1364;
    static constexpr long kUnplacedBucket = 1365;
    static constexpr long kIdentifierChains = 64;

    explicit ZUIElement(ZUIElement* parent);
    ~ZUIElement() override;
    ZUIElement(const ZUIElement&) = delete;
    ZUIElement& operator=(const ZUIElement&) = delete;
    static void* operator new(size_t size);
    static void operator delete(void* p);

    // Virtual interface, in slot order.
    virtual void copyFromTemplate(ZUIElement* t);
    virtual void setName(const char* name);
    virtual void setIdentifier(long id);
    virtual void setUserData(void* data) { m_userData = data; }
    virtual void setState(ZUIElementState state);
    virtual void setLayer(long layer) { m_layer = layer; }
    virtual void enableElementInput(bool enable);
    virtual void enableTreeInput(bool enable);
    virtual void setMessageCallBack(ZUIMessageCallBack callback);
    virtual void setMessageFunction(ZUIMessageFunctionBase* function);
    virtual void setPosition(float x, float y);
    virtual void setPositionOffset(float x, float y);
    virtual void animatePosition(float fromX, float fromY, float toX, float toY, double holdOff,
                                 double duration, ZCounterFunction fn);
    virtual void animatePositionTo(float toX, float toY, double holdOff, double duration,
                                   ZCounterFunction fn);
    virtual void setSize(float width, float height);
    virtual void setCenter(float x, float y);
    virtual void setNormalizedCenter(float nx, float ny);
    virtual void setBlend(float blend);
    virtual void animateBlend(float from, float to, double holdOff, double duration,
                              ZCounterFunction fn);
    virtual void animateBlendTo(float to, double holdOff, double duration, ZCounterFunction fn);
    virtual void setVisibility(bool visible);
    virtual void setDispatchInputIfInvisible(bool dispatch);
    virtual void setScale(float scale);
    virtual void setScaleXY(float sx, float sy);
    virtual void setScaleToDimensions(float width, float height);
    virtual void setScaleToMaxDimension(float dimension);
    virtual void animateScale(float from, float to, double holdOff, double duration,
                              ZCounterFunction fn);
    virtual void animateScaleTo(float to, double holdOff, double duration, ZCounterFunction fn);
    virtual void animateScaleXY(float fromX, float fromY, float toX, float toY, double holdOff,
                                double duration, ZCounterFunction fn);
    virtual void animateScaleXYTo(float toX, float toY, double holdOff, double duration,
                                  ZCounterFunction fn);
    virtual void setZAngle(float angle);
    virtual void animateZAngle(float from, float to, double holdOff, double duration,
                               ZCounterFunction fn);
    virtual void animateZAngleTo(float to, double holdOff, double duration, ZCounterFunction fn);
    virtual void setShear(float sx, float sy);
    virtual void animateShear(float fromX, float fromY, float toX, float toY, double holdOff,
                              double duration, ZCounterFunction fn);
    virtual void animateShearTo(float toX, float toY, double holdOff, double duration,
                                ZCounterFunction fn);
    virtual void setMatrix(const ZMatrix& m);
    virtual void setTouchMargin(float margin) { m_touchMargin = margin; }
    virtual void setButtonIndex(long index) { m_buttonIndex = index; }
    virtual ZUIBounds* getBounds() { return m_userBounds; }
    virtual void setBounds(ZUIBounds* bounds, bool keep);
    virtual void enableDrawingBounds(bool enable, float r, float g, float b, float a);
    virtual void enableCollisions(bool enable) { m_collisions = enable; }
    virtual void enableClipping(bool enable);
    virtual void enableElementSpaceClipping(bool enable, float x1, float y1, float x2, float y2);
    virtual void enableScreenSpaceClipping(bool enable, float x1, float y1, float x2, float y2);
    virtual void enableInputClipping(bool enable);
    virtual void enableDrawingSiblingsFirst(bool enable) { m_drawSiblingsFirst = enable; }
    virtual void setAsContainer(bool container) { m_container = container; }
    virtual void freeze(bool frozen);
    virtual void setAsStencilMask(bool enable, float value, bool flag);
    virtual void setPixelShader(ZPixelShader* shader, bool forSubtree);
    virtual void setPixelShaderParam(long index, float a, float b, float c, float d);
    virtual void addScript(ZScript* script);
    virtual void removeScript(ZScript* script);
    virtual void onMouseOver() { callScript("onMouseOver"); }
    virtual void onMouseLeave() { callScript("onMouseLeave"); }
    virtual void onDown() { callScript("onDown"); }
    virtual void onCurrentlyDown() { callScript("onCurrentlyDown"); }
    virtual void onUp() { callScript("onUp"); }
    virtual void onSelected() { callScript("onSelected"); }
    virtual void onDeselected() { callScript("onDeselected"); }
    virtual void onRollOver() { callScript("onRollOver"); }
    virtual void onRollOut() { callScript("onRollOut"); }
    virtual void onChildDown() { callScript("onChildDown"); }
    virtual void onChildUp() { callScript("onChildUp"); }
    virtual void onDoneAnimating() { callScript("onDoneAnimating"); }
    virtual void onCollisionWith(ZUIElement* other);
    virtual bool onHit(float x, float y);
    virtual bool onSwipe(long, float, float) { return false; }
    virtual bool handleEvent(ZEvent*) { return false; }
    virtual bool handleUserEvent(const char*, const void*) { return false; }
    virtual void handleMouseCaptureLoss() {}
    virtual bool handleFocus(bool) { return false; }
    virtual void handleChildUpdate() {}
    virtual void move() {}
    virtual bool hasOpaqueParts() { return false; }
    virtual void blit(float, ZMatrix*) {}
    virtual void blitOpaque(float, ZMatrix*) {}
    virtual void blitTransparent(float, ZMatrix*) {}
    virtual void blitPost(float, ZMatrix*) {}
    virtual bool handleEventInternal(ZEvent* event);

    // Tree set-up.
    static void initialize(ZWindow* window);
    static void cleanup();
    static void cleanupOrphans();
    static ZWindow* getZWindow() { return g_lpZWindow; }
    static ZUIElement* getRootElement() { return g_lpRootElem; }
    static ZUIElement* getOrphansRootElement() { return g_lpOrphansRootElem; }
    static long getTotalElementsCount() { return g_nInstances; }
    static long getUpdatedElementsCount() { return g_nUpdatedElements; }
    static long getDrawnElementsCount() { return g_nDrawnElements; }

    // Structure.
    void setParentElement(ZUIElement* parent);
    void replaceLayerInSubtree(long from, long to);
    ZUIElement* getParentElement() const { return m_parent; }
    ZUIElement* getFirstChildElement() const { return m_children.head; }
    ZUIElement* getLastChildElement() const { return m_children.tail; }
    long getChildrenCount() const { return m_children.count; }
    ZUIElement* getNextSiblingElement() const;
    void moveToHead();
    void moveToTail();
    void moveBeforeSibling(ZUIElement* sibling);
    void moveAfterSibling(ZUIElement* sibling);
    void swapWithSibling(ZUIElement* sibling);
    void moveToIndex(long index);
    long getSiblingIndex() const;
    bool isElementInSubtree(const ZUIElement* e) const;

    // Names, identifiers, class tags.
    const char* getName() const { return m_name; }
    bool isNamed(const char* name) const;
    static ZUIElement* getElementByName(const char* name);
    static ZUIElement* getElementByNameNoCase(const char* name);
    long getIdentifier() const { return m_identifier; }
    static ZUIElement* getElementByIdentifier(long id);
    void addClass(const char* name);
    bool isOfClass(const char* name) const;
    const char* getClassName(long i) const;

    void* getUserData() const { return m_userData; }
    long getLayer() const { return m_layer; }
    bool hasScripts() const { return m_scripts.head != nullptr; }
    ZUIElement* getCaughtElement() { return m_caughtElem ? m_caughtElem : this; }
    static ZUIElement* getScriptCallerElement() { return g_lpScriptCallerElem; }

    // Guarded operations: deletions inside them only run destructors, the memory waits for the
    // outermost end.
    static void beginUpdateWithFootprint();
    static void beginUpdateNoFootprint();
    static void endUpdate();
    // Whether e was destroyed during the guarded operations now running (its memory not yet
    // released); only meaningful for pointers taken while they run.
    static bool isDestroyed(const ZUIElement* e);

    // Geometry.
    void setAnchor(float x, float y);
    void setNormalizedAnchor(float nx, float ny);
    float getPositionX() const { return m_x; }
    float getPositionY() const { return m_y; }
    float getPositionOffsetX() const { return m_offsetX; }
    float getPositionOffsetY() const { return m_offsetY; }
    float getWidth() const { return m_width; }
    float getHeight() const { return m_height; }
    float getCenterX() const { return m_centerX; }
    float getCenterY() const { return m_centerY; }
    float getAnchorX() const { return m_anchorX; }
    float getAnchorY() const { return m_anchorY; }
    float getBlend() const { return m_blend; }
    bool getVisibility() const { return m_visible; }
    bool getDispatchInputIfInvisible() const { return m_dispatchIfInvisible; }
    float getScaleX() const { return m_scaleX; }
    float getScaleY() const { return m_scaleY; }
    float getZAngle() const { return m_angle; }
    float getShearX() const { return m_shearX; }
    float getShearY() const { return m_shearY; }
    const ZMatrix& getMatrix() const { return m_userMatrix; }
    bool isAnimating() const { return m_animating != 0; }
    float getTouchMargin() const { return m_touchMargin; }
    long getButtonIndex() const { return m_buttonIndex; }
    const ZMatrix& getAbsMatrix();
    const ZMatrix& getLocalMatrix();
    const ZRectangle& getAbsBoundingRect();
    const ZRectangle& getAbsTreeBoundingRect();
    void getAbsPosition(float x, float y, float& outX, float& outY);
    bool updateFootprintAndParent();
    void collide();
    bool collidesWithElement(ZUIElement* other);
    long getSpatialBucket() const { return m_bucket; }

    // Input and messages.
    long sendMessage(long type, float x, float y, long data1, long data2, const char* text,
                     ZUIElement* other);
    void disableMessages(bool disable) { m_messagesDisabled = disable; }
    ZUIElementState getState() const { return m_state; }
    bool isElementInputEnabled() const { return m_elementInput; }
    bool isTreeInputEnabled() const { return m_treeInput; }
    bool isContainer() const { return m_container; }
    static void enableTouchMargin() { g_bTouchMarginEnabled = true; }
    void setIgnoreAnimatingForMouseClicks(bool ignore) { m_ignoreAnimatingForClicks = ignore; }
    void setIgnoreReentry(bool ignore) { m_ignoreReentry = ignore; }
    static bool dispatchEvent(ZEvent* event);
    static bool dispatchUserEvent(const char* name, const void* data);
    void setFocus();
    static ZUIElement* getFocusedElement() { return g_lpHasFocusElem; }
    static ZUIElement* getDownElement() { return g_lpDownElem; }
    static ZUIElement* getSwipedElement() { return g_lpSwipedElem; }
    static ZUIElement* getMousedOverElement() { return g_lpMousedOverElem; }
    static bool isLeftButtonClicked();
    static bool isRightButtonClicked();
    static bool isMiddleButtonClicked();
    static ZUIElement* pickElement(ZUIElement* subtree, float& x, float& y, bool ignoreInputFlags);
    static bool isRefreshingMousedOverElement() { return g_bRefreshMousedOverElem; }

    // Update and drawing.
    static void moveAll();
    static void blitAll(long layer);
    void blitElements(long layer, ZMatrix* m);
    bool getClippingRect(ZRectangle& r);
    void setBlitMatrix(bool enable) { m_blitMatrix = enable; }
    static ZBatch* getBatch() { return g_lpBatch; }
    static ZGraphic* getBoxGraphic() { return g_lpBoxGraphic; }
    static void setBatchVertexCount(long count);
    static long getBatchVertexCount() { return g_nBatchVertexCount; }
    static void setBatchedTexture(ZGraphic* g, eTazelAlphaOp src, eTazelAlphaOp dst,
                                  bool restoreOps, bool restoreColor);
    static void setBatchedTextureExt(ZGraphic* g, eTazelAlphaOp colorSrc, eTazelAlphaOp colorDst,
                                     eTazelAlphaOp alphaSrc, eTazelAlphaOp alphaDst,
                                     bool restoreOps, bool restoreColor);
    static void endBatch();
    static void resetBatchingOpsCount() { g_nBatchingOpsCount = 0; }
    static long getBatchingOpsCount() { return g_nBatchingOpsCount; }
    static void beginDepthBufferBlit();
    static void blitAllFront(long layer);
    static void endDepthBufferBlit();

    // Scripts.
    void unlinkScript(ZScript* script);
    void executeScript(const char* text, bool all);
    void callScript(const char* name);
    void callScriptInt(const char* name, long value);
    void callScriptStr(const char* name, const char* text);
    bool callScriptVar(const char* name, long inCount, const char* inFormat, void* inArgs,
                       long outCount, const char* outFormat, void* outArgs);

protected:
    // Fields of the element, in record order.
    float m_x = 0, m_y = 0;
    float m_width = 0, m_height = 0;
    bool m_destroyed = false;
    // Not part of the record: kept beside the fields the walks read, for the passes that skip
    // clean subtrees and plain translations.
    bool m_pending = true;
    bool m_userMatrixIdentity = true;
    long m_classCount = 0;
    char m_classes[8][32] = {};
    ZUIElement* m_parent = nullptr;
    ZList<ZUIElement> m_children;
    ZUIElement* m_snapParent = nullptr;
    ZUIElement* m_snapFirst = nullptr;
    ZUIElement* m_snapLast = nullptr;
    ZUIElement* m_snapPrev = nullptr;
    ZUIElement* m_snapNext = nullptr;
    long m_bucket = kUnplacedBucket;
    ZUIElement* m_nextInBucket = nullptr;
    ZUIElement* m_prevInBucket = nullptr;
    ZUIElement* m_nextIdentified = nullptr;
    ZUIElementState m_state = ZUIElementStateNormal;
    long m_layer = 0;
    bool m_elementInput = false;
    bool m_treeInput = true;
    bool m_frozen = false;
    bool m_collisions = false;
    bool m_clipping = false;
    bool m_elementSpaceClipping = false;
    bool m_screenSpaceClipping = false;
    bool m_inputClipping = false;
    bool m_drawSiblingsFirst = false;
    bool m_stencilMask = false;
    float m_stencilValue = 0;
    bool m_stencilFlag = false;
    bool m_container = false;
    ZUIElement* m_caughtElem = nullptr;
    ZPixelShader* m_pixelShader = nullptr;
    bool m_pixelShaderForSubtree = false;
    float m_pixelShaderParams[4][4] = {};
    float m_depthValue = 0;
    ZUIMessageCallBack m_messageCallBack = nullptr;
    ZUIMessageFunctionBase* m_messageFunction = nullptr;
    bool m_messagesDisabled = false;
    ZList<ZUIElementScriptNode> m_scripts;
    bool m_centerNormalized = false;
    float m_centerX = 0, m_centerY = 0, m_normCenterX = 0, m_normCenterY = 0;
    float m_offsetX = 0, m_offsetY = 0;
    bool m_anchorSet = false, m_anchorNormalized = false;
    float m_anchorX = 0, m_anchorY = 0, m_normAnchorX = 0, m_normAnchorY = 0;
    float m_shearX = 0, m_shearY = 0;
    float m_blend = 1.0f;
    bool m_visible = true;
    bool m_dispatchIfInvisible = false;
    float m_angle = 0;
    float m_scaleX = 1.0f, m_scaleY = 1.0f;
    ZMatrix m_userMatrix;
    ZMatrix m_localMatrix;
    float m_touchMargin = 10.0f;
    long m_buttonIndex = 1;
    float m_absBlend = 1.0f;
    ZUIBounds* m_userBounds = nullptr;
    ZUIBounds m_elemBounds;
    ZRectangle m_absRect = {0, 0, 0, 0};
    ZRectangle m_treeRect = {0, 0, 0, 0};
    bool m_subtreeDirty = true, m_matrixDirty = true, m_inverseDirty = true;
    bool m_blitMatrix = true;
    ZMatrix m_absMatrix;
    ZMatrix m_invAbsMatrix;
    bool m_drawBounds = false;
    float m_boundsColor[4] = {1, 1, 1, 1};
    char m_name[100] = {};
    long m_identifier = 0;
    void* m_userData = nullptr;
    uint64_t m_animating = 0;
    bool m_ignoreAnimatingForClicks = false;
    bool m_ignoreReentry = false;
    ZCounter m_tweens[8];
    float m_elemClip[4] = {};
    float m_screenClip[4] = {};

    // Process-wide tree state.
    static ZWindow* g_lpZWindow;
    static ZUIElement* g_lpRootElem;
    static ZUIElement* g_lpOrphansRootElem;
    static ZHashTable g_hashNamedElements;
    static ZUIElement* g_lpFirstIdentifiedElem[kIdentifierChains];
    static ZUIElement* g_lpFirstInSpatialHash[kSpatialBuckets];
    static ZUIElement* g_lpLastInSpatialHash[kSpatialBuckets];
    static const long g_nBucketOffset[6];
    static long g_nInstances;
    static long g_nDeferDeleteDepth;
    static void** g_lpDeletedElemArray;
    static long g_nDeletedElemArraySize;
    static long g_nDeletedElemArrayMaxSize;
    static ZBatch* g_lpBatch;
    static long g_nBatchVertexCount;
    static ZGraphic* g_lpBoxGraphic;
    static ZUIElement* g_lpHasFocusElem;
    static ZUIElement* g_lpDownElem;
    static ZUIElement* g_lpSwipedElem;
    static ZUIElement* g_lpMousedOverElem;
    static ZUIElement* g_lpScriptCallerElem;
    static bool g_bMessageCallBackSet;
    static bool g_bTouchMarginEnabled;
    static bool g_bTouching;
    static bool g_bRefreshMousedOverElem;
    static bool g_bLeftButtonClicked, g_bRightButtonClicked, g_bMiddleButtonClicked;
    static long g_nUpdatedElements, g_nDrawnElements;
    static const ZMatrix g_matIdentity;
    // Drawing state.
    static ZGraphic* g_lpCurBatchedGraphic;
    static long g_nCurBatchedAlphaOp[4];
    static long g_nOrigBatchedAlphaOp[4];
    static float g_fBatchedOrigColor[4];
    static bool g_bBatchedGraphicAlphaOpsModified, g_bBatchedGraphicColorModified;
    static long g_nBatchingOpsCount;
    static bool g_bClippingEnabled;
    static ZRectangle g_rcClipping;
    static long g_nStencilBufferDepth;
    static ZPixelShader* g_lpCurPixelShader;
    static float g_fCurPixelShaderParam[4][4];
    static bool g_bDepthBufferEnabled;
    static float g_fCurDepthValue, g_fDepthValueStep;

private:
    // Keeps the memory of elements deleted meanwhile, without a snapshot: for call-outs that
    // run outside the walks.
    struct Hold {
        Hold() { g_nHoldDepth++; }
        ~Hold();
    };
    static long g_nHoldDepth;
    static void releaseDeferred();
    // Bookkeeping that lets the guarded operations skip work: a snapshot stays valid until the
    // child lists or the frozen marks change, and the footprint pass enters only subtrees that
    // hold an element with its marks set or whose blends changed.
    static long g_nStructureVersion;
    static long g_nSnapshotVersion;
    void markPending();
    static void structureChanged() { g_nStructureVersion++; }
    // Geometry.
    void markDirty();
    void updateFootprint(const ZMatrix* parentAbs);
    void placeInBucket(long bucket);
    void unlinkFromBucket();
    static long bucketForRect(const ZRectangle& r);
    void copyUpdateFootprintSubTree(bool changed, float parentBlend, const ZMatrix* parentAbs,
                                    bool footprints);
    void updateFootprintSubTree(bool changed, float parentBlend, const ZMatrix* parentAbs,
                                bool skipFrozen);
    const ZUIBounds* hitBounds() const { return m_userBounds ? m_userBounds : &m_elemBounds; }
    void toLocal(float x, float y, float& lx, float& ly);
    void runTweens();
    static void beginGuard(bool footprints);
    // Input.
    bool isPickable() const;
    bool isPickableChain() const;
    static bool dispatchPointerToSubTree(ZEvent* event, ZUIElement* e, float x, float y,
                                         bool insideContainer, bool touch);
    static bool dispatchOtherEventToSubTree(ZEvent* event, ZUIElement* e, bool insideContainer);
    static bool dispatchUserEventToSubTree(ZUIElement* e, const char* name, const void* data);
    static bool guardedPointerWalk(ZEvent* event, float x, float y, bool touch);
    static ZUIElement* pickElementInSubTree(ZUIElement* e, float x, float y, float margin,
                                            bool ignoreInputFlags, float& lx, float& ly);
    static void releaseDown();
    static void releaseSwiped();
    static void releaseHovered();
    static void setStateIf(ZUIElement* e, long lowest, long highest, ZUIElementState state);
    static bool holdsHitQuery(ZUIElement* e, float lx, float ly);
    void recordCaughtInContainers();
    void forgetCaughtInAncestors(const ZUIElement* subtree);
    static void refreshMousedOverElement();
    // Update and drawing.
    static void moveSubTree(ZUIElement* e);
    void blitSubTree(long layer, bool changed, float parentBlend, const ZMatrix* parentAbs,
                     long pass, long depthPass);
    void blitChildren(long layer, bool changed, long pass, long depthPass, bool reload);
    static void applyShader(ZPixelShader* shader, const float params[4][4]);
    static void assignDepthValues(ZUIElement* e);
    void blitOwn(long depthPass);
    // Scripts.
    template <class Call>
    bool forEachScript(Call call);
    void notifyAncestors(void (ZUIElement::*hook)(), long code);
    static ZUIElement* snapNextOf(const ZUIElement* e);
    static ZUIElement* snapPrevOf(const ZUIElement* e);
};
