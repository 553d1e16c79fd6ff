#pragma once

#include <cstdint>

#include "CEmitterBehavior.h"
#include "ZGraphic.h"
#include "ZMatrix.h"
#include "ZObjectListable.h"
#include "ZRectangle.h"
#include "ZVector2.h"

class ZBatch;

// Sets the texture and blend factors the next particles are drawn with; the emitter element
// passes ZUIElement::setBatchedTexture.
typedef void (*CEmitterBlendFunction)(ZGraphic* graphic, eTazelAlphaOp src, eTazelAlphaOp dst,
                                      bool restoreOps, bool restoreColor);

// One particle of a burst; it lives from age 0 to age 1.
struct CEmitterParticle {
    bool alive;
    float age, ageStep;
    float x, y, vx, vy;
    float angle, angleSpeed;
    float scale, scaleSpeed;
    float r, g, b, a;
};

// A one-shot burst of particles spawned in a shape, moved in steps of 10 ms of play and drawn
// with one graphic region. Every emitter of the process sits in one global list with a cap: a
// new emitter past the cap retires the oldest, which finishes at its next tick.
class CEmitter : public ZObjectListable {
public:
    CEmitter(int64_t capacity, ZGraphic* graphic, const ZRectangle& sourceRect,
             const eTazelAlphaOp alphaOps[2], const CEmitterBehavior& behavior,
             const ZVector2& pivot);
    ~CEmitter() override;
    CEmitter(const CEmitter&) = delete;
    CEmitter& operator=(const CEmitter&) = delete;

    void setHoldoff(double ms) { m_holdoff = ms; }
    void setMatrix(const ZMatrix& m) { m_matrix = m; }

    void addParticlesFromRect(int64_t n, float x1, float y1, float x2, float y2);
    void addParticlesFromEllipse(int64_t n, float minRadiusX, float minRadiusY, float maxRadiusX,
                                 float maxRadiusY, float minAngle, float maxAngle);
    void addParticlesFromArbitraryQuad(int64_t n, float x1, float y1, float x2, float y2, float x3,
                                       float y3, float x4, float y4);
    // points: pointCount entries, three per triangle.
    void addParticlesFromTriangles(int64_t n, int64_t pointCount, const ZVector2* points);

    void tick();
    void blit(ZBatch* batch, CEmitterBlendFunction blendFn, const float color[4],
              const ZMatrix& parentMatrix);

    void insertIntoGlobalList();
    void removeFromGlobalList();

    int64_t getCapacity() const { return m_capacity; }
    int64_t getUsed() const { return m_used; }
    const CEmitterParticle* getParticles() const { return m_particles; }
    const ZMatrix& getMatrix() const { return m_matrix; }
    double getHoldoff() const { return m_holdoff; }
    bool isFinished() const { return m_finished; }
    bool isRetired() const { return m_retired; }

    // The blend curve at an age from 0 to 1.
    static float blendAt(const CEmitterBehavior& behavior, float age);

    static long g_nMaxEmitters;  // 0 or below: no cap
    static long getGlobalCount() { return g_nEmitters; }
    static CEmitter* getOldest() { return g_lpFirstEmitter; }

private:
    // How many of n particles fit.
    int64_t reserve(int64_t n);
    // Spawns what fits of n particles: place starts each one's life, sets its position and
    // answers its colour factor, drawing in the shape's order; the motion and colour follow.
    template <class Place>
    void spawn(int64_t n, Place place);
    // The same in one of the triangles that pick gives for a random integer.
    template <class Pick>
    void spawnInTriangles(int64_t n, Pick pick);
    void spawnMotion(CEmitterParticle& p, float colorFactor);

    int64_t m_capacity;
    int64_t m_used = 0;
    CEmitterParticle* m_particles;
    ZMatrix m_matrix;
    ZVector2 m_pivot;
    ZGraphic* m_graphic;
    ZRectangle m_sourceRect;
    eTazelAlphaOp m_alphaOps[2];
    CEmitterBehavior m_behavior;
    double m_holdoff = 0;
    bool m_finished = false;
    bool m_retired = false;
    // Links in the global list, apart from the owning list's links.
    CEmitter* m_globalNext = nullptr;
    CEmitter* m_globalPrev = nullptr;
    bool m_inGlobalList = false;

    static long g_nEmitters;
    static CEmitter* g_lpFirstEmitter;
    static CEmitter* g_lpLastEmitter;
};
