// libFuzzer target: the check's whole answer path on any results: the callback's slots, the find,
// the reading and the box text's escaping, each result taken from the input.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "radio/check/aetz_reading.h"
#include "radio/check/query_answers.h"
#include "tool/check/box_text.h"

// The callback's one platform call.
extern "C" void NKDbgPrintfW(LPCWSTR, ...) {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ForgetQueryAnswers();
    // Each result: code, identifier (1..8), length (up to 255: past the 128 bytes kept), the bytes.
    size_t at = 0, results = 0;
    while (at + 3 <= size) {
        const DWORD code = data[at] % 9;
        const HRESULT id = 1 + data[at + 1] % 8;
        const size_t length = data[at + 2];
        at += 3;
        const size_t given = length < size - at ? length : size - at;
        RILQueryFunc(code, id, given == 0 ? nullptr : data + at, static_cast<DWORD>(given), 0);
        at += given;
        ++results;
    }
    for (HRESULT id = 1; id <= 8; ++id) {
        const QUERY_ANSWER* answer = FindQueryAnswer(id);
        if (!answer) continue;
        if (answer->cbCopied > kAnswerCopySize || answer->cbCopied > answer->cbData || results == 0) __builtin_trap();
        const AETZ_READING reading = ReadAETZAnswer(answer);
        if (reading.cbRefusal && (reading.pbRefusal < answer->abData || reading.pbRefusal + reading.cbRefusal > answer->abData + answer->cbCopied))
            __builtin_trap();
        static BOX_TEXT text;
        std::memset(&text, 0, sizeof text);
        AppendAscii(&text, "The modem refused (");
        AppendEscaped(&text, reading.cbRefusal ? reading.pbRefusal : answer->abData, reading.cbRefusal ? reading.cbRefusal : answer->cbCopied);
        AppendHex(&text, answer->dwCode);
        if (text.cch >= kBoxTextSize || text.sz[text.cch] != 0) __builtin_trap();
    }
    return 0;
}
