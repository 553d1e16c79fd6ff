#pragma once

#include "ZManagedList.h"
#include "ZManagedModel.h"
#include "ZModel.h"

// The cache of 3D models shared by name, on the common cache design. A load decodes the model
// and its textures without rendering work (any thread, under the cache's lock); the upload does
// the rendering half once, on the thread of the rendering context.
class ZManagedModelList : public ZManagedList<ZManagedModel> {
public:
    typedef void (*ForEachCallback)(void* user, const char* name, long count, ZModel* model);

    ZManagedModelList();
    ~ZManagedModelList() override;

    // The cached model of the name (count + 1), or the file decoded into a new model (count 1);
    // null when it cannot be read. Textures that cannot be read are warnings, not failures.
    ZModel* loadModel(const char* name, const char* textureFolder);
    // Sorts the triangles, fills the vertex buffer and uploads the textures, once; nothing for a
    // model the cache does not hold.
    void uploadModel(ZModel* model);
    ZModel* getModelByName(const char* name);
    void unloadModelByRef(ZModel* model);
    void unloadModelByName(const char* name);
    void forEach(ForEachCallback callback, void* user);
};
