#include "ZGame.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ZCore.h"
#include "ZManagedBitmapFontList.h"
#include "ZManagedFontList.h"
#include "ZManagedGraphicList.h"
#include "ZManagedModelList.h"
#include "ZManagedSampleList.h"
#include "ZManagedShaderList.h"
#include "ZManagedVideoList.h"
#include "ZMiscTools.h"
#include "ZResource.h"
#include "ZSysDebug.h"
#include "ZSysThread.h"
#include "ZText.h"
#include "ZTextFace.h"
#include "ZTrueText.h"
#include "ZWindow.h"

ZGame* ZGame::g_lpGame = nullptr;

namespace {

// A failed start or a fatal file error must not look like a clean exit to the caller.
const int kExitFailure = 1;

struct BuiltinString {
    const char* id;
    const char* text;
};

const BuiltinString kBuiltinStrings[] = {
    {"BUILTIN_ERR_FILE", "Error opening file: %s"},
    {"BUILTIN_REPORT_CAPTION", "Crash report"},
    {"BUILTIN_ASSERTION", "Assertion failed at %s:%d"},
    {"BUILTIN_CRASH", "Exception 0x%08x (%s)"},
    {"BUILTIN_CRASH_PARAM", "Exception data: 0x%08x"},
    {"BUILTIN_REPORT_BODY", "OS: %s\nRenderer: %s\n\nStack trace:"},
    {"BUILTIN_REPORT_SEND", "Report to developer"},
    {"BUILTIN_REPORT_QUIT", "Quit"},
    {"BUILTIN_REPORT_EMAIL_SUBJECT", "%s crash report"},
};

// Appends text to a NUL-terminated buffer of size bytes, cutting what does not fit.
void appendBounded(char* buffer, size_t size, const char* text) {
    size_t used = strlen(buffer);
    if (used + 1 >= size) return;
    size_t length = std::min(strlen(text), size - 1 - used);
    memcpy(buffer + used, text, length);
    buffer[used + length] = 0;
}

const char* rendererName(long renderer) {
    switch (renderer) {
        case eRendererDirectX8:
            return "DirectX8";
        case eRendererOpenGL:
            return "OpenGL";
        case eRendererDirectX9:
            return "DirectX9";
        default:
            return "Unknown";
    }
}

// One entry of a string table as read: the key's bytes and the value's code points.
struct StringEntry {
    std::string key;
    std::vector<unsigned long> value;
};

bool isBlank(unsigned long c) {
    return c == ' ' || c == '\t';
}

bool isLineEnd(unsigned long c) {
    return c == '\r' || c == '\n';
}

// The entries of a string table's characters. A line's leading blanks are skipped; empty lines
// and comments ("#" first) make none; the key runs to the first blank or line end, which is
// consumed, then blanks are skipped. A value in double quotes runs to the next quote that is not
// doubled (a doubled one stands for one), drops CR and keeps LF, so it may span lines; any other
// value runs to the line's end. The run of line ends after a value is skipped. A key alone on
// its line thus takes the next line after an LF, and an empty value after a CR LF.
std::vector<StringEntry> parseStringTable(const std::vector<unsigned long>& text) {
    std::vector<StringEntry> entries;
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        while (i < n && isBlank(text[i])) i++;
        if (i >= n) break;
        if (isLineEnd(text[i])) {
            i++;
            continue;
        }
        if (text[i] == '#') {
            while (i < n && !isLineEnd(text[i])) i++;
            continue;
        }
        StringEntry entry;
        while (i < n && !isBlank(text[i]) && !isLineEnd(text[i])) {
            // Keys are byte strings.
            entry.key += static_cast<char>(text[i] > 255 ? '?' : text[i]);
            i++;
        }
        if (i < n) i++;
        while (i < n && isBlank(text[i])) i++;
        if (i < n && text[i] == '"') {
            for (i++; i < n; i++) {
                if (text[i] == '"') {
                    if (i + 1 < n && text[i + 1] == '"') {
                        entry.value.push_back('"');
                        i++;
                        continue;
                    }
                    i++;
                    break;
                }
                if (text[i] != '\r') entry.value.push_back(text[i]);
            }
        } else {
            while (i < n && !isLineEnd(text[i])) entry.value.push_back(text[i++]);
        }
        while (i < n && isLineEnd(text[i])) i++;
        entries.push_back(std::move(entry));
    }
    return entries;
}

