#pragma once

#include "ZObjectListable.h"

class CUIDisplayHandler;
class ZUIElement;

typedef CUIDisplayHandler* (*CDisplayHandlerFactory)(ZUIElement* parent);

// A display handler type registered by name: its factory makes the element under a parent.
class CAvailableDisplayHandler : public ZObjectListable {
public:
    char name[100] = {};
    CDisplayHandlerFactory factory = nullptr;
};
