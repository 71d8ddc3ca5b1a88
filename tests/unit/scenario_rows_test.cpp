// The scenario table's rows for the program linked here, run on the fake platform over the radio
// model: the same record and the same outcome check as the whole-process rigs, in no real time.
#include <gtest/gtest.h>

#include "platform/host/utf_convert.h"
#include "platform/program_entry.h"
#include "rigs/common/sim_modem.h"
#include "rigs/fake_platform/fake_platform.h"
#include "scenarios/outcome_check.h"
#include "support/check_runs.h"
#include "support/named_rows.h"
#include "support/temp_dir.h"

namespace {

RunRecord RunOnFake(const Scenario& s, const std::string& stateFile)
{
    ExpectFirstCheckRun(s.program != Program::Clockward);
    UsePhone(s.phone, stateFile);
    std::vector<std::u16string> args = {u"program"};
    for (const std::string& a : s.arguments) args.push_back(Utf8ToUtf16(a));
    std::vector<WCHAR*> argv;
    for (std::u16string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    RunRecord run;
    run.exitCode = wmain(static_cast<int>(args.size()), argv.data());
    run.debugLines = Fake().debugLines;
    for (const FakeBox& b : Fake().boxes) {
        EXPECT_EQ(nullptr, b.owner);
        run.boxes.push_back({b.text, b.caption, b.type});
    }
    auto word = [](const void* p) { return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(p)); };
    size_t sends = 0;
    for (const std::string& call : Fake().calls) {
        if (call == "RIL_Initialize")
            run.radioCalls.push_back({call, {Fake().initIndex, word(reinterpret_cast<void*>(Fake().initResultCb)),
                                             word(reinterpret_cast<void*>(Fake().initNotifyCb)), Fake().initClasses, Fake().initParam}, {}});
        if (call == "RIL_DevSpecific") {
            const std::vector<BYTE>& block = Fake().blocks.at(sends++);
            run.radioCalls.push_back({call, {word(Fake().devSpecificHandle), block.size()}, block});
        }
        if (call == "RIL_Deinitialize") run.radioCalls.push_back({call, {word(Fake().deinitHandle)}, {}});
    }
    if (Fake().handleWritten) run.handleWritten = word(*Fake().handleWritten);
    std::string why;
    if (!ReadTimeZoneUpdate(stateFile, &run.settingAfter, &why)) run.settingAfter = -1;
    return run;
}

std::vector<Scenario> RowsOfThisProgram()
{
    std::vector<Scenario> rows;
    for (const Scenario& s : Scenarios()) {
        if (s.program == PROGRAM_UNDER_TEST) rows.push_back(s);
    }
    return rows;
}

class FakeRun : public ::testing::TestWithParam<Scenario> {};

TEST_P(FakeRun, BehavesAsTheScenarioSays)
{
    const Scenario& s = GetParam();
    const TempDir dir(std::string("fake-") + s.name);
    const std::string stateFile = (dir / "aetz.state").string();
    std::string why;
    ASSERT_TRUE(PrepareModem(s, stateFile, &why)) << why;
    ExpectOutcome(s, RunOnFake(s, stateFile));
    // Clockward waits before anything else; the check, started by hand, does not.
    ASSERT_FALSE(Fake().calls.empty());
    EXPECT_EQ(s.program == Program::Clockward, Fake().calls[0] == "Sleep(5000)");
    ResetFakeAndRadioState();
}

INSTANTIATE_NAMED_ROWS(Scenarios, FakeRun, ::testing::ValuesIn(RowsOfThisProgram()));

}  // namespace
