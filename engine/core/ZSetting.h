#pragma once

class ZSettingValue;

// Process-wide store of named settings held as text, loaded from one file and written back to it
// by saveSettings when something changed. Main thread only. Keys compare exactly.
class ZSetting {
public:
    // Deletes every setting, keeps the path (cut at 259 characters) and loads the file, in either
    // ini form. An unreadable file leaves the store empty with the path set.
    static void initSettings(const char* path);
    // Deletes every setting; the path and the modified flag stay.
    static void freeSettings();
    // Writes the store when a path is set and something changed since the last save.
    static void saveSettings();

    // Reads give the default when the key is absent.
    static const char* readString(const char* key, const char* defaultValue);
    static void writeString(const char* key, const char* value);
    static long readLong(const char* key, long defaultValue);
    static void writeLong(const char* key, long value);
    static float readFloat(const char* key, float defaultValue);
    static void writeFloat(const char* key, float value);
    static double readDouble(const char* key, double defaultValue);
    static void writeDouble(const char* key, double value);
    static bool readBool(const char* key, bool defaultValue);
    static void writeBool(const char* key, bool value);

private:
    friend class ZSettingValue;
    // A value enters the store when it is made and leaves it when it is deleted.
    static void addValue(ZSettingValue* value);
    static void removeValue(ZSettingValue* value);

    static ZSettingValue* findValue(const char* key);
    // Updates or creates the setting; loading uses it without marking the store modified.
    static void storeValue(const char* key, const char* value);
};
