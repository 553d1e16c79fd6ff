#pragma once

#include "ZObjectBase.h"

// An object that carries its own links, so it can sit in one ZList without the list allocating.
// The destructor does not unlink: the owner removes the object from its list before deleting it.
class ZObjectListable : public ZObjectBase {
public:
    ZObjectListable* next = nullptr;
    ZObjectListable* prev = nullptr;
};
