#include "ZModel.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <numeric>

#include "ZBatch.h"
#include "ZCore.h"
#include "ZGraphic.h"
#include "ZMiscTools.h"
#include "ZModelHandler3ds.h"
#include "ZModelHandlerMs3d.h"
#include "ZModelHandlerObj.h"
#include "ZResource.h"
#include "ZWindow.h"

namespace {

// Bytes a frame takes per vertex (position and four smoothed normals) and per triangle (face and
// corner normals, room for a mirrored copy of each, and its twelve vertex-buffer vertices of 32
// bytes twice over for the copies).
const int64_t kBytesPerVertex = 5 * 12;
const int64_t kBytesPerTriangle = 12 + 2 * 36 + 2 * 12 * 32;

// The folder and the last component of the map's name, that part lower-cased, as a path.
void texturePath(const char* folder, const char* map, char* path) {
    const char* base = strrchr(map, '/');
    if (!base) base = strrchr(map, '\\');
    base = base ? base + 1 : map;
    size_t length = 0;
    if (folder) {
        length = std::min(strlen(folder), static_cast<size_t>(258));
        memcpy(path, folder, length);
        if (length > 0 && path[length - 1] != '/' && path[length - 1] != '\\') path[length++] = '/';
    }
    for (; *base && length < 259; base++)
        path[length++] = static_cast<char>(tolower(static_cast<unsigned char>(*base)));
    path[length] = 0;
    ZMiscTools::cleanPath(path);
}

}  // namespace

ZModel::ZModel() {}

ZModel::~ZModel() {
    freeModel();
}

void ZModel::deleteTextures() {
    for (ZModelMaterial& material : m_materials) {
        if (material.textureOwned) delete material.texture;
        if (material.textureOwned) material.texture = nullptr;
        material.textureOwned = false;
    }
}

void ZModel::freeModel() {
    m_runs.clear();
    deleteTextures();
    delete m_vertexBuffer;
    m_vertexBuffer = nullptr;
    m_normalCounters.clear();
    m_materials.clear();
    m_textureDecoded.clear();
    m_triangles.clear();
    m_frames.clear();
    m_frameCount = m_vertexCount = m_triangleCount = m_materialCount = 0;
}

long ZModel::detectFormat(const char* name) {
    const char* dot = name ? strrchr(name, '.') : nullptr;
    if (!dot) return -1;
    if (strcasecmp(dot, ".3ds") == 0) return 0;
    if (strcasecmp(dot, ".ms3d") == 0) return 1;
    if (strcasecmp(dot, ".obj") == 0) return 2;
    return -1;
}

bool ZModel::loadModel(const char* name, long step) {
    unsigned char* data = nullptr;
    unsigned long size = 0;
    if (!name || !ZResource::loadResource(name, data, size)) {
        ZCore::logMessage("Model: failed to load '%s', ERROR", name ? name : "");
        return false;
    }
    if (size > static_cast<unsigned long>(INT64_MAX / 2)) size = 0;
    bool result = loadModelFromPtr(name, data, static_cast<long>(size), step);
    delete[] data;
    return result;
}

bool ZModel::loadModelFromPtr(const char* name, const unsigned char* data, long size, long step) {
    bool result = false;
    bool hasExtension = name && strrchr(name, '.');
    if (step < 2 && hasExtension) {
        ZModelHandler* handler = nullptr;
        switch (detectFormat(name)) {
            case 0:
                handler = new ZModelHandler3ds();
                break;
            case 1:
                handler = new ZModelHandlerMs3d();
                break;
            case 2:
                handler = new ZModelHandlerObj();
                break;
            default:
                ZCore::logMessage("Model: unknown model format '%s', ERROR", name);
                return false;
        }
        result = handler->decode(name, data, data ? size : 0, this);
        delete handler;
    }
    if (step == 2 || (step == 0 && result)) {
        sortTriangles();
        updateVertexBuffer();
    }
    return step == 2 ? false : result;
}

