#pragma once

#include <vector>

// The choice of the display mode that full screen switches to, over the modes the display
// offers, kept apart from the display so that it can be checked on any mode list.
class ZDisplayModeSearch {
public:
    // Modes with this flag are the display's preferred ones, searched first.
    static constexpr unsigned long kPreferredFlag = 0x800;
    static constexpr long kMinDepth = 16;

    struct Mode {
        long width;
        long height;
        long depth;  // bits per pixel
        long refreshRate;
        unsigned long flags;
    };

    // Index of the mode to use for a width x height screen of the given depth, or -1. Preferred
    // modes of that size come first, any mode of that size only when none is preferred; within a
    // pass the exact depth wins, else the first candidate gives way to deeper ones while it is
    // shallower than the request. Modes below 16 bits per pixel never count.
    static long find(const std::vector<Mode>& modes, long width, long height, long depth);
};
