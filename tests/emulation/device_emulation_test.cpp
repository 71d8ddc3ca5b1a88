// The device image's own ARM code, run from its entry point on three CPU models with stand-in
// services in ARM and Thumb state, through the same scenario table as the host end-to-end tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <functional>
#include <tuple>

#include "platform/device/startup_storage.h"
#include "platform/host/utf_convert.h"
#include "rigs/common/hex_text.h"
#include "rigs/common/sim_modem.h"
#include "rigs/emulated_phone/emulated_phone.h"
#include "rigs/emulated_phone/trap_table.h"
#include "scenarios/outcome_check.h"
#include "support/named_rows.h"
#include "support/program_texts.h"
#include "support/temp_dir.h"

// Beside the enum, where the parameter printer looks for it.
void PrintTo(ServiceState s, std::ostream* os) { *os << (s == ServiceState::Arm ? "ArmServices" : "ThumbServices"); }

namespace {

struct CpuModel : NamedRow {
    uc_cpu_arm model;
};
const CpuModel kCpus[] = {{"ARMv4T_TI925T", UC_CPU_ARM_TI925T}, {"ARMv5TE_PXA270", UC_CPU_ARM_PXA270}, {"ARMv6_ARM1136", UC_CPU_ARM_1136}};

const std::vector<uint8_t>& Image(bool signedImage, Program program = Program::Clockward)
{
    auto read = [](const char* path) {
        const std::string bytes = ReadWholeFile(path);
        return std::vector<uint8_t>(bytes.begin(), bytes.end());
    };
    static const std::vector<uint8_t> unsignedImage = read(DEVICE_IMAGE), signedOne = read(DEVICE_SIGNED_IMAGE),
                                      check = read(CHECK_DEVICE_IMAGE), signedCheck = read(CHECK_DEVICE_SIGNED_IMAGE),
                                      undo = read(UNDO_DEVICE_IMAGE), signedUndo = read(UNDO_DEVICE_SIGNED_IMAGE);
    if (program == Program::Check) return signedImage ? signedCheck : check;
    if (program == Program::Undo) return signedImage ? signedUndo : undo;
    return signedImage ? signedOne : unsignedImage;
}

using Bytes = std::vector<uint8_t>;
void Put(Bytes& b, size_t at, uint32_t v, int bytes = 4)
{
    for (int i = 0; i < bytes; ++i) b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}
// An image's headers as the emulated phone's loader reads them.
FileReading ReadingOf(const Bytes& image)
{
    FileReading reading;
    std::string why;
    EXPECT_TRUE(ReadPeFile(image, &reading, &why)) << why;
    return reading;
}
const FileReading& Unpatched()
{
    static const FileReading reading = ReadingOf(Image(false));
    return reading;
}

// The setup a scenario makes, its arguments as the command line (quoted where they hold blanks).
PhoneSetup SetupFor(const Scenario& s, uc_cpu_arm cpu = UC_CPU_ARM_TI925T, ServiceState serviceState = ServiceState::Arm)
{
    PhoneSetup setup;
    setup.phone = s.phone;
    setup.cpu = cpu;
    setup.serviceState = serviceState;
    std::string line;
    for (const std::string& arg : s.arguments) line += (line.empty() ? "" : " ") + (arg.find(' ') == std::string::npos ? arg : '"' + arg + '"');
    setup.commandLine = Utf8ToUtf16(line);
    return setup;
}

const LoadedSection* SectionAt(const PhoneRun& run, uint64_t address)
{
    for (const LoadedSection& s : run.image.sections) {
        if (address >= s.start && address < s.start + s.size) return &s;
    }
    return nullptr;
}

// Runs the setup on a simulated modem of its own (its setting starts on) and checks the scenario's
// outcome with the host's own check, then what only the emulated phone shows.
PhoneRun RunAndExpect(const Scenario& s, PhoneSetup setup, const std::vector<uint8_t>* image = nullptr,
                      const std::vector<std::string>* lines = nullptr)
{
    const TempDir modem("emulated-modem");
    setup.modemStateFile = (modem / "aetz.state").string();
    std::string why;
    EXPECT_TRUE(PrepareModem(s, setup.modemStateFile, &why)) << why;
    if (!image) image = &Image(false, s.program);
    if (s.program == Program::Check) setup.moduleName = u"\\Program Files\\Clockward\\clockward-check.exe";
    if (s.program == Program::Undo) setup.moduleName = u"\\Program Files\\Clockward\\clockward-undo.exe";
    const PhoneRun run = RunOnEmulatedPhone(*image, setup);
    EXPECT_TRUE(run.ok) << run.failure;
    RunRecord record;
    record.exitCode = run.terminated && run.terminateHandle == 0x42 ? static_cast<int>(run.exitCode) : -1;
    record.debugLines = run.debugLines;
    for (const EmulatedBox& b : run.boxes) record.boxes.push_back({b.text, b.caption, b.style});
    for (const RadioCall& c : run.radioCalls) {
        std::vector<uint64_t> args(c.args.begin(), c.args.end());
        if (c.name == "RIL_Initialize") args.resize(5);  // the handle's place is checked below
        if (c.name == "RIL_DevSpecific") args = {c.args[0], c.args[2]};  // handle and size, not the block's address
        record.radioCalls.push_back({c.name, args, c.block});
    }
    record.handleWritten = run.handleWritten;
    if (!ReadTimeZoneUpdate(setup.modemStateFile, &record.settingAfter, &why)) record.settingAfter = -1;
    ExpectOutcome(s, record, lines);
    for (const EmulatedBox& b : run.boxes) EXPECT_EQ(0u, b.owner) << b.text;

    // The start-up builds argv, and Clockward waits before anything else; the check and the undo do not.
    std::vector<std::string> first = run.coredllCalls, expected = {"GetModuleFileNameW", "Sleep(5000)", "LoadLibraryW(ril.dll)"};
    if (s.program != Program::Clockward) expected.erase(expected.begin() + 1);
    first.resize(expected.size());
    EXPECT_EQ(expected, first);
    if (!run.radioCalls.empty()) {
        const std::vector<uint32_t>& init = run.radioCalls[0].args;
        for (uint32_t callback : {init[1], init[2]}) {
            const LoadedSection* code = SectionAt(run, callback);
            EXPECT_TRUE(code && code->executable && callback % 4 == 0) << "callback " << callback << " is not ARM code";
        }
        const LoadedSection* handlePlace = SectionAt(run, init[5]);
        EXPECT_TRUE(handlePlace && handlePlace->writable && !handlePlace->executable);
    }
    return run;
}

using Combination = std::tuple<Scenario, CpuModel, ServiceState, bool>;

// Each row on an ARMv4T core with ARM services and the unsigned image; crossed rows on every CPU
// model, service state and image (signed: withSigned).
std::vector<Combination> Crossed(const std::vector<Scenario>& rows, bool withSigned)
{
    std::vector<Combination> out;
    for (const Scenario& s : rows) {
        for (const CpuModel& cpu : kCpus) {
            for (ServiceState state : {ServiceState::Arm, ServiceState::Thumb}) {
                for (bool signedImage : {false, true}) {
                    const bool plain = cpu.model == kCpus[0].model && state == ServiceState::Arm && !signedImage;
                    if (plain || (s.crossed && (withSigned || !signedImage))) out.emplace_back(s, cpu, state, signedImage);
                }
            }
        }
    }
    return out;
}

class DeviceRun : public ::testing::TestWithParam<Combination> {};

TEST_P(DeviceRun, BehavesAsTheScenarioSays)
{
    const auto& [scenario, cpu, serviceState, signedImage] = GetParam();
    const std::vector<uint8_t>& image = Image(signedImage, scenario.program);
    const PhoneRun run = RunAndExpect(scenario, SetupFor(scenario, cpu.model, serviceState), &image);
    // The loader gives the main thread the stack its SizeOfStackReserve asks for.
    EXPECT_LE(run.deepestMainStack, ReadingOf(image).stackReserve);
}

INSTANTIATE_TEST_SUITE_P(Scenarios, DeviceRun, ::testing::ValuesIn(Crossed(WholeProcessScenarios(), true)),
                         [](const ::testing::TestParamInfo<Combination>& p) {
                             return std::string(std::get<0>(p.param).name) + "_" + std::get<1>(p.param).name + "_" +
                                    ::testing::PrintToString(std::get<2>(p.param)) + (std::get<3>(p.param) ? "_Signed" : "_Unsigned");
                         });

// The callbacks the sweep delivers, one row each, and the moments each may come at.
enum class Moments { Every, Answered, TheSendsReturn, TheEnd, TheEndAnswered };
struct SweepRow {
    const char* name;
    SweptCallback callback;
    Moments at;
    bool processEndsInside;
};
const SweepRow kSweepRows[] = {
    {"notification", SweptCallback::Notification, Moments::Every, false},
    {"stale result", SweptCallback::StaleResult, Moments::Every, false},
    {"matching result", SweptCallback::MatchingResult, Moments::Answered, false},
    // Before the identifier is stored, identifier 0 matches the initial zero and is counted.
    {"result with identifier 0", SweptCallback::ResultWithIdZero, Moments::TheSendsReturn, false},
    {"notification cut by the end", SweptCallback::Notification, Moments::TheEnd, true},
    {"stale result cut by the end", SweptCallback::StaleResult, Moments::TheEnd, true},
    {"matching result cut by the end", SweptCallback::MatchingResult, Moments::TheEndAnswered, true},
};

bool Comes(const SweepRow& row, const Boundary& at, bool movable)
{
    const bool end = at.call == "TerminateProcess", answered = at.commandAnswered && movable;
    switch (row.at) {
    case Moments::Every: return true;
    case Moments::Answered: return answered;
    case Moments::TheSendsReturn: return at.call == "RIL_DevSpecific" && at.returning;
    case Moments::TheEnd: return end;
    case Moments::TheEndAnswered: return end && answered;
    }
    return false;
}

// The scenario's lines with the callback's own where it came.
std::vector<std::string> LinesWithCallbackAt(const Scenario& s, const Boundary& at, const SweepRow& row)
{
    const bool reads = s.program != Program::Clockward;  // the check and the undo keep every result
    const std::string enter = reads ? kCheckEnter : kEnter;
    const bool modemSaysOk = s.phone.modem == ModemReply::Ok || s.phone.modem == ModemReply::KeepsSetting;
    const std::string counted = at.commandAnswered && modemSaysOk ? kOk : kError;
    std::vector<std::string> lines = s.debugLines, added;
    size_t atLine = at.linesBefore;
    switch (row.callback) {
    case SweptCallback::Notification: added = {kNotify}; break;
    case SweptCallback::StaleResult: added = {enter}; break;
    // The check keeps every result and reads only its own: identifier 0 is one more line.
    case SweptCallback::ResultWithIdZero: added = reads ? std::vector<std::string>{enter} : std::vector<std::string>{kEnter, counted}; break;
    case SweptCallback::MatchingResult:
        // The result comes here instead of at the close, which then has nothing to deliver; on the
        // send's own return it overtakes the identifier's store and is not counted.
        if (s.phone.pending == PendingResults::Deliver) {
            EXPECT_EQ((std::vector<std::string>{kEnter, counted}), std::vector<std::string>(lines.end() - 2, lines.end()));
            lines.resize(lines.size() - 2);
        }
        atLine = std::min(atLine, lines.size());
        added = {kEnter};
        if (!(at.call == "RIL_DevSpecific" && at.returning)) added.push_back(counted);
        break;
    case SweptCallback::None: break;
    }
    if (row.processEndsInside) added.clear();  // ended before its first line
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(atLine), added.begin(), added.end());
    return lines;
}

