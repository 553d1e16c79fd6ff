#include "ZManagedGraphicList.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "ZCore.h"
#include "ZImage.h"
#include "ZUIImage.h"

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The pair fallback stands in for the formats that carry their own alpha.
bool hasPairExtension(const char* key) {
    const char* dot = strrchr(key, '.');
    return dot &&
           (strcmp(dot, ".png") == 0 || strcmp(dot, ".tga") == 0 || strcmp(dot, ".bmp") == 0);
}

// path with everything from its last '.' replaced by replacement; false when path has no '.'
// or the result does not fit.
bool replaceExtension(const char* path, const char* replacement, char* out, size_t size) {
    const char* dot = strrchr(path, '.');
    if (!dot) return false;
    size_t stem = static_cast<size_t>(dot - path);
    size_t extra = strlen(replacement);
    if (stem + extra >= size) {
        ZCore::logMessage("Resource: path longer than %zu characters, not loaded: %.*s%s, ERROR",
                          size - 1, static_cast<int>(stem), path, replacement);
        return false;
    }
    memcpy(out, path, stem);
    memcpy(out + stem, replacement, extra + 1);
    return true;
}

// Inserts c at index of the name (a buffer of kNameSize), moving position along.
bool insertCharacter(char* name, long index, char c, long& position, long size) {
    if (index > size - 2) return false;
    long length = static_cast<long>(strlen(name));
    // The name would lose its last character: no cut names.
    if (length + 1 > size - 1) return false;
    memmove(name + index + 1, name + index, static_cast<size_t>(length - index + 1));
    name[index] = c;
    position++;
    return true;
}

}  // namespace

ZManagedGraphicList::ZManagedGraphicList() {}

ZManagedGraphicList::~ZManagedGraphicList() {}

// ---- Loading ----

ZGraphic* ZManagedGraphicList::loadGraphic(const char* name, bool highQuality, bool alpha,
                                           bool splice, long threshold, bool reload,
                                           const char* alphaSuffix, bool,
                                           const char* colorExtension, bool mipmaps) {
    char key[kNameSize];
    if (!makeLoadKey(name, key)) return nullptr;
    m_lock.acquire();
    ZManagedGraphic* old = findKey(key);
    if (old && !reload) {
        old->count++;
        ZGraphic* graphic = old->object;
        m_lock.release();
        return graphic;
    }
    if (old && old->count > 1) {
        ZCore::logMessage("Resource: graphic %s is held %ld times, not reloaded, ERROR", name,
                          static_cast<long>(old->count));
        m_lock.release();
        return nullptr;
    }
    ZManagedGraphic* entry = decode(name, key, highQuality, alpha, splice, threshold, alphaSuffix,
                                    colorExtension, mipmaps);
    if (!entry) {
        m_lock.release();
        return nullptr;
    }
    // A reload adds no reference.
    entry->count = old ? old->count : 1;
    if (old) detachEntry(old);
    addEntry(entry);
    ZGraphic* graphic = entry->object;
    m_lock.release();
    if (old) releaseEntry(old);
    return graphic;
}

ZManagedGraphic* ZManagedGraphicList::decode(const char* name, const char* key, bool highQuality,
                                             bool alpha, bool splice, long threshold,
                                             const char* alphaSuffix, const char* colorExtension,
                                             bool mipmaps) {
    char path[kNameSize];
    if (!composeFilePath(name, path)) return nullptr;
    ZGraphic* graphic = ZCore::createZGraphic();
    if (!graphic) {
        ZCore::logMessage("Resource: no renderer to load graphic %s with, ERROR", name);
        return nullptr;
    }
    if (mipmaps) graphic->generateMipMaps(true);
    graphic->setTextureQuality(true);

    ZManagedGraphic* entry = new ZManagedGraphic();
    memcpy(entry->name, key, strlen(key) + 1);
    entry->highQuality = highQuality;
    entry->alpha = alpha;
    entry->splice = splice;
    entry->alphaThreshold = threshold;
    entry->object = graphic;

    bool loaded = graphic->loadPicture(path, highQuality, alpha, splice, 1, nullptr);
    if (loaded) {
        entry->hitMask = createHitMask(graphic->getColorImage(), threshold, 24);
    } else if (alpha && hasPairExtension(key)) {
        loaded = decodePair(entry, path, alphaSuffix, colorExtension);
    }
    if (!loaded) {
        delete graphic;
        entry->object = nullptr;
        delete entry;
        return nullptr;
    }
    return entry;
}

