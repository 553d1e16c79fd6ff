#include "ZModelHandlerObj.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ZCore.h"
#include "ZMiscTools.h"
#include "ZModel.h"
#include "ZResource.h"

namespace {

// The lines of a text that ends at its size or its first zero byte. Each line is copied into a
// buffer of its own that ends in a zero, so that number parsing never runs into the next line
// or past the data.
class Lines {
public:
    Lines(const unsigned char* data, long size) : m_data(data) {
        if (!data || size <= 0) return;
        const void* zero = memchr(data, 0, static_cast<size_t>(size));
        m_size = zero ? static_cast<const unsigned char*>(zero) - data : static_cast<size_t>(size);
    }
    const unsigned char* data() const { return m_data; }
    size_t size() const { return m_size; }
    // The next line that holds anything, or null at the end; CR and LF end lines.
    const char* next() {
        while (m_position < m_size && isEnd(m_data[m_position])) m_position++;
        if (m_position >= m_size) return nullptr;
        size_t start = m_position;
        const void* feed = memchr(m_data + start, '\n', m_size - start);
        size_t end = feed ? static_cast<const unsigned char*>(feed) - m_data : m_size;
        const void* ret = memchr(m_data + start, '\r', end - start);
        if (ret) end = static_cast<const unsigned char*>(ret) - m_data;
        m_position = end;
        m_line.resize(end - start + 1);
        memcpy(m_line.data(), m_data + start, end - start);
        m_line[end - start] = 0;
        return m_line.data();
    }

private:
    static bool isEnd(unsigned char c) { return c == '\r' || c == '\n'; }

