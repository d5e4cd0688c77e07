// What the player and the settings tool say of an index that bears the name
// of a save's own file, written out here as the user reads it.
#pragma once

#include <string>

inline std::string saveFileWords(const std::string& path) {
    return path + " は曲名ファイルの保存に使うファイル (drovix.lck、drovix.tmp) と同じ名前のため、"
                  "曲名ファイルにできません。別の名前にしてください。";
}
