#include "ZResourceArchiveZip.h"

#include <strings.h>
#include <zlib.h>

#include <climits>
#include <cstring>
#include <ctime>
#include <memory>
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
const size_t kExtraSize = 0xFFFF;  // the most a record's extra field can hold
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

// What other writers use, for the log.
const char* methodName(uint32_t method) {
    switch (method) {
        case 1:
            return "Shrink";
        case 6:
            return "Implode";
        case 9:
            return "Deflate64";
        case 12:
            return "BZip2";
        case 14:
            return "LZMA";
        case 93:
            return "Zstandard";
        case 95:
            return "XZ";
        case 98:
            return "PPMd";
        default:
            return "unknown";
    }
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

// Whether an extra field holds a record of the id; false also when its records do not fit it.
bool hasExtraField(const unsigned char* extra, size_t extraLength, uint16_t wanted) {
    for (size_t at = 0; at + 4 <= extraLength;) {
        size_t length = ZLittleEndian::read16(extra + at + 2);
        if (at + 4 + length > extraLength) return false;
        if (ZLittleEndian::read16(extra + at) == wanted) return true;
        at += 4 + length;
    }
    return false;
}

// What a directory record and its extra field tell about an entry the library cannot read.
struct CentralRecord {
    uint64_t compressed = 0;
    uint64_t uncompressed = 0;
    uint64_t localOffset = 0;
    bool aes = false;
    int vendorVersion = 0;
    int strength = 0;
    uint32_t method = 0;  // of the data inside the AES layer
};

// header is the record's fixed part. False when the extra field is malformed or lacks a zip64
// value that the header marks as overflowed.
bool parseCentralRecord(const unsigned char* header, const unsigned char* extra, size_t extraLength,
                        CentralRecord& record) {
    record.compressed = ZLittleEndian::read32(header + 20);
    record.uncompressed = ZLittleEndian::read32(header + 24);
    record.localOffset = ZLittleEndian::read32(header + 42);
    bool overflowed = record.compressed == 0xFFFFFFFFu || record.uncompressed == 0xFFFFFFFFu ||
                      record.localOffset == 0xFFFFFFFFu;
    bool foundZip64 = false;
    for (size_t at = 0; at + 4 <= extraLength;) {
        uint16_t id = ZLittleEndian::read16(extra + at);
        size_t length = ZLittleEndian::read16(extra + at + 2);
        const unsigned char* field = extra + at + 4;
        if (at + 4 + length > extraLength) return false;
        if (id == kExtraAes && length >= 7) {
            if (field[2] != 'A' || field[3] != 'E') return false;
            record.vendorVersion = ZLittleEndian::read16(field);
            record.strength = field[4];
            record.method = ZLittleEndian::read16(field + 5);
            record.aes = true;
        } else if (id == kExtraZip64 && !foundZip64) {
            // Only the values whose header field overflowed are present, in this order.
            size_t used = 0;
            for (uint64_t* value :
                 {&record.uncompressed, &record.compressed, &record.localOffset}) {
                if (*value != 0xFFFFFFFFu) continue;
                if (used + 8 > length) return false;
                *value = ZLittleEndian::read64(field + used);
                used += 8;
            }
            foundZip64 = true;
        }
        at += 4 + length;
    }
    return foundZip64 || !overflowed;
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
    m_index.clear();
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
    m_startSearched = false;
}

long ZResourceArchiveZip::openArchive(const char* path, long, const char* pass) {
    release();
    if (!path) return ZResourceErrorNoArchive;
    m_path = path;

    password[0] = '\0';
    if (pass) {
        size_t length = strnlen(pass, sizeof(password) - 1);
        memcpy(password, pass, length);
        password[length] = '\0';
    }

    zlib_filefunc_def callbacks = ZZipFileCallbacks::table(&m_stream);
    m_reader = unzOpen2(path, &callbacks);
    if (!m_reader) return openEmptyArchive(path) ? ZResourceOk : ZResourceErrorNoArchive;

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
        // A damaged directory may claim any count; each record takes 46 bytes at least.
        uint64_t most = static_cast<uint64_t>(m_archiveSize) / kCentralHeader;
        m_index.reserve(
            static_cast<size_t>(global.number_entry < most ? global.number_entry : most));
    } else {
        ZCore::logMessage("Resource: added archive '%s'", path);
    }

    if (unzGoToFirstFile(m_reader) != UNZ_OK) return ZResourceOk;
    std::unique_ptr<unsigned char[]> extra(new unsigned char[kExtraSize]);
    bool needStart = false;
    do {
        char entryName[kNameSize + 1];
        unz_file_info64 info;
        if (unzGetCurrentFileInfo64(m_reader, &info, entryName, kNameSize, extra.get(), kExtraSize,
                                    nullptr, 0) != UNZ_OK)
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
        m_index.add(entry->name, static_cast<size_t>(entry->nameLength), entry->isFolder, entry);
        if (unzGetFilePos(m_reader, &entry->position) != UNZ_OK) break;
        size_t extraLength = info.size_file_extra < kExtraSize ? info.size_file_extra : kExtraSize;
        if (hasExtraField(extra.get(), extraLength, kExtraZip64))
            readZip64Fields(entry, extra.get(), extraLength);
    } while (unzGoToNextFile(m_reader) == UNZ_OK);

    if (needStart) archiveStartKnown();
    return ZResourceOk;
}

