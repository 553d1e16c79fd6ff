#include "ZIniReader.h"

#include <locale.h>
#include <openssl/evp.h>
#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "ZCore.h"
#include "ZLittleEndian.h"
#include "ZMiscTools.h"
#include "ZRandom.h"
#include "ZResource.h"
#include "ZZipDecoder.h"

namespace {

// Longest section name, key or value kept by the text grammar.
constexpr unsigned long kMaxText = 255;
constexpr uint32_t kMagicFamilyMask = ~0xFu;
constexpr uint32_t kMagicFamily = 0x494E4210;
constexpr uint64_t kEntryHeaderSize = 5;  // hash and length byte
constexpr uint64_t kPlainHeaderSize = 12;
constexpr uint64_t kCompressedHeaderSize = 20;
// Deflate expands at most about 1032 to 1, so a larger claimed length cannot be genuine.
constexpr uint64_t kMaxInflateRatio = 1032;
constexpr long kMaxSalts = 1000;
constexpr unsigned long kAesBlock = 16;

bool isHashedForm(const unsigned char* data, uint64_t length) {
    return length >= 4 && (ZLittleEndian::read32(data) & kMagicFamilyMask) == kMagicFamily;
}

// One C locale for the whole process, made on first use and kept.
locale_t cLocale() {
    static locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return locale;
}

// Encrypts or decrypts whole AES blocks in place; false for a bad key length or a partial block.
bool aesEcbInPlace(bool encrypt, const char* key, unsigned long keyLength, unsigned char* data,
                   uint64_t length) {
    const EVP_CIPHER* cipher = ZZipDecoder::aesEcbCipher(keyLength);
    if (!cipher || !key || length % kAesBlock != 0 || length > INT_MAX) return false;
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    if (!context) return false;
    int updated = 0;
    int finished = 0;
    bool ok =
        EVP_CipherInit_ex(context, cipher, nullptr, reinterpret_cast<const unsigned char*>(key),
                          nullptr, encrypt ? 1 : 0) == 1 &&
        EVP_CIPHER_CTX_set_padding(context, 0) == 1 &&
        EVP_CipherUpdate(context, data, &updated, data, static_cast<int>(length)) == 1 &&
        EVP_CipherFinal_ex(context, data + updated, &finished) == 1 &&
        static_cast<uint64_t>(updated) + static_cast<uint64_t>(finished) == length;
    EVP_CIPHER_CTX_free(context);
    return ok;
}

// Walks an ini text once and calls found(section, key, value) for each setting line, until it
// returns false. Nothing is trimmed; names and values longer than 255 characters are cut.
template <class Found>
void walkIniText(const char* text, Found&& found) {
    char section[kMaxText + 1] = "";
    char key[kMaxText + 1];
    char value[kMaxText + 1];
    const char* p = text;
    while (*p) {
        if (*p == '\r' || *p == '\n') {
            p++;
            continue;
        }
        unsigned long n = 0;
        if (*p == '[') {
            // What follows the ']' on the same line is read as a line of its own.
            for (p++; *p && *p != ']' && *p != '\r' && *p != '\n'; p++) {
                if (n < kMaxText) section[n++] = *p;
            }
            section[n] = 0;
            if (*p == ']') p++;
            continue;
        }
        for (; *p && *p != '=' && *p != '\r' && *p != '\n'; p++) {
            if (n < kMaxText) key[n++] = *p;
        }
        key[n] = 0;
        n = 0;
        if (*p == '=') {
            for (p++; *p && *p != '\r' && *p != '\n'; p++) {
                if (n < kMaxText) value[n++] = *p;
            }
        }
        value[n] = 0;
        if (!found(static_cast<const char*>(section), static_cast<const char*>(key),
                   static_cast<const char*>(value))) {
            return;
        }
    }
}

uint64_t roundUpToAesBlock(uint64_t length) {
    return (length + kAesBlock - 1) / kAesBlock * kAesBlock;
}

void freeEntriesOut(ZList<ZIniBinHashEntryOut>& entries, ZHashTableLong& table) {
    for (ZIniBinHashEntryOut* entry : entries) {
        entries.remove(entry);
        table.hashRemove(entry);
        delete entry;
    }
}

}  // namespace

