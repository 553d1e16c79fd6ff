#pragma once

#include "CEmitter.h"
#include "ZList.h"
#include "ZMatrix.h"

// The emitters of one emitter element, owned: ticked together, finished ones deleted, drawn
// with one colour and the parent's matrix.
class CEmitterList : public ZList<CEmitter> {
public:
    CEmitterList() = default;
    ~CEmitterList() { destroy(); }

    void tick();
    void blit(ZBatch* batch, CEmitterBlendFunction blendFn);
    void setBlitColor(float r, float g, float b, float a);
    void getBlitColor(float* rgba) const;
    void setParentMatrix(const ZMatrix& m) { m_parentMatrix = m; }
    const ZMatrix& getParentMatrix() const { return m_parentMatrix; }
    void destroy();

private:
    float m_color[4] = {1, 1, 1, 1};
    ZMatrix m_parentMatrix;
};