bool ZResourceArchiveZip::openEmptyArchive(const char* path) {
    ZResource file;
    int size = 0;
    if (file.open(path, ZResourceModeRead) != ZResourceOk ||
        file.seek(ZResourceWhenceEnd, 0) != ZResourceOk || file.tell(size) != ZResourceOk ||
        size < int(kEndRecord) || size > int(kEndRecord) + 0xFFFF ||
        file.seek(ZResourceWhenceSet, 0) != ZResourceOk)
        return false;
    unsigned char record[kEndRecord];
    if (file.read(record, sizeof(record)) != ZResourceOk) return false;
    // No disk but the first, no entries, no directory, and only the comment after the record.
    if (ZLittleEndian::read32(record) != kEndSignature) return false;
    for (size_t at = 4; at < 20; at += 2)
        if (ZLittleEndian::read16(record + at) != 0) return false;
    if (ZLittleEndian::read16(record + 20) != size - int(kEndRecord)) return false;
    ZCore::logMessage("Resource: added archive '%s' with 0 entries", path);
    return true;
}

bool ZResourceArchiveZip::readZip64Fields(ZResourceArchiveZipEntry* entry,
                                          const unsigned char* extra, size_t extraLength) {
    if (!archiveStartKnown()) return false;
    unsigned char header[kCentralHeader];
    int64_t at = m_archiveStart + static_cast<int64_t>(entry->position.pos_in_zip_directory);
    CentralRecord record;
    if (!readAt(at, header, sizeof(header)) || ZLittleEndian::read32(header) != kCentralSignature ||
        ZLittleEndian::read16(header + 30) != extraLength ||
        !parseCentralRecord(header, extra, extraLength, record))
        return false;
    entry->compressedSize = record.compressed;
    entry->uncompressedSize = record.uncompressed;
    entry->localOffset = record.localOffset;
    entry->zip64 = true;
    return true;
}

