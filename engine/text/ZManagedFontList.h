#pragma once

#include "ZManagedFont.h"
#include "ZManagedList.h"
#include "ZTrueText.h"

// The cache of outline fonts, shared by file name, pixel height and a key of the caller's, on
// the common cache design. A load opens the font and sets its size (which renders its pages
// unless rendering is deferred) under the cache's lock: main thread.
class ZManagedFontList : public ZManagedList<ZManagedFont> {
public:
    typedef void (*ForEachCallback)(void* user, const char* name, long count, ZTrueText* face,
                                    long pixelHeight);

    ZManagedFontList();
    ~ZManagedFontList() override;

    // The cached face of the key (count + 1), or a new face of the font file (count 1). The
    // flags kerningPairs, trueColor and mipmaps go to ZTrueText::loadFontFile; a compatibility
    // level other than 0 is set on a new face. Null when the file cannot be opened.
    ZTrueText* loadFont(const char* name, long pixelHeight, bool deferredRendering, long extraKey,
                        bool kerningPairs, long compatibilityLevel, bool trueColor, bool mipmaps);
    ZTrueText* getFontByName(const char* name, long pixelHeight, long extraKey);
    void unloadFontByRef(ZTrueText* face);
    void unloadFontByName(const char* name, long pixelHeight, long extraKey);
    void forEach(ForEachCallback callback, void* user);

private:
    ZManagedFont* find(const char* key, long pixelHeight, long extraKey) const;
};
