#include "ZResourceArchiveZip.h"

#include <strings.h>
#include <zlib.h>

#include <climits>
#include <cstring>
#include <ctime>
#include <new>

#include "ZCore.h"
#include "ZLittleEndian.h"
#include "ZResource.h"
#include "ZResourceFileZip.h"
#include "ZSysLock.h"
#include "ZZipDecoder.h"
#include "ZZipFileCallbacks.h"

int64_t ZResourceArchiveZip::g_nInstances = 0;
ZSysLock* ZResourceArchiveZip::g_lpLock = nullptr;

namespace {

const size_t kNameSize = 260;
const uint32_t kFlagEncrypted = 1;
const uint32_t kFlagDataDescriptor = 8;
const uint32_t kCentralSignature = 0x02014b50;
const uint32_t kLocalSignature = 0x04034b50;
const uint32_t kEndSignature = 0x06054b50;
const uint32_t kEnd64LocatorSignature = 0x07064b50;
const uint32_t kEnd64Signature = 0x06064b50;
const size_t kCentralHeader = 46;
const size_t kLocalHeader = 30;
const size_t kEndRecord = 22;
const size_t kEnd64Locator = 20;
const size_t kEnd64Record = 56;
const uint16_t kExtraZip64 = 0x0001;
const uint16_t kExtraAes = 0x9901;
// Deflate cannot compress better than about 1032 to 1.
const uint64_t kDeflateRatio = 1032;
const uint64_t kDeflateSlack = 1024;

bool knownMethod(uint32_t method) {
    return method == ZZipDecoder::kMethodStored || method == ZZipDecoder::kMethodDeflated;
}

// The most that compressed bytes of data can honestly inflate to.
bool plausibleSize(uint32_t method, uint64_t compressed, uint64_t uncompressed) {
    if (uncompressed > ZResourceArchiveZip::kMaxEntrySize) return false;
    if (method == ZZipDecoder::kMethodStored) return uncompressed <= compressed;
    return uncompressed <= compressed * kDeflateRatio + kDeflateSlack;
}

bool crcMatches(const unsigned char* data, uint64_t size, uint32_t crc) {
    return crc32(crc32(0, Z_NULL, 0), data, static_cast<uInt>(size)) == crc;
}

// Decodes a decrypted body into a new buffer of size bytes, checked against the CRC when
// checkCrc is set; data receives the buffer only when all of that succeeds.
bool decodeBody(uint32_t method, const unsigned char* body, uint64_t bodySize, uint64_t size,
                bool checkCrc, uint32_t crc, unsigned char*& data) {
    unsigned char* buffer = new (std::nothrow) unsigned char[size];
    if (!buffer || !ZZipDecoder::decode(method, body, bodySize, buffer, size) ||
        (checkCrc && !crcMatches(buffer, size, crc))) {
        delete[] buffer;
        return false;
    }
    data = buffer;
    return true;
}

// What the AES extra field and the directory record tell about an entry the library cannot read.
struct AesEntry {
    int vendorVersion = 0;
    int strength = 0;
    uint32_t method = 0;
    uint64_t localOffset = 0;
};

bool parseCentralRecord(const unsigned char* header, const unsigned char* extra, size_t extraLength,
                        AesEntry& aes) {
    uint64_t localOffset = ZLittleEndian::read32(header + 42);
    bool needOffset = localOffset == 0xFFFFFFFFu;
    bool foundAes = false;
    for (size_t at = 0; at + 4 <= extraLength;) {
        uint16_t id = ZLittleEndian::read16(extra + at);
        size_t length = ZLittleEndian::read16(extra + at + 2);
        const unsigned char* field = extra + at + 4;
        if (at + 4 + length > extraLength) return false;
        if (id == kExtraAes && length >= 7) {
            if (field[2] != 'A' || field[3] != 'E') return false;
            aes.vendorVersion = ZLittleEndian::read16(field);
            aes.strength = field[4];
            aes.method = ZLittleEndian::read16(field + 5);
            foundAes = true;
        } else if (id == kExtraZip64 && needOffset) {
            // Only the fields whose header value overflowed are present, in this order.
            size_t skip = 0;
            if (ZLittleEndian::read32(header + 24) == 0xFFFFFFFFu) skip += 8;
            if (ZLittleEndian::read32(header + 20) == 0xFFFFFFFFu) skip += 8;
            if (skip + 8 > length) return false;
            localOffset = ZLittleEndian::read64(field + skip);
            needOffset = false;
        }
        at += 4 + length;
    }
    aes.localOffset = localOffset;
    return foundAes && !needOffset;
}

}  // namespace

