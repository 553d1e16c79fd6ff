#pragma once

#include "ZObjectListable.h"

// One key and value of a section of a text ini, both owned copies.
class ZIniTextSetting : public ZObjectListable {
public:
    ZIniTextSetting(const char* key, const char* value);
    ~ZIniTextSetting() override;
    ZIniTextSetting(const ZIniTextSetting&) = delete;
    ZIniTextSetting& operator=(const ZIniTextSetting&) = delete;

    const char* getKey() const { return m_key; }
    const char* getValue() const { return m_value; }
    // Replaces the value with a copy (the empty text for null).
    void setValue(const char* value);

private:
    char* m_key;
    char* m_value;
};
