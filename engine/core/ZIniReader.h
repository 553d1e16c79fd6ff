#pragma once

#include <cstdarg>
#include <cstdint>

#include "ZHashTable.h"
#include "ZHashTableLong.h"
#include "ZIniBinHashEntry.h"
#include "ZIniBinHashEntryOut.h"
#include "ZIniTextSection.h"
#include "ZList.h"
#include "ZObjectBase.h"

// Reader and writer of ini files. The text form holds "[section]" lines and "key=value" lines,
// taken exactly as written (nothing trimmed, no comments). The hashed form holds only a salted
// 32-bit hash of each (section, key) pair and the value, optionally zlib-compressed and then
// AES-encrypted. Reading detects the form; only a reader holding the text form can be changed
// and written. Each reader belongs to one thread at a time.
class ZIniReader : public ZObjectBase {
public:
    static constexpr uint32_t kMagicPlain = 0x494E4211;
    static constexpr uint32_t kMagicCompressed = 0x494E4212;
    static constexpr uint32_t kMagicEncrypted = 0x494E4213;

    ZIniReader() = default;
    ~ZIniReader() override;
    ZIniReader(const ZIniReader&) = delete;
    ZIniReader& operator=(const ZIniReader&) = delete;

    // Reads a whole file through the virtual file system; false when it cannot be read or is
    // empty. A damaged hashed file still gives true and a reader that finds nothing (or the
    // entries before the damage). The key (16, 24 or 32 bytes) decrypts the encrypted form.
    bool setIni(const char* path, const char* key = nullptr, unsigned long keyLength = 0);
    // The same from a copy of a memory block; always true.
    bool setIni(const char* data, long length, const char* key, unsigned long keyLength);
    // Frees everything: the reader is empty and in the text form.
    void clear();
    bool isBinary() const { return m_isBinary; }

    bool hasValue(const char* section, const char* key) const;
    // Copies the value cut to size - 1 bytes with a NUL; false when absent or size is 0 (the
    // text form empties the buffer before looking).
    bool getString(const char* section, const char* key, char* buffer, unsigned long size) const;
    long getValue(const char* section, const char* key, long defaultValue);
    float getFloatValue(const char* section, const char* key, float defaultValue);

    // Text form only; false in the hashed form or for a null section or key. A null value is
    // stored as the empty text.
    bool setString(const char* section, const char* key, const char* value);
    bool setValue(const char* section, const char* key, long value);
    bool setFloatValue(const char* section, const char* key, float value);
    bool setFormattedValue(const char* section, const char* key, const char* format, ...)
        __attribute__((format(printf, 4, 5)));

    // Writes the text held (text form only) in the given mode. Every write goes to the path plus
    // ".tmp", which then replaces the file in one rename: an interrupted or failed write leaves
    // the old file as it was. The hashed form falls back to the text form when it can't be made.
    bool writeIni(const char* path, ZIniCompressionMode mode, const char* key = nullptr,
                  unsigned long keyLength = 0);
    // Rewrites a text ini file in the hashed form.
    bool compress(const char* path, ZIniCompressionMode mode, const char* key = nullptr,
                  unsigned long keyLength = 0);
    // Writes the hashed form of an ini text to a path. Draws the salt from ZRandom, again after
    // each hash collision, and gives up with false after 1000 salts.
    bool compressBuffer(const char* text, const char* path, ZIniCompressionMode mode,
                        const char* key = nullptr, unsigned long keyLength = 0);

    // A new array holding a copy of the text (the empty text for null).
    static char* allocCopyString(const char* text);
    // Reads a double from the start of the text with '.' as the decimal point whatever the
    // process locale: blanks skipped, 0 when no number starts the text.
    static double atofNoLocale(const char* text);
    // snprintf in the C locale, so "%f" and "%g" always write '.'.
    static int formatNoLocale(char* buffer, unsigned long size, const char* format, ...)
        __attribute__((format(printf, 3, 4)));
    static int vformatNoLocale(char* buffer, unsigned long size, const char* format, va_list args);
    // The hash of a (section, key) pair with a salt; bytes enter as signed values.
    static uint32_t hashIniSectionKey(uint32_t salt, const char* section, const char* key);

private:
    static constexpr unsigned long kScratchSize = 256;

    void parseContents(const char* key, unsigned long keyLength);
    void parseHashed(const char* key, unsigned long keyLength);
    const unsigned char* findValueRecord(const char* section, const char* key) const;
    ZIniTextSection* findSection(const char* section) const;

    unsigned char* m_data = nullptr;  // NUL after the last byte
    int64_t m_dataLength = 0;
    bool m_isBinary = false;
    char m_scratch[kScratchSize] = {};
    ZList<ZIniTextSection> m_sections;
    ZHashTable m_sectionTable;
    uint32_t m_salt = 0;
    ZIniBinHashEntry* m_entries = nullptr;
    unsigned long m_entryCount = 0;
    ZHashTableLong m_entryTable;
};
