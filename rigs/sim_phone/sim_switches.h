// The simulated radio layer's switches: the phone's description in CLOCKWARD_SIM_* environment variables.
#pragma once

#include <string>
#include <vector>

#include "platform/platform_types.h"
#include "rigs/common/phone_description.h"

struct SimSwitches {
    PhoneDescription phone;  // its library is how the phone is laid out, not a switch
    std::string stateFile;
    std::string traceFile;
};

struct SwitchReading {
    SimSwitches switches;
    std::vector<std::string> problems;  // one message per unknown variable or malformed value
};

// environment: "NAME=VALUE" entries; defaultStateFile is used when CLOCKWARD_SIM_STATE_FILE is unset.
SwitchReading ReadSimSwitches(const std::vector<std::string>& environment, const std::string& defaultStateFile);

// The switches that make the layer behave as phone says (all but the library), as "NAME=VALUE".
std::vector<std::string> SwitchesFor(const PhoneDescription& phone);

// Every switch's full name, in the order of docs/host_flavour.md's table.
std::vector<std::string> SwitchNames();

// The process's environment as "NAME=VALUE" entries.
std::vector<std::string> ProcessEnvironment();
