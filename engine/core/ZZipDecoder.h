#pragma once

#include <openssl/evp.h>

#include <cstddef>
#include <cstdint>

// Turns the raw bytes of a zip entry into its contents: the two decryptions the system's zip
// library lacks (the traditional cipher and WinZip AES) and decoding by compression method.
// Every function answers false on damaged data or a wrong password; nothing is allocated.
class ZZipDecoder {
public:
    enum {
        kMethodStored = 0,
        kMethodDeflated = 8,
        kMethodAes = 99,
        kTraditionalHeader = 12,  // bytes before the encrypted body
        kAesVerifier = 2,
        kAesCode = 10,  // bytes of the authentication code kept
    };

    // Stored or deflated input into exactly outLength bytes.
    static bool decode(uint32_t method, const unsigned char* in, size_t inLength,
                       unsigned char* out, size_t outLength);

    // Decrypts in place. check is the header's last byte once decrypted: the CRC's high byte,
    // or the DOS time's high byte when the sizes follow the data.
    static bool decryptTraditional(const char* password, unsigned char* data, size_t length,
                                   unsigned char check);

    // The AES block cipher for a key of 16, 24 or 32 bytes; null for another length. The
    // hashed ini files use it too.
    static const EVP_CIPHER* aesEcbCipher(size_t keyLength);

    // Salt length of an AES strength (1, 2, 3 for 128, 192, 256 bits); 0 for another.
    static size_t aesSaltLength(int strength);

    // data is the salt, the verifier, the encrypted body and the authentication code. Checks
    // the verifier and the code, then decrypts the body in place; it starts at
    // aesSaltLength(strength) + kAesVerifier. On failure wrongPassword (when given) tells a
    // verifier that does not match the password from damaged data.
    static bool decryptAes(const char* password, int strength, unsigned char* data, size_t length,
                           bool* wrongPassword = nullptr);
};
