#pragma once

#include "ZGraphic.h"
#include "ZList.h"
#include "ZManagedGraphic.h"
#include "ZManagedGraphicAtlasNode.h"
#include "ZManagedList.h"
#include "ZRectangle.h"

class ZImage;
class ZUIImage;

// The cache of graphics shared by name, on the common cache design. A graphic loads in two
// phases: loadGraphic decodes the file without OpenGL, on any thread (a scene loader's
// included), holding the cache's lock while it reads and decodes; uploadGraphic makes its
// textures once, on the main thread. Between beginAtlas and endAtlas, uploaded graphics that are
// small enough share page textures instead of having their own.
//
// Pages are entries of their own ("__atlas__@@", count = graphics placed in them) that no lookup
// by name or by graphic and no forEach reports; a page goes when its last graphic does.
class ZManagedGraphicList : public ZManagedList<ZManagedGraphic> {
public:
    typedef void (*ForEachCallback)(void* user, const char* name, long count, ZGraphic* graphic);

    static constexpr const char* kAtlasPageName = "__atlas__@@";
    // Largest side of a stencil mask's source rectangle.
    static constexpr float kStencilMaskSize = 512.0f;
    // Free pixels to the right of and below each graphic in a general atlas page.
    static constexpr float kAtlasGutter = 8.0f;

    ZManagedGraphicList();
    ~ZManagedGraphicList() override;

    // The cached graphic of the name (count + 1, the file not read again), or the file decoded
    // into a new graphic (count 1); null on failure. threshold -1 builds no hit mask. With alpha
    // set, a missing .png, .tga or .bmp file may stand as a colour file (colorExtension, else
    // ".jpg") plus an alpha file (alphaSuffix, else "_a.png") in place of the extension.
    //
    // reload decodes the file again and keeps the count. It is refused (null, with a log line)
    // while others hold the graphic (count above 1), so no holder is left with a freed graphic;
    // a reload whose decode fails leaves the cached graphic as it was. Reloading a graphic that
    // was uploaded frees its textures: do it on the main thread.
    ZGraphic* loadGraphic(const char* name, bool highQuality, bool alpha, bool splice,
                          long threshold, bool reload, const char* alphaSuffix, bool unused,
                          const char* colorExtension, bool mipmaps);
    // Makes the textures of a decoded cached graphic, once; main thread. With an open atlas and
    // splice false, a graphic that fits is placed in a page instead.
    void uploadGraphic(ZGraphic* graphic, bool splice);

    ZGraphic* getGraphicByName(const char* name);
    const unsigned char* getHitMaskByName(const char* name);
    const unsigned char* getHitMaskByRef(ZGraphic* graphic);
    // The threshold given at load, or 0 when not cached.
    long getAlphaThresholdByName(const char* name);
    long getAlphaThresholdByRef(ZGraphic* graphic);

    // What a stencil mask of the cached graphic is made from: the graphic, the source rectangle
    // from (0, 0), 512 x 512 but never past the graphic's own size, its hit mask and the alpha
    // reference (the threshold less 1 from 2 on, over 255). False when the graphic is not cached
    // or has no hit mask.
    bool getStencilMaskByName(const char* name, ZGraphic*& graphic, ZRectangle& source,
                              const unsigned char*& hitMask, float& alphaReference);
    bool getStencilMaskByRef(ZGraphic* graphic, ZRectangle& source, const unsigned char*& hitMask,
                             float& alphaReference);

    void unloadGraphicByRef(ZGraphic* graphic);
    void unloadGraphicByName(const char* name);

