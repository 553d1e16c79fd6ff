#include "ZSetting.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "ZHashTable.h"
#include "ZIniReader.h"
#include "ZList.h"
#include "ZSettingValue.h"

namespace {

constexpr unsigned long kPathSize = 260;
constexpr unsigned long kKeySize = 1024;
constexpr unsigned long kValueSize = 65536;
// Formatted values hold at most 254 characters.
constexpr unsigned long kFormatSize = 255;

struct Store {
    ZList<ZSettingValue> settings;  // in order of creation
    ZHashTable table;
};

// Made on first use and never destroyed: the last save and free run from the clean-up at exit,
// after static objects of this file may already be gone.
Store& store() {
    static Store* made = new Store;
    return *made;
}

char g_path[kPathSize] = "";
bool g_modified = false;

long toLong(const char* text) {
    return std::strtol(text ? text : "", nullptr, 10);
}

}  // namespace

void ZSetting::addValue(ZSettingValue* value) {
    store().table.hashInsert(value);
    store().settings.addToTail(value);
}

void ZSetting::removeValue(ZSettingValue* value) {
    store().table.hashRemove(value);
    store().settings.remove(value);
}

ZSettingValue* ZSetting::findValue(const char* key) {
    return key ? static_cast<ZSettingValue*>(store().table.hashFind(key)) : nullptr;
}

void ZSetting::storeValue(const char* key, const char* value) {
    ZSettingValue* found = findValue(key);
    if (found) {
        found->setValue(value);
    } else {
        new ZSettingValue(key, value);
    }
}

void ZSetting::initSettings(const char* path) {
    freeSettings();
    snprintf(g_path, kPathSize, "%s", path ? path : "");

    ZIniReader ini;
    if (!ini.setIni(g_path, nullptr, 0)) return;
    std::unique_ptr<char[]> key(new char[kKeySize]);
    std::unique_ptr<char[]> value(new char[kValueSize]);
    char section[64];
    // Settings are numbered from 1; the first missing number or empty key ends the list.
    for (long n = 1;; n++) {
        snprintf(section, sizeof(section), "setting%ld", n);
        if (!ini.getString(section, "key", key.get(), kKeySize) || !key[0]) break;
        value[0] = 0;
        ini.getString(section, "value", value.get(), kValueSize);
        storeValue(key.get(), value.get());
    }
}

void ZSetting::freeSettings() {
    for (ZSettingValue* value : store().settings) delete value;
}

void ZSetting::saveSettings() {
    if (!g_path[0] || !g_modified) return;
    g_modified = false;

    ZIniReader ini;
    char section[64];
    long n = 1;
    for (ZSettingValue* value : store().settings) {
        snprintf(section, sizeof(section), "setting%ld", n++);
        ini.setString(section, "key", value->getKey());
        ini.setString(section, "value", value->getValue() ? value->getValue() : "");
    }
    // The writer replaces the file in one rename; a failed write leaves the old file.
    ini.writeIni(g_path, ZIniCompressionHashed, nullptr, 0);
}

const char* ZSetting::readString(const char* key, const char* defaultValue) {
    ZSettingValue* found = findValue(key);
    return found ? found->getValue() : defaultValue;
}

void ZSetting::writeString(const char* key, const char* value) {
    if (!key) return;
    storeValue(key, value);
    g_modified = true;
}

long ZSetting::readLong(const char* key, long defaultValue) {
    ZSettingValue* found = findValue(key);
    return found ? toLong(found->getValue()) : defaultValue;
}

void ZSetting::writeLong(const char* key, long value) {
    char text[kFormatSize];
    snprintf(text, sizeof(text), "%ld", value);
    writeString(key, text);
}

float ZSetting::readFloat(const char* key, float defaultValue) {
    ZSettingValue* found = findValue(key);
    return found ? static_cast<float>(ZIniReader::atofNoLocale(found->getValue())) : defaultValue;
}

void ZSetting::writeFloat(const char* key, float value) {
    char text[kFormatSize];
    ZIniReader::formatNoLocale(text, sizeof(text), "%f", static_cast<double>(value));
    writeString(key, text);
}

double ZSetting::readDouble(const char* key, double defaultValue) {
    ZSettingValue* found = findValue(key);
    return found ? ZIniReader::atofNoLocale(found->getValue()) : defaultValue;
}

void ZSetting::writeDouble(const char* key, double value) {
    char text[kFormatSize];
    ZIniReader::formatNoLocale(text, sizeof(text), "%g", value);
    writeString(key, text);
}

bool ZSetting::readBool(const char* key, bool defaultValue) {
    ZSettingValue* found = findValue(key);
    return found ? toLong(found->getValue()) != 0 : defaultValue;
}

void ZSetting::writeBool(const char* key, bool value) {
    writeString(key, value ? "1" : "0");
}
