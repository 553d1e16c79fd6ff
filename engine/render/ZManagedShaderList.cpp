#include "ZManagedShaderList.h"

ZManagedShaderList::ZManagedShaderList() {}

ZManagedShaderList::~ZManagedShaderList() {}