class CallbackAtEveryBoundary : public ::testing::TestWithParam<Combination> {};

// One callback from the radio layer's thread at every boundary the main thread passes once
// RIL_Initialize has returned. Boxes, radio calls, exit code and modem setting stay as the
// scenario says; the debug lines gain only the callback's own, where it came.
TEST_P(CallbackAtEveryBoundary, KeepsTheScenarioOutcome)
{
    const auto& [scenario, cpu, serviceState, signedImage] = GetParam();
    PhoneSetup setup = SetupFor(scenario, cpu.model, serviceState);
    const PhoneRun plain = RunAndExpect(scenario, setup);
    ASSERT_GE(plain.boundaries.size(), 8u);
    EXPECT_EQ("RIL_Initialize", plain.boundaries.front().call);
    EXPECT_EQ("TerminateProcess", plain.boundaries.back().call);
    // An accepted command that the close does not cancel has its answer from the send's return on:
    // the send's return, the close's entry and return, the process's end.
    const PhoneDescription& phone = scenario.phone;
    const bool answered = phone.refuse == 0 && ModemRunsAtSend(phone);
    size_t answeredAt = 0;
    for (const Boundary& at : plain.boundaries) answeredAt += at.commandAnswered;
    if (scenario.program == Program::Clockward) {
        EXPECT_EQ(answered ? 4u : 0u, answeredAt);
    }
    // Only a result that comes after the send has returned can be moved to another such moment.
    const bool movable = phone.result != ResultTiming::BeforeReturn;

    // The check and the undo read their own answers: every callback but those (the check's moved by
    // CheckAnswerAtEveryMoment) must change nothing of them.
    const bool check = scenario.program != Program::Clockward;
    for (size_t k = 0; k < plain.boundaries.size(); ++k) {
        const Boundary& at = plain.boundaries[k];
        for (const SweepRow& row : kSweepRows) {
            if (!Comes(row, at, movable)) continue;
            if (check && row.callback == SweptCallback::MatchingResult) continue;
            SCOPED_TRACE(std::string(row.name) + " at boundary " + std::to_string(k) + ", " + (at.returning ? "the return from " : "the entry to ") + at.call);
            setup.sweep = {static_cast<int>(k), row.callback, row.processEndsInside};
            const std::vector<std::string> lines = LinesWithCallbackAt(scenario, at, row);
            const PhoneRun run = RunAndExpect(scenario, setup, nullptr, &lines);
            const bool moved = row.callback == SweptCallback::MatchingResult && phone.pending == PendingResults::Deliver;
            EXPECT_EQ(plain.callbacksMade + (moved ? 0 : 1), run.callbacksMade);
            EXPECT_EQ(row.processEndsInside ? "NKDbgPrintfW" : "", run.callbackCutAt);
        }
    }
}

