// Fuzzes the title index's load and save over arbitrary file contents.
// Even first byte: the rest is the index file as it stands on disk; the load
// and the save must end cleanly, and the save must either refuse a file that
// is not an index and leave it as it was, or put the new record where a load
// finds it.
// Odd first byte: the rest describes well-formed records, and the saved file
// must hold every other disc's record byte for byte and the new record in
// place of the saved disc's records.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "FileBytes.h"
#include "FileLayer.h"
#include "TitleIndex.h"

namespace {

const char* const kDiscs[] = {"@030b8600f5", "@0c0b8600f5", "@030B8600F5", "@0100000000"};
const char* const kSaved = kDiscs[0];

std::string folder() {
    static std::string path;
    if (path.empty()) {
        char name[64];
        snprintf(name, sizeof name, "/tmp/drovix-fuzz-%d", (int)getpid());
        path = name;
        mkdir(path.c_str(), 0700);
    }
    return path;
}

const TitleRecord& newTitles() {
    static TitleRecord titles;
    snprintf(titles.title, kTitleSlot, "T");
    snprintf(titles.artist, kTitleSlot, "A");
    snprintf(titles.tracks[0], kTitleSlot, "a");
    snprintf(titles.tracks[1], kTitleSlot, "b");
    snprintf(titles.tracks[2], kTitleSlot, "c");
    return titles;
}

const std::string kNewRecord = "@030b8600f5\r\n+T\r\n-A\r\n#a\r\n#b\r\n#c\r\n\r\n";

// Reads one byte at a time, so that the reader never holds a whole piece
// and takes none of its shortcuts: the plain reading to compare with.
long readByteByByte(FileHandle file, char* buffer, size_t) { return stdioFileLayer.read(file, buffer, 1); }

struct Input {
    const uint8_t* data;
    size_t size;
    size_t at;
    uint8_t next() { return at < size ? data[at++] : 0; }
    bool done() const { return at >= size; }
};

// Well-formed records from the input, and the file a save must leave.
void describeRecords(Input& input, std::string& file, std::string& expected) {
    bool replaced = false;
    while (!input.done()) {
        const char* disc = kDiscs[input.next() % 4];
        std::string record = std::string(disc) + "\r\n";
        int lines = input.next() % 6;
        for (int line = 0; line < lines; line++) {
            record += "+-#"[input.next() % 3];
            int length = input.next() % 100;
            for (int i = 0; i < length; i++) {
                char byte = (char)input.next();
                // Line ends, the end-of-text byte, NUL and "@" (which would
                // start a record inside a piece of a long value) never stand
                // in values.
                if (byte == '\n' || byte == 0x1A || byte == '@' || byte == 0)
                    byte = 'x';
                if (byte == '\r' && i == length - 1)
                    byte = 'y';
                record += byte;
            }
            record += "\r\n";
        }
        record += "\r\n";
        file += record;
        if (strcmp(disc, kSaved) == 0) {
            expected += kNewRecord;
            replaced = true;
        } else {
            expected += record;
        }
    }
    if (!replaced)
        expected += "\r\n" + kNewRecord;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    std::string index = folder() + "/drovix.idx";
    std::string temp = folder() + "/drovix.tmp";
    Input input = {data + 1, size - 1, 0};
    std::string file, expected;
    bool structured = data[0] & 1;
    if (structured)
        describeRecords(input, file, expected);
    else
        file.assign((const char*)data + 1, size - 1);
    writeBytes(index, file);

    static TitleRecord loaded, plain;
    memset(&loaded, 0x55, sizeof loaded);
    memset(&plain, 0x55, sizeof plain);
    const char* disc = kDiscs[data[0] >> 1 & 3];
    loadTitleRecord(index.c_str(), disc, 99, &loaded);
    fileLayer.read = readByteByByte;
    loadTitleRecord(index.c_str(), disc, 99, &plain);
    fileLayer = stdioFileLayer;
    if (memcmp(&loaded, &plain, sizeof loaded) != 0) {
        fprintf(stderr, "load differs from the plain reading\n");
        abort();
    }

    // The settings tool's check and a save's copy pass judge a file alike.
    IndexCheck checked = checkTitleIndex(index.c_str());
    IndexCheck found = {};
    SaveResult result = rewriteTitleIndex(index.c_str(), temp.c_str(), kSaved, 3, &newTitles(), 0, &found);
    if ((result == kSaveNotAnIndex) != (checked.verdict != kIndexOk) ||
        (result == kSaveNotAnIndex && (found.verdict != checked.verdict || found.line != checked.line))) {
        fprintf(stderr, "the check and the save judge the file differently\n");
        abort();
    }
    std::string saved = readBytes(index);
    if (result == kSaveNotAnIndex && !structured && saved == file && access(temp.c_str(), F_OK) != 0)
        return 0;
    if (result != kSaveDone)
        abort();
    // Whatever the file held, a load finds what was saved.
    loadTitleRecord(index.c_str(), kSaved, 3, &loaded);
    if (strcmp(loaded.title, "T") != 0 || strcmp(loaded.tracks[2], "c") != 0) {
        fprintf(stderr, "the saved record is not what a load finds\n");
        abort();
    }
    if (structured && saved != expected) {
        fprintf(stderr, "saved file differs from the expected one\n");
        abort();
    }
    if (saved.find(kNewRecord) == std::string::npos)
        abort();
    if (access(temp.c_str(), F_OK) == 0)
        abort();
    return 0;
}
