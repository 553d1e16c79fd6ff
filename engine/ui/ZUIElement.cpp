#include "ZUIElement.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <unordered_map>

#include "ZBatch.h"
#include "ZCore.h"
#include "ZInput.h"
#include "ZScript.h"
#include "ZWindow.h"

ZWindow* ZUIElement::g_lpZWindow = nullptr;
ZUIElement* ZUIElement::g_lpRootElem = nullptr;
ZUIElement* ZUIElement::g_lpOrphansRootElem = nullptr;
ZHashTable ZUIElement::g_hashNamedElements;
ZUIElement* ZUIElement::g_lpFirstIdentifiedElem[kIdentifierChains] = {};
ZUIElement* ZUIElement::g_lpFirstInSpatialHash[kSpatialBuckets] = {};
ZUIElement* ZUIElement::g_lpLastInSpatialHash[kSpatialBuckets] = {};
const long ZUIElement::g_nBucketOffset[6] = {0, 1024, 1280, 1344, 1360, 1364};
long ZUIElement::g_nInstances = 0;
long ZUIElement::g_nDeferDeleteDepth = 0;
long ZUIElement::g_nHoldDepth = 0;
long ZUIElement::g_nStructureVersion = 0;
long ZUIElement::g_nSnapshotVersion = -1;
void** ZUIElement::g_lpDeletedElemArray = nullptr;
long ZUIElement::g_nDeletedElemArraySize = 0;
long ZUIElement::g_nDeletedElemArrayMaxSize = 0;
ZBatch* ZUIElement::g_lpBatch = nullptr;
long ZUIElement::g_nBatchVertexCount = 100;
ZGraphic* ZUIElement::g_lpBoxGraphic = nullptr;
ZUIElement* ZUIElement::g_lpHasFocusElem = nullptr;
ZUIElement* ZUIElement::g_lpDownElem = nullptr;
ZUIElement* ZUIElement::g_lpSwipedElem = nullptr;
ZUIElement* ZUIElement::g_lpMousedOverElem = nullptr;
ZUIElement* ZUIElement::g_lpScriptCallerElem = nullptr;
bool ZUIElement::g_bMessageCallBackSet = true;
bool ZUIElement::g_bTouchMarginEnabled = false;
bool ZUIElement::g_bTouching = false;
bool ZUIElement::g_bRefreshMousedOverElem = false;
bool ZUIElement::g_bLeftButtonClicked = false;
bool ZUIElement::g_bRightButtonClicked = false;
bool ZUIElement::g_bMiddleButtonClicked = false;
long ZUIElement::g_nUpdatedElements = 0;
long ZUIElement::g_nDrawnElements = 0;
const ZMatrix ZUIElement::g_matIdentity;
ZGraphic* ZUIElement::g_lpCurBatchedGraphic = nullptr;
long ZUIElement::g_nCurBatchedAlphaOp[4] = {-1, -1, -1, -1};
long ZUIElement::g_nOrigBatchedAlphaOp[4] = {};
float ZUIElement::g_fBatchedOrigColor[4] = {};
bool ZUIElement::g_bBatchedGraphicAlphaOpsModified = false;
bool ZUIElement::g_bBatchedGraphicColorModified = false;
long ZUIElement::g_nBatchingOpsCount = 0;
bool ZUIElement::g_bClippingEnabled = false;
ZRectangle ZUIElement::g_rcClipping = {0, 0, 0, 0};
long ZUIElement::g_nStencilBufferDepth = 0;
ZPixelShader* ZUIElement::g_lpCurPixelShader = nullptr;
float ZUIElement::g_fCurPixelShaderParam[4][4] = {};
bool ZUIElement::g_bDepthBufferEnabled = false;
float ZUIElement::g_fCurDepthValue = 0;
float ZUIElement::g_fDepthValueStep = 0;

