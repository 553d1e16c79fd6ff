#include "ZModelHandler3ds.h"

#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "ZCore.h"
#include "ZMatrix.h"
#include "ZModel.h"
#include "ZModelByteReader.h"
#include "ZQuaternion.h"

namespace {

// Containers nest only a few levels deep in a real file; deeper nesting is cut.
const int kMaxDepth = 32;

struct Tri {
    uint16_t a, b, c;
    int64_t material = 0;
    uint32_t smoothing = 0;
};

struct Mesh {
    std::string name;
    std::vector<ZVector3> vertices;
    std::vector<float> texCoords;  // u, v pairs
    std::vector<Tri> faces;
    ZMatrix meshMatrix;
    ZMatrix nodeMatrix;
    ZVector3 pivot{0, 0, 0};
};

struct Map {
    char name[256] = {0};
    float strength = 0;
    float uOffset = 0, vOffset = 0, uScale = 1, vScale = 1, angle = 0;
    ZMatrix rotation;
};

struct Material {
    char name[256] = {0};
    float ambient[3] = {1, 1, 1};
    float diffuse[3] = {1, 1, 1};
    float specular[3] = {1, 1, 1};
    bool twoSided = false;
    Map texture;
    Map opacity;
};

struct Key {
    uint32_t frame;
    ZVector3 vector;
    ZQuaternion rotation;
};

struct Node {
    int16_t id = 0;
    int16_t parentId = -1;
    char name[256] = {0};
    ZVector3 pivot{0, 0, 0};
    std::vector<Key> tracks[3];  // position, rotation, scale
    ZMatrix matrix;
    long parent = -1;
    std::vector<long> children;
};

enum { kPosition = 0, kRotation = 1, kScale = 2 };

// The keys around the frame: a and b, or null when there are none.
void keysAround(const std::vector<Key>& keys, float frame, const Key*& a, const Key*& b) {
    a = b = nullptr;
    if (keys.empty()) return;
    if (keys.front().frame > frame) {
        a = b = &keys.front();
        return;
    }
    for (size_t i = 0; i + 1 < keys.size(); i++) {
        if (keys[i + 1].frame > frame) {
            a = &keys[i];
            b = &keys[i + 1];
            return;
        }
    }
    a = b = &keys.back();
}

float weightBetween(const Key* a, const Key* b, float frame) {
    return b->frame > a->frame ? (frame - a->frame) / (static_cast<float>(b->frame) - a->frame)
                               : 0.0f;
}

ZVector3 lerp(const ZVector3& a, const ZVector3& b, float t) {
    return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t};
}

ZMatrix nodeMatrixAt(const Node& node, float frame) {
    ZMatrix m;
    const Key *a, *b;
    keysAround(node.tracks[kScale], frame, a, b);
    if (a) {
        ZVector3 s = lerp(a->vector, b->vector, weightBetween(a, b, frame));
        m = m * ZMatrix().scaling(s.x, s.y, s.z);
    }
    keysAround(node.tracks[kRotation], frame, a, b);
    if (a)
        m = m * ZQuaternion::slerp(a->rotation, b->rotation, weightBetween(a, b, frame)).toMatrix();
    keysAround(node.tracks[kPosition], frame, a, b);
    if (a) {
        ZVector3 p = lerp(a->vector, b->vector, weightBetween(a, b, frame));
        m = m * ZMatrix().translation(p.x, p.y, p.z);
    }
    return m;
}

}  // namespace

struct ZModelHandler3ds::State {
    const unsigned char* data = nullptr;
    std::vector<Mesh> meshes;
    std::vector<Material> materials;
    std::vector<Node> nodes;
    char objectName[256] = {0};
    bool cutWarned = false;

    // Once per file: what was cut, so that a broken file does not flood the log.
    void warnCut(const char* what) {
        if (cutWarned) return;
        cutWarned = true;
        ZCore::logMessage("3ds: %s runs past its chunk, cut, WARNING", what);
    }