// Bytes per code unit of a table's values.
long unitBytes(long encoding) {
    return encoding == 3 ? 2 : 1;
}

// A value's code points in the table's encoding, terminator included, as a malloc'ed copy.
char* encodeValue(const std::vector<unsigned long>& value, long encoding) {
    // Each code point takes at most 4 units (UTF-8) or 2 (UTF-16).
    std::vector<char> units((value.size() * 4 + 1) * static_cast<size_t>(unitBytes(encoding)));
    long pos = 0;
    for (unsigned long code : value) ZTextFace::encodeChar(encoding, units.data(), pos, code);
    size_t bytes = static_cast<size_t>(pos * unitBytes(encoding));
    char* copy = static_cast<char*>(calloc(bytes + static_cast<size_t>(unitBytes(encoding)), 1));
    if (copy) memcpy(copy, units.data(), bytes);
    return copy;
}

// The code points of a text up to its terminator.
std::vector<unsigned long> decodeText(const char* text, long encoding) {
    std::vector<unsigned long> codes;
    long pos = 0;
    for (unsigned long c; text && (c = ZTextFace::decodeChar(encoding, text, pos, true)) != 0;)
        codes.push_back(c);
    return codes;
}

}  // namespace

ZGame::ZGame() {
    m_stateFolder[0] = 0;
    m_crashAddress[0] = 0;
    m_graphics = new ZManagedGraphicList();
    m_fonts = new ZManagedFontList();
    m_bitmapFonts = new ZManagedBitmapFontList();
    m_samples = new ZManagedSampleList();
    m_videos = new ZManagedVideoList();
    m_shaders = new ZManagedShaderList();
    m_models = new ZManagedModelList();
    g_lpGame = this;
}

ZGame::~ZGame() {
    if (m_window) {
        delete m_window;
        m_window = nullptr;
    }
    freeStringTable();
    g_lpGame = nullptr;
    delete m_models;
    delete m_shaders;
    delete m_videos;
    delete m_samples;
    delete m_bitmapFonts;
    delete m_fonts;
    delete m_graphics;
}

bool ZGame::initialize() {
    if (m_window) {
        delete m_window;
        m_window = nullptr;
    }

    snprintf(m_stateFolder, sizeof(m_stateFolder) - 1, "%s/%s", ZMiscTools::getPreferencesFolder(),
             getSafeDeveloperName());
    ZMiscTools::cleanPath(m_stateFolder);
    ZMiscTools::createDirectory(m_stateFolder);
    appendBounded(m_stateFolder, sizeof(m_stateFolder), "/");
    appendBounded(m_stateFolder, sizeof(m_stateFolder), getSafeGameName());
    ZMiscTools::cleanPath(m_stateFolder);
    ZMiscTools::createDirectory(m_stateFolder);
    ZCore::logMessage("Game: state path is %s", m_stateFolder);

    m_window = createGameWindow();
    if (!m_window) return false;
    if (!loadGame()) {
        freeStringTable();
        destroyGameWindow(m_window);
        m_window = nullptr;
        return false;
    }
    return true;
}

void ZGame::cleanup() {
    if (!m_window) return;
    unloadGame();
    freeStringTable();
    destroyGameWindow(m_window);
    m_window = nullptr;
}

void ZGame::main() {
    if (!initialize()) return;
    run();
    cleanup();
}

void ZGame::beginFrame() {
    if (!m_window) return;
    m_window->processEvents();
    m_frameTime = m_window->getFrameTime() * m_timeScale;
    m_tickAccumulator = std::max(-200.0, m_tickAccumulator - m_frameTime);
    if (m_tickAccumulator < 0) {
        m_tickCount = static_cast<long>(std::trunc(-m_tickAccumulator / 10.0));
        m_tickAccumulator += m_tickCount * 10.0;
    } else {
        m_tickCount = 0;
    }
}

void ZGame::endFrame(bool waitWhileInactive) {
    if (m_window) m_window->setWorldView(0, 0, 0, 1.0f, false);
    onEndFrame();
    ZSysThread::sleep(0);
    if (m_window) m_window->flipBackBuffer(waitWhileInactive, true);
}

void ZGame::resetFrameLoop() {
    if (m_window) m_window->resetFrameTime();
    m_tickAccumulator = 0;
    m_tickCount = 0;
    m_frameTime = 0;
}

