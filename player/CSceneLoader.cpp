#include "CSceneLoader.h"

#include <strings.h>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "CGame.h"
#include "CScene.h"
#include "ZCore.h"
#include "ZIniReader.h"
#include "ZMiscTools.h"

namespace {

struct Word {
    const char* text;
    long value;
};

const Word kModes[] = {{"stretched", 1}, {"tile", 2},           {"hslide", 3},
                       {"vslide", 4},    {"stretchedsides", 5}, {"reversetile", 6}};
const Word kAlphaOps[] = {{"zero", 0},
                          {"one", 1},
                          {"dst_color", 2},
                          {"one_minus_dst_color", 3},
                          {"src_alpha", 4},
                          {"one_minus_src_alpha", 5},
                          {"dst_alpha", 6},
                          {"one_minus_dst_alpha", 7},
                          {"src_alpha_saturate", 8},
                          {"src_color", 9},
                          {"one_minus_src_color", 10}};
const Word kShapeKinds[] = {{"rect", 1}, {"circle", 2}, {"ring", 3}, {"poly", 4}, {"disabled", 0}};
const Word kPathTypes[] = {{"bezier", 1}, {"bezierflat", 2}, {"circle", 3}, {"ccwcircle", 4}};
const Word kTextFlows[] = {{"left", 0}, {"right", 1}, {"justified", 3}, {"wrap", 4}};
const Word kTextVAligns[] = {{"top", 0}, {"bottom", 1}};
const Word kAnimModes[] = {{"backward", 1}, {"pingpong", 2}};

template <size_t N>
long readWord(ZIniReader& reader, const char* section, const char* key, const Word (&words)[N],
              long fallback) {
    char text[100];
    if (!reader.getString(section, key, text, sizeof(text))) return fallback;
    for (const Word& word : words)
        if (strcasecmp(text, word.text) == 0) return word.value;
    return fallback;
}

long clampCount(long value, long low, long high, const char* what, const char* section) {
    if (value >= low && value <= high) return value;
    long clamped = value < low ? low : high;
    ZCore::logMessage("Scene: %s %ld in section '%s' out of range, %ld taken", what, value, section,
                      clamped);
    return clamped;
}

void lowerCase(char* text) {
    for (; *text; text++) *text = static_cast<char>(tolower(static_cast<unsigned char>(*text)));
}

// The file name after the last '/', without its extension, cut to the field.
void baseNameOf(const char* path, char* out, size_t size) {
    const char* slash = strrchr(path, '/');
    const char* start = slash ? slash + 1 : path;
    const char* dot = strrchr(start, '.');
    size_t length = dot ? static_cast<size_t>(dot - start) : strlen(start);
    if (length > size - 1) length = size - 1;
    memcpy(out, start, length);
    out[length] = '\0';
}

void copyPath(char* target, size_t size, const char* path) {
    snprintf(target, size, "%s", path);
}

}  // namespace

const char* CSceneLoader::key(const char* format, ...) {
    va_list args;
    va_start(args, format);
    vsnprintf(m_key, sizeof(m_key), format, args);
    va_end(args);
    return m_key;
}

unsigned long CSceneLoader::readHex(ZIniReader& reader, const char* section, const char* name) {
    if (!reader.getString(section, name, m_value, 255)) return 0;
    return strtoul(m_value, nullptr, 16);
}

bool CSceneLoader::readFlag(ZIniReader& reader, const char* section, const char* name,
                            bool fallback) {
    return reader.getValue(section, name, fallback ? 1 : 0) != 0;
}

char* CSceneLoader::readOwnedText(ZIniReader& reader, const char* section, const char* name) {
    if (!reader.getString(section, name, m_value, 255)) return nullptr;
    return ZIniReader::allocCopyString(m_value);
}

