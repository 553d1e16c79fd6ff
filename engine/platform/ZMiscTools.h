#pragma once

#include <cstdint>

#include "ZObjectBase.h"

class ZWindow;

// The local date and time, in the order the engine's callers read it.
struct ZLocalTime {
    int64_t day;    // 1 to 31
    int64_t month;  // 1 to 12
    int64_t year;   // four digits
    int64_t hour;
    int64_t minute;
    int64_t second;
};

// Shows a modal box and answers 1 when button2 was chosen, else 0 (button1, or closed).
typedef long (*ZAlertBoxHook)(const char* title, const char* message, const char* button1,
                              const char* button2);
// Hands a URL to the desktop.
typedef void (*ZOpenURLHook)(const char* url);

// The engine's small services of the operating system: OS text, clocks, folders and paths, file
// operations, message boxes, opening URLs and files, byte order. All members are static; the one
// instance lives in ZCore.cpp, constructed before main (initialisation) and destroyed at exit.
//
// makeFilePath, getUserFolder, getPreferencesFolder and getUserName share one 260-byte result
// buffer: each call overwrites what the previous one returned, so callers copy what they keep.
// Everything but the clocks is for the main thread.
class ZMiscTools : public ZObjectBase {
public:
    ZMiscTools();
    ~ZMiscTools() override;

    static void initMiscTools();
    static void cleanup();
    static void setZWindow(ZWindow* window);

    // Folders and paths (UTF-8).
    static const char* getGameFolder();
    static void setFileSource(bool inBundle);
    static char* getUserFolder();
    static char* getPreferencesFolder();
    static char* getUserName();
    static const char* getOSVersion();
    static void cleanPath(char* path);
    static char* makeFilePath(const char* path);
    static char* makeFilePathInBuffer(const char* path, char* buffer, unsigned long size);

    // Files and folders; true on success.
    static bool createDirectory(const char* path);
    static bool removeFile(const char* path);
    static bool removeDirectory(const char* path);
    static bool renameFile(const char* from, const char* to);
    // Writes the two pieces to path plus ".tmp", flushes them to the disk and moves the
    // temporary over path in one rename, so path always holds the old file or the whole new
    // one. Any failure removes the temporary and leaves the old file as it was.
    static bool writeFileReplacing(const char* path, const void* first, unsigned long firstLength,
                                   const void* second, unsigned long secondLength);
    static bool fileExists(const char* path);
    static void enumerateFolder(const char* path,
                                bool (*callback)(const char* name, bool isFolder, void* data),
                                void* data);

    // Clock and date.
    static void initMillisecond();
    static unsigned long getMilliseconds();
    static unsigned long getSeedValue();
    static long getYear();
    static ZLocalTime getLocalTime();
    static void pause(long milliseconds, bool processEvents);

    // User interaction.
    static void messageBox(const char* title, const char* message);
    static long alertBox(const char* title, const char* message, const char* button1,
                         const char* button2);
    static void setAlertBoxHook(ZAlertBoxHook hook);
    static void signalUser();
    static void launchURL(const char* url, bool flag);
    static void launchFile(const char* path, bool flag);
    static void setOpenURLHook(ZOpenURLHook hook);

    // Background music, one file at a time (main thread): the file at path (read whole through the
    // file system) plays at volume 0 to 100, looping or once; flag has no effect. A file that
    // cannot be read or decoded gives no music.
    static void playBackgroundMusic(const char* path, long volume, bool loop, bool flag);
    static void setBackgroundMusicVolume(long volume);
    static void stopBackgroundMusic();
    static bool isBackgroundMusicPlaying();

    // Fire-and-forget HTTP requests (main thread). The result comes back as an HTTP result event
    // with the request id while the window pumps its events. Given a filename (UTF-8), the
    // response is written there (any file at that path is deleted first), else kept in memory.
    static void doHttpGet(long requestId, const char* url, const char* responseFilename);
    static void doHttpPost(long requestId, const char* url, const void* payload,
                           unsigned long payloadSize, const char* responseFilename);
    static void doHttpDelete(long requestId, const char* url, const char* responseFilename);

    // The engine's file formats and the host are both little-endian.
    static short flipShort(short value) { return value; }
    static int flipInt(int value) { return value; }
    static long flipLong(long value) { return value; }
    static float flipFloat(float value) { return value; }
    static double flipDouble(double value) { return value; }
};
