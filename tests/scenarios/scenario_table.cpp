// One table of whole-program scenarios; the host end-to-end tests and the device emulation both run it.
#include "platform/hresult_codes.h"
#include "scenario_table.h"

const std::vector<uint8_t> kDisableNitzBlock = {0x01, 0x00, 0x00, 0x00, 0x41, 0x54, 0x2A, 0x41,
                                                0x45, 0x54, 0x5A, 0x3D, 0x30, 0x0D, 0x00};

namespace {

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
        {"Success", LibraryState::Present, InitOutcome::Succeeds, 0, ModemReply::Ok, ResultArrival::AfterReturn, 0, {},
         kAllCalls, false, {kEnter, kResultOk}, {}},
        {"LibraryAbsent", LibraryState::Absent, InitOutcome::Succeeds, 0, ModemReply::Ok, ResultArrival::AfterReturn, 0, {},
         {}, false, {kBindFail}, {kLoadBox}},
        {"EntryPointMissing", LibraryState::MissingDevSpecific, InitOutcome::Succeeds, 0, ModemReply::Ok,
         ResultArrival::AfterReturn, 0, {}, {}, false, {kBindFail}, {kLoadBox}},
        {"InitializeFailsWithoutHandle", LibraryState::Present, InitOutcome::FailsWithoutHandle, 0, ModemReply::Ok,
         ResultArrival::AfterReturn, 0, {}, kAllCalls, true,
         {"SendATCmd send command error(" + std::to_string(kUnopenedHandleRefusal) + ")\r\n"}, {kSendBox}},
        {"CommandRefused", LibraryState::Present, InitOutcome::Succeeds, E_FAIL, ModemReply::Ok,
         ResultArrival::AfterReturn, 0, {}, kAllCalls, false, {"SendATCmd send command error(-2147467259)\r\n"}, {kSendBox}},
        {"ModemAnswersError", LibraryState::Present, InitOutcome::Succeeds, 0, ModemReply::Error,
         ResultArrival::AfterReturn, 0, {}, kAllCalls, false, {kEnter, kResultError}, {}},
        // The result overtakes the identifier store: it is compared with the initial zero and not counted.
        {"ResultBeforeSendReturns", LibraryState::Present, InitOutcome::Succeeds, 0, ModemReply::Ok,
         ResultArrival::BeforeReturn, 0, {}, kAllCalls, false, {kEnter}, {}},
        {"Notifications", LibraryState::Present, InitOutcome::Succeeds, 0, ModemReply::Ok, ResultArrival::AfterReturn, 2, {},
         kAllCalls, false, {kNotify, kNotify, kEnter, kResultOk}, {}},
        {"ArgumentsIgnored", LibraryState::Present, InitOutcome::Succeeds, 0, ModemReply::Ok, ResultArrival::AfterReturn, 0,
         {"AT*AETZ=1", "--help", "\"quoted arg\"", "\xc3\xbcnic\xc3\xb6" "de"}, kAllCalls, false, {kEnter, kResultOk}, {}},
    };
    return table;
}
