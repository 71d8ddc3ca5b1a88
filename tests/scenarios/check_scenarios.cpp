// Clockward Check's and Clockward Undo's rows of the scenario table: each shape of the modem's
// answer, and each outcome.
#include "scenarios/scenario_table.h"

#include "platform/hresult_codes.h"
#include "platform/ril_api.h"
#include "support/command_block.h"
#include "support/program_texts.h"

namespace {

const uint32_t kInformation = 0x40, kExclamation = 0x30;  // MB_OK with MB_ICONASTERISK, with MB_ICONEXCLAMATION

// Which rigs run a row: the fake platform alone, or one row for each box the check shows on the
// whole-process rigs too, crossed on the emulated phone's every CPU model, service state and image.
struct Rigs {
    bool wholeProcess;
    bool crossed;
};
const Rigs kFake = {false, false}, kEveryRig = {true, false}, kCrossed = {true, true};

Scenario Query(const char* name, Rigs rigs, PhoneDescription phone, std::vector<std::string> lines, std::string box, uint32_t style,
               int setting = 1, std::vector<std::string> calls = kAllRadioCalls)
{
    const bool sends = calls.size() == kAllRadioCalls.size();
    box += phone.trust == TrustLevel::Privileged ? kCheckRunsPrivileged : kCheckRunsNormal;
    return {.name = name, .program = Program::Check, .phone = phone, .radioCalls = calls, .sendsWithHandleZero = phone.init == InitBehaviour::Fail,
            .block = sends ? kQueryTimeZoneUpdate : std::vector<uint8_t>(), .debugLines = lines, .boxTexts = {box}, .boxStyle = style, .settingBefore = setting, .settingAfter = setting,
            .wholeProcess = rigs.wholeProcess, .crossed = rigs.crossed};
}

// The undo starts on a modem whose update is off. It sends its set, then, once that is answered,
// the check's query: with one send in calls the set is all it sent.
const std::vector<std::string> kUndoCalls = {"RIL_Initialize", "RIL_DevSpecific", "RIL_DevSpecific", "RIL_Deinitialize"};
Scenario Undo(const char* name, Rigs rigs, PhoneDescription phone, std::vector<std::string> lines, std::string box, uint32_t style,
              int settingAfter, std::vector<std::string> calls = kUndoCalls)
{
    Scenario s = Query(name, rigs, phone, lines, box, style, 0, calls);
    s.program = Program::Undo;
    s.boxTexts = {box + (phone.trust == TrustLevel::Privileged ? kUndoRunsPrivileged : kUndoRunsNormal)};
    s.settingAfter = settingAfter;
    if (calls == kUndoCalls) {
        s.firstBlock = kEnableTimeZoneUpdate;
        s.block = kQueryTimeZoneUpdate;
    }
    if (calls == kAllRadioCalls) s.block = kEnableTimeZoneUpdate;
    return s;
}

}  // namespace

