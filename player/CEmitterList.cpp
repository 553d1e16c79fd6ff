#include "CEmitterList.h"

#include <algorithm>

namespace {

float clampUnit(float v) {
    return std::min(std::max(v, 0.0f), 1.0f);
}

}  // namespace

void CEmitterList::tick() {
    for (CEmitter* emitter : *this) {
        emitter->tick();
        if (emitter->isFinished()) {
            remove(emitter);
            delete emitter;
        }
    }
}

void CEmitterList::blit(ZBatch* batch, CEmitterBlendFunction blendFn) {
    for (CEmitter* emitter : *this) emitter->blit(batch, blendFn, m_color, m_parentMatrix);
}

void CEmitterList::setBlitColor(float r, float g, float b, float a) {
    m_color[0] = clampUnit(r);
    m_color[1] = clampUnit(g);
    m_color[2] = clampUnit(b);
    m_color[3] = clampUnit(a);
}

void CEmitterList::getBlitColor(float* rgba) const {
    std::copy(m_color, m_color + 4, rgba);
}

void CEmitterList::destroy() {
    for (CEmitter* emitter : *this) {
        remove(emitter);
        delete emitter;
    }
}
