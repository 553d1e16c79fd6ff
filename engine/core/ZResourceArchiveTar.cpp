#include "ZResourceArchiveTar.h"

#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "ZCore.h"
#include "ZResourceFileTar.h"

namespace {

const int64_t kBlock = 512;
const char kLongLink[] = "././@LongLink";

// Header fields: offset and width.
const size_t kNameAt = 0, kNameWidth = 100;
const size_t kTimeAt = 136, kSizeAt = 124, kNumberWidth = 12;
const size_t kChecksumAt = 148, kChecksumWidth = 8;
const size_t kTypeAt = 156;
const size_t kMagicAt = 257, kMagicWidth = 8;  // magic and version
const size_t kPrefixAt = 345, kPrefixWidth = 155;

// A numeric field: octal text (leading blanks, an optional sign, digits up to the first other
// character), or GNU's base-256 form for values that octal cannot hold. False when the value does
// not fit 64 bits.
bool parseNumber(const unsigned char* field, size_t width, int64_t& value) {
    if (field[0] & 0x80) {
        // Big-endian two's complement with the marker bit; only the last 8 bytes may carry
        // value, the others must be sign extension.
        bool negative = field[0] == 0xff;
        if (!negative && field[0] != 0x80) return false;
        unsigned char extension = negative ? 0xff : 0x00;
        for (size_t i = 1; i < width - 8; i++)
            if (field[i] != extension) return false;
        uint64_t bits = 0;
        for (size_t i = width - 8; i < width; i++) bits = (bits << 8) | field[i];
        if (negative != ((bits >> 63) != 0)) return false;
        value = static_cast<int64_t>(bits);
        return true;
    }

    size_t i = 0;
    while (i < width && field[i] == ' ') i++;
    bool negative = false;
    if (i < width && (field[i] == '-' || field[i] == '+')) negative = field[i++] == '-';
    int64_t result = 0;
    for (; i < width && field[i] >= '0' && field[i] <= '7'; i++) {
        if (result > (INT64_MAX >> 3)) return false;
        result = result * 8 + (field[i] - '0');
    }
    value = negative ? -result : result;
    return true;
}

// The stored checksum must equal the sum of the header's bytes with the checksum field taken as
// blanks; old writers summed signed bytes, so either sum is accepted.
bool checksumMatches(const unsigned char* block) {
    size_t i = 0;
    while (i < kChecksumWidth && block[kChecksumAt + i] == ' ') i++;
    if (i == kChecksumWidth || block[kChecksumAt + i] < '0' || block[kChecksumAt + i] > '7')
        return false;
    int64_t stored = 0;
    if (!parseNumber(block + kChecksumAt, kChecksumWidth, stored)) return false;

    int64_t unsignedSum = 0, signedSum = 0;
    for (size_t j = 0; j < static_cast<size_t>(kBlock); j++) {
        bool inField = j >= kChecksumAt && j < kChecksumAt + kChecksumWidth;
        unsignedSum += inField ? ' ' : block[j];
        signedSum += inField ? ' ' : static_cast<signed char>(block[j]);
    }
    return stored == unsignedSum || stored == signedSum;
}

bool isPosixMagic(const unsigned char* block) {
    return memcmp(block + kMagicAt,
                  "ustar\0"
                  "00",
                  kMagicWidth) == 0;
}

// POSIX "ustar\0" "00", old GNU "ustar  \0", or V7 with no magic at all.
bool isKnownMagic(const unsigned char* block) {
    static const unsigned char kNone[kMagicWidth] = {};
    return isPosixMagic(block) || memcmp(block + kMagicAt, "ustar  ", kMagicWidth) == 0 ||
           memcmp(block + kMagicAt, kNone, kMagicWidth) == 0;
}

// Copies at most limit characters of text (which ends at its first NUL or at width) and ends
// the copy; answers its length.
size_t copyField(char* target, size_t limit, const void* text, size_t width) {
    size_t length = strnlen(static_cast<const char*>(text), width < limit ? width : limit);
    memcpy(target, text, length);
    target[length] = '\0';
    return length;
}

}  // namespace

ZResourceArchiveTar::~ZResourceArchiveTar() {
    release();
}

uint64_t ZResourceArchiveTar::readAt(int descriptor, void* buffer, uint64_t count, int64_t at) {
    uint64_t done = 0;
    while (done < count && at >= 0) {
        ssize_t got = pread(descriptor, static_cast<unsigned char*>(buffer) + done,
                            static_cast<size_t>(count - done), static_cast<off_t>(at));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<uint64_t>(got);
        at += got;
    }
    return done;
}

void ZResourceArchiveTar::release() {
    for (ZTarEntry* entry : m_entries) {
        m_entries.remove(entry);
        delete entry;
    }
    if (m_descriptor >= 0) close(m_descriptor);
    m_descriptor = -1;
    m_length = 0;
}

ZResourceArchiveTar::Block ZResourceArchiveTar::readBlock(int64_t at, unsigned char* block) const {
    if (readAt(m_descriptor, block, kBlock, at) != static_cast<uint64_t>(kBlock)) return Block::End;
    bool zero = true;
    for (int64_t i = 0; i < kBlock && zero; i++) zero = block[i] == 0;
    if (zero) return Block::Zero;
    return checksumMatches(block) && isKnownMagic(block) ? Block::Header : Block::Invalid;
}

