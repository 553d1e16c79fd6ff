#include "ZMiscTools.h"

#include <SDL.h>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "TazelHttpRequest.h"
#include "ZBackgroundMusic.h"
#include "ZCore.h"
#include "ZResource.h"
#include "ZTrueText.h"
#include "ZWindow.h"

// All of this state is constant-initialised: the instance in ZCore.cpp runs initMiscTools during
// that unit's dynamic initialisation, which may come before this unit's.
static bool g_bToolsInitialized = false;
static char g_szMacOSVersion[256];
static char g_szGamePath[260];
static char g_szExecutablePath[260];  // the folder holding the executable
static char g_szResourcePath[260];    // where an installed game keeps its data
static bool g_bInBundle = false;
static char g_szPathBuffer[260];
static bool g_bClockInitialized = false;
static uint64_t g_nStartClock = 0;  // CLOCK_MONOTONIC nanoseconds at clock start
static ZWindow* g_lpZWindow = nullptr;

static long defaultAlertBox(const char* title, const char* message, const char* button1,
                            const char* button2);
static void defaultOpenURL(const char* url);

static ZAlertBoxHook g_alertBoxHook = defaultAlertBox;
static ZOpenURLHook g_openURLHook = defaultOpenURL;

namespace {

const size_t kPathSize = 260;

// Bounded copy that always terminates (size >= 1).
void copyText(char* target, size_t size, const char* text) {
    size_t length = strnlen(text, size - 1);
    memcpy(target, text, length);
    target[length] = '\0';
}

uint64_t monotonicNanoseconds() {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000000ull + static_cast<uint64_t>(now.tv_nsec);
}

void buildOSText() {
    struct utsname name;
    if (uname(&name) == 0) {
        snprintf(g_szMacOSVersion, sizeof(g_szMacOSVersion), "%s %s (%s)", name.sysname,
                 name.release, name.machine);
    } else {
        copyText(g_szMacOSVersion, sizeof(g_szMacOSVersion), "Linux");
    }
}

// The folder holding the running executable (the process's working folder if that is unknown),
// and the resource folder: an installed program keeps its data in <prefix>/share/<its name>
// beside <prefix>/bin, found from the executable's own path so that neither the working folder
// nor the prefix matters; elsewhere, in the build folder say, the data lies beside it.
void findGameFolder() {
    char exe[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", exe, sizeof(exe) - 1);
    if (length <= 0) {
        if (!getcwd(g_szExecutablePath, sizeof(g_szExecutablePath))) g_szExecutablePath[0] = '\0';
        copyText(g_szResourcePath, sizeof(g_szResourcePath), g_szExecutablePath);
        copyText(g_szGamePath, sizeof(g_szGamePath), g_szExecutablePath);
        return;
    }
    exe[length] = '\0';
    char* slash = strrchr(exe, '/');
    std::string name = slash ? slash + 1 : exe;
    if (slash) *slash = '\0';  // "/game" leaves "", the root without its trailing slash
    copyText(g_szExecutablePath, sizeof(g_szExecutablePath), exe);
    copyText(g_szGamePath, sizeof(g_szGamePath), exe);
    copyText(g_szResourcePath, sizeof(g_szResourcePath), exe);

    char* parent = strrchr(exe, '/');
    if (!parent) return;
    *parent = '\0';
    std::string installed = std::string(exe) + "/share/" + name;
    struct stat info;
    if (installed.size() < sizeof(g_szResourcePath) && stat(installed.c_str(), &info) == 0 &&
        S_ISDIR(info.st_mode))
        copyText(g_szResourcePath, sizeof(g_szResourcePath), installed.c_str());
}

// Writes the user's home folder into target.
void homeFolder(char* target, size_t size) {
    const char* home = getenv("HOME");
    if (!home || !*home) {
        struct passwd* entry = getpwuid(getuid());
        home = entry && entry->pw_dir ? entry->pw_dir : "";
    }
    copyText(target, size, home);
}

// The stored window; ZCore's until the window has announced itself.
ZWindow* activeWindow() {
    return g_lpZWindow ? g_lpZWindow : ZCore::getZWindow();
}

// A modal box must not sit behind a full-screen window, and the game must see the focus go
// while it is up: leave full screen, report focus lost, show the box, then undo both.
long showBox(const char* title, const char* message, const char* button1, const char* button2) {
    ZWindow* window = activeWindow();
    bool hadFocus = window && window->hasFocus();

    ZCore::handleOSFocus(false);
    if (window) {
        window->forceWindowed();
        window->processEvents();
    }
    if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(SDL_ENABLE);

    long choice = g_alertBoxHook(title ? title : "", message ? message : "", button1, button2);

    if (hadFocus) ZCore::handleOSFocus(true);
    if (window) window->processEvents();
    return choice;
}

// A fresh account may not have its data folder yet; the state folder is built below it one level
// at a time, so every missing folder of the path is made here.
void makeFolders(const char* path) {
    std::string partial;
    for (const char* c = path; *c; c++) {
        if (*c == '/' && !partial.empty()) mkdir(partial.c_str(), 0777);
        partial += *c;
    }
    if (!partial.empty()) mkdir(partial.c_str(), 0777);
}

int removeEntry(const char* path, const struct stat*, int, struct FTW*) {
    return remove(path);
}

bool isUnreserved(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.' || c == '~' || c == '/';
}

// The file a response goes to, emptied of what an earlier answer left; null for memory.
const char* removeOldResponse(const char* responseFilename) {
    if (!responseFilename || !*responseFilename) return nullptr;
    unlink(responseFilename);
    return responseFilename;
}

}  // namespace

static long defaultAlertBox(const char* title, const char* message, const char* button1,
                            const char* button2) {
    // The log keeps what the player was told. Without video nobody could answer the box: go on
    // as if the first button was chosen.
    ZCore::logMessage("System: message box '%s': %s", title, message);
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return 0;

    SDL_MessageBoxButtonData buttons[2];
    int count = 0;
    if (button2) {
        buttons[count++] = {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, button1 ? button1 : ""};
        buttons[count++] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, button2};
    } else {
        buttons[count++] = {
            SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0,
            button1 ? button1 : "OK"};
    }

