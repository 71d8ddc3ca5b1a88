// The device start-up's argument splitter, run on the host: splitting, quotes, and cutting to fit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/device/command_line.h"
#include "platform/device/startup_storage.h"
#include "support/named_rows.h"

namespace {

const size_t kGuards = 4;
const WCHAR kGuardUnit = 0xBEEF;
WCHAR* const kGuardSlot = reinterpret_cast<WCHAR*>(0x1);

// Runs BuildArgv with storage and argv each between kGuards guard values that must survive.
std::vector<std::u16string> SplitWithGuards(const char16_t* program, const char16_t* cmdLine, size_t capacity, int maxArgs)
{
    const size_t slots = static_cast<size_t>(maxArgs) + 1;
    std::vector<WCHAR> storage(capacity + 2 * kGuards, kGuardUnit);
    std::vector<WCHAR*> argv(slots + 2 * kGuards, kGuardSlot);
    const int argc = BuildArgv(program, cmdLine, storage.data() + kGuards, capacity, argv.data() + kGuards, maxArgs);
    for (size_t i = 0; i < kGuards; ++i) {
        EXPECT_EQ(kGuardUnit, storage[i]);
        EXPECT_EQ(kGuardUnit, storage[kGuards + capacity + i]) << "written past the storage at " << i;
        EXPECT_EQ(kGuardSlot, argv[i]);
        EXPECT_EQ(kGuardSlot, argv[kGuards + slots + i]) << "written past argv at " << i;
    }
    EXPECT_LE(argc, maxArgs);
    EXPECT_EQ(nullptr, argv[kGuards + static_cast<size_t>(argc)]);
    std::vector<std::u16string> args;
    for (int i = 0; i < argc; ++i) args.emplace_back(argv[kGuards + static_cast<size_t>(i)]);
    return args;
}

const std::u16string kProgram = u"\\Windows\\clockward.exe";  // 22 units

// A module name as long as the device start-up takes.
const std::u16string kLongModule(kModuleNameLength, u'M');

std::u16string Number(int i)
{
    const std::string digits = std::to_string(i);
    return std::u16string(digits.begin(), digits.end());
}

// " 1 2 ... count" as a command line.
std::u16string Numbers(int count)
{
    std::u16string line;
    for (int i = 1; i <= count; ++i) line += u" " + Number(i);
    return line;
}

std::vector<std::u16string> ProgramAndNumbers(const std::u16string& program, int count)
{
    std::vector<std::u16string> args = {program};
    for (int i = 1; i <= count; ++i) args.push_back(Number(i));
    return args;
}

const std::u16string kTooManyNumbers = Numbers(kMaxArguments + 8);
const std::u16string kNumbersForEverySlot = Numbers(kMaxArguments - 1);
// After the long name and its terminator, this and a terminator fill the text exactly.
const std::u16string kFillingArgument(kArgumentTextLength - kModuleNameLength - 2, u'a');
const std::u16string kTextLongModule(kArgumentTextLength - 1, u'M');
const std::u16string kOverlongLine = kFillingArgument + u"bc x";

struct SplitCase : NamedRow {
    const char16_t* cmdLine;
    size_t capacity;
    int maxArgs;
    std::vector<std::u16string> expected;
    std::u16string program = kProgram;
};

class CommandLine : public ::testing::TestWithParam<SplitCase> {};

TEST_P(CommandLine, SplitsAndCutsWithoutOverrun)
{
    const SplitCase& c = GetParam();
    EXPECT_EQ(c.expected, SplitWithGuards(c.program.c_str(), c.cmdLine, c.capacity, c.maxArgs));
}

INSTANTIATE_NAMED_ROWS(
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
        SplitCase{"OneUnit", u"abc", 1, 8, {u""}},
        // At the device's sizes, every buffer filled to its last unit or slot.
        SplitCase{"DeviceAllArgumentSlots", kNumbersForEverySlot.c_str(), kArgumentTextLength, kMaxArguments, ProgramAndNumbers(kProgram, kMaxArguments - 1)},
        SplitCase{"DeviceMoreArgumentsThanSlots", kTooManyNumbers.c_str(), kArgumentTextLength, kMaxArguments, ProgramAndNumbers(kProgram, kMaxArguments - 1)},
        SplitCase{"DeviceLongModuleName", kTooManyNumbers.c_str(), kArgumentTextLength, kMaxArguments, ProgramAndNumbers(kLongModule, kMaxArguments - 1), kLongModule},
        SplitCase{"DeviceTextFilledExactly", kFillingArgument.c_str(), kArgumentTextLength, kMaxArguments, {kLongModule, kFillingArgument}, kLongModule},
        SplitCase{"DeviceTextOverflowing", kOverlongLine.c_str(), kArgumentTextLength, kMaxArguments, {kLongModule, kFillingArgument}, kLongModule},
        SplitCase{"DeviceModuleNameFillsText", u"x", kArgumentTextLength, kMaxArguments, {kTextLongModule}, kTextLongModule},
        SplitCase{"DeviceModuleNameBeyondText", u"x", kArgumentTextLength, kMaxArguments, {kTextLongModule}, kTextLongModule + u"MMMM"}));

}  // namespace
