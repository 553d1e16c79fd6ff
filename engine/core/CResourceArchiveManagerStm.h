#pragma once

#include "ZResourceArchiveManager.h"

// Makes tile-file archives. Registered once with the virtual file system by the first streamed
// image; the file system deletes it at its cleanup, after which the next one registers again.
class CResourceArchiveManagerStm : public ZResourceArchiveManager {
public:
    ~CResourceArchiveManagerStm() override;

    ZResourceArchive* createArchive() override;

    // Registers a manager unless one is registered now.
    static void registerOnce();

private:
    static CResourceArchiveManagerStm* g_lpRegistered;
};
