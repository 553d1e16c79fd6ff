#pragma once

#include <cstdint>
#include <vector>

#include "ZModelFrame.h"
#include "ZModelMaterial.h"
#include "ZModelRun.h"
#include "ZModelTriangle.h"
#include "ZObjectBase.h"
#include "ZVector3.h"

class ZBatch;
class ZWindow;

// One 3D model: frames of vertex positions, triangles shared by all frames, materials with their
// textures, and a vertex buffer holding every frame expanded for drawing at four sub-frames per
// frame. Loads in steps: 0 whole, 1 decode only (any thread, no rendering work), 2 the rendering
// work after an earlier step 1 (the thread of the rendering context).
class ZModel : public ZObjectBase {
public:
    // Frames a reader may make, and the memory of the frames and the vertex buffer together.
    static constexpr int64_t kMaxFrames = 10000;
    static constexpr int64_t kMaxBytes = 512LL * 1024 * 1024;

    ZModel();
    ~ZModel() override;

    void freeModel();
    // 0 ".3ds", 1 ".ms3d", 2 ".obj" (any case), else -1.
    static long detectFormat(const char* name);
    bool loadModel(const char* name, long step);
    // Step 2 returns false also when it filled the vertex buffer.
    bool loadModelFromPtr(const char* name, const unsigned char* data, long size, long step);
    // From the caller's arrays (copied): positions[f] holds the vertices of frame f. False, with
    // nothing built, when a triangle's indices lie outside the arrays or the model is too large.
    bool createModel(long frameCount, long vertexCount, ZVector3** positions, long triangleCount,
                     const ZModelTriangle* triangles, long materialCount,
                     const ZModelMaterial* materials);
    void sortTriangles();
    void updateVertexBuffer();
    void computeNormals();
    // Loads each material's colour map (and alpha map) from the folder. A texture that cannot be
    // loaded is a warning: its material draws in its colour alone.
    bool loadTextures(const char* folder, long step);
    // Inside a 3D pass of the window, which the caller opened and set up.
    void blitModel(ZWindow* window, float frame);

    long getFrameCount() const { return static_cast<long>(m_frameCount); }
    long getVertexCount() const { return static_cast<long>(m_vertexCount); }
    long getTriangleCount() const { return static_cast<long>(m_triangleCount); }
    long getMaterialCount() const { return static_cast<long>(m_materialCount); }
    bool getMaterial(long index, ZModelMaterial* material) const;

    // What was read and computed, for the readers' callers; null outside the arrays.
    const ZModelFrame* getFrame(long index) const;
    const ZModelTriangle* getTriangle(long index) const;
    long getRunCount() const { return static_cast<long>(m_runs.size()); }
    const ZModelRun* getRun(long index) const;
    ZBatch* getVertexBuffer() const { return m_vertexBuffer; }

    // For the readers: sets the counts and makes the frames' arrays (positions zeroed). False,
    // with a log line and the model left empty, when the model would not fit in kMaxBytes.
    bool allocateFrames(int64_t frameCount, int64_t vertexCount, int64_t triangleCount);
    // The number of frames, at most the one asked for, that fit in the limits with the vertices
    // and triangles given (0 when not even one does).
    static int64_t framesThatFit(int64_t frameCount, int64_t vertexCount, int64_t triangleCount);
    // For the readers: the triangles and materials they read, taken over whole.
    void setTriangles(std::vector<ZModelTriangle>& triangles);
    void setMaterials(std::vector<ZModelMaterial>& materials);
    ZModelFrame& frame(long index) { return m_frames[index]; }
    // A material of the defaults: no name, white, no maps.
    static ZModelMaterial defaultMaterial();

private:
    void deleteTextures();
    // Gives the texture a plain white picture, so that its material draws in its colour alone.
    static void makePlainTexture(ZGraphic* texture);

    int64_t m_frameCount = 0;
    int64_t m_vertexCount = 0;
    int64_t m_triangleCount = 0;
    int64_t m_materialCount = 0;
    std::vector<ZModelFrame> m_frames;
    std::vector<ZModelTriangle> m_triangles;
    std::vector<ZModelMaterial> m_materials;
    std::vector<int64_t> m_normalCounters;
    ZBatch* m_vertexBuffer = nullptr;
    std::vector<ZModelRun> m_runs;
    bool m_texCoordsScaled = false;
    // Per material: its picture was decoded by step 1 and waits for step 2.
    std::vector<bool> m_textureDecoded;
};
