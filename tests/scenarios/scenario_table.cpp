// One table of whole-program scenarios; the host end-to-end tests and the device emulation both run it.
#include "scenarios/scenario_table.h"

#include <stdexcept>

#include "platform/hresult_codes.h"
#include "platform/ril_api.h"
#include "rigs/common/sim_modem.h"
#include "support/command_block.h"
#include "support/program_texts.h"

namespace {

const std::vector<std::string>& kAll = kAllRadioCalls;
const std::vector<uint8_t>& kBlock = kDisableTimeZoneUpdate;
// What a radio layer answers when RIL_DevSpecific gets a handle it never opened.
const std::string kUnopenedHandleLine = SendErrorLine(E_HANDLE);

}  // namespace

const std::vector<Scenario>& Scenarios()
{
    using enum ResultTiming;
    using enum PendingResults;
    static const std::vector<Scenario> table = {
        {.name = "Success", .phone = {.result = AtDeinit}, .radioCalls = kAll, .block = kBlock, .debugLines = {kEnter, kOk}, .settingAfter = 0},
        {.name = "LibraryAbsent", .phone = {.library = Library::Absent}, .debugLines = {kBindFail}, .boxTexts = {kLoadBox}, .crossed = true},
        {.name = "EntryPointMissing", .phone = {.library = Library::WithoutDevSpecific}, .debugLines = {kBindFail}, .boxTexts = {kLoadBox}},
        {.name = "InitializeFailsWithoutHandle", .phone = {.init = InitBehaviour::Fail, .result = AtDeinit}, .radioCalls = kAll,
         .sendsWithHandleZero = true, .block = kBlock, .debugLines = {kUnopenedHandleLine}, .boxTexts = {kSendBox}},
        // A handle written but never opened: the send and the close go to it, and the send is refused.
        {.name = "InitializeFailsWithHandle", .phone = {.init = InitBehaviour::FailWithHandle, .result = AtDeinit}, .radioCalls = kAll,
         .block = kBlock, .debugLines = {kUnopenedHandleLine}, .boxTexts = {kSendBox}},
        {.name = "CommandRefused", .phone = {.refuse = E_FAIL, .result = AtDeinit}, .radioCalls = kAll, .block = kBlock,
         .debugLines = {SendErrorLine(E_FAIL)}, .boxTexts = {kSendBox}, .crossed = true},
        {.name = "ModemAnswersError", .phone = {.modem = ModemReply::Error, .result = AtDeinit}, .radioCalls = kAll, .block = kBlock, .debugLines = {kEnter, kError}},
        // The result overtakes the identifier store: it is compared with the initial zero and not counted.
        {.name = "ResultBeforeSendReturns", .phone = {.result = BeforeReturn}, .radioCalls = kAll, .block = kBlock, .debugLines = {kEnter}, .settingAfter = 0},
        // Closed at once, the connection may take the pending result with it, or the command itself.
        {.name = "ResultDroppedAtClose", .phone = {.result = AtDeinit, .pending = Drop}, .radioCalls = kAll, .block = kBlock, .settingAfter = 0},
        {.name = "CancelledBeforeTheModem", .phone = {.result = AtDeinit, .pending = Cancel}, .radioCalls = kAll, .block = kBlock, .settingAfter = 1},
        // A result due inside the send is due at once: the cancel policy has nothing left to cancel.
        {.name = "ResultBeforeReturnIsNotCancelled", .phone = {.result = BeforeReturn, .pending = Cancel}, .radioCalls = kAll, .block = kBlock, .debugLines = {kEnter}, .settingAfter = 0},
        {.name = "Notifications", .phone = {.result = AtDeinit, .notify = 2}, .radioCalls = kAll, .block = kBlock, .debugLines = {kNotify, kNotify, kEnter, kOk}, .settingAfter = 0, .crossed = true},
        // The radio off (flight mode): the layer answers ERROR with RIL_E_RADIOOFF, the setting stays.
        {.name = "RadioOff", .phone = {.modem = ModemReply::RadioOff, .result = AtDeinit}, .radioCalls = kAll, .block = kBlock, .debugLines = {kEnter, kError}},
        // Opened before the radio is up (S_FALSE), Clockward sends all the same; each fate of the request.
        {.name = "RadioNotReadyThenCarriedOut", .phone = {.init = InitBehaviour::RadioNotReady, .result = AtDeinit}, .radioCalls = kAll, .block = kBlock, .debugLines = {kEnter, kOk}, .settingAfter = 0},
        {.name = "RadioNotReadyRefused", .phone = {.init = InitBehaviour::RadioNotReady, .refuse = static_cast<HRESULT>(RIL_E_RADIONOTPRESENT), .result = AtDeinit},
         .radioCalls = kAll, .block = kBlock, .debugLines = {SendErrorLine(static_cast<HRESULT>(RIL_E_RADIONOTPRESENT))}, .boxTexts = {kSendBox}, .wholeProcess = false},
        {.name = "RadioNotReadyAnsweredRadioOff", .phone = {.init = InitBehaviour::RadioNotReady, .modem = ModemReply::RadioOff, .result = AtDeinit},
         .radioCalls = kAll, .block = kBlock, .debugLines = {kEnter, kError}, .wholeProcess = false},
        // A modem that answers OK but keeps its setting: Clockward cannot tell, the check's "on" can.
        {.name = "ModemKeepsSetting", .phone = {.modem = ModemReply::KeepsSetting, .result = AtDeinit}, .radioCalls = kAll, .block = kBlock,
         .debugLines = {kEnter, kOk}, .wholeProcess = false},
        {.name = "ArgumentsIgnored", .phone = {.result = AtDeinit}, .arguments = {"AT*AETZ=1", "--help", "\"quoted arg\"", "\xc3\xbcnic\xc3\xb6" "de"},
         .radioCalls = kAll, .block = kBlock, .debugLines = {kEnter, kOk}, .settingAfter = 0},
    };
    static const std::vector<Scenario> all = [] {
        std::vector<Scenario> rows = table;
        for (const Scenario& s : CheckScenarios()) rows.push_back(s);
        for (const Scenario& s : UndoScenarios()) rows.push_back(s);
        return rows;
    }();
    return all;
}

bool PrepareModem(const Scenario& s, const std::string& stateFile, std::string* why)
{
    return s.settingBefore == 1 || WriteTimeZoneUpdate(stateFile, s.settingBefore, why);
}

std::vector<Scenario> WholeProcessScenarios(bool onTheHost)
{
    std::vector<Scenario> rows;
    for (const Scenario& s : Scenarios()) {
        if (s.wholeProcess && (!onTheHost || s.phone.trust == TrustLevel::Privileged)) rows.push_back(s);
    }
    return rows;
}

const Scenario& NamedScenario(const std::string& name)
{
    for (const Scenario& s : Scenarios()) {
        if (name == s.name) return s;
    }
    throw std::invalid_argument("no scenario " + name);
}
