#include "CStreamedSound.h"

#include "ZSound.h"

CStreamedSound::~CStreamedSound() {
    delete sound;
    delete[] data;
}
