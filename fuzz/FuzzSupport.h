// SPDX-License-Identifier: MIT
#pragma once
// What every fuzz target shares: how a finding is reported, and how the data the control would
// hand to the engine is cut from the fuzzer's bytes.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>

#include "engine/BarLL.h"
#include "engine/Messages.h"

namespace varlen::fuzz {

// What the current input stands for, printed with a finding so that it can be read without a
// decoder.
inline std::string& Context() {
    static std::string context;
    return context;
}

// A broken promise: print what was expected and abort, which libFuzzer records as a crash with
// the input that caused it.
[[noreturn]] inline void Finding(const char* what, const std::string& detail = {}) {
    std::fprintf(stderr, "FINDING: %s%s%s\n  input: %s\n", what, detail.empty() ? "" : ": ", detail.c_str(),
                 Context().c_str());
    std::abort();
}

inline std::string Describe(const TBarcodeParams& p) {
    std::string s = "CodeType=" + std::to_string(p.CodeType) + " Ratio=" + std::to_string(p.Ratio) +
                    " ModuleWidth=" + std::to_string(p.ModuleWidth) + " Rotation=" + std::to_string(p.Rotation) +
                    " HeightPercent=" + std::to_string(p.HeightPercent) +
                    " FontScaling=" + std::to_string(p.FontScaling) + " HighDensity=" + std::to_string(p.HighDensity) +
                    " ZoomSize=" + std::to_string(p.ZoomSize) + " WidthReduce=" + std::to_string(p.WidthReduce) +
                    " HumanReadable=" + std::to_string(p.HumanReadable) + " QuietZones=" + std::to_string(p.QuietZones) +
                    " Bearer=" + std::to_string(static_cast<int>(p.Bearer)) + " Foreground=" + std::to_string(p.Foreground) +
                    " Background=" + std::to_string(p.Background) +
                    " TransparentBackground=" + std::to_string(p.TransparentBackground) + " Caption=\"";
    for (const char* c = p.Caption; *c; ++c) {
        const auto b = static_cast<unsigned char>(*c);
        char buf[8];
        std::snprintf(buf, sizeof buf, (b < 0x20 || b >= 0x7F || b == '"') ? "\\x%02X" : "%c", b);
        s += buf;
    }
    s += "\" CodeAddon=\"" + std::string(p.CodeAddon) + "\"";
    return s;
}

// The engine's parameters drawn from the fuzzer's bytes: any code type byte (values from
// kCodeTypeCount on are the engine's "unknown type"), a ratio, an add-on of up to 5 bytes and a
// caption of up to 80 bytes of any value. A caption is a C string in the record, so it ends at its
// first NUL byte; one longer than the type's limit (50, GS1-128 72) is what the control refuses
// ("String exceeds maximum length"), so it never reaches the engine: Fill returns false for it.
inline bool FillEngineParams(FuzzedDataProvider& in, TBarcodeParams& p) {
    p.CodeType = static_cast<btCodeTypes>(in.ConsumeIntegral<std::uint8_t>());
    p.Ratio = static_cast<btCodeRatio>(in.ConsumeIntegralInRange<int>(Ratio_3, Ratio_2));
    const std::string addon = in.ConsumeRandomLengthString(sizeof p.CodeAddon - 1);
    std::memset(p.CodeAddon, 0, sizeof p.CodeAddon);
    std::memcpy(p.CodeAddon, addon.data(), addon.size());
    std::string caption = in.ConsumeRandomLengthString(80);
    caption = caption.substr(0, std::strlen(caption.c_str()));
    if (caption.size() > static_cast<std::size_t>(MaxCaptionOf(p.CodeType))) return false;
    std::memset(p.Caption, 0, sizeof p.Caption);
    std::memcpy(p.Caption, caption.data(), caption.size());
    return true;
}

}  // namespace varlen::fuzz
