#include "ZTextFaceNode.h"

#include "ZTextFace.h"

namespace {

bool isSet(ZTextFaceNodeParamSet set) {
    return set == ZTextFaceNodeParamSet0 || set == ZTextFaceNodeParamSet1;
}

}  // namespace

ZTextFaceNode::ZTextFaceNode()
    : face(nullptr),
      height(0),
      baseline(0),
      text(nullptr),
      encoding(0),
      graphic(nullptr),
      x1(0),
      y1(0),
      x2(0),
      y2(0),
      flipX(false),
      flipY(false),
      params{{kNoOperation, {1, 1, 1, 1}}, {kNoOperation, {1, 1, 1, 1}}},
      defaultColor{1, 1, 1, 1},
      firstIndex(0),
      endIndex(0) {}

void ZTextFaceNode::setFont(ZTextFace* newFace, float newHeight, float newBaseline) {
    graphic = nullptr;
    if (!newFace) {
        face = nullptr;
        height = 0;
        baseline = 0;
        encoding = 0;
        return;
    }
    face = newFace;
    height = newHeight < 0 ? static_cast<float>(newFace->getHeightPix()) : newHeight;
    baseline = newBaseline < 0 ? newFace->getBaseline() : newBaseline;
    encoding = newFace->getTextEncoding();
}

void ZTextFaceNode::setText(const char* newText, long newEncoding) {
    text = newText;
    graphic = nullptr;
    if (newEncoding != -1) encoding = newEncoding;
}

void ZTextFaceNode::setGraphic(ZGraphic* newGraphic, float left, float top, float right,
                               float bottom, bool mirrorX, bool mirrorY, float newBaseline) {
    face = nullptr;
    text = "*";
    graphic = newGraphic;
    x1 = left;
    y1 = top;
    x2 = right;
    y2 = bottom;
    flipX = mirrorX;
    flipY = mirrorY;
    height = bottom - top;
    baseline = newBaseline < 0 ? bottom - top : newBaseline;
}

void ZTextFaceNode::setNoOp(ZTextFaceNodeParamSet set) {
    if (isSet(set)) params[set].operation = kNoOperation;
}

void ZTextFaceNode::setColor(ZTextFaceNodeParamSet set, float r, float g, float b, float a) {
    if (!isSet(set)) return;
    params[set].operation = kColorOperation;
    params[set].color[0] = r;
    params[set].color[1] = g;
    params[set].color[2] = b;
    params[set].color[3] = a;
}

void ZTextFaceNode::setColorAsText(ZTextFaceNodeParamSet set, const char* color) {
    if (!isSet(set)) return;
    float rgba[4];
    ZTextFace::parseColor(color, rgba);
    setColor(set, rgba[0], rgba[1], rgba[2], rgba[3]);
}