namespace {

// What a walk still needs of an element destroyed while it runs. The element's own fields are
// not read once its destructor has run, even though its memory is kept until the walk ends.
struct DestroyedLinks {
    ZUIElement* snapNext;
    ZUIElement* snapPrev;
};
std::unordered_map<const ZUIElement*, DestroyedLinks> g_destroyed;

// The pointer capture of the walk in progress (the down or swiped element), or null.
ZUIElement* g_captured = nullptr;

const double kPi = 3.1415927;
// Cell coordinates beyond this no longer convert exactly to integers.
const double kLargestCell = 9.0e15;

bool overlaps(const ZRectangle& a, const ZRectangle& b) {
    return b.x1 < a.x2 && b.y1 < a.y2 && a.x1 < b.x2 && a.y1 < b.y2;
}

bool isFiniteRect(const ZRectangle& r) {
    return std::isfinite(r.x1) && std::isfinite(r.y1) && std::isfinite(r.x2) && std::isfinite(r.y2);
}

void growRect(ZRectangle& r, const ZRectangle& by) {
    r.x1 = std::min(r.x1, by.x1);
    r.y1 = std::min(r.y1, by.y1);
    r.x2 = std::max(r.x2, by.x2);
    r.y2 = std::max(r.y2, by.y2);
}

bool isMouseType(int64_t type) {
    return type == kZEventMouseMove || type == kZEventMouseUp || type == kZEventMouseDown ||
           type == kZEventDoubleClick;
}

bool isTouchType(int64_t type) {
    return type == kZEventTouch || type == kZEventDoubleTap;
}

// The cell of a coordinate at a cell size, false when it is too large to be an integer.
// The cell sizes are powers of two, so multiplying by the reciprocal divides exactly.
bool cellOf(float v, float size, int64_t& cell) {
    float c = v * (1.0f / size);
    if (!(std::fabs(c) < kLargestCell)) return false;
    cell = static_cast<int64_t>(c);  // truncates toward zero
    return true;
}

bool isIdentity(const ZMatrix& m) {
    static const ZMatrix identity;
    return std::memcmp(m.m, identity.m, sizeof(m.m)) == 0;
}

// A local point as the integer field of an event: saturated, and 0 for NaN.
int64_t eventCoordinate(float v) {
    if (!(v == v)) return 0;
    const float limit = 9.0e18f;
    if (v >= limit) return static_cast<int64_t>(limit);
    if (v <= -limit) return -static_cast<int64_t>(limit);
    return static_cast<int64_t>(v);
}

ZVector2 mapPoint(const ZMatrix& m, float x, float y) {
    ZVector2 out = m.transform2(ZVector2{x, -y});
    return {out.x, -out.y};
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Memory and guards

// Kept out of line: the compiler would otherwise pair the malloc inside with the class's own
// delete at every new-expression and warn about a mismatch.
__attribute__((noinline)) void* ZUIElement::operator new(size_t size) {
    void* p = std::malloc(size);
    if (!p) std::abort();
    return p;
}

void ZUIElement::operator delete(void* p) {
    if (!p) return;
    if (g_nDeferDeleteDepth < 1 && g_nHoldDepth < 1) {
        std::free(p);
        return;
    }
    if (g_nDeletedElemArraySize == g_nDeletedElemArrayMaxSize) {
        long grown = g_nDeletedElemArraySize + 1;
        void** array =
            static_cast<void**>(std::realloc(g_lpDeletedElemArray, grown * sizeof(void*)));
        if (!array) {
            // Nowhere to keep it: leaking is safer than freeing memory a walk may still read.
            ZCore::logMessage("UI: out of memory deferring an element's release, ERROR");
            return;
        }
        g_lpDeletedElemArray = array;
        g_nDeletedElemArrayMaxSize = grown;
    }
    g_lpDeletedElemArray[g_nDeletedElemArraySize++] = p;
}

ZUIElement::Hold::~Hold() {
    if (g_nHoldDepth > 0) g_nHoldDepth--;
    releaseDeferred();
}

void ZUIElement::releaseDeferred() {
    if (g_nDeferDeleteDepth > 0 || g_nHoldDepth > 0) return;
    g_destroyed.clear();
    if (!g_lpDeletedElemArray) return;
    for (long i = 0; i < g_nDeletedElemArraySize; i++) std::free(g_lpDeletedElemArray[i]);
    std::free(g_lpDeletedElemArray);
    g_lpDeletedElemArray = nullptr;
    g_nDeletedElemArraySize = 0;
    g_nDeletedElemArrayMaxSize = 0;
}

bool ZUIElement::isDestroyed(const ZUIElement* e) {
    return !g_destroyed.empty() && g_destroyed.count(e) != 0;
}

ZUIElement* ZUIElement::snapNextOf(const ZUIElement* e) {
    if (!g_destroyed.empty()) {
        auto found = g_destroyed.find(e);
        if (found != g_destroyed.end()) return found->second.snapNext;
    }
    return e->m_snapNext;
}

ZUIElement* ZUIElement::snapPrevOf(const ZUIElement* e) {
    if (!g_destroyed.empty()) {
        auto found = g_destroyed.find(e);
        if (found != g_destroyed.end()) return found->second.snapPrev;
    }
    return e->m_snapPrev;
}

void ZUIElement::beginGuard(bool footprints) {
    long before = g_nDeferDeleteDepth++;
    if (!g_lpRootElem) return;
    if (before == 0 && g_nSnapshotVersion != g_nStructureVersion) {
        g_lpRootElem->copyUpdateFootprintSubTree(false, 1.0f, nullptr, footprints);
        // A snapshot taken without footprints leaves the footprints to the next pass.
        if (footprints) g_nSnapshotVersion = g_nStructureVersion;
    } else if (footprints) {
        g_lpRootElem->updateFootprintSubTree(false, 1.0f, nullptr, before == 0);
    }
}

void ZUIElement::beginUpdateWithFootprint() {
    beginGuard(true);
}

void ZUIElement::beginUpdateNoFootprint() {
    beginGuard(false);
}

void ZUIElement::endUpdate() {
    if (g_nDeferDeleteDepth > 0) g_nDeferDeleteDepth--;
    releaseDeferred();
}

// ---------------------------------------------------------------------------------------------
// Construction and destruction

ZUIElement::ZUIElement(ZUIElement* parent) {
    if (!g_lpZWindow)
        ZCore::logMessage(
            "UI: element created before ZUIElement::initialize() was called, WARNING");
    if (g_nInstances == 0) {
        if (!g_lpBoxGraphic) {
            g_lpBoxGraphic = ZCore::createZGraphic();
            if (g_lpBoxGraphic) g_lpBoxGraphic->setTextureQuality(true);
        }
        if (!g_lpBatch) {
            g_lpBatch = ZCore::createZBatch();
            if (g_lpBatch) g_lpBatch->allocateVertexBuffer(g_nBatchVertexCount, 1);
        }
    }
    g_nInstances++;
    if (!parent) parent = g_lpOrphansRootElem;
    if (parent) {
        m_parent = parent;
        parent->m_children.addToTail(this);
        setLayer(parent->m_layer);
        markPending();
        structureChanged();
        parent->handleChildUpdate();
    }
    m_elemBounds.setRect(0, 0, 0, 0);
    m_elemBounds.transform(m_absMatrix);
    m_elemBounds.setColor(1, 1, 1, 1);
    // Link at the tail of the bucket of elements never placed.
    m_bucket = kUnplacedBucket;
    m_prevInBucket = g_lpLastInSpatialHash[kUnplacedBucket];
    if (m_prevInBucket)
        m_prevInBucket->m_nextInBucket = this;
    else
        g_lpFirstInSpatialHash[kUnplacedBucket] = this;
    g_lpLastInSpatialHash[kUnplacedBucket] = this;
}

ZUIElement::~ZUIElement() {
    if (m_destroyed) return;
    m_destroyed = true;
    if (g_nDeferDeleteDepth > 0 || g_nHoldDepth > 0)
        g_destroyed[this] = DestroyedLinks{m_snapNext, m_snapPrev};

    while (ZUIElementScriptNode* node = m_scripts.head) {
        m_scripts.remove(node);
        node->script->delReference();
        delete node;
    }
    delete m_messageFunction;
    m_messageFunction = nullptr;
    setIdentifier(0);
    unlinkFromBucket();
    if (m_name[0]) g_hashNamedElements.hashRemove(this);
    delete m_userBounds;
    m_userBounds = nullptr;

    if (m_parent) {
        forgetCaughtInAncestors(this);
        m_parent->m_children.remove(this);
        structureChanged();
        m_parent->handleChildUpdate();
        m_parent = nullptr;
    }
    while (ZUIElement* child = m_children.head) {
        m_children.remove(child);
        child->m_parent = nullptr;
        delete child;
    }
    structureChanged();

    if (g_lpRootElem == this) g_lpRootElem = nullptr;
    if (g_lpOrphansRootElem == this) g_lpOrphansRootElem = nullptr;
    if (g_lpMousedOverElem == this) g_lpMousedOverElem = nullptr;
    if (g_lpHasFocusElem == this) g_lpHasFocusElem = nullptr;
    if (g_lpDownElem == this) g_lpDownElem = nullptr;
    if (g_lpSwipedElem == this) g_lpSwipedElem = nullptr;
    if (g_lpScriptCallerElem == this) g_lpScriptCallerElem = nullptr;
    if (g_captured == this) g_captured = nullptr;

    if (--g_nInstances == 0) {
        delete g_lpBatch;
        g_lpBatch = nullptr;
        delete g_lpBoxGraphic;
        g_lpBoxGraphic = nullptr;
        g_lpCurBatchedGraphic = nullptr;
    }
}

void ZUIElement::initialize(ZWindow* window) {
    g_lpZWindow = window;
    if (g_lpRootElem || g_lpOrphansRootElem) return;
    std::fill(std::begin(g_lpFirstIdentifiedElem), std::end(g_lpFirstIdentifiedElem), nullptr);
    // Elements made before initialize keep their place in the unplaced bucket.
    ZUIElement* unplaced = g_lpFirstInSpatialHash[kUnplacedBucket];
    ZUIElement* unplacedLast = g_lpLastInSpatialHash[kUnplacedBucket];
    std::fill(std::begin(g_lpFirstInSpatialHash), std::end(g_lpFirstInSpatialHash), nullptr);
    std::fill(std::begin(g_lpLastInSpatialHash), std::end(g_lpLastInSpatialHash), nullptr);
    g_lpFirstInSpatialHash[kUnplacedBucket] = unplaced;
    g_lpLastInSpatialHash[kUnplacedBucket] = unplacedLast;
    ZUIElement* root = new ZUIElement(nullptr);
    g_lpRootElem = root;
    root->setPosition(0, 0);
    root->setSize(window ? window->getWindowWidth() : 0, window ? window->getWindowHeight() : 0);
    ZUIElement* orphans = new ZUIElement(root);
    g_lpOrphansRootElem = orphans;
    orphans->setPosition(0, 0);
    orphans->setBlend(0);
    orphans->setSize(0, 0);
}

void ZUIElement::cleanup() {
    delete g_lpOrphansRootElem;
    g_lpOrphansRootElem = nullptr;
    delete g_lpRootElem;
    g_lpRootElem = nullptr;
    g_lpZWindow = nullptr;
}

void ZUIElement::cleanupOrphans() {
    if (!g_lpOrphansRootElem) return;
    while (ZUIElement* child = g_lpOrphansRootElem->m_children.head) delete child;
}

// ---------------------------------------------------------------------------------------------
// Structure

void ZUIElement::setParentElement(ZUIElement* parent) {
    if (!parent) parent = g_lpOrphansRootElem;
    if (!parent || !m_parent || parent == m_parent) return;
    if (isElementInSubtree(parent)) {
        ZCore::logMessage("UI: element \"%s\" cannot move into its own subtree, ERROR", m_name);
        return;
    }
    forgetCaughtInAncestors(this);
    ZUIElement* old = m_parent;
    old->m_children.remove(this);
    old->handleChildUpdate();
    m_parent = parent;
    parent->m_children.addToTail(this);
    structureChanged();
    replaceLayerInSubtree(m_layer, parent->m_layer);
    parent->handleChildUpdate();
    m_subtreeDirty = m_matrixDirty = true;
    markPending();
    g_bRefreshMousedOverElem = true;
}

void ZUIElement::replaceLayerInSubtree(long from, long to) {
    if (m_layer == from) setLayer(to);
    for (ZUIElement* child : m_children) child->replaceLayerInSubtree(from, to);
}

ZUIElement* ZUIElement::getNextSiblingElement() const {
    return m_parent ? ZList<ZUIElement>::nextOf(this) : nullptr;
}

void ZUIElement::moveToHead() {
    if (!m_parent) return;
    structureChanged();
    m_parent->m_children.remove(this);
    m_parent->m_children.addToHead(this);
}

void ZUIElement::moveToTail() {
    if (!m_parent) return;
    structureChanged();
    m_parent->m_children.remove(this);
    m_parent->m_children.addToTail(this);
}

void ZUIElement::moveBeforeSibling(ZUIElement* sibling) {
    if (!sibling || sibling == this || !m_parent || sibling->m_parent != m_parent) return;
    structureChanged();
    m_parent->m_children.remove(this);
    m_parent->m_children.insertBefore(this, sibling);
}

void ZUIElement::moveAfterSibling(ZUIElement* sibling) {
    if (!sibling || sibling == this || !m_parent || sibling->m_parent != m_parent) return;
    structureChanged();
    m_parent->m_children.remove(this);
    m_parent->m_children.insertAfter(this, sibling);
}

void ZUIElement::swapWithSibling(ZUIElement* sibling) {
    if (!sibling || sibling == this || !m_parent || sibling->m_parent != m_parent) return;
    structureChanged();
    ZList<ZUIElement>& list = m_parent->m_children;
    ZUIElement* afterThis = ZList<ZUIElement>::nextOf(this);
    if (afterThis == sibling) {
        moveAfterSibling(sibling);
        return;
    }
    ZUIElement* afterSibling = ZList<ZUIElement>::nextOf(sibling);
    if (afterSibling == this) {
        sibling->moveAfterSibling(this);
        return;
    }
    list.remove(this);
    if (afterSibling)
        list.insertBefore(this, afterSibling);
    else
        list.addToTail(this);
    list.remove(sibling);
    if (afterThis)
        list.insertBefore(sibling, afterThis);
    else
        list.addToTail(sibling);
}

void ZUIElement::moveToIndex(long index) {
    if (!m_parent) return;
    ZList<ZUIElement>& list = m_parent->m_children;
    long n = list.count;
    if (n < 1) return;
    structureChanged();
    index = std::max(0L, std::min(index, n - 1));
    list.remove(this);
    ZUIElement* at = list.head;
    for (long i = 0; at && i < index; i++) at = ZList<ZUIElement>::nextOf(at);
    if (at)
        list.insertBefore(this, at);
    else
        list.addToTail(this);
}

long ZUIElement::getSiblingIndex() const {
    if (!m_parent) return 0;
    long index = 0;
    for (const ZUIElement* e = m_parent->m_children.head; e && e != this;
         e = ZList<ZUIElement>::nextOf(e))
        index++;
    return index;
}

bool ZUIElement::isElementInSubtree(const ZUIElement* e) const {
    for (; e; e = e->m_parent)
        if (e == this) return true;
    return false;
}

// ---------------------------------------------------------------------------------------------
// Names, identifiers, class tags, accessors

void ZUIElement::setName(const char* name) {
    if (!name) name = "";
    if (std::strncmp(name, m_name, sizeof(m_name) - 1) == 0 &&
        std::strlen(name) == std::strlen(m_name))
        return;
    if (m_name[0]) g_hashNamedElements.hashRemove(this);
    std::strncpy(m_name, name, sizeof(m_name) - 1);
    m_name[sizeof(m_name) - 1] = 0;
    if (m_name[0]) {
        setHashKey(m_name);
        g_hashNamedElements.hashInsert(this);
    }
}

bool ZUIElement::isNamed(const char* name) const {
    return name && std::strcmp(name, m_name) == 0;
}

ZUIElement* ZUIElement::getElementByName(const char* name) {
    if (!name) return nullptr;
    return static_cast<ZUIElement*>(g_hashNamedElements.hashFind(name));
}

ZUIElement* ZUIElement::getElementByNameNoCase(const char* name) {
    if (!name) return nullptr;
    return static_cast<ZUIElement*>(g_hashNamedElements.hashFindNoCase(name));
}

namespace {
// Chains of negative identifiers fold onto the positive ones.
long chainOf(long id) {
    long chain = id % ZUIElement::kIdentifierChains;
    return chain < 0 ? chain + ZUIElement::kIdentifierChains : chain;
}
}  // namespace

void ZUIElement::setIdentifier(long id) {
    if (id == m_identifier) return;
    if (m_identifier != 0) {
        ZUIElement** link = &g_lpFirstIdentifiedElem[chainOf(m_identifier)];
        while (*link && *link != this) link = &(*link)->m_nextIdentified;
        if (*link) *link = m_nextIdentified;
        m_nextIdentified = nullptr;
    }
    m_identifier = id;
    if (id != 0) {
        ZUIElement*& head = g_lpFirstIdentifiedElem[chainOf(id)];
        m_nextIdentified = head;
        head = this;
    }
}

ZUIElement* ZUIElement::getElementByIdentifier(long id) {
    for (ZUIElement* e = g_lpFirstIdentifiedElem[chainOf(id)]; e; e = e->m_nextIdentified)
        if (e->m_identifier == id) return e;
    return nullptr;
}

void ZUIElement::addClass(const char* name) {
    if (m_classCount >= 8 || !name) return;
    std::strncpy(m_classes[m_classCount], name, 31);
    m_classes[m_classCount][31] = 0;
    m_classCount++;
}

bool ZUIElement::isOfClass(const char* name) const {
    if (!name) return false;
    for (long i = 0; i < m_classCount; i++)
        if (std::strcmp(m_classes[i], name) == 0) return true;
    return false;
}

const char* ZUIElement::getClassName(long i) const {
    if (i < 0 || i >= m_classCount) return nullptr;
    return m_classes[m_classCount - 1 - i];
}

void ZUIElement::setBounds(ZUIBounds* bounds, bool keep) {
    if (!keep && m_userBounds != bounds) delete m_userBounds;
    m_userBounds = bounds;
    m_matrixDirty = m_subtreeDirty = true;
    markPending();
}

void ZUIElement::copyFromTemplate(ZUIElement* t) {
    if (!t) return;
    m_centerNormalized = m_anchorSet = m_anchorNormalized = false;
    setSize(t->m_width, t->m_height);
    if (t->m_centerNormalized)
        setNormalizedCenter(t->m_normCenterX, t->m_normCenterY);
    else
        setCenter(t->m_centerX, t->m_centerY);
    setBlend(t->m_blend);
    setZAngle(t->m_angle);
    setScaleXY(t->m_scaleX, t->m_scaleY);
    if (t->m_anchorSet) {
        m_anchorSet = true;
        if (t->m_anchorNormalized) {
            m_anchorNormalized = true;
            m_normAnchorX = t->m_normAnchorX;
            m_normAnchorY = t->m_normAnchorY;
            m_anchorX = m_normAnchorX * m_width;
            m_anchorY = m_normAnchorY * m_height;
        } else {
            m_anchorX = t->m_anchorX;
            m_anchorY = t->m_anchorY;
        }
        markDirty();
    }
    setShear(t->m_shearX, t->m_shearY);
    setTouchMargin(t->m_touchMargin);
    setButtonIndex(t->m_buttonIndex);
}

// ---------------------------------------------------------------------------------------------
// Geometry setters and tweens

void ZUIElement::markDirty() {
    m_subtreeDirty = m_matrixDirty = true;
    g_bRefreshMousedOverElem = true;
    markPending();
}

void ZUIElement::markPending() {
    m_pending = true;
    for (ZUIElement* a = m_parent; a && !a->m_pending; a = a->m_parent) a->m_pending = true;
}

void ZUIElement::setPosition(float x, float y) {
    if (x == m_x && y == m_y) return;
    m_x = x;
    m_y = y;
    markDirty();
}

void ZUIElement::setPositionOffset(float x, float y) {
    if (x == m_offsetX && y == m_offsetY) return;
    m_offsetX = x;
    m_offsetY = y;
    markDirty();
}

void ZUIElement::setSize(float width, float height) {
    if (width == m_width && height == m_height) return;
    m_width = width;
    m_height = height;
    markDirty();
    m_elemBounds.setRect(0, 0, width, height);
    if (m_centerNormalized) {
        m_centerX = m_normCenterX * width;
        m_centerY = m_normCenterY * height;
    }
    if (!m_anchorSet) {
        m_anchorX = 0.5f * width;
        m_anchorY = 0.5f * height;
    } else if (m_anchorNormalized) {
        m_anchorX = m_normAnchorX * width;
        m_anchorY = m_normAnchorY * height;
    }
    if (m_parent) m_parent->handleChildUpdate();
}

void ZUIElement::setCenter(float x, float y) {
    if (!m_centerNormalized && x == m_centerX && y == m_centerY) return;
    m_centerX = x;
    m_centerY = y;
    m_centerNormalized = false;
    markDirty();
}

void ZUIElement::setNormalizedCenter(float nx, float ny) {
    if (m_centerNormalized && nx == m_normCenterX && ny == m_normCenterY) return;
    m_normCenterX = nx;
    m_normCenterY = ny;
    m_centerX = nx * m_width;
    m_centerY = ny * m_height;
    m_centerNormalized = true;
    markDirty();
}

void ZUIElement::setAnchor(float x, float y) {
    if (m_anchorSet && !m_anchorNormalized && x == m_anchorX && y == m_anchorY) return;
    m_anchorX = x;
    m_anchorY = y;
    m_anchorSet = true;
    m_anchorNormalized = false;
    markDirty();
}

void ZUIElement::setNormalizedAnchor(float nx, float ny) {
    if (m_anchorSet && m_anchorNormalized && nx == m_normAnchorX && ny == m_normAnchorY) return;
    m_normAnchorX = nx;
    m_normAnchorY = ny;
    m_anchorX = nx * m_width;
    m_anchorY = ny * m_height;
    m_anchorSet = m_anchorNormalized = true;
    markDirty();
}

void ZUIElement::setBlend(float blend) {
    blend = std::min(1.0f, std::max(0.0f, blend));
    if (blend != m_blend) markPending();
    if (m_blend <= 0 && blend > 0) {
        markDirty();
    } else if (m_blend > 0 && blend <= 0) {
        g_bRefreshMousedOverElem = true;
    }
    m_blend = blend;
}

void ZUIElement::setVisibility(bool visible) {
    if (visible == m_visible) return;
    m_visible = visible;
    markDirty();
}

void ZUIElement::setDispatchInputIfInvisible(bool dispatch) {
    if (dispatch == m_dispatchIfInvisible) return;
    m_dispatchIfInvisible = dispatch;
    markDirty();
}

void ZUIElement::setScale(float scale) {
    if (scale == m_scaleX && scale == m_scaleY) return;
    m_scaleX = m_scaleY = scale;
    markDirty();
}

void ZUIElement::setScaleXY(float sx, float sy) {
    if (sx == m_scaleX && sy == m_scaleY) return;
    m_scaleX = sx;
    m_scaleY = sy;
    markDirty();
}

void ZUIElement::setScaleToDimensions(float width, float height) {
    setScaleXY(m_width > 0 ? width / m_width : 0, m_height > 0 ? height / m_height : 0);
}

void ZUIElement::setScaleToMaxDimension(float dimension) {
    if (m_width <= 0 || m_height <= 0)
        setScale(0);
    else if (m_width > m_height)
        setScale(dimension / m_width);
    else
        setScale(dimension / m_height);
}

void ZUIElement::setZAngle(float angle) {
    if (angle == m_angle) return;
    m_angle = angle;
    markDirty();
}

void ZUIElement::setShear(float sx, float sy) {
    if (sx == m_shearX && sy == m_shearY) return;
    m_shearX = sx;
    m_shearY = sy;
    markDirty();
}

void ZUIElement::setMatrix(const ZMatrix& m) {
    bool same = std::memcmp(m.m, m_userMatrix.m, sizeof(m.m)) == 0;
    m_userMatrix = m;
    m_userMatrixIdentity = isIdentity(m);
    if (!same) markDirty();
}

void ZUIElement::freeze(bool frozen) {
    if (frozen != m_frozen) {
        m_subtreeDirty = m_matrixDirty = true;
        markPending();
        structureChanged();
    }
    m_frozen = frozen;
}

enum {
    kTweenX,
    kTweenY,
    kTweenBlend,
    kTweenScaleX,
    kTweenScaleY,
    kTweenAngle,
    kTweenShearX,
    kTweenShearY
};
enum : uint64_t {
    kAnimPosition = 1,
    kAnimBlend = 2,
    kAnimScale = 4,
    kAnimAngle = 8,
    kAnimShear = 16,
};

void ZUIElement::animatePosition(float fromX, float fromY, float toX, float toY, double holdOff,
                                 double duration, ZCounterFunction fn) {
    m_tweens[kTweenX].startCounter(fromX, toX, holdOff, duration, fn);
    m_tweens[kTweenY].startCounter(fromY, toY, holdOff, duration, fn);
    m_animating |= kAnimPosition;
}

void ZUIElement::animatePositionTo(float toX, float toY, double holdOff, double duration,
                                   ZCounterFunction fn) {
    animatePosition(m_x, m_y, toX, toY, holdOff, duration, fn);
}

void ZUIElement::animateBlend(float from, float to, double holdOff, double duration,
                              ZCounterFunction fn) {
    m_tweens[kTweenBlend].startCounter(from, to, holdOff, duration, fn);
    m_animating |= kAnimBlend;
}

void ZUIElement::animateBlendTo(float to, double holdOff, double duration, ZCounterFunction fn) {
    animateBlend(m_blend, to, holdOff, duration, fn);
}

void ZUIElement::animateScale(float from, float to, double holdOff, double duration,
                              ZCounterFunction fn) {
    animateScaleXY(from, from, to, to, holdOff, duration, fn);
}

void ZUIElement::animateScaleTo(float to, double holdOff, double duration, ZCounterFunction fn) {
    animateScaleXY(m_scaleX, m_scaleY, to, to, holdOff, duration, fn);
}

void ZUIElement::animateScaleXY(float fromX, float fromY, float toX, float toY, double holdOff,
                                double duration, ZCounterFunction fn) {
    m_tweens[kTweenScaleX].startCounter(fromX, toX, holdOff, duration, fn);
    m_tweens[kTweenScaleY].startCounter(fromY, toY, holdOff, duration, fn);
    m_animating |= kAnimScale;
}

void ZUIElement::animateScaleXYTo(float toX, float toY, double holdOff, double duration,
                                  ZCounterFunction fn) {
    animateScaleXY(m_scaleX, m_scaleY, toX, toY, holdOff, duration, fn);
}

void ZUIElement::animateZAngle(float from, float to, double holdOff, double duration,
                               ZCounterFunction fn) {
    m_tweens[kTweenAngle].startCounter(from, to, holdOff, duration, fn);
    m_animating |= kAnimAngle;
}

void ZUIElement::animateZAngleTo(float to, double holdOff, double duration, ZCounterFunction fn) {
    animateZAngle(m_angle, to, holdOff, duration, fn);
}

void ZUIElement::animateShear(float fromX, float fromY, float toX, float toY, double holdOff,
                              double duration, ZCounterFunction fn) {
    m_tweens[kTweenShearX].startCounter(fromX, toX, holdOff, duration, fn);
    m_tweens[kTweenShearY].startCounter(fromY, toY, holdOff, duration, fn);
    m_animating |= kAnimShear;
}

void ZUIElement::animateShearTo(float toX, float toY, double holdOff, double duration,
                                ZCounterFunction fn) {
    animateShear(m_shearX, m_shearY, toX, toY, holdOff, duration, fn);
}

void ZUIElement::runTweens() {
    uint64_t before = m_animating;
    double dt = g_lpZWindow ? g_lpZWindow->getFrameTime() : 0;
    for (ZCounter& tween : m_tweens) tween.move(dt);
    // Each setter may run a subclass's code that deletes the element.
    if (m_animating & kAnimPosition) {
        setPosition(m_tweens[kTweenX].getCurrentValue(), m_tweens[kTweenY].getCurrentValue());
        if (isDestroyed(this)) return;
        if (m_tweens[kTweenX].isCompleted() && m_tweens[kTweenY].isCompleted())
            m_animating &= ~kAnimPosition;
    }
    if (m_animating & kAnimBlend) {
        setBlend(m_tweens[kTweenBlend].getCurrentValue());
        if (isDestroyed(this)) return;
        if (m_tweens[kTweenBlend].isCompleted()) m_animating &= ~kAnimBlend;
    }
    if (m_animating & kAnimScale) {
        setScaleXY(m_tweens[kTweenScaleX].getCurrentValue(),
                   m_tweens[kTweenScaleY].getCurrentValue());
        if (isDestroyed(this)) return;
        if (m_tweens[kTweenScaleX].isCompleted() && m_tweens[kTweenScaleY].isCompleted())
            m_animating &= ~kAnimScale;
    }
    if (m_animating & kAnimAngle) {
        setZAngle(m_tweens[kTweenAngle].getCurrentValue());
        if (isDestroyed(this)) return;
        if (m_tweens[kTweenAngle].isCompleted()) m_animating &= ~kAnimAngle;
    }
    if (m_animating & kAnimShear) {
        setShear(m_tweens[kTweenShearX].getCurrentValue(),
                 m_tweens[kTweenShearY].getCurrentValue());
        if (isDestroyed(this)) return;
        if (m_tweens[kTweenShearX].isCompleted() && m_tweens[kTweenShearY].isCompleted())
            m_animating &= ~kAnimShear;
    }
    if (before != 0 && m_animating == 0) {
        g_bRefreshMousedOverElem = true;
        onDoneAnimating();
        if (isDestroyed(this)) return;
        sendMessage(kZUIMsgDoneAnimating, 0, 0, 0, 0, nullptr, nullptr);
    }
}

// ---------------------------------------------------------------------------------------------
// Footprints

void ZUIElement::updateFootprint(const ZMatrix* parentAbs) {
    float pivotX = m_anchorX + m_centerX, pivotY = m_anchorY + m_centerY;
    float tx = m_x + pivotX - m_offsetX, ty = -(m_y + pivotY - m_offsetY);
    bool translationOnly = m_scaleX == 1 && m_scaleY == 1 && m_angle == 0 && m_shearX == 0 &&
                           m_shearY == 0 && m_userMatrixIdentity;
    if (translationOnly) {
        // The two translations of the pivot, summed as applyTranslation2d sums them.
        static const ZMatrix identity;
        m_localMatrix = identity;
        m_localMatrix.m[12] = -pivotX + tx;
        m_localMatrix.m[13] = pivotY + ty;
    } else {
        ZMatrix local = ZMatrix::applyTranslation2d(tx, ty, m_userMatrix);
        if (m_scaleX != 1 || m_scaleY != 1)
            local = ZMatrix::applyScaling2d(m_scaleX, m_scaleY, local);
        if (m_angle != 0)
            local = ZMatrix::applyRotationZ(static_cast<float>(m_angle * kPi / 180.0), local);
        if (m_shearX != 0 || m_shearY != 0)
            local = ZMatrix::applyShear2d(m_shearX, m_shearY, local);
        m_localMatrix = ZMatrix::applyTranslation2d(-pivotX, pivotY, local);
    }

    if (m_parent) {
        const ZMatrix& base = parentAbs ? *parentAbs : m_parent->m_absMatrix;
        if (m_parent->m_offsetX != 0 || m_parent->m_offsetY != 0) {
            ZMatrix shifted =
                ZMatrix::applyTranslation2d(m_parent->m_offsetX, -m_parent->m_offsetY, base);
            m_absMatrix = m_localMatrix * shifted;
        } else {
            m_absMatrix = translationOnly ? ZMatrix::multiplyTranslation(m_localMatrix, base)
                                          : m_localMatrix * base;
        }
    } else {
        m_absMatrix = m_localMatrix;
    }
    m_matrixDirty = false;
    m_inverseDirty = true;
    // The children's absolute matrices were made from the old one: a child read later must not
    // find its parent clean and keep its own.
    for (ZUIElement* child = m_children.head; child; child = ZList<ZUIElement>::nextOf(child))
        child->m_matrixDirty = true;

    if (!m_userBounds) {
        m_elemBounds.transform(m_absMatrix);
        m_absRect = m_elemBounds.getScrShape().getBoundingBox();
    } else if (m_userBounds->getType() == ZPrimitiveInfinity) {
        if (g_lpRootElem) m_absRect = g_lpRootElem->m_absRect;
    } else {
        m_userBounds->transform(m_absMatrix);
        m_absRect = m_userBounds->getScrShape().getBoundingBox();
    }
    m_treeRect = m_absRect;
    for (ZUIElement* a = m_parent; a; a = a->m_parent) growRect(a->m_treeRect, m_absRect);

    if (m_elementSpaceClipping) {
        ZVector2 a = mapPoint(m_absMatrix, m_elemClip[0], m_elemClip[1]);
        ZVector2 b = mapPoint(m_absMatrix, m_elemClip[2], m_elemClip[3]);
        m_screenClip[0] = a.x;
        m_screenClip[1] = a.y;
        m_screenClip[2] = b.x;
        m_screenClip[3] = b.y;
    }
    placeInBucket(bucketForRect(m_absRect));
}

long ZUIElement::bucketForRect(const ZRectangle& r) {
    if (!isFiniteRect(r)) return kOverflowBucket;
    for (long level = 0; level < 5; level++) {
        float size = static_cast<float>(64 << level);
        int64_t x1, y1, x2, y2;
        if (!cellOf(r.x1, size, x1) || !cellOf(r.y1, size, y1) || !cellOf(r.x2 - 1, size, x2) ||
            !cellOf(r.y2 - 1, size, y2))
            return kOverflowBucket;
        if (x1 == x2 && y1 == y2) {
            int64_t mask = (int64_t(1) << (5 - level)) - 1;
            return g_nBucketOffset[level] + ((y1 & mask) << (5 - level)) + (x1 & mask);
        }
    }
    return kOverflowBucket;
}

void ZUIElement::unlinkFromBucket() {
    if (m_prevInBucket)
        m_prevInBucket->m_nextInBucket = m_nextInBucket;
    else if (g_lpFirstInSpatialHash[m_bucket] == this)
        g_lpFirstInSpatialHash[m_bucket] = m_nextInBucket;
    if (m_nextInBucket)
        m_nextInBucket->m_prevInBucket = m_prevInBucket;
    else if (g_lpLastInSpatialHash[m_bucket] == this)
        g_lpLastInSpatialHash[m_bucket] = m_prevInBucket;
    m_prevInBucket = m_nextInBucket = nullptr;
}

void ZUIElement::placeInBucket(long bucket) {
    if (bucket == m_bucket) return;
    unlinkFromBucket();
    m_bucket = bucket;
    m_prevInBucket = g_lpLastInSpatialHash[bucket];
    m_nextInBucket = nullptr;
    if (m_prevInBucket)
        m_prevInBucket->m_nextInBucket = this;
    else
        g_lpFirstInSpatialHash[bucket] = this;
    g_lpLastInSpatialHash[bucket] = this;
}

void ZUIElement::copyUpdateFootprintSubTree(bool changed, float parentBlend,
                                            const ZMatrix* parentAbs, bool footprints) {
    if (m_frozen) return;
    m_snapFirst = m_snapLast = nullptr;
    m_snapParent = m_parent;
    m_snapPrev = nullptr;
    m_snapNext = nullptr;
    if (m_parent) {
        m_snapNext = m_parent->m_snapFirst;
        if (m_snapNext)
            m_snapNext->m_snapPrev = this;
        else
            m_parent->m_snapLast = this;
        m_parent->m_snapFirst = this;
    }
    bool childChanged = false;
    if (footprints) {
        m_absBlend = parentBlend * m_blend;
        if (m_subtreeDirty || changed) {
            if (m_absBlend > 0 && (m_visible || m_dispatchIfInvisible) &&
                ((m_width > 0 && m_height > 0) || m_container)) {
                if (m_matrixDirty || changed) updateFootprint(parentAbs);
                m_subtreeDirty = false;
                childChanged = true;
            }
        }
    }
    bool pending = false;
    for (ZUIElement* child : m_children) {
        child->copyUpdateFootprintSubTree(childChanged, m_absBlend, &m_absMatrix, footprints);
        pending = pending || child->m_pending;
    }
    if (footprints) m_pending = m_subtreeDirty || pending;
}

void ZUIElement::updateFootprintSubTree(bool changed, float parentBlend, const ZMatrix* parentAbs,
                                        bool skipFrozen) {
    if (skipFrozen && m_frozen) return;
    float absBlend = parentBlend * m_blend;
    bool blendChanged = absBlend != m_absBlend;
    m_absBlend = absBlend;
    bool childChanged = false;
    if (m_subtreeDirty || changed) {
        if (m_absBlend > 0 && (m_visible || m_dispatchIfInvisible) &&
            ((m_width > 0 && m_height > 0) || m_container)) {
            if (m_matrixDirty || changed) updateFootprint(parentAbs);
            m_subtreeDirty = false;
            childChanged = true;
        }
    }
    // Subtrees without marks, whose blends and matrices stand, have nothing to update.
    bool pending = false;
    for (ZUIElement* child : m_children) {
        if (childChanged || blendChanged || child->m_pending)
            child->updateFootprintSubTree(childChanged, m_absBlend, &m_absMatrix, skipFrozen);
        pending = pending || child->m_pending;
    }
    m_pending = m_subtreeDirty || pending;
}

bool ZUIElement::updateFootprintAndParent() {
    bool parentChanged = m_parent && m_parent->updateFootprintAndParent();
    if (parentChanged) m_matrixDirty = true;
    if (!m_matrixDirty) return false;
    updateFootprint(m_parent ? &m_parent->m_absMatrix : nullptr);
    return true;
}

const ZMatrix& ZUIElement::getAbsMatrix() {
    updateFootprintAndParent();
    return m_absMatrix;
}

const ZMatrix& ZUIElement::getLocalMatrix() {
    updateFootprintAndParent();
    return m_localMatrix;
}

const ZRectangle& ZUIElement::getAbsBoundingRect() {
    updateFootprintAndParent();
    return m_absRect;
}

const ZRectangle& ZUIElement::getAbsTreeBoundingRect() {
    updateFootprintAndParent();
    return m_treeRect;
}

void ZUIElement::getAbsPosition(float x, float y, float& outX, float& outY) {
    updateFootprintAndParent();
    ZVector2 p = mapPoint(m_absMatrix, x, y);
    outX = p.x;
    outY = p.y;
}

void ZUIElement::toLocal(float x, float y, float& lx, float& ly) {
    if (m_inverseDirty) {
        m_invAbsMatrix = m_absMatrix.inverse();
        m_inverseDirty = false;
    }
    ZVector2 p = mapPoint(m_invAbsMatrix, x, y);
    lx = p.x;
    ly = p.y;
}

// ---------------------------------------------------------------------------------------------
// Collisions

void ZUIElement::collide() {
    Hold hold;
    const ZRectangle r = m_absRect;
    // A rectangle of no finite extent matches no cell; one wider than a grid visits each cell
    // of it once, as cells repeat over the plane.
    if (!isFiniteRect(r) || !(m_width > 0 && m_height > 0)) return;
    auto visit = [&](long bucket) -> bool {
        for (ZUIElement* o = g_lpFirstInSpatialHash[bucket]; o;) {
            ZUIElement* next = o->m_nextInBucket;
            if (o != this && o->m_absBlend > 0 && (o->m_visible || o->m_dispatchIfInvisible) &&
                overlaps(r, o->m_absRect) && hitBounds()->scrIntersects(o->hitBounds())) {
                onCollisionWith(o);
                if (isDestroyed(this)) return false;
                sendMessage(kZUIMsgCollision, 0, 0, 0, 0, nullptr, o);
                if (isDestroyed(this)) return false;
                // The handlers may have moved or deleted the rest of this bucket.
                if (next && isDestroyed(next)) return true;
            }
            o = next;
        }
        return true;
    };
    for (long level = 0; level < 5; level++) {
        float size = static_cast<float>(64 << level);
        int64_t grid = int64_t(1) << (5 - level), mask = grid - 1;
        int64_t x1, y1, x2, y2;
        // Too far out to name a cell: the rectangle covers every cell of the grid.
        if (!cellOf(r.x1, size, x1) || !cellOf(r.x2, size, x2)) {
            x1 = 0;
            x2 = grid - 1;
        }
        if (!cellOf(r.y1, size, y1) || !cellOf(r.y2, size, y2)) {
            y1 = 0;
            y2 = grid - 1;
        }
        x2 = std::min(x2, x1 + grid - 1);
        y2 = std::min(y2, y1 + grid - 1);
        for (int64_t cy = y1; cy <= y2; cy++)
            for (int64_t cx = x1; cx <= x2; cx++)
                if (!visit(g_nBucketOffset[level] + ((cy & mask) << (5 - level)) + (cx & mask)))
                    return;
    }
    visit(kOverflowBucket);
}

bool ZUIElement::collidesWithElement(ZUIElement* other) {
    if (!other) return false;
    updateFootprintAndParent();
    other->updateFootprintAndParent();
    if (!overlaps(m_absRect, other->m_absRect)) return false;
    return hitBounds()->scrIntersects(other->hitBounds());
}

// ---------------------------------------------------------------------------------------------
// Messages and states

long ZUIElement::sendMessage(long type, float x, float y, long data1, long data2, const char* text,
                             ZUIElement* other) {
    if (!g_bMessageCallBackSet || m_messagesDisabled) return data2;
    for (ZUIElement* e = this; e; e = e->m_parent) {
        if (!e->m_messageCallBack && !e->m_messageFunction) continue;
        ZUIMessage message = {type, this, x, y, data1, text, other, data2};
        if (e->m_messageCallBack)
            e->m_messageCallBack(&message);
        else
            e->m_messageFunction->call(&message);
        return message.data2;
    }
    return data2;
}

void ZUIElement::setMessageCallBack(ZUIMessageCallBack callback) {
    delete m_messageFunction;
    m_messageFunction = nullptr;
    m_messageCallBack = callback;
    g_bMessageCallBackSet = true;
}

void ZUIElement::setMessageFunction(ZUIMessageFunctionBase* function) {
    m_messageCallBack = nullptr;
    if (function != m_messageFunction) delete m_messageFunction;
    m_messageFunction = function;
    g_bMessageCallBackSet = true;
}

void ZUIElement::notifyAncestors(void (ZUIElement::*hook)(), long code) {
    for (ZUIElement* a = m_parent; a;) {
        (a->*hook)();
        if (isDestroyed(a)) return;
        a->sendMessage(code, 0, 0, 0, 0, nullptr, nullptr);
        if (isDestroyed(a)) return;
        a = a->m_parent;
    }
}

void ZUIElement::setStateIf(ZUIElement* e, long lowest, long highest, ZUIElementState state) {
    if (e && !isDestroyed(e) && e->m_state >= lowest && e->m_state <= highest) e->setState(state);
}

void ZUIElement::releaseDown() {
    ZUIElement* e = g_lpDownElem;
    if (!e) return;
    e->handleMouseCaptureLoss();
    setStateIf(e, ZUIElementStateHovered, ZUIElementStateDown, ZUIElementStateNormal);
    g_lpDownElem = nullptr;
}

void ZUIElement::releaseSwiped() {
    ZUIElement* e = g_lpSwipedElem;
    if (!e) return;
    e->sendMessage(kZUIMsgSwipe, 0, 0, 2, 0, nullptr, nullptr);
    if (!isDestroyed(e)) e->onSwipe(2, 0, 0);
    g_lpSwipedElem = nullptr;
}

void ZUIElement::releaseHovered() {
    ZUIElement* e = g_lpMousedOverElem;
    if (!e) return;
    setStateIf(e, ZUIElementStateHovered, ZUIElementStateHovered, ZUIElementStateNormal);
    g_lpMousedOverElem = nullptr;
}

void ZUIElement::setState(ZUIElementState state) {
    Hold hold;
    ZUIElementState old = m_state;
    if (old != ZUIElementStateDisabled && state == ZUIElementStateDisabled) {
        if (g_lpDownElem && isElementInSubtree(g_lpDownElem)) releaseDown();
        if (isDestroyed(this)) return;
        if (g_lpSwipedElem && isElementInSubtree(g_lpSwipedElem)) releaseSwiped();
        if (isDestroyed(this)) return;
        if (g_lpMousedOverElem && isElementInSubtree(g_lpMousedOverElem)) releaseHovered();
        if (isDestroyed(this)) return;
    }
    m_state = state;
    // Each step tests the state as it is now, so a hook that changes it steers the later steps.
    if (old == ZUIElementStateNormal && m_state == ZUIElementStateHovered) {
        onMouseOver();
        if (isDestroyed(this)) return;
        sendMessage(kZUIMsgMouseOver, 0, 0, 0, 0, nullptr, nullptr);
        if (isDestroyed(this)) return;
        notifyAncestors(&ZUIElement::onRollOver, kZUIMsgRollOver);
        if (isDestroyed(this)) return;
    }
    if (old < ZUIElementStateDown && m_state == ZUIElementStateDown) {
        onDown();
        if (isDestroyed(this)) return;
        sendMessage(kZUIMsgDown, 0, 0, 0, 0, nullptr, nullptr);
        if (isDestroyed(this)) return;
        notifyAncestors(&ZUIElement::onChildDown, kZUIMsgChildDown);
        if (isDestroyed(this)) return;
    }
    if (old == ZUIElementStateSelected && m_state != ZUIElementStateSelected) {
        onDeselected();
        if (isDestroyed(this)) return;
        sendMessage(kZUIMsgDeselected, 0, 0, 0, 0, nullptr, nullptr);
        if (isDestroyed(this)) return;
    } else if (m_state == ZUIElementStateSelected) {
        onSelected();
        if (isDestroyed(this)) return;
        sendMessage(kZUIMsgSelected, 0, 0, 0, 0, nullptr, nullptr);
        if (isDestroyed(this)) return;
    }
    if (old == ZUIElementStateDown && m_state <= ZUIElementStateHovered) {
        onUp();
        if (isDestroyed(this)) return;
        sendMessage(kZUIMsgUp, 0, 0, 0, 0, nullptr, nullptr);
        if (isDestroyed(this)) return;
        notifyAncestors(&ZUIElement::onChildUp, kZUIMsgChildUp);
        if (isDestroyed(this)) return;
    }
    if (old >= ZUIElementStateHovered && m_state <= ZUIElementStateNormal) {
        onMouseLeave();
        if (isDestroyed(this)) return;
        sendMessage(kZUIMsgMouseLeave, 0, 0, 0, 0, nullptr, nullptr);
        if (isDestroyed(this)) return;
        notifyAncestors(&ZUIElement::onRollOut, kZUIMsgRollOut);
        if (isDestroyed(this)) return;
    }
    if (m_state != old && (old == ZUIElementStateDisabled || m_state == ZUIElementStateDisabled))
        g_bRefreshMousedOverElem = true;
}

void ZUIElement::enableElementInput(bool enable) {
    if (m_elementInput && !enable) {
        Hold hold;
        if (g_lpDownElem == this) releaseDown();
        if (!isDestroyed(this) && g_lpSwipedElem == this) releaseSwiped();
        if (!isDestroyed(this) && g_lpMousedOverElem == this) releaseHovered();
        if (isDestroyed(this)) return;
    }
    m_elementInput = enable;
}

void ZUIElement::enableTreeInput(bool enable) {
    if (m_treeInput && !enable) {
        Hold hold;
        if (g_lpDownElem == this) releaseDown();
        if (!isDestroyed(this) && g_lpSwipedElem == this) releaseSwiped();
        if (!isDestroyed(this) && g_lpMousedOverElem == this) releaseHovered();
        if (isDestroyed(this)) return;
    }
    m_treeInput = enable;
}

void ZUIElement::enableInputClipping(bool enable) {
    if (enable != m_inputClipping) g_bRefreshMousedOverElem = true;
    m_inputClipping = enable;
}

void ZUIElement::setFocus() {
    if (g_lpHasFocusElem == this) return;
    Hold hold;
    if (ZUIElement* old = g_lpHasFocusElem) {
        old->handleFocus(false);
        if (g_lpHasFocusElem == old) g_lpHasFocusElem = nullptr;
    }
    if (isDestroyed(this)) return;
    if (handleFocus(true) && !isDestroyed(this)) g_lpHasFocusElem = this;
}

bool ZUIElement::isLeftButtonClicked() {
    bool clicked = g_bLeftButtonClicked;
    g_bLeftButtonClicked = false;
    return clicked;
}

bool ZUIElement::isRightButtonClicked() {
    bool clicked = g_bRightButtonClicked;
    g_bRightButtonClicked = false;
    return clicked;
}

bool ZUIElement::isMiddleButtonClicked() {
    bool clicked = g_bMiddleButtonClicked;
    g_bMiddleButtonClicked = false;
    return clicked;
}

void ZUIElement::onCollisionWith(ZUIElement* other) {
    if (hasScripts() && other && other->m_name[0]) callScriptStr("onCollisionWith", other->m_name);
}

bool ZUIElement::onHit(float x, float y) {
    if (m_userBounds) {
        bool touch = g_bTouchMarginEnabled && g_lpZWindow && g_lpZWindow->isTouchscreen();
        bool hit;
        if (touch) {
            ZPrimitive circle;
            circle.setCircle(x, y, m_touchMargin);
            hit = m_userBounds->elemIntersects(circle);
        } else {
            hit = m_userBounds->elemContains(ZVector2{x, y});
        }
        if (!hit) return false;
    }
    if (!hasScripts()) return true;
    struct {
        float x, y;
    } in = {x, y};
    long result = 1;
    bool ran =
        forEachScript([&](ZScript* s) { return s->call("onHit", 2, "ff", &in, 1, "i", &result); });
    return ran ? result != 0 : true;
}

// ---------------------------------------------------------------------------------------------
// Dispatch

bool ZUIElement::isPickable() const {
    return m_blend > 0 && (m_visible || m_dispatchIfInvisible) && m_treeInput &&
           (m_animating == 0 || m_ignoreAnimatingForClicks) && m_state != ZUIElementStateDisabled &&
           ((m_width > 0 && m_height > 0) || m_container);
}

bool ZUIElement::isPickableChain() const {
    for (const ZUIElement* e = this; e; e = e->m_parent)
        if (!(e->m_blend > 0 && (e->m_visible || e->m_dispatchIfInvisible) && e->m_treeInput &&
              e->m_state != ZUIElementStateDisabled &&
              ((e->m_width > 0 && e->m_height > 0) || e->m_container)))
            return false;
    return true;
}

bool ZUIElement::holdsHitQuery(ZUIElement* e, float lx, float ly) {
    if (e->sendMessage(kZUIMsgHitQuery, lx, ly, 0, 1, nullptr, nullptr) == 0) return false;
    if (isDestroyed(e)) return false;
    return e->onHit(lx, ly) && !isDestroyed(e);
}

void ZUIElement::recordCaughtInContainers() {
    for (ZUIElement* a = m_parent; a; a = a->m_parent)
        if (a->m_container) a->m_caughtElem = this;
}

void ZUIElement::forgetCaughtInAncestors(const ZUIElement* subtree) {
    for (ZUIElement* a = m_parent; a; a = a->m_parent)
        if (a->m_caughtElem && subtree->isElementInSubtree(a->m_caughtElem))
            a->m_caughtElem = nullptr;
}

bool ZUIElement::dispatchPointerToSubTree(ZEvent* event, ZUIElement* e, float x, float y,
                                          bool insideContainer, bool touch) {
    if (!e->isPickable()) return false;
    ZUIElement* captured = g_captured;
    bool isCaptured = e == captured;
    float m = touch && g_bTouchMarginEnabled ? e->m_touchMargin : 0;
    float tm = touch ? e->m_touchMargin : 0;
    if (!(touch && isCaptured)) {
        const ZRectangle& t = e->m_treeRect;
        if (!(t.x1 - m <= x && x < t.x2 + m && t.y1 - m <= y && y < t.y2 + m)) return false;
    }
    ZRectangle clip = e->m_absRect;
    if (e->m_screenSpaceClipping || e->m_elementSpaceClipping)
        clip = {e->m_screenClip[0], e->m_screenClip[1], e->m_screenClip[2], e->m_screenClip[3]};
    auto inClip = [&](float margin) {
        return clip.x1 - margin <= x && x < clip.x2 + margin && clip.y1 - margin <= y &&
               y < clip.y2 + margin;
    };
    if (!isCaptured && !e->m_container && e->m_inputClipping && !inClip(m)) return false;
    float lx = 0, ly = 0;
    auto inLocal = [&](float margin) {
        return -margin <= lx && lx < e->m_width + margin && -margin <= ly &&
               ly < e->m_height + margin;
    };
    if (e->m_stencilMask && !captured) {
        e->toLocal(x, y, lx, ly);
        if (!inLocal(tm)) return false;
        if (!holdsHitQuery(e, lx, ly)) return false;
    }
    bool inside = insideContainer || e->m_container;
    for (ZUIElement* c = e->m_snapFirst; c; c = snapNextOf(c)) {
        if (isDestroyed(c)) continue;
        if (dispatchPointerToSubTree(event, c, x, y, inside, touch)) return true;
    }
    if (isDestroyed(e)) return false;
    if (!touch) {
        if (captured && !isCaptured) return false;
        if (!inClip(0) && !e->m_container) return false;
    } else if (!captured) {
        if (!inClip(m) && !e->m_container) return false;
    } else if (!isCaptured && !e->m_container) {
        return false;
    }
    e->toLocal(x, y, lx, ly);
    if (!e->m_screenSpaceClipping && !e->m_elementSpaceClipping) {
        bool accepted = false;
        if (e->m_container) {
            accepted = holdsHitQuery(e, lx, ly);
            if (isDestroyed(e)) return false;
        }
        if (!accepted && !isCaptured) {
            if (!inLocal(tm)) return false;
            if (!holdsHitQuery(e, lx, ly)) return false;
        }
    }
    bool moved = touch ? event->type == kZEventTouch && event->touchPhase == 1
                       : event->type == kZEventMouseMove;
    if (!e->m_ignoreReentry && captured && moved) {
        if (!inLocal(tm))
            setStateIf(captured, ZUIElementStateHovered, ZUIElementStateDown,
                       ZUIElementStateNormal);
        else
            setStateIf(captured, ZUIElementStateNormal, ZUIElementStateHovered,
                       ZUIElementStateDown);
        if (isDestroyed(e)) return true;
    }
    if (!e->m_elementInput && e->m_width > 0 && e->m_height > 0) e->recordCaughtInContainers();
    ZEvent local = *event;
    if (touch) {
        local.touchX = eventCoordinate(lx);
        local.touchY = eventCoordinate(ly);
    } else {
        local.x = eventCoordinate(lx);
        local.y = eventCoordinate(ly);
    }
    bool handled = e->handleEvent(&local);
    if (!handled && !isDestroyed(e)) handled = e->handleEventInternal(&local);
    if (handled && event->type == kZEventSwipe && !g_lpSwipedElem && !isDestroyed(e)) {
        g_lpSwipedElem = e;
        releaseDown();
    }
    return handled;
}

bool ZUIElement::dispatchOtherEventToSubTree(ZEvent* event, ZUIElement* e, bool insideContainer) {
    if (!(e->m_blend > 0 && (e->m_visible || e->m_dispatchIfInvisible) &&
          (e->m_treeInput || insideContainer) && e->m_animating == 0 &&
          e->m_state != ZUIElementStateDisabled &&
          ((e->m_width > 0 && e->m_height > 0) || e->m_container)))
        return false;
    bool inside = insideContainer || e->m_container;
    for (ZUIElement* c = e->m_snapFirst; c; c = snapNextOf(c)) {
        if (isDestroyed(c)) continue;
        if (dispatchOtherEventToSubTree(event, c, inside)) return true;
    }
    if (isDestroyed(e)) return false;
    if (g_captured && e != g_captured) return false;
    bool focusedOnly = event->type == kZEventChar || event->type == kZEventUnicodeChar ||
                       event->type == kZEventKeyDown;
    if (focusedOnly && e != g_lpHasFocusElem) return false;
    if (e->handleEvent(event)) return true;
    return !isDestroyed(e) && e->handleEventInternal(event);
}

bool ZUIElement::guardedPointerWalk(ZEvent* event, float x, float y, bool touch) {
    // A handler of an earlier step may have taken the whole tree down.
    if (!g_lpRootElem) return false;
    g_lpRootElem->m_caughtElem = nullptr;
    beginGuard(true);
    bool handled =
        g_lpRootElem && dispatchPointerToSubTree(event, g_lpRootElem, x, y, false, touch);
    endUpdate();
    return handled;
}

bool ZUIElement::dispatchEvent(ZEvent* event) {
    if (!event || !g_lpZWindow || !g_lpRootElem) return false;
    Hold hold;
    ZUIElement* savedCapture = g_captured;
    struct Restore {
        ZUIElement*& slot;
        ZUIElement* value;
        ~Restore() { slot = value; }
    } restore{g_captured, savedCapture};
    g_captured = nullptr;

    bool wasTouching = g_bTouching;
    bool touchscreen = g_lpZWindow->isTouchscreen();
    int64_t type = event->type;
    if (touchscreen && isMouseType(type)) return false;
    if (type == kZEventTouch) {
        if (event->touchPhase == 2) {
            g_bTouching = false;
        } else if (event->touchPhase == 0) {
            if (wasTouching && event->touchCount < 2 && event->touchReported < 2) {
                ZEvent end = *event;
                end.touchPhase = 2;
                dispatchEvent(&end);
                if (!g_lpZWindow || !g_lpRootElem) return false;
            }
            g_bTouching = true;
        }
    }
    bool keyType = type == kZEventChar || type == kZEventKeyDown || type == kZEventKeyUp ||
                   type == kZEventUnicodeChar;
    if (keyType && g_lpHasFocusElem) {
        ZUIElement* focused = g_lpHasFocusElem;
        if (focused->handleEvent(event)) return true;
        return !isDestroyed(focused) && focused->handleEventInternal(event);
    }

    bool handled = false;
    bool swipe = type == kZEventSwipe;
    float swipeX = static_cast<float>(event->swipeStartX);
    float swipeY = static_cast<float>(event->swipeStartY);
    if (isMouseType(type)) {
        if (g_lpSwipedElem) return true;
        if (g_lpDownElem && ZInput::getLeftButtonState()) {
            g_captured = g_lpDownElem;
            if (guardedPointerWalk(event, static_cast<float>(event->x),
                                   static_cast<float>(event->y), false))
                return true;
            if (type == kZEventMouseUp) releaseDown();
            return false;
        }
    } else if (swipe && !touchscreen && g_lpSwipedElem && ZInput::getLeftButtonState()) {
        g_captured = g_lpSwipedElem;
        handled = guardedPointerWalk(event, swipeX, swipeY, false);
        if (event->gesturePhase == 2) g_lpSwipedElem = nullptr;
        return handled;
    } else if (isTouchType(type)) {
        if (g_lpSwipedElem) return true;
        if (g_lpDownElem && wasTouching) {
            g_captured = g_lpDownElem;
            if (guardedPointerWalk(event, static_cast<float>(event->touchX),
                                   static_cast<float>(event->touchY), true))
                return true;
            if (type == kZEventTouch && event->touchPhase == 2) releaseDown();
            return false;
        }
    } else if (swipe && touchscreen && g_lpSwipedElem && wasTouching) {
        g_captured = g_lpSwipedElem;
        handled = guardedPointerWalk(event, swipeX, swipeY, true);
        if (event->gesturePhase == 2) g_lpSwipedElem = nullptr;
        return handled;
    }

    g_captured = nullptr;
    if (isMouseType(type)) {
        handled = guardedPointerWalk(event, static_cast<float>(event->x),
                                     static_cast<float>(event->y), false);
    } else if (swipe) {
        handled = guardedPointerWalk(event, swipeX, swipeY, touchscreen);
    } else if (isTouchType(type)) {
        handled = guardedPointerWalk(event, static_cast<float>(event->touchX),
                                     static_cast<float>(event->touchY), true);
    } else if (g_lpRootElem) {
        g_lpRootElem->m_caughtElem = nullptr;
        beginGuard(true);
        handled = g_lpRootElem && dispatchOtherEventToSubTree(event, g_lpRootElem, false);
        endUpdate();
    }

    if (!handled) {
        bool release =
            ((type == kZEventMouseUp || type == kZEventMouseDown) && event->button == 1) ||
            type == kZEventMouseMove || type == kZEventFocusLost || type == kZEventTouch;
        if (release) {
            releaseDown();
            releaseSwiped();
            releaseHovered();
        }
        if (type == kZEventTouch && event->touchPhase == 0) {
            g_bLeftButtonClicked = true;
            if (!g_lpDownElem) g_lpDownElem = g_lpRootElem;
        } else if (type == kZEventMouseDown) {
            if (event->button == 1) g_bLeftButtonClicked = true;
            if (event->button == 2) g_bRightButtonClicked = true;
            if (event->button == 3) g_bMiddleButtonClicked = true;
            if (!g_lpDownElem) g_lpDownElem = g_lpRootElem;
        }
    }
    if (swipe && event->gesturePhase == 2) g_lpSwipedElem = nullptr;
    return handled;
}

bool ZUIElement::handleEventInternal(ZEvent* event) {
    int64_t type = event->type;
    bool touch = isTouchType(type);
    int64_t phase = event->touchPhase;
    if (this == g_lpRootElem || this == g_lpOrphansRootElem || !m_parent) {
        if ((touch && phase == 0) || (type == kZEventMouseDown && event->button == 1)) {
            if (ZUIElement* focused = g_lpHasFocusElem) {
                focused->handleFocus(false);
                g_lpHasFocusElem = nullptr;
            }
        }
        return false;
    }
    bool sized = m_width > 0 && m_height > 0;
    if ((!sized && !m_caughtElem) || !m_treeInput) return false;
    if (!m_elementInput) {
        if (sized) recordCaughtInContainers();
        return false;
    }
    if (!m_container)
        for (ZUIElement* a = m_parent; a; a = a->m_parent)
            if (!a->m_treeInput) return false;

    if (type == kZEventMouseMove || (touch && phase == 1)) {
        if (g_lpDownElem && g_lpDownElem != this) releaseDown();
        if (isDestroyed(this)) return true;
        if (g_lpMousedOverElem == this || g_lpDownElem == this) return true;
        if (g_lpMousedOverElem) {
            setStateIf(g_lpMousedOverElem, ZUIElementStateHovered, ZUIElementStateDown,
                       ZUIElementStateNormal);
            g_lpMousedOverElem = nullptr;
        }
        if (isDestroyed(this)) return true;
        if (m_state != ZUIElementStateDisabled && m_state != ZUIElementStateSelected)
            setState(ZUIElementStateHovered);
        if (!isDestroyed(this)) g_lpMousedOverElem = this;
        return true;
    }
    if (type == kZEventMouseDown || (touch && phase == 0)) {
        if (!touch && event->button != m_buttonIndex) return true;
        if (g_lpMousedOverElem && g_lpMousedOverElem != this)
            setStateIf(g_lpMousedOverElem, ZUIElementStateHovered, ZUIElementStateDown,
                       ZUIElementStateNormal);
        if (isDestroyed(this)) return true;
        if (m_state != ZUIElementStateDisabled && m_state != ZUIElementStateSelected)
            setState(ZUIElementStateHovered);
        if (isDestroyed(this)) return true;
        g_lpMousedOverElem = this;
        if (g_lpDownElem == this) return true;
        if (g_lpDownElem) releaseDown();
        if (isDestroyed(this)) return true;
        if (m_state == ZUIElementStateDisabled || m_state == ZUIElementStateSelected) {
            g_lpDownElem = this;
            return true;
        }
        setState(ZUIElementStateDown);
        if (isDestroyed(this)) return true;
        if (g_lpHasFocusElem != this) {
            bool accepted = handleFocus(true);
            if (isDestroyed(this)) return true;
            if (ZUIElement* old = g_lpHasFocusElem) {
                old->handleFocus(false);
                if (g_lpHasFocusElem == old) g_lpHasFocusElem = nullptr;
            }
            if (isDestroyed(this)) return true;
            if (accepted) g_lpHasFocusElem = this;
        }
        g_lpDownElem = this;
        return true;
    }
    if (type == kZEventMouseUp || (touch && phase == 2)) {
        if (!touch && event->button != m_buttonIndex) return true;
        if (ZUIElement* down = g_lpDownElem) {
            down->handleMouseCaptureLoss();
            setStateIf(down, ZUIElementStateHovered, ZUIElementStateDown,
                       down == g_lpMousedOverElem ? ZUIElementStateHovered : ZUIElementStateNormal);
            g_lpDownElem = nullptr;
        }
        if (isDestroyed(this)) return true;
        if (touch) {
            if (g_lpMousedOverElem) {
                setStateIf(g_lpMousedOverElem, ZUIElementStateHovered, ZUIElementStateHovered,
                           ZUIElementStateNormal);
                g_lpMousedOverElem = nullptr;
            }
            if (isDestroyed(this)) return true;
            if (m_state >= ZUIElementStateHovered) setState(ZUIElementStateNormal);
            return true;
        }
        if (g_lpMousedOverElem && g_lpMousedOverElem != this)
            setStateIf(g_lpMousedOverElem, ZUIElementStateHovered, ZUIElementStateHovered,
                       ZUIElementStateNormal);
        if (isDestroyed(this)) return true;
        g_lpMousedOverElem = this;
        if (m_state != ZUIElementStateDisabled && m_state != ZUIElementStateSelected)
            setState(ZUIElementStateHovered);
        return true;
    }
    if (type == kZEventSwipe) {
        long phase2 = static_cast<long>(event->gesturePhase);
        float dx = static_cast<float>(event->swipeDeltaX),
              dy = static_cast<float>(event->swipeDeltaY);
        if (sendMessage(kZUIMsgSwipe, dx, dy, phase2, 0, nullptr, nullptr) != 0) return true;
        return !isDestroyed(this) && onSwipe(phase2, dx, dy);
    }
    return false;
}

bool ZUIElement::dispatchUserEventToSubTree(ZUIElement* e, const char* name, const void* data) {
    if (!(e->m_blend > 0 && e->m_state != ZUIElementStateDisabled &&
          ((e->m_width > 0 && e->m_height > 0) || e->m_container)))
        return false;
    for (ZUIElement* c = e->m_snapFirst; c; c = snapNextOf(c)) {
        if (isDestroyed(c)) continue;
        if (dispatchUserEventToSubTree(c, name, data)) return true;
    }
    return !isDestroyed(e) && e->handleUserEvent(name, data);
}

bool ZUIElement::dispatchUserEvent(const char* name, const void* data) {
    if (!g_lpRootElem) return false;
    beginGuard(false);
    bool handled = dispatchUserEventToSubTree(g_lpRootElem, name ? name : "", data);
    endUpdate();
    return handled;
}

ZUIElement* ZUIElement::pickElementInSubTree(ZUIElement* e, float x, float y, float margin,
                                             bool ignoreInputFlags, float& lx, float& ly) {
    if (!(e->m_absBlend > 0 && (e->m_visible || e->m_dispatchIfInvisible) &&
          (e->m_treeInput || ignoreInputFlags) && e->m_animating == 0 &&
          e->m_state != ZUIElementStateDisabled &&
          ((e->m_width > 0 && e->m_height > 0) || e->m_container)))
        return nullptr;
    float m = margin > 0 ? e->m_touchMargin : 0;
    const ZRectangle& t = e->m_treeRect;
    if (!(t.x1 - m <= x && x < t.x2 + m && t.y1 - m <= y && y < t.y2 + m)) return nullptr;
    for (ZUIElement* c = e->m_children.tail; c;) {
        ZUIElement* prev = ZList<ZUIElement>::prevOf(c);
        if (ZUIElement* hit = pickElementInSubTree(c, x, y, margin, ignoreInputFlags, lx, ly))
            return hit;
        // A handler that deleted what the walk stands on ends it.
        if (isDestroyed(e) || (prev && isDestroyed(prev))) return nullptr;
        c = prev;
    }
    if (!e->m_elementInput && !ignoreInputFlags) return nullptr;
    float px, py;
    e->toLocal(x, y, px, py);
    if (!(-m <= px && px < e->m_width + m && -m <= py && py < e->m_height + m)) return nullptr;
    if (!holdsHitQuery(e, px, py)) return nullptr;
    lx = px;
    ly = py;
    return e;
}

ZUIElement* ZUIElement::pickElement(ZUIElement* subtree, float& x, float& y,
                                    bool ignoreInputFlags) {
    if (!subtree) return nullptr;
    Hold hold;
    ZUIElement* top = nullptr;
    for (ZUIElement* a = subtree; a; a = a->m_parent)
        if (a->m_subtreeDirty) top = a;
    if (top) {
        ZUIElement* p = top->m_parent;
        top->updateFootprintSubTree(false, p ? p->m_absBlend : 1.0f, p ? &p->m_absMatrix : nullptr,
                                    false);
    }
    subtree->updateFootprintAndParent();
    ZVector2 screen = mapPoint(subtree->m_absMatrix, x, y);
    bool touch = g_bTouchMarginEnabled && g_lpZWindow && g_lpZWindow->isTouchscreen();
    float lx = 0, ly = 0;
    ZUIElement* hit = pickElementInSubTree(subtree, screen.x, screen.y, touch ? 1.0f : 0,
                                           ignoreInputFlags, lx, ly);
    if (hit && !isDestroyed(hit)) {
        x = lx;
        y = ly;
        return hit;
    }
    return nullptr;
}

void ZUIElement::refreshMousedOverElement() {
    if (g_lpDownElem && !g_lpDownElem->isPickableChain()) releaseDown();
    if (g_lpSwipedElem && !g_lpSwipedElem->isPickableChain()) releaseSwiped();
    if (g_lpMousedOverElem && !g_lpMousedOverElem->isPickableChain()) releaseHovered();
    ZEvent event = {};
    if (g_lpZWindow && g_lpZWindow->isTouchscreen()) {
        event.type = kZEventTouch;
        event.touchPhase = 1;
        event.touchCount = 1;
        event.touchReported = 1;
        event.touchX = ZInput::getMouseX();
        event.touchY = ZInput::getMouseY();
    } else {
        event.type = kZEventMouseMove;
        event.x = ZInput::getMouseX();
        event.y = ZInput::getMouseY();
    }
    dispatchEvent(&event);
}

// ---------------------------------------------------------------------------------------------
// Per-frame update

void ZUIElement::moveSubTree(ZUIElement* e) {
    g_nUpdatedElements++;
    if (e->m_animating) e->runTweens();
    if (isDestroyed(e)) return;
    e->move();
    if (isDestroyed(e)) return;
    if (e->m_collisions) e->collide();
    if (isDestroyed(e)) return;
    if (e->m_state == ZUIElementStateDown) {
        e->onCurrentlyDown();
        if (isDestroyed(e)) return;
        e->sendMessage(kZUIMsgCurrentlyDown, 0, 0, 0, 0, nullptr, nullptr);
        if (isDestroyed(e)) return;
    }
    for (ZUIElement* c = e->m_snapLast; c; c = snapPrevOf(c))
        if (!isDestroyed(c)) moveSubTree(c);
}

void ZUIElement::moveAll() {
    g_nUpdatedElements = 0;
    if (!g_lpZWindow || !g_lpRootElem) return;
    Hold hold;
    beginGuard(true);
    if (g_lpRootElem) moveSubTree(g_lpRootElem);
    endUpdate();
    // Nothing clears the refresh request: once set, every later frame refreshes the hover.
    if (g_bRefreshMousedOverElem && g_lpZWindow && (!g_lpZWindow->isTouchscreen() || g_bTouching))
        refreshMousedOverElement();
}

// ---------------------------------------------------------------------------------------------
// Drawing flags

void ZUIElement::enableClipping(bool enable) {
    m_clipping = enable;
    if (enable) m_elementSpaceClipping = false;
}

void ZUIElement::enableElementSpaceClipping(bool enable, float x1, float y1, float x2, float y2) {
    m_elemClip[0] = x1;
    m_elemClip[1] = y1;
    m_elemClip[2] = x2;
    m_elemClip[3] = y2;
    m_elementSpaceClipping = enable;
    if (enable) {
        m_clipping = m_screenSpaceClipping = false;
        m_matrixDirty = m_subtreeDirty = true;
        markPending();
        updateFootprintAndParent();
    }
}

void ZUIElement::enableScreenSpaceClipping(bool enable, float x1, float y1, float x2, float y2) {
    m_screenClip[0] = x1;
    m_screenClip[1] = y1;
    m_screenClip[2] = x2;
    m_screenClip[3] = y2;
    m_screenSpaceClipping = enable;
    if (enable) m_clipping = false;
}

bool ZUIElement::getClippingRect(ZRectangle& r) {
    if (m_screenSpaceClipping || m_elementSpaceClipping) {
        r = {m_screenClip[0], m_screenClip[1], m_screenClip[2], m_screenClip[3]};
        return true;
    }
    if (m_clipping) {
        r = m_absRect;
        return true;
    }
    return false;
}

void ZUIElement::setAsStencilMask(bool enable, float value, bool flag) {
    m_stencilMask = enable;
    m_stencilValue = value;
    m_stencilFlag = flag;
}

void ZUIElement::setPixelShader(ZPixelShader* shader, bool forSubtree) {
    m_pixelShader = shader;
    m_pixelShaderForSubtree = forSubtree;
}

void ZUIElement::setPixelShaderParam(long index, float a, float b, float c, float d) {
    if (index < 0 || index > 3) return;
    m_pixelShaderParams[index][0] = a;
    m_pixelShaderParams[index][1] = b;
    m_pixelShaderParams[index][2] = c;
    m_pixelShaderParams[index][3] = d;
}

void ZUIElement::enableDrawingBounds(bool enable, float r, float g, float b, float a) {
    m_drawBounds = enable;
    m_boundsColor[0] = std::min(1.0f, std::max(0.0f, r));
    m_boundsColor[1] = std::min(1.0f, std::max(0.0f, g));
    m_boundsColor[2] = std::min(1.0f, std::max(0.0f, b));
    m_boundsColor[3] = std::min(1.0f, std::max(0.0f, a));
}

// ---------------------------------------------------------------------------------------------
// Shared batch

void ZUIElement::setBatchVertexCount(long count) {
    if (count == g_nBatchVertexCount) return;
    g_nBatchVertexCount = count;
    if (!g_lpBatch) return;
    endBatch();
    g_lpBatch->freeBuffer();
    g_lpBatch->allocateVertexBuffer(count, 1);
}

void ZUIElement::endBatch() {
    setBatchedTextureExt(nullptr, eTazelAlphaOpSrcAlpha, eTazelAlphaOpOneMinusSrcAlpha,
                         eTazelAlphaOpSrcAlpha, eTazelAlphaOpOneMinusSrcAlpha, false, false);
}

void ZUIElement::setBatchedTexture(ZGraphic* g, eTazelAlphaOp src, eTazelAlphaOp dst,
                                   bool restoreOps, bool restoreColor) {
    setBatchedTextureExt(g, src, dst, src, dst, restoreOps, restoreColor);
}

namespace {
void putBack(ZGraphic* g, bool ops, const long* savedOps, bool color, const float* savedColor) {
    if (!g) return;
    if (ops)
        g->setAlphaOp(
            static_cast<eTazelAlphaOp>(savedOps[0]), static_cast<eTazelAlphaOp>(savedOps[1]),
            static_cast<eTazelAlphaOp>(savedOps[2]), static_cast<eTazelAlphaOp>(savedOps[3]));
    if (color) g->setBlitColor(savedColor[0], savedColor[1], savedColor[2], savedColor[3]);
}
}  // namespace

void ZUIElement::setBatchedTextureExt(ZGraphic* g, eTazelAlphaOp colorSrc, eTazelAlphaOp colorDst,
                                      eTazelAlphaOp alphaSrc, eTazelAlphaOp alphaDst,
                                      bool restoreOps, bool restoreColor) {
    long ops[4] = {colorSrc, colorDst, alphaSrc, alphaDst};
    bool sameOps = std::equal(ops, ops + 4, g_nCurBatchedAlphaOp);
    ZGraphic* open = g_lpCurBatchedGraphic;
    bool resumed = false;
    if (g && open && g != open && sameOps && g->getAtlas() && g->getAtlas() == open->getAtlas()) {
        putBack(open, g_bBatchedGraphicAlphaOpsModified, g_nOrigBatchedAlphaOp,
                g_bBatchedGraphicColorModified, g_fBatchedOrigColor);
        resumed = true;
    } else if (g && g == open && sameOps) {
        // A draw that leaves the colour alone must not take the tint the draw before it set.
        if (g_bBatchedGraphicColorModified && !restoreColor) {
            g->setBlitColor(g_fBatchedOrigColor[0], g_fBatchedOrigColor[1], g_fBatchedOrigColor[2],
                            g_fBatchedOrigColor[3]);
            g_bBatchedGraphicColorModified = false;
        }
        return;
    } else {
        if (open) {
            if (g_lpBatch) g_lpBatch->endBatch();
            putBack(open, g_bBatchedGraphicAlphaOpsModified, g_nOrigBatchedAlphaOp,
                    g_bBatchedGraphicColorModified, g_fBatchedOrigColor);
            g_nBatchingOpsCount++;
        } else if (g && g_lpZWindow) {
            // Batched quads arrive in screen space.
            ZMatrix identity;
            g_lpZWindow->setWorldMatrix(&identity);
        }
    }
    std::copy(ops, ops + 4, g_nCurBatchedAlphaOp);
    g_bBatchedGraphicAlphaOpsModified = restoreOps;
    g_bBatchedGraphicColorModified = restoreColor;
    g_lpCurBatchedGraphic = g;
    if (!g) return;
    if (restoreOps) {
        g_nOrigBatchedAlphaOp[0] = g->getSrcAlphaOp();
        g_nOrigBatchedAlphaOp[1] = g->getDstAlphaOp();
        g_nOrigBatchedAlphaOp[2] = g->getAlphaSrcAlphaOp();
        g_nOrigBatchedAlphaOp[3] = g->getAlphaDstAlphaOp();
    }
    if (restoreColor) g->getBlitColor(g_fBatchedOrigColor);
    g->setAlphaOp(colorSrc, colorDst, alphaSrc, alphaDst);
    if (!resumed && g_lpBatch) g_lpBatch->beginBatch(g);
}

// ---------------------------------------------------------------------------------------------
// Drawing

void ZUIElement::applyShader(ZPixelShader* shader, const float params[4][4]) {
    g_lpCurPixelShader = shader;
    std::memcpy(g_fCurPixelShaderParam, params, sizeof(g_fCurPixelShaderParam));
    if (!g_lpZWindow) return;
    g_lpZWindow->setPixelShader(shader);
    if (shader)
        for (long i = 0; i < 4; i++) g_lpZWindow->setPixelShaderParam(i, g_fCurPixelShaderParam[i]);
}

void ZUIElement::blitOwn(long depthPass) {
    if (depthPass == 0) {
        blit(m_absBlend, &m_absMatrix);
        return;
    }
    bool opaque = m_absBlend >= 1 && hasOpaqueParts() && !m_stencilMask;
    if (g_lpZWindow) g_lpZWindow->setBlitDepth(m_depthValue);
    if (depthPass == 1) {
        if (opaque) blitOpaque(m_absBlend, &m_absMatrix);
        return;
    }
    if (opaque)
        blitTransparent(m_absBlend, &m_absMatrix);
    else
        blit(m_absBlend, &m_absMatrix);
}

void ZUIElement::blitChildren(long layer, bool changed, long pass, long depthPass, bool reload) {
    auto each = [&](long childPass) {
        for (ZUIElement* c = m_children.head; c;) {
            ZUIElement* next = ZList<ZUIElement>::nextOf(c);
            if (c->m_layer == layer)
                c->blitSubTree(layer, changed, m_absBlend, &m_absMatrix, childPass, depthPass);
            // A drawing hook that deleted what the walk stands on ends this list.
            if (isDestroyed(this) || (next && isDestroyed(next))) return;
            c = next;
        }
        if (reload && m_blitMatrix && g_lpZWindow) {
            endBatch();
            g_lpZWindow->setWorldMatrix(&m_absMatrix);
        }
    };
    if (pass == 1) return;
    if (!m_drawSiblingsFirst) {
        each(0);
        return;
    }
    each(1);
    each(2);
}

void ZUIElement::blitSubTree(long layer, bool changed, float parentBlend, const ZMatrix* parentAbs,
                             long pass, long depthPass) {
    m_absBlend = parentBlend * m_blend;
    if (!(this == g_lpRootElem || m_layer == layer) || !(m_absBlend > 0) || !m_visible ||
        !((m_width > 0 && m_height > 0) || m_container))
        return;
    bool childChanged = false;
    if (m_subtreeDirty || changed) {
        if (m_matrixDirty || changed) updateFootprint(parentAbs);
        childChanged = true;
        if (pass != 1) m_subtreeDirty = false;
    }
    bool anyClip = m_clipping || m_elementSpaceClipping || m_screenSpaceClipping;
    const ZRectangle& root = g_lpRootElem ? g_lpRootElem->m_absRect : m_absRect;
    bool offScreen = m_absRect.x1 >= root.x2 || m_absRect.y1 >= root.y2 ||
                     root.x1 >= m_absRect.x2 || root.y1 >= m_absRect.y2;
    if (offScreen && !(m_pixelShader && m_pixelShaderForSubtree) && !m_stencilMask && !anyClip) {
        blitChildren(layer, childChanged, pass, depthPass, false);
        return;
    }
    g_nDrawnElements++;
    ZWindow* window = g_lpZWindow;

    ZPixelShader* savedShader = g_lpCurPixelShader;
    float savedParams[4][4];
    std::memcpy(savedParams, g_fCurPixelShaderParam, sizeof(savedParams));
    if (m_pixelShader) {
        endBatch();
        applyShader(m_pixelShader, m_pixelShaderParams);
    }
    if (m_stencilMask) {
        endBatch();
        if (window) window->beginStencil(g_nStencilBufferDepth == 0, true, m_stencilValue, false);
        g_nStencilBufferDepth++;
    }
    bool savedClipOn = g_bClippingEnabled;
    ZRectangle savedClip = g_rcClipping;
    if (anyClip) {
        ZRectangle clip = m_absRect;
        if (m_elementSpaceClipping || m_screenSpaceClipping)
            clip = {m_screenClip[0], m_screenClip[1], m_screenClip[2], m_screenClip[3]};
        if (g_bClippingEnabled) {
            clip.x1 = std::max(clip.x1, g_rcClipping.x1);
            clip.y1 = std::max(clip.y1, g_rcClipping.y1);
            clip.x2 = std::min(clip.x2, g_rcClipping.x2);
            clip.y2 = std::min(clip.y2, g_rcClipping.y2);
        }
        g_bClippingEnabled = true;
        g_rcClipping = clip;
        endBatch();
        if (window) window->setClipRect(true, clip.x1, clip.y1, clip.x2, clip.y2);
    }
    if (m_blitMatrix) {
        endBatch();
        if (window) window->setWorldMatrix(&m_absMatrix);
    }
    if (pass != 2) {
        blitOwn(depthPass);
        if (isDestroyed(this)) return;
        if (m_stencilMask) {
            endBatch();
            if (window) window->beginStencil(false, false, 0, m_stencilFlag);
        }
        if (m_pixelShader && !m_pixelShaderForSubtree &&
            (g_lpCurPixelShader != savedShader ||
             std::memcmp(savedParams, g_fCurPixelShaderParam, sizeof(savedParams)) != 0)) {
            endBatch();
            applyShader(savedShader, savedParams);
        }
    }
    if (pass != 1) {
        blitChildren(layer, childChanged, pass, depthPass, true);
        if (m_blitMatrix) {
            endBatch();
            if (window) window->setWorldMatrix(&m_absMatrix);
        }
        if (depthPass != 1) blitPost(m_absBlend, &m_absMatrix);
    }
    if (anyClip) {
        endBatch();
        g_bClippingEnabled = savedClipOn;
        g_rcClipping = savedClip;
        if (window)
            window->setClipRect(savedClipOn, savedClip.x1, savedClip.y1, savedClip.x2,
                                savedClip.y2);
    }
    if (m_stencilMask) {
        if (--g_nStencilBufferDepth == 0) {
            endBatch();
            if (window) window->endStencil();
        }
    }
    if (m_pixelShader && m_pixelShaderForSubtree && g_lpCurPixelShader != savedShader) {
        endBatch();
        applyShader(savedShader, savedParams);
    }
    if (m_drawBounds) {
        endBatch();
        if (!m_blitMatrix && window) window->setWorldMatrix(&m_absMatrix);
        const ZUIBounds* bounds = hitBounds();
        bounds->elemBlit(m_boundsColor[0], m_boundsColor[1], m_boundsColor[2], m_boundsColor[3]);
    }
}

void ZUIElement::blitAll(long layer) {
    g_nDrawnElements = 0;
    if (!g_lpZWindow || !g_lpRootElem) return;
    g_nStencilBufferDepth = 0;
    Hold hold;
    if (g_bDepthBufferEnabled) {
        g_lpZWindow->begin3d(false, false, ZWindow3dCulling(0), false);
        g_lpRootElem->blitSubTree(layer, false, 1.0f, nullptr, 0, 2);
    } else {
        g_lpRootElem->blitSubTree(layer, false, 1.0f, nullptr, 0, 0);
    }
    ZMatrix identity;
    g_lpZWindow->setWorldMatrix(&identity);
    endBatch();
    if (g_lpCurPixelShader) {
        g_lpCurPixelShader = nullptr;
        g_lpZWindow->setPixelShader(nullptr);
    }
}

void ZUIElement::blitElements(long layer, ZMatrix* m) {
    if (!g_lpZWindow) return;
    Hold hold;
    m_subtreeDirty = m_matrixDirty = true;
    markPending();
    float parentBlend = m_parent ? m_parent->m_absBlend : 1.0f;
    // Drawn as if the matrix were its parent's.
    ZMatrix base = m ? *m : g_matIdentity;
    blitSubTree(layer, false, parentBlend, &base, 0, g_bDepthBufferEnabled ? 2 : 0);
    if (!isDestroyed(this)) {
        m_subtreeDirty = m_matrixDirty = true;
        markPending();
    }
    ZMatrix identity;
    g_lpZWindow->setWorldMatrix(&identity);
    endBatch();
    if (g_lpCurPixelShader) {
        g_lpCurPixelShader = nullptr;
        g_lpZWindow->setPixelShader(nullptr);
    }
}

void ZUIElement::assignDepthValues(ZUIElement* e) {
    e->m_depthValue = g_fCurDepthValue;
    g_fCurDepthValue -= g_fDepthValueStep;
    for (ZUIElement* c : e->m_children) assignDepthValues(c);
}

void ZUIElement::beginDepthBufferBlit() {
    if (g_bDepthBufferEnabled || !g_lpZWindow || !g_lpRootElem) return;
    g_bDepthBufferEnabled = true;
    g_fCurDepthValue = 1.0f;
    g_fDepthValueStep = g_nInstances > 0 ? 0.99f / static_cast<float>(g_nInstances) : 0;
    assignDepthValues(g_lpRootElem);
    g_lpZWindow->setBlitDepth(0);
    g_lpZWindow->begin3d(true, true, ZWindow3dCulling(0), true);
}

void ZUIElement::blitAllFront(long layer) {
    if (!g_bDepthBufferEnabled || !g_lpZWindow || !g_lpRootElem) return;
    Hold hold;
    g_nStencilBufferDepth = 0;
    g_lpRootElem->blitSubTree(layer, false, 1.0f, nullptr, 0, 1);
    endBatch();
}

void ZUIElement::endDepthBufferBlit() {
    if (!g_bDepthBufferEnabled) return;
    if (g_lpZWindow) {
        g_lpZWindow->end3d();
        g_lpZWindow->setBlitDepth(0);
    }
    g_bDepthBufferEnabled = false;
}

// ---------------------------------------------------------------------------------------------
// Scripts

void ZUIElement::addScript(ZScript* script) {
    if (!script) return;
    m_scripts.addToTail(new ZUIElementScriptNode(script));
    script->addReference();
}

void ZUIElement::removeScript(ZScript* script) {
    for (ZUIElementScriptNode* node = m_scripts.head; node;) {
        ZUIElementScriptNode* next = ZList<ZUIElementScriptNode>::nextOf(node);
        if (node->script == script) {
            m_scripts.remove(node);
            delete node;
            script->delReference();
        }
        node = next;
    }
}

void ZUIElement::unlinkScript(ZScript* script) {
    removeScript(script);
    for (ZUIElement* child : m_children) child->unlinkScript(script);
}

template <class Call>
bool ZUIElement::forEachScript(Call call) {
    Hold hold;
    bool any = false;
    for (ZUIElementScriptNode* node = m_scripts.head; node && !isDestroyed(this);) {
        ZUIElementScriptNode* next = ZList<ZUIElementScriptNode>::nextOf(node);
        ZUIElement* caller = g_lpScriptCallerElem;
        g_lpScriptCallerElem = this;
        bool result = call(node->script);
        any = any || result;
        // The caller before may have been deleted by the script.
        g_lpScriptCallerElem = caller && !isDestroyed(caller) ? caller : nullptr;
        if (isDestroyed(this)) break;
        node = next;
    }
    return any;
}

void ZUIElement::executeScript(const char* text, bool all) {
    if (!hasScripts()) return;
    beginGuard(false);
    for (ZUIElementScriptNode* node = m_scripts.head; node && !isDestroyed(this);) {
        ZUIElementScriptNode* next = ZList<ZUIElementScriptNode>::nextOf(node);
        ZUIElement* caller = g_lpScriptCallerElem;
        g_lpScriptCallerElem = this;
        bool result = node->script->execute(text, true);
        g_lpScriptCallerElem = caller && !isDestroyed(caller) ? caller : nullptr;
        if (result && !all) break;
        node = next;
    }
    endUpdate();
}

void ZUIElement::callScript(const char* name) {
    // Without scripts nothing runs, so no guard (and no snapshot) is needed.
    if (!hasScripts()) return;
    beginGuard(false);
    forEachScript(
        [&](ZScript* s) { return s->call(name, 0, nullptr, nullptr, 0, nullptr, nullptr); });
    endUpdate();
}

void ZUIElement::callScriptInt(const char* name, long value) {
    if (!hasScripts()) return;
    beginGuard(false);
    forEachScript([&](ZScript* s) { return s->call(name, 1, "i", &value, 0, nullptr, nullptr); });
    endUpdate();
}

void ZUIElement::callScriptStr(const char* name, const char* text) {
    if (!hasScripts()) return;
    beginGuard(false);
    forEachScript([&](ZScript* s) { return s->call(name, 1, "s", &text, 0, nullptr, nullptr); });
    endUpdate();
}

bool ZUIElement::callScriptVar(const char* name, long inCount, const char* inFormat, void* inArgs,
                               long outCount, const char* outFormat, void* outArgs) {
    if (!hasScripts()) return false;
    beginGuard(false);
    bool any = forEachScript([&](ZScript* s) {
        return s->call(name, inCount, inFormat, inArgs, outCount, outFormat, outArgs);
    });
    endUpdate();
    return any;
}
