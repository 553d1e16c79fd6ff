#pragma once

#include <AL/al.h>

#include <vector>

// What OpenAL's voices play now, read back from the library: the player's sounds are told
// apart by the sample rate of their files.

// OpenAL Soft numbers its sources from 1 upwards.
constexpr ALuint kLastSourceName = 4096;

// The gains of the voices that play a buffer of this rate now.
inline std::vector<float> gainsAtRate(int rate) {
    std::vector<float> gains;
    for (ALuint source = 1; source <= kLastSourceName; source++) {
        if (!alIsSource(source)) continue;
        ALint state = 0, buffer = 0, type = 0;
        alGetSourcei(source, AL_SOURCE_STATE, &state);
        alGetSourcei(source, AL_SOURCE_TYPE, &type);
        alGetSourcei(source, AL_BUFFER, &buffer);
        if (state != AL_PLAYING || type != AL_STATIC || buffer == 0) continue;
        ALint frequency = 0;
        alGetBufferi(static_cast<ALuint>(buffer), AL_FREQUENCY, &frequency);
        if (frequency != rate) continue;
        float gain = -1;
        alGetSourcef(source, AL_GAIN, &gain);
        gains.push_back(gain);
    }
    return gains;
}

// The gain of the one voice playing at this rate; -1 when none plays.
inline float heard(int rate) {
    std::vector<float> gains = gainsAtRate(rate);
    return gains.empty() ? -1.0f : gains[0];
}

// The gains of the voices of each kind that play now: the effects are static sources, the
// music the one streaming source.
inline std::vector<float> playingGains(ALint kind) {
    std::vector<float> gains;
    for (ALuint source = 1; source <= kLastSourceName; source++) {
        if (!alIsSource(source)) continue;
        ALint state = 0, type = 0;
        alGetSourcei(source, AL_SOURCE_STATE, &state);
        alGetSourcei(source, AL_SOURCE_TYPE, &type);
        if (state != AL_PLAYING || type != kind) continue;
        float gain = -1;
        alGetSourcef(source, AL_GAIN, &gain);
        gains.push_back(gain);
    }
    return gains;
}

// The background music is the one streaming voice; -1 when there is none.
inline float musicGain() {
    for (ALuint source = 1; source <= kLastSourceName; source++) {
        if (!alIsSource(source)) continue;
        ALint type = 0;
        alGetSourcei(source, AL_SOURCE_TYPE, &type);
        if (type != AL_STREAMING) continue;
        float gain = -1;
        alGetSourcef(source, AL_GAIN, &gain);
        return gain;
    }
    return -1.0f;
}
