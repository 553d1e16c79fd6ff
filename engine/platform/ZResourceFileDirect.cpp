#include "ZResourceFileDirect.h"

#include <climits>

ZResourceFileDirect::~ZResourceFileDirect() {
    if (m_stream) fclose(m_stream);
}

long ZResourceFileDirect::seek(ZResourceWhence whence, int offset) {
    if (!m_stream) return ZResourceErrorShort;
    return fseek(m_stream, offset, static_cast<int>(whence)) == 0 ? ZResourceOk
                                                                  : ZResourceErrorShort;
}

long ZResourceFileDirect::tell(int& position) {
    if (!m_stream) return ZResourceErrorShort;
    long at = ftell(m_stream);
    // A position past what an int holds cannot be answered truthfully.
    if (at < 0 || at > INT_MAX) return ZResourceErrorShort;
    position = static_cast<int>(at);
    return ZResourceOk;
}

long ZResourceFileDirect::read(void* buffer, unsigned long count) {
    if (!m_stream) return ZResourceErrorShort;
    if (count == 0) return ZResourceOk;
    return readAndCount(buffer, count) == count ? ZResourceOk : ZResourceErrorShort;
}

long ZResourceFileDirect::write(const void* buffer, unsigned long count) {
    if (!m_stream) return ZResourceErrorShort;
    if (count == 0) return ZResourceOk;
    return writeAndCount(buffer, count) == count ? ZResourceOk : ZResourceErrorShort;
}

unsigned long ZResourceFileDirect::readAndCount(void* buffer, unsigned long count) {
    if (!m_stream || count == 0) return 0;
    return fread(buffer, 1, count, m_stream);
}

unsigned long ZResourceFileDirect::writeAndCount(const void* buffer, unsigned long count) {
    if (!m_stream || count == 0) return 0;
    return fwrite(buffer, 1, count, m_stream);
}
