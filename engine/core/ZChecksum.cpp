#include "ZChecksum.h"

#include <cstring>

namespace {

inline unsigned int rotateLeft(unsigned int x, int n) {
    return (x << n) | (x >> (32 - n));
}

inline unsigned int f1(unsigned int x, unsigned int y, unsigned int z) {
    return z ^ (x & (y ^ z));
}
inline unsigned int f2(unsigned int x, unsigned int y, unsigned int z) {
    return f1(z, x, y);
}
inline unsigned int f3(unsigned int x, unsigned int y, unsigned int z) {
    return x ^ y ^ z;
}
inline unsigned int f4(unsigned int x, unsigned int y, unsigned int z) {
    return y ^ (x | ~z);
}

template <unsigned int (*F)(unsigned int, unsigned int, unsigned int)>
inline void step(unsigned int& w, unsigned int x, unsigned int y, unsigned int z, unsigned int data,
                 int s) {
    w += F(x, y, z) + data;
    w = rotateLeft(w, s) + x;
}

void storeLittleEndian(unsigned char* out, unsigned int word) {
    out[0] = static_cast<unsigned char>(word);
    out[1] = static_cast<unsigned char>(word >> 8);
    out[2] = static_cast<unsigned char>(word >> 16);
    out[3] = static_cast<unsigned char>(word >> 24);
}

}  // namespace

ZChecksum::ZChecksum() {
    reset();
}

void ZChecksum::reset() {
    m_buf[0] = 0x67452301u;
    m_buf[1] = 0xefcdab89u;
    m_buf[2] = 0x98badcfeu;
    m_buf[3] = 0x10325476u;
    m_bits[0] = 0;
    m_bits[1] = 0;
}

void ZChecksum::byteReverse(unsigned char* data, unsigned int words) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    for (unsigned int i = 0; i < words; i++, data += 4) {
        unsigned int word = static_cast<unsigned int>(data[3]) << 24 |
                            static_cast<unsigned int>(data[2]) << 16 |
                            static_cast<unsigned int>(data[1]) << 8 | data[0];
        memcpy(data, &word, 4);
    }
#else
    (void)data;
    (void)words;
#endif
}

void ZChecksum::transformCollected() {
    // Through a word array: the byte buffer may be neither aligned nor aliased as words.
    unsigned int words[16];
    memcpy(words, m_in, sizeof(words));
    byteReverse(reinterpret_cast<unsigned char*>(words), 16);
    transform(m_buf, words);
}

void ZChecksum::update(const unsigned char* data, unsigned long length) {
    if (length == 0 || !data) return;

    // Bytes already waiting in the block, from the bit count before this piece.
    unsigned int waiting = (m_bits[0] >> 3) & 0x3f;
    unsigned int low = m_bits[0] + static_cast<unsigned int>(length << 3);
    if (low < m_bits[0]) m_bits[1]++;
    m_bits[0] = low;
    m_bits[1] += static_cast<unsigned int>(static_cast<unsigned long long>(length) >> 29);

    if (waiting) {
        unsigned long room = 64 - waiting;
        if (length < room) {
            memcpy(m_in + waiting, data, length);
            return;
        }
        memcpy(m_in + waiting, data, room);
        transformCollected();
        data += room;
        length -= room;
    }
    while (length >= 64) {
        memcpy(m_in, data, 64);
        transformCollected();
        data += 64;
        length -= 64;
    }
    memcpy(m_in, data, length);
}

void ZChecksum::finalize(unsigned char* digest) {
    unsigned int waiting = (m_bits[0] >> 3) & 0x3f;
    m_in[waiting++] = 0x80;
    unsigned int room = 64 - waiting;
    if (room < 8) {
        // No room for the length: pad this block out and add a block of its own.
        memset(m_in + waiting, 0, room);
        transformCollected();
        memset(m_in, 0, 56);
    } else {
        memset(m_in + waiting, 0, room - 8);
    }
    storeLittleEndian(m_in + 56, m_bits[0]);
    storeLittleEndian(m_in + 60, m_bits[1]);
    transformCollected();

    if (digest)
        for (int i = 0; i < 4; i++) storeLittleEndian(digest + 4 * i, m_buf[i]);
    memset(m_buf, 0, sizeof(m_buf));
    memset(m_bits, 0, sizeof(m_bits));
}