bool CSceneLoader::loadSceneDefinition(CScene* scene) {
    if (!scene || scene->status > 0 || scene->cancel) return true;

    snprintf(m_scenePath, sizeof(m_scenePath), "data/scenes/%s%s.ini", scene->skinPrefix,
             scene->name);
    CGame::swapScenePath(m_scenePath, sizeof(m_scenePath));
    baseNameOf(m_scenePath, scene->baseName, sizeof(scene->baseName));
    lowerCase(m_scenePath);
    char path[260];
    ZMiscTools::makeFilePathInBuffer(m_scenePath, path, sizeof(path));
    ZIniReader sceneFile;
    if (!sceneFile.setIni(path)) {
        ZCore::logMessage("Scene: scene file '%s' cannot be read, ERROR", path);
        copyPath(m_failedFile, sizeof(m_failedFile), path);
        return false;
    }

    const char* s = "scene";
    scene->width = static_cast<float>(sceneFile.getValue(s, "width", 1024));
    scene->height = static_cast<float>(sceneFile.getValue(s, "height", 768));
    scene->flags = readHex(sceneFile, s, "flags");
    scene->first16BitAtlas = sceneFile.getValue(s, "first16bppatlas", 0) - 1;
    scene->streamBackground = readFlag(sceneFile, s, "streambackground", false);
    char brushes[100];
    if (!sceneFile.getString(s, "brushes", brushes, 99) || !brushes[0])
        snprintf(brushes, sizeof(brushes), "objects");
    if (!sceneFile.getString(s, "defaultmusic", scene->defaultMusic, 259))
        scene->defaultMusic[0] = '\0';

    snprintf(m_brushPath, sizeof(m_brushPath), "data/brushes/%s.ini", brushes);
    lowerCase(m_brushPath);
    ZMiscTools::makeFilePathInBuffer(m_brushPath, path, sizeof(path));
    ZIniReader brushFile;
    if (!brushFile.setIni(path)) {
        ZCore::logMessage("Scene: brush file '%s' of scene '%s' cannot be read, ERROR", path,
                          scene->name);
        copyPath(m_failedFile, sizeof(m_failedFile), path);
        return false;
    }

    scene->freeDefinition();
    long shared = countBrushes(brushFile);
    long own = countBrushes(sceneFile);
    scene->brushes = new _CBrush[shared + own]();
    scene->brushCount = fillBrushes(brushFile, shared, scene->brushes);
    scene->brushCount += fillBrushes(sceneFile, own, scene->brushes + scene->brushCount);
    brushFile.clear();

    long atlasCount = 0;
    for (long number = 1; CSprite* sprite = readSprite(sceneFile, number, scene); number++) {
        if (sprite->brushIndex >= 0) {
            char section[32];
            snprintf(section, sizeof(section), "sprite%ld", number);
            readAtlases(sceneFile, section, scene->brushes[sprite->brushIndex], sprite, atlasCount);
        }
        buildAnchorPath(sprite);
        sprite->loadedKeyCount = sprite->keyCount;
        sprite->loadedKeys = new CSpriteKey[sprite->keyCount]();
        for (long i = 0; i < sprite->keyCount; i++) sprite->loadedKeys[i].copyFrom(sprite->keys[i]);
        scene->sprites.addToTail(sprite);
        sprite->setHashKey(static_cast<long>(sprite->id));
        scene->spriteTable.hashInsert(sprite);
    }
    linkSprites(scene);
    for (CSprite* sprite = scene->sprites.head; sprite; sprite = ZList<CSprite>::nextOf(sprite))
        CGame::parseSprite(scene, sprite);

    sceneFile.clear();
    scene->atlasCount = atlasCount;
    scene->atlases = new ZGraphic*[atlasCount > 0 ? atlasCount : 1]();
    scene->layer = -1;
    scene->sceneState = nullptr;
    scene->container = nullptr;
    scene->backgroundSprite = nullptr;
    scene->backgroundImage = nullptr;
    scene->status = 1;
    return true;
}

long CSceneLoader::countBrushes(ZIniReader& reader) {
    long count = 0;
    for (;;) {
        char section[32];
        snprintf(section, sizeof(section), "brush%ld", count + 1);
        if (!reader.getString(section, "id", m_value, 255) || !m_value[0]) return count;
        count++;
    }
}

