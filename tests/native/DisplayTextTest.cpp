// The display's texts and mouse regions.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "DisplayText.h"

namespace {

TEST(TitleLine, JoinsTitleAndArtistOrShowsTheOneThereIs) {
    char line[kTitleLineStore];
    formatTitleLine(line, "Blue", "Trio");
    EXPECT_STREQ("Blue / Trio", line);
    formatTitleLine(line, "Blue", "");
    EXPECT_STREQ("Blue", line);
    formatTitleLine(line, "", "Trio");
    EXPECT_STREQ("Trio", line);
    formatTitleLine(line, "", "");
    EXPECT_STREQ("", line);
}

TEST(TitleLine, TwoLongestValuesFitWhole) {
    char line[kTitleLineStore + 8];
    memset(line, 'X', sizeof line);
    std::string title(63, 't'), artist(63, 'a');
    formatTitleLine(line, title.c_str(), artist.c_str());
    EXPECT_EQ(title + " / " + artist, line);
    EXPECT_EQ('X', line[kTitleLineStore]);
}

TEST(TrackLine, NumberInTwoPlaces) {
    char line[kTrackLineStore];
    formatTrackLine(line, 3, "Intro");
    EXPECT_STREQ(" 3. Intro", line);
    formatTrackLine(line, 12, "");
    EXPECT_STREQ("12. ", line);
    char bounded[kTrackLineStore + 8];
    memset(bounded, 'X', sizeof bounded);
    formatTrackLine(bounded, 255, std::string(63, 'n').c_str());
    EXPECT_EQ("255. " + std::string(63, 'n'), bounded);
    EXPECT_EQ('X', bounded[kTrackLineStore]);
}

TEST(Clock, MinutesFullWidthColonSeconds) {
    char clock[kClockStore];
    formatClock(clock, 65);
    EXPECT_STREQ(" 1\x81\x46" "05", clock);
    formatClock(clock, 600);
    EXPECT_STREQ("10\x81\x46" "00", clock);
    formatClock(clock, 0);
    EXPECT_STREQ(" 0\x81\x46" "00", clock);
    char bounded[kClockStore + 4];
    memset(bounded, 'X', sizeof bounded);
    formatClock(bounded, 0x7FFFFFFF);
    EXPECT_EQ('X', bounded[kClockStore]);
}

TEST(Clock, WhilePausedThreeShownTwoBlank) {
    int32_t counter = 0;
    std::string pattern;
    for (int i = 0; i < 10; i++)
        pattern += clockVisible(&counter, 1) ? 'o' : '.';
    EXPECT_EQ("ooo..ooo..", pattern);
    EXPECT_EQ(10, counter);
    // Playing neither blinks nor counts; the count is never reset.
    EXPECT_TRUE(clockVisible(&counter, 0));
    EXPECT_EQ(10, counter);
    EXPECT_TRUE(clockVisible(&counter, 1));
}

TEST(Caption, HoldsTheLongestTitleLineAndTrackNameWhole) {
    // 31 double-byte characters and one more byte: 63 bytes.
    std::string title, artist(63, 'a');
    for (int i = 0; i < 31; i++)
        title += "\x82\xA0";
    title += "x";
    char line[kTitleLineStore], caption[kCaptionStore];
    formatTitleLine(line, title.c_str(), artist.c_str());
    formatCaption(caption, 2, "", "", line);
    EXPECT_EQ(title + " / " + artist, caption);
    std::string name(63, 'n');
    formatCaption(caption, 0, name.c_str(), "99\x81\x46" "59", line);
    EXPECT_EQ(name + " (99\x81\x46" "59)", caption);
}

TEST(Caption, StoppedShowsTheTitleLineElseNameAndClock) {
    char caption[kCaptionStore];
    formatCaption(caption, 2, "Intro", " 1\x81\x46" "05", "Blue / Trio");
    EXPECT_STREQ("Blue / Trio", caption);
    for (int32_t state : {0, 1, 3}) {
        formatCaption(caption, state, "Intro", " 1\x81\x46" "05", "Blue / Trio");
        EXPECT_STREQ("Intro ( 1\x81\x46" "05)", caption) << state;
    }
}

TEST(TrackMenuItem, NumberLengthAndNameAfterATab) {
    char item[kMenuItemStore];
    formatTrackMenuItem(item, 3, 185, "Intro");
    EXPECT_STREQ(" 3 ( 3\x81\x46" "05)\tIntro", item);
    formatTrackMenuItem(item, 12, 3599, "");
    EXPECT_STREQ("12 (59\x81\x46" "59)\t", item);
}

TEST(TrackMenuItem, ANameShowsItsAmpersandsAndIsCutOnACharacterBoundary) {
    // The head " 1 ( 3：05)\t" takes 12 bytes, leaving 51 for the name.
    const std::string head = " 1 ( 3\x81\x46" "05)\t";
    struct Case {
        std::string name, shown;
    } cases[] = {
        {std::string(51, 'n'), std::string(51, 'n')},
        {std::string(63, 'n'), std::string(51, 'n')},
        // A double-byte character across the end is left out whole.
        {std::string(50, 'n') + "\x83\x5C" "x", std::string(50, 'n')},
        {std::string(49, 'n') + "\x83\x5C" "x", std::string(49, 'n') + "\x83\x5C"},
        // "&" is doubled, so that the menu shows it rather than a mnemonic,
        // and the two are never parted by the cut.
        {"Tom & Jerry", "Tom && Jerry"},
        {std::string(49, 'n') + "&x", std::string(49, 'n') + "&&"},
        {std::string(50, 'n') + "&", std::string(50, 'n')},
        {"\x83\x5C&\x83\x5C", "\x83\x5C&&\x83\x5C"},
    };
    for (const Case& c : cases) {
        char item[kMenuItemStore + 8];
        memset(item, 'X', sizeof item);
        formatTrackMenuItem(item, 1, 185, c.name.c_str());
        EXPECT_EQ(head + c.shown, item) << c.name;
        EXPECT_EQ('X', item[kMenuItemStore]);
    }
}

TEST(HitTest, RegionsAtTheirBounds) {
    struct Case {
        int32_t x, y;
        MouseRegion region;
    };
    const Case cases[] = {
        {19, 8, kRegionTitleStrip},    {257, 18, kRegionTitleStrip},   {18, 8, kRegionNone},
        {258, 18, kRegionNone},        {19, 19, kRegionNone},          {8, 25, kRegionDisplayPanel},
        {287, 67, kRegionDisplayPanel}, {7, 25, kRegionNone},           {221, 68, kRegionClockPanel},
        {287, 86, kRegionClockPanel},  {220, 68, kRegionNone},         {287, 87, kRegionNone},
        {-5, 30, kRegionNone},         {30, -1, kRegionNone},
    };
    for (const Case& c : cases) {
        uint32_t packed = (uint32_t)(uint16_t)c.x | (uint32_t)(uint16_t)c.y << 16;
        EXPECT_EQ(c.region, hitTest(packed)) << c.x << "," << c.y;
    }
}

} // namespace
