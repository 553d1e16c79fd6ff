#include "ZManagedGraphicList.h"

ZManagedGraphicList::ZManagedGraphicList() {}

ZManagedGraphicList::~ZManagedGraphicList() {}
