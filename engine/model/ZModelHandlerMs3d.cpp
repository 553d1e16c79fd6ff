#include "ZModelHandlerMs3d.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "ZCore.h"
#include "ZMatrix.h"
#include "ZModel.h"
#include "ZModelByteReader.h"
#include "ZQuaternion.h"

namespace {

struct Vertex {
    ZVector3 position;
    int bones[4] = {-1, -1, -1, -1};
    float weights[4] = {1, 0, 0, 0};
};

struct FileTriangle {
    uint16_t index[3];
    float s[3], t[3];
    int64_t material = 0;
};

struct Key {
    float time;
    float x, y, z;
};

struct Joint {
    char name[33];
    char parentName[33];
    float rotation[3];
    float position[3];
    std::vector<Key> rotationKeys;
    std::vector<Key> translationKeys;
    // The skeleton: -2 unattached, -1 the root, else the parent joint.
    long parent = -2;
    std::vector<long> children;
    ZMatrix local, bind, final;
};

void keysAround(const std::vector<Key>& keys, float time, const Key*& a, const Key*& b) {
    if (keys.front().time > time) {
        a = b = &keys.front();
        return;
    }
    for (size_t i = 0; i + 1 < keys.size(); i++) {
        if (keys[i + 1].time > time) {
            a = &keys[i];
            b = &keys[i + 1];
            return;
        }
    }
    a = b = &keys.back();
}

float weightBetween(const Key* a, const Key* b, float time) {
    return b->time > a->time ? (time - a->time) / (b->time - a->time) : 0.0f;
}

ZQuaternion eulerRotation(const Key& key) {
    ZQuaternion qx, qy, qz;
    qx.fromAngleAxis(key.x, 1, 0, 0);
    qy.fromAngleAxis(key.y, 0, 1, 0);
    qz.fromAngleAxis(key.z, 0, 0, 1);
    return qz * qy * qx;
}

// Joints in the order of evaluation: parents before children, children in file order.
std::vector<long> skeletonOrder(const std::vector<Joint>& joints, const std::vector<long>& roots) {
    std::vector<long> order;
    std::vector<long> stack(roots.rbegin(), roots.rend());
    while (!stack.empty()) {
        long j = stack.back();
        stack.pop_back();
        order.push_back(j);
        stack.insert(stack.end(), joints[j].children.rbegin(), joints[j].children.rend());
    }
    return order;
}

// Skips count comments (index, length, text); false when they run past the data.
bool skipComments(ZModelByteReader& r, uint32_t count) {
    for (uint32_t i = 0; i < count && !r.failed(); i++) {
        r.u32();
        r.skip(r.u32());
    }
    return !r.failed();
}

}  // namespace

ZModelHandlerMs3d::ZModelHandlerMs3d() {}

ZModelHandlerMs3d::~ZModelHandlerMs3d() {}