bool ZModel::createModel(long frameCount, long vertexCount, ZVector3** positions,
                         long triangleCount, const ZModelTriangle* triangles, long materialCount,
                         const ZModelMaterial* materials) {
    freeModel();
    if (frameCount < 1 || vertexCount < 0 || triangleCount < 0 || materialCount < 0 ||
        (vertexCount > 0 && !positions) || (triangleCount > 0 && !triangles) ||
        (materialCount > 0 && !materials)) {
        ZCore::logMessage("Model: model of %ld frames, %ld vertices, %ld triangles refused, ERROR",
                          frameCount, vertexCount, triangleCount);
        return false;
    }
    for (long t = 0; t < triangleCount; t++) {
        const ZModelTriangle& triangle = triangles[t];
        bool valid = triangle.normalSet >= 0 && triangle.normalSet < 4 && triangle.material >= 0 &&
                     triangle.material < materialCount;
        for (int k = 0; k < 3; k++)
            valid = valid && triangle.vertex[k] >= 0 && triangle.vertex[k] < vertexCount;
        if (!valid) {
            ZCore::logMessage("Model: triangle %ld refers outside the model, ERROR", t);
            return false;
        }
    }
    if (!allocateFrames(frameCount, vertexCount, triangleCount)) return false;
    for (long f = 0; f < frameCount; f++)
        if (vertexCount > 0)
            std::copy(positions[f], positions[f] + vertexCount, m_frames[f].positions.begin());
    m_triangles.assign(triangles, triangles + triangleCount);
    m_materials.assign(materials, materials + materialCount);
    m_materialCount = materialCount;
    m_textureDecoded.assign(materialCount, false);
    for (ZModelMaterial& material : m_materials) {
        material.textureOwned = false;
        if (material.texture) continue;
        material.texture = ZCore::createZGraphic();
        if (!material.texture) continue;
        material.texture->setTextureQuality(true);
        material.textureOwned = true;
        makePlainTexture(material.texture);
    }
    computeNormals();
    sortTriangles();
    updateVertexBuffer();
    return true;
}

int64_t ZModel::framesThatFit(int64_t frameCount, int64_t vertexCount, int64_t triangleCount) {
    if (frameCount < 0 || vertexCount < 0 || triangleCount < 0) return 0;
    int64_t perFrame = vertexCount * kBytesPerVertex + triangleCount * kBytesPerTriangle;
    int64_t fit = perFrame > 0 ? kMaxBytes / perFrame : kMaxFrames;
    return std::min({frameCount, fit, kMaxFrames});
}

bool ZModel::allocateFrames(int64_t frameCount, int64_t vertexCount, int64_t triangleCount) {
    // Counts come from files: each is bounded before the products are formed.
    const int64_t kMaxCount = INT32_MAX;
    if (frameCount < 1 || vertexCount < 0 || triangleCount < 0 || vertexCount > kMaxCount ||
        triangleCount > kMaxCount ||
        framesThatFit(frameCount, vertexCount, triangleCount) < frameCount) {
        ZCore::logMessage(
            "Model: %lld frames of %lld vertices and %lld triangles do not fit in memory, ERROR",
            static_cast<long long>(frameCount), static_cast<long long>(vertexCount),
            static_cast<long long>(triangleCount));
        m_frames.clear();
        m_frameCount = m_vertexCount = m_triangleCount = 0;
        return false;
    }
    m_frameCount = frameCount;
    m_vertexCount = vertexCount;
    m_triangleCount = triangleCount;
    m_frames.assign(static_cast<size_t>(frameCount), ZModelFrame());
    for (ZModelFrame& frame : m_frames) {
        frame.positions.assign(vertexCount, ZVector3{0, 0, 0});
        for (std::vector<ZVector3>& set : frame.smoothed)
            set.assign(vertexCount, ZVector3{0, 0, 0});
        frame.faceNormals.assign(triangleCount, ZVector3{0, 0, 0});
        frame.cornerNormals.assign(triangleCount * 3, ZVector3{0, 0, 0});
    }
    return true;
}

void ZModel::setTriangles(std::vector<ZModelTriangle>& triangles) {
    m_triangles.swap(triangles);
    m_triangleCount = static_cast<int64_t>(m_triangles.size());
}

void ZModel::setMaterials(std::vector<ZModelMaterial>& materials) {
    m_materials.swap(materials);
    m_materialCount = static_cast<int64_t>(m_materials.size());
    m_textureDecoded.assign(m_materials.size(), false);
}

ZModelMaterial ZModel::defaultMaterial() {
    ZModelMaterial material;
    memset(&material, 0, sizeof(material));
    material.color[0] = material.color[1] = material.color[2] = 1;
    return material;
}

