// Parses the simulated radio layer's switches strictly: a bad value is a reported problem, never a guess.
#include "sim_switches.h"

#include <algorithm>
#include <cerrno>
#include <functional>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace {

const char kPrefix[] = "CLOCKWARD_SIM_";

bool ParseUnsigned(const std::string& text, unsigned max, unsigned* out)
{
    if (text.empty() || text.size() > 10) return false;
    unsigned long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<unsigned long>(c - '0');
    }
    if (value > max) return false;
    *out = static_cast<unsigned>(value);
    return true;
}

// A negative HRESULT written in signed decimal or as 0x followed by eight hex digits.
bool ParseFailureHresult(const std::string& text, HRESULT* out)
{
    if (text.size() == 10 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        uint32_t value = 0;
        for (size_t i = 2; i < text.size(); ++i) {
            const char c = text[i];
            unsigned digit;
            if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
            else if (c >= 'a' && c <= 'f') digit = static_cast<unsigned>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F') digit = static_cast<unsigned>(c - 'A' + 10);
            else return false;
            value = (value << 4) | digit;
        }
        *out = static_cast<HRESULT>(value);
        return *out < 0;
    }
    if (text.size() < 2 || text[0] != '-') return false;
    unsigned long long magnitude = 0;
    for (size_t i = 1; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9' || i > 11) return false;
        magnitude = magnitude * 10 + static_cast<unsigned>(text[i] - '0');
    }
    if (magnitude == 0 || magnitude > 2147483648ull) return false;
    *out = static_cast<HRESULT>(-static_cast<long long>(magnitude));
    return true;
}

struct Choice {
    const char* word;
    int value;
};
using Choices = std::vector<Choice>;

std::string Words(const Choices& choices)
{
    std::string words;
    for (size_t i = 0; i < choices.size(); ++i) words += std::string(i ? (i + 1 == choices.size() ? " or " : ", ") : "") + choices[i].word;
    return words;
}

// One switch: its name after the prefix, what a bad value is told, how it is read into the
// switches, and how it is written for a phone (empty: nothing to write).
struct Switch {
    const char* name;
    std::string expected;
    std::function<bool(const std::string& value, SimSwitches* s)> read;
    std::function<std::string(const PhoneDescription& phone)> write;
};

template <typename Enum>
Switch ChoiceSwitch(const char* name, Enum PhoneDescription::*field, Choices choices)
{
    return {name, Words(choices),
            [=](const std::string& value, SimSwitches* s) {
                const auto c = std::find_if(choices.begin(), choices.end(), [&](const Choice& one) { return value == one.word; });
                if (c != choices.end()) s->phone.*field = static_cast<Enum>(c->value);
                return c != choices.end();
            },
            [=](const PhoneDescription& phone) {
                for (const Choice& c : choices) {
                    if (c.value == static_cast<int>(phone.*field)) return std::string(c.word);
                }
                return std::string();
            }};
}

Switch NumberSwitch(const char* name, unsigned PhoneDescription::*field, unsigned max, const std::string& expected)
{
    return {name, expected, [=](const std::string& value, SimSwitches* s) { return ParseUnsigned(value, max, &(s->phone.*field)); },
            [=](const PhoneDescription& phone) { return std::to_string(phone.*field); }};
}

Switch PathSwitch(const char* name, std::string SimSwitches::*field)
{
    return {name, "a file path",
            [=](const std::string& value, SimSwitches* s) {
                s->*field = value;
                return !value.empty();
            },
            nullptr};
}

