// The device image's own ARM code, run from its entry point on three CPU models with stand-in
// services in ARM and Thumb state, through the same scenario table as the host end-to-end tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <tuple>

#include "rigs/emulated_phone/emulated_phone.h"
#include "rigs/sim_phone/sim_modem.h"
#include "platform/host/utf_convert.h"
#include "scenarios/scenario_table.h"
#include "support/temp_dir.h"

// Beside the enum, where the parameter printer looks for it.
void PrintTo(ServiceState s, std::ostream* os)
{
    *os << (s == ServiceState::Arm ? "ArmServices" : "ThumbServices");
}

namespace {

struct CpuModel {
    const char* name;
    uc_cpu_arm model;
};
void PrintTo(const CpuModel& c, std::ostream* os) { *os << c.name; }
const CpuModel kCpus[] = {{"ARMv4T_TI925T", UC_CPU_ARM_TI925T},
                          {"ARMv5TE_PXA270", UC_CPU_ARM_PXA270},
                          {"ARMv6_ARM1136", UC_CPU_ARM_1136}};

std::vector<uint8_t> ReadFile(const char* path)
{
    const std::string bytes = ReadWholeFile(path);
    return {bytes.begin(), bytes.end()};
}

const std::vector<uint8_t>& Image(bool signedImage)
{
    static const std::vector<uint8_t> unsignedImage = ReadFile(DEVICE_IMAGE);
    static const std::vector<uint8_t> signedOne = ReadFile(DEVICE_SIGNED_IMAGE);
    return signedImage ? signedOne : unsignedImage;
}

// The command line the scenario's arguments make (quoted where they hold blanks).
std::u16string CommandLineFor(const Scenario& scenario)
{
    std::string line;
    for (const std::string& arg : scenario.arguments) {
        if (!line.empty()) line += ' ';
        line += arg.find(' ') == std::string::npos ? arg : '"' + arg + '"';
    }
    return Utf8ToUtf16(line);
}

// The simulated modem of one run: its state file in a directory of its own, read back as the
// setting it holds (1 while the file does not exist, as on a new phone; -1 for anything else).
class Modem {
public:
    std::string stateFile() const { return (dir_ / "aetz.state").string(); }
    int Setting() const
    {
        int value = -1;
        std::string why;
        return ReadTimeZoneUpdate(stateFile(), &value, &why) ? value : -1;
    }

private:
    TempDir dir_{"emulated-modem"};
};

PhoneBehaviour BehaviourFor(const Scenario& s)
{
    PhoneBehaviour phone;
    phone.libraryPresent = s.library != LibraryState::Absent;
    phone.devSpecificMissing = s.library == LibraryState::MissingDevSpecific;
    phone.initSucceeds = s.init == InitOutcome::Succeeds;
    phone.refusal = s.refusal;
    phone.modemAnswersError = s.modem == ModemReply::Error;
    phone.resultBeforeReturn = s.arrival == ResultArrival::BeforeReturn;
    phone.notifications = s.notifications;
    phone.atClose = s.atClose == AtClose::Drop     ? PendingResults::Drop
                    : s.atClose == AtClose::Cancel ? PendingResults::Cancel
                                                   : PendingResults::Deliver;
    phone.commandLine = CommandLineFor(s);
    return phone;
}

const LoadedSection* SectionAt(const PhoneRun& run, uint32_t address)
{
    for (const LoadedSection& s : run.image.sections) {
        if (address >= s.start && address < s.start + s.size) return &s;
    }
    return nullptr;
}

bool IsArmCode(const PhoneRun& run, uint32_t address)
{
    const LoadedSection* s = SectionAt(run, address);
    return s && s->executable && address % 4 == 0;
}

// What a scenario requires of the run, on top of what it requires on the host; lines, where given,
// replace the scenario's debug lines.
void ExpectScenarioOutcome(const Scenario& s, const PhoneRun& run, const Modem& modem,
                           const std::vector<std::string>* lines = nullptr)
{
    ASSERT_TRUE(run.ok) << run.failure;
    EXPECT_EQ(s.settingAfter, modem.Setting());
    EXPECT_TRUE(run.terminated);
    EXPECT_EQ(0x42u, run.terminateHandle);
    EXPECT_EQ(0u, run.exitCode);
    ASSERT_GE(run.services.size(), 3u);
    EXPECT_EQ("GetModuleFileNameW", run.services[0]);  // the start-up builds argv
    EXPECT_EQ("Sleep(5000)", run.services[1]);          // and the program waits before anything else
    EXPECT_EQ("LoadLibraryW(ril.dll)", run.services[2]);
    EXPECT_EQ(lines ? *lines : s.debugLines, run.debugLines);
    ASSERT_EQ(s.boxTexts.size(), run.boxes.size());
    for (size_t i = 0; i < run.boxes.size(); ++i) {
        EXPECT_EQ(s.boxTexts[i], run.boxes[i].text);
        EXPECT_EQ("ERROR", run.boxes[i].caption);
        EXPECT_EQ(0u, run.boxes[i].owner);
        EXPECT_EQ(0x30u, run.boxes[i].style);
    }
    std::vector<std::string> names;
    for (const RadioCall& c : run.radioCalls) names.push_back(c.name);
    EXPECT_EQ(s.radioCalls, names);
    if (s.radioCalls.empty()) return;

    const RadioCall& init = run.radioCalls[0];
    EXPECT_EQ(1u, init.args[0]);
    EXPECT_TRUE(IsArmCode(run, init.args[1])) << "result callback " << init.args[1];
    EXPECT_TRUE(IsArmCode(run, init.args[2])) << "notification callback " << init.args[2];
    EXPECT_NE(init.args[1], init.args[2]);
    EXPECT_EQ(0u, init.args[3]);
    EXPECT_EQ(0u, init.args[4]);
    const LoadedSection* handlePlace = SectionAt(run, init.args[5]);
    ASSERT_NE(nullptr, handlePlace);
    EXPECT_TRUE(handlePlace->writable && !handlePlace->executable);

    const uint32_t handle = s.sendsWithHandleZero ? 0 : kEmulatedRilHandle;
    const RadioCall& send = run.radioCalls[1];
    EXPECT_EQ(handle, send.args[0]);
    EXPECT_EQ(s.block.size(), send.args[2]);
    EXPECT_EQ(s.block, send.block);
    EXPECT_EQ(handle, run.radioCalls[2].args[0]);
}

using Combination = std::tuple<Scenario, CpuModel, ServiceState, bool>;

class DeviceRun : public ::testing::TestWithParam<Combination> {};

TEST_P(DeviceRun, BehavesAsTheScenarioSays)
{
    const auto& [scenario, cpu, services, signedImage] = GetParam();
    const Modem modem;
    PhoneSetup setup;
    setup.phone = BehaviourFor(scenario);
    setup.modemStateFile = modem.stateFile();
    setup.cpu = cpu.model;
    setup.services = services;
    ExpectScenarioOutcome(scenario, RunOnEmulatedPhone(Image(signedImage), setup), modem);
}

std::string CombinationName(const ::testing::TestParamInfo<Combination>& p)
{
    return std::string(std::get<0>(p.param).name) + "_" + std::get<1>(p.param).name + "_" +
           ::testing::PrintToString(std::get<2>(p.param)) + (std::get<3>(p.param) ? "_Signed" : "_Unsigned");
}

INSTANTIATE_TEST_SUITE_P(Scenarios, DeviceRun,
                         ::testing::Combine(::testing::ValuesIn(Scenarios()), ::testing::ValuesIn(kCpus),
                                            ::testing::Values(ServiceState::Arm, ServiceState::Thumb),
                                            ::testing::Bool()),
                         CombinationName);

const Scenario& Named(const char* name)
{
    for (const Scenario& s : Scenarios()) {
        if (std::string(s.name) == name) return s;
    }
    throw std::runtime_error(name);
}

class DeviceCallbacks : public ::testing::TestWithParam<CpuModel> {};

// The success scenario with one extra result at the entry to, or the return from, a radio call.
PhoneRun SuccessWithResultAt(const char* call, bool returning, SweptCallback callback, ServiceState services)
{
    const Modem modem;
    PhoneSetup setup;
    setup.modemStateFile = modem.stateFile();
    setup.phone = BehaviourFor(Named("Success"));
    setup.cpu = ::testing::TestWithParam<CpuModel>::GetParam().model;
    setup.services = services;
    const PhoneRun plain = RunOnEmulatedPhone(Image(false), setup);
    for (size_t k = 0; k < plain.boundaries.size(); ++k) {
        if (plain.boundaries[k].call == call && plain.boundaries[k].returning == returning)
            setup.sweep = {static_cast<int>(k), callback, false};
    }
    EXPECT_NE(-1, setup.sweep.boundary) << call;
    return RunOnEmulatedPhone(Image(false), setup);
}

// Before the identifier is stored, a result with identifier 0 matches the initial zero.
TEST_P(DeviceCallbacks, IdentifierZeroAtTheSendsReturnMatchesTheInitialZero)
{
    const PhoneRun run = SuccessWithResultAt("RIL_DevSpecific", true, SweptCallback::ResultWithIdZero, ServiceState::Thumb);
    ASSERT_TRUE(run.ok) << run.failure;
    EXPECT_EQ((std::vector<std::string>{"### RILFunc enter ###\r\n", "### CSend_SSDlg::RILFunc(1)###\r\n",
                                        "### RILFunc enter ###\r\n", "### CSend_SSDlg::RILFunc(1)###\r\n"}),
              run.debugLines);
}

TEST_P(DeviceCallbacks, StaleIdentifierAfterTheSendGetsOnlyTheEntryLine)
{
    const PhoneRun run = SuccessWithResultAt("RIL_Deinitialize", false, SweptCallback::StaleResult, ServiceState::Arm);
    ASSERT_TRUE(run.ok) << run.failure;
    EXPECT_EQ((std::vector<std::string>{"### RILFunc enter ###\r\n", "### RILFunc enter ###\r\n",
                                        "### CSend_SSDlg::RILFunc(1)###\r\n"}),
              run.debugLines);
}

INSTANTIATE_TEST_SUITE_P(Cpus, DeviceCallbacks, ::testing::ValuesIn(kCpus),
                         [](const ::testing::TestParamInfo<CpuModel>& p) { return std::string(p.param.name); });

// One callback from the radio layer's thread at every boundary the main thread passes once
// RIL_Initialize has returned. Boxes, radio calls, exit code and modem setting stay as the
// scenario says; the debug lines gain only the callback's own, where it came.
struct SweptCase {
    SweptCallback callback;
    bool processEndsInside;
};

const char* SweptName(const SweptCase& c)
{
    switch (c.callback) {
    case SweptCallback::MatchingResult: return c.processEndsInside ? "matching result cut by the end" : "matching result";
    case SweptCallback::StaleResult: return c.processEndsInside ? "stale result cut by the end" : "stale result";
    case SweptCallback::Notification: return c.processEndsInside ? "notification cut by the end" : "notification";
    default: return "none";
    }
}

std::vector<std::string> LinesWithCallbackAt(const Scenario& s, const Boundary& at, const SweptCase& c)
{
    const std::string enter = "### RILFunc enter ###\r\n";
    const std::string counted = s.modem == ModemReply::Ok ? "### CSend_SSDlg::RILFunc(1)###\r\n"
                                                          : "### CSend_SSDlg::RILFunc(3)###\r\n";
    std::vector<std::string> lines = s.debugLines, added;
    if (c.callback == SweptCallback::Notification) added = {"### RILNotify enter ###\r\n"};
    if (c.callback == SweptCallback::StaleResult) added = {enter};
    size_t atLine = at.linesBefore;
    if (c.callback == SweptCallback::MatchingResult) {
        // The result comes here instead of at the close, which then has nothing to deliver; on the
        // send's own return it overtakes the identifier's store and is not counted.
        if (s.atClose == AtClose::Deliver) {
            EXPECT_EQ((std::vector<std::string>{enter, counted}), std::vector<std::string>(lines.end() - 2, lines.end()));
            lines.resize(lines.size() - 2);
        }
        atLine = std::min(atLine, lines.size());
        added = {enter};
        if (!(at.call == "RIL_DevSpecific" && at.returning)) added.push_back(counted);
    }
    if (c.processEndsInside) added.clear();  // ended before its first line
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(atLine), added.begin(), added.end());
    return lines;
}

