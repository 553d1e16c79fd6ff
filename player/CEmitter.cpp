#include "CEmitter.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <new>

#include "ZBatch.h"
#include "ZRandom.h"

long CEmitter::g_nMaxEmitters = 0;
long CEmitter::g_nEmitters = 0;
CEmitter* CEmitter::g_lpFirstEmitter = nullptr;
CEmitter* CEmitter::g_lpLastEmitter = nullptr;

namespace {

// The generator's float can be exactly 1.0; a unit draw here stays below 1 so that a particle
// never lands on the far edge of its shape.
float unitRandom() {
    float f = ZRandom::getRandomFloat();
    return f < 1.0f ? f : 0x1.fffffep-1f;
}

float randomIn(float a, float b) {
    return a + unitRandom() * (b - a);
}

}  // namespace

CEmitter::CEmitter(int64_t capacity, ZGraphic* graphic, const ZRectangle& sourceRect,
                   const eTazelAlphaOp alphaOps[2], const CEmitterBehavior& behavior,
                   const ZVector2& pivot)
    : m_capacity(std::max<int64_t>(capacity, 0)),
      m_pivot(pivot),
      m_graphic(graphic),
      m_sourceRect(sourceRect),
      m_behavior(behavior) {
    m_alphaOps[0] = alphaOps[0];
    m_alphaOps[1] = alphaOps[1];
    m_particles = m_capacity > 0 ? new (std::nothrow) CEmitterParticle[m_capacity]() : nullptr;
    if (!m_particles) m_capacity = 0;

    while (g_nMaxEmitters > 0 && g_nEmitters >= g_nMaxEmitters) {
        CEmitter* oldest = g_lpFirstEmitter;
        if (!oldest || oldest->m_retired) break;
        oldest->removeFromGlobalList();
        oldest->m_retired = true;
    }
    insertIntoGlobalList();
}

CEmitter::~CEmitter() {
    if (!m_retired) removeFromGlobalList();
    delete[] m_particles;
}

void CEmitter::insertIntoGlobalList() {
    if (m_inGlobalList) return;
    m_globalPrev = g_lpLastEmitter;
    m_globalNext = nullptr;
    if (g_lpLastEmitter) {
        g_lpLastEmitter->m_globalNext = this;
    } else {
        g_lpFirstEmitter = this;
    }
    g_lpLastEmitter = this;
    m_inGlobalList = true;
    g_nEmitters++;
}

void CEmitter::removeFromGlobalList() {
    if (!m_inGlobalList) return;
    if (m_globalPrev) {
        m_globalPrev->m_globalNext = m_globalNext;
    } else {
        g_lpFirstEmitter = m_globalNext;
    }
    if (m_globalNext) {
        m_globalNext->m_globalPrev = m_globalPrev;
    } else {
        g_lpLastEmitter = m_globalPrev;
    }
    m_globalNext = m_globalPrev = nullptr;
    m_inGlobalList = false;
    g_nEmitters--;
}

int64_t CEmitter::reserve(int64_t n) {
    return std::min(n, m_capacity - m_used);
}

void CEmitter::spawnMotion(CEmitterParticle& p, float c) {
    const CEmitterBehavior& b = m_behavior;
    p.vx = randomIn(b.velocityMinX, b.velocityMaxX);
    p.vy = randomIn(b.velocityMinY, b.velocityMaxY);
    p.angle = randomIn(b.angleMin, b.angleMax);
    p.angleSpeed = randomIn(b.angleSpeedMin, b.angleSpeedMax);
    p.scale = randomIn(b.scaleMin, b.scaleMax);
    p.scaleSpeed = randomIn(b.scaleSpeedMin, b.scaleSpeedMax);
    p.r = b.colorMin[0] + c * (b.colorMax[0] - b.colorMin[0]);
    p.g = b.colorMin[1] + c * (b.colorMax[1] - b.colorMin[1]);
    p.b = b.colorMin[2] + c * (b.colorMax[2] - b.colorMin[2]);
    p.a = b.colorMin[3] + c * (b.colorMax[3] - b.colorMin[3]);
}

namespace {

void startLife(CEmitterParticle& p, const CEmitterBehavior& b) {
    p.alive = true;
    p.age = 0;
    p.ageStep = randomIn(b.ageStepMin, b.ageStepMax);
}

}  // namespace

template <class Place>
void CEmitter::spawn(int64_t n, Place place) {
    n = reserve(n);
    for (int64_t i = 0; i < n; i++) {
        CEmitterParticle& p = m_particles[m_used + i];
        float c = place(p);
        spawnMotion(p, c);
    }
    if (n > 0) m_used += n;
}

template <class Pick>
void CEmitter::spawnInTriangles(int64_t n, Pick pick) {
    spawn(n, [&](CEmitterParticle& p) {
        float c = unitRandom();
        startLife(p, m_behavior);
        float u = unitRandom();
        float v = unitRandom();
        std::array<ZVector2, 3> t = pick(ZRandom::getRandom());
        if (u + v > 1) {
            u = 1 - u;
            v = 1 - v;
        }
        p.x = t[0].x + u * (t[1].x - t[0].x) + v * (t[2].x - t[0].x);
        p.y = t[0].y + u * (t[1].y - t[0].y) + v * (t[2].y - t[0].y);
        return c;
    });
}