void ZModel::computeNormals() {
    const int64_t vertices = m_vertexCount;
    m_normalCounters.assign(static_cast<size_t>(vertices * 4), 0);
    for (ZModelFrame& frame : m_frames) {
        const int64_t triangles = std::min<int64_t>(m_triangleCount, frame.faceNormals.size());
        for (int64_t t = 0; t < triangles; t++) {
            const ZModelTriangle& tri = m_triangles[t];
            ZVector3 n =
                ZVector3::normal(frame.positions[tri.vertex[0]], frame.positions[tri.vertex[1]],
                                 frame.positions[tri.vertex[2]]);
            n.normalize();
            frame.faceNormals[t] = n;
        }
        for (std::vector<ZVector3>& set : frame.smoothed)
            std::fill(set.begin(), set.end(), ZVector3{0, 0, 0});
        std::fill(m_normalCounters.begin(), m_normalCounters.end(), 0);
        for (int64_t t = 0; t < triangles; t++) {
            const ZModelTriangle& tri = m_triangles[t];
            std::vector<ZVector3>& set = frame.smoothed[tri.normalSet];
            for (int k = 0; k < 3; k++) {
                ZVector3& sum = set[tri.vertex[k]];
                sum.x += frame.faceNormals[t].x;
                sum.y += frame.faceNormals[t].y;
                sum.z += frame.faceNormals[t].z;
                m_normalCounters[tri.normalSet * vertices + tri.vertex[k]]++;
            }
        }
        for (int g = 0; g < 4; g++) {
            for (int64_t v = 0; v < vertices; v++) {
                ZVector3& n = frame.smoothed[g][v];
                int64_t count = m_normalCounters[g * vertices + v];
                if (count != 0) {
                    n.x /= count;
                    n.y /= count;
                    n.z /= count;
                }
                n.normalize();
            }
        }
        for (int64_t t = 0; t < triangles; t++) {
            const ZModelTriangle& tri = m_triangles[t];
            for (int k = 0; k < 3; k++)
                frame.cornerNormals[t * 3 + k] = frame.smoothed[tri.normalSet][tri.vertex[k]];
        }
    }
}

void ZModel::sortTriangles() {
    auto materialOf = [this](const ZModelTriangle& t) -> const ZModelMaterial* {
        return t.material >= 0 && t.material < m_materialCount ? &m_materials[t.material] : nullptr;
    };
    int64_t original = m_triangleCount;
    int64_t mirrored = 0;
    for (int64_t t = 0; t < original; t++) {
        const ZModelMaterial* material = materialOf(m_triangles[t]);
        if (material && material->twoSided) mirrored++;
    }
    if (mirrored > 0) {
        m_triangles.reserve(original + mirrored);
        for (ZModelFrame& frame : m_frames) frame.cornerNormals.resize((original + mirrored) * 3);
        int64_t next = original;
        for (int64_t t = 0; t < original; t++) {
            const ZModelMaterial* material = materialOf(m_triangles[t]);
            if (!material || !material->twoSided) continue;
            ZModelTriangle copy = m_triangles[t];
            std::swap(copy.vertex[0], copy.vertex[2]);
            std::swap(copy.u[0], copy.u[2]);
            std::swap(copy.v[0], copy.v[2]);
            m_triangles.push_back(copy);
            for (ZModelFrame& frame : m_frames) {
                for (int k = 0; k < 3; k++) {
                    const ZVector3& n = frame.cornerNormals[t * 3 + (2 - k)];
                    frame.cornerNormals[next * 3 + k] = ZVector3{-n.x, -n.y, -n.z};
                }
            }
            next++;
        }
        m_triangleCount = original + mirrored;
    }

    // A stable sort by material, transparent materials after all opaque ones.
    auto key = [&](const ZModelTriangle& t) -> int64_t {
        const ZModelMaterial* material = materialOf(t);
        return (t.material & 0xFFFFFFFFLL) | (material && material->transparent ? 0x80000000LL : 0);
    };
    // Readers mostly give their triangles in material order already: then nothing moves.
    bool inOrder = true;
    for (int64_t t = 1; t < m_triangleCount && inOrder; t++)
        inOrder = key(m_triangles[t - 1]) <= key(m_triangles[t]);
    if (!inOrder) {
        std::vector<int64_t> keys(m_triangleCount);
        for (int64_t t = 0; t < m_triangleCount; t++) keys[t] = key(m_triangles[t]);
        std::vector<int64_t> order(m_triangleCount);
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(),
                         [&keys](int64_t a, int64_t b) { return keys[a] < keys[b]; });
        // The order applied in place, cycle by cycle: no second copy of the triangles and
        // their normals is made.
        std::vector<bool> placed(m_triangleCount, false);
        std::vector<ZVector3> held(m_frames.size() * 3);
        for (int64_t start = 0; start < m_triangleCount; start++) {
            if (placed[start] || order[start] == start) continue;
            ZModelTriangle triangle = m_triangles[start];
            for (size_t f = 0; f < m_frames.size(); f++)
                std::copy_n(m_frames[f].cornerNormals.begin() + start * 3, 3, held.begin() + f * 3);
            int64_t at = start;
            while (order[at] != start) {
                int64_t from = order[at];
                m_triangles[at] = m_triangles[from];
                for (ZModelFrame& frame : m_frames)
                    std::copy_n(frame.cornerNormals.begin() + from * 3, 3,
                                frame.cornerNormals.begin() + at * 3);
                placed[at] = true;
                at = from;
            }
            m_triangles[at] = triangle;
            for (size_t f = 0; f < m_frames.size(); f++)
                std::copy_n(held.begin() + f * 3, 3, m_frames[f].cornerNormals.begin() + at * 3);
            placed[at] = true;
        }
    }

    m_runs.clear();
    for (int64_t t = 0; t < m_triangleCount; t++) {
        if (m_runs.empty() || m_runs.back().material != m_triangles[t].material)
            m_runs.push_back(ZModelRun{t * 3, 0, m_triangles[t].material});
        m_runs.back().count += 3;
    }
}

