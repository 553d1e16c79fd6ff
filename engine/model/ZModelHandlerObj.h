#pragma once

#include "ZList.h"
#include "ZModelHandler.h"
#include "ZModelHandlerObjMaterial.h"

// Reads an OBJ text model with its MTL material libraries as one static frame:
// positions, texture coordinates, faces (polygons fanned into triangles, negative indices
// counted back from the last vertex read) and the materials' colours and texture names.
class ZModelHandlerObj : public ZModelHandler {
public:
    ZModelHandlerObj();
    ~ZModelHandlerObj() override;
    bool decode(const char* name, const unsigned char* data, long size, ZModel* model) override;
    // Appends the materials of a library's text to the handler's list.
    void parseMaterials(const unsigned char* data, long size);

private:
    void freeMaterials();
    bool loadLibrary(const char* modelName, const char* library);

    ZList<ZModelHandlerObjMaterial> m_materials;
};
