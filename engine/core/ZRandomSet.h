#pragma once

#include <cstdint>
#include <cstring>

#include "ZRandom.h"

// A shuffle bag of up to N entries, drawn from the engine's random stream: every entry in use
// comes out once before any comes out again, and a new round never starts with the entry that
// ended the last one. A plain record: owners store it byte for byte, so the fields keep their
// order (N flag bytes filled up to a multiple of 8, the count, the last pick, the scratch list).
template <long N>
class ZRandomSet {
    static_assert(N > 0, "a bag holds at least one entry");

public:
    ZRandomSet() { reset(0); }

    // Entries 0 to count - 1 in use (clamped to 0..N), every flag clear and no last pick, so
    // the first draw starts a new round.
    void reset(long count) {
        memset(m_flags, 0, sizeof(m_flags));
        m_count = count < 0 ? 0 : (count > N ? N : count);
        m_last = -1;
        memset(m_scratch, 0, sizeof(m_scratch));
    }

    long getCount() const { return static_cast<long>(m_count); }
    long getLastPick() const { return static_cast<long>(m_last); }
    // Whether the entry is still in the bag for this round.
    bool isAvailable(long index) const {
        return index >= 0 && index < m_count && m_flags[index] != 0;
    }

    // The next entry; 0 for an empty bag.
    long getRandomEntry() {
        if (m_count <= 0) return 0;
        long m = gather();
        if (m == 0) {
            for (long i = 0; i < m_count; i++) m_flags[i] = 1;
            if (m_count >= 2 && m_last >= 0 && m_last < m_count) m_flags[m_last] = 0;
            m = gather();
        }
        // The float draw may be exactly 1.0: the position wraps.
        long position = static_cast<long>(static_cast<float>(m) * ZRandom::getRandomFloat()) % m;
        long pick = static_cast<long>(m_scratch[position]);
        m_flags[pick] = 0;
        m_last = pick;
        return pick;
    }

private:
    // The entries still in the bag, in index order, into the scratch list; their number.
    long gather() {
        long m = 0;
        for (long i = 0; i < m_count; i++)
            if (m_flags[i]) m_scratch[m++] = i;
        return m;
    }

    unsigned char m_flags[(N + 7) / 8 * 8];
    int64_t m_count;
    int64_t m_last;
    int64_t m_scratch[N];
};