bool ZManagedGraphicList::decodePair(ZManagedGraphic* entry, const char* path,
                                     const char* alphaSuffix, const char* colorExtension) {
    char colorPath[kNameSize];
    char alphaPath[kNameSize];
    if (!replaceExtension(path, colorExtension ? colorExtension : ".jpg", colorPath, kNameSize) ||
        !replaceExtension(path, alphaSuffix ? alphaSuffix : "_a.png", alphaPath, kNameSize))
        return false;
    ZGraphic* graphic = entry->object;
    if (!graphic->loadPictureWithMask(colorPath, alphaPath, entry->highQuality, entry->splice, 1,
                                      nullptr))
        return false;
    entry->maskPair = true;
    // The alpha file's grey level (its green byte) is what hits.
    const ZImage* mask = graphic->getAlphaImage();
    if (mask && mask->getPixels() && mask->getImageWidth() > 0 && mask->getImageHeight() > 0)
        entry->hitMask = createHitMask(mask, entry->alphaThreshold, 8);
    else
        entry->hitMask = createHitMask(graphic->getColorImage(), entry->alphaThreshold, 24);
    return true;
}

unsigned char* ZManagedGraphicList::createHitMask(const ZImage* image, long threshold, long shift) {
    if (threshold < 0 || !image || !image->getPixels()) return nullptr;
    long width = image->getImageWidth();
    long height = image->getImageHeight();
    if (width <= 0 || height <= 0 || shift < 0 || shift > 24) return nullptr;
    size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
    unsigned char* mask = new (std::nothrow) unsigned char[(pixels + 7) / 8]();
    if (!mask) {
        ZCore::logMessage("Resource: out of memory for a %ldx%ld hit mask, ERROR", width, height);
        return nullptr;
    }
    const uint32_t* source = image->getPixels();
    uint32_t limit = static_cast<uint32_t>(threshold);
    for (size_t i = 0; i < pixels; i++)
        if (((source[i] >> shift) & 255u) >= limit)
            mask[i >> 3] = static_cast<unsigned char>(mask[i >> 3] | (1u << (i & 7)));
    return mask;
}

// ---- Upload ----

void ZManagedGraphicList::uploadGraphic(ZGraphic* graphic, bool splice) {
    if (!graphic) return;
    LockScope lock(m_lock);
    ZManagedGraphic* entry = findObject(graphic);
    if (!entry || entry->uploaded) return;
    if (m_atlasOpen && !splice && placeInAtlas(entry)) return;
    if (splice) entry->splice = true;
    uploadPixels(entry);
    entry->uploaded = true;
}

void ZManagedGraphicList::uploadPixels(ZManagedGraphic* entry) {
    ZGraphic* graphic = entry->object;
    if (entry->maskPair)
        graphic->loadPictureWithMask(nullptr, nullptr, entry->highQuality, entry->splice, 2,
                                     nullptr);
    else
        graphic->loadPicture(nullptr, entry->highQuality, entry->alpha, entry->splice, 2, nullptr);
}

// ---- Lookups ----

ZManagedGraphic* ZManagedGraphicList::findByName(const char* name) {
    char key[kNameSize];
    if (!makeKey(name, key)) return nullptr;
    return findKey(key);
}

ZGraphic* ZManagedGraphicList::getGraphicByName(const char* name) {
    return getObjectByName(name);
}

const unsigned char* ZManagedGraphicList::getHitMaskByName(const char* name) {
    LockScope lock(m_lock);
    ZManagedGraphic* entry = findByName(name);
    return entry ? entry->hitMask : nullptr;
}

const unsigned char* ZManagedGraphicList::getHitMaskByRef(ZGraphic* graphic) {
    LockScope lock(m_lock);
    ZManagedGraphic* entry = findObject(graphic);
    return entry ? entry->hitMask : nullptr;
}

long ZManagedGraphicList::getAlphaThresholdByName(const char* name) {
    LockScope lock(m_lock);
    ZManagedGraphic* entry = findByName(name);
    return entry ? static_cast<long>(entry->alphaThreshold) : 0;
}