std::vector<Scenario> CheckScenarios()
{
    using enum AnswerShape;
    using enum ResultTiming;
    // "\r\n*AETZ: n\r\n\r\nOK\r\n" is 18 bytes.
    std::vector<Scenario> rows = {
        Query("CheckOn", kEveryRig, {}, {kCheckEnter, CheckAnswerLine(1, 18)}, kCheckOn, kInformation),
        Query("CheckOff", kCrossed, {}, {kCheckEnter, CheckAnswerLine(1, 18)}, kCheckOff, kInformation, 0),
        Query("CheckOffWithNul", kFake, {.answer = VerbatimWithNul}, {kCheckEnter, CheckAnswerLine(1, 19)}, kCheckOff, kInformation, 0),
        Query("CheckOffDataLineAlone", kFake, {.answer = DataLine}, {kCheckEnter, CheckAnswerLine(1, 8)}, kCheckOff, kInformation, 0),
        Query("CheckOnDataLineAlone", kFake, {.answer = DataLine}, {kCheckEnter, CheckAnswerLine(1, 8)}, kCheckOn, kInformation),
        Query("CheckOffAfterUnrelatedLine", kFake, {.answer = AfterUnrelatedLine}, {kCheckEnter, CheckAnswerLine(1, 32)}, kCheckOff, kInformation, 0),
        Query("CheckOkWithoutData", kFake, {.answer = Nothing}, {kCheckEnter, CheckAnswerLine(1, 0)}, CheckUnreadable(""), kExclamation),
        Query("CheckNullDataWithSize", kFake, {.answer = NullData}, {kCheckEnter, CheckAnswerLine(1, 18)}, CheckUnreadable("..."), kExclamation),
        // 321 bytes, far more than the check keeps: the first 32 are shown, escaped.
        Query("CheckLongAnswer", kEveryRig, {.answer = Long}, {kCheckEnter, CheckAnswerLine(1, 321)},
              CheckUnreadable("\\x0D\\x0A+CIEV: 77777777777777777777777..."), kExclamation),
        // ERROR with the radio layer's code: what its class means; with the modem's own line: that line.
        Query("CheckModemError", kEveryRig, {.modem = ModemReply::Error}, {kCheckEnter, CheckAnswerLine(3, 4)}, CheckLayerError("0x81000501"), kExclamation),
        Query("CheckModemCmeError", kEveryRig, {.modem = ModemReply::CmeError}, {kCheckEnter, CheckAnswerLine(3, 4)}, CheckNotSupported("0x81000705"), kExclamation),
        Query("CheckRadioOff", kEveryRig, {.modem = ModemReply::RadioOff}, {kCheckEnter, CheckAnswerLine(3, 4)}, CheckRadioUnavailable("0x81000D60"), kExclamation),
        Query("CheckCmeErrorAsText", kEveryRig, {.modem = ModemReply::CmeError, .answer = ErrorAsText}, {kCheckEnter, CheckAnswerLine(3, 17)},
              CheckModemRefused("+CME ERROR: 4"), kExclamation),
        Query("CheckAnswerBeforeSendReturns", kFake, {.result = BeforeReturn}, {kCheckEnter, CheckAnswerLine(1, 18)}, kCheckOff, kInformation, 0),
        // Closing after the wait: nothing is left for the close to drop, or to cancel before the modem.
        Query("CheckUnderDropPolicy", kFake, {.pending = PendingResults::Drop}, {kCheckEnter, CheckAnswerLine(1, 18)}, kCheckOff, kInformation, 0),
        Query("CheckUnderCancelPolicy", kFake, {.pending = PendingResults::Cancel}, {kCheckEnter, CheckAnswerLine(1, 18)}, kCheckOff, kInformation, 0),
        Query("CheckNotifications", kFake, {.notify = 2}, {kNotify, kNotify, kCheckEnter, CheckAnswerLine(1, 18)}, kCheckOn, kInformation),
        // After 10 seconds the check gives up; an answer the close still delivers changes nothing.
        Query("CheckNoAnswer", kEveryRig, {.result = Never}, {kCheckNoAnswerLine}, kCheckNoAnswer, kExclamation),
        Query("CheckAnswerOnlyAtClose", kFake, {.result = AtDeinit}, {kCheckEnter, kCheckNoAnswerLine}, kCheckNoAnswer, kExclamation),
        // A refusal by a code the check cannot explain, and by codes whose class it can.
        Query("CheckRequestRefused", kCrossed, {.refuse = E_FAIL}, {CheckErrorLine(E_FAIL)}, CheckRequestRefused("0x80004005"), kExclamation),
        Query("CheckRefusedNotReady", kEveryRig, {.refuse = static_cast<HRESULT>(RIL_E_NOTREADY)}, {CheckErrorLine(static_cast<HRESULT>(RIL_E_NOTREADY))},
              CheckNotReady("0x81000056"), kExclamation),
        // The connection's own state: opened before the radio is up, or not opened at all.
        Query("CheckRadioNotReady", kEveryRig, {.init = InitBehaviour::RadioNotReady}, {CheckInitializeLine(S_FALSE)}, kCheckRadioNotUp, kExclamation, 1,
              {"RIL_Initialize", "RIL_Deinitialize"}),
        Query("CheckInitializeFails", kEveryRig, {.init = InitBehaviour::Fail}, {CheckInitializeLine(E_FAIL)}, CheckNoConnection("0x80004005"), kExclamation, 1,
              {"RIL_Initialize"}),
        Query("CheckRunsNormal", kEveryRig, {.trust = TrustLevel::Normal}, {kCheckEnter, CheckAnswerLine(1, 18)}, kCheckOn, kInformation),
    };
    rows.push_back({.name = "CheckLibraryAbsent", .program = Program::Check, .phone = {.library = Library::Absent},
                    .debugLines = {kBindFail}, .boxTexts = {kCheckNoRadioLayer + kCheckRunsPrivileged}, .crossed = true});
    return rows;
}