    const unsigned char* m_data;
    size_t m_size = 0;
    size_t m_position = 0;
    std::vector<char> m_line;
};

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// The next line of the text from position: its keyword (at most 49 characters) and where its
// argument starts. False at the end of the text.
bool nextLine(Lines& lines, bool skipLeading, char* keyword, const char*& argument) {
    const char* line = lines.next();
    if (!line) return false;
    if (skipLeading)
        while (isBlank(*line)) line++;
    size_t length = 0;
    while (line[length] && !isBlank(line[length])) length++;
    size_t kept = length < 49 ? length : 49;
    memcpy(keyword, line, kept);
    keyword[kept] = 0;
    line += length;
    while (isBlank(*line)) line++;
    argument = line;
    return true;
}

// The argument as a name of at most size - 1 characters.
void copyName(const char* argument, char* out, size_t size) {
    size_t length = strlen(argument);
    if (length > size - 1) length = size - 1;
    memcpy(out, argument, length);
    out[length] = 0;
}

// A float as strtof reads it. The plain decimals that fill model files are read here, the digits
// gathered as an integer and scaled once; anything else (exponents, long mantissas, "inf", hex)
// goes to strtof.
float readFloat(const char* text, char** end) {
    const char* p = text;
    while (*p == ' ' || *p == '\t') p++;
    bool negative = *p == '-';
    if (*p == '-' || *p == '+') p++;
    uint64_t mantissa = 0;
    int digits = 0, decimals = 0;
    bool point = false;
    for (;; p++) {
        if (*p >= '0' && *p <= '9') {
            mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
            digits++;
            if (point) decimals++;
        } else if (*p == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    static const double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8, 1e9,
                                     1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18};
    if (digits == 0 || digits > 15 || *p == 'e' || *p == 'E' || *p == 'x' || *p == 'X')
        return strtof(text, end);
    *end = const_cast<char*>(p);
    double value = static_cast<double>(mantissa) / kPowers[decimals];
    return static_cast<float>(negative ? -value : value);
}

// Up to count floats, missing or unreadable ones 0.
void readFloats(const char* text, float* out, int count) {
    for (int i = 0; i < count; i++) {
        char* end = nullptr;
        out[i] = readFloat(text, &end);
        if (end == text) {
            for (; i < count; i++) out[i] = 0;
            return;
        }
        text = end;
    }
}

// A corner's number as atol reads it: an empty field is absent (-1 at the caller).
long readNumber(const char*& p, bool& present) {
    const char* start = p;
    while (*p && *p != '/' && !isBlank(*p)) p++;
    present = p > start;
    if (!present) return 0;
    bool negative = false;
    const char* q = start;
    if (*q == '-' || *q == '+') negative = *q++ == '-';
    long value = 0;
    while (q < p && *q >= '0' && *q <= '9' && value < 100000000000L)
        value = value * 10 + (*q++ - '0');
    return negative ? -value : value;
}

// An index of the face resolved against the count read so far: positive from the first entry,
// negative back from the last one read; -1 for none, -2 for one outside.
int64_t resolveIndex(long number, bool present, int64_t readSoFar) {
    if (!present) return -1;
    if (number > 0) return number - 1;
    if (number < 0 && readSoFar + number >= 0) return readSoFar + number;
    return -2;
}

// A texture coordinate that a face names before its "vt" line, looked up at the end.
struct LateTexture {
    size_t triangle;
    int corner;
    int64_t index;
};

}  // namespace

ZModelHandlerObj::ZModelHandlerObj() {}

ZModelHandlerObj::~ZModelHandlerObj() {
    freeMaterials();
}

void ZModelHandlerObj::freeMaterials() {
    for (ZModelHandlerObjMaterial* material : m_materials) {
        m_materials.remove(material);
        delete material;
    }
}

void ZModelHandlerObj::parseMaterials(const unsigned char* data, long size) {
    Lines text(data, size);
    char keyword[50];
    const char* argument = nullptr;
    while (nextLine(text, true, keyword, argument)) {
        if (strcmp(keyword, "newmtl") == 0) {
            ZModelHandlerObjMaterial* material = new ZModelHandlerObjMaterial();
            copyName(argument, material->name, sizeof(material->name));
            m_materials.addToTail(material);
            continue;
        }
        ZModelHandlerObjMaterial* material = m_materials.tail;
        if (!material) continue;
        if (strcmp(keyword, "Ka") == 0)
            readFloats(argument, material->ambient, 3);
        else if (strcmp(keyword, "Kd") == 0)
            readFloats(argument, material->diffuse, 3);
        else if (strcmp(keyword, "Ks") == 0)
            readFloats(argument, material->specular, 3);
        else if (strcmp(keyword, "d") == 0 || strcmp(keyword, "tr") == 0)
            readFloats(argument, &material->opacity, 1);
        else if (strcmp(keyword, "map_Kd") == 0)
            copyName(argument, material->colorMap, sizeof(material->colorMap));
        else if (strcmp(keyword, "map_d") == 0)
            copyName(argument, material->alphaMap, sizeof(material->alphaMap));
    }
}

bool ZModelHandlerObj::loadLibrary(const char* modelName, const char* library) {
    char lowered[260];
    copyName(library, lowered, sizeof(lowered));
    for (char* c = lowered; *c; c++)
        *c = static_cast<char>(tolower(static_cast<unsigned char>(*c)));
    // Beside the model: its folder, or no folder when its name has none.
    std::string path;
    const char* slash = strrchr(modelName, '/');
    if (!slash) slash = strrchr(modelName, '\\');
    if (slash) path.assign(modelName, slash - modelName + 1);
    path += lowered;
    char full[260];
    copyName(path.c_str(), full, sizeof(full));
    ZMiscTools::cleanPath(full);
    unsigned char* data = nullptr;
    unsigned long size = 0;
    if (!ZResource::loadResource(full, data, size)) {
        ZCore::logMessage("Obj: failed to load material library '%s'", full);
        return false;
    }
    parseMaterials(data, size > static_cast<unsigned long>(INT32_MAX) ? INT32_MAX : size);
    delete[] data;
    return true;
}

bool ZModelHandlerObj::decode(const char* name, const unsigned char* data, long size,
                              ZModel* model) {
    if (!model) return false;
    model->freeModel();
    freeMaterials();
    if (!name) name = "";
    Lines text(data, size);

    // Pass 1: room for what the lines hold.
    size_t vertexLines = 0, textureLines = 0, faceLines = 0;
    const unsigned char* chars = text.data();
    for (size_t i = 0; i + 1 < text.size();) {
        if (chars[i] == 'v' && isBlank(chars[i + 1])) vertexLines++;
        if (chars[i] == 'v' && chars[i + 1] == 't') textureLines++;
        if (chars[i] == 'f' && isBlank(chars[i + 1])) faceLines++;
        const void* feed = memchr(chars + i, '\n', text.size() - i);
        if (!feed) break;
        i = static_cast<const unsigned char*>(feed) - chars + 1;
    }
    std::vector<ZVector3> positions;
    std::vector<float> texCoords;
    std::vector<ZModelTriangle> triangles;
    std::vector<LateTexture> lateTextures;
    std::vector<std::string> materialNames;
    positions.reserve(vertexLines);
    texCoords.reserve(textureLines * 2);
    triangles.reserve(faceLines);

    // Pass 2. Triangles are made as their faces are read: vertex indices that lie beyond the
    // vertices are dropped at the end, and the material holds the index of its "usemtl" name
    // until the library's materials are known.
    int64_t currentMaterial = -1;
    int64_t strayFaces = 0, strayTextures = 0, shortFaces = 0;
    char keyword[50];
    const char* argument = nullptr;
    while (nextLine(text, false, keyword, argument)) {
        if (keyword[0] == 'v' && keyword[1] == 0) {
            float v[3];
            readFloats(argument, v, 3);
            positions.push_back(ZVector3{v[0], v[1], v[2]});
        } else if (keyword[0] == 'v' && keyword[1] == 't' && keyword[2] == 0) {
            float t[2];
            readFloats(argument, t, 2);
            texCoords.push_back(t[0]);
            texCoords.push_back(t[1]);
        } else if (keyword[0] == 'f' && keyword[1] == 0) {
            const int64_t vertices = static_cast<int64_t>(positions.size());
            const int64_t textures = static_cast<int64_t>(texCoords.size() / 2);
            int64_t vertex[3] = {0, 0, 0}, texture[3] = {-1, -1, -1};  // first, previous, this
            long corners = 0;
            bool stray = false;
            const char* p = argument;
            while (*p) {
                while (isBlank(*p)) p++;
                if (!*p) break;
                bool present = false;
                long number = readNumber(p, present);
                vertex[2] = resolveIndex(number, present, vertices);
                texture[2] = -1;
                if (*p == '/') {
                    p++;
                    number = readNumber(p, present);
                    texture[2] = resolveIndex(number, present, textures);
                    if (*p == '/') {
                        p++;
                        readNumber(p, present);
                    }
                }
                // Anything else up to the next blank belongs to no number.
                while (*p && !isBlank(*p)) p++;
                if (vertex[2] < 0) stray = true;
                if (texture[2] == -2) {
                    strayTextures++;
                    texture[2] = -1;
                }
                if (corners == 0) {
                    vertex[0] = vertex[2];
                    texture[0] = texture[2];
                }
                if (corners >= 2) {
                    // Corners reversed: the newest, the one before it, the first.
                    ZModelTriangle t;
                    const int order[3] = {2, 1, 0};
                    for (int k = 0; k < 3; k++) {
                        t.vertex[k] = vertex[order[k]];
                        int64_t index = texture[order[k]];
                        bool known = index >= 0 && index < textures;
                        t.u[k] = known ? texCoords[index * 2] : 0;
                        t.v[k] = known ? texCoords[index * 2 + 1] : 0;
                        if (index >= textures) lateTextures.push_back({triangles.size(), k, index});
                    }
                    t.normalSet = 0;
                    t.material = currentMaterial;
                    triangles.push_back(t);
                }
                vertex[1] = vertex[2];
                texture[1] = texture[2];
                corners++;
            }
            if (corners < 3) shortFaces++;
            if (stray && corners >= 3) {
                // The whole polygon goes, not only its triangles that name the stray corner.
                triangles.resize(triangles.size() - (corners - 2));
                while (!lateTextures.empty() && lateTextures.back().triangle >= triangles.size())
                    lateTextures.pop_back();
                strayFaces++;
            }
        } else if (strcmp(keyword, "usemtl") == 0) {
            char material[256];
            copyName(argument, material, sizeof(material));
            currentMaterial = -1;
            for (size_t i = 0; i < materialNames.size() && currentMaterial < 0; i++)
                if (materialNames[i] == material) currentMaterial = static_cast<int64_t>(i);
            if (currentMaterial < 0) {
                currentMaterial = static_cast<int64_t>(materialNames.size());
                materialNames.push_back(material);
            }
        } else if (strcmp(keyword, "mtllib") == 0) {
            if (!loadLibrary(name, argument)) {
                freeMaterials();
                return false;
            }
        }
    }

    std::vector<ZModelMaterial> materials;
    for (ZModelHandlerObjMaterial* source : m_materials) {
        ZModelMaterial material = ZModel::defaultMaterial();
        strcpy(material.name, source->name);
        for (int i = 0; i < 3; i++) material.color[i] = source->diffuse[i];
        strcpy(material.colorMap, source->colorMap);
        strcpy(material.alphaMap, source->alphaMap);
        material.twoSided = material.transparent = source->alphaMap[0] != 0;
        materials.push_back(material);
    }
    if (materials.empty()) materials.push_back(ZModel::defaultMaterial());
    std::vector<int64_t> materialOfName(materialNames.size(), 0);
    for (size_t n = 0; n < materialNames.size(); n++) {
        for (size_t m = 0; m < materials.size(); m++) {
            if (materialNames[n] == materials[m].name) {
                materialOfName[n] = static_cast<int64_t>(m);
                break;
            }
        }
    }

    const int64_t vertexCount = static_cast<int64_t>(positions.size());
    const int64_t textureCount = static_cast<int64_t>(texCoords.size() / 2);
    for (const LateTexture& late : lateTextures) {
        ZModelTriangle& t = triangles[late.triangle];
        if (late.index < textureCount) {
            t.u[late.corner] = texCoords[late.index * 2];
            t.v[late.corner] = texCoords[late.index * 2 + 1];
        } else {
            strayTextures++;
        }
    }
    size_t kept = 0;
    for (size_t i = 0; i < triangles.size(); i++) {
        ZModelTriangle& t = triangles[i];
        if (t.vertex[0] >= vertexCount || t.vertex[1] >= vertexCount ||
            t.vertex[2] >= vertexCount) {
            strayFaces++;
            continue;
        }
        t.material = t.material >= 0 ? materialOfName[t.material] : 0;
        if (kept != i) triangles[kept] = t;
        kept++;
    }
    triangles.resize(kept);
    if (strayFaces > 0)
        ZCore::logMessage("Obj: %lld faces name vertices that do not exist, dropped, WARNING",
                          static_cast<long long>(strayFaces));
    if (strayTextures > 0)
        ZCore::logMessage(
            "Obj: %lld texture coordinates that do not exist, corners given (0, 0), WARNING",
            static_cast<long long>(strayTextures));
    if (shortFaces > 0)
        ZCore::logMessage("Obj: %lld faces of fewer than three corners, dropped, WARNING",
                          static_cast<long long>(shortFaces));

    bool made = model->allocateFrames(1, vertexCount, triangles.size());
    if (made) {
        model->frame(0).positions.swap(positions);
        model->setTriangles(triangles);
        model->setMaterials(materials);
        model->computeNormals();
    }
    freeMaterials();
    return made;
}
