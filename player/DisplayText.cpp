#include "DisplayText.h"

#include <stdio.h>

#include "../common/ShiftJis.h"

namespace {

struct RegionBounds {
    MouseRegion region;
    int32_t left, right, top, bottom;
};

// Tested in this order; bounds inclusive.
const RegionBounds kRegions[] = {
    {kRegionTitleStrip, 19, 257, 8, 18},
    {kRegionDisplayPanel, 8, 287, 25, 67},
    {kRegionClockPanel, 221, 287, 68, 86},
};

const int32_t kStopped = 2;

// A menu takes "&" as the mark of a mnemonic: each one in a name is doubled
// so that it shows as typed. The name is cut on a character boundary where
// its shown form no longer fits, never between the two "&".
void copyMenuText(char* target, const char* name, size_t room) {
    size_t at = 0;
    for (const char* c = name; *c;) {
        size_t width = isLeadByte((unsigned char)*c) && c[1] ? 2 : 1;
        size_t doubled = *c == '&' ? 2 : width;
        if (at + doubled > room)
            break;
        if (*c == '&')
            target[at++] = '&';
        for (size_t i = 0; i < width; i++)
            target[at++] = *c++;
    }
    target[at] = 0;
}

} // namespace

void formatTitleLine(char line[kTitleLineStore], const char* title, const char* artist) {
    if (title[0] && artist[0])
        snprintf(line, kTitleLineStore, "%s / %s", title, artist);
    else
        snprintf(line, kTitleLineStore, "%s", title[0] ? title : artist);
}

void formatTrackLine(char line[kTrackLineStore], int32_t track, const char* name) {
    snprintf(line, kTrackLineStore, "%2d. %s", (int)track, name);
}

void formatClock(char clock[kClockStore], int32_t seconds) {
    snprintf(clock, kClockStore, "%2d\x81\x46%02d", (int)(seconds / 60), (int)(seconds % 60));
}

int clockVisible(int32_t* blinkCounter, int paused) {
    if (!paused)
        return 1;
    int32_t phase = *blinkCounter % 5;
    *blinkCounter += 1;
    return phase < 3;
}

void formatCaption(char caption[kCaptionStore], int32_t playState, const char* trackName, const char* clock,
                   const char* titleLine) {
    if (playState == kStopped)
        snprintf(caption, kCaptionStore, "%.*s", kCaptionStore - 1, titleLine);
    else
        snprintf(caption, kCaptionStore, "%s (%s)", trackName, clock);
}

void formatTrackMenuItem(char item[kMenuItemStore], int32_t track, int32_t seconds, const char* name) {
    int head =
        snprintf(item, kMenuItemStore, "%2d (%2d\x81\x46%02d)\t", (int)track, (int)(seconds / 60), (int)(seconds % 60));
    if (head < 0 || head >= kMenuItemStore)
        return;
    copyMenuText(item + head, name, (size_t)(kMenuItemStore - 1 - head));
}

MouseRegion hitTest(uint32_t packedPoint) {
    int32_t x = (int16_t)(packedPoint & 0xFFFF);
    int32_t y = (int16_t)(packedPoint >> 16);
    for (const RegionBounds& bounds : kRegions)
        if (x >= bounds.left && x <= bounds.right && y >= bounds.top && y <= bounds.bottom)
            return bounds.region;
    return kRegionNone;
}