// Every switch, once: the reader, the writer and the documented table come from these rows.
const std::vector<Switch>& AllSwitches()
{
    static const std::vector<Switch> all = {
        PathSwitch("STATE_FILE", &SimSwitches::stateFile),
        PathSwitch("TRACE", &SimSwitches::traceFile),
        ChoiceSwitch("INIT", &PhoneDescription::init,
                     {{"ok", int(InitBehaviour::Ok)}, {"fail", int(InitBehaviour::Fail)}, {"fail-with-handle", int(InitBehaviour::FailWithHandle)},
                      {"radio-not-ready", int(InitBehaviour::RadioNotReady)}}),
        {"REFUSE", "a negative HRESULT, in signed decimal or as 0x and eight hex digits",
         [](const std::string& value, SimSwitches* s) { return ParseFailureHresult(value, &s->phone.refuse); },
         [](const PhoneDescription& phone) { return phone.refuse < 0 ? std::to_string(phone.refuse) : std::string(); }},
        ChoiceSwitch("MODEM", &PhoneDescription::modem,
                     {{"ok", int(ModemReply::Ok)}, {"error", int(ModemReply::Error)}, {"cme-error", int(ModemReply::CmeError)},
                      {"radio-off", int(ModemReply::RadioOff)}, {"keeps-setting", int(ModemReply::KeepsSetting)}}),
        ChoiceSwitch("RESULT", &PhoneDescription::result,
                     {{"delayed", int(ResultTiming::Delayed)}, {"before-return", int(ResultTiming::BeforeReturn)},
                      {"at-deinit", int(ResultTiming::AtDeinit)}, {"never", int(ResultTiming::Never)}}),
        ChoiceSwitch("ANSWER", &PhoneDescription::answer,
                     {{"verbatim", int(AnswerShape::Verbatim)}, {"verbatim-with-nul", int(AnswerShape::VerbatimWithNul)},
                      {"data-line", int(AnswerShape::DataLine)}, {"nothing", int(AnswerShape::Nothing)},
                      {"after-unrelated-line", int(AnswerShape::AfterUnrelatedLine)}, {"long", int(AnswerShape::Long)},
                      {"null-data", int(AnswerShape::NullData)}, {"error-as-text", int(AnswerShape::ErrorAsText)}}),
        NumberSwitch("DELAY_MS", &PhoneDescription::delayMs, 60000, "milliseconds from 0 to 60000"),
        NumberSwitch("NOTIFY", &PhoneDescription::notify, 1000, "a count from 0 to 1000"),
        ChoiceSwitch("PENDING", &PhoneDescription::pending,
                     {{"deliver", int(PendingResults::Deliver)}, {"drop", int(PendingResults::Drop)}, {"cancel", int(PendingResults::Cancel)}}),
    };
    return all;
}

}  // namespace

SwitchReading ReadSimSwitches(const std::vector<std::string>& environment, const std::string& defaultStateFile)
{
    SwitchReading reading;
    reading.switches.stateFile = defaultStateFile;
    for (const std::string& entry : environment) {
        if (entry.compare(0, sizeof kPrefix - 1, kPrefix) != 0) continue;
        const size_t eq = entry.find('=');
        const std::string name = entry.substr(0, eq);
        const std::string value = eq == std::string::npos ? std::string() : entry.substr(eq + 1);
        const auto& all = AllSwitches();
        const auto known = std::find_if(all.begin(), all.end(), [&](const Switch& s) { return name == kPrefix + std::string(s.name); });
        if (known == all.end()) reading.problems.push_back(name + ": unknown switch");
        else if (!known->read(value, &reading.switches)) reading.problems.push_back(name + "=" + value + ": expected " + known->expected);
    }
    return reading;
}

std::vector<std::string> SwitchesFor(const PhoneDescription& phone)
{
    std::vector<std::string> env;
    for (const Switch& s : AllSwitches()) {
        const std::string value = s.write ? s.write(phone) : std::string();
        if (!value.empty()) env.push_back(kPrefix + std::string(s.name) + "=" + value);
    }
    return env;
}

std::vector<std::string> SwitchNames()
{
    std::vector<std::string> names;
    for (const Switch& s : AllSwitches()) names.push_back(kPrefix + std::string(s.name));
    return names;
}

std::vector<std::string> ProcessEnvironment()
{
    std::vector<std::string> entries;
    for (char** e = environ; e && *e; ++e) entries.emplace_back(*e);
    return entries;
}
