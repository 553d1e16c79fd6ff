#pragma once

#include <vector>

#include "ZUIElement.h"
#include "ZUIImageFrame.h"
#include "ZUIImageVisual.h"
#include "ZVector2.h"

// The element that shows pictures: an array of frames (rectangles of graphics, each with its
// drawing mode) and an array of named visuals, runs of frames that play as animations. The
// current visual's current frame is what the element draws, hit-tests and takes its bounds from.
class ZUIImage : public ZUIElement {
public:
    static constexpr long kMsgAnimEnded = zuiMessageCode('z', 'i', 'm', 1);
    static constexpr long kMsgFrameReached = zuiMessageCode('z', 'i', 'm', 2);

    explicit ZUIImage(ZUIElement* parent);
    ZUIImage(ZUIElement* parent, float x, float y, const char* name, const char* visualName,
             const char* file, long threshold, bool stencil);
    ZUIImage(ZUIElement* parent, float x, float y, const char* name, const char* visualName,
             long frameCount, const char* file, double frameDuration, bool forward, bool loop,
             bool pingPong);
    ~ZUIImage() override;

    static ZUIImage* isImage(ZUIElement* e);

    // Overrides, in the base's slot order.
    void copyFromTemplate(ZUIElement* t) override;
    ZUIBounds* getBounds() override;
    void setBounds(ZUIBounds* bounds, bool keep) override;
    bool onHit(float x, float y) override;
    void move() override;
    bool hasOpaqueParts() override;
    void blit(float blend, ZMatrix* m) override;
    void blitOpaque(float blend, ZMatrix* m) override;
    void blitTransparent(float blend, ZMatrix* m) override;
    // Added slots.
    virtual void setFrameBounds(long frame, ZUIBounds* bounds, bool keep);
    virtual void onAnimEnded(long visual) { callScriptInt("onAnimEnded", visual); }
    virtual void onFrameReached(long visual) { callScriptInt("onFrameReached", visual); }

    // Colour and blending.
    void setColor(float r, float g, float b, float a);
    void getColor(float* rgba) const;
    void setLightness(float l);
    float getLightness() const { return m_lightness; }
    void setOverBrightness(float o);
    float getOverBrightness() const { return m_overBrightness; }
    void setAlphaOp(eTazelAlphaOp src, eTazelAlphaOp dst, eTazelAlphaOp alphaSrc,
                    eTazelAlphaOp alphaDst);
    eTazelAlphaOp getSrcAlphaOp() const { return m_ops[0]; }
    eTazelAlphaOp getDstAlphaOp() const { return m_ops[1]; }
    eTazelAlphaOp getAlphaSrcAlphaOp() const { return m_ops[2]; }
    eTazelAlphaOp getAlphaDstAlphaOp() const { return m_ops[3]; }
    void setAlphaMode(long mode);
    void setQuadSubdivisions(long n);
    long getQuadSubdivisions() const { return m_quadSubdivisions; }
    void setGlobalDstOffset(const ZVector2& offset) { m_globalDstOffset = offset; }

    // Frames. A negative index does nothing; one at or past the count grows the frames.
    void setFrameCount(long n);
    long getFrameCount() const { return m_frameCount; }
    bool getFrameData(long frame, ZUIImageFrame* out) const;
    void setFrameGraphic(long frame, ZGraphic* g, float x1, float y1, float x2, float y2,
                         const unsigned char* hitMask, long maskWidth, long maskHeight);
    long appendFrameGraphic(ZGraphic* g, float x1, float y1, float x2, float y2,
                            const unsigned char* hitMask, long maskWidth, long maskHeight);
    void setFrameOffset(long frame, const ZVector2& offset);
    void setFrameTiling(long frame, bool tile, bool fromFarCorner);
    void setFrameStretching(long frame, bool stretchX, float left, float right, bool stretchY,
                            float top, float bottom, bool keepMiddleSize);
    void setFrameFlipping(long frame, bool flipX, bool flipY);
    void setFrameSrcCoord(long frame, float x1, float y1, float x2, float y2, float x3, float y3,
                          float x4, float y4);
    void setFrameDstQuad(long frame, float x1, float y1, float x2, float y2, float x3, float y3,
                         float x4, float y4);
    void setFrameSrcAnchor(long frame, float x, float y);
    void setNormalizedFrameSrcAnchor(long frame, float x, float y);
    void setFrameSrcCenter(long frame, float x, float y);
    void setNormalizedFrameSrcCenter(long frame, float x, float y);
    void setFrameSrcScaleXY(long frame, float sx, float sy);
    void setFrameSrcZAngle(long frame, float degrees);
    void setFrameOpaqueRect(long frame, bool opaque, float x1, float y1, float x2, float y2);
    void setFrameMaskGraphic(long frame, ZGraphic* mask, float x1, float y1, float x2, float y2);
    void setGraphic(ZGraphic* g, float x1, float y1, float x2, float y2,
                    const unsigned char* hitMask, long maskWidth, long maskHeight);
    void setStretching(bool stretchX, float left, float right, bool stretchY, float top,
                       float bottom);

