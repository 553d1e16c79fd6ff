#include "CUIStreamedImage.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "CResourceArchiveManagerStm.h"
#include "CResourceArchiveStm.h"
#include "CTileFileHeader.h"
#include "ZCore.h"
#include "ZGame.h"
#include "ZGraphic.h"
#include "ZResource.h"
#include "ZSysThread.h"

namespace {

const char kClassTag[] = "CUIStreamedImage";

}  // namespace

CUIStreamedImage::CUIStreamedImage(ZUIElement* parent) : ZUIImage(parent) {
    addClass(kClassTag);
    setBlitMatrix(true);
    CResourceArchiveManagerStm::registerOnce();
}

CUIStreamedImage::~CUIStreamedImage() {
    freeResources();
}

CUIStreamedImage* CUIStreamedImage::isUIStreamedImage(ZUIElement* element) {
    return element && element->isOfClass(kClassTag) ? static_cast<CUIStreamedImage*>(element)
                                                    : nullptr;
}

bool CUIStreamedImage::setImagePath(const char* path) {
    freeResources();
    CTileFileHeader header;
    ZResource file;
    bool ok = path && file.open(path, ZResourceModeRead) == ZResourceOk && header.read(file, path);
    file.close();
    if (ok) {
        m_tiles = new (std::nothrow) CUIStreamedImageTile[static_cast<size_t>(header.count)];
        ok = m_tiles != nullptr;
    }
    if (ok) {
        m_tileCount = header.count;
        m_tileEdge = header.tileEdge;
        m_kept[0] = header.kept[0];
        m_kept[1] = header.kept[1];
        m_columns = header.columns;
        m_rows = header.rows;
        CResourceArchiveStm::makeTilePrefix(path, m_prefix, sizeof(m_prefix));
        ok = ZResource::addArchive(path, 0, nullptr) == ZResourceOk;
    }
    if (ok) return true;
    freeResources();
    ZCore::logMessage("CUIStreamedImage: failed to open %s", path ? path : "");
    if (ZGame::g_lpGame) ZGame::g_lpGame->abortOnFile(path ? path : "");
    return false;
}

void CUIStreamedImage::enableStreaming(bool enable) {
    if (enable && !m_streaming) m_waitForCompletion = true;
    m_streaming = enable;
}

float CUIStreamedImage::getLookahead() const {
    return static_cast<float>(m_lookahead * m_tileEdge);
}

int64_t CUIStreamedImage::getTileBudget(float rootWidth, float rootHeight) const {
    if (m_tileEdge < 1) return 0;
    int64_t t = m_tileEdge;
    int64_t margin = 2 + 2 * m_lookahead;
    int64_t down = static_cast<int64_t>(std::floor((rootHeight + t - 1) / t)) + margin;
    int64_t across = static_cast<int64_t>(std::floor((rootWidth + t - 1) / t)) + margin;
    return down * across;
}

int32_t CUIStreamedImage::getTileState(int64_t n) {
    m_lock.acquire();
    int32_t state =
        m_tiles && n >= 0 && n < m_tileCount ? m_tiles[n].state : CUIStreamedImageTile::kAbsent;
    m_lock.release();
    return state;
}

void CUIStreamedImage::joinLoader() {
    if (!m_loader) return;
    m_loader->waitForCompletion();
    delete m_loader;
    m_loader = nullptr;
}

void CUIStreamedImage::freeResources() {
    // Tiles not taken by the loader yet are dropped first, so that a load in progress ends
    // after the tile it is decoding.
    m_lock.acquire();
    while (CUIStreamedImageTile* tile = m_requested.head) {
        m_requested.remove(tile);
        tile->state = CUIStreamedImageTile::kAbsent;
    }
    m_lock.release();
    joinLoader();
    freeTiles();
    m_prefix[0] = '\0';
}

void CUIStreamedImage::freeTiles() {
    m_lock.acquire();
    while (CUIStreamedImageTile* tile = m_requested.head) m_requested.remove(tile);
    while (CUIStreamedImageTile* tile = m_decoded.head) m_decoded.remove(tile);
    m_lock.release();
    if (m_tiles) {
        for (int64_t i = 0; i < m_tileCount; i++) delete m_tiles[i].graphic;
        delete[] m_tiles;
    }
    m_tiles = nullptr;
    m_tileCount = 0;
    m_tilesInUse = 0;
    m_tileEdge = 0;
    m_columns = 0;
    m_rows = 0;
}

void CUIStreamedImage::tileLoaderThreadMain(void* element, long) {
    static_cast<CUIStreamedImage*>(element)->loadAllNeededTiles();
}

