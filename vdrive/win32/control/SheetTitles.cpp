#include "SheetTitles.h"

#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "../../../common/IndexWords.h"
#include "../../../common/ProgramDirectory.h"
#include "../../../common/Places.h"
#include "../../../common/Settings.h"
#include "../../../common/Text.h"
#include "../../../common/ShiftJis.h"
#include "../../../titles/TitleIndex.h"
#include "../../CueSheet.h"
#include "../host/ImageFiles.h"

namespace {

// Sheets are small: one a few kilobytes long is a large one.
const size_t kSheetStore = 256 * 1024;
char sheetText[kSheetStore];
CueSheet sheet;

const int kNameUnfit = -1;

// A name of the sheet in the index's code page, cut to what a load reads
// back whole; an empty name leaves the slot's default (0). kNameUnfit for a
// name that Shift-JIS cannot hold exactly: it is never stored with "?".
int takeName(char slot[kTitleSlot], const char* name, int utf8) {
    if (!name[0])
        return 0;
    char converted[kCueNameSize * 2] = {};
    if (utf8) {
        wchar_t wide[kCueNameSize];
        if (!utf8ToWide(name, wide, kCueNameSize) || !toShiftJis(wide, converted, sizeof converted))
            return kNameUnfit;
    } else {
        snprintf(converted, sizeof converted, "%s", name);
    }
    copyCut(slot, converted, kValueMax);
    return 1;
}

int readSheet(const wchar_t* path, size_t* length) {
    FILE* file = _wfopen(path, L"rb");
    if (!file)
        return 0;
    *length = fread(sheetText, 1, kSheetStore, file);
    fclose(file);
    return 1;
}

// 1 when the sheet names anything, 0 when it names nothing, kNameUnfit
// when a name cannot be stored.
int sheetNames(const wchar_t* path, int32_t trackCount, TitleRecord* record) {
    size_t length = 0;
    if (!readSheet(path, &length) || parseCueSheet(sheetText, length, &sheet) != kImageOk)
        return 0;
    int taken[2 + kTitleTracks];
    int count = 0;
    taken[count++] = takeName(record->title, sheet.discTitle, sheet.utf8);
    taken[count++] = takeName(record->artist, sheet.discPerformer, sheet.utf8);
    for (int32_t i = 0; i < trackCount && i < sheet.trackCount && i < kTitleTracks; i++)
        taken[count++] = takeName(record->tracks[i], sheet.trackTitles[i], sheet.utf8);
    int named = 0;
    for (int i = 0; i < count; i++) {
        if (taken[i] == kNameUnfit)
            return kNameUnfit;
        named |= taken[i];
    }
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

} // namespace

int writeSheetTitles(const wchar_t* sheetPath, const char* indexPath, int onlyNew, char* message, int messageSize) {
    static VirtualDisc disc;
    static ImageRefusal refusal;
    char reason[600];
    if (!loadImage(sheetPath ? sheetPath : L"", &disc, &refusal)) {
        refusalTextJapanese(refusal, reason, sizeof reason);
        snprintf(message, messageSize, "イメージを再生できません: %s", reason);
        return 1;
    }
    static TitleRecord record;
    setDefaultTitles(&record);
    int named = sheetPath ? sheetNames(sheetPath, disc.trackCount, &record) : 1;
    if (named == kNameUnfit) {
        snprintf(message, messageSize,
                 "シートの曲名に Shift-JIS で表せない文字があります。曲名ファイルは変更していません");
        return 1;
    }
    if (!named) {
        snprintf(message, messageSize, "シートに曲名がありません。曲名ファイルは変更していません");
        return 0;
    }
    if (!sheetPath)
        demoNames(disc.trackCount, &record);

    // The index named, or the one the player beside this program uses, as
    // the settings name it; the temporary file beside it.
    IndexPlace place = {};
    if (indexPath) {
        int length = snprintf(place.path, sizeof place.path, "%s", indexPath);
        if (length < 0 || length >= (int)sizeof place.path || !tempPathBeside(place.path, place.temp)) {
            snprintf(message, messageSize, "曲名ファイルのパスが長すぎます。曲名ファイルは変更していません");
            return 1;
        }
    } else {
        char directory[kProgramPathSize];
        programDirectory(0, directory);
        Settings settings;
        readSettings(&settings);
        indexPlaceInUse(settings.indexFile, directory, &place);
    }
    const char* index = place.path;
    const char* temp = place.temp;
    const char* seed = place.seed[0] ? place.seed : 0;
    char id[kDiscIdSize];
    // Writing the index through itself would lose it.
    if (sameFile(index, temp)) {
        snprintf(message, messageSize, "%s は保存に使う一時ファイルです。変更していません", index);
        return 1;
    }
    discIdOf(disc, id);
    if (onlyNew && titleRecordExists(index, id, seed)) {
        snprintf(message, messageSize, "%s にはディスク %s の曲名がすでにあります (置き換えるときは --replace)", index,
                 id);
        return 0;
    }
    makeIndexFolder(place.folderToMake);
    IndexCheck found = {};
    SaveResult saved = rewriteTitleIndex(index, temp, id, disc.trackCount, &record, seed, &found);
    char words[kIndexWordsSize];
    if (saved == kSaveNotAnIndex) {
        describeRefusedIndex(index, found, words, sizeof words);
        snprintf(message, messageSize, "%s\n曲名ファイルは変更していません", words);
        return 1;
    }
    if (saved == kSaveBusy) {
        describeBusyIndex(index, words, sizeof words);
        snprintf(message, messageSize, "%s", words);
        return 1;
    }
    if (saved != kSaveDone && saved != kSaveDoneSeedSkipped) {
        const char* why = saved == kSaveIndexReadOnly ? "は読み取り専用です" : "に書き込めません";
        snprintf(message, messageSize, "%s %s。曲名ファイルは変更していません", index, why);
        return 1;
    }
    words[0] = 0;
    if (saved == kSaveDoneSeedSkipped)
        describeSkippedSeed(seed, index, words, sizeof words);
    snprintf(message, messageSize, "%s%s%s: ディスク %s は「%s」です", words, words[0] ? "\n" : "", index, id,
             record.title);
    return 0;
}