size_t g_sweptBoundaries = 0, g_sweptRuns = 0;

using SweepCombination = std::tuple<Scenario, CpuModel, ServiceState>;
class CallbackAtEveryBoundary : public ::testing::TestWithParam<SweepCombination> {};

TEST_P(CallbackAtEveryBoundary, KeepsTheScenarioOutcome)
{
    const auto& [scenario, cpu, services] = GetParam();
    PhoneSetup setup;
    setup.phone = BehaviourFor(scenario);
    setup.cpu = cpu.model;
    setup.services = services;
    const Modem plainModem;
    setup.modemStateFile = plainModem.stateFile();
    const PhoneRun plain = RunOnEmulatedPhone(Image(false), setup);
    ExpectScenarioOutcome(scenario, plain, plainModem);
    ASSERT_GE(plain.boundaries.size(), 8u);
    EXPECT_EQ("RIL_Initialize", plain.boundaries.front().call);
    EXPECT_EQ("TerminateProcess", plain.boundaries.back().call);
    // An accepted command the close does not cancel has its answer from the send's return on: the
    // send's return, the close's entry and return, the process's end.
    const bool answered = scenario.refusal == 0 && scenario.atClose != AtClose::Cancel;
    size_t answeredAt = 0;
    for (const Boundary& at : plain.boundaries) answeredAt += at.commandAnswered;
    EXPECT_EQ(answered ? 4u : 0u, answeredAt);
    // Only a result that comes after the send has returned can be moved to another such moment.
    const bool movable = scenario.arrival == ResultArrival::AfterReturn;

    for (size_t k = 0; k < plain.boundaries.size(); ++k) {
        const Boundary& at = plain.boundaries[k];
        std::vector<SweptCase> cases = {{SweptCallback::Notification, false}, {SweptCallback::StaleResult, false}};
        if (at.commandAnswered && movable) cases.push_back({SweptCallback::MatchingResult, false});
        if (at.call == "TerminateProcess") {
            cases.insert(cases.end(), {{SweptCallback::Notification, true}, {SweptCallback::StaleResult, true}});
            if (at.commandAnswered && movable) cases.push_back({SweptCallback::MatchingResult, true});
        }
        for (const SweptCase& c : cases) {
            SCOPED_TRACE(std::string(SweptName(c)) + " at boundary " + std::to_string(k) + ", " +
                         (at.returning ? "the return from " : "the entry to ") + at.call);
            const Modem modem;
            setup.modemStateFile = modem.stateFile();
            setup.sweep = {static_cast<int>(k), c.callback, c.processEndsInside};
            const PhoneRun run = RunOnEmulatedPhone(Image(false), setup);
            const std::vector<std::string> lines = LinesWithCallbackAt(scenario, at, c);
            ExpectScenarioOutcome(scenario, run, modem, &lines);
            const bool moved = c.callback == SweptCallback::MatchingResult && scenario.atClose == AtClose::Deliver;
            EXPECT_EQ(plain.callbacksMade + (moved ? 0 : 1), run.callbacksMade);
            EXPECT_EQ(c.processEndsInside ? "NKDbgPrintfW" : "", run.callbackCutAt);
            ++g_sweptRuns;
        }
    }
    g_sweptBoundaries += plain.boundaries.size();
}

