// Reads the modem's answer to "AT*AETZ?" out of a result, whatever shape the radio driver gave it.
#pragma once

#include "platform/platform_types.h"
#include "radio/check/query_answers.h"

enum AETZ_STATE {
    AETZ_UNREADABLE,  // an answer, but none of the below
    AETZ_OFF,         // "*AETZ: 0"
    AETZ_ON,          // "*AETZ: 1"
    AETZ_REFUSED,     // the modem answered ERROR or +CME ERROR: the command is unknown to it
};

struct AETZ_READING {
    AETZ_STATE state;
    // AETZ_REFUSED: the line that refused as the modem wrote it ("ERROR", "+CME ERROR: 4"), inside
    // the answer's copied bytes; cbRefusal 0 when the result said ERROR without the modem's text
    // (the radio layer then hands its own error code, which is not shown).
    const BYTE* pbRefusal;
    DWORD cbRefusal;
};

AETZ_READING ReadAETZAnswer(const QUERY_ANSWER* answer);
