#pragma once

#include "ZManagedEntry.h"
#include "ZPixelShader.h"

// An entry of the shader cache, filed under the lower-cased renderer-specific name.
class ZManagedShader : public ZManagedEntry<ZPixelShader> {};
