#pragma once

// One display mode: size, bits per pixel and refresh rate (0 is given as 60).
struct ZDisplay {
    long width;
    long height;
    long depth;
    long refreshRate;
};
