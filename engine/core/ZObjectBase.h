#pragma once

// Root of the engine's classes: everything destroyed through a base pointer derives from it.
class ZObjectBase {
public:
    virtual ~ZObjectBase() {}
};
