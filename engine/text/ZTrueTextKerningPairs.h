#pragma once

#include <cstdint>

typedef struct FT_FaceRec_* FT_Face;

// Every kerning pair of a TrueType face's 'kern' table at once (FreeType answers one pair at a
// time). Pairs are three int16 each: left glyph, right glyph, value; the array is malloc'ed and
// the caller frees it. Modes: 0 scaled and rounded to whole pixels (26.6), 1 scaled, 2 font
// units. Returns a FreeType error: 35 for a null face, 6 for null outputs, else 0, with a count
// of 0 and no array when the face has no usable pairs.
int FT_Get_Kerning_Pairs(FT_Face face, unsigned int mode, uint32_t* count, int16_t** pairs);

// The pairs of the usable subtables of a raw 'kern' table, copied into pairs when it is not null
// (room for the count a null call returned).
unsigned long tt_get_kerning_pairs(const unsigned char* table, unsigned long size, int16_t* pairs);
