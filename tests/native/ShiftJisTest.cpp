// Shift-JIS text cut on character boundaries, and backslashes that are
// separators rather than trail bytes.
#include <gtest/gtest.h>

#include <string>

#include "../../common/ShiftJis.h"

namespace {

// "ソ" and "表" end in 0x5C, a backslash's byte; "あ" does not.
const std::string kSo = "\x83\x5C", kHyo = "\x95\x5C", kA = "\x82\xA0";

TEST(ShiftJis, CutsNeverSplitADoubleByteCharacter) {
    struct Case {
        std::string text;
        size_t max, length;
    } cases[] = {
        {"abc", 2, 2},
        {"abc", 5, 3},
        {kA + kA, 3, 2},
        {kA + kA, 4, 4},
        {"a" + kSo, 2, 1},
        {"a" + kSo, 3, 3},
        {"\xB1\xB2", 1, 1},        // half-width katakana are single bytes
        {"ab\x83", 3, 3},          // a lead byte without its trail counts alone
        {"", 4, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.length, cutLength(c.text.c_str(), c.max)) << c.text << " " << c.max;
        char copy[16];
        copyCut(copy, c.text.c_str(), c.max);
        EXPECT_EQ(c.text.substr(0, c.length), copy);
    }
}

TEST(ShiftJis, TrailBytesAreNoSeparators) {
    struct Case {
        std::string path;
        int separator; // offset of the last separator, -1 for none
    } cases[] = {
        {"C:\\Music\\drovix.idx", 8},
        {kSo + ".idx", -1},
        {"C:\\" + kHyo + "\\" + kSo, 5},
        {"C:\\" + kSo, 2},
        {"drovix.idx", -1},
        {"\\", 0},
    };
    for (const Case& c : cases) {
        const char* found = lastSeparator(c.path.c_str());
        EXPECT_EQ(c.separator, found ? (int)(found - c.path.c_str()) : -1) << c.path;
    }
}

} // namespace
