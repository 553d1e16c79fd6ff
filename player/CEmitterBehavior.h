#pragma once

// How the particles of one emitter move, turn, grow and fade: 31 floats, in the order the brush
// keys fill them.
struct CEmitterBehavior {
    float blend[5];
    float ageStepMin, ageStepMax;
    float velocityMinX, velocityMinY, velocityMaxX, velocityMaxY;
    float velocityAccelX, velocityAccelY;
    float angleMin, angleMax;
    float angleSpeedMin, angleSpeedMax;
    float angleAccel;  // no brush key fills it
    float scaleMin, scaleMax;
    float scaleSpeedMin, scaleSpeedMax;
    float scaleAccel;
    float colorMin[4];
    float colorMax[4];
};
