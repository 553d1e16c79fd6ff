// Decodes the input as an MS3D file into a model and checks the model's rules.
#include <cstddef>
#include <cstdint>

#include "ModelFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzzModel("fuzz.ms3d", data, size);
}
