// The host's run-time start-up: hands the command line to the main routine as UTF-16, as the phone does.
#include <string>
#include <vector>

#include "platform/program_entry.h"
#include "utf_convert.h"

int main(int argc, char** argv)
{
    std::vector<std::u16string> wide;
    wide.reserve(static_cast<size_t>(argc));
    for (int i = 0; i < argc; ++i) wide.push_back(Utf8ToUtf16(argv[i]));
    std::vector<WCHAR*> wargv;
    for (std::u16string& arg : wide) wargv.push_back(arg.data());
    wargv.push_back(nullptr);
    return wmain(argc, wargv.data());
}
