#include "CAmbientSound.h"

#include "ZSound.h"

CAmbientSound::~CAmbientSound() {
    delete sound;
}