std::vector<Scenario> ScenariosWithAConnection()
{
    std::vector<Scenario> rows;
    for (const Scenario& s : Scenarios()) {
        // The check's rows whose wait runs its full 10 seconds would add a hundred moments each; the
        // other answer layouts change what the check reads, not the moments a callback can come at.
        const bool shortWait = s.program == Program::Clockward || (s.phone.result != ResultTiming::Never &&
                                                                   s.phone.result != ResultTiming::AtDeinit && s.phone.answer == AnswerShape::Verbatim);
        if (s.phone.library == Library::Present && s.phone.init == InitBehaviour::Ok && shortWait) rows.push_back(s);
    }
    return rows;
}

INSTANTIATE_TEST_SUITE_P(Sweep, CallbackAtEveryBoundary, ::testing::ValuesIn(Crossed(ScenariosWithAConnection(), false)),
                         [](const ::testing::TestParamInfo<Combination>& p) {
                             return std::string(std::get<0>(p.param).name) + "_" + std::get<1>(p.param).name + "_" +
                                    ::testing::PrintToString(std::get<2>(p.param));
                         });

// The check's own answer moved to every moment of a full 10-second wait: read while the check still
// looks, and changing nothing once its last look is past, on the way to the close and inside it.
TEST(CheckAnswerAtEveryMoment, IsReadUntilTheLastLookAndIgnoredAfter)
{
    Scenario found = NamedScenario("CheckOff"), lost = found;
    lost.debugLines = {kCheckNoAnswerLine};
    lost.boxTexts = NamedScenario("CheckNoAnswer").boxTexts;
    lost.boxStyle = NamedScenario("CheckNoAnswer").boxStyle;
    PhoneSetup setup = SetupFor(found);
    setup.sweep.callback = SweptCallback::MatchingResult;  // held back from where it would come
    const PhoneRun waited = RunAndExpect(lost, setup);
    size_t lastLook = 0;
    for (size_t k = 0; k < waited.boundaries.size(); ++k) {
        if (waited.boundaries[k].call == "Sleep" && waited.boundaries[k].returning) lastLook = k;
    }
    ASSERT_GT(lastLook, 100u) << "a hundred looks, each after a Sleep";
    for (size_t k = 0; k < waited.boundaries.size(); ++k) {
        if (!waited.boundaries[k].commandAnswered) continue;
        SCOPED_TRACE("the answer at boundary " + std::to_string(k) + ", " + waited.boundaries[k].call);
        setup.sweep.boundary = static_cast<int>(k);
        const Scenario& expected = k <= lastLook ? found : lost;
        std::vector<std::string> lines = expected.debugLines;
        if (k > lastLook) lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(waited.boundaries[k].linesBefore), kCheckEnter);
        RunAndExpect(expected, setup, nullptr, &lines);
    }
}

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
struct ArgvEdge : NamedRow {
    size_t moduleNameLength;
    int arguments;
    size_t expectedArgv0Length;
    size_t expectedArgc;
    size_t longArgument = 0;        // instead: one argument of this many units
    size_t expectedLongLength = 0;  // what the argument text leaves of it
};

