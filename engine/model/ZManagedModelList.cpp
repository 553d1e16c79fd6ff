#include "ZManagedModelList.h"

ZManagedModelList::ZManagedModelList() {}

ZManagedModelList::~ZManagedModelList() {}