long ZManagedGraphicList::getAlphaThresholdByRef(ZGraphic* graphic) {
    LockScope lock(m_lock);
    ZManagedGraphic* entry = findObject(graphic);
    return entry ? static_cast<long>(entry->alphaThreshold) : 0;
}

bool ZManagedGraphicList::stencilMaskOf(ZManagedGraphic* entry, ZRectangle& source,
                                        const unsigned char*& hitMask, float& alphaReference) {
    if (!entry || !entry->hitMask) return false;
    // The mask's rectangle must not reach past a smaller picture: the hit mask has no bits there.
    source = {0, 0, std::min(kStencilMaskSize, entry->object->getWidth()),
              std::min(kStencilMaskSize, entry->object->getHeight())};
    hitMask = entry->hitMask;
    float threshold = static_cast<float>(entry->alphaThreshold);
    if (threshold >= 2) threshold -= 1;
    alphaReference = threshold / 255.0f;
    return true;
}

bool ZManagedGraphicList::getStencilMaskByName(const char* name, ZGraphic*& graphic,
                                               ZRectangle& source, const unsigned char*& hitMask,
                                               float& alphaReference) {
    LockScope lock(m_lock);
    ZManagedGraphic* entry = findByName(name);
    if (!stencilMaskOf(entry, source, hitMask, alphaReference)) return false;
    graphic = entry->object;
    return true;
}

bool ZManagedGraphicList::getStencilMaskByRef(ZGraphic* graphic, ZRectangle& source,
                                              const unsigned char*& hitMask,
                                              float& alphaReference) {
    LockScope lock(m_lock);
    return stencilMaskOf(findObject(graphic), source, hitMask, alphaReference);
}

// ---- Unloading ----

void ZManagedGraphicList::unloadGraphicByRef(ZGraphic* graphic) {
    unloadObject(graphic);
}

void ZManagedGraphicList::unloadGraphicByName(const char* name) {
    unloadName(name);
}

void ZManagedGraphicList::releaseEntry(ZManagedGraphic* entry) {
    delete entry->object;
    entry->object = nullptr;
    ZManagedGraphic* page = entry->atlasPage;
    if (page) {
        m_lock.acquire();
        // The page's tree must not lead to an entry that is gone.
        if (entry->atlasNode) entry->atlasNode->entry = nullptr;
        ZManagedGraphic* gone = nullptr;
        if (page->count > 0) page->count--;
        if (page->count == 0) {
            if (page->inOpenAtlas)
                m_atlasPages.remove(page);
            else
                detachEntry(page);
            gone = page;
        }
        m_lock.release();
        if (gone) destroyEntry(gone);
        entry->atlasPage = nullptr;
        entry->atlasNode = nullptr;
    }
    delete entry;
}

void ZManagedGraphicList::freeAll() {
    ZManagedList::freeAll();
    // An atlas still open: its pages would otherwise lead to entries that are gone.
    m_lock.acquire();
    ZList<ZManagedGraphic> pages;
    while (ZManagedGraphic* page = m_atlasPages.head) {
        m_atlasPages.remove(page);
        pages.addToTail(page);
    }
    m_atlasOpen = false;
    m_lock.release();
    while (ZManagedGraphic* page = pages.head) {
        pages.remove(page);
        destroyEntry(page);
    }
}

void ZManagedGraphicList::forEach(ForEachCallback callback, void* user) {
    if (!callback) return;
    forEachEntry([callback, user](ZManagedGraphic* entry) {
        callback(user, entry->name, static_cast<long>(entry->count), entry->object);
    });
}

// ---- Sequences ----

bool ZManagedGraphicList::startSequence(const char* name, char* current, long& position) {
    size_t length = strlen(name);
    if (length >= static_cast<size_t>(kNameSize)) return false;
    // The name as written: files are opened under it.
    memcpy(current, name, length + 1);
    const char* dot = strrchr(current, '.');
    if (!dot || dot == current) return false;
    position = static_cast<long>(dot - current) - 1;
    return true;
}

bool ZManagedGraphicList::increaseSequence(char* name, long& position) {
    if (!name || position < 0 || position >= static_cast<long>(strlen(name))) return false;
    if (!isDigit(name[position]))
        return insertCharacter(name, position + 1, '2', position, kNameSize);
    for (long i = position;; i--) {
        if (name[i] != '9') {
            name[i]++;
            return true;
        }
        name[i] = '0';
        if (i == 0) return false;
        if (!isDigit(name[i - 1])) return insertCharacter(name, i, '1', position, kNameSize);
    }
}

