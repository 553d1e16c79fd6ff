#pragma once

#include "ZIniTextSetting.h"
#include "ZList.h"
#include "ZObjectHashable.h"

// One section of a text ini: its name (an owned copy, also its hash key) and its settings in the
// order they were made. The section owns and deletes its settings.
class ZIniTextSection : public ZObjectHashable {
public:
    explicit ZIniTextSection(const char* name);
    ~ZIniTextSection() override;
    ZIniTextSection(const ZIniTextSection&) = delete;
    ZIniTextSection& operator=(const ZIniTextSection&) = delete;

    const char* getName() const { return m_name; }
    const ZList<ZIniTextSetting>& getSettings() const { return m_settings; }

    // First setting with exactly this key, or null.
    ZIniTextSetting* findSetting(const char* key) const;
    // Replaces the value of the setting with this key, or appends a new setting: each key
    // appears once.
    void setSetting(const char* key, const char* value);

private:
    char* m_name;
    ZList<ZIniTextSetting> m_settings;
};
