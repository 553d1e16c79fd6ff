#include "ZTrueTextKerningPairs.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_FONT_FORMATS_H
#include FT_TRUETYPE_TABLES_H
#include FT_TRUETYPE_TAGS_H

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

unsigned readU16(const unsigned char* p) {
    return static_cast<unsigned>(p[0] << 8 | p[1]);
}

// The subtables FreeType's TrueType loader accepts: their number as the loader counts them and
// the mask of the usable ones (horizontal format 0, neither minimum nor cross-stream, the pair
// header inside the subtable). At most 32, as the loader keeps.
void scanSubtables(const unsigned char* table, unsigned long size, unsigned& tables,
                   uint32_t& usable) {
    tables = 0;
    usable = 0;
    if (size < 4) return;
    const unsigned char* p = table + 2;
    const unsigned char* limit = table + size;
    unsigned count = std::min(readU16(p), 32u);
    p += 2;
    unsigned n = 0;
    for (; n < count; n++) {
        if (p + 6 > limit) break;
        const unsigned char* start = p;
        unsigned length = readU16(p + 2);
        unsigned coverage = readU16(p + 4);
        p += 6;
        if (length <= 6 + 8) break;
        const unsigned char* next =
            static_cast<unsigned long>(limit - start) < length ? limit : start + length;
        if ((coverage >> 8) == 0 && (coverage & 7u) == 1u && p + 8 <= next)
            usable |= static_cast<uint32_t>(1) << n;
        p = next;
    }
    tables = n;
}

int16_t clamp16(int64_t value) {
    return static_cast<int16_t>(std::max<int64_t>(-32768, std::min<int64_t>(32767, value)));
}

}  // namespace

unsigned long tt_get_kerning_pairs(const unsigned char* table, unsigned long size, int16_t* pairs) {
    unsigned tables = 0;
    uint32_t usable = 0;
    scanSubtables(table, size, tables, usable);
    if (tables == 0 || size < 10) return 0;
    unsigned long total = 0;
    unsigned long offset = 4;
    for (unsigned i = 0; i < tables; i++) {
        if (offset + 6 > size) break;
        unsigned long length = readU16(table + offset + 2);
        unsigned long end = std::min(offset + length, size);
        bool used = (usable >> i & 1u) && offset + 14 <= end && table[offset + 4] == 0;
        if (used) {
            unsigned long count = readU16(table + offset + 6);
            unsigned long room = (end - (offset + 14)) / 6;
            if (count > room) count = room;
            if (pairs) {
                const unsigned char* p = table + offset + 14;
                for (unsigned long k = 0; k < count; k++, p += 6) {
                    int16_t* out = pairs + (total + k) * 3;
                    out[0] = static_cast<int16_t>(readU16(p));
                    out[1] = static_cast<int16_t>(readU16(p + 2));
                    out[2] = static_cast<int16_t>(readU16(p + 4));
                }
            }
            total += count;
        }
        offset = offset + length > offset ? offset + length : size;
        if (length == 0) break;
    }
    return total;
}

int FT_Get_Kerning_Pairs(FT_Face face, unsigned int mode, uint32_t* count, int16_t** pairs) {
    if (!face) return FT_Err_Invalid_Face_Handle;
    if (!count || !pairs) return FT_Err_Invalid_Argument;
    *count = 0;
    *pairs = nullptr;
    // Only the TrueType driver reads kerning from the 'kern' table.
    const char* format = FT_Get_Font_Format(face);
    if (!format || strcmp(format, "TrueType") != 0) return 0;
    FT_ULong length = 0;
    if (FT_Load_Sfnt_Table(face, TTAG_kern, 0, nullptr, &length) != 0 || length == 0) return 0;
    std::vector<unsigned char> table(length);
    if (FT_Load_Sfnt_Table(face, TTAG_kern, 0, table.data(), &length) != 0) return 0;
    unsigned long found = tt_get_kerning_pairs(table.data(), length, nullptr);
    if (found == 0 || found > UINT32_MAX / 6) return 0;
    int16_t* array = static_cast<int16_t*>(malloc(found * 3 * sizeof(int16_t)));
    if (!array) return 0;
    tt_get_kerning_pairs(table.data(), length, array);
    if (mode != FT_KERNING_UNSCALED) {
        int64_t scale = face->size ? face->size->metrics.x_scale : 0;
        int64_t ppem = face->size ? face->size->metrics.x_ppem : 0;
        for (unsigned long i = 0; i < found; i++) {
            int64_t product = static_cast<int64_t>(array[i * 3 + 2]) * scale;
            int64_t v = (product + 0x8000 - (product < 0 ? 1 : 0)) >> 16;
            if (mode == FT_KERNING_DEFAULT) {
                // Small sizes get less kerning, as FreeType's own pair lookup gives them.
                if (ppem < 25) {
                    int64_t magnitude = ((v < 0 ? -v : v) * ppem + 12) / 25;
                    v = v < 0 ? -magnitude : magnitude;
                }
                v = (v + 32) & ~static_cast<int64_t>(63);
            }
            array[i * 3 + 2] = clamp16(v);
        }
    }
    *pairs = array;
    *count = static_cast<uint32_t>(found);
    return 0;
}
