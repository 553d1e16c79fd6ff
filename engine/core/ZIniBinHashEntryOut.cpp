#include "ZIniBinHashEntryOut.h"

#include <cstdio>

namespace {

void copyCut(char* destination, const char* text) {
    snprintf(destination, ZIniBinHashEntryOut::kTextSize, "%s", text ? text : "");
}

}  // namespace

ZIniBinHashEntryOut::ZIniBinHashEntryOut(unsigned long hash, const char* section, const char* key,
                                         const char* value) {
    setHashKey(static_cast<long>(hash & 0xFFFFFFFFul));
    copyCut(m_section, section);
    copyCut(m_key, key);
    copyCut(m_value, value);
}