    SDL_MessageBoxData box;
    memset(&box, 0, sizeof(box));
    box.flags = SDL_MESSAGEBOX_INFORMATION;
    box.window = SDL_GL_GetCurrentWindow();
    box.title = title;
    box.message = message;
    box.numbuttons = count;
    box.buttons = buttons;

    int chosen = -1;
    if (SDL_ShowMessageBox(&box, &chosen) != 0) return 0;
    return chosen == 1 ? 1 : 0;
}

static void defaultOpenURL(const char* url) {
    SDL_OpenURL(url);
}

ZMiscTools::ZMiscTools() {
    initMiscTools();
}

ZMiscTools::~ZMiscTools() {
    cleanup();
}

void ZMiscTools::initMiscTools() {
    if (g_bToolsInitialized) return;
    g_bToolsInitialized = true;

    buildOSText();
    ZCore::logMessage("System: running on %s", g_szMacOSVersion);
    ZCore::logMessage("System: engine build date: %s", __DATE__ " " __TIME__);
    initMillisecond();
    findGameFolder();
    if (g_bInBundle) copyText(g_szGamePath, sizeof(g_szGamePath), g_szResourcePath);
    ZCore::logMessage("System: initialized");
    ZResource::initialize();
}

void ZMiscTools::cleanup() {
    stopBackgroundMusic();
    ZTrueText::cleanup();
    ZResource::cleanup();
    ZCore::logMessage("System: cleaned up");
}

void ZMiscTools::setZWindow(ZWindow* window) {
    g_lpZWindow = window;
}

const char* ZMiscTools::getGameFolder() {
    return g_szGamePath;
}

// The bundle is the install prefix: its resource folder is the share folder of the program, or
// the executable's folder when the program is not installed.
void ZMiscTools::setFileSource(bool inBundle) {
    if (inBundle != g_bInBundle)
        copyText(g_szGamePath, sizeof(g_szGamePath),
                 inBundle ? g_szResourcePath : g_szExecutablePath);
    g_bInBundle = inBundle;
}

char* ZMiscTools::getUserFolder() {
    homeFolder(g_szPathBuffer, sizeof(g_szPathBuffer));
    return g_szPathBuffer;
}

char* ZMiscTools::getPreferencesFolder() {
    const char* data = getenv("XDG_DATA_HOME");
    std::string folder;
    if (data && data[0] == '/') {
        folder = data;
    } else {
        char home[kPathSize];
        homeFolder(home, sizeof(home));
        folder = std::string(home) + "/.local/share";
    }
    copyText(g_szPathBuffer, sizeof(g_szPathBuffer), folder.c_str());
    makeFolders(g_szPathBuffer);
    return g_szPathBuffer;
}

