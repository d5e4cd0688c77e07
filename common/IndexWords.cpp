#include "IndexWords.h"

#include <stdio.h>

#include "Places.h"

void describeRefusedIndex(const char* path, const IndexCheck& check, char* text, int size) {
    switch (check.verdict) {
    case kIndexUtf8Mark:
    case kIndexUtf16Mark:
        snprintf(text, size,
                 "%s は %s で保存されているため、曲名ファイルとして使えません。\n"
                 "メモ帳などで開き、文字コードを「ANSI」(Shift-JIS) にして保存し直してください。",
                 path, check.verdict == kIndexUtf8Mark ? "UTF-8" : "Unicode (UTF-16)");
        return;
    case kIndexHasNul:
        snprintf(text, size, "%s は曲名ファイルではありません。(%d 行目に文字でないバイトがあります)", path,
                 (int)check.line);
        return;
    case kIndexNoRecordLine:
        snprintf(text, size,
                 "%s は曲名ファイルではありません。(%d 行目から文章がありますが、@ で始まる曲名の行が一つもありません)",
                 path, (int)check.line);
        return;
    case kIndexUnreadable:
        snprintf(text, size, "%s を読み込めません。", path);
        return;
    case kIndexOk:
        break;
    }
    snprintf(text, size, "%s", path);
}

void describeBusyIndex(const char* path, char* text, int size) {
    snprintf(text, size, "ほかのプログラムが曲名ファイル %s を保存中です。しばらくしてからもう一度保存してください。",
             path);
}

void describeSaveFileIndex(const char* path, char* text, int size) {
    snprintf(text, size,
             "%s は曲名ファイルの保存に使うファイル (%s、drovix.tmp) と同じ名前のため、曲名ファイルにできません。"
             "別の名前にしてください。",
             path, kSaveLockName);
}

void describeSkippedSeed(const char* seed, const char* index, char* text, int size) {
    snprintf(text, size,
             "%s は曲名ファイルとして読めないため、その曲名は引き継がずに新しい曲名ファイル %s に保存しました。"
             "(%s は変更していません)",
             seed, index, seed);
}

int32_t indexIsSaveFile(const char* indexPath, const char* tempPath) {
    char lock[kSaveFilePathSize];
    return isSaveFile(indexPath, tempPath) || sameFile(indexPath, tempPath) ||
           (saveLockBeside(indexPath, lock) && sameFile(indexPath, lock));
}