void ZGame::abortOnFile(const char* path) {
    char message[1024];
    snprintf(message, sizeof(message) - 1, getBuiltinString("BUILTIN_ERR_FILE"), path);
    ZCore::logMessage("Game: error opening file: %s", path);
    ZMiscTools::alertBox(getGameName(), message, getBuiltinString("BUILTIN_REPORT_QUIT"), nullptr);
    exit(kExitFailure);
}

const char* ZGame::getBuiltinString(const char* id) {
    for (const BuiltinString& entry : kBuiltinStrings) {
        if (strcmp(entry.id, id) == 0) return entry.text;
    }
    ZCore::logMessage("Game: unknown built-in string ID '%s'", id);
    return nullptr;
}

const char* ZGame::getString(const char* key) {
    if (!key) return nullptr;
    for (long i = 0; i < m_stringCount; i++) {
        if (strcmp(m_stringKeys[i], key) == 0) return m_stringValues[i];
    }
    return nullptr;
}

const char* ZGame::getStringByIndex(long index) {
    if (index < 0 || index >= m_stringCount) return nullptr;
    return m_stringValues[index];
}

const char* ZGame::getStringId(long index) {
    if (index < 0 || index >= m_stringCount) return nullptr;
    return m_stringKeys[index];
}

bool ZGame::readStringTable(const char* path) {
    unsigned char* data = nullptr;
    unsigned long size = 0;
    if (!ZResource::loadResource(path, data, size)) {
        abortOnFile(path);
        return false;
    }
    freeStringTable();
    long encoding = 0;
    ZTextFace::detectEncoding(reinterpret_cast<const char*>(data), static_cast<long>(size),
                              encoding);
    // The mark alone is what writeStringTable makes of an empty table: an empty UTF-8 table.
    if (size == 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) encoding = 1;
    unsigned long skip = encoding == 1 ? 3 : (encoding == 3 || encoding == 4 ? 2 : 0);
    if (encoding == 4) {
        for (unsigned long i = 2; i + 1 < size; i += 2) std::swap(data[i], data[i + 1]);
        encoding = 3;
    }
    // The text with a terminator of any unit size after it.
    std::vector<char> text(size - skip + 8, 0);
    memcpy(text.data(), data + skip, size - skip);
    delete[] data;
    std::vector<unsigned long> codes = decodeText(text.data(), encoding);
    std::vector<StringEntry> entries = parseStringTable(codes);

    size_t keyBytes = 0, valueBytes = 0;
    std::vector<std::vector<char>> values;
    values.reserve(entries.size());
    for (const StringEntry& entry : entries) {
        keyBytes += entry.key.size() + 1;
        char* value = encodeValue(entry.value, encoding);
        size_t length = value ? static_cast<size_t>(ZTextFace::getStringLen(encoding, value)) : 0;
        values.emplace_back(value, value + (length + 1) * static_cast<size_t>(unitBytes(encoding)));
        free(value);
        valueBytes += values.back().size();
    }
    long count = static_cast<long>(entries.size());
    m_stringKeys = static_cast<char**>(calloc(static_cast<size_t>(count) + 1, sizeof(char*)));
    m_stringValues = static_cast<char**>(calloc(static_cast<size_t>(count) + 1, sizeof(char*)));
    m_stringOwned = static_cast<unsigned char*>(calloc(static_cast<size_t>(count) + 1, 1));
    m_stringKeyBlock = static_cast<char*>(malloc(keyBytes + 1));
    m_stringValueBlock = static_cast<char*>(malloc(valueBytes + 2));
    if (!m_stringKeys || !m_stringValues || !m_stringOwned || !m_stringKeyBlock ||
        !m_stringValueBlock) {
        ZCore::logMessage("Game: no memory for the strings table %s, ERROR", path);
        freeStringTable();
        return false;
    }
    char* key = m_stringKeyBlock;
    char* value = m_stringValueBlock;
    for (long i = 0; i < count; i++) {
        const std::string& k = entries[static_cast<size_t>(i)].key;
        memcpy(key, k.c_str(), k.size() + 1);
        m_stringKeys[i] = key;
        key += k.size() + 1;
        const std::vector<char>& v = values[static_cast<size_t>(i)];
        memcpy(value, v.data(), v.size());
        m_stringValues[i] = value;
        value += v.size();
    }
    m_stringCount = m_stringFileCount = count;
    m_stringEncoding = encoding;
    ZCore::logMessage("Game: strings table read, %d entries, %s encoding", static_cast<int>(count),
                      encoding == 1 ? "utf8" : (encoding == 3 ? "utf16" : "ansi"));
    ZText::initializeAsUnicode(encoding);
    ZTrueText::initializeAsUnicode(count, m_stringValues, encoding);
    return true;
}