std::vector<Scenario> ScenariosWithAConnection()
{
    std::vector<Scenario> rows;
    for (const Scenario& s : Scenarios()) {
        if (s.library == LibraryState::Present && s.init == InitOutcome::Succeeds) rows.push_back(s);
    }
    return rows;
}

INSTANTIATE_TEST_SUITE_P(Sweep, CallbackAtEveryBoundary,
                         ::testing::Combine(::testing::ValuesIn(ScenariosWithAConnection()), ::testing::ValuesIn(kCpus),
                                            ::testing::Values(ServiceState::Arm, ServiceState::Thumb)),
                         [](const ::testing::TestParamInfo<SweepCombination>& p) {
                             return std::string(std::get<0>(p.param).name) + "_" + std::get<1>(p.param).name + "_" +
                                    ::testing::PrintToString(std::get<2>(p.param));
                         });

// The sweep's size, for the record.
class SweepSize : public ::testing::Environment {
public:
    void TearDown() override
    {
        if (g_sweptRuns) std::printf("callback sweep: %zu boundaries, %zu runs\n", g_sweptBoundaries, g_sweptRuns);
    }
};
const auto* const kSweepSize = ::testing::AddGlobalTestEnvironment(new SweepSize);

// Address and size of the linked image's symbol whose name contains part (from its ELF, with nm).
std::pair<uint32_t, uint32_t> ImageSymbol(const std::string& part)
{
    FILE* nm = popen((std::string(ARM_NM) + " -S " + DEVICE_ELF).c_str(), "r");
    char line[512];
    unsigned address = 0, size = 0;
    char type = 0, name[400] = {};
    while (nm && std::fgets(line, sizeof line, nm)) {
        if (std::sscanf(line, "%x %x %c %399s", &address, &size, &type, name) == 4 && std::string(name).find(part) != std::string::npos)
            break;
        address = size = 0;
    }
    if (nm) pclose(nm);
    return {address, size};
}

