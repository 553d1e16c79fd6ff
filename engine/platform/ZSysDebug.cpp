#include "ZSysDebug.h"

void ZSysDebug::catchExceptions(ZCrashHandler) {}

void ZSysDebug::assertionFailed(const char*, long) {}