long ZManagedGraphicList::loadGraphicSequence(const char* name, long count, bool highQuality,
                                              bool alpha, long threshold, bool reload, bool,
                                              bool mipmaps) {
    if (count < 0 || !name) return 0;
    char current[kNameSize];
    long position = 0;
    if (!startSequence(name, current, position)) return 0;
    long loaded = 0;
    // The references this call added: a frame that was reloaded keeps its count.
    std::vector<ZGraphic*> added;
    while (count == 0 || loaded < count) {
        m_lock.acquire();
        bool cached = reload && getGraphicByName(current);
        ZGraphic* graphic = loadGraphic(current, highQuality, alpha, false, threshold, reload,
                                        nullptr, false, nullptr, mipmaps);
        m_lock.release();
        if (!graphic) break;
        loaded++;
        if (!cached) added.push_back(graphic);
        if (!increaseSequence(current, position)) return loaded;
    }
    if (count == 0 || loaded == count) return loaded;
    // All or nothing: a missing frame takes back what this call loaded.
    for (ZGraphic* graphic : added) unloadGraphicByRef(graphic);
    return 0;
}

void ZManagedGraphicList::unloadGraphicSequence(const char* name, long count) {
    if (count < 1 || !name) return;
    char current[kNameSize];
    long position = 0;
    if (!startSequence(name, current, position)) return;
    for (long i = 0; i < count; i++) {
        unloadGraphicByName(current);
        if (i + 1 < count && !increaseSequence(current, position)) return;
    }
}

// ---- General atlas ----

void ZManagedGraphicList::beginAtlas(long pageWidth, long pageHeight, long largestWidth,
                                     long largestHeight) {
    LockScope lock(m_lock);
    endAtlas();
    m_atlasPageWidth = pageWidth;
    m_atlasPageHeight = pageHeight;
    m_atlasLargestWidth = largestWidth;
    m_atlasLargestHeight = largestHeight;
    m_atlasOpen = true;
}

void ZManagedGraphicList::endAtlas() {
    LockScope lock(m_lock);
    if (!m_atlasOpen) return;
    while (ZManagedGraphic* page = m_atlasPages.head) {
        m_atlasPages.remove(page);
        page->inOpenAtlas = false;
        if (page->count == 0) {
            destroyEntry(page);
            continue;
        }
        buildPage(page);
        addEntry(page);
    }
    m_atlasOpen = false;
}

ZManagedGraphic* ZManagedGraphicList::makePage() {
    ZManagedGraphic* page = new ZManagedGraphic();
    memcpy(page->name, kAtlasPageName, strlen(kAtlasPageName) + 1);
    page->highQuality = true;
    page->alpha = true;
    page->isPage = true;
    page->atlasRoot = new ZManagedGraphicAtlasNode(0, 0, static_cast<float>(m_atlasPageWidth),
                                                   static_cast<float>(m_atlasPageHeight));
    return page;
}

bool ZManagedGraphicList::placeInAtlas(ZManagedGraphic* entry) {
    float width = entry->object->getWidth();
    float height = entry->object->getHeight();
    if (width > static_cast<float>(m_atlasLargestWidth) ||
        height > static_cast<float>(m_atlasLargestHeight))
        return false;
    ZRectangle r = {0, 0, width, height};
    float pageWidth = static_cast<float>(m_atlasPageWidth);
    float pageHeight = static_cast<float>(m_atlasPageHeight);
    ZManagedGraphic* page = nullptr;
    ZManagedGraphicAtlasNode* node = nullptr;
    for (ZManagedGraphic* candidate : m_atlasPages) {
        node = insertIntoAtlas(candidate->atlasRoot, r, pageWidth, pageHeight);
        if (node) {
            page = candidate;
            break;
        }
    }
    if (!node) {
        page = makePage();
        node = insertIntoAtlas(page->atlasRoot, r, pageWidth, pageHeight);
        // A page that cannot take even its first graphic would stay empty: no such page is kept.
        if (!node) {
            destroyEntry(page);
            return false;
        }
        page->inOpenAtlas = true;
        m_atlasPages.addToTail(page);
    }
    node->entry = entry;
    entry->atlasPage = page;
    entry->atlasNode = node;
    entry->atlasRect = node->rect;
    page->count++;
    entry->uploaded = true;
    return true;
}