ZIniReader::~ZIniReader() {
    clear();
}

bool ZIniReader::setIni(const char* path, const char* key, unsigned long keyLength) {
    clear();
    if (!path) return false;
    // A folder opens on some systems and answers a huge length.
    ZResourceStat info;
    if (ZResource::stat(path, &info) && info.isFolder) return false;
    ZResource file;
    if (file.open(path, ZResourceModeRead) != ZResourceOk) return false;
    int length = 0;
    if (file.seek(ZResourceWhenceEnd, 0) != ZResourceOk || file.tell(length) != ZResourceOk ||
        length <= 0 || file.seek(ZResourceWhenceSet, 0) != ZResourceOk) {
        return false;
    }
    unsigned char* data = new (std::nothrow) unsigned char[static_cast<size_t>(length) + 1];
    if (!data) return false;
    if (file.read(data, static_cast<unsigned long>(length)) != ZResourceOk) {
        delete[] data;
        return false;
    }
    data[length] = 0;
    m_data = data;
    m_dataLength = length;
    parseContents(key, keyLength);
    return true;
}

bool ZIniReader::setIni(const char* data, long length, const char* key, unsigned long keyLength) {
    clear();
    if (!data || length < 0) length = 0;
    m_data = new (std::nothrow) unsigned char[static_cast<size_t>(length) + 1];
    if (!m_data) return true;
    if (length > 0) std::memcpy(m_data, data, static_cast<size_t>(length));
    m_data[length] = 0;
    m_dataLength = length;
    parseContents(key, keyLength);
    return true;
}

void ZIniReader::clear() {
    for (ZIniTextSection* section : m_sections) {
        m_sections.remove(section);
        delete section;
    }
    std::fill(std::begin(m_sectionTable.buckets), std::end(m_sectionTable.buckets), nullptr);
    delete[] m_entries;
    m_entries = nullptr;
    m_entryCount = 0;
    std::fill(std::begin(m_entryTable.buckets), std::end(m_entryTable.buckets), nullptr);
    delete[] m_data;
    m_data = nullptr;
    m_dataLength = 0;
    m_isBinary = false;
    m_salt = 0;
}

void ZIniReader::parseContents(const char* key, unsigned long keyLength) {
    if (isHashedForm(m_data, static_cast<uint64_t>(m_dataLength))) {
        m_isBinary = true;
        parseHashed(key, keyLength);
        return;
    }
    walkIniText(reinterpret_cast<const char*>(m_data),
                [this](const char* section, const char* name, const char* value) {
                    setString(section, name, value);
                    return true;
                });
    delete[] m_data;
    m_data = nullptr;
    m_dataLength = 0;
}

