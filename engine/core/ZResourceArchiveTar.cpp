#include "ZResourceArchiveTar.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <string>
#include <unordered_map>

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
const size_t kLinkAt = 157, kLinkWidth = 100;
const size_t kMagicAt = 257, kMagicWidth = 8;  // magic and version
const size_t kPrefixAt = 345, kPrefixWidth = 155;
// Old GNU sparse headers: set when further blocks of the sparse map follow the header, and in
// each of those when another follows it.
const size_t kSparseMoreAt = 482, kSparseBlockMoreAt = 504;
// Long names and pax records are read up to this much of their data.
const int64_t kMaxExtensionData = int64_t(1) << 20;
const size_t kMaxName = sizeof(ZTarEntry::name) - 1;

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

// The text of a field or a block of data: up to its first NUL, at most width bytes.
std::string fieldText(const void* text, size_t width) {
    return std::string(static_cast<const char*>(text),
                       strnlen(static_cast<const char*>(text), width));
}

// A member's name as it is looked up: up to a NUL, cut to what an entry holds, and without the
// "./" of writers that archive "." ("./a.txt" is "a.txt"; "./" itself, the archived folder, has
// no name at all).
std::string plainName(std::string name) {
    name.resize(strnlen(name.c_str(), name.size()));
    size_t skip = 0;
    while (name.compare(skip, 2, "./") == 0) skip += 2;
    name.erase(0, skip);
    if (name == ".") name.clear();
    if (name.size() > kMaxName) name.resize(kMaxName);
    return name;
}

// What a pax extended header ('x') says about the member after it.
struct PaxRecords {
    bool hasPath = false, hasLinkPath = false, hasSize = false, sparse = false;
    std::string path, linkPath, sparseName;
    int64_t size = 0;
};

bool parseDecimal(const std::string& text, int64_t& value) {
    if (text.empty()) return false;
    int64_t result = 0;
    for (char c : text) {
        if (c < '0' || c > '9' || result > (INT64_MAX - (c - '0')) / 10) return false;
        result = result * 10 + (c - '0');
    }
    value = result;
    return true;
}

// Records are "<length> <key>=<value>\n", the length counting the whole record; reading stops
// at the first that is not. An empty value takes a key back.
void parsePax(const std::string& data, PaxRecords& pax) {
    for (size_t at = 0; at < data.size();) {
        size_t space = data.find(' ', at);
        int64_t length = 0;
        if (space == std::string::npos || !parseDecimal(data.substr(at, space - at), length) ||
            length < int64_t(space - at + 3) || uint64_t(length) > data.size() - at ||
            data[at + size_t(length) - 1] != '\n')
            return;
        std::string record = data.substr(space + 1, at + size_t(length) - 1 - (space + 1));
        at += size_t(length);
        size_t equals = record.find('=');
        if (equals == std::string::npos) return;
        std::string key = record.substr(0, equals);
        std::string value = record.substr(equals + 1);
        if (key == "path") {
            pax.path = value;
            pax.hasPath = !value.empty();
        } else if (key == "linkpath") {
            pax.linkPath = value;
            pax.hasLinkPath = !value.empty();
        } else if (key == "size") {
            pax.hasSize = parseDecimal(value, pax.size);
        } else if (key.compare(0, 11, "GNU.sparse.") == 0) {
            // The data holds a sparse map and pieces, not the file's bytes.
            pax.sparse = true;
            if (key == "GNU.sparse.name") pax.sparseName = value;
        }
    }
}