long CSceneLoader::fillBrushes(ZIniReader& reader, long count, _CBrush* table) {
    for (long i = 0; i < count; i++) {
        if (!loadBrush(reader, i + 1, table[i])) {
            // The rest of this file's brushes is not read: the table holds only those before.
            ZCore::logMessage("Scene: brush section %ld has no valid id, the %ld after it skipped",
                              i + 1, count - i - 1);
            table[i].release();
            return i;
        }
    }
    return count;
}

bool CSceneLoader::loadBrush(ZIniReader& reader, long number, _CBrush& brush) {
    char section[32];
    snprintf(section, sizeof(section), "brush%ld", number);
    unsigned long id = readHex(reader, section, "id");
    brush.release();
    if (id == 0) return false;

    const char* s = section;
    brush.id = id;
    long frames = reader.getValue(s, "frames", 1);
    brush.frameCount = clampCount(frames, 1, kMaxFrames, "frame count", s);
    brush.stretchX1 = brush.stretchY1 = brush.stretchX2 = brush.stretchY2 = -1;
    brush.shapes = new CCollisionShape[brush.frameCount][_CBrush::kShapesPerFrame];
    for (long f = 0; f < brush.frameCount; f++)
        for (CCollisionShape& shape : brush.shapes[f]) shape.reset();

    if (!reader.getString(s, "name", brush.name, 99)) brush.name[0] = '\0';
    if (!reader.getString(s, "texture", brush.textureName, 99)) brush.textureName[0] = '\0';
    brush.mode = readWord(reader, s, "mode", kModes, 0);
    brush.fontHeight = reader.getValue(s, "fontheight", 0);
    if (brush.fontHeight < 0) brush.fontHeight = 0;
    brush.fontBaseline = reader.getValue(s, "fontbaseline", brush.fontHeight);
    brush.transparent = readFlag(reader, s, "transparent", false);
    brush.video = readFlag(reader, s, "video", false);
    brush.loopVideo = readFlag(reader, s, "loopvideo", true);
    brush.noAutoplayVideo = readFlag(reader, s, "noautoplayvideo", false);
    brush.alwaysTrue = true;
    brush.srcAlphaOp = static_cast<eTazelAlphaOp>(
        readWord(reader, s, "srcalphaop", kAlphaOps, eTazelAlphaOpSrcAlpha));
    brush.dstAlphaOp = static_cast<eTazelAlphaOp>(
        readWord(reader, s, "dstalphaop", kAlphaOps, eTazelAlphaOpOneMinusSrcAlpha));
    brush.texSrcX1 = static_cast<float>(reader.getValue(s, "texsrcx1", 0));
    brush.texSrcY1 = static_cast<float>(reader.getValue(s, "texsrcy1", 0));
    brush.texSrcX2 = static_cast<float>(reader.getValue(s, "texsrcx2", 0));
    brush.texSrcY2 = static_cast<float>(reader.getValue(s, "texsrcy2", 0));
    brush.pivotX = reader.getFloatValue(s, "texpivotx", 0);
    brush.pivotY = reader.getFloatValue(s, "texpivoty", 0);
    brush.stretchX1 = static_cast<float>(reader.getValue(s, "stretchx1", -1));
    brush.stretchY1 = static_cast<float>(reader.getValue(s, "stretchy1", -1));
    brush.stretchX2 = static_cast<float>(reader.getValue(s, "stretchx2", -1));
    brush.stretchY2 = static_cast<float>(reader.getValue(s, "stretchy2", -1));
    if (frames != 0) brush.animRate = reader.getFloatValue(s, "animrate", 0);
    brush.animFlags = readHex(reader, s, "animflags");
    readCollisionShapes(reader, s, brush);
    brush.flags = readHex(reader, s, "flags");
    brush.particleCount = reader.getValue(s, "particles", 0);
    brush.emitterPeriod = reader.getValue(s, "particleemitterperiod", 50);
    brush.emitterSpeedMul = reader.getFloatValue(s, "particleemitterspeedmul", 1.0f);
    brush.emissionShape = static_cast<int>(
        clampCount(reader.getValue(s, "particleemittershape", 0), 0, 2, "emission shape", s));
    brush.enableRadius = reader.getFloatValue(s, "particleemitclipradius", 0);
    brush.emitMinRadius = reader.getFloatValue(s, "particleemitminradius", 0);
    brush.emitMaxRadius = reader.getFloatValue(s, "particleemitmaxradius", 0);
    brush.emitMinRadius2 = reader.getFloatValue(s, "particleemitminradius2", 0);
    brush.emitMaxRadius2 = reader.getFloatValue(s, "particleemitmaxradius2", 30);

    CEmitterBehavior& b = brush.behavior;
    for (int i = 0; i < 5; i++) b.blend[i] = reader.getFloatValue(s, key("blend%d", i), 0);
    struct FloatKey {
        const char* name;
        float* field;
    };
    const FloatKey behaviour[] = {
        {"agestepmin", &b.ageStepMin},
        {"agestepmax", &b.ageStepMax},
        {"velocityminx", &b.velocityMinX},
        {"velocityminy", &b.velocityMinY},
        {"velocitymaxx", &b.velocityMaxX},
        {"velocitymaxy", &b.velocityMaxY},
        {"velocityaccelx", &b.velocityAccelX},
        {"velocityaccely", &b.velocityAccelY},
        {"anglemin", &b.angleMin},
        {"anglemax", &b.angleMax},
        {"anglespeedmin", &b.angleSpeedMin},
        {"anglespeedmax", &b.angleSpeedMax},
        {"scalemin", &b.scaleMin},
        {"scalemax", &b.scaleMax},
        {"scalespeedmin", &b.scaleSpeedMin},
        {"scalespeedmax", &b.scaleSpeedMax},
        {"scaleaccel", &b.scaleAccel},
        {"colorminred", &b.colorMin[0]},
        {"colormingreen", &b.colorMin[1]},
        {"colorminblue", &b.colorMin[2]},
        {"colorminalpha", &b.colorMin[3]},
        {"colormaxred", &b.colorMax[0]},
        {"colormaxgreen", &b.colorMax[1]},
        {"colormaxblue", &b.colorMax[2]},
        {"colormaxalpha", &b.colorMax[3]},
    };
    for (const FloatKey& k : behaviour) *k.field = reader.getFloatValue(s, k.name, 0);

    brush.videoStartTime = -1;
    brush.font = nullptr;
    brush.videoPlayer = nullptr;
    return true;
}

