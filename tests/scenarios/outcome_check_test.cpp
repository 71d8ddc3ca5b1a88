// The one outcome check itself: a record that breaks the scenario must fail it, for its reason.
#include <gtest/gtest.h>
#include <gtest/gtest-spi.h>

#include "scenarios/outcome_check.h"
#include "support/program_texts.h"

namespace {

// What a run of the scenario records when it goes as the scenario says, but for its exit code.
RunRecord RecordExiting(const char* scenario, int exitCode)
{
    const Scenario& s = NamedScenario(scenario);
    RunRecord run;
    run.exitCode = exitCode;
    run.debugLines = s.debugLines;
    for (const std::string& text : s.boxTexts) run.boxes.push_back({text, kCaption, 0x30});
    run.settingAfter = s.settingAfter;
    return run;
}

TEST(OutcomeCheck, FailsARunThatExitsWithOne)
{
    ExpectOutcome(NamedScenario("LibraryAbsent"), RecordExiting("LibraryAbsent", 0));
    EXPECT_NONFATAL_FAILURE(ExpectOutcome(NamedScenario("LibraryAbsent"), RecordExiting("LibraryAbsent", 1)), "run.exitCode");
}

}  // namespace
