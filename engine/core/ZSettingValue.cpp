#include "ZSettingValue.h"

#include <cstring>

#include "ZSetting.h"

ZSettingValue::ZSettingValue(const char* key, const char* value)
    : m_key(copyString(key)), m_value(copyString(value)) {
    setHashKey(m_key);
    ZSetting::addValue(this);
}

ZSettingValue::~ZSettingValue() {
    ZSetting::removeValue(this);
    delete[] m_key;
    delete[] m_value;
}

void ZSettingValue::setValue(const char* value) {
    char* copy = copyString(value);
    delete[] m_value;
    m_value = copy;
}

char* ZSettingValue::copyString(const char* text) {
    if (!text) return nullptr;
    size_t length = std::strlen(text);
    char* copy = new char[length + 1];
    std::memcpy(copy, text, length + 1);
    return copy;
}
