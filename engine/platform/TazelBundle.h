#pragma once

#include <map>
#include <string>

// The application's bundle information: what the platform's info list would hold
// ("CFBundleName", "CFBundleVersion"), compiled in, and the process name.
class TazelBundle {
public:
    static TazelBundle& mainBundle();

    // Null when the key is missing.
    const char* getInfoString(const char* key) const;
    void setInfoString(const char* key, const char* value);
    void removeInfoString(const char* key);
    bool hasInfo() const { return !m_info.empty(); }

    const char* getProcessName() const;

private:
    TazelBundle();

    std::map<std::string, std::string> m_info;
    std::string m_processName;
};
