// Decodes the input as a Wavefront OBJ text into a model and checks the model's rules; material
// libraries that it names are not found.
#include <cstddef>
#include <cstdint>

#include "ModelFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzzModel("fuzz.obj", data, size);
}