bool ZResourceArchiveZip::archiveStartKnown() {
    if (!m_startSearched) {
        m_startSearched = true;
        findArchiveStart();
    }
    return m_archiveStart >= 0;
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

void ZResourceArchiveZip::logFailure(const ZResourceArchiveZipEntry* entry, const char* why) const {
    ZCore::logMessage("Resource: '%s' in archive '%s' %s, ERROR", entry->name, m_path.c_str(), why);
}

void ZResourceArchiveZip::logUnsupported(const ZResourceArchiveZipEntry* entry,
                                         uint32_t method) const {
    ZCore::logMessage(
        "Resource: '%s' in archive '%s' uses unsupported compression method %d (%s), "
        "ERROR",
        entry->name, m_path.c_str(), static_cast<int>(method), methodName(method));
}

ZResourceArchiveZipEntry* ZResourceArchiveZip::findEntry(const char* path, bool skipFolders) const {
    return static_cast<ZResourceArchiveZipEntry*>(m_index.find(path, skipFolders));
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
    bool aes = entry->method == ZZipDecoder::kMethodAes;
    // Without its optional decoders the library hands out other methods' raw bytes.
    if (!aes && !knownMethod(entry->method)) {
        logUnsupported(entry, entry->method);
        return false;
    }
    if ((aes || (entry->flags & kFlagEncrypted)) && !password[0]) {
        logFailure(entry, "is encrypted and no password was given");
        return false;
    }
    if (entry->compressedSize > static_cast<uint64_t>(m_archiveSize) ||
        !plausibleSize(entry->method, entry->compressedSize, entry->uncompressedSize))
        return false;
    if (aes) return extractAes(entry, data);
    if (entry->zip64) return extractZip64(entry, data);
    if (unzGoToFilePos(m_reader, &entry->position) != UNZ_OK) return false;
    if (entry->flags & kFlagEncrypted) return extractTraditional(entry, data);
    return extractPlain(entry, data);
}

bool ZResourceArchiveZip::extractPlain(ZResourceArchiveZipEntry* entry, unsigned char*& data) {
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

bool ZResourceArchiveZip::traditionalSizesPlausible(const ZResourceArchiveZipEntry* entry) const {
    uint64_t compressed = entry->compressedSize;
    return compressed >= ZZipDecoder::kTraditionalHeader &&
           plausibleSize(entry->method, compressed - ZZipDecoder::kTraditionalHeader,
                         entry->uncompressedSize);
}

bool ZResourceArchiveZip::decodeTraditional(ZResourceArchiveZipEntry* entry, unsigned char* raw,
                                            unsigned char*& data) {
    uint64_t compressed = entry->compressedSize;
    unsigned char check = static_cast<unsigned char>(
        entry->flags & kFlagDataDescriptor ? entry->dosDateTime >> 8 : entry->crc >> 24);
    if (!ZZipDecoder::decryptTraditional(password, raw, compressed, check)) {
        logFailure(entry, "was not decrypted: wrong password");
        return false;
    }
    // One wrong password in 256 passes the check byte; the CRC then tells.
    if (!decodeBody(entry->method, raw + ZZipDecoder::kTraditionalHeader,
                    compressed - ZZipDecoder::kTraditionalHeader, entry->uncompressedSize, true,
                    entry->crc, data)) {
        logFailure(entry, "was not decrypted: wrong password or damaged data");
        return false;
    }
    return true;
}

// The system's zip library is built without decryption: its raw mode finds the encrypted bytes
// and the decoder does the rest.
bool ZResourceArchiveZip::extractTraditional(ZResourceArchiveZipEntry* entry,
                                             unsigned char*& data) {
    if (!traditionalSizesPlausible(entry)) return false;
    uint64_t compressed = entry->compressedSize;
    int method = 0;
    int level = 0;
    if (unzOpenCurrentFile2(m_reader, &method, &level, 1) != UNZ_OK) return false;
    unsigned char* raw = new (std::nothrow) unsigned char[compressed];
    int read = raw ? unzReadCurrentFile(m_reader, raw, static_cast<unsigned>(compressed)) : -1;
    unzCloseCurrentFile(m_reader);
    bool ok = read >= 0 && static_cast<uint64_t>(read) == compressed &&
              decodeTraditional(entry, raw, data);
    delete[] raw;
    return ok;
}

// The system's zip library reports the placeholders of zip64 fields, so such entries are read
// from their local header and decoded here, checked against the CRC.
bool ZResourceArchiveZip::extractZip64(ZResourceArchiveZipEntry* entry, unsigned char*& data) {
    bool encrypted = entry->flags & kFlagEncrypted;
    if (encrypted && !traditionalSizesPlausible(entry)) return false;
    unsigned char* raw = nullptr;
    if (!readStoredBytes(entry->localOffset, entry->compressedSize, raw)) return false;
    bool ok = encrypted ? decodeTraditional(entry, raw, data)
                        : decodeBody(entry->method, raw, entry->compressedSize,
                                     entry->uncompressedSize, true, entry->crc, data);
    delete[] raw;
    return ok;
}

bool ZResourceArchiveZip::readStoredBytes(uint64_t localOffset, uint64_t compressed,
                                          unsigned char*& raw) {
    if (m_archiveStart < 0 || localOffset > uint64_t(INT_MAX)) return false;
    unsigned char local[kLocalHeader];
    int64_t localAt = m_archiveStart + static_cast<int64_t>(localOffset);
    if (!readAt(localAt, local, sizeof(local)) || ZLittleEndian::read32(local) != kLocalSignature)
        return false;
    int64_t dataAt = localAt + int64_t(kLocalHeader) + ZLittleEndian::read16(local + 26) +
                     ZLittleEndian::read16(local + 28);
    if (compressed > static_cast<uint64_t>(m_archiveSize) ||
        dataAt + static_cast<int64_t>(compressed) > m_archiveSize)
        return false;
    unsigned char* bytes = new (std::nothrow) unsigned char[compressed];
    if (!bytes || !readAt(dataAt, bytes, static_cast<unsigned long>(compressed))) {
        delete[] bytes;
        return false;
    }
    raw = bytes;
    return true;
}

// The system's zip library refuses compression method 99, so the entry is located from its
// directory record and local header, read through the same handle.
bool ZResourceArchiveZip::extractAes(ZResourceArchiveZipEntry* entry, unsigned char*& data) {
    if (!archiveStartKnown()) return false;

    int64_t record = m_archiveStart + static_cast<int64_t>(entry->position.pos_in_zip_directory);
    unsigned char header[kCentralHeader];
    if (!readAt(record, header, sizeof(header)) ||
        ZLittleEndian::read32(header) != kCentralSignature ||
        ZLittleEndian::read16(header + 10) != ZZipDecoder::kMethodAes)
        return false;
    size_t extraLength = ZLittleEndian::read16(header + 30);
    unsigned char* extra = new (std::nothrow) unsigned char[extraLength + 1];
    CentralRecord aes;
    bool ok = extra &&
              readAt(record + int64_t(kCentralHeader) + ZLittleEndian::read16(header + 28), extra,
                     extraLength) &&
              parseCentralRecord(header, extra, extraLength, aes) && aes.aes;
    delete[] extra;
    if (ok && !knownMethod(aes.method)) {
        logUnsupported(entry, aes.method);
        return false;
    }
    size_t saltLength = ZZipDecoder::aesSaltLength(aes.strength);
    size_t overhead = saltLength + ZZipDecoder::kAesVerifier + ZZipDecoder::kAesCode;
    uint64_t compressed = entry->compressedSize;
    uint64_t size = entry->uncompressedSize;
    if (!ok || !saltLength || compressed < overhead ||
        !plausibleSize(aes.method, compressed - overhead, size))
        return false;

    unsigned char* raw = nullptr;
    if (!readStoredBytes(aes.localOffset, compressed, raw)) return false;
    // Version 2 leaves the CRC out: the authentication code stands for it.
    bool wrongPassword = false;
    ok = ZZipDecoder::decryptAes(password, aes.strength, raw, compressed, &wrongPassword) &&
         decodeBody(aes.method, raw + saltLength + ZZipDecoder::kAesVerifier, compressed - overhead,
                    size, aes.vendorVersion == 1, entry->crc, data);
    if (wrongPassword) logFailure(entry, "was not decrypted: wrong password");
    delete[] raw;
    return ok;
}
