// The texts of the main window's display, formed without any window: the
// title line, the track line, the clock with its blinking while paused, the
// window caption, and the mouse regions of the face.
#pragma once

#include <stdint.h>

// Big enough for a 63-byte title, " / " and a 63-byte artist; the screen
// cuts what does not fit with an ellipsis.
const int kTitleLineStore = 132;
const int kTrackLineStore = 72;
const int kClockStore = 16;
// The caption shows the whole title line when stopped, and a track name
// with the clock otherwise: never cut inside a double-byte character.
const int kCaptionStore = kTitleLineStore;
const int kMenuItemStore = 64;

enum MouseRegion : int32_t {
    kRegionNone = -1,
    kRegionTitleStrip = 0,
    kRegionDisplayPanel = 1,
    kRegionClockPanel = 2,
};

// "title / artist", or whichever of the two is not empty.
void formatTitleLine(char line[kTitleLineStore], const char* title, const char* artist);
// "%2d. %s": the track number in two places, a full stop, a blank, the name.
void formatTrackLine(char line[kTrackLineStore], int32_t track, const char* name);
// Minutes in two places, the full-width colon of code page 932, seconds.
void formatClock(char clock[kClockStore], int32_t seconds);
// Whether the clock shows on this refresh; while paused it shows for three
// refreshes and is blank for two. Counts the paused refreshes.
int clockVisible(int32_t* blinkCounter, int paused);
// Stopped: the title line; otherwise "name (clock)" with the unblinked clock.
void formatCaption(char caption[kCaptionStore], int32_t playState, const char* trackName, const char* clock,
                   const char* titleLine);
// A track list menu item: "%2d (%2d：%02d)\t%s" from the track number, its
// length and its name, each "&" of it doubled so that the menu shows it; a
// name that would not fit is cut on a character boundary.
void formatTrackMenuItem(char item[kMenuItemStore], int32_t track, int32_t seconds, const char* name);
// The region under a client point packed as in a mouse message.
MouseRegion hitTest(uint32_t packedPoint);
