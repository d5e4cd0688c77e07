// A status answer in the form a real cdaudio driver gives it: the value
// that command clients read stays in the low word, and the flags tell the
// platform's MCI parser how to put it into words for string clients. The
// host and the programs (answering from the drive's snapshot) form it here.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <mmddk.h>

#include "../../DriveModel.h"

// A reply in the form a real cdaudio driver gives: the value that command
// clients read stays in the low word, and the flags tell the platform's MCI
// parser how to put it into words for string clients.
// (MCI_STATUS answers in a DWORD_PTR, MCI_GETDEVCAPS in a DWORD.)
template <typename Reply> inline DWORD word(Reply* reply, WORD value, WORD text) {
    *reply = MAKEMCIRESOURCE(value, text);
    return MCI_RESOURCE_RETURNED;
}

template <typename Reply> inline DWORD truth(Reply* reply, int value) {
    return word(reply, value ? TRUE : FALSE, value ? MCI_TRUE : MCI_FALSE);
}

// A word of the driver's own string table ("audio", "other").
inline DWORD driverWord(DWORD_PTR* reply, WORD value) { return word(reply, value, value) | MCI_RESOURCE_DRIVER; }

// A status answer in the reply's words.
inline DWORD reply(DWORD_PTR* out, const StatusAnswer& answer) {
    switch (answer.kind) {
    case kAnswerWord:
        return word(out, (WORD)answer.value, (WORD)answer.value);
    case kAnswerTruth:
        return truth(out, answer.value);
    case kAnswerDriverWord:
        return driverWord(out, (WORD)answer.value);
    case kAnswerTime:
        *out = answer.value;
        return MCI_COLONIZED3_RETURN;
    case kAnswerTrackTime:
        *out = answer.value;
        return MCI_COLONIZED4_RETURN;
    default:
        *out = answer.value;
        return 0;
    }
}

// A status item's answer; the time format reads as its name.
inline DWORD statusReply(uint32_t item, const StatusAnswer& answer, DWORD_PTR* out) {
    if (item == MCI_STATUS_TIME_FORMAT)
        return word(out, (WORD)answer.value, (WORD)(MCI_FORMAT_RETURN_BASE + answer.value));
    return reply(out, answer);
}