bool ZResourceArchiveTar::readDirectory(const char* path) {
    unsigned char block[kBlock];
    char pending[260] = "";  // the name a "././@LongLink" block gave to the next header
    int zeroRun = 0;
    bool sawZero = false, sawHeader = false;

    for (int64_t at = 0; at < m_length;) {
        Block kind = readBlock(at, block);
        if (kind == Block::End) break;
        if (kind == Block::Zero) {
            sawZero = true;
            pending[0] = '\0';
            if (++zeroRun == 2) break;
            at += kBlock;
            continue;
        }
        zeroRun = 0;
        // The first header decides whether this is a tar at all; a later bad one is damage.
        if (kind == Block::Invalid) return sawHeader;
        sawHeader = true;

        // The size is checked against the file before anything is made or allocated from it.
        int64_t dataAt = at + kBlock;
        int64_t size = 0;
        if (!parseNumber(block + kSizeAt, kNumberWidth, size)) break;
        if (size < 0) {
            ZCore::logMessage("Resource: archive '%s' seems to be invalid, WARNING", path);
            break;
        }
        if (size > m_length - dataAt) break;

        char name[kNameWidth];
        copyField(name, kNameWidth - 1, block + kNameAt, kNameWidth);
        char type = static_cast<char>(block[kTypeAt]);
        if (strcmp(name, kLongLink) == 0) {
            uint64_t wanted = size < 259 ? static_cast<uint64_t>(size) : 259;
            char text[260];
            uint64_t got = readAt(m_descriptor, text, wanted, dataAt);
            if (got == wanted) {
                copyField(pending, 259, text, static_cast<size_t>(got));
            } else {
                pending[0] = '\0';
            }
        } else {
            if (type == '\0' || type == '0' || type == '5') {
                ZTarEntry* entry = new ZTarEntry();
                entry->isFolder = type == '5';
                entry->offset = entry->isFolder ? 0 : dataAt;
                entry->size = entry->isFolder ? 0 : size;
                int64_t time = 0;
                entry->modificationTime =
                    parseNumber(block + kTimeAt, kNumberWidth, time) ? time : 0;

                size_t limit = sizeof(entry->name) - 1;
                size_t prefixLength =
                    strnlen(reinterpret_cast<const char*>(block + kPrefixAt), kPrefixWidth);
                if (pending[0]) {
                    copyField(entry->name, limit, pending, sizeof(pending));
                } else if (isPosixMagic(block) && prefixLength > 0) {
                    size_t length = copyField(entry->name, limit, block + kPrefixAt, kPrefixWidth);
                    if (length < limit) {
                        entry->name[length++] = '/';
                        copyField(entry->name + length, limit - length, name, sizeof(name));
                    }
                } else {
                    copyField(entry->name, limit, name, sizeof(name));
                }
                m_entries.addToTail(entry);
            }
            pending[0] = '\0';
        }
        at = dataAt + size + (kBlock - size % kBlock) % kBlock;
    }
    return sawHeader || sawZero;
}

long ZResourceArchiveTar::openArchive(const char* path, long, const char*) {
    release();
    if (!path) return ZResourceErrorOpen;
    m_descriptor = open(path, O_RDONLY | O_CLOEXEC);
    if (m_descriptor < 0) return ZResourceErrorOpen;

    off_t length = lseek(m_descriptor, 0, SEEK_END);
    m_length = length > 0 ? static_cast<int64_t>(length) : 0;
    // Anything else is left to other archive kinds, and to addArchive's missing-archive report.
    if (!readDirectory(path)) {
        release();
        return ZResourceErrorNoArchive;
    }
    ZCore::logMessage("Resource: added archive '%s' with %d %s", path, m_entries.count,
                      m_entries.count == 1 ? "entry" : "entries");
    return ZResourceOk;
}

ZTarEntry* ZResourceArchiveTar::findEntry(const char* path, bool skipFolders) const {
    if (!path) return nullptr;
    for (ZTarEntry* entry : m_entries) {
        if (skipFolders && entry->isFolder) continue;
        if (strncasecmp(entry->name, path, sizeof(entry->name)) == 0) return entry;
    }
    return nullptr;
}

bool ZResourceArchiveTar::enumerateFolder(const char* folder, ZResourceEnumCallback callback,
                                          void* user) {
    for (ZTarEntry* entry : m_entries)
        if (!enumerateEntry(folder, entry->name, entry->isFolder, callback, user)) return false;
    return true;
}

bool ZResourceArchiveTar::statFile(const char* path, ZResourceStat* stat) {
    ZTarEntry* entry = findEntry(path, false);
    if (!entry || !stat) return false;
    stat->isFolder = entry->isFolder;
    stat->isArchived = true;
    stat->modificationTime = entry->modificationTime;
    stat->size = entry->size;
    return true;
}

ZResourceFile* ZResourceArchiveTar::openFile(const char* path) {
    ZTarEntry* entry = findEntry(path, true);
    if (!entry || m_descriptor < 0) return nullptr;
    return new ZResourceFileTar(m_descriptor, entry->offset, entry->size);
}

bool ZResourceArchiveTar::loadFile(const char* path, unsigned char*& data, unsigned long& size) {
    ZTarEntry* entry = findEntry(path, true);
    if (!entry || m_descriptor < 0) return false;
    // The size was checked against the file's length when the archive was mounted.
    uint64_t wanted = static_cast<uint64_t>(entry->size);
    unsigned char* buffer = new (std::nothrow) unsigned char[wanted];
    if (!buffer) return false;
    if (readAt(m_descriptor, buffer, wanted, entry->offset) != wanted) {
        delete[] buffer;
        return false;
    }
    data = buffer;
    size = static_cast<unsigned long>(wanted);
    return true;
}