void CEmitter::addParticlesFromRect(int64_t n, float x1, float y1, float x2, float y2) {
    spawn(n, [&](CEmitterParticle& p) {
        float c = unitRandom();
        startLife(p, m_behavior);
        // A rectangular ring: the draw is pushed out from the centre by half the inner size.
        float dx = (unitRandom() - 0.5f) * (x2 - x1);
        p.x = dx >= 0 ? dx + 0.5f * x1 : dx - 0.5f * x1;
        float dy = (unitRandom() - 0.5f) * (y2 - y1);
        p.y = dy >= 0 ? dy + 0.5f * y1 : dy - 0.5f * y1;
        return c;
    });
}

void CEmitter::addParticlesFromEllipse(int64_t n, float minRadiusX, float minRadiusY,
                                       float maxRadiusX, float maxRadiusY, float minAngle,
                                       float maxAngle) {
    spawn(n, [&](CEmitterParticle& p) {
        startLife(p, m_behavior);
        float theta = randomIn(minAngle, maxAngle);
        float c = unitRandom();
        p.x = randomIn(minRadiusX, maxRadiusX) * std::cos(theta);
        p.y = randomIn(minRadiusY, maxRadiusY) * std::sin(theta);
        return c;
    });
}

void CEmitter::addParticlesFromArbitraryQuad(int64_t n, float x1, float y1, float x2, float y2,
                                             float x3, float y3, float x4, float y4) {
    const ZVector2 corners[4] = {{x1, y1}, {x2, y2}, {x3, y3}, {x4, y4}};
    // Each half is chosen with equal chance, whatever the areas.
    spawnInTriangles(n, [&](unsigned long k) {
        return (k & 1) == 0 ? std::array<ZVector2, 3>{corners[0], corners[1], corners[2]}
                            : std::array<ZVector2, 3>{corners[0], corners[2], corners[3]};
    });
}

void CEmitter::addParticlesFromTriangles(int64_t n, int64_t pointCount, const ZVector2* points) {
    uint64_t triangles = points && pointCount > 0 ? static_cast<uint64_t>(pointCount / 3) : 0;
    if (triangles == 0) return;
    spawnInTriangles(n, [&](unsigned long k) {
        const ZVector2* t = points + 3 * (k % triangles);
        return std::array<ZVector2, 3>{t[0], t[1], t[2]};
    });
}

void CEmitter::tick() {
    if (m_holdoff > 10) {
        m_holdoff -= 10;
        if (m_retired) m_finished = true;
        return;
    }
    m_holdoff = 0;
    const CEmitterBehavior& b = m_behavior;
    bool anyAlive = false;
    for (int64_t i = 0; i < m_used; i++) {
        CEmitterParticle& p = m_particles[i];
        if (!p.alive) continue;
        p.age += p.ageStep;
        if (p.age >= 1) {
            p.age = 1;
            p.alive = false;
            continue;
        }
        p.x += p.vx;
        p.y += p.vy;
        p.vx += b.velocityAccelX;
        p.vy += b.velocityAccelY;
        p.angle += p.angleSpeed;
        p.angleSpeed += b.angleAccel;
        p.scale = std::max(0.0f, p.scale + p.scaleSpeed);
        p.scaleSpeed += b.scaleAccel;
        anyAlive = true;
    }
    m_finished = anyAlive ? m_retired : true;
}

float CEmitter::blendAt(const CEmitterBehavior& behavior, float age) {
    // Ages outside 0..1 (a negative age step) stay on the curve's ends.
    float t = std::min(std::max(age, 0.0f), 1.0f) * 4;
    int i = std::min(static_cast<int>(t), 4);
    int j = std::min(i + 1, 4);
    return behavior.blend[i] + (behavior.blend[j] - behavior.blend[i]) * (t - i);
}

void CEmitter::blit(ZBatch* batch, CEmitterBlendFunction blendFn, const float color[4],
                    const ZMatrix& parentMatrix) {
    if (!m_graphic) return;
    ZMatrix m = m_matrix * parentMatrix;
    bool spliced = m_graphic->isSpliced();
    if (blendFn) blendFn(spliced ? nullptr : m_graphic, m_alphaOps[0], m_alphaOps[1], true, true);
    const ZRectangle& s = m_sourceRect;
    float halfW = s.width() / 2, halfH = s.height() / 2;
    for (int64_t i = 0; i < m_used; i++) {
        const CEmitterParticle& p = m_particles[i];
        if (!p.alive) continue;
        float blend = blendAt(m_behavior, p.age);
        if (blend <= 0) continue;
        m_graphic->setBlitColor(p.r * color[0], p.g * color[1], p.b * color[2], p.a * color[3]);
        float cx = p.x + m_pivot.x, cy = p.y + m_pivot.y;
        if (spliced || !batch) {
            m_graphic->blitAlphaRectMatrixF(s.x1, s.y1, s.x2, s.y2, cx - halfW, cy - halfH,
                                            cx + halfW, cy + halfH, &m, p.angle, p.scale, p.scale,
                                            0, 0, blend, false, false, 0, 0);
        } else {
            batch->blitAlphaRectMatrixF(s.x1, s.y1, s.x2, s.y2, cx - halfW, cy - halfH, cx + halfW,
                                        cy + halfH, &m, p.angle, p.scale, p.scale, 0, 0, blend,
                                        false, false, 0, 0);
        }
    }
}