ZResourceArchiveZip::ZResourceArchiveZip() {
    if (g_nInstances == 0 && !g_lpLock) g_lpLock = new ZSysLock();
    g_nInstances++;
    password[0] = '\0';
}

ZResourceArchiveZip::~ZResourceArchiveZip() {
    release();
    if (--g_nInstances == 0) {
        delete g_lpLock;
        g_lpLock = nullptr;
    }
}

void ZResourceArchiveZip::release() {
    if (m_reader) unzClose(m_reader);
    m_reader = nullptr;
    m_stream = nullptr;
    if (g_lpLock) g_lpLock->acquire();
    for (ZResourceArchiveZipEntry* entry : m_entries) {
        m_entries.remove(entry);
        if (entry->referenceCount > 0) {
            entry->orphaned = true;
        } else {
            delete entry;
        }
    }
    if (g_lpLock) g_lpLock->release();
    m_archiveSize = 0;
    m_archiveStart = -1;
}

long ZResourceArchiveZip::openArchive(const char* path, long, const char* pass) {
    release();
    if (!path) return ZResourceErrorNoArchive;

    zlib_filefunc_def callbacks = ZZipFileCallbacks::table(&m_stream);
    m_reader = unzOpen2(path, &callbacks);
    if (!m_reader) return ZResourceErrorNoArchive;

    password[0] = '\0';
    if (pass) {
        size_t length = strnlen(pass, sizeof(password) - 1);
        memcpy(password, pass, length);
        password[length] = '\0';
    }

    // Sizes the directory claims are checked against the archive's own length.
    int end = 0;
    if (m_stream && m_stream->seek(ZResourceWhenceEnd, 0) == ZResourceOk &&
        m_stream->tell(end) == ZResourceOk)
        m_archiveSize = end;

    unz_global_info global;
    if (unzGetGlobalInfo(m_reader, &global) == UNZ_OK) {
        ZCore::logMessage("Resource: added archive '%s' with %d %s", path,
                          static_cast<int>(global.number_entry),
                          global.number_entry == 1 ? "entry" : "entries");
    } else {
        ZCore::logMessage("Resource: added archive '%s'", path);
    }

    if (unzGoToFirstFile(m_reader) != UNZ_OK) return ZResourceOk;
    bool needStart = false;
    do {
        char entryName[kNameSize + 1];
        unz_file_info64 info;
        if (unzGetCurrentFileInfo64(m_reader, &info, entryName, kNameSize, nullptr, 0, nullptr,
                                    0) != UNZ_OK)
            break;
        // The library leaves a name that fills the buffer unterminated.
        entryName[info.size_filename < kNameSize ? info.size_filename : kNameSize - 1] = '\0';
        ZResourceArchiveZipEntry* entry =
            new ZResourceArchiveZipEntry(entryName, strlen(entryName));
        entry->uncompressedSize = info.uncompressed_size;
        entry->compressedSize = info.compressed_size;
        entry->dosDateTime = static_cast<uint32_t>(info.dosDate);
        entry->crc = static_cast<uint32_t>(info.crc);
        entry->flags = static_cast<uint32_t>(info.flag);
        entry->method = static_cast<uint32_t>(info.compression_method);
        needStart |= entry->method == ZZipDecoder::kMethodAes;
        m_entries.addToTail(entry);
        if (unzGetFilePos(m_reader, &entry->position) != UNZ_OK) break;
    } while (unzGoToNextFile(m_reader) == UNZ_OK);

    if (needStart) findArchiveStart();
    return ZResourceOk;
}

