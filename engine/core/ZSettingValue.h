#pragma once

#include "ZObjectHashable.h"

// One setting of the store: the key (also its hash key) and the value, both owned copies; the
// value may be null. Constructing it puts it into the store's table and list, deleting it takes
// it out of both.
class ZSettingValue : public ZObjectHashable {
public:
    ZSettingValue(const char* key, const char* value);
    ~ZSettingValue() override;
    ZSettingValue(const ZSettingValue&) = delete;
    ZSettingValue& operator=(const ZSettingValue&) = delete;

    const char* getKey() const { return m_key; }
    const char* getValue() const { return m_value; }
    // Replaces the value with a copy (null stays null).
    void setValue(const char* value);

    // A new array holding a copy of the text, or null for null.
    static char* copyString(const char* text);

private:
    char* m_key;
    char* m_value;
};