// The start-up's fixed storage at its edges: a module name of MAX_PATH units and more, more
// arguments than the vector holds. What the main routine receives is read back from the image.
struct ArgvEdge {
    const char* name;
    size_t moduleNameLength;
    int arguments;
    size_t expectedArgv0Length;
    size_t expectedArgc;
    size_t longArgument = 0;        // instead: one argument of this many units
    size_t expectedLongLength = 0;  // what the argument text's 512 units leave of it
};
void PrintTo(const ArgvEdge& e, std::ostream* os) { *os << e.name; }

class DeviceStartupEdges : public ::testing::TestWithParam<ArgvEdge> {};

TEST_P(DeviceStartupEdges, CutsWithoutOverrunAndRunsAsUsual)
{
    const ArgvEdge& edge = GetParam();
    const auto [argvAt, argvSize] = ImageSymbol("s_argv");
    ASSERT_EQ(33u * 4, argvSize) << "32 arguments and the null slot";
    Scenario scenario = Named("Success");
    const Modem modem;
    PhoneSetup setup;
    setup.phone = BehaviourFor(scenario);
    setup.modemStateFile = modem.stateFile();
    setup.phone.moduleName = u"\\" + std::u16string(edge.moduleNameLength - 1, u'm');
    setup.phone.commandLine.clear();
    for (int i = 1; i <= edge.arguments; ++i) setup.phone.commandLine += u" a" + Utf8ToUtf16(std::to_string(i));
    if (edge.longArgument) setup.phone.commandLine = u" " + std::u16string(edge.longArgument, u'x');
    setup.argvAddress = argvAt;
    setup.argvSlots = argvSize / 4;
    const PhoneRun run = RunOnEmulatedPhone(Image(false), setup);
    ExpectScenarioOutcome(scenario, run, modem);
    EXPECT_TRUE(run.argvTerminated);
    ASSERT_EQ(edge.expectedArgc, run.argv.size());
    EXPECT_EQ(setup.phone.moduleName.substr(0, edge.expectedArgv0Length), run.argv[0]);
    if (edge.longArgument) {
        EXPECT_EQ(std::u16string(edge.expectedLongLength, u'x'), run.argv[1]);
        return;
    }
    for (size_t i = 1; i < run.argv.size(); ++i) EXPECT_EQ(u"a" + Utf8ToUtf16(std::to_string(i)), run.argv[i]);
}