char* ZMiscTools::getUserName() {
    const char* name = "";
    size_t length = 0;
    struct passwd* entry = getpwuid(getuid());
    if (entry && entry->pw_gecos) {
        name = entry->pw_gecos;
        length = strcspn(name, ",");
    }
    if (length == 0) {
        if (entry && entry->pw_name) {
            name = entry->pw_name;
        } else {
            const char* user = getenv("USER");
            name = user ? user : "";
        }
        length = strlen(name);
    }
    if (length > sizeof(g_szPathBuffer) - 1) length = sizeof(g_szPathBuffer) - 1;
    memcpy(g_szPathBuffer, name, length);
    g_szPathBuffer[length] = '\0';
    return g_szPathBuffer;
}

const char* ZMiscTools::getOSVersion() {
    return g_szMacOSVersion;
}

void ZMiscTools::cleanPath(char* path) {
    if (!path) return;
    for (char* c = path; *c; c++)
        if (*c == ':' || *c == '\\') *c = '/';
}

char* ZMiscTools::makeFilePath(const char* path) {
    return makeFilePathInBuffer(path, g_szPathBuffer, sizeof(g_szPathBuffer));
}

char* ZMiscTools::makeFilePathInBuffer(const char* path, char* buffer, unsigned long size) {
    if (!buffer || size == 0) return buffer;
    if (!path) path = "";
    if (*path == ':' || *path == '\\') path++;

    if (*path == '/') {
        copyText(buffer, size, path);
    } else if (size >= 2) {
        // One byte less than the absolute case: the joined form keeps room for the separator.
        snprintf(buffer, size - 1, "%s/%s", g_szGamePath, path);
    } else {
        buffer[0] = '\0';
    }
    cleanPath(buffer);
    return buffer;
}

bool ZMiscTools::createDirectory(const char* path) {
    if (!path) return false;
    struct stat info;
    if (lstat(path, &info) == 0) return true;
    return mkdir(path, 0777) == 0;
}

// Both remove whatever is at the path, a folder with its contents.
bool ZMiscTools::removeFile(const char* path) {
    return removeDirectory(path);
}

bool ZMiscTools::removeDirectory(const char* path) {
    if (!path || !*path) return false;
    // Depth first so folders are empty when their turn comes; links are removed, not followed.
    return nftw(path, removeEntry, 16, FTW_DEPTH | FTW_PHYS) == 0;
}

bool ZMiscTools::renameFile(const char* from, const char* to) {
    if (!from || !to) return false;
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;

    // File systems without no-replace renames: check first, then move.
    struct stat info;
    if (lstat(to, &info) == 0) return false;
    return rename(from, to) == 0;
}

bool ZMiscTools::writeFileReplacing(const char* path, const void* first, unsigned long firstLength,
                                    const void* second, unsigned long secondLength) {
    if (!path || !*path) return false;
    std::string temporary = std::string(path) + ".tmp";
    FILE* file = fopen(temporary.c_str(), "wb");
    if (!file) return false;
    bool ok = !firstLength || fwrite(first, 1, firstLength, file) == firstLength;
    if (ok && secondLength) ok = fwrite(second, 1, secondLength, file) == secondLength;
    ok = ok && fflush(file) == 0 && fsync(fileno(file)) == 0;
    ok = (fclose(file) == 0) && ok;
    ok = ok && rename(temporary.c_str(), path) == 0;
    if (!ok) {
        remove(temporary.c_str());
        return false;
    }
    // The rename itself reaches the disk with the folder's entry.
    std::string folder(path);
    size_t slash = folder.find_last_of('/');
    folder = slash == std::string::npos ? std::string(".") : folder.substr(0, slash ? slash : 1);
    int directory = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (directory >= 0) {
        fsync(directory);
        close(directory);
    }
    return true;
}

bool ZMiscTools::fileExists(const char* path) {
    struct stat info;
    return path && lstat(path, &info) == 0;
}

void ZMiscTools::enumerateFolder(const char* path,
                                 bool (*callback)(const char* name, bool isFolder, void* data),
                                 void* data) {
    if (!path || !callback) return;
    DIR* folder = opendir(path);
    if (!folder) return;

    if (callback(".", true, data) && callback("..", true, data)) {
        while (struct dirent* entry = readdir(folder)) {
            const char* name = entry->d_name;
            if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0) continue;

            bool isFolder = entry->d_type == DT_DIR;
            if (entry->d_type == DT_UNKNOWN) {
                struct stat info;
                isFolder = fstatat(dirfd(folder), name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                           S_ISDIR(info.st_mode);
            }
            if (!callback(name, isFolder, data)) break;
        }
    }
    closedir(folder);
}