    // Numbered frames: name, then the name advanced by increaseSequence, and so on. count 0 loads
    // until a file is missing; a count above 0 loads all of them or none (0). Returns the number
    // of frames loaded.
    long loadGraphicSequence(const char* name, long count, bool highQuality, bool alpha,
                             long threshold, bool reload, bool unused, bool mipmaps);
    // Packs the decoded, not yet uploaded frames of a loaded sequence into 512 x 512 pages
    // (shortest first, shelves with 2-pixel gaps; a frame too large for a page gets its own
    // texture), uploads them, and appends count frames to image, with a visual over them when
    // visualName is given. Main thread.
    void uploadGraphicSequence(const char* name, long count, ZUIImage* image,
                               const char* visualName, double frameDuration, bool forward,
                               bool loop, bool pingPong);
    // Makes image a one-frame stencil mask of the cached graphic (its top-left 512 x 512, its
    // hit mask, the alpha reference of its threshold); nothing when it is not cached or has no
    // hit mask. The four floats are not used.
    void setStencilMaskByName(const char* name, ZUIImage* image, float, float, float, float);
    void setStencilMaskByRef(ZGraphic* graphic, ZUIImage* image, float, float, float, float);
    // Unloads count frames by name, from the first.
    void unloadGraphicSequence(const char* name, long count);
    // Advances the number just before the last '.' of name (a buffer of 260 characters) in place;
    // position is the index of the character before that '.' and follows an insertion. walk.png
    // becomes walk2.png, a9.png a10.png. False when 9.png-like names run out of digits or the
    // name would no longer fit.
    static bool increaseSequence(char* name, long& position);

    // Opens an atlas of pages of pageWidth x pageHeight for graphics up to largestWidth x
    // largestHeight (closing an open one first).
    void beginAtlas(long pageWidth, long pageHeight, long largestWidth, long largestHeight);
    // Makes the open atlas's page textures, sized to their content, fills them and lists the
    // pages; nothing when no atlas is open. Main thread.
    void endAtlas();

    // Places a rectangle of r's size in the tree (8-pixel gutter to the right and below unless
    // the node spans the page on that axis): the node that takes it, or null.
    static ZManagedGraphicAtlasNode* insertIntoAtlas(ZManagedGraphicAtlasNode* node,
                                                     const ZRectangle& r, float pageWidth,
                                                     float pageHeight);
    // Raises width and height to the largest right and bottom edges of the nodes holding a
    // graphic.
    static void getAtlasSize(const ZManagedGraphicAtlasNode* node, float& width, float& height);

    // One bit per pixel: ((pixel >> shift) & 255) >= threshold. Null for a negative threshold or
    // an image without pixels. new[]; the caller frees it.
    static unsigned char* createHitMask(const ZImage* image, long threshold, long shift);

    void forEach(ForEachCallback callback, void* user);
    // Destroys every entry whatever the counts, and the pages of an atlas still open.
    void freeAll() override;

protected:
    bool isReachable(const ZManagedGraphic* entry) const override { return !entry->isPage; }
    void releaseEntry(ZManagedGraphic* entry) override;

private:
    // Under the lock: the decoded entry of a name, or null.
    ZManagedGraphic* decode(const char* name, const char* key, bool highQuality, bool alpha,
                            bool splice, long threshold, const char* alphaSuffix,
                            const char* colorExtension, bool mipmaps);
    bool decodePair(ZManagedGraphic* entry, const char* path, const char* alphaSuffix,
                    const char* colorExtension);
    // Under the lock: the entry's upload phase, with the mask when it has one.
    static void uploadPixels(ZManagedGraphic* entry);
    bool placeInAtlas(ZManagedGraphic* entry);
    ZManagedGraphic* makePage();
    void buildPage(ZManagedGraphic* page);
    void uploadAtlasGraphics(ZManagedGraphic* page, ZManagedGraphicAtlasNode* node);
    ZManagedGraphic* findByName(const char* name);
    bool stencilMaskOf(ZManagedGraphic* entry, ZRectangle& source, const unsigned char*& hitMask,
                       float& alphaReference);
    static bool startSequence(const char* name, char* current, long& position);
    ZManagedGraphic* makeSequencePage();
    void applyStencilMask(ZManagedGraphic* entry, ZUIImage* image);

    bool m_atlasOpen = false;
    long m_atlasPageWidth = 0;
    long m_atlasPageHeight = 0;
    long m_atlasLargestWidth = 0;
    long m_atlasLargestHeight = 0;
    // The open atlas's pages: not in the list or the table until the atlas is closed.
    ZList<ZManagedGraphic> m_atlasPages;
};
