// The settings key that the player, the settings tool and vdrivectl share:
// its values, their defaults and one way of reading them, so that what the
// tool shows is what the player does. Where `IndexFile` puts the title index
// is Places.h's.
#pragma once

#include <windows.h>

#include <stdint.h>

#include "IndexPlace.h"

const char kSettingsKey[] = "Software\\Pelmark\\Drovix";
const char kSettingsClass[] = "Drovix";
const int kSettingPathSize = 512;
const int32_t kIntervalDefault = 333;

// The key's value names, as the player and the settings tool write them.
const char kValueWindowLeft[] = "WindowLeft";
const char kValueWindowTop[] = "WindowTop";
const char kValueTopMost[] = "TopMost";
const char kValueDisplayState[] = "DisplayState";
const char kValueInterval[] = "Interval";
const char kValueIndexFile[] = "IndexFile";
const char kValueAutoplayMinimize[] = "AutoplayMinimize";
const char kValueAlwaysVisibleSet[] = "AlwayVisibleSet";
const char kValueSaveBeforePlayMode[] = "SaveBeforePlayMode";
const char kValueRepeatMode[] = "RepeatMode";
const char kValueRandomMode[] = "RandomMode";

struct Settings {
    int32_t windowLeft, windowTop;
    uint32_t topMost;
    uint32_t displayState;
    int32_t interval;
    char indexFile[kSettingPathSize];
    uint32_t autoplayMinimize;
    uint32_t alwaysVisibleSet;
    uint32_t saveBeforePlayMode;
    uint32_t repeatMode;
    uint32_t randomMode;
};

// The defaults, then every value the key holds. A number of any type is
// taken byte for byte up to its four (a longer one leaves the default); a
// text replaces the default whole, at most 511 bytes. 0 when the key does
// not open: the defaults stand.
int32_t readSettings(Settings* settings);

// The key opened to write, created with its class when missing; 0 when
// neither works.
int32_t openSettingsToWrite(HKEY* key);
// 1 when the value was written.
int32_t writeSettingNumber(HKEY key, const char* name, uint32_t value);
int32_t writeSettingText(HKEY key, const char* name, const char* text);

// The period the player's timer runs at for a stored `Interval`: the engine
// takes 0 to 5000 ms and runs at the default otherwise.
inline int32_t timerInterval(int32_t stored) { return stored < 0 || stored > 5000 ? kIntervalDefault : stored; }
