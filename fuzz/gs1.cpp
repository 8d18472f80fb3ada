// SPDX-License-Identifier: MIT
// Fuzz target: the GS1 symbols from any bytes. encodeGS1_128 either raises EOverflow with a message
// that names an AI or the symbology, or returns a well-formed Code 128 symbol: a start, FNC1, values
// 0..106, a check character that holds, the stop, 11 modules a character plus the stop's 2, one
// FNC1 per separator, at most 48 element string characters, and never more characters than the
// whole element string in set B would take. encodeITF14 of the same bytes either refuses with its
// own prefix or gives 14 digits whose last is their check digit, in a row of 135 or 106 modules.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "engine/GS1.h"

using namespace varlen;
using varlen::fuzz::Finding;

namespace {

bool startsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

void checkGs1(const std::string& data) {
    TGS1Symbol s;
    try {
        s = encodeGS1_128(data);
    } catch (const EOverflow& e) {
        if (!startsWith(e.what(), "AI (") && !startsWith(e.what(), "GS1-128: ")) Finding("foreign message", e.what());
        return;
    }
    const std::vector<int>& v = s.values;
    if (v.size() < 4 || v[0] < 103 || v[0] > 105 || v[1] != 102 || v.back() != 106) Finding("bad frame");
    long sum = v[0];
    int fnc1 = 0;
    for (std::size_t i = 1; i + 2 < v.size(); ++i) {
        if (v[i] < 0 || v[i] > 102) Finding("value out of range", std::to_string(v[i]));
        sum += static_cast<long>(i) * v[i];
        fnc1 += v[i] == 102;
    }
    if (sum % 103 != v[v.size() - 2]) Finding("check character does not hold");
    if (s.modules.size() != 11 * v.size() + 2 || s.modules.find_first_not_of("01") != std::string::npos)
        Finding("module row does not match the values");
    int separators = 0;
    for (char c : s.elementString) separators += c == '\x1d';
    if (fnc1 != 1 + separators) Finding("FNC1 count differs from the separators");
    if (s.elementString.size() > static_cast<std::size_t>(kMaxGS1Characters)) Finding("over 48 characters");
    if (v.size() > s.elementString.size() + 4) Finding("longer than the element string in set B");
    if (s.text != data) Finding("human-readable text differs from the data");
}

void checkItf14(const std::string& data, btCodeRatio ratio) {
    TITF14Symbol s;
    try {
        s = encodeITF14(data, ratio);
    } catch (const EOverflow& e) {
        if (!startsWith(e.what(), "ITF-14: ")) Finding("foreign message", e.what());
        return;
    }
    if (s.digits.size() != 14 || s.digits.find_first_not_of("0123456789") != std::string::npos ||
        s.digits[13] - '0' != gs1CheckDigit(std::string_view(s.digits).substr(0, 13)))
        Finding("bad ITF-14 digits", s.digits);
    if (s.modules.size() != (ratio == Ratio_3 ? 135u : 106u)) Finding("bad ITF-14 row length");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string data(reinterpret_cast<const char*>(bytes), size);
    fuzz::Context() = data;
    checkGs1(data);
    checkItf14(data, size % 2 ? Ratio_2 : Ratio_3);
    return 0;
}
