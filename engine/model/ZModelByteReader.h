#pragma once

#include <cstdint>
#include <cstring>

#include "ZLittleEndian.h"

// Reads the little-endian fields of a binary model file inside a window of its bytes. A read
// past the window's end fails, yields zeros and leaves the reader failed, so a reader checks
// once after a run of fields instead of before each one.
class ZModelByteReader {
public:
    ZModelByteReader(const unsigned char* data, int64_t size)
        : m_data(data), m_position(0), m_end(data ? size : 0) {}

    int64_t position() const { return m_position; }
    int64_t end() const { return m_end; }
    int64_t remaining() const { return m_end - m_position; }
    bool failed() const { return m_failed; }
    // Whether count records of size bytes each lie before the end; computed in 64 bits, so a
    // count read from the file cannot wrap around.
    bool holds(int64_t count, int64_t size) const {
        return count >= 0 && size >= 0 && (size == 0 || count <= remaining() / size);
    }
    void seek(int64_t position) {
        m_position = position < 0 ? 0 : position > m_end ? m_end : position;
    }
    // Narrows the window to end at the position (never beyond the current end).
    void limit(int64_t end) {
        if (end < m_end) m_end = end < m_position ? m_position : end;
    }
    void skip(int64_t count) {
        if (!holds(count, 1)) {
            m_failed = true;
            m_position = m_end;
            return;
        }
        m_position += count;
    }

    uint8_t u8() { return take(1) ? m_data[m_position - 1] : 0; }
    int8_t s8() { return static_cast<int8_t>(u8()); }
    uint16_t u16() { return take(2) ? ZLittleEndian::read16(m_data + m_position - 2) : 0; }
    int16_t s16() { return static_cast<int16_t>(u16()); }
    uint32_t u32() { return take(4) ? ZLittleEndian::read32(m_data + m_position - 4) : 0; }
    int32_t s32() { return static_cast<int32_t>(u32()); }
    float f32() {
        uint32_t bits = u32();
        float value;
        memcpy(&value, &bits, sizeof(value));
        return value;
    }
    // Copies a field of exactly count bytes into text, zero-terminated within size bytes.
    void text(char* out, int64_t size, int64_t count) {
        int64_t kept = 0;
        if (take(count)) {
            const unsigned char* p = m_data + m_position - count;
            while (kept < count && kept < size - 1 && p[kept]) {
                out[kept] = static_cast<char>(p[kept]);
                kept++;
            }
        }
        out[kept] = 0;
    }
    // A zero-terminated text, cut to size - 1 characters; reading continues after its zero (or
    // at the end of the window when it has none).
    void zeroTerminated(char* out, int64_t size) {
        int64_t kept = 0;
        while (m_position < m_end) {
            unsigned char c = m_data[m_position++];
            if (!c) break;
            if (kept < size - 1) out[kept++] = static_cast<char>(c);
        }
        out[kept] = 0;
    }

private:
    bool take(int64_t count) {
        if (!holds(count, 1)) {
            m_failed = true;
            m_position = m_end;
            return false;
        }
        m_position += count;
        return true;
    }

    const unsigned char* m_data;
    int64_t m_position;
    int64_t m_end;
    bool m_failed = false;
};