void CUIStreamedImage::loadAllNeededTiles() {
    for (;;) {
        m_lock.acquire();
        CUIStreamedImageTile* tile = m_requested.head;
        if (tile) m_requested.remove(tile);
        bool requested = tile && tile->state == CUIStreamedImageTile::kRequested;
        m_lock.release();
        if (!tile) return;
        if (!requested) continue;

        char name[260];
        // Cut at 259 characters like every path; a cut name finds no tile.
        if (snprintf(name, sizeof(name), "%s%ld.jpg", m_prefix, static_cast<long>(tile - m_tiles)) <
            0)
            name[0] = '\0';
        ZGraphic* graphic = ZCore::createZGraphic();
        if (graphic) {
            graphic->setTextureQuality(true);
            // A tile that does not decode stays without picture.
            if (!graphic->loadPicture(name, true, false, false, 1, nullptr)) {
                delete graphic;
                graphic = nullptr;
            }
        }
        m_lock.acquire();
        tile->graphic = graphic;
        tile->state = CUIStreamedImageTile::kDecoded;
        m_decoded.addToTail(tile);
        m_lock.release();
    }
}

void CUIStreamedImage::blit(float alpha, ZMatrix*) {
    ZUIElement* root = getRootElement();
    if (!root || m_tileEdge < 1 || !m_tiles) return;
    const float t = static_cast<float>(m_tileEdge);
    const float margin = getLookahead();
    ZRectangle reach = root->getAbsBoundingRect();
    reach.x1 -= margin;
    reach.y1 -= margin;
    reach.x2 += margin;
    reach.y2 += margin;
    float ox, oy;
    getAbsPosition(0, 0, ox, oy);
    const int64_t budget = getTileBudget(root->getWidth(), root->getHeight());

    m_lock.acquire();
    for (int64_t r = 0; r < m_rows; r++) {
        float y1 = oy + r * t;
        for (int64_t c = 0; c < m_columns; c++) {
            CUIStreamedImageTile& tile = m_tiles[r * m_columns + c];
            float x1 = ox + c * t;
            bool outside = x1 + t < reach.x1 || x1 > reach.x2 || y1 + t < reach.y1 || y1 > reach.y2;
            if (outside) {
                if (tile.state == CUIStreamedImageTile::kDecoded ||
                    tile.state == CUIStreamedImageTile::kReady) {
                    if (tile.state == CUIStreamedImageTile::kDecoded) m_decoded.remove(&tile);
                    delete tile.graphic;
                    tile.graphic = nullptr;
                    m_tilesInUse = std::max<int64_t>(0, m_tilesInUse - 1);
                    tile.state = CUIStreamedImageTile::kAbsent;
                }
            } else if (tile.state == CUIStreamedImageTile::kAbsent && m_streaming &&
                       m_tilesInUse < budget) {
                m_tilesInUse++;
                tile.state = CUIStreamedImageTile::kRequested;
                m_requested.addToTail(&tile);
            }
        }
    }
    if (m_requested.count > 0) {
        if (m_loader && m_loader->hasCompleted()) joinLoader();
        if (!m_loader) m_loader = new ZSysThread(tileLoaderThreadMain, this, 0, 0);
    }

    long limit = kUploadsPerFrame;
    if (m_waitForCompletion) {
        m_waitForCompletion = false;
        m_lock.release();
        joinLoader();
        if (ZGame::g_lpGame) ZGame::g_lpGame->resetFrameLoop();
        m_lock.acquire();
        limit = m_decoded.count;
    }
    CUIStreamedImageTile* taken[kUploadsPerFrame];
    std::vector<CUIStreamedImageTile*> all;
    CUIStreamedImageTile** list = taken;
    if (limit > kUploadsPerFrame) {
        all.resize(static_cast<size_t>(limit));
        list = all.data();
    }
    long count = 0;
    while (count < limit && m_decoded.head) {
        CUIStreamedImageTile* tile = m_decoded.head;
        m_decoded.remove(tile);
        list[count++] = tile;
    }
    m_lock.release();

    for (long i = 0; i < count; i++) {
        CUIStreamedImageTile* tile = list[i];
        if (tile->graphic && !tile->graphic->loadPicture(".jpg", true, false, false, 2, nullptr)) {
            delete tile->graphic;
            tile->graphic = nullptr;
        }
        tile->state = CUIStreamedImageTile::kReady;
    }

    float colour[4];
    getColor(colour);
    float lightness = getLightness();
    // The loader changes the states of the tiles it holds under the lock.
    m_lock.acquire();
    for (int64_t r = 0; r < m_rows; r++) {
        for (int64_t c = 0; c < m_columns; c++) {
            CUIStreamedImageTile& tile = m_tiles[r * m_columns + c];
            if (tile.state != CUIStreamedImageTile::kReady || !tile.graphic) continue;
            tile.graphic->setBlitColor(colour[0] * lightness, colour[1] * lightness,
                                       colour[2] * lightness, colour[3] * alpha);
            tile.graphic->blitAlphaRectF(0, 0, t, t, c * t, r * t, false, false);
        }
    }
    m_lock.release();
}
