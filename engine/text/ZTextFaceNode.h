#pragma once

#include <cstdint>

class ZGraphic;
class ZTextFace;

// The two colour parameter sets of a run (0 text, 1 outline); other numbers are ignored.
enum ZTextFaceNodeParamSet : int32_t {
    ZTextFaceNodeParamSet0 = 0,
    ZTextFaceNodeParamSet1 = 1,
};

// One run of rich text for the multi-line layout: text in a face at a pixel height, or an
// inline graphic that takes the place of one character. The layout reads the members directly
// and records in firstIndex and endIndex the line-buffer range the run's text took.
class ZTextFaceNode {
public:
    static constexpr int32_t kNoOperation = 0;
    static constexpr int32_t kColorOperation = 1;

    struct Param {
        int32_t operation;
        float color[4];
    };

    ZTextFaceNode();

    // A negative height or baseline takes the face's; the run takes the face's encoding. A null
    // face clears the run.
    void setFont(ZTextFace* face, float height, float baseline);
    // The text is not copied; an encoding of -1 keeps the run's.
    void setText(const char* text, long encoding);
    // The graphic's source rectangle drawn in place of one character, mirrored by the flags; a
    // negative baseline means the rectangle's height.
    void setGraphic(ZGraphic* graphic, float x1, float y1, float x2, float y2, bool flipX,
                    bool flipY, float baseline);
    void setNoOp(ZTextFaceNodeParamSet set);
    void setColor(ZTextFaceNodeParamSet set, float r, float g, float b, float a);
    void setColorAsText(ZTextFaceNodeParamSet set, const char* color);

    ZTextFace* face;
    float height;
    float baseline;
    const char* text;
    long encoding;
    ZGraphic* graphic;
    float x1, y1, x2, y2;
    bool flipX, flipY;
    Param params[2];
    float defaultColor[4];
    long firstIndex;
    long endIndex;
};
