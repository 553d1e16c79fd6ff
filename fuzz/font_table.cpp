// Takes the input as a bitmap font table: the parser must stay inside the input (libFuzzer's
// buffer has no terminator), make no more entries than the input has lines, keep only
// characters on pages 0 to 7 and end both lists with a zero code. A bitmap face then takes the
// table and measures and hit-tests the input itself as text. The input's first line is also
// used as a page name and counted up a few times.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "ZFontTableReader.h"
#include "ZText.h"

namespace {

long linesIn(const char* data, size_t size) {
    long lines = 0;
    for (size_t i = 0; i < size; i++)
        if (data[i] == '\n' || data[i] == '\r') lines++;
    return lines + 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    ZFontTableReader reader;
    if (reader.parse(text, size)) {
        long lines = linesIn(text, size);
        const ZFontExt* table = reader.getTable();
        if (!table || reader.getTableSize() < 0 || reader.getTableSize() > lines) __builtin_trap();
        for (long i = 0; i < reader.getTableSize(); i++)
            if (table[i].code == 0 || table[i].page < 0 || table[i].page > 7) __builtin_trap();
        if (table[reader.getTableSize()].code != 0) __builtin_trap();
        if (reader.getHeightPix() < 0) __builtin_trap();
        if (reader.getPairCount() > lines) __builtin_trap();
        if (const ZFontKerningPair* pairs = reader.getPairs()) {
            for (long i = 0; i < reader.getPairCount(); i++)
                if (pairs[i].first == 0) __builtin_trap();
            if (pairs[reader.getPairCount()].first != 0) __builtin_trap();
        }
        ZText face;
        face.setFontTableExt(reader.releaseTable(), reader.getPairs(), reader.getHeightPix());
        // The input as UTF-8, cut at its first zero byte.
        size_t textLength = strnlen(text, size);
        char* copy = new char[textLength + 1];
        memcpy(copy, text, textLength);
        copy[textLength] = 0;
        float width = face.getStringWidth(copy, 0.5f, 1, 1, nullptr, true);
        float left = 0, right = 0;
        face.getClippedCharCoordF(copy, 0, 100, 0, 0, 3, left, right, 1, true);
        face.getClippedCharPosF(copy, 0, 100, 0, 0, width / 2, true, 1);
        face.getMultilineHeight(copy, 0, 200, 0, 3, 0, -1);
        delete[] copy;
        delete[] face.getFontTableExt();
        face.setFontTableExt(nullptr, nullptr, 0);
    } else if (reader.getTable() || reader.getPairs()) {
        __builtin_trap();
    }

    char name[ZFontTableReader::kNameSize];
    size_t length = 0;
    while (length < size && length < sizeof(name) - 1 && data[length] && data[length] != '\n')
        length++;
    memcpy(name, data, length);
    name[length] = 0;
    for (int i = 0; i < 3; i++) {
        char before[ZFontTableReader::kNameSize];
        memcpy(before, name, sizeof(name));
        bool changed = ZFontTableReader::incrementIndexInName(name);
        if (strnlen(name, sizeof(name)) >= sizeof(name)) __builtin_trap();
        if (!changed && strcmp(before, name) != 0) __builtin_trap();
    }
    return 0;
}
