#pragma once

#include <cstdint>

#include "CUIStreamedImageTile.h"
#include "ZList.h"
#include "ZSysLock.h"
#include "ZUIImage.h"

class ZSysThread;

// A picture far larger than the screen, read from a tile file (a grid of square JPEG tiles):
// only the tiles near the visible area are loaded, on a tile-loader thread, at most nine are
// uploaded a frame, and tiles out of reach are freed. The tile file is mounted in the virtual
// file system, where each tile reads as "<prefix>%ld.jpg".
class CUIStreamedImage : public ZUIImage {
public:
    static constexpr long kUploadsPerFrame = 9;

    explicit CUIStreamedImage(ZUIElement* parent);
    ~CUIStreamedImage() override;

    // The element itself when it is a streamed image, else null (also for null).
    static CUIStreamedImage* isUIStreamedImage(ZUIElement* element);

    // Reads the tile file's header, builds the tiles and mounts the file; a missing or damaged
    // file is logged and goes to the game's abortOnFile. False on failure.
    bool setImagePath(const char* path);
    void enableStreaming(bool enable);
    bool isStreamingEnabled() const { return m_streaming; }
    void setLookaheadTiles(long tiles) { m_lookahead = tiles; }
    // The look-ahead in pixels.
    float getLookahead() const;
    // The next draw waits for the loader and uploads every decoded tile.
    void waitForCompletion() { m_waitForCompletion = true; }
    void freeResources();

    void move() override {}
    void blitPost(float, ZMatrix*) override {}
    void blit(float alpha, ZMatrix* m) override;

    static void tileLoaderThreadMain(void* element, long parameter);

    // For the tests and the benchmark.
    int64_t getTileEdge() const { return m_tileEdge; }
    int64_t getColumns() const { return m_columns; }
    int64_t getRows() const { return m_rows; }
    int64_t getTilesInUse() const { return m_tilesInUse; }
    // The tile's state (absent for numbers out of range), read under the lock.
    int32_t getTileState(int64_t n);
    const char* getTilePrefix() const { return m_prefix; }
    // The limit of tiles in use for a root of that size.
    int64_t getTileBudget(float rootWidth, float rootHeight) const;

private:
    void loadAllNeededTiles();
    void freeTiles();
    // Joins and deletes a loader thread, if any.
    void joinLoader();

    bool m_streaming = false;
    bool m_waitForCompletion = true;
    int64_t m_lookahead = 0;
    int64_t m_tileEdge = 0;
    int64_t m_kept[2] = {0, 0};
    int64_t m_columns = 0;
    int64_t m_rows = 0;
    int64_t m_tilesInUse = 0;
    CUIStreamedImageTile* m_tiles = nullptr;
    int64_t m_tileCount = 0;
    ZList<CUIStreamedImageTile> m_requested;
    ZList<CUIStreamedImageTile> m_decoded;
    ZSysLock m_lock;
    ZSysThread* m_loader = nullptr;
    char m_prefix[260] = {};
};
