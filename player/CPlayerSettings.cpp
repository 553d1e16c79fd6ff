#include "CPlayerSettings.h"

#include <strings.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "CGame.h"
#include "ZIniReader.h"

namespace {

const char* const kFallbacks[CPlayerSettings::kCount] = {"gl", "1", "1", "0", "70", "70", "50", "0",
                                                         "0",  "0", "0", "0", "0",  "0",  "0"};
const char kSection[] = "settings";

bool isVolume(long index) {
    return index >= 4 && index <= 6;
}

}  // namespace

const char* const CPlayerSettings::g_lpszSettingsLabel[kCount] = {
    "renderer",  "stencilbuffer", "fullscreen", "stretch",   "musicvolume",
    "sfxvolume", "ambientvolume", "gamedata",   "gamedata2", "gamedata3",
    "gamedata4", "gamedata5",     "gamedata6",  "gamedata7", "gamedata8"};

CPlayerSettings::CPlayerSettings() {
    setDefaults();
}

void CPlayerSettings::setDefaults() {
    for (long i = 0; i < kCount; i++) {
        const char* value = CGame::getDefaultSettingValue(i, kFallbacks[i]);
        snprintf(m_values[i], kValueSize, "%s", value ? value : "");
    }
}

bool CPlayerSettings::readFile(const char* path) {
    setDefaults();
    ZIniReader reader;
    if (!reader.setIni(path)) return false;
    char text[kValueSize];
    for (long i = 0; i < kCount; i++)
        if (reader.getString(kSection, g_lpszSettingsLabel[i], text, sizeof(text)) && text[0])
            snprintf(m_values[i], kValueSize, "%s", text);
    return true;
}

bool CPlayerSettings::writeFile(const char* path) const {
    ZIniReader writer;
    for (long i = 0; i < kCount; i++)
        writer.setString(kSection, g_lpszSettingsLabel[i], m_values[i]);
    return writer.writeIni(path, ZIniCompressionZlib);
}

long CPlayerSettings::indexOf(const char* key) {
    if (!key) return -1;
    for (long i = 0; i < kCount; i++)
        if (strcasecmp(key, g_lpszSettingsLabel[i]) == 0) return i;
    return -1;
}

const char* CPlayerSettings::get(const char* key) const {
    return get(indexOf(key));
}

const char* CPlayerSettings::get(long index) const {
    return index >= 0 && index < kCount ? m_values[index] : "0";
}

void CPlayerSettings::normalise(long index, const char* value, char* out, unsigned long size) {
    if (!value) value = "";
    if (isVolume(index))
        snprintf(out, size, "%ld", atol(value));
    else
        snprintf(out, size, "%s", value);
}

void CPlayerSettings::set(long index, const char* value) {
    if (index < 0 || index >= kCount) return;
    snprintf(m_values[index], kValueSize, "%s", value ? value : "");
}
