// The program's message boxes: each text with its title and kind, in one table that every part
// showing one and the front ends read.
#pragma once

#include <cstdint>

#include "platform/Common.h"

enum MessageId : uint8_t {
    kMsgEmptyPart,          // an operand of the formula is missing
    kMsgUnknownPart,        // a piece of the formula is no number, X or function
    kMsgUnbalanced,         // the formula dialog's parentheses check
    kMsgTooLong,            // no room to rewrite a leading minus
    kMsgIterations,         // the settings dialog: a count below 1
    kMsgRange,              // the settings dialog: no usable step
    kMsgExportWriteFailed,  // the exported file is incomplete
    kMsgExportNotCreated,   // the exported file could not be created
    kMsgHelp,               // Help > Help
    kMessageCount,
};

struct ProgramMessage {
    const char* text;
    const char* title;
    int16_t alertType;
};

extern const ProgramMessage kMessages[kMessageCount];

// Shows the message in a box owned by owner.
void ShowProgramMessage(QWnd owner, MessageId id);
