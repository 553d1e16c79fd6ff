#pragma once

// Extra space between two characters when the second follows the first; a list ends at a pair
// whose first code is 0.
struct ZFontKerningPair {
    long first;
    long second;
    float amount;
};
