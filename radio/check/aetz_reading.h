// Reads the modem's answer to "AT*AETZ?" out of a result, whatever shape the radio driver gave it.
#pragma once

#include "platform/platform_types.h"
#include "radio/check/query_answers.h"

enum AETZ_STATE {
    AETZ_UNREADABLE,  // an answer, but none of the below
    AETZ_OFF,         // "*AETZ: 0"
    AETZ_ON,          // "*AETZ: 1"
    AETZ_REFUSED,     // the modem's own ERROR or +CME ERROR line: the command is likely unknown to it
    AETZ_LAYER_ERROR, // ERROR with the radio layer's error code, a DWORD, as its data
};

struct AETZ_READING {
    AETZ_STATE state;
    // AETZ_REFUSED: the line that refused as the modem wrote it ("ERROR", "+CME ERROR: 4"), inside
    // the answer's copied bytes.
    const BYTE* pbRefusal;
    DWORD cbRefusal;
    DWORD dwError;  // AETZ_LAYER_ERROR: the code
};

// An ERROR result with neither a code nor the modem's line is unreadable: nothing says why.
AETZ_READING ReadAETZAnswer(const QUERY_ANSWER* answer);
