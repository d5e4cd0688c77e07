// Where the title index lies, for every kind of setting and program folder,
// and which spellings name one file.
#include <gtest/gtest.h>

#include <string>

#include "../../common/IndexPlace.h"

namespace {

const char kProgram[] = "C:\\Program Files\\\x95\x5C\x8E\xA6 \x83\x5C\x83\x74\x83\x67\\";
const char kAppData[] = "C:\\Users\\u\\AppData\\Roaming\\";
const std::string kUserFolder = std::string(kAppData) + "Drovix";

int32_t onlyOnD(const char* path) { return path[0] == 'D'; }
// The user has an index of their own already.
int32_t onDAndTheUsers(const char* path) { return path[0] == 'D' || std::string(path).rfind(kUserFolder, 0) == 0; }

TEST(IndexPlace, FollowsTheSettingAndTheProgramFolder) {
    const std::string program = kProgram;
    const std::string longName(480, 'n');
    struct Row {
        const char* setting;
        const char* appData;
        int32_t writable;
        std::string path, seed, temp;
        int32_t (*exists)(const char*) = onlyOnD;
    };
    const Row rows[] = {
        // The program's folder, where this user can write there.
        {"drovix.idx", kAppData, 1, program + "drovix.idx", "", program + "drovix.tmp"},
        {"\x95\x5C.idx", kAppData, 1, program + "\x95\x5C.idx", "", program + "drovix.tmp"},
        // Another volume: the temporary file lies beside it.
        {"D:\\Titles\\my.idx", kAppData, 0, "D:\\Titles\\my.idx", "", "D:\\Titles\\drovix.tmp"},
        {"\\\\server\\share\\t.idx", kAppData, 1, program + "drovix.idx", "", program + "drovix.tmp"},
        // A folder that cannot be written: the user's own, seeded from it.
        {"drovix.idx", kAppData, 0, kUserFolder + "\\drovix.idx", program + "drovix.idx", kUserFolder + "\\drovix.tmp"},
        {"&\x95\x5C.idx", kAppData, 0, kUserFolder + "\\&\x95\x5C.idx", program + "&\x95\x5C.idx",
         kUserFolder + "\\drovix.tmp"},
        {"C:\\gone\\x.idx", kAppData, 0, kUserFolder + "\\drovix.idx", program + "drovix.idx",
         kUserFolder + "\\drovix.tmp"},
        {"", kAppData, 0, kUserFolder + "\\drovix.idx", program + "drovix.idx", kUserFolder + "\\drovix.tmp"},
        {"", kAppData, 1, program + "drovix.idx", "", program + "drovix.tmp"},
        // The user's own index stays theirs once the folder can be written
        // (an administrator's change, an elevated start).
        {"drovix.idx", kAppData, 1, kUserFolder + "\\drovix.idx", program + "drovix.idx",
         kUserFolder + "\\drovix.tmp", onDAndTheUsers},
        {"&\x95\x5C.idx", kAppData, 1, kUserFolder + "\\&\x95\x5C.idx", program + "&\x95\x5C.idx",
         kUserFolder + "\\drovix.tmp", onDAndTheUsers},
        // The Windows 95 family: the program's folder, always.
        {"drovix.idx", "", 0, program + "drovix.idx", "", program + "drovix.tmp"},
        // A name that fits the program's folder but not the user's stays.
        {longName.c_str(), kAppData, 0, program + longName, "", program + "drovix.tmp"},
    };
    for (const Row& row : rows) {
        IndexPlace place;
        IndexFacts facts = {row.setting, kProgram, row.appData, row.writable, row.exists};
        placeIndex(facts, &place);
        EXPECT_EQ(row.path, place.path) << row.setting;
        EXPECT_EQ(row.seed, place.seed) << row.setting;
        EXPECT_EQ(row.temp, place.temp) << row.setting;
        EXPECT_EQ(row.seed.empty() ? "" : kUserFolder, place.folderToMake) << row.setting;
    }
}

TEST(IndexPlace, SpellingsOfOneFile) {
    struct Row {
        const char *one, *other;
        int32_t same;
    };
    const Row rows[] = {
        {"C:\\Drovix\\drovix.tmp", "c:\\DROVIX\\Drovix.TMP", 1},
        {"C:\\a-b\\x.idx", "C:\\ab\\x.idx", 0},
        {"C:\\it's\\x.idx", "C:\\its\\x.idx", 0},
        {"C:\\a\\x.idx", "C:\\a\\x.idx ", 0},
        // Trail bytes are never folded: "ア" (0x8341) is not "ャ" (0x8361).
        {"C:\\\x83\x41", "C:\\\x83\x61", 0},
        {"C:\\\x82\x81", "C:\\\x82\x60", 0},
        {"C:\\\x83\x5C\\a", "C:\\\x83\x5C\\A", 1},
        {"", "", 1},
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.same, samePathSpelling(row.one, row.other)) << row.one << " " << row.other;
}

} // namespace
