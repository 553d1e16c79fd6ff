#pragma once

#include <cstddef>

// Fills the placeholders of a text read from a data file (string tables, scene texts) without
// handing it to printf: only "%s", "%ld" and "%%" are recognised, each "%s" or "%ld" takes the
// next argument, which must be of that kind. Anything else is copied as written.
class CTextFormat {
public:
    struct Arg {
        enum Kind { kText, kLong } kind;
        const char* text;
        long number;
        static Arg of(const char* value) { return {kText, value ? value : "", 0}; }
        static Arg of(long value) { return {kLong, nullptr, value}; }
    };

    // Writes at most size - 1 bytes and a NUL. False when a placeholder finds no argument of its
    // kind (it is then copied as written) or arguments are left over; the text is still filled.
    static bool format(char* out, size_t size, const char* pattern, const Arg* args, long count);
};