class DeviceStartupEdges : public ::testing::TestWithParam<ArgvEdge> {};

TEST_P(DeviceStartupEdges, CutsWithoutOverrunAndRunsAsUsual)
{
    const ArgvEdge& edge = GetParam();
    const auto [argvAt, argvSize] = ImageSymbol("s_argv");
    ASSERT_EQ((kMaxArguments + 1) * 4u, argvSize) << "the arguments and the null slot";
    PhoneSetup setup = SetupFor(NamedScenario("Success"));
    setup.moduleName = u"\\" + std::u16string(edge.moduleNameLength - 1, u'm');
    for (int i = 1; i <= edge.arguments; ++i) setup.commandLine += u" a" + Utf8ToUtf16(std::to_string(i));
    if (edge.longArgument) setup.commandLine = u" " + std::u16string(edge.longArgument, u'x');
    setup.argvAddress = argvAt;
    setup.argvSlots = argvSize / 4;
    const PhoneRun run = RunAndExpect(NamedScenario("Success"), setup);
    EXPECT_TRUE(run.argvTerminated);
    ASSERT_EQ(edge.expectedArgc, run.argv.size());
    EXPECT_EQ(setup.moduleName.substr(0, edge.expectedArgv0Length), run.argv[0]);
    if (edge.longArgument) {
        EXPECT_EQ(std::u16string(edge.expectedLongLength, u'x'), run.argv[1]);
        return;
    }
    for (size_t i = 1; i < run.argv.size(); ++i) EXPECT_EQ(u"a" + Utf8ToUtf16(std::to_string(i)), run.argv[i]);
}

