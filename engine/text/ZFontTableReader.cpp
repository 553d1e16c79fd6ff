#include "ZFontTableReader.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <new>

#include "ZCore.h"
#include "ZResource.h"

namespace {

const char kMagic[] = "%ztext ";
const unsigned long kMagicLength = 7;

bool isLineEnd(char c) {
    return c == '\r' || c == '\n';
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Reads up to count decimal numbers as scanf's "%ld %ld ..." would: blanks before each, an
// optional sign, at least one digit; the first that is missing ends the scan. Numbers beyond
// the range of a long stay at its limit. Returns how many were read.
int scanLongs(const char* text, const char* end, long* values, int count) {
    const char* p = text;
    int read = 0;
    while (read < count) {
        while (p < end && isBlank(*p)) p++;
        bool negative = false;
        if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
        if (p >= end || *p < '0' || *p > '9') break;
        unsigned long magnitude = 0;
        const unsigned long limit = negative ? static_cast<unsigned long>(LONG_MAX) + 1 : LONG_MAX;
        for (; p < end && *p >= '0' && *p <= '9'; p++) {
            unsigned long digit = static_cast<unsigned long>(*p - '0');
            magnitude = magnitude > (limit - digit) / 10 ? limit : magnitude * 10 + digit;
        }
        values[read++] = negative ? (magnitude == limit ? LONG_MIN : -static_cast<long>(magnitude))
                                  : static_cast<long>(magnitude);
    }
    return read;
}

// A cursor over the text that hands out its lines the way the table's lines are read.
class LineCursor {
public:
    LineCursor(const char* p, const char* end) : m_p(p), m_end(end) {}

    // The next line's first kMaxLineLength characters (the rest of the line is passed over),
    // then every CR and LF after it is skipped, so blank lines never count. An empty line
    // once the text is used up.
    void next(const char*& line, const char*& lineEnd) {
        line = m_p;
        while (m_p < m_end && !isLineEnd(*m_p)) m_p++;
        lineEnd = m_p - line > ZFontTableReader::kMaxLineLength
                      ? line + ZFontTableReader::kMaxLineLength
                      : m_p;
        skipLineEnds();
    }

    void skipRestOfLine() {
        while (m_p < m_end && !isLineEnd(*m_p)) m_p++;
        skipLineEnds();
    }

    // Lines still to come; bounds the tables whatever counts the header claims.
    long remainingLines() const {
        long lines = 0;
        for (const char* p = m_p; p < m_end;) {
            lines++;
            while (p < m_end && !isLineEnd(*p)) p++;
            while (p < m_end && isLineEnd(*p)) p++;
        }
        return lines;
    }

    const char* position() const { return m_p; }

private:
    void skipLineEnds() {
        while (m_p < m_end && isLineEnd(*m_p)) m_p++;
    }

    const char* m_p;
    const char* m_end;
};

long atMost(long count, long available) {
    if (count < 1) return 0;
    return count < available ? count : available;
}

}  // namespace

ZFontTableReader::~ZFontTableReader() {
    clear();
}

void ZFontTableReader::clear() {
    delete[] m_table;
    delete[] m_pairs;
    m_table = nullptr;
    m_pairs = nullptr;
    m_tableSize = 0;
    m_pairCount = 0;
    m_dropped = 0;
    m_version = 0;
    m_pageCount = 0;
    m_charCount = 0;
    m_heightPix = 0;
}

ZFontExt* ZFontTableReader::releaseTable() {
    ZFontExt* table = m_table;
    m_table = nullptr;
    m_tableSize = 0;
    return table;
}

bool ZFontTableReader::readFile(const char* path) {
    clear();
    if (!path) return false;
    ZResource file;
    if (file.open(path, ZResourceModeRead) != ZResourceOk) return false;
    int size = 0;
    if (file.seek(ZResourceWhenceEnd, 0) != ZResourceOk || file.tell(size) != ZResourceOk ||
        size < 0 || file.seek(ZResourceWhenceSet, 0) != ZResourceOk) {
        file.close();
        return false;
    }
    char* data = new (std::nothrow) char[static_cast<unsigned long>(size) + 1];
    if (!data) {
        file.close();
        ZCore::logMessage("Text: no memory to read the font table %s, ERROR", path);
        return false;
    }
    bool read = size == 0 || file.read(data, static_cast<unsigned long>(size)) == ZResourceOk;
    file.close();
    data[size] = 0;
    bool parsed = read && parse(data, static_cast<unsigned long>(size));
    delete[] data;
    return parsed;
}

bool ZFontTableReader::parse(const char* data, unsigned long size) {
    clear();
    if (!data || size < kMagicLength + 1 || memcmp(data, kMagic, kMagicLength) != 0) return false;
    // The text ends at the first zero byte, as it would for any reader of C strings.
    const char* zero = static_cast<const char*>(memchr(data, 0, size));
    const char* end = zero ? zero : data + size;

    LineCursor cursor(data + kMagicLength, end);
    const char* header = cursor.position();
    const char* headerEnd = header;
    while (headerEnd < end && !isLineEnd(*headerEnd)) headerEnd++;
    // The header's numbers come from its own line: a short header does not borrow the numbers
    // of the first character line.
    long numbers[5] = {0, 0, 0, 0, 0};
    scanLongs(header, headerEnd, numbers, 5);
    if (numbers[0] < 1 || numbers[0] > 3) return false;
    m_version = numbers[0];
    m_pageCount = numbers[1];
    m_charCount = numbers[2];
    m_heightPix = m_version >= 2 && numbers[3] > 0 ? numbers[3] : 0;
    long kerningCount = m_version == 3 ? numbers[4] : 0;
    cursor.skipRestOfLine();

    // A header may promise any number of lines: the file holds no more than its lines.
    long characters = atMost(m_charCount, cursor.remainingLines());
    m_table = new (std::nothrow) ZFontExt[characters + 1]();
    if (!m_table) {
        ZCore::logMessage("Text: no memory for a font table of %ld characters, ERROR", characters);
        clear();
        return false;
    }
    bool ended = false;
    for (long i = 0; i < characters; i++) {
        const char* line;
        const char* lineEnd;
        cursor.next(line, lineEnd);
        if (ended) continue;
        long fields[10] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        scanLongs(line, lineEnd, fields, 10);
        if (fields[0] == 0) {
            ended = true;
            continue;
        }
        // Drawing picks the page graphic by this index among eight slots.
        if (fields[7] < 0 || fields[7] >= kMaxPages) {
            m_dropped++;
            continue;
        }
        ZFontExt& entry = m_table[m_tableSize++];
        entry.code = static_cast<unsigned long>(fields[0]);
        entry.x1 = static_cast<float>(fields[1]);
        entry.y1 = static_cast<float>(fields[2]);
        entry.x2 = static_cast<float>(fields[3]);
        entry.y2 = static_cast<float>(fields[4]);
        entry.advance = static_cast<float>(fields[5]);
        entry.height = static_cast<float>(fields[6]);
        entry.page = fields[7];
        entry.xOffset = static_cast<float>(fields[8]);
        entry.yOffset = static_cast<float>(fields[9]);
    }
    if (m_dropped > 0)
        ZCore::logMessage(
            "Text: %ld characters of a font table name a page outside 0 to 7 and are "
            "left out, WARNING",
            m_dropped);

    long pairs = atMost(kerningCount, cursor.remainingLines());
    if (pairs > 0) {
        m_pairs = new (std::nothrow) ZFontKerningPair[pairs + 1]();
        if (!m_pairs) {
            ZCore::logMessage("Text: no memory for %ld kerning pairs, ERROR", pairs);
            clear();
            return false;
        }
        for (long i = 0; i < pairs; i++) {
            const char* line;
            const char* lineEnd;
            cursor.next(line, lineEnd);
            long fields[3] = {0, 0, 0};
            scanLongs(line, lineEnd, fields, 3);
            if (fields[0] == 0) break;
            ZFontKerningPair& pair = m_pairs[m_pairCount++];
            pair.first = fields[0];
            pair.second = fields[1];
            pair.amount = static_cast<float>(fields[2]);
        }
        if (m_pairCount == 0) {
            delete[] m_pairs;
            m_pairs = nullptr;
        }
    }
    return true;
}

bool ZFontTableReader::incrementIndexInName(char* name) {
    if (!name) return false;
    size_t length = strnlen(name, kNameSize);
    if (length >= static_cast<size_t>(kNameSize)) return false;
    // Only the file's own name: a dot in a folder name is no extension.
    size_t base = 0;
    for (size_t i = 0; i < length; i++)
        if (name[i] == '/') base = i + 1;
    size_t insert = length;
    for (size_t i = length; i > base; i--)
        if (name[i - 1] == '.') {
            insert = i - 1;
            break;
        }
    size_t digits = insert;
    while (digits > base && name[digits - 1] >= '0' && name[digits - 1] <= '9') digits--;

    long index = 2;
    if (digits < insert) {
        if (insert - digits > 8) return false;
        long value = 0;
        for (size_t i = digits; i < insert; i++) value = value * 10 + (name[i] - '0');
        index = value + 1;
    }
    char number[16];
    int written = snprintf(number, sizeof(number), "%ld", index);
    if (written < 1 || written > 8) return false;
    size_t newLength = digits + static_cast<size_t>(written) + (length - insert);
    if (newLength >= static_cast<size_t>(kNameSize)) return false;
    memmove(name + digits + written, name + insert, length - insert + 1);
    memcpy(name + digits, number, static_cast<size_t>(written));
    return true;
}