// Every size the file claims is checked against what it can hold before anything is allocated,
// and the walk stops at the first entry that does not fit: damage leaves a reader that finds
// nothing, or the entries before the damage.
void ZIniReader::parseHashed(const char* key, unsigned long keyLength) {
    uint64_t length = static_cast<uint64_t>(m_dataLength);
    if (length < kPlainHeaderSize) return;
    uint32_t magic = ZLittleEndian::read32(m_data);
    m_salt = ZLittleEndian::read32(m_data + 4);
    uint64_t count = ZLittleEndian::read32(m_data + 8);

    const unsigned char* block = nullptr;
    uint64_t blockLength = 0;
    if (magic == kMagicPlain) {
        block = m_data + kPlainHeaderSize;
        blockLength = length - kPlainHeaderSize;
    } else if (magic == kMagicCompressed || magic == kMagicEncrypted) {
        if (length < kCompressedHeaderSize) return;
        uint64_t plainLength = ZLittleEndian::read32(m_data + 12);
        uint64_t streamLength = ZLittleEndian::read32(m_data + 16);
        uint64_t available = length - kCompressedHeaderSize;
        if (streamLength == 0 || streamLength > available ||
            plainLength > streamLength * kMaxInflateRatio) {
            return;
        }
        unsigned char* stream = m_data + kCompressedHeaderSize;
        if (magic == kMagicEncrypted && !aesEcbInPlace(false, key, keyLength, stream, available)) {
            return;
        }
        unsigned char* plain = new (std::nothrow) unsigned char[plainLength + 1];
        if (!plain) return;
        uLongf plainSize = static_cast<uLongf>(plainLength);
        if (uncompress(plain, &plainSize, stream, static_cast<uLong>(streamLength)) != Z_OK) {
            delete[] plain;
            return;
        }
        plain[plainSize] = 0;
        delete[] m_data;
        m_data = plain;
        m_dataLength = static_cast<int64_t>(plainSize);
        block = m_data;
        blockLength = plainSize;
    } else {
        return;
    }

    // However many entries the header claims, the block holds at most one per five bytes.
    count = std::min(count, blockLength / kEntryHeaderSize);
    if (count == 0) return;
    m_entries = new (std::nothrow) ZIniBinHashEntry[count];
    if (!m_entries) return;
    uint64_t position = 0;
    for (uint64_t i = 0; i < count; i++) {
        if (blockLength - position < kEntryHeaderSize) break;
        uint64_t valueLength = block[position + 4];
        if (blockLength - position - kEntryHeaderSize < valueLength) break;
        ZIniBinHashEntry& entry = m_entries[m_entryCount++];
        entry.setHashKey(static_cast<long>(ZLittleEndian::read32(block + position)));
        entry.setValueRecord(block + position + 4);
        m_entryTable.hashInsert(&entry);
        position += kEntryHeaderSize + valueLength;
    }
}

ZIniTextSection* ZIniReader::findSection(const char* section) const {
    return static_cast<ZIniTextSection*>(m_sectionTable.hashFind(section));
}

const unsigned char* ZIniReader::findValueRecord(const char* section, const char* key) const {
    if (!section || !key || m_entryCount == 0) return nullptr;
    long hash = static_cast<long>(hashIniSectionKey(m_salt, section, key));
    ZObjectHashableLong* found = m_entryTable.hashFind(hash);
    return found ? static_cast<ZIniBinHashEntry*>(found)->getValueRecord() : nullptr;
}

bool ZIniReader::hasValue(const char* section, const char* key) const {
    if (m_isBinary) return findValueRecord(section, key) != nullptr;
    ZIniTextSection* found = findSection(section);
    return found && found->findSetting(key);
}

bool ZIniReader::getString(const char* section, const char* key, char* buffer,
                           unsigned long size) const {
    if (!buffer || size == 0) return false;
    const char* value = nullptr;
    unsigned long valueLength = 0;
    if (m_isBinary) {
        const unsigned char* record = findValueRecord(section, key);
        if (!record) return false;
        value = reinterpret_cast<const char*>(record + 1);
        valueLength = record[0];
    } else {
        buffer[0] = 0;
        ZIniTextSection* found = findSection(section);
        ZIniTextSetting* setting = found ? found->findSetting(key) : nullptr;
        if (!setting) return false;
        value = setting->getValue();
        valueLength = std::strlen(value);
    }
    unsigned long copied = std::min(valueLength, size - 1);
    std::memcpy(buffer, value, copied);
    buffer[copied] = 0;
    return true;
}

long ZIniReader::getValue(const char* section, const char* key, long defaultValue) {
    if (!getString(section, key, m_scratch, kScratchSize)) return defaultValue;
    return std::strtol(m_scratch, nullptr, 10);
}

float ZIniReader::getFloatValue(const char* section, const char* key, float defaultValue) {
    if (!getString(section, key, m_scratch, kScratchSize)) return defaultValue;
    return static_cast<float>(atofNoLocale(m_scratch));
}

bool ZIniReader::setString(const char* section, const char* key, const char* value) {
    if (m_isBinary || !section || !key) return false;
    ZIniTextSection* found = findSection(section);
    if (!found) {
        found = new ZIniTextSection(section);
        m_sections.addToTail(found);
        m_sectionTable.hashInsert(found);
    }
    found->setSetting(key, value ? value : "");
    return true;
}