INSTANTIATE_NAMED_ROWS(
    Edges, DeviceStartupEdges,
    ::testing::Values(ArgvEdge{"NameThatFits", kModuleNameLength - 1, 0, kModuleNameLength - 1, 1},
                      ArgvEdge{"NameOfMaxPathIsCut", kModuleNameLength, 0, kModuleNameLength - 1, 1},
                      ArgvEdge{"LongerNameIsCut", kModuleNameLength + 40, 0, kModuleNameLength - 1, 1},
                      ArgvEdge{"ArgumentsForEverySlotFit", 22, kMaxArguments - 1, 22, kMaxArguments},
                      ArgvEdge{"OneArgumentMoreIsCut", 22, kMaxArguments, 22, kMaxArguments},
                      ArgvEdge{"LongNameAndManyArguments", kModuleNameLength + 40, kMaxArguments + 8, kModuleNameLength - 1, kMaxArguments},
                      // 23 units of name and terminator, the argument, its terminator: the whole text.
                      ArgvEdge{"LongArgumentIsCutAtTheTextsEnd", 22, 0, 22, 2, kArgumentTextLength + 88, kArgumentTextLength - 24}));

// A change to the image file, for the patched-image rows.
using Patch = std::function<void(Bytes&)>;

// Instructions written over the code at a symbol of the linked image (its first section holds the code).
Patch Code(const char* symbol, std::vector<uint32_t> units, int unitBytes = 4)
{
    return [=](Bytes& b) {
        const FileSection& text = Unpatched().sections[0];
        size_t at = ImageSymbol(symbol).first - Unpatched().imageBase - text.rva + text.rawOffset;
        for (uint32_t unit : units) {
            Put(b, at, unit, unitBytes);
            at += static_cast<size_t>(unitBytes);
        }
    };
}
Patch Thumb(const char* symbol, std::vector<uint32_t> halfwords) { return Code(symbol, halfwords, 2); }
Patch Field(OptionalHeaderField field, uint32_t value) { return [=](Bytes& b) { Put(b, Unpatched().optionalHeaderOffset + field, value); }; }
Patch EntryPointAtSection(int index) { return Field(kEntryPointField, Unpatched().sections[static_cast<size_t>(index)].rva); }
Patch VirtualSizeLess(int index, uint32_t by)
{
    const FileSection& s = Unpatched().sections[static_cast<size_t>(index)];
    return [=](Bytes& b) { Put(b, s.entryOffset + kVirtualSizeField, s.virtualSize - by); };
}
// SizeOfOptionalHeader closes the COFF header, just before the optional header.
Patch SizeOfOptionalHeader(uint16_t value) { return [=](Bytes& b) { Put(b, Unpatched().optionalHeaderOffset - 4, value, 2); }; }
// Every even-aligned run of from becomes to.
Patch Replace(std::vector<uint8_t> from, std::vector<uint8_t> to)
{
    return [=](Bytes& b) {
        for (size_t i = 0; i + from.size() <= b.size(); i += 2) {
            if (std::equal(from.begin(), from.end(), b.begin() + static_cast<std::ptrdiff_t>(i))) std::copy(to.begin(), to.end(), b.begin() + static_cast<std::ptrdiff_t>(i));
        }
    };
}
// The lookup entry of TerminateProcess (ordinal 544, by ordinal) gets these ordinal bits.
Patch TerminateProcessOrdinal(uint32_t ordinal) { return Replace({0x20, 0x02, 0x00, 0x80}, {uint8_t(ordinal), uint8_t(ordinal >> 8), uint8_t(ordinal >> 16), 0x80}); }