ZManagedGraphicAtlasNode* ZManagedGraphicList::insertIntoAtlas(ZManagedGraphicAtlasNode* node,
                                                               const ZRectangle& r, float pageWidth,
                                                               float pageHeight) {
    if (!node) return nullptr;
    while (node->firstChild) {
        if (ZManagedGraphicAtlasNode* placed =
                insertIntoAtlas(node->firstChild, r, pageWidth, pageHeight))
            return placed;
        node = node->secondChild;
    }
    if (node->entry) return nullptr;
    float rw = r.x2 - r.x1, rh = r.y2 - r.y1;
    float nw = node->rect.width(), nh = node->rect.height();
    // A node that spans the page needs no gutter on that axis: nothing lies beyond it.
    float gutterX = nw >= pageWidth ? 0 : kAtlasGutter;
    float gutterY = nh >= pageHeight ? 0 : kAtlasGutter;
    if (gutterX + rw > nw || gutterY + rh > nh) return nullptr;
    float dw = nw - rw, dh = nh - rh;
    if (dw <= kAtlasGutter && dh <= kAtlasGutter) return node;
    const ZRectangle& n = node->rect;
    if (dw <= dh) {
        node->firstChild = new ZManagedGraphicAtlasNode(n.x1, n.y1, n.x2, n.y1 + rh + kAtlasGutter);
        node->secondChild =
            new ZManagedGraphicAtlasNode(n.x1, n.y1 + rh + kAtlasGutter, n.x2, n.y2);
    } else {
        node->firstChild = new ZManagedGraphicAtlasNode(n.x1, n.y1, n.x1 + rw + kAtlasGutter, n.y2);
        node->secondChild =
            new ZManagedGraphicAtlasNode(n.x1 + rw + kAtlasGutter, n.y1, n.x2, n.y2);
    }
    return insertIntoAtlas(node->firstChild, r, pageWidth, pageHeight);
}

void ZManagedGraphicList::getAtlasSize(const ZManagedGraphicAtlasNode* node, float& width,
                                       float& height) {
    if (!node) return;
    if (node->entry) {
        width = std::max(width, node->rect.x2);
        height = std::max(height, node->rect.y2);
    }
    getAtlasSize(node->firstChild, width, height);
    getAtlasSize(node->secondChild, width, height);
}

void ZManagedGraphicList::buildPage(ZManagedGraphic* page) {
    float width = 0, height = 0;
    getAtlasSize(page->atlasRoot, width, height);
    ZGraphic* graphic = ZCore::createZGraphic();
    page->object = graphic;
    if (!graphic) {
        ZCore::logMessage("Resource: no renderer to make an atlas page with, ERROR");
        return;
    }
    graphic->setTextureQuality(true);
    graphic->makeAtlas(static_cast<long>(width), static_cast<long>(height), true);
    uploadAtlasGraphics(page, page->atlasRoot);
    graphic->finalizeAtlas();
}

void ZManagedGraphicList::uploadAtlasGraphics(ZManagedGraphic* page,
                                              ZManagedGraphicAtlasNode* node) {
    if (!node) return;
    uploadAtlasGraphics(page, node->firstChild);
    uploadAtlasGraphics(page, node->secondChild);
    ZManagedGraphic* entry = node->entry;
    if (!entry || !entry->object) return;
    entry->object->setInAtlas(page->object, static_cast<long>(node->rect.x1),
                              static_cast<long>(node->rect.y1), 0, 0);
    // A colour-plus-alpha picture writes its combined pixels, as its own upload would.
    uploadPixels(entry);
}

// ---- Sequence pages ----

namespace {

constexpr long kSequencePageSize = 512;
constexpr long kSequenceGap = 2;

}  // namespace

ZManagedGraphic* ZManagedGraphicList::makeSequencePage() {
    ZGraphic* graphic = ZCore::createZGraphic();
    if (!graphic) {
        ZCore::logMessage("Resource: no renderer to make a sequence page with, ERROR");
        return nullptr;
    }
    graphic->setTextureQuality(true);
    graphic->makeAtlas(kSequencePageSize, kSequencePageSize, false);
    ZManagedGraphic* page = new ZManagedGraphic();
    memcpy(page->name, kAtlasPageName, strlen(kAtlasPageName) + 1);
    page->highQuality = true;
    page->alpha = true;
    page->isPage = true;
    page->object = graphic;
    page->count = 0;
    addEntry(page);
    return page;
}

