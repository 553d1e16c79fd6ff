#include "ZZipDecoder.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <zlib.h>

#include <climits>
#include <cstring>

namespace {

const int kAesIterations = 1000;
const size_t kAesBlock = 16;
const size_t kAesBatch = 256;  // counter blocks encrypted per call

// The three keys of the traditional cipher, advanced by every plain byte.
class TraditionalKeys {
public:
    explicit TraditionalKeys(const char* password) {
        for (const char* c = password; *c; c++) update(static_cast<unsigned char>(*c));
    }

    unsigned char decrypt(unsigned char c) {
        uint32_t t = (m_key2 & 0xffff) | 2;
        c ^= static_cast<unsigned char>((t * (t ^ 1)) >> 8);
        update(c);
        return c;
    }

private:
    void update(unsigned char c) {
        m_key0 = m_table[(m_key0 ^ c) & 0xff] ^ (m_key0 >> 8);
        m_key1 = (m_key1 + (m_key0 & 0xff)) * 134775813u + 1;
        m_key2 = m_table[(m_key2 ^ (m_key1 >> 24)) & 0xff] ^ (m_key2 >> 8);
    }

    const z_crc_t* m_table = get_crc_table();
    uint32_t m_key0 = 305419896u;
    uint32_t m_key1 = 591751049u;
    uint32_t m_key2 = 878082192u;
};

// Counter mode as the zip AES format defines it: the counter is a little-endian 128-bit number that
// starts at 1, unlike the big-endian counters of the usual CTR mode.
bool aesCounterDecrypt(const unsigned char* key, size_t keyLength, unsigned char* data,
                       size_t length) {
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    if (!context) return false;
    bool ok = EVP_EncryptInit_ex(context, ZZipDecoder::aesEcbCipher(keyLength), nullptr, key,
                                 nullptr) == 1 &&
              EVP_CIPHER_CTX_set_padding(context, 0) == 1;
    unsigned char counter[kAesBlock] = {0};
    unsigned char counters[kAesBatch * kAesBlock];
    unsigned char stream[kAesBatch * kAesBlock];
    for (size_t done = 0; ok && done < length;) {
        size_t chunk = length - done < sizeof(stream) ? length - done : sizeof(stream);
        size_t blocks = (chunk + kAesBlock - 1) / kAesBlock;
        for (size_t b = 0; b < blocks; b++) {
            for (size_t i = 0; i < kAesBlock && ++counter[i] == 0; i++) {
            }
            memcpy(counters + b * kAesBlock, counter, kAesBlock);
        }
        int produced = 0;
        ok = EVP_EncryptUpdate(context, stream, &produced, counters,
                               static_cast<int>(blocks * kAesBlock)) == 1 &&
             produced == static_cast<int>(blocks * kAesBlock);
        for (size_t i = 0; ok && i < chunk; i++) data[done + i] ^= stream[i];
        done += chunk;
    }
    EVP_CIPHER_CTX_free(context);
    OPENSSL_cleanse(stream, sizeof(stream));
    return ok;
}

}  // namespace

bool ZZipDecoder::decode(uint32_t method, const unsigned char* in, size_t inLength,
                         unsigned char* out, size_t outLength) {
    if (method == kMethodStored) {
        if (inLength != outLength) return false;
        if (outLength) memmove(out, in, outLength);
        return true;
    }
    if (method != kMethodDeflated || inLength > UINT_MAX || outLength > UINT_MAX) return false;

    z_stream stream;
    memset(&stream, 0, sizeof(stream));
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return false;
    stream.next_in = const_cast<Bytef*>(in);
    stream.avail_in = static_cast<uInt>(inLength);
    stream.next_out = out;
    stream.avail_out = static_cast<uInt>(outLength);
    int result = inflate(&stream, Z_FINISH);
    bool whole = result == Z_STREAM_END && stream.total_out == outLength;
    inflateEnd(&stream);
    return whole;
}

bool ZZipDecoder::decryptTraditional(const char* password, unsigned char* data, size_t length,
                                     unsigned char check) {
    if (!password || length < kTraditionalHeader) return false;
    TraditionalKeys keys(password);
    for (size_t i = 0; i < length; i++) data[i] = keys.decrypt(data[i]);
    return data[kTraditionalHeader - 1] == check;
}

const EVP_CIPHER* ZZipDecoder::aesEcbCipher(size_t keyLength) {
    switch (keyLength) {
        case 16:
            return EVP_aes_128_ecb();
        case 24:
            return EVP_aes_192_ecb();
        case 32:
            return EVP_aes_256_ecb();
        default:
            return nullptr;
    }
}

size_t ZZipDecoder::aesSaltLength(int strength) {
    return strength >= 1 && strength <= 3 ? 4 + 4 * static_cast<size_t>(strength) : 0;
}

bool ZZipDecoder::decryptAes(const char* password, int strength, unsigned char* data, size_t length,
                             bool* wrongPassword) {
    if (wrongPassword) *wrongPassword = false;
    size_t saltLength = aesSaltLength(strength);
    if (!password || !saltLength || length < saltLength + kAesVerifier + kAesCode ||
        length > INT_MAX)
        return false;
    size_t keyLength = 2 * saltLength;
    unsigned char derived[2 * 32 + kAesVerifier];
    size_t derivedLength = 2 * keyLength + kAesVerifier;
    unsigned char* body = data + saltLength + kAesVerifier;
    size_t bodyLength = length - saltLength - kAesVerifier - kAesCode;

    bool ok = PKCS5_PBKDF2_HMAC_SHA1(password, static_cast<int>(strlen(password)), data,
                                     static_cast<int>(saltLength), kAesIterations,
                                     static_cast<int>(derivedLength), derived) == 1;
    if (ok && memcmp(derived + 2 * keyLength, data + saltLength, kAesVerifier) != 0) {
        ok = false;
        if (wrongPassword) *wrongPassword = true;
    }
    if (ok) {
        unsigned char code[EVP_MAX_MD_SIZE];
        unsigned int codeLength = 0;
        ok = HMAC(EVP_sha1(), derived + keyLength, static_cast<int>(keyLength), body, bodyLength,
                  code, &codeLength) != nullptr &&
             codeLength >= kAesCode && CRYPTO_memcmp(code, body + bodyLength, kAesCode) == 0;
    }
    if (ok) ok = aesCounterDecrypt(derived, keyLength, body, bodyLength);
    OPENSSL_cleanse(derived, sizeof(derived));
    return ok;
}