    // Calls handle(id, reader over the contents) for each chunk in [start, end).
    template <class Handle>
    void forChunks(int64_t start, int64_t end, Handle handle) {
        int64_t position = start;
        while (end - position >= 6) {
            ZModelByteReader header(data + position, 6);
            uint16_t id = header.u16();
            uint32_t length = header.u32();
            if (length < 6 || length > end - position) {
                warnCut("a chunk");
                return;
            }
            ZModelByteReader contents(data + position + 6, length - 6);
            handle(id, contents, position + 6);
            position += length;
        }
    }

    void readChunks(int64_t start, int64_t end, int depth) {
        if (depth > kMaxDepth) {
            warnCut("nesting");
            return;
        }
        forChunks(start, end, [&](uint16_t id, ZModelByteReader& r, int64_t at) {
            switch (id) {
                case 0x4D4D:
                case 0x3D3D:
                case 0xB000:
                    readChunks(at, at + r.end(), depth + 1);
                    break;
                case 0x4000:
                    r.zeroTerminated(objectName, sizeof(objectName));
                    readChunks(at + r.position(), at + r.end(), depth + 1);
                    objectName[0] = 0;
                    break;
                case 0x4100:
                    readMesh(at, r);
                    break;
                case 0xAFFF:
                    readMaterial(at, r);
                    break;
                case 0xB002:
                    readNode(at, r);
                    break;
                default:
                    break;
            }
        });
    }

    // A 16-bit count of records of size bytes, cut to what the reader holds.
    uint16_t countOf(ZModelByteReader& r, int64_t size, const char* what) {
        uint16_t count = r.u16();
        if (!r.holds(count, size)) {
            warnCut(what);
            count = static_cast<uint16_t>(r.remaining() / size);
        }
        return count;
    }

    void readMesh(int64_t at, ZModelByteReader& contents) {
        meshes.emplace_back();
        meshes.back().name = objectName;
        forChunks(at, at + contents.end(), [&](uint16_t id, ZModelByteReader& r, int64_t sub) {
            Mesh& mesh = meshes.back();
            if (id == 0x4110) {
                uint16_t count = countOf(r, 12, "a vertex list");
                mesh.vertices.resize(count);
                for (ZVector3& v : mesh.vertices) v = {r.f32(), r.f32(), r.f32()};
            } else if (id == 0x4120) {
                uint16_t count = countOf(r, 8, "a face list");
                mesh.faces.assign(count, Tri());
                for (Tri& face : mesh.faces) {
                    face.a = r.u16();
                    face.b = r.u16();
                    face.c = r.u16();
                    r.u16();
                }
                forChunks(sub + r.position(), sub + r.end(),
                          [&](uint16_t id2, ZModelByteReader& g, int64_t) {
                              readFaceChunk(mesh, id2, g);
                          });
            } else if (id == 0x4140) {
                uint16_t count = countOf(r, 8, "a texture-coordinate list");
                mesh.texCoords.resize(count * 2);
                for (float& value : mesh.texCoords) value = r.f32();
            } else if (id == 0x4160) {
                ZMatrix& m = mesh.meshMatrix;
                for (int row = 0; row < 4; row++) {
                    for (int column = 0; column < 3; column++) m.m[row * 4 + column] = r.f32();
                    m.m[row * 4 + 3] = row == 3 ? 1.0f : 0.0f;
                }
            }
        });
    }

    void readFaceChunk(Mesh& mesh, uint16_t id, ZModelByteReader& r) {
        if (id == 0x4130) {
            char name[256];
            r.zeroTerminated(name, sizeof(name));
            int64_t index = -1;
            for (size_t i = 0; i < materials.size() && index < 0; i++)
                if (strcmp(materials[i].name, name) == 0) index = static_cast<int64_t>(i);
            if (index < 0) return;
            uint16_t count = countOf(r, 2, "a material group");
            for (uint16_t i = 0; i < count; i++) {
                uint16_t face = r.u16();
                if (face < mesh.faces.size()) mesh.faces[face].material = index;
            }
        } else if (id == 0x4150) {
            size_t count = std::min<size_t>(mesh.faces.size(), r.remaining() / 4);
            if (count < mesh.faces.size()) warnCut("a smoothing list");
            for (size_t i = 0; i < count; i++) mesh.faces[i].smoothing = r.u32();
        }
    }