INSTANTIATE_TEST_SUITE_P(
    Edges, DeviceStartupEdges,
    ::testing::Values(ArgvEdge{"NameOf259Fits", 259, 0, 259, 1}, ArgvEdge{"NameOf260IsCut", 260, 0, 259, 1},
                      ArgvEdge{"NameOf300IsCut", 300, 0, 259, 1}, ArgvEdge{"ThirtyOneArgumentsFit", 22, 31, 22, 32},
                      ArgvEdge{"ThirtyTwoArgumentsAreCut", 22, 32, 22, 32},
                      ArgvEdge{"LongNameAndFortyArguments", 300, 40, 259, 32},
                      // 23 units of name and terminator, the argument, its terminator: 512 units in all.
                      ArgvEdge{"LongArgumentIsCutAt512Units", 22, 0, 22, 2, 600, 488}),
    [](const ::testing::TestParamInfo<ArgvEdge>& p) { return std::string(p.param.name); });

// The harness itself must notice broken images, each for its own reason.
struct Breakage {
    const char* name;
    void (*apply)(std::vector<uint8_t>& image);
    ServiceState services;
    const char* reason;  // what the run's failure must say
};
void PrintTo(const Breakage& b, std::ostream* os) { *os << b.name; }

uint32_t U32(const std::vector<uint8_t>& b, size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

size_t OptionalHeader(const std::vector<uint8_t>& b)
{
    return U32(b, 0x3C) + 24;
}

// File offset of the entry point (the first section holds it).
size_t EntryOffset(const std::vector<uint8_t>& b)
{
    const size_t opt = OptionalHeader(b);
    const size_t firstSection = opt + 224;
    return U32(b, opt + 16) - U32(b, firstSection + 12) + U32(b, firstSection + 20);
}

const Breakage kBreakages[] = {
    {"Thumb2InstructionAtEntry", [](std::vector<uint8_t>& b) { Put32(b, EntryOffset(b), 0xE3000000u); },  // movw r0, #0
     ServiceState::Arm,
     "emulation stopped: Invalid instruction (UC_ERR_INSN_INVALID) at 0x00011000"},
    {"ThunkMovesToPc",
     [](std::vector<uint8_t>& b) {
         // The import thunks' "mov ip, r3; pop {r2, r3}; bx ip" ends in "mov pc, ip" instead, which
         // stays in Thumb state on ARMv4T.
         for (size_t i = 0; i + 6 <= b.size(); i += 2) {
             if (b[i] == 0x9C && b[i + 1] == 0x46 && b[i + 2] == 0x0C && b[i + 3] == 0xBC && b[i + 4] == 0x60 &&
                 b[i + 5] == 0x47) {
                 b[i + 4] = 0xE7;
                 b[i + 5] = 0x46;
             }
         }
     },
     ServiceState::Arm,
     "reached GetModuleFileNameW at 0x00f00050 in Thumb state: the call did not switch instruction sets"},
    {"EntryPointSkipsStackRealignment",
     [](std::vector<uint8_t>& b) {
         for (size_t i = 0; i + 4 <= b.size(); i += 4) {
             if (U32(b, i) == 0xE3CDD007u) Put32(b, i, 0xE1A00000u);  // bic sp, sp, #7 -> nop
         }
     },
     ServiceState::Arm,
     "called GetModuleFileNameW with sp 0x0080ffb4, not 8-byte aligned"},
    {"EntryPointInData",
     [](std::vector<uint8_t>& b) {
         const size_t opt = OptionalHeader(b);
         Put32(b, opt + 16, U32(b, opt + 224 + 40 + 12));  // the second section's RVA
     },
     ServiceState::Arm,
     "fetch from non-executable memory at 0x00012000 (4 bytes) from pc 0x00012000"},
    {"BssVirtualSizeTooSmall",
     [](std::vector<uint8_t>& b) {
         const size_t bss = OptionalHeader(b) + 224 + 40;  // the second section's entry
         Put32(b, bss + 8, U32(b, bss + 8) - 0x200);
     },
     ServiceState::Arm,
     "the program wrote past .bss's VirtualSize, at 0x000124cc"},
    {"WritesIntoItsCode", [](std::vector<uint8_t>& b) { Put32(b, EntryOffset(b), 0xE58F0000u); },  // str r0, [pc]
     ServiceState::Arm,
     "write to the code section at 0x00011008 (4 bytes) from pc 0x00011000"},
    {"LoopsForever", [](std::vector<uint8_t>& b) { Put32(b, EntryOffset(b), 0xEAFFFFFEu); },  // b .
     ServiceState::Arm,
     "instruction budget of 20000 exceeded at 0x00011000"},
    {"UnalignedLoadInArmCode", [](std::vector<uint8_t>& b) { Put32(b, EntryOffset(b), 0xE59F0001u); },  // ldr r0, [pc, #1]
     ServiceState::Arm,
     "unaligned 4-byte read at 0x00011009 from pc 0x00011000: an alignment fault on the phone"},
    {"UnalignedLoadInThumbCode",
     [](std::vector<uint8_t>& b) {
         // The start-up's first two Thumb instructions become subs r2, r2, r3; ldr r0, [r2]: the
         // command line (r2, word aligned) less SW_SHOW (r3 = 5).
         const uint32_t startup = ImageSymbol("DeviceStartup").first & ~1u;
         const size_t at = EntryOffset(b) + (startup - (U32(b, OptionalHeader(b) + 16) + U32(b, OptionalHeader(b) + 28)));
         const uint8_t code[] = {0xD2, 0x1A, 0x10, 0x68};
         std::copy(std::begin(code), std::end(code), b.begin() + static_cast<std::ptrdiff_t>(at));
     },
     ServiceState::Arm,
     "unaligned 4-byte read at 0x0080fff7 from pc 0x0001112a: an alignment fault on the phone"},
    // Start-up code that took r0 for the image base reads the process handle's address instead.
    {"StartupTakesR0ForTheImageBase", [](std::vector<uint8_t>& b) { Put32(b, EntryOffset(b), 0xE5900000u); },  // ldr r0, [r0]
     ServiceState::Arm, "read of unmapped memory at 0x4a3f000c (4 bytes) from pc 0x00011000"},
    {"ReadsItsOwnHeaders", [](std::vector<uint8_t>& b) { Put32(b, EntryOffset(b), 0xE51F0FF8u); },  // ldr r0, [pc, #-0xff8]
     ServiceState::Arm, "read of unreadable memory at 0x00010010 (4 bytes) from pc 0x00011000"},
    {"EntryPointInHeaders",
     [](std::vector<uint8_t>& b) { Put32(b, OptionalHeader(b) + 16, 0x40); },  // the PE signature, not code
     ServiceState::Arm,
     "fetch from non-executable memory at 0x00010040 (4 bytes) from pc 0x00010040"},
};

class BrokenDeviceImage : public ::testing::TestWithParam<Breakage> {};

// Runs the success scenario on a patched image, on an ARMv4T core, for a short budget.
PhoneRun RunPatched(void (*apply)(std::vector<uint8_t>&), ServiceState services)
{
    std::vector<uint8_t> image = Image(false);
    apply(image);
    EXPECT_NE(Image(false), image) << "the patch changed nothing";
    const Modem modem;
    PhoneSetup setup;
    setup.phone = BehaviourFor(Named("Success"));
    setup.modemStateFile = modem.stateFile();
    setup.cpu = UC_CPU_ARM_TI925T;
    setup.services = services;
    setup.instructionBudget = 20000;
    return RunOnEmulatedPhone(image, setup);
}

TEST_P(BrokenDeviceImage, FailsTheRunOnAnArmv4tCoreForItsReason)
{
    const PhoneRun run = RunPatched(GetParam().apply, GetParam().services);
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(GetParam().reason, run.failure);
}

INSTANTIATE_TEST_SUITE_P(Breakages, BrokenDeviceImage, ::testing::ValuesIn(kBreakages),
                         [](const ::testing::TestParamInfo<Breakage>& p) { return std::string(p.param.name); });

// The kernel loader's own bounds: ordinals it does not know fail the load, ordinals are 31 bits
// wide, ImageBase may be 0x400000 itself.
struct LoaderEdge {
    const char* name;
    void (*apply)(std::vector<uint8_t>& image);
    const char* reason;
};
void PrintTo(const LoaderEdge& e, std::ostream* os) { *os << e.name; }

// The lookup entry of TerminateProcess (ordinal 544, by ordinal) gets the ordinal bits given.
void PatchTerminateProcessOrdinal(std::vector<uint8_t>& image, uint32_t ordinal)
{
    const uint8_t terminateProcess[] = {0x20, 0x02, 0x00, 0x80};
    auto at = std::search(image.begin(), image.end(), std::begin(terminateProcess), std::end(terminateProcess));
    if (at != image.end()) Put32(image, static_cast<size_t>(at - image.begin()), 0x80000000u | ordinal);
}

class DeviceLoaderEdges : public ::testing::TestWithParam<LoaderEdge> {};

TEST_P(DeviceLoaderEdges, LoadsOrRefusesAsTheKernelDoes)
{
    const PhoneRun run = RunPatched(GetParam().apply, ServiceState::Arm);
    EXPECT_FALSE(run.ok);
    EXPECT_EQ(GetParam().reason, run.failure);
}

INSTANTIATE_TEST_SUITE_P(
    Edges, DeviceLoaderEdges,
    ::testing::Values(
        LoaderEdge{"UnknownOrdinal", [](std::vector<uint8_t>& b) { PatchTerminateProcessOrdinal(b, 9999); },
                   "loader: unknown import coredll.dll!#9999"},
        LoaderEdge{"OrdinalAbove16Bits", [](std::vector<uint8_t>& b) { PatchTerminateProcessOrdinal(b, 0x10220); },
                   "loader: unknown import coredll.dll!#66080"},
        // Loaded at 0x400000, the image runs until its first absolute address, which is the linked one.
        LoaderEdge{"ImageBaseAtTheBound", [](std::vector<uint8_t>& b) { Put32(b, OptionalHeader(b) + 28, 0x400000); },
                   "fetch from unmapped memory at 0x00011128 (2 bytes) from pc 0x00011128"},
        LoaderEdge{"ImageBaseAboveTheBound", [](std::vector<uint8_t>& b) { Put32(b, OptionalHeader(b) + 28, 0x401000); },
                   "loader: ImageBase outside 0x10000..0x400000 without relocations"}),
    [](const ::testing::TestParamInfo<LoaderEdge>& p) { return std::string(p.param.name); });

}  // namespace
