#include "CSound.h"

#include "ZSound.h"

CSound::~CSound() {
    delete sound;
}