    void readColor(int64_t at, ZModelByteReader& contents, float* color) {
        color[0] = color[1] = color[2] = 1;
        forChunks(at, at + contents.end(), [&](uint16_t id, ZModelByteReader& r, int64_t) {
            if (id != 0x0010 || !r.holds(3, 4)) return;
            for (int i = 0; i < 3; i++) color[i] = r.f32();
        });
    }

    void readMap(int64_t at, ZModelByteReader& contents, Map& map) {
        map = Map();
        map.strength = 1.0f;
        forChunks(at, at + contents.end(), [&](uint16_t id, ZModelByteReader& r, int64_t) {
            switch (id) {
                case 0xA300:
                    r.zeroTerminated(map.name, sizeof(map.name));
                    break;
                case 0x0030:
                    if (r.holds(1, 2)) map.strength = r.u16() / 100.0f;
                    break;
                case 0xA354:
                    if (r.holds(1, 4)) map.uScale = r.f32();
                    break;
                case 0xA356:
                    if (r.holds(1, 4)) map.vScale = r.f32();
                    break;
                case 0xA358:
                    if (r.holds(1, 4)) map.uOffset = r.f32();
                    break;
                case 0xA35A:
                    if (r.holds(1, 4)) map.vOffset = r.f32();
                    break;
                case 0xA35C:
                    if (r.holds(1, 4)) {
                        map.angle = r.f32();
                        map.rotation.rotationZ(map.angle * 3.1415927f / 180);
                    }
                    break;
                default:
                    break;
            }
        });
    }

    void readMaterial(int64_t at, ZModelByteReader& contents) {
        materials.emplace_back();
        forChunks(at, at + contents.end(), [&](uint16_t id, ZModelByteReader& r, int64_t sub) {
            Material& material = materials.back();
            switch (id) {
                case 0xA000:
                    r.zeroTerminated(material.name, sizeof(material.name));
                    break;
                case 0xA010:
                    readColor(sub, r, material.ambient);
                    break;
                case 0xA020:
                    readColor(sub, r, material.diffuse);
                    break;
                case 0xA030:
                    readColor(sub, r, material.specular);
                    break;
                case 0xA081:
                    material.twoSided = true;
                    break;
                case 0xA200:
                    readMap(sub, r, material.texture);
                    break;
                case 0xA210:
                    readMap(sub, r, material.opacity);
                    material.twoSided = true;
                    break;
                default:
                    break;
            }
        });
    }

    void readTrack(ZModelByteReader& r, int kind) {
        r.skip(10);
        uint16_t count = static_cast<uint16_t>(r.u32() & 0xFFFF);
        int64_t size = kind == kRotation ? 22 : 18;
        if (!r.holds(count, size)) {
            warnCut("a track");
            count = static_cast<uint16_t>(r.remaining() / size);
        }
        std::vector<Key> keys(count);
        for (uint16_t k = 0; k < count; k++) {
            Key& key = keys[k];
            key.frame = r.u32();
            r.u16();
            if (kind == kRotation) {
                float angle = r.f32();
                float x = r.f32(), y = r.f32(), z = r.f32();
                key.rotation.fromAngleAxis(-angle, x, y, z);
                if (k > 0) key.rotation *= keys[k - 1].rotation;
            } else {
                key.vector = {r.f32(), r.f32(), r.f32()};
                if (k > 0) {
                    key.vector.x += keys[k - 1].vector.x;
                    key.vector.y += keys[k - 1].vector.y;
                    key.vector.z += keys[k - 1].vector.z;
                }
            }
        }
        Node& node = nodes.back();
        node.tracks[kind].swap(keys);
    }

