// Parses the simulated radio layer's switches strictly: a bad value is a reported problem, never a guess.
#include "sim_switches.h"

#include <cerrno>
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

template <typename Enum, size_t N>
bool ParseChoice(const std::string& text, const Choice (&choices)[N], Enum* out)
{
    for (const Choice& c : choices) {
        if (text == c.word) {
            *out = static_cast<Enum>(c.value);
            return true;
        }
    }
    return false;
}

template <typename Enum, size_t N>
std::string WordFor(Enum value, const Choice (&choices)[N])
{
    for (const Choice& c : choices) {
        if (c.value == static_cast<int>(value)) return c.word;
    }
    return std::string();
}

template <size_t N>
std::string Words(const Choice (&choices)[N])
{
    std::string words;
    for (size_t i = 0; i < N; ++i) words += std::string(i ? (i + 1 == N ? " or " : ", ") : "") + choices[i].word;
    return words;
}

// One word per behaviour, read and written from the same rows.
const Choice kInitChoices[] = {{"ok", static_cast<int>(InitBehaviour::Ok)},
                               {"fail", static_cast<int>(InitBehaviour::Fail)},
                               {"fail-with-handle", static_cast<int>(InitBehaviour::FailWithHandle)}};
const Choice kModemChoices[] = {{"ok", static_cast<int>(ModemReply::Ok)},
                                {"error", static_cast<int>(ModemReply::Error)},
                                {"cme-error", static_cast<int>(ModemReply::CmeError)}};
const Choice kResultChoices[] = {{"delayed", static_cast<int>(ResultTiming::Delayed)},
                                 {"before-return", static_cast<int>(ResultTiming::BeforeReturn)},
                                 {"at-deinit", static_cast<int>(ResultTiming::AtDeinit)},
                                 {"never", static_cast<int>(ResultTiming::Never)}};
const Choice kAnswerChoices[] = {{"verbatim", static_cast<int>(AnswerShape::Verbatim)},
                                 {"verbatim-with-nul", static_cast<int>(AnswerShape::VerbatimWithNul)},
                                 {"data-line", static_cast<int>(AnswerShape::DataLine)},
                                 {"nothing", static_cast<int>(AnswerShape::Nothing)},
                                 {"after-unrelated-line", static_cast<int>(AnswerShape::AfterUnrelatedLine)},
                                 {"long", static_cast<int>(AnswerShape::Long)},
                                 {"null-data", static_cast<int>(AnswerShape::NullData)},
                                 {"error-as-text", static_cast<int>(AnswerShape::ErrorAsText)}};
const Choice kPendingChoices[] = {{"deliver", static_cast<int>(PendingResults::Deliver)},
                                  {"drop", static_cast<int>(PendingResults::Drop)},
                                  {"cancel", static_cast<int>(PendingResults::Cancel)}};

}  // namespace

SwitchReading ReadSimSwitches(const std::vector<std::string>& environment, const std::string& defaultStateFile)
{
    SwitchReading reading;
    SimSwitches& s = reading.switches;
    PhoneDescription& phone = s.phone;
    s.stateFile = defaultStateFile;
    for (const std::string& entry : environment) {
        if (entry.compare(0, sizeof kPrefix - 1, kPrefix) != 0) continue;
        const size_t eq = entry.find('=');
        const std::string name = entry.substr(0, eq);
        const std::string value = eq == std::string::npos ? std::string() : entry.substr(eq + 1);
        auto bad = [&](const std::string& expected) {
            reading.problems.push_back(name + "=" + value + ": expected " + expected);
        };
        if (name == "CLOCKWARD_SIM_INIT") {
            if (!ParseChoice(value, kInitChoices, &phone.init)) bad(Words(kInitChoices));
        } else if (name == "CLOCKWARD_SIM_REFUSE") {
            if (!ParseFailureHresult(value, &phone.refuse))
                bad("a negative HRESULT, in signed decimal or as 0x and eight hex digits");
        } else if (name == "CLOCKWARD_SIM_MODEM") {
            if (!ParseChoice(value, kModemChoices, &phone.modem)) bad(Words(kModemChoices));
        } else if (name == "CLOCKWARD_SIM_RESULT") {
            if (!ParseChoice(value, kResultChoices, &phone.result)) bad(Words(kResultChoices));
        } else if (name == "CLOCKWARD_SIM_ANSWER") {
            if (!ParseChoice(value, kAnswerChoices, &phone.answer)) bad(Words(kAnswerChoices));
        } else if (name == "CLOCKWARD_SIM_DELAY_MS") {
            if (!ParseUnsigned(value, 60000, &phone.delayMs)) bad("milliseconds from 0 to 60000");
        } else if (name == "CLOCKWARD_SIM_NOTIFY") {
            if (!ParseUnsigned(value, 1000, &phone.notify)) bad("a count from 0 to 1000");
        } else if (name == "CLOCKWARD_SIM_PENDING") {
            if (!ParseChoice(value, kPendingChoices, &phone.pending)) bad(Words(kPendingChoices));
        } else if (name == "CLOCKWARD_SIM_STATE_FILE") {
            if (value.empty()) bad("a file path");
            else s.stateFile = value;
        } else if (name == "CLOCKWARD_SIM_TRACE") {
            if (value.empty()) bad("a file path");
            else s.traceFile = value;
        } else {
            reading.problems.push_back(name + ": unknown switch");
        }
    }
    return reading;
}

std::vector<std::string> SwitchesFor(const PhoneDescription& phone)
{
    std::vector<std::string> env = {std::string(kPrefix) + "INIT=" + WordFor(phone.init, kInitChoices),
                                    std::string(kPrefix) + "MODEM=" + WordFor(phone.modem, kModemChoices),
                                    std::string(kPrefix) + "RESULT=" + WordFor(phone.result, kResultChoices),
                                    std::string(kPrefix) + "ANSWER=" + WordFor(phone.answer, kAnswerChoices),
                                    std::string(kPrefix) + "DELAY_MS=" + std::to_string(phone.delayMs),
                                    std::string(kPrefix) + "NOTIFY=" + std::to_string(phone.notify),
                                    std::string(kPrefix) + "PENDING=" + WordFor(phone.pending, kPendingChoices)};
    if (phone.refuse < 0) env.push_back(std::string(kPrefix) + "REFUSE=" + std::to_string(phone.refuse));
    return env;
}

std::vector<std::string> ProcessEnvironment()
{
    std::vector<std::string> entries;
    for (char** e = environ; e && *e; ++e) entries.emplace_back(*e);
    return entries;
}
