#pragma once

// The scene player's own fifteen settings: renderer, stencil buffer, full screen, stretch, three
// volumes and eight values free for the game. Values are texts of at most 99 characters; keys
// match without case. Applying a change to the window and the sounds is the player's part.
class CPlayerSettings {
public:
    static constexpr long kCount = 15;
    static constexpr unsigned long kValueSize = 100;
    static const char* const g_lpszSettingsLabel[kCount];

    CPlayerSettings();

    // Every value takes the game's default for its index.
    void setDefaults();
    // Defaults, then each non-empty value of section "settings" in the file (either ini form).
    // False when the file cannot be read: the defaults stay.
    bool readFile(const char* path);
    // Writes the section in the hashed, compressed form.
    bool writeFile(const char* path) const;

    // Index of the key in the table, or -1.
    static long indexOf(const char* key);
    // The stored value, "0" for an unknown key.
    const char* get(const char* key) const;
    const char* get(long index) const;
    // The text a write stores: volumes become the decimal of their number ("070" is "70").
    static void normalise(long index, const char* value, char* out, unsigned long size);
    void set(long index, const char* value);

private:
    char m_values[kCount][kValueSize];
};
