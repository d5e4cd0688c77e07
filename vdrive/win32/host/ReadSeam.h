// Every reading of a disc's files passes here: an image read when the disc
// goes in, and every buffer of sound. The drive we ship does nothing here;
// its test build (DROVIX_DRIVE_SEAMS) can hold or slow a reading, so that a
// test sees what the drive does while a disk is slow. A thread of the drive
// passes threadLeftSeam as the last thing it does, so that the test build
// can tell a test when it has gone.
#pragma once

#ifdef DROVIX_DRIVE_SEAMS
void readSeam();
void threadLeftSeam();
#else
inline void readSeam() {}
inline void threadLeftSeam() {}
#endif
