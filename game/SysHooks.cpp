#include "SysHooks.h"

#include "ZSysMacOSX.h"

const char* sysGetGameVersion() {
    return ZSysMacOSX::getBundleInfoString("CFBundleVersion");
}
