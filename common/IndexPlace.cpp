#include "IndexPlace.h"

#include <stdio.h>
#include <string.h>

#include "ShiftJis.h"

namespace {

int32_t joinPath(char path[kPlacePathSize], const char* directory, const char* name) {
    int length = snprintf(path, kPlacePathSize, "%s%s", directory, name);
    if (length >= 0 && length < kPlacePathSize)
        return 1;
    path[0] = 0;
    return 0;
}

int32_t placeInUserFolder(const IndexFacts& facts, const char* name, IndexPlace* place) {
    int length = snprintf(place->path, kPlacePathSize, "%s%s\\%s", facts.appDataDir, kUserFolderName, name);
    if (length < 0 || length >= kPlacePathSize)
        return 0;
    snprintf(place->folderToMake, kPlacePathSize, "%s%s", facts.appDataDir, kUserFolderName);
    return joinPath(place->seed, facts.programDir, name);
}

char foldedAscii(char byte) { return byte >= 'a' && byte <= 'z' ? (char)(byte - 'a' + 'A') : byte; }

} // namespace

int32_t tempPathBeside(const char* indexPath, char temp[kPlacePathSize]) {
    const char* separator = lastSeparator(indexPath);
    int directory = separator ? (int)(separator - indexPath) + 1 : 0;
    int length = snprintf(temp, kPlacePathSize, "%.*s%s", directory, indexPath, kTempName);
    if (length >= 0 && length < kPlacePathSize)
        return 1;
    temp[0] = 0;
    return 0;
}

int32_t placeIndex(const IndexFacts& facts, IndexPlace* place) {
    *place = IndexPlace{};
    if (lastSeparator(facts.setting) && joinPath(place->path, "", facts.setting) && facts.exists(place->path))
        return tempPathBeside(place->path, place->temp);
    const char* name = facts.setting[0] && !lastSeparator(facts.setting) ? facts.setting : kDefaultIndexName;
    // Once the user has an index of the name, it stays theirs, whatever the
    // rights of the moment (an administrator's change, an elevated start).
    int32_t placed = 0;
    if (facts.appDataDir[0]) {
        placed = placeInUserFolder(facts, name, place);
        if (placed && facts.programDirWritable && !facts.exists(place->path))
            placed = 0;
    }
    if (!placed) {
        *place = IndexPlace{};
        placed =
            joinPath(place->path, facts.programDir, name) || joinPath(place->path, facts.programDir, kDefaultIndexName);
    }
    return placed && tempPathBeside(place->path, place->temp);
}

int32_t samePathSpelling(const char* one, const char* other) {
    size_t at = 0;
    for (;;) {
        char a = one[at], b = other[at];
        if (isLeadByte((unsigned char)a) && a == b && one[at + 1]) {
            if (one[at + 1] != other[at + 1])
                return 0;
            at += 2;
            continue;
        }
        if (foldedAscii(a) != foldedAscii(b))
            return 0;
        if (!a)
            return 1;
        at++;
    }
}
