#pragma once

#include <sys/types.h>

#include <cstdint>

#include "ZSoundMemorySource.h"

struct mpg123_handle_struct;

// Decodes MPEG audio (MP3) held in memory with libmpg123 into 16-bit signed PCM, little-endian,
// one or two channels interleaved, at the file's own rate. The data is not copied: the caller
// keeps it alive while the decoder is open.
class ZMp3Decoder {
public:
    ZMp3Decoder();
    ~ZMp3Decoder();
    ZMp3Decoder(const ZMp3Decoder&) = delete;
    ZMp3Decoder& operator=(const ZMp3Decoder&) = delete;

    // False when the data holds no MPEG audio of one or two channels.
    bool open(const unsigned char* data, uint64_t size);
    void close();
    bool isOpen() const { return m_handle != nullptr; }
    long getChannels() const { return m_channels; }
    long getRate() const { return m_rate; }

    // Fills up to bytes bytes (whole frames) and returns how many it wrote: fewer only at the end
    // of the data, 0 past it, -1 for a stream that cannot be decoded further.
    long read(unsigned char* buffer, unsigned long bytes);
    // Back to the first sample.
    bool rewind();

private:
    static ssize_t readCallback(void* source, void* buffer, size_t bytes);
    static off_t seekCallback(void* source, off_t offset, int whence);

    mpg123_handle_struct* m_handle = nullptr;
    ZSoundMemorySource m_memory;
    long m_channels = 0;
    long m_rate = 0;
};
