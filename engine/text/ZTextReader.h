#pragma once

#include <cstdint>
#include <cstring>

#include "ZTextFace.h"

// Reads a text code point by code point; 64-bit units are taken as they are.
class ZTextReader {
public:
    ZTextReader(const char* text, long encoding) : m_text(text), m_encoding(encoding) {}

    unsigned long next() {
        if (!m_text) return 0;
        if (m_encoding == 5) {
            uint64_t unit;
            memcpy(&unit, m_text + m_pos * 8, sizeof(unit));
            if (unit) m_pos++;
            return unit;
        }
        return ZTextFace::decodeChar(m_encoding, m_text, m_pos, true);
    }

private:
    const char* m_text;
    long m_encoding;
    long m_pos = 0;
};
