// The simulated modem's answers and the state file that carries its setting between runs.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "rigs/common/sim_modem.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

class SimModem : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(dir.path().empty());
        state = (dir / "phone" / "aetz.state").string();
    }
    ModemAnswer Run(const std::string& line, ModemReply reply = ModemReply::Ok) { return RunModemCommand(line, state, reply); }
    TempDir dir{"modem"};
    std::string state;
};

struct CommandCase {
    const char* line;
    bool ok;
    const char* response;
};
void PrintTo(const CommandCase& c, std::ostream* os) { *os << '"' << c.line << '"'; }

class SimModemCommand : public SimModem, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(SimModemCommand, AnswersLikeAModem)
{
    const ModemAnswer a = Run(GetParam().line);
    EXPECT_EQ(GetParam().ok, a.ok);
    EXPECT_EQ(GetParam().response, a.response);
    EXPECT_TRUE(a.problem.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Commands, SimModemCommand,
    ::testing::Values(CommandCase{"AT", true, "\r\nOK\r\n"}, CommandCase{"at", true, "\r\nOK\r\n"},
                      CommandCase{"AT*AETZ?", true, "\r\n*AETZ: 1\r\n\r\nOK\r\n"},
                      CommandCase{"AT*AETZ=?", true, "\r\n*AETZ: (0,1)\r\n\r\nOK\r\n"},
                      CommandCase{"AT*AETZ=1", true, "\r\nOK\r\n"}, CommandCase{"AT*AETZ=2", false, "\r\nERROR\r\n"},
                      CommandCase{"AT*AETZ=", false, "\r\nERROR\r\n"}, CommandCase{"AT*AETZ=00", false, "\r\nERROR\r\n"},
                      CommandCase{"ATD123;", false, "\r\nERROR\r\n"}, CommandCase{"", false, "\r\nERROR\r\n"},
                      CommandCase{" AT", false, "\r\nERROR\r\n"}));

TEST_F(SimModem, SettingStartsOnAndPersistsOff)
{
    EXPECT_EQ("\r\n*AETZ: 1\r\n\r\nOK\r\n", Run("AT*AETZ?").response);
    EXPECT_TRUE(Run("AT*AETZ=0").ok);
    EXPECT_FALSE(fs::exists(state + ".new." + std::to_string(getpid())));
    int value = -1;
    std::string why;
    ASSERT_TRUE(ReadTimeZoneUpdate(state, &value, &why)) << why;
    EXPECT_EQ(0, value);
    EXPECT_EQ("\r\n*AETZ: 0\r\n\r\nOK\r\n", Run("at*aetz?").response);
    EXPECT_TRUE(Run("AT*AETZ=1").ok);
    EXPECT_EQ("\r\n*AETZ: 1\r\n\r\nOK\r\n", Run("AT*AETZ?").response);
}

TEST_F(SimModem, ErrorModeAnswersErrorAndChangesNothing)
{
    const ModemAnswer a = Run("AT*AETZ=0", ModemReply::Error);
    EXPECT_FALSE(a.ok);
    EXPECT_EQ("\r\nERROR\r\n", a.response);
    EXPECT_FALSE(fs::exists(state));
}

TEST_F(SimModem, StateFileReadsEachSettingWithOrWithoutItsNewlineAndRefusesAnythingElse)
{
    const struct { const char* text; int value; } cases[] = {  // value -1: refused
        {"AETZ=0\n", 0}, {"AETZ=1\n", 1}, {"AETZ=0", 0}, {"AETZ=1", 1},
        {"AETZ=7\n", -1}, {"AETZ=0\n\n", -1}, {"AETZ=0\r\n", -1}, {"AETZ=", -1}, {"", -1}, {"AETZ=01", -1},
    };
    fs::create_directories(fs::path(state).parent_path());
    for (const auto& c : cases) {
        std::ofstream(state, std::ios::binary) << c.text;
        int value = -2;
        std::string why;
        EXPECT_EQ(c.value >= 0, ReadTimeZoneUpdate(state, &value, &why)) << c.text;
        EXPECT_EQ(c.value >= 0 ? c.value : -2, value) << c.text;
        EXPECT_EQ(c.value >= 0 ? "" : state + " is not a modem state file (expected \"AETZ=0\" or \"AETZ=1\", each with or "
                  "without a final newline)", why) << c.text;
    }
}

TEST_F(SimModem, UnwritableStateFileIsAnError)
{
    fs::create_directories(dir / "phone");
    std::ofstream(dir / "blocker") << "x";
    const ModemAnswer a = RunModemCommand("AT*AETZ=0", (dir / "blocker" / "aetz.state").string(), ModemReply::Ok);
    EXPECT_FALSE(a.ok);
    EXPECT_FALSE(a.problem.empty());
}

}  // namespace
