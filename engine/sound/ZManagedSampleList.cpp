#include "ZManagedSampleList.h"

ZManagedSampleList::ZManagedSampleList() {}

ZManagedSampleList::~ZManagedSampleList() {}
