// Runs every decoder over the input, forward from the start and backward from the end, and the
// counting and editing routines: nothing may be read outside the text (its units and its
// terminator, in a heap block of exactly that size), each step must move by one to four units,
// and every decoded code point must encode back into at most eight bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "ZTextFace.h"

namespace {

const long kUnitSizes[] = {1, 1, 4, 2, 2, 8};

void walk(long encoding, const char* text, long units) {
    long pos = 0;
    for (long steps = 0;; steps++) {
        if (steps > units) __builtin_trap();
        long before = pos;
        unsigned long code = ZTextFace::decodeChar(encoding, text, pos, true);
        if (code == 0) break;
        if (pos - before < 1 || pos - before > 4 || pos > units) __builtin_trap();
        char scratch[8];
        long written = 0;
        ZTextFace::encodeChar(encoding, scratch, written, code);
        if (written < 1 || written * kUnitSizes[encoding] > 8) __builtin_trap();
    }
    pos = units;
    for (long steps = 0; pos > 0; steps++) {
        if (steps > units) __builtin_trap();
        long before = pos;
        ZTextFace::decodeChar(encoding, text, pos, false);
        if (pos >= before || pos < 0) __builtin_trap();
    }
    if (ZTextFace::decodeChar(encoding, text, pos, false) != 0 || pos != 0) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (long encoding = 0; encoding <= 5; encoding++) {
        long unit = kUnitSizes[encoding];
        long units = static_cast<long>((size + unit - 1) / unit);
        // The input's units, then one zero unit.
        std::vector<char> block((units + 1) * unit, 0);
        if (size) memcpy(block.data(), data, size);
        const char* text = block.data();
        walk(encoding, text, units);

        long chars = ZTextFace::countChars(encoding, text);
        long length = ZTextFace::getStringLen(encoding, text);
        if (chars < 0 || chars > units || length < 0 || length > units) __builtin_trap();
        for (long charPos : {0L, 1L, chars / 2, chars, chars + 1}) {
            long index = ZTextFace::getIndexFromCharPos(encoding, text, charPos);
            if (index < -1 || index > units) __builtin_trap();
        }

        // Editing on a copy with room for a few more characters.
        std::vector<char> edited((units + 1) * unit + 16, 0);
        memcpy(edited.data(), text, (units + 1) * unit);
        long room = static_cast<long>(edited.size());
        ZTextFace::insertCharAtPos(encoding, edited.data(), room, 1, 0x1F600);
        ZTextFace::insertCharAtPos(encoding, edited.data(), room, chars / 2, 0xE9);
        ZTextFace::deleteCharAtPos(encoding, edited.data(), 0);
        ZTextFace::deleteCharAtPos(encoding, edited.data(), chars / 2);
        if (encoding <= 4 && ZTextFace::getStringLen(encoding, edited.data()) * unit >= room)
            __builtin_trap();
    }
    return 0;
}
