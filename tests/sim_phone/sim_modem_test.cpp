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

TEST_F(SimModem, MalformedStateFileIsAnErrorWithAReason)
{
    fs::create_directories(fs::path(state).parent_path());
    std::ofstream(state) << "AETZ=7\n";
    const ModemAnswer a = Run("AT*AETZ?");
    EXPECT_FALSE(a.ok);
    EXPECT_NE(std::string::npos, a.problem.find(state)) << a.problem;
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
