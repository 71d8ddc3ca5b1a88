// AT interpreter of the simulated modem and the file that holds its setting between runs.
#include "rigs/common/sim_modem.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kStateKey[] = "AETZ=";

std::string Upper(std::string s)
{
    for (char& c : s) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return s;
}

ModemAnswer Final(bool ok, const std::string& info = std::string(), const std::string& problem = std::string())
{
    std::string response;
    if (!info.empty()) response = "\r\n" + info + "\r\n";
    response += ok ? "\r\nOK\r\n" : "\r\nERROR\r\n";
    return ModemAnswer{ok, response, problem};
}

bool MakeParentDirectories(const std::string& path, std::string* why)
{
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        const std::string dir = path.substr(0, slash);
        if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) {
            *why = "cannot create " + dir + ": " + strerror(errno);
            return false;
        }
    }
    return true;
}

}  // namespace

bool ReadTimeZoneUpdate(const std::string& stateFile, int* value, std::string* why)
{
    FILE* f = fopen(stateFile.c_str(), "re");
    if (!f) {
        if (errno == ENOENT) {
            *value = 1;  // a new phone has the network time-zone update on
            return true;
        }
        *why = "cannot read " + stateFile + ": " + strerror(errno);
        return false;
    }
    char buffer[64];
    const size_t got = fread(buffer, 1, sizeof buffer, f);
    fclose(f);
    std::string text(buffer, got);
    if (!text.empty() && text.back() == '\n') text.pop_back();  // written with one; typed by hand, maybe not
    for (int setting = 0; setting <= 1; ++setting) {
        if (text == kStateKey + std::to_string(setting)) {
            *value = setting;
            return true;
        }
    }
    *why = stateFile + " is not a modem state file (expected \"AETZ=0\" or \"AETZ=1\", each with or without a final newline)";
    return false;
}

bool WriteTimeZoneUpdate(const std::string& stateFile, int value, std::string* why)
{
    if (!MakeParentDirectories(stateFile, why)) return false;
    const std::string temp = stateFile + ".new." + std::to_string(getpid());
    FILE* f = fopen(temp.c_str(), "we");
    if (!f) {
        *why = "cannot write " + temp + ": " + strerror(errno);
        return false;
    }
    const bool written = fprintf(f, "%s%d\n", kStateKey, value) > 0;
    const bool closed = fclose(f) == 0;
    if (!written || !closed || rename(temp.c_str(), stateFile.c_str()) != 0) {
        *why = "cannot store " + stateFile + ": " + strerror(errno);
        unlink(temp.c_str());
        return false;
    }
    return true;
}

ModemAnswer RunModemCommand(const std::string& line, const std::string& stateFile, ModemReply reply)
{
    if (reply == ModemReply::Error) return Final(false);
    if (reply == ModemReply::CmeError) return ModemAnswer{false, "\r\n+CME ERROR: 4\r\n", std::string()};
    const std::string cmd = Upper(line);
    if (cmd == "AT") return Final(true);
    if (cmd == "AT*AETZ=?") return Final(true, "*AETZ: (0,1)");

    std::string why;
    if (cmd == "AT*AETZ?") {
        int value = 0;
        if (!ReadTimeZoneUpdate(stateFile, &value, &why)) return Final(false, std::string(), why);
        return Final(true, "*AETZ: " + std::to_string(value));
    }
    if (cmd == "AT*AETZ=0" || cmd == "AT*AETZ=1") {
        if (reply == ModemReply::KeepsSetting) return Final(true);
        if (!WriteTimeZoneUpdate(stateFile, cmd.back() - '0', &why)) return Final(false, std::string(), why);
        return Final(true);
    }
    return Final(false);
}
