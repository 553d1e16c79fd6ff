#pragma once

#include "ZObjectBase.h"

typedef void (*ZCrashHandler)(bool assertion, unsigned long code, const char* name,
                              bool hasParameter, unsigned long parameter, const char* file,
                              long line, long stackDepth, const unsigned long* stackAddresses,
                              const char* const* stackSymbols);

// Crash and assertion hooks. This platform installs no crash handler, so both do nothing.
class ZSysDebug : public ZObjectBase {
public:
    static void catchExceptions(ZCrashHandler handler);
    static void assertionFailed(const char* text, long line);
};
