#pragma once

#include <cstdint>

#include "ZUIElement.h"

class ZVideo;

// The element that shows a video. Its per-frame move drives the video and reports three moments
// as hooks, script calls and messages: the end of the video, the crossing of a trigger frame and
// the crossing of a trigger time. Its draw blits the video's graphic with the element's colour,
// lightness, blend operations and flips. The video is never the element's: it belongs to the
// video cache (a video loaded by name is released when the element goes) or to its giver.
class ZUIVideo : public ZUIElement {
public:
    static constexpr long kMsgVideoEnded = zuiMessageCode('z', 'v', 'd', 1);
    static constexpr long kMsgFrameReached = zuiMessageCode('z', 'v', 'd', 2);
    static constexpr long kMsgTimeReached = zuiMessageCode('z', 'v', 'd', 3);
    // No trigger frame.
    static constexpr uint64_t kNoTriggerFrame = ~static_cast<uint64_t>(0);

    explicit ZUIVideo(ZUIElement* parent);
    ~ZUIVideo() override;

    // The element when it carries the class tag "ZUIVideo", else null.
    static ZUIVideo* isVideo(ZUIElement* e);

    // Overrides, in the base's slot order.
    void copyFromTemplate(ZUIElement* t) override;
    void move() override;
    void blit(float blend, ZMatrix* m) override;
    // Added slots.
    virtual void onVideoEnded() { callScript("onVideoEnded"); }
    virtual void onFrameReached() { callScript("onFrameReached"); }
    virtual void onTimeReached() { callScript("onTimeReached"); }

    // Each value clamped to 0..1.
    void setColor(float r, float g, float b, float a);
    void setLightness(float l);
    // A negative alpha op takes the matching colour op.
    void setAlphaOp(eTazelAlphaOp src, eTazelAlphaOp dst, eTazelAlphaOp alphaSrc,
                    eTazelAlphaOp alphaDst);
    void setAlphaMode(long mode);
    void setFlipping(bool x, bool y);
    void setTriggerFrame(unsigned long frame) { m_triggerFrame = frame; }
    // Seconds; a negative time sets none.
    void setTriggerTime(double seconds) { m_triggerTime = seconds; }
    // Shows the video (not owned), the rectangle x1, y1, x2, y2 of its graphic.
    void setVideoInternal(ZVideo* video, float x1, float y1, float x2, float y2);
    // Loads the video of the name through the game's video cache (paused, as the cache leaves
    // it) and shows it at the size of the rectangle. The element holds the cache's reference
    // until it goes or loads another.
    void loadVideoInternal(const char* name, float x1, float y1, float x2, float y2, bool loop,
                           bool withSound, bool buildSeekIndex);
    // Adds the class tag; colour back to white, source rectangle 0.
    void initializeVideo();

    void getColor(float* rgba) const;
    float getLightness() const { return m_lightness; }
    eTazelAlphaOp getSrcAlphaOp() const { return m_ops[0]; }
    eTazelAlphaOp getDstAlphaOp() const { return m_ops[1]; }
    eTazelAlphaOp getAlphaSrcAlphaOp() const { return m_ops[2]; }
    eTazelAlphaOp getAlphaDstAlphaOp() const { return m_ops[3]; }
    ZVideo* getVideo() const { return m_video; }
    // All 0 without a video.
    void getVideoSourceRect(ZRectangle* r) const;
    bool isXFlipped() const { return m_flipX; }
    bool isYFlipped() const { return m_flipY; }
    uint64_t getTriggerFrame() const { return m_triggerFrame; }
    double getTriggerTime() const { return m_triggerTime; }
    // Whether the trigger was crossed since the last call; the call clears it.
    bool isTriggerFrameReached();
    bool isTriggerTimeReached();
    // The name whose cache reference the element holds, or null.
    const char* getCachedName() const { return m_cachedName; }

private:
    void attach(ZVideo* video);
    void releaseCachedName();

    bool m_colorSet = false;
    float m_color[4] = {1, 1, 1, 1};
    float m_lightness = 1.0f;
    bool m_opsSet = false;
    eTazelAlphaOp m_ops[4] = {eTazelAlphaOpSrcAlpha, eTazelAlphaOpOneMinusSrcAlpha,
                              eTazelAlphaOpSrcAlpha, eTazelAlphaOpOneMinusSrcAlpha};
    ZVideo* m_video = nullptr;
    float m_source[4] = {0, 0, 0, 0};
    bool m_flipX = false, m_flipY = false;
    uint64_t m_triggerFrame = kNoTriggerFrame;
    bool m_frameReached = false;
    double m_triggerTime = -1.0;
    bool m_timeReached = false;
    uint64_t m_previousFrame = 0;
    double m_previousTime = 0;
    char* m_cachedName = nullptr;
};
