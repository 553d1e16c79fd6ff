#pragma once

// The MD5 message digest (RFC 1321) of bytes fed in pieces: reset(), update() with every piece
// in order, then finalize(). finalize() clears the state, so reset before digesting again.
class ZChecksum {
public:
    ZChecksum();

    void reset();
    // Any length, 0 included, any number of times; data may be null when length is 0.
    void update(const unsigned char* data, unsigned long length);
    void finalize(unsigned char* digest);

    // The compression function on one block of 16 words in host order.
    static void transform(unsigned int* buf, unsigned int* in);
    // Little-endian bytes to host-order words, in place; nothing to do on a little-endian host.
    static void byteReverse(unsigned char* data, unsigned int words);

private:
    // Compresses the 64 bytes collected in m_in.
    void transformCollected();

    unsigned char m_in[64];
    unsigned int m_buf[4];
    unsigned int m_bits[2];  // bits fed so far, low word first
};
