#pragma once

#include "ZManagedEntry.h"
#include "ZSound.h"

// An entry of the sample cache: a loaded sample under its lower-cased name.
class ZManagedSample : public ZManagedEntry<ZSound> {};
