#include "CResourceArchiveManagerStm.h"

#include "CResourceArchiveStm.h"
#include "ZResource.h"

CResourceArchiveManagerStm* CResourceArchiveManagerStm::g_lpRegistered = nullptr;

CResourceArchiveManagerStm::~CResourceArchiveManagerStm() {
    if (g_lpRegistered == this) g_lpRegistered = nullptr;
}

ZResourceArchive* CResourceArchiveManagerStm::createArchive() {
    return new CResourceArchiveStm();
}

void CResourceArchiveManagerStm::registerOnce() {
    if (g_lpRegistered) return;
    g_lpRegistered = new CResourceArchiveManagerStm();
    ZResource::addArchiveManager(g_lpRegistered);
}
