// The device start-up's argument splitter, run on the host: splitting, quotes, and cutting to fit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/device/command_line.h"

namespace {

// Runs BuildArgv with storage and argv surrounded by guard values that must survive.
std::vector<std::u16string> SplitWithGuards(const char16_t* program, const char16_t* cmdLine, size_t capacity, int maxArgs)
{
    const WCHAR guard = 0xBEEF;
    std::vector<WCHAR> storage(capacity + 2, guard);
    std::vector<WCHAR*> argv(static_cast<size_t>(maxArgs) + 3, reinterpret_cast<WCHAR*>(0x1));
    const int argc = BuildArgv(program, cmdLine, storage.data() + 1, capacity, argv.data() + 1, maxArgs);
    EXPECT_EQ(guard, storage.front());
    EXPECT_EQ(guard, storage.back());
    EXPECT_EQ(reinterpret_cast<WCHAR*>(0x1), argv.front());
    EXPECT_EQ(reinterpret_cast<WCHAR*>(0x1), argv[static_cast<size_t>(maxArgs) + 2]);
    EXPECT_LE(argc, maxArgs);
    EXPECT_EQ(nullptr, argv[static_cast<size_t>(argc) + 1]);
    std::vector<std::u16string> args;
    for (int i = 0; i < argc; ++i) args.emplace_back(argv[static_cast<size_t>(i) + 1]);
    return args;
}

struct SplitCase {
    const char* name;
    const char16_t* cmdLine;
    size_t capacity;
    int maxArgs;
    std::vector<std::u16string> expected;
};

const std::u16string kProgram = u"\\Windows\\clockward.exe";  // 22 units

class CommandLine : public ::testing::TestWithParam<SplitCase> {};

TEST_P(CommandLine, SplitsAndCutsWithoutOverrun)
{
    const SplitCase& c = GetParam();
    EXPECT_EQ(c.expected, SplitWithGuards(kProgram.c_str(), c.cmdLine, c.capacity, c.maxArgs));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLine,
    ::testing::Values(
        SplitCase{"Null", nullptr, 64, 8, {kProgram}},
        SplitCase{"Empty", u"", 64, 8, {kProgram}},
        SplitCase{"Blanks", u" \t  ", 64, 8, {kProgram}},
        SplitCase{"Words", u"  a  bc\tdef ", 64, 8, {kProgram, u"a", u"bc", u"def"}},
        SplitCase{"Quotes", u"\"two words\" x\"y z\"w \"\"", 64, 8, {kProgram, u"two words", u"xy zw", u""}},
        SplitCase{"UnclosedQuote", u"\"open to the end", 64, 8, {kProgram, u"open to the end"}},
        SplitCase{"TooManyArguments", u"1 2 3 4 5", 64, 3, {kProgram, u"1", u"2"}},
        // 22 + 1 for the program, then room for "abcd" and its terminator only.
        SplitCase{"ArgumentCut", u"abcdefgh ij", 28, 8, {kProgram, u"abcd"}},
        SplitCase{"StorageFullAfterProgram", u"abc", 23, 8, {kProgram}},
        SplitCase{"ProgramCut", u"abc", 5, 8, {u"\\Win"}},
        SplitCase{"OneUnit", u"abc", 1, 8, {u""}}),
    [](const ::testing::TestParamInfo<SplitCase>& p) { return std::string(p.param.name); });

}  // namespace
