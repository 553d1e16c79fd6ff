#pragma once

// The fuzz input read as a stream of values; once it is used up every read gives zero, so a
// target never has to check the length between reads.
#include <cstddef>
#include <cstdint>
#include <cstring>

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    bool done() const { return m_offset >= m_size; }
    size_t remaining() const { return m_size - m_offset; }

    uint8_t byte() { return m_offset < m_size ? m_data[m_offset++] : 0; }

    // The next sizeof(T) bytes in memory order, zero-filled past the end.
    template <class T>
    T raw() {
        T value{};
        size_t take = remaining() < sizeof(value) ? remaining() : sizeof(value);
        std::memcpy(&value, m_data + m_offset, take);
        m_offset += take;
        return value;
    }

    // Any float at all, infinities and NaNs included, from the next four bytes (high first).
    float anyFloat() {
        uint32_t bits = 0;
        for (int i = 0; i < 4; i++) bits = bits << 8 | byte();
        float value;
        std::memcpy(&value, &bits, sizeof(value));
        return value;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_offset = 0;
};
