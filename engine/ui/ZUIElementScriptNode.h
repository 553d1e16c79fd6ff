#pragma once
#include "ZObjectListable.h"

class ZScript;

// One script attached to an element, in the element's list of scripts.
class ZUIElementScriptNode : public ZObjectListable {
public:
    explicit ZUIElementScriptNode(ZScript* s) : script(s) {}
    ZScript* script;
};