    void readNode(int64_t at, ZModelByteReader& contents) {
        nodes.emplace_back();
        forChunks(at, at + contents.end(), [&](uint16_t id, ZModelByteReader& r, int64_t) {
            Node& node = nodes.back();
            switch (id) {
                case 0xB010:
                    r.zeroTerminated(node.name, sizeof(node.name));
                    r.u16();
                    r.u16();
                    if (!r.failed()) node.parentId = r.s16();
                    break;
                case 0xB013:
                    if (r.holds(3, 4)) node.pivot = {r.f32(), r.f32(), r.f32()};
                    break;
                case 0xB030:
                    if (r.holds(1, 2)) node.id = r.s16();
                    break;
                case 0xB020:
                    readTrack(r, kPosition);
                    break;
                case 0xB021:
                    readTrack(r, kRotation);
                    break;
                case 0xB022:
                    readTrack(r, kScale);
                    break;
                default:
                    break;
            }
        });
        long self = static_cast<long>(nodes.size()) - 1;
        for (long i = 0; i < self; i++) {
            if (nodes[i].id == nodes[self].parentId) {
                nodes[self].parent = i;
                nodes[i].children.push_back(self);
                break;
            }
        }
    }

    // Parents before children, children in order, from the root; without recursion, so a deep
    // hierarchy cannot exhaust the stack.
    void evaluateNodes(float frame, const std::map<std::string, size_t>& meshByName) {
        std::vector<long> stack(nodes[0].children.rbegin(), nodes[0].children.rend());
        while (!stack.empty()) {
            long index = stack.back();
            stack.pop_back();
            Node& node = nodes[index];
            node.matrix = nodeMatrixAt(node, frame);
            if (node.parent >= 0) node.matrix = node.matrix * nodes[node.parent].matrix;
            auto found = meshByName.find(node.name);
            if (found != meshByName.end()) {
                meshes[found->second].nodeMatrix = node.matrix;
                meshes[found->second].pivot = node.pivot;
            }
            stack.insert(stack.end(), node.children.rbegin(), node.children.rend());
        }
    }
};

ZModelHandler3ds::ZModelHandler3ds() {}

ZModelHandler3ds::~ZModelHandler3ds() {
    delete m_state;
}