void CSceneLoader::readCollisionShapes(ZIniReader& reader, const char* s, _CBrush& brush) {
    for (long slot = 0; slot < _CBrush::kShapesPerFrame; slot++) {
        brush.shapes[0][slot].id = readHex(reader, s, key("col%ldid", slot + 1));
        brush.shapes[0][slot].parentId = readHex(reader, s, key("col%ldparent", slot + 1));
    }
    // Brushes that fill their rectangle collide over it unless told otherwise.
    long fallbackKind =
        (brush.mode == 1 || brush.mode == 2 || brush.mode == 5 || brush.mode == 6) ? 1 : 0;
    for (long f = 0; f < brush.frameCount; f++) {
        CCollisionShape* shapes = brush.shapes[f];
        for (long slot = 0; slot < _CBrush::kShapesPerFrame; slot++) {
            CCollisionShape& c = shapes[slot];
            long fn = f + 1;
            long cn = slot + 1;
            c.kind = static_cast<int>(readWord(reader, s, key("frame%ldcollision%ld", fn, cn),
                                               kShapeKinds, fallbackKind));
            auto value = [&](const char* name, float current) {
                return reader.getFloatValue(s, key("frame%ldcol%ld%s", fn, cn, name), current);
            };
            c.rectX1 = value("rectx1", c.rectX1);
            c.rectY1 = value("recty1", c.rectY1);
            c.rectX2 = value("rectx2", c.rectX2);
            c.rectY2 = value("recty2", c.rectY2);
            c.circleX = value("circlex", c.circleX);
            c.circleY = value("circley", c.circleY);
            c.circleRadius = value("circleradius", c.circleRadius);
            c.ringX = value("ringx", c.ringX);
            c.ringY = value("ringy", c.ringY);
            c.ringOuterRadius = value("ringouterradius", c.ringOuterRadius);
            c.ringInnerRadius = value("ringinnerradius", c.ringInnerRadius);
            long points = reader.getValue(s, key("frame%ldcol%ldpolypoints", fn, cn), 0);
            c.polyPointCount =
                clampCount(points, 0, CCollisionShape::kMaxPolyPoints, "polygon point count", s);
            for (long p = 0; p < CCollisionShape::kMaxPolyPoints; p++) {
                c.polyPoints[p].x =
                    reader.getFloatValue(s, key("frame%ldcol%ldpolyx%ld", fn, cn, p + 1), 0);
                c.polyPoints[p].y =
                    reader.getFloatValue(s, key("frame%ldcol%ldpolyy%ld", fn, cn, p + 1), 0);
            }
        }
        for (long slot = 0; slot < _CBrush::kShapesPerFrame; slot++) {
            CCollisionShape& c = shapes[slot];
            if (c.kind == 0 || c.parentId == 0) continue;
            for (long other = 0; other < _CBrush::kShapesPerFrame; other++) {
                if (other != slot && shapes[other].id == c.parentId) {
                    c.parentSlot = other;
                    break;
                }
            }
        }
    }
}