// Where the unpatched image has things, from its own header, section table and symbols.
uint32_t ImageBase() { return Unpatched().imageBase; }
std::string SectionStart(int index) { return HexWord(ImageBase() + Unpatched().sections[static_cast<size_t>(index)].rva); }
std::string At(const char* symbol, int offset = 0) { return HexWord(ImageSymbol(symbol).first + static_cast<uint32_t>(offset)); }
// An address the run chose (a stack pointer, where a stray write landed): any word matches it.
const std::string kAnyWord = "0x????????";
bool Matches(const std::string& pattern, const std::string& text)
{
    if (pattern.size() != text.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (pattern[i] == '?' ? !std::isxdigit(static_cast<unsigned char>(text[i])) : pattern[i] != text[i]) return false;
    }
    return true;
}

struct PatchedCase : NamedRow {
    Patch patch;
    // What the run's failure must say; none: it runs as the success scenario says.
    std::function<std::string()> reason;
};

const char kEntry[] = "WinMainCRTStartup";
// Alignment faults are the phone's, not the CPU model's: the harness must report each.
const std::string kAlignment = ": an alignment fault on the phone";
std::function<std::string()> Said(std::string reason) { return [=] { return reason; }; }
std::string FetchFromData(const std::string& at) { return "fetch from non-executable memory at " + at + " (4 bytes) from pc " + at; }

