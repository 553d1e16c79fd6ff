#include "ZChecksum.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

typedef std::vector<unsigned char> Bytes;

std::string hex(const unsigned char* digest) {
    std::string text;
    char pair[3];
    for (int i = 0; i < 16; i++) {
        snprintf(pair, sizeof(pair), "%02x", digest[i]);
        text += pair;
    }
    return text;
}

const unsigned char* bytesOf(const std::string& text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

// The digest of data fed in pieces of the given sizes (the rest in one last piece).
std::string digestInPieces(const unsigned char* data, size_t size,
                           const std::vector<size_t>& pieces) {
    ZChecksum checksum;
    checksum.reset();
    size_t at = 0;
    for (size_t piece : pieces) {
        checksum.update(data + at, piece);
        at += piece;
    }
    checksum.update(data + at, size - at);
    unsigned char digest[16];
    checksum.finalize(digest);
    return hex(digest);
}

std::string digestOf(const unsigned char* data, size_t size) {
    return digestInPieces(data, size, {});
}

std::string opensslDigest(const unsigned char* data, size_t size) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(data, size, digest, &length, EVP_md5(), nullptr) != 1 || length != 16)
        return "openssl failed";
    return hex(digest);
}

Bytes randomBytes(std::mt19937& random, size_t size) {
    Bytes bytes(size);
    for (unsigned char& b : bytes) b = static_cast<unsigned char>(random());
    return bytes;
}

TEST(ZChecksumTest, Rfc1321Vectors) {
    struct Case {
        std::string message;
        const char* digest;
    } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(digestOf(bytesOf(c.message), c.message.size()), c.digest) << c.message;
        std::vector<size_t> bytewise(c.message.size(), 1);
        EXPECT_EQ(digestInPieces(bytesOf(c.message), c.message.size(), bytewise), c.digest)
            << c.message << ", one byte per call";
    }
}

TEST(ZChecksumTest, AnySplitGivesTheSameDigest) {
    std::mt19937 random(7);
    Bytes data = randomBytes(random, 200);
    std::string whole = opensslDigest(data.data(), data.size());
    for (size_t split = 0; split <= data.size(); split++)
        EXPECT_EQ(digestInPieces(data.data(), data.size(), {split}), whole) << "split at " << split;
    // Empty pieces anywhere, and pieces that straddle block ends.
    EXPECT_EQ(digestInPieces(data.data(), data.size(), {0, 0, 63, 0, 2, 0, 64, 70}), whole);
    EXPECT_EQ(digestInPieces(data.data(), data.size(), {1, 127, 0}), whole);
}

TEST(ZChecksumTest, LengthsAroundBlockAndPaddingBoundaries) {
    std::mt19937 random(11);
    for (size_t size : {1, 55, 56, 57, 63, 64, 65, 119, 120, 121, 127, 128, 129, 191, 192}) {
        Bytes data = randomBytes(random, size);
        EXPECT_EQ(digestOf(data.data(), size), opensslDigest(data.data(), size)) << size;
        // Whole blocks first, then the rest: a block completed by update, padding by finalize.
        EXPECT_EQ(digestInPieces(data.data(), size, {size / 64 * 64}),
                  opensslDigest(data.data(), size))
            << size << " in blocks";
    }
}

TEST(ZChecksumTest, RandomDataInRandomPiecesMatchesOpenSsl) {
    std::mt19937 random(1321);
    std::vector<size_t> sizes;
    for (size_t size = 0; size <= 1100; size += 13) sizes.push_back(size);
    sizes.push_back(65536);
    sizes.push_back(1000003);
    for (size_t size : sizes) {
        Bytes data = randomBytes(random, size);
        std::vector<size_t> pieces;
        for (size_t left = size; left > 0;) {
            size_t piece = std::min<size_t>(left, random() % 300);
            pieces.push_back(piece);
            left -= piece;
        }
        EXPECT_EQ(digestInPieces(data.data(), size, pieces), opensslDigest(data.data(), size))
            << size;
    }
}

// Past 2^29 bytes the bit count no longer fits its low word.
TEST(ZChecksumTest, BitCountCarriesIntoTheHighWord) {
    std::mt19937 random(5);
    Bytes block = randomBytes(random, 1 << 20);
    ZChecksum checksum;
    EVP_MD_CTX* reference = EVP_MD_CTX_new();
    ASSERT_TRUE(reference && EVP_DigestInit_ex(reference, EVP_md5(), nullptr) == 1);
    for (int i = 0; i < 513; i++) {
        checksum.update(block.data(), block.size() - (i == 512 ? 3 : 0));
        EVP_DigestUpdate(reference, block.data(), block.size() - (i == 512 ? 3 : 0));
    }
    unsigned char digest[16], expected[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    checksum.finalize(digest);
    EVP_DigestFinal_ex(reference, expected, &length);
    EVP_MD_CTX_free(reference);
    EXPECT_EQ(hex(digest), hex(expected));
}

TEST(ZChecksumTest, ResetStartsAFreshDigest) {
    ZChecksum checksum;
    unsigned char digest[16];
    checksum.update(bytesOf("something else"), 14);
    checksum.reset();
    checksum.update(bytesOf("abc"), 3);
    checksum.finalize(digest);
    EXPECT_EQ(hex(digest), "900150983cd24fb0d6963f7d28e17f72");
    checksum.reset();
    checksum.update(bytesOf("abc"), 3);
    checksum.finalize(digest);
    EXPECT_EQ(hex(digest), "900150983cd24fb0d6963f7d28e17f72") << "reused after finalize";
}

}  // namespace
