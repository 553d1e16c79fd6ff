#include "ZResourceFileZip.h"

#include <climits>
#include <cstring>

#include "ZResourceArchiveZip.h"
#include "ZResourceArchiveZipEntry.h"
#include "ZSysLock.h"

ZResourceFileZip::ZResourceFileZip(ZResourceArchiveZipEntry* entry) : m_entry(entry) {}

ZResourceFileZip::~ZResourceFileZip() {
    ZSysLock* lock = ZResourceArchiveZip::globalLock();
    if (lock) lock->acquire();
    unsigned char* detached = nullptr;
    ZResourceArchiveZipEntry* orphan = nullptr;
    if (--m_entry->referenceCount <= 0) {
        m_entry->referenceCount = 0;
        detached = m_entry->contents;
        m_entry->contents = nullptr;
        if (m_entry->orphaned) orphan = m_entry;
    }
    if (lock) lock->release();
    delete[] detached;
    delete orphan;
}

int64_t ZResourceFileZip::size() const {
    return static_cast<int64_t>(m_entry->uncompressedSize);
}

long ZResourceFileZip::seek(ZResourceWhence whence, int offset) {
    switch (whence) {
        case ZResourceWhenceSet:
            m_position = offset;
            break;
        case ZResourceWhenceCurrent:
            m_position += offset;
            break;
        case ZResourceWhenceEnd:
            m_position = size() + offset;
            break;
    }
    return ZResourceOk;
}

long ZResourceFileZip::tell(int& position) {
    if (m_position < INT_MIN || m_position > INT_MAX) return ZResourceErrorShort;
    position = static_cast<int>(m_position);
    return ZResourceOk;
}

unsigned long ZResourceFileZip::copyOut(void* buffer, unsigned long count) {
    unsigned char* out = static_cast<unsigned char*>(buffer);
    unsigned long copied = 0;
    int64_t position = m_position;
    unsigned long left = count;
    if (position < 0 && left) {
        // Before the entry's start: zeros.
        uint64_t before = static_cast<uint64_t>(-position);
        unsigned long zeros = before < left ? static_cast<unsigned long>(before) : left;
        memset(out, 0, zeros);
        out += zeros;
        left -= zeros;
        position += zeros;
    }
    if (left && position < size()) {
        uint64_t available = static_cast<uint64_t>(size() - position);
        copied = available < left ? static_cast<unsigned long>(available) : left;
        memcpy(out, m_entry->contents + position, copied);
        out += copied;
        left -= copied;
    }
    if (left) memset(out, 0, left);
    m_position += static_cast<int64_t>(count);
    return copied;
}

long ZResourceFileZip::read(void* buffer, unsigned long count) {
    // Like the disk and tar files: anything short of count bytes of the entry is a short read.
    return copyOut(buffer, count) == count ? ZResourceOk : ZResourceErrorShort;
}

unsigned long ZResourceFileZip::readAndCount(void* buffer, unsigned long count) {
    return copyOut(buffer, count);
}
