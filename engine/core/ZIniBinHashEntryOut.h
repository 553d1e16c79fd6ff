#pragma once

#include "ZObjectHashableLong.h"

// Forms of an ini file that ZIniReader writes.
enum ZIniCompressionMode {
    ZIniCompressionText = 0,
    ZIniCompressionHashed = 1,
    ZIniCompressionZlib = 2,
    // Encrypted when a key is given; without one it writes as ZIniCompressionZlib.
    ZIniCompressionZlibAes = 3,
};

// One entry of a hashed ini being written: the hash key is the (section, key) hash; section, key
// and value are kept (each cut at 255 characters) to tell duplicates from collisions.
class ZIniBinHashEntryOut : public ZObjectHashableLong {
public:
    static constexpr unsigned long kTextSize = 256;

    ZIniBinHashEntryOut(unsigned long hash, const char* section, const char* key,
                        const char* value);

    const char* getSection() const { return m_section; }
    const char* getKey() const { return m_key; }
    const char* getValue() const { return m_value; }

private:
    char m_section[kTextSize];
    char m_key[kTextSize];
    char m_value[kTextSize];
};
