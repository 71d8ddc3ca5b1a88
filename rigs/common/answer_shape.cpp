// The layouts of an answer in a result callback, from the modem's verbose text.
#include "rigs/common/answer_shape.h"

#include "platform/ril_api.h"

ResultData ShapeResult(const ModemAnswer& answer, AnswerShape shape)
{
    std::string text = answer.response;
    if (!answer.ok && shape == AnswerShape::ErrorAsText && !answer.radioOff)
        return {RIL_RESULT_ERROR, text + kPastTheData, false, static_cast<DWORD>(text.size())};
    if (!answer.ok) {
        // The layer's code for the modem's final result, as a driver reads it: +CME ERROR: 4 is
        // "operation not supported"; which code a bare ERROR gets is the driver's choice.
        const bool unsupported = text.find("+CME ERROR: 4\r\n") != std::string::npos;
        const DWORD code = answer.radioOff ? RIL_E_RADIOOFF : unsupported ? RIL_E_OPNOTSUPPORTED : RIL_E_PHONEFAILURE;
        return {RIL_RESULT_ERROR, std::string(reinterpret_cast<const char*>(&code), sizeof code) + kPastTheData, false, sizeof code};
    }
    switch (shape) {
    case AnswerShape::Verbatim: case AnswerShape::ErrorAsText: break;
    case AnswerShape::VerbatimWithNul: return {RIL_RESULT_OK, text + '\0' + kPastTheData, false, static_cast<DWORD>(text.size() + 1)};
    case AnswerShape::DataLine: {
        // The first line that is not empty, without its framing; nothing when the answer has none.
        const size_t start = text.find_first_not_of("\r\n");
        const size_t end = text.find_first_of("\r\n", start);
        text = start == std::string::npos || text.compare(start, end - start, "OK") == 0 ? std::string() : text.substr(start, end - start);
        break;
    }
    case AnswerShape::Nothing: return {RIL_RESULT_OK, std::string(), true, 0};
    case AnswerShape::AfterUnrelatedLine: text = "\r\n+CREG: 1,1\r\n" + text; break;
    case AnswerShape::Long: text = "\r\n+CIEV: " + std::string(292, '7') + "\r\n" + text; break;
    case AnswerShape::NullData: return {RIL_RESULT_OK, std::string(), true, static_cast<DWORD>(text.size())};
    }
    return {RIL_RESULT_OK, text + kPastTheData, false, static_cast<DWORD>(text.size())};
}