void ZModel::updateVertexBuffer() {
    // Nothing to draw, and no buffer of no vertices.
    if (m_triangleCount == 0 || m_frameCount == 0) return;
    if (!m_vertexBuffer) {
        m_vertexBuffer = ZCore::createZBatch();
        if (!m_vertexBuffer || !m_vertexBuffer->allocateVertexBuffer(
                                   static_cast<long>(m_triangleCount * m_frameCount * 12), 2)) {
            ZCore::logMessage(
                "Model: failed to allocate vertex buffer, nothing will be drawn, "
                "WARNING");
            return;
        }
    }
    m_vertexBuffer->lock3dBuffer();
    const int64_t subFrames = m_frameCount * 4;
    for (int64_t s = 0; s < subFrames; s++) {
        float p = s * 0.25f;
        int64_t a = static_cast<int64_t>(std::floor(p));
        if (a >= m_frameCount) a = m_frameCount - 1;
        int64_t b = a + 1 < m_frameCount ? a + 1 : a;
        float w = p - a;
        const ZModelFrame& fa = m_frames[a];
        const ZModelFrame& fb = m_frames[b];
        for (int64_t t = 0; t < m_triangleCount; t++) {
            const ZModelTriangle& tri = m_triangles[t];
            for (int k = 0; k < 3; k++) {
                const ZVector3& pa = fa.positions[tri.vertex[k]];
                const ZVector3& pb = fb.positions[tri.vertex[k]];
                const ZVector3& na = fa.cornerNormals[t * 3 + k];
                const ZVector3& nb = fb.cornerNormals[t * 3 + k];
                ZVector3 position{pa.x * (1 - w) + pb.x * w, pa.y * (1 - w) + pb.y * w,
                                  pa.z * (1 - w) + pb.z * w};
                ZVector3 normal{na.x * (1 - w) + nb.x * w, na.y * (1 - w) + nb.y * w,
                                na.z * (1 - w) + nb.z * w};
                m_vertexBuffer->set3dVertex(static_cast<long>((s * m_triangleCount + t) * 3 + k),
                                            position, normal, ZVector2{tri.u[k], tri.v[k]});
            }
        }
    }
    m_vertexBuffer->unlock3dBuffer();
}

void ZModel::makePlainTexture(ZGraphic* texture) {
    // Kept by the graphic for later uploads, never written.
    static uint32_t white = 0xFFFFFFFF;
    if (!texture || !ZCore::getZWindow()) return;
    texture->makePictureFromArray(&white, 1, 1, true, false, false, nullptr);
}

