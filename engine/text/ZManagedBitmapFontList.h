#pragma once

#include "ZManagedBitmapFont.h"
#include "ZManagedList.h"
#include "ZText.h"

// Makes the face a load fills, for a game whose bitmap faces are of a class of its own.
typedef ZText* (*ZManagedBitmapFontFactory)();

// The cache of bitmap fonts shared by the name of their font table, on the common cache design.
// Loading reads the table and uploads its page pictures, which needs the OpenGL context: main
// thread.
class ZManagedBitmapFontList : public ZManagedList<ZManagedBitmapFont> {
public:
    typedef void (*ForEachCallback)(void* user, const char* name, long count, ZText* face);

    ZManagedBitmapFontList();
    ~ZManagedBitmapFontList() override;

    // The cached face of the table (count + 1), or a face loaded from the table and, when a
    // picture name is given, its pages (count 1): the factory's, or a plain ZText. A
    // compatibility level other than 0 is set on a new face. The flags (true colour, mipmaps) go
    // to the pages' loading. Null on failure.
    ZText* loadFont(const char* tableName, const char* pictureName, long compatibilityLevel,
                    ZManagedBitmapFontFactory factory, bool trueColor, bool mipmaps);
    ZText* getFontByName(const char* tableName);
    void unloadFontByRef(ZText* face);
    void unloadFontByName(const char* tableName);
    void forEach(ForEachCallback callback, void* user);
};
