#pragma once

#include "ZObjectBase.h"

class ZWindow;
class ZManagedGraphicList;
class ZManagedFontList;
class ZManagedBitmapFontList;
class ZManagedSampleList;
class ZManagedVideoList;
class ZManagedShaderList;
class ZManagedModelList;

// The application base class: the one game object derives from it. It owns the window and the
// seven resource caches, builds the per-user state folder, keeps the string table and frames
// every rendered frame with beginFrame and endFrame.
class ZGame : public ZObjectBase {
public:
    ZGame();
    ~ZGame() override;

    virtual const char* getGameName() = 0;
    virtual const char* getSafeGameName() = 0;
    virtual const char* getSafeDeveloperName() = 0;
    virtual const char* getGameVersion() = 0;
    virtual ZWindow* createGameWindow() = 0;
    virtual bool loadGame() { return true; }
    virtual void run() = 0;
    virtual void renderFrame() {}
    virtual void unloadGame() {}
    virtual void destroyGameWindow(ZWindow* window) = 0;
    virtual const char* getString(const char* key);
    virtual const char* getStringByIndex(long index);
    virtual const char* getBuiltinString(const char* id);
    virtual void onEndFrame() {}
    // Called when a required file cannot be read; shows a message and ends the process.
    virtual void abortOnFile(const char* path);

    bool initialize();
    void cleanup();
    void main();
    void beginFrame();
    void endFrame(bool waitWhileInactive);
    void resetFrameLoop();
    const char* getStateFolder() const { return m_stateFolder; }
    ZWindow* getWindow() const { return m_window; }
    double getFrameTime() const { return m_frameTime; }
    long getTickCount() const { return m_tickCount; }

    // The string table: key and value per line (see readStringTable in the source for the
    // form), in single bytes, UTF-8 or UTF-16 after a byte-order mark. Values keep the file's
    // encoding (getStringEncoding: 0, 1 or 3), so faces draw them as they are; returned pointers
    // stay valid until the table changes. Lookups find the first entry of a key.
    // An unreadable file goes to abortOnFile, whose return gives false.
    bool readStringTable(const char* path);
    // The table as UTF-8 text with a byte-order mark; nothing happens when it cannot be written.
    void writeStringTable(const char* path);
    // Replaces the value of the first entry of the key, or appends an entry. The value is a
    // byte string in single-byte and UTF-8 tables, and a string of 32-bit units in a UTF-16
    // table, stored as 16-bit units like the values read from the file.
    void setString(const char* key, const char* value);
    void removeString(const char* key);
    const char* getStringId(long index);
    long getStringCount() const { return m_stringCount; }
    long getStringEncoding() const { return m_stringEncoding; }
    void freeStringTable();

    void enableCrashReporter(bool enable, const char* address);

    // Joins a cache's folder prefix and a resource name.
    static void composePath(const char* prefix, const char* name, char* out, unsigned long size);
    // Percent-encodes the bytes of a text that a URL cannot carry.
    static void enquoteMessage(const char* src, char* dst, unsigned long size);

    static ZGame* g_lpGame;

protected:
    ZWindow* m_window = nullptr;
    char m_stateFolder[260];

    // String table: keys and values point into the two blocks, or at copies owned per entry.
    long m_stringEncoding = 0;
    long m_stringCount = 0;
    long m_stringFileCount = 0;
    char** m_stringKeys = nullptr;
    char** m_stringValues = nullptr;
    unsigned char* m_stringOwned = nullptr;
    char* m_stringKeyBlock = nullptr;
    char* m_stringValueBlock = nullptr;

    double m_tickAccumulator = 0;
    double m_timeScale = 1.0;
    double m_frameTime = 0;
    long m_tickCount = 0;

    char m_crashAddress[256];

    ZManagedGraphicList* m_graphics;
    ZManagedFontList* m_fonts;
    ZManagedBitmapFontList* m_bitmapFonts;
    ZManagedSampleList* m_samples;
    ZManagedVideoList* m_videos;
    ZManagedShaderList* m_shaders;
    ZManagedModelList* m_models;

    // Installed by enableCrashReporter for a platform that reports crashes.
    static void crashHandler(bool assertion, unsigned long code, const char* name,
                             bool hasParameter, unsigned long parameter, const char* file,
                             long line, long stackDepth, const unsigned long* stackAddresses,
                             const char* const* stackSymbols);
};
