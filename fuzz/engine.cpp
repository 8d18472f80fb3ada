// SPDX-License-Identifier: MIT
// Fuzz target: the encoders. For any parameters EncodeBars either succeeds with a row of at most
// 833 modules, each 0 or 1, every entry past BarCount 0 and a terminated CodeText, and gives the
// same result when run again (it keeps nothing between runs); or it raises EOverflow with one of
// the engine's own messages. Anything else is a finding.
#include <cstdint>
#include <cstring>
#include <exception>
#include <string>

#include "FuzzSupport.h"

using namespace varlen;
using varlen::fuzz::Finding;

namespace {

struct Outcome {
    bool raised = false;
    std::string message;
    std::string codeText;
    std::int32_t barCount = 0;
    std::uint8_t bars[kMaxBars + 1] = {};
};

Outcome Encode(TLLBarcode& engine) {
    Outcome o;
    try {
        engine.EncodeBars();
    } catch (const EOverflow& e) {
        if (!messages::IsEngineMessage(e.what())) Finding("EOverflow with a foreign message", e.what());
        o.raised = true;
        o.message = e.what();
        return o;
    } catch (const std::exception& e) {
        Finding("EncodeBars raised something else than EOverflow", e.what());
    } catch (...) {
        Finding("EncodeBars raised a non-standard exception");
    }
    if (engine.BarCount < 0 || engine.BarCount > kMaxBars)
        Finding("BarCount out of 0..833", std::to_string(engine.BarCount));
    for (int i = 1; i <= kMaxBars; ++i) {
        if (i > engine.BarCount && engine.Bars[i] != 0)
            Finding("Bars entry past BarCount is not 0", std::to_string(i));
        if (engine.Bars[i] > 1) Finding("Bars entry is neither 0 nor 1", std::to_string(i));
    }
    const std::size_t len = strnlen(engine.CodeText, sizeof engine.CodeText);
    if (len == sizeof engine.CodeText) Finding("CodeText is not terminated");
    o.codeText.assign(engine.CodeText, len);
    o.barCount = engine.BarCount;
    std::memcpy(o.bars, engine.Bars, sizeof o.bars);
    return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    TLLBarcode engine;
    if (!fuzz::FillEngineParams(in, engine.Params)) return 0;
    fuzz::Context() = fuzz::Describe(engine.Params);

    const Outcome first = Encode(engine);
    const Outcome again = Encode(engine);
    if (first.raised != again.raised || first.message != again.message)
        Finding("a second EncodeBars ends differently", first.message + " / " + again.message);
    if (!first.raised &&
        (first.codeText != again.codeText || first.barCount != again.barCount ||
         std::memcmp(first.bars + 1, again.bars + 1, kMaxBars) != 0))
        Finding("a second EncodeBars gives another symbol", first.codeText + " / " + again.codeText);
    return 0;
}
