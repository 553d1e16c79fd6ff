#include "CTextFormat.h"

#include <cstdio>
#include <cstring>

namespace {

// Appends up to length bytes, keeping room for the NUL.
void append(char* out, size_t size, size_t& used, const char* text, size_t length) {
    if (used + 1 >= size) return;
    size_t room = size - 1 - used;
    if (length > room) length = room;
    memcpy(out + used, text, length);
    used += length;
}

}  // namespace

bool CTextFormat::format(char* out, size_t size, const char* pattern, const Arg* args, long count) {
    if (!out || size == 0) return false;
    size_t used = 0;
    bool ok = true;
    long next = 0;
    for (const char* p = pattern ? pattern : ""; *p;) {
        if (p[0] == '%' && p[1] == '%') {
            append(out, size, used, "%", 1);
            p += 2;
            continue;
        }
        bool text = p[0] == '%' && p[1] == 's';
        bool number = p[0] == '%' && p[1] == 'l' && p[2] == 'd';
        if (!text && !number) {
            append(out, size, used, p, 1);
            p++;
            continue;
        }
        size_t length = text ? 2 : 3;
        Arg::Kind wanted = text ? Arg::kText : Arg::kLong;
        if (next >= count || args[next].kind != wanted) {
            append(out, size, used, p, length);
            ok = false;
        } else if (text) {
            append(out, size, used, args[next].text, strlen(args[next].text));
            next++;
        } else {
            char digits[24];
            int n = snprintf(digits, sizeof(digits), "%ld", args[next].number);
            append(out, size, used, digits, static_cast<size_t>(n));
            next++;
        }
        p += length;
    }
    out[used] = '\0';
    return ok && next == count;
}