void ZGame::writeStringTable(const char* path) {
    ZResource file;
    if (!path || file.open(path, ZResourceModeWrite) != ZResourceOk) return;
    std::vector<char> out = {'\xEF', '\xBB', '\xBF'};
    auto put = [&out](unsigned long code) {
        char units[4];
        long pos = 0;
        ZTextFace::encodeChar(1, units, pos, code);
        out.insert(out.end(), units, units + pos);
    };
    for (long i = 0; i < m_stringCount; i++) {
        for (const char* k = m_stringKeys[i]; *k; k++) put(static_cast<unsigned char>(*k));
        put('\t');
        std::vector<unsigned long> value = decodeText(m_stringValues[i], m_stringEncoding);
        // Leading blanks would be skipped by the reader: such values are quoted too.
        bool quoted = !value.empty() && (value[0] == '"' || isBlank(value[0]));
        for (unsigned long c : value) quoted = quoted || isLineEnd(c);
        if (quoted) put('"');
        unsigned long previous = 0;
        for (unsigned long c : value) {
            if (c == '\n' && previous != '\r') put('\r');
            if (c == '"' && quoted) put('"');
            put(c);
            previous = c;
        }
        if (quoted) put('"');
        put('\r');
        put('\n');
    }
    file.writeAndCount(out.data(), out.size());
    file.close();
}

void ZGame::setString(const char* key, const char* value) {
    if (!key) return;
    // A UTF-16 table's value comes as 32-bit units and is kept as 16-bit units.
    char* copy =
        m_stringEncoding == 3 ? encodeValue(decodeText(value, 2), 3) : strdup(value ? value : "");
    if (!copy) return;
    for (long i = 0; i < m_stringCount; i++) {
        if (strcmp(m_stringKeys[i], key) != 0) continue;
        if (m_stringOwned[i]) free(m_stringValues[i]);
        m_stringValues[i] = copy;
        m_stringOwned[i] = 1;
        return;
    }
    size_t count = static_cast<size_t>(m_stringCount) + 1;
    char** keys = static_cast<char**>(realloc(m_stringKeys, count * sizeof(char*)));
    if (keys) m_stringKeys = keys;
    char** values = static_cast<char**>(realloc(m_stringValues, count * sizeof(char*)));
    if (values) m_stringValues = values;
    unsigned char* owned = static_cast<unsigned char*>(realloc(m_stringOwned, count));
    if (owned) m_stringOwned = owned;
    char* keyCopy = strdup(key);
    if (!keys || !values || !owned || !keyCopy) {
        ZCore::logMessage("Game: no memory to add the string %s, ERROR", key);
        free(keyCopy);
        free(copy);
        return;
    }
    m_stringKeys[m_stringCount] = keyCopy;
    m_stringValues[m_stringCount] = copy;
    m_stringOwned[m_stringCount] = 1;
    m_stringCount++;
}

void ZGame::removeString(const char* key) {
    if (!key) return;
    for (long i = 0; i < m_stringCount; i++) {
        if (strcmp(m_stringKeys[i], key) != 0) continue;
        if (i >= m_stringFileCount) free(m_stringKeys[i]);
        if (m_stringOwned[i]) free(m_stringValues[i]);
        for (long j = i; j + 1 < m_stringCount; j++) {
            m_stringKeys[j] = m_stringKeys[j + 1];
            m_stringValues[j] = m_stringValues[j + 1];
            m_stringOwned[j] = m_stringOwned[j + 1];
        }
        m_stringCount--;
        if (i < m_stringFileCount) m_stringFileCount--;
        return;
    }
}

void ZGame::freeStringTable() {
    for (long i = 0; i < m_stringCount; i++) {
        if (m_stringOwned && m_stringOwned[i]) free(m_stringValues[i]);
        if (i >= m_stringFileCount) free(m_stringKeys[i]);
    }
    free(m_stringKeys);
    free(m_stringValues);
    free(m_stringOwned);
    free(m_stringKeyBlock);
    free(m_stringValueBlock);
    m_stringKeys = m_stringValues = nullptr;
    m_stringOwned = nullptr;
    m_stringKeyBlock = m_stringValueBlock = nullptr;
    m_stringCount = m_stringFileCount = 0;
}

