#include "ZResourceArchiveManagerTar.h"

#include "ZResourceArchiveTar.h"

ZResourceArchive* ZResourceArchiveManagerTar::createArchive() {
    return new ZResourceArchiveTar();
}