// The directory's offsets count from the zip's first byte, which is not the file's when data
// precedes the zip. Found as the zip library finds it: from the end-of-directory record (or
// its 64-bit form), whose position and recorded offset differ by exactly that much.
bool ZResourceArchiveZip::findArchiveStart() {
    int64_t tailLength =
        m_archiveSize < 0xFFFF + int64_t(kEndRecord) ? m_archiveSize : 0xFFFF + int64_t(kEndRecord);
    if (tailLength < int64_t(kEndRecord)) return false;
    int64_t tailStart = m_archiveSize - tailLength;
    unsigned char* tail = new (std::nothrow) unsigned char[tailLength];
    if (!tail || !readAt(tailStart, tail, static_cast<unsigned long>(tailLength))) {
        delete[] tail;
        return false;
    }
    int64_t end = -1;
    for (int64_t at = tailLength - int64_t(kEndRecord); at >= 0 && end < 0; at--)
        if (ZLittleEndian::read32(tail + at) == kEndSignature) end = at;
    if (end < 0) {
        delete[] tail;
        return false;
    }
    uint64_t directorySize = ZLittleEndian::read32(tail + end + 12);
    uint64_t directoryOffset = ZLittleEndian::read32(tail + end + 16);
    int64_t directoryEnd = tailStart + end;
    bool ok = true;
    unsigned char locator[kEnd64Locator];
    if (directoryEnd >= int64_t(kEnd64Locator) &&
        readAt(directoryEnd - int64_t(kEnd64Locator), locator, sizeof(locator)) &&
        ZLittleEndian::read32(locator) == kEnd64LocatorSignature) {
        unsigned char record[kEnd64Record];
        uint64_t recordAt = ZLittleEndian::read64(locator + 8);
        ok = recordAt <= uint64_t(INT_MAX) && readAt(int64_t(recordAt), record, sizeof(record)) &&
             ZLittleEndian::read32(record) == kEnd64Signature;
        if (ok) {
            directorySize = ZLittleEndian::read64(record + 40);
            directoryOffset = ZLittleEndian::read64(record + 48);
            directoryEnd = int64_t(recordAt);
        }
    }
    delete[] tail;
    if (!ok || directorySize > uint64_t(directoryEnd) ||
        directoryOffset > uint64_t(directoryEnd) - directorySize)
        return false;
    m_archiveStart = directoryEnd - int64_t(directorySize + directoryOffset);
    return true;
}

bool ZResourceArchiveZip::readAt(int64_t offset, void* buffer, unsigned long count) {
    if (!m_stream || offset < 0 || offset > INT_MAX) return false;
    return m_stream->seek(ZResourceWhenceSet, static_cast<int>(offset)) == ZResourceOk &&
           m_stream->read(buffer, count) == ZResourceOk;
}

ZResourceArchiveZipEntry* ZResourceArchiveZip::findEntry(const char* path, bool skipFolders) const {
    if (!path) return nullptr;
    uint64_t length = strlen(path);
    for (ZResourceArchiveZipEntry* entry : m_entries) {
        if (skipFolders && entry->isFolder) continue;
        if (entry->nameLength == length && strncasecmp(entry->name, path, length) == 0)
            return entry;
    }
    return nullptr;
}

bool ZResourceArchiveZip::enumerateFolder(const char* folder, ZResourceEnumCallback callback,
                                          void* user) {
    for (ZResourceArchiveZipEntry* entry : m_entries)
        if (!enumerateEntry(folder, entry->name, entry->isFolder, callback, user)) return false;
    return true;
}

