// One table of whole-program scenarios; the host end-to-end tests and the device emulation both run it.
#include "scenario_table.h"

namespace {

// The block that carries "AT*AETZ=0": code 1, the text, carriage return, zero.
const std::vector<uint8_t> kDisableNitzBlock = {0x01, 0x00, 0x00, 0x00, 0x41, 0x54, 0x2A, 0x41,
                                                0x45, 0x54, 0x5A, 0x3D, 0x30, 0x0D, 0x00};
const std::string kBindFail = "### Get_RIL_PFN::Get_RIL_PFN() GetProcAddress fail!! ###\r\n";
const std::string kEnter = "### RILFunc enter ###\r\n";
const std::string kNotify = "### RILNotify enter ###\r\n";
const std::string kResultOk = "### CSend_SSDlg::RILFunc(1)###\r\n";
const std::string kResultError = "### CSend_SSDlg::RILFunc(3)###\r\n";
const std::string kLoadBox = "Clockward: Load ril.dll fail!!";
const std::string kSendBox = "Clockward: Send command fail !!";
const std::vector<std::string> kAllCalls = {"RIL_Initialize", "RIL_DevSpecific", "RIL_Deinitialize"};

}  // namespace

const std::vector<Scenario>& Scenarios()
{
    static const std::vector<Scenario> table = {
        {.name = "Success", .radioCalls = kAllCalls, .block = kDisableNitzBlock, .debugLines = {kEnter, kResultOk},
         .settingAfter = 0},
        {.name = "LibraryAbsent", .library = LibraryState::Absent, .debugLines = {kBindFail}, .boxTexts = {kLoadBox}},
        {.name = "EntryPointMissing", .library = LibraryState::MissingDevSpecific, .debugLines = {kBindFail},
         .boxTexts = {kLoadBox}},
        {.name = "InitializeFailsWithoutHandle", .init = InitOutcome::FailsWithoutHandle, .radioCalls = kAllCalls,
         .sendsWithHandleZero = true, .block = kDisableNitzBlock,
         .debugLines = {"SendATCmd send command error(" + std::to_string(kUnopenedHandleRefusal) + ")\r\n"},
         .boxTexts = {kSendBox}},
        {.name = "CommandRefused", .refusal = E_FAIL, .radioCalls = kAllCalls, .block = kDisableNitzBlock,
         .debugLines = {"SendATCmd send command error(-2147467259)\r\n"}, .boxTexts = {kSendBox}},
        {.name = "ModemAnswersError", .modem = ModemReply::Error, .radioCalls = kAllCalls, .block = kDisableNitzBlock,
         .debugLines = {kEnter, kResultError}},
        // The result overtakes the identifier store: it is compared with the initial zero and not counted.
        {.name = "ResultBeforeSendReturns", .arrival = ResultArrival::BeforeReturn, .radioCalls = kAllCalls,
         .block = kDisableNitzBlock, .debugLines = {kEnter}, .settingAfter = 0},
        // Closed at once, the connection may take the pending result with it, or the command itself.
        {.name = "ResultDroppedAtClose", .atClose = AtClose::Drop, .radioCalls = kAllCalls, .block = kDisableNitzBlock,
         .settingAfter = 0},
        {.name = "CancelledBeforeTheModem", .atClose = AtClose::Cancel, .radioCalls = kAllCalls,
         .block = kDisableNitzBlock, .settingAfter = 1},
        {.name = "Notifications", .notifications = 2, .radioCalls = kAllCalls, .block = kDisableNitzBlock,
         .debugLines = {kNotify, kNotify, kEnter, kResultOk}, .settingAfter = 0},
        {.name = "ArgumentsIgnored", .arguments = {"AT*AETZ=1", "--help", "\"quoted arg\"", "\xc3\xbcnic\xc3\xb6" "de"},
         .radioCalls = kAllCalls, .block = kDisableNitzBlock, .debugLines = {kEnter, kResultOk}, .settingAfter = 0},
    };
    return table;
}
