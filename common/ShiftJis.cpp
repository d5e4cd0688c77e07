#include "ShiftJis.h"

#include <string.h>

int isLeadByte(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

size_t cutLength(const char* text, size_t maxBytes) {
    size_t at = 0;
    while (text[at]) {
        // A lead byte whose trail is missing counts as one byte.
        size_t width = isLeadByte((unsigned char)text[at]) && text[at + 1] ? 2 : 1;
        if (at + width > maxBytes)
            break;
        at += width;
    }
    return at;
}

void copyCut(char* target, const char* text, size_t maxBytes) {
    size_t length = cutLength(text, maxBytes);
    memmove(target, text, length);
    target[length] = 0;
}

const char* lastSeparator(const char* path) {
    const char* found = 0;
    for (const char* at = path; *at; at++) {
        if (isLeadByte((unsigned char)*at) && at[1])
            at++;
        else if (*at == '\\')
            found = at;
    }
    return found;
}
