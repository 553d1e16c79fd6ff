#pragma once

// One decoded picture as the decoder hands it out: three planes, top row first, and the shown
// region within the luma plane. The chroma planes' subsampling is read from their real sizes
// (4:2:0, 4:2:2 or 4:4:4).
struct ZVideoPicture {
    const unsigned char* y = nullptr;
    const unsigned char* u = nullptr;
    const unsigned char* v = nullptr;
    long yWidth = 0, yHeight = 0, yStride = 0;
    long uvWidth = 0, uvHeight = 0, uvStride = 0;
    long offsetX = 0, offsetY = 0, width = 0, height = 0;
};
