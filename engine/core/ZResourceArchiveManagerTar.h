#pragma once

#include "ZResourceArchiveManager.h"

// Makes tar archives.
class ZResourceArchiveManagerTar : public ZResourceArchiveManager {
public:
    ZResourceArchive* createArchive() override;
};
