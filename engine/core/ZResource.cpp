#include "ZResource.h"

#include <strings.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "ZCore.h"
#include "ZList.h"
#include "ZMiscTools.h"
#include "ZResourceArchive.h"
#include "ZResourceArchiveDirect.h"
#include "ZResourceArchiveManager.h"
#include "ZResourceArchiveManagerTar.h"
#include "ZResourceFile.h"

#include "ZResourceArchiveManagerZip.h"
#include "ZSetting.h"

namespace {

const size_t kPathSize = 260;

// The lists are made on first use and never destroyed: the OS tools' instance cleans the file
// system up from its own static destructor, which may run after this unit's would.
ZList<ZResourceArchiveManager>& managers() {
    static ZList<ZResourceArchiveManager>* list = new ZList<ZResourceArchiveManager>();
    return *list;
}

ZList<ZResourceArchive>& archives() {
    static ZList<ZResourceArchive>* list = new ZList<ZResourceArchive>();
    return *list;
}

ZResourceArchiveDirect* g_lpDirectArchive = nullptr;
bool g_bManagersRegistered = false;
bool g_bLogOpens = false;

void copyPath(char* target, const char* path) {
    size_t length = strnlen(path, kPathSize - 1);
    memcpy(target, path, length);
    target[length] = '\0';
}

// The name of a path inside the archives: without the game folder and its separator, with '/'
// for every backslash. It is not cut: a name longer than an archive can hold must not find an
// entry by its first characters.
std::string makeArchivePath(const char* path) {
    const char* game = ZMiscTools::getGameFolder();
    size_t gameLength = strlen(game);
    if (strncasecmp(path, game, gameLength) == 0) {
        path += gameLength;
        if (*path == '/' || *path == ':' || *path == '\\') path++;
    }
    std::string target(path);
    for (char& c : target)
        if (c == '\\') c = '/';
    return target;
}

void makeDiskPath(const char* path, char* target) {
    copyPath(target, path);
    ZMiscTools::cleanPath(target);
}

// When opens are logged: how a path fared on the disk, e.g. "opened" or "failed to open".
void logDiskResult(const char* path, bool ok, const char* done, const char* action) {
    if (!g_bLogOpens) return;
    if (ok) {
        ZCore::logMessage("Resource: %s '%s' (filesystem)", done, path);
    } else {
        ZCore::logMessage("Resource: failed to %s '%s'", action, path);
    }
}

void registerBuiltInManagers() {
    if (g_bManagersRegistered) return;
    managers().addToTail(new ZResourceArchiveManagerZip());
    managers().addToTail(new ZResourceArchiveManagerTar());
    g_bManagersRegistered = true;
}

}  // namespace

ZResource::ZResource() {}

ZResource::~ZResource() {
    close();
}

long ZResource::open(const char* path, ZResourceMode mode) {
    close();
    if (mode != ZResourceModeRead && mode != ZResourceModeWrite) return ZResourceErrorBadMode;
    if (!path) return ZResourceErrorOpen;

    if (mode == ZResourceModeRead) {
        if (archives().head) {
            std::string archivePath = makeArchivePath(path);
            for (ZResourceArchive* archive : archives()) {
                m_file = archive->openFile(archivePath.c_str());
                if (m_file) {
                    if (g_bLogOpens) ZCore::logMessage("Resource: opened '%s' (archive)", path);
                    return ZResourceOk;
                }
            }
        }
        char diskPath[kPathSize];
        makeDiskPath(path, diskPath);
        m_file = g_lpDirectArchive ? g_lpDirectArchive->openFile(diskPath) : nullptr;
        logDiskResult(path, m_file != nullptr, "opened", "open");
        return m_file ? ZResourceOk : ZResourceErrorOpen;
    }

    char diskPath[kPathSize];
    makeDiskPath(path, diskPath);
    m_file = g_lpDirectArchive ? g_lpDirectArchive->createFile(diskPath) : nullptr;
    logDiskResult(path, m_file != nullptr, "created", "create");
    return m_file ? ZResourceOk : ZResourceErrorOpen;
}

void ZResource::close() {
    delete m_file;
    m_file = nullptr;
}

long ZResource::seek(ZResourceWhence whence, int offset) {
    if (!m_file) return ZResourceErrorNoFile;
    long result = m_file->seek(whence, offset);
    if (result != ZResourceOk) m_error = true;
    return result;
}

long ZResource::tell(int& position) {
    if (!m_file) return ZResourceErrorNoFile;
    long result = m_file->tell(position);
    if (result != ZResourceOk) m_error = true;
    return result;
}

long ZResource::read(void* buffer, unsigned long count) {
    if (!m_file) return ZResourceErrorNoFile;
    long result = m_file->read(buffer, count);
    if (result != ZResourceOk) m_error = true;
    return result;
}