CSprite* CSceneLoader::readSprite(ZIniReader& reader, long number, CScene* scene) {
    char section[32];
    snprintf(section, sizeof(section), "sprite%ld", number);
    const char* s = section;
    if (!reader.getString(s, "brush", m_value, 255) || !m_value[0]) return nullptr;

    CSprite* sprite = new CSprite();
    sprite->brushId = strtoul(m_value, nullptr, 16);
    sprite->id = readHex(reader, s, "id");
    sprite->parentId = readHex(reader, s, "parent");
    if (!reader.getString(s, "name", sprite->name, 99)) sprite->name[0] = '\0';
    sprite->clipChildren = readFlag(reader, s, "clipchildren", false);
    sprite->stencil = readFlag(reader, s, "stencil", false);
    sprite->xFlip = readFlag(reader, s, "xflip", false);
    sprite->yFlip = readFlag(reader, s, "yflip", false);
    sprite->loopKeys = readFlag(reader, s, "loopkeys", false);
    sprite->wrapAnim = readFlag(reader, s, "wrapanim", false);
    sprite->noAutoplay = readFlag(reader, s, "noautoplaykeys", false);
    sprite->passThrough = readFlag(reader, s, "passthrough", false);
    sprite->easeIn = readFlag(reader, s, "easekeytimein", false);
    sprite->easeOut = readFlag(reader, s, "easekeytimeout", false);
    sprite->blendFrames = readFlag(reader, s, "blendframes", false);
    sprite->anchorPathType = readWord(reader, s, "anchorpathtype", kPathTypes, 0);
    sprite->textFlow = readWord(reader, s, "texthflowmode", kTextFlows, 2);
    sprite->textVAlign = readWord(reader, s, "textvalignmode", kTextVAligns, 2);
    sprite->textKerning = reader.getFloatValue(s, "textkerning", 0);
    sprite->textLineSpacing = reader.getFloatValue(s, "textvspacing", 0);
    for (long i = 0; i < CSprite::kEventSlots; i++) {
        sprite->eventActionType[i] = reader.getValue(s, key("eventaction%ldtype", i + 1), 0);
        if (sprite->eventActionType[i] != 0)
            sprite->eventActionParam[i] =
                readOwnedText(reader, s, key("eventaction%ldparam", i + 1));
    }
    for (long i = 0; i < CSprite::kUserEvents; i++) {
        const char* name = i == 0 ? "usereventname" : key("usereventname%ld", i + 1);
        char* text = readOwnedText(reader, s, name);
        sprite->userEventNames[i] = text ? text : ZIniReader::allocCopyString("");
    }
    for (long i = 0; i < 3; i++)
        sprite->eventFlags[i] = readHex(reader, s, key("eventflags%ld", i + 1));

    // Key operations read the first and the last key, so a sprite always has one.
    sprite->keyCount = clampCount(reader.getValue(s, "keys", 1), 1, kMaxKeys, "key count", s);
    sprite->keys = new CSpriteKey[sprite->keyCount]();
    for (long i = 0; i < sprite->keyCount; i++)
        readKey(reader, s, i + 1, sprite->anchorPathType, sprite->keys[i]);

    sprite->gameFlags = readHex(reader, s, "flags");
    for (long i = 0; i < 4; i++)
        if (!reader.getString(s, key("param%ld", i + 1), sprite->gameValues[i], 99))
            sprite->gameValues[i][0] = '\0';
    if (!reader.getString(s, "displayhandler", sprite->displayHandler, 99))
        sprite->displayHandler[0] = '\0';

    sprite->brushIndex = -1;
    for (long i = 0; i < scene->brushCount; i++) {
        if (scene->brushes[i].id == sprite->brushId) {
            sprite->brushIndex = i;
            break;
        }
    }
    return sprite;
}

