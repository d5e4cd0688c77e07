#include "SheetTitles.h"

#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "../../common/ProgramDirectory.h"
#include "../../common/Settings.h"
#include "../../common/ShiftJis.h"
#include "../../titles/TitleIndex.h"
#include "../CueSheet.h"
#include "ImageFiles.h"

namespace {

// Sheets are small: one a few kilobytes long is a large one.
const size_t kSheetStore = 256 * 1024;
char sheetText[kSheetStore];
CueSheet sheet;

// A name of the sheet in the index's code page, cut to what a load reads
// back whole; an empty name leaves the slot's default.
int takeName(char slot[kTitleSlot], const char* name, int utf8) {
    if (!name[0])
        return 0;
    char converted[kCueNameSize * 2] = {};
    if (utf8) {
        wchar_t wide[kCueNameSize];
        int length = MultiByteToWideChar(CP_UTF8, 0, name, -1, wide, kCueNameSize);
        if (length <= 0 || !WideCharToMultiByte(932, 0, wide, -1, converted, sizeof converted, 0, 0))
            return 0;
    } else {
        snprintf(converted, sizeof converted, "%s", name);
    }
    copyCut(slot, converted, kValueMax);
    return 1;
}

int readSheet(const char* path, size_t* length) {
    FILE* file = openStream(path, "rb");
    if (!file)
        return 0;
    *length = fread(sheetText, 1, kSheetStore, file);
    fclose(file);
    return 1;
}

int sheetNames(const char* path, int32_t trackCount, TitleRecord* record) {
    size_t length = 0;
    if (!readSheet(path, &length) || parseCueSheet(sheetText, length, &sheet) != kImageOk)
        return 0;
    int named = takeName(record->title, sheet.discTitle, sheet.utf8);
    named |= takeName(record->artist, sheet.discPerformer, sheet.utf8);
    for (int32_t i = 0; i < trackCount && i < sheet.trackCount; i++)
        named |= takeName(record->tracks[i], sheet.trackTitles[i], sheet.utf8);
    return named;
}

void demoNames(int32_t trackCount, TitleRecord* record) {
    snprintf(record->title, kTitleSlot, "デモディスク");
    snprintf(record->artist, kTitleSlot, "Drovix");
    for (int32_t i = 0; i < trackCount && i < kTitleTracks; i++)
        snprintf(record->tracks[i], kTitleSlot, "Tone %d", (int)(i + 1));
}

// The identifier the player forms: from the lengths the drive reports, in
// whole seconds.
void discIdOf(const VirtualDisc& disc, char id[kDiscIdSize]) {
    int32_t total = 0;
    for (int32_t track = 1; track <= disc.trackCount; track++)
        total += (int32_t)(disc.reportedLength(track) / kFramesPerSecond);
    formatDiscId(id, disc.trackCount, total, (int32_t)(disc.reportedLength(1) / kFramesPerSecond));
}

// The temporary file lies beside the index, so that it replaces the index
// in one step.
void temporaryBeside(const char* indexPath, char temp[kProgramPathSize]) {
    const char* separator = lastSeparator(indexPath);
    int directory = separator ? (int)(separator - indexPath) + 1 : 0;
    snprintf(temp, kProgramPathSize, "%.*sdrovix.tmp", directory, indexPath);
}

} // namespace

int writeSheetTitles(const char* sheetPath, const char* indexPath, int onlyNew, char* message, int messageSize) {
    static VirtualDisc disc;
    char reason[300];
    if (!loadImage(sheetPath ? sheetPath : "", &disc, reason, sizeof reason)) {
        snprintf(message, messageSize, "イメージを再生できません: %s", reason);
        return 1;
    }
    static TitleRecord record;
    setDefaultTitles(&record);
    if (sheetPath && !sheetNames(sheetPath, disc.trackCount, &record)) {
        snprintf(message, messageSize, "シートに曲名がありません。曲名ファイルは変更していません");
        return 0;
    }
    if (!sheetPath)
        demoNames(disc.trackCount, &record);

    char index[kProgramPathSize], temp[kProgramPathSize], id[kDiscIdSize];
    if (indexPath) {
        snprintf(index, sizeof index, "%s", indexPath);
        temporaryBeside(index, temp);
    } else {
        // The index that the player beside this program reads, as the
        // settings name it, and the player's own temporary file.
        char directory[kProgramPathSize];
        programDirectory(0, directory);
        Settings settings;
        readSettings(&settings);
        indexPathInUse(settings.indexFile, directory, index);
        tempPathOf(directory, temp);
    }
    // Writing the index through itself would lose it.
    if (sameFile(index, temp)) {
        snprintf(message, messageSize, "%s は保存に使う一時ファイルです。変更していません", index);
        return 1;
    }
    discIdOf(disc, id);
    if (onlyNew && titleRecordExists(index, id)) {
        snprintf(message, messageSize, "%s にはディスク %s の曲名がすでにあります (置き換えるときは --replace)", index, id);
        return 0;
    }
    if (rewriteTitleIndex(index, temp, id, disc.trackCount, &record) != kSaveDone) {
        snprintf(message, messageSize, "%s に書き込めません。曲名ファイルは変更していません", index);
        return 1;
    }
    snprintf(message, messageSize, "%s: ディスク %s は「%s」です", index, id, record.title);
    return 0;
}
