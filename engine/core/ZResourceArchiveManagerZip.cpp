#include "ZResourceArchiveManagerZip.h"

#include "ZResourceArchiveZip.h"

ZResourceArchive* ZResourceArchiveManagerZip::createArchive() {
    return new ZResourceArchiveZip();
}
