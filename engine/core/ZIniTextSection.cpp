#include "ZIniTextSection.h"

#include <cstring>

#include "ZIniReader.h"

ZIniTextSection::ZIniTextSection(const char* name) : m_name(ZIniReader::allocCopyString(name)) {
    setHashKey(m_name);
}

ZIniTextSection::~ZIniTextSection() {
    for (ZIniTextSetting* setting : m_settings) {
        m_settings.remove(setting);
        delete setting;
    }
    delete[] m_name;
}

ZIniTextSetting* ZIniTextSection::findSetting(const char* key) const {
    if (!key) return nullptr;
    for (ZIniTextSetting* setting : m_settings) {
        if (std::strcmp(setting->getKey(), key) == 0) return setting;
    }
    return nullptr;
}

void ZIniTextSection::setSetting(const char* key, const char* value) {
    if (ZIniTextSetting* setting = findSetting(key)) {
        setting->setValue(value);
        return;
    }
    m_settings.addToTail(new ZIniTextSetting(key, value));
}
