// Behaviour switches of the simulated radio layer, read from CLOCKWARD_SIM_* environment variables.
#pragma once

#include <string>
#include <vector>

#include "platform/platform_types.h"

enum class InitBehaviour { Succeed, FailWithoutHandle, FailWithHandle };
// When a command's result is delivered: after the modem's delay, from inside RIL_DevSpecific before
// it returns (the caller has not stored the identifier yet), or only once RIL_Deinitialize is called.
enum class ResultTiming { Delayed, BeforeReturn, AtDeinitialize };
// What RIL_Deinitialize does with results not yet delivered: wait for and deliver them, or drop
// them; or cancel the commands themselves, which then reach the modem only when their result is due.
enum class PendingResults { Deliver, Drop, Cancel };

struct SimSwitches {
    InitBehaviour init = InitBehaviour::Succeed;
    HRESULT refuseDevSpecific = 0;  // 0: accept well-formed blocks; negative: refuse with this value
    bool modemAnswersError = false;
    ResultTiming timing = ResultTiming::Delayed;
    unsigned delayMs = 20;
    unsigned notifications = 0;
    PendingResults pendingAtDeinit = PendingResults::Deliver;
    std::string stateFile;
    std::string traceFile;
};

struct SwitchReading {
    SimSwitches switches;
    std::vector<std::string> problems;  // one message per unknown variable or malformed value
};

// environment: "NAME=VALUE" entries; defaultStateFile is used when CLOCKWARD_SIM_STATE_FILE is unset.
SwitchReading ReadSimSwitches(const std::vector<std::string>& environment, const std::string& defaultStateFile);

// The process's environment as "NAME=VALUE" entries.
std::vector<std::string> ProcessEnvironment();
