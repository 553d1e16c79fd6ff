#include "TazelBundle.h"

#include <cerrno>

TazelBundle& TazelBundle::mainBundle() {
    static TazelBundle bundle;
    return bundle;
}

TazelBundle::TazelBundle() {
    m_info["CFBundleName"] = BRAMBLE_BUNDLE_NAME;
    m_info["CFBundleVersion"] = BRAMBLE_BUNDLE_VERSION;
    m_info["CFBundleShortVersionString"] = BRAMBLE_BUNDLE_VERSION;
    m_processName = program_invocation_short_name;
}

const char* TazelBundle::getInfoString(const char* key) const {
    if (!key) return nullptr;
    auto it = m_info.find(key);
    return it == m_info.end() ? nullptr : it->second.c_str();
}

void TazelBundle::setInfoString(const char* key, const char* value) {
    m_info[key] = value;
}

void TazelBundle::removeInfoString(const char* key) {
    m_info.erase(key);
}

const char* TazelBundle::getProcessName() const {
    return m_processName.c_str();
}
