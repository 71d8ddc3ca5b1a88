// Clockward Check's rows of the scenario table: each shape of the modem's answer, and each outcome.
#include "scenarios/scenario_table.h"

#include "platform/hresult_codes.h"

namespace {

const std::vector<std::string> kAll = {"RIL_Initialize", "RIL_DevSpecific", "RIL_Deinitialize"};
// Code 1, "AT*AETZ?", carriage return, zero.
const std::vector<uint8_t> kQuery = {0x01, 0x00, 0x00, 0x00, 'A', 'T', '*', 'A', 'E', 'T', 'Z', '?', '\r', 0x00};
const std::string kEnter = "### RILQueryFunc enter ###\r\n";
const std::string kNotify = "### RILNotify enter ###\r\n";
const std::string kNoAnswerLine = "CheckAETZ no answer\r\n";
std::string Answer(int code, int bytes) { return "CheckAETZ answer(" + std::to_string(code) + "," + std::to_string(bytes) + ")\r\n"; }

// What the owner reads, once each.
const std::string kOff = "Off (*AETZ: 0): Clockward's setting holds.";
const std::string kOn = "On (*AETZ: 1). If so after a restart with Clockward installed, it did not run or get through: see the README.";
const std::string kModemRefusedError = "The modem refused (ERROR): it does not know the command, so Clockward cannot work.";
const std::string kNoAnswer = "No answer within 10 seconds.";
const uint32_t kInformation = 0x40, kExclamation = 0x30;  // MB_OK with MB_ICONASTERISK, with MB_ICONEXCLAMATION

Scenario Query(const char* name, PhoneDescription phone, std::vector<std::string> lines, std::string box, uint32_t style,
               int setting = 1)
{
    return {.name = name, .program = Program::Check, .phone = phone, .radioCalls = kAll, .block = kQuery, .debugLines = lines,
            .boxTexts = {box}, .boxStyle = style, .settingBefore = setting, .settingAfter = setting};
}

}  // namespace

std::vector<Scenario> CheckScenarios()
{
    using enum AnswerShape;
    using enum ResultTiming;
    // "\r\n*AETZ: n\r\n\r\nOK\r\n" is 18 bytes.
    std::vector<Scenario> rows = {
        Query("CheckOn", {}, {kEnter, Answer(1, 18)}, kOn, kInformation),
        Query("CheckOff", {}, {kEnter, Answer(1, 18)}, kOff, kInformation, 0),
        Query("CheckOffWithNul", {.answer = VerbatimWithNul}, {kEnter, Answer(1, 19)}, kOff, kInformation, 0),
        Query("CheckOffDataLineAlone", {.answer = DataLine}, {kEnter, Answer(1, 8)}, kOff, kInformation, 0),
        Query("CheckOnDataLineAlone", {.answer = DataLine}, {kEnter, Answer(1, 8)}, kOn, kInformation),
        Query("CheckOffAfterUnrelatedLine", {.answer = AfterUnrelatedLine}, {kEnter, Answer(1, 32)}, kOff, kInformation, 0),
        Query("CheckOkWithoutData", {.answer = Nothing}, {kEnter, Answer(1, 0)}, "Unreadable answer: \"\".", kExclamation),
        Query("CheckNullDataWithSize", {.answer = NullData}, {kEnter, Answer(1, 18)}, "Unreadable answer: \"...\".", kExclamation),
        // 321 bytes, far more than the check keeps: the first 32 are shown, escaped.
        Query("CheckLongAnswer", {.answer = Long}, {kEnter, Answer(1, 321)},
              "Unreadable answer: \"\\x0D\\x0A+CIEV: 77777777777777777777777...\".", kExclamation),
        Query("CheckModemError", {.modem = ModemReply::Error}, {kEnter, Answer(3, 4)}, kModemRefusedError, kExclamation),
        Query("CheckModemCmeError", {.modem = ModemReply::CmeError}, {kEnter, Answer(3, 4)}, kModemRefusedError, kExclamation),
        Query("CheckCmeErrorAsText", {.modem = ModemReply::CmeError, .answer = ErrorAsText}, {kEnter, Answer(3, 17)},
              "The modem refused (+CME ERROR: 4): it does not know the command, so Clockward cannot work.", kExclamation),
        Query("CheckAnswerBeforeSendReturns", {.result = BeforeReturn}, {kEnter, Answer(1, 18)}, kOff, kInformation, 0),
        Query("CheckNotifications", {.notify = 2}, {kNotify, kNotify, kEnter, Answer(1, 18)}, kOn, kInformation),
        // After 10 seconds the check gives up; an answer the close still delivers changes nothing.
        Query("CheckNoAnswer", {.result = Never}, {kNoAnswerLine}, kNoAnswer, kExclamation),
        Query("CheckAnswerOnlyAtClose", {.result = AtDeinit}, {kEnter, kNoAnswerLine}, kNoAnswer, kExclamation),
        Query("CheckRequestRefused", {.refuse = E_FAIL}, {"CheckAETZ error(-2147467259)\r\n"},
              "The radio layer refused (0x80004005): see the README on two-tier phones.", kExclamation),
    };
    const std::string noRadio = "ril.dll or its entry points are missing: Clockward cannot work.";
    rows.push_back({.name = "CheckLibraryAbsent", .program = Program::Check, .phone = {.library = Library::Absent},
                    .debugLines = {"### Get_RIL_PFN::Get_RIL_PFN() GetProcAddress fail!! ###\r\n"}, .boxTexts = {noRadio}});
    return rows;
}
