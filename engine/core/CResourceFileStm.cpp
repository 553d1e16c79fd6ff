#include "CResourceFileStm.h"

#include <climits>
#include <cstring>

#include "CResourceArchiveStm.h"
#include "ZResource.h"
#include "ZSysLock.h"

namespace {

// Positions are 32-bit and saturate instead of wrapping.
int32_t saturate(int64_t position) {
    if (position > INT32_MAX) return INT32_MAX;
    if (position < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(position);
}

}  // namespace

long CResourceFileStm::seek(ZResourceWhence whence, int offset) {
    int64_t base = whence == ZResourceWhenceEnd       ? m_size
                   : whence == ZResourceWhenceCurrent ? m_position
                                                      : 0;
    m_position = saturate(base + offset);
    return ZResourceOk;
}

long CResourceFileStm::tell(int& position) {
    position = m_position;
    return ZResourceOk;
}

unsigned long CResourceFileStm::transfer(unsigned char* buffer, unsigned long count) {
    int64_t position = m_position;
    m_position = saturate(position + static_cast<int64_t>(count > INT32_MAX ? INT32_MAX : count));

    unsigned long filled = 0;
    if (position < 0) {
        // The part of the request before the tile's start reads as zeros.
        uint64_t before = static_cast<uint64_t>(-position);
        if (before >= count) {
            memset(buffer, 0, count);
            return count;
        }
        filled = static_cast<unsigned long>(before);
        memset(buffer, 0, filled);
        position = 0;
    }
    if (position >= m_size) return filled;
    uint64_t wanted = count - filled;
    uint64_t available = m_size - static_cast<uint64_t>(position);
    if (wanted > available) wanted = available;

    ZSysLock& lock = CResourceArchiveStm::readLock();
    lock.acquire();
    unsigned long got = 0;
    if (m_resource->seek(ZResourceWhenceSet, static_cast<int>(m_offset + position)) == ZResourceOk)
        got = m_resource->readAndCount(buffer + filled, static_cast<unsigned long>(wanted));
    lock.release();
    return filled + got;
}

long CResourceFileStm::read(void* buffer, unsigned long count) {
    if (!m_resource) return ZResourceErrorNoFile;
    if (count > 0 && !buffer) return ZResourceErrorShort;
    return transfer(static_cast<unsigned char*>(buffer), count) == count ? ZResourceOk
                                                                         : ZResourceErrorShort;
}

unsigned long CResourceFileStm::readAndCount(void* buffer, unsigned long count) {
    if (!m_resource || (count > 0 && !buffer)) return 0;
    return transfer(static_cast<unsigned char*>(buffer), count);
}
