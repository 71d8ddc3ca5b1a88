// The simulated phone's switches: every accepted spelling, and malformed or unknown ones reported.
#include <gtest/gtest.h>

#include <sstream>

#include "platform/hresult_codes.h"
#include "rigs/sim_phone/sim_switches.h"
#include "support/temp_dir.h"

namespace {

SwitchReading Read(const std::vector<std::string>& env)
{
    return ReadSimSwitches(env, "/default/state");
}

// Two phones compared by the switches written for them (checked against a list by hand below), so a
// failure names the field; a refusal that is not negative writes no switch, so tests check it apart.
#define EXPECT_SAME_PHONE(expected, actual) EXPECT_EQ(SwitchesFor(expected), SwitchesFor(actual))

TEST(SimSwitches, DefaultsWhenNothingIsSet)
{
    const SwitchReading r = Read({"PATH=/bin", "HOME=/root"});
    EXPECT_TRUE(r.problems.empty());
    EXPECT_SAME_PHONE(PhoneDescription{}, r.switches.phone);
    EXPECT_EQ(0, r.switches.phone.refuse);
    EXPECT_EQ("/default/state", r.switches.stateFile);
    EXPECT_EQ("", r.switches.traceFile);
}

TEST(SimSwitches, AcceptedValues)
{
    const SwitchReading r = Read({"CLOCKWARD_SIM_INIT=fail-with-handle", "CLOCKWARD_SIM_REFUSE=0x80004005",
                                  "CLOCKWARD_SIM_MODEM=error", "CLOCKWARD_SIM_RESULT=before-return",
                                  "CLOCKWARD_SIM_DELAY_MS=60000", "CLOCKWARD_SIM_NOTIFY=3",
                                  "CLOCKWARD_SIM_PENDING=drop", "CLOCKWARD_SIM_STATE_FILE=/s",
                                  "CLOCKWARD_SIM_TRACE=/t"});
    EXPECT_TRUE(r.problems.empty());
    EXPECT_SAME_PHONE((PhoneDescription{.init = InitBehaviour::FailWithHandle, .refuse = E_FAIL, .modem = ModemReply::Error,
                                        .result = ResultTiming::BeforeReturn, .delayMs = 60000, .notify = 3,
                                        .pending = PendingResults::Drop}),
                      r.switches.phone);
    EXPECT_EQ("/s", r.switches.stateFile);
    EXPECT_EQ("/t", r.switches.traceFile);
}

TEST(SimSwitches, RefusalInSignedDecimal)
{
    EXPECT_EQ(-2147024890, Read({"CLOCKWARD_SIM_REFUSE=-2147024890"}).switches.phone.refuse);
    EXPECT_EQ(INT32_MIN, Read({"CLOCKWARD_SIM_REFUSE=-2147483648"}).switches.phone.refuse);
}

// What the tests set is what the layer reads: the switches written for a phone read back as it.
TEST(SimSwitches, WrittenSwitchesReadBackAsThePhone)
{
    const PhoneDescription phone = {.init = InitBehaviour::Fail, .refuse = -5, .modem = ModemReply::Error,
                                    .result = ResultTiming::AtDeinit, .answer = AnswerShape::DataLine, .delayMs = 7, .notify = 2,
                                    .pending = PendingResults::Cancel};
    const SwitchReading r = Read(SwitchesFor(phone));
    EXPECT_TRUE(r.problems.empty());
    EXPECT_EQ(SwitchesFor(phone), SwitchesFor(r.switches.phone));
    EXPECT_EQ((std::vector<std::string>{"CLOCKWARD_SIM_INIT=fail", "CLOCKWARD_SIM_REFUSE=-5", "CLOCKWARD_SIM_MODEM=error",
                                        "CLOCKWARD_SIM_RESULT=at-deinit", "CLOCKWARD_SIM_ANSWER=data-line",
                                        "CLOCKWARD_SIM_DELAY_MS=7", "CLOCKWARD_SIM_NOTIFY=2", "CLOCKWARD_SIM_PENDING=cancel"}),
              SwitchesFor(phone));
}

class SimSwitchProblem : public ::testing::TestWithParam<const char*> {};

TEST_P(SimSwitchProblem, IsReportedByName)
{
    const std::string entry = GetParam();
    const SwitchReading r = Read({entry});
    ASSERT_EQ(1u, r.problems.size()) << entry;
    EXPECT_EQ(0u, r.problems[0].find(entry.substr(0, entry.find('=')))) << r.problems[0];
}

INSTANTIATE_TEST_SUITE_P(
    Malformed, SimSwitchProblem,
    ::testing::Values("CLOCKWARD_SIM_INIT=maybe", "CLOCKWARD_SIM_INIT=", "CLOCKWARD_SIM_REFUSE=5",
                      "CLOCKWARD_SIM_REFUSE=0", "CLOCKWARD_SIM_REFUSE=0x7fffffff", "CLOCKWARD_SIM_REFUSE=-2147483649",
                      "CLOCKWARD_SIM_REFUSE=-12x", "CLOCKWARD_SIM_REFUSE=0x8000400", "CLOCKWARD_SIM_MODEM=ERROR",
                      "CLOCKWARD_SIM_RESULT=early", "CLOCKWARD_SIM_DELAY_MS=-1", "CLOCKWARD_SIM_DELAY_MS=60001",
                      "CLOCKWARD_SIM_DELAY_MS=1.5", "CLOCKWARD_SIM_NOTIFY=1001", "CLOCKWARD_SIM_PENDING=keep",
                      "CLOCKWARD_SIM_STATE_FILE=", "CLOCKWARD_SIM_TRACE=", "CLOCKWARD_SIM_TRACEFILE=/t"));

// docs/host_flavour.md's table names every switch the layer reads, in the same order, and no other.
TEST(SimSwitches, AreTheDocumentedOnes)
{
    std::vector<std::string> documented;
    std::istringstream doc(ReadWholeFile(CLOCKWARD_SOURCE_DIR "/docs/host_flavour.md"));
    for (std::string line; std::getline(doc, line);) {
        if (line.rfind("| `CLOCKWARD_SIM_", 0) == 0) documented.push_back(line.substr(3, line.find('`', 3) - 3));
    }
    EXPECT_EQ(SwitchNames(), documented);
}

}  // namespace