void ZManagedGraphicList::uploadGraphicSequence(const char* name, long count, ZUIImage* image,
                                                const char* visualName, double frameDuration,
                                                bool forward, bool loop, bool pingPong) {
    if (count < 1 || !name) return;
    LockScope lock(m_lock);
    char current[kNameSize];
    long position = 0;
    if (!startSequence(name, current, position)) return;

    std::vector<ZManagedGraphic*> kept;
    for (long i = 0; i < count; i++) {
        ZManagedGraphic* entry = findByName(current);
        if (entry && entry->object && !entry->uploaded) kept.push_back(entry);
        if (i + 1 < count && !increaseSequence(current, position)) break;
    }
    if (kept.empty()) return;
    // Shortest first; equal heights keep the name order.
    std::stable_sort(kept.begin(), kept.end(), [](ZManagedGraphic* a, ZManagedGraphic* b) {
        return a->object->getHeight() < b->object->getHeight();
    });

    ZManagedGraphic* page = makeSequencePage();
    long x = kSequenceGap, y = kSequenceGap, shelfBottom = kSequenceGap;
    for (ZManagedGraphic* entry : kept) {
        long w = static_cast<long>(entry->object->getWidth());
        long h = static_cast<long>(entry->object->getHeight());
        if (!page || w + kSequenceGap > kSequencePageSize - 1 ||
            h + kSequenceGap > kSequencePageSize - 1) {
            uploadPixels(entry);
            entry->uploaded = true;
            continue;
        }
        if (x + w > kSequencePageSize && page->count > 0) {
            x = kSequenceGap;
            y = shelfBottom + kSequenceGap;
        }
        if (y + h > kSequencePageSize) {
            page->object->finalizeAtlas();
            page = makeSequencePage();
            x = y = shelfBottom = kSequenceGap;
            if (!page) {
                uploadPixels(entry);
                entry->uploaded = true;
                continue;
            }
        }
        entry->object->setInAtlas(page->object, x, y, 0, 0);
        entry->atlasPage = page;
        entry->atlasRect = {static_cast<float>(x), static_cast<float>(y), static_cast<float>(x + w),
                            static_cast<float>(y + h)};
        uploadPixels(entry);
        entry->uploaded = true;
        page->count++;
        x += w + kSequenceGap;
        shelfBottom = std::max(shelfBottom, y + h);
    }
    if (page) {
        if (page->count > 0) {
            page->object->finalizeAtlas();
        } else {
            detachEntry(page);
            destroyEntry(page);
        }
    }

    if (!image) return;
    long first = image->getFrameCount();
    image->setFrameCount(first + count);
    if (visualName) {
        image->addVisual(visualName);
        image->setVisualSequence(visualName, first, first + count - 1, frameDuration, forward, loop,
                                 pingPong);
    }
    startSequence(name, current, position);
    long frame = first;
    for (long i = 0; i < count; i++) {
        if (ZManagedGraphic* entry = findByName(current)) {
            ZGraphic* g = entry->object;
            image->setFrameGraphic(frame++, g, 0, 0, g->getWidth(), g->getHeight(), entry->hitMask,
                                   -1, -1);
        }
        if (i + 1 < count && !increaseSequence(current, position)) break;
    }
}

// ---- Stencil masks ----

void ZManagedGraphicList::applyStencilMask(ZManagedGraphic* entry, ZUIImage* image) {
    ZRectangle source;
    const unsigned char* hitMask = nullptr;
    float alphaReference = 0;
    if (!image || !stencilMaskOf(entry, source, hitMask, alphaReference)) return;
    image->setGraphic(entry->object, source.x1, source.y1, source.x2, source.y2, hitMask, -1, -1);
    image->setAsStencilMask(true, alphaReference, false);
}

void ZManagedGraphicList::setStencilMaskByName(const char* name, ZUIImage* image, float, float,
                                               float, float) {
    LockScope lock(m_lock);
    applyStencilMask(findByName(name), image);
}

void ZManagedGraphicList::setStencilMaskByRef(ZGraphic* graphic, ZUIImage* image, float, float,
                                              float, float) {
    LockScope lock(m_lock);
    applyStencilMask(findObject(graphic), image);
}
