#include "ZManagedFontList.h"

ZManagedFontList::ZManagedFontList() {}

ZManagedFontList::~ZManagedFontList() {}
