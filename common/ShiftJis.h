// Shift-JIS (code page 932) text handled as bytes: where a character ends,
// so that a text is never cut inside a double-byte character, and which
// backslashes are separators rather than the trail byte of a character
// such as "ソ" or "表".
#pragma once

#include <stddef.h>

// A byte that opens a double-byte character.
int isLeadByte(unsigned char byte);

// The length of the longest start of text, at most maxBytes long, that ends
// on a character boundary.
size_t cutLength(const char* text, size_t maxBytes);

// Copies text cut to at most maxBytes bytes on a character boundary and adds
// the terminator: target holds at least maxBytes + 1 bytes.
void copyCut(char* target, const char* text, size_t maxBytes);

// The last backslash that is a separator, or 0 when there is none.
const char* lastSeparator(const char* path);
