#include "ZDisplayModeSearch.h"

#include <cstddef>

long ZDisplayModeSearch::find(const std::vector<Mode>& modes, long width, long height, long depth) {
    for (bool preferredOnly : {true, false}) {
        long best = -1;
        for (std::size_t i = 0; i < modes.size(); i++) {
            const Mode& mode = modes[i];
            if (mode.depth < kMinDepth || mode.width != width || mode.height != height) continue;
            if (preferredOnly && !(mode.flags & kPreferredFlag)) continue;
            if (mode.depth == depth) return static_cast<long>(i);
            if (best < 0 || (modes[best].depth < mode.depth && modes[best].depth < depth))
                best = static_cast<long>(i);
        }
        if (best >= 0) return best;
    }
    return -1;
}