void ZMiscTools::initMillisecond() {
    if (g_bClockInitialized) return;
    g_nStartClock = monotonicNanoseconds();
    g_bClockInitialized = true;
}

unsigned long ZMiscTools::getMilliseconds() {
    initMillisecond();
    uint64_t now = monotonicNanoseconds();
    if (now < g_nStartClock) return 0;
    return static_cast<unsigned long>((now - g_nStartClock) / 1000000u);
}

unsigned long ZMiscTools::getSeedValue() {
    return static_cast<unsigned long>(monotonicNanoseconds() / 1000u);
}

long ZMiscTools::getYear() {
    return static_cast<long>(getLocalTime().year);
}

ZLocalTime ZMiscTools::getLocalTime() {
    time_t now = time(nullptr);
    struct tm local;
    memset(&local, 0, sizeof(local));
    localtime_r(&now, &local);

    ZLocalTime result;
    result.day = local.tm_mday;
    result.month = local.tm_mon + 1;
    result.year = local.tm_year + 1900;
    result.hour = local.tm_hour;
    result.minute = local.tm_min;
    result.second = local.tm_sec;
    return result;
}

void ZMiscTools::pause(long milliseconds, bool processEvents) {
    ZWindow* window = processEvents ? activeWindow() : nullptr;
    unsigned long start = getMilliseconds();
    for (;;) {
        unsigned long now = getMilliseconds();
        if (now < start || static_cast<long>(now - start) >= milliseconds) break;
        if (window) window->processEvents();
    }
}

void ZMiscTools::messageBox(const char* title, const char* message) {
    showBox(title, message, "OK", nullptr);
}

long ZMiscTools::alertBox(const char* title, const char* message, const char* button1,
                          const char* button2) {
    long choice = showBox(title, message, button1, button2);
    return button2 && choice == 1 ? 1 : 0;
}

void ZMiscTools::setAlertBoxHook(ZAlertBoxHook hook) {
    g_alertBoxHook = hook ? hook : defaultAlertBox;
}

void ZMiscTools::signalUser() {
    if (isatty(STDERR_FILENO)) {
        ssize_t written = write(STDERR_FILENO, "\a", 1);
        (void)written;
    }
}

void ZMiscTools::launchURL(const char* url, bool) {
    if (!url) return;
    ZWindow* window = activeWindow();
    if (window) window->forceWindowed();
    g_openURLHook(url);
}

void ZMiscTools::launchFile(const char* path, bool flag) {
    if (!path) return;
    // Percent-encoded so that blanks, '#' and '?' in names survive the desktop's URL parser.
    static const char kHex[] = "0123456789ABCDEF";
    std::string url = "file://";
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(path); *c; c++) {
        if (isUnreserved(*c)) {
            url += static_cast<char>(*c);
        } else {
            url += '%';
            url += kHex[*c >> 4];
            url += kHex[*c & 15];
        }
    }
    launchURL(url.c_str(), flag);
}

void ZMiscTools::setOpenURLHook(ZOpenURLHook hook) {
    g_openURLHook = hook ? hook : defaultOpenURL;
}

void ZMiscTools::playBackgroundMusic(const char* path, long volume, bool loop, bool) {
    ZBackgroundMusic::play(path, volume, loop);
}

void ZMiscTools::setBackgroundMusicVolume(long volume) {
    ZBackgroundMusic::setVolume(volume);
}

void ZMiscTools::stopBackgroundMusic() {
    ZBackgroundMusic::stop();
}

bool ZMiscTools::isBackgroundMusicPlaying() {
    return ZBackgroundMusic::isPlaying();
}

void ZMiscTools::doHttpGet(long requestId, const char* url, const char* responseFilename) {
    const char* file = removeOldResponse(responseFilename);
    (new TazelHttpRequest())->doHttpGet(url, requestId, file);
}

void ZMiscTools::doHttpPost(long requestId, const char* url, const void* payload,
                            unsigned long payloadSize, const char* responseFilename) {
    const char* file = removeOldResponse(responseFilename);
    (new TazelHttpRequest())->doHttpPost(url, payload, payloadSize, requestId, file);
}

void ZMiscTools::doHttpDelete(long requestId, const char* url, const char* responseFilename) {
    const char* file = removeOldResponse(responseFilename);
    (new TazelHttpRequest())->doHttpDelete(url, requestId, file);
}
