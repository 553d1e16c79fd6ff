#include "ZResourceFileTar.h"

#include <climits>
#include <cstring>

#include "ZResourceArchiveTar.h"

namespace {

// Positions saturate instead of wrapping, however far callers seek or read.
int64_t advance(int64_t position, int64_t delta) {
    int64_t result;
    if (__builtin_add_overflow(position, delta, &result)) return delta > 0 ? INT64_MAX : INT64_MIN;
    return result;
}

int64_t asDelta(unsigned long count) {
    return count > static_cast<unsigned long>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(count);
}

}  // namespace

long ZResourceFileTar::seek(ZResourceWhence whence, int offset) {
    switch (whence) {
        case ZResourceWhenceSet:
            m_position = offset;
            return ZResourceOk;
        case ZResourceWhenceCurrent:
            m_position = advance(m_position, offset);
            return ZResourceOk;
        case ZResourceWhenceEnd:
            m_position = advance(m_size, offset);
            return ZResourceOk;
    }
    return ZResourceErrorShort;
}

long ZResourceFileTar::tell(int& position) {
    if (m_position < INT_MIN || m_position > INT_MAX) return ZResourceErrorShort;
    position = static_cast<int>(m_position);
    return ZResourceOk;
}

unsigned long ZResourceFileTar::transfer(unsigned char* buffer, unsigned long count) {
    int64_t position = m_position;
    m_position = advance(m_position, asDelta(count));

    unsigned long skipped = 0;
    if (position < 0) {
        // The part of the request before the entry's start reads as zeros.
        uint64_t before = 0 - static_cast<uint64_t>(position);
        if (before > count) return 0;
        skipped = static_cast<unsigned long>(before);
        memset(buffer, 0, skipped);
        position = 0;
    }
    if (position >= m_size) return 0;
    uint64_t available = static_cast<uint64_t>(m_size - position);
    uint64_t wanted = count - skipped;
    if (wanted > available) wanted = available;
    return static_cast<unsigned long>(
        ZResourceArchiveTar::readAt(m_descriptor, buffer + skipped, wanted, m_offset + position));
}

long ZResourceFileTar::read(void* buffer, unsigned long count) {
    if (m_descriptor < 0) return ZResourceErrorNoFile;
    // A request that ends before the entry's start fails even when it asks for nothing.
    bool whollyBefore = m_position < 0 && 0 - static_cast<uint64_t>(m_position) > count;
    unsigned long delivered = transfer(static_cast<unsigned char*>(buffer), count);
    return !whollyBefore && delivered == count ? ZResourceOk : ZResourceErrorShort;
}

unsigned long ZResourceFileTar::readAndCount(void* buffer, unsigned long count) {
    if (m_descriptor < 0) return 0;
    return transfer(static_cast<unsigned char*>(buffer), count);
}
