#pragma once

class CScene;
class CSprite;
class ZIniReader;
struct _CBrush;
struct CSpriteKey;

// Reads a scene file and its brush file into the scene's records. Scene editors write these
// files, so every count and index read from them is clamped before anything is allocated or
// indexed by it. Keeps its path and key texts in buffers of its own: one loader reads one scene
// at a time.
class CSceneLoader {
public:
    // Caps on what a file may ask for: larger values are clamped with a log line.
    static constexpr long kMaxFrames = 512;
    static constexpr long kMaxKeys = 4096;
    static constexpr long kMaxAtlases = 1024;

    // True at once for a null scene, one already read or one being cancelled. False when the
    // scene or brush file cannot be read: the path is then in getFailedFile().
    bool loadSceneDefinition(CScene* scene);
    // Reads section "brush<number>" into the record (which it clears first); false when the
    // section has no id or a zero one. The caller frees the record with _CBrush::release.
    bool loadBrush(ZIniReader& reader, long number, _CBrush& brush);
    const char* getFailedFile() const { return m_failedFile; }

private:
    long countBrushes(ZIniReader& reader);
    long fillBrushes(ZIniReader& reader, long count, _CBrush* table);
    void readCollisionShapes(ZIniReader& reader, const char* section, _CBrush& brush);
    CSprite* readSprite(ZIniReader& reader, long number, CScene* scene);
    void readKey(ZIniReader& reader, const char* section, long number, long pathType,
                 CSpriteKey& key);
    void readAtlases(ZIniReader& reader, const char* section, _CBrush& brush, CSprite* sprite,
                     long& atlasCount);
    void buildAnchorPath(CSprite* sprite);
    void linkSprites(CScene* scene);

    unsigned long readHex(ZIniReader& reader, const char* section, const char* key);
    bool readFlag(ZIniReader& reader, const char* section, const char* key, bool fallback);
    char* readOwnedText(ZIniReader& reader, const char* section, const char* key);
    const char* key(const char* format, ...) __attribute__((format(printf, 2, 3)));

    char m_failedFile[260] = {};
    char m_scenePath[260] = {};
    char m_brushPath[260] = {};
    char m_key[100] = {};
    char m_value[260] = {};
};
