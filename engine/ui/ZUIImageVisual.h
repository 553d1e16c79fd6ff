#pragma once

// One named visual of an image element: a run of frames that can play as an animation. A free
// slot (used false) is skipped by every lookup.
struct ZUIImageVisual {
    bool used = false;
    char name[100] = "default";
    long firstFrame = 0;
    long lastFrame = 0;
    long currentFrame = -1;
    long blendFrame = -1;
    float blendWeight = 0.0f;
    long triggerFrame = -1;
    double frameDuration = 0.0;
    // Negative: stopped.
    double timeLeft = -1.0;
    bool forward = true;
    bool loop = false;
    bool pingPong = false;
    bool triggerReached = false;
};
