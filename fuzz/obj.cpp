// Decodes the input as an OBJ text into a model and checks the model's rules; the material
// libraries it names are looked for in the working folder.
#include <cstddef>
#include <cstdint>

#include "ModelFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzzModel("fuzz.obj", data, size);
}