// What the extension headers before a member said about it.
struct Pending {
    bool hasLongName = false, hasLongLink = false;
    std::string longName, longLink;  // GNU "././@LongLink" blocks: 'K' for the link's target
    PaxRecords pax;
};

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
    m_index.clear();
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
    Pending pending;
    // The files made so far by exact name, latest last: the targets of hard links.
    std::unordered_map<std::string, ZTarEntry*> files;
    int zeroRun = 0;
    bool sawZero = false, sawHeader = false;

    for (int64_t at = 0; at < m_length;) {
        Block kind = readBlock(at, block);
        if (kind == Block::End) break;
        if (kind == Block::Zero) {
            sawZero = true;
            pending = Pending();
            if (++zeroRun == 2) break;
            at += kBlock;
            continue;
        }
        zeroRun = 0;
        // The first header decides whether this is a tar at all; a later bad one is damage.
        if (kind == Block::Invalid) return sawHeader;
        sawHeader = true;

        int64_t size = 0;
        if (!parseNumber(block + kSizeAt, kNumberWidth, size)) break;
        if (size < 0) {
            ZCore::logMessage("Resource: archive '%s' seems to be invalid, WARNING", path);
            break;
        }
        char type = static_cast<char>(block[kTypeAt]);
        std::string fieldName = fieldText(block + kNameAt, kNameWidth);
        bool longLink = fieldName == kLongLink;
        bool extension = longLink || type == 'x' || type == 'g';
        if (!extension && pending.pax.hasSize) size = pending.pax.size;

        int64_t dataAt = at + kBlock;
        // An old GNU sparse header may go on in blocks of its own before the data.
        if (type == 'S' && block[kSparseMoreAt]) {
            unsigned char more[kBlock];
            bool readable = true;
            do {
                readable = readAt(m_descriptor, more, kBlock, dataAt) == uint64_t(kBlock);
                dataAt += kBlock;
            } while (readable && more[kSparseBlockMoreAt]);
            if (!readable) break;
        }
        // The size is checked against the file before anything is made or allocated from it.
        if (size > m_length - dataAt) break;
        int64_t next = dataAt + size + (kBlock - size % kBlock) % kBlock;

        if (extension) {
            std::string text;
            if (type != 'g') {
                int64_t wanted = size < kMaxExtensionData ? size : kMaxExtensionData;
                text.resize(static_cast<size_t>(wanted));
                if (readAt(m_descriptor, &text[0], uint64_t(wanted), dataAt) != uint64_t(wanted))
                    text.clear();
            }
            if (longLink && type == 'K') {
                pending.longLink = fieldText(text.data(), text.size());
                pending.hasLongLink = !text.empty();
            } else if (longLink) {
                pending.longName = fieldText(text.data(), text.size());
                pending.hasLongName = !text.empty();
            } else if (type == 'x') {
                parsePax(text, pending.pax);
            }
            // Global pax headers ('g') say nothing this reader uses.
            at = next;
            continue;
        }

        std::string name;
        if (pending.pax.hasPath) {
            name = pending.pax.path;
        } else if (pending.hasLongName) {
            name = pending.longName;
        } else {
            std::string prefix = fieldText(block + kPrefixAt, kPrefixWidth);
            name = isPosixMagic(block) && !prefix.empty() ? prefix + "/" + fieldName : fieldName;
        }
        name = plainName(name);

        int64_t time = 0;
        if (!parseNumber(block + kTimeAt, kNumberWidth, time)) time = 0;
        ZTarEntry* source = nullptr;  // whose data a hard link reads
        bool member = false;
        if (type == 'S' || pending.pax.sparse) {
            ZCore::logMessage(
                "Resource: archive '%s': sparse member '%s' skipped, WARNING", path,
                pending.pax.sparseName.empty() ? name.c_str() : pending.pax.sparseName.c_str());
        } else if (type == '2') {
            ZCore::logMessage("Resource: archive '%s': symbolic link '%s' skipped, WARNING", path,
                              name.c_str());
        } else if (type == '1' && size == 0) {
            std::string target = pending.pax.hasLinkPath ? pending.pax.linkPath
                                 : pending.hasLongLink   ? pending.longLink
                                                         : fieldText(block + kLinkAt, kLinkWidth);
            target = plainName(target);
            auto found = files.find(target);
            if (found != files.end()) {
                source = found->second;
                member = true;
            } else {
                ZCore::logMessage(
                    "Resource: archive '%s': hard link '%s' names no earlier file '%s', skipped, "
                    "WARNING",
                    path, name.c_str(), target.c_str());
            }
        } else {
            // A hard link that carries its data is read like a file.
            member = type == '\0' || type == '0' || type == '5' || type == '1';
        }

        if (member && !name.empty()) {
            ZTarEntry* entry = new ZTarEntry();
            entry->isFolder = type == '5';
            entry->offset = entry->isFolder ? 0 : source ? source->offset : dataAt;
            entry->size = entry->isFolder ? 0 : source ? source->size : size;
            entry->modificationTime = time;
            memcpy(entry->name, name.data(), name.size());
            entry->name[name.size()] = '\0';
            m_entries.addToTail(entry);
            m_index.add(entry->name, name.size(), entry->isFolder, entry);
            if (!entry->isFolder) files[name] = entry;
        }
        pending = Pending();
        at = next;
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
    return static_cast<ZTarEntry*>(m_index.find(path, skipFolders));
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
