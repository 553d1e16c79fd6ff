#include "CPlayer.h"
#include "CScene.h"
#include "CSprite.h"
#include "ZBatch.h"
#include "ZGraphic.h"
#include "ZMatrix.h"
#include "ZPolygon.h"
#include "ZUIElement.h"

namespace {

// The screen is tested inset by this much, so that edges that meet it exactly still cover it.
const float kScreenInset = 0.01f;

// A point of the tree (y downwards) through a matrix that works with y upwards.
ZVector2 transformed(const ZMatrix& m, float x, float y) {
    ZVector2 p = m.transform2({x, -y});
    return {p.x, -p.y};
}

void corners(const ZMatrix& m, float width, float height, ZVector2 (&out)[4]) {
    out[0] = transformed(m, 0, 0);
    out[1] = transformed(m, width, 0);
    out[2] = transformed(m, width, height);
    out[3] = transformed(m, 0, height);
}

// The screen of the design size, inset.
void screenQuad(float width, float height, ZVector2 (&out)[4]) {
    out[0] = {kScreenInset, kScreenInset};
    out[1] = {width - kScreenInset, kScreenInset};
    out[2] = {width - kScreenInset, height - kScreenInset};
    out[3] = {kScreenInset, height - kScreenInset};
}

}  // namespace

bool CPlayer::mainSceneNeedsClear(CScene* main) {
    if (!main || !main->backgroundImage) return true;
    ZUIElement* container = m_gestureContainers[0];
    ZUIElement* background = main->backgroundSprite ? main->backgroundSprite->element : nullptr;
    // Without a pan the background stays where the scene put it, over the screen.
    if (!background || !background->isOfClass("ZUIImage") || !container ||
        main->layer != container->getLayer())
        return false;
    ZMatrix m = background->getAbsMatrix() * container->getAbsMatrix().inverse();
    ZVector2 image[4];
    corners(m, main->backgroundImage->getWidth(), main->backgroundImage->getHeight(), image);
    ZVector2 screen[4];
    screenQuad(m_designWidth, m_designHeight, screen);
    return !ZPolygon{4, image}.contains(ZPolygon{4, screen});
}

void CPlayer::drawBandAroundMainScene(CScene* main) {
    ZUIElement* container = m_gestureContainers[0];
    if (!main || !main->backgroundImage || !container || main->layer != container->getLayer())
        return;
    ZVector2 q[4];
    corners(container->getAbsMatrix(), container->getWidth(), container->getHeight(), q);
    ZVector2 screen[4];
    screenQuad(m_designWidth, m_designHeight, screen);
    if (container->getBlend() >= 1.0f && ZPolygon{4, q}.contains(ZPolygon{4, screen})) return;
    ZBatch* batch = ZUIElement::getBatch();
    if (!batch || !m_drawGraphic) return;

    const ZVector2 s[4] = {
        {0, 0}, {m_designWidth, 0}, {m_designWidth, m_designHeight}, {0, m_designHeight}};
    // The space between the screen and the scene's quad, as eight triangles.
    const ZVector2* triangles[8][3] = {
        {&s[0], &q[1], &q[0]}, {&s[0], &q[0], &s[3]}, {&q[0], &q[3], &s[3]}, {&q[3], &s[2], &s[3]},
        {&q[3], &q[2], &s[2]}, {&q[2], &s[1], &s[2]}, {&s[0], &s[1], &q[1]}, {&q[1], &s[1], &q[2]},
    };
    batch->beginBatch(m_drawGraphic);
    for (const auto& t : triangles)
        batch->drawTriangle(t[0]->x, t[0]->y, t[1]->x, t[1]->y, t[2]->x, t[2]->y, 0, 0, 0, 1);
    batch->endBatch();
}
