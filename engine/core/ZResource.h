#pragma once

#include "ZObjectBase.h"
#include "ZResourceStat.h"

class ZResourceArchiveManager;
class ZResourceFile;

// The virtual file system. A handle opens one file: for reading, in the mounted archives (in
// mount order) and then on disk; for writing, always on disk. The static operations mount
// archives, answer facts about a path and load whole files.
class ZResource : public ZObjectBase {
public:
    ZResource();
    ~ZResource() override;

    long open(const char* path, ZResourceMode mode);
    void close();
    long seek(ZResourceWhence whence, int offset);
    long tell(int& position);
    long read(void* buffer, unsigned long count);
    long write(const void* buffer, unsigned long count);
    unsigned long readAndCount(void* buffer, unsigned long count);
    unsigned long writeAndCount(const void* buffer, unsigned long count);
    long putChar(char c);
    void print(const char* format, ...) __attribute__((format(printf, 2, 3)));
    bool checkError() const { return m_error; }
    void clearError() { m_error = false; }

    static void initialize();
    static void cleanup();
    static void logOpens(bool log);
    static void addArchiveManager(ZResourceArchiveManager* manager);
    static long addArchive(const char* path, long flags, const char* password);
    static bool stat(const char* path, ZResourceStat* stat);
    // On success data is a new array of size bytes that the caller frees with delete[].
    static bool loadResource(const char* path, unsigned char*& data, unsigned long& size);
    static void enumerateFolderInArchives(const char* folder, ZResourceEnumCallback callback,
                                          void* user);

private:
    ZResourceFile* m_file = nullptr;
    bool m_error = false;
};
