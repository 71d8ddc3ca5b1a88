// Test support: the program's own debug lines and box texts, typed once for every test, apart from the product's sources.
#pragma once

#include <cstddef>
#include <string>

const std::string kBindFail = "### Get_RIL_PFN::Get_RIL_PFN() GetProcAddress fail!! ###\r\n";
const std::string kEnter = "### RILFunc enter ###\r\n";
const std::string kNotify = "### RILNotify enter ###\r\n";
// The second line of a result for the program's own command, with its result code.
inline std::string ResultLine(int code) { return "### CSend_SSDlg::RILFunc(" + std::to_string(code) + ")###\r\n"; }
const std::string kOk = ResultLine(1);
const std::string kError = ResultLine(3);
inline std::string SendErrorLine(int hresult) { return "SendATCmd send command error(" + std::to_string(hresult) + ")\r\n"; }
inline std::string TooLongLine(size_t length) { return "SendATCmd CMD too long(" + std::to_string(length) + ">=258)\r\n"; }

// Every box Clockward shows has this caption.
const std::string kCaption = "ERROR";
const std::string kLoadBox = "Clockward: Load ril.dll fail!!";
const std::string kSendBox = "Clockward: Send command fail !!";

// Clockward Check's lines and boxes.
const std::string kCheckEnter = "### RILQueryFunc enter ###\r\n";
const std::string kCheckNoAnswerLine = "CheckAETZ no answer\r\n";
inline std::string CheckAnswerLine(int code, int bytes)
{
    return "CheckAETZ answer(" + std::to_string(code) + "," + std::to_string(bytes) + ")\r\n";
}
inline std::string CheckErrorLine(int hresult) { return "CheckAETZ error(" + std::to_string(hresult) + ")\r\n"; }
inline std::string CheckInitializeLine(int hresult) { return "CheckAETZ initialize(" + std::to_string(hresult) + ")\r\n"; }
const std::string kCheckCaption = "Clockward Check";
const std::string kCheckOff = "Off (*AETZ: 0): Clockward's setting holds.";
const std::string kCheckOn = "On (*AETZ: 1). If so after a restart with Clockward installed, it did not run or get through: see the README.";
inline std::string CheckModemRefused(const std::string& refusal) { return "The modem refused (" + refusal + "): it likely does not know the command, so Clockward likely cannot work."; }
// A RIL error code by its class, shown in hex.
inline std::string CheckRadioUnavailable(const std::string& code, const std::string& name = "check") { return "The radio is off or not present (" + code + "). Switch it on (leave flight mode), wait a minute and run the " + name + " again."; }
inline std::string CheckNotReady(const std::string& code, const std::string& name = "check") { return "The radio layer is not ready or timed out (" + code + "). Wait a minute and run the " + name + " again."; }
inline std::string CheckNotSupported(const std::string& code) { return "This phone's radio layer does not support or allow the request (" + code + "): Clockward likely cannot work here."; }
inline std::string CheckLayerError(const std::string& code, const std::string& name = "check") { return "The radio layer answered error " + code + ": restart and run the " + name + " again; if it stays, see the README."; }
inline std::string CheckNoConnection(const std::string& code, const std::string& name = "check") { return "The radio layer opened no connection (" + code + "). Restart the phone and run the " + name + " again."; }
inline std::string RadioNotUp(const std::string& name) { return "The radio is not up yet. Wait a minute and run the " + name + " again."; }
const std::string kCheckRadioNotUp = RadioNotUp("check");
inline std::string CheckUnreadable(const std::string& shown) { return "Unreadable answer: \"" + shown + "\"."; }
const std::string kCheckNoAnswer = "No answer within 10 seconds.";
inline std::string CheckRequestRefused(const std::string& hresult) { return "The radio layer refused (" + hresult + "): see the README on two-tier phones."; }
const std::string kCheckNoRadioLayer = "ril.dll or its entry points are missing: Clockward cannot work.";
// Every box of the check ends with the line of its trust level.
const std::string kCheckRunsPrivileged = "\nThe check runs privileged.";
const std::string kCheckRunsNormal = "\nThe check runs normal (not privileged): see the README on two-tier phones.";

// Clockward Undo's own texts; its other boxes are the check's, naming the undo.
const std::string kUndoCaption = "Clockward Undo";
const std::string kUndoOn = "On (*AETZ: 1): the update is back on. Clockward, if installed, turns it off at restart.";
const std::string kUndoOff = "Off (*AETZ: 0): the undo did not take. See the README.";
const std::string kUndoRunsPrivileged = "\nThe undo runs privileged.";
const std::string kUndoRunsNormal = "\nThe undo runs normal (not privileged): see the README on two-tier phones.";
