#include "ZIniTextSetting.h"

#include "ZIniReader.h"

ZIniTextSetting::ZIniTextSetting(const char* key, const char* value)
    : m_key(ZIniReader::allocCopyString(key)), m_value(ZIniReader::allocCopyString(value)) {}

ZIniTextSetting::~ZIniTextSetting() {
    delete[] m_key;
    delete[] m_value;
}

void ZIniTextSetting::setValue(const char* value) {
    char* copy = ZIniReader::allocCopyString(value);
    delete[] m_value;
    m_value = copy;
}