bool ZResourceArchiveZip::statFile(const char* path, ZResourceStat* stat) {
    if (!m_reader || !stat) return false;
    ZResourceArchiveZipEntry* entry = findEntry(path, false);
    if (!entry) return false;

    uint32_t dos = entry->dosDateTime;
    struct tm local;
    memset(&local, 0, sizeof(local));
    local.tm_sec = static_cast<int>(2 * (dos & 0x1f));
    local.tm_min = static_cast<int>((dos >> 5) & 0x3f);
    local.tm_hour = static_cast<int>((dos >> 11) & 0x1f);
    local.tm_mday = static_cast<int>((dos >> 16) & 0x1f);
    local.tm_mon = static_cast<int>((dos >> 21) & 0x0f) - 1;
    local.tm_year = static_cast<int>(80 + ((dos >> 25) & 0x7f));
    local.tm_isdst = -1;

    stat->isFolder = false;
    stat->isArchived = true;
    stat->modificationTime = static_cast<int64_t>(mktime(&local));
    stat->size = static_cast<int64_t>(entry->uncompressedSize);
    return true;
}

ZResourceFile* ZResourceArchiveZip::openFile(const char* path) {
    if (!m_reader) return nullptr;
    ZResourceArchiveZipEntry* entry = findEntry(path, true);
    if (!entry) return nullptr;

    g_lpLock->acquire();
    bool ok = true;
    if (entry->referenceCount >= 1) {
        entry->referenceCount++;
    } else {
        unsigned char* data = nullptr;
        ok = extract(entry, data);
        if (ok) {
            entry->contents = data;
            entry->referenceCount = 1;
        }
    }
    g_lpLock->release();
    if (!ok) return nullptr;
    return new ZResourceFileZip(entry);
}

bool ZResourceArchiveZip::loadFile(const char* path, unsigned char*& data, unsigned long& size) {
    if (!m_reader) return false;
    ZResourceArchiveZipEntry* entry = findEntry(path, true);
    if (!entry) return false;

    unsigned char* loaded = nullptr;
    g_lpLock->acquire();
    bool ok = extract(entry, loaded);
    g_lpLock->release();
    if (!ok) return false;
    data = loaded;
    size = static_cast<unsigned long>(entry->uncompressedSize);
    return true;
}

bool ZResourceArchiveZip::extract(ZResourceArchiveZipEntry* entry, unsigned char*& data) {
    if (entry->compressedSize > static_cast<uint64_t>(m_archiveSize) ||
        !plausibleSize(entry->method, entry->compressedSize, entry->uncompressedSize))
        return false;
    if (unzGoToFilePos(m_reader, &entry->position) != UNZ_OK) return false;
    if (entry->method == ZZipDecoder::kMethodAes) return extractAes(entry, data);
    if (entry->flags & kFlagEncrypted) return extractTraditional(entry, data);
    return extractPlain(entry, data);
}

bool ZResourceArchiveZip::extractPlain(ZResourceArchiveZipEntry* entry, unsigned char*& data) {
    // Without its optional decoders the library hands out other methods' raw bytes.
    if (!knownMethod(entry->method)) return false;
    if (unzOpenCurrentFile(m_reader) != UNZ_OK) return false;
    uint64_t size = entry->uncompressedSize;
    unsigned char* buffer = new (std::nothrow) unsigned char[size]();
    int read = buffer ? unzReadCurrentFile(m_reader, buffer, static_cast<unsigned>(size)) : -1;
    // Closing checks the CRC once the whole entry was read.
    int closed = unzCloseCurrentFile(m_reader);
    if (read < 0 || static_cast<uint64_t>(read) != size || closed != UNZ_OK) {
        delete[] buffer;
        return false;
    }
    data = buffer;
    return true;
}

