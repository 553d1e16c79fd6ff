#include "ZManagedVideoList.h"

ZManagedVideoList::ZManagedVideoList() {}

ZManagedVideoList::~ZManagedVideoList() {}