void CSceneLoader::readKey(ZIniReader& reader, const char* s, long n, long pathType,
                           CSpriteKey& k) {
    auto f = [&](const char* name, float fallback) {
        return reader.getFloatValue(s, key("key%ld%s", n, name), fallback);
    };
    auto i = [&](const char* name, long fallback) {
        return reader.getValue(s, key("key%ld%s", n, name), fallback);
    };
    k.index = -1;
    k.time = f("time", 0);
    k.anchor = {f("anchorx", 0), f("anchory", 0)};
    if (pathType == 0) {
        k.ctrl1 = {k.anchor.x - 10, k.anchor.y - 10};
        k.ctrl2 = {k.anchor.x + 10, k.anchor.y + 10};
    } else {
        k.ctrl1 = {f("ctrl1x", 0), f("ctrl1y", 0)};
        k.ctrl2 = pathType <= 2 ? ZVector2{f("ctrl2x", 0), f("ctrl2y", 0)} : ZVector2{0, 0};
    }
    k.rectX1 = static_cast<float>(i("rectx1", 0));
    k.rectY1 = static_cast<float>(i("recty1", 0));
    k.rectX2 = static_cast<float>(i("rectx2", 0));
    k.rectY2 = static_cast<float>(i("recty2", 0));
    for (long q = 0; q < 4; q++) {
        k.quadOffsets[q].x =
            static_cast<float>(reader.getValue(s, key("key%ldquadoffset%ldx", n, q + 1), 0));
        k.quadOffsets[q].y =
            static_cast<float>(reader.getValue(s, key("key%ldquadoffset%ldy", n, q + 1), 0));
    }
    k.scaleX = f("scalex", 1.0f);
    k.scaleY = f("scaley", 1.0f);
    k.shearX = f("shearx", 0);
    k.shearY = f("sheary", 0);
    k.angle = f("angle", 0);
    k.emitParticles = i("emitparticles", 1) != 0;
    k.clickable = i("clickable", 1) != 0;
    k.minBrushFrame = i("minbrushframe", 0);
    k.maxBrushFrame = i("maxbrushframe", 0);
    k.startBrushFrame = i("startbrushframe", -1);
    k.brushAnimRate = f("brushanimrate", -1);
    k.flags = readHex(reader, s, key("key%ldflags", n));
    k.brushAnimMode = readWord(reader, s, key("key%ldbrushanimmode", n), kAnimModes, 0);
    unsigned long color = readHex(reader, s, key("key%ldcolor", n));
    k.a = static_cast<float>((color >> 24) & 0xff) / 255.0f;
    k.r = static_cast<float>((color >> 16) & 0xff) / 255.0f;
    k.g = static_cast<float>((color >> 8) & 0xff) / 255.0f;
    k.b = static_cast<float>(color & 0xff) / 255.0f;
    k.lightness = f("lightness", 1.0f);
    const char* names[2][2] = {{"actiontype", "actionparam"}, {"action2type", "action2param"}};
    for (int a = 0; a < 2; a++) {
        k.actionType[a] = i(names[a][0], 0);
        k.actionParam[a] = k.actionType[a] != 0
                               ? readOwnedText(reader, s, key("key%ld%s", n, names[a][1]))
                               : nullptr;
    }
}