// The system's zip library is built without decryption: its raw mode finds the encrypted bytes
// and the decoder does the rest.
bool ZResourceArchiveZip::extractTraditional(ZResourceArchiveZipEntry* entry,
                                             unsigned char*& data) {
    uint64_t compressed = entry->compressedSize;
    uint64_t size = entry->uncompressedSize;
    if (!password[0] || !knownMethod(entry->method) || compressed < ZZipDecoder::kTraditionalHeader)
        return false;
    uint64_t body = compressed - ZZipDecoder::kTraditionalHeader;
    if (!plausibleSize(entry->method, body, size)) return false;

    int method = 0;
    int level = 0;
    if (unzOpenCurrentFile2(m_reader, &method, &level, 1) != UNZ_OK) return false;
    unsigned char* raw = new (std::nothrow) unsigned char[compressed];
    int read = raw ? unzReadCurrentFile(m_reader, raw, static_cast<unsigned>(compressed)) : -1;
    unzCloseCurrentFile(m_reader);

    unsigned char check = static_cast<unsigned char>(
        entry->flags & kFlagDataDescriptor ? entry->dosDateTime >> 8 : entry->crc >> 24);
    bool ok = read >= 0 && static_cast<uint64_t>(read) == compressed &&
              ZZipDecoder::decryptTraditional(password, raw, compressed, check) &&
              decodeBody(entry->method, raw + ZZipDecoder::kTraditionalHeader, body, size, true,
                         entry->crc, data);
    delete[] raw;
    return ok;
}

// The system's zip library refuses compression method 99, so the entry is located from its
// directory record and local header, read through the same handle.
bool ZResourceArchiveZip::extractAes(ZResourceArchiveZipEntry* entry, unsigned char*& data) {
    if (!password[0] || m_archiveStart < 0) return false;

    int64_t record = m_archiveStart + static_cast<int64_t>(entry->position.pos_in_zip_directory);
    unsigned char header[kCentralHeader];
    if (!readAt(record, header, sizeof(header)) ||
        ZLittleEndian::read32(header) != kCentralSignature ||
        ZLittleEndian::read16(header + 10) != ZZipDecoder::kMethodAes)
        return false;
    size_t extraLength = ZLittleEndian::read16(header + 30);
    unsigned char* extra = new (std::nothrow) unsigned char[extraLength + 1];
    AesEntry aes;
    bool ok = extra &&
              readAt(record + int64_t(kCentralHeader) + ZLittleEndian::read16(header + 28), extra,
                     extraLength) &&
              parseCentralRecord(header, extra, extraLength, aes);
    delete[] extra;
    size_t saltLength = ZZipDecoder::aesSaltLength(aes.strength);
    size_t overhead = saltLength + ZZipDecoder::kAesVerifier + ZZipDecoder::kAesCode;
    uint64_t compressed = entry->compressedSize;
    uint64_t size = entry->uncompressedSize;
    if (!ok || !saltLength || !knownMethod(aes.method) || compressed < overhead ||
        !plausibleSize(aes.method, compressed - overhead, size) ||
        aes.localOffset > uint64_t(INT_MAX))
        return false;

    unsigned char local[kLocalHeader];
    int64_t localAt = m_archiveStart + static_cast<int64_t>(aes.localOffset);
    if (!readAt(localAt, local, sizeof(local)) || ZLittleEndian::read32(local) != kLocalSignature)
        return false;
    int64_t dataAt = localAt + int64_t(kLocalHeader) + ZLittleEndian::read16(local + 26) +
                     ZLittleEndian::read16(local + 28);
    if (dataAt + static_cast<int64_t>(compressed) > m_archiveSize) return false;

    unsigned char* raw = new (std::nothrow) unsigned char[compressed];
    // Version 2 leaves the CRC out: the authentication code stands for it.
    ok = raw && readAt(dataAt, raw, static_cast<unsigned long>(compressed)) &&
         ZZipDecoder::decryptAes(password, aes.strength, raw, compressed) &&
         decodeBody(aes.method, raw + saltLength + ZZipDecoder::kAesVerifier, compressed - overhead,
                    size, aes.vendorVersion == 1, entry->crc, data);
    delete[] raw;
    return ok;
}