const PatchedCase kPatchedCases[] = {
    {"Thumb2InstructionAtEntry", Code(kEntry, {0xE3000000}) /* movw r0, #0 */, [] { return "emulation stopped: Invalid instruction (UC_ERR_INSN_INVALID) at " + At(kEntry); }},
    // The import thunks' "mov ip, r3; pop {r2, r3}; bx ip" ending in "mov pc, ip", which stays in Thumb state on ARMv4T.
    {"ThunkMovesToPc", Replace({0x9C, 0x46, 0x0C, 0xBC, 0x60, 0x47}, {0x9C, 0x46, 0x0C, 0xBC, 0xE7, 0x46}), [] { return "reached GetModuleFileNameW at " + HexWord(TrapAddress(Trap::GetModuleFileNameW, ServiceState::Arm)) + " in Thumb state: the call did not switch instruction sets"; }},
    {"EntryPointSkipsStackRealignment", Replace({0x07, 0xD0, 0xCD, 0xE3}, {0x00, 0x00, 0xA0, 0xE1}) /* bic sp, sp, #7 -> nop */, Said("called GetModuleFileNameW with sp " + kAnyWord + ", not 8-byte aligned")},
    {"EntryPointInData", EntryPointAtSection(1), [] { return FetchFromData(SectionStart(1)); }},
    {"EntryPointInHeaders", Field(kEntryPointField, 0x40) /* the PE signature */, [] { return FetchFromData(HexWord(ImageBase() + 0x40)); }},
    {"BssVirtualSizeTooSmall", VirtualSizeLess(1, 0x200), Said("the program wrote past .bss's VirtualSize, at " + kAnyWord)},
    {"WritesIntoItsCode", Code(kEntry, {0xE58F0000}) /* str r0, [pc] */, [] { return "write to the code section at " + At(kEntry, 8) + " (4 bytes) from pc " + At(kEntry); }},
    {"LoopsForever", Code(kEntry, {0xEAFFFFFE}) /* b . */, [] { return "instruction budget of 20000 exceeded at " + At(kEntry); }},
    {"UnalignedLoadInArmCode", Code(kEntry, {0xE59F0001}) /* ldr r0, [pc, #1] */, [] { return "unaligned 4-byte read at " + At(kEntry, 9) + " from pc " + At(kEntry) + kAlignment; }},
    {"WordLoadHalfwordAligned", Code(kEntry, {0xE59F0002}) /* ldr r0, [pc, #2] */, [] { return "unaligned 4-byte read at " + At(kEntry, 10) + " from pc " + At(kEntry) + kAlignment; }},
    {"UnalignedHalfwordLoad", Code(kEntry, {0xE1DF00B1}) /* ldrh r0, [pc, #1] */, [] { return "unaligned 2-byte read at " + At(kEntry, 9) + " from pc " + At(kEntry) + kAlignment; }},
    // subs r2, r2, r3; ldr r0, [r2]: the command line (r2, word aligned) less SW_SHOW (r3 = 5).
    {"UnalignedLoadInThumbCode", Thumb("DeviceStartup", {0x1AD2, 0x6810}), [] { return "unaligned 4-byte read at " + kAnyWord + " from pc " + At("DeviceStartup", 2) + kAlignment; }},
    // Start-up code that took r0 for the image base reads the process handle's address instead.
    {"StartupTakesR0ForTheImageBase", Code(kEntry, {0xE5900000}) /* ldr r0, [r0] */, [] { return "read of unmapped memory at " + HexWord(kEmulatedProcessHandle) + " (4 bytes) from pc " + At(kEntry); }},
    {"ReadsItsOwnHeaders", Code(kEntry, {0xE51F0FF8}) /* ldr r0, [pc, #-0xff8] */, [] { return "read of unreadable memory at " + At(kEntry, 8 - 0xFF8) + " (4 bytes) from pc " + At(kEntry); }},
    {"CallbackClobbersR11", Code("__wrap_RILFunc", {0xE3A0B000, 0xE12FFF1E}) /* mov r11, #0; bx lr */, [] { return "callback at " + At("__wrap_RILFunc") + " did not preserve r11"; }},
    // The kernel loader's own bounds: ordinals it does not know fail the load, ordinals are 31
    // bits wide, ImageBase may be 0x400000 itself, the section table sits at e_lfanew + 248.
    {"UnknownOrdinal", TerminateProcessOrdinal(9999), Said("loader: unknown import coredll.dll!#9999")},
    {"OrdinalAbove16Bits", TerminateProcessOrdinal(0x10220), Said("loader: unknown import coredll.dll!#66080")},
    // Loaded at 0x400000, the image runs until its first absolute address: the entry point's jump
    // to the start-up where it was linked.
    {"ImageBaseAtTheBound", Field(kImageBaseField, 0x400000), [] { return "fetch from unmapped memory at " + At("DeviceStartup") + " (2 bytes) from pc " + At("DeviceStartup"); }},
    {"ImageBaseAboveTheBound", Field(kImageBaseField, 0x401000), Said("loader: ImageBase outside 0x10000..0x400000 without relocations")},
    {"SizeOfOptionalHeaderIsNotRead", SizeOfOptionalHeader(0xF0), nullptr},
};

class PatchedImage : public ::testing::TestWithParam<PatchedCase> {};

// The success scenario on a patched image, on an ARMv4T core, for a short budget.
TEST_P(PatchedImage, StopsForItsReasonOrRunsAsUsual)
{
    Bytes image = Image(false);
    GetParam().patch(image);
    ASSERT_NE(Image(false), image) << "the patch changed nothing";
    PhoneSetup setup = SetupFor(NamedScenario("Success"));
    setup.instructionBudget = 20000;
    if (GetParam().reason) {
        const TempDir modem("emulated-modem");
        setup.modemStateFile = (modem / "aetz.state").string();
        const PhoneRun run = RunOnEmulatedPhone(image, setup);
        EXPECT_FALSE(run.ok);
        EXPECT_PRED2(Matches, GetParam().reason(), run.failure);
    } else {
        RunAndExpect(NamedScenario("Success"), setup, &image);
    }
}

INSTANTIATE_NAMED_ROWS(Cases, PatchedImage, ::testing::ValuesIn(kPatchedCases));

}  // namespace
