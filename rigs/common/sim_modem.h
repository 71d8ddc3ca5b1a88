// The simulated modem both rigs put behind their radio layer: a small AT command set, and its time-zone update setting kept in a file.
#pragma once

#include <string>

#include "rigs/common/phone_description.h"

struct ModemAnswer {
    bool ok;               // final result code OK (true), or a refusal: ERROR or +CME ERROR
    std::string response;  // what the modem sends back, verbose format: "\r\n...\r\n\r\nOK\r\n"
    std::string problem;   // why the state file could not be used; empty when it could
    // The radio is off: the layer answers for the modem, which never saw the command.
    bool radioOff = false;
};

// line: one command line without its carriage return. The automatic network time-zone update
// setting ("AT*AETZ") starts on (1) while the state file does not exist. reply: ModemReply::Ok
// interprets the line; Error and CmeError refuse it whatever it is. A radio that is off reaches no
// modem: the radio model answers for it.
ModemAnswer RunModemCommand(const std::string& line, const std::string& stateFile, ModemReply reply);

// Reads the stored setting: 1 when the file is missing; false with a reason for an unreadable or
// malformed file.
bool ReadTimeZoneUpdate(const std::string& stateFile, int* value, std::string* why);
// Replaces the file as a whole (write, then rename), creating its directory when missing.
bool WriteTimeZoneUpdate(const std::string& stateFile, int value, std::string* why);
