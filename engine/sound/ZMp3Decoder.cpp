#include "ZMp3Decoder.h"

#include <mpg123.h>

#include <cstring>
#include <mutex>

namespace {

std::once_flag g_mpg123Initialized;

}  // namespace

ZMp3Decoder::ZMp3Decoder() {}

ZMp3Decoder::~ZMp3Decoder() {
    close();
}

ssize_t ZMp3Decoder::readCallback(void* source, void* buffer, size_t bytes) {
    return static_cast<ssize_t>(ZSoundMemorySource::read(buffer, 1, bytes, source));
}

// A real seek, unlike vorbisfile's: mpg123 looks for tags relative to the end.
off_t ZMp3Decoder::seekCallback(void* source, off_t offset, int whence) {
    ZSoundMemorySource* memory = static_cast<ZSoundMemorySource*>(source);
    int64_t base;
    switch (whence) {
        case SEEK_SET:
            base = 0;
            break;
        case SEEK_CUR:
            base = static_cast<int64_t>(memory->position);
            break;
        case SEEK_END:
            base = static_cast<int64_t>(memory->size);
            break;
        default:
            return -1;
    }
    int64_t target;
    if (__builtin_add_overflow(base, static_cast<int64_t>(offset), &target) || target < 0 ||
        static_cast<uint64_t>(target) > memory->size)
        return -1;
    memory->position = static_cast<uint64_t>(target);
    return static_cast<off_t>(target);
}

bool ZMp3Decoder::open(const unsigned char* data, uint64_t size) {
    close();
    if (!data || size == 0) return false;
    std::call_once(g_mpg123Initialized, [] { mpg123_init(); });
    int error = MPG123_OK;
    m_handle = mpg123_new(nullptr, &error);
    if (!m_handle) return false;
    mpg123_param(m_handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    // Everything as 16-bit samples, at the file's rate and channels.
    mpg123_format_none(m_handle);
    const long* rates = nullptr;
    size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (size_t i = 0; i < rateCount; i++)
        mpg123_format(m_handle, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);

    m_memory.set(data, size);
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_replace_reader_handle(m_handle, readCallback, seekCallback, nullptr) != MPG123_OK ||
        mpg123_open_handle(m_handle, &m_memory) != MPG123_OK ||
        mpg123_getformat(m_handle, &rate, &channels, &encoding) != MPG123_OK ||
        encoding != MPG123_ENC_SIGNED_16 || channels < 1 || channels > 2 || rate < 1) {
        close();
        return false;
    }
    // One format for the whole stream: a queue of OpenAL buffers shares it.
    mpg123_format_none(m_handle);
    mpg123_format(m_handle, rate, channels, encoding);
    m_channels = channels;
    m_rate = rate;
    return true;
}

void ZMp3Decoder::close() {
    if (m_handle) {
        mpg123_close(m_handle);
        mpg123_delete(m_handle);
        m_handle = nullptr;
    }
    m_memory.clear();
    m_channels = 0;
    m_rate = 0;
}

long ZMp3Decoder::read(unsigned char* buffer, unsigned long bytes) {
    if (!m_handle) return -1;
    unsigned long frame = static_cast<unsigned long>(m_channels) * 2;
    bytes -= bytes % frame;
    unsigned long total = 0;
    while (total < bytes) {
        size_t done = 0;
        int result = mpg123_read(m_handle, buffer + total, bytes - total, &done);
        total += static_cast<unsigned long>(done);
        if (result == MPG123_OK || result == MPG123_NEW_FORMAT) {
            if (done == 0 && result == MPG123_OK) break;
            continue;
        }
        if (result == MPG123_DONE) break;
        if (total == 0) return -1;
        break;
    }
    return static_cast<long>(total - total % frame);
}

bool ZMp3Decoder::rewind() {
    return m_handle && mpg123_seek(m_handle, 0, SEEK_SET) >= 0;
}