bool ZIniReader::setValue(const char* section, const char* key, long value) {
    formatNoLocale(m_scratch, kScratchSize - 1, "%ld", value);
    return setString(section, key, m_scratch);
}

bool ZIniReader::setFloatValue(const char* section, const char* key, float value) {
    formatNoLocale(m_scratch, kScratchSize - 1, "%f", static_cast<double>(value));
    return setString(section, key, m_scratch);
}

bool ZIniReader::setFormattedValue(const char* section, const char* key, const char* format, ...) {
    va_list args;
    va_start(args, format);
    vformatNoLocale(m_scratch, kScratchSize - 1, format, args);
    va_end(args);
    return setString(section, key, m_scratch);
}

bool ZIniReader::writeIni(const char* path, ZIniCompressionMode mode, const char* key,
                          unsigned long keyLength) {
    if (m_isBinary || !path || !*path) return false;
    std::string text;
    for (ZIniTextSection* section : m_sections) {
        text.append("[").append(section->getName()).append("]\n");
        for (ZIniTextSetting* setting : section->getSettings()) {
            text.append(setting->getKey()).append("=").append(setting->getValue()).append("\n");
        }
        text.append("\n");
    }
    if (mode != ZIniCompressionText && compressBuffer(text.c_str(), path, mode, key, keyLength)) {
        return true;
    }
    // The text form ends with a NUL byte.
    return ZMiscTools::writeFileReplacing(path, text.c_str(), text.size() + 1, nullptr, 0);
}

bool ZIniReader::compress(const char* path, ZIniCompressionMode mode, const char* key,
                          unsigned long keyLength) {
    unsigned char* data = nullptr;
    unsigned long size = 0;
    if (!path || !ZResource::loadResource(path, data, size)) return false;
    // Hashing the bytes of a file that is hashed already would destroy it.
    bool ok = false;
    if (!isHashedForm(data, size)) {
        std::string text(reinterpret_cast<const char*>(data), size);
        ok = compressBuffer(text.c_str(), path, mode, key, keyLength);
    }
    delete[] data;
    return ok;
}