bool ZModelHandler3ds::decode(const char* name, const unsigned char* data, long size,
                              ZModel* model) {
    if (!model) return false;
    model->freeModel();
    delete m_state;
    m_state = new State();
    State& s = *m_state;
    s.data = data;
    s.nodes.emplace_back();
    strcpy(s.nodes[0].name, "___root___");
    s.nodes[0].id = -1;
    if (data && size > 0) {
        // Only the first chunk of the data is read.
        ZModelByteReader header(data, size);
        header.u16();
        uint32_t length = header.u32();
        if (size >= 6) {
            int64_t end = length > static_cast<uint64_t>(size) ? size : length;
            if (length > static_cast<uint64_t>(size)) s.warnCut("the main chunk");
            s.forChunks(0, end < 6 ? 0 : end, [&](uint16_t id, ZModelByteReader& r, int64_t at) {
                if (id == 0x4D4D || id == 0x3D3D || id == 0xB000) s.readChunks(at, at + r.end(), 1);
            });
        }
    }

    int64_t frames = 1;
    for (const Node& node : s.nodes)
        for (const std::vector<Key>& track : node.tracks)
            if (!track.empty()) frames = std::max<int64_t>(frames, track.back().frame + int64_t(1));

    int64_t vertexCount = 0;
    for (const Mesh& mesh : s.meshes) vertexCount += static_cast<int64_t>(mesh.vertices.size());

    if (s.materials.empty()) {
        s.materials.emplace_back();
        Material& fallback = s.materials.back();
        fallback.ambient[0] = fallback.ambient[1] = fallback.ambient[2] = 0;
    }

    // Triangles, mesh by mesh; a face that names a vertex outside its mesh is dropped.
    std::vector<ZModelTriangle> triangles;
    int64_t dropped = 0, untextured = 0, offset = 0;
    for (const Mesh& mesh : s.meshes) {
        uint32_t words[4];
        int used = 0;
        int64_t meshVertices = static_cast<int64_t>(mesh.vertices.size());
        bool textured = !mesh.texCoords.empty();
        for (const Tri& face : mesh.faces) {
            if (face.a >= meshVertices || face.b >= meshVertices || face.c >= meshVertices) {
                dropped++;
                continue;
            }
            ZModelTriangle t;
            memset(&t, 0, sizeof(t));
            const uint16_t corners[3] = {face.c, face.b, face.a};
            t.material = face.material;
            int set = -1;
            for (int i = 0; i < used && set < 0; i++)
                if (words[i] == face.smoothing) set = i;
            if (set < 0 && used < 4) {
                words[used] = face.smoothing;
                set = used++;
            }
            t.normalSet = set < 0 ? 0 : set;
            const ZMatrix& rotation = s.materials[t.material].texture.rotation;
            for (int k = 0; k < 3; k++) {
                t.vertex[k] = corners[k] + offset;
                size_t at = static_cast<size_t>(corners[k]) * 2;
                if (!textured) continue;
                if (at + 1 >= mesh.texCoords.size()) {
                    untextured++;
                    continue;
                }
                ZVector3 uv = rotation.transform(
                    ZVector3{mesh.texCoords[at] - 0.5f, mesh.texCoords[at + 1] - 0.5f, 0});
                t.u[k] = uv.x + 0.5f;
                t.v[k] = uv.y + 0.5f;
            }
            triangles.push_back(t);
        }
        offset += meshVertices;
    }
    if (dropped > 0)
        ZCore::logMessage("3ds: %lld faces refer to vertices outside their mesh, dropped, WARNING",
                          static_cast<long long>(dropped));
    if (untextured > 0)
        ZCore::logMessage("3ds: %lld corners have no texture coordinate, given (0, 0), WARNING",
                          static_cast<long long>(untextured));

    int64_t fit = ZModel::framesThatFit(frames, vertexCount, triangles.size());
    if (fit >= 1 && fit < frames) {
        ZCore::logMessage("3ds: %lld frames cut to %lld, WARNING", static_cast<long long>(frames),
                          static_cast<long long>(fit));
        frames = fit;
    }
    if (!model->allocateFrames(frames, vertexCount, triangles.size())) {
        delete m_state;
        m_state = nullptr;
        return false;
    }

    std::map<std::string, size_t> meshByName;
    for (size_t i = 0; i < s.meshes.size(); i++) meshByName.emplace(s.meshes[i].name, i);
    std::vector<ZMatrix> inverses;
    for (const Mesh& mesh : s.meshes) inverses.push_back(mesh.meshMatrix.inverse());
    for (int64_t f = 0; f < frames; f++) {
        for (Mesh& mesh : s.meshes) mesh.nodeMatrix.identity();
        s.evaluateNodes(static_cast<float>(f), meshByName);
        ZVector3* out = model->frame(static_cast<long>(f)).positions.data();
        for (size_t i = 0; i < s.meshes.size(); i++) {
            const Mesh& mesh = s.meshes[i];
            ZMatrix m = inverses[i] *
                        ZMatrix().translation(-mesh.pivot.x, -mesh.pivot.y, -mesh.pivot.z) *
                        mesh.nodeMatrix;
            for (const ZVector3& v : mesh.vertices) *out++ = m.transform(v);
        }
    }

    std::vector<ZModelMaterial> materials;
    for (const Material& source : s.materials) {
        ZModelMaterial material = ZModel::defaultMaterial();
        strcpy(material.name, source.name);
        for (int i = 0; i < 3; i++) material.color[i] = source.diffuse[i];
        strcpy(material.colorMap, source.texture.name);
        strcpy(material.alphaMap, source.opacity.name);
        material.twoSided = source.twoSided;
        material.transparent = source.opacity.strength > 0;
        materials.push_back(material);
    }
    model->setTriangles(triangles);
    model->setMaterials(materials);
    (void)name;
    delete m_state;
    m_state = nullptr;
    model->computeNormals();
    return true;
}
