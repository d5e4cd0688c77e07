// What the engine reads from a packed position and sends as a track's start.
#pragma once

#include "DiscEngine.h"

inline int32_t highHalf(uint32_t packed) { return (int32_t)(packed >> 16); }
inline int32_t lowHalf(uint32_t packed) { return (int32_t)(packed & 0xFFFF); }
// A play-from or seek-to value: the start of the track, track byte only.
inline uint32_t trackStartTmsf(int32_t track) { return (uint32_t)track & 0xFF; }
inline int isTrackNumber(int32_t track) { return track >= 1 && track <= kMaxTrack; }