bool ZIniReader::compressBuffer(const char* text, const char* path, ZIniCompressionMode mode,
                                const char* key, unsigned long keyLength) {
    if (!text || !path || !*path) return false;
    bool encrypt = mode == ZIniCompressionZlibAes && key && keyLength != 0;
    if (encrypt && !ZZipDecoder::aesEcbCipher(keyLength)) {
        ZCore::logMessage(
            "ZIniReader compress: %s: key length %lu is not 16, 24 or 32, writing without "
            "encryption, WARNING",
            path, keyLength);
        encrypt = false;
    }

    ZList<ZIniBinHashEntryOut> entries;
    ZHashTableLong table;
    uint32_t salt = 0;
    bool collided = true;
    for (long attempt = 0; attempt < kMaxSalts && collided; attempt++) {
        freeEntriesOut(entries, table);
        salt = static_cast<uint32_t>(ZRandom::getRandom());
        collided = false;
        walkIniText(text, [&](const char* section, const char* name, const char* value) {
            uint32_t hash = hashIniSectionKey(salt, section, name);
            ZIniBinHashEntryOut* found =
                static_cast<ZIniBinHashEntryOut*>(table.hashFind(static_cast<long>(hash)));
            if (!found) {
                ZIniBinHashEntryOut* entry = new ZIniBinHashEntryOut(hash, section, name, value);
                entries.addToTail(entry);
                table.hashInsert(entry);
            } else if (std::strcmp(found->getSection(), section) == 0 &&
                       std::strcmp(found->getKey(), name) == 0) {
                ZCore::logMessage(
                    "ZIniReader compress: %s: warning: duplicate value for section [%s], key "
                    "'%s', duplicate value will be ignored",
                    path, section, name);
            } else {
                ZCore::logMessage(
                    "ZIniReader compress: %s: collision for salt %08x on %08x for %s:%s value %s "
                    "(colliding entry is %s:%s value %s)",
                    path, salt, hash, section, name, value, found->getSection(), found->getKey(),
                    found->getValue());
                collided = true;
            }
            // The first collision condemns this salt: no use hashing the rest with it.
            return !collided;
        });
    }
    if (collided) {
        freeEntriesOut(entries, table);
        return false;
    }

    std::vector<unsigned char> block;
    for (ZIniBinHashEntryOut* entry : entries) {
        size_t valueLength = std::strlen(entry->getValue());
        ZLittleEndian::append32(block, static_cast<uint32_t>(entry->hashKey));
        block.push_back(static_cast<unsigned char>(valueLength));
        block.insert(block.end(), entry->getValue(), entry->getValue() + valueLength);
    }
    uint32_t count = static_cast<uint32_t>(entries.count);
    freeEntriesOut(entries, table);

    uint32_t magic = kMagicPlain;
    std::vector<unsigned char> lengths;
    if (mode == ZIniCompressionZlib || mode == ZIniCompressionZlibAes) {
        uLongf streamLength = compressBound(static_cast<uLong>(block.size()));
        // Zero-filled, so the padding after the stream is already cleared.
        std::vector<unsigned char> stream(roundUpToAesBlock(streamLength), 0);
        if (::compress(stream.data(), &streamLength, block.data(),
                       static_cast<uLong>(block.size())) == Z_OK) {
            magic = kMagicCompressed;
            ZLittleEndian::append32(lengths, static_cast<uint32_t>(block.size()));
            ZLittleEndian::append32(lengths, static_cast<uint32_t>(streamLength));
            stream.resize(roundUpToAesBlock(streamLength));
            if (encrypt && aesEcbInPlace(true, key, keyLength, stream.data(), stream.size())) {
                magic = kMagicEncrypted;
            } else {
                stream.resize(streamLength);
            }
            block.swap(stream);
        }
    }

    std::vector<unsigned char> header;
    ZLittleEndian::append32(header, magic);
    ZLittleEndian::append32(header, salt);
    ZLittleEndian::append32(header, count);
    header.insert(header.end(), lengths.begin(), lengths.end());
    return ZMiscTools::writeFileReplacing(path, header.data(), header.size(), block.data(),
                                          block.size());
}

char* ZIniReader::allocCopyString(const char* text) {
    if (!text) text = "";
    size_t length = std::strlen(text);
    char* copy = new char[length + 1];
    std::memcpy(copy, text, length + 1);
    return copy;
}

double ZIniReader::atofNoLocale(const char* text) {
    if (!text) return 0.0;
    locale_t locale = cLocale();
    return locale ? strtod_l(text, nullptr, locale) : std::strtod(text, nullptr);
}

int ZIniReader::formatNoLocale(char* buffer, unsigned long size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int written = vformatNoLocale(buffer, size, format, args);
    va_end(args);
    return written;
}

int ZIniReader::vformatNoLocale(char* buffer, unsigned long size, const char* format,
                                va_list args) {
    if (!buffer || size == 0) return 0;
    if (!format) {
        buffer[0] = 0;
        return 0;
    }
    // uselocale switches this thread only, so other threads keep formatting in their locale.
    locale_t locale = cLocale();
    locale_t previous = locale ? uselocale(locale) : static_cast<locale_t>(0);
    int written = vsnprintf(buffer, size, format, args);
    if (locale) uselocale(previous);
    return written;
}

uint32_t ZIniReader::hashIniSectionKey(uint32_t salt, const char* section, const char* key) {
    // Bytes enter as signed values; unsigned arithmetic wraps modulo 2^32 as stored.
    uint32_t h = salt;
    for (const char* p = section ? section : ""; *p; p++) {
        h = h * 31u + static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(*p)));
    }
    h ^= 0xAAAAAAAAu;
    for (const char* p = key ? key : ""; *p; p++) {
        h = h * 53u + static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(*p)));
    }
    return h;
}
