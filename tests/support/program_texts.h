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

// Every box the program shows has this caption.
const std::string kCaption = "ERROR";
const std::string kLoadBox = "Clockward: Load ril.dll fail!!";
const std::string kSendBox = "Clockward: Send command fail !!";
