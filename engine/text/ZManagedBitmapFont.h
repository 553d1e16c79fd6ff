#pragma once

#include "ZManagedEntry.h"
#include "ZText.h"

// An entry of the bitmap-font cache, filed under the lower-cased name of the font table.
class ZManagedBitmapFont : public ZManagedEntry<ZText> {};
