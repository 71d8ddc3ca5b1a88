// What both simulated radio layers hand the result callback for a modem's answer, in each layout a driver may use.
#pragma once

#include <string>

#include "platform/platform_types.h"
#include "rigs/common/phone_description.h"
#include "rigs/common/sim_modem.h"

struct ResultData {
    DWORD code;  // RIL_RESULT_OK or RIL_RESULT_ERROR
    // What lpData points at: cbData bytes, then kPastTheData, so that a reader that goes past
    // cbData reads a digit where a line would end.
    std::string bytes;
    bool null;   // lpData is NULL
    DWORD size;  // cbData
};
const char kPastTheData[] = "7";

ResultData ShapeResult(const ModemAnswer& answer, AnswerShape shape);
