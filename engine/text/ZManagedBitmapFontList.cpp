#include "ZManagedBitmapFontList.h"

ZManagedBitmapFontList::ZManagedBitmapFontList() {}

ZManagedBitmapFontList::~ZManagedBitmapFontList() {}