std::vector<Scenario> UndoScenarios()
{
    using enum AnswerShape;
    using enum ResultTiming;
    const std::string kUndo = "undo";
    // The set's own result is awaited but not shown: each line pair is a result, the query's last.
    std::vector<Scenario> rows = {
        Undo("UndoOn", kCrossed, {}, {kCheckEnter, kCheckEnter, CheckAnswerLine(1, 18)}, kUndoOn, kInformation, 1),
        Undo("UndoDidNotTake", kEveryRig, {.modem = ModemReply::KeepsSetting}, {kCheckEnter, kCheckEnter, CheckAnswerLine(1, 18)}, kUndoOff, kInformation, 0),
        Undo("UndoModemError", kEveryRig, {.modem = ModemReply::Error}, {kCheckEnter, kCheckEnter, CheckAnswerLine(3, 4)}, CheckLayerError("0x81000501", kUndo), kExclamation, 0),
        Undo("UndoModemCmeError", kEveryRig, {.modem = ModemReply::CmeError}, {kCheckEnter, kCheckEnter, CheckAnswerLine(3, 4)}, CheckNotSupported("0x81000705"), kExclamation, 0),
        Undo("UndoRadioOff", kEveryRig, {.modem = ModemReply::RadioOff}, {kCheckEnter, kCheckEnter, CheckAnswerLine(3, 4)}, CheckRadioUnavailable("0x81000D60", kUndo), kExclamation, 0),
        Undo("UndoCmeErrorAsText", kEveryRig, {.modem = ModemReply::CmeError, .answer = ErrorAsText}, {kCheckEnter, kCheckEnter, CheckAnswerLine(3, 17)},
             CheckModemRefused("+CME ERROR: 4"), kExclamation, 0),
        Undo("UndoLongAnswer", kEveryRig, {.answer = Long}, {kCheckEnter, kCheckEnter, CheckAnswerLine(1, 321)},
             CheckUnreadable("\\x0D\\x0A+CIEV: 77777777777777777777777..."), kExclamation, 1),
        // The set carried out but its answer lost, or held until the close: the undo cannot say.
        Undo("UndoNoAnswer", kEveryRig, {.result = Never}, {kCheckNoAnswerLine}, kCheckNoAnswer, kExclamation, 1, kAllRadioCalls),
        Undo("UndoAnswerOnlyAtClose", kFake, {.result = AtDeinit}, {kCheckEnter, kCheckNoAnswerLine}, kCheckNoAnswer, kExclamation, 1, kAllRadioCalls),
        Undo("UndoSetRefused", kEveryRig, {.refuse = E_FAIL}, {CheckErrorLine(E_FAIL)}, CheckRequestRefused("0x80004005"), kExclamation, 0, kAllRadioCalls),
        Undo("UndoRefusedNotReady", kEveryRig, {.refuse = static_cast<HRESULT>(RIL_E_NOTREADY)}, {CheckErrorLine(static_cast<HRESULT>(RIL_E_NOTREADY))},
             CheckNotReady("0x81000056", kUndo), kExclamation, 0, kAllRadioCalls),
        Undo("UndoRadioNotReady", kEveryRig, {.init = InitBehaviour::RadioNotReady}, {CheckInitializeLine(S_FALSE)}, RadioNotUp(kUndo), kExclamation, 0,
             {"RIL_Initialize", "RIL_Deinitialize"}),
        Undo("UndoInitializeFails", kEveryRig, {.init = InitBehaviour::Fail}, {CheckInitializeLine(E_FAIL)}, CheckNoConnection("0x80004005", kUndo), kExclamation, 0,
             {"RIL_Initialize"}),
        Undo("UndoRunsNormal", kEveryRig, {.trust = TrustLevel::Normal}, {kCheckEnter, kCheckEnter, CheckAnswerLine(1, 18)}, kUndoOn, kInformation, 1),
        Undo("UndoLibraryAbsent", kEveryRig, {.library = Library::Absent}, {kBindFail}, kCheckNoRadioLayer, kExclamation, 0, {}),
    };
    return rows;
}
