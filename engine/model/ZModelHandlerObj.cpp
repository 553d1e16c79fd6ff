#include "ZModelHandlerObj.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ZCore.h"
#include "ZMiscTools.h"
#include "ZModel.h"
#include "ZResource.h"

namespace {

// The text up to its size or its first zero byte, each line ending in a zero of its own (CR and
// LF become zeros), so that number parsing never runs into the next line or past the data.
std::vector<char> splitLines(const unsigned char* data, long size) {
    long length = 0;
    while (data && length < size && data[length]) length++;
    std::vector<char> text(static_cast<size_t>(length) + 1, 0);
    for (long i = 0; i < length; i++) {
        char c = static_cast<char>(data[i]);
        text[i] = c == '\r' || c == '\n' ? 0 : c;
    }
    return text;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// The next line of the text from position: its keyword (at most 49 characters) and where its
// argument starts. False at the end of the text.
bool nextLine(const std::vector<char>& text, size_t& position, bool skipLeading, char* keyword,
              const char*& argument) {
    const size_t end = text.size() - 1;
    while (position < end && text[position] == 0) position++;
    if (position >= end) return false;
    const char* line = &text[position];
    position += strlen(line) + 1;
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

// Up to count floats, missing or unreadable ones 0.
void readFloats(const char* text, float* out, int count) {
    for (int i = 0; i < count; i++) {
        char* end = nullptr;
        out[i] = strtof(text, &end);
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

struct Corner {
    int64_t vertex;
    int64_t texture;
};

struct Face {
    Corner corners[3];
    int64_t materialName;  // index into the names used by "usemtl", -1 before the first
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
    std::vector<char> text = splitLines(data, size);
    size_t position = 0;
    char keyword[50];
    const char* argument = nullptr;
    while (nextLine(text, position, true, keyword, argument)) {
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
    std::vector<char> text = splitLines(data, size);

    // Pass 1: room for what the lines hold.
    size_t vertexLines = 0, textureLines = 0, faceLines = 0;
    for (size_t i = 0; i + 1 < text.size(); i++) {
        if ((i == 0 || text[i - 1] == 0) && text[i] == 'v' && isBlank(text[i + 1])) vertexLines++;
        if ((i == 0 || text[i - 1] == 0) && text[i] == 'f' && isBlank(text[i + 1])) faceLines++;
        if ((i == 0 || text[i - 1] == 0) && text[i] == 'v' && text[i + 1] == 't') textureLines++;
    }
    std::vector<ZVector3> positions;
    std::vector<float> texCoords;
    std::vector<Face> faces;
    std::vector<std::string> materialNames;
    positions.reserve(vertexLines);
    texCoords.reserve(textureLines * 2);
    faces.reserve(faceLines);

    // Pass 2.
    int64_t currentMaterial = -1;
    int64_t strayFaces = 0, strayTextures = 0, shortFaces = 0;
    size_t position = 0;
    char keyword[50];
    const char* argument = nullptr;
    while (nextLine(text, position, false, keyword, argument)) {
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
            Corner first{}, previous{};
            long corners = 0;
            bool stray = false;
            const char* p = argument;
            while (*p) {
                while (isBlank(*p)) p++;
                if (!*p) break;
                bool present = false;
                long number = readNumber(p, present);
                Corner corner{resolveIndex(number, present, vertices), -1};
                if (*p == '/') {
                    p++;
                    number = readNumber(p, present);
                    corner.texture = resolveIndex(number, present, textures);
                    if (*p == '/') {
                        p++;
                        readNumber(p, present);
                    }
                }
                // Anything else up to the next blank belongs to no number.
                while (*p && !isBlank(*p)) p++;
                if (corner.vertex < 0) stray = true;
                if (corner.texture == -2) {
                    strayTextures++;
                    corner.texture = -1;
                }
                if (corners == 0) first = corner;
                if (corners >= 2) faces.push_back(Face{{corner, previous, first}, currentMaterial});
                previous = corner;
                corners++;
            }
            if (corners < 3) shortFaces++;
            if (stray && corners >= 3) {
                // The whole polygon goes, not only its triangles that name the stray corner.
                faces.resize(faces.size() - (corners - 2));
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
    std::vector<ZModelTriangle> triangles;
    triangles.reserve(faces.size());
    for (const Face& face : faces) {
        ZModelTriangle t;
        bool inside = true;
        for (int k = 0; k < 3; k++) {
            const Corner& corner = face.corners[k];
            inside = inside && corner.vertex < vertexCount;
            t.vertex[k] = corner.vertex;
            if (corner.texture >= textureCount) strayTextures++;
            bool textured = corner.texture >= 0 && corner.texture < textureCount;
            t.u[k] = textured ? texCoords[corner.texture * 2] : 0;
            t.v[k] = textured ? texCoords[corner.texture * 2 + 1] : 0;
        }
        if (!inside) {
            strayFaces++;
            continue;
        }
        t.normalSet = 0;
        t.material = face.materialName >= 0 ? materialOfName[face.materialName] : 0;
        triangles.push_back(t);
    }
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
        std::copy(positions.begin(), positions.end(), model->frame(0).positions.begin());
        model->setTriangles(triangles);
        model->setMaterials(materials);
        model->computeNormals();
    }
    freeMaterials();
    return made;
}