long ZResource::write(const void* buffer, unsigned long count) {
    if (!m_file) return ZResourceErrorNoFile;
    long result = m_file->write(buffer, count);
    if (result != ZResourceOk) m_error = true;
    return result;
}

unsigned long ZResource::readAndCount(void* buffer, unsigned long count) {
    if (!m_file) return ZResourceErrorNoFile;
    unsigned long done = m_file->readAndCount(buffer, count);
    if (done != count) m_error = true;
    return done;
}

unsigned long ZResource::writeAndCount(const void* buffer, unsigned long count) {
    if (!m_file) return ZResourceErrorNoFile;
    unsigned long done = m_file->writeAndCount(buffer, count);
    if (done != count) m_error = true;
    return done;
}

long ZResource::putChar(char c) {
    return write(&c, 1);
}

void ZResource::print(const char* format, ...) {
    if (!m_file || !format) return;
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    int length = vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length > 0) {
        char* text = new (std::nothrow) char[static_cast<size_t>(length) + 1];
        if (text) {
            vsnprintf(text, static_cast<size_t>(length) + 1, format, args);
            write(text, static_cast<unsigned long>(length));
            delete[] text;
        } else {
            m_error = true;
        }
    }
    va_end(args);
}

void ZResource::initialize() {
    if (!g_lpDirectArchive) g_lpDirectArchive = new ZResourceArchiveDirect();
}

void ZResource::cleanup() {
    ZSetting::saveSettings();
    ZSetting::freeSettings();
    for (ZResourceArchive* archive : archives()) {
        archives().remove(archive);
        delete archive;
    }
    for (ZResourceArchiveManager* manager : managers()) {
        managers().remove(manager);
        delete manager;
    }
    delete g_lpDirectArchive;
    g_lpDirectArchive = nullptr;
    g_bManagersRegistered = false;
    g_bLogOpens = false;
}

void ZResource::logOpens(bool log) {
    g_bLogOpens = log;
}

void ZResource::addArchiveManager(ZResourceArchiveManager* manager) {
    if (manager) managers().addToHead(manager);
}

long ZResource::addArchive(const char* path, long flags, const char* password) {
    registerBuiltInManagers();
    if (!path) return ZResourceErrorNoArchive;

    // Names are kept cut to 259 characters, so the path is compared the same way.
    char name[kPathSize];
    copyPath(name, path);
    for (ZResourceArchive* archive : archives())
        if (archive->name[0] && strcasecmp(archive->name, name) == 0) return ZResourceOk;

    for (ZResourceArchiveManager* manager : managers()) {
        ZResourceArchive* archive = manager->createArchive();
        if (!archive) continue;
        if (archive->openArchive(path, flags, password) == ZResourceOk) {
            copyPath(archive->name, path);
            archives().addToTail(archive);
            return ZResourceOk;
        }
        delete archive;
    }
    if (!(flags & 1)) ZCore::logMessage("Resource: missing archive '%s'", path);
    return ZResourceErrorNoArchive;
}

bool ZResource::stat(const char* path, ZResourceStat* stat) {
    if (!path) return false;
    ZResourceStat scratch;
    if (!stat) stat = &scratch;

    if (archives().head) {
        std::string archivePath = makeArchivePath(path);
        for (ZResourceArchive* archive : archives())
            if (archive->statFile(archivePath.c_str(), stat)) return true;
    }
    char diskPath[kPathSize];
    makeDiskPath(path, diskPath);
    return g_lpDirectArchive && g_lpDirectArchive->statFile(diskPath, stat);
}

bool ZResource::loadResource(const char* path, unsigned char*& data, unsigned long& size) {
    if (!path) return false;
    if (archives().head) {
        std::string archivePath = makeArchivePath(path);
        for (ZResourceArchive* archive : archives()) {
            if (archive->loadFile(archivePath.c_str(), data, size)) {
                if (g_bLogOpens) ZCore::logMessage("Resource: opened '%s' (archive)", path);
                return true;
            }
        }
    }
    char diskPath[kPathSize];
    makeDiskPath(path, diskPath);
    bool loaded = g_lpDirectArchive && g_lpDirectArchive->loadFile(diskPath, data, size);
    logDiskResult(path, loaded, "opened", "open");
    return loaded;
}

void ZResource::enumerateFolderInArchives(const char* folder, ZResourceEnumCallback callback,
                                          void* user) {
    if (!archives().head || !callback) return;
    std::string archivePath = makeArchivePath(folder ? folder : "");
    for (ZResourceArchive* archive : archives())
        if (!archive->enumerateFolder(archivePath.c_str(), callback, user)) return;
}
