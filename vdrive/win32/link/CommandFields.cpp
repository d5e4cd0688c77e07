#include "CommandFields.h"

#include <stddef.h>
#include <stdio.h>

namespace {

// The callback leads every block: the play's is logged with its fields.
const CommandFields kCommands[] = {
    {MCI_PLAY, "MCI_PLAY", 3,
     {{offsetof(MCI_PLAY_PARMS, dwFrom), kFieldNumber, 0},
      {offsetof(MCI_PLAY_PARMS, dwTo), kFieldNumber, 0},
      {offsetof(MCI_PLAY_PARMS, dwCallback), kFieldWindow, 0}},
     kNoAnswer, 0},
    {MCI_SEEK, "MCI_SEEK", 1, {{offsetof(MCI_SEEK_PARMS, dwTo), kFieldNumber, MCI_TO}}, kNoAnswer, 0},
    {MCI_SET, "MCI_SET", 1, {{offsetof(MCI_SET_PARMS, dwTimeFormat), kFieldNumber, MCI_SET_TIME_FORMAT}}, kNoAnswer, 0},
    {MCI_STATUS, "MCI_STATUS", 2,
     {{offsetof(MCI_STATUS_PARMS, dwItem), kFieldNumber, 0}, {offsetof(MCI_STATUS_PARMS, dwTrack), kFieldNumber, MCI_TRACK}},
     kAnswerPointerSized, offsetof(MCI_STATUS_PARMS, dwReturn)},
    {MCI_GETDEVCAPS, "MCI_GETDEVCAPS", 1, {{offsetof(MCI_GETDEVCAPS_PARMS, dwItem), kFieldNumber, 0}}, kAnswerDword,
     offsetof(MCI_GETDEVCAPS_PARMS, dwReturn)},
    {MCI_INFO, "MCI_INFO", 2,
     {{offsetof(MCI_INFO_PARMSW, dwRetSize), kFieldNumber, 0}, {offsetof(MCI_INFO_PARMSW, lpstrReturn), kFieldPresent, 0}},
     kAnswerText, 0},
    {MCI_PAUSE, "MCI_PAUSE", 0, {}, kNoAnswer, 0},
    {MCI_RESUME, "MCI_RESUME", 0, {}, kNoAnswer, 0},
    {MCI_STOP, "MCI_STOP", 0, {}, kNoAnswer, 0},
    {MCI_OPEN_DRIVER, "MCI_OPEN", 0, {}, kNoAnswer, 0},
    {MCI_CLOSE_DRIVER, "MCI_CLOSE", 0, {}, kNoAnswer, 0},
};
const CommandFields kOther = {0, "MCI_OTHER", 0, {}, kNoAnswer, 0};

BYTE* at(DWORD_PTR block, const Field& field) { return (BYTE*)block + field.offset; }

} // namespace

const CommandFields& commandFields(UINT message) {
    for (const CommandFields& command : kCommands)
        if (command.message == message)
            return command;
    return kOther;
}

void readFields(UINT message, DWORD_PTR block, uint32_t values[kMaxFields]) {
    const CommandFields& command = commandFields(message);
    for (int i = 0; i < kMaxFields; i++)
        values[i] = 0;
    for (int i = 0; block && i < command.count; i++) {
        const Field& field = command.fields[i];
        if (field.kind == kFieldNumber)
            values[i] = *(DWORD*)at(block, field);
        else if (field.kind == kFieldWindow)
            values[i] = (uint32_t) * (DWORD_PTR*)at(block, field);
        else
            values[i] = *(void**)at(block, field) != 0;
    }
}

void writeFields(UINT message, const uint32_t values[kMaxFields], DWORD_PTR block, wchar_t text[kReplyTextSize]) {
    const CommandFields& command = commandFields(message);
    for (int i = 0; i < command.count; i++) {
        const Field& field = command.fields[i];
        if (field.kind == kFieldNumber)
            *(DWORD*)at(block, field) = values[i];
        else if (field.kind == kFieldWindow)
            *(DWORD_PTR*)at(block, field) = (DWORD_PTR)(LONG_PTR)(int32_t)values[i];
        else
            *(wchar_t**)at(block, field) = values[i] ? text : 0;
    }
    // The host's text holds no more than travels back.
    if (command.answer == kAnswerText && ((MCI_INFO_PARMSW*)block)->dwRetSize > kReplyTextSize)
        ((MCI_INFO_PARMSW*)block)->dwRetSize = kReplyTextSize;
}

uint32_t readAnswer(UINT message, DWORD_PTR block) {
    const CommandFields& command = commandFields(message);
    if (command.answer == kAnswerPointerSized)
        return (uint32_t) * (DWORD_PTR*)(block + command.answerOffset);
    if (command.answer == kAnswerDword)
        return *(DWORD*)(block + command.answerOffset);
    return 0;
}

void writeAnswer(UINT message, DWORD flags, DWORD_PTR block, uint32_t returned, const uint16_t text[kReplyTextSize]) {
    const CommandFields& command = commandFields(message);
    if (!block)
        return;
    if (command.answer == kAnswerPointerSized)
        *(DWORD_PTR*)(block + command.answerOffset) = returned;
    else if (command.answer == kAnswerDword)
        *(DWORD*)(block + command.answerOffset) = returned;
    else if (command.answer == kAnswerText && (flags & (MCI_INFO_PRODUCT | MCI_INFO_MEDIA_IDENTITY))) {
        MCI_INFO_PARMSW* info = (MCI_INFO_PARMSW*)block;
        for (DWORD i = 0; info->lpstrReturn && i < info->dwRetSize && i < kReplyTextSize; i++)
            info->lpstrReturn[i] = text[i];
        if (info->lpstrReturn && info->dwRetSize)
            info->lpstrReturn[info->dwRetSize < kReplyTextSize ? info->dwRetSize - 1 : kReplyTextSize - 1] = 0;
    }
}

void logLine(UINT message, DWORD flags, DWORD_PTR block, char* line, int size) {
    const CommandFields& command = commandFields(message);
    int length = snprintf(line, size, "%s flags=0x%08lx", command.name, (unsigned long)flags);
    uint32_t values[kMaxFields];
    readFields(message, block, values);
    if (&command == &kOther)
        snprintf(line + length, size - length, " 0x%08lx", (unsigned long)message);
    for (int i = 0; i < command.count && length < size; i++)
        if (!command.fields[i].loggedWith || (flags & command.fields[i].loggedWith))
            length += snprintf(line + length, size - length, " 0x%08lx", (unsigned long)values[i]);
}
