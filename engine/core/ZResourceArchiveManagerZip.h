#pragma once

#include "ZResourceArchiveManager.h"

// Makes zip archives for the virtual file system.
class ZResourceArchiveManagerZip : public ZResourceArchiveManager {
public:
    ZResourceArchive* createArchive() override;
};
