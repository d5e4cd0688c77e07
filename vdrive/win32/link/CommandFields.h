// The fields of each MCI command's parameter block that the drive reads and
// answers in, listed once: the program's side copies them into a request,
// the host makes a block of them again, and the drive's log prints them.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <mmddk.h>

#include <stdint.h>

const int kMaxFields = 3;
const int kReplyTextSize = 64;

// How a field reads: a number; a window handle (32 significant bits); a
// pointer of which only whether it is there travels.
enum FieldKind { kFieldNumber, kFieldWindow, kFieldPresent };
// Where the answer goes: nowhere, a DWORD_PTR (status), a DWORD (device
// capabilities), a text (information).
enum AnswerPlace { kNoAnswer, kAnswerPointerSized, kAnswerDword, kAnswerText };

struct Field {
    uint16_t offset;
    uint8_t kind;
    uint32_t loggedWith; // the flag without which the log leaves it out; 0: always
};

struct CommandFields {
    UINT message;
    const char* name; // in the drive's log
    int count;
    Field fields[kMaxFields];
    uint8_t answer;
    uint16_t answerOffset;
};

// The command's fields; a command the drive does not know has none.
const CommandFields& commandFields(UINT message);
// The block's fields as they travel.
void readFields(UINT message, DWORD_PTR block, uint32_t values[kMaxFields]);
// A block of the host's made from them; `text` receives an information's
// answer.
void writeFields(UINT message, const uint32_t values[kMaxFields], DWORD_PTR block, wchar_t text[kReplyTextSize]);
// The answer out of the host's block, and into the program's.
uint32_t readAnswer(UINT message, DWORD_PTR block);
void writeAnswer(UINT message, DWORD flags, DWORD_PTR block, uint32_t returned, const uint16_t text[kReplyTextSize]);
// The command as the drive's log has it: its name, flags and fields.
void logLine(UINT message, DWORD flags, DWORD_PTR block, char* line, int size);
