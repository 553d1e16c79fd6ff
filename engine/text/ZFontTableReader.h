#pragma once

#include "ZFontExt.h"
#include "ZFontKerningPair.h"

// Reads a bitmap font table: the header line "%ztext " with version, page count, character
// count, pixel height and kerning count, then one line of ten numbers per character and, in
// version 3, one line of three numbers per kerning pair. Blank lines do not count; a character
// whose code is 0 (or a line missing at the end of the file) ends the table.
class ZFontTableReader {
public:
    static constexpr long kMaxPages = 8;
    // Characters of a line that are parsed; the rest of a longer line is passed over.
    static constexpr long kMaxLineLength = 255;
    // Size of the page-name buffers.
    static constexpr long kNameSize = 260;

    ZFontTableReader() = default;
    ~ZFontTableReader();
    ZFontTableReader(const ZFontTableReader&) = delete;
    ZFontTableReader& operator=(const ZFontTableReader&) = delete;

    // Loads the whole file through the virtual file system and parses it; false when it cannot
    // be read or is no font table.
    bool readFile(const char* path);
    // Parses size bytes, which need no terminator (a zero byte ends the text). False when they
    // hold fewer than 8 bytes, lack the header word or name a version other than 1 to 3.
    bool parse(const char* data, unsigned long size);

    // The header's numbers, as written.
    long getVersion() const { return m_version; }
    long getPageCount() const { return m_pageCount; }
    long getCharCount() const { return m_charCount; }
    // Versions 2 and 3 carry the line height, never negative here; version 1 carries none (0).
    bool hasHeightPix() const { return m_version >= 2; }
    long getHeightPix() const { return m_heightPix; }

    // The character table: getTableSize() entries, then one of code 0.
    const ZFontExt* getTable() const { return m_table; }
    long getTableSize() const { return m_tableSize; }
    // Hands the table over; the caller frees it with delete[]. Null when nothing was parsed.
    ZFontExt* releaseTable();
    // Kerning pairs ended by a first code of 0, or null without any; the reader keeps them.
    const ZFontKerningPair* getPairs() const { return m_pairs; }
    long getPairCount() const { return m_pairCount; }
    // Characters dropped because they named a page outside 0 to 7.
    long getDroppedCount() const { return m_dropped; }

    // The name of the page after the one named: the number before the extension counted up, or
    // 2 added when there is none (font_1.jem, font_2.jem; a.png, a2.png). In place on a buffer
    // of kNameSize characters; false, and the name unchanged, when the result would not fit.
    static bool incrementIndexInName(char* name);

private:
    void clear();

    long m_version = 0;
    long m_pageCount = 0;
    long m_charCount = 0;
    long m_heightPix = 0;
    ZFontExt* m_table = nullptr;
    long m_tableSize = 0;
    ZFontKerningPair* m_pairs = nullptr;
    long m_pairCount = 0;
    long m_dropped = 0;
};
