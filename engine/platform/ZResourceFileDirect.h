#pragma once

#include <cstdio>

#include "ZResourceFile.h"

// A file on disk, read or written through one stdio stream that it owns.
class ZResourceFileDirect : public ZResourceFile {
public:
    explicit ZResourceFileDirect(FILE* stream) : m_stream(stream) {}
    ~ZResourceFileDirect() override;
    ZResourceFileDirect(const ZResourceFileDirect&) = delete;
    ZResourceFileDirect& operator=(const ZResourceFileDirect&) = delete;

    long seek(ZResourceWhence whence, int offset) override;
    long tell(int& position) override;
    long read(void* buffer, unsigned long count) override;
    long write(const void* buffer, unsigned long count) override;
    unsigned long readAndCount(void* buffer, unsigned long count) override;
    unsigned long writeAndCount(const void* buffer, unsigned long count) override;

private:
    FILE* m_stream;
};