void ZGame::enableCrashReporter(bool enable, const char* address) {
    if (enable) {
        strncpy(m_crashAddress, address ? address : "", sizeof(m_crashAddress) - 1);
        m_crashAddress[sizeof(m_crashAddress) - 1] = 0;
        ZSysDebug::catchExceptions(crashHandler);
    } else {
        m_crashAddress[0] = 0;
        ZSysDebug::catchExceptions(nullptr);
    }
}

void ZGame::composePath(const char* prefix, const char* name, char* out, unsigned long size) {
    if (size == 0) return;
    if (*name == ':' || *name == '\\') name++;
    out[0] = 0;
    if (*name != '/') {
        appendBounded(out, size, prefix);
        size_t length = strlen(prefix);
        if (length > 0 && prefix[length - 1] != '/' && prefix[length - 1] != '\\')
            appendBounded(out, size, "/");
    }
    appendBounded(out, size, name);
    ZMiscTools::cleanPath(out);
}

void ZGame::enquoteMessage(const char* src, char* dst, unsigned long size) {
    if (size == 0) return;
    static const char kHex[] = "0123456789abcdef";
    unsigned long used = 0;
    for (; *src && used + 3 < size; src++) {
        unsigned char c = static_cast<unsigned char>(*src);
        if (c < 32 || c > 127) {
            dst[used++] = '%';
            dst[used++] = kHex[c >> 4];
            dst[used++] = kHex[c & 15];
        } else {
            dst[used++] = static_cast<char>(c);
        }
    }
    dst[used] = 0;
}

void ZGame::crashHandler(bool assertion, unsigned long code, const char* name, bool hasParameter,
                         unsigned long parameter, const char* file, long line, long stackDepth,
                         const unsigned long* stackAddresses, const char* const* stackSymbols) {
    ZGame* game = g_lpGame;
    if (!game) exit(kExitFailure);
    if (game->m_window) {
        game->m_window->setCallBack(nullptr);
        game->m_window->setZOZCallBack(nullptr);
    }

    char message[1024] = {0};
    char piece[256];
    if (assertion) {
        snprintf(piece, sizeof(piece), game->getBuiltinString("BUILTIN_ASSERTION"), file,
                 static_cast<int>(line));
        appendBounded(message, sizeof(message), piece);
        appendBounded(message, sizeof(message), "\n");
    } else {
        snprintf(piece, sizeof(piece), game->getBuiltinString("BUILTIN_CRASH"),
                 static_cast<unsigned>(code), name);
        appendBounded(message, sizeof(message), piece);
        appendBounded(message, sizeof(message), "\n");
        if (hasParameter) {
            snprintf(piece, sizeof(piece), game->getBuiltinString("BUILTIN_CRASH_PARAM"),
                     static_cast<unsigned>(parameter));
            appendBounded(message, sizeof(message), piece);
            appendBounded(message, sizeof(message), "\n");
        }
    }
    snprintf(piece, sizeof(piece), game->getBuiltinString("BUILTIN_REPORT_BODY"),
             ZMiscTools::getOSVersion(), rendererName(ZCore::getRenderer()));
    appendBounded(message, sizeof(message), piece);
    appendBounded(message, sizeof(message), "\n");
    for (long i = 0; i < stackDepth; i++) {
        snprintf(piece, sizeof(piece), "%ld: 0x%08lx (%s)\n", i, stackAddresses[i],
                 stackSymbols[i]);
        appendBounded(message, sizeof(message), piece);
    }
    ZCore::logMessage("Game: crash\n\n%s", message);

    if (ZMiscTools::alertBox(game->getBuiltinString("BUILTIN_REPORT_CAPTION"), message,
                             game->getBuiltinString("BUILTIN_REPORT_SEND"),
                             game->getBuiltinString("BUILTIN_REPORT_QUIT")) == 1)
        exit(kExitFailure);

    char subject[256];
    snprintf(subject, sizeof(subject), game->getBuiltinString("BUILTIN_REPORT_EMAIL_SUBJECT"),
             game->getGameName());
    char mail[4096];
    snprintf(mail, sizeof(mail), "mailto:%s?subject=%s&body=%s", game->m_crashAddress, subject,
             message);
    char url[4096 * 3];
    enquoteMessage(mail, url, sizeof(url));
    ZMiscTools::launchURL(url, false);
    exit(kExitFailure);
}