void ZChecksum::transform(unsigned int* buf, unsigned int* in) {
    unsigned int a = buf[0];
    unsigned int b = buf[1];
    unsigned int c = buf[2];
    unsigned int d = buf[3];

    step<f1>(a, b, c, d, in[0] + 0xd76aa478u, 7);
    step<f1>(d, a, b, c, in[1] + 0xe8c7b756u, 12);
    step<f1>(c, d, a, b, in[2] + 0x242070dbu, 17);
    step<f1>(b, c, d, a, in[3] + 0xc1bdceeeu, 22);
    step<f1>(a, b, c, d, in[4] + 0xf57c0fafu, 7);
    step<f1>(d, a, b, c, in[5] + 0x4787c62au, 12);
    step<f1>(c, d, a, b, in[6] + 0xa8304613u, 17);
    step<f1>(b, c, d, a, in[7] + 0xfd469501u, 22);
    step<f1>(a, b, c, d, in[8] + 0x698098d8u, 7);
    step<f1>(d, a, b, c, in[9] + 0x8b44f7afu, 12);
    step<f1>(c, d, a, b, in[10] + 0xffff5bb1u, 17);
    step<f1>(b, c, d, a, in[11] + 0x895cd7beu, 22);
    step<f1>(a, b, c, d, in[12] + 0x6b901122u, 7);
    step<f1>(d, a, b, c, in[13] + 0xfd987193u, 12);
    step<f1>(c, d, a, b, in[14] + 0xa679438eu, 17);
    step<f1>(b, c, d, a, in[15] + 0x49b40821u, 22);

    step<f2>(a, b, c, d, in[1] + 0xf61e2562u, 5);
    step<f2>(d, a, b, c, in[6] + 0xc040b340u, 9);
    step<f2>(c, d, a, b, in[11] + 0x265e5a51u, 14);
    step<f2>(b, c, d, a, in[0] + 0xe9b6c7aau, 20);
    step<f2>(a, b, c, d, in[5] + 0xd62f105du, 5);
    step<f2>(d, a, b, c, in[10] + 0x02441453u, 9);
    step<f2>(c, d, a, b, in[15] + 0xd8a1e681u, 14);
    step<f2>(b, c, d, a, in[4] + 0xe7d3fbc8u, 20);
    step<f2>(a, b, c, d, in[9] + 0x21e1cde6u, 5);
    step<f2>(d, a, b, c, in[14] + 0xc33707d6u, 9);
    step<f2>(c, d, a, b, in[3] + 0xf4d50d87u, 14);
    step<f2>(b, c, d, a, in[8] + 0x455a14edu, 20);
    step<f2>(a, b, c, d, in[13] + 0xa9e3e905u, 5);
    step<f2>(d, a, b, c, in[2] + 0xfcefa3f8u, 9);
    step<f2>(c, d, a, b, in[7] + 0x676f02d9u, 14);
    step<f2>(b, c, d, a, in[12] + 0x8d2a4c8au, 20);

    step<f3>(a, b, c, d, in[5] + 0xfffa3942u, 4);
    step<f3>(d, a, b, c, in[8] + 0x8771f681u, 11);
    step<f3>(c, d, a, b, in[11] + 0x6d9d6122u, 16);
    step<f3>(b, c, d, a, in[14] + 0xfde5380cu, 23);
    step<f3>(a, b, c, d, in[1] + 0xa4beea44u, 4);
    step<f3>(d, a, b, c, in[4] + 0x4bdecfa9u, 11);
    step<f3>(c, d, a, b, in[7] + 0xf6bb4b60u, 16);
    step<f3>(b, c, d, a, in[10] + 0xbebfbc70u, 23);
    step<f3>(a, b, c, d, in[13] + 0x289b7ec6u, 4);
    step<f3>(d, a, b, c, in[0] + 0xeaa127fau, 11);
    step<f3>(c, d, a, b, in[3] + 0xd4ef3085u, 16);
    step<f3>(b, c, d, a, in[6] + 0x04881d05u, 23);
    step<f3>(a, b, c, d, in[9] + 0xd9d4d039u, 4);
    step<f3>(d, a, b, c, in[12] + 0xe6db99e5u, 11);
    step<f3>(c, d, a, b, in[15] + 0x1fa27cf8u, 16);
    step<f3>(b, c, d, a, in[2] + 0xc4ac5665u, 23);

    step<f4>(a, b, c, d, in[0] + 0xf4292244u, 6);
    step<f4>(d, a, b, c, in[7] + 0x432aff97u, 10);
    step<f4>(c, d, a, b, in[14] + 0xab9423a7u, 15);
    step<f4>(b, c, d, a, in[5] + 0xfc93a039u, 21);
    step<f4>(a, b, c, d, in[12] + 0x655b59c3u, 6);
    step<f4>(d, a, b, c, in[3] + 0x8f0ccc92u, 10);
    step<f4>(c, d, a, b, in[10] + 0xffeff47du, 15);
    step<f4>(b, c, d, a, in[1] + 0x85845dd1u, 21);
    step<f4>(a, b, c, d, in[8] + 0x6fa87e4fu, 6);
    step<f4>(d, a, b, c, in[15] + 0xfe2ce6e0u, 10);
    step<f4>(c, d, a, b, in[6] + 0xa3014314u, 15);
    step<f4>(b, c, d, a, in[13] + 0x4e0811a1u, 21);
    step<f4>(a, b, c, d, in[4] + 0xf7537e82u, 6);
    step<f4>(d, a, b, c, in[11] + 0xbd3af235u, 10);
    step<f4>(c, d, a, b, in[2] + 0x2ad7d2bbu, 15);
    step<f4>(b, c, d, a, in[9] + 0xeb86d391u, 21);

    buf[0] += a;
    buf[1] += b;
    buf[2] += c;
    buf[3] += d;
}