bool ZModel::loadTextures(const char* folder, long step) {
    bool result = true;
    m_textureDecoded.resize(m_materials.size(), false);
    for (size_t i = 0; i < m_materials.size(); i++) {
        ZModelMaterial& material = m_materials[i];
        if (step < 2) {
            if (material.textureOwned) delete material.texture;
            material.texture = ZCore::createZGraphic();
            material.textureOwned = material.texture != nullptr;
            m_textureDecoded[i] = false;
            if (!material.texture) continue;
            material.texture->setTextureQuality(true);
            material.texture->allowTextureWrap(1);
        }
        if (!material.texture) continue;
        if (!material.colorMap[0]) {
            if (step != 1) makePlainTexture(material.texture);
            continue;
        }
        char colorPath[260], alphaPath[260];
        texturePath(folder, material.colorMap, colorPath);
        if (step == 2 && !m_textureDecoded[i]) {
            // Its decode failed, and said so.
            makePlainTexture(material.texture);
            continue;
        }
        material.texture->generateMipMaps(true);
        bool loaded;
        if (!material.alphaMap[0]) {
            loaded = material.texture->loadPicture(colorPath, true, true, false, step, nullptr);
        } else {
            texturePath(folder, material.alphaMap, alphaPath);
            loaded = material.texture->loadPictureWithMask(colorPath, alphaPath, true, false, step,
                                                           nullptr);
        }
        m_textureDecoded[i] = step == 1 && loaded;
        if (!loaded) {
            result = false;
            if (step != 2)
                ZCore::logMessage(
                    "Model: texture '%s' not loaded, material '%s' draws in its "
                    "colour, WARNING",
                    colorPath, material.name);
            if (step != 1) makePlainTexture(material.texture);
        }
    }
    if (!m_texCoordsScaled && (step == 0 || step == 2)) {
        for (ZModelTriangle& tri : m_triangles) {
            if (tri.material < 0 || tri.material >= m_materialCount) continue;
            ZGraphic* texture = m_materials[tri.material].texture;
            if (!texture) continue;
            float width = texture->getWidth(), height = texture->getHeight();
            float uDivider = texture->get3dUDivider(), vDivider = texture->get3dVDivider();
            // A texture without a picture has no size to scale by.
            if (!(width > 0 && height > 0 && uDivider > 0 && vDivider > 0)) continue;
            for (int k = 0; k < 3; k++) {
                tri.u[k] *= width / uDivider;
                tri.v[k] *= height / vDivider;
            }
        }
        m_texCoordsScaled = true;
        updateVertexBuffer();
    }
    return result;
}

void ZModel::blitModel(ZWindow* window, float frame) {
    if (!window) return;
    if (!m_vertexBuffer || m_vertexBuffer->isBufferLost()) updateVertexBuffer();
    if (!m_vertexBuffer || m_frameCount == 0) return;
    if (!(frame >= 0)) frame = 0;
    if (frame >= m_frameCount) frame = static_cast<float>(m_frameCount - 1);
    int64_t subFrame =
        std::min<int64_t>(static_cast<int64_t>(std::floor(frame * 4)), m_frameCount * 4 - 1);
    int64_t offset = subFrame * m_triangleCount * 3;
    bool depthWrites = true;
    for (const ZModelRun& run : m_runs) {
        if (run.material < 0 || run.material >= m_materialCount) continue;
        const ZModelMaterial& material = m_materials[run.material];
        if (material.transparent && depthWrites) {
            window->begin3d(false, false, eZWindow3dCullCounterClockwise, false);
            depthWrites = false;
        } else if (!material.transparent && !depthWrites) {
            window->begin3d(false, true, eZWindow3dCullCounterClockwise, false);
            depthWrites = true;
        }
        window->set3dMatColor(material.color[0], material.color[1], material.color[2], 1);
        m_vertexBuffer->blit3dBuffer(static_cast<long>(run.first + offset),
                                     static_cast<long>(run.count), material.texture);
    }
    window->set3dMatColor(1, 1, 1, 1);
}

bool ZModel::getMaterial(long index, ZModelMaterial* material) const {
    if (index < 0 || index >= m_materialCount || !material) return false;
    *material = m_materials[index];
    return true;
}

const ZModelFrame* ZModel::getFrame(long index) const {
    return index >= 0 && index < m_frameCount ? &m_frames[index] : nullptr;
}

const ZModelTriangle* ZModel::getTriangle(long index) const {
    return index >= 0 && index < m_triangleCount ? &m_triangles[index] : nullptr;
}

const ZModelRun* ZModel::getRun(long index) const {
    return index >= 0 && index < static_cast<long>(m_runs.size()) ? &m_runs[index] : nullptr;
}
