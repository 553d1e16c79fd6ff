#pragma once

#include <cstdint>
#include <vector>

// Little-endian fields of the file formats the core reads and writes (zip records, hashed ini
// files), whatever the byte order of the machine.
class ZLittleEndian {
public:
    static uint16_t read16(const unsigned char* p) {
        return static_cast<uint16_t>(p[0] | (p[1] << 8));
    }
    static uint32_t read32(const unsigned char* p) {
        return static_cast<uint32_t>(read16(p)) | (static_cast<uint32_t>(read16(p + 2)) << 16);
    }
    static uint64_t read64(const unsigned char* p) {
        return static_cast<uint64_t>(read32(p)) | (static_cast<uint64_t>(read32(p + 4)) << 32);
    }
    static void append32(std::vector<unsigned char>& out, uint32_t value) {
        for (int shift = 0; shift < 32; shift += 8)
            out.push_back(static_cast<unsigned char>(value >> shift));
    }
};
