#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

// Writes tar archives block by block for the tests, with every header field under the test's
// control so that damaged archives are as easy to make as good ones.
struct TarHeader {
    std::string name;
    std::string data;  // written after the header, padded to whole blocks
    char type = '0';
    int64_t mtime = 1234567890;
    std::string prefix;
    std::string magic = std::string(
        "ustar\0"
        "00",
        8);
    std::string sizeField;  // raw size field; empty means data's size in octal
    std::string linkName;
    // Raw bytes written over the block at their offsets before the checksum is taken.
    std::vector<std::pair<size_t, std::string>> patches;
    int checksumError = 0;  // added to the correct checksum
    bool signedChecksum = false;
};

class TarBuilder {
public:
    // Goes on from bytes already written.
    explicit TarBuilder(std::string start = std::string()) : m_bytes(std::move(start)) {}

    static std::string gnuMagic() { return std::string("ustar  \0", 8); }
    static std::string v7Magic() { return std::string(8, '\0'); }

    TarBuilder& add(const TarHeader& header) {
        std::string block(512, '\0');
        put(block, 0, header.name, 100);
        put(block, 100, "0000644", 8);
        put(block, 108, "0000000", 8);
        put(block, 116, "0000000", 8);
        put(block, 124, header.sizeField.empty() ? octal(header.data.size()) : header.sizeField,
            12);
        put(block, 136, octal(static_cast<uint64_t>(header.mtime)), 12);
        block[156] = header.type;
        put(block, 157, header.linkName, 100);
        put(block, 257, header.magic, 8);
        put(block, 345, header.prefix, 155);
        for (const auto& [at, bytes] : header.patches) block.replace(at, bytes.size(), bytes);

        int64_t sum = 0;
        for (size_t i = 0; i < 512; i++) {
            bool inField = i >= 148 && i < 156;
            unsigned char byte = inField ? ' ' : static_cast<unsigned char>(block[i]);
            sum += header.signedChecksum ? static_cast<signed char>(byte) : byte;
        }
        char checksum[8];
        snprintf(checksum, sizeof(checksum), "%06o",
                 static_cast<unsigned>(sum + header.checksumError));
        memcpy(&block[148], checksum, 7);
        block[155] = ' ';

        m_bytes += block;
        m_bytes += header.data;
        m_bytes.append((512 - header.data.size() % 512) % 512, '\0');
        return *this;
    }

    TarBuilder& file(const std::string& name, const std::string& data) {
        TarHeader header;
        header.name = name;
        header.data = data;
        return add(header);
    }

    TarBuilder& folder(const std::string& name) {
        TarHeader header;
        header.name = name;
        header.type = '5';
        return add(header);
    }

    // The GNU block that hands a long name to the next header.
    TarBuilder& longName(const std::string& name) {
        TarHeader header;
        header.name = "././@LongLink";
        header.type = 'L';
        header.data = name + '\0';
        return add(header);
    }

    // The GNU block that hands a long link target to the next header.
    TarBuilder& longLinkTarget(const std::string& target) {
        TarHeader header;
        header.name = "././@LongLink";
        header.type = 'K';
        header.data = target + '\0';
        return add(header);
    }

    // A link of the type ('1' hard, '2' symbolic) to target.
    TarBuilder& link(const std::string& name, const std::string& target, char type = '1') {
        TarHeader header;
        header.name = name;
        header.linkName = target;
        header.type = type;
        return add(header);
    }

    // One record of a pax extended header: its length counts the whole record, itself included.
    static std::string paxRecord(const std::string& key, const std::string& value) {
        std::string body = " " + key + "=" + value + "\n";
        size_t length = body.size() + 1;
        while (std::to_string(length).size() + body.size() != length) length++;
        return std::to_string(length) + body;
    }

    // A pax extended header ('x' for the next member, 'g' global) of the records.
    TarBuilder& pax(const std::vector<std::pair<std::string, std::string>>& records,
                    char type = 'x') {
        TarHeader header;
        header.name = "PaxHeaders/next";
        header.type = type;
        for (const auto& [key, value] : records) header.data += paxRecord(key, value);
        return add(header);
    }

    TarBuilder& zeroBlocks(int count) {
        m_bytes.append(512 * static_cast<size_t>(count), '\0');
        return *this;
    }

    TarBuilder& raw(const std::string& bytes) {
        m_bytes += bytes;
        return *this;
    }

    // The archive with the two closing zero blocks.
    std::string finish() const { return m_bytes + std::string(1024, '\0'); }
    // The archive as written so far.
    const std::string& bytes() const { return m_bytes; }

private:
    static std::string octal(uint64_t value) {
        char text[16];
        snprintf(text, sizeof(text), "%011llo", static_cast<unsigned long long>(value));
        return text;
    }

    static void put(std::string& block, size_t at, const std::string& text, size_t width) {
        block.replace(at, std::min(text.size(), width), text.substr(0, width));
    }

    std::string m_bytes;
};