bool ZModelHandlerMs3d::decode(const char* name, const unsigned char* data, long size,
                               ZModel* model) {
    if (!model) return false;
    model->freeModel();
    ZModelByteReader r(data, size);
    char id[11];
    r.text(id, sizeof(id), 10);
    int32_t version = r.s32();
    if (r.failed() || memcmp(id, "MS3D000000", 10) != 0 || (version != 3 && version != 4)) {
        ZCore::logMessage("Ms3d: '%s' is no model of version 3 or 4, ERROR", name ? name : "");
        return false;
    }
    auto tooShort = [name](const char* what) {
        ZCore::logMessage("Ms3d: '%s' ends inside its %s, ERROR", name ? name : "", what);
        return false;
    };

    uint16_t vertexCount = r.u16();
    if (!r.holds(vertexCount, 15)) return tooShort("vertices");
    std::vector<Vertex> vertices(vertexCount);
    for (Vertex& v : vertices) {
        r.u8();
        v.position = {r.f32(), r.f32(), r.f32()};
        v.bones[0] = r.s8();
        r.u8();
    }

    uint16_t triangleCount = r.u16();
    if (!r.holds(triangleCount, 70)) return tooShort("triangles");
    std::vector<FileTriangle> fileTriangles(triangleCount);
    for (FileTriangle& t : fileTriangles) {
        r.u16();
        for (uint16_t& index : t.index) index = r.u16();
        r.skip(36);
        for (float& s : t.s) s = r.f32();
        for (float& value : t.t) value = r.f32();
        r.u8();
        r.u8();
    }

    std::vector<ZModelMaterial> materials;
    int64_t defaultIndex = -1;
    auto defaultMaterial = [&]() {
        if (defaultIndex < 0) {
            defaultIndex = static_cast<int64_t>(materials.size());
            materials.push_back(ZModel::defaultMaterial());
        }
        return defaultIndex;
    };

    // Groups name their materials before the materials are read: kept until then.
    struct Group {
        std::vector<uint16_t> triangles;
        int material;
    };
    uint16_t groupCount = r.u16();
    if (!r.holds(groupCount, 36)) return tooShort("groups");
    std::vector<Group> groups(groupCount);
    bool groupCut = false;
    for (Group& g : groups) {
        r.skip(33);
        int16_t count = r.s16();
        if (count < 0) count = 0;
        if (!r.holds(count, 2)) return tooShort("groups");
        long kept = std::min<long>(count, kMaxGroupTriangles);
        groupCut = groupCut || kept < count;
        g.triangles.resize(kept);
        for (uint16_t& index : g.triangles) index = r.u16();
        r.skip(2 * (count - kept));
        g.material = r.s8();
    }
    if (r.failed()) return tooShort("groups");
    if (groupCut)
        ZCore::logMessage("Ms3d: a group lists more than %ld triangles, cut, WARNING",
                          kMaxGroupTriangles);

    uint16_t materialCount = r.u16();
    if (!r.holds(materialCount, 361)) return tooShort("materials");
    for (uint16_t i = 0; i < materialCount; i++) {
        ZModelMaterial material = ZModel::defaultMaterial();
        r.text(material.name, 33, 32);
        r.skip(16);
        for (int c = 0; c < 4; c++) {
            float value = r.f32();
            if (c < 3) material.color[c] = value;
        }
        r.skip(16 + 16 + 4 + 4 + 1);
        r.text(material.colorMap, sizeof(material.colorMap), 128);
        r.text(material.alphaMap, sizeof(material.alphaMap), 128);
        materials.push_back(material);
    }

    // The animation and the joints; a file that stops before them is a static model.
    float rate = 0;
    int32_t totalFrames = 1;
    std::vector<Joint> joints;
    if (r.remaining() > 0) {
        rate = r.f32();
        r.f32();
        totalFrames = r.s32();
        uint16_t jointCount = r.u16();
        if (r.failed() || !r.holds(jointCount, 93)) return tooShort("joints");
        joints.resize(jointCount);
        bool keysCut = false;
        for (Joint& j : joints) {
            r.u8();
            r.text(j.name, sizeof(j.name), 32);
            r.text(j.parentName, sizeof(j.parentName), 32);
            for (float& value : j.rotation) value = r.f32();
            for (float& value : j.position) value = r.f32();
            uint16_t rotations = r.u16();
            uint16_t translations = r.u16();
            if (!r.holds(int64_t(rotations) + translations, 16)) return tooShort("joints");
            for (int kind = 0; kind < 2; kind++) {
                uint16_t count = kind == 0 ? rotations : translations;
                std::vector<Key>& keys = kind == 0 ? j.rotationKeys : j.translationKeys;
                long kept = std::min<long>(count, kMaxKeys);
                keysCut = keysCut || kept < count;
                keys.resize(kept);
                for (Key& key : keys) key = {r.f32(), r.f32(), r.f32(), r.f32()};
                r.skip(16 * (count - kept));
            }
        }
        if (keysCut)
            ZCore::logMessage("Ms3d: a joint has more than %ld keys of a kind, cut, WARNING",
                              kMaxKeys);

        // Extras of version 4: only a comment sub-version of 1 brings the rest.
        if (version == 4 && r.remaining() >= 4 && r.s32() == 1) {
            bool whole =
                skipComments(r, r.u32()) && skipComments(r, r.u32()) && skipComments(r, r.u32());
            if (whole && r.s32() != 0) {
                r.u32();
                r.skip(r.u32());
            }
            int32_t vertexExtra = r.failed() ? 0 : r.s32();
            if ((vertexExtra == 1 || vertexExtra == 2) &&
                r.holds(vertexCount, vertexExtra == 1 ? 6 : 10)) {
                float scale = vertexExtra == 1 ? 255.0f : 100.0f;
                for (Vertex& v : vertices) {
                    for (int k = 1; k < 4; k++) v.bones[k] = r.s8();
                    for (int k = 0; k < 3; k++) v.weights[k] = r.u8() / scale;
                    if (vertexExtra == 2) r.u32();
                    if (v.bones[1] == -1) v.weights[1] = 0;
                    if (v.bones[2] == -1) v.weights[2] = 0;
                    v.weights[3] = 1 - (v.weights[0] + v.weights[1] + v.weights[2]);
                }
            } else if (vertexExtra == 1 || vertexExtra == 2) {
                ZCore::logMessage("Ms3d: '%s' ends inside its vertex weights, WARNING",
                                  name ? name : "");
            }
        }
    }

    // Bones outside the skeleton are no bones.
    int64_t strayBones = 0;
    for (Vertex& v : vertices) {
        for (int& bone : v.bones) {
            if (bone >= static_cast<int>(joints.size())) {
                bone = -1;
                strayBones++;
            }
        }
    }
    if (strayBones > 0)
        ZCore::logMessage("Ms3d: %lld bone references outside the skeleton, dropped, WARNING",
                          static_cast<long long>(strayBones));

    // The skeleton.
    std::vector<long> roots;
    for (size_t i = 0; i < joints.size(); i++) {
        Joint& j = joints[i];
        if (!j.parentName[0]) {
            j.parent = -1;
            roots.push_back(static_cast<long>(i));
            continue;
        }
        for (size_t p = 0; p < joints.size(); p++) {
            if (strcmp(joints[p].name, j.parentName) == 0) {
                j.parent = static_cast<long>(p);
                joints[p].children.push_back(static_cast<long>(i));
                break;
            }
        }
    }
    std::vector<long> order = skeletonOrder(joints, roots);
    for (long index : order) {
        Joint& j = joints[index];
        j.local = ZMatrix().rotationX(j.rotation[0]) * ZMatrix().rotationY(j.rotation[1]) *
                  ZMatrix().rotationZ(j.rotation[2]) *
                  ZMatrix().translation(j.position[0], j.position[1], j.position[2]);
        j.bind = j.parent >= 0 ? j.local * joints[j.parent].bind : j.local;
    }
    std::vector<ZMatrix> inverseBinds;
    for (const Joint& j : joints) inverseBinds.push_back(j.bind.inverse());

    // Triangles in the file's order with their groups' materials; those naming a vertex outside
    // the list are dropped.
    int64_t strayTriangles = 0, strayMaterials = 0;
    for (const Group& g : groups) {
        int64_t material = g.material;
        if (material < 0 || material >= materialCount) {
            if (g.material >= 0) strayMaterials++;
            material = defaultMaterial();
        }
        for (uint16_t index : g.triangles) {
            if (index < triangleCount)
                fileTriangles[index].material = material;
            else
                strayTriangles++;
        }
    }
    if (materials.empty()) defaultMaterial();
    std::vector<ZModelTriangle> triangles;
    triangles.reserve(triangleCount);
    for (const FileTriangle& source : fileTriangles) {
        if (source.index[0] >= vertexCount || source.index[1] >= vertexCount ||
            source.index[2] >= vertexCount) {
            strayTriangles++;
            continue;
        }
        ZModelTriangle t;
        memset(&t, 0, sizeof(t));
        for (int k = 0; k < 3; k++) {
            t.vertex[k] = source.index[2 - k];
            t.u[k] = source.s[2 - k];
            t.v[k] = source.t[2 - k];
        }
        t.material = source.material;
        triangles.push_back(t);
    }
    if (strayTriangles > 0)
        ZCore::logMessage("Ms3d: %lld triangle references outside their lists, dropped, WARNING",
                          static_cast<long long>(strayTriangles));
    if (strayMaterials > 0)
        ZCore::logMessage("Ms3d: %lld groups name no material of the file, drawn plain, WARNING",
                          static_cast<long long>(strayMaterials));

    int64_t frames = rate > 0 ? std::max<int64_t>(1, totalFrames) : 1;
    int64_t fit = ZModel::framesThatFit(frames, vertexCount, triangles.size());
    if (fit >= 1 && fit < frames) {
        ZCore::logMessage("Ms3d: %lld frames cut to %lld, WARNING", static_cast<long long>(frames),
                          static_cast<long long>(fit));
        frames = fit;
    }
    if (!model->allocateFrames(frames, vertexCount, triangles.size())) return false;

    std::vector<ZMatrix> skin(joints.size());
    for (int64_t f = 0; f < frames; f++) {
        float time = rate > 0 ? f / rate : static_cast<float>(f);
        for (long index : order) {
            Joint& j = joints[index];
            ZMatrix rotation, translation;
            const Key *a, *b;
            if (!j.rotationKeys.empty()) {
                keysAround(j.rotationKeys, time, a, b);
                rotation = ZQuaternion::slerp(eulerRotation(*a), eulerRotation(*b),
                                              weightBetween(a, b, time))
                               .toMatrix();
            }
            if (!j.translationKeys.empty()) {
                keysAround(j.translationKeys, time, a, b);
                float u = weightBetween(a, b, time);
                translation.translation(a->x + (b->x - a->x) * u, a->y + (b->y - a->y) * u,
                                        a->z + (b->z - a->z) * u);
            }
            j.final = rotation * translation * j.local;
            if (j.parent >= 0) j.final = j.final * joints[j.parent].final;
        }
        for (size_t j = 0; j < joints.size(); j++) skin[j] = inverseBinds[j] * joints[j].final;
        ZVector3* out = model->frame(static_cast<long>(f)).positions.data();
        for (const Vertex& v : vertices) {
            if (v.bones[0] < 0) {
                *out++ = v.position;
                continue;
            }
            ZVector3 sum{0, 0, 0};
            for (int k = 0; k < 4; k++) {
                ZVector3 p = v.bones[k] < 0 ? v.position : skin[v.bones[k]].transform(v.position);
                sum.x += v.weights[k] * p.x;
                sum.y += v.weights[k] * p.y;
                sum.z += v.weights[k] * p.z;
            }
            *out++ = sum;
        }
    }
    model->setTriangles(triangles);
    model->setMaterials(materials);
    model->computeNormals();
    return true;
}