void CSceneLoader::readAtlases(ZIniReader& reader, const char* s, _CBrush& brush, CSprite* sprite,
                               long& atlasCount) {
    long frames = brush.frameCount;
    sprite->atlasIndexes = new long[frames];
    sprite->atlasRegions = new ZRectangle[frames]();
    sprite->atlasOffsets = new ZVector2[frames]();
    for (long f = 0; f < frames; f++) {
        long n = f + 1;
        long atlas = reader.getValue(s, key("atlas%ldindex", n), 0);
        if (atlas < 0 || atlas > kMaxAtlases) {
            ZCore::logMessage(
                "Scene: atlas %ld of frame %ld in section '%s' out of range, none taken", atlas, n,
                s);
            atlas = 0;
        }
        if (atlas > atlasCount) atlasCount = atlas;
        sprite->atlasIndexes[f] = atlas - 1;
        ZRectangle& r = sprite->atlasRegions[f];
        r.x1 = static_cast<float>(reader.getValue(s, key("atlas%ldsrcx1", n), 0));
        r.y1 = static_cast<float>(reader.getValue(s, key("atlas%ldsrcy1", n), 0));
        r.x2 = static_cast<float>(reader.getValue(s, key("atlas%ldsrcx2", n), 0));
        r.y2 = static_cast<float>(reader.getValue(s, key("atlas%ldsrcy2", n), 0));
        sprite->atlasOffsets[f].x =
            static_cast<float>(reader.getValue(s, key("atlas%ldoffsx", n), 0));
        sprite->atlasOffsets[f].y =
            static_cast<float>(reader.getValue(s, key("atlas%ldoffsy", n), 0));
    }
    if (brush.video && (brush.videoStartTime < 0 || sprite->keys[0].time < brush.videoStartTime))
        brush.videoStartTime = sprite->keys[0].time;
}

void CSceneLoader::buildAnchorPath(CSprite* sprite) {
    sprite->pathLength = 0;
    if (sprite->anchorPathType != 1 && sprite->anchorPathType != 2) return;
    long segments = sprite->keyCount - 1;
    if (segments < 1) return;
    ZVector2* points = new ZVector2[segments * 3 + 1];
    for (long i = 0; i < segments; i++) {
        points[i * 3] = sprite->keys[i].anchor;
        points[i * 3 + 1] = sprite->keys[i].ctrl1;
        points[i * 3 + 2] = sprite->keys[i].ctrl2;
    }
    points[segments * 3] = sprite->keys[segments].anchor;
    sprite->anchorPath.setSegments(segments, points, false);
    sprite->pathLength = sprite->anchorPath.getTotalLength();
    delete[] points;
}

void CSceneLoader::linkSprites(CScene* scene) {
    for (CSprite* sprite = scene->sprites.head; sprite; sprite = ZList<CSprite>::nextOf(sprite)) {
        if (sprite->parentId == 0) continue;
        CSprite* parent = scene->findSprite(sprite->parentId);
        // A sprite never becomes its own ancestor: a loop of parent ids leaves the one that
        // would close it at the top.
        bool loop = false;
        for (CSprite* up = parent; up; up = up->parent)
            if (up == sprite) loop = true;
        if (!parent || loop) {
            if (parent)
                ZCore::logMessage(
                    "Scene: sprite %lx of scene '%s' would be its own ancestor, kept at the top",
                    sprite->id, scene->name);
            continue;
        }
        parent->appendChild(sprite);
    }
}