    // Visuals; a null name means the current visual.
    void setVisualCount(long n);
    long getVisualCount() const { return m_visualCount; }
    void addVisual(const char* name);
    long getOrCreateVisualIndex(const char* name);
    long getVisualIndex(const char* name) const;
    void setCurrentVisual(const char* name);
    const char* getCurrentVisual() const;
    long getCurrentVisualIndex() const { return m_currentVisual; }
    void removeVisual(const char* name);
    void setVisualSequence(const char* name, long first, long last, double frameDuration,
                           bool forward, bool loop, bool pingPong);
    void setVisualCurrentFrame(const char* name, long frame, long blendFrame, float blendWeight);
    void setVisualTriggerFrame(const char* name, long frame);
    void startVisualAnim(const char* name);
    void stopVisualAnim(const char* name);
    bool isVisualAnimating(const char* name) const;
    bool isVisualTriggerFrameReached(const char* name);
    long getVisualCurrentFrame(const char* name) const;
    long getVisualTriggerFrame(const char* name) const;
    bool getVisualData(const char* name, ZUIImageVisual* out) const;
    void initVisual(long index);

    // The hit-mask test alone, in the element's own space; a hit where there is nothing to test.
    bool checkMask(float x, float y);
    // Draws a free quad as a grid of 4^k smaller quads.
    void blitSubQuads(ZGraphic* g, ZBatch* batch, const float* src, const float* dst, float blend,
                      long depth, long limit);

    const char* getLoadedName() const { return m_loadedName; }

private:
    ZUIImageFrame* frameAt(long frame);
    const ZUIImageFrame* currentFrame() const;
    ZUIImageVisual* visualAt(long index) const;
    void resetFrame(ZUIImageFrame& f);
    void makeSingleVisual(long visualCount);
    void updateElementBounds();
    void blitLayer(long pass, long layer, float blend, bool opaquePart, bool transparentPart);
    void drawRect(ZGraphic* g, ZBatch* batch, ZMatrix* m, float sx1, float sy1, float sx2,
                  float sy2, float dx1, float dy1, float dx2, float dy2, float blend, bool flipX,
                  bool flipY);
    void drawNineSlice(const ZUIImageFrame& f, ZGraphic* g, ZBatch* batch, ZMatrix* m, float x2c,
                       float y2c, float blend, int pieces);
    void drawTiles(const ZUIImageFrame& f, ZGraphic* g, ZBatch* batch, ZMatrix* m, float blend);
    void drawQuad(const ZUIImageFrame& f, ZGraphic* g, ZBatch* batch, const ZMatrix& m,
                  float blend);
    void copyTemplateFrames(ZUIImage* t);
    void copyTemplateVisuals(ZUIImage* t);
    void takeTemplateReferences(ZUIImage* t);
    void releaseLoaded();

    bool m_colorSet = false;
    float m_color[4] = {1, 1, 1, 1};
    float m_lightness = 1.0f;
    float m_overBrightness = 0.0f;
    bool m_opsSet = false;
    eTazelAlphaOp m_ops[4] = {eTazelAlphaOpSrcAlpha, eTazelAlphaOpOneMinusSrcAlpha,
                              static_cast<eTazelAlphaOp>(-1), static_cast<eTazelAlphaOp>(-1)};
    long m_quadSubdivisions = 0;
    ZVector2 m_globalDstOffset = {0, 0};
    long m_frameCount = 0;
    // Slots past the counts are kept for reuse: the arrays never shrink.
    std::vector<ZUIImageFrame> m_frames;
    long m_visualCount = 0;
    std::vector<ZUIImageVisual> m_visuals;
    long m_currentVisual = -1;
    char* m_loadedName = nullptr;
    long m_loadedSequenceCount = 0;
};
